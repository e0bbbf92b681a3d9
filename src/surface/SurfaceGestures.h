#pragma once

#include "model/Model.h"
#include "surface/DesktopSurface.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPoint>

#include <functional>
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
// A drag shows the shortcuts where the pointer takes them; their records
// keep the positions of the press until the drop, so that a save in the
// middle of a drag (the automatic one, the one at the end of the session)
// writes only places the shortcuts were really put. It is the surface's own
// mouse handling, not a drag-and-drop session, and ends on the button's
// release.
//
// A gesture is either ended by the release of the left button or given up
// (cancel(), everything back, as after a refused drop). It is given up when
// anything else takes the mouse or the keyboard in between: a question or
// any other modal window, a popup menu, the window losing the focus, or a
// release that never came (the next press or move finds the button up).
// Another button pressed or let go during a gesture changes nothing.
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
    // Gives up a drag or a band under way, if any; called whenever
    // something else takes the mouse or the keyboard.
    void interrupt();

    bool dragging() const { return dragStarted_; }
    bool banding() const { return bandActive_; }
    // A press on a shortcut or a band waits for its release.
    bool underWay() const { return dragPrepared_ || bandActive_; }

private:
    struct Dragged {
        ShortcutItem *item;
        QPoint start; // the record's position, kept until the drop
        QPoint shown; // where the drag shows it now
    };
    enum class Target { None, Surface, Shortcut };

    void pressOnItem(ShortcutItem &item, const DesktopSurface::Mouse &m);
    void pressOnBackground(const DesktopSurface::Mouse &m);
    void moveBand(QPoint pos);
    void dragTo(QPoint pos);
    // What a drop at pos would land on; the shortcut when it is one.
    Target targetAt(QPoint pos, ShortcutItem **shortcut);
    void endDrag(const DesktopSurface::Mouse &m);
    // Shows the shortcut at `to` for now; the record does not change.
    void showItem(Dragged &d, QPoint to, QRegion &damage);
    // Ends the showing of a drag: with keepShown the records take the
    // places the shortcuts are shown at (the one that led the drag keeps
    // its own with leaderBack); every shortcut is then shown on its record
    // and takes the mouse again.
    void settle(bool keepShown, bool leaderBack);
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
    QPoint pressPos_;              // the drag moves the shortcuts by the pointer's way from here
    QElapsedTimer pressTime_;
    const Desktop *dragDesktop_ = nullptr;
};

// Tells when something else takes the mouse or the keyboard from a window's
// page: a popup menu or a modal window is shown (whichever part of the
// program opens it), the window is blocked by one or loses the focus, or
// the page loses the keyboard focus. A gesture on the page must not outlive
// any of these: its release would go elsewhere.
class InputTakenAway : public QObject {
public:
    InputTakenAway(QWidget *window, QWidget *page, std::function<void()> taken);
    ~InputTakenAway() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *window_;
    QWidget *page_;
    std::function<void()> taken_;
};

} // namespace vl
