// Rewrites presentation times inside an ASF file's data packets, to make a stream with
// one corrupt time stamp.
#pragma once

#include <cstdint>
#include <vector>

namespace AsfTimes {

// Sets the presentation time of every payload of stream streamNumber (1 for the first
// stream) whose time is fromMs to toMs. Times are in milliseconds as stored, that is with
// the file's preroll added; readPrerollMs gives it. Walks the data packets as the format
// lays them out (fixed packet size from the file properties). Returns how many payloads
// were changed; throws std::runtime_error on a file it cannot walk.
int rewritePresentationTime(std::vector<char>& file, int streamNumber, uint32_t fromMs,
                            uint32_t toMs);

// The preroll of the file properties object, in milliseconds.
uint32_t readPrerollMs(const std::vector<char>& file);

} // namespace AsfTimes
