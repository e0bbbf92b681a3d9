#include "options/TfrmFont.h"

#include "common/ColourConv.h"

#include <QFontDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace vl {

TfrmFont::TfrmFont(Prompt &prompt, const FontSpec &preset, FontColour colour, QWidget *owner)
    : QDialog(owner), prompt_(prompt), preset_(preset), colour_(preset.Color)
{
    setObjectName(QStringLiteral("frmFont"));
    setWindowTitle(QStringLiteral("Font"));
    auto *layout = new QVBoxLayout(this);
    // Qt's own chooser, without its buttons, as a part of this dialog: the
    // native one could not take the colour beside it.
    fonts = new QFontDialog(this);
    fonts->setObjectName(QStringLiteral("fonts"));
    fonts->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    fonts->setWindowFlags(Qt::Widget);
    fonts->setSizeGripEnabled(false);
    fonts->setCurrentFont(toQFont(preset));
    fonts->setVisible(true); // new window flags hide a widget
    layout->addWidget(fonts);

    auto *row = new QHBoxLayout;
    if (colour == FontColour::Chosen) {
        lblColor = new QLabel(QStringLiteral("Color:"), this);
        btnColor = new QPushButton(QStringLiteral("Choose..."), this);
        btnColor->setObjectName(QStringLiteral("btnColor"));
        btnColor->setAutoDefault(false);
        btnColor->setToolTip(QStringLiteral("The colour of the text"));
        lblColor->setBuddy(btnColor);
        row->addWidget(lblColor);
        row->addWidget(btnColor);
        connect(btnColor, &QPushButton::clicked, this, [this] {
            if (const std::optional<Colour> c = prompt_.ColorDialog(colour_)) {
                colour_ = *c;
                showColour();
            }
        });
    }
    row->addStretch();
    btnOk = new QPushButton(QStringLiteral("Ok"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);
    row->addWidget(btnOk);
    row->addWidget(btnCancel);
    layout->addLayout(row);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    if (btnColor)
        showColour();
}

void TfrmFont::showColour()
{
    const QColor c = toQColor(colour_);
    QPixmap swatch(24, 14);
    swatch.fill(c);
    QPainter(&swatch).drawRect(swatch.rect().adjusted(0, 0, -1, -1));
    btnColor->setIcon(QIcon(swatch));
    btnColor->setAccessibleDescription(c.name());
    // The chooser's sample shows the text as it will look.
    for (QGroupBox *sample : fonts->findChildren<QGroupBox *>()) {
        if (QLineEdit *text = sample->findChild<QLineEdit *>()) {
            QPalette palette = text->palette();
            palette.setColor(QPalette::Text, c);
            text->setPalette(palette);
        }
    }
}

FontSpec TfrmFont::font() const
{
    FontSpec chosen = fromQFont(fonts->currentFont(), preset_);
    chosen.Color = colour_;
    return chosen;
}

} // namespace vl
