// Letterboxing: showing the whole picture in an output frame of another shape, with bars
// in the pad colour instead of a stretched picture.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The inner picture size and the pads around it; inner plus pads is the output frame.
struct LetterBox {
    int32_t Width = 0, Height = 0;
    int32_t Top = 0, Bottom = 0, Left = 0, Right = 0;
};

// The letterbox that shows a picture of `videoSize` ("640x480", as the file list shows it)
// at `pictureAspect` ("4:3", "1.7778"; "" is the size's own shape) undistorted in an output
// frame of `frameSize` ("320x240"; "original" or "" is the picture's size) with square
// pixels: bars above and below a picture wider than the frame, at the sides of a narrower
// one. The frame keeps its size. Sizes and pads are even. Nothing when a text cannot be
// read or the picture already has the frame's shape (bars of less than four pixels).
std::optional<LetterBox> LetterBoxFor(const std::string& videoSize, const std::string& frameSize,
                                      const std::string& pictureAspect);
