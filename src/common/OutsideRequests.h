#pragma once

#include <QObject>

#include <deque>
#include <functional>

namespace vl {

// Requests that come from outside the command the user is running: the
// automatic-save tick, a termination signal, the end of the desktop
// session, the wake-up of a later start and the pickup of what it handed
// over, drops and tray commands.
//
// The rule, and the one place that applies it: while a load, a reload, a
// save or any modal question is in progress, such requests wait here, and
// they run in arrival order on the first turn of the event loop after the
// last of those has ended. A modal question runs a nested event loop, and a
// load lets events through between desktops, so without this a request
// could run between a command's question and its action, or between two
// desktops of a load, and act on state that is half built or about to go.
// Requests never run from inside the call that ends a busy period either:
// the command around a question finishes first.
class OutsideRequests : public QObject {
    Q_OBJECT
public:
    explicit OutsideRequests(QObject *parent = nullptr);
    ~OutsideRequests() override;

    // The program is busy for as long as one of these lives; they nest.
    class Busy {
    public:
        explicit Busy(OutsideRequests *requests);
        ~Busy();
        Busy(const Busy &) = delete;
        Busy &operator=(const Busy &) = delete;

    private:
        OutsideRequests *requests_;
    };

    bool busy() const { return depth_ > 0; }
    // Queues a request. It runs on a later turn of the event loop, never
    // from inside this call, once nothing is busy.
    void post(std::function<void()> request);
    int waiting() const { return static_cast<int>(queue_.size()); }

private:
    void enter();
    void leave();
    void scheduleRun();
    void runWaiting();

    int depth_ = 0;
    bool runScheduled_ = false;
    std::deque<std::function<void()>> queue_;
};

} // namespace vl
