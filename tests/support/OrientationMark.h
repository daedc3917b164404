// The corner marks of the generated "marked" pictures, and a reader that tells from a
// decoded luma plane which way up such a picture is shown.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

// Upright, a marked picture is dark with two blocks in its top half: a bright one inside
// the top-left quarter and a grey one inside the top-right quarter. Each block covers the
// middle three quarters of its quarter in both directions, so it survives scaling, a
// little cropping and bars added around the picture. The background is a slow pattern of
// dark diagonal stripes (luma kBackgroundLuma to kBackgroundLuma + kBackgroundSwing).
namespace OrientationMark {

inline constexpr int kBrightLuma = 235;
inline constexpr int kGreyLuma = 128;
inline constexpr int kBackgroundLuma = 16;
inline constexpr int kBackgroundSwing = 24;

// Which block covers the upright pixel (x, y) of a width x height picture.
enum class Block { None, Bright, Grey };

inline Block blockAt(int x, int y, int width, int height) {
    const int halfW = width / 2;
    const int halfH = height / 2;
    // Inset by an eighth of the quarter on every side.
    const int insetX = halfW / 8;
    const int insetY = halfH / 8;
    if (y < insetY || y >= halfH - insetY) {
        return Block::None;
    }
    if (x >= insetX && x < halfW - insetX) {
        return Block::Bright;
    }
    if (x >= width - halfW + insetX && x < width - insetX) {
        return Block::Grey;
    }
    return Block::None;
}

// How a shown picture relates to its upright view: turned clockwise by rotationCw degrees
// (0, 90, 180 or 270), then, when mirrored, flipped left to right.
struct Orientation {
    int rotationCw = 0;
    bool mirrored = false;
    bool operator==(const Orientation&) const = default;
};

// Reads the orientation from the mean luma of the four quarters of a picture (8-bit luma,
// rows linesize bytes apart). The brightest quarter holds the bright block, the next one
// the grey block, which must share an edge with it; both must stand clearly above the
// rest. Returns nothing when the picture shows no such marks (another picture, a blank
// or a garbled frame).
inline std::optional<Orientation> readOrientation(const uint8_t* luma, std::ptrdiff_t linesize,
                                                  int width, int height) {
    if (luma == nullptr || width < 2 || height < 2) {
        return std::nullopt;
    }
    // Quarters in clockwise order: top-left, top-right, bottom-right, bottom-left.
    std::array<double, 4> sums{};
    std::array<double, 4> counts{};
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = luma + static_cast<std::ptrdiff_t>(y) * linesize;
        const bool bottom = y >= height / 2;
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2;
            const int quarter = bottom ? (right ? 2 : 3) : (right ? 1 : 0);
            sums[quarter] += row[x];
            counts[quarter] += 1;
        }
    }
    std::array<double, 4> means{};
    for (int i = 0; i < 4; ++i) {
        means[i] = sums[i] / counts[i];
    }
    std::array<int, 4> order{0, 1, 2, 3};
    std::sort(order.begin(), order.end(), [&](int a, int b) { return means[a] > means[b]; });
    const int bright = order[0];
    const int grey = order[1];
    constexpr double kMinGap = 20.0;
    if (means[bright] - means[grey] < kMinGap || means[grey] - means[order[2]] < kMinGap) {
        return std::nullopt;
    }
    if (grey == (bright + 1) % 4) {
        return Orientation{.rotationCw = 90 * bright, .mirrored = false};
    }
    if (grey == (bright + 3) % 4) {
        // Flipping left to right swaps top-left with top-right and bottom-left with
        // bottom-right: quarter i came from quarter (5 - i) % 4.
        return Orientation{.rotationCw = 90 * ((5 - bright) % 4), .mirrored = true};
    }
    return std::nullopt;
}

} // namespace OrientationMark
