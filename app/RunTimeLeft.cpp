#include "RunTimeLeft.h"

#include <algorithm>

void RunTimeLeft::clear() {
    m_converted.clear();
    m_left.clear();
}

void RunTimeLeft::rowProgress(int row, int64_t currentMs, int64_t totalMs) {
    m_converted[row] = std::max<int64_t>(currentMs, 0);
    // Without a known length nothing is known to be left.
    m_left[row] = totalMs > 0 ? std::max<int64_t>(totalMs - currentMs, 0) : 0;
}

void RunTimeLeft::rowEnded(int row) {
    m_left.erase(row);
}

int64_t RunTimeLeft::convertedMs() const {
    int64_t sum = 0;
    for (const auto& [row, ms] : m_converted)
        sum += ms;
    return sum;
}

int64_t RunTimeLeft::runningLeftMs() const {
    int64_t sum = 0;
    for (const auto& [row, ms] : m_left)
        sum += ms;
    return sum;
}
