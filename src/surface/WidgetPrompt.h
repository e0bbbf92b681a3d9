#pragma once

#include "app/Prompt.h"

#include <QPointer>
#include <QWidget>

namespace vl {

class TfrmRename;
class TfrmUrlShortcut;

// The prompt service on screen: message boxes and the small dialogs, each
// placed over the main window.
class WidgetPrompt : public Prompt {
public:
    WidgetPrompt() = default;
    ~WidgetPrompt() override;

    // The window the boxes centre on; null before it exists (start-up).
    void setMainWindow(QWidget *w) { main_ = w; }

    void ShowMessage(const QString &text) override;
    ModalResult MessageDlg(const QString &text, MsgDlgType type, unsigned buttons, int helpContext) override;
    std::optional<QString> RenameDialog(const QString &current) override;
    std::optional<QString> PasswordForDesktop(const QString &desktopCaption) override;
    std::optional<QString> OpenFileDialog(const QString &filter, const QString &startFolder,
                                          bool picturePreview) override;
    std::optional<UrlShortcutFields> UrlShortcutDialog(const UrlShortcutFields &preset) override;
    std::optional<ShortcutAttributes> AttributesDialog(const ShortcutAttributes &preset) override;

    // "Desc|*.a;*.b|Desc2|*.c" as a file dialog's name filters.
    static QStringList nameFilters(const QString &filter);

private:
    QPointer<QWidget> main_;
    QPointer<TfrmRename> rename_; // created once and reused; a child of the main window
    QPointer<TfrmUrlShortcut> url_; // likewise
};

} // namespace vl
