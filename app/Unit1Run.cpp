// The main window's conversion run: Convert and Stop, the component's events, the retry
// timer that takes the next row, the end of a run, the controls locked during a run, and
// closing the window.
#include "MessageBox.h"
#include "MoviePlayerControl.h"
#include "RowTexts.h"
#include "RunSummary.h"
#include "TaskLockGuard.h"
#include "Unit1.h"
#include "Unit4.h"
#include "WindowGeometry.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>

namespace {

constexpr int kConvertAgainIntervalMs = 200;
constexpr int kConvertAgainTicks = 2;

// The message for an output folder that is not there; its line breaks are "\n\r".
QString missingFolderText(const QString& folder) {
    return QStringLiteral("The output folder \"") + folder +
           QStringLiteral("\"\n\rdoes not exist or has been deleted!\n\r"
                          "Please choose a new output folder.");
}

} // namespace

void TForm1::attachComponentEvents() {
    TimerConvertAgain = new QTimer(this);
    TimerConvertAgain->setObjectName(QStringLiteral("TimerConvertAgain"));
    TimerConvertAgain->setInterval(kConvertAgainIntervalMs);
    connect(TimerConvertAgain, &QTimer::timeout, this, &TForm1::TimerConvertAgainTimer);

    // The events come from the tasks' worker threads under the component's lock: the
    // handlers only copy their arguments, stamped with the run they belong to, and queue
    // the work for the window's thread.
    FFmpegVCL1.OnProgress = [this](int32_t AIndex, int32_t AFrameNumber, int32_t AFPS,
                                   int64_t ACurrentDuration, int32_t AQuality, int32_t ABitRate,
                                   int64_t ACurrentSize, int64_t ATotalOutputDuration) {
        const int run = m_runGeneration.load();
        QMetaObject::invokeMethod(
            this,
            [=, this] {
                if (run == m_runGeneration.load())
                    FFmpegVCL1Progress(AIndex, AFrameNumber, AFPS, ACurrentDuration, AQuality,
                                       ABitRate, ACurrentSize, ATotalOutputDuration);
            },
            Qt::QueuedConnection);
    };
    FFmpegVCL1.OnTerminate = [this](int32_t AIndex, bool AFinished, bool AException,
                                    const std::string& AMessage) {
        const int run = m_runGeneration.load();
        // The component holds TaskLock while it reports a task's end, so the task is there
        // to ask: one that never got its worker was stopped while it waited for its turn.
        bool started = true;
        // The name the output got instead, when another program took its own meanwhile.
        std::string renamed;
        if (AIndex >= 0 && AIndex < FFmpegVCL1.Tasks.Count()) {
            started = FFmpegVCL1.Tasks[AIndex].OwnerThreadId.load() != 0;
            if (!FFmpegVCL1.Tasks[AIndex].RenamedOutputs.empty())
                renamed = FFmpegVCL1.Tasks[AIndex].RenamedOutputs.front().second;
        }
        QMetaObject::invokeMethod(
            this,
            [=, this] {
                if (run != m_runGeneration.load())
                    return;
                const int row =
                    parallelRun() ? m_builder->RowOfTask(AIndex) : m_builder->CurrentIndex;
                FFmpegVCL1Terminate(AIndex, AFinished, AException, AMessage, started);
                if (AIndex >= 0 && started && run == m_runGeneration.load())
                    rowConversionEnded(row, renamed);
            },
            Qt::QueuedConnection);
    };
    // The engine's log lines are not shown by the window.
    FFmpegVCL1.OnLog = [](int32_t, TLogLevel, const std::string&) {};
}

void TForm1::detachComponentEvents() {
    FFmpegVCL1.DetachEvents();
}

