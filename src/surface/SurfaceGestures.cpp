#include "surface/SurfaceGestures.h"

#include "surface/Selection.h"

#include <QApplication>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace vl {

namespace {

// One unit of the single-click time is a ten-millionth of a day.
constexpr double SingleClickUnitMs = 8.64;

// Beyond this many moved shortcuts one bounding rectangle is repainted:
// a region of thousands of rectangles costs more to build than the paint.
constexpr std::size_t ExactDamageLimit = 64;

// A position moved by the pointer's way, in 64 bits and kept within the
// range a position can hold: a shortcut at the far edge of that range
// stays at the edge instead of coming out at the other end.
QPoint shifted(QPoint from, QPoint by)
{
    const auto clamp = [](long long v) {
        return static_cast<int>(std::clamp<long long>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    };
    return {clamp(static_cast<long long>(from.x()) + by.x()), clamp(static_cast<long long>(from.y()) + by.y())};
}

} // namespace

SurfaceGestures::SurfaceGestures(Workspace &ws, Selection &selection, DesktopSurface &surface, GestureView &view)
    : ws_(ws), selection_(selection), surface_(surface), view_(view)
{
}

void SurfaceGestures::press(const DesktopSurface::Mouse &m)
{
    if (underWay()) {
        // A second button during a drag or a band changes nothing.
        if (m.button != Qt::LeftButton)
            return;
        // The left button again: its release went elsewhere (a grab of
        // another program, a window that took the mouse), so the gesture it
        // ended is given up, and this press starts afresh.
        cancel();
    }
    backgroundPressed_ = false;
    const DesktopScene::Hit hit = surface_.itemAt(m.pos);
    if (!hit.item) {
        pressOnBackground(m);
        return;
    }
    ShortcutItem &item = *hit.item;
    const bool ctrl = m.modifiers & Qt::ControlModifier;
    if (hit.where == TImageLabel::Hit::Caption) {
        // A press on the caption selects first; the left button then acts
        // as on the picture.
        selection_.Focused(item, ctrl);
        if (m.button == Qt::RightButton) {
            view_.CheckPasswordOnMenuItem(m.globalPos);
            return;
        }
        if (m.button != Qt::LeftButton)
            return;
    }
    pressOnItem(item, m);
}

void SurfaceGestures::pressOnItem(ShortcutItem &item, const DesktopSurface::Mouse &m)
{
    const bool right = m.button == Qt::RightButton;
    if (!pressGuard_) {
        pressGuard_ = true;
        if (right)
            view_.CheckPasswordOnMenuItem(m.globalPos);
        return;
    }
    ws_.work.CurrentElement = {&item, nullptr};
    pressTime_.start();
    selection_.Focused(item, m.modifiers & Qt::ControlModifier);
    if (right) {
        // Selected before the menu opens, so that its commands act on what
        // was pressed.
        view_.CheckPasswordOnMenuItem(m.globalPos);
        return;
    }
    if (m.button != Qt::LeftButton)
        return;
    // The whole selection is prepared; the drag starts once the pointer has
    // moved far enough.
    dragged_.clear();
    dragged_.reserve(selection_.items().size());
    for (ShortcutItem *j : selection_.items()) {
        const QPoint at(j->Item_Left, j->Item_Top);
        dragged_.push_back({j, at, at});
    }
    dragPrepared_ = true;
    dragStarted_ = false;
    acceptedOnce_ = false;
    pressPos_ = m.pos;
    dragDesktop_ = ws_.activeDesktop();
}

void SurfaceGestures::pressOnBackground(const DesktopSurface::Mouse &m)
{
    backgroundPressed_ = true;
    selection_.UnFocused();
    if (m.button != Qt::LeftButton)
        return;
    bandActive_ = true;
    anchor_ = m.pos;
    bandRect_ = QRect(m.pos, m.pos + QPoint(1, 1));
}

void SurfaceGestures::move(const DesktopSurface::Mouse &m)
{
    if (!(m.buttons & Qt::LeftButton)) {
        // The release never came (see press()).
        if (underWay())
            cancel();
        return;
    }
    if (bandActive_) {
        moveBand(m.pos);
        return;
    }
    if (!dragPrepared_)
        return;
    if (!dragStarted_) {
        const int distance = QApplication::startDragDistance();
        const QPoint d = m.pos - pressPos_;
        if (std::abs(d.x()) < distance && std::abs(d.y()) < distance)
            return;
        dragStarted_ = true;
        setItemsEnabled(false);
    }
    dragTo(m.pos);
}

void SurfaceGestures::moveBand(QPoint pos)
{
    // The selection follows the band as it was before this move.
    selection_.CheckItemInSelect(bandRect_);
    bandRect_ = QRect(QPoint(std::min(anchor_.x(), pos.x()), std::min(anchor_.y(), pos.y())),
                      QPoint(std::max(anchor_.x(), pos.x()), std::max(anchor_.y(), pos.y())));
    surface_.setBand(bandRect_);
}

bool SurfaceGestures::insideNote(QPoint pos) const
{
    const Desktop *d = ws_.activeDesktop();
    if (!d)
        return false;
    for (const auto &note : d->notes) {
        if (QRect(note->Note_Left, note->Note_Top, note->Note_Width, note->Note_Height).contains(pos))
            return true;
    }
    return false;
}

SurfaceGestures::Target SurfaceGestures::targetAt(QPoint pos, ShortcutItem **shortcut)
{
    *shortcut = nullptr;
    // Outside the page (the tabs, the status bar, other windows) and over
    // notes nothing is accepted.
    if (!surface_.rect().contains(pos) || insideNote(pos))
        return Target::None;
    // The dragged shortcuts are disabled and let the pointer through.
    const DesktopScene::Hit hit = surface_.itemAt(pos);
    if (!hit.item)
        return Target::Surface;
    if (hit.where != TImageLabel::Hit::Picture || !ws_.global.Drop_Enabled)
        return Target::None;
    *shortcut = hit.item;
    return Target::Shortcut;
}

void SurfaceGestures::showItem(Dragged &d, QPoint to, QRegion &damage)
{
    DesktopScene *scene = surface_.sceneOf(dragDesktop_);
    if (d.shown == to || !scene)
        return;
    const bool onShow = surface_.desktop() == dragDesktop_;
    const QRect before = onShow ? surface_.itemRect(*d.item) : QRect();
    d.shown = to;
    scene->showAt(*d.item, to);
    if (!onShow)
        return;
    const QRect after = surface_.itemRect(*d.item);
    if (dragged_.size() <= ExactDamageLimit)
        damage += QRegion(before) + QRegion(after);
    else
        damage = damage.boundingRect() | before | after;
}

void SurfaceGestures::settle(bool keepShown, bool leaderBack)
{
    DesktopScene *scene = surface_.sceneOf(dragDesktop_);
    const bool onShow = scene && surface_.desktop() == dragDesktop_;
    QRegion damage;
    for (std::size_t i = 0; i < dragged_.size(); ++i) {
        Dragged &d = dragged_[i];
        const bool moved = keepShown && !(leaderBack && i == 0);
        const bool seen = onShow && (d.shown != d.start || moved);
        if (seen)
            damage += surface_.itemRect(*d.item);
        if (moved) {
            d.item->Item_Left = d.shown.x();
            d.item->Item_Top = d.shown.y();
        }
        if (scene)
            scene->showAt(*d.item, std::nullopt);
        if (seen)
            damage += surface_.itemRect(*d.item);
        if (damage.rectCount() > int(ExactDamageLimit))
            damage = damage.boundingRect();
    }
    if (dragStarted_)
        setItemsEnabled(true);
    if (onShow)
        surface_.update(damage);
    surface_.unsetCursor();
}

void SurfaceGestures::dragTo(QPoint pos)
{
    ShortcutItem *onto = nullptr;
    switch (targetAt(pos, &onto)) {
    case Target::Surface: {
        surface_.setCursor(acceptedOnce_ ? Qt::PointingHandCursor : Qt::DragMoveCursor);
        QRegion damage;
        const QPoint by = pos - pressPos_;
        for (Dragged &d : dragged_)
            showItem(d, shifted(d.start, by), damage);
        surface_.update(damage);
        break;
    }
    case Target::Shortcut:
        // Once a shortcut has accepted, the hand stays for the rest of the drag.
        acceptedOnce_ = true;
        surface_.setCursor(Qt::PointingHandCursor);
        break;
    case Target::None:
        surface_.setCursor(Qt::ForbiddenCursor);
        break;
    }
}

void SurfaceGestures::setItemsEnabled(bool enabled)
{
    DesktopScene *scene = surface_.sceneOf(dragDesktop_);
    if (!scene)
        return;
    const bool onShow = surface_.desktop() == dragDesktop_;
    for (const Dragged &d : dragged_) {
        scene->label(*d.item).ItemEnabled = enabled;
        if (onShow)
            surface_.updateItem(*d.item);
    }
}

void SurfaceGestures::release(const DesktopSurface::Mouse &m)
{
    if (dragPrepared_) {
        if (m.button == Qt::LeftButton)
            endDrag(m);
        return;
    }
    // The release belongs to where the press was: after a press on a
    // shortcut (say the second press of a double click) it is no release
    // over the background.
    if (!backgroundPressed_)
        return;
    // Another button let go during a band changes nothing: no menu opens
    // in the middle of it, and new elements do not move there.
    if (bandActive_ && m.button != Qt::LeftButton)
        return;
    if (!(m.buttons & (Qt::LeftButton | Qt::RightButton | Qt::MiddleButton)))
        backgroundPressed_ = false;
    if (bandActive_) {
        bandActive_ = false;
        surface_.setBand(QRect());
    }
    // A release over the background, whatever the button: new elements and
    // pastes go here, and a command from the menu below runs after this.
    ws_.work.NewElementPosition = m.pos;
    if (m.button == Qt::LeftButton) {
        surface_.setFocus(Qt::MouseFocusReason);
        view_.backgroundClicked();
    }
    if (m.button == Qt::RightButton)
        view_.CheckPasswordOnMenuMain(m.globalPos);
}

void SurfaceGestures::endDrag(const DesktopSurface::Mouse &m)
{
    ShortcutItem *onto = nullptr;
    const Target target = dragStarted_ ? targetAt(m.pos, &onto) : Target::None;
    if (target == Target::Surface) {
        // At the exact pixel: no snapping, no clamping to the page.
        QRegion ignored;
        const QPoint by = m.pos - pressPos_;
        for (Dragged &d : dragged_)
            showItem(d, shifted(d.start, by), ignored);
    }
    // Onto a shortcut, only the one that led the drag goes back; the others
    // stay where the drag left them. A refused drop puts everything back.
    settle(target != Target::None, target == Target::Shortcut);
    ShortcutItem *source = dragged_.empty() ? nullptr : dragged_.front().item;
    const qint64 held = pressTime_.isValid() ? pressTime_.elapsed() : std::numeric_limits<qint64>::max();
    dragged_.clear();
    dragPrepared_ = false;
    dragStarted_ = false;
    if (target == Target::Shortcut && source && onto)
        view_.SourceToSender(*onto, *source);
    // A quick press and release starts the shortcut that led the drag.
    const GlobalSettings &g = ws_.global;
    if (source && g.Single_Click && double(held) < g.SingleClick_Time * SingleClickUnitMs)
        view_.executeItem(*source);
}

void SurfaceGestures::doubleClick(const DesktopSurface::Mouse &m)
{
    if (dragPrepared_ || bandActive_)
        return;
    const DesktopScene::Hit hit = surface_.itemAt(m.pos);
    if (hit.item && m.button == Qt::LeftButton) {
        ws_.work.CurrentElement = {hit.item, nullptr};
        view_.executeItem(*hit.item);
    }
    // The double click's own press follows; after a start the press guard
    // makes it do nothing on a shortcut.
    press(m);
}

void SurfaceGestures::open(ShortcutItem &item)
{
    // Not in the middle of the mouse's own drag or band.
    if (dragPrepared_ || bandActive_)
        return;
    ws_.work.CurrentElement = {&item, nullptr};
    view_.executeItem(item);
    pressGuard_ = true;
}

void SurfaceGestures::cancel()
{
    if (dragPrepared_) {
        settle(false, false);
        dragged_.clear();
        dragPrepared_ = false;
        dragStarted_ = false;
    }
    if (bandActive_) {
        bandActive_ = false;
        surface_.setBand(QRect());
    }
    backgroundPressed_ = false;
}

void SurfaceGestures::interrupt()
{
    if (underWay())
        cancel();
}

InputTakenAway::InputTakenAway(QWidget *window, QWidget *page, std::function<void()> taken)
    : QObject(window), window_(window), page_(page), taken_(std::move(taken))
{
    // On the application: popups and modal windows are windows of their
    // own, whoever opens them.
    qApp->installEventFilter(this);
}

InputTakenAway::~InputTakenAway() { qApp->removeEventFilter(this); }

bool InputTakenAway::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Show: {
        const auto *w = qobject_cast<QWidget *>(watched);
        if (w && w->isWindow() && w != window_ && (w->windowType() == Qt::Popup || w->isModal()))
            taken_();
        break;
    }
    case QEvent::WindowDeactivate:
    case QEvent::WindowBlocked:
        if (watched == window_)
            taken_();
        break;
    case QEvent::FocusOut:
        if (watched == page_)
            taken_();
        break;
    default:
        break;
    }
    return false;
}

} // namespace vl
