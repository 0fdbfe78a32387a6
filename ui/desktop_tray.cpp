// The system tray icon: pictures from the lamp icons, tooltip, messages, and raising the window on a click.
#include "ui/desktop_tray.h"

#include <QSystemTrayIcon>
#include <QWidget>

namespace tavrel {
namespace {

LampIcon lampPicture(TrayPicture picture) {
    switch (picture) {
    case TrayPicture::Normal:
        return LampIcon::Normal;
    case TrayPicture::Alarm:
        return LampIcon::AlarmB; // the steady red one
    case TrayPicture::Off:
        break;
    }
    return LampIcon::Off;
}

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

} // namespace

std::unique_ptr<SystemTray> SystemTray::create(QWidget& window) {
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return nullptr;
    return std::unique_ptr<SystemTray>(new SystemTray(window));
}

SystemTray::SystemTray(QWidget& window) : m_window(window), m_icon(new QSystemTrayIcon(this)) {
    m_icon->setIcon(m_pictures.icon(LampIcon::Off)); // an icon before it is shown, or Qt warns
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::DoubleClick)
            return;
        m_window.setWindowState(m_window.windowState() & ~Qt::WindowMinimized);
        m_window.show();
        m_window.raise();
        m_window.activateWindow();
    });
    m_icon->show();
}

void SystemTray::show(TrayPicture picture, const QString& toolTip) {
    m_icon->setIcon(m_pictures.icon(lampPicture(picture)));
    m_icon->setToolTip(toolTip);
}

void SystemTray::notify(const TrayMessage& message) {
    if (!QSystemTrayIcon::supportsMessages())
        return;
    m_icon->showMessage(text(message.title), text(message.text),
                        message.warning ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information);
}

} // namespace tavrel
