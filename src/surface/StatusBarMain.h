#pragma once

#include <QFrame>
#include <QList>

class QLabel;
class QSizeGrip;
class QHBoxLayout;

namespace vl {

class Platform;

// The status bar: the save state, then one free-space panel per fixed
// drive. Panels are added as drives need them and never removed.
class StatusBarMain : public QFrame {
    Q_OBJECT
public:
    StatusBarMain(Platform &platform, QWidget *parent = nullptr);

    void setSaveState(const QString &text);
    QString saveState() const;
    // A passing remark after the panels (empty: none). Its text stays until
    // the next remark.
    void showMessage(const QString &text);
    QString message() const;
    void setSizeGripEnabled(bool on);
    void GetDriveInfo();

    int panelCount() const { return static_cast<int>(panels_.size()); }
    QLabel *panel(int i) const { return panels_.at(i); }

private:
    QLabel *addPanel(int width);

    Platform &platform_;
    QHBoxLayout *row_;
    QList<QLabel *> panels_;
    QLabel *message_;
    QSizeGrip *grip_;
};

} // namespace vl
