#pragma once

#include <QAction>
#include <QObject>

#include <array>

class QMenu;
class QWidget;

namespace vl {

// Every command of the main window, identified by an id rather than by text.
enum class ActionId {
    NewDesktop,
    RenameDesktop,
    DeleteDesktop,
    SaveAll,
    Reload,
    Restore,
    Exit,
    QuitWithoutSaving,
    NewShortcut,
    NewUrl,
    NewNote,
    ItemCopy,
    ItemCut,
    ItemDelete,
    ItemRename,
    ItemAttachedFile,
    ItemPicture,
    ItemAttributes,
    ItemOpen,
    ItemPaste,
    ArrangeByGrid,
    ArrangeByName,
    CommonOptions,
    DesktopOptions,
    Help,
    About,
    Find,
    Undo,
    Redo,
    Count
};

// Builds the actions once, with their texts, shortcuts and hints.
class MainActions : public QObject {
    Q_OBJECT
public:
    explicit MainActions(QObject *parent);
    QAction *operator[](ActionId id) const { return actions_[static_cast<std::size_t>(id)]; }

    // The commands of the shortcut menu. Their keys work only while the
    // menu is open; on the window, the same keys pass the keyboard gate.
    static bool onShortcutMenu(ActionId id);

    // The menus over these actions, in their order, owned by parent:
    // the desktop's (PopupMenuMain), the tray icon's and the shortcut's.
    QMenu *buildDesktopMenu(QWidget *parent) const;
    QMenu *buildTrayMenu(QWidget *parent) const;
    QMenu *buildShortcutMenu(QWidget *parent) const;

private:
    std::array<QAction *, static_cast<std::size_t>(ActionId::Count)> actions_{};
};

} // namespace vl
