// The command line of a conversion run: -f FORMAT -o FOLDER [settings] FILE...
#pragma once

#include "AddFileToFFMPEG.h"
#include "CommandLine.h"
#include "SettingChoice.h"
#include "StreamPlan.h"

#include <string>
#include <utility>
#include <vector>

struct ConvertOptions {
    std::string Format;
    std::string OutputFolder;
    // The box settings in the order given; a later one for the same box wins.
    std::vector<std::pair<const SettingOption*, std::string>> Settings;
    int VolumePercent = 100;
    std::string Aspect; // "", "original", "4:3" or "16:9"
    bool Overwrite = false;
    bool LetterBox = false;
    DeinterlaceChoice Deinterlace = DeinterlaceChoice::Auto;
    int Jobs = 1;
    int Threads = 0;                       // codec threads: 0 = the libraries choose
    StreamChoices Streams;                 // --subtitles, --audio-tracks
    std::vector<std::string> ExtraOptions; // "name=value"
    std::string Preset;                    // the preset the options start from, or ""
    bool Quiet = false;
    bool Verbose = false;
    std::vector<std::string> Files;
};

// Every option of a conversion, in the order --help lists them: -f and -o, the settings
// boxes (SettingOptions), then the other flags.
const std::vector<CommandOption<ConvertOptions>>& ConvertOptionTable();

// Reads the arguments of a conversion run ("--name value", "--name=value", "-j2"; "--"
// ends the options). Returns false with a one-line reason in `error` on a usage error.
bool ParseConvertOptions(const std::vector<std::string>& args, ConvertOptions& options,
                         std::string& error);
