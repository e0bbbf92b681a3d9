#include "surface/FormMain.h"

#include "app/Prompt.h"
#include "app/SplashWindow.h"
#include "platform/Platform.h"
#include "surface/ColourConv.h"
#include "surface/DesktopSurface.h"
#include "surface/MainActions.h"
#include "surface/PictureLoader.h"
#include "surface/StatusBarMain.h"
#include "surface/TabStrip.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace vl {

// What loading and saving need from the window.
class TFormMain::Host : public SettingsHost {
public:
    explicit Host(TFormMain &w) : w_(w) {}

    void loadProgressTotal(int total) override
    {
        if (w_.splash_)
            w_.splash_->setTotal(total);
    }
    void loadProgressStep(int number) override
    {
        if (w_.splash_)
            w_.splash_->setCurrent(number);
    }
    void processEvents() override
    {
        // Paints and timers go on while a large file loads; input waits,
        // so no command can act on desktops that are half built.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    void applyWindowState(const GlobalSettings &g) override { w_.applyWindowState(g); }
    void captureWindowState(GlobalSettings &g) override { w_.captureWindowState(g); }
    bool loadDesktopPicture(Desktop &d) override { return canDecodePicture(d.settings.Background_Picture); }
    void desktopChanged() override
    {
        w_.desktopsChanged();
        w_.showActiveDesktop();
        w_.PageControl1Change();
    }
    void reloadStarted() override
    {
        ownSplash_ = new TfrmSplash;
        w_.splash_ = ownSplash_;
        ownSplash_->show();
    }
    void reloadFinished() override
    {
        delete ownSplash_.data();
        w_.splash_ = nullptr;
    }
    void setSaveState(const QString &text) override { w_.status_->setSaveState(text); }

private:
    TFormMain &w_;
    QPointer<TfrmSplash> ownSplash_;
};

TFormMain::TFormMain(Prompt &prompt, Platform &platform, QString settingsPath, QWidget *parent)
    : QWidget(parent),
      prompt_(prompt),
      platform_(platform),
      host_(std::make_unique<Host>(*this)),
      file_(ws_, prompt, *host_, std::move(settingsPath)),
      gate_(prompt),
      desktopCmds_(ws_, prompt, *this)
{
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("Vorlane"));
    saver_ = new SaveController(ws_, file_, this);
    buildUi();
    connect(saver_, &SaveController::saveStateChanged, status_, &StatusBarMain::setSaveState);
}

TFormMain::~TFormMain() = default;

void TFormMain::buildUi()
{
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    tabs_ = new TabStrip(this);
    tabs_->setObjectName(QStringLiteral("PageControl1"));
    surface_ = new DesktopSurface(this);
    status_ = new StatusBarMain(platform_, this);

    actions_ = new MainActions(this);
    for (int i = 0; i < static_cast<int>(ActionId::Count); ++i)
        addAction((*actions_)[static_cast<ActionId>(i)]);
    connect((*actions_)[ActionId::NewDesktop], &QAction::triggered, this, [this] { desktopCmds_.mnuNewTabSheetClick(); });
    connect((*actions_)[ActionId::RenameDesktop], &QAction::triggered, this,
            [this] { desktopCmds_.mnuRenameTabSheetClick(); });
    connect((*actions_)[ActionId::DeleteDesktop], &QAction::triggered, this,
            [this] { desktopCmds_.mnuDeleteTabSheetClick(); });
    connect((*actions_)[ActionId::SaveAll], &QAction::triggered, this, &TFormMain::mnuSaveClick);
    connect((*actions_)[ActionId::Reload], &QAction::triggered, this, &TFormMain::mnuReloadClick);
    connect((*actions_)[ActionId::Exit], &QAction::triggered, this, &TFormMain::mnuExitClick);
    connect((*actions_)[ActionId::QuitWithoutSaving], &QAction::triggered, this, &TFormMain::quitWithoutSaving);

    popupMenuMain_ = new QMenu(this);
    popupMenuMain_->setObjectName(QStringLiteral("PopupMenuMain"));
    popupMenuMain_->addAction((*actions_)[ActionId::NewDesktop]);
    popupMenuMain_->addAction((*actions_)[ActionId::RenameDesktop]);
    popupMenuMain_->addAction((*actions_)[ActionId::DeleteDesktop]);
    popupMenuMain_->addSeparator();
    popupMenuMain_->addAction((*actions_)[ActionId::SaveAll]);
    popupMenuMain_->addAction((*actions_)[ActionId::Reload]);
    popupMenuMain_->addSeparator();
    popupMenuMain_->addAction((*actions_)[ActionId::Exit]);

    connect(tabs_, &TabStrip::currentChanged, this, &TFormMain::onTabChanged);
    connect(surface_, &DesktopSurface::backgroundReleased, this, &TFormMain::onBackgroundReleased);
    applyLook();
}

