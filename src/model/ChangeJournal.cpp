#include "model/ChangeJournal.h"

#include <algorithm>
#include <unordered_map>

namespace vl {

namespace {

bool sameItem(const ShortcutItem &a, const ShortcutItem &b)
{
    return a.creationOrder == b.creationOrder && a.AttachedFile == b.AttachedFile
        && a.CommandString == b.CommandString && a.Picture == b.Picture && a.Label_Caption == b.Label_Caption
        && a.Item_Left == b.Item_Left && a.Item_Top == b.Item_Top;
}

bool samePlaceOnly(const ShortcutItem &a, const ShortcutItem &b)
{
    return a.AttachedFile == b.AttachedFile && a.CommandString == b.CommandString && a.Picture == b.Picture
        && a.Label_Caption == b.Label_Caption;
}

bool sameNote(const Note &a, const Note &b)
{
    return a.creationOrder == b.creationOrder && a.Lines == b.Lines && a.Note_Left == b.Note_Left
        && a.Note_Top == b.Note_Top && a.Note_Width == b.Note_Width && a.Note_Height == b.Note_Height
        && a.Note_Font == b.Note_Font && a.Note_Color == b.Note_Color && a.UseParentColor == b.UseParentColor;
}

bool sameSettings(const DesktopSettings &a, const DesktopSettings &b)
{
    return a.Background_Picture == b.Background_Picture && a.Background_Stretch == b.Background_Stretch
        && a.Background_Center == b.Background_Center && a.BG_Color == b.BG_Color && a.Password == b.Password
        && a.Password_On_Desktop == b.Password_On_Desktop && a.ShortcutFont == b.ShortcutFont
        && a.BG_Shortcut == b.BG_Shortcut && a.Transparent == b.Transparent;
}

// The options a user changes; the window's place and size are not a change
// anybody would undo.
bool sameOptions(const GlobalSettings &a, const GlobalSettings &b)
{
    return a.TabFont == b.TabFont && a.Immediate_Save == b.Immediate_Save && a.Leave_Missing == b.Leave_Missing
        && a.Tab_Position == b.Tab_Position && a.Tab_Multiline == b.Tab_Multiline && a.Cell_Height == b.Cell_Height
        && a.Cell_Width == b.Cell_Width && a.Auto_Save == b.Auto_Save && a.AutoSave_Time == b.AutoSave_Time
        && a.Wave_File == b.Wave_File && a.Always_OnBack == b.Always_OnBack && a.Drop_Enabled == b.Drop_Enabled
        && a.OpenIn_NewWindow == b.OpenIn_NewWindow && a.bStatusBar_Enabled == b.bStatusBar_Enabled
        && a.Single_Click == b.Single_Click && a.SingleClick_Time == b.SingleClick_Time;
}

void copyOptions(GlobalSettings &to, const GlobalSettings &from)
{
    const GlobalSettings window = to;
    to = from;
    // The window stays where it is; the working shortcut font is the
    // model's scratch value, not an option.
    to.FormMaximized_Key = window.FormMaximized_Key;
    to.FormWidth_Key = window.FormWidth_Key;
    to.FormHeight_Key = window.FormHeight_Key;
    to.FormTop_Key = window.FormTop_Key;
    to.FormLeft_Key = window.FormLeft_Key;
    to.ShortcutFont = window.ShortcutFont;
}

template <class T, class Same>
bool sameList(const std::vector<std::shared_ptr<const T>> &a, const std::vector<std::shared_ptr<const T>> &b, Same same)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && !same(*a[i], *b[i]))
            return false;
    }
    return true;
}

} // namespace

ChangeJournal::ChangeJournal(Workspace &ws) : ws_(ws)
{
    // A desktop about to go is imaged whole, its elements built first if a
    // load left them for later: its deletion must be undoable.
    ws_.beforeDesktopRemoved = [this](const Desktop &d) {
        if (suspended_ || ws_.work.Loading || ws_.work.Reloading)
            return;
        const auto it = std::find_if(current_.desktops.begin(), current_.desktops.end(),
                                     [&](const auto &img) { return img->id == d.id(); });
        if (it != current_.desktops.end())
            *it = imageOf(d, *it, true);
    };
    reset();
}

ChangeJournal::~ChangeJournal() { ws_.beforeDesktopRemoved = nullptr; }

void ChangeJournal::reset()
{
    undo_.clear();
    redo_.clear();
    touched_.clear();
    suspended_ = false;
    current_ = Image{};
    current_ = capture();
}

void ChangeJournal::touch(const Desktop &desktop) { touched_.insert(desktop.id()); }

