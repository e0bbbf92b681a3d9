#pragma once

#include "common/DialogPlacement.h"

#include <QListWidget>

class QAction;
class QCheckBox;
class QKeySequenceEdit;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTabWidget;

namespace vl {

class CommonOptions;
class NumberField;

// The reorder list: a press picks the desktop under the pointer, the
// release puts it where the pointer is then. Two columns of captions.
class ReorderList : public QListWidget {
    Q_OBJECT
public:
    explicit ReorderList(QWidget *parent = nullptr);
    // A list closed during a drag (the session ended) gives the cursor back.
    ~ReorderList() override { endDrag(); }

signals:
    // A drag ended: the item at from goes to to.
    void moveRequested(int from, int to);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void endDrag();
    int dragged_ = -1;
    bool dragging_ = false;
};

// "Common Options": shows and edits a CommonOptions. Its controls write
// into the options as they change; the number fields are taken once more
// when OK is pressed, whatever their text.
class TfrmCommonOptions : public PlacedDialog {
    Q_OBJECT
public:
    TfrmCommonOptions(CommonOptions &options, QWidget *mainWindow);
    ~TfrmCommonOptions() override;

    // The number fields and the wave file into the options.
    void commit();

    QTabWidget *PageControlCommonOptions = nullptr;
    QCheckBox *cbStartup = nullptr;
    QCheckBox *cbTabPosition = nullptr;
    QCheckBox *cbMultiLineTabs = nullptr;
    QCheckBox *cbStatusBarEnabled = nullptr;
    QCheckBox *cbDropEnabled = nullptr;
    QCheckBox *cbLeaveMissing = nullptr;
    QPushButton *btnTabFont = nullptr;
    QPushButton *btnCreateSendTo = nullptr;
    QCheckBox *cbAlwaysOnBack = nullptr;
    QCheckBox *cbSingleClick = nullptr;
    NumberField *seSingleClickTime = nullptr;
    QCheckBox *cbMultiInstance = nullptr;
    QCheckBox *cbOpenInNewWindow = nullptr;
    QCheckBox *cbToggleKey = nullptr;
    QKeySequenceEdit *editToggleKey = nullptr;
    QLabel *lblToggleKeyNote = nullptr;
    ReorderList *lbReorder = nullptr;
    QMenu *PopupMenuReorder = nullptr;
    QAction *mnuSorted = nullptr;
    NumberField *seHeight = nullptr;
    NumberField *seWidth = nullptr;
    QLineEdit *editWaveFile = nullptr;
    QPushButton *btnTest = nullptr;
    QPushButton *btnWaveFileOpen = nullptr;
    QPushButton *btnFromReg = nullptr;
    QCheckBox *cbAutoSave = nullptr;
    NumberField *seAutoSaveTime = nullptr;
    QCheckBox *cbImmediateSave = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;

private:
    void showValues();
    void btnFromRegClick();

    CommonOptions &options_;
};

} // namespace vl
