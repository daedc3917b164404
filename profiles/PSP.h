// The PSP family.
#pragma once

#include "SettingsBoxes.h"

#include <string_view>

// Refills the settings boxes with this family's lists and defaults. variant: "Good Quality",
// "Normal Quality" or "Small File Size"; a text the family does not know fills as its first
// variant.
void FillPSP(SettingsBoxes& boxes, std::string_view variant);
