// The converter's presets: --list-presets, and --preset NAME, which starts a conversion
// from the format and settings the window saved under that name.
#pragma once

#include "ConvertOptions.h"

#include <ostream>
#include <string>
#include <vector>

// One line per preset of the user's settings file, tab-separated: the name and the format.
// Returns 0.
int runListPresets(std::ostream& out);

// When the arguments of a conversion name a preset (--preset NAME or --preset=NAME), fills
// `options` from it: the format, the boxes, the volume, the aspect ratio, the letterbox,
// overwriting and the files at once. Options given on the command line are read after this
// and win. False with the reason in `error` when the preset is missing or not found.
bool ApplyPresetArgument(const std::vector<std::string>& args, ConvertOptions& options,
                         std::string& error);
