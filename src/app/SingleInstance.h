#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLockFile;

namespace vl {

// Keeps one copy of the program per user. The first copy holds a lock file
// and a local server in the user's private runtime folder for its whole life;
// a later copy finds the lock taken, tells the first copy to wake up through
// the server, and is expected to end at once without saving.
//
// The lock decides, the server only carries the wake-up: a lock left by a
// dead process is taken over (the holder's PID is checked), and the socket
// file is replaced only by the lock holder, so two copies can never both end
// up serving.
class TPBJustOne : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        FirstInstance, // this copy runs; keep the object alive until exit
        HandedOver,    // another copy runs: end now, without saving
        Failed,        // no guard possible (no private folder, lock I/O error)
    };

    // An empty folder means privateRuntimeFolder() (see HandOff.h).
    explicit TPBJustOne(QString runtimeFolder = {}, QObject *parent = nullptr);
    ~TPBJustOne() override;

    // Returns at once in the usual cases. When another copy holds the lock
    // but its server does not answer (still starting, or wedged) it keeps
    // trying for about two seconds, then returns HandedOver all the same:
    // better no second window than two copies writing one settings file.
    Outcome start();
    // As start(), for a command that must not run beside a running copy:
    // takes the lock when it is free, and otherwise returns HandedOver at
    // once, without waking the running copy.
    Outcome startWithoutWaking();

    // After HandedOver: whether the wake-up reached the other copy.
    bool delivered() const { return m_delivered; }
    QString errorString() const { return m_error; }

    QString lockFilePath() const;
    QString serverPath() const;

    static constexpr const char *WakeMessage = "wake\n";

signals:
    // A later start has handed over; once for each such start.
    void wakeUp();

private:
    void onNewConnection();
    Outcome becomeServer();

    QString m_folder;
    QString m_error;
    bool m_delivered = false;
    bool m_wake = true;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
};

} // namespace vl
