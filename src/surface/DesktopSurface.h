#pragma once

#include "model/Model.h"

#include <QPixmap>
#include <QWidget>

#include <unordered_map>

namespace vl {

// The page of the active desktop: its colour, its background picture, and
// (painted by this widget, not by child widgets) everything on it.
// One surface serves every desktop; what it caches per desktop is built
// the first time that desktop is shown.
class DesktopSurface : public QWidget {
    Q_OBJECT
public:
    explicit DesktopSurface(QWidget *parent = nullptr);

    void setDesktop(Desktop *d);
    Desktop *desktop() const { return desktop_; }
    // A desktop whose password was not given shows nothing and takes no input.
    void setLocked(bool locked);
    bool isLocked() const { return locked_; }
    // Drops what was cached for the desktop (its picture changed or it is gone).
    void forget(const Desktop *d);
    void forgetAll();

signals:
    // A mouse button released over the empty surface, in page coordinates.
    void backgroundReleased(QPoint pos, Qt::MouseButton button, QPoint globalPos);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    struct Background {
        QString path;
        bool stretch = false;
        QSize decodedFor; // the page size a stretched picture was made for
        QPixmap pixmap;
        bool failed = false;
    };
    const Background &background();

    Desktop *desktop_ = nullptr;
    bool locked_ = false;
    std::unordered_map<const Desktop *, Background> backgrounds_;
};

} // namespace vl
