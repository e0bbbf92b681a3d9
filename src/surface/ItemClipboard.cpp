#include "surface/ItemClipboard.h"

namespace vl {

ItemClipboard::ItemClipboard(Workspace &ws, Prompt &prompt, Platform &platform, Selection &selection,
                             ShortcutCommands &commands, Arrangement &arrangement, ShortcutView &view)
    : ws_(ws), prompt_(prompt), platform_(platform), selection_(selection), commands_(commands),
      arrangement_(arrangement), view_(view)
{
}

void ItemClipboard::mnuItemCopyClick() {}

void ItemClipboard::mnuItemCutClick() {}

void ItemClipboard::mnuItemPasteClick() {}

void ItemClipboard::CuttingItem() {}

void ItemClipboard::forget(const ShortcutItem *) {}

void ItemClipboard::forgetDesktop(const Desktop *) {}

void ItemClipboard::record(bool) {}

void ItemClipboard::setPasteEnabled(bool enabled)
{
    if (pasteEnabled_ == enabled)
        return;
    pasteEnabled_ = enabled;
    if (onPasteEnabledChanged)
        onPasteEnabledChanged(enabled);
}

} // namespace vl
