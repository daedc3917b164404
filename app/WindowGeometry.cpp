#include "WindowGeometry.h"

#include "SettingsStore.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace WindowGeometry {

namespace {

// Room the window manager's title bar and frame take around the window before the window is
// shown and its frame can be asked for.
constexpr int kFrameAllowanceWidth = 8;
constexpr int kFrameAllowanceHeight = 40;

QRect freeArea(const QWidget& window) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

} // namespace

QSize fitted(const QWidget& window, QSize wanted) {
    const QSize minimum = window.minimumSizeHint().expandedTo(window.minimumSize());
    QSize size = wanted.expandedTo(minimum);
    const QRect area = freeArea(window);
    if (area.isValid()) {
        const QSize room(area.width() - kFrameAllowanceWidth,
                         area.height() - kFrameAllowanceHeight);
        size = size.boundedTo(room).expandedTo(minimum);
    }
    return size;
}

void restore(QWidget& window, const SettingsStore& store, QSize designed) {
    QSize wanted = designed;
    const std::optional<int> width = store.readInteger(QString::fromLatin1(kWidth));
    const std::optional<int> height = store.readInteger(QString::fromLatin1(kHeight));
    if (width && height && *width > 0 && *height > 0)
        wanted = QSize(*width, *height);
    window.resize(fitted(window, wanted));
    const QRect area = freeArea(window);
    if (!area.isValid())
        return;
    // Centred with its frame, the title bar within the free area (a window's position is
    // that of its frame).
    QRect placed(QPoint(), window.size() + QSize(kFrameAllowanceWidth, kFrameAllowanceHeight));
    placed.moveCenter(area.center());
    window.move(std::max(placed.left(), area.left()), std::max(placed.top(), area.top()));
}

bool wasMaximized(const SettingsStore& store) {
    return store.readBoolean(QString::fromLatin1(kMaximized)).value_or(false);
}

bool store(const QWidget& window, SettingsStore& store) {
    const QSize size = window.isMaximized() || window.isFullScreen()
                           ? window.normalGeometry().size()
                           : window.size();
    const bool written = store.writeInteger(QString::fromLatin1(kWidth), size.width()) &&
                         store.writeInteger(QString::fromLatin1(kHeight), size.height()) &&
                         store.writeBoolean(QString::fromLatin1(kMaximized), window.isMaximized());
    // Flushed in every case, as the other settings are.
    return store.flush() && written;
}

} // namespace WindowGeometry
