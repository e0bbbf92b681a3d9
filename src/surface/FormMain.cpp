#include "surface/FormMain.h"

#include "common/ColourConv.h"
#include "common/HandOff.h"
#include "common/Prompt.h"
#include "common/WindowSystem.h"
#include "model/StorableText.h"
#include "app/SplashWindow.h"
#include "platform/GlobalShortcut.h"
#include "platform/Platform.h"
#include "shortcuts/ShortcutFiles.h"
#include "surface/Accessibility.h"
#include "surface/DesktopSurface.h"
#include "surface/FormMainViews.h"
#include "notes/NoteBoard.h"
#include "notes/TResizer.h"
#include "options/CommonOptions.h"
#include "options/DesktopOptions.h"
#include "options/OptionsView.h"
#include "storage/LegacyImport.h"
#include "surface/HandOffPickup.h"
#include "surface/HistoryRestore.h"
#include "surface/MainActions.h"
#include "surface/PageScroller.h"
#include "surface/UndoCommands.h"
#include "common/PictureLoader.h"
#include "help/HelpSystem.h"
#include "search/FindPopup.h"
#include "platform/DesktopIcons.h"
#include "shell/CompactStrip.h"
#include "shell/DropURLTarget.h"
#include "shell/Titlebutn.h"
#include "shell/TrayIcon.h"
#include "surface/StatusBarMain.h"
#include "surface/TabStrip.h"

#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QFileInfo>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

namespace vl {

TFormMain::TFormMain(Prompt &prompt, Platform &platform, QString settingsPath, QWidget *parent)
    : QWidget(parent),
      prompt_(prompt),
      platform_(platform),
      host_(std::make_unique<Host>(*this)),
      file_(ws_, prompt, *host_, std::move(settingsPath)),
      journal_(ws_),
      gate_(prompt, ws_.work),
      desktopCmds_(ws_, prompt, *this),
      pictures_(platform),
      selection_(ws_),
      launching_(platform, prompt, ws_.global),
      shortcutCmds_(ws_, prompt, platform, selection_, *this),
      arrangement_(ws_, *this),
      clipboard_(ws_, prompt, platform, selection_, shortcutCmds_, arrangement_, *this)
{
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("Vorlane"));
    prompt_.setRequests(&requests_);
    file_.setRequests(&requests_);
    saver_ = new SaveController(ws_, file_, requests_, this);
    legacy_ = std::make_unique<LegacyImport>(ws_, prompt, *host_);
    legacy_->setRequests(&requests_);
    options_ = std::make_unique<Options>(*this);
    help_ = std::make_unique<HelpSystem>();
    help_->setApplicationHelpFile(HelpSystem::defaultHelpFile());
    prompt_.setHelpRequest([this](int context) { help_->showContext(context); });
    search_ = std::make_unique<SearchIndex>(ws_);
    undoing_ = std::make_unique<Undoing>(*this);
    undoCmds_ = std::make_unique<UndoCommands>(journal_, gate_, *undoing_);
    toggleKey_ = std::make_unique<GlobalShortcut>();
    connect(toggleKey_.get(), &GlobalShortcut::activated, this, &TFormMain::toggleFromAnywhere);
    restore_ = std::make_unique<HistoryRestore>(
        file_, prompt_, [this] { loadNewVersion(); }, [this](const QString &text) { status_->showMessage(text); });
    buildUi();
    connect(saver_, &SaveController::saveStateChanged, status_, &StatusBarMain::setSaveState);
}

TFormMain::~TFormMain()
{
    // The field goes before the index it listens to: as a child widget it
    // would otherwise outlive the members.
    delete find_;
    find_ = nullptr;
    prompt_.setRequests(nullptr);
    prompt_.setHelpRequest({});
}

