// Turning decoded pictures upright: phones store portrait recordings sideways with a
// display matrix, and every output format here shows the pictures as they are stored.
#include "FFmpeg.h"
#include "EngineText.h"
#include "PictureLayout.h"

#include "AVUtilHlpr.h"
#include "SwScaleHlpr.h"

#include <algorithm>
#include <cstring>

namespace {

// Turns one plane of `width` x `height` bytes clockwise by `degrees` (90, 180 or 270).
void turnPlane(const uint8_t* in, int inStride, int width, int height, uint8_t* out, int outStride,
               int degrees) {
    if (degrees == 180) {
        for (int y = 0; y < height; ++y) {
            const uint8_t* source = in + static_cast<std::ptrdiff_t>(height - 1 - y) * inStride;
            uint8_t* target = out + static_cast<std::ptrdiff_t>(y) * outStride;
            for (int x = 0; x < width; ++x)
                target[x] = source[width - 1 - x];
        }
        return;
    }
    // The turned plane is `height` wide and `width` high. Clockwise: target (x, y) shows
    // source (y, height - 1 - x); counter-clockwise: source (width - 1 - y, x).
    for (int y = 0; y < width; ++y) {
        uint8_t* target = out + static_cast<std::ptrdiff_t>(y) * outStride;
        if (degrees == 90) {
            const uint8_t* column = in + y;
            for (int x = 0; x < height; ++x)
                target[x] = column[static_cast<std::ptrdiff_t>(height - 1 - x) * inStride];
        } else {
            const uint8_t* column = in + (width - 1 - y);
            for (int x = 0; x < height; ++x)
                target[x] = column[static_cast<std::ptrdiff_t>(x) * inStride];
        }
    }
}

} // namespace

AVFrame* TCustomFFmpeg::UprightPicture(const InputStreamState& ist, AVFrame* decoded) {
    const int degrees = ist.RotationDegrees;
    if (degrees == 0 || !decoded || decoded->width <= 0 || decoded->height <= 0)
        return decoded;
    VideoPathState& state = VideoState;
    const bool quarter = degrees != 180;
    // Pictures the planes of which cannot be turned byte by byte (deeper samples, packed
    // or unevenly subsampled chroma) are converted to 4:2:0 first.
    const AVFrame* source = decoded;
    auto format = static_cast<AVPixelFormat>(decoded->format);
    PlaneLayout layout;
    if (!planarBytesLayout(format, decoded->width, decoded->height, layout) ||
        (quarter && !squareChromaSubsampling(format))) {
        if (lsws.sws_isSupportedInput(format) <= 0)
            throw FFMpegException(formatText(
                "Pictures in format %s cannot be turned upright",
                lavu.av_get_pix_fmt_name(format) ? lavu.av_get_pix_fmt_name(format) : "none"));
        prepareOwnPicture(state.UprightInput, decoded->width, decoded->height, AV_PIX_FMT_YUV420P);
        state.UprightConverter = lsws.sws_getCachedContext(
            state.UprightConverter, decoded->width, decoded->height, format, decoded->width,
            decoded->height, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
        if (!state.UprightConverter)
            throw FFMpegException("Cannot get resampling context");
        lsws.sws_scale(state.UprightConverter, decoded->data, decoded->linesize, 0, decoded->height,
                       state.UprightInput->data, state.UprightInput->linesize);
        source = state.UprightInput;
        format = AV_PIX_FMT_YUV420P;
        planarBytesLayout(format, decoded->width, decoded->height, layout);
    }
    // The encoder may still hold the last turned picture: then a fresh buffer is taken.
    prepareOwnPicture(state.Upright, quarter ? decoded->height : decoded->width,
                      quarter ? decoded->width : decoded->height, format);
    AVFrame* upright = state.Upright;
    for (int p = 0; p < layout.count; ++p)
        turnPlane(source->data[p], source->linesize[p], layout.width[p], layout.height[p],
                  upright->data[p], upright->linesize[p], degrees);
    upright->pts = decoded->pts;
    upright->pkt_dts = decoded->pkt_dts;
    upright->pkt_duration = decoded->pkt_duration;
    upright->interlaced_frame = decoded->interlaced_frame;
    upright->top_field_first = decoded->top_field_first;
    upright->quality = decoded->quality;
    upright->pict_type = decoded->pict_type;
    upright->key_frame = decoded->key_frame;
    upright->sample_aspect_ratio =
        quarter && decoded->sample_aspect_ratio.num > 0
            ? AVRational{decoded->sample_aspect_ratio.den, decoded->sample_aspect_ratio.num}
            : decoded->sample_aspect_ratio;
    return upright;
}
