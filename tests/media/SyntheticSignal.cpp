#include "SyntheticSignal.h"
#include "../support/OrientationMark.h"

extern "C" {
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
}

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace {

// Position along a path that runs from 0 to span and back, one step per frame.
int bounce(int step, int span) {
    if (span <= 0) {
        return 0;
    }
    const int period = 2 * span;
    const int phase = step % period;
    return phase <= span ? phase : period - phase;
}

} // namespace

void SyntheticSignal::fillPicture(AVFrame& frame, int frameIndex) {
    if (frame.format != AV_PIX_FMT_YUV420P) {
        throw std::runtime_error("synthetic pictures are made in yuv420p only");
    }
    const int width = frame.width;
    const int height = frame.height;
    const int barWidth = std::max(1, width / 8);
    const int drift = frameIndex * 4;

    // Luma: eight bars of rising brightness, shifted with the frame and shaded by row.
    for (int y = 0; y < height; ++y) {
        uint8_t* row = frame.data[0] + static_cast<std::ptrdiff_t>(y) * frame.linesize[0];
        for (int x = 0; x < width; ++x) {
            const int bar = ((x + y / 2 + drift) / barWidth) % 8;
            row[x] = static_cast<uint8_t>(32 + bar * 24 + (y * 16) / std::max(1, height));
        }
    }
    // Chroma: slow gradients that move in opposite directions.
    for (int y = 0; y < height / 2; ++y) {
        uint8_t* u = frame.data[1] + static_cast<std::ptrdiff_t>(y) * frame.linesize[1];
        uint8_t* v = frame.data[2] + static_cast<std::ptrdiff_t>(y) * frame.linesize[2];
        for (int x = 0; x < width / 2; ++x) {
            u[x] = static_cast<uint8_t>(64 + ((x + frameIndex * 2) % 128));
            v[x] = static_cast<uint8_t>(64 + ((y + 128 - (frameIndex * 3) % 128) % 128));
        }
    }
    // A bright box a quarter of the height tall, bouncing diagonally.
    const int box = std::max(2, height / 4) & ~1;
    const int boxX = bounce(frameIndex * 6, width - box) & ~1;
    const int boxY = bounce(frameIndex * 4, height - box) & ~1;
    for (int y = boxY; y < boxY + box; ++y) {
        uint8_t* row = frame.data[0] + static_cast<std::ptrdiff_t>(y) * frame.linesize[0];
        std::fill(row + boxX, row + boxX + box, uint8_t{235});
    }
    for (int y = boxY / 2; y < (boxY + box) / 2; ++y) {
        uint8_t* u = frame.data[1] + static_cast<std::ptrdiff_t>(y) * frame.linesize[1];
        uint8_t* v = frame.data[2] + static_cast<std::ptrdiff_t>(y) * frame.linesize[2];
        std::fill(u + boxX / 2, u + (boxX + box) / 2, uint8_t{90});
        std::fill(v + boxX / 2, v + (boxX + box) / 2, uint8_t{200});
    }
}

namespace {

// A fixed pseudo-random value 0..255 for a lattice point.
int latticeValue(int x, int y, uint32_t seed) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
                 seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<int>((h ^ (h >> 16)) & 0xFF);
}

// Noise smoothed over cells of `cell` pixels (bilinear between lattice points), 0..255.
int smoothNoise(int x, int y, int cell, uint32_t seed) {
    const int cx = x / cell;
    const int cy = y / cell;
    const int fx = x % cell;
    const int fy = y % cell;
    const int top = latticeValue(cx, cy, seed) * (cell - fx) + latticeValue(cx + 1, cy, seed) * fx;
    const int bottom =
        latticeValue(cx, cy + 1, seed) * (cell - fx) + latticeValue(cx + 1, cy + 1, seed) * fx;
    return (top * (cell - fy) + bottom * fy) / (cell * cell);
}

