#pragma once

#include "common/DialogPlacement.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace vl {

class Prompt;

// The rename dialog, shared by desktops and shortcuts; refuses an empty name.
class TfrmRename : public PlacedDialog {
    Q_OBJECT
public:
    TfrmRename(Prompt &prompt, QWidget *mainWindow);

    void setText(const QString &text);
    QString text() const;

    QLineEdit *EditNewName = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;

private:
    void btnOkClick();
    Prompt &prompt_;
};

// The password question for one desktop.
class TfrmPasswordForDesktop : public PlacedDialog {
    Q_OBJECT
public:
    TfrmPasswordForDesktop(const QString &desktopCaption, QWidget *mainWindow);

    QString typed() const;

    QLineEdit *editEnterPassword = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;
};

// Sets, changes or removes a desktop's password. On accept(), stored()
// holds the new stored form.
class TfrmPassword : public PlacedDialog {
    Q_OBJECT
public:
    TfrmPassword(Prompt &prompt, const QString &desktopCaption, const QString &storedPassword, QWidget *mainWindow,
                 QWidget *parent = nullptr);

    const QString &stored() const { return stored_; }
    bool showingCurrentFace() const;

    QLineEdit *editEnterCurrentPassword = nullptr;
    QPushButton *btnOkCurrentPassword = nullptr;
    QLineEdit *editEnterNewPassword = nullptr;
    QLineEdit *editConfirmPassword = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;

private:
    void showFace(bool current);
    void btnOkCurrentPasswordClick();
    void btnOkClick();

    Prompt &prompt_;
    QString current_;
    QString stored_;
    QWidget *currentFace_ = nullptr;
    QWidget *newFace_ = nullptr;
};

} // namespace vl