void TForm1::ButtonConvertClick() {
    if (Adding)
        return;
    StopPreview();
    Aborted = false;
    if (ListView1->RowCount() == 0) {
        m_services.messages->information(QStringLiteral("Please Add Files To Convert!"));
        return;
    }
    const QString folder = EditOutputFolder->text();
    if (folder.isEmpty()) {
        m_services.messages->information(QStringLiteral("Please select an output folder!"));
        ButtonBrowseForFolderClick();
        return;
    }
    const QString trimmed = OutputFolderChosen();
    if (trimmed.isEmpty() || !QDir(trimmed).exists()) {
        m_services.messages->information(missingFolderText(folder));
        // A folder that is gone is neither kept nor saved: the box is empty unless the user
        // chooses another one now.
        EditOutputFolder->clear();
        ButtonBrowseForFolderClick();
        return;
    }
    beginRun(trimmed);
}

void TForm1::beginRun(const QString& outputFolder) {
    // The settings a run uses are kept at once, as the kept list is: a run may not live to
    // see the window closed.
    if (Form4)
        Form4->SaveSettings();
    DisableControls();
    Converting = true;
    FFmpegVCL1.ClearTasks();
    // Every worker of an earlier run has ended: its events still queued are dropped.
    ++m_runGeneration;
    // The rows this run converts lose the state and frame count of an earlier run; the
    // others keep theirs.
    for (int row = 0; row < ListView1->RowCount(); ++row)
        if (ListView1->Checked(row)) {
            ListView1->SetSubText(row, FileColumn::Progress, std::string());
            ListView1->setCellToolTip(row, FileColumn::Progress, QString());
            ListView1->SetSubText(row, FileColumn::Frames, std::string());
        }
    m_rowsTaken = 0;
    m_lastTakenRow = -1;
    m_filesAtOnce = FilesAtOnceChosen();
    m_runRows.clear();
    m_runningPercent.clear();
    m_runningSize.clear();
    m_runTimeLeft.clear();
    m_runClock.invalidate();
    JobSettings& settings = m_builder->Settings;
    settings.OutputFolder = outputFolder.toStdString();
    settings.Overwrite = OverwriteChosen();
    settings.LetterBox = LetterBoxChosen();
    settings.Deinterlace = DeinterlaceChosen();
    settings.Streams = StreamsChosen();
    settings.VolumeValue = VolumeValue;
    m_builder->BeginRun();
    if (parallelRun()) {
        ResetProgressBar();
        startNextGroup();
        return;
    }
    m_builder->ConvertNextFile();
    afterRowTaken();
}

void TForm1::ButtonStopConvertClick() {
    if (Converting) {
        // The task waits at its pause gate while the user decides.
        FFmpegVCL1.PauseAll();
        if (!m_services.messages->question(QStringLiteral("Stop all conversions?"),
                                           QStringLiteral("Stop Conversions"))) {
            FFmpegVCL1.ResumeAll();
            return;
        }
        Aborted = true;
    }
    stopRun();
}

void TForm1::stopRun() {
    // Between two rows (the retry timer armed) no task is left to report its end, so the
    // run ends here rather than with the stopped task's last event.
    const bool betweenRows = Converting && TimerConvertAgain->isActive();
    m_builder->QueueDone = true;
    DisarmConvertAgain();
    FFmpegVCL1.StopAll();
    ProgressBar1->setValue(0);
    EnableControls();
    Converting = false;
    showReady();
    if (betweenRows)
        EndOfRun();
}

void TForm1::FFmpegVCL1Progress(int32_t AIndex, int32_t AFrameNumber, int32_t,
                                int64_t ACurrentDuration, int32_t, int32_t, int64_t ACurrentSize,
                                int64_t ATotalOutputDuration) {
    if (parallelRun()) {
        parallelProgress(m_builder->RowOfTask(AIndex), AFrameNumber, ACurrentDuration,
                         ATotalOutputDuration, ACurrentSize);
        return;
    }
    // One task runs at a time: the row is the one taken last.
    const int row = m_builder->CurrentIndex;
    if (row < 0 || row >= ListView1->RowCount())
        return;
    ListView1->makeRowVisible(row);
    ListView1->SetSubText(row, FileColumn::Progress,
                          ProgressColumnText(ACurrentDuration, ATotalOutputDuration));
    StatusPanels[1]->setText(QStringLiteral("File Size : ") + FileSizeText(ACurrentSize));
    ListView1->SetSubText(row, FileColumn::Frames, FramesColumnText(AFrameNumber));
    // After Stop the bar stays at 0; within a row it never moves back.
    if (!Converting)
        return;
    m_runTimeLeft.rowProgress(row, ACurrentDuration, ATotalOutputDuration);
    const int percent = ProgressPercent(ACurrentDuration, ATotalOutputDuration);
    if (percent > ProgressBar1->value())
        ProgressBar1->setValue(percent);
    showSpeed(ACurrentDuration, ATotalOutputDuration);
}

