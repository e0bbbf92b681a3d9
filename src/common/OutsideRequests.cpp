#include "common/OutsideRequests.h"

#include <QTimer>

namespace vl {

OutsideRequests::OutsideRequests(QObject *parent) : QObject(parent) {}

OutsideRequests::~OutsideRequests() = default;

OutsideRequests::Busy::Busy(OutsideRequests *requests) : requests_(requests)
{
    if (requests_)
        requests_->enter();
}

OutsideRequests::Busy::~Busy()
{
    if (requests_)
        requests_->leave();
}

void OutsideRequests::enter() { ++depth_; }

void OutsideRequests::leave()
{
    if (--depth_ == 0 && !queue_.empty())
        scheduleRun();
}

void OutsideRequests::post(std::function<void()> request)
{
    queue_.push_back(std::move(request));
    if (!busy())
        scheduleRun();
}

void OutsideRequests::scheduleRun()
{
    if (runScheduled_)
        return;
    runScheduled_ = true;
    // A zero timer runs in whichever event loop turns next; if that is a
    // nested one of a new question, runWaiting finds the program busy again
    // and the end of that question schedules another run.
    QTimer::singleShot(0, this, &OutsideRequests::runWaiting);
}

void OutsideRequests::runWaiting()
{
    runScheduled_ = false;
    while (!busy() && !queue_.empty()) {
        std::function<void()> request = std::move(queue_.front());
        queue_.pop_front();
        // A request may post more, or open a question of its own; what it
        // posts joins the end of the line.
        request();
    }
}

} // namespace vl
