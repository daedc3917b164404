// What a run has converted and what is left of the rows it is converting, for the whole
// run's speed and time left. No toolkit; the window's thread only.
#pragma once

#include <cstdint>
#include <map>

class RunTimeLeft {
public:
    // A run begins: nothing converted yet.
    void clear();
    // A progress report of a row: `currentMs` of its `totalMs` converted.
    void rowProgress(int row, int64_t currentMs, int64_t totalMs);
    // The row's conversion ended: its time left no longer counts (what it converted does).
    void rowEnded(int row);
    // Whether the row has reported progress in this run.
    bool began(int row) const { return m_converted.count(row) > 0; }
    // Media time converted by the run's rows so far.
    int64_t convertedMs() const;
    // Media time left of the rows converting now.
    int64_t runningLeftMs() const;

private:
    std::map<int, int64_t> m_converted; // row -> media time it converted
    std::map<int, int64_t> m_left;      // row converting now -> its media time left
};
