#include "surface/WidgetPrompt.h"

#include "surface/DialogPlacement.h"
#include "surface/Dialogs.h"
#include "surface/ShortcutDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>

namespace vl {

namespace {

// A message box that places itself over the main window once it knows its
// own size.
class PlacedMessageBox : public QMessageBox {
public:
    PlacedMessageBox(QWidget *mainWindow) : QMessageBox(mainWindow), main_(mainWindow) {}

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

void WidgetPrompt::ShowMessage(const QString &text)
{
    PlacedMessageBox box(main_);
    box.setWindowTitle(QApplication::applicationDisplayName());
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

ModalResult WidgetPrompt::MessageDlg(const QString &text, MsgDlgType type, unsigned buttons, int)
{
    PlacedMessageBox box(main_);
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
        box.setWindowTitle(QApplication::applicationDisplayName());
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
    box.exec();
    QAbstractButton *clicked = box.clickedButton();
    if (!clicked)
        return ModalResult::Cancel;
    return resultOf(box.standardButton(clicked));
}

std::optional<QString> WidgetPrompt::RenameDialog(const QString &current)
{
    if (!rename_)
        rename_ = new TfrmRename(*this, main_);
    rename_->setText(current);
    if (rename_->exec() != QDialog::Accepted)
        return std::nullopt;
    return rename_->text();
}

std::optional<QString> WidgetPrompt::PasswordForDesktop(const QString &desktopCaption)
{
    TfrmPasswordForDesktop dialog(desktopCaption, main_);
    const bool ok = dialog.exec() == QDialog::Accepted;
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
    QStringList out;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        QString description = parts[i];
        // Qt reads the patterns from the parentheses of the description.
        const qsizetype open = description.indexOf(QLatin1Char('('));
        if (open >= 0)
            description = description.left(open).trimmed();
        out.append(description + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return out;
}

std::optional<QString> WidgetPrompt::OpenFileDialog(const QString &filter, const QString &startFolder, bool)
{
    QFileDialog dialog(main_, QString(), startFolder);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(nameFilters(filter));
    // A chosen link is the shortcut's file itself, not what it points to.
    dialog.setOption(QFileDialog::DontResolveSymlinks, true);
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

std::optional<UrlShortcutFields> WidgetPrompt::UrlShortcutDialog(const UrlShortcutFields &preset)
{
    if (!url_)
        url_ = new TfrmUrlShortcut(main_);
    url_->setFields(preset);
    if (url_->exec() != QDialog::Accepted)
        return std::nullopt;
    return url_->fields();
}

std::optional<ShortcutAttributes> WidgetPrompt::AttributesDialog(const ShortcutAttributes &preset)
{
    TfrmAttributes dialog(*this, main_);
    dialog.setFields(preset);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.fields();
}

} // namespace vl
