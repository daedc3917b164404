// The settings of the command line (--video-bitrate ... --sample-rate): which box each one
// sets, and how a value picks one of the box's entries.
#pragma once

#include "SettingsBoxes.h"

#include <array>
#include <string>

struct SettingOption {
    const char* Option; // "--video-bitrate"
    const char* Label;  // "Video Quality", as the window labels the box; messages use it
    SettingsBox* SettingsBoxes::*Box;
};

// In the order of the window's box table (the aspect box is set by --aspect).
extern const std::array<SettingOption, 8> SettingOptions;

// The option of that name, or null.
const SettingOption* FindSettingOption(const std::string& option);

// The position of the entry that `value` identifies: the entry's exact text (or the same text
// in another case), a number equal to the number the entry begins with ("128" for
// "128 Kbps", "25" for "25.0 fps"), a size WxH ("320x240" for "320 x 240 (VGA)"), or for the
// channels 1 or 2. Returns -1 and sets `error` (with the box's entries listed) when no entry
// or more than one entry matches.
int FindSettingEntry(const SettingsBox& box, const SettingOption& option, const std::string& value,
                     std::string& error);
