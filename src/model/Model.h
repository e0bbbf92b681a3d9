#pragma once

#include "model/Colour.h"
#include "model/FontSpec.h"

#include <QPoint>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace vl {

// One shortcut. The settings file names every persisted field; the names are
// kept so that model, file and commands speak the same words.
struct ShortcutItem {
    QString AttachedFile;
    QString CommandString;
    QString Picture; // empty: automatic picture; "NONE": no picture; else a picture file
    QString Label_Caption;
    int Item_Left = 10;
    int Item_Top = 10;

    bool Selected = false;         // not persisted
    std::uint64_t creationOrder = 0; // position among all elements of the desktop

    static inline const QString NoPicture = QStringLiteral("NONE");
};

struct Note {
    QStringList Lines;
    int Note_Left = 10;
    int Note_Top = 10;
    int Note_Width = 50;
    int Note_Height = 30;
    FontSpec Note_Font = defaultFont();
    Colour Note_Color = clr::clYellow;
    bool UseParentColor = false;

    std::uint64_t creationOrder = 0;

    static inline const QString DefaultLine = QStringLiteral("This is Note");
};

struct DesktopSettings {
    QString Background_Picture;
    bool Background_Stretch = false;
    bool Background_Center = true;
    Colour BG_Color = 0xC0C0C0;
    QString Password;            // stored (transformed) form; empty or "0": none
    int Password_On_Desktop = 1; // 1: asked on opening; 0: asked on menu commands
    FontSpec ShortcutFont = defaultFont();
    Colour BG_Shortcut = 0xC0C0C0;
    bool Transparent = true;
};

// A desktop owns its elements. Shortcuts and notes are kept in two lists (the
// surface paints shortcuts under notes anyway), and every element carries its
// creation order so that a save can still walk them interleaved as created.
class Desktop {
public:
    static inline const QString CreatedCaption = QStringLiteral(" NewDesktop");
    static inline const QString LoadedCaption = QStringLiteral("New Desktop");

    Desktop() : id_(nextId()) {}
    // A desktop that was there before under this identity (an undo brings
    // it back).
    explicit Desktop(std::uint64_t id) : id_(id) {}

    // Which desktop this is, for as long as the program runs: a deleted
    // desktop that an undo brings back is the same one again.
    std::uint64_t id() const { return id_; }
    // Whether its elements exist as records (a load may leave them for
    // later).
    bool elementsBuilt() const { return true; }
    // The next element created gets this creation order or a later one.
    void continueOrderAt(std::uint64_t order) { nextOrder_ = std::max(nextOrder_, order); }

    QString Desktop_Caption = CreatedCaption;
    DesktopSettings settings;
    std::vector<std::unique_ptr<ShortcutItem>> items;
    std::vector<std::unique_ptr<Note>> notes;

    ShortcutItem &addItem();
    Note &addNote();
    // Removes and destroys the element; false when it does not belong here.
    bool removeItem(const ShortcutItem *item);
    bool removeNote(const Note *note);
    int indexOfItem(const ShortcutItem *item) const;

    // Calls onItem / onNote for every element in creation order.
    template <class OnItem, class OnNote>
    void forEachElement(OnItem &&onItem, OnNote &&onNote) const
    {
        std::size_t i = 0, n = 0;
        while (i < items.size() || n < notes.size()) {
            if (n == notes.size() || (i < items.size() && items[i]->creationOrder < notes[n]->creationOrder))
                onItem(*items[i++]);
            else
                onNote(*notes[n++]);
        }
    }

private:
    static std::uint64_t nextId();

    std::uint64_t id_;
    std::uint64_t nextOrder_ = 1;
};

