#pragma once

#include "model/Model.h"
#include "platform/GlobalShortcut.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace vl {

class OptionsView;
class Platform;
class Prompt;

// What the controls of "Common Options" show and hold while it is open.
struct CommonOptionsValues {
    bool startup = false; // start at logon
    bool tabPosition = true;
    bool multiLineTabs = false;
    bool statusBarEnabled = true;
    bool dropEnabled = false;
    bool leaveMissing = true;
    bool alwaysOnBack = false;
    bool singleClick = false;
    int singleClickTime = 10;
    bool multiInstance = false;
    bool openInNewWindow = false;
    int cellHeight = 82;
    int cellWidth = 92;
    QString waveFile;
    bool autoSave = false;
    int autoSaveTime = 10;
    bool immediateSave = false;
    // The key that calls the window from anywhere, in its portable text.
    bool toggleKeyOn = true;
    QString toggleKey;
    // Whether the desktop let the window have the key it asked for.
    GlobalShortcut::Support toggleKeySupport = GlobalShortcut::Support::Off;
};

// The program-wide options: fills the dialog, carries out its live effects
// and buttons, and applies OK or Cancel. Created for one showing of the
// dialog; the dialog itself (TfrmCommonOptions) only shows and edits
// values() and calls the operations below.
class CommonOptions {
public:
    CommonOptions(Workspace &ws, Prompt &prompt, Platform &platform, OptionsView &view);

    // "Common Options": opens, shows the dialog and applies or drops it.
    void run();

    // Fills values() from the model, the registry and the autostart entry.
    void open();
    CommonOptionsValues &values() { return v_; }
    const CommonOptionsValues &values() const { return v_; }
    // Called whenever an operation changed values() or the desktop order
    // behind the dialog's back, so that the dialog shows them again.
    std::function<void()> onChanged;

    // Live effects.
    void setTabPosition(bool onTop);
    void setMultiLineTabs(bool multiLine);
    // Auto and immediate saving exclude each other: ticking one unticks
    // the other.
    void setAutoSave(bool on);
    void setImmediateSave(bool on);

    void btnTabFontClick();
    // Plays values().waveFile; nothing happens when it cannot be played.
    void btnTestClick();
    void btnWaveFileOpenClick();
    void btnCreateSendToClick();
    // Asks for a registry export and checks it completely, then replaces
    // every desktop by its content; false when nothing was replaced.
    bool btnFromRegClick();

    // The captions of the desktops in tab order (the reorder list).
    QStringList LoadDesktopOrder() const;
    // Moves the desktop at from to the place to, at once; from < 0 (no
    // drag) does nothing.
    void moveDesktop(int from, int to);
    // Orders the desktops alphabetically (as the user's language sorts);
    // desktops with equal captions keep their order.
    void mnuSortedClick();

    void btnOkClick();
    // Cancel changes nothing: the tab position, the wrapping of the tabs and
    // the desktop order, which follow their controls while the dialog is
    // open, go back to what they were when it opened. An import from the
    // registry has replaced the desktops themselves; their order stays.
    void btnCancelClick();

    // The start-at-logon registration and its check.
    bool LoadAtStartup(bool registerIt);
    bool CheckLoadAtStartup();

    // The program that logon and the file managers start; the running one
    // unless a test says otherwise.
    void setProgramPath(const QString &path) { programPath_ = path; }

    // Number fields: a value outside the range is brought into it.
    struct Range {
        int min;
        int max;
        int clamp(int v) const { return v < min ? min : v > max ? max : v; }
    };
    static constexpr Range SingleClickTimeRange{1, 1000};
    static constexpr Range CellRange{32, 1000};
    static constexpr Range AutoSaveTimeRange{1, 1000};

    static inline const QString WaveFilter = QStringLiteral("Wav Files (*.wav)|*.wav");
    static inline const QString RegistryExportFilter =
        QStringLiteral("Registry exports (*.reg)|*.reg|All (*.*)|*");
    // Followed by the reason, which names the file.
    static inline const QString ImportRefused =
        QStringLiteral("The settings were not imported; nothing was changed.\n");
    static inline const QString CreationError = QStringLiteral("Error of creating Form of CommonOptions");
    static inline const QString SendToError = QStringLiteral("Unable to create shortcut file");
    static inline const QString MultiInstanceKey = QStringLiteral("Software\\Quendry\\Vorlane");
    static inline const QString MultiInstanceValue = QStringLiteral("multiinstance");
    static inline const QString RunKey = QStringLiteral("Software\\Microsoft\\windows\\CurrentVersion\\run");
    static inline const QString RunValue = QStringLiteral("Vorlane");

private:
    void fillFromModel();
    bool readMultiInstance();
    QString readToggleKey();
    void reportError(const QString &message);
    void changed();

    Workspace &ws_;
    Prompt &prompt_;
    Platform &platform_;
    OptionsView &view_;
    CommonOptionsValues v_;
    bool tabFontChanged_ = false;
    FontSpec chosenTabFont_;
    bool startupState_ = false;
    bool multiInstanceState_ = false;
    // The toggle key as stored: empty for none.
    QString toggleKeyState_;
    // What the live controls change behind the dialog, as it was when it
    // opened, for Cancel to put back.
    bool tabPositionAtOpen_ = true;
    bool multiLineAtOpen_ = false;
    std::vector<const Desktop *> orderAtOpen_;
    QString programPath_;
};

// The name of the running platform version, from which start-up would pick
// the faces of a caption-bar button: empty here, where no version has faces
// of its own.
QString platformVersionName();

} // namespace vl
