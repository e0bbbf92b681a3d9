#pragma once

#include "app/Prompt.h"

#include <QList>
#include <QString>

#include <functional>

namespace vl::test {

// Records every message and question and answers questions from a script.
// A question with no scripted answer gets defaultAnswer (Cancel unless set).
class FakePrompt : public Prompt {
public:
    struct Call {
        enum Kind { Message, Dialog, Rename, Password, File, Url, Attributes } kind;
        QString text;
        MsgDlgType type = MsgDlgType::Custom;
        unsigned buttons = 0;
        int helpContext = 0;
    };

    void ShowMessage(const QString &text) override;
    ModalResult MessageDlg(const QString &text, MsgDlgType type, unsigned buttons, int helpContext) override;
    std::optional<QString> RenameDialog(const QString &current) override;
    std::optional<QString> PasswordForDesktop(const QString &desktopCaption) override;
    std::optional<QString> OpenFileDialog(const QString &filter, const QString &startFolder,
                                          bool picturePreview) override;
    std::optional<UrlShortcutFields> UrlShortcutDialog(const UrlShortcutFields &preset) override;
    std::optional<ShortcutAttributes> AttributesDialog(const ShortcutAttributes &preset) override;

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

    // Scripted results of the rename dialog and the password prompt;
    // nullopt stands for Cancel, and an empty script cancels.
    QList<std::optional<QString>> renameAnswers;
    QList<std::optional<QString>> passwordAnswers;
    QStringList renamePresets;       // what each rename dialog was preset with
    QStringList passwordCaptions;    // the desktop caption of each prompt

    void answer(ModalResult r) { script_.append(r); }
    ModalResult defaultAnswer = ModalResult::Cancel;
    // Runs while a question is "open", as user input arriving during a
    // modal dialog would.
    std::function<void(const QString &)> onDialog;

    QList<Call> calls;
    QStringList texts() const;
    int count(const QString &text) const;

private:
    QList<ModalResult> script_;
};

} // namespace vl::test
