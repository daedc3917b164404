#include "ConvertOptions.h"

#include "EngineOptionState.h"
#include "PresetOptions.h"

#include <charconv>
#include <iterator>
#include <strings.h>

namespace {

using Option = CommandOption<ConvertOptions>;

bool ReadInt(const std::string& text, int& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

template <bool ConvertOptions::*Flag>
bool SetFlag(ConvertOptions& options, const Option&, const std::string&, std::string&) {
    options.*Flag = true;
    return true;
}

template <std::string ConvertOptions::*Text>
bool SetText(ConvertOptions& options, const Option&, const std::string& value, std::string&) {
    options.*Text = value;
    return true;
}

bool SetSetting(ConvertOptions& options, const Option& option, const std::string& value,
                std::string&) {
    options.Settings.emplace_back(FindSettingOption(option.Long), value);
    return true;
}

bool SetVolume(ConvertOptions& options, const Option&, const std::string& value,
               std::string& error) {
    if (ReadInt(value, options.VolumePercent))
        return true;
    error = "'--volume' needs a percentage (0, 20, ..., 200), not \"" + value + "\"";
    return false;
}

bool SetAspect(ConvertOptions& options, const Option&, const std::string& value,
               std::string& error) {
    if (value != "original" && value != "4:3" && value != "16:9") {
        error = "'--aspect' takes original, 4:3 or 16:9, not \"" + value + "\"";
        return false;
    }
    options.Aspect = value;
    return true;
}

// "auto", "always" or "never" (any case), as the setting's entries.
bool SetDeinterlace(ConvertOptions& options, const Option&, const std::string& value,
                    std::string& error) {
    for (std::size_t i = 0; i < DeinterlaceEntries.size(); ++i)
        if (strcasecmp(value.c_str(), DeinterlaceEntries[i]) == 0) {
            options.Deinterlace = static_cast<DeinterlaceChoice>(i);
            return true;
        }
    error = "'--deinterlace' takes auto, always or never, not \"" + value + "\"";
    return false;
}

bool SetJobs(ConvertOptions& options, const Option&, const std::string& value, std::string& error) {
    if (ReadInt(value, options.Jobs) && options.Jobs >= 1)
        return true;
    error = "'--jobs' needs a number of files of 1 or more, not \"" + value + "\"";
    return false;
}

bool SetThreads(ConvertOptions& options, const Option&, const std::string& value,
                std::string& error) {
    if (ReadInt(value, options.Threads) && options.Threads >= 0 &&
        options.Threads <= kMaxCodecThreads)
        return true;
    error = "'--threads' needs a number of threads from 0 (the machine's choice) to " +
            std::to_string(kMaxCodecThreads) + ", not \"" + value + "\"";
    return false;
}

bool SetSubtitles(ConvertOptions& options, const Option&, const std::string& value,
                  std::string& error) {
    if (value != "keep" && value != "none") {
        error = "'--subtitles' takes keep or none, not \"" + value + "\"";
        return false;
    }
    options.Streams.KeepSubtitles = value == "keep";
    return true;
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

bool SetAudioTracks(ConvertOptions& options, const Option&, const std::string& value,
                    std::string& error) {
    if (ReadAudioTracks(value, options.Streams))
        return true;
    error = "'--audio-tracks' takes all, default or stream numbers such as 1,2 (see --probe "
            "--streams), not \"" +
            value + "\"";
    return false;
}

bool AddEngineOption(ConvertOptions& options, const Option&, const std::string& value,
                     std::string& error) {
    const auto sign = value.find('=');
    if (sign == std::string::npos || sign == 0 ||
        value.find_first_of("\r\n") != std::string::npos) {
        error = "'--option' needs NAME=VALUE, not \"" + value + "\"";
        return false;
    }
    options.ExtraOptions.push_back(value);
    return true;
}

// The rows before the settings boxes.
const Option kLeadingRows[] = {
    {{"-f", "--format", "FORMAT", "the output format (see FORMAT below)"},
     SetText<&ConvertOptions::Format>},
    {{"-o", "--output-folder", "FOLDER",
      "the folder the outputs go to; a folder that does not exist is created (and said so)"},
     SetText<&ConvertOptions::OutputFolder>},
};

// The rows after the settings boxes.
const Option kTrailingRows[] = {
    {{nullptr, "--volume", "PERCENT", "output volume: 0, 20, 40, ... 200 (default 100)"},
     SetVolume},
    {{nullptr, "--aspect", "A",
      "aspect ratio: original (from the input's size; the default), 4:3 or 16:9"},
     SetAspect},
    {{nullptr, "--letterbox", nullptr,
      "show a picture of another shape than the output whole, with black bars, instead of "
      "stretching it"},
     SetFlag<&ConvertOptions::LetterBox>},
    {{nullptr, "--deinterlace", "D",
      "auto (pictures of interlaced sources; the default), always or never"},
     SetDeinterlace},
    {{nullptr, "--overwrite", nullptr,
      "replace existing outputs of the same name; an input file or an output of this run is "
      "never replaced (a free \"-n\" name is taken instead)"},
     SetFlag<&ConvertOptions::Overwrite>},
    {{nullptr, "--subtitles", "S",
      "keep (the default): text subtitles go into MKV as they are, into MP4, MOV, M4V and 3GP "
      "as mov_text, into WebM as WebVTT, picture subtitles into MKV only; none: no subtitles"},
     SetSubtitles},
    {{nullptr, "--audio-tracks", "T",
      "all (the default): MKV, WebM, MP4 and MOV keep every sound track, other formats the "
      "input's default one; default: the default track only; N[,M...]: the tracks of these "
      "stream numbers (see --probe --streams), the first of them where the format holds one"},
     SetAudioTracks},
    {{"-j", "--jobs", "N", "convert N files at once (default 1)"}, SetJobs},
    {{nullptr, "--threads", "N",
      "threads of each decoder and encoder: 0 lets the libraries choose for the machine (the "
      "default), 1 keeps each file's work on one thread"},
     SetThreads},
    {{nullptr, "--option", "NAME=VALUE",
      "an engine option added to every output (repeatable), for example --option qscale=4. It "
      "wins over the format's settings and the flags above: vcodec, acodec, s, aspect, b, "
      "vb, ab, ar, ac, vol, target, async, vsync, copyts, padcolor, alang, slang, title, "
      "author, copyright, comment, album and genre take the option's value. Refused (exit "
      "2): v (use --verbose) and padtop, padbottom, padleft, padright with --letterbox."},
     AddEngineOption},
    {{nullptr, "--preset", "NAME",
      "start from the format, settings, volume and Additional Options saved in the window "
      "under NAME (\"Save Settings As...\"); -f and the options above, given beside it, win "
      "(another format leaves the preset's settings boxes out)"},
     SetText<&ConvertOptions::Preset>},
    {{"-q", "--quiet", nullptr, "no progress lines and no closing line"},
     SetFlag<&ConvertOptions::Quiet>},
    {{nullptr, "--verbose", nullptr, "print the engine's and the libraries' log lines on stderr"},
     SetFlag<&ConvertOptions::Verbose>},
};

} // namespace

const std::vector<Option>& ConvertOptionTable() {
    static const std::vector<Option> table = [] {
        std::vector<Option> rows(std::begin(kLeadingRows), std::end(kLeadingRows));
        for (const SettingOption& setting : SettingOptions)
            rows.push_back({{nullptr, setting.Option, "V", setting.Label}, SetSetting});
        rows.insert(rows.end(), std::begin(kTrailingRows), std::end(kTrailingRows));
        return rows;
    }();
    return table;
}

bool ParseConvertOptions(const std::vector<std::string>& args, ConvertOptions& options,
                         std::string& error) {
    if (!ParseCommandLine<ConvertOptions>(args, ConvertOptionTable(), options, options.Files,
                                          error))
        return false;
    if (!options.Preset.empty() && !ReadOverPreset(args, options, error))
        return false;
    if (options.Format.empty())
        error = "a conversion needs -f FORMAT (the output format)";
    else if (options.OutputFolder.empty())
        error = "a conversion needs -o FOLDER (where the outputs go)";
    else if (options.Files.empty())
        error = "a conversion needs at least one file";
    return error.empty();
}
