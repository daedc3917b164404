// A short desktop notification: through the freedesktop notification service on the
// session bus, else through the system tray; nothing where neither exists.
#pragma once

#include <QString>

namespace DesktopNotifier {
void notify(const QString& title, const QString& text);
}
