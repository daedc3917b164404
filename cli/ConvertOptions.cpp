#include "ConvertOptions.h"

#include "EngineOptionState.h"

#include <charconv>

namespace {

bool ReadInt(const std::string& text, int& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

// "all", "default" or stream numbers separated by commas ("1,2").
bool ReadAudioTracks(const std::string& text, StreamChoices& choices) {
    if (text == "all" || text == "default") {
        choices.AudioTracks =
            text == "all" ? StreamChoices::Tracks::All : StreamChoices::Tracks::DefaultOnly;
        choices.ListedTracks.clear();
        return true;
    }
    std::vector<int> numbers;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        int number = 0;
        if (!ReadInt(text.substr(start, comma - start), number) || number < 0)
            return false;
        numbers.push_back(number);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    choices.AudioTracks = StreamChoices::Tracks::Listed;
    choices.ListedTracks = numbers;
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
        } else if (arg == "--subtitles") {
            if (value != "keep" && value != "none") {
                error = "--subtitles takes keep or none, not \"" + value + "\"";
                return false;
            }
            options.Streams.KeepSubtitles = value == "keep";
        } else if (arg == "--audio-tracks") {
            if (!ReadAudioTracks(value, options.Streams)) {
                error = "--audio-tracks takes all, default or stream numbers such as 1,2 (see "
                        "--probe --streams), not \"" +
                        value + "\"";
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
