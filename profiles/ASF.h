// The Advanced Streaming Format profile family.
#pragma once

#include "SettingsBoxes.h"

#include <string_view>

// Loads the ASF lists and defaults. The family has a single profile; the variant is not read.
void FillASF(SettingsBoxes& boxes, std::string_view variant);
