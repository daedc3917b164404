// Reading and writing the presets list in the settings file.
#include "Presets.h"

#include <QSettings>

#include <algorithm>

namespace {

const QString kGroup = QStringLiteral("Presets/");
const QString kSize = QStringLiteral("Presets/size");
// The fields of one entry besides the boxes.
const QString kName = QStringLiteral("Name");
const QString kFormat = QStringLiteral("Format");
const QString kVolume = QStringLiteral("Volume");
const QString kLetterBox = QStringLiteral("LetterBox");
const QString kAspectRatio = QStringLiteral("AspectRatio");
const QString kOverwrite = QStringLiteral("Overwrite");
const QString kFilesAtOnce = QStringLiteral("FilesAtOnce");
const QString kDeinterlace = QStringLiteral("Deinterlace");
const QString kSubtitles = QStringLiteral("Subtitles");
const QString kAudioTracks = QStringLiteral("AudioTracks");

QString key(int number, const QString& field) {
    return kGroup + QString::number(number) + QLatin1Char('/') + field;
}

QStringList entryFields() {
    QStringList fields{kName,      kFormat,      kVolume,      kLetterBox, kAspectRatio,
                       kOverwrite, kFilesAtOnce, kDeinterlace, kSubtitles, kAudioTracks};
    for (const char* box : PresetBoxNames)
        fields << QString::fromLatin1(box);
    return fields;
}

// An integer as stored (an INI file gives texts); `fallback` when it is no number.
int integer(const QVariant& value, int fallback) {
    bool ok = false;
    const int number = value.toInt(&ok);
    return ok ? number : fallback;
}

Preset readEntry(const PresetStorage& storage, int number) {
    Preset preset;
    preset.name = storage.value(key(number, kName)).toString();
    preset.format = storage.value(key(number, kFormat)).toString();
    for (std::size_t i = 0; i < PresetBoxNames.size(); ++i)
        preset.boxes[i] =
            storage.value(key(number, QString::fromLatin1(PresetBoxNames[i]))).toString();
    preset.volumePercent = integer(storage.value(key(number, kVolume)), 100);
    preset.letterBox = integer(storage.value(key(number, kLetterBox)), 0);
    preset.aspectRatio = integer(storage.value(key(number, kAspectRatio)), 0);
    preset.overwrite = integer(storage.value(key(number, kOverwrite)), 0) != 0;
    preset.filesAtOnce = integer(storage.value(key(number, kFilesAtOnce)), 1);
    preset.deinterlace = integer(storage.value(key(number, kDeinterlace)), 0);
    preset.subtitles = integer(storage.value(key(number, kSubtitles)), 0);
    preset.audioTracks = integer(storage.value(key(number, kAudioTracks)), 0);
    return preset;
}

bool writeEntry(PresetStorage& storage, int number, const Preset& preset) {
    bool written = storage.setValue(key(number, kName), preset.name) &&
                   storage.setValue(key(number, kFormat), preset.format);
    for (std::size_t i = 0; written && i < PresetBoxNames.size(); ++i)
        written =
            storage.setValue(key(number, QString::fromLatin1(PresetBoxNames[i])), preset.boxes[i]);
    return written && storage.setValue(key(number, kVolume), preset.volumePercent) &&
           storage.setValue(key(number, kLetterBox), preset.letterBox) &&
           storage.setValue(key(number, kAspectRatio), preset.aspectRatio) &&
           storage.setValue(key(number, kOverwrite), preset.overwrite ? 1 : 0) &&
           storage.setValue(key(number, kFilesAtOnce), preset.filesAtOnce) &&
           storage.setValue(key(number, kDeinterlace), preset.deinterlace) &&
           storage.setValue(key(number, kSubtitles), preset.subtitles) &&
           storage.setValue(key(number, kAudioTracks), preset.audioTracks);
}

} // namespace

std::vector<Preset> readPresets(const PresetStorage& storage) {
    std::vector<Preset> presets;
    const int size = integer(storage.value(kSize), 0);
    for (int number = 1; number <= size; ++number) {
        Preset preset = readEntry(storage, number);
        if (preset.name.isEmpty() || preset.format.isEmpty() || findPreset(presets, preset.name))
            continue;
        presets.push_back(std::move(preset));
    }
    return presets;
}

bool writePresets(PresetStorage& storage, const std::vector<Preset>& presets) {
    const int previous = integer(storage.value(kSize), 0);
    bool written = true;
    for (std::size_t i = 0; written && i < presets.size(); ++i)
        written = writeEntry(storage, static_cast<int>(i) + 1, presets[i]);
    written = written && storage.setValue(kSize, static_cast<int>(presets.size()));
    // Entries past the new end are left over from a longer list.
    const QStringList fields = entryFields();
    for (int number = static_cast<int>(presets.size()) + 1; written && number <= previous; ++number)
        for (const QString& field : fields)
            storage.remove(key(number, field));
    const bool synced = storage.sync();
    return written && synced;
}

std::optional<Preset> findPreset(const std::vector<Preset>& presets, const QString& name) {
    const auto found = std::find_if(presets.begin(), presets.end(),
                                    [&name](const Preset& preset) { return preset.name == name; });
    if (found == presets.end())
        return std::nullopt;
    return *found;
}

void putPreset(std::vector<Preset>& presets, const Preset& preset) {
    for (Preset& existing : presets)
        if (existing.name == preset.name) {
            existing = preset;
            return;
        }
    presets.push_back(preset);
}

bool removePreset(std::vector<Preset>& presets, const QString& name) {
    const auto before = presets.size();
    std::erase_if(presets, [&name](const Preset& preset) { return preset.name == name; });
    return presets.size() != before;
}

namespace {

// The presets of a QSettings file.
class SettingsFilePresets : public PresetStorage {
public:
    SettingsFilePresets()
        : m_settings(QString::fromLatin1(kSettingsOrganisation),
                     QString::fromLatin1(kSettingsApplication)) {}
    QVariant value(const QString& key) const override { return m_settings.value(key); }
    bool setValue(const QString& key, const QVariant& value) override {
        m_settings.setValue(key, value);
        return m_settings.status() == QSettings::NoError;
    }
    void remove(const QString& key) override { m_settings.remove(key); }
    bool sync() override {
        m_settings.sync();
        return m_settings.status() == QSettings::NoError;
    }

private:
    QSettings m_settings;
};

} // namespace

std::vector<Preset> readUserPresets() {
    const SettingsFilePresets storage;
    return readPresets(storage);
}
