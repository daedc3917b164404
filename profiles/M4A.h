// The MPEG-4 audio file (M4A) sound-only output.
#pragma once

#include "SettingsBoxes.h"

#include <string_view>

// Refills the settings boxes with this profile's lists and defaults. variant is not read.
void FillM4A(SettingsBoxes& boxes, std::string_view variant);
