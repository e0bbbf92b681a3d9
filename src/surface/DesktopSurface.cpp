#include "surface/DesktopSurface.h"

#include "surface/ColourConv.h"
#include "surface/PictureLoader.h"

#include <QMouseEvent>
#include <QPainter>

namespace vl {

DesktopSurface::DesktopSurface(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("DesktopSurface"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
}

void DesktopSurface::setDesktop(Desktop *d)
{
    if (desktop_ == d)
        return;
    desktop_ = d;
    locked_ = false;
    update();
}

void DesktopSurface::setLocked(bool locked)
{
    locked_ = locked;
    setEnabled(!locked);
    update();
}

void DesktopSurface::forget(const Desktop *d)
{
    backgrounds_.erase(d);
    if (d == desktop_)
        update();
}

void DesktopSurface::forgetAll()
{
    backgrounds_.clear();
    update();
}

const DesktopSurface::Background &DesktopSurface::background()
{
    Background &bg = backgrounds_[desktop_];
    const DesktopSettings &s = desktop_->settings;
    const bool samePicture = bg.path == s.Background_Picture && bg.stretch == s.Background_Stretch;
    const bool sizeOk = !bg.stretch || bg.decodedFor == size();
    if (samePicture && sizeOk && (bg.failed || !bg.pixmap.isNull() || bg.path.isEmpty()))
        return bg;
    bg = Background{};
    bg.path = s.Background_Picture;
    bg.stretch = s.Background_Stretch;
    if (bg.path.isEmpty())
        return bg;
    // A stretched picture is decoded straight to the page size; the others
    // are shown at their own size.
    const QImage image = loadPicture(bg.path, bg.stretch ? size() : QSize());
    if (image.isNull()) {
        bg.failed = true;
        return bg;
    }
    if (bg.stretch) {
        bg.decodedFor = size();
        bg.pixmap = QPixmap::fromImage(image.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    } else {
        bg.pixmap = QPixmap::fromImage(image);
    }
    return bg;
}

void DesktopSurface::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    if (!desktop_ || locked_) {
        p.fillRect(event->rect(), palette().color(QPalette::Window));
        return;
    }
    const DesktopSettings &s = desktop_->settings;
    p.fillRect(event->rect(), toQColor(s.BG_Color));
    const Background &bg = background();
    if (!bg.pixmap.isNull()) {
        const QRect target = pictureRect(bg.pixmap.size(), size(), s.Background_Center, s.Background_Stretch);
        p.drawPixmap(target.topLeft(), bg.pixmap);
    }
}

void DesktopSurface::mouseReleaseEvent(QMouseEvent *event)
{
    if (locked_)
        return;
    emit backgroundReleased(event->position().toPoint(), event->button(), event->globalPosition().toPoint());
}

void DesktopSurface::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    update();
}

} // namespace vl
