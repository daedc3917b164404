// The QuickTime movie profile family.
#pragma once

#include "SettingsBoxes.h"

#include <string_view>

// Loads the MOV lists and defaults. The family has a single profile; the variant is not read.
void FillMOV(SettingsBoxes& boxes, std::string_view variant);
