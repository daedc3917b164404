// The Windows Media video profile family.
#pragma once

#include "SettingsBoxes.h"

#include <string_view>

// Loads the WMV lists and defaults. The family has a single profile; the variant is not read.
void FillWMV(SettingsBoxes& boxes, std::string_view variant);
