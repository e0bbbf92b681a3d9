#include "surface/ItemClipboard.h"

#include "common/PictureLoader.h"
#include "common/Prompt.h"
#include "shortcuts/ShortcutFiles.h"
#include "surface/Arrangement.h"
#include "surface/Selection.h"
#include "surface/ShortcutCommands.h"

#include <QHash>
#include <QImage>

#include <algorithm>
#include <exception>
#include <limits>
#include <unordered_set>

namespace vl {

namespace {

int toInt(long long v)
{
    return static_cast<int>(std::clamp<long long>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

std::unordered_set<const ShortcutItem *> itemsOf(const Desktop &d)
{
    std::unordered_set<const ShortcutItem *> out;
    out.reserve(d.items.size());
    for (const auto &item : d.items)
        out.insert(item.get());
    return out;
}

} // namespace

ItemClipboard::ItemClipboard(Workspace &ws, Prompt &prompt, Platform &platform, Selection &selection,
                             ShortcutCommands &commands, Arrangement &arrangement, ShortcutView &view)
    : ws_(ws), prompt_(prompt), platform_(platform), selection_(selection), commands_(commands),
      arrangement_(arrangement), view_(view)
{
}

void ItemClipboard::mnuItemCopyClick() { record(false); }

void ItemClipboard::mnuItemCutClick() { record(true); }

void ItemClipboard::record(bool cut)
{
    entries_.clear();
    index_.clear();
    Desktop *active = ws_.activeDesktop();
    const auto onActive = active ? itemsOf(*active) : std::unordered_set<const ShortcutItem *>();
    for (ShortcutItem *item : selection_.items()) {
        Desktop *home = onActive.count(item) ? active : nullptr;
        // The selection belongs to the active desktop; anything else is a
        // stray that is looked for, not trusted.
        for (int i = 0; !home && i < ws_.desktopCount(); ++i) {
            if (ws_.desktop(i).indexOfItem(item) >= 0)
                home = &ws_.desktop(i);
        }
        if (!home || index_.count(item))
            continue;
        index_.emplace(item, entries_.size());
        entries_.push_back({item, home});
    }
    live_ = entries_.size();
    cut_ = cut;
    // Even an empty record enables the paste.
    setPasteEnabled(true);
}

void ItemClipboard::forget(const ShortcutItem *item)
{
    const auto it = index_.find(item);
    if (it == index_.end())
        return;
    entries_[it->second].item = nullptr;
    index_.erase(it);
    --live_;
}

void ItemClipboard::forgetDesktop(const Desktop *desktop)
{
    for (Entry &e : entries_) {
        if (e.item && e.desktop == desktop) {
            index_.erase(e.item);
            e.item = nullptr;
            --live_;
        }
    }
}

std::vector<ItemClipboard::Entry> ItemClipboard::takeEntries()
{
    std::vector<Entry> out;
    out.reserve(live_);
    // forget() and forgetDesktop() should have dropped whatever was
    // destroyed; a source that is gone all the same is skipped, not read.
    std::unordered_map<const Desktop *, std::unordered_set<const ShortcutItem *>> alive;
    for (const Entry &e : entries_) {
        if (!e.item)
            continue;
        auto it = alive.find(e.desktop);
        if (it == alive.end()) {
            it = alive.emplace(e.desktop, ws_.indexOf(e.desktop) >= 0 ? itemsOf(*e.desktop)
                                                                      : std::unordered_set<const ShortcutItem *>())
                     .first;
        }
        if (it->second.count(e.item))
            out.push_back(e);
    }
    entries_.clear();
    index_.clear();
    live_ = 0;
    return out;
}

void ItemClipboard::mnuItemPasteClick()
{
    const bool completesCut = cut_;
    // The clipboard is emptied before anything else happens, so that a copy
    // or cut made while a message below is open is a record of its own.
    const std::vector<Entry> sources = takeEntries();
    cut_ = false;

    // Messages wait until the paste and the cut are complete: a message box
    // runs events, and nothing may act on a half-finished paste.
    QStringList errors;
    std::vector<Entry> copied; // sources whose copies were made whole
    if (!sources.empty() && ws_.activeDesktop()) {
        const QPoint anchor = ws_.work.NewElementPosition;
        const long long firstLeft = sources.front().item->Item_Left;
        const long long firstTop = sources.front().item->Item_Top;
        // Copies of one picture file are decoded once; a failure is told once.
        QHash<QString, QImage> decoded;
        copied.reserve(sources.size());
        for (const Entry &e : sources) {
            // Read now, not at the copy: the copy shows the source as it is.
            const ShortcutItem &source = *e.item;
            ShortcutItem *copy = nullptr;
            bool viewTold = false;
            try {
                copy = &commands_.CreateNewItem();
                AttachFile(*copy, source.AttachedFile, platform_);
                // After the file: a resolved link must not override the source's arguments.
                copy->CommandString = source.CommandString;
                // An unreadable picture is kept as it was: the copy shows its
                // file's icon and keeps the source's Picture.
                copy->Picture = source.Picture;
                copy->Label_Caption = source.Label_Caption;
                copy->Item_Left = toInt(anchor.x() + (source.Item_Left - firstLeft));
                copy->Item_Top = toInt(anchor.y() + (source.Item_Top - firstTop));
                QImage picture;
                if (!copy->Picture.isEmpty() && copy->Picture != ShortcutItem::NoPicture) {
                    auto it = decoded.constFind(copy->Picture);
                    if (it == decoded.cend()) {
                        it = decoded.insert(copy->Picture, loadPicture(copy->Picture));
                        if (it->isNull()) {
                            ws_.work.ErrorsOccurred = true;
                            errors << PasteError;
                        }
                    }
                    picture = *it;
                }
                viewTold = true;
                view_.itemChanged(*copy);
                view_.pictureDecoded(*copy, picture);
                // Needs the caption laid out, so after the view heard of it.
                arrangement_.CheckOutBounds(*copy);
                copied.push_back(e);
            } catch (const std::exception &) {
                ws_.work.ErrorsOccurred = true;
                errors << PasteError;
                // What was filled in before the failure stays and has to show.
                if (copy && !viewTold) {
                    try {
                        view_.itemChanged(*copy);
                    } catch (const std::exception &) {
                    }
                }
            }
        }
    }

    setPasteEnabled(false);
    // A source whose copy failed is not destroyed: that would lose it.
    if (completesCut)
        destroyCut(copied, errors);
    showErrors(errors);
    // Only the completion of a cut is a change of its own; copies are
    // written by the next full save.
    if (completesCut)
        view_.Modified();
}

void ItemClipboard::CuttingItem()
{
    const std::vector<Entry> doomed = takeEntries();
    cut_ = false;
    QStringList errors;
    destroyCut(doomed, errors);
    showErrors(errors);
    view_.Modified();
}

void ItemClipboard::destroyCut(const std::vector<Entry> &doomed, QStringList &errors)
{
    // Emptied first: the view drops every destroyed shortcut from the
    // selection, which then has nothing left to search.
    selection_.UnFocused();
    // The view hears of each shortcut while it still exists; the records
    // then go in one pass per desktop instead of one search each. A cut
    // shortcut goes from its own desktop, whichever is active now.
    std::unordered_map<Desktop *, std::unordered_set<const ShortcutItem *>> gone;
    try {
        for (const Entry &e : doomed) {
            view_.itemRemoving(*e.item);
            gone[e.desktop].insert(e.item);
        }
    } catch (const std::exception &) {
        ws_.work.ErrorsOccurred = true;
        errors << CuttingError;
    }
    for (auto &entry : gone) {
        // Not a structured binding: older compilers cannot capture one.
        const auto &items = entry.second;
        auto &list = entry.first->items;
        list.erase(std::remove_if(list.begin(), list.end(), [&](const auto &p) { return items.count(p.get()) > 0; }),
                   list.end());
    }
    ws_.work.CurrentElement.clear();
}

void ItemClipboard::showErrors(const QStringList &errors)
{
    for (const QString &message : errors)
        prompt_.ShowMessage(message);
}

void ItemClipboard::setPasteEnabled(bool enabled)
{
    if (pasteEnabled_ == enabled)
        return;
    pasteEnabled_ = enabled;
    if (onPasteEnabledChanged)
        onPasteEnabledChanged(enabled);
}

} // namespace vl