// A textured sample: coarse shapes, finer detail and a little grain.
int texture(int x, int y, uint32_t seed) {
    return (smoothNoise(x, y, 48, seed) * 5 + smoothNoise(x, y, 12, seed + 1) * 2 +
            smoothNoise(x, y, 3, seed + 2)) /
           8;
}

} // namespace

void SyntheticSignal::fillTexturedPicture(AVFrame& frame, int frameIndex) {
    if (frame.format != AV_PIX_FMT_YUV420P) {
        throw std::runtime_error("textured pictures are made in yuv420p only");
    }
    // The scene pans right and a little down; positions stay positive.
    const int panX = 1000 + frameIndex * 3;
    const int panY = 1000 + frameIndex;
    for (int y = 0; y < frame.height; ++y) {
        uint8_t* row = frame.data[0] + static_cast<std::ptrdiff_t>(y) * frame.linesize[0];
        for (int x = 0; x < frame.width; ++x) {
            // The grain of a camera picture changes from frame to frame.
            const int grain = latticeValue(x, y, 100u + static_cast<uint32_t>(frameIndex)) / 32 - 4;
            row[x] = static_cast<uint8_t>(20 + texture(x + panX, y + panY, 1) * 211 / 255 + grain);
        }
    }
    for (int y = 0; y < frame.height / 2; ++y) {
        uint8_t* u = frame.data[1] + static_cast<std::ptrdiff_t>(y) * frame.linesize[1];
        uint8_t* v = frame.data[2] + static_cast<std::ptrdiff_t>(y) * frame.linesize[2];
        for (int x = 0; x < frame.width / 2; ++x) {
            u[x] = static_cast<uint8_t>(96 + smoothNoise(x + panX / 2, y + panY / 2, 24, 7) / 4);
            v[x] = static_cast<uint8_t>(96 + smoothNoise(x + panX / 2, y + panY / 2, 24, 9) / 4);
        }
    }
}

namespace {

// Where a stored pixel lands once the frame is turned clockwise by rotationCw degrees.
struct Upright {
    int x;
    int y;
};

Upright uprightOf(int x, int y, int storedWidth, int storedHeight, int rotationCw) {
    switch (rotationCw) {
    case 90:
        return {storedHeight - 1 - y, x};
    case 180:
        return {storedWidth - 1 - x, storedHeight - 1 - y};
    case 270:
        return {y, storedWidth - 1 - x};
    default:
        return {x, y};
    }
}

// Luma of the upright marked picture; the stripes move one pixel per frame.
int markedLuma(Upright at, int width, int height, int frameIndex) {
    switch (OrientationMark::blockAt(at.x, at.y, width, height)) {
    case OrientationMark::Block::Bright:
        return OrientationMark::kBrightLuma;
    case OrientationMark::Block::Grey:
        return OrientationMark::kGreyLuma;
    case OrientationMark::Block::None:
        break;
    }
    const int stripe = ((at.x + at.y + frameIndex) / 8) % 4;
    return OrientationMark::kBackgroundLuma + stripe * OrientationMark::kBackgroundSwing / 3;
}

} // namespace

