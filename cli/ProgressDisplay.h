// The converter's progress lines on a terminal: one line per running file, redrawn in place,
// or on a terminal that cannot move its cursor (TERM=dumb) a plain line now and then.
#pragma once

#include "RunEventQueue.h"

#include <chrono>
#include <map>
#include <ostream>
#include <string>

class ProgressDisplay {
public:
    enum class Mode {
        Off,    // not a terminal, or --quiet
        Redraw, // the lines stay at the bottom and are redrawn with the terminal's escapes
        Plain,  // a line of its own at every tenth of a file (or every ten seconds), no escapes
    };
    // The mode for standard error: Off unless it is a terminal; Plain when TERM is unset,
    // empty or "dumb".
    static Mode modeForStandardError(bool quiet);

    // Lines are cut to `columns` characters, so that none wraps.
    ProgressDisplay(std::ostream& terminal, Mode mode, int columns)
        : m_terminal(terminal), m_mode(mode), m_columns(columns) {}

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
        // Plain mode: the last tenth printed, or when the last line was printed.
        int plainStep = -1;
        std::chrono::steady_clock::time_point plainPrinted;
    };
    // Plain mode: prints the line when the file has gone another tenth (or ten seconds).
    void printPlain(Line& line, const RunEvent& progress,
                    std::chrono::steady_clock::time_point now);

    std::ostream& m_terminal;
    Mode m_mode;
    int m_columns;
    std::map<int, Line> m_lines;
    int m_drawn = 0;
};
