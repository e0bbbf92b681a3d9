#include "options/TfrmDesktopOptions.h"

#include "common/ColourConv.h"
#include "common/PictureLoader.h"
#include "options/DesktopOptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

namespace vl {

PreviewPicture::PreviewPicture(const DesktopOptions &options, QWidget *parent) : QWidget(parent), options_(options)
{
    setFixedSize(DesktopOptions::PictureSize);
}

void PreviewPicture::paintEvent(QPaintEvent *)
{
    // No picture shows the panel's colour through.
    const DesktopOptions::Preview &p = options_.preview();
    if (p.picture.isNull())
        return;
    QPainter painter(this);
    const QRect target = pictureRect(p.picture.size(), size(), p.center, p.stretch);
    painter.setClipRect(rect());
    painter.drawImage(target, p.picture);
}

namespace {

QPushButton *button(const char *name, const QString &caption, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

QComboBox *falseTrue(const char *name, QWidget *parent)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->addItems({QStringLiteral("False"), QStringLiteral("True")});
    return box;
}

// A check box whose text stands left of the box.
QCheckBox *leftTextCheckBox(const char *name, const QString &caption, QWidget *parent)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    box->setLayoutDirection(Qt::RightToLeft);
    return box;
}

} // namespace

TfrmDesktopOptions::TfrmDesktopOptions(DesktopOptions &options, QWidget *mainWindow)
    : PlacedDialog(mainWindow, nullptr), options_(options)
{
    setObjectName(QStringLiteral("frmDesktopOptions"));
    setWindowTitle(options_.caption());
    auto *layout = new QVBoxLayout(this);
    PageControlDesktopOptions = new QTabWidget(this);
    PageControlDesktopOptions->setObjectName(QStringLiteral("PageControlDesktopOptions"));
    layout->addWidget(PageControlDesktopOptions);

    // "Background"
    auto *background = new QWidget;
    auto *bl = new QGridLayout(background);
    lblStretch = new QLabel(QStringLiteral("Stretch"), background);
    lblStretch->setObjectName(QStringLiteral("lblStretch"));
    cbStretch = falseTrue("cbStretch", background);
    lblCenter = new QLabel(QStringLiteral("Center"), background);
    lblCenter->setObjectName(QStringLiteral("lblCenter"));
    cbCenter = falseTrue("cbCenter", background);
    cbBackgroundExists = leftTextCheckBox("cbBackgroundExists", QStringLiteral("Background picture exists"), background);
    cbBackgroundExists->setToolTip(QStringLiteral("Mark remove for disconnecting a background picture"));
    btnBGColor = button("btnBGColor", QStringLiteral("Background Color"), background);
    btnPicture = button("btnPicture", QStringLiteral("Background Picture"), background);
    Bevel1 = new QFrame(background);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::StyledPanel);
    auto *bevel = new QVBoxLayout(Bevel1);
    btnPassword = button("btnPassword", QStringLiteral("Password"), Bevel1);
    rbtnPasswordOnDesktop = new QRadioButton(QStringLiteral("Password on Desktop"), Bevel1);
    rbtnPasswordOnDesktop->setObjectName(QStringLiteral("rbtnPasswordOnDesktop"));
    rbtnPasswordOnMenu = new QRadioButton(QStringLiteral("Password on Menu"), Bevel1);
    rbtnPasswordOnMenu->setObjectName(QStringLiteral("rbtnPasswordOnMenu"));
    // Neither is ticked while the desktop has no password.
    rbtnPasswordOnDesktop->setAutoExclusive(false);
    rbtnPasswordOnMenu->setAutoExclusive(false);
    bevel->addWidget(btnPassword);
    bevel->addWidget(rbtnPasswordOnDesktop);
    bevel->addWidget(rbtnPasswordOnMenu);
    BGPanel = new QFrame(background);
    BGPanel->setObjectName(QStringLiteral("BGPanel"));
    BGPanel->setFixedSize(DesktopOptions::PanelSize);
    BGPanel->setAutoFillBackground(true);
    ImageExample = new PreviewPicture(options_, BGPanel);
    ImageExample->setObjectName(QStringLiteral("ImageExample"));
    ImageExample->move((DesktopOptions::PanelSize.width() - DesktopOptions::PictureSize.width()) / 2,
                       (DesktopOptions::PanelSize.height() - DesktopOptions::PictureSize.height()) / 2);
    auto *controls = new QGridLayout;
    controls->addWidget(lblStretch, 0, 0);
    controls->addWidget(cbStretch, 0, 1);
    controls->addWidget(lblCenter, 1, 0);
    controls->addWidget(cbCenter, 1, 1);
    controls->addWidget(cbBackgroundExists, 2, 0, 1, 2);
    controls->addWidget(btnBGColor, 3, 0, 1, 2);
    controls->addWidget(btnPicture, 4, 0, 1, 2);
    controls->addWidget(Bevel1, 5, 0, 1, 2);
    controls->setRowStretch(6, 1);
    bl->addLayout(controls, 0, 0);
    bl->addWidget(BGPanel, 0, 1, Qt::AlignTop);
    PageControlDesktopOptions->addTab(background, QStringLiteral("Background"));

    // "Shortcut"
    auto *shortcut = new QWidget;
    auto *sl = new QVBoxLayout(shortcut);
    btnShortcutFont = button("btnShortcutFont", QStringLiteral("Font of Shortcut"), shortcut);
    btnShortcutFont->setToolTip(QStringLiteral("Changing a font of Shortcut"));
    cbTransparent = leftTextCheckBox("cbTransparent", QStringLiteral("Transparent"), shortcut);
    btnBackgroundShortcut = button("btnBackgroundShortcut", QStringLiteral("Background of Shortcut"), shortcut);
    sl->addWidget(btnShortcutFont, 0, Qt::AlignLeft);
    sl->addWidget(cbTransparent, 0, Qt::AlignLeft);
    sl->addWidget(btnBackgroundShortcut, 0, Qt::AlignLeft);
    sl->addStretch();
    PageControlDesktopOptions->addTab(shortcut, QStringLiteral("Shortcut"));

    auto *row = new QHBoxLayout;
    row->addStretch();
    btnOK = new QPushButton(QStringLiteral("Ok"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);
    row->addWidget(btnOK);
    row->addWidget(btnCancel);
    layout->addLayout(row);

    showValues();

    connect(cbStretch, &QComboBox::currentTextChanged, this,
            [this](const QString &t) { options_.setStretch(t == QLatin1String("True")); });
    connect(cbCenter, &QComboBox::currentTextChanged, this,
            [this](const QString &t) { options_.setCenter(t == QLatin1String("True")); });
    // Boxes and buttons report through toggled, not clicked: assistive
    // technology changes them with toggle(), which never clicks.
    connect(cbBackgroundExists, &QCheckBox::toggled, this, [this](bool on) { options_.setBackgroundExists(on); });
    connect(btnPicture, &QPushButton::clicked, this, [this] { options_.btnPictureClick(); });
    connect(btnBGColor, &QPushButton::clicked, this, [this] { options_.btnBGColorClick(); });
    connect(btnPassword, &QPushButton::clicked, this, [this] { options_.btnPasswordClick(); });
    // A ticked button cannot be unticked, only replaced by the other one:
    // an untick (a second click, or assistive technology) shows the mode
    // again as it is.
    connect(rbtnPasswordOnDesktop, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            options_.rbtnPasswordOnDesktopClick();
        else
            showValues();
    });
    connect(rbtnPasswordOnMenu, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            options_.rbtnPasswordOnMenuClick();
        else
            showValues();
    });
    connect(btnShortcutFont, &QPushButton::clicked, this, [this] { options_.btnShortcutFontClick(); });
    connect(cbTransparent, &QCheckBox::toggled, this, [this](bool on) { options_.setTransparent(on); });
    connect(btnBackgroundShortcut, &QPushButton::clicked, this, [this] { options_.btnBackgroundShortcutClick(); });
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    options_.onChanged = [this] { showValues(); };
}

TfrmDesktopOptions::~TfrmDesktopOptions() { options_.onChanged = nullptr; }

void TfrmDesktopOptions::showValues()
{
    const DesktopOptions::Preview &p = options_.preview();
    const QSignalBlocker a(cbStretch), b(cbCenter), c(cbBackgroundExists), d(cbTransparent), e(rbtnPasswordOnDesktop),
        f(rbtnPasswordOnMenu);
    cbStretch->setCurrentIndex(p.stretch ? 1 : 0);
    cbCenter->setCurrentIndex(p.center ? 1 : 0);
    cbBackgroundExists->setChecked(options_.backgroundExists());
    cbTransparent->setChecked(options_.transparent());
    rbtnPasswordOnDesktop->setChecked(options_.passwordMode() == DesktopOptions::PasswordMode::OnDesktop);
    rbtnPasswordOnMenu->setChecked(options_.passwordMode() == DesktopOptions::PasswordMode::OnMenu);
    QPalette palette = BGPanel->palette();
    palette.setColor(QPalette::Window, toQColor(p.colour));
    BGPanel->setPalette(palette);
    ImageExample->update();
}

} // namespace vl
