// The iPhone family.
#pragma once

#include "SettingsBoxes.h"

#include <string_view>

// Refills the settings boxes with this family's lists and defaults. variant: the frame size: "480 x
// 320", "640 x 480" or "720 x 480"; a text the family does not know fills as its first variant.
void FilliPhone(SettingsBoxes& boxes, std::string_view variant);
