#pragma once

#include "app/SaveController.h"
#include "model/Model.h"
#include "storage/SettingsFile.h"
#include "surface/DesktopCommands.h"
#include "surface/PasswordGate.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QMenu;
class QVBoxLayout;

namespace vl {

class DesktopSurface;
class MainActions;
class Platform;
class Prompt;
class StatusBarMain;
class TabStrip;
class TfrmSplash;

// The main window. It wires the parts together; the commands, the gates,
// the saving policy and the surface live in classes of their own.
class TFormMain : public QWidget, private DesktopView {
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
    DesktopCommands &desktopCommands() { return desktopCmds_; }
    PasswordGate &passwordGate() { return gate_; }
    TabStrip *PageControl1() const { return tabs_; }
    DesktopSurface *surface() const { return surface_; }
    StatusBarMain *StatusBar() const { return status_; }
    QMenu *PopupMenuMain() const { return popupMenuMain_; }
    MainActions &actions() const { return *actions_; }

    bool closeAllowed() const { return CloseAllowed_; }

    // Commands of the desktop menu and the keyboard.
    void mnuSaveClick();
    void mnuReloadClick();
    void mnuExitClick();
    void quitWithoutSaving();
    // The end of the desktop session or a termination signal: save and end.
    void endSession();
    // A second copy asked this one to come forward.
    void wakeUp();

    // The desktop-menu gate for a right-button release over the background.
    void CheckPasswordOnMenuMain(QPoint globalPos);
    // The keyboard gate for commands on the current shortcut.
    bool CheckPasswordOnPopUpMenu();

    // DesktopView
    void desktopsChanged() override;
    void showActiveDesktop() override;
    void PageControl1Change() override;
    void Modified() override;

    // Applies the tab font, wrapping and position and the status bar.
    void applyLook();

    static inline const QString ReloadQuestion = QStringLiteral("Are You Sure?");

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    class Host;
    void buildUi();
    void onTabChanged(int index);
    void onBackgroundReleased(QPoint pos, Qt::MouseButton button, QPoint globalPos);
    void applyWindowState(const GlobalSettings &g);
    void captureWindowState(GlobalSettings &g) const;
    void sendBehindOthers();

    Prompt &prompt_;
    Platform &platform_;
    Workspace ws_;
    std::unique_ptr<Host> host_;
    SettingsFile file_;
    SaveController *saver_ = nullptr;
    PasswordGate gate_;
    DesktopCommands desktopCmds_;

    MainActions *actions_ = nullptr;
    TabStrip *tabs_ = nullptr;
    DesktopSurface *surface_ = nullptr;
    StatusBarMain *status_ = nullptr;
    QVBoxLayout *layout_ = nullptr;
    QMenu *popupMenuMain_ = nullptr;
    QPointer<TfrmSplash> splash_;

    bool CloseAllowed_ = false;
    bool QuitWithoutSaving_ = false;
    bool closing_ = false;
};

} // namespace vl
