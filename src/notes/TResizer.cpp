#include "notes/TResizer.h"

#include "common/ColourConv.h"
#include "common/Prompt.h"
#include "model/StorableText.h"
#include "notes/NoteHost.h"
#include "notes/NoteWidgets.h"

#include <QAction>
#include <QMenu>
#include <QPointer>
#include <QTextDocument>
#include <QWidget>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>

namespace vl {

namespace {

// The note's menu is addressed by these positions.
enum MenuPos {
    popEdit,
    popTire1,
    popCut,
    popCopy,
    popPaste,
    popSelectAll,
    popTire2,
    popResize,
    popProperties,
    popTire3,
    popDelete,
    MenuSize
};

int saturated(long long v) { return int(std::clamp<long long>(v, INT_MIN, INT_MAX)); }

// Grid steps toward zero; a grid below one pixel would divide by zero.
int steps(int delta, int grid)
{
    const int g = std::max(1, grid);
    return g * (delta / g);
}

} // namespace

class TResizer::Impl {
public:
    Impl(TResizer &q, QWidget *page, NoteHost &host, Prompt &prompt) : q(q), page(page), host(host), prompt(prompt) {}

    TResizer &q;
    QPointer<QWidget> page;
    NoteHost &host;
    Prompt &prompt;

    // Everything below is a child of the page and dies with it if the page
    // goes first; hence the guarded pointers.
    QPointer<TNoteView> view;
    QPointer<TNoteEdit> edit; // only while editing
    QPointer<TMover> mover;   // made with the sizers when first shown
    std::array<QPointer<TSizer>, 8> sizers;
    QPointer<QMenu> menu; // made when first asked for
    std::array<QPointer<QAction>, MenuSize> actions;
    QPointer<TNoteOutline> outline;

    bool shown = false;
    bool handles = false;
    bool moving = false;
    bool sizing = false;
    int sizingHandle = -1;
    bool retired = false;
    Edges startBounds{};
    Edges dragRect{};
    QPoint startPoint;

    Note &note() const { return *q.note_; }
    QSize pageSize() const { return page ? page->size() : QSize(); }

    Edges bounds() const
    {
        const Note &n = note();
        // Sizes come from the file and may be anything.
        return {n.Note_Left, n.Note_Top, saturated(qint64(n.Note_Left) + n.Note_Width),
                saturated(qint64(n.Note_Top) + n.Note_Height)};
    }

    QRect memoRect() const
    {
        const Note &n = note();
        return {n.Note_Left, n.Note_Top, n.Note_Width, n.Note_Height};
    }

    void setBounds(const Edges &e)
    {
        Note &n = note();
        n.Note_Left = e.left;
        n.Note_Top = e.top;
        n.Note_Width = saturated(qint64(e.right) - e.left);
        n.Note_Height = saturated(qint64(e.bottom) - e.top);
        placeMemo();
        host.noteBoundsChanged(q);
    }

    void placeMemo()
    {
        const QRect r = memoRect();
        if (view)
            view->setGeometry(r);
        if (edit)
            edit->setGeometry(r);
    }

    void applyLook()
    {
        const QFont font = toQFont(note().Note_Font);
        const QColor text = toQColor(note().Note_Font.Color);
        const QColor back = toQColor(note().Note_Color);
        if (view)
            view->setLook(font, text, back);
        if (edit)
            edit->setLook(font, text, back);
    }

    QWidget *memo() const { return edit ? static_cast<QWidget *>(edit) : view; }

    void ensureHandles()
    {
        if (mover || !page)
            return;
        mover = new TMover(page);
        mover->hooks.press = [this](QPoint g) { moverPress(g); };
        mover->hooks.move = [this](QPoint g) { moverMove(g); };
        mover->hooks.release = [this](QPoint) { moverRelease(); };
        mover->onKey = [this](int key, Qt::KeyboardModifiers mods) { return keyDown(key, mods); };
        for (int i = 0; i < 8; ++i) {
            TSizer *s = new TSizer(page, i);
            s->hooks.press = [this, i](QPoint g) { sizerPress(i, g); };
            s->hooks.move = [this](QPoint g) { sizerMove(g); };
            s->hooks.release = [this](QPoint) { sizerRelease(); };
            sizers[std::size_t(i)] = s;
        }
    }

