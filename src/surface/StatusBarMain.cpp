#include "surface/StatusBarMain.h"

#include "platform/Platform.h"
#include "surface/FreeSpaceText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSizeGrip>

namespace vl {

StatusBarMain::StatusBarMain(Platform &platform, QWidget *parent) : QFrame(parent), platform_(platform)
{
    setObjectName(QStringLiteral("StatusBarMain"));
    setToolTip(QStringLiteral("Status of Desktops and free space of hard disks"));
    row_ = new QHBoxLayout(this);
    row_->setContentsMargins(2, 1, 0, 1);
    row_->setSpacing(2);
    addPanel(75);
    addPanel(50);
    // Not a panel: panels are counted from the drives.
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("StatusMessage"));
    message_->setTextFormat(Qt::PlainText);
    message_->setMinimumWidth(0);
    message_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    row_->addWidget(message_, 1);
    grip_ = new QSizeGrip(this);
    row_->addWidget(grip_, 0, Qt::AlignBottom | Qt::AlignRight);
}

QLabel *StatusBarMain::addPanel(int width)
{
    auto *label = new QLabel(this);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setFixedWidth(width);
    label->setTextFormat(Qt::PlainText);
    // Free-space texts are padded with blanks to a fixed field width.
    label->setWordWrap(false);
    row_->insertWidget(static_cast<int>(panels_.size()), label);
    panels_.append(label);
    return label;
}

void StatusBarMain::setSaveState(const QString &text) { panels_[0]->setText(text); }

QString StatusBarMain::saveState() const { return panels_[0]->text(); }

void StatusBarMain::showMessage(const QString &text)
{
    message_->setText(text);
    // Cut off when the bar is narrow; the whole text stays at hand.
    message_->setToolTip(text);
}

QString StatusBarMain::message() const { return message_->text(); }

void StatusBarMain::setSizeGripEnabled(bool on) { grip_->setVisible(on); }

void StatusBarMain::GetDriveInfo()
{
    int j = 0;
    const QLocale locale = QLocale::system();
    for (const FixedDrive &drive : platform_.fixedDrives()) {
        ++j;
        QLabel *p = j < panels_.size() ? panels_[j] : addPanel(130);
        const QString text = drivePanelText(drive, locale);
        // Mount points can be longer than a drive letter; the panel grows
        // for them rather than cutting the free space off.
        p->setFixedWidth(std::max(130, p->fontMetrics().horizontalAdvance(text) + 10));
        p->setText(text);
    }
}

} // namespace vl
