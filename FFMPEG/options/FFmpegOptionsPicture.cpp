// Picture options: crop, pad, pad colour and the quantiser matrices.
#include "FFmpeg.h"

#include "FFmpegOptionsNumbers.h"

#include <cstdio>

namespace {

constexpr const char* kVerticalCropRange =
    "Vertical crop dimensions are outside the range of the original image.\n"
    "Remember to crop first and scale second.";
constexpr const char* kHorizontalCropRange =
    "Horizontal crop dimensions are outside the range of the original image.\n"
    "Remember to crop first and scale second.";

// Floor division by 1024 for negative numerators too.
int32_t floorDiv1024(int32_t value) {
    return value >> 10;
}

} // namespace

void TCustomFFmpeg::SetCrop(int32_t& field, int32_t& frameSize, int32_t value,
                            const char* oddMessage, bool vertical) {
    if (value < 0)
        return;
    if (value % 2 != 0)
        throw FFMpegException(oddMessage);
    if (value >= frameSize)
        throw FFMpegException(vertical ? kVerticalCropRange : kHorizontalCropRange);
    field = value;
    frameSize -= value;
}

void TCustomFFmpeg::SetCropTop(int32_t value) {
    SetCrop(CropTop, FrameHeight, value, "Top crop size must be a multiple of 2", true);
}
void TCustomFFmpeg::SetCropBottom(int32_t value) {
    SetCrop(CropBottom, FrameHeight, value, "Bottom crop size must be a multiple of 2", true);
}
void TCustomFFmpeg::SetCropLeft(int32_t value) {
    SetCrop(CropLeft, FrameWidth, value, "Left crop size must be a multiple of 2", false);
}
void TCustomFFmpeg::SetCropRight(int32_t value) {
    SetCrop(CropRight, FrameWidth, value, "Right crop size must be a multiple of 2", false);
}

void TCustomFFmpeg::SetPad(int32_t& field, int32_t value, const char* oddMessage) {
    if (value < 0)
        return;
    if (value % 2 != 0)
        throw FFMpegException(oddMessage);
    field = value;
}

void TCustomFFmpeg::SetPadTop(int32_t value) {
    SetPad(PadTop, value, "Top pad size must be a multiple of 2");
}
void TCustomFFmpeg::SetPadBottom(int32_t value) {
    SetPad(PadBottom, value, "Bottom pad size must be a multiple of 2");
}
void TCustomFFmpeg::SetPadLeft(int32_t value) {
    SetPad(PadLeft, value, "Left pad size must be a multiple of 2");
}
void TCustomFFmpeg::SetPadRight(int32_t value) {
    SetPad(PadRight, value, "Right pad size must be a multiple of 2");
}

void TCustomFFmpeg::SetPadColor(uint32_t rgb) {
    // Integer RGB to YCbCr with the weights scaled by 1024 (full-range input, video-range
    // luma offsets are not applied: black gives 0, 128, 128).
    const int32_t r = static_cast<int32_t>(rgb & 0xFF);
    const int32_t g = static_cast<int32_t>((rgb >> 8) & 0xFF);
    const int32_t b = static_cast<int32_t>((rgb >> 16) & 0xFF);
    const int32_t y = (307 * r + 602 * g + 117 * b + 512) >> 10;
    const int32_t cb = floorDiv1024(-173 * r - 340 * g + 512 * b + 511) + 128;
    const int32_t cr = floorDiv1024(512 * r - 429 * g - 84 * b + 511) + 128;
    PadColorYUV[0] = y & 0xFF;
    PadColorYUV[1] = cb & 0xFF;
    PadColorYUV[2] = cr & 0xFF;
}

void TCustomFFmpeg::SetMatrix(std::vector<uint16_t>& matrix, const std::string& value) {
    matrix.assign(64, 0);
    std::string_view rest(value);
    for (int index = 0; index < 64; ++index) {
        std::size_t consumed = 0;
        matrix[index] = static_cast<uint16_t>(ReadDecimalPrefix(rest, consumed));
        if (index == 63)
            break;
        const std::size_t comma = rest.find(',');
        if (comma == std::string_view::npos) {
            char message[1024];
            std::snprintf(message, sizeof message, "Syntax error in matrix \"%s\" at coeff %d",
                          value.c_str(), index);
            throw FFMpegException(message);
        }
        rest.remove_prefix(comma + 1);
    }
}
