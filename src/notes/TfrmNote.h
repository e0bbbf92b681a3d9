#pragma once

#include "common/DialogPlacement.h"
#include "common/Prompt.h"

class QCheckBox;
class QGroupBox;
class QPushButton;

namespace vl {

// "Note Properties": a note's font, background colour and whether it takes
// the desktop's colour. It edits a copy; nothing changes unless it ends with
// OK, and the font and colour choosers it opens keep the value they were
// opened with when they are cancelled.
class TfrmNote : public PlacedDialog {
    Q_OBJECT
public:
    TfrmNote(Prompt &prompt, const NoteLook &look, QWidget *mainWindow);

    // The look as edited so far.
    NoteLook look() const;

    QGroupBox *GroupBox1 = nullptr;
    QPushButton *btnFont = nullptr;
    QPushButton *btnBackGround = nullptr;
    QCheckBox *cbxNoteUseParentColor = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    Prompt &prompt_;
    FontSpec font_;
    Colour colour_;
};

} // namespace vl
