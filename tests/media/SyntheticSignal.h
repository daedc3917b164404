// Synthetic pictures and tones that the test media generator encodes.
#pragma once

extern "C" {
#include <libavutil/frame.h>
}

#include <cstdint>

// Fills frames with deterministic content that changes over time, so encoders produce
// real motion and real audio rather than a flat picture or silence.
class SyntheticSignal {
public:
    // A YUV 4:2:0 picture: diagonal colour bars drifting right, with a box bouncing over
    // them. The frame's format, width and height must be set and its buffer allocated.
    static void fillPicture(AVFrame& frame, int frameIndex);

    // Sine tones, one frequency per channel (440 Hz, 660 Hz, ...), starting at sample
    // number firstSample. Planar and packed 16/32-bit integer and float formats are
    // accepted; returns false for any other sample format.
    static bool fillTone(AVFrame& frame, int64_t firstSample);

    // Whether fillTone can write this sample format.
    static bool supportsSampleFormat(int sampleFormat);
};
