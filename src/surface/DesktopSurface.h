#pragma once

#include "model/Model.h"
#include "shortcuts/DesktopScene.h"

#include <QPixmap>
#include <QWidget>

#include <unordered_map>

namespace vl {

class ShortcutPictures;

// The page of the active desktop: its colour, its background picture and
// its shortcuts, all painted by this one widget. One surface serves every
// desktop; what it keeps per desktop is built the first time that desktop
// is shown.
class DesktopSurface : public QWidget {
    Q_OBJECT
public:
    DesktopSurface(const GlobalSettings &global, ShortcutPictures &pictures, QWidget *parent = nullptr);

    void setDesktop(Desktop *d);
    Desktop *desktop() const { return desktop_; }
    // A desktop whose password was not given shows nothing and takes no input.
    void setLocked(bool locked);
    bool isLocked() const { return locked_; }
    // Drops what was kept for the desktop (it is about to go).
    void forget(const Desktop *d);
    void forgetAll();
    // A shortcut is about to be destroyed.
    void forgetItem(const ShortcutItem *item);
    // The caption look or the cell size changed: lay captions out again.
    void styleChanged();
    // The desktop's background picture setting changed.
    void backgroundChanged(const Desktop *d);

    DesktopScene *scene() { return desktop_ ? &sceneFor(*desktop_) : nullptr; }
    const CaptionStyle &captionStyle();

signals:
    // A mouse button pressed or released over the empty surface, in page
    // coordinates.
    void backgroundPressed(QPoint pos, Qt::MouseButton button, Qt::KeyboardModifiers mods);
    void backgroundReleased(QPoint pos, Qt::MouseButton button, QPoint globalPos);
    void itemPressed(ShortcutItem *item, int where, Qt::MouseButton button, Qt::KeyboardModifiers mods,
                     QPoint globalPos);
    void itemReleased(ShortcutItem *item, Qt::MouseButton button, QPoint pos);
    void itemDoubleClicked(ShortcutItem *item, int where);
    // Every paint of the surface.
    void painted();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    struct Background {
        QString path;
        bool stretch = false;
        QSize decodedFor; // the page size a stretched picture was made for
        QPixmap pixmap;
        bool failed = false;
    };
    const Background &background();
    DesktopScene &sceneFor(Desktop &d);

    const GlobalSettings &global_;
    ShortcutPictures &pictures_;
    Desktop *desktop_ = nullptr;
    bool locked_ = false;
    ShortcutItem *pressedItem_ = nullptr;
    std::unordered_map<const Desktop *, Background> backgrounds_;
    std::unordered_map<const Desktop *, std::unique_ptr<DesktopScene>> scenes_;
    // The caption look last worked out for each desktop shown. A look keeps
    // its version for as long as it stays the same, so that coming back to a
    // desktop does not lay its captions out again.
    std::unordered_map<const Desktop *, CaptionStyle> styles_;
    const Desktop *styleFor_ = nullptr;
    quint64 styleVersion_ = 0;
    bool styleDirty_ = true;
};

} // namespace vl