void TFormMain::buildUi()
{
    installAccessibility();
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    tabRow_ = new QWidget(this);
    tabs_ = new TabStrip(tabRow_);
    tabs_->setObjectName(QStringLiteral("PageControl1"));
    tabs_->setAccessibleName(QStringLiteral("Desktops"));
    // A press from assistive technology is an outside request: it may come
    // while a question is open, and it must not hold the bus call up while
    // the desktop's own password is asked.
    // The desktop is taken at the press: the question it waited for may
    // have deleted or moved desktops.
    tabs_->onAccessiblePress = [this](int index) {
        const Desktop *pressed = index >= 0 && index < ws_.desktopCount() ? &ws_.desktop(index) : nullptr;
        requests_.post([this, pressed] {
            const int now = pressed ? ws_.indexOf(pressed) : -1;
            if (now >= 0 && now < tabs_->count())
                tabs_->setCurrentIndex(now, true);
        });
    };
    titleButton_ = new TTitlebutn(this, tabRow_);
    titleButton_->setToolTip(QStringLiteral("Roll up into a strip at the top of the screen, or back"));
    titleButton_->setAccessibleName(QStringLiteral("Compact strip"));
    auto *tabRowLayout = new QHBoxLayout(tabRow_);
    tabRowLayout->setContentsMargins(0, 0, 0, 0);
    tabRowLayout->setSpacing(2);
    tabRowLayout->addWidget(tabs_, 1);
    tabRowLayout->addWidget(titleButton_, 0, Qt::AlignVCenter);
    compactView_ = std::make_unique<Compact>(*this);
    compact_ = std::make_unique<CompactStrip>(*this, *compactView_);
    titleButton_->Action = [this] {
        if (titleButton_->State() == TTitlebutn::stUp)
            compact_->enter();
        else
            compact_->leave();
    };
    titleButton_->SetVisible(true);
    // Rolled up, a left click anywhere on the tabs rolls the window out.
    connect(tabs_, &TabStrip::released, this, [this](Qt::MouseButton button) {
        if (button == Qt::LeftButton && !normalMode())
            titleButton_->ButtonClick();
    });
    surface_ = new DesktopSurface(ws_.global, pictures_, this);
    scroller_ = new PageScroller(*surface_, this);
    selection_.onChanged = [this](ShortcutItem &item) { surface_->itemSelectionChanged(item); };
    surface_->currentItem = [this]() -> const ShortcutItem * { return ws_.work.CurrentElement.item; };
    surface_->onAccessibleOpen = [this](ShortcutItem &item) {
        const Desktop *shown = surface_->desktop();
        requests_.post([this, shown, target = &item] {
            // The shortcut may have gone, or the page changed, meanwhile.
            if (surface_->desktop() != shown || surface_->indexOfShownItem(target) < 0)
                return;
            gestures_->open(*target);
        });
    };
    status_ = new StatusBarMain(platform_, this);

    actions_ = new MainActions(this);
    // The window's own keys. The commands on the current shortcut are not
    // among them: their keys pass the keyboard gate (below), while the same
    // actions chosen from the shortcut menu have passed the menu's gate.
    for (int i = 0; i < static_cast<int>(ActionId::Count); ++i) {
        const auto id = static_cast<ActionId>(i);
        // F1 is taken by FormKeys; on the window the action would take it a
        // second time.
        if (!MainActions::onShortcutMenu(id) && id != ActionId::Help)
            addAction((*actions_)[id]);
    }
    new FormKeys(this, [this](KeyCommand command) { return runKey(command); });
    connect((*actions_)[ActionId::NewDesktop], &QAction::triggered, this, [this] { desktopCmds_.mnuNewTabSheetClick(); });
    connect((*actions_)[ActionId::RenameDesktop], &QAction::triggered, this,
            [this] { desktopCmds_.mnuRenameTabSheetClick(); });
    connect((*actions_)[ActionId::DeleteDesktop], &QAction::triggered, this,
            [this] { desktopCmds_.mnuDeleteTabSheetClick(); });
    connect((*actions_)[ActionId::SaveAll], &QAction::triggered, this, &TFormMain::mnuSaveClick);
    connect((*actions_)[ActionId::Reload], &QAction::triggered, this, &TFormMain::mnuReloadClick);
    connect((*actions_)[ActionId::Restore], &QAction::triggered, this, &TFormMain::mnuRestoreClick);
    connect((*actions_)[ActionId::Exit], &QAction::triggered, this, &TFormMain::mnuExitClick);
    connect((*actions_)[ActionId::QuitWithoutSaving], &QAction::triggered, this, &TFormMain::quitWithoutSaving);
    connect((*actions_)[ActionId::NewShortcut], &QAction::triggered, this, [this] { shortcutCmds_.mnuNewItemClick(); });
    connect((*actions_)[ActionId::NewUrl], &QAction::triggered, this, [this] { shortcutCmds_.mnuNewUrlClick(); });
    connect((*actions_)[ActionId::NewNote], &QAction::triggered, this, &TFormMain::mnuNewNoteClick);
    connect((*actions_)[ActionId::ItemCopy], &QAction::triggered, this, [this] { clipboard_.mnuItemCopyClick(); });
    connect((*actions_)[ActionId::ItemCut], &QAction::triggered, this, [this] { clipboard_.mnuItemCutClick(); });
    // Ctrl+V goes straight to the command, without the menu's gate; like a
    // drop, never onto a page whose password was not given (the clipboard
    // then keeps what it holds).
    connect((*actions_)[ActionId::ItemPaste], &QAction::triggered, this, [this] {
        if (pageOpen())
            clipboard_.mnuItemPasteClick();
    });
    (*actions_)[ActionId::ItemPaste]->setEnabled(clipboard_.pasteEnabled());
    clipboard_.onPasteEnabledChanged = [this](bool on) { (*actions_)[ActionId::ItemPaste]->setEnabled(on); };
    connect((*actions_)[ActionId::ArrangeByGrid], &QAction::triggered, this,
            [this] { arrangement_.mnuEqualizeClick(); });
    connect((*actions_)[ActionId::ArrangeByName], &QAction::triggered, this, [this] { arrangement_.mnuByNameClick(); });
    connect((*actions_)[ActionId::CommonOptions], &QAction::triggered, this, &TFormMain::mnuCommonOptionsClick);
    connect((*actions_)[ActionId::DesktopOptions], &QAction::triggered, this, &TFormMain::mnuDesktopOptionsClick);
    connect((*actions_)[ActionId::Help], &QAction::triggered, this, &TFormMain::mnuHelpClick);
    connect((*actions_)[ActionId::About], &QAction::triggered, this, &TFormMain::mnuAboutClick);
    connect((*actions_)[ActionId::Find], &QAction::triggered, this, [this] { mnuFindClick(); });
    connect((*actions_)[ActionId::Undo], &QAction::triggered, this, [this] {
        undoCmds_->undo();
        updateUndoActions();
    });
    connect((*actions_)[ActionId::Redo], &QAction::triggered, this, [this] {
        undoCmds_->redo();
        updateUndoActions();
    });
    connect((*actions_)[ActionId::ItemDelete], &QAction::triggered, this,
            [this] { shortcutCmds_.mnuItemDeleteClick(); });
    connect((*actions_)[ActionId::ItemRename], &QAction::triggered, this,
            [this] { shortcutCmds_.mnuItemRenameClick(); });
    connect((*actions_)[ActionId::ItemAttachedFile], &QAction::triggered, this,
            [this] { shortcutCmds_.mnuAttachedFileClick(); });
    connect((*actions_)[ActionId::ItemPicture], &QAction::triggered, this, [this] { shortcutCmds_.mnuItemPictureClick(); });
    connect((*actions_)[ActionId::ItemAttributes], &QAction::triggered, this,
            [this] { shortcutCmds_.mnuItemAttributesClick(); });
    connect((*actions_)[ActionId::ItemOpen], &QAction::triggered, this, [this] {
        if (ShortcutItem *item = ws_.work.CurrentElement.item)
            executeItem(*item);
    });

    popupMenuMain_ = actions_->buildDesktopMenu(this);
    // Typed note text counts before the menu says what Undo undoes.
    connect(popupMenuMain_, &QMenu::aboutToShow, this, [this] {
        notes_->flush();
        recordChange();
    });
    popupMenuTray_ = actions_->buildTrayMenu(this);
    tray_ = new TTrayIcon(this);
    tray_->setIcon(programIcon());
    tray_->setToolTip(windowTitle());
    tray_->OnDblClick = [this] { OnTrayIconDblClick(); };
    tray_->setPopupMenu(popupMenuTray_);

    // Files and links dropped from other programs. The shortcut is made on
    // a later turn, once no question is open: the drag's source is answered
    // at once, and nothing runs inside a modal dialog.
    drop_ = std::make_unique<TDropURLTarget>();
    drop_->OnDrop = [this](const DropData &data, QPoint screenPos, Qt::DropAction) {
        requests_.post([this, data, screenPos] { DragDropFileDrop(data, screenPos); });
    };
    // Not onto a page behind its password, nor onto the rolled-up strip,
    // which shows no page to place the shortcut on.
    drop_->Accepting = [this] { return dropsAccepted(); };
    drop_->setTargetControl(this);

    popupMenuItem_ = actions_->buildShortcutMenu(this);

    connect(tabs_, &TabStrip::currentChanged, this, &TFormMain::onTabChanged);

    finder_ = std::make_unique<Finder>(*this);
    find_ = new FindPopup(*search_, finder_->actions(), surface_, this);
    find_->openOnTyping([this] { return findMayOpen(); });
    gestures_ = std::make_unique<SurfaceGestures>(ws_, selection_, *surface_, static_cast<GestureView &>(*this));
    // A gesture's release would go to whatever takes the mouse meanwhile.
    new InputTakenAway(this, surface_, [this] { gestures_->interrupt(); });
    keys_ = std::make_unique<SurfaceKeys>(ws_, selection_, *surface_, static_cast<GestureView &>(*this));
    surface_->onKey = [this](const QKeyEvent &event) {
        if (!keys_->key(event))
            return false;
        // The current shortcut stays in sight.
        if (ShortcutItem *current = ws_.work.CurrentElement.item; current && surface_->desktop())
            scroller_->ensureVisible(surface_->itemRect(*current));
        return true;
    };
    surface_->onMenuKey = [this] { keys_->menu(); };
    // Tab and Shift+Tab go between the desktops' tabs and the page.
    setTabOrder(tabs_, surface_);
    notes_ = std::make_unique<NoteBoard>(surface_, static_cast<NoteHost &>(*this), prompt_);
    connect(surface_, &DesktopSurface::mousePressed, this, [this](const auto &m) { gestures_->press(m); });
    connect(surface_, &DesktopSurface::mouseMoved, this, [this](const auto &m) {
        gestures_->move(m);
        if (gestures_->dragging() || gestures_->banding())
            scroller_->followPointer(m.pos);
    });
    connect(surface_, &DesktopSurface::mouseReleased, this, [this](const auto &m) {
        gestures_->release(m);
        recordChange(); // a drop moves shortcuts without reporting a change
        scroller_->contentsChanged(); // a drop may reach beyond the page
    });
    connect(surface_, &DesktopSurface::mouseDoubleClicked, this,
            [this](const auto &m) { gestures_->doubleClick(m); });
    // A hand-off waiting when the window paints is picked up after the
    // paint, as soon as no load, save or question is in progress.
    connect(surface_, &DesktopSurface::painted, this, [this] {
        if (handOff_ && !pickupQueued_ && handOff_->HandOffExists()) {
            pickupQueued_ = true;
            requests_.post([this] { pickupHandOff(); });
        }
    });
    applyLook();
}

