#pragma once

#include <QDialog>
#include <QPoint>
#include <QRect>
#include <QSize>

class QSpacerItem;
class QWidget;

namespace vl {

// Where a dialog goes over the main window: centred, halves truncated toward
// zero, and never above the main window's top.
QPoint centredOver(const QRect &mainFrame, const QSize &dialogFrame);
void placeOver(QWidget *dialog, const QWidget *mainWindow);

// Base of the small dialogs: fixed size, placed over the main window when
// shown.
class PlacedDialog : public QDialog {
    Q_OBJECT
public:
    PlacedDialog(QWidget *mainWindow, QWidget *parent);

    // The width a dialog needs to show the whole caption in its title bar:
    // one a window manager draws, or (Wayland) the toolkit's own.
    static int titleWidth(const QString &title);
    static int titleWidth(const QString &title, bool toolkitTitleBar);

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *mainWindow_;
    QSpacerItem *titleStrut_ = nullptr; // owned by the layout
};

} // namespace vl
