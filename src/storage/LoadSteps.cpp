#include "storage/LoadSteps.h"

#include "common/Prompt.h"
#include "storage/SettingsFile.h"

#include <QFileInfo>

namespace vl {

LoadSteps::LoadSteps(Workspace &ws, Prompt &prompt, SettingsHost &host, bool pictureMessages)
    : ws_(ws), prompt_(&prompt), host_(host), pictureMessages_(pictureMessages)
{
    // A picture may have been replaced on disk since the last load.
    host_.pictureChecks_.clear();
}

LoadSteps::LoadSteps(Workspace &ws, SettingsHost &host) : ws_(ws), prompt_(nullptr), host_(host), pictureMessages_(false)
{
    host_.pictureChecks_.clear();
}

bool LoadSteps::fileExists(const QString &path) { return !path.isEmpty() && QFileInfo(path).isFile(); }

void LoadSteps::pictureFailed(const QString &message)
{
    ws_.work.ErrorsOccurred = true;
    if (!pictureMessages_) // always so without a prompt
        return;
    prompt_->ShowMessage(message);
    const ModalResult r = prompt_->MessageDlg(SettingsFile::SimilarMessagesQuestion, MsgDlgType::Confirmation,
                                             mbYes | mbNo | mbCancel, 0);
    if (r == ModalResult::No)
        pictureMessages_ = false;
}

void LoadSteps::backgroundPicture(Desktop &desktop, MissingPicture missing)
{
    const QString path = desktop.settings.Background_Picture;
    if (path.isEmpty())
        return;
    if (fileExists(path) ? host_.loadDesktopPicture(desktop) : missing == MissingPicture::Kept)
        return;
    pictureFailed(QStringLiteral("Error by loading background picture  ") + path + QStringLiteral(" in ")
                  + desktop.Desktop_Caption + QStringLiteral(" desktop"));
    desktop.settings.Background_Picture.clear();
}

bool LoadSteps::keepsShortcut(const QString &attachedFile) const
{
    return ws_.global.Leave_Missing || fileExists(attachedFile);
}

ShortcutItem &LoadSteps::addShortcut(Shortcut &&fields)
{
    ShortcutItem &item = ws_.CreateNewItem();
    host_.setAttachedFile(item, fields.AttachedFile);
    item.CommandString = std::move(fields.CommandString);
    item.Picture = std::move(fields.Picture);
    if (!item.Picture.isEmpty() && item.Picture != ShortcutItem::NoPicture && !host_.loadShortcutPicture(item))
        pictureFailed(QStringLiteral("Error in TFormMain.LoadAll-AttachedFile: ") + item.AttachedFile
                      + QStringLiteral(" Picture: ") + item.Picture);
    item.Label_Caption = std::move(fields.Label_Caption);
    item.Item_Left = fields.Item_Left;
    item.Item_Top = fields.Item_Top;
    return item;
}

} // namespace vl
