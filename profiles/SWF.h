// The Flash profile family: Flash Video (FLV) and Flash movie (SWF) share one fill.
#pragma once

#include "SettingsBoxes.h"

#include <string_view>

// Loads the Flash lists and defaults. The variant is not read: both Flash rows fill alike.
void FillSWF(SettingsBoxes& boxes, std::string_view variant);
