#include "model/Model.h"

#include <algorithm>
#include <stdexcept>

namespace vl {

std::uint64_t Desktop::nextId()
{
    static std::uint64_t next = 1;
    return next++;
}

ShortcutItem &Desktop::addItem()
{
    auto item = std::make_unique<ShortcutItem>();
    item->creationOrder = nextOrder_++;
    items.push_back(std::move(item));
    return *items.back();
}

Note &Desktop::addNote()
{
    auto note = std::make_unique<Note>();
    note->creationOrder = nextOrder_++;
    notes.push_back(std::move(note));
    return *notes.back();
}

bool Desktop::removeItem(const ShortcutItem *item)
{
    const auto it = std::find_if(items.begin(), items.end(), [&](const auto &p) { return p.get() == item; });
    if (it == items.end())
        return false;
    items.erase(it);
    return true;
}

bool Desktop::removeNote(const Note *note)
{
    const auto it = std::find_if(notes.begin(), notes.end(), [&](const auto &p) { return p.get() == note; });
    if (it == notes.end())
        return false;
    notes.erase(it);
    return true;
}

int Desktop::indexOfItem(const ShortcutItem *item) const
{
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].get() == item)
            return static_cast<int>(i);
    }
    return -1;
}

int Workspace::indexOf(const Desktop *d) const
{
    for (std::size_t i = 0; i < desktops_.size(); ++i) {
        if (desktops_[i].get() == d)
            return static_cast<int>(i);
    }
    return -1;
}

bool Workspace::setActiveIndex(int index)
{
    if (index < 0 || index >= desktopCount())
        return false;
    active_ = index;
    return true;
}

Desktop &Workspace::CreateNewTabSheet()
{
    auto d = std::make_unique<Desktop>();
    d->Desktop_Caption = Desktop::CreatedCaption;
    d->settings.Background_Stretch = false;
    d->settings.Background_Center = false;
    d->settings.Password_On_Desktop = 0;
    d->settings.ShortcutFont = global.ShortcutFont;
    d->settings.BG_Shortcut = work.Template.BG_Shortcut;
    d->settings.Transparent = work.Template.Transparent;
    desktops_.push_back(std::move(d));
    active_ = desktopCount() - 1;
    return *desktops_.back();
}

ShortcutItem &Workspace::CreateNewItem()
{
    Desktop *d = activeDesktop();
    if (!d)
        throw std::logic_error("CreateNewItem without a desktop");
    ShortcutItem &item = d->addItem();
    item.Item_Left = work.NewElementPosition.x();
    item.Item_Top = work.NewElementPosition.y();
    work.CurrentElement = {&item, nullptr};
    return item;
}

Note &Workspace::CreateNewNote()
{
    Desktop *d = activeDesktop();
    if (!d)
        throw std::logic_error("CreateNewNote without a desktop");
    Note &note = d->addNote();
    note.Note_Left = work.NewElementPosition.x();
    note.Note_Top = work.NewElementPosition.y();
    note.Note_Width = 50;
    note.Note_Height = 30;
    work.CurrentElement = {nullptr, &note};
    return note;
}

void Workspace::forgetElementsOf(const Desktop &d)
{
    const ElementRef &cur = work.CurrentElement;
    if (cur.item && d.indexOfItem(cur.item) >= 0)
        work.CurrentElement.clear();
    if (cur.note && std::any_of(d.notes.begin(), d.notes.end(), [&](const auto &n) { return n.get() == cur.note; }))
        work.CurrentElement.clear();
}

std::unique_ptr<Desktop> Workspace::takeDesktop(std::uint64_t id)
{
    for (auto &d : desktops_) {
        if (d && d->id() == id) {
            forgetElementsOf(*d);
            return std::move(d);
        }
    }
    return nullptr;
}

void Workspace::replaceDesktops(std::vector<std::unique_ptr<Desktop>> desktops, std::uint64_t activeId)
{
    for (const auto &d : desktops_) {
        if (d)
            forgetElementsOf(*d);
    }
    desktops_ = std::move(desktops);
    active_ = 0;
    for (std::size_t i = 0; i < desktops_.size(); ++i) {
        if (desktops_[i]->id() == activeId)
            active_ = static_cast<int>(i);
    }
}

void Workspace::deleteDesktop(int index)
{
    if (index < 0 || index >= desktopCount())
        return;
    if (beforeDesktopRemoved)
        beforeDesktopRemoved(*desktops_[static_cast<std::size_t>(index)]);
    forgetElementsOf(*desktops_[static_cast<std::size_t>(index)]);
    desktops_.erase(desktops_.begin() + index);
    if (active_ > index || active_ >= desktopCount())
        active_ = std::max(0, active_ - 1);
}

bool Workspace::moveDesktop(int from, int to)
{
    if (from < 0 || from >= desktopCount() || to < 0 || to >= desktopCount())
        return false;
    const Desktop *active = activeDesktop();
    const auto first = desktops_.begin();
    if (from < to)
        std::rotate(first + from, first + from + 1, first + to + 1);
    else if (from > to)
        std::rotate(first + to, first + from, first + from + 1);
    active_ = indexOf(active);
    return true;
}

void Workspace::clearDesktops()
{
    desktops_.clear();
    active_ = 0;
    work.CurrentElement.clear();
}

} // namespace vl
