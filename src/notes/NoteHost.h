#pragma once

#include <QPoint>
#include <Qt>

namespace vl {

class TResizer;

// What a note needs from the window whose page it lies on.
class NoteHost {
public:
    virtual ~NoteHost() = default;
    // Every press on a note's text: the shortcut selection and the current
    // element go; a right press asks for the note's menu at globalPos, which
    // the window opens through the desktop's password gate.
    virtual void NoteMouseDown(TResizer &note, Qt::MouseButton button, QPoint globalPos) = 0;
    // The note's menu asked for otherwise (the keyboard's menu key): the
    // same gate.
    virtual void noteMenuRequested(TResizer &note, QPoint globalPos) = 0;
    // "Properties" from the note's menu.
    virtual void noteProperties(TResizer &note) = 0;
    // "Delete" was confirmed: the window takes the record out of its
    // desktop; the controller itself goes once its menu has returned.
    virtual void noteDeleted(TResizer &note) = 0;
    // The note's record took the text typed into it.
    virtual void noteTextChanged(TResizer &note) { (void)note; }
    // The note's record took a new place or size (a move or a resize by
    // the mouse or the keys).
    virtual void noteBoundsChanged(TResizer &note) { (void)note; }
};

} // namespace vl
