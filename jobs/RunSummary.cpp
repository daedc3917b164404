#include "RunSummary.h"

#include <utility>

std::string RunSummaryText(const RunCounts& counts, bool stoppedByUser) {
    const std::pair<int, const char*> parts[] = {{counts.Done, "done"},
                                                 {counts.Failed, "failed"},
                                                 {counts.Stopped, "stopped"},
                                                 {counts.NotStarted, "not started"}};
    std::string text;
    for (const auto& [count, word] : parts) {
        if (count <= 0)
            continue;
        if (!text.empty())
            text += ", ";
        text += std::to_string(count) + " " + word;
    }
    if (text.empty())
        text = "0 done";
    return stoppedByUser ? "stopped: " + text : text;
}
