#pragma once

#include "model/Model.h"

#include <QObject>
#include <QPoint>
#include <QRect>

class QMenu;
class QWidget;

namespace vl {

class NoteHost;
class Prompt;

// The controller of one note on a desktop page: its text box (the memo), its
// context menu, the transparent move handle laid over it and the eight size
// handles around it, and the outline drawn while the note is dragged.
//
// The note's record is the truth: every move, resize, typed text and look
// reaches it (typed text at the latest by flush()), and the widgets show it.
// Nothing here reports a modification; changes reach the file with the next
// save.
//
// All widgets are children of the page; the controller destroys them with
// itself, and must be destroyed before the page or the record is.
class TResizer : public QObject {
    Q_OBJECT
public:
    TResizer(Note &note, QWidget *page, NoteHost &host, Prompt &prompt);
    ~TResizer() override;

    Note &note() const { return *note_; }

    // Move-and-resize mode was asked for ("Move && Resize"): the handles
    // show, and the arrow keys with Ctrl or Shift move and resize.
    bool Active() const { return active_; }
    void setActive(bool active);
    int GridX = 4;
    int GridY = 4;
    bool AllowSize = true;
    bool AllowMove = true;
    bool KeepInParent = true;

    void ShowHandles();
    void HideHandles();
    bool handlesShown() const;

    // Reading (read-only text, reading menu) or editing (writable, focused).
    bool editing() const;
    // The "Edit"/"Block" command.
    void popEditClick();

    // Opens the note's menu at globalPos (the gate has let it through).
    void popupMenu(QPoint globalPos);
    QMenu *menu() const;

    // Text typed since the last time into the record's lines.
    void flush();
    // Font, colour and bounds taken again from the record.
    void applyRecord();
    // Shows or hides every widget of the note (its desktop shown or not).
    void setShown(bool shown);

    // The widget the pointer and the keyboard meet for the text.
    QWidget *memo() const;
    // The move handle and the size handle `index` (0 to 7); none before the
    // handles were first shown.
    QWidget *mover() const;
    QWidget *sizer(int index) const;
    // The outline drawn while a handle is dragged, in page coordinates; a
    // null rectangle when no drag is under way.
    QRect outline() const;

    // The record is gone or about to go: nothing may touch it any more, and
    // the note's widgets are hidden for good. The controller itself may be
    // destroyed later.
    void retire();
    bool retired() const;

    // The rectangle arithmetic of moves and resizes, on a page of the given
    // client size: a move by whole grid steps (truncated toward zero) then
    // the move clamp; a resize of handle `handle` (0 to 7, in the order top
    // left, top middle, top right, middle left, middle right, bottom left,
    // bottom middle, bottom right) then the size clamp. The rectangles hold
    // left, top, right and bottom.
    struct Edges {
        int left, top, right, bottom;
        bool operator==(const Edges &) const = default;
    };
    Edges movedBy(const Edges &start, QPoint delta, QSize page) const;
    Edges resizedBy(const Edges &start, const Edges &current, int handle, QPoint delta, QSize page) const;
    static Edges moveClamp(Edges r, QSize page);
    Edges sizeClamp(Edges r, QSize page) const;

private:
    class Impl;
    Note *note_;
    bool active_ = false;
    Impl *d_ = nullptr;
};

} // namespace vl
