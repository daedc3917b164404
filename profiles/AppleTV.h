// The Apple TV family (MPEG-4 video).
#pragma once

#include "SettingsBoxes.h"

#include <string_view>

// Refills the settings boxes with this family's lists and defaults. variant: the quality: "Good" or
// "Normal"; a text the family does not know fills as its first variant.
void FillAppleTV(SettingsBoxes& boxes, std::string_view variant);