void TFormMain::applyLook()
{
    const GlobalSettings &g = ws_.global;
    tabs_->setFont(toQFont(g.TabFont));
    tabs_->setMultiline(g.Tab_Multiline);
    tabs_->setShape(g.Tab_Position ? TabStrip::Shape::Top : TabStrip::Shape::Bottom);
    while (layout_->count() > 0)
        layout_->takeAt(0);
    // Tabs on top put the status bar at the bottom with a size grip; tabs
    // at the bottom put it on top, where a grip makes no sense.
    if (g.Tab_Position) {
        layout_->addWidget(tabs_);
        layout_->addWidget(surface_, 1);
        layout_->addWidget(status_);
    } else {
        layout_->addWidget(status_);
        layout_->addWidget(surface_, 1);
        layout_->addWidget(tabs_);
    }
    status_->setSizeGripEnabled(g.Tab_Position);
    status_->setVisible(g.bStatusBar_Enabled);
}

void TFormMain::FormCreate(TfrmSplash *splash)
{
    splash_ = splash;
    CloseAllowed_ = false;
    QuitWithoutSaving_ = false;
    ws_.global.Cell_Height = 82;
    ws_.global.Cell_Width = 92;
    ws_.work.ErrorsOccurred = false;
    file_.LoadAll();
    applyLook();
    saver_->Unmodified();
    status_->GetDriveInfo();
    saver_->applyAutoSave();
    // Staying behind other windows takes effect only from a reload on, so a
    // fresh start never hides the window it has just opened.
    ws_.global.Always_OnBack = false;
    splash_ = nullptr;
}

void TFormMain::applyWindowState(const GlobalSettings &g)
{
    if (g.FormMaximized_Key) {
        setWindowState(windowState() | Qt::WindowMaximized);
        return;
    }
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
}

void TFormMain::captureWindowState(GlobalSettings &g) const
{
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
}

void TFormMain::showActiveDesktop() { surface_->setDesktop(ws_.activeDesktop()); }

void TFormMain::PageControl1Change()
{
    if (ws_.work.Reloading)
        return;
    Desktop *d = ws_.activeDesktop();
    if (!d)
        return;
    ws_.work.CurrentElement.clear();
    surface_->setDesktop(d);
    const bool allowed = gate_.switchAllowed(*d, PasswordGate::creationError("PageControl1Change"));
    surface_->setLocked(!allowed);
}

void TFormMain::Modified() { saver_->Modified(); }

void TFormMain::onTabChanged(int index)
{
    if (index == ws_.activeIndex() && surface_->desktop() == ws_.activeDesktop())
        return;
    if (!ws_.setActiveIndex(index))
        return;
    PageControl1Change();
}

void TFormMain::onBackgroundReleased(QPoint pos, Qt::MouseButton button, QPoint globalPos)
{
    ws_.work.NewElementPosition = pos;
    if (button == Qt::RightButton)
        CheckPasswordOnMenuMain(globalPos);
}

void TFormMain::CheckPasswordOnMenuMain(QPoint globalPos)
{
    const Desktop *d = ws_.activeDesktop();
    if (d && gate_.menuAllowed(*d, PasswordGate::creationError("CheckPasswordOnMenuMain")))
        popupMenuMain_->popup(globalPos);
}

bool TFormMain::CheckPasswordOnPopUpMenu()
{
    const Desktop *d = ws_.activeDesktop();
    return d && gate_.menuAllowed(*d, PasswordGate::creationError("CheckPasswordOnPopUpMenu"));
}

void TFormMain::mnuSaveClick() { saver_->requestSave(); }

void TFormMain::mnuReloadClick()
{
    if (prompt_.MessageDlg(ReloadQuestion, MsgDlgType::Warning, mbOK | mbCancel, 0) != ModalResult::OK)
        return;
    // A reload that starts while a save waits for its answer would pull
    // the desktops from under that save.
    saver_->whenIdle([this] {
        surface_->setDesktop(nullptr);
        surface_->forgetAll();
        file_.ReloadAll();
        desktopsChanged();
        showActiveDesktop();
        applyLook();
    });
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
    CloseAllowed_ = true;
    close();
}

void TFormMain::wakeUp()
{
    if (isMinimized())
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void TFormMain::closeEvent(QCloseEvent *event)
{
    if (!CloseAllowed_) {
        event->ignore();
        showMinimized();
        return;
    }
    saver_->stopAutoSave();
    if (QuitWithoutSaving_) {
        event->accept();
        return;
    }
    if (ws_.work.Saving) {
        // The running save is waiting for its question; close once it ends.
        event->ignore();
        saver_->whenIdle([self = QPointer<TFormMain>(this)] {
            if (self)
                self->close();
        });
        return;
    }
    saver_->requestSave();
    event->accept();
}

void TFormMain::sendBehindOthers() { lower(); }

void TFormMain::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange) {
        status_->GetDriveInfo();
        if (isActiveWindow() && ws_.global.Always_OnBack)
            sendBehindOthers();
    }
}

void TFormMain::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (ws_.global.Always_OnBack)
        sendBehindOthers();
}

} // namespace vl
