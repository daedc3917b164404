// The codec floor of the benchmark: the least decode-scale-resample-encode-mux loop over
// the same libraries, decoders, scaler, resampler, encoders and muxer that a conversion
// uses, with nothing else around it.
#pragma once

#include <string>

extern "C" {
#include <libavutil/rational.h>
}

// What the floor writes: empty codec names leave that kind out.
struct FloorJob {
    std::string input;
    std::string output; // the muxer follows the file name
    std::string videoEncoder;
    int width = 0, height = 0;
    AVRational frameRate{25, 1};
    int64_t videoBitRate = 0;
    std::string audioEncoder;
    int sampleRateHz = 0, channels = 0;
    int64_t audioBitRate = 0;
    int threads = 1;         // of each decoder and encoder: 0 = the libraries choose
    std::string videoPreset; // the video encoder's private "preset", when set
};

// Runs the job; returns the number of video frames encoded. Failures throw
// std::runtime_error.
int RunFloorJob(const FloorJob& job);
