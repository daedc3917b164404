// The Archos family; its AV500 fill is the base of the Zen and iRiver fills.
#pragma once

#include "SettingsBoxes.h"

#include <string_view>

// Refills the settings boxes with this family's lists and defaults. variant: "AV500" or "AV700";
// a text the family does not know fills as its first variant.
void FillArchos(SettingsBoxes& boxes, std::string_view variant);
