#include "shell/TrayIcon.h"

#include "common/WindowSystem.h"

#include <QGuiApplication>
#include <QMenu>
#include <QSystemTrayIcon>

#include <algorithm>

namespace vl {

TTrayIcon::TTrayIcon(QObject *parent) : QObject(parent) {}

TTrayIcon::~TTrayIcon() = default;

bool TTrayIcon::hostPresent() { return QSystemTrayIcon::isSystemTrayAvailable(); }

void TTrayIcon::SetActive(bool active)
{
    if (active == active_)
        return;
    active_ = active;
    if (active_) {
        // Screens that are no desktop at all (offscreen drawing) can never
        // get a notification area; elsewhere one may start after the program.
        const QString platform = QGuiApplication::platformName();
        if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
            return;
        // Wayland knows only a notification area reached over D-Bus; without
        // one, Qt falls back to X11's and warns at every start that it cannot.
        if (onWayland() && !QSystemTrayIcon::isSystemTrayAvailable())
            return;
        if (!tray_) {
            tray_ = new QSystemTrayIcon(this);
            connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
                if (why == QSystemTrayIcon::DoubleClick && OnDblClick)
                    OnDblClick();
                else if (why == QSystemTrayIcon::Trigger && OnClick)
                    OnClick();
            });
        }
        ModifyIcon();
        tray_->setContextMenu(menu_);
        tray_->show();
    } else if (tray_) {
        tray_->hide();
    }
}

void TTrayIcon::setIcon(const QIcon &icon)
{
    icon_ = icon;
    ModifyIcon();
}

void TTrayIcon::setToolTip(const QString &text)
{
    qsizetype n = std::min<qsizetype>(text.size(), MaxToolTip);
    // Never half a character: a cut through a surrogate pair drops the pair.
    if (n < text.size() && n > 0 && text.at(n - 1).isHighSurrogate())
        --n;
    toolTip_ = text.left(n);
    ModifyIcon();
}

void TTrayIcon::setPopupMenu(QMenu *menu)
{
    menu_ = menu;
    if (tray_)
        tray_->setContextMenu(menu_);
}

void TTrayIcon::ModifyIcon()
{
    if (!tray_)
        return;
    tray_->setIcon(icon_);
    tray_->setToolTip(toolTip_);
}

} // namespace vl