void TFormMain::applyLook()
{
    const GlobalSettings &g = ws_.global;
    tabs_->setFont(toQFont(g.TabFont));
    tabs_->setMultiline(g.Tab_Multiline);
    tabs_->setShape(g.Tab_Position ? TabStrip::Shape::Top : TabStrip::Shape::Bottom);
    // Rolled up, the strip shows one row of tabs on top and nothing else;
    // the options take effect again when it rolls out.
    const bool compact = compact_ && !compact_->normal();
    const bool tabsOnTop = g.Tab_Position || compact;
    if (compact) {
        tabs_->setMultiline(false);
        tabs_->setShape(TabStrip::Shape::Top);
    }
    while (layout_->count() > 0)
        layout_->takeAt(0);
    // Tabs on top put the status bar at the bottom with a size grip; tabs
    // at the bottom put it on top, where a grip makes no sense.
    if (tabsOnTop) {
        layout_->addWidget(tabRow_);
        layout_->addWidget(scroller_->area(), 1);
        layout_->addWidget(status_);
    } else {
        layout_->addWidget(status_);
        layout_->addWidget(scroller_->area(), 1);
        layout_->addWidget(tabRow_);
    }
    status_->setSizeGripEnabled(tabsOnTop);
    status_->setVisible(g.bStatusBar_Enabled && !compact);
    // The strip is the tabs alone: no band of the page shows under them.
    scroller_->area()->setVisible(!compact);
}

