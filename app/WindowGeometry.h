// The main window's size: the designed size at the first start, the size the user left it
// at on later starts (kept with the settings when the window closes), never larger than the
// screen it opens on, and placed so that its title bar is on that screen.
#pragma once

#include <QSize>

class QWidget;
class SettingsStore;

namespace WindowGeometry {

inline constexpr const char* kWidth = "WindowWidth";
inline constexpr const char* kHeight = "WindowHeight";
inline constexpr const char* kMaximized = "WindowMaximized";

// Gives the window the stored size, or `designed` when none is stored (or it cannot be
// read), within the window's minimum size and the screen's free area, centred on the screen.
// Shows it maximised later when it was maximised when it closed (see wasMaximized).
void restore(QWidget& window, const SettingsStore& store, QSize designed);
// Whether the window was maximised when it last closed.
bool wasMaximized(const SettingsStore& store);
// Writes the window's size (its size before it was maximised, when it is) and whether it is
// maximised. False when the store refused a value.
bool store(const QWidget& window, SettingsStore& store);
// The size within the window's minimum size and the free area of the screen it is on
// (leaving room for the title bar and the frame the window manager adds).
QSize fitted(const QWidget& window, QSize wanted);

} // namespace WindowGeometry