    void placeHandles()
    {
        const QRect r = memoRect();
        const int l = r.x(), t = r.y(), w = r.width(), h = r.height();
        const int half = TSizer::Side / 2;
        // Each handle is centred on a corner or on the middle of an edge.
        const std::array<QPoint, 8> at = {{
            {l - half, t - half},
            {l + w / 2 - half, t - half},
            {l + w - half, t - half},
            {l - half, t + h / 2 - half},
            {l + w - half, t + h / 2 - half},
            {l - half, t + h - half},
            {l + w / 2 - half, t + h - half},
            {l + w - half, t + h - half},
        }};
        if (mover)
            mover->setGeometry(r);
        for (std::size_t i = 0; i < sizers.size(); ++i) {
            if (sizers[i])
                sizers[i]->move(at[i]);
        }
    }

    // Hides the handles, except the one being dragged: that one must go on
    // receiving the pointer until the release, so it only stops being seen
    // (the move handle is never seen anyway).
    void hideHandlesExcept(QWidget *keep)
    {
        for (auto &s : sizers) {
            if (!s)
                continue;
            if (s == keep)
                s->setGhost(true);
            else
                s->hide();
        }
        if (mover && mover != keep)
            mover->hide();
        handles = false;
    }

    void showOutline(const Edges &e)
    {
        if (!page)
            return;
        if (!outline)
            outline = new TNoteOutline(page);
        // A resize without the page clamp may cross its edges over.
        const QRect r(QPoint(std::min(e.left, e.right), std::min(e.top, e.bottom)),
                      QSize(std::max(1, std::abs(e.right - e.left)), std::max(1, std::abs(e.bottom - e.top))));
        outline->setRect(r);
    }

    // Ends a drag without applying it; the handle it ghosted shows again
    // with the rest, or not at all.
    void endDrag()
    {
        moving = false;
        sizing = false;
        sizingHandle = -1;
        if (outline)
            outline->setRect(QRect());
        for (auto &s : sizers) {
            if (s && s->ghost())
                s->setGhost(false);
        }
    }

    void moverPress(QPoint g)
    {
        if (retired || !shown)
            return;
        if (QWidget *m = memo())
            m->raise();
        mover->raise();
        moving = true;
        startPoint = g;
        hideHandlesExcept(mover);
        startBounds = dragRect = bounds();
        showOutline(dragRect);
    }

    void moverMove(QPoint g)
    {
        if (!moving)
            return;
        dragRect = q.movedBy(startBounds, g - startPoint, pageSize());
        showOutline(dragRect);
    }

    void moverRelease()
    {
        // Only a drag that this handle began lands; a stray release must not
        // put back bounds that keys have changed since.
        if (!moving)
            return;
        const Edges to = dragRect;
        endDrag();
        setBounds(to);
        q.ShowHandles();
    }

    void sizerPress(int index, QPoint g)
    {
        if (retired || !shown)
            return;
        sizing = true;
        sizingHandle = index;
        startPoint = g;
        hideHandlesExcept(sizers[std::size_t(index)]);
        startBounds = dragRect = bounds();
        showOutline(dragRect);
    }

    void sizerMove(QPoint g)
    {
        if (!sizing)
            return;
        dragRect = q.resizedBy(startBounds, dragRect, sizingHandle, g - startPoint, pageSize());
        showOutline(dragRect);
    }

    void sizerRelease()
    {
        if (!sizing)
            return;
        Edges to = dragRect;
        if (to.right < to.left)
            std::swap(to.left, to.right);
        if (to.bottom < to.top)
            std::swap(to.top, to.bottom);
        endDrag();
        setBounds(to);
        q.ShowHandles();
    }

