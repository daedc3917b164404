#include "PresetOptions.h"

#include "CliCommon.h"
#include "CliFormatBox.h"
#include "Presets.h"
#include "SettingChoice.h"

#include <algorithm>

namespace {

// The options a preset stands for, as if they had been given on the command line.
void startFromPreset(const Preset& preset, ConvertOptions& options) {
    options.Format = preset.format.toStdString();
    // A preset keeps the boxes in the order of the window's box table, as the setting
    // options name them.
    static_assert(PresetBoxNames.size() == SettingOptions.size());
    for (std::size_t i = 0; i < PresetBoxNames.size(); ++i)
        if (!preset.boxes[i].isEmpty())
            options.Settings.emplace_back(&SettingOptions[i], preset.boxes[i].toStdString());
    options.VolumePercent = preset.volumePercent;
    static constexpr const char* aspects[] = {"original", "4:3", "16:9"};
    if (preset.aspectRatio >= 0 && preset.aspectRatio < 3)
        options.Aspect = aspects[preset.aspectRatio];
    options.LetterBox = preset.letterBox == 1;
    options.Overwrite = preset.overwrite;
    options.Jobs = std::max(1, preset.filesAtOnce);
    if (preset.deinterlace >= 0 && preset.deinterlace < static_cast<int>(DeinterlaceEntries.size()))
        options.Deinterlace = static_cast<DeinterlaceChoice>(preset.deinterlace);
    options.Streams.KeepSubtitles = preset.subtitles != 1;
    options.Streams.AudioTracks =
        preset.audioTracks == 1 ? StreamChoices::Tracks::DefaultOnly : StreamChoices::Tracks::All;
}

// True when the two FORMAT texts name the same catalogue row.
bool sameFormat(const std::string& first, const std::string& second) {
    if (first == second)
        return true;
    std::string ignored;
    const OutputFormatEntry* row = ResolveFormat(first, ignored);
    return row != nullptr && row == ResolveFormat(second, ignored);
}

} // namespace

int runListPresets(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty())
        return usageError(err, "'--list-presets' takes no arguments");
    for (const Preset& preset : readUserPresets())
        out << preset.name.toStdString() << '\t' << preset.format.toStdString() << '\n';
    return 0;
}

bool ReadOverPreset(const std::vector<std::string>& args, ConvertOptions& options,
                    std::string& error) {
    const std::optional<Preset> preset =
        findPreset(readUserPresets(), QString::fromStdString(options.Preset));
    if (!preset) {
        error =
            "'--preset': there is no preset named \"" + options.Preset + "\" (see --list-presets)";
        return false;
    }
    ConvertOptions start;
    startFromPreset(*preset, start);
    const std::size_t presetSettings = start.Settings.size();
    if (!ParseCommandLine<ConvertOptions>(args, ConvertOptionTable(), start, start.Files, error))
        return false;
    // Another format given beside the preset has boxes of its own: the preset's box entries,
    // chosen for the preset's format, are left out (its volume and the rest still count).
    if (!sameFormat(start.Format, preset->format.toStdString()))
        start.Settings.erase(start.Settings.begin(),
                             start.Settings.begin() + static_cast<std::ptrdiff_t>(presetSettings));
    options = std::move(start);
    return true;
}
