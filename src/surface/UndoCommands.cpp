#include "surface/UndoCommands.h"

#include "surface/PasswordGate.h"

namespace vl {

UndoCommands::UndoCommands(ChangeJournal &journal, PasswordGate &gate, UndoView &view)
    : journal_(journal), gate_(gate), view_(view)
{
}

QString UndoCommands::undoMenuText() const
{
    return journal_.canUndo() ? QStringLiteral("Undo %1").arg(journal_.undoText()) : QStringLiteral("Undo");
}

QString UndoCommands::redoMenuText() const
{
    return journal_.canRedo() ? QStringLiteral("Redo %1").arg(journal_.redoText()) : QStringLiteral("Redo");
}

void UndoCommands::undo() { run(true); }
void UndoCommands::redo() { run(false); }

void UndoCommands::run(bool isUndo)
{
    view_.flushEdits();
    // What was done since the last record is the step to undo first.
    journal_.record();
    if (isUndo ? !journal_.canUndo() : !journal_.canRedo())
        return;
    const QString what = isUndo ? journal_.undoText() : journal_.redoText();
    // The gates of the desktops the step changes, asked before anything
    // changes; one refused leaves everything as it is.
    const std::vector<const Desktop *> touched = isUndo ? journal_.undoTouches() : journal_.redoTouches();
    for (const Desktop *d : touched) {
        if (!gate_.menuAllowed(*d, PasswordGate::creationError(isUndo ? "Undo" : "Redo")))
            return;
    }
    // The questions ran the event loop: whatever changed meanwhile is a
    // step of its own, and the one asked about is no longer on top.
    if (journal_.record())
        return;
    // A desktop that will not survive goes from whatever knew it; one that
    // does keeps, say, the password given for it in this run.
    for (const Desktop *d : isUndo ? journal_.undoRemoves() : journal_.redoRemoves())
        view_.desktopGoing(*d);
    for (const Desktop *d : touched)
        view_.elementsReplacing(*d);
    if (!(isUndo ? journal_.undo() : journal_.redo()))
        return;
    view_.modelReplaced();
    view_.changeReported();
    view_.statusMessage((isUndo ? QStringLiteral("Undone: %1") : QStringLiteral("Redone: %1")).arg(what));
}

} // namespace vl
