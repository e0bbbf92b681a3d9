#include "notes/NoteBoard.h"

#include "notes/TResizer.h"

#include <unordered_map>

namespace vl {

namespace {

using Controllers = std::vector<std::unique_ptr<TResizer>>;

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

void NoteBoard::show(Desktop *d)
{
    if (shown_ && shown_ != d) {
        if (auto it = byDesktop_.find(shown_); it != byDesktop_.end()) {
            for (auto &c : it->second)
                c->setShown(false);
        }
    }
    shown_ = d;
    if (!d)
        return;

    Controllers &list = byDesktop_[d];
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
                next.push_back(std::make_unique<TResizer>(*n, page_, host_, prompt_));
            }
        }
        for (auto &[note, c] : old)
            retireLater(std::move(c));
        list = std::move(next);
    }
    for (auto &c : list)
        c->setShown(true);
}

TResizer &NoteBoard::add(Note &note)
{
    // A show() since the record was made has given it its controller.
    if (TResizer *known = controllerOf(&note))
        return *known;
    auto c = std::make_unique<TResizer>(note, page_, host_, prompt_);
    // A note is made on the shown desktop; with none shown it waits, hidden.
    if (shown_)
        c->setShown(true);
    auto &list = byDesktop_[shown_];
    list.push_back(std::move(c));
    return *list.back();
}

TResizer *NoteBoard::controllerOf(const Note *note) const
{
    for (const auto &[desktop, list] : byDesktop_) {
        for (const auto &c : list) {
            if (&c->note() == note)
                return c.get();
        }
    }
    return nullptr;
}

void NoteBoard::remove(const Note *note)
{
    for (auto &[desktop, list] : byDesktop_) {
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
        for (auto &c : it->second)
            c->HideHandles();
    }
}

void NoteBoard::flush()
{
    for (auto &[desktop, list] : byDesktop_) {
        for (auto &c : list)
            c->flush();
    }
}

} // namespace vl
