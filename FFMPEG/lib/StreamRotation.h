// How far a video stream's pictures must be turned to stand upright, from the display
// matrix that phones and cameras store beside portrait recordings.
#pragma once

extern "C" {
#include <libavformat/avformat.h>
}

// The clockwise turn in degrees (0, 90, 180 or 270) that makes the stream's pictures
// upright; 0 without a display matrix or for one that is not a quarter turn.
int DisplayRotationDegrees(const AVStream* stream);
