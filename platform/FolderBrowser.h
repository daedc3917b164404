// The output-folder browser, behind an interface so tests can script the chosen folder.
#pragma once

#include <QString>
#include <optional>

class QWidget;

class FolderBrowser {
public:
    // The browser's caption.
    static constexpr const char* kCaption = "Please select an output folder";

    virtual ~FolderBrowser() = default;
    // Asks for a folder; the folder chosen, or nothing when the user cancels.
    virtual std::optional<QString> browse() = 0;
};
