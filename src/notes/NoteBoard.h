#pragma once

#include "model/Model.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <unordered_map>
#include <vector>


namespace vl {

class NoteHost;
class Prompt;
class TResizer;

// The note controllers of every desktop shown so far, on the one page that
// serves all desktops. A desktop's controllers are made the first time it is
// shown; only the shown desktop's notes are visible.
//
// Each desktop's notes lie on a layer of their own over the page, so that a
// switch shows and hides one widget rather than every note: each widget
// shown or hidden under the pointer costs a round trip to the display
// server. Where no note is, the layer lets the pointer through to the page.
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
    // Whether w is (or lies in) the editor of a note being edited: its keys
    // are the text's, whatever shortcut is current meanwhile.
    bool isEditor(const QWidget *w) const;
    // Every note's typed text into its record (before a save).
    void flush();

private:
    QWidget *page_;
    NoteHost &host_;
    Prompt &prompt_;
    struct Notes {
        // The page may go first and take the layer with it.
        QPointer<QWidget> layer;
        std::vector<std::unique_ptr<TResizer>> controllers;
        Notes() = default;
        Notes(const Notes &) = delete;
        Notes &operator=(const Notes &) = delete;
        // The controllers before their layer: they hold its widgets.
        ~Notes();
    };
    Notes &notesOf(const Desktop *d);

    const Desktop *shown_ = nullptr;
    std::unordered_map<const Desktop *, Notes> byDesktop_;
};

} // namespace vl