void TForm1::showSpeed(int64_t currentMs, int64_t totalMs) {
    if (!m_rowClock.isValid()) {
        m_rowClock.start();
        m_rowFirstDurationMs = currentMs;
        showProgressText(QString());
        return;
    }
    const QString text =
        SpeedText(currentMs - m_rowFirstDurationMs, m_rowClock.elapsed(), totalMs - currentMs);
    showProgressText(text);
}

QString SpeedText(int64_t convertedMs, int64_t elapsedMs, int64_t remainingMs) {
    // Too early for a steady figure, or nothing converted yet.
    if (elapsedMs < 500 || convertedMs <= 0)
        return QString();
    const double speed = static_cast<double>(convertedMs) / static_cast<double>(elapsedMs);
    QString text = QString::number(speed, 'f', 2) + QLatin1Char('x');
    if (remainingMs > 0)
        text += QStringLiteral(", ") +
                QString::fromStdString(DurationText(':', remainingMs / 1000.0 / speed)) +
                QStringLiteral(" left");
    return text;
}

void TForm1::FFmpegVCL1Terminate(int32_t AIndex, bool AFinished, bool AException,
                                 const std::string& AMessage, bool AStarted) {
    if (parallelRun()) {
        parallelTerminate(AIndex, AFinished, AException, AMessage, AStarted);
        return;
    }
    // One task at a time: StartConversion(1) starts it at once, so it always ran.
    if (AIndex >= 0) {
        const int row = m_builder->CurrentIndex;
        if (row >= 0 && row < ListView1->RowCount()) {
            // A task that did not run to its end is not "Done", even if nobody stopped it.
            ListView1->SetSubText(row, FileColumn::Progress,
                                  TerminationRowState(AFinished && !Aborted, AException));
            // A failure says why; a finished file may carry a note (an output clearly
            // shorter than its input).
            if (AException || !AMessage.empty())
                ListView1->setCellToolTip(row, FileColumn::Progress,
                                          QString::fromStdString(AMessage));
        }
    }
    if (!m_builder->QueueDone) {
        RetryTicks = 0;
        ArmConvertAgain();
    } else if (AIndex < 0) {
        EndOfRun();
    }
}

void TForm1::TimerConvertAgainTimer() {
    if (m_builder->QueueDone)
        return;
    if (++RetryTicks < kConvertAgainTicks)
        return;
    TimerConvertAgain->stop();
    RetryTicks = 0;
    if (parallelRun()) {
        startNextGroup();
        return;
    }
    m_builder->ConvertNextFile();
    afterRowTaken();
}

void TForm1::afterRowTaken() {
    // The kept list says at once which row is converting: its part file is there.
    listChanged();
    showRowFailure();
    const int row = m_builder->CurrentIndex;
    if (!Converting || row < 0 || row == m_lastTakenRow)
        return;
    m_lastTakenRow = row;
    ++m_rowsTaken;
    // The rows still to come are the checked rows after this one; a box ticked or cleared
    // during the run changes the total as the run will.
    int total = m_rowsTaken;
    for (int next = row + 1; next < ListView1->RowCount(); ++next)
        if (ListView1->Checked(next))
            ++total;
    StatusPanels[0]->setText(QStringLiteral("Converting %1 of %2").arg(m_rowsTaken).arg(total));
}

