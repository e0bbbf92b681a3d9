#include "common/DialogPlacement.h"

#include "common/WindowSystem.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLayout>
#include <QSpacerItem>
#include <QWidget>

#include <algorithm>

namespace vl {

QPoint centredOver(const QRect &mainFrame, const QSize &dialogFrame)
{
    const int left = mainFrame.left() + (mainFrame.width() - dialogFrame.width()) / 2;
    int top = mainFrame.top() + (mainFrame.height() - dialogFrame.height()) / 2;
    if (top < mainFrame.top())
        top = mainFrame.top();
    return {left, top};
}

void placeOver(QWidget *dialog, const QWidget *mainWindow)
{
    if (!dialog || !mainWindow || !mainWindow->isVisible())
        return;
    dialog->adjustSize();
    dialog->move(centredOver(mainWindow->frameGeometry(), dialog->frameGeometry().size()));
}

PlacedDialog::PlacedDialog(QWidget *mainWindow, QWidget *parent)
    : QDialog(parent ? parent : mainWindow), mainWindow_(mainWindow)
{
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

void PlacedDialog::showEvent(QShowEvent *event)
{
    // Fixed size, but wide enough for the whole caption in the title bar
    // (window managers cut it short with an ellipsis): a strut of no height
    // as wide as the caption needs.
    if (!titleStrut_) {
        titleStrut_ = new QSpacerItem(0, 0, QSizePolicy::Fixed, QSizePolicy::Fixed);
        layout()->addItem(titleStrut_);
    }
    titleStrut_->changeSize(titleWidth(windowTitle()), 0, QSizePolicy::Fixed, QSizePolicy::Fixed);
    layout()->invalidate();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    layout()->activate(); // the size is placed, not the one before the strut
    placeOver(this, mainWindow_);
    QDialog::showEvent(event);
}

int PlacedDialog::titleWidth(const QString &title) { return titleWidth(title, onWayland()); }

int PlacedDialog::titleWidth(const QString &title, bool toolkitTitleBar)
{
    if (toolkitTitleBar) {
        // Qt's title bar centres the caption, in a 14-pixel face, across the
        // whole window and cuts it at its three buttons on the right, which
        // with their margins take 77 pixels: as much is needed on the left.
        QFont font = QApplication::font();
        font.setPixelSize(14);
        const int text = std::max(QFontMetrics(font).horizontalAdvance(title),
                                  QFontMetrics(QApplication::font()).horizontalAdvance(title));
        return text + 2 * 77 + 16;
    }
    // Title bars use a bold face about the size of the application font;
    // the rest is the icon and the buttons around the caption.
    QFont font = QApplication::font();
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(title) + 96;
}

} // namespace vl
