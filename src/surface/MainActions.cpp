#include "surface/MainActions.h"

#include <QMenu>

namespace vl {

namespace {

struct ActionSpec {
    ActionId id;
    const char *name;
    const char *text;
    QKeySequence shortcut;
    const char *hint;
};

} // namespace

MainActions::MainActions(QObject *parent) : QObject(parent)
{
    const ActionSpec specs[] = {
        {ActionId::NewDesktop, "mnuNewTabSheet", "New Desktop", {}, nullptr},
        {ActionId::RenameDesktop, "mnuRenameTabSheet", "Rename Desktop", {}, nullptr},
        {ActionId::DeleteDesktop, "mnuDeleteTabSheet", "Delete Desktop", {}, nullptr},
        {ActionId::SaveAll, "mnuSave", "Save All", QKeySequence(Qt::CTRL | Qt::Key_S),
         "Immediately saves condition Vorlane"},
        {ActionId::Reload, "mnuReload", "Reload", QKeySequence(Qt::CTRL | Qt::Key_F5),
         "Restores last preserved condition"},
        {ActionId::Restore, "mnuRestore", "Restore...", {}, "Restores an earlier version of the settings"},
        {ActionId::Exit, "mnuExit", "Exit", {}, nullptr},
        {ActionId::QuitWithoutSaving, "actQuitWithoutSaving", "Quit without saving", QKeySequence(Qt::ALT | Qt::Key_Q),
         nullptr},
        {ActionId::NewShortcut, "mnuNewItem", "New Shortcut", {}, nullptr},
        {ActionId::NewUrl, "mnuNewUrl", "New Url", {}, "New Url Shortcut"},
        {ActionId::NewNote, "mnuNewNote", "New Note", {}, nullptr},
        {ActionId::ItemCopy, "mnuItemCopy", "Copy Shortcut", QKeySequence(Qt::CTRL | Qt::Key_C), nullptr},
        {ActionId::ItemCut, "mnuItemCut", "Cut Shortcut", QKeySequence(Qt::CTRL | Qt::Key_X), nullptr},
        {ActionId::ItemDelete, "mnuItemDelete", "Delete Shortcut", QKeySequence(Qt::Key_Delete), nullptr},
        {ActionId::ItemRename, "mnuItemRename", "Rename Shortcut", QKeySequence(Qt::CTRL | Qt::Key_R), nullptr},
        {ActionId::ItemAttachedFile, "mnuAttachedFile", "Attached file of Shortcut", {}, nullptr},
        {ActionId::ItemPicture, "mnuItemPicture", "Picture of Shortcut", {}, nullptr},
        {ActionId::ItemAttributes, "mnuItemAttributes", "Attributes of Shortcut", {}, "attributes of shortcut"},
        {ActionId::ItemOpen, "actItemOpen", "Open Shortcut", {}, nullptr},
        {ActionId::ItemPaste, "mnuItemPaste", "Paste Shortcut", QKeySequence(Qt::CTRL | Qt::Key_V), nullptr},
        {ActionId::ArrangeByGrid, "mnuEqualize", "By Grid", {}, nullptr},
        {ActionId::ArrangeByName, "mnuByName", "By Name", {}, nullptr},
        {ActionId::CommonOptions, "mnuCommonOptions", "Common Options", {}, nullptr},
        {ActionId::DesktopOptions, "mnuDesktopOptions", "Desktop Options", {}, nullptr},
        // F1 is the window's own key, taken at its release (see FormKeys);
        // the action shows it in the menu and takes it only there.
        {ActionId::Help, "mnuHelp", "Help", QKeySequence(Qt::Key_F1), nullptr},
        {ActionId::About, "mnuAbout", "About", {}, nullptr},
        {ActionId::Find, "mnuFind", "Find...", QKeySequence(Qt::CTRL | Qt::Key_F),
         "Finds shortcuts and notes on every desktop"},
        // Their texts name the step ("Undo Delete Shortcut") while the menu shows.
        {ActionId::Undo, "mnuUndo", "Undo", QKeySequence(Qt::CTRL | Qt::Key_Z), nullptr},
        {ActionId::Redo, "mnuRedo", "Redo", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), nullptr},
    };
    for (const ActionSpec &s : specs) {
        auto *a = new QAction(QString::fromLatin1(s.text), this);
        a->setObjectName(QString::fromLatin1(s.name));
        if (!s.shortcut.isEmpty()) {
            a->setShortcut(s.shortcut);
            a->setShortcutContext(onShortcutMenu(s.id) || s.id == ActionId::Help ? Qt::WidgetShortcut
                                                                                 : Qt::WindowShortcut);
        }
        if (s.hint) {
            a->setStatusTip(QString::fromLatin1(s.hint));
            a->setToolTip(QString::fromLatin1(s.hint));
        }
        actions_[static_cast<std::size_t>(s.id)] = a;
    }
    // Ctrl+Y too, as many programs have it; the menu shows the first key.
    (*this)[ActionId::Redo]->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    (*this)[ActionId::Undo]->setEnabled(false);
    (*this)[ActionId::Redo]->setEnabled(false);
}

