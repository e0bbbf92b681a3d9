#include "app/WidgetPrompt.h"

#include "app/SplashWindow.h"
#include "common/ColourConv.h"
#include "common/DialogPlacement.h"
#include "help/AboutBox.h"
#include "notes/TfrmNote.h"
#include "options/TfrmCommonOptions.h"
#include "options/TfrmDesktopOptions.h"
#include "options/TfrmFont.h"
#include "surface/Dialogs.h"
#include "surface/HistoryDialog.h"
#include "surface/ShortcutDialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>

namespace vl {

namespace {

// The program's title: plain messages carry it in their caption.
const QString ApplicationTitle = QStringLiteral("Vorlane");

// A message box that belongs to the window it is asked over, and places
// itself over the main window once it knows its own size.
class PlacedMessageBox : public QMessageBox {
public:
    PlacedMessageBox(QWidget *owner, QWidget *mainWindow) : QMessageBox(owner), main_(mainWindow) {}

protected:
    void showEvent(QShowEvent *e) override
    {
        QMessageBox::showEvent(e);
        placeOver(this, main_);
    }

private:
    QWidget *main_;
};

ModalResult resultOf(QMessageBox::StandardButton b)
{
    switch (b) {
    case QMessageBox::Yes: return ModalResult::Yes;
    case QMessageBox::No: return ModalResult::No;
    case QMessageBox::Ok: return ModalResult::OK;
    case QMessageBox::Cancel: return ModalResult::Cancel;
    case QMessageBox::Abort: return ModalResult::Abort;
    case QMessageBox::Retry: return ModalResult::Retry;
    case QMessageBox::Ignore: return ModalResult::Ignore;
    case QMessageBox::YesToAll: return ModalResult::All;
    default: return ModalResult::Cancel;
    }
}

} // namespace

WidgetPrompt::~WidgetPrompt()
{
    delete rename_.data();
    delete url_.data();
}

QWidget *WidgetPrompt::owner() const
{
    for (auto it = open_.rbegin(); it != open_.rend(); ++it) {
        if (*it && (*it)->isVisible())
            return it->data();
    }
    return main_;
}

int WidgetPrompt::run(QDialog &dialog)
{
    // A question asked while its window is not on screen (the desktops load
    // before the main window shows) belongs to no window until it is
    // answered: kept for a window that is not mapped, it may be stacked
    // below that window when it comes, or anywhere. The progress window
    // steps aside meanwhile, so that nothing stays on screen behind it.
    const QPointer<QWidget> parent = dialog.parentWidget();
    const bool unplaced = parent && !parent->window()->isVisible();
    if (unplaced)
        dialog.setParent(nullptr, dialog.windowFlags());
    std::vector<QPointer<QWidget>> progress;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qobject_cast<TfrmSplash *>(w) && w->isVisible()) {
            progress.emplace_back(w);
            w->hide();
        }
    }
    open_.emplace_back(&dialog);
    const int result = dialog.exec();
    std::erase_if(open_, [&dialog](const QPointer<QDialog> &d) { return !d || d == &dialog; });
    if (unplaced && parent)
        dialog.setParent(parent, dialog.windowFlags());
    for (const QPointer<QWidget> &w : progress) {
        if (w)
            w->show();
    }
    return result;
}

void WidgetPrompt::cancelOpenQuestions()
{
    // Innermost first: each exec() returns once its own dialog is closed
    // and the ones it was opened from are closed too.
    const auto open = open_;
    for (auto it = open.rbegin(); it != open.rend(); ++it) {
        if (*it)
            (*it)->reject();
    }
}

void WidgetPrompt::showMessage(const QString &text)
{
    PlacedMessageBox box(owner(), main_);
    box.setWindowTitle(ApplicationTitle);
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    run(box);
}

ModalResult WidgetPrompt::messageDlg(const QString &text, MsgDlgType type, unsigned buttons, int helpContext)
{
    PlacedMessageBox box(owner(), main_);
    switch (type) {
    case MsgDlgType::Warning:
        box.setIcon(QMessageBox::Warning);
        box.setWindowTitle(QStringLiteral("Warning"));
        break;
    case MsgDlgType::Error:
        box.setIcon(QMessageBox::Critical);
        box.setWindowTitle(QStringLiteral("Error"));
        break;
    case MsgDlgType::Information:
        box.setIcon(QMessageBox::Information);
        box.setWindowTitle(QStringLiteral("Information"));
        break;
    case MsgDlgType::Confirmation:
        box.setIcon(QMessageBox::Question);
        box.setWindowTitle(QStringLiteral("Confirm"));
        break;
    case MsgDlgType::Custom:
        box.setWindowTitle(ApplicationTitle);
        break;
    }
    box.setText(text);
    QMessageBox::StandardButtons set;
    if (buttons & mbYes) set |= QMessageBox::Yes;
    if (buttons & mbNo) set |= QMessageBox::No;
    if (buttons & mbOK) set |= QMessageBox::Ok;
    if (buttons & mbCancel) set |= QMessageBox::Cancel;
    if (buttons & mbAbort) set |= QMessageBox::Abort;
    if (buttons & mbRetry) set |= QMessageBox::Retry;
    if (buttons & mbIgnore) set |= QMessageBox::Ignore;
    if (buttons & mbAll) set |= QMessageBox::YesToAll;
    if (buttons & mbHelp) set |= QMessageBox::Help;
    box.setStandardButtons(set);
    if (set & QMessageBox::Cancel)
        box.setEscapeButton(QMessageBox::Cancel);
    else if (set & QMessageBox::No)
        box.setEscapeButton(QMessageBox::No);
    // Help shows its topic and asks again; the box blocks only the window it
    // belongs to, so the help viewer can be read meanwhile.
    if (set & QMessageBox::Help)
        box.setWindowModality(Qt::WindowModal);
    for (;;) {
        run(box);
        QAbstractButton *clicked = box.clickedButton();
        if (!clicked || dismissing())
            return ModalResult::Cancel;
        if (box.standardButton(clicked) != QMessageBox::Help)
            return resultOf(box.standardButton(clicked));
        requestHelp(helpContext);
    }
}

