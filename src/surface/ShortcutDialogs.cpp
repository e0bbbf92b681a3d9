#include "surface/ShortcutDialogs.h"

#include "surface/ShortcutCommands.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <exception>

namespace vl {

namespace {

QLabel *boldLabel(const QString &text, const char *name, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
    return label;
}

QLineEdit *edit(const char *name, QWidget *parent)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setMinimumWidth(320);
    return e;
}

// The small chooser button beside an edit. Without an icon theme (no
// desktop session) the text stands in for the icon.
QToolButton *openButton(const char *name, QWidget *parent)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setText(QStringLiteral("..."));
    b->setIcon(QIcon::fromTheme(QStringLiteral("document-open")));
    return b;
}

QPushButton *colouredButton(const QString &text, const char *name, const QColor &colour, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(text);
    b->setAutoDefault(false);
    QPalette pal = b->palette();
    pal.setColor(QPalette::ButtonText, colour);
    b->setPalette(pal);
    return b;
}

void addOkCancel(QDialog *dialog, QBoxLayout *layout, QPushButton *&ok, QPushButton *&cancel)
{
    auto *buttons = new QDialogButtonBox(dialog);
    ok = buttons->addButton(QStringLiteral("Ok"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("btnOk"));
    cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    ok->setDefault(true);
    layout->addWidget(buttons);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
}

} // namespace

// ------------------------------------------------------------------ url

TfrmUrlShortcut::TfrmUrlShortcut(QWidget *mainWindow) : PlacedDialog(mainWindow, nullptr)
{
    setObjectName(QStringLiteral("frmUrlShortcut"));
    setWindowTitle(QStringLiteral("Url Shortcut"));
    auto *layout = new QVBoxLayout(this);
    lblUrlCaption = boldLabel(QStringLiteral("Url Caption"), "lblUrlCaption", this);
    layout->addWidget(lblUrlCaption);
    editUrlCaption = edit("editUrlCaption", this);
    layout->addWidget(editUrlCaption);
    lblUrlLink = boldLabel(QStringLiteral("Url Link"), "lblUrlLink", this);
    layout->addWidget(lblUrlLink);
    editUrlLink = edit("editUrlLink", this);
    layout->addWidget(editUrlLink);
    addOkCancel(this, layout, btnOk, btnCancel);
}

void TfrmUrlShortcut::setFields(const UrlShortcutFields &fields)
{
    editUrlCaption->setText(fields.caption);
    editUrlLink->setText(fields.link);
    editUrlCaption->setFocus();
}

UrlShortcutFields TfrmUrlShortcut::fields() const { return {editUrlCaption->text(), editUrlLink->text()}; }

// ------------------------------------------------------------------ attributes

