#pragma once

#include "model/Model.h"

#include <QRect>

#include <functional>
#include <unordered_map>
#include <vector>

namespace vl {

// The selected shortcuts of the active desktop, in the order they were
// selected. Each carries the selected mark of its ShortcutItem. There is no
// limit on how many: clicks and the rubber band agree on that.
class Selection {
public:
    explicit Selection(Workspace &ws) : ws_(ws) {}

    // Selects the shortcut: alone, or added when ctrl is held. Selecting a
    // selected shortcut changes nothing, not even CurrentElement.
    void Focused(ShortcutItem &item, bool ctrl);
    // Clears the selection and CurrentElement.
    void UnFocused();
    // Deselects one shortcut, which stays CurrentElement; the last entry of
    // the list takes its place.
    void UnFocusedCurrent(ShortcutItem &item);
    // The rubber band: every shortcut of the active desktop with a corner of
    // its picture strictly inside the band is selected (with Ctrl implied),
    // every other one deselected. The band is built from its two corners,
    // so right() and bottom() are the far edges themselves.
    void CheckItemInSelect(const QRect &band);
    // Drops a shortcut that is about to be destroyed.
    void forget(const ShortcutItem *item);
    // Forgets every reference without touching the records, before whole
    // desktops are destroyed.
    void dropAll();

    const std::vector<ShortcutItem *> &items() const { return items_; }
    int count() const { return static_cast<int>(items_.size()); }
    bool contains(const ShortcutItem *item) const { return at_.count(item) != 0; }

    // Called for every change of a shortcut's selected look.
    std::function<void(ShortcutItem &)> onChanged;

private:
    void mark(ShortcutItem &item, bool selected);
    void removeAt(std::size_t index);

    Workspace &ws_;
    std::vector<ShortcutItem *> items_;
    // Where each selected shortcut stands in items_: a band over ten thousand
    // shortcuts asks about every one of them at every move.
    std::unordered_map<const ShortcutItem *, std::size_t> at_;
};

} // namespace vl
