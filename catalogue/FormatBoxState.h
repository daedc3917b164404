// The window state that the format box and its change handling work on, free of any toolkit.
#pragma once

#include "SettingsBox.h"
#include "SettingsBoxes.h"

#include <functional>
#include <string>

// The format box, the nine settings boxes and what the change handling keeps between calls.
// The window (or the converter, or a test) owns the boxes and supplies the two callbacks.
struct FormatBoxState {
    SettingsBox* ComboOutputFormat = nullptr; // "Choose Output Format"
    SettingsBoxes Boxes;
    // OutputType of the format last selected; empty until a selection has been handled.
    std::string OutputLabel;
    // Position of the last accepted format box entry; -1 when that was no entry.
    int LastFormatIndex = 0;
    // Number of entries the format box shows when opened.
    int DropDownCount = 0;
    // Writes the label into the "Output" column of every file-list row. May be empty.
    std::function<void(const std::string& outputLabel)> WriteOutputColumn;
    // The Additional Options drop-down count. May throw when it cannot be read; empty
    // counts as unreadable.
    std::function<int()> ReadDropDownCount;
};
