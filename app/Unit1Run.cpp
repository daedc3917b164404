// The main window's conversion run: Convert and Stop, the component's events, the retry
// timer that takes the next row, the end of a run, the controls locked during a run, and
// closing the window.
#include "MessageBox.h"
#include "MoviePlayerControl.h"
#include "Unit1.h"
#include "Unit4.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QSlider>
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
        QMetaObject::invokeMethod(
            this,
            [=, this] {
                if (run == m_runGeneration.load())
                    FFmpegVCL1Terminate(AIndex, AFinished, AException, AMessage);
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
    ListView1->setColumnText(FileColumn::Progress, QString());
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
    const QString trimmed = folder.trimmed();
    if (trimmed.isEmpty() || !QDir(trimmed).exists()) {
        m_services.messages->information(missingFolderText(folder));
        ButtonBrowseForFolderClick();
        return;
    }
    DisableControls();
    Converting = true;
    FFmpegVCL1.ClearTasks();
    // Every worker of an earlier run has ended: its events still queued are dropped.
    ++m_runGeneration;
    JobSettings& settings = m_builder->Settings;
    settings.OutputFolder = trimmed.toStdString();
    settings.Overwrite = OverwriteChosen();
    settings.LetterBox = LetterBoxChosen();
    settings.VolumeValue = VolumeValue;
    m_builder->BeginRun();
    m_builder->ConvertNextFile();
    showRowFailure();
}

void TForm1::ButtonStopConvertClick() {
    if (Converting) {
        // The task waits at its pause gate while the user decides.
        FFmpegVCL1.PauseAll();
        if (!m_services.messages->question(QStringLiteral("Stop all conversions?"))) {
            FFmpegVCL1.ResumeAll();
            return;
        }
        Aborted = true;
    }
    m_builder->QueueDone = true;
    DisarmConvertAgain();
    FFmpegVCL1.StopAll();
    ProgressBar1->setValue(0);
    EnableControls();
    Converting = false;
}

void TForm1::FFmpegVCL1Progress(int32_t, int32_t AFrameNumber, int32_t, int64_t ACurrentDuration,
                                int32_t, int32_t, int64_t ACurrentSize,
                                int64_t ATotalOutputDuration) {
    // One task runs at a time: the row is the one taken last.
    const int row = m_builder->CurrentIndex;
    if (row < 0 || row >= ListView1->RowCount())
        return;
    ListView1->makeRowVisible(row);
    ListView1->SetSubText(row, FileColumn::Progress,
                          ProgressColumnText(ACurrentDuration, ATotalOutputDuration));
    StatusPanels[1]->setText(QStringLiteral("File Size : ") + QString::number(ACurrentSize));
    ListView1->SetSubText(row, FileColumn::Frames, FramesColumnText(AFrameNumber));
    const int percent = ProgressPercent(ACurrentDuration, ATotalOutputDuration);
    if (percent >= 0)
        ProgressBar1->setValue(percent);
}

void TForm1::FFmpegVCL1Terminate(int32_t AIndex, bool AFinished, bool AException,
                                 const std::string& AMessage) {
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
    m_builder->ConvertNextFile();
    showRowFailure();
}

void TForm1::showRowFailure() {
    // A row that failed before its task started says why in its tooltip.
    const int row = m_builder->CurrentIndex;
    const std::string reason = m_builder->FailureOfRow(row);
    if (!reason.empty())
        ListView1->setCellToolTip(row, FileColumn::Progress, QString::fromStdString(reason));
}

void TForm1::ResetProgressBar() {
    ProgressBar1->setValue(0);
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
    m_services.messages->information(QStringLiteral("All Conversions Completed"));
    ProgressBar1->setValue(0);
    EnableControls();
    Converting = false;
}

namespace {

void setRunControlsEnabled(TForm1& form, bool enabled) {
    QWidget* const controls[] = {
        form.ButtonAddFile,      form.ButtonClear,         form.ButtonRemove,
        form.ButtonConvert,      form.ComboOutputFormat,   form.ComboVideoSize,
        form.ComboVideoBitrate,  form.ComboVideoFramerate, form.ComboAudioBitrate,
        form.ComboAudioChannels, form.ComboVideoCodec,     form.ComboSamplingRate,
        form.ComboAudioCodec,    form.TrackBar1,
    };
    for (QWidget* control : controls)
        control->setEnabled(enabled);
    // The main menu's top-level entries: File, Options, Help.
    for (QAction* entry : form.menuBar()->actions())
        entry->setEnabled(enabled);
}

} // namespace

void TForm1::DisableControls() {
    setRunControlsEnabled(*this, false);
    m_popupMenuEnabled = false;
}

void TForm1::EnableControls() {
    setRunControlsEnabled(*this, true);
    m_popupMenuEnabled = true;
}

bool TForm1::OverwriteChosen() const {
    return Form4 && Form4->CheckBoxOverWrite->isChecked();
}

bool TForm1::LetterBoxChosen() const {
    return Form4 && Form4->ComboLetterBox->currentText() == QStringLiteral("LetterBox");
}

bool TForm1::FormCloseQuery() {
    if (Converting)
        return false;
    detachComponentEvents();
    FFmpegVCL1.StopAll();
    return true;
}

void TForm1::FormClose() {
    try {
        if (Form4)
            Form4->SaveSettings();
    } catch (...) {
        // Settings that cannot be written do not keep the window open.
    }
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}
