#pragma once

#include "model/Colour.h"
#include "model/FontSpec.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace vl {

class CommonOptions;
class DesktopOptions;
class OutsideRequests;

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

// Whether a font chooser also chooses the colour of the text: where the
// text is drawn in the font's colour (notes, shortcut captions), or keeps
// the colour it had (the tabs, drawn in the style's colours).
enum class FontColour { Kept, Chosen };

// What the note properties dialog edits.
struct NoteLook {
    FontSpec font;
    Colour colour = 0;
    bool useParentColor = false;
};

// One earlier version of the settings as the restore chooser lists it.
struct HistoryVersion {
    QString time; // as shown: local date and time
    int desktops = 0;
    int shortcuts = 0;
    bool readable = false; // an unreadable version is listed but cannot be chosen
};

// Every message box and question of the program goes through this service,
// so that the logic behind them runs without a display and tests can script
// the answers. The widget implementation lives with the main window.
//
// Each question keeps the program busy (see OutsideRequests) while it is
// open, whatever implementation answers it: a question on screen runs a
// nested event loop, and nothing from outside may run inside it. Once
// dismissQuestions() was called (the session ends), open questions close as
// cancelled and every later one is answered at once the same way, without
// being shown.
class Prompt {
public:
    virtual ~Prompt() = default;

    // A plain message with an OK button.
    void ShowMessage(const QString &text);
    // A typed message dialog; returns the button chosen, or Cancel/None when
    // the dialog was closed without one.
    ModalResult MessageDlg(const QString &text, MsgDlgType type, unsigned buttons, int helpContext);

    // The rename dialog preset with current; the accepted text (never
    // empty), or nullopt when cancelled.
    std::optional<QString> RenameDialog(const QString &current);
    // The password prompt for the desktop with this caption: the typed
    // text on OK, nullopt on Cancel.
    std::optional<QString> PasswordForDesktop(const QString &desktopCaption);
    // A file chooser. The filter lists "Description|patterns" pairs joined
    // by "|", patterns separated by ";" ("All (*.*)|*.*"). The chosen path,
    // or nullopt when cancelled. A chosen link file is returned as itself.
    std::optional<QString> OpenFileDialog(const QString &filter, const QString &startFolder, bool picturePreview);
    // The URL dialog preset with the fields; the fields on OK.
    std::optional<UrlShortcutFields> UrlShortcutDialog(const UrlShortcutFields &preset);
    // The attributes dialog preset with the fields; the fields on OK.
    std::optional<ShortcutAttributes> AttributesDialog(const ShortcutAttributes &preset);
    // The note properties dialog preset with the look; the look on OK.
    std::optional<NoteLook> NoteProperties(const NoteLook &preset);
    // The font chooser, with or without the colour of the text.
    std::optional<FontSpec> FontDialog(const FontSpec &preset, FontColour colour = FontColour::Kept);
    // The colour chooser.
    std::optional<Colour> ColorDialog(Colour preset);
    // The option dialogs. Each shows and edits its options object while it
    // is open (live effects included) and answers whether it ended with OK;
    // applying or dropping the rest is the caller's, through that object.
    bool CommonOptionsDialog(CommonOptions &options);
    bool DesktopOptionsDialog(DesktopOptions &options);
    // The dialog that sets, changes or removes a desktop's password, over
    // the dialog it is opened from: the new stored form on OK, nullopt on
    // Cancel.
    std::optional<QString> PasswordDialog(const QString &desktopCaption, const QString &storedPassword);
    // The About box.
    void AboutBox();
    // The chooser of an earlier version of the settings, newest first: the
    // index of the chosen one (always a readable one), or nullopt.
    std::optional<int> ChooseHistoryVersion(const QList<HistoryVersion> &versions);

    // What a message's Help button shows: the topic of its help context.
    // The message stays open, as it does for a help button anywhere.
    void setHelpRequest(std::function<void(int)> show) { helpRequest_ = std::move(show); }

    // Where open questions are reported as busy; null: nowhere.
    void setRequests(OutsideRequests *requests) { requests_ = requests; }
    // Closes every open question as cancelled and answers all later ones
    // at once: the program is ending.
    void dismissQuestions();
    bool dismissing() const { return dismissing_; }
    // How many questions are open now (nested ones count each).
    int openQuestions() const { return open_; }

protected:
    virtual void showMessage(const QString &text) = 0;
    virtual ModalResult messageDlg(const QString &text, MsgDlgType type, unsigned buttons, int helpContext) = 0;
    virtual std::optional<QString> renameDialog(const QString &current) = 0;
    virtual std::optional<QString> passwordForDesktop(const QString &desktopCaption) = 0;
    virtual std::optional<QString> openFileDialog(const QString &filter, const QString &startFolder,
                                                  bool picturePreview) = 0;
    virtual std::optional<UrlShortcutFields> urlShortcutDialog(const UrlShortcutFields &preset) = 0;
    virtual std::optional<ShortcutAttributes> attributesDialog(const ShortcutAttributes &preset) = 0;
    virtual std::optional<NoteLook> notePropertiesDialog(const NoteLook &preset) = 0;
    virtual std::optional<FontSpec> fontDialog(const FontSpec &preset, FontColour colour) = 0;
    virtual std::optional<Colour> colorDialog(Colour preset) = 0;
    virtual bool commonOptionsDialog(CommonOptions &options) = 0;
    virtual bool desktopOptionsDialog(DesktopOptions &options) = 0;
    virtual std::optional<QString> passwordDialog(const QString &desktopCaption, const QString &storedPassword) = 0;
    virtual void aboutBox() {}
    virtual std::optional<int> chooseHistoryVersion(const QList<HistoryVersion> &versions) = 0;
    // Ends every question now on screen as cancelled; the calls above then
    // return as if the user had cancelled.
    virtual void cancelOpenQuestions() {}
    // For implementations: shows the topic of a Help button's context.
    void requestHelp(int helpContext) const
    {
        if (helpRequest_)
            helpRequest_(helpContext);
    }

private:
    std::function<void(int)> helpRequest_;
    class Question;
    // Asks through askIt unless dismissed; cancelled when dismissed before
    // or while it was open.
    template <class Result, class Ask>
    Result ask(Result cancelled, Ask &&askIt);
    OutsideRequests *requests_ = nullptr;
    int open_ = 0;
    bool dismissing_ = false;
};

} // namespace vl
