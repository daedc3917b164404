// The main window's presets: "Save Settings As..." keeps the format, its boxes, the volume
// and the Additional Options under a name in the settings file; the Presets menu applies or
// deletes them. All on the window's thread.
#include "FillComboOutputFormat.h"
#include "MessageBox.h"
#include "SettingsStorePresets.h"
#include "Unit1.h"
#include "Unit4.h"

#include <QCheckBox>
#include <QComboBox>
#include <QInputDialog>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>

namespace {

// A preset's name as a menu entry: its first letter is the mnemonic, an "&" of its own stays.
QString entryText(const QString& name) {
    QString text = name;
    return QLatin1Char('&') + text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

std::optional<QString> askName(QWidget* owner, const QString& suggested) {
    bool ok = false;
    const QString name =
        QInputDialog::getText(owner, QStringLiteral("Save Settings As"),
                              QStringLiteral("Preset name:"), QLineEdit::Normal, suggested, &ok);
    if (!ok)
        return std::nullopt;
    return name;
}

// Chooses the entry with that text; false when the box has none.
bool selectText(QComboBox* box, const QString& text) {
    const int position = box->findText(text, Qt::MatchExactly);
    if (position < 0)
        return false;
    box->setCurrentIndex(position);
    return true;
}

} // namespace

void TForm1::buildPresetsMenu() {
    if (!m_services.askPresetName)
        m_services.askPresetName = askName;
    MenuPresets = menuBar()->addMenu(QStringLiteral("&Presets"));
    MenuPresets->setObjectName(QStringLiteral("MenuPresets"));
    refreshPresetsMenu();
}

void TForm1::refreshPresetsMenu() {
    MenuPresets->clear();
    ActionSaveSettingsAs = MenuPresets->addAction(QStringLiteral("&Save Settings As..."));
    connect(ActionSaveSettingsAs, &QAction::triggered, this, &TForm1::SaveSettingsAs);
    const std::vector<Preset> presets = readPresets(SettingsStorePresets(*m_services.settings));
    if (presets.empty())
        return;
    MenuPresets->addSeparator();
    for (const Preset& preset : presets) {
        QAction* apply = MenuPresets->addAction(entryText(preset.name));
        connect(apply, &QAction::triggered, this,
                [this, name = preset.name] { ApplyPreset(name); });
    }
    MenuPresets->addSeparator();
    QMenu* remove = MenuPresets->addMenu(QStringLiteral("&Delete Preset"));
    for (const Preset& preset : presets) {
        QAction* entry = remove->addAction(entryText(preset.name));
        connect(entry, &QAction::triggered, this,
                [this, name = preset.name] { DeletePreset(name); });
    }
}

void TForm1::SaveSettingsAs() {
    if (Converting)
        return;
    const std::optional<QString> asked = m_services.askPresetName(this, QString());
    if (!asked)
        return;
    const QString name = asked->trimmed();
    if (name.isEmpty()) {
        m_services.messages->information(QStringLiteral("A preset needs a name."));
        return;
    }
    SettingsStorePresets storage(*m_services.settings);
    std::vector<Preset> presets = readPresets(storage);
    if (findPreset(presets, name) &&
        !m_services.messages->question(
            QStringLiteral("A preset named \"%1\" exists already. Replace it?").arg(name)))
        return;
    Preset preset;
    preset.name = name;
    preset.format = ComboOutputFormat->currentText();
    for (std::size_t i = 0; i < PresetBoxNames.size(); ++i)
        if (const auto* box = findChild<QComboBox*>(QString::fromLatin1(PresetBoxNames[i])))
            preset.boxes[i] = box->currentText();
    preset.volumePercent = VolumeSteps[static_cast<std::size_t>(TrackBar1->value())].Percent;
    preset.letterBox = LetterBoxChosen() ? 1 : 0;
    preset.aspectRatio = std::max(0, ComboAspectRatio->currentIndex());
    preset.overwrite = OverwriteChosen();
    preset.filesAtOnce = FilesAtOnceChosen();
    preset.deinterlace = static_cast<int>(DeinterlaceChosen());
    const StreamChoices streams = StreamsChosen();
    preset.subtitles = streams.KeepSubtitles ? 0 : 1;
    preset.audioTracks = streams.AudioTracks == StreamChoices::Tracks::DefaultOnly ? 1 : 0;
    putPreset(presets, preset);
    if (!writePresets(storage, presets))
        m_services.messages->information(
            QStringLiteral("The preset \"%1\" could not be saved: the settings file cannot be "
                           "written.")
                .arg(name));
    refreshPresetsMenu();
}

bool TForm1::ApplyPreset(const QString& name) {
    if (Converting)
        return false;
    const std::optional<Preset> preset =
        findPreset(readPresets(SettingsStorePresets(*m_services.settings)), name);
    if (!preset) {
        m_services.messages->information(
            QStringLiteral("There is no preset named \"%1\".").arg(name));
        return false;
    }
    if (!selectText(ComboOutputFormat, preset->format)) {
        m_services.messages->information(
            QStringLiteral("The preset \"%1\" is for the format \"%2\", which the format list "
                           "does not offer.")
                .arg(name, preset->format));
        return false;
    }
    ComboOutputFormatChange();
    // The audio codec first: some formats offer other rates for each audio codec.
    const QString audioCodecBox = QStringLiteral("ComboAudioCodec");
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < PresetBoxNames.size(); ++i)
        order.insert(PresetBoxNames[i] == audioCodecBox ? order.begin() : order.end(), i);
    QStringList notOffered;
    for (const std::size_t i : order) {
        const QString boxName = QString::fromLatin1(PresetBoxNames[i]);
        auto* box = findChild<QComboBox*>(boxName);
        if (box && !preset->boxes[i].isEmpty() && !selectText(box, preset->boxes[i]))
            notOffered << preset->boxes[i];
        if (boxName == audioCodecBox)
            OnAudioCodecChange(m_format);
    }
    for (std::size_t position = 0; position < VolumeSteps.size(); ++position)
        if (VolumeSteps[position].Percent == preset->volumePercent)
            TrackBar1->setValue(static_cast<int>(position));
    if (Form4) {
        Form4->ComboLetterBox->setCurrentIndex(preset->letterBox == 1 ? 1 : 0);
        Form4->CheckBoxOverWrite->setChecked(preset->overwrite);
        Form4->SpinFilesAtOnce->setValue(preset->filesAtOnce);
        if (preset->deinterlace >= 0 && preset->deinterlace < Form4->ComboDeinterlace->count())
            Form4->ComboDeinterlace->setCurrentIndex(preset->deinterlace);
        Form4->ComboSubtitles->setCurrentIndex(preset->subtitles == 1 ? 1 : 0);
        Form4->ComboAudioTracks->setCurrentIndex(preset->audioTracks == 1 ? 1 : 0);
    }
    // After the format change, which chooses "Original".
    if (preset->aspectRatio >= 0 && preset->aspectRatio < ComboAspectRatio->count())
        ComboAspectRatio->setCurrentIndex(preset->aspectRatio);
    if (!notOffered.isEmpty())
        m_services.messages->information(
            QStringLiteral("The format does not offer every setting of the preset \"%1\"; these "
                           "were left as they are: %2")
                .arg(name, notOffered.join(QStringLiteral(", "))));
    return true;
}

void TForm1::DeletePreset(const QString& name) {
    if (Converting ||
        !m_services.messages->question(QStringLiteral("Delete the preset \"%1\"?").arg(name)))
        return;
    SettingsStorePresets storage(*m_services.settings);
    std::vector<Preset> presets = readPresets(storage);
    if (removePreset(presets, name) && !writePresets(storage, presets))
        m_services.messages->information(
            QStringLiteral("The preset \"%1\" could not be deleted: the settings file cannot be "
                           "written.")
                .arg(name));
    refreshPresetsMenu();
}
