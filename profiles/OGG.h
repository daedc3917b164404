// The Ogg Vorbis sound-only output.
#pragma once

#include "SettingsBoxes.h"

#include <string_view>

// Refills the settings boxes with this profile's lists and defaults. variant is not read.
void FillOGG(SettingsBoxes& boxes, std::string_view variant);
