#pragma once

#include <QString>

#include <optional>

namespace vl {

enum class MsgDlgType { Warning, Error, Information, Confirmation, Custom };

// Buttons of a message dialog; combine with |.
enum MsgDlgButton : unsigned {
    mbYes = 1u << 0,
    mbNo = 1u << 1,
    mbOK = 1u << 2,
    mbCancel = 1u << 3,
    mbAbort = 1u << 4,
    mbRetry = 1u << 5,
    mbIgnore = 1u << 6,
    mbAll = 1u << 7,
    mbHelp = 1u << 8,
};

enum class ModalResult { None, OK, Cancel, Abort, Retry, Ignore, Yes, No, All };

// The two texts of the URL dialog.
struct UrlShortcutFields {
    QString caption;
    QString link;
};

// The four texts of the attributes dialog.
struct ShortcutAttributes {
    QString caption;
    QString attachedFile;
    QString commandString;
    QString picture;
};

// Every message box and question of the program goes through this service,
// so that the logic behind them runs without a display and tests can script
// the answers. The widget implementation lives with the main window.
class Prompt {
public:
    virtual ~Prompt() = default;

    // A plain message with an OK button.
    virtual void ShowMessage(const QString &text) = 0;
    // A typed message dialog; returns the button chosen, or Cancel/None when
    // the dialog was closed without one.
    virtual ModalResult MessageDlg(const QString &text, MsgDlgType type, unsigned buttons, int helpContext) = 0;

    // The rename dialog preset with current; the accepted text (never
    // empty), or nullopt when cancelled.
    virtual std::optional<QString> RenameDialog(const QString &current) = 0;
    // The password prompt for the desktop with this caption: the typed
    // text on OK, nullopt on Cancel.
    virtual std::optional<QString> PasswordForDesktop(const QString &desktopCaption) = 0;
    // A file chooser. The filter lists "Description|patterns" pairs joined
    // by "|", patterns separated by ";" ("All (*.*)|*.*"). The chosen path,
    // or nullopt when cancelled. A chosen link file is returned as itself.
    virtual std::optional<QString> OpenFileDialog(const QString &filter, const QString &startFolder,
                                                  bool picturePreview) = 0;
    // The URL dialog preset with the fields; the fields on OK.
    virtual std::optional<UrlShortcutFields> UrlShortcutDialog(const UrlShortcutFields &preset) = 0;
    // The attributes dialog preset with the fields; the fields on OK.
    virtual std::optional<ShortcutAttributes> AttributesDialog(const ShortcutAttributes &preset) = 0;
};

} // namespace vl
