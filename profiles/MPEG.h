// The MPEG movie profile family: MPEG-1 (variant "mpeg1") and MPEG-2 ("mpeg2") files.
#pragma once

#include "SettingsBoxes.h"

#include <string_view>

// Loads the MPEG movie lists and defaults; "mpeg1" chooses MPEG-1, any other variant MPEG-2.
void FillMPEG(SettingsBoxes& boxes, std::string_view variant);
