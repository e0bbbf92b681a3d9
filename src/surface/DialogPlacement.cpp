#include "surface/DialogPlacement.h"

#include <QWidget>

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

} // namespace vl
