// The main window's run with several files at once: the checked rows are queued in groups and
// the component runs the chosen number of them at the same time. Each row shows its own
// progress and state, the status bar counts the rows ended and running, and the progress bar
// shows the whole run. Everything here runs on the window's thread.
#include "Unit1.h"

#include <QLabel>
#include <QProgressBar>
#include <QTimer>

#include <algorithm>

namespace {

// Rows queued at a time: enough that a group seldom waits long for its slowest row, few
// enough that a long list does not hold every input open at once.
constexpr int kMinimumGroupRows = 32;
constexpr int kGroupRowsPerFile = 4;

bool rowEnded(const std::string& state) {
    return state == "Done" || state == "Fail" || state == "Abort";
}

} // namespace

void TForm1::startNextGroup() {
    const int groupRows = std::max(kMinimumGroupRows, kGroupRowsPerFile * m_filesAtOnce);
    while (!m_builder->QueueDone) {
        const int first = m_builder->CurrentIndex + 1;
        const int queued = m_builder->QueueCheckedRows(groupRows);
        for (int row = first; row <= m_builder->CurrentIndex; ++row) {
            if (!ListView1->Checked(row))
                continue;
            m_runRows.insert(row);
            // A row that failed before its task started says why in its tooltip.
            const std::string reason = m_builder->FailureOfRow(row);
            if (!reason.empty())
                ListView1->setCellToolTip(row, FileColumn::Progress,
                                          QString::fromStdString(reason));
        }
        // The kept list says at once which rows are converting: their part files are there.
        listChanged();
        if (queued == 0)
            continue; // every row of the group failed: on to the next group
        try {
            // The component starts the next queued task whenever one of them ends.
            FFmpegVCL1.StartConversion(m_filesAtOnce);
        } catch (...) {
            FFmpegVCL1.StopAll();
            EnableControls();
        }
        showParallelCount();
        return;
    }
    EndOfRun();
}

void TForm1::parallelProgress(int row, int32_t frameNumber, int64_t currentMs, int64_t totalMs,
                              int64_t currentSize) {
    if (row < 0 || row >= ListView1->RowCount())
        return;
    ListView1->makeRowVisible(row);
    ListView1->SetSubText(row, FileColumn::Progress, ProgressColumnText(currentMs, totalMs));
    ListView1->SetSubText(row, FileColumn::Frames, FramesColumnText(frameNumber));
    m_runningSize[row] = currentSize;
    showRunningSize();
    const int percent = ProgressPercent(currentMs, totalMs);
    if (percent >= 0)
        m_runningPercent[row] = percent;
    // After Stop the bar stays at 0.
    if (!Converting)
        return;
    m_runTimeLeft.rowProgress(row, currentMs, totalMs);
    showParallelCount();
    showProgressText(QString());
}

void TForm1::parallelTerminate(int32_t taskIndex, bool finished, bool exception,
                               const std::string& message, bool started) {
    if (taskIndex < 0) {
        // Every task of the group has ended.
        if (!m_builder->QueueDone) {
            RetryTicks = 0;
            ArmConvertAgain();
        } else {
            EndOfRun();
        }
        return;
    }
    const int row = m_builder->RowOfTask(taskIndex);
    if (row < 0 || row >= ListView1->RowCount())
        return;
    m_runningPercent.erase(row);
    if (m_runningSize.erase(row) > 0)
        showRunningSize();
    if (!started && !exception) {
        // Stopped while it waited for its turn: like a row the run never reached.
        ListView1->SetSubText(row, FileColumn::Progress, std::string());
    } else {
        ListView1->SetSubText(row, FileColumn::Progress,
                              TerminationRowState(finished && !Aborted, exception));
        if (exception || !message.empty())
            ListView1->setCellToolTip(row, FileColumn::Progress, QString::fromStdString(message));
    }
    if (Converting)
        showParallelCount();
}

void TForm1::showRunningSize() {
    // The outputs being written now, as far as their last reports tell.
    int64_t size = 0;
    for (const auto& [row, bytes] : m_runningSize)
        size += bytes;
    StatusPanels[1]->setText(QStringLiteral("File Size : ") + FileSizeText(size));
}

void TForm1::showParallelCount() {
    int ended = 0;
    int waiting = 0;
    int64_t percentSum = 0;
    for (const int row : m_runRows) {
        if (row >= ListView1->RowCount())
            continue;
        if (rowEnded(ListView1->SubText(row, FileColumn::Progress))) {
            ++ended;
            percentSum += 100;
        } else {
            ++waiting;
            const auto found = m_runningPercent.find(row);
            if (found != m_runningPercent.end())
                percentSum += found->second;
        }
    }
    // The component starts the next queued row as soon as one ends, so the first rows of
    // those waiting are the ones running.
    const int running = std::min(m_filesAtOnce, waiting);
    // The rows still to come are the checked rows after the group; a box ticked or cleared
    // during the run changes the total as the run will.
    int total = ended + waiting;
    for (int next = m_builder->CurrentIndex + 1; next < ListView1->RowCount(); ++next)
        if (ListView1->Checked(next))
            ++total;
    StatusPanels[0]->setText(QStringLiteral("Converting %1 of %2").arg(ended + running).arg(total));
    // The bar shows the whole run: an ended row counts in full, a running one by its share.
    const int overall = total > 0 ? static_cast<int>(percentSum / total) : 0;
    if (overall > ProgressBar1->value())
        ProgressBar1->setValue(overall);
}