void SyntheticSignal::fillMarkedPicture(AVFrame& frame, int frameIndex, int displayRotationCw) {
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame.format));
    if (desc == nullptr || desc->nb_components != 3 || !(desc->flags & AV_PIX_FMT_FLAG_PLANAR) ||
        (desc->flags & AV_PIX_FMT_FLAG_RGB) || desc->comp[0].depth != 8) {
        throw std::runtime_error("marked pictures are made in 8-bit planar YUV only");
    }
    if (displayRotationCw % 90 != 0 || displayRotationCw < 0 || displayRotationCw >= 360) {
        throw std::runtime_error("display rotation must be 0, 90, 180 or 270 degrees");
    }
    const int storedW = frame.width;
    const int storedH = frame.height;
    const bool turned = displayRotationCw == 90 || displayRotationCw == 270;
    const int uprightW = turned ? storedH : storedW;
    const int uprightH = turned ? storedW : storedH;

    for (int y = 0; y < storedH; ++y) {
        uint8_t* row = frame.data[0] + static_cast<std::ptrdiff_t>(y) * frame.linesize[0];
        for (int x = 0; x < storedW; ++x) {
            const Upright at = uprightOf(x, y, storedW, storedH, displayRotationCw);
            row[x] = static_cast<uint8_t>(markedLuma(at, uprightW, uprightH, frameIndex));
        }
    }
    // Chroma: the bright block is reddish, the grey one neutral, the background a faint
    // blue that drifts, so colour mix-ups show too. Each chroma sample takes the colour of
    // the first luma pixel it covers; odd sizes round the chroma planes up.
    const int shiftW = desc->log2_chroma_w;
    const int shiftH = desc->log2_chroma_h;
    const int chromaW = -((-storedW) >> shiftW);
    const int chromaH = -((-storedH) >> shiftH);
    for (int y = 0; y < chromaH; ++y) {
        uint8_t* u = frame.data[1] + static_cast<std::ptrdiff_t>(y) * frame.linesize[1];
        uint8_t* v = frame.data[2] + static_cast<std::ptrdiff_t>(y) * frame.linesize[2];
        for (int x = 0; x < chromaW; ++x) {
            const Upright at =
                uprightOf(x << shiftW, y << shiftH, storedW, storedH, displayRotationCw);
            switch (OrientationMark::blockAt(at.x, at.y, uprightW, uprightH)) {
            case OrientationMark::Block::Bright:
                u[x] = 100;
                v[x] = 170;
                break;
            case OrientationMark::Block::Grey:
                u[x] = 128;
                v[x] = 128;
                break;
            case OrientationMark::Block::None:
                u[x] = static_cast<uint8_t>(136 + ((at.x + frameIndex) / 16) % 8);
                v[x] = 124;
                break;
            }
        }
    }
}

bool SyntheticSignal::supportsSampleFormat(int sampleFormat) {
    switch (static_cast<AVSampleFormat>(sampleFormat)) {
    case AV_SAMPLE_FMT_S16:
    case AV_SAMPLE_FMT_S16P:
    case AV_SAMPLE_FMT_S32:
    case AV_SAMPLE_FMT_S32P:
    case AV_SAMPLE_FMT_FLT:
    case AV_SAMPLE_FMT_FLTP:
        return true;
    default:
        return false;
    }
}

bool SyntheticSignal::fillTone(AVFrame& frame, int64_t firstSample) {
    const auto format = static_cast<AVSampleFormat>(frame.format);
    if (!supportsSampleFormat(format) || frame.sample_rate <= 0) {
        return false;
    }
    const int channels = frame.ch_layout.nb_channels;
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    constexpr double amplitude = 0.4;

    for (int channel = 0; channel < channels; ++channel) {
        const double frequencyHz = 440.0 + 220.0 * channel;
        for (int i = 0; i < frame.nb_samples; ++i) {
            const double seconds = static_cast<double>(firstSample + i) / frame.sample_rate;
            const double value =
                amplitude * std::sin(2.0 * std::numbers::pi * frequencyHz * seconds);
            const int plane = planar ? channel : 0;
            const int slot = planar ? i : i * channels + channel;
            switch (format) {
            case AV_SAMPLE_FMT_S16:
            case AV_SAMPLE_FMT_S16P:
                reinterpret_cast<int16_t*>(frame.extended_data[plane])[slot] =
                    static_cast<int16_t>(std::lround(value * 32767.0));
                break;
            case AV_SAMPLE_FMT_S32:
            case AV_SAMPLE_FMT_S32P:
                reinterpret_cast<int32_t*>(frame.extended_data[plane])[slot] =
                    static_cast<int32_t>(std::lround(value * 2147483647.0));
                break;
            default:
                reinterpret_cast<float*>(frame.extended_data[plane])[slot] =
                    static_cast<float>(value);
                break;
            }
        }
    }
    return true;
}
