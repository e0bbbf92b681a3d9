#include "surface/Selection.h"

#include "shortcuts/TImageLabel.h"

namespace vl {

void Selection::mark(ShortcutItem &item, bool selected)
{
    if (item.Selected == selected)
        return;
    item.Selected = selected;
    if (onChanged)
        onChanged(item);
}

void Selection::Focused(ShortcutItem &item, bool ctrl)
{
    if (contains(&item))
        return;
    if (!ctrl)
        UnFocused();
    ws_.work.CurrentElement = {&item, nullptr};
    at_.emplace(&item, items_.size());
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
    at_.clear();
    ws_.work.CurrentElement.clear();
}

void Selection::removeAt(std::size_t index)
{
    at_.erase(items_[index]);
    if (index + 1 != items_.size()) {
        items_[index] = items_.back();
        at_[items_[index]] = index;
    }
    items_.pop_back();
}

void Selection::UnFocusedCurrent(ShortcutItem &item)
{
    const auto it = at_.find(&item);
    if (it == at_.end())
        return;
    ws_.work.CurrentElement = {&item, nullptr};
    removeAt(it->second);
    mark(item, false);
}

void Selection::CheckItemInSelect(const QRect &band)
{
    Desktop *d = ws_.activeDesktop();
    if (!d)
        return;
    const int left = band.left(), top = band.top(), right = band.right(), bottom = band.bottom();
    const auto between = [](int v, int low, int high) { return low < v && v < high; };
    for (const auto &owned : d->items) {
        ShortcutItem &item = *owned;
        const int l = item.Item_Left, t = item.Item_Top;
        const int r = l + TImageLabel::PictureSize, b = t + TImageLabel::PictureSize;
        const bool inside = (between(l, left, right) || between(r, left, right))
                            && (between(t, top, bottom) || between(b, top, bottom));
        if (inside)
            Focused(item, true);
        else
            UnFocusedCurrent(item);
    }
}

void Selection::forget(const ShortcutItem *item)
{
    const auto it = at_.find(item);
    if (it != at_.end())
        removeAt(it->second);
    if (ws_.work.CurrentElement.item == item)
        ws_.work.CurrentElement.clear();
}

void Selection::dropAll()
{
    items_.clear();
    at_.clear();
    ws_.work.CurrentElement.clear();
}

} // namespace vl
