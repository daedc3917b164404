// The MPEG audio family: MP3 and MP2 sound-only outputs.
#pragma once

#include "SettingsBoxes.h"

#include <string_view>

// Refills the settings boxes with this family's lists and defaults. variant: "mp3" loads the MP3
// encoder, any other text the MP2 one.
void FillMP3(SettingsBoxes& boxes, std::string_view variant);
