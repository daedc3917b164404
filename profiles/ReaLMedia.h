// The RealMedia profile family: RealMedia video (variant "video") and RealAudio ("audio").
#pragma once

#include "SettingsBoxes.h"

#include <string_view>

// Loads the RealMedia lists and defaults: "audio" loads the RealAudio lists and empties the
// video boxes; any other variant loads the RealMedia video lists.
void FillReaLMedia(SettingsBoxes& boxes, std::string_view variant);
