// TForm4, the Additional Options dialog: video zoom, aspect-ratio and deinterlace choices,
// overwrite, the format list's drop-down count, the number of files converted at once and the
// subtitles and sound tracks that go out; it loads the persistent settings into itself and the
// main window when created, and saves them when the main window closes.
#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;
class QSpinBox;
class SettingsStore;
class TForm1;

class TForm4 : public QDialog {
    Q_OBJECT
public:
    // Builds the controls, fills both lists and runs LoadSettings (errors ignored). The
    // store and the main window outlive the dialog.
    TForm4(TForm1& mainForm, SettingsStore& store, QWidget* parent = nullptr);

    // Reads the five values into both windows; after a failed read writes the controls'
    // values back at once. The files at once (missing: 1) and the stream choices (missing:
    // "Keep", "All") are read beside them.
    void LoadSettings();
    // Writes the values from the controls; errors end the writing silently.
    void SaveSettings();

    // The highest "Files at once": the machine's cores, at least 1.
    static int MaximumFilesAtOnce();

    QComboBox* ComboLetterBox = nullptr;
    QComboBox* ComboAspectRatio4 = nullptr;
    // "Deinterlace": "Auto" (pictures of interlaced sources), "Always", "Never".
    QComboBox* ComboDeinterlace = nullptr;
    QCheckBox* CheckBoxOverWrite = nullptr;
    QSpinBox* SpinEdit1 = nullptr;
    // "Files at once": how many checked rows a run converts at the same time.
    QSpinBox* SpinFilesAtOnce = nullptr;
    // Which streams of an input go out: "Subtitles" ("Keep", "Leave out") and "Audio
    // tracks" ("All", "Default only").
    QComboBox* ComboSubtitles = nullptr;
    QComboBox* ComboAudioTracks = nullptr;
    QPushButton* ButtonDone = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The three groups of controls, with their lists and defaults.
    QGroupBox* buildVideoOptions();
    QGroupBox* buildGeneralOptions();
    QGroupBox* buildStreamOptions();
    void SpinEdit1Change();
    void ComboAspectRatio4Change();
    // Chooses the stored format box position without running the format change.
    void restoreFormat(int position);
    // Makes the aspect-ratio list show the choice the main window holds, which a format
    // change resets to its profile's default.
    void showAspectRatioInUse();

    TForm1& m_mainForm;
    SettingsStore& m_store;
};
