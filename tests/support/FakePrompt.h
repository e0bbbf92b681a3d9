#pragma once

#include "common/Prompt.h"

#include <QList>
#include <QString>

#include <functional>

namespace vl::test {

// Records every message and question and answers questions from a script.
// A question with no scripted answer gets defaultAnswer (Cancel unless set).
class FakePrompt : public Prompt {
public:
    struct Call {
        enum Kind {
            Message, Dialog, Rename, Password, File, Url, Attributes, NoteProps, FontChoice, ColourChoice,
            CommonOptionsForm, DesktopOptionsForm, PasswordChange, About, HistoryChooser
        } kind;
        QString text;
        MsgDlgType type = MsgDlgType::Custom;
        unsigned buttons = 0;
        int helpContext = 0;
    };


    // Scripted choosers and dialogs, answered in order; empty scripts cancel.
    struct FileDialogCall {
        QString filter;
        QString startFolder;
        bool picturePreview;
    };
    QList<std::optional<QString>> fileAnswers;
    QList<FileDialogCall> fileDialogs;
    QList<std::optional<UrlShortcutFields>> urlAnswers;
    QList<UrlShortcutFields> urlPresets;
    QList<std::optional<ShortcutAttributes>> attributesAnswers;
    QList<ShortcutAttributes> attributesPresets;
    QList<std::optional<NoteLook>> noteAnswers;
    QList<NoteLook> notePresets;
    QList<std::optional<FontSpec>> fontAnswers;
    QList<vl::FontColour> fontColours; // whether each font chooser chose the colour too
    QList<std::optional<vl::Colour>> colourAnswers;
    // The option dialogs: each script plays the user on the options object
    // (through its operations or a form built on it) and answers whether
    // the dialog ended with OK. No script: Cancel.
    QList<std::function<bool(CommonOptions &)>> commonOptionsScripts;
    QList<std::function<bool(DesktopOptions &)>> desktopOptionsScripts;
    // The password dialog: the new stored form, nullopt for Cancel.
    QList<std::optional<QString>> passwordDialogAnswers;
    QStringList passwordDialogStored; // the stored form each was opened with
    // The history chooser: the index to choose, nullopt for Cancel; each
    // list it was shown.
    QList<std::optional<int>> historyAnswers;
    QList<QList<HistoryVersion>> historyLists;

    // Scripted results of the rename dialog and the password prompt;
    // nullopt stands for Cancel, and an empty script cancels.
    QList<std::optional<QString>> renameAnswers;
    QList<std::optional<QString>> passwordAnswers;
    QStringList renamePresets;       // what each rename dialog was preset with
    QStringList passwordCaptions;    // the desktop caption of each prompt

    void answer(ModalResult r) { script_.append(r); }
    ModalResult defaultAnswer = ModalResult::Cancel;
    // Runs while any question is "open" (with its text, or the caption or
    // preset it was asked with), as whatever arrives during a modal dialog
    // would: a nested event loop, a timer tick, a signal.
    std::function<void(const QString &)> onDialog;
    // How often dismissQuestions() found questions open.
    int cancelledByDismissal = 0;

    QList<Call> calls;
    QStringList texts() const;
    // The first line of each text: a message may go on to explain itself.
    QStringList headlines() const;
    int count(const QString &text) const;

protected:
    void showMessage(const QString &text) override;
    void aboutBox() override;
    ModalResult messageDlg(const QString &text, MsgDlgType type, unsigned buttons, int helpContext) override;
    std::optional<QString> renameDialog(const QString &current) override;
    std::optional<QString> passwordForDesktop(const QString &desktopCaption) override;
    std::optional<QString> openFileDialog(const QString &filter, const QString &startFolder,
                                          bool picturePreview) override;
    std::optional<UrlShortcutFields> urlShortcutDialog(const UrlShortcutFields &preset) override;
    std::optional<ShortcutAttributes> attributesDialog(const ShortcutAttributes &preset) override;
    std::optional<NoteLook> notePropertiesDialog(const NoteLook &preset) override;
    std::optional<FontSpec> fontDialog(const FontSpec &preset, vl::FontColour colour) override;
    std::optional<Colour> colorDialog(Colour preset) override;
    bool commonOptionsDialog(CommonOptions &options) override;
    bool desktopOptionsDialog(DesktopOptions &options) override;
    std::optional<QString> passwordDialog(const QString &desktopCaption, const QString &storedPassword) override;
    std::optional<int> chooseHistoryVersion(const QList<HistoryVersion> &versions) override;
    void cancelOpenQuestions() override { ++cancelledByDismissal; }

private:
    QList<ModalResult> script_;
};

} // namespace vl::test
