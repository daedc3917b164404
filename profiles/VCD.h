// The Video CD profile family: Video CD (variant "VCD") and Super Video CD ("SVCD").
#pragma once

#include "SettingsBoxes.h"

#include <array>
#include <string_view>

// The frame sizes the disc profiles offer.
extern const std::array<const char*, 8> DiscFrameSizeList;

// Loads the Video CD lists and defaults for "VCD", the Super Video CD ones for any other
// variant. The channels and aspect-ratio boxes keep their selections.
void FillVCD(SettingsBoxes& boxes, std::string_view variant);
void FillVideoCD(SettingsBoxes& boxes);
void FillSuperVideoCD(SettingsBoxes& boxes);