void TForm1::showReady() {
    StatusPanels[0]->setText(QStringLiteral("Ready"));
    // The bar always shows its text; with no run, only its percentage.
    ProgressBar1->setFormat(QStringLiteral("%p%"));
    ProgressBar1->setTextVisible(true);
    ProgressBar1->setAccessibleDescription(QString());
}

void TForm1::showRowFailure() {
    // A row that failed before its task started says why in its tooltip.
    const int row = m_builder->CurrentIndex;
    const std::string reason = m_builder->FailureOfRow(row);
    if (!reason.empty())
        ListView1->setCellToolTip(row, FileColumn::Progress, QString::fromStdString(reason));
}

void TForm1::ResetProgressBar() {
    // A new row: its bar, speed and time left start afresh.
    ProgressBar1->setValue(0);
    ProgressBar1->setFormat(QStringLiteral("%p%"));
    ProgressBar1->setTextVisible(true);
    ProgressBar1->setAccessibleDescription(QString());
    m_rowClock.invalidate();
}

void TForm1::ArmConvertAgain() {
    // Arming an armed timer keeps its period going.
    if (!TimerConvertAgain->isActive()) {
        RetryTicks = 0;
        TimerConvertAgain->start();
    }
}

void TForm1::DisarmConvertAgain() {
    TimerConvertAgain->stop();
    RetryTicks = 0;
}

void TForm1::ShowInformation(const std::string& text) {
    m_services.messages->information(QString::fromStdString(text));
}

void TForm1::EndOfRun() {
    DisarmConvertAgain();
    FFmpegVCL1.ClearTasks();
    ++m_runGeneration;
    if (m_quitWhenStopped) {
        quitAfterStop();
        return;
    }
    const RunCounts counts = countRunRows();
    // The status bar says the run is over before the message waits for the user.
    showReady();
    StatusPanels[1]->clear();
    quietSizePanel();
    notifyRunEnded(counts);
    const QString text = QStringLiteral("All Conversions Completed\n") +
                         QString::fromStdString(RunSummaryText(counts, Aborted));
    if (RunHadTrouble(counts, Aborted))
        m_services.messages->warning(text);
    else
        m_services.messages->information(text);
    ProgressBar1->setValue(0);
    EnableControls();
    Converting = false;
    showReady();
}

RunCounts TForm1::countRunRows() const {
    RunCounts counts;
    for (int row = 0; row < ListView1->RowCount(); ++row) {
        if (!m_builder->RowTaken(row)) {
            // Checked rows after the last one taken were never reached by a stopped run.
            if (Aborted && ListView1->Checked(row) && row > m_builder->CurrentIndex)
                ++counts.NotStarted;
            continue;
        }
        const std::string state = ListView1->SubText(row, FileColumn::Progress);
        if (state == "Done")
            ++counts.Done;
        else if (state == "Fail")
            ++counts.Failed;
        else if (state == "Abort")
            ++counts.Stopped;
        else
            ++counts.NotStarted; // queued, and stopped before its turn came
    }
    return counts;
}

void TForm1::notifyRunEnded(const RunCounts& counts) {
    if (isActiveWindow())
        return;
    m_services.notify(QStringLiteral("All Conversions Completed"),
                      QString::fromStdString(RunSummaryText(counts, Aborted)));
}

QString FileSizeText(int64_t bytes) {
    // Decimal units, as the desktop's file managers show sizes ("1.0 MB", not "1000.0 kB").
    return QString::fromStdString(ByteSizeText(bytes));
}

namespace {

void setRunControlsEnabled(TForm1& form, bool enabled) {
    // The editing commands, the preview, the folder and the volume ignore input during a
    // run, so they look it; the settings boxes follow in updateSettingsBoxes.
    QWidget* const controls[] = {
        form.ButtonAddFile,    form.ButtonClear,           form.ButtonRemove,
        form.ButtonConvert,    form.ComboOutputFormat,     form.TrackBar1,
        form.ButtonPlay,       form.ButtonPause,           form.ButtonStop,
        form.EditOutputFolder, form.ButtonBrowseForFolder,
    };
    for (QWidget* control : controls)
        control->setEnabled(enabled);
    // Stop only stops a run.
    form.ButtonStopConvert->setEnabled(!enabled);
    // The main menu's File and Options; Help and About stay at hand during a run.
    for (QAction* entry : form.menuBar()->actions())
        entry->setEnabled(
            enabled || (entry->menu() && entry->menu()->objectName() == QLatin1String("MenuHelp")));
}

} // namespace

