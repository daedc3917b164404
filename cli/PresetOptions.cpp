#include "PresetOptions.h"

#include "Presets.h"
#include "SettingChoice.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr const char* kPresetOption = "--preset";

// The preset named among the arguments; false with `error` when --preset has no value.
bool presetName(const std::vector<std::string>& args, std::string& name, std::string& error) {
    const std::string withValue = std::string(kPresetOption) + "=";
    for (std::size_t i = 0; i < args.size() && args[i] != "--"; ++i) {
        if (args[i].rfind(withValue, 0) == 0) {
            name = args[i].substr(withValue.size());
        } else if (args[i] == kPresetOption) {
            if (i + 1 >= args.size()) {
                error = std::string(kPresetOption) + " needs a value";
                return false;
            }
            name = args[++i];
        }
    }
    return true;
}

const SettingOption* optionOfBox(const char* boxName) {
    for (const SettingOption& option : SettingOptions)
        if (std::strcmp(option.BoxName, boxName) == 0)
            return &option;
    return nullptr;
}

} // namespace

int runListPresets(std::ostream& out) {
    for (const Preset& preset : readUserPresets())
        out << preset.name.toStdString() << '\t' << preset.format.toStdString() << '\n';
    return 0;
}

bool ApplyPresetArgument(const std::vector<std::string>& args, ConvertOptions& options,
                         std::string& error) {
    std::string name;
    if (!presetName(args, name, error))
        return false;
    if (name.empty())
        return true;
    const std::optional<Preset> preset =
        findPreset(readUserPresets(), QString::fromStdString(name));
    if (!preset) {
        error = "there is no preset named \"" + name + "\" (see --list-presets)";
        return false;
    }
    options.Format = preset->format.toStdString();
    for (std::size_t i = 0; i < PresetBoxNames.size(); ++i)
        if (const SettingOption* option = optionOfBox(PresetBoxNames[i]);
            option && !preset->boxes[i].isEmpty())
            options.Settings.emplace_back(option, preset->boxes[i].toStdString());
    options.VolumePercent = preset->volumePercent;
    static constexpr const char* aspects[] = {"original", "4:3", "16:9"};
    if (preset->aspectRatio >= 0 && preset->aspectRatio < 3)
        options.Aspect = aspects[preset->aspectRatio];
    options.LetterBox = preset->letterBox == 1;
    options.Overwrite = preset->overwrite;
    options.Jobs = std::max(1, preset->filesAtOnce);
    return true;
}
