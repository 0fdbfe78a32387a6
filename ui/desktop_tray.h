// The desktop's tray: an icon that follows the lamps, its tooltip, and the desktop notifications.
#pragma once

#include <memory>

#include <QObject>
#include <QString>

#include "ui/lamp_icons.h"
#include "ui/tray_rules.h"

class QSystemTrayIcon;
class QWidget;

namespace tavrel {

// What the main window asks of a tray; the system tray, or a test's stand-in.
class TraySink {
public:
    virtual ~TraySink() = default;
    virtual void show(TrayPicture picture, const QString& toolTip) = 0;
    virtual void notify(const TrayMessage& message) = 0;
};

// QSystemTrayIcon for the window; a click on it brings the window to the front.
class SystemTray : public QObject, public TraySink {
    Q_OBJECT
public:
    // Null when the desktop has no tray: then nothing is shown, notified or printed.
    static std::unique_ptr<SystemTray> create(QWidget& window);

    void show(TrayPicture picture, const QString& toolTip) override;
    // Through the desktop's notification service where there is one; nothing otherwise.
    void notify(const TrayMessage& message) override;

private:
    explicit SystemTray(QWidget& window);

    QWidget& m_window;
    QSystemTrayIcon* m_icon = nullptr;
    LampIconSet m_pictures;
};

} // namespace tavrel
