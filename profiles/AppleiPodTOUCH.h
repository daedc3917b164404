// The iPod touch family.
#pragma once

#include "SettingsBoxes.h"

#include <string_view>

// Refills the settings boxes with this family's lists and defaults. variant: "Normal", "Extra" or
// "Wide Screen"; a text the family does not know fills as its first variant.
void FillAppleiPodTOUCH(SettingsBoxes& boxes, std::string_view variant);
