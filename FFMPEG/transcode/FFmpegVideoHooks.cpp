// Picture pre-processing of the video path: the working picture, deinterlacing, the
// before-hook gate with its time windows, the custom hook on a BGR bitmap and the frame
// hook plug-ins.
#include "FFmpeg.h"
#include "PictureLayout.h"

#include "AVUtilHlpr.h"
#include "SwScaleHlpr.h"
#include "TFFmpeg.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>

namespace {

// Plane alignment of the working and RGB pictures (what the scaler's vector code likes).
constexpr int kPlaneAlign = 64;

// The before-hook handler and the time windows are the task's (TFFmpeg); a bare engine
// has neither.
TFFmpeg* taskOf(TCustomFFmpeg& engine) {
    return dynamic_cast<TFFmpeg*>(&engine);
}

// Decides HookAction for the plug-ins of this picture.
void gateHooks(TCustomFFmpeg& engine, int64_t pts) {
    VideoPathState& state = engine.VideoState;
    TFFmpeg* task = taskOf(engine);
    if (engine.BeforeHookAssigned() && task) {
        THookAction action = static_cast<THookAction>(state.HookAction);
        try {
            task->RaiseBeforeHook(pts, action);
        } catch (const std::exception& error) {
            engine.LogIfInstalled(kLogStepFailed,
                                  std::string("Error occurs OnBeforeHook: ") + error.what());
            action = haStop;
        } catch (...) {
            engine.LogIfInstalled(kLogStepFailed, "Error occurs OnBeforeHook: unknown error");
            action = haStop;
        }
        state.HookAction = action;
        if (action == haStop)
            engine.UsingVideoHook = 0;
        return;
    }
    if (!task || task->HookRanges.empty())
        return;
    // Windows are sorted by end: those that ended before pts are passed for good.
    const std::vector<THookRange>& ranges = task->HookRanges;
    int32_t& index = task->HookRangeIndex;
    state.HookAction = haIgnore;
    while (index < static_cast<int32_t>(ranges.size()) && ranges[index].End < pts)
        ++index;
    if (index >= static_cast<int32_t>(ranges.size())) {
        state.HookAction = haStop;
        engine.UsingVideoHook = 0;
        return;
    }
    // Later windows may start earlier (they are sorted by end), so look at all of them.
    for (std::size_t i = index; i < ranges.size(); ++i) {
        if (ranges[i].Start <= pts && pts <= ranges[i].End) {
            index = static_cast<int32_t>(i);
            state.HookAction = haContinue;
            return;
        }
    }
}

// Rebuilds the bottom field from both fields with the vertical filter (-1 4 2 4 -1) / 8
// over the rows y-2 .. y+2 (clamped at the edges); top-field rows are copied. Works on
// 8-bit planar formats only; false for any other. The stand-in for pictures the motion-
// adaptive deinterlacer (TDeinterlacer) cannot take.
bool deinterlacePicture(AVFrame* target, const AVFrame* source) {
    PlaneLayout layout;
    if (!planarBytesLayout(static_cast<AVPixelFormat>(source->format), source->width,
                           source->height, layout))
        return false;
    for (int p = 0; p < layout.count; ++p) {
        const int width = layout.width[p];
        const int height = layout.height[p];
        const uint8_t* in = source->data[p];
        const int inStride = source->linesize[p];
        auto row = [&](int y) {
            return in + static_cast<std::ptrdiff_t>(std::clamp(y, 0, height - 1)) * inStride;
        };
        for (int y = 0; y < height; ++y) {
            uint8_t* out = target->data[p] + static_cast<std::ptrdiff_t>(y) * target->linesize[p];
            if (y % 2 == 0) {
                std::memcpy(out, row(y), width);
                continue;
            }
            const uint8_t* m2 = row(y - 2);
            const uint8_t* m1 = row(y - 1);
            const uint8_t* c0 = row(y);
            const uint8_t* p1 = row(y + 1);
            const uint8_t* p2 = row(y + 2);
            for (int x = 0; x < width; ++x) {
                const int sum = -m2[x] + 4 * m1[x] + 2 * c0[x] + 4 * p1[x] - p2[x];
                out[x] = static_cast<uint8_t>(std::clamp((sum + 4) >> 3, 0, 255));
            }
        }
    }
    return true;
}

// The working picture over HookBuffer, holding the decoded picture (deinterlaced when
// asked); null when its memory cannot be had.
AVFrame* prepareWorkingPicture(TCustomFFmpeg& engine, const AVFrame* decoded) {
    VideoPathState& state = engine.VideoState;
    const auto format = static_cast<AVPixelFormat>(decoded->format);
    const int size =
        lavu.av_image_get_buffer_size(format, decoded->width, decoded->height, kPlaneAlign);
    if (!state.WorkPicture)
        state.WorkPicture = lavu.av_frame_alloc();
    if (size < 0 || !state.WorkPicture ||
        !state.HookBuffer.reserve(static_cast<std::size_t>(size))) {
        engine.LogIfInstalled(kLogStepFailed, "hook buf malloc error.");
        return nullptr;
    }
    AVFrame* work = state.WorkPicture;
    // The working picture owns no buffer reference: unref only drops the copied props.
    lavu.av_frame_unref(work);
    lavu.av_frame_copy_props(work, decoded);
    work->format = format;
    work->width = decoded->width;
    work->height = decoded->height;
    lavu.av_image_fill_arrays(work->data, work->linesize, state.HookBuffer.data(), format,
                              decoded->width, decoded->height, kPlaneAlign);
    if (engine.VideoState.LineDeinterlace) {
        if (deinterlacePicture(work, decoded))
            return work;
        // The picture goes on as it came; it is still copied, so hooks never write into
        // a picture the decoder may go on referring to.
        engine.LogIfInstalled(kLogStepFailed, "deinterlace error.");
    }
    lavu.av_image_copy(work->data, work->linesize, const_cast<const uint8_t**>(decoded->data),
                       decoded->linesize, format, decoded->width, decoded->height);
    return work;
}

// Copies `rows` rows of `bytes` bytes between the bitmap and a picture plane.
void copyRows(uint8_t* target, int targetStride, const uint8_t* source, int sourceStride, int rows,
              int bytes) {
    for (int y = 0; y < rows; ++y)
        std::memcpy(target + static_cast<std::ptrdiff_t>(y) * targetStride,
                    source + static_cast<std::ptrdiff_t>(y) * sourceStride, bytes);
}

// Hands the working picture to the custom hook as a BGR bitmap and takes its drawing back
// when the hook leaves AUpdate set.
void runCustomHook(TCustomFFmpeg& engine, AVFrame* work, int64_t pts) {
    VideoPathState& state = engine.VideoState;
    const int width = work->width;
    const int height = work->height;
    if (!state.HookBitmap)
        state.HookBitmap = std::make_unique<TBitmap>(width, height);
    TBitmap& bitmap = *state.HookBitmap;
    const auto format = static_cast<AVPixelFormat>(work->format);
    const bool convert = format != state.HookRgbFormat;
    uint8_t* rgbData[4] = {};
    int rgbLinesize[4] = {};
    bool stopHook = false;
    if (convert) {
        const int size =
            lavu.av_image_get_buffer_size(state.HookRgbFormat, width, height, kPlaneAlign);
        state.ToRgb =
            lsws.sws_getCachedContext(state.ToRgb, width, height, format, width, height,
                                      state.HookRgbFormat, SWS_BICUBIC, nullptr, nullptr, nullptr);
        if (size < 0 || !state.RgbBuffer.reserve(static_cast<std::size_t>(size)) || !state.ToRgb) {
            engine.LogIfInstalled(kLogStepFailed, "Cannot initialize the toRGB conversion context");
            stopHook = true;
        } else {
            lavu.av_image_fill_arrays(rgbData, rgbLinesize, state.RgbBuffer.data(),
                                      state.HookRgbFormat, width, height, kPlaneAlign);
            lsws.sws_scale(state.ToRgb, work->data, work->linesize, 0, height, rgbData,
                           rgbLinesize);
        }
    } else {
        std::copy(work->data, work->data + 4, rgbData);
        std::copy(work->linesize, work->linesize + 4, rgbLinesize);
    }
    if (!stopHook) {
        // The bitmap keeps its first size: a later picture of another size is copied only
        // as far as both reach.
        const int rows = std::min(height, bitmap.height());
        const int bytes = std::min(rgbLinesize[0], bitmap.bytesPerRow());
        bool update = true;
        std::string failure;
        {
            const std::lock_guard lock(bitmap);
            copyRows(bitmap.bits(), bitmap.bytesPerRow(), rgbData[0], rgbLinesize[0], rows, bytes);
            try {
                engine.RaiseCustomHook(&bitmap, state.HookFrameNumber, pts, update, stopHook);
            } catch (const std::exception& error) {
                failure = error.what();
                update = false;
            } catch (...) {
                failure = "unknown error";
                update = false;
            }
            if (update)
                copyRows(rgbData[0], rgbLinesize[0], bitmap.bits(), bitmap.bytesPerRow(), rows,
                         bytes);
        }
        if (!failure.empty())
            engine.LogIfInstalled(kLogStepFailed, "Error occurs OnCustomHook: " + failure);
        if (update && convert) {
            state.FromRgb =
                lsws.sws_getCachedContext(state.FromRgb, width, height, state.HookRgbFormat, width,
                                          height, format, SWS_BICUBIC, nullptr, nullptr, nullptr);
            if (!state.FromRgb) {
                engine.LogIfInstalled(kLogStepFailed,
                                      "Cannot initialize the fromRGB conversion context");
                stopHook = true;
            } else {
                lsws.sws_scale(state.FromRgb, rgbData, rgbLinesize, 0, height, work->data,
                               work->linesize);
            }
        }
    }
    if (stopHook) {
        state.CustomHookRemoved = true;
        state.HookAction = haStop;
        engine.UsingVideoHook = 0;
    }
}

} // namespace

