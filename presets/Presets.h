// Presets: the output format, its settings boxes, the volume and the Additional Options
// saved under a name. They live in the settings file beside the other values, as the list
// "Presets" (Presets/size, Presets/1/Name, Presets/1/Format, ...).
#pragma once

#include <QString>
#include <QVariant>

#include <array>
#include <optional>
#include <vector>

// The settings boxes a preset keeps, by the names of the window's boxes; the converter's
// options set the same boxes.
inline constexpr std::array<const char*, 8> PresetBoxNames = {
    "ComboVideoBitrate", "ComboVideoCodec", "ComboVideoSize",     "ComboVideoFramerate",
    "ComboAudioBitrate", "ComboAudioCodec", "ComboAudioChannels", "ComboSamplingRate"};

struct Preset {
    QString name;
    QString format; // the format box entry, as shown
    // The boxes' texts in the order of PresetBoxNames; empty for a box without a choice.
    std::array<QString, PresetBoxNames.size()> boxes;
    int volumePercent = 100;
    int letterBox = 0;   // "Video Zoom": 0 "None", 1 "LetterBox"
    int aspectRatio = 0; // 0 "Original", 1 "4:3", 2 "16:9"
    bool overwrite = false;
    int filesAtOnce = 1;
    int deinterlace = 0; // "Deinterlace": 0 "Auto", 1 "Always", 2 "Never"
    int subtitles = 0;   // "Subtitles": 0 "Keep", 1 "Leave out"
    int audioTracks = 0; // "Audio tracks": 0 "All", 1 "Default only"

    bool operator==(const Preset&) const = default;
};

// Where presets are read from and written to: the window's settings store or the
// converter's QSettings. Keys are "Presets/..." paths.
class PresetStorage {
public:
    virtual ~PresetStorage() = default;
    // An invalid QVariant when the key is missing.
    virtual QVariant value(const QString& key) const = 0;
    // False when the store refused the value.
    virtual bool setValue(const QString& key, const QVariant& value) = 0;
    virtual void remove(const QString& key) = 0;
    // Writes everything out; false when the file could not be written.
    virtual bool sync() = 0;
};

// The presets in their stored order. Entries without a name or a format are skipped, and
// of two with the same name the first counts.
std::vector<Preset> readPresets(const PresetStorage& storage);
// Replaces the stored list with `presets` and writes it out. False when it could not be
// written.
bool writePresets(PresetStorage& storage, const std::vector<Preset>& presets);
// The preset of that name (exact), or nothing.
std::optional<Preset> findPreset(const std::vector<Preset>& presets, const QString& name);
// Adds the preset, or replaces the one of the same name in its place.
void putPreset(std::vector<Preset>& presets, const Preset& preset);
// Removes the preset of that name; false when there was none.
bool removePreset(std::vector<Preset>& presets, const QString& name);

// The user's own settings file (~/.config/Morvane/Vidbrisk.conf), where the window keeps
// its values and presets; read as the converter does.
inline constexpr const char* kSettingsOrganisation = "Morvane";
inline constexpr const char* kSettingsApplication = "Vidbrisk";
std::vector<Preset> readUserPresets();
