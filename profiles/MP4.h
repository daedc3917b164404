// The MPEG-4 video profile family.
#pragma once

#include "SettingsBoxes.h"

#include <string_view>

// Loads the MP4 lists and defaults. The family has a single profile; the variant is not read.
void FillMP4(SettingsBoxes& boxes, std::string_view variant);
