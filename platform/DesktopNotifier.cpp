#include "DesktopNotifier.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVariantMap>

namespace {
constexpr const char* kService = "org.freedesktop.Notifications";
constexpr int kShownMs = 8000;
} // namespace

void DesktopNotifier::notify(const QString& title, const QString& text) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && bus.interface() &&
        bus.interface()->isServiceRegistered(QString::fromLatin1(kService))) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QString::fromLatin1(kService), QStringLiteral("/org/freedesktop/Notifications"),
            QString::fromLatin1(kService), QStringLiteral("Notify"));
        call << QCoreApplication::applicationName() << 0u << QStringLiteral("vidbrisk") << title
             << text << QStringList() << QVariantMap() << kShownMs;
        // Not waited for: the window goes on at once.
        bus.call(call, QDBus::NoBlock);
        return;
    }
    if (!QSystemTrayIcon::isSystemTrayAvailable() || !QSystemTrayIcon::supportsMessages())
        return;
    auto* icon = new QSystemTrayIcon(QApplication::windowIcon());
    icon->show();
    icon->showMessage(title, text, QSystemTrayIcon::Information, kShownMs);
    QTimer::singleShot(kShownMs, icon, [icon] { icon->deleteLater(); });
}
