// The DVD (VOB file) profile family.
#pragma once

#include "SettingsBoxes.h"

#include <string_view>

// Loads the DVD lists and defaults. The family has a single profile; the variant is not read.
void FillDVD(SettingsBoxes& boxes, std::string_view variant);
