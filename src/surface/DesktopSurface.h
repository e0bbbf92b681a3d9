#pragma once

#include "model/Model.h"
#include "shortcuts/DesktopScene.h"

#include <QPixmap>
#include <QWidget>

#include <functional>
#include <unordered_map>

class QKeyEvent;
class QPainter;

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
    // The scene kept for a desktop, if it was ever shown.
    DesktopScene *sceneOf(const Desktop *d);
    const CaptionStyle &captionStyle();

    // The enabled shortcut under a point of the page; none on a locked page.
    DesktopScene::Hit itemAt(QPoint pos);
    // Everything the shortcut paints, on the active desktop.
    QRect itemRect(ShortcutItem &item);
    // Repaints what the shortcut covers now.
    void updateItem(ShortcutItem &item);

    // The rubber band, drawn above the shortcuts and the notes; a null
    // rectangle: none. Built from its two corners (right() and bottom() are
    // its far edges).
    void setBand(const QRect &band);
    QRect band() const { return band_; }

    // The current shortcut carries a focus frame while the page has the
    // keyboard focus. CurrentElement has many writers; after any of them
    // may have changed it, this repaints the old frame and the new one and
    // tells assistive technology which shortcut has the focus now. The
    // page calls it after each mouse event and key it handles (not for
    // each shortcut a band selects: that would search the desktop once a
    // shortcut), and a paint finds any change it was not told of.
    void currentMayHaveChanged();
    // Keys pressed on the page; the function answers whether it took the
    // key. The menu key (or the keyboard's context-menu request) calls
    // onMenuKey. Unset: nothing is taken.
    std::function<bool(const QKeyEvent &)> onKey;
    std::function<void()> onMenuKey;

    // Assistive technology sees the shortcuts of the page as the items of a
    // list, in the order of the desktop's records; a locked page has none.
    int shownItemCount() const;
    ShortcutItem *shownItem(int index) const;
    // -1 when the shortcut is not on the page.
    int indexOfShownItem(const ShortcutItem *item) const;
    // The shortcut assistive technology deals with as focused; unset: none.
    std::function<const ShortcutItem *()> currentItem;
    // A start asked for by assistive technology, as a double click makes
    // one. It arrives over the bus at any moment, a modal question included:
    // the owner decides when it runs. Unset: nothing starts.
    std::function<void(ShortcutItem &)> onAccessibleOpen;
    // What changed about the shortcuts, told to assistive technology.
    void itemAdded(ShortcutItem &item);
    void itemChanged(ShortcutItem &item);
    void itemSelectionChanged(ShortcutItem &item);

    // A mouse event on the page, in page coordinates.
    struct Mouse {
        QPoint pos;
        QPoint globalPos;
        Qt::MouseButton button = Qt::NoButton; // the one that changed
        Qt::MouseButtons buttons;              // all held now
        Qt::KeyboardModifiers modifiers;
    };

signals:
    void mousePressed(const DesktopSurface::Mouse &m);
    void mouseMoved(const DesktopSurface::Mouse &m);
    void mouseReleased(const DesktopSurface::Mouse &m);
    void mouseDoubleClicked(const DesktopSurface::Mouse &m);
    // Every paint of the surface.
    void painted();
    // For the accessible interface's cache of item interfaces: the shortcut
    // is about to be destroyed, or the page shows other items (or none).
    void shownItemGoing(const ShortcutItem *item);
    void shownItemsReset();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

public:
    // The hint an empty desktop shows in its middle.
    static QString emptyHint();

private:
    void paintEmptyHint(QPainter &p);
    // The current shortcut when it is on the page, else none.
    ShortcutItem *shownCurrent() const;
    // Where the focus frame of a shortcut is drawn.
    QRect focusFrameOf(ShortcutItem &item);

    struct Background {
        QString path;
        bool stretch = false;
        QSize decodedFor; // the page size a stretched picture was made for
        qreal decodedRatio = 0; // and the device pixel ratio
        QPixmap pixmap;
        bool failed = false;
    };
    const Background &background();
    DesktopScene &sceneFor(Desktop &d);

    const GlobalSettings &global_;
    ShortcutPictures &pictures_;
    Desktop *desktop_ = nullptr;
    bool locked_ = false;
    QRect band_;
    QWidget *bandLayer_ = nullptr; // made with the first band
    // The shortcut whose focus frame was drawn last, and where.
    const ShortcutItem *framed_ = nullptr;
    QRect framedRect_;
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