bool MainActions::onShortcutMenu(ActionId id)
{
    switch (id) {
    case ActionId::ItemCopy:
    case ActionId::ItemCut:
    case ActionId::ItemDelete:
    case ActionId::ItemRename:
    case ActionId::ItemAttachedFile:
    case ActionId::ItemPicture:
    case ActionId::ItemAttributes:
        return true;
    default:
        return false;
    }
}

QMenu *MainActions::buildDesktopMenu(QWidget *parent) const
{
    const MainActions &a = *this;
    auto *menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("PopupMenuMain"));
    menu->addAction(a[ActionId::Undo]);
    menu->addAction(a[ActionId::Redo]);
    menu->addSeparator();
    menu->addAction(a[ActionId::NewShortcut]);
    menu->addAction(a[ActionId::NewUrl]);
    menu->addAction(a[ActionId::NewNote]);
    menu->addSeparator();
    menu->addAction(a[ActionId::NewDesktop]);
    menu->addAction(a[ActionId::RenameDesktop]);
    menu->addAction(a[ActionId::DeleteDesktop]);
    menu->addSeparator();
    menu->addAction(a[ActionId::ItemPaste]);
    menu->addAction(a[ActionId::Find]);
    QMenu *arrange = menu->addMenu(QStringLiteral("Arrange Shortcuts"));
    arrange->setObjectName(QStringLiteral("mnuArrange"));
    arrange->addAction(a[ActionId::ArrangeByGrid]);
    arrange->addAction(a[ActionId::ArrangeByName]);
    QMenu *options = menu->addMenu(QStringLiteral("Options"));
    options->setObjectName(QStringLiteral("mnuOptions"));
    options->addAction(a[ActionId::CommonOptions]);
    options->addAction(a[ActionId::DesktopOptions]);
    menu->addSeparator();
    menu->addAction(a[ActionId::SaveAll]);
    menu->addAction(a[ActionId::Reload]);
    menu->addAction(a[ActionId::Restore]);
    menu->addSeparator();
    menu->addAction(a[ActionId::Help]);
    menu->addAction(a[ActionId::About]);
    menu->addSeparator();
    menu->addAction(a[ActionId::Exit]);
    return menu;
}

QMenu *MainActions::buildTrayMenu(QWidget *parent) const
{
    auto *menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("PopupMenuTray"));
    menu->addAction((*this)[ActionId::About]);
    menu->addSeparator();
    menu->addAction((*this)[ActionId::Exit]);
    return menu;
}

QMenu *MainActions::buildShortcutMenu(QWidget *parent) const
{
    auto *menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("PopupMenuItem"));
    for (ActionId id : {ActionId::ItemCopy, ActionId::ItemCut, ActionId::ItemDelete, ActionId::ItemRename})
        menu->addAction((*this)[id]);
    menu->addSeparator();
    for (ActionId id : {ActionId::ItemAttachedFile, ActionId::ItemPicture, ActionId::ItemAttributes})
        menu->addAction((*this)[id]);
    return menu;
}

} // namespace vl
