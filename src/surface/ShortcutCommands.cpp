#include "surface/ShortcutCommands.h"

#include "model/StorableText.h"

#include "shortcuts/ShortcutFiles.h"
#include "common/PictureLoader.h"
#include "surface/Selection.h"

#include <QFileInfo>

#include <exception>
#include <vector>

namespace vl {

namespace {

const QString NewUrlError = QStringLiteral("Error in TFormMain.mnuNewUrlClick");
const QString DeleteError = QStringLiteral("Item Delete Error");
const QString RenameError = QStringLiteral("Error of renaming of Shortcut");
const QString PictureError = QStringLiteral("Error in TFormMain.mnuItemPictureClick");
const QString AttributesLoadError = QStringLiteral("Error in TFormMain.mnuItemAttributesClick-Picture.LoadFromFile: ");
const QString AttributesError = QStringLiteral("Error in TFormMain.mnuItemAttributesClick");
const QString FontError = QStringLiteral("Error in TFormMain.RefreshShortcutFont");

// The picture file as it will show, or null when it would not. It is
// decoded for real, because a header that looks right says nothing about the
// pixels behind it; the view keeps what was decoded, so the picture is
// decoded once per command.
QImage decodedPicture(const QString &path) { return loadPicture(path); }

} // namespace

QString ShortcutCommands::startFolderOf(const QString &path)
{
    if (path.isEmpty() || path == ShortcutItem::NoPicture || IsUrl(path))
        return QString();
    return QFileInfo(path).absolutePath();
}

ShortcutItem *ShortcutCommands::currentShortcut() const
{
    ShortcutItem *item = ws_.work.CurrentElement.item;
    const Desktop *d = ws_.activeDesktop();
    // CurrentElement can outlive a desktop switch; a shortcut elsewhere is
    // none of these commands' business.
    if (!item || !d || d->indexOfItem(item) < 0)
        return nullptr;
    return item;
}

void ShortcutCommands::reportError(const QString &message)
{
    ws_.work.ErrorsOccurred = true;
    prompt_.ShowMessage(message);
}

ShortcutItem &ShortcutCommands::CreateNewItem()
{
    ShortcutItem &item = ws_.CreateNewItem();
    view_.itemAdded(item);
    return item;
}

void ShortcutCommands::mnuNewItemClick()
{
    if (!ws_.activeDesktop())
        return;
    const std::optional<QString> chosen = prompt_.OpenFileDialog(FileFilter, QString(), false);
    // A cancelled chooser still leaves a blank shortcut for the user to fill in.
    const QString path = storable(chosen.value_or(QString()));
    ShortcutItem &item = CreateNewItem();
    AttachFile(item, path, platform_);
    item.Picture.clear();
    item.Label_Caption = path.isEmpty() ? QString() : QFileInfo(path).fileName();
    view_.itemChanged(item);
    view_.Modified();
    view_.RefreshAll();
}

void ShortcutCommands::mnuNewUrlClick()
{
    try {
        const std::optional<UrlShortcutFields> fields =
            prompt_.UrlShortcutDialog({DefaultUrlCaption, DefaultUrlLink});
        if (fields) {
            ShortcutItem &item = CreateNewItem();
            item.Label_Caption = fields->caption;
            AttachFile(item, fields->link, platform_);
            view_.itemChanged(item);
            view_.Modified();
        }
    } catch (const std::exception &) {
        reportError(NewUrlError);
    }
    view_.RefreshAll();
}

void ShortcutCommands::mnuItemDeleteClick()
{
    if (!currentShortcut())
        return;
    DeleteItem();
    // Reported even when the user said no.
    view_.Modified();
}

bool ShortcutCommands::DeleteItem()
{
    // What the question counts is what goes, taken before it is asked: the
    // selection may change while the question is open.
    const std::vector<ShortcutItem *> doomed = selection_.items();
    Desktop *d = ws_.activeDesktop();
    const QString question = QStringLiteral("Are You sure,that want to delete ") + QString::number(doomed.size())
        + QStringLiteral(" shortcuts?");
    if (prompt_.MessageDlg(question, MsgDlgType::Warning, mbOK | mbCancel, 0) != ModalResult::OK)
        return false;

    try {
        for (ShortcutItem *item : doomed) {
            if (!d || ws_.indexOf(d) < 0 || d->indexOfItem(item) < 0)
                continue; // gone meanwhile
            // The view still needs the record to know what area to repaint.
            view_.itemRemoving(*item);
            selection_.forget(item);
            d->removeItem(item);
        }
    } catch (const std::exception &) {
        reportError(DeleteError);
    }
    selection_.UnFocused();
    view_.Modified();
    return true;
}

void ShortcutCommands::mnuItemRenameClick()
{
    ShortcutItem *item = currentShortcut();
    if (!item)
        return;
    const QString before = item->Label_Caption;
    Desktop *d = ws_.activeDesktop();
    try {
        // The dialog refuses an empty name itself.
        const std::optional<QString> name = prompt_.RenameDialog(before);
        if (!name || ws_.indexOf(d) < 0 || d->indexOfItem(item) < 0)
            return;
        item->Label_Caption = *name;
        view_.itemChanged(*item);
        view_.Modified();
    } catch (const std::exception &) {
        // A rename either happens whole or not at all.
        item->Label_Caption = before;
        reportError(RenameError);
    }
}

void ShortcutCommands::mnuAttachedFileClick()
{
    ShortcutItem *item = currentShortcut();
    if (!item)
        return;
    std::optional<QString> chosen = prompt_.OpenFileDialog(FileFilter, startFolderOf(item->AttachedFile), false);
    if (chosen) {
        chosen = storable(std::move(*chosen));
        AttachFile(*item, *chosen, platform_);
        item->Picture.clear();
        // The name of the file chosen, even when it resolved to another target.
        item->Label_Caption = QFileInfo(*chosen).fileName();
        view_.itemChanged(*item);
    }
    view_.Modified();
    view_.RefreshAll();
}

void ShortcutCommands::mnuItemPictureClick()
{
    ShortcutItem *item = currentShortcut();
    if (!item)
        return;
    const std::optional<QString> chosen =
        prompt_.OpenFileDialog(PictureFilter + QLatin1Char('|') + DesktopIconsFilter, QString(), true);
    if (chosen) {
        const QImage picture = decodedPicture(*chosen);
        if (!picture.isNull()) {
            item->Picture = storable(*chosen);
        } else {
            item->Picture.clear();
            reportError(PictureError);
        }
        view_.itemChanged(*item);
        view_.pictureDecoded(*item, picture);
    }
    view_.Modified();
    view_.RefreshAll();
}

void ShortcutCommands::mnuItemAttributesClick()
{
    ShortcutItem *item = currentShortcut();
    if (!item)
        return;
    bool unreported = false; // fields changed that the view has not heard of
    try {
        const std::optional<ShortcutAttributes> fields = prompt_.AttributesDialog(
            {item->Label_Caption, item->AttachedFile, item->CommandString, item->Picture});
        if (fields) {
            unreported = true;
            item->Label_Caption = fields->caption;
            AttachFile(*item, fields->attachedFile, platform_);
            // Set after the file was attached, so it wins over the arguments
            // a resolved link brought along.
            item->CommandString = fields->commandString;
            item->Picture = fields->picture;
            QImage picture;
            if (!item->Picture.isEmpty() && item->Picture != ShortcutItem::NoPicture) {
                picture = decodedPicture(item->Picture);
                if (picture.isNull()) {
                    const QString path = item->Picture;
                    item->Picture.clear();
                    reportError(AttributesLoadError + path);
                }
            }
            unreported = false;
            view_.itemChanged(*item);
            view_.pictureDecoded(*item, picture);
            view_.Modified();
        }
    } catch (const std::exception &) {
        reportError(AttributesError);
        // What was set before the failure stays set, so it has to show.
        if (unreported)
            view_.itemChanged(*item);
    }
    view_.RefreshAll();
}

void ShortcutCommands::OnLabelDblClick(ShortcutItem &item)
{
    ws_.work.CurrentElement = {&item, nullptr};
    view_.executeItem(item);
}

void ShortcutCommands::RefreshShortcutFont()
{
    Desktop *d = ws_.activeDesktop();
    if (!d)
        return;
    // The caption look is taken from the desktop whenever a caption is
    // painted, so there is nothing to copy; the view only has to lay the
    // captions out again. Unlike copying the look onto each caption, this
    // keeps the highlight of selected shortcuts, which is drawn from their
    // Selected mark.
    try {
        for (const auto &item : d->items)
            view_.itemChanged(*item);
    } catch (const std::exception &) {
        reportError(FontError);
    }
}

} // namespace vl
