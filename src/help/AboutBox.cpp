#include "help/AboutBox.h"

#include "platform/Credits.h"
#include "platform/DesktopIcons.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace vl {

namespace {

QString versionText() { return QStringLiteral(VORLANE_VERSION); }

QString html()
{
    QString credits;
    for (const LibraryCredit &c : libraryCredits()) {
        credits += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td></tr>")
                       .arg(c.name.toHtmlEscaped(), c.version.toHtmlEscaped(), c.licence.toHtmlEscaped(),
                            c.purpose.toHtmlEscaped());
    }
    return QStringLiteral("<h2>Vorlane %1</h2>"
                          "<p>Extra desktops in one window: tab pages of shortcuts to files, folders, "
                          "programs and web addresses, and small coloured notes.</p>"
                          "<p>Free software under the GNU General Public License, version 3 or later. "
                          "It comes with no warranty.</p>"
                          "<p>Built on:</p>"
                          "<table cellspacing=\"0\" cellpadding=\"2\">%2</table>")
        .arg(versionText().toHtmlEscaped(), credits);
}

} // namespace

QString TfrmAbout::aboutText()
{
    QString text = QStringLiteral("Vorlane %1\n").arg(versionText());
    text += QStringLiteral("Extra desktops in one window: tab pages of shortcuts to files, folders, programs and web "
                           "addresses, and small coloured notes.\n");
    text += QStringLiteral("Free software under the GNU General Public License, version 3 or later.\n");
    for (const LibraryCredit &c : libraryCredits())
        text += QStringLiteral("%1 %2 (%3): %4\n").arg(c.name, c.version, c.licence, c.purpose);
    return text;
}

TfrmAbout::TfrmAbout(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About"));
    auto *icon = new QLabel(this);
    icon->setPixmap(programIcon().pixmap(64, 64));
    icon->setAlignment(Qt::AlignTop);
    auto *text = new QLabel(html(), this);
    text->setObjectName(QStringLiteral("lblAbout"));
    text->setTextFormat(Qt::RichText);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    text->setWordWrap(true);
    text->setAccessibleDescription(aboutText());
    auto *row = new QHBoxLayout;
    row->addWidget(icon);
    row->addWidget(text, 1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    setMinimumWidth(520);
}

} // namespace vl
