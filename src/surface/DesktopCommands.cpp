#include "surface/DesktopCommands.h"

#include "common/Prompt.h"

namespace vl {

QString DesktopCommands::deleteQuestion(const QString &caption)
{
    return QStringLiteral("Are You sure,that want to delete ") + caption + QStringLiteral(" desktops?");
}

void DesktopCommands::mnuNewTabSheetClick()
{
    Desktop &d = ws_.CreateNewTabSheet();
    d.settings.Password.clear();
    d.settings.Background_Picture.clear();
    d.settings.BG_Color = clr::clBtnFace;
    view_.desktopsChanged();
    // A new desktop has no password; switching to it only clears the
    // previous desktop's selection.
    view_.PageControl1Change();
    view_.Modified();
}

bool DesktopCommands::RenameTabSheet()
{
    Desktop *d = ws_.activeDesktop();
    if (!d)
        return false;
    const std::optional<QString> name = prompt_.RenameDialog(d->Desktop_Caption);
    if (!name)
        return false;
    d->Desktop_Caption = *name;
    view_.desktopsChanged();
    return true;
}

void DesktopCommands::mnuRenameTabSheetClick()
{
    RenameTabSheet();
    view_.Modified(); // reported even when cancelled, as users of Immediate_Save expect a save
}

void DesktopCommands::DeleteTabSheet()
{
    if (ws_.desktopCount() <= 1) {
        prompt_.ShowMessage(LastDesktopMessage);
        return;
    }
    // The desktop the question names is the one deleted, whatever happened
    // while the question was open.
    Desktop *doomed = ws_.activeDesktop();
    const ModalResult answer =
        prompt_.MessageDlg(deleteQuestion(doomed->Desktop_Caption), MsgDlgType::Warning, mbOK | mbCancel, 0);
    if (answer != ModalResult::OK)
        return;
    const int k = ws_.indexOf(doomed);
    if (k < 0 || ws_.desktopCount() <= 1)
        return;
    try {
        view_.desktopRemoving(ws_.desktop(k));
        ws_.deleteDesktop(k);
        const int n = ws_.desktopCount();
        // The follower of the deleted desktop becomes active first; then the
        // strip moves on once more, through the switching procedure, when
        // there is anywhere to move to.
        ws_.setActiveIndex(k < n ? k : 0);
        view_.desktopsChanged();
        if (n >= 2) {
            ws_.setActiveIndex((ws_.activeIndex() + 1) % n);
            view_.desktopsChanged();
            view_.PageControl1Change();
        } else {
            view_.showActiveDesktop();
        }
    } catch (const std::exception &) {
        ws_.work.ErrorsOccurred = true;
        prompt_.ShowMessage(DeleteError);
    }
    view_.Modified();
}

void DesktopCommands::mnuDeleteTabSheetClick() { DeleteTabSheet(); }

} // namespace vl
