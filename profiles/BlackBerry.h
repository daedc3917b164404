// The BlackBerry family: MPEG-4, AVI, 3GP video and AMR audio variants.
#pragma once

#include "SettingsBoxes.h"

#include <string_view>

// Refills the settings boxes with this family's lists and defaults. variant: "MPEG-4", "AVI", "3GP"
// or "AMR"; a text the family does not know fills as its first variant.
void FillBlackBerry(SettingsBoxes& boxes, std::string_view variant);
