// The closing words of a conversion run, shared by the window's end-of-run message and the
// converter's last line: how many files ended in which state.
#pragma once

#include <string>

struct RunCounts {
    int Done = 0;
    int Failed = 0;     // "Fail", and rows the intake marked "Error" that the run met
    int Stopped = 0;    // "Abort": stopped by the user while converting
    int NotStarted = 0; // checked rows a stopped run never reached
};

// "3 done, 1 failed"; after a stop "stopped: 2 done, 1 stopped, 2 not started". Counts of
// zero are left out, but a run that counted nothing still says "0 done".
std::string RunSummaryText(const RunCounts& counts, bool stoppedByUser);

// True when the run ended with anything but every file done: the message then warns.
inline bool RunHadTrouble(const RunCounts& counts, bool stoppedByUser) {
    return stoppedByUser || counts.Failed > 0 || counts.Stopped > 0 || counts.NotStarted > 0;
}
