// The plane layout of 8-bit planar pictures and the working pictures of the video path's
// own picture work (deinterlacing, turning upright, scaling into the encoder's geometry).
#pragma once

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

// The planes of an 8-bit planar picture: count, and the size of each.
struct PlaneLayout {
    int count = 0;
    int width[4] = {};
    int height[4] = {};
};

// False for formats that are not planar with one byte per sample (packed, palette,
// bit-stream, deeper samples, hardware).
bool planarBytesLayout(AVPixelFormat format, int width, int height, PlaneLayout& layout);

// Whether `format` subsamples its chroma equally in both directions (a quarter turn keeps
// such a picture in its format).
bool squareChromaSubsampling(AVPixelFormat format);

// Gives `picture` (allocated when null) a buffer of width x height in `format` that nobody
// else holds: kept when it already is one, else replaced (an encoder may still hold the
// old one for reordering). Raises FFMpegException when the memory cannot be had.
void prepareOwnPicture(AVFrame*& picture, int width, int height, AVPixelFormat format);
