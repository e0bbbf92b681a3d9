#pragma once

#include "model/Model.h"

#include <QStringList>

#include <functional>
#include <unordered_map>
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

    // The shortcuts a paste would copy now.
    int count() const { return static_cast<int>(live_); }
    bool cutPending() const { return cut_; }

    static inline const QString PasteError = QStringLiteral("Error in TFormMain.mnuItemPasteClick");
    static inline const QString CuttingError = QStringLiteral("Item Cutting Error");

private:
    struct Entry {
        ShortcutItem *item; // null once forgotten
        Desktop *desktop;   // where it was when recorded; a cut deletes it there
    };
    void record(bool cut);
    void setPasteEnabled(bool enabled);
    // The entries still alive, in clipboard order; the clipboard is left empty.
    std::vector<Entry> takeEntries();
    // Destroys the shortcuts of a completed cut; failures go to errors.
    void destroyCut(const std::vector<Entry> &doomed, QStringList &errors);
    void showErrors(const QStringList &errors);

    Workspace &ws_;
    Prompt &prompt_;
    Platform &platform_;
    Selection &selection_;
    ShortcutCommands &commands_;
    Arrangement &arrangement_;
    ShortcutView &view_;
    std::vector<Entry> entries_;
    // Where each live shortcut sits in entries_, so that forgetting one of
    // thousands costs no search.
    std::unordered_map<const ShortcutItem *, std::size_t> index_;
    std::size_t live_ = 0;
    bool cut_ = false;
    bool pasteEnabled_ = false;
};

} // namespace vl
