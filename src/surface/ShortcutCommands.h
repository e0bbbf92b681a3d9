#pragma once

#include "common/Prompt.h"
#include "model/Model.h"

#include <QImage>

namespace vl {

class Platform;
class Selection;

// What the shortcut commands need from the window that shows shortcuts.
class ShortcutView {
public:
    virtual ~ShortcutView() = default;
    // A shortcut was added to / changed on / is about to leave the active desktop.
    virtual void itemAdded(ShortcutItem &item) = 0;
    virtual void itemChanged(ShortcutItem &item) = 0;
    virtual void itemRemoving(ShortcutItem &item) = 0;
    // A command set the shortcut's Picture and decoded it (after
    // itemChanged); null when there was no file to decode or it could not
    // be read. A Picture that names a file which could not be read stays
    // as it is, and the shortcut shows the automatic picture of its
    // attached file; other shortcuts showing that file are not touched.
    virtual void pictureDecoded(ShortcutItem &item, const QImage &picture)
    {
        (void)item;
        (void)picture;
    }
    // The change report and the refresh after a command.
    virtual void Modified() = 0;
    virtual void RefreshAll() = 0;
    // Starts the shortcut (a double click on it).
    virtual void executeItem(ShortcutItem &item) = 0;
};

// The commands that create, change and remove shortcuts on the active desktop.
class ShortcutCommands {
public:
    ShortcutCommands(Workspace &ws, Prompt &prompt, Platform &platform, Selection &selection, ShortcutView &view)
        : ws_(ws), prompt_(prompt), platform_(platform), selection_(selection), view_(view)
    {
    }

    // Adds a shortcut to the active desktop at NewElementPosition; it
    // becomes CurrentElement. Nothing is selected and no modification is
    // reported. The view hears itemAdded at once, while the fields are still
    // blank, so whoever fills them in reports itemChanged afterwards.
    ShortcutItem &CreateNewItem();

    void mnuNewItemClick();
    void mnuNewUrlClick();
    void mnuItemDeleteClick();
    // The question and the deletion of the selection; true when deleted.
    bool DeleteItem();
    void mnuItemRenameClick();
    void mnuAttachedFileClick();
    void mnuItemPictureClick();
    void mnuItemAttributesClick();
    void OnLabelDblClick(ShortcutItem &item);
    // Re-applies the desktop's caption look to its shortcuts.
    void RefreshShortcutFont();

    // The choosers' filters, as stored (description|patterns pairs).
    static inline const QString FileFilter = QStringLiteral("All (*.*)|*.*");
    static inline const QString PictureFilter = QStringLiteral(
        "All (*.bmp;*.ico;*.emf;*.wmf)|*.bmp;*.ico;*.emf;*.wmf|Bitmaps (*.bmp)|*.bmp|Icons (*.ico)|*.ico|"
        "Enhanced Metafiles (*.emf)|*.emf|Metafiles (*.wmf)|*.wmf");
    static inline const QString AttributesPictureFilter =
        QStringLiteral("All (*.bmp;*.ico)|*.bmp;*.ico|Bitmaps (*.bmp)|*.bmp|Icons (*.ico)|*.ico");
    // The entry this platform adds after the filters above.
    static inline const QString DesktopIconsFilter = QStringLiteral("Desktop icons (*.png;*.svg;*.xpm)|*.png;*.svg;*.xpm");
    static inline const QString DefaultUrlCaption = QStringLiteral("New Url Shortcut");
    static inline const QString DefaultUrlLink = QStringLiteral("https://");

    // Where a chooser opens for a path: its folder, or empty (the chooser's
    // own choice) for no path, "NONE" and web addresses, which have none.
    static QString startFolderOf(const QString &path);

private:
    ShortcutItem *currentShortcut() const;
    // Marks the session as having had errors and shows the message.
    void reportError(const QString &message);

    Workspace &ws_;
    Prompt &prompt_;
    Platform &platform_;
    Selection &selection_;
    ShortcutView &view_;
};

} // namespace vl
