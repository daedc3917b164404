#include "LetterBox.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

namespace {

bool readNumber(std::string_view text, double& value) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(value) &&
           value > 0;
}

// "WxH" with whole positive numbers.
bool readSize(std::string_view text, int32_t& width, int32_t& height) {
    const auto x = text.find('x');
    double w = 0;
    double h = 0;
    if (x == std::string_view::npos || !readNumber(text.substr(0, x), w) ||
        !readNumber(text.substr(x + 1), h) || w != std::floor(w) || h != std::floor(h) ||
        w > 16384 || h > 16384)
        return false;
    width = static_cast<int32_t>(w);
    height = static_cast<int32_t>(h);
    return true;
}

// "a:b" or a decimal number.
bool readAspect(std::string_view text, double& aspect) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos)
        return readNumber(text, aspect);
    double a = 0;
    double b = 0;
    if (!readNumber(text.substr(0, colon), a) || !readNumber(text.substr(colon + 1), b))
        return false;
    aspect = a / b;
    return std::isfinite(aspect) && aspect > 0;
}

int32_t evenBelow(double value) {
    return static_cast<int32_t>(std::floor(value / 2.0)) * 2;
}

int32_t evenNearest(double value) {
    return static_cast<int32_t>(std::lround(value / 2.0)) * 2;
}

} // namespace

std::optional<LetterBox> LetterBoxFor(const std::string& videoSize, const std::string& frameSize,
                                      const std::string& pictureAspect) {
    int32_t sourceWidth = 0;
    int32_t sourceHeight = 0;
    if (!readSize(videoSize, sourceWidth, sourceHeight))
        return std::nullopt;
    int32_t frameWidth = sourceWidth;
    int32_t frameHeight = sourceHeight;
    if (!frameSize.empty() && frameSize != "original" &&
        !readSize(frameSize, frameWidth, frameHeight))
        return std::nullopt;
    // Whole chroma samples: the frame itself is even.
    frameWidth = evenBelow(frameWidth);
    frameHeight = evenBelow(frameHeight);
    if (frameWidth < 2 || frameHeight < 2)
        return std::nullopt;
    const double outputAspect = static_cast<double>(frameWidth) / frameHeight;
    double sourceAspect = static_cast<double>(sourceWidth) / sourceHeight;
    if (!pictureAspect.empty() && !readAspect(pictureAspect, sourceAspect))
        return std::nullopt;

    LetterBox box;
    box.Width = frameWidth;
    box.Height = frameHeight;
    if (sourceAspect > outputAspect)
        box.Height = std::max(2, evenNearest(frameHeight * outputAspect / sourceAspect));
    else
        box.Width = std::max(2, evenNearest(frameWidth * sourceAspect / outputAspect));
    const int32_t across = frameWidth - box.Width;
    const int32_t down = frameHeight - box.Height;
    if (across + down < 4)
        return std::nullopt;
    box.Left = evenBelow(across / 2.0);
    box.Right = across - box.Left;
    box.Top = evenBelow(down / 2.0);
    box.Bottom = down - box.Top;
    return box;
}
