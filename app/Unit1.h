// TForm1, the main window: toolbar, format box, file list and its intake, settings boxes,
// preview area, volume, status bar and menus.
#pragma once

#include "AddFileToFFMPEG.h"
#include "DesktopOpener.h"
#include "FFmpegVCL.h"
#include "FileListView.h"
#include "JobBuilderHost.h"
#include "FormatBoxState.h"
#include "QtSettingsBox.h"
#include "QtTaskScheduler.h"
#include "QueueFile.h"
#include "RunSummary.h"
#include "RunTimeLeft.h"
#include "VolumeTrackBar.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QStringList>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>

class FolderBrowser;
class HelpViewer;
class MessageBox;
class MoviePlayerControl;
class QAction;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QTimer;
class QToolButton;
class QVBoxLayout;
class SettingsStore;
class TForm4;
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
    // Shows a desktop notification; by default the session's notification service or tray.
    std::function<void(const QString& title, const QString& text)> notify;
    // The persistent settings; null uses the current user's settings.
    SettingsStore* settings = nullptr;
    // The file the list is kept in across runs; empty keeps no list (the program names
    // QueueFile::defaultPath()).
    QString queueFile;
    // Shows outputs on the desktop; null uses the file manager's D-Bus interface and
    // xdg-open.
    DesktopOpener* opener = nullptr;
    // Asks for a preset's name ("Save Settings As..."); nothing when cancelled.
    std::function<std::optional<QString>(QWidget* owner, const QString& suggested)> askPresetName;
    // The output folder of a first start; by default the desktop's videos folder, else the
    // home folder.
    std::function<QString()> defaultOutputFolder;
};

// The speed of a conversion and the time it has left, as "1.50x, 00:00:42 left"; empty
// until half a second of work gives a steady figure.
QString SpeedText(int64_t convertedMs, int64_t elapsedMs, int64_t remainingMs);
// A file size in decimal units with one decimal: "143.2 kB", "1.5 MB", "2.0 GB".
QString FileSizeText(int64_t bytes);