void TFormMain::FormCreate(TfrmSplash *splash)
{
    splash_ = splash;
    CloseAllowed_ = false;
    QuitWithoutSaving_ = false;
    ws_.global.Cell_Height = 82;
    ws_.global.Cell_Width = 92;
    ws_.work.ErrorsOccurred = false;
    const bool firstStart = !QFileInfo::exists(file_.path()) && !QFileInfo(file_.path()).isSymLink();
    file_.LoadAll(true);
    journal_.reset();
    applyLook();
    saver_->Unmodified();
    status_->GetDriveInfo();
    // Once, where a new user would look for it.
    if (firstStart)
        status_->showMessage(FirstStartMessage.arg(QDir::toNativeSeparators(file_.path())));
    saver_->applyAutoSave();
    tray_->SetActive(true);
    applyToggleKey();
    // Staying behind other windows takes effect only from a reload on, so a
    // fresh start never hides the window it has just opened.
    ws_.global.Always_OnBack = false;
    splash_ = nullptr;
    // The keyboard starts on the page: arrows, Enter and typing act there
    // at once.
    if (surface_->isEnabled())
        surface_->setFocus(Qt::OtherFocusReason);
}

void TFormMain::applyWindowState(const GlobalSettings &g)
{
    // Rolled up, the strip keeps its place; rolling out restores the window
    // as it was before.
    if (!normalMode())
        return;
    // A maximised window still has a normal size and place, which it takes
    // when it is restored: they are given before it is maximised, or it
    // would shrink to its smallest size then (and a save store that).
    if (g.FormMaximized_Key && isMaximized())
        return;
    setWindowState(windowState() & ~Qt::WindowMaximized);
    resize(std::max(g.FormWidth_Key, 200), std::max(g.FormHeight_Key, 120));
    QPoint pos(g.FormLeft_Key, g.FormTop_Key);
    // A position saved on a monitor that is gone would open the window
    // where nobody can reach it.
    const QRect probe(pos + QPoint(40, 10), QSize(1, 1));
    bool onScreen = false;
    for (const QScreen *s : QGuiApplication::screens())
        onScreen = onScreen || s->availableGeometry().intersects(probe);
    if (!onScreen && QGuiApplication::primaryScreen()) {
        const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
        pos = avail.center() - QPoint(width() / 2, height() / 2);
    }
    move(pos);
    if (g.FormMaximized_Key)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void TFormMain::captureWindowState(GlobalSettings &g) const
{
    // Rolled up, the window's place is where it rolls out to, never the strip.
    if (!compact_->normal()) {
        g.FormMaximized_Key = compact_->normalMaximized();
        if (g.FormMaximized_Key)
            return;
        g.FormWidth_Key = compact_->normalSize().width();
        g.FormHeight_Key = compact_->normalSize().height();
        g.FormLeft_Key = compact_->normalPos().x();
        g.FormTop_Key = compact_->normalPos().y();
        return;
    }
    g.FormMaximized_Key = isMaximized();
    if (g.FormMaximized_Key)
        return;
    const QRect r = isMinimized() ? normalGeometry() : geometry();
    g.FormWidth_Key = r.width();
    g.FormHeight_Key = r.height();
    g.FormLeft_Key = isMinimized() ? r.left() : pos().x();
    g.FormTop_Key = isMinimized() ? r.top() : pos().y();
}

void TFormMain::desktopsChanged()
{
    // Rebuilding the strip is not the user picking a tab.
    const QSignalBlocker quiet(tabs_);
    const int n = ws_.desktopCount();
    while (tabs_->count() > n)
        tabs_->removeTab(tabs_->count() - 1, false);
    for (int i = 0; i < n; ++i) {
        const QString &caption = ws_.desktop(i).Desktop_Caption;
        if (i < tabs_->count()) {
            if (tabs_->tabText(i) != caption)
                tabs_->setTabText(i, caption);
        } else {
            tabs_->addTab(caption);
        }
    }
    tabs_->setCurrentIndex(ws_.activeIndex(), false);
    // Captions and order are read at every search; a list on show follows.
    search_->desktopChanged(nullptr);
}

void TFormMain::showActiveDesktop()
{
    surface_->setDesktop(ws_.activeDesktop());
    notes_->show(ws_.activeDesktop());
    scroller_->contentsChanged();
}

void TFormMain::PageControl1Change()
{
    if (ws_.work.Reloading)
        return;
    Desktop *d = ws_.activeDesktop();
    if (!d)
        return;
    gestures_->cancel();
    selection_.UnFocused();
    // Locking the page takes the keyboard from it; the page of the next
    // desktop gets it back once it shows.
    const QWidget *focus = QApplication::focusWidget();
    const bool pageHadKeys = focus && (focus == surface_ || surface_->isAncestorOf(focus));
    surface_->setDesktop(d);
    // Locked before the question: nothing of a protected desktop may be
    // painted behind its own password prompt, its notes included.
    surface_->setLocked(true);
    notes_->show(nullptr);
    const bool allowed = gate_.switchAllowed(*d, PasswordGate::creationError("PageControl1Change"));
    // The question may have outlived the desktop it was about.
    if (surface_->desktop() == d) {
        surface_->setLocked(!allowed);
        notes_->show(allowed ? d : nullptr);
        if (allowed && pageHadKeys)
            surface_->setFocus(Qt::OtherFocusReason);
    }
}

void TFormMain::recordChange()
{
    // Not while a load builds the model, nor while a gesture has shortcuts
    // on the move: the step comes with its end.
    if (!ws_.work.Loading && !ws_.work.Reloading && !gestures_->dragging())
        journal_.record();
    updateUndoActions();
}

void TFormMain::updateUndoActions()
{
    QAction *undo = (*actions_)[ActionId::Undo];
    QAction *redo = (*actions_)[ActionId::Redo];
    undo->setEnabled(journal_.canUndo());
    undo->setText(undoCmds_->undoMenuText());
    redo->setEnabled(journal_.canRedo());
    redo->setText(undoCmds_->redoMenuText());
}

void TFormMain::Modified()
{
    recordChange();
    scroller_->contentsChanged();
    saver_->Modified();
}

void TFormMain::desktopRemoving(Desktop &d)
{
    search_->desktopRemoving(&d);
    gate_.forget(&d);
    gestures_->cancel();
    notes_->forget(&d);
    clipboard_.forgetDesktop(&d);
    selection_.dropAll();
    surface_->forget(&d);
}

void TFormMain::onTabChanged(int index)
{
    if (index == ws_.activeIndex() && surface_->desktop() == ws_.activeDesktop())
        return;
    if (index < 0 || index >= ws_.desktopCount())
        return;
    ws_.setActiveIndex(index);
    PageControl1Change();
}

void TFormMain::CheckPasswordOnMenuMain(QPoint globalPos)
{
    const Desktop *d = ws_.activeDesktop();
    if (d && gate_.menuAllowed(*d, PasswordGate::creationError("CheckPasswordOnMenuMain")))
        popUpMenu(*popupMenuMain_, globalPos, *this);
}

bool TFormMain::CheckPasswordOnPopUpMenu()
{
    const Desktop *d = ws_.activeDesktop();
    return d && gate_.menuAllowed(*d, PasswordGate::creationError("CheckPasswordOnPopUpMenu"));
}

void TFormMain::mnuSaveClick() { saver_->requestSave(); }

void TFormMain::forgetAllDesktops()
{
    search_->clear();
    gate_.forgetAll();
    gestures_->cancel();
    notes_->forgetAll();
    for (int i = 0; i < ws_.desktopCount(); ++i)
        clipboard_.forgetDesktop(&ws_.desktop(i));
    selection_.dropAll();
    surface_->forgetAll();
}

void TFormMain::mnuReloadClick()
{
    if (prompt_.MessageDlg(ReloadQuestion, MsgDlgType::Warning, mbOK | mbCancel, 0) != ModalResult::OK)
        return;
    reloadAll();
}

void TFormMain::mnuRestoreClick() { restore_->run(); }

void TFormMain::setRunningMark(RunningCopies *mark) { restore_->setRunningMark(mark); }

void TFormMain::reloadAll()
{
    journal_.suspend();
    forgetAllDesktops();
    file_.ReloadAll();
    // What was undoable belongs to the state just replaced.
    if (journal_.canUndo() || journal_.canRedo())
        status_->showMessage(UndoClearedMessage);
    journal_.reset();
    updateUndoActions();
    desktopsChanged();
    showActiveDesktop();
    applyLook();
}

void TFormMain::loadNewVersion()
{
    // The errors of the state that was replaced are no longer there.
    ws_.work.ErrorsOccurred = false;
    reloadAll();
    // Unlike a plain reload, this is not the state the user just saw.
    PageControl1Change();
}

void TFormMain::mnuCommonOptionsClick()
{
    CommonOptions(ws_, prompt_, platform_, *options_).run();
}

void TFormMain::mnuDesktopOptionsClick()
{
    DesktopOptions(ws_, prompt_, *options_).run();
}

void TFormMain::mnuExitClick()
{
    CloseAllowed_ = true;
    close();
}

void TFormMain::quitWithoutSaving()
{
    QuitWithoutSaving_ = true;
    CloseAllowed_ = true;
    close();
}

void TFormMain::endSession()
{
    if (ending_)
        return;
    ending_ = true;
    CloseAllowed_ = true;
    saver_->stopAutoSave();
    // A model still being read holds nothing the file does not, and a save
    // of it would write only the part read so far.
    if (ws_.work.Loading || ws_.work.Reloading)
        QuitWithoutSaving_ = true;
    // A log-out must not wait for somebody to answer a question.
    prompt_.dismissQuestions();
    requests_.post([this] { finishSession(); });
}

void TFormMain::wakeUp()
{
    // A wake-up that comes after the end was asked for leaves its hand-off
    // in the file for the next start; one that came before it is carried
    // out first, in arrival order, and its shortcut saved with the rest.
    const bool afterTheEnd = ending_;
    requests_.post([this, afterTheEnd] {
        if (afterTheEnd)
            return;
        if (!ending_) {
            if (isMinimized())
                setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
            show();
            raise();
            activateWindow();
        }
        pickupHandOff();
    });
}

void TFormMain::pickupHandOff()
{
    pickupQueued_ = false;
    if (!handOff_ || !handOff_->HandOffExists())
        return;
    // An end that will not save (none wanted, or earlier errors, whose
    // question the end answers as cancelled) would lose the shortcuts: the
    // spool keeps them for the next start. Asked before each one, since
    // adding one may save, and a save may ask.
    const auto mayTake = [this] { return !(ending_ && (QuitWithoutSaving_ || ws_.work.ErrorsOccurred)); };
    const auto add = [this](const HandedPath &handed) { FromSendTo(handed.caption, handed.path); };
    // A failed pickup changed nothing in the model, so it does not count
    // among the errors that make a save ask first: one unreadable hand-off
    // must not cost the session its save at log-out.
    if (!takeHandOffs(*handOff_, prompt_, mayTake, add))
        status_->setSaveState(QStringLiteral("Paint Error"));
}

QPoint TFormMain::visibleNewPosition() const
{
    // The middle of the part of the page on show, so the new shortcut is
    // seen at once.
    const QRect shown = scroller_->visibleRect();
    const QSize page = shown.size();
    const int x = std::max(0, page.width() / 2 - TImageLabel::PictureSize / 2);
    const int y = std::clamp(page.height() / 2 - TImageLabel::PictureSize, 0, std::max(0, page.height() - 80));
    return shown.topLeft() + QPoint(x, y);
}

// A new shortcut at `position` for `file`, its picture taken from the
// file, the only one selected. Throws what creating it throws.
void TFormMain::addFileShortcut(QPoint position, const QString &file, const QString &caption)
{
    selection_.UnFocused();
    ws_.work.NewElementPosition = position;
    ShortcutItem &item = shortcutCmds_.CreateNewItem();
    // Dropped and handed-over texts come from other programs.
    AttachFile(item, storable(file), platform_);
    item.Picture.clear();
    item.Label_Caption = storable(caption);
    itemAdded(item);
    selection_.Focused(item, false);
    Modified();
    RefreshAll();
}

void TFormMain::FromSendTo(const QString &caption, const QString &path)
{
    try {
        addFileShortcut(visibleNewPosition(), path, caption);
    } catch (const std::exception &) {
        ws_.work.ErrorsOccurred = true;
        prompt_.ShowMessage(QStringLiteral("Error in TFormMain.FromSendTo"));
    }
}

void TFormMain::RefreshAll()
{
    surface_->update();
    status_->GetDriveInfo();
}

void TFormMain::itemAdded(ShortcutItem &item)
{
    // Shortcuts are only ever added to the active desktop.
    search_->desktopChanged(ws_.activeDesktop());
    surface_->itemAdded(item);
}

void TFormMain::itemChanged(ShortcutItem &item)
{
    search_->recordChanged(&item);
    pictures_.forget(item);
    surface_->itemChanged(item);
}

void TFormMain::pictureDecoded(ShortcutItem &item, const QImage &picture)
{
    const bool ownFile = !item.Picture.isEmpty() && item.Picture != ShortcutItem::NoPicture;
    // A picture that could not be read now says nothing about the one the
    // other shortcuts of that file show.
    if (ownFile && !picture.isNull())
        pictures_.adopt(item.Picture, picture);
    if (DesktopScene *scene = surface_->sceneOf(ws_.activeDesktop()))
        scene->label(item).ownPictureUnreadable = ownFile && picture.isNull();
    surface_->updateItem(item);
}

void TFormMain::itemRemoving(ShortcutItem &item)
{
    search_->recordChanged(&item);
    gestures_->cancel();
    clipboard_.forget(&item);
    selection_.forget(&item);
    surface_->forgetItem(&item);
}

void TFormMain::executeItem(ShortcutItem &item)
{
    gestures_->clearPressGuard();
    launching_.Execute(item);
}

QSize TFormMain::tabControlSize()
{
    // The strip and the page are one tab control to the grid.
    const QSize page = scroller_->visibleSize();
    return {page.width(), page.height() + tabs_->height()};
}

QRect TFormMain::pageGeometry()
{
    const int top = ws_.global.Tab_Position ? tabs_->height() : 0;
    // The part on show: the grid fills what can be seen.
    const QSize page = scroller_->visibleSize();
    return {0, top, page.width(), page.height()};
}

int TFormMain::captionHeight(ShortcutItem &item)
{
    DesktopScene *scene = surface_->scene();
    return scene ? scene->label(item).captionRect(surface_->captionStyle()).height() : 0;
}

void TFormMain::itemsMoved()
{
    recordChange();
    surface_->update();
    scroller_->contentsChanged();
}

void TFormMain::CheckPasswordOnMenuItem(QPoint globalPos)
{
    const Desktop *d = ws_.activeDesktop();
    if (d && gate_.menuAllowed(*d, PasswordGate::creationError("CheckPasswordOnMenuItem")))
        popUpMenu(*popupMenuItem_, globalPos, *this);
}

void TFormMain::keyCommand(const std::function<void()> &command)
{
    if (ws_.work.CurrentElement.item && CheckPasswordOnPopUpMenu())
        command();
}

bool TFormMain::runKey(KeyCommand command)
{
    // The search field keeps its keys: Enter, Escape and the editing keys
    // are its own there, never commands on the current shortcut.
    if (find_->owns(QApplication::focusWidget()))
        return false;
    // The keys on the current shortcut are its commands only while there is
    // one; otherwise they belong to the focused widget. A note being edited
    // keeps its Return, Delete and Ctrl+C/X even then: a click on a caption
    // or a hand-off makes a shortcut current without taking its focus.
    const bool onShortcut = ws_.work.CurrentElement.item != nullptr;
    const bool shortcutKey = command == KeyCommand::Rename || command == KeyCommand::Copy
                             || command == KeyCommand::Cut || command == KeyCommand::Delete
                             || command == KeyCommand::Open;
    if (shortcutKey && notes_->isEditor(QApplication::focusWidget()))
        return false;
    switch (command) {
    case KeyCommand::Rename:
        keyCommand([this] { shortcutCmds_.mnuItemRenameClick(); });
        return onShortcut;
    case KeyCommand::Copy:
        keyCommand([this] { clipboard_.mnuItemCopyClick(); });
        return onShortcut;
    case KeyCommand::Cut:
        keyCommand([this] { clipboard_.mnuItemCutClick(); });
        return onShortcut;
    case KeyCommand::Delete:
        // The key asks and deletes; unlike the menu command it reports a
        // change only when something was deleted.
        keyCommand([this] { shortcutCmds_.DeleteItem(); });
        return onShortcut;
    case KeyCommand::Open:
        if (ShortcutItem *item = ws_.work.CurrentElement.item)
            executeItem(*item);
        return onShortcut;
    case KeyCommand::Repaint:
        if (ws_.activeDesktop())
            surface_->update();
        return true;
    case KeyCommand::Help:
        mnuHelpClick();
        return true;
    case KeyCommand::Cancel:
        if (!gestures_->dragging() && !gestures_->banding())
            return false;
        gestures_->cancel();
        return true;
    case KeyCommand::NextDesktop:
        stepDesktop(1);
        return true;
    case KeyCommand::PreviousDesktop:
        stepDesktop(-1);
        return true;
    }
    return false;
}

void TFormMain::stepDesktop(int by)
{
    const int n = tabs_->count();
    if (n < 2)
        return;
    const bool onTabs = tabs_->hasFocus();
    tabs_->setCurrentIndex(((tabs_->currentIndex() + by) % n + n) % n, true);
    // The keyboard stays where it was: on the tabs, or on the page (also
    // when it was in a note of the desktop that went away). A page whose
    // password was refused takes no keys; the tabs do.
    if (onTabs)
        return;
    if (surface_->isEnabled())
        surface_->setFocus(Qt::TabFocusReason);
    else
        tabs_->setFocus(Qt::TabFocusReason);
}

void TFormMain::backgroundClicked() { notes_->hideAllHandles(); }

void TFormMain::mnuNewNoteClick()
{
    if (!ws_.activeDesktop())
        return;
    Note &note = ws_.CreateNewNote();
    // Empty, in the page's font and an edit field's colour, until its
    // properties say otherwise; nothing is reported as changed.
    note.Note_Font = defaultFont();
    note.Note_Color = clr::clWindow;
    notes_->add(note);
    search_->desktopChanged(ws_.activeDesktop());
    surface_->update(); // the empty desktop's hint goes
    recordChange();
}

void TFormMain::CheckPasswordOnNoteMenuItem(TResizer &note, QPoint globalPos)
{
    const Desktop *d = ws_.activeDesktop();
    if (d && gate_.menuAllowed(*d, PasswordGate::creationError("CheckPasswordOnNoteMenuItem")))
        note.popupMenu(globalPos);
}

void TFormMain::NoteMouseDown(TResizer &note, Qt::MouseButton button, QPoint globalPos)
{
    selection_.UnFocused();
    if (button == Qt::RightButton)
        CheckPasswordOnNoteMenuItem(note, globalPos);
}

void TFormMain::noteMenuRequested(TResizer &note, QPoint globalPos) { CheckPasswordOnNoteMenuItem(note, globalPos); }

void TFormMain::noteProperties(TResizer &note)
{
    Note &record = note.note();
    const std::optional<NoteLook> look =
        prompt_.NoteProperties({record.Note_Font, record.Note_Color, record.UseParentColor});
    if (!look)
        return;
    record.Note_Font = look->font;
    record.UseParentColor = look->useParentColor;
    // The desktop's colour as it is now: a later change of it leaves the
    // note alone.
    const Desktop *d = ws_.activeDesktop();
    record.Note_Color = look->useParentColor && d ? d->settings.BG_Color : look->colour;
    note.applyRecord();
    recordChange();
}

void TFormMain::noteDeleted(TResizer &note)
{
    Note *record = &note.note();
    Desktop *d = ws_.activeDesktop();
    if (ws_.work.CurrentElement.note == record)
        ws_.work.CurrentElement.clear();
    search_->recordChanged(record);
    // The record goes now, so that no save can write it; the controller
    // goes once its menu has returned.
    notes_->remove(record);
    if (d)
        d->removeNote(record);
    surface_->update(); // the last one gone, the hint shows again
    recordChange();
}

void TFormMain::noteTextChanged(TResizer &note)
{
    search_->recordChanged(&note.note());
    recordChange(); // one step per editing session: the text comes at its end
}

void TFormMain::noteBoundsChanged(TResizer &) { recordChange(); }

bool TFormMain::findMayOpen() const { return finder_->mayOpen(); }

void TFormMain::mnuFindClick(const QString &typed)
{
    if (!findMayOpen())
        return;
    // Typed text of a note being edited reaches its record when the field
    // takes the focus; the index hears of it then.
    gestures_->cancel();
    find_->open(typed);
}

void TFormMain::startFound(const SearchHit &hit) { finder_->start(hit); }

void TFormMain::showFound(const SearchHit &hit) { finder_->show(hit); }

void TFormMain::SourceToSender(ShortcutItem &target, ShortcutItem &dragged)
{
    launching_.SourceToSender(target, dragged);
}

void TFormMain::closeEvent(QCloseEvent *event)
{
    event->ignore();
    if (!CloseAllowed_) {
        showMinimized();
        return;
    }
    // Never in the middle of a load, a save or a question: the end waits
    // its turn like any request from outside.
    if (requests_.busy())
        requests_.post([this] { finishSession(); });
    else
        finishSession();
}

void TFormMain::finishSession()
{
    // Not through close(): a window that was never shown (the session ended
    // while the program was starting) gets no close event.
    if (finished_)
        return;
    finished_ = true;
    saver_->stopAutoSave();
    if (!QuitWithoutSaving_)
        saver_->requestSave(); // whatever its outcome, the end goes on
    help_->closeAll();
    hide();
    emit ended();
}

void TFormMain::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange) {
        status_->GetDriveInfo();
        // The compact strip stays on top, whatever the window does otherwise.
        if (isActiveWindow() && ws_.global.Always_OnBack && normalMode())
            lower();
    }
}

