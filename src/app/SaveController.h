#pragma once

#include "storage/SettingsFile.h"

#include <QObject>
#include <QTimer>

namespace vl {

class OutsideRequests;

// When the workspace is saved: on request, on every reported change under
// Immediate_Save, on the automatic-save timer, and at the end.
//
// Every save runs on the user-interface thread, and a save is only ever
// "running" while its own question ("There were errors, ...") is open. The
// timer's ticks come from outside the user's commands, so they wait in the
// outside-request queue until no load, save or question is in progress;
// commands cannot start while a question is open, so nothing ever waits on
// a save from the thread that runs it.
class SaveController : public QObject {
    Q_OBJECT
public:
    SaveController(Workspace &ws, SettingsFile &file, OutsideRequests &requests, QObject *parent = nullptr);

    // The change report.
    void Modified();
    // Back to "Unmodified" (start-up, reload).
    void Unmodified();
    // "Save All", the timer's turn and the final save all come here.
    void requestSave();

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
    OutsideRequests &requests_;
    QTimer timer_;
    bool tickWaiting_ = false;
    SettingsFile::SaveResult last_ = SettingsFile::SaveResult::Saved;
};

} // namespace vl
