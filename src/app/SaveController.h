#pragma once

#include "storage/SettingsFile.h"

#include <QObject>
#include <QTimer>

#include <functional>

namespace vl {

// When the workspace is saved: on request, on every reported change under
// Immediate_Save, on the automatic-save timer, and at the end.
//
// Every save runs on the user-interface thread. A save can be "running"
// while the thread is elsewhere only when its own question ("There were
// errors, ...") has a nested event loop up; a request that arrives then is
// remembered and carried out as soon as that save returns, so no request is
// lost and nothing ever waits on the thread it is blocking.
class SaveController : public QObject {
    Q_OBJECT
public:
    SaveController(Workspace &ws, SettingsFile &file, QObject *parent = nullptr);

    // The change report.
    void Modified();
    // Back to "Unmodified" (start-up, reload).
    void Unmodified();
    // "Save All", the timer tick and the final save all come here.
    void requestSave();
    // Runs fn now when no save is running, else right after it ends.
    void whenIdle(std::function<void()> fn);

    // Starts or stops the automatic-save timer from the options.
    void applyAutoSave();
    void stopAutoSave();
    QTimer &tmAutoSaveTimer() { return timer_; }

    SettingsFile::SaveResult lastResult() const { return last_; }

signals:
    void saveStateChanged(const QString &text);

private:
    void tmAutoSaveTimerTimer();

    Workspace &ws_;
    SettingsFile &file_;
    QTimer timer_;
    bool pending_ = false;
    std::vector<std::function<void()>> idle_;
    SettingsFile::SaveResult last_ = SettingsFile::SaveResult::Saved;
};

} // namespace vl
