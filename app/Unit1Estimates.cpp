// The main window's size estimates and the whole run's time left: each row's tooltip line
// (its estimated output size before converting, its output and real size after), the size
// panel while no run goes on, and the progress bar's text during a run. All on the window's
// thread.
#include "FillComboOutputFormat.h"
#include "Unit1.h"

#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>

namespace {

QString sizeText(const SizeEstimate& estimate) {
    return (estimate.Approximate ? QStringLiteral("about ") : QString()) +
           QString::fromStdString(ByteSizeText(estimate.Bytes));
}

} // namespace

void TForm1::refreshEstimates() {
    m_estimatesStale = false;
    for (int row = 0; row < ListView1->RowCount(); ++row)
        refreshRowInfo(row);
}

void TForm1::refreshRowInfo(int row) {
    // A converted row: the output it wrote and its real size.
    const QString output = ListView1->rowOutput(row);
    const std::string state = ListView1->SubText(row, FileColumn::Progress);
    if (!output.isEmpty() && (state == "Done" || state == "Abort")) {
        const QFileInfo written(output);
        if (written.exists()) {
            ListView1->setRowEstimate(row, SizeEstimate{});
            ListView1->setRowInfo(
                row, QStringLiteral("Output: %1 (%2)")
                         .arg(output, QString::fromStdString(ByteSizeText(written.size()))));
            return;
        }
    }
    SizeEstimate estimate;
    if (const std::optional<InputFacts> facts = ListView1->rowFacts(row)) {
        TOutputOptions options;
        ResetOutputOptions(options);
        try {
            ApplyProfileSettings(m_format, options, row);
            estimate = EstimateOutputSize(options, *facts);
        } catch (...) {
            // Settings the apply step refuses give no estimate; the run will say why.
        }
    }
    ListView1->setRowEstimate(row, estimate);
    ListView1->setRowInfo(row, estimate.known()
                                   ? QStringLiteral("Estimated output size: ") + sizeText(estimate)
                                   : QString());
}

void TForm1::showSizePanel() {
    // During a run the panel shows the size written; after it, nothing until a change.
    if (Converting || m_sizePanelQuiet)
        return;
    // What the next Convert would write: the checked rows not converted yet.
    SizeEstimate total;
    for (int row = 0; row < ListView1->RowCount(); ++row) {
        if (!ListView1->Checked(row) || ListView1->SubText(row, FileColumn::Progress) == "Done")
            continue;
        const SizeEstimate estimate = ListView1->rowEstimate(row);
        if (!estimate.known())
            continue;
        total.Bytes = std::max<int64_t>(total.Bytes, 0) + estimate.Bytes;
        total.Approximate = total.Approximate || estimate.Approximate;
    }
    StatusPanels[1]->setText(total.known() ? QStringLiteral("Estimated size : ") + sizeText(total)
                                           : QString());
}

void TForm1::rowConversionEnded(int row, const std::string& renamedOutput) {
    if (row < 0 || row >= ListView1->RowCount())
        return;
    m_runTimeLeft.rowEnded(row);
    const std::string state = ListView1->SubText(row, FileColumn::Progress);
    std::string output = renamedOutput.empty() ? m_builder->OutputOfRow(row) : renamedOutput;
    // A failed conversion removes its output; a stopped one keeps what it wrote.
    if (state == "Fail" || !QFileInfo::exists(QString::fromStdString(output)))
        output.clear();
    ListView1->setRowOutput(row, QString::fromStdString(output));
    refreshRowInfo(row);
}

int64_t TForm1::waitingRowsMs() const {
    // Rows the run will still take: checked, not ended, not begun, and at or after the row
    // taken last (or queued in the running group).
    int64_t waiting = 0;
    for (int row = 0; row < ListView1->RowCount(); ++row) {
        if (!ListView1->Checked(row) || m_runTimeLeft.began(row))
            continue;
        const std::string state = ListView1->SubText(row, FileColumn::Progress);
        if (state == "Done" || state == "Fail" || state == "Abort")
            continue;
        if (row < m_builder->CurrentIndex && m_runRows.count(row) == 0)
            continue;
        if (const std::optional<InputFacts> facts = ListView1->rowFacts(row))
            waiting += std::max<int64_t>(facts->DurationMs, 0);
    }
    return waiting;
}

void TForm1::showProgressText(const QString& rowText) {
    ProgressBar1->setTextVisible(true);
    if (!m_runClock.isValid()) {
        m_runClock.start();
        m_runClockStartMs = m_runTimeLeft.convertedMs();
    }
    const int64_t leftMs = m_runTimeLeft.runningLeftMs() + waitingRowsMs();
    const QString runText =
        SpeedText(m_runTimeLeft.convertedMs() - m_runClockStartMs, m_runClock.elapsed(), leftMs);
    QString text = QStringLiteral("%p%");
    if (parallelRun()) {
        // The bar is the whole run's.
        if (!runText.isEmpty())
            text += QStringLiteral("  ") + runText;
    } else {
        if (!rowText.isEmpty())
            text += QStringLiteral("  ") + rowText;
        // Rows after this one: the time left of them all.
        const int64_t rowLeftMs = m_runTimeLeft.runningLeftMs();
        const int comma = runText.indexOf(QLatin1String(", "));
        if (leftMs > rowLeftMs && comma >= 0)
            text += QStringLiteral(", all ") + runText.mid(comma + 2);
    }
    ProgressBar1->setFormat(text);
    // Screen readers get the bar's value; the speed and time left are its description.
    ProgressBar1->setAccessibleDescription(text.mid(3).trimmed());
}
