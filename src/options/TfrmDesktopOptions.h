#pragma once

#include "common/DialogPlacement.h"

#include <QFrame>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace vl {

class DesktopOptions;

// The picture of the preview, drawn as the page draws its background.
class PreviewPicture : public QWidget {
    Q_OBJECT
public:
    PreviewPicture(const DesktopOptions &options, QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const DesktopOptions &options_;
};

// "<caption> Desktop Options": shows and edits a DesktopOptions.
class TfrmDesktopOptions : public PlacedDialog {
    Q_OBJECT
public:
    TfrmDesktopOptions(DesktopOptions &options, QWidget *mainWindow);
    ~TfrmDesktopOptions() override;

    QTabWidget *PageControlDesktopOptions = nullptr;
    QLabel *lblStretch = nullptr;
    QComboBox *cbStretch = nullptr;
    QLabel *lblCenter = nullptr;
    QComboBox *cbCenter = nullptr;
    QCheckBox *cbBackgroundExists = nullptr;
    QPushButton *btnBGColor = nullptr;
    QPushButton *btnPicture = nullptr;
    QFrame *Bevel1 = nullptr;
    QPushButton *btnPassword = nullptr;
    QRadioButton *rbtnPasswordOnDesktop = nullptr;
    QRadioButton *rbtnPasswordOnMenu = nullptr;
    QFrame *BGPanel = nullptr;
    PreviewPicture *ImageExample = nullptr;
    QPushButton *btnShortcutFont = nullptr;
    QCheckBox *cbTransparent = nullptr;
    QPushButton *btnBackgroundShortcut = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;

private:
    void showValues();

    DesktopOptions &options_;
};

} // namespace vl
