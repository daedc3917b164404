// The PS3 family.
#pragma once

#include "SettingsBoxes.h"

#include <string_view>

// Refills the settings boxes with this family's lists and defaults. variant: "standard", "720p" or
// "1080p"; a text the family does not know fills as its first variant.
void FillPS3(SettingsBoxes& boxes, std::string_view variant);
