#include "surface/Selection.h"

#include <algorithm>

namespace vl {

void Selection::mark(ShortcutItem &item, bool selected)
{
    if (item.Selected == selected)
        return;
    item.Selected = selected;
    if (onChanged)
        onChanged(item);
}

bool Selection::contains(const ShortcutItem *item) const
{
    return std::find(items_.begin(), items_.end(), item) != items_.end();
}

void Selection::Focused(ShortcutItem &item, bool ctrl)
{
    if (contains(&item))
        return;
    if (!ctrl)
        UnFocused();
    ws_.work.CurrentElement = {&item, nullptr};
    items_.push_back(&item);
    mark(item, true);
}

void Selection::UnFocused()
{
    // Marks can outlive the list (a desktop switch empties the list while
    // the old desktop keeps its records), so the whole desktop is cleared.
    if (Desktop *d = ws_.activeDesktop()) {
        for (const auto &item : d->items)
            mark(*item, false);
    }
    for (ShortcutItem *item : items_)
        mark(*item, false);
    items_.clear();
    ws_.work.CurrentElement.clear();
}

void Selection::UnFocusedCurrent(ShortcutItem &item)
{
    const auto it = std::find(items_.begin(), items_.end(), &item);
    if (it != items_.end())
        items_.erase(it);
    mark(item, false);
    if (ws_.work.CurrentElement.item == &item)
        ws_.work.CurrentElement.clear();
}

void Selection::forget(const ShortcutItem *item)
{
    items_.erase(std::remove(items_.begin(), items_.end(), item), items_.end());
    if (ws_.work.CurrentElement.item == item)
        ws_.work.CurrentElement.clear();
}

} // namespace vl
