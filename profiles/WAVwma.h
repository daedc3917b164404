// The WAV and WMA sound-only outputs.
#pragma once

#include "SettingsBoxes.h"

#include <string_view>

// Refills the settings boxes with this family's lists and defaults. variant: "WAV" or "WMA";
// a text the family does not know fills as its first variant.
void FillWAVwma(SettingsBoxes& boxes, std::string_view variant);
