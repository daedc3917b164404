// The Apple TV family with H.264 video.
#pragma once

#include "SettingsBoxes.h"

#include <string_view>

// Refills the settings boxes with this family's lists and defaults. variant: the frame size: "320 x
// 240", "640 x 480" or "1280 x 720"; a text the family does not know fills as its first variant.
void FillAppleTVh264(SettingsBoxes& boxes, std::string_view variant);
