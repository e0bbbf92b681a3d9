#pragma once

#include "model/Model.h"

#include <functional>
#include <vector>

namespace vl {

// The selected shortcuts of the active desktop, in the order they were
// selected. Each carries the selected mark of its ShortcutItem.
class Selection {
public:
    explicit Selection(Workspace &ws) : ws_(ws) {}

    // Selects the shortcut: alone, or added when ctrl is held. Selecting a
    // selected shortcut changes nothing, not even CurrentElement.
    void Focused(ShortcutItem &item, bool ctrl);
    // Clears the selection and CurrentElement.
    void UnFocused();
    // Deselects one shortcut.
    void UnFocusedCurrent(ShortcutItem &item);
    // Drops a shortcut that is about to be destroyed.
    void forget(const ShortcutItem *item);
    // Forgets every reference without touching the records, before whole
    // desktops are destroyed.
    void dropAll()
    {
        items_.clear();
        ws_.work.CurrentElement.clear();
    }

    const std::vector<ShortcutItem *> &items() const { return items_; }
    int count() const { return static_cast<int>(items_.size()); }
    bool contains(const ShortcutItem *item) const;

    // Called for every change of a shortcut's selected look.
    std::function<void(ShortcutItem &)> onChanged;

private:
    void mark(ShortcutItem &item, bool selected);

    Workspace &ws_;
    std::vector<ShortcutItem *> items_;
};

} // namespace vl