std::shared_ptr<const ChangeJournal::DesktopImage>
ChangeJournal::imageOf(const Desktop &d, const std::shared_ptr<const DesktopImage> &old, bool compareElements)
{
    auto img = std::make_shared<DesktopImage>();
    img->id = d.id();
    img->caption = d.Desktop_Caption;
    img->settings = d.settings;
    if (!compareElements && old && old->built == d.elementsBuilt()) {
        // Not looked at: its elements are as they were.
        img->built = old->built;
        img->items = old->items;
        img->notes = old->notes;
    } else if (!d.elementsBuilt()) {
        img->built = false;
    } else {
        // Elements that did not change keep the copy they had.
        std::unordered_map<std::uint64_t, const std::shared_ptr<const ShortcutItem> *> oldItems;
        std::unordered_map<std::uint64_t, const std::shared_ptr<const Note> *> oldNotes;
        if (old) {
            for (const auto &i : old->items)
                oldItems.emplace(i->creationOrder, &i);
            for (const auto &n : old->notes)
                oldNotes.emplace(n->creationOrder, &n);
        }
        img->items.reserve(d.items.size());
        for (const auto &item : d.items) {
            const auto found = oldItems.find(item->creationOrder);
            if (found != oldItems.end() && sameItem(**found->second, *item)) {
                img->items.push_back(*found->second);
            } else {
                auto copy = std::make_shared<ShortcutItem>(*item);
                copy->Selected = false;
                img->items.push_back(std::move(copy));
            }
        }
        img->notes.reserve(d.notes.size());
        for (const auto &note : d.notes) {
            const auto found = oldNotes.find(note->creationOrder);
            if (found != oldNotes.end() && sameNote(**found->second, *note))
                img->notes.push_back(*found->second);
            else
                img->notes.push_back(std::make_shared<Note>(*note));
        }
    }
    // Unchanged whole: the old image itself, shared by every step.
    if (old && old->built == img->built && old->caption == img->caption && sameSettings(old->settings, img->settings)
        && sameList(old->items, img->items, sameItem) && sameList(old->notes, img->notes, sameNote))
        return old;
    return img;
}

ChangeJournal::Image ChangeJournal::capture()
{
    Image image;
    image.global = ws_.global;
    std::unordered_map<std::uint64_t, std::shared_ptr<const DesktopImage>> old;
    for (const auto &img : current_.desktops)
        old.emplace(img->id, img);
    const Desktop *active = ws_.activeDesktop();
    for (int i = 0; i < ws_.desktopCount(); ++i) {
        const Desktop &d = ws_.desktop(i);
        const auto found = old.find(d.id());
        const std::shared_ptr<const DesktopImage> previous = found == old.end() ? nullptr : found->second;
        const bool compare = !previous || &d == active || touched_.count(d.id());
        image.desktops.push_back(imageOf(d, previous, compare));
    }
    image.activeId = active ? active->id() : 0;
    return image;
}

bool ChangeJournal::record()
{
    Image now = capture();
    touched_.clear();
    const bool sameDesktops = now.desktops == current_.desktops;
    if (sameDesktops && sameOptions(now.global, current_.global)) {
        current_.global = now.global; // the window's place, say
        current_.activeId = now.activeId;
        return false;
    }
    Step step{describe(current_, now), std::move(current_), now};
    current_ = std::move(now);
    undo_.push_back(std::move(step));
    if (undo_.size() > MaxSteps)
        undo_.pop_front();
    redo_.clear();
    return true;
}

QString ChangeJournal::describe(const Image &before, const Image &after)
{
    if (!sameOptions(before.global, after.global))
        return QStringLiteral("Common Options");
    if (before.desktops.size() < after.desktops.size())
        return QStringLiteral("New Desktop");
    if (before.desktops.size() > after.desktops.size())
        return QStringLiteral("Delete Desktop");
    for (std::size_t i = 0; i < before.desktops.size(); ++i) {
        if (before.desktops[i]->id != after.desktops[i]->id)
            return QStringLiteral("Desktop Order");
    }
    for (std::size_t i = 0; i < before.desktops.size(); ++i) {
        const DesktopImage &a = *before.desktops[i];
        const DesktopImage &b = *after.desktops[i];
        if (&a == &b)
            continue;
        if (a.caption != b.caption)
            return QStringLiteral("Rename Desktop");
        if (!sameSettings(a.settings, b.settings))
            return QStringLiteral("Desktop Options");
        if (a.items.size() < b.items.size())
            return b.items.size() - a.items.size() > 1 ? QStringLiteral("Paste") : QStringLiteral("New Shortcut");
        if (a.items.size() > b.items.size())
            return QStringLiteral("Delete Shortcut");
        if (a.notes.size() < b.notes.size())
            return QStringLiteral("New Note");
        if (a.notes.size() > b.notes.size())
            return QStringLiteral("Delete Note");
        bool moved = false;
        bool edited = false;
        for (std::size_t k = 0; k < a.items.size(); ++k) {
            if (a.items[k] == b.items[k])
                continue;
            (samePlaceOnly(*a.items[k], *b.items[k]) ? moved : edited) = true;
        }
        if (edited)
            return QStringLiteral("Shortcut Change");
        if (moved)
            return QStringLiteral("Move");
        for (std::size_t k = 0; k < a.notes.size(); ++k) {
            if (a.notes[k] == b.notes[k])
                continue;
            return a.notes[k]->Lines != b.notes[k]->Lines ? QStringLiteral("Note Text") : QStringLiteral("Note Change");
        }
    }
    return QStringLiteral("Change");
}