// The window runs the conversion queue through the job builder, which it serves as host.
class TForm1 : public QMainWindow, public JobBuilderHost {
    Q_OBJECT
public:
    explicit TForm1(TForm1Services services = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // The creation steps after the controls exist, then the Additional Options dialog with
    // the stored settings. False when the media libraries did not load: the user has been
    // told and the program must end.
    bool FormCreate();

    // ---- Commands ----
    void ButtonAddFileClick();
    // The intake of the given files (from the open dialog or dropped onto the list); a
    // file the list holds already gets its row selected instead of a second row.
    void AddFiles(const QStringList& chosen);
    void ButtonRemoveClick();
    void ButtonClearClick();
    void ButtonBrowseForFolderClick();
    void CheckAllItems(bool checked);
    void RemoveSelectedItems();
    void RemoveAllItems();
    void ComboOutputFormatChange();
    // Runs as the format list opens: it shows as many entries as the Additional Options say.
    void ComboOutputFormatDropDown();
    void Exit();

    // ---- Run control (Unit1Run.cpp) ----
    void ButtonConvertClick();
    void ButtonStopConvertClick();
    void DisableControls();
    void EnableControls() override;
    void EndOfRun() override;
    void TimerConvertAgainTimer();
    // The component's events, on the window's thread (the component's handlers copy their
    // arguments and hand them over). AStarted tells whether the task had begun to run: a
    // task stopped while it waited for its turn had not.
    void FFmpegVCL1Progress(int32_t AIndex, int32_t AFrameNumber, int32_t AFPS,
                            int64_t ACurrentDuration, int32_t AQuality, int32_t ABitRate,
                            int64_t ACurrentSize, int64_t ATotalOutputDuration);
    void FFmpegVCL1Terminate(int32_t AIndex, bool AFinished, bool AException,
                             const std::string& AMessage, bool AStarted = true);
    ConversionJobBuilder& jobBuilder() { return *m_builder; }

    // ---- Preview and volume (Unit1Preview.cpp) ----
    // The list's selection handler: runs when a row becomes selected.
    void ListView1SelectItem();
    void ButtonPlayClick();
    void ButtonPauseClick();
    void ButtonStopClick();
    void TrackBar1Change();
    // Stops the player and forgets a pause (Add File, Clear, Convert, another row).
    void StopPreview();

    // ---- Close (Unit1Run.cpp) ----
    // The close query: false while a run is in progress; otherwise detaches the component's
    // handlers and stops every task.
    bool FormCloseQuery();
    // The close handler: saves the persistent settings, ignoring any error.
    void FormClose();
    // Whether "Overwrite Existing File With The Same Name" is on.
    bool OverwriteChosen() const;
    // Whether the video zoom is "LetterBox": pictures of another shape get bars.
    bool LetterBoxChosen() const;
    // The Additional Options "Subtitles" and "Audio tracks": which streams go out.
    StreamChoices StreamsChosen() const;
    // "Files at once" of the Additional Options: how many rows a run converts at a time.
    int FilesAtOnceChosen() const;
    // The Additional Options' "Deinterlace" choice; "Auto" when the box shows none.
    DeinterlaceChoice DeinterlaceChosen() const;

    // ---- Kept list, outputs and size estimates (Unit1Queue.cpp) ----
    // Brings back the list kept by an earlier run, when the services name a queue file.
    void RestoreQueue();
    // Writes the kept list at once when it changed since it was written last.
    void SaveQueue();
    // The kept rows as the list holds them now.
    std::vector<QueueRow> QueueSnapshot() const;
    // "Remove Finished": removes the rows that show "Done".
    void RemoveFinished();
    // "Open Output Folder": the output folder in the desktop's file manager.
    void OpenOutputFolder();
    // "Show in Folder": the selected row's output in its folder.
    void ShowInFolder();
    // The output folder the box names, "~" expanded and blanks at either end removed.
    QString OutputFolderChosen() const;

    // ---- Presets (Unit1Presets.cpp) ----
    // "Save Settings As...": the format, its boxes, the volume and the Additional Options
    // under a name the user gives.
    void SaveSettingsAs();
    // Puts a preset's format and settings into the window; false (the user told) when it
    // is missing or its format is not in the list.
    bool ApplyPreset(const QString& name);
    void DeletePreset(const QString& name);

    // ---- State ----
    bool Adding = false;
    bool Converting = false;
    bool Aborted = false;
    int RetryTicks = 0;
    QString PreviewFile;
    int PreviewIndex = 0;
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
    VolumeTrackBar* TrackBar1 = nullptr;
    QLabel* LabelVolume = nullptr;
    std::array<QLabel*, 2> StatusPanels{};
    QProgressBar* ProgressBar1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    TFormAbout* FormAbout = nullptr;
    TForm4* Form4 = nullptr;
    QTimer* TimerConvertAgain = nullptr;
    QAction* ActionGoConvert = nullptr;
    QAction* ActionSetAdditionalOptions = nullptr;
    QAction* ActionPlaySelectedFile = nullptr;
    QAction* ActionOpenOutputFolder = nullptr;
    QAction* ActionRemoveFinished = nullptr;
    QAction* ActionShowInFolder = nullptr;
    QAction* ActionSaveSettingsAs = nullptr;
    QMenu* MenuPresets = nullptr;

    TFFmpegVCL FFmpegVCL1;
    FormatBoxState& formatState() { return m_format; }
    MoviePlayerControl& player() { return *m_player; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Building the window, top to bottom (Unit1.cpp).
    void provideMissingServices();
    void buildCentralWidget();
    QWidget* buildToolbar();
    void buildToolButtons(QWidget* panel, QHBoxLayout* row);
    QGridLayout* buildOutputFields(QWidget* panel);
    QWidget* buildSettingsPanel();
    QWidget* buildPreviewArea(QWidget* panel);
    QGroupBox* buildSettingsGroup(QWidget* panel, const QString& title,
                                  const std::array<const char*, 4>& labels,
                                  const std::array<std::pair<QComboBox**, const char*>, 4>& boxes);
    QVBoxLayout* buildVolume(QWidget* panel);
    void buildMenus();
    void buildMainMenu();
    void buildPopupMenu();
    void buildShortcuts();
    // The settings boxes as the profiles see them, and the job builder over them.
    void connectFormatState();
    // Labels tied to their controls, names for the controls without a caption, the status
    // panels described, the settings boxes watched for entries (Unit1Access.cpp).
    void describeForAssistiveTechnology();
    void buildStatusBar();
    void setScreenTabOrder();
    void disableFormatSeparators();
    QComboBox* makeDropDown(const QString& name);
    // JobBuilderHost
    void ResetProgressBar() override;
    void ArmConvertAgain() override;
    void DisarmConvertAgain() override;
    void ShowInformation(const std::string& text) override;
    // Starts a run into the given folder, once Convert found the list and folder usable.
    void beginRun(const QString& outputFolder);
    // Connects the component's progress, termination and log events (Unit1Run.cpp).
    void attachComponentEvents();
    void detachComponentEvents();
    // Before files are taken in: the preview stopped, the tasks and the "Progress" column
    // cleared.
    void prepareIntake();
    // Puts the builder's reason into the tooltip of a row that failed before its task.
    void showRowFailure();
    // After the builder took a row: its failure reason, and "Converting N of M".
    void afterRowTaken();
    // The status bar's first panel back to "Ready", the bar without its speed text.
    void showReady();
    // The speed and the time left of the current row, in the progress bar's text.
    void showSpeed(int64_t currentMs, int64_t totalMs);
    // How the rows of the run that ends came out.
    RunCounts countRunRows() const;
    // Tells the desktop how the run went when the window is not the active one.
    void notifyRunEnded(const RunCounts& counts);
    // Enables the settings boxes that have entries, outside a run, with their labels.
    void updateSettingsBoxes();
    QList<QComboBox*> settingsBoxes() const;

    // ---- Several files at once (Unit1Parallel.cpp) ----
    // The run converts several rows at a time.
    bool parallelRun() const { return m_filesAtOnce > 1; }
    // Queues the next group of checked rows and starts them, the chosen number at a time;
    // ends the run when no checked row is left.
    void startNextGroup();
    // A row's report while several run: its columns, the outputs' size, the run's bar.
    void parallelProgress(int row, int32_t frameNumber, int64_t currentMs, int64_t totalMs,
                          int64_t currentSize);
    // A row's end while several run; the all-ended event takes the next group.
    void parallelTerminate(int32_t taskIndex, bool finished, bool exception,
                           const std::string& message, bool started);
    // "Converting N of M", N the rows ended and running, and the run's bar.
    void showParallelCount();
    // "File Size : " of the outputs being written now.
    void showRunningSize();
    // Connects the preview buttons, the list's selection and "Play Selected File".
    void attachPreview();

    // ---- Kept list and outputs (Unit1Queue.cpp) ----
    // Part of the creation steps: adds "Show in Folder" and "Remove Finished" to the list's
    // menu and Ctrl+Q, and follows the list's changes.
    void attachQueue();
    // Ends the following of the list's changes (the window is being destroyed).
    void detachQueue();
    // The list changed: the kept file and the size panel follow on the next turn of the
    // event loop, once for all the changes of this turn.
    void listChanged();
    // The first start's output folder, written with the other settings at once.
    void chooseFirstStartFolder();
    // The rows of the files among `files` that the list holds already; those files are
    // dropped from `files`, as is a file named twice. Compares the paths as given and their
    // absolute forms.
    QList<int> takeListedFiles(QStringList& files) const;
    // What the desktop opener calls when it could not show a folder or file: the user is
    // told why.
    DesktopOpener::Failed tellWhyNotShown();
    // The stopped run ended: the window closes, as its close box would have.
    void quitAfterStop();
    // Stop without asking: no further row, every task stopped, the controls back.
    void stopRun();
    // "Stop and quit": the run stopped as Stop does, the window closed when it has ended.
    void stopAndQuit();

    // ---- Estimates and the run's time left (Unit1Estimates.cpp) ----
    // Every row's tooltip line: the estimated output size, or its output and real size.
    void refreshEstimates();
    void refreshRowInfo(int row);
    // The size panel while no run goes on: the estimate of the checked rows still to
    // convert; empty after a run until the list or the settings change.
    void showSizePanel();
    // A run ended: the size panel stays empty until the list or the settings change.
    void quietSizePanel() { m_sizePanelQuiet = true; }
    // A row's conversion ended: the output it wrote becomes its tooltip.
    void rowConversionEnded(int row, const std::string& renamedOutput);
    // The progress bar's text: the row's own speed text (one file at a time), then the
    // whole run's speed and time left.
    void showProgressText(const QString& rowText);
    // Media time the run has still to convert in rows that have not begun.
    int64_t waitingRowsMs() const;

    // ---- Presets (Unit1Presets.cpp) ----
    void buildPresetsMenu();
    // The Presets menu's entries for the stored presets.
    void refreshPresetsMenu();

    TForm1Services m_services;
    std::unique_ptr<MessageBox> m_ownMessages;
    std::unique_ptr<FolderBrowser> m_ownFolderBrowser;
    std::unique_ptr<HelpViewer> m_ownHelpViewer;
    std::unique_ptr<SettingsStore> m_ownSettings;
    MoviePlayerControl* m_player = nullptr;
    QtTaskScheduler m_scheduler;
    std::vector<std::unique_ptr<QtSettingsBox>> m_boxes;
    FormatBoxState m_format;
    TOutputOptions m_outputOptions; // the record the job builder fills for each task
    std::unique_ptr<ConversionJobBuilder> m_builder;
    // Counts the runs begun; events are stamped with it where they are raised, so an event
    // of an earlier run still waiting in the queue is dropped. Written on the window's
    // thread only after ClearTasks has ended every worker.
    std::atomic<int> m_runGeneration{0};
    int m_rowsTaken = 0;      // rows the current run has taken so far
    int m_lastTakenRow = -1;  // the row counted last
    QElapsedTimer m_rowClock; // started by the current row's first progress report
    int64_t m_rowFirstDurationMs = 0;
    // Several files at once; all on the window's thread. The count is fixed when the run
    // begins (the options cannot be opened during a run).
    int m_filesAtOnce = 1;
    std::set<int> m_runRows;              // rows taken by this run (queued or failed)
    std::map<int, int> m_runningPercent;  // row -> its last percentage, while it runs
    std::map<int, int64_t> m_runningSize; // row -> its output's size, while it runs
    // No run holds the editing controls: they, the settings boxes with entries and the
    // list's context menu work. Window's thread.
    bool m_editingEnabled = true;
    bool m_shownOnce = false;
    // The kept list and the desktop opener; all on the window's thread.
    std::unique_ptr<QueueFile> m_queue; // null when no list is kept
    bool m_queueUnwritable = false;     // the user was told the list cannot be written
    std::unique_ptr<DesktopOpener> m_ownOpener;
    QTimer* m_listChangedTimer = nullptr;
    bool m_estimatesStale = false; // the rows' tooltip lines wait for a refresh
    // A run ended and nothing changed since: the size panel stays empty.
    bool m_sizePanelQuiet = false;
    // The whole run's time left; window's thread. The clock starts at the run's first report.
    RunTimeLeft m_runTimeLeft;
    QElapsedTimer m_runClock;
    int64_t m_runClockStartMs = 0; // media time converted when the clock started
    // "Stop and quit" was chosen: the window closes when the stopped run has ended.
    bool m_quitWhenStopped = false;
};
