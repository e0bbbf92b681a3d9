#pragma once

#include "common/Prompt.h"

#include <QDialog>

class QFontDialog;
class QLabel;
class QPushButton;

namespace vl {

// The font chooser: the platform's choice of family, style and size, and,
// where the text is drawn in the font's colour, the colour of the text. The
// colour comes from the colour chooser; cancelling that keeps the colour.
class TfrmFont : public QDialog {
    Q_OBJECT
public:
    TfrmFont(Prompt &prompt, const FontSpec &preset, FontColour colour, QWidget *owner);

    // The font as chosen so far: the preset with what was changed.
    FontSpec font() const;

    QFontDialog *fonts = nullptr;
    QLabel *lblColor = nullptr;        // none without a colour
    QPushButton *btnColor = nullptr;   // none without a colour
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;

private:
    void showColour();

    Prompt &prompt_;
    FontSpec preset_;
    Colour colour_;
};

} // namespace vl
