// The frame rate a video stream really plays at, for the probe and the engine.
#pragma once

extern "C" {
#include <libavformat/avformat.h>
}

// A camera records at most this many pictures a second; a higher "real" rate is a clock.
inline constexpr double kMaxPlausibleFrameRate = 240.0;

// The stream's frame rate: its raw rate unless that is implausible (above what any camera
// records, or just the container's clock, as ASF streams report 1000/1) and the average
// rate is a believable one; then the average. {0, 1} when neither is known.
AVRational PlausibleFrameRate(const AVStream* stream);
