#pragma once

#include "common/Prompt.h"

#include <QDialog>
#include <QPointer>
#include <QWidget>

#include <vector>

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

    // "Desc|*.a;*.b|Desc2|*.c" as a file dialog's name filters.
    static QStringList nameFilters(const QString &filter);

    // The window a new dialog belongs to: the innermost dialog open now, so
    // that a message about a dialog opens above it, else the main window.
    QWidget *owner() const;

protected:
    void showMessage(const QString &text) override;
    ModalResult messageDlg(const QString &text, MsgDlgType type, unsigned buttons, int helpContext) override;
    std::optional<QString> renameDialog(const QString &current) override;
    std::optional<QString> passwordForDesktop(const QString &desktopCaption) override;
    std::optional<QString> openFileDialog(const QString &filter, const QString &startFolder,
                                          bool picturePreview) override;
    std::optional<UrlShortcutFields> urlShortcutDialog(const UrlShortcutFields &preset) override;
    std::optional<ShortcutAttributes> attributesDialog(const ShortcutAttributes &preset) override;
    std::optional<NoteLook> notePropertiesDialog(const NoteLook &preset) override;
    std::optional<FontSpec> fontDialog(const FontSpec &preset, FontColour colour) override;
    std::optional<Colour> colorDialog(Colour preset) override;
    bool commonOptionsDialog(CommonOptions &options) override;
    bool desktopOptionsDialog(DesktopOptions &options) override;
    std::optional<QString> passwordDialog(const QString &desktopCaption, const QString &storedPassword) override;
    void aboutBox() override;
    std::optional<int> chooseHistoryVersion(const QList<HistoryVersion> &versions) override;
    void cancelOpenQuestions() override;

private:
    // Every dialog of this service runs here, so that it can be found and
    // closed when the session ends.
    int run(QDialog &dialog);

    std::vector<QPointer<QDialog>> open_;
    QPointer<QWidget> main_;
    QPointer<TfrmRename> rename_; // created once and reused; a child of the main window
    QPointer<TfrmUrlShortcut> url_; // likewise
};

} // namespace vl
