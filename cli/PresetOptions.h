// The converter's presets: --list-presets, and --preset NAME, which starts a conversion
// from the format and settings the window saved under that name.
#pragma once

#include "ConvertOptions.h"

#include <ostream>
#include <string>
#include <vector>

// The --list-presets command: one line per preset of the user's settings file,
// tab-separated: the name and the format. A usage error when arguments follow it.
int runListPresets(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// `options` were read from `args` and name a preset: they become the preset's format, boxes,
// volume, aspect ratio, letterbox, overwriting and files at once, with `args` read again over
// them, so that what the command line gives wins; with another format given, the preset's
// box entries are left out. False with the reason in `error` when no
// preset has that name.
bool ReadOverPreset(const std::vector<std::string>& args, ConvertOptions& options,
                    std::string& error);
