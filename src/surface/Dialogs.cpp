#include "surface/Dialogs.h"

#include "common/Prompt.h"
#include "storage/SettingsFile.h"
#include "common/DialogPlacement.h"
#include "surface/PasswordGate.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QSpacerItem>
#include <QPushButton>
#include <QVBoxLayout>

namespace vl {

namespace {

QLabel *boldLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
    return label;
}

// Typed characters show as "*", whatever mask the style would draw.
class StarMaskStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QLineEdit *passwordEdit(QWidget *parent, const char *name)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setMaxLength(100);
    auto *style = new StarMaskStyle;
    style->setParent(edit); // a widget does not own its style
    edit->setStyle(style);
    edit->setEchoMode(QLineEdit::Password);
    return edit;
}

} // namespace

// ------------------------------------------------------------------ rename

TfrmRename::TfrmRename(Prompt &prompt, QWidget *mainWindow) : PlacedDialog(mainWindow, nullptr), prompt_(prompt)
{
    setObjectName(QStringLiteral("frmRename"));
    setWindowTitle(QStringLiteral("Rename"));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(boldLabel(QStringLiteral("Enter New Name"), this));
    EditNewName = new QLineEdit(this);
    EditNewName->setObjectName(QStringLiteral("EditNewName"));
    EditNewName->setMinimumWidth(260);
    layout->addWidget(EditNewName);
    auto *buttons = new QDialogButtonBox(this);
    btnOk = buttons->addButton(QStringLiteral("Ok"), QDialogButtonBox::AcceptRole);
    btnCancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    btnOk->setDefault(true);
    layout->addWidget(buttons);
    connect(btnOk, &QPushButton::clicked, this, &TfrmRename::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmRename::setText(const QString &text)
{
    EditNewName->setText(text);
    EditNewName->selectAll();
    EditNewName->setFocus();
}

QString TfrmRename::text() const { return EditNewName->text(); }

void TfrmRename::btnOkClick()
{
    // Blanks count as a name; only nothing at all is refused.
    if (EditNewName->text().isEmpty()) {
        prompt_.ShowMessage(SettingsFile::EmptyCaptionError);
        return;
    }
    accept();
}

// ------------------------------------------------------------------ prompt

TfrmPasswordForDesktop::TfrmPasswordForDesktop(const QString &desktopCaption, QWidget *mainWindow)
    : PlacedDialog(mainWindow, nullptr)
{
    setObjectName(QStringLiteral("frmPasswordForDesktop"));
    setWindowTitle(QStringLiteral("Password for ") + desktopCaption + QStringLiteral(" Desktop"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(boldLabel(QStringLiteral("Enter Password"), this));
    editEnterPassword = passwordEdit(this, "editEnterPassword");
    editEnterPassword->setMinimumWidth(240);
    layout->addWidget(editEnterPassword);
    auto *buttons = new QDialogButtonBox(this);
    btnOk = buttons->addButton(QStringLiteral("Ok"), QDialogButtonBox::AcceptRole);
    btnCancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    btnOk->setDefault(true);
    layout->addWidget(buttons);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString TfrmPasswordForDesktop::typed() const { return editEnterPassword->text(); }

// ------------------------------------------------------------------ password

TfrmPassword::TfrmPassword(Prompt &prompt, const QString &desktopCaption, const QString &storedPassword,
                           QWidget *mainWindow, QWidget *parent)
    : PlacedDialog(mainWindow, parent), prompt_(prompt), current_(storedPassword)
{
    setObjectName(QStringLiteral("frmPassword"));
    setWindowTitle(QStringLiteral("Password for ") + desktopCaption + QStringLiteral(" Desktop"));
    auto *layout = new QVBoxLayout(this);

    currentFace_ = new QWidget(this);
    auto *cur = new QVBoxLayout(currentFace_);
    cur->setContentsMargins(0, 0, 0, 0);
    cur->addWidget(boldLabel(QStringLiteral("Enter Current Password"), currentFace_));
    editEnterCurrentPassword = passwordEdit(currentFace_, "editEnterCurrentPassword");
    cur->addWidget(editEnterCurrentPassword);
    layout->addWidget(currentFace_);

    newFace_ = new QWidget(this);
    auto *nw = new QVBoxLayout(newFace_);
    nw->setContentsMargins(0, 0, 0, 0);
    nw->addWidget(boldLabel(QStringLiteral("Enter New Password"), newFace_));
    editEnterNewPassword = passwordEdit(newFace_, "editEnterNewPassword");
    nw->addWidget(editEnterNewPassword);
    nw->addWidget(boldLabel(QStringLiteral("Confirm Password"), newFace_));
    editConfirmPassword = passwordEdit(newFace_, "editConfirmPassword");
    nw->addWidget(editConfirmPassword);
    layout->addWidget(newFace_);

    // The two OK buttons share one place; only one is visible at a time.
    auto *row = new QHBoxLayout;
    row->addStretch();
    btnOkCurrentPassword = new QPushButton(QStringLiteral("Ok"), this);
    btnOk = new QPushButton(QStringLiteral("Ok"), this);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    row->addWidget(btnOkCurrentPassword);
    row->addWidget(btnOk);
    row->addWidget(btnCancel);
    layout->addLayout(row);
    for (QLineEdit *e : {editEnterCurrentPassword, editEnterNewPassword, editConfirmPassword})
        e->setMinimumWidth(240);

    connect(btnOkCurrentPassword, &QPushButton::clicked, this, &TfrmPassword::btnOkCurrentPasswordClick);
    connect(btnOk, &QPushButton::clicked, this, &TfrmPassword::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    showFace(PasswordChange(current_).needsCurrent());
}

bool TfrmPassword::showingCurrentFace() const { return !currentFace_->isHidden(); }

void TfrmPassword::showFace(bool current)
{
    currentFace_->setVisible(current);
    btnOkCurrentPassword->setVisible(current);
    newFace_->setVisible(!current);
    btnOk->setVisible(!current);
    btnOkCurrentPassword->setDefault(current);
    btnOk->setDefault(!current);
    (current ? editEnterCurrentPassword : editEnterNewPassword)->setFocus();
}

void TfrmPassword::btnOkCurrentPasswordClick()
{
    if (!PasswordChange(current_).checkCurrent(editEnterCurrentPassword->text())) {
        editEnterCurrentPassword->clear();
        prompt_.ShowMessage(PasswordChange::WrongCurrent);
        return;
    }
    showFace(false);
}

void TfrmPassword::btnOkClick()
{
    PasswordChange change(current_);
    switch (change.accept(editEnterNewPassword->text(), editConfirmPassword->text())) {
    case PasswordChange::Outcome::Mismatch:
        prompt_.ShowMessage(PasswordChange::Mismatch);
        return;
    case PasswordChange::Outcome::Disabled:
        prompt_.ShowMessage(PasswordChange::DisabledWarning);
        break;
    case PasswordChange::Outcome::Set:
        break;
    }
    stored_ = change.newStored();
    accept();
}

} // namespace vl