struct GlobalSettings {
    bool FormMaximized_Key = false;
    int FormWidth_Key = 700;
    int FormHeight_Key = 500;
    int FormTop_Key = 100;
    int FormLeft_Key = 200;
    FontSpec ShortcutFont = defaultFont(); // also the working shortcut font
    FontSpec TabFont = defaultFont();
    bool Immediate_Save = false;
    bool Leave_Missing = true;
    bool Tab_Position = true;
    bool Tab_Multiline = false;
    int Cell_Height = 82;
    int Cell_Width = 92;
    bool Auto_Save = false;
    int AutoSave_Time = 10;
    QString Wave_File;
    bool Always_OnBack = false;
    bool Drop_Enabled = false;
    bool OpenIn_NewWindow = false;
    bool bStatusBar_Enabled = true;
    bool Single_Click = false;
    int SingleClick_Time = 10;
};

// What a desktop created by the user receives.
struct NewDesktopTemplate {
    Colour BG_Shortcut = 0xC0C0C0;
    bool Transparent = true;
};

// The element most recently created, pressed or double-clicked.
struct ElementRef {
    ShortcutItem *item = nullptr;
    Note *note = nullptr;
    bool empty() const { return !item && !note; }
    void clear() { item = nullptr; note = nullptr; }
};

struct WorkingValues {
    FontSpec NoteFont = defaultFont(); // working note font
    NewDesktopTemplate Template;
    ElementRef CurrentElement;
    QPoint NewElementPosition;
    // The password and mode that the desktop-change handling last applied.
    QString WorkingPassword;
    int WorkingPasswordMode = 1;
    bool ErrorsOccurred = false;
    bool Loading = false;
    bool Saving = false;
    bool Reloading = false;
};

// The whole state of the program: options, desktops and the working values.
class Workspace {
public:
    GlobalSettings global;
    WorkingValues work;

    int desktopCount() const { return static_cast<int>(desktops_.size()); }
    Desktop &desktop(int index) { return *desktops_.at(static_cast<std::size_t>(index)); }
    const Desktop &desktop(int index) const { return *desktops_.at(static_cast<std::size_t>(index)); }
    int activeIndex() const { return active_; }
    Desktop *activeDesktop() { return desktops_.empty() ? nullptr : desktops_[static_cast<std::size_t>(active_)].get(); }
    const Desktop *activeDesktop() const
    {
        return desktops_.empty() ? nullptr : desktops_[static_cast<std::size_t>(active_)].get();
    }
    int indexOf(const Desktop *d) const;
    // Out-of-range indexes are refused (false) and leave the active desktop.
    bool setActiveIndex(int index);

    // Appends a desktop built from the working shortcut font and the template
    // and makes it the active one.
    Desktop &CreateNewTabSheet();
    // Adds a shortcut to the active desktop at NewElementPosition, with the
    // desktop's caption look; it becomes CurrentElement. Needs a desktop.
    ShortcutItem &CreateNewItem();
    // Adds a 50 by 30 note to the active desktop at NewElementPosition; it
    // becomes CurrentElement. Needs a desktop.
    Note &CreateNewNote();

    // Destroys the desktop and everything on it. The active desktop then
    // stays the same record when it survives, else the one now at its place.
    void deleteDesktop(int index);
    void clearDesktops();
    // Moves the desktop at from to position to, the others closing up behind
    // it; the active desktop stays the same record. False (and nothing
    // moved) when either index is out of range.
    bool moveDesktop(int from, int to);

    // Forgets CurrentElement when it points into the given desktop.
    void forgetElementsOf(const Desktop &d);

    // Told of a desktop just before deleteDesktop() destroys it.
    std::function<void(const Desktop &)> beforeDesktopRemoved;
    // For putting an earlier state back: takes the desktop of that id out
    // of the list (null when there is none), and makes the given desktops
    // the list, the one of activeId active (else the first); desktops not
    // handed back are destroyed.
    std::unique_ptr<Desktop> takeDesktop(std::uint64_t id);
    void replaceDesktops(std::vector<std::unique_ptr<Desktop>> desktops, std::uint64_t activeId);

private:
    std::vector<std::unique_ptr<Desktop>> desktops_;
    int active_ = 0;
};

} // namespace vl
