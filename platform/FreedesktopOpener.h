// The desktop opener of freedesktop.org desktops: the file manager's D-Bus interface
// (org.freedesktop.FileManager1) and the desktop's opener `xdg-open`.
#pragma once

#include "DesktopOpener.h"

#include <QStringList>

class FreedesktopOpener : public DesktopOpener {
public:
    // `xdg-open` on the folder; else the file manager's ShowFolders.
    void openFolder(const QString& folder, Failed failed) override;
    // The file manager's ShowItems; else `xdg-open` on the file's folder.
    void showFile(const QString& file, Failed failed) override;

    // The texts shown when nothing worked; `why` says what each way answered.
    static QString folderNotOpenedText(const QString& folder, const QString& why);
    static QString fileNotShownText(const QString& file, const QString& why);

    // How long the file manager may take to answer (it may have to start first).
    static constexpr int kCallTimeoutMs = 10000;

private:
    // Runs `xdg-open target`; `done` gets an empty text when it worked, else what went wrong.
    static void runOpener(const QString& target, std::function<void(const QString& problem)> done);
    // Calls the file manager's `method` with the file URIs; `done` as above.
    static void callFileManager(const QString& method, const QStringList& paths,
                                std::function<void(const QString& problem)> done);
};
