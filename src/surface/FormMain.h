#pragma once

#include "app/SaveController.h"
#include "model/ChangeJournal.h"
#include "common/OutsideRequests.h"
#include "model/Model.h"
#include "notes/NoteHost.h"
#include "search/SearchIndex.h"
#include "storage/SettingsFile.h"
#include "shortcuts/Launching.h"
#include "shortcuts/ShortcutPictures.h"
#include "surface/Arrangement.h"
#include "surface/DesktopCommands.h"
#include "surface/FormKeys.h"
#include "surface/ItemClipboard.h"
#include "surface/PasswordGate.h"
#include "surface/Selection.h"
#include "surface/SurfaceGestures.h"
#include "surface/SurfaceKeys.h"
#include "surface/ShortcutCommands.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QMenu;
class QVBoxLayout;

namespace vl {

class GlobalShortcut;
class RunningCopies;

class CompactStrip;
class DesktopSurface;
class FindPopup;
struct DropData;
class HelpSystem;
class TDropURLTarget;
class TTitlebutn;
class TTrayIcon;
class LegacyImport;
class NoteBoard;
class PageScroller;
class UndoCommands;
class HandOff;
class HistoryRestore;
class MainActions;
class Platform;
class Prompt;
class StatusBarMain;
class TabStrip;
class TfrmSplash;

// The main window. It wires the parts together; the commands, the gates,
// the saving policy and the surface live in classes of their own.
class TFormMain : public QWidget,
                  private DesktopView,
                  private ShortcutView,
                  private ArrangeView,
                  private GestureView,
                  private NoteHost {
    Q_OBJECT
public:
    TFormMain(Prompt &prompt, Platform &platform, QString settingsPath, QWidget *parent = nullptr);
    ~TFormMain() override;

    // Loads the desktops and applies the look; the progress window, when
    // given, shows the load and is where a start-up password is asked over.
    void FormCreate(TfrmSplash *splash = nullptr);

    Workspace &workspace() { return ws_; }
    SettingsFile &settingsFile() { return file_; }
    SaveController &saver() { return *saver_; }
    OutsideRequests &requests() { return requests_; }
    DesktopCommands &desktopCommands() { return desktopCmds_; }
    ChangeJournal &journal() { return journal_; }
    UndoCommands &undoCommands() { return *undoCmds_; }
    ShortcutCommands &shortcutCommands() { return shortcutCmds_; }
    Selection &selection() { return selection_; }
    Arrangement &arrangement() { return arrangement_; }
    ItemClipboard &clipboard() { return clipboard_; }
    Launching &launching() { return launching_; }
    ShortcutPictures &pictures() { return pictures_; }
    QMenu *PopupMenuItem() const { return popupMenuItem_; }

    // Where hand-offs from later starts arrive; none: no pickup.
    void setHandOff(HandOff *handOff) { handOff_ = handOff; }
    // This window's running mark, which Restore must hold alone.
    void setRunningMark(RunningCopies *mark);
    // The pickup: a waiting hand-off becomes a selected shortcut on the
    // active desktop. Asked for on every wake-up and after every paint; it
    // runs as an outside request.
    void pickupHandOff();
    // Adds the shortcut of a handed-over path.
    void FromSendTo(const QString &caption, const QString &path);
    // Repaints the active desktop and refreshes the drive panels.
    void RefreshAll() override;
    // The menu gate for a right-button press on a shortcut.
    void CheckPasswordOnMenuItem(QPoint globalPos) override;
    PasswordGate &passwordGate() { return gate_; }
    TabStrip *PageControl1() const { return tabs_; }
    DesktopSurface *surface() const { return surface_; }
    StatusBarMain *StatusBar() const { return status_; }
    QMenu *PopupMenuMain() const { return popupMenuMain_; }
    MainActions &actions() const { return *actions_; }

    bool closeAllowed() const { return CloseAllowed_; }
    // The session or a signal asked the program to end.
    bool endRequested() const { return ending_; }

    // Commands of the desktop menu and the keyboard.
    void mnuSaveClick();
    void mnuReloadClick();
    // "Restore...": an earlier version of the settings from the history.
    void mnuRestoreClick();
    void mnuExitClick();
    void quitWithoutSaving();
    // The end of the desktop session or a termination signal: open
    // questions close as cancelled, then the program saves and ends; while
    // the model is still being read it ends without saving.
    void endSession();
    // A second copy asked this one to come forward (and maybe handed a path over).
    void wakeUp();

    // The desktop-menu gate for a right-button release over the background.
    void CheckPasswordOnMenuMain(QPoint globalPos) override;
    // One shortcut dropped onto another.
    void SourceToSender(ShortcutItem &target, ShortcutItem &dragged) override;
    SurfaceGestures &gestures() { return *gestures_; }
    NoteBoard &notes() { return *notes_; }
    // "New Note": an empty note at NewElementPosition on the active desktop.
    void mnuNewNoteClick();
    // The note menu gate for a right press on a note.
    void CheckPasswordOnNoteMenuItem(TResizer &note, QPoint globalPos);

    // NoteHost
    void NoteMouseDown(TResizer &note, Qt::MouseButton button, QPoint globalPos) override;
    void noteMenuRequested(TResizer &note, QPoint globalPos) override;
    void noteProperties(TResizer &note) override;
    void noteDeleted(TResizer &note) override;
    void noteTextChanged(TResizer &note) override;
    void noteBoundsChanged(TResizer &note) override;
    // The keyboard gate for commands on the current shortcut.
    bool CheckPasswordOnPopUpMenu();

    // DesktopView
    void desktopsChanged() override;
    void showActiveDesktop() override;
    void PageControl1Change() override;
    void Modified() override;
    void desktopRemoving(Desktop &d) override;

    // ShortcutView
    void itemAdded(ShortcutItem &item) override;
    void itemChanged(ShortcutItem &item) override;
    void itemRemoving(ShortcutItem &item) override;
    void pictureDecoded(ShortcutItem &item, const QImage &picture) override;
    void executeItem(ShortcutItem &item) override;

    // ArrangeView
    QSize tabControlSize() override;
    QRect pageGeometry() override;
    int captionHeight(ShortcutItem &item) override;
    void itemsMoved() override;

    // GestureView
    void backgroundClicked() override;

    // Applies the tab font, wrapping and position and the status bar.
    void applyLook();

    // "Common Options" and "Desktop Options" of the desktop menu.
    void mnuCommonOptionsClick();
    void mnuDesktopOptionsClick();
    // The import of an older version's registry settings; it lives as long
    // as the window, its font records from one import to the next.
    LegacyImport &legacyImport() { return *legacy_; }

    // A drop from another program: one new shortcut, selected alone, where
    // the pointer let go.
    void DragDropFileDrop(const DropData &data, QPoint screenPos);
    bool dropsAccepted() const;
    // The active desktop's page is shown and open: its password, if any,
    // was given. Drops and pastes land only on such a page.
    bool pageOpen() const;
    TDropURLTarget &dropTarget() { return *drop_; }
    // The icon in the panel's notification area and its menu.
    TTrayIcon &trayIcon() { return *tray_; }
    QMenu *PopupMenuTray() const { return popupMenuTray_; }
    // Brings the window back from anywhere: minimised, behind others.
    void OnTrayIconDblClick();
    // `vorlane --show`: back from anywhere, the compact strip included.
    void showFromAnywhere();
    // `vorlane --toggle`: away (as the close box does) when shown and
    // active, back from anywhere otherwise.
    void toggleFromAnywhere();
    // The key that toggles the window from anywhere, as the registry store
    // has it (Ctrl+Alt+Space unless the user chose another or none).
    void applyToggleKey();
    GlobalShortcut &toggleKey() { return *toggleKey_; }
    // The button at the end of the tabs that rolls the window up into the
    // compact strip at the top of the screen, and out again.
    TTitlebutn &titleButton() { return *titleButton_; }
    CompactStrip &compactStrip() { return *compact_; }
    bool normalMode() const;
    // "Help" and F1: the contents of the manual. "About".
    void mnuHelpClick();
    void mnuAboutClick();
    HelpSystem &help() { return *help_; }

    // "Find..." and Ctrl+F, or a letter typed on the page: the search field
    // over the window, holding typed. Not while a question, a load or a
    // save is open.
    void mnuFindClick(const QString &typed = QString());
    bool findMayOpen() const;
    SearchIndex &searchIndex() { return *search_; }
    FindPopup &findPopup() const { return *find_; }
    // What a chosen result does: Enter starts a shortcut as a double click
    // does; Alt+Enter (and any choice of a note) switches to its desktop,
    // through the desktop's password question, and selects it there.
    void startFound(const SearchHit &hit);
    void showFound(const SearchHit &hit);

    static inline const QString ReloadQuestion = QStringLiteral("Are You Sure?");
    static inline const QString FirstStartMessage = QStringLiteral("Your desktops are kept in %1");
    static inline const QString UndoClearedMessage = QStringLiteral("Nothing more can be undone: the settings were read again");

signals:
    // The window is gone for good: the program may end.
    void ended();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    class Host;
    class Options;
    class Undoing;
    // Whatever changed since the last record becomes an undoable step;
    // the menu's Undo and Redo follow.
    void recordChange();
    void updateUndoActions();
    class Compact;
    class Finder;
    void buildUi();
    void onTabChanged(int index);
    // The keyboard commands on the current shortcut pass the gate first;
    // from the shortcut menu they run at once, its gate having passed.
    void keyCommand(const std::function<void()> &command);
    bool runKey(KeyCommand command);
    // Ctrl+Tab and its kin: the next (or previous) desktop, as a click on
    // its tab would choose it.
    void stepDesktop(int by);
    // The end: the final save (unless quitting without one), then away.
    void finishSession();
    // Everything the window keeps about the desktops goes: they are about
    // to be destroyed all together (a reload, an import).
    void forgetAllDesktops();
    // Everything again from the settings file, as it is now.
    void reloadAll();
    // The file holds another version now (restored, or written by another
    // program and chosen): it is loaded as at start-up, the errors of the
    // state it replaces gone and a protected desktop asking its password.
    void loadNewVersion();
    QPoint visibleNewPosition() const;
    void addFileShortcut(QPoint position, const QString &file, const QString &caption);
    void applyWindowState(const GlobalSettings &g);
    void captureWindowState(GlobalSettings &g) const;

    Prompt &prompt_;
    Platform &platform_;
    OutsideRequests requests_;
    Workspace ws_;
    std::unique_ptr<Host> host_;
    SettingsFile file_;
    ChangeJournal journal_;
    SaveController *saver_ = nullptr;
    PasswordGate gate_;
    DesktopCommands desktopCmds_;
    ShortcutPictures pictures_;
    Selection selection_;
    Launching launching_;
    ShortcutCommands shortcutCmds_;
    Arrangement arrangement_;
    ItemClipboard clipboard_;
    std::unique_ptr<SurfaceGestures> gestures_;
    std::unique_ptr<SurfaceKeys> keys_;
    std::unique_ptr<NoteBoard> notes_;
    std::unique_ptr<LegacyImport> legacy_;
    std::unique_ptr<Options> options_;
    std::unique_ptr<Compact> compactView_;
    std::unique_ptr<Finder> finder_;
    std::unique_ptr<CompactStrip> compact_;
    std::unique_ptr<TDropURLTarget> drop_;
    std::unique_ptr<HelpSystem> help_;
    std::unique_ptr<SearchIndex> search_;
    FindPopup *find_ = nullptr;
    std::unique_ptr<HistoryRestore> restore_;
    std::unique_ptr<GlobalShortcut> toggleKey_;
    std::unique_ptr<Undoing> undoing_;
    std::unique_ptr<UndoCommands> undoCmds_;
    TTrayIcon *tray_ = nullptr;
    TTitlebutn *titleButton_ = nullptr;
    QWidget *tabRow_ = nullptr;
    QMenu *popupMenuTray_ = nullptr;
    HandOff *handOff_ = nullptr;
    bool pickupQueued_ = false;

    MainActions *actions_ = nullptr;
    TabStrip *tabs_ = nullptr;
    DesktopSurface *surface_ = nullptr;
    PageScroller *scroller_ = nullptr;
    StatusBarMain *status_ = nullptr;
    QVBoxLayout *layout_ = nullptr;
    QMenu *popupMenuMain_ = nullptr;
    QMenu *popupMenuItem_ = nullptr;
    QPointer<TfrmSplash> splash_;

    bool CloseAllowed_ = false;
    bool QuitWithoutSaving_ = false;
    bool ending_ = false;
    bool finished_ = false;
};

} // namespace vl
