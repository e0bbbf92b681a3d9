#include "app/SplashWindow.h"

#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

namespace vl {

TfrmSplash::TfrmSplash(QWidget *parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setFixedSize(456, 56);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *panel = new QFrame(this);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    outer->addWidget(panel);
    auto *col = new QVBoxLayout(panel);
    col->setContentsMargins(8, 4, 8, 4);
    col->setSpacing(2);
    auto *row = new QHBoxLayout;
    auto *caption = new QLabel(QStringLiteral("Loading desktops:"), panel);
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);
    lblDesktop = new QLabel(panel);
    lblDesktop->setObjectName(QStringLiteral("lblDesktop"));
    lblDesktop->setFont(bold);
    QPalette pal = lblDesktop->palette();
    pal.setColor(QPalette::WindowText, QColor(0, 0, 128));
    lblDesktop->setPalette(pal);
    row->addWidget(caption);
    row->addWidget(lblDesktop);
    row->addStretch();
    col->addLayout(row);
    pbar = new QProgressBar(panel);
    pbar->setObjectName(QStringLiteral("pbar"));
    pbar->setTextVisible(false);
    pbar->setMaximumHeight(14);
    pbar->setRange(0, 100);
    pbar->setValue(0);
    col->addWidget(pbar);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - QPoint(width() / 2, height() / 2));
}

void TfrmSplash::setTotal(int total) { pbar->setMaximum(std::max(total, 1)); }

void TfrmSplash::setCurrent(int number)
{
    if (number < 1 || number >= pbar->maximum())
        return;
    pbar->setValue(number);
    lblDesktop->setText(QString::number(number));
}

void TfrmSplash::showCurrent(int number)
{
    if (number < 1 || number >= pbar->maximum() || !isVisible())
        return setCurrent(number);
    // A drawing costs as much as loading a desktop of several hundred
    // shortcuts. A few desktops show every number, however fast they load;
    // of many fast ones, no more are drawn than anyone could read.
    if (pbar->maximum() > 32 && sinceDrawn_.isValid() && sinceDrawn_.elapsed() < 50)
        return;
    setCurrent(number); // the bar draws itself at once
    lblDesktop->repaint();
    sinceDrawn_.start();
}

} // namespace vl
