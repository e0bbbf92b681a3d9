#pragma once

#include "model/Model.h"

#include <memory>
#include <unordered_map>
#include <vector>

class QWidget;

namespace vl {

class NoteHost;
class Prompt;
class TResizer;

// The note controllers of every desktop shown so far, on the one page that
// serves all desktops. A desktop's controllers are made the first time it is
// shown; only the shown desktop's notes are visible.
class NoteBoard {
public:
    NoteBoard(QWidget *page, NoteHost &host, Prompt &prompt);
    ~NoteBoard();

    // Shows the notes of d, hiding all others; nullptr hides every note (a
    // desktop whose password was not given shows nothing).
    void show(Desktop *d);
    const Desktop *shown() const { return shown_; }
    // A controller for a note just created on the shown desktop.
    TResizer &add(Note &note);
    TResizer *controllerOf(const Note *note) const;
    // The controller goes after the current event (its own menu may be
    // running); it is hidden at once.
    void remove(const Note *note);
    // The desktop is about to be destroyed: its controllers go now.
    void forget(const Desktop *d);
    void forgetAll();

    void hideAllHandles();
    // Every note's typed text into its record (before a save).
    void flush();

private:
    QWidget *page_;
    NoteHost &host_;
    Prompt &prompt_;
    const Desktop *shown_ = nullptr;
    std::unordered_map<const Desktop *, std::vector<std::unique_ptr<TResizer>>> byDesktop_;
};

} // namespace vl
