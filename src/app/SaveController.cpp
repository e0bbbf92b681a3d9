#include "app/SaveController.h"

#include <algorithm>

namespace vl {

SaveController::SaveController(Workspace &ws, SettingsFile &file, QObject *parent)
    : QObject(parent), ws_(ws), file_(file)
{
    timer_.setObjectName(QStringLiteral("tmAutoSaveTimer"));
    connect(&timer_, &QTimer::timeout, this, &SaveController::tmAutoSaveTimerTimer);
}

void SaveController::Modified()
{
    if (ws_.work.Loading)
        return;
    if (ws_.global.Immediate_Save)
        requestSave();
    else
        emit saveStateChanged(QStringLiteral("Modified"));
}

void SaveController::Unmodified() { emit saveStateChanged(QStringLiteral("Unmodified")); }

void SaveController::requestSave()
{
    if (ws_.work.Saving) {
        pending_ = true;
        return;
    }
    do {
        pending_ = false;
        last_ = file_.SaveAll();
    } while (pending_);
    // Callbacks may start saves of their own; take them out first.
    auto waiting = std::move(idle_);
    idle_.clear();
    for (auto &fn : waiting)
        fn();
}

void SaveController::whenIdle(std::function<void()> fn)
{
    if (ws_.work.Saving)
        idle_.push_back(std::move(fn));
    else
        fn();
}

void SaveController::applyAutoSave()
{
    if (ws_.global.Auto_Save) {
        // A hand-edited period of 0 would save without pause; a huge one would
        // overflow the millisecond interval.
        const qint64 minutes = std::clamp(ws_.global.AutoSave_Time, 1, 35000);
        timer_.setInterval(static_cast<int>(minutes * 60000));
        timer_.start();
    } else {
        timer_.stop();
    }
}

void SaveController::stopAutoSave() { timer_.stop(); }

void SaveController::tmAutoSaveTimerTimer() { requestSave(); }

} // namespace vl
