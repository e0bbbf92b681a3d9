#include "shell/CompactStrip.h"

#include "common/WindowSystem.h"

#include <QScreen>
#include <QStyle>
#include <QWidget>

#include <algorithm>

namespace vl {

CompactStrip::CompactStrip(QWidget &window, View &view) : window_(window), view_(view), plainWindow_(onWayland()) {}

QRect CompactStrip::stripGeometry(const QRect &screen, int buttonWidth, int height)
{
    const int width = std::max(buttonWidth, screen.width() - 8 * buttonWidth + 2);
    return {screen.left() + 4 * buttonWidth, screen.top(), width, std::max(1, height)};
}

void CompactStrip::toggle()
{
    if (normal_)
        enter();
    else
        leave();
}

void CompactStrip::enter()
{
    if (!normal_)
        return;
    maximized_ = window_.isMaximized();
    const QRect normal = window_.isMaximized() || window_.isMinimized() ? window_.normalGeometry() : window_.geometry();
    pos_ = window_.isMaximized() || window_.isMinimized() ? normal.topLeft() : window_.pos();
    size_ = normal.size();
    geometry_ = normal;
    minimum_ = window_.minimumSize();
    maximum_ = window_.maximumSize();
    flags_ = window_.windowFlags().toInt();
    normal_ = false;
    view_.compactLook(true);

    if (plainWindow_) {
        window_.setWindowState(Qt::WindowNoState);
        window_.setFixedSize(size_.width(), std::max(1, view_.stripHeight()));
        window_.show();
        return;
    }

    const QScreen *screen = window_.screen();
    const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const int buttonWidth = window_.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window_) - 2;
    const QRect strip = stripGeometry(avail, std::max(buttonWidth, 8), view_.stripHeight());
    // The window manager draws no frame around the strip: the tabs are all
    // it shows, as with a title bar pushed above the screen's edge.
    window_.setWindowFlags(window_.windowFlags() | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    window_.setWindowState(Qt::WindowNoState);
    window_.setFixedSize(strip.size());
    // The place of the window itself, not of its frame: move() would add
    // the margins of the frame the window had a moment ago, and the strip
    // would hang a title bar's height below the top of the screen.
    window_.setGeometry(strip);
    window_.show();
    window_.raise();
}

void CompactStrip::leave()
{
    if (normal_)
        return;
    normal_ = true;
    window_.setMinimumSize(minimum_);
    window_.setMaximumSize(maximum_);
    window_.setWindowFlags(Qt::WindowFlags::fromInt(flags_));
    // The window's own rectangle, never its frame's: the normal geometry of
    // a maximised window has no frame position, and one taken for the other
    // would shift the window by its frame when it is restored later.
    window_.setGeometry(geometry_);
    view_.compactLook(false);
    if (maximized_)
        window_.showMaximized();
    else
        window_.show();
}

} // namespace vl
