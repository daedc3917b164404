// TForm1, the main window: toolbar, format box, file list and its intake, settings boxes,
// preview area, volume, status bar and menus.
#pragma once

#include "FFmpegVCL.h"
#include "FileListView.h"
#include "FormatBoxState.h"
#include "QtSettingsBox.h"
#include "QtTaskScheduler.h"

#include <QMainWindow>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>

class FolderBrowser;
class HelpViewer;
class MessageBox;
class MoviePlayerControl;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QSlider;
class QToolButton;
class TFormAbout;

// What the window needs from the desktop; tests put scripted stand-ins here. Null
// services are replaced by the real ones.
struct TForm1Services {
    MessageBox* messages = nullptr;
    FolderBrowser* folderBrowser = nullptr;
    HelpViewer* helpViewer = nullptr;
    // The preview player; null creates the Qt Multimedia player in the preview area.
    MoviePlayerControl* player = nullptr;
    // Loads the media libraries into the component; by default from the program's folder
    // with versioned names.
    std::function<bool(TFFmpegVCL& component)> loadLibraries;
    // The open dialog: the Qt filter in, the chosen files out (empty when cancelled).
    std::function<QStringList(QWidget* owner, const QString& filter)> chooseFiles;
    // Ends the application at once ("Exit"); by default leaves the event loop.
    std::function<void()> exitApplication;
};

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(TForm1Services services = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // The creation steps after the controls exist. False when the media libraries did not
    // load: the user has been told and the program must end.
    bool FormCreate();

    // ---- Commands ----
    void ButtonAddFileClick();
    // The intake of the given files (from the open dialog or dropped onto the list).
    void AddFiles(const QStringList& files);
    void ButtonRemoveClick();
    void ButtonClearClick();
    void ButtonBrowseForFolderClick();
    void CheckAllItems(bool checked);
    void RemoveSelectedItems();
    void RemoveAllItems();
    void ComboOutputFormatChange();
    void Exit();

    // ---- State ----
    bool Adding = false;
    bool Converting = false;
    bool PreviewPaused = false;
    int VolumeValue = 255;

    // ---- Controls (named as designed) ----
    QToolButton* ButtonAddFile = nullptr;
    QToolButton* ButtonRemove = nullptr;
    QToolButton* ButtonClear = nullptr;
    QToolButton* ButtonStopConvert = nullptr;
    QToolButton* ButtonConvert = nullptr;
    QComboBox* ComboOutputFormat = nullptr;
    QLineEdit* EditOutputFolder = nullptr;
    QToolButton* ButtonBrowseForFolder = nullptr;
    FileListView* ListView1 = nullptr;
    QComboBox* ComboAspectRatio = nullptr;
    QWidget* PreviewArea = nullptr;
    QToolButton* ButtonPlay = nullptr;
    QToolButton* ButtonPause = nullptr;
    QToolButton* ButtonStop = nullptr;
    QComboBox* ComboVideoBitrate = nullptr;
    QComboBox* ComboVideoCodec = nullptr;
    QComboBox* ComboVideoSize = nullptr;
    QComboBox* ComboVideoFramerate = nullptr;
    QComboBox* ComboAudioBitrate = nullptr;
    QComboBox* ComboAudioCodec = nullptr;
    QComboBox* ComboAudioChannels = nullptr;
    QComboBox* ComboSamplingRate = nullptr;
    QSlider* TrackBar1 = nullptr;
    QLabel* LabelVolume = nullptr;
    std::array<QLabel*, 2> StatusPanels{};
    QProgressBar* ProgressBar1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    TFormAbout* FormAbout = nullptr;

    TFFmpegVCL FFmpegVCL1;
    FormatBoxState& formatState() { return m_format; }
    MoviePlayerControl& player() { return *m_player; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildMenus();
    QWidget* buildToolbar();
    QWidget* buildSettingsPanel();
    void buildStatusBar();
    QComboBox* makeDropDown(const QString& name);
    void TrackBar1Change();

    TForm1Services m_services;
    std::unique_ptr<MessageBox> m_ownMessages;
    std::unique_ptr<FolderBrowser> m_ownFolderBrowser;
    std::unique_ptr<HelpViewer> m_ownHelpViewer;
    MoviePlayerControl* m_player = nullptr;
    QtTaskScheduler m_scheduler;
    std::vector<std::unique_ptr<QtSettingsBox>> m_boxes;
    FormatBoxState m_format;
    bool m_shownOnce = false;
};
