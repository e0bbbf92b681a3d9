#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

#include <functional>

class QMenu;
class QSystemTrayIcon;

namespace vl {

// The program's icon in the panel's notification area, for the whole run:
// a double click brings the window back, the right button opens its menu.
// Without a notification area (no tray host) the icon is simply not shown;
// Active still tells what the program asked for.
class TTrayIcon : public QObject {
    Q_OBJECT
public:
    // Panels cut longer tooltips; the program cuts them itself, so every
    // panel shows the same.
    static constexpr int MaxToolTip = 62;

    explicit TTrayIcon(QObject *parent = nullptr);
    ~TTrayIcon() override;

    bool Active() const { return active_; }
    void SetActive(bool active);
    QIcon Icon() const { return icon_; }
    void setIcon(const QIcon &icon);
    QString ToolTip() const { return toolTip_; }
    void setToolTip(const QString &text);
    // Shown at the pointer on a right-button click.
    void setPopupMenu(QMenu *menu);

    std::function<void()> OnClick;
    std::function<void()> OnDblClick;

    // Whether a notification area is there to show the icon in.
    static bool hostPresent();

private:
    void ModifyIcon();

    QSystemTrayIcon *tray_ = nullptr;
    QMenu *menu_ = nullptr;
    QIcon icon_;
    QString toolTip_;
    bool active_ = false;
};

} // namespace vl