std::vector<const Desktop *> ChangeJournal::touchedBy(const Image &a, const Image &b) const
{
    // The live desktops whose image differs between the two: only they
    // change when one is put back for the other.
    std::unordered_map<std::uint64_t, const DesktopImage *> inA;
    for (const auto &img : a.desktops)
        inA.emplace(img->id, img.get());
    std::vector<const Desktop *> out;
    for (int i = 0; i < ws_.desktopCount(); ++i) {
        const Desktop &d = ws_.desktop(i);
        const auto inB = std::find_if(b.desktops.begin(), b.desktops.end(), [&](const auto &img) { return img->id == d.id(); });
        const auto found = inA.find(d.id());
        const DesktopImage *imgA = found == inA.end() ? nullptr : found->second;
        const DesktopImage *imgB = inB == b.desktops.end() ? nullptr : inB->get();
        if (imgA != imgB)
            out.push_back(&d);
    }
    return out;
}

std::vector<const Desktop *> ChangeJournal::undoTouches() const
{
    return canUndo() ? touchedBy(undo_.back().before, undo_.back().after) : std::vector<const Desktop *>{};
}

std::vector<const Desktop *> ChangeJournal::redoTouches() const
{
    return canRedo() ? touchedBy(redo_.back().after, redo_.back().before) : std::vector<const Desktop *>{};
}

std::vector<const Desktop *> ChangeJournal::leaving(const Image &target) const
{
    std::vector<const Desktop *> out;
    for (int i = 0; i < ws_.desktopCount(); ++i) {
        const Desktop &d = ws_.desktop(i);
        if (std::none_of(target.desktops.begin(), target.desktops.end(), [&](const auto &img) { return img->id == d.id(); }))
            out.push_back(&d);
    }
    return out;
}

std::vector<const Desktop *> ChangeJournal::undoRemoves() const
{
    return canUndo() ? leaving(undo_.back().before) : std::vector<const Desktop *>{};
}

std::vector<const Desktop *> ChangeJournal::redoRemoves() const
{
    return canRedo() ? leaving(redo_.back().after) : std::vector<const Desktop *>{};
}

void ChangeJournal::apply(const Image &from, const Image &to)
{
    // Live desktops by their image's id; what `from` and `to` share stays
    // untouched, records and all.
    std::unordered_map<std::uint64_t, const DesktopImage *> fromById;
    for (const auto &img : from.desktops)
        fromById.emplace(img->id, img.get());
    std::vector<std::unique_ptr<Desktop>> next;
    next.reserve(to.desktops.size());
    for (const auto &target : to.desktops) {
        std::unique_ptr<Desktop> d = ws_.takeDesktop(target->id);
        if (!d)
            d = std::make_unique<Desktop>(target->id);
        const auto was = fromById.find(target->id);
        if (was != fromById.end() && was->second == target.get()) {
            next.push_back(std::move(d));
            continue;
        }
        d->Desktop_Caption = target->caption;
        d->settings = target->settings;
        if (target->built) {
            // Each element as it was, with its creation order: a later save
            // numbers it in its old place.
            d->items.clear();
            d->notes.clear();
            std::uint64_t nextOrder = 1;
            for (const auto &item : target->items) {
                d->items.push_back(std::make_unique<ShortcutItem>(*item));
                nextOrder = std::max(nextOrder, item->creationOrder + 1);
            }
            for (const auto &note : target->notes) {
                d->notes.push_back(std::make_unique<Note>(*note));
                nextOrder = std::max(nextOrder, note->creationOrder + 1);
            }
            d->continueOrderAt(nextOrder);
        }
        next.push_back(std::move(d));
    }
    ws_.replaceDesktops(std::move(next), to.activeId);
    copyOptions(ws_.global, to.global);
    ws_.work.CurrentElement.clear();
}

bool ChangeJournal::undo()
{
    if (!canUndo())
        return false;
    record(); // what was done since the last record is a step of its own
    Step step = std::move(undo_.back());
    undo_.pop_back();
    apply(step.after, step.before);
    current_ = capture();
    redo_.push_back(std::move(step));
    return true;
}

bool ChangeJournal::redo()
{
    if (!canRedo())
        return false;
    if (record())
        return false; // a change since the undo: what was undone stays undone
    Step step = std::move(redo_.back());
    redo_.pop_back();
    apply(step.before, step.after);
    current_ = capture();
    undo_.push_back(std::move(step));
    return true;
}

} // namespace vl
