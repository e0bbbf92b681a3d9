#pragma once

#include "common/Prompt.h"
#include "surface/Dialogs.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace vl {

// Caption and address of a new web shortcut. Nothing typed is checked.
class TfrmUrlShortcut : public PlacedDialog {
    Q_OBJECT
public:
    explicit TfrmUrlShortcut(QWidget *mainWindow);

    void setFields(const UrlShortcutFields &fields);
    UrlShortcutFields fields() const;

    QLabel *lblUrlCaption = nullptr;
    QLineEdit *editUrlCaption = nullptr;
    QLabel *lblUrlLink = nullptr;
    QLineEdit *editUrlLink = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;
};

// Every field of one shortcut at once. Unlike the rename dialog it accepts
// an empty caption.
class TfrmAttributes : public PlacedDialog {
    Q_OBJECT
public:
    TfrmAttributes(Prompt &prompt, QWidget *mainWindow);

    void setFields(const ShortcutAttributes &fields);
    ShortcutAttributes fields() const;

    QLabel *lblItemCaption = nullptr;
    QLineEdit *editItemCaption = nullptr;
    QLabel *lblAttachedFile = nullptr;
    QLineEdit *editAttachedFile = nullptr;
    QToolButton *btnOpenFile = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *editCommandString = nullptr;
    QToolButton *btnCommandString = nullptr;
    QLabel *lblPicture = nullptr;
    QLineEdit *editPicture = nullptr;
    QToolButton *btnOpenPicture = nullptr;
    QPushButton *btnClearPicture = nullptr;
    QPushButton *btnDefaultPicture = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;

private:
    void btnOpenFileClick();
    void btnCommandStringClick();
    void btnOpenPictureClick();

    Prompt &prompt_;
};

} // namespace vl
