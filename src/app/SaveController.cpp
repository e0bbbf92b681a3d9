#include "app/SaveController.h"

#include "common/OutsideRequests.h"

#include <algorithm>

namespace vl {

SaveController::SaveController(Workspace &ws, SettingsFile &file, OutsideRequests &requests, QObject *parent)
    : QObject(parent), ws_(ws), file_(file), requests_(requests)
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

void SaveController::requestSave() { last_ = file_.SaveAll(); }

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

void SaveController::tmAutoSaveTimerTimer()
{
    // Ticks that pile up behind a long question make one save, not many.
    if (tickWaiting_)
        return;
    tickWaiting_ = true;
    requests_.post([this] {
        tickWaiting_ = false;
        // Stopped while the tick waited (the program is ending, or the
        // options switched saving off): the tick is void.
        if (timer_.isActive())
            requestSave();
    });
}

} // namespace vl