    bool keyDown(int key, Qt::KeyboardModifiers mods)
    {
        if (!q.active_ || retired)
            return false;
        QPoint step;
        switch (key) {
        case Qt::Key_Left: step = {-q.GridX, 0}; break;
        case Qt::Key_Right: step = {q.GridX, 0}; break;
        case Qt::Key_Up: step = {0, -q.GridY}; break;
        case Qt::Key_Down: step = {0, q.GridY}; break;
        default: return false;
        }
        const bool ctrl = mods & Qt::ControlModifier;
        const bool shift = mods & Qt::ShiftModifier;
        if (!ctrl && !shift)
            return false;
        Edges r = bounds();
        // With both keys the move comes first, then the resize.
        if (ctrl && q.AllowMove) {
            r = {r.left + step.x(), r.top + step.y(), r.right + step.x(), r.bottom + step.y()};
            if (q.KeepInParent)
                r = moveClamp(r, pageSize());
        }
        if (shift && q.AllowSize) {
            r.right += step.x();
            r.bottom += step.y();
            if (q.KeepInParent)
                r = q.sizeClamp(r, pageSize());
        }
        setBounds(r);
        q.ShowHandles();
        return true;
    }

    void ensureMenu()
    {
        if (menu || !page)
            return;
        struct Entry {
            const char *name;
            const char *caption; // "-": a separator
        };
        static constexpr Entry entries[MenuSize] = {
            {"popEdit", "Edit"},         {"popTire1", "-"},        {"popCut", "Cut"},
            {"popCopy", "Copy"},         {"popPaste", "Paste"},    {"popSelectAll", "Select All"},
            {"popTire2", "-"},           {"popResize", "Move && Resize"}, {"popProperties", "Properties"},
            {"popTire3", "-"},           {"popDelete", "Delete"},
        };
        menu = new QMenu(page);
        menu->setObjectName(QStringLiteral("noteMenu"));
        for (int i = 0; i < MenuSize; ++i) {
            const QString caption = QString::fromLatin1(entries[i].caption);
            QAction *a = caption == QLatin1String("-") ? menu->addSeparator() : menu->addAction(caption);
            a->setObjectName(QString::fromLatin1(entries[i].name));
            actions[std::size_t(i)] = a;
        }
        auto on = [this](int pos, auto &&slot) {
            QObject::connect(actions[std::size_t(pos)].data(), &QAction::triggered, &q, slot);
        };
        on(popEdit, [this] { q.popEditClick(); });
        on(popCut, [this] { if (edit) edit->cut(); });
        on(popCopy, [this] { if (edit) edit->copy(); });
        on(popPaste, [this] { if (edit) edit->paste(); });
        on(popSelectAll, [this] { if (edit) edit->selectAll(); });
        on(popResize, [this] { if (!retired) q.setActive(true); });
        on(popProperties, [this] { if (!retired) host.noteProperties(q); });
        on(popDelete, [this] { deleteClick(); });
        updateMenu();
    }

    void updateMenu()
    {
        if (!menu)
            return;
        const bool editing = edit;
        actions[popEdit]->setText(editing ? QStringLiteral("Block") : QStringLiteral("Edit"));
        for (int pos = popTire1; pos <= popTire2; ++pos)
            actions[std::size_t(pos)]->setVisible(editing);
        actions[popTire3]->setVisible(!editing);
        actions[popDelete]->setVisible(!editing);
    }

    void startEditing()
    {
        if (!page)
            return;
        TNoteEdit *e = new TNoteEdit(page);
        edit = e;
        e->onPress = [this](Qt::MouseButton b, QPoint g) { pressed(b, g); };
        e->onMenuKey = [this](QPoint g) { menuKey(g); };
        e->onFocusLost = [this] { q.flush(); };
        e->setGeometry(memoRect());
        // The look first: a new font lays the whole text out again.
        applyLook();
        e->setPlainText(note().Lines.join(QLatin1Char('\n')));
        e->document()->setModified(false);
        // Into the reading view's place among the page's children, under
        // the handles and any later note.
        if (view) {
            e->stackUnder(view);
            view->hide();
        }
        if (shown) {
            e->show();
            e->setFocus(Qt::OtherFocusReason);
        }
        updateMenu();
    }

