#pragma once

#include "model/Model.h"

#include <QString>

#include <cstdint>
#include <deque>
#include <memory>
#include <unordered_set>
#include <vector>

namespace vl {

// Undo and redo of every change made to the model, told apart by comparing
// the model with what it was when last recorded. No command records its own
// step: whatever changed between two records is one step, named after what
// changed, so a new command cannot forget undo.
//
// The journal keeps images: value copies of desktops and their elements,
// shared between the steps that did not change them. A step holds the image
// before and after; its cost grows with what changed, not with the model.
// A shortcut or note is known by its desktop and its creation order, which
// an undo gives back, so a restored element takes its old place and order.
//
// Only desktops that were changed can differ from their images: the journal
// compares the global options, the desktops' order, captions and settings
// every time, and the elements of the active desktop and of desktops marked
// touched. A desktop whose elements a load has not built yet is compared by
// caption and settings alone; it is built before it is deleted, so that the
// deletion can be undone.
class ChangeJournal {
public:
    struct DesktopImage {
        std::uint64_t id = 0;
        QString caption;
        DesktopSettings settings;
        bool built = true; // false: the elements were never looked at
        std::vector<std::shared_ptr<const ShortcutItem>> items;
        std::vector<std::shared_ptr<const Note>> notes;
    };
    struct Image {
        GlobalSettings global;
        std::vector<std::shared_ptr<const DesktopImage>> desktops;
        std::uint64_t activeId = 0;
    };
    struct Step {
        QString what; // "Delete Shortcut", "Move", ...
        Image before;
        Image after;
    };

    explicit ChangeJournal(Workspace &ws);
    ~ChangeJournal();
    ChangeJournal(const ChangeJournal &) = delete;
    ChangeJournal &operator=(const ChangeJournal &) = delete;

    static constexpr std::size_t MaxSteps = 200;

    // Forgets every step and takes the model as it is now as the start
    // (after a load, a reload, a restore, an import).
    void reset();
    // The model is about to be replaced whole (a reload, an import): what
    // goes need not be kept for an undo, until reset().
    void suspend() { suspended_ = true; }
    // The desktop's elements may have changed although it is not the
    // active one; the next record compares them.
    void touch(const Desktop &desktop);
    // Whatever changed since the last record becomes a step; nothing
    // changed, no step. True when a step was made.
    bool record();

    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }
    QString undoText() const { return canUndo() ? undo_.back().what : QString(); }
    QString redoText() const { return canRedo() ? redo_.back().what : QString(); }
    // The desktops the next undo or redo changes, for their password gates.
    std::vector<const Desktop *> undoTouches() const;
    std::vector<const Desktop *> redoTouches() const;
    // Of those, the ones the next undo or redo destroys.
    std::vector<const Desktop *> undoRemoves() const;
    std::vector<const Desktop *> redoRemoves() const;
    // Puts the model back as it was before the last step (after it, for
    // redo). Every element of a desktop that changed is a new record
    // afterwards: whoever kept pointers into the model drops them first.
    bool undo();
    bool redo();

private:
    Image capture();
    std::shared_ptr<const DesktopImage> imageOf(const Desktop &d, const std::shared_ptr<const DesktopImage> &old,
                                                bool compareElements);
    void apply(const Image &from, const Image &to);
    std::vector<const Desktop *> touchedBy(const Image &a, const Image &b) const;
    std::vector<const Desktop *> leaving(const Image &target) const;
    static QString describe(const Image &before, const Image &after);

    Workspace &ws_;
    Image current_;
    std::deque<Step> undo_;
    std::vector<Step> redo_;
    std::unordered_set<std::uint64_t> touched_;
    bool suspended_ = false;
};

} // namespace vl
