#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QSpacerItem;

namespace vl {

class Prompt;

// Base of the small dialogs: fixed size, placed over the main window when
// shown.
class PlacedDialog : public QDialog {
    Q_OBJECT
public:
    PlacedDialog(QWidget *mainWindow, QWidget *parent);

    // The width a dialog needs to show the whole caption in its title bar.
    static int titleWidth(const QString &title);

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *mainWindow_;
    QSpacerItem *titleStrut_ = nullptr; // owned by the layout
};

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
