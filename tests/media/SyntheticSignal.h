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

    // A YUV 4:2:0 picture with the detail of a filmed scene: smooth and fine noise at
    // several scales, panned a few pixels per frame, with grain that changes from frame to
    // frame, so that encoders need about the bits
    // a camera picture of the same size needs.
    static void fillTexturedPicture(AVFrame& frame, int frameIndex);

    // The marked picture of OrientationMark.h (any 8-bit planar YUV format, any size,
    // odd ones too), stored turned so that a player which turns the frame clockwise by
    // displayRotationCw degrees (0, 90, 180 or 270) shows it upright. With 90 or 270 the
    // upright picture is frame.height wide and frame.width tall.
    static void fillMarkedPicture(AVFrame& frame, int frameIndex, int displayRotationCw);

    // Sine tones, one frequency per channel (440 Hz, 660 Hz, ...), starting at sample
    // number firstSample. Planar and packed 16/32-bit integer and float formats are
    // accepted; returns false for any other sample format.
    static bool fillTone(AVFrame& frame, int64_t firstSample);

    // Whether fillTone can write this sample format.
    static bool supportsSampleFormat(int sampleFormat);
};
