#include "notes/NoteBoard.h"

#include "notes/TResizer.h"

#include <QChildEvent>
#include <QRegion>
#include <QWidget>

#include <unordered_map>

namespace vl {

namespace {

using Controllers = std::vector<std::unique_ptr<TResizer>>;

// The notes of one desktop. It covers the page and paints nothing; its mask
// is the union of what its notes show, so the pointer reaches the page
// everywhere else.
class NoteLayer : public QWidget {
public:
    explicit NoteLayer(QWidget *page) : QWidget(page)
    {
        setObjectName(QStringLiteral("noteLayer"));
        setAccessibleName(QStringLiteral("Notes"));
        setGeometry(page->rect());
        page->installEventFilter(this);
        setVisible(false);
        reshape();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == parent()) {
            if (event->type() == QEvent::Resize)
                setGeometry(parentWidget()->rect());
            return false;
        }
        switch (event->type()) {
        // Only a note's own showing or hiding changes the mask; the
        // layer's own takes its notes along as they are.
        case QEvent::ShowToParent:
        case QEvent::HideToParent:
        case QEvent::Move:
        case QEvent::Resize:
            reshape();
            break;
        default:
            break;
        }
        return false;
    }
    void childEvent(QChildEvent *event) override
    {
        if (event->added() && event->child()->isWidgetType())
            event->child()->installEventFilter(this);
        else if (event->removed())
            reshape();
        QWidget::childEvent(event);
    }

private:
    void reshape()
    {
        QRegion shape;
        for (QObject *child : children()) {
            if (auto *w = qobject_cast<QWidget *>(child); w && !w->isHidden())
                shape += w->geometry();
        }
        // An empty mask would mean none at all: the whole layer.
        setMask(shape.isEmpty() ? QRegion(-2, -2, 1, 1) : shape);
    }
};

// Hidden now, destroyed once the event that asked for it has run its
// course: the controller may be inside its own menu command.
void retireLater(std::unique_ptr<TResizer> c)
{
    c->retire();
    c.release()->deleteLater();
}

} // namespace

NoteBoard::NoteBoard(QWidget *page, NoteHost &host, Prompt &prompt) : page_(page), host_(host), prompt_(prompt) {}

NoteBoard::~NoteBoard() = default;

NoteBoard::Notes::~Notes()
{
    controllers.clear();
    delete layer.data();
}

NoteBoard::Notes &NoteBoard::notesOf(const Desktop *d)
{
    Notes &notes = byDesktop_[d];
    if (!notes.layer)
        notes.layer = new NoteLayer(page_);
    return notes;
}

void NoteBoard::show(Desktop *d)
{
    if (shown_ != d) {
        if (auto it = byDesktop_.find(shown_); it != byDesktop_.end()) {
            for (auto &c : it->second.controllers)
                c->setShown(false);
            if (it->second.layer)
                it->second.layer->hide();
        }
    }
    shown_ = d;
    if (!d)
        return;

    Notes &notes = notesOf(d);
    Controllers &list = notes.controllers;
    // The desktop's notes in their order, one controller each. Usually the
    // list already matches (every change of notes goes through add() and
    // remove()); otherwise it is brought in line, keeping what it can.
    bool same = list.size() == d->notes.size();
    for (std::size_t i = 0; same && i < list.size(); ++i)
        same = &list[i]->note() == d->notes[i].get();
    if (!same) {
        std::unordered_map<const Note *, std::unique_ptr<TResizer>> old;
        for (auto &c : list)
            old.emplace(&c->note(), std::move(c));
        Controllers next;
        next.reserve(d->notes.size());
        for (const auto &n : d->notes) {
            if (auto it = old.find(n.get()); it != old.end()) {
                next.push_back(std::move(it->second));
                old.erase(it);
                // The address may be a new record's.
                next.back()->applyRecord();
            } else {
                next.push_back(std::make_unique<TResizer>(*n, notes.layer.data(), host_, prompt_));
            }
        }
        for (auto &[note, c] : old)
            retireLater(std::move(c));
        list = std::move(next);
    }
    // Within the hidden layer, showing costs nothing; then the layer shows.
    for (auto &c : list)
        c->setShown(true);
    notes.layer->show();
    notes.layer->raise();
}

TResizer &NoteBoard::add(Note &note)
{
    // A show() since the record was made has given it its controller.
    if (TResizer *known = controllerOf(&note))
        return *known;
    Notes &notes = notesOf(shown_);
    auto c = std::make_unique<TResizer>(note, notes.layer.data(), host_, prompt_);
    // A note is made on the shown desktop; with none shown it waits, hidden.
    if (shown_)
        c->setShown(true);
    notes.controllers.push_back(std::move(c));
    return *notes.controllers.back();
}

TResizer *NoteBoard::controllerOf(const Note *note) const
{
    for (const auto &[desktop, notes] : byDesktop_) {
        for (const auto &c : notes.controllers) {
            if (&c->note() == note)
                return c.get();
        }
    }
    return nullptr;
}

void NoteBoard::remove(const Note *note)
{
    for (auto &[desktop, notes] : byDesktop_) {
        Controllers &list = notes.controllers;
        for (auto it = list.begin(); it != list.end(); ++it) {
            if (&(*it)->note() == note) {
                std::unique_ptr<TResizer> c = std::move(*it);
                list.erase(it);
                retireLater(std::move(c));
                return;
            }
        }
    }
}

void NoteBoard::forget(const Desktop *d)
{
    if (shown_ == d)
        shown_ = nullptr;
    byDesktop_.erase(d);
}

void NoteBoard::forgetAll()
{
    shown_ = nullptr;
    byDesktop_.clear();
}

void NoteBoard::hideAllHandles()
{
    if (auto it = byDesktop_.find(shown_); it != byDesktop_.end()) {
        for (auto &c : it->second.controllers)
            c->HideHandles();
    }
}

bool NoteBoard::isEditor(const QWidget *w) const
{
    if (!w)
        return false;
    const auto it = byDesktop_.find(shown_);
    if (it == byDesktop_.end())
        return false;
    for (const auto &c : it->second.controllers) {
        const QWidget *memo = c->editing() ? c->memo() : nullptr;
        if (memo && (memo == w || memo->isAncestorOf(w)))
            return true;
    }
    return false;
}

void NoteBoard::flush()
{
    for (auto &[desktop, notes] : byDesktop_) {
        for (auto &c : notes.controllers)
            c->flush();
    }
}

} // namespace vl
