// The AVI profile family: plain, DivX, XviD and uncompressed AVI files.
#pragma once

#include "SettingsBoxes.h"

#include <string_view>

// Loads the AVI lists and defaults; the variant ("normal", "divx", "xvid", "uncompress")
// chooses the codec lists. An unknown variant gets the "normal" codecs.
void FillAVI(SettingsBoxes& boxes, std::string_view variant);