std::optional<QString> WidgetPrompt::renameDialog(const QString &current)
{
    if (!rename_)
        rename_ = new TfrmRename(*this, main_);
    rename_->setText(current);
    if (run(*rename_) != QDialog::Accepted)
        return std::nullopt;
    return rename_->text();
}

std::optional<QString> WidgetPrompt::passwordForDesktop(const QString &desktopCaption)
{
    TfrmPasswordForDesktop dialog(desktopCaption, main_);
    const bool ok = run(dialog) == QDialog::Accepted;
    const QString typed = dialog.typed();
    dialog.editEnterPassword->clear();
    if (!ok)
        return std::nullopt;
    return typed;
}

} // namespace vl

namespace vl {

QStringList WidgetPrompt::nameFilters(const QString &filter)
{
    // Qt takes the patterns from the last parentheses of each entry; with
    // HideNameFilterDetails it shows the text before them, which is the
    // entry's own description.
    QStringList out;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        // "*.*" means every file; here most programs and scripts have no dot.
        for (QString &p : patterns) {
            if (p == QLatin1String("*.*"))
                p = QStringLiteral("*");
        }
        out.append(parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')'));
    }
    return out;
}

std::optional<QString> WidgetPrompt::openFileDialog(const QString &filter, const QString &startFolder, bool)
{
    QFileDialog dialog(owner(), QString(), startFolder);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setNameFilters(nameFilters(filter));
    // A chosen link is the shortcut's file itself, not what it points to.
    dialog.setOption(QFileDialog::DontResolveSymlinks, true);
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (run(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

std::optional<UrlShortcutFields> WidgetPrompt::urlShortcutDialog(const UrlShortcutFields &preset)
{
    if (!url_)
        url_ = new TfrmUrlShortcut(main_);
    url_->setFields(preset);
    if (run(*url_) != QDialog::Accepted)
        return std::nullopt;
    return url_->fields();
}

std::optional<ShortcutAttributes> WidgetPrompt::attributesDialog(const ShortcutAttributes &preset)
{
    TfrmAttributes dialog(*this, main_);
    dialog.setFields(preset);
    if (run(dialog) != QDialog::Accepted)
        return std::nullopt;
    return dialog.fields();
}

} // namespace vl

namespace vl {

std::optional<NoteLook> WidgetPrompt::notePropertiesDialog(const NoteLook &preset)
{
    TfrmNote dialog(*this, preset, main_);
    if (run(dialog) != QDialog::Accepted)
        return std::nullopt;
    return dialog.look();
}

std::optional<FontSpec> WidgetPrompt::fontDialog(const FontSpec &preset, FontColour colour)
{
    TfrmFont dialog(*this, preset, colour, owner());
    if (run(dialog) != QDialog::Accepted)
        return std::nullopt;
    return dialog.font();
}

std::optional<Colour> WidgetPrompt::colorDialog(Colour preset)
{
    QColorDialog dialog(toQColor(preset), owner());
    if (run(dialog) != QDialog::Accepted)
        return std::nullopt;
    return fromQColor(dialog.selectedColor());
}

} // namespace vl

namespace vl {

bool WidgetPrompt::commonOptionsDialog(CommonOptions &options)
{
    TfrmCommonOptions dialog(options, main_);
    return run(dialog) == QDialog::Accepted;
}

bool WidgetPrompt::desktopOptionsDialog(DesktopOptions &options)
{
    TfrmDesktopOptions dialog(options, main_);
    return run(dialog) == QDialog::Accepted;
}

std::optional<QString> WidgetPrompt::passwordDialog(const QString &desktopCaption, const QString &storedPassword)
{
    // Over the desktop options it is opened from.
    TfrmPassword dialog(*this, desktopCaption, storedPassword, main_, owner());
    if (run(dialog) != QDialog::Accepted)
        return std::nullopt;
    return dialog.stored();
}

void WidgetPrompt::aboutBox()
{
    TfrmAbout dialog(owner());
    run(dialog);
}

std::optional<int> WidgetPrompt::chooseHistoryVersion(const QList<HistoryVersion> &versions)
{
    TfrmHistory dialog(versions, main_, owner());
    if (run(dialog) != QDialog::Accepted)
        return std::nullopt;
    return dialog.chosen();
}

} // namespace vl