bool VideoPathState::AlignedBuffer::reserve(std::size_t size) {
    if (size <= m_capacity && m_data)
        return true;
    auto* bytes = new (std::align_val_t(kPlaneAlign), std::nothrow) uint8_t[size];
    if (!bytes)
        return false;
    m_data.reset(bytes);
    m_capacity = size;
    return true;
}

void VideoPathState::AlignedBuffer::release() {
    m_data.reset();
    m_capacity = 0;
}

void VideoPathState::AlignedBuffer::Deleter::operator()(uint8_t* bytes) const {
    ::operator delete[](bytes, std::align_val_t(kPlaneAlign));
}

VideoPathState::~VideoPathState() {
    Reset();
}

void VideoPathState::Reset() {
    HookFrameNumber = 0;
    HookAction = haContinue;
    CustomHookRemoved = false;
    LineDeinterlace = false;
    // The working picture only views HookBuffer; freeing it frees its copied props.
    if (WorkPicture)
        lavu.av_frame_free(&WorkPicture);
    HookBuffer.release();
    HookBitmap.reset();
    HookRgbFormat = AV_PIX_FMT_BGR24;
    RgbBuffer.release();
    if (ToRgb)
        lsws.sws_freeContext(ToRgb);
    if (FromRgb)
        lsws.sws_freeContext(FromRgb);
    ToRgb = FromRgb = nullptr;
    if (Upright)
        lavu.av_frame_free(&Upright);
    if (UprightInput)
        lavu.av_frame_free(&UprightInput);
    if (UprightConverter)
        lsws.sws_freeContext(UprightConverter);
    UprightConverter = nullptr;
}

AVFrame* TCustomFFmpeg::PreprocessPicture(InputStreamState& ist, AVFrame* decoded) {
    VideoPathState& state = VideoState;
    const int64_t pts = ist.Pts;
    ++state.HookFrameNumber;
    const bool customHook = CustomHookAssigned() && !state.CustomHookRemoved;
    if (!customHook && UsingVideoHook)
        gateHooks(*this, pts);
    const bool plugins = !customHook && UsingVideoHook && state.HookAction == haContinue;
    if (!decoded || (!state.LineDeinterlace && !customHook && !plugins))
        return decoded;
    AVFrame* work = prepareWorkingPicture(*this, decoded);
    if (!work)
        return decoded;
    if (customHook)
        runCustomHook(*this, work, pts);
    else if (plugins)
        RunFrameHooks(FrameHooks, work->data, work->linesize, work->format, work->width,
                      work->height, pts);
    return work;
}