TfrmAttributes::TfrmAttributes(Prompt &prompt, QWidget *mainWindow)
    : PlacedDialog(mainWindow, nullptr), prompt_(prompt)
{
    setObjectName(QStringLiteral("frmAttributes"));
    setWindowTitle(QStringLiteral("Shortcut Attributes"));
    auto *layout = new QVBoxLayout(this);
    auto *grid = new QGridLayout;
    layout->addLayout(grid);

    lblItemCaption = boldLabel(QStringLiteral("Shortcut Caption"), "lblItemCaption", this);
    editItemCaption = edit("editItemCaption", this);
    lblAttachedFile = boldLabel(QStringLiteral("Attached File"), "lblAttachedFile", this);
    editAttachedFile = edit("editAttachedFile", this);
    btnOpenFile = openButton("btnOpenFile", this);
    Label1 = boldLabel(QStringLiteral("Command String"), "Label1", this);
    editCommandString = edit("editCommandString", this);
    btnCommandString = openButton("btnCommandString", this);
    lblPicture = boldLabel(QStringLiteral("Shortcut Picture"), "lblPicture", this);
    editPicture = edit("editPicture", this);
    // Only the buttons set the picture: a typed path would skip the chooser's
    // filter, and "NONE" has to come from its own button.
    editPicture->setReadOnly(true);
    editPicture->setEnabled(false);
    btnOpenPicture = openButton("btnOpenPicture", this);
    btnClearPicture = colouredButton(QStringLiteral("Clear current Picture"), "btnClearPicture", QColor(0, 0, 255), this);
    btnDefaultPicture = colouredButton(QStringLiteral("Picture by Default"), "btnDefaultPicture", QColor(0, 128, 0), this);

    int row = 0;
    grid->addWidget(lblItemCaption, row++, 0, 1, 2);
    grid->addWidget(editItemCaption, row++, 0);
    grid->addWidget(lblAttachedFile, row++, 0, 1, 2);
    grid->addWidget(editAttachedFile, row, 0);
    grid->addWidget(btnOpenFile, row++, 1);
    grid->addWidget(Label1, row++, 0, 1, 2);
    grid->addWidget(editCommandString, row, 0);
    grid->addWidget(btnCommandString, row++, 1);
    grid->addWidget(lblPicture, row++, 0, 1, 2);
    grid->addWidget(editPicture, row, 0);
    grid->addWidget(btnOpenPicture, row++, 1);
    auto *pictureButtons = new QHBoxLayout;
    pictureButtons->addWidget(btnClearPicture);
    pictureButtons->addWidget(btnDefaultPicture);
    pictureButtons->addStretch();
    grid->addLayout(pictureButtons, row++, 0, 1, 2);
    addOkCancel(this, layout, btnOk, btnCancel);

    connect(btnOpenFile, &QToolButton::clicked, this, &TfrmAttributes::btnOpenFileClick);
    connect(btnCommandString, &QToolButton::clicked, this, &TfrmAttributes::btnCommandStringClick);
    connect(btnOpenPicture, &QToolButton::clicked, this, &TfrmAttributes::btnOpenPictureClick);
    connect(btnClearPicture, &QPushButton::clicked, this,
            [this] { editPicture->setText(ShortcutItem::NoPicture); });
    connect(btnDefaultPicture, &QPushButton::clicked, this, [this] { editPicture->clear(); });
}

void TfrmAttributes::setFields(const ShortcutAttributes &fields)
{
    editItemCaption->setText(fields.caption);
    editAttachedFile->setText(fields.attachedFile);
    editCommandString->setText(fields.commandString);
    editPicture->setText(fields.picture);
    editItemCaption->setFocus();
}

ShortcutAttributes TfrmAttributes::fields() const
{
    return {editItemCaption->text(), editAttachedFile->text(), editCommandString->text(), editPicture->text()};
}

void TfrmAttributes::btnOpenFileClick()
{
    const std::optional<QString> chosen = prompt_.OpenFileDialog(
        ShortcutCommands::FileFilter, ShortcutCommands::startFolderOf(editAttachedFile->text()), false);
    if (!chosen)
        return;
    editAttachedFile->setText(*chosen);
    editItemCaption->setText(QFileInfo(*chosen).fileName());
}

void TfrmAttributes::btnCommandStringClick()
{
    // Quoted whole, so that a path with blanks stays one argument.
    const std::optional<QString> chosen = prompt_.OpenFileDialog(
        ShortcutCommands::FileFilter, ShortcutCommands::startFolderOf(editAttachedFile->text()), false);
    if (chosen)
        editCommandString->setText(QLatin1Char('"') + *chosen + QLatin1Char('"'));
}

void TfrmAttributes::btnOpenPictureClick()
{
    try {
        const std::optional<QString> chosen = prompt_.OpenFileDialog(
            ShortcutCommands::AttributesPictureFilter + QLatin1Char('|') + ShortcutCommands::DesktopIconsFilter,
            ShortcutCommands::startFolderOf(editPicture->text()), true);
        if (chosen)
            editPicture->setText(*chosen);
    } catch (const std::exception &) {
        editPicture->clear();
        prompt_.ShowMessage(QStringLiteral("Error in TfrmAttributes.btnOpenPictureClick"));
    }
}

} // namespace vl
