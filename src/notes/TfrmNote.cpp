#include "notes/TfrmNote.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QPushButton>
#include <QVBoxLayout>

namespace vl {

TfrmNote::TfrmNote(Prompt &prompt, const NoteLook &look, QWidget *mainWindow)
    : PlacedDialog(mainWindow, nullptr), prompt_(prompt), font_(look.font), colour_(look.colour)
{
    setObjectName(QStringLiteral("frmNote"));
    setWindowTitle(QStringLiteral("Note Properties"));
    auto *layout = new QVBoxLayout(this);
    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto *inner = new QVBoxLayout(GroupBox1);
    btnFont = new QPushButton(QIcon::fromTheme(QStringLiteral("preferences-desktop-font")), QStringLiteral("Font"),
                              GroupBox1);
    btnFont->setObjectName(QStringLiteral("btnFont"));
    btnFont->setLayoutDirection(Qt::RightToLeft); // the picture on the right
    btnBackGround = new QPushButton(QIcon::fromTheme(QStringLiteral("preferences-desktop-color")),
                                    QStringLiteral("Background"), GroupBox1);
    btnBackGround->setObjectName(QStringLiteral("btnBackGround"));
    cbxNoteUseParentColor = new QCheckBox(QStringLiteral("Use parent color"), GroupBox1);
    cbxNoteUseParentColor->setObjectName(QStringLiteral("cbxNoteUseParentColor"));
    cbxNoteUseParentColor->setToolTip(QStringLiteral("Use same color as desktop background"));
    cbxNoteUseParentColor->setChecked(look.useParentColor);
    inner->addWidget(btnFont);
    inner->addWidget(btnBackGround);
    inner->addWidget(cbxNoteUseParentColor);
    layout->addWidget(GroupBox1);

    auto *row = new QHBoxLayout;
    btnOk = new QPushButton(QStringLiteral("Ok"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    row->addStretch();
    row->addWidget(btnOk);
    row->addWidget(btnCancel);
    layout->addLayout(row);

    connect(btnFont, &QPushButton::clicked, this, [this] {
        if (const auto f = prompt_.FontDialog(font_, FontColour::Chosen))
            font_ = *f;
    });
    connect(btnBackGround, &QPushButton::clicked, this, [this] {
        if (const auto c = prompt_.ColorDialog(colour_))
            colour_ = *c;
    });
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmNote::showEvent(QShowEvent *event)
{
    PlacedDialog::showEvent(event);
    btnCancel->setFocus(Qt::OtherFocusReason);
}

NoteLook TfrmNote::look() const { return {font_, colour_, cbxNoteUseParentColor->isChecked()}; }

} // namespace vl
