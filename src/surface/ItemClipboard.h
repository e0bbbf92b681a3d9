#pragma once

#include "model/Model.h"

#include <functional>
#include <vector>

namespace vl {

class Arrangement;
class Platform;
class Prompt;
class Selection;
class ShortcutCommands;
class ShortcutView;

// "Copy Shortcut", "Cut Shortcut" and "Paste Shortcut": a clipboard of the
// program's own (not the system's) that records the selected shortcuts and
// pastes copies of them onto the active desktop, laid out around
// NewElementPosition as the originals were among themselves. A cut takes
// effect when the paste is made: the originals are deleted then.
class ItemClipboard {
public:
    ItemClipboard(Workspace &ws, Prompt &prompt, Platform &platform, Selection &selection,
                  ShortcutCommands &commands, Arrangement &arrangement, ShortcutView &view);

    void mnuItemCopyClick();
    void mnuItemCutClick();
    void mnuItemPasteClick();
    // Deletes the shortcuts that were cut.
    void CuttingItem();

    // Whether "Paste Shortcut" can be chosen.
    bool pasteEnabled() const { return pasteEnabled_; }
    // Told whenever pasteEnabled() changes.
    std::function<void(bool)> onPasteEnabledChanged;

    // A shortcut, or a whole desktop, is about to be destroyed: entries
    // that refer to it are dropped.
    void forget(const ShortcutItem *item);
    void forgetDesktop(const Desktop *desktop);

    int count() const { return static_cast<int>(entries_.size()); }
    bool cutPending() const { return cut_; }

    static inline const QString PasteError = QStringLiteral("Error in TFormMain.mnuItemPasteClick");
    static inline const QString CuttingError = QStringLiteral("Item Cutting Error");

private:
    struct Entry {
        ShortcutItem *item;
        Desktop *desktop; // where it was when recorded; a cut deletes it there
    };
    void record(bool cut);
    void setPasteEnabled(bool enabled);

    Workspace &ws_;
    Prompt &prompt_;
    Platform &platform_;
    Selection &selection_;
    ShortcutCommands &commands_;
    Arrangement &arrangement_;
    ShortcutView &view_;
    std::vector<Entry> entries_;
    bool cut_ = false;
    bool pasteEnabled_ = false;
};

} // namespace vl