void TForm1::DisableControls() {
    setRunControlsEnabled(*this, false);
    m_editingEnabled = false;
    updateSettingsBoxes();
}

void TForm1::EnableControls() {
    setRunControlsEnabled(*this, true);
    m_editingEnabled = true;
    updateSettingsBoxes();
}

void TForm1::updateSettingsBoxes() {
    // A box is usable outside a run when it has entries: formats without video leave the
    // video boxes empty. Its label follows it.
    for (QComboBox* box : settingsBoxes())
        box->setEnabled(m_editingEnabled && box->count() > 0);
    for (QLabel* label : centralWidget()->findChildren<QLabel*>())
        if (label->buddy() && settingsBoxes().contains(qobject_cast<QComboBox*>(label->buddy())))
            label->setEnabled(label->buddy()->isEnabled());
}

QList<QComboBox*> TForm1::settingsBoxes() const {
    return {ComboVideoBitrate, ComboVideoCodec,    ComboVideoSize,    ComboVideoFramerate,
            ComboAudioBitrate, ComboAudioChannels, ComboSamplingRate, ComboAudioCodec};
}

bool TForm1::OverwriteChosen() const {
    return Form4 && Form4->CheckBoxOverWrite->isChecked();
}

bool TForm1::LetterBoxChosen() const {
    return Form4 && Form4->ComboLetterBox->currentText() == QStringLiteral("LetterBox");
}

DeinterlaceChoice TForm1::DeinterlaceChosen() const {
    const int item = Form4 ? Form4->ComboDeinterlace->currentIndex() : 0;
    return item > 0 ? static_cast<DeinterlaceChoice>(item) : DeinterlaceChoice::Auto;
}

int TForm1::FilesAtOnceChosen() const {
    return Form4 ? Form4->SpinFilesAtOnce->value() : 1;
}

StreamChoices TForm1::StreamsChosen() const {
    StreamChoices choices;
    if (Form4) {
        choices.KeepSubtitles = Form4->ComboSubtitles->currentIndex() != 1;
        choices.AudioTracks = Form4->ComboAudioTracks->currentIndex() == 1
                                  ? StreamChoices::Tracks::DefaultOnly
                                  : StreamChoices::Tracks::All;
    }
    return choices;
}

bool TForm1::FormCloseQuery() {
    if (Converting)
        return false;
    detachComponentEvents();
    FFmpegVCL1.StopAll();
    return true;
}

void TForm1::FormClose() {
    SaveQueue();
    try {
        if (Form4)
            Form4->SaveSettings();
        // The size the user left the window at is the size it opens with next time.
        WindowGeometry::store(*this, *m_services.settings);
    } catch (...) {
        // Settings that cannot be written do not keep the window open.
    }
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (Converting) {
        event->ignore();
        // The run ends as Stop ends it (the outputs get their trailers), then the window
        // closes; or nothing changes.
        if (m_services.messages->confirm(
                QStringLiteral("A conversion is running. Stop it and quit?"),
                QStringLiteral("Stop and quit"), QStringLiteral("Keep converting")))
            stopAndQuit();
        return;
    }
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TForm1::stopAndQuit() {
    Aborted = true;
    m_quitWhenStopped = true;
    stopRun();
    // When no task is left to end, no end-of-run event will come: the window closes once
    // the events already on their way have been handled.
    bool tasksLeft = false;
    {
        const TaskLockGuard lock(FFmpegVCL1.TaskLock);
        tasksLeft = FFmpegVCL1.FinishedCount < FFmpegVCL1.Tasks.Count();
    }
    if (!tasksLeft)
        QMetaObject::invokeMethod(this, &TForm1::quitAfterStop, Qt::QueuedConnection);
}
