#pragma once

#include "model/ChangeJournal.h"

#include <QString>

namespace vl {

class PasswordGate;

// What undo and redo need from the window around the model.
class UndoView {
public:
    virtual ~UndoView() = default;
    // Typed text of a note being edited into its record, before anything
    // is compared.
    virtual void flushEdits() = 0;
    // The elements of the desktop are about to be replaced by other
    // records: every pointer into them goes (the desktop itself may stay).
    virtual void elementsReplacing(const Desktop &d) = 0;
    // The desktop is about to be destroyed.
    virtual void desktopGoing(const Desktop &d) = 0;
    // The model is as the step left it: show it all again.
    virtual void modelReplaced() = 0;
    // An undone or redone change is a change: saved as one.
    virtual void changeReported() = 0;
    virtual void statusMessage(const QString &text) = 0;
};

// "Undo" and "Redo": the steps of the change journal, with their gates.
// Undoing into a desktop protected by a password asks for it as its menus
// do; refused, nothing is undone.
class UndoCommands {
public:
    UndoCommands(ChangeJournal &journal, PasswordGate &gate, UndoView &view);

    void undo();
    void redo();
    // "Undo Delete Shortcut"; "Undo" alone when there is nothing to undo.
    QString undoMenuText() const;
    QString redoMenuText() const;

private:
    void run(bool isUndo);

    ChangeJournal &journal_;
    PasswordGate &gate_;
    UndoView &view_;
};

} // namespace vl
