#pragma once

#include <QObject>

#include <thread>

class QSocketNotifier;

namespace vl {

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the event loop, so
// that ending the process by signal saves like logging off does.
//
// A termination signal always ends the program within a second: when the
// event loop has not taken a signal up by then (the main thread is stuck in
// a system call that never returns), a watchdog thread ends the process as
// the signal's default action would have. Once taken up, the end runs its
// course, final save included.
class SignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit SignalWatcher(QObject *parent = nullptr);
    ~SignalWatcher() override;

    static constexpr int TakeUpDeadlineMs = 1000;

signals:
    void terminationRequested(int signalNumber);

private:
    void readSignal();
    QSocketNotifier *notifier_ = nullptr;
    std::thread watchdog_;
};

} // namespace vl
