// The Zune family: MPEG-4, AVC and WMV variants.
#pragma once

#include "SettingsBoxes.h"

#include <string_view>

// Refills the settings boxes with this family's lists and defaults. variant: "MPEG-4", "AVC" or
// "WMV"; a text the family does not know fills as its first variant.
void FillZUNE(SettingsBoxes& boxes, std::string_view variant);