void TFormMain::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (ws_.global.Always_OnBack && normalMode())
        lower();
}

bool TFormMain::normalMode() const { return !compact_ || compact_->normal(); }

void TFormMain::OnTrayIconDblClick()
{
    // Changes nothing but the window's place on screen, so it acts at once,
    // even over an open question: that question is then seen and answered.
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    if (QWidget *modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
    }
}

void TFormMain::showFromAnywhere()
{
    if (finished_ || ending_)
        return;
    // Rolled up, the strip rolls out as its button would.
    if (!normalMode())
        titleButton_->ButtonClick();
    OnTrayIconDblClick();
}

void TFormMain::toggleFromAnywhere()
{
    if (finished_ || ending_)
        return;
    const bool shown = isVisible() && !isMinimized();
    // The native window, not effectiveWinId(): rolling up and out makes a
    // new one, and the widget's id may still name the one destroyed.
    const bool active = isActiveWindow() || (QApplication::activeWindow() && QApplication::activeModalWidget())
        || (windowHandle() && GlobalShortcut::focusIsIn(windowHandle()->winId()));
    if (shown && active && normalMode())
        showMinimized();
    else
        showFromAnywhere();
}

void TFormMain::applyToggleKey()
{
    QKeySequence key = GlobalShortcut::defaultKey();
    try {
        if (const auto chosen = platform_.registry().readValue(RegistryHive::CurrentUser, GlobalShortcut::RegistryKey,
                                                               GlobalShortcut::RegistryValue))
            key = QKeySequence(*chosen, QKeySequence::PortableText);
    } catch (const std::exception &) {
        // A store that cannot be read leaves the key as it comes.
    }
    toggleKey_->bind(key);
}

