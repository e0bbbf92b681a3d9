#pragma once

#include "model/Model.h"
#include "surface/DesktopSurface.h"

#include <QElapsedTimer>
#include <QPoint>

#include <vector>

namespace vl {

class Selection;

// What the mouse on the page needs from the window around it.
class GestureView {
public:
    virtual ~GestureView() = default;
    // The gated menus: of a shortcut (after a right press on it) and of the
    // desktop (after a right release on the background).
    virtual void CheckPasswordOnMenuItem(QPoint globalPos) = 0;
    virtual void CheckPasswordOnMenuMain(QPoint globalPos) = 0;
    // Starts a shortcut as a double click does.
    virtual void executeItem(ShortcutItem &item) = 0;
    // One shortcut dropped onto another: the target started with the file
    // of the dropped one.
    virtual void SourceToSender(ShortcutItem &target, ShortcutItem &dragged) = 0;
    // A left click on the empty page (the page has taken the focus).
    virtual void backgroundClicked() {}
};

// The mouse on the active desktop's page: selecting by click and by the
// rubber band, dragging the selection, dropping it on the surface or onto
// another shortcut, and starting a shortcut with a single click.
//
// A drag moves the shortcuts' records as the pointer goes; the surface only
// repaints what they covered and cover. It is the surface's own mouse
// handling, not a drag-and-drop session, and ends on the button's release.
class SurfaceGestures {
public:
    SurfaceGestures(Workspace &ws, Selection &selection, DesktopSurface &surface, GestureView &view);

    void press(const DesktopSurface::Mouse &m);
    void move(const DesktopSurface::Mouse &m);
    void release(const DesktopSurface::Mouse &m);
    void doubleClick(const DesktopSurface::Mouse &m);
    // Starts the shortcut as a double click on it does (assistive
    // technology's press), leaving the press guard as the double click's
    // own press would: armed, so the next click acts.
    void open(ShortcutItem &item);

    // Every start of a shortcut clears the press guard: the next press on a
    // shortcut then only sets it again, so the press that follows a start
    // (the second press of a double click, say) moves nothing.
    void clearPressGuard() { pressGuard_ = false; }
    bool pressGuard() const { return pressGuard_; }

    // Ends whatever is under way: the shortcuts go back to where the press
    // found them. Called before a desktop or a shortcut goes away and when
    // another desktop is shown.
    void cancel();

    bool dragging() const { return dragStarted_; }
    bool banding() const { return bandActive_; }

private:
    struct Dragged {
        ShortcutItem *item;
        QPoint start; // position at the press
        QPoint grab;  // the press point minus the position
    };
    enum class Target { None, Surface, Shortcut };

    void pressOnItem(ShortcutItem &item, const DesktopSurface::Mouse &m);
    void pressOnBackground(const DesktopSurface::Mouse &m);
    void moveBand(QPoint pos);
    void dragTo(QPoint pos);
    // What a drop at pos would land on; the shortcut when it is one.
    Target targetAt(QPoint pos, ShortcutItem **shortcut);
    void endDrag(const DesktopSurface::Mouse &m);
    void moveItem(Dragged &d, QPoint to, QRegion &damage);
    void setItemsEnabled(bool enabled);
    bool insideNote(QPoint pos) const;

    Workspace &ws_;
    Selection &selection_;
    DesktopSurface &surface_;
    GestureView &view_;

    bool pressGuard_ = true;

    bool backgroundPressed_ = false; // the buttons held went down on the background
    bool bandActive_ = false;
    QPoint anchor_;
    QRect bandRect_;

    std::vector<Dragged> dragged_; // the selection at the press, in selection order
    bool dragPrepared_ = false;
    bool dragStarted_ = false;
    bool acceptedOnce_ = false;    // the pointer has passed over an accepting shortcut
    QPoint pressPos_;
    QElapsedTimer pressTime_;
    const Desktop *dragDesktop_ = nullptr;
};

} // namespace vl
