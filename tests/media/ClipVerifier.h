// Checks the generated test media against the expectations named in TestMedia.h.
#pragma once

#include "../support/TestMedia.h"

#include <filesystem>
#include <string>
#include <vector>

// Opens each file with libavformat exactly as a prober would (avformat_open_input, then
// avformat_find_stream_info) and compares what the library reports with a TestClip.
class ClipVerifier {
public:
    explicit ClipVerifier(std::filesystem::path folder);

    // The differences found for one clip; empty when the file matches.
    std::vector<std::string> check(const TestClip& clip) const;

private:
    std::filesystem::path m_folder;
};
