#include "surface/WidgetPrompt.h"

#include "surface/DialogPlacement.h"
#include "surface/Dialogs.h"

#include <QApplication>
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

WidgetPrompt::~WidgetPrompt() { delete rename_.data(); }

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
