#include "ProgressDisplay.h"

#include "AddFileToFFMPEG.h"
#include "RowTexts.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

std::string ProgressDisplay::lineText(const std::string& fileName, const RunEvent& progress,
                                      double elapsedSeconds, int32_t firstDurationMs) {
    const int percent = ProgressPercent(progress.CurrentDurationMs, progress.TotalOutputDurationMs);
    std::string text = (percent < 0 ? std::string("--") : std::to_string(percent)) + "%  frames " +
                       FramesColumnText(progress.FrameNumber) + "  " +
                       std::to_string(progress.CurrentSizeBytes / 1024) + " kB";
    const double mediaSeconds = (progress.CurrentDurationMs - firstDurationMs) / 1000.0;
    if (elapsedSeconds > 0.2 && mediaSeconds > 0) {
        const double speed = mediaSeconds / elapsedSeconds;
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "  %.2fx", speed);
        text += buffer;
        if (progress.TotalOutputDurationMs > progress.CurrentDurationMs) {
            const double left =
                (progress.TotalOutputDurationMs - progress.CurrentDurationMs) / 1000.0 / speed;
            text += "  left " + DurationText(':', left);
        }
    }
    return text + "  " + fileName;
}

ProgressDisplay::Mode ProgressDisplay::modeForStandardError(bool quiet) {
    if (quiet || isatty(STDERR_FILENO) == 0)
        return Mode::Off;
    const char* term = std::getenv("TERM");
    if (term == nullptr || *term == '\0' || std::strcmp(term, "dumb") == 0)
        return Mode::Plain;
    return Mode::Redraw;
}

void ProgressDisplay::printPlain(Line& line, const RunEvent& progress,
                                 std::chrono::steady_clock::time_point now) {
    const int percent = ProgressPercent(progress.CurrentDurationMs, progress.TotalOutputDurationMs);
    const bool due =
        percent >= 0 ? percent / 10 > line.plainStep
                     : line.plainStep < 0 || now - line.plainPrinted >= std::chrono::seconds(10);
    if (!due)
        return;
    line.plainStep = percent >= 0 ? percent / 10 : 0;
    line.plainPrinted = now;
    m_terminal << line.text << "\n";
    m_terminal.flush();
}

void ProgressDisplay::update(int row, const std::string& fileName, const RunEvent& progress) {
    if (m_mode == Mode::Off)
        return;
    const auto now = std::chrono::steady_clock::now();
    auto found = m_lines.find(row);
    if (found == m_lines.end())
        found = m_lines.emplace(row, Line{fileName, now, progress.CurrentDurationMs, "", -1, now})
                    .first;
    Line& line = found->second;
    const double elapsed = std::chrono::duration<double>(now - line.firstReport).count();
    line.text = lineText(line.fileName, progress, elapsed, line.firstDurationMs);
    if (m_mode == Mode::Plain) {
        printPlain(line, progress, now);
        return;
    }
    erase();
    draw();
}

void ProgressDisplay::remove(int row) {
    m_lines.erase(row);
}

void ProgressDisplay::erase() {
    if (m_mode != Mode::Redraw)
        return;
    for (; m_drawn > 0; --m_drawn)
        m_terminal << "\x1b[1A\r\x1b[2K";
    m_terminal.flush();
}

void ProgressDisplay::draw() {
    if (m_mode != Mode::Redraw)
        return;
    for (const auto& [row, line] : m_lines) {
        const size_t width = m_columns > 1 ? static_cast<size_t>(m_columns - 1) : 79;
        m_terminal << line.text.substr(0, width) << "\n";
        ++m_drawn;
    }
    m_terminal.flush();
}
