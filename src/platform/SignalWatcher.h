#pragma once

#include <QObject>

class QSocketNotifier;

namespace vl {

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the event loop, so
// that ending the process by signal saves like logging off does.
class SignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit SignalWatcher(QObject *parent = nullptr);
    ~SignalWatcher() override;

signals:
    void terminationRequested(int signalNumber);

private:
    void readSignal();
    QSocketNotifier *notifier_ = nullptr;
};

} // namespace vl
