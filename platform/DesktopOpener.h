// Showing outputs on the desktop: a folder in the file manager, or a file selected in its
// folder. Behind an interface so tests can record what the window asked for.
#pragma once

#include <QString>

#include <functional>

class DesktopOpener {
public:
    // Called on the window's thread, perhaps after the call returned, with a message for
    // the user when no way of showing worked.
    using Failed = std::function<void(const QString& message)>;

    virtual ~DesktopOpener() = default;
    // Opens the folder in the desktop's file manager.
    virtual void openFolder(const QString& folder, Failed failed) = 0;
    // Shows the file in its folder, selected where the file manager can.
    virtual void showFile(const QString& file, Failed failed) = 0;
};
