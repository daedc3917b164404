#include "ConvertOptions.h"

#include "EngineOptionState.h"

#include <charconv>
#include <strings.h>

namespace {

bool ReadInt(const std::string& text, int& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

// "auto", "always" or "never" (any case), as the setting's entries.
bool ReadDeinterlace(const std::string& text, DeinterlaceChoice& choice) {
    for (std::size_t i = 0; i < DeinterlaceEntries.size(); ++i)
        if (strcasecmp(text.c_str(), DeinterlaceEntries[i]) == 0) {
            choice = static_cast<DeinterlaceChoice>(i);
            return true;
        }
    return false;
}

// An option that takes a value; false with the reason in `error` for an unknown option or a
// value it refuses.
bool readValueOption(const std::string& arg, const std::string& value, ConvertOptions& options,
                     std::string& error) {
    if (arg == "-f" || arg == "--format") {
        options.Format = value;
    } else if (arg == "-o" || arg == "--output-folder") {
        options.OutputFolder = value;
    } else if (const SettingOption* setting = FindSettingOption(arg)) {
        options.Settings.emplace_back(setting, value);
    } else if (arg == "--volume") {
        if (!ReadInt(value, options.VolumePercent)) {
            error = "--volume needs a percentage (0, 20, ..., 200), not \"" + value + "\"";
            return false;
        }
    } else if (arg == "--aspect") {
        if (value != "original" && value != "4:3" && value != "16:9") {
            error = "--aspect takes original, 4:3 or 16:9, not \"" + value + "\"";
            return false;
        }
        options.Aspect = value;
    } else if (arg == "--deinterlace") {
        if (!ReadDeinterlace(value, options.Deinterlace)) {
            error = "--deinterlace takes auto, always or never, not \"" + value + "\"";
            return false;
        }
    } else if (arg == "--jobs" || arg == "-j") {
        if (!ReadInt(value, options.Jobs) || options.Jobs < 1) {
            error = "--jobs needs a number of files of 1 or more, not \"" + value + "\"";
            return false;
        }
    } else if (arg == "--threads") {
        if (!ReadInt(value, options.Threads) || options.Threads < 0 ||
            options.Threads > kMaxCodecThreads) {
            error = "--threads needs a number of threads from 0 (the machine's choice) to " +
                    std::to_string(kMaxCodecThreads) + ", not \"" + value + "\"";
            return false;
        }
    } else if (arg == "--option") {
        const auto sign = value.find('=');
        if (sign == std::string::npos || sign == 0 ||
            value.find_first_of("\r\n") != std::string::npos) {
            error = "--option needs NAME=VALUE, not \"" + value + "\"";
            return false;
        }
        options.ExtraOptions.push_back(value);
    } else {
        error = "unknown option: " + arg;
        return false;
    }
    return true;
}

} // namespace

bool ParseConvertOptions(const std::vector<std::string>& args, ConvertOptions& options,
                         std::string& error) {
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            options.Files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        // Flags without a value.
        if (arg == "--overwrite") {
            options.Overwrite = true;
            continue;
        }
        if (arg == "--letterbox") {
            options.LetterBox = true;
            continue;
        }
        if (arg == "--quiet" || arg == "-q") {
            options.Quiet = true;
            continue;
        }
        if (arg == "--verbose") {
            options.Verbose = true;
            continue;
        }
        std::string value;
        const auto equals = arg.find('=');
        if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg = arg.substr(0, equals);
        } else {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            value = args[++i];
        }
        if (!readValueOption(arg, value, options, error))
            return false;
    }
    if (options.Format.empty()) {
        error = "a conversion needs -f FORMAT";
        return false;
    }
    if (options.OutputFolder.empty()) {
        error = "a conversion needs -o FOLDER";
        return false;
    }
    if (options.Files.empty()) {
        error = "a conversion needs at least one file";
        return false;
    }
    return true;
}