void TFormMain::mnuHelpClick() { help_->showContents(); }

void TFormMain::mnuAboutClick()
{
    if (finished_)
        return;
    // From the tray menu it may come while a question is open.
    if (requests_.busy()) {
        requests_.post([this] { mnuAboutClick(); });
        return;
    }
    prompt_.AboutBox();
}

bool TFormMain::pageOpen() const
{
    return ws_.activeDesktop() && surface_->desktop() == ws_.activeDesktop() && !surface_->isLocked();
}

bool TFormMain::dropsAccepted() const { return !finished_ && pageOpen() && normalMode(); }

void TFormMain::DragDropFileDrop(const DropData &data, QPoint screenPos)
{
    // The drop waited for a question, which may have locked the page or
    // rolled the window up meanwhile.
    if (!dropsAccepted())
        return;
    try {
        // Within the part of the page on show, wherever the page is scrolled.
        const QRect shown = scroller_->visibleRect();
        const QPoint origin = surface_->mapToGlobal(shown.topLeft());
        addFileShortcut(shown.topLeft() + dropPosition(screenPos, origin, shown.height()), data.file(), data.Title);
    } catch (const std::exception &) {
        ws_.work.ErrorsOccurred = true;
        prompt_.ShowMessage(QStringLiteral("Error in TFormMain.DragDrop1FileDrop"));
    }
}

} // namespace vl
