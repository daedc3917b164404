// The converter's progress lines on a terminal: one line per running file, redrawn in place.
#pragma once

#include "RunEventQueue.h"

#include <chrono>
#include <map>
#include <ostream>
#include <string>

class ProgressDisplay {
public:
    // Draws nothing unless `enabled` (a terminal, and not --quiet).
    // Lines are cut to `columns` characters, so that none wraps.
    ProgressDisplay(std::ostream& terminal, bool enabled, int columns)
        : m_terminal(terminal), m_enabled(enabled), m_columns(columns) {}

    // A progress report of the file in `row`: percent, frames, size, speed, time left.
    void update(int row, const std::string& fileName, const RunEvent& progress);
    // The file's conversion ended: its line is not drawn again (call between erase and draw).
    void remove(int row);
    // Erases the drawn lines (before other output), and draws them again.
    void erase();
    void draw();

    // The text of one line (exposed for its arithmetic).
    static std::string lineText(const std::string& fileName, const RunEvent& progress,
                                double elapsedSeconds, int32_t firstDurationMs);

private:
    struct Line {
        std::string fileName;
        std::chrono::steady_clock::time_point firstReport;
        int32_t firstDurationMs = 0;
        std::string text;
    };
    std::ostream& m_terminal;
    bool m_enabled;
    int m_columns;
    std::map<int, Line> m_lines;
    int m_drawn = 0;
};