    void stopEditing()
    {
        q.flush();
        TNoteEdit *e = edit;
        edit = nullptr;
        // The editor may still be on the stack (its press opened the menu):
        // it goes later and says nothing more.
        e->onPress = nullptr;
        e->onMenuKey = nullptr;
        e->onFocusLost = nullptr;
        if (view) {
            // The text may have changed under the old selection.
            view->clearSelection();
            view->scrollToTop();
            view->stackUnder(e);
            if (shown)
                view->show();
        }
        e->hide();
        e->deleteLater();
        updateMenu();
        q.HideHandles();
    }

    void pressed(Qt::MouseButton button, QPoint g)
    {
        if (!retired)
            host.NoteMouseDown(q, button, g);
    }

    void menuKey(QPoint g)
    {
        if (!retired)
            host.noteMenuRequested(q, g);
    }

    void deleteClick()
    {
        if (retired)
            return;
        if (prompt.MessageDlg(QStringLiteral("You are sure? Delete this note?"), MsgDlgType::Confirmation,
                              mbYes | mbNo, 0)
            != ModalResult::Yes)
            return;
        // The host destroys the record; from here on nothing may read it,
        // not even a focus change while the widgets go away.
        q.retire();
        host.noteDeleted(q);
    }

    void destroyWidgets()
    {
        if (edit) {
            edit->onPress = nullptr;
            edit->onMenuKey = nullptr;
            edit->onFocusLost = nullptr;
        }
        delete edit;
        delete view;
        delete mover;
        for (auto &s : sizers)
            delete s;
        delete menu;
        delete outline;
    }
};

TResizer::TResizer(Note &note, QWidget *page, NoteHost &host, Prompt &prompt)
    : note_(&note), d_(new Impl(*this, page, host, prompt))
{
    Q_ASSERT_X(page, "TResizer", "a note needs a page");
    TNoteView *v = new TNoteView(page);
    d_->view = v;
    v->onPress = [this](Qt::MouseButton b, QPoint g) { d_->pressed(b, g); };
    v->onMenuKey = [this](QPoint g) { d_->menuKey(g); };
    v->setLines(&note.Lines);
    d_->applyLook();
    d_->placeMemo();
}

TResizer::~TResizer()
{
    d_->retired = true;
    d_->destroyWidgets();
    delete d_;
}

void TResizer::setActive(bool active)
{
    active_ = active;
    if (!active)
        return;
    d_->endDrag();
    ShowHandles();
}

void TResizer::ShowHandles()
{
    if (d_->retired || !d_->shown || !d_->page)
        return;
    d_->ensureHandles();
    d_->placeHandles();
    d_->mover->show();
    d_->mover->raise();
    for (auto &s : d_->sizers) {
        s->setGhost(false);
        s->show();
        s->raise();
    }
    d_->handles = true;
    if (d_->mover->isVisible() && d_->mover->isEnabled())
        d_->mover->setFocus(Qt::OtherFocusReason);
}

void TResizer::HideHandles() { d_->hideHandlesExcept(nullptr); }

bool TResizer::handlesShown() const { return d_->handles; }

bool TResizer::editing() const { return d_->edit; }

void TResizer::popEditClick()
{
    if (d_->retired)
        return;
    if (d_->edit)
        d_->stopEditing();
    else
        d_->startEditing();
}

void TResizer::popupMenu(QPoint globalPos)
{
    if (d_->retired)
        return;
    d_->ensureMenu();
    if (d_->menu)
        d_->menu->popup(globalPos);
}

QMenu *TResizer::menu() const
{
    d_->ensureMenu();
    return d_->menu;
}

void TResizer::flush()
{
    TNoteEdit *e = d_->edit;
    if (d_->retired || !e || !e->document()->isModified())
        return;
    // Pasted text may hold what no settings line can carry.
    note_->Lines = storable(e->lines());
    e->document()->setModified(false);
    d_->host.noteTextChanged(*this);
}

void TResizer::applyRecord()
{
    if (d_->retired)
        return;
    d_->applyLook();
    d_->placeMemo();
    if (d_->handles)
        d_->placeHandles();
}

void TResizer::setShown(bool shown)
{
    if (d_->retired || d_->shown == shown)
        return;
    d_->shown = shown;
    if (shown) {
        if (QWidget *m = d_->memo())
            m->show();
        return;
    }
    d_->endDrag();
    HideHandles();
    // A focused editor gives its text to the record as it goes.
    if (d_->edit)
        d_->edit->hide();
    if (d_->view)
        d_->view->hide();
}

QWidget *TResizer::memo() const { return d_->memo(); }

QWidget *TResizer::mover() const { return d_->mover; }

QWidget *TResizer::sizer(int index) const
{
    return index >= 0 && index < 8 ? d_->sizers[std::size_t(index)].data() : nullptr;
}

QRect TResizer::outline() const { return d_->outline ? d_->outline->outlineRect() : QRect(); }

void TResizer::retire()
{
    if (d_->retired)
        return;
    // No flush: the record may be gone already.
    d_->endDrag();
    d_->retired = true;
    d_->hideHandlesExcept(nullptr);
    if (d_->edit) {
        d_->edit->onPress = nullptr;
        d_->edit->onMenuKey = nullptr;
        d_->edit->onFocusLost = nullptr;
        d_->edit->hide();
    }
    if (d_->view) {
        d_->view->hide();
        d_->view->setLines(nullptr);
    }
    if (d_->menu)
        d_->menu->hide();
}

bool TResizer::retired() const { return d_->retired; }

TResizer::Edges TResizer::movedBy(const Edges &start, QPoint delta, QSize page) const
{
    if (!AllowMove)
        return start;
    const int dx = steps(delta.x(), GridX);
    const int dy = steps(delta.y(), GridY);
    Edges r{start.left + dx, start.top + dy, start.right + dx, start.bottom + dy};
    return KeepInParent ? moveClamp(r, page) : r;
}

TResizer::Edges TResizer::resizedBy(const Edges &start, const Edges &current, int handle, QPoint delta,
                                    QSize page) const
{
    if (!AllowSize)
        return current;
    const int dx = steps(delta.x(), GridX);
    const int dy = steps(delta.y(), GridY);
    // Edges the handle does not drag keep what they have now, a value the
    // clamp pushed in an earlier step included.
    Edges r = current;
    if (handle >= 0 && handle <= 2)
        r.top = start.top + dy;
    if (handle >= 5 && handle <= 7)
        r.bottom = start.bottom + dy;
    if (handle == 0 || handle == 3 || handle == 5)
        r.left = start.left + dx;
    if (handle == 2 || handle == 4 || handle == 7)
        r.right = start.right + dx;
    return KeepInParent ? sizeClamp(r, page) : r;
}

TResizer::Edges TResizer::moveClamp(Edges r, QSize page)
{
    // Each step sees the one before: a note larger than the page ends with
    // its right or bottom edge on the page's edge.
    if (r.left < 0) {
        r.right -= r.left;
        r.left = 0;
    }
    if (r.top < 0) {
        r.bottom -= r.top;
        r.top = 0;
    }
    if (r.right > page.width()) {
        r.left -= r.right - page.width();
        r.right = page.width();
    }
    if (r.bottom > page.height()) {
        r.top -= r.bottom - page.height();
        r.bottom = page.height();
    }
    return r;
}

TResizer::Edges TResizer::sizeClamp(Edges r, QSize page) const
{
    r.left = std::max(r.left, 0);
    r.top = std::max(r.top, 0);
    r.right = std::min(r.right, page.width());
    r.bottom = std::min(r.bottom, page.height());
    // The smallest size wins over the page edge.
    if (r.right < r.left + GridX)
        r.right = r.left + GridX;
    if (r.bottom < r.top + GridY)
        r.bottom = r.top + GridY;
    return r;
}

} // namespace vl
