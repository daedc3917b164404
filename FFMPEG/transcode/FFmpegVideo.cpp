// The video output path: frame-rate sync, crop, scale and pad into the encoder's
// geometry, encoding, two-pass statistics and the encoder flush at end of input.
#include "FFmpeg.h"
#include "AudioStart.h"
#include "LibavPointers.h"
#include "EngineText.h"
#include "PictureLayout.h"

#include "AVCodecHlpr.h"
#include "AVUtilHlpr.h"
#include "SwScaleHlpr.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// A frame that only views the planes of `source` (no buffer reference).
FramePtr planeView(const AVFrame* source) {
    FramePtr view(lavu.av_frame_alloc());
    if (!view)
        throw FFMpegException("av_malloc fail");
    std::copy(source->data, source->data + AV_NUM_DATA_POINTERS, view->data);
    std::copy(source->linesize, source->linesize + AV_NUM_DATA_POINTERS, view->linesize);
    view->format = source->format;
    view->width = source->width;
    view->height = source->height;
    return view;
}

// Gives `view` counted references to the buffers of `owner`, whose planes it views, so the
// encoder keeps a reference instead of copying the picture. A picture without counted
// buffers leaves the view as it is (the encoder copies it).
void shareBuffers(AVFrame* view, const AVFrame* owner) {
    if (!owner->buf[0] || owner->nb_extended_buf > 0)
        return;
    for (int i = 0; i < AV_NUM_DATA_POINTERS && owner->buf[i]; ++i) {
        view->buf[i] = lavu.av_buffer_ref(owner->buf[i]);
        if (!view->buf[i]) {
            for (int j = 0; j < i; ++j)
                lavu.av_buffer_unref(&view->buf[j]);
            return;
        }
    }
}

// Moves the plane pointers of `view` by `top` rows and `left` columns of its format
// (chroma planes by the chroma shift). False for formats whose pixels are not whole bytes.
bool offsetPlanes(AVFrame* view, int top, int left) {
    const AVPixFmtDescriptor* desc =
        lavu.av_pix_fmt_desc_get(static_cast<AVPixelFormat>(view->format));
    if (!desc || (desc->flags & (AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_HWACCEL)) || top < 0 ||
        left < 0)
        return false;
    const bool rgb = desc->flags & AV_PIX_FMT_FLAG_RGB;
    for (int plane = 0; plane < 4; ++plane) {
        // The first component stored in the plane says how far a pixel reaches.
        int component = -1;
        for (int c = 0; c < desc->nb_components && component < 0; ++c)
            if (desc->comp[c].plane == plane)
                component = c;
        if (component < 0 || !view->data[plane])
            continue;
        const bool chroma = (component == 1 || component == 2) && !rgb;
        const int rows = chroma ? top >> desc->log2_chroma_h : top;
        const int columns = chroma ? left >> desc->log2_chroma_w : left;
        view->data[plane] += static_cast<std::ptrdiff_t>(rows) * view->linesize[plane] +
                             static_cast<std::ptrdiff_t>(columns) * desc->comp[component].step;
    }
    return true;
}

// The planes of an 8-bit planar YUV (or grey) picture with their chroma shifts; false
// for every other format.
bool planarYuvShifts(AVPixelFormat format, int& planes, int& shiftX, int& shiftY) {
    const AVPixFmtDescriptor* desc = lavu.av_pix_fmt_desc_get(format);
    if (!desc || (desc->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL |
                                 AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_HWACCEL)))
        return false;
    if (desc->nb_components > 1 && !(desc->flags & AV_PIX_FMT_FLAG_PLANAR))
        return false;
    for (int c = 0; c < desc->nb_components; ++c) {
        const AVComponentDescriptor& comp = desc->comp[c];
        if (comp.depth != 8 || comp.step != 1 || comp.plane != c)
            return false;
    }
    planes = desc->nb_components;
    shiftX = desc->log2_chroma_w;
    shiftY = desc->log2_chroma_h;
    return true;
}

// Fills the borders of `picture` (width x height) in the pad colour: `top`, `bottom`
// rows and `left`, `right` columns of luma, chroma by the chroma shift. Alpha is opaque.
bool fillPadBorders(AVFrame* picture, const int32_t colour[3], int top, int bottom, int left,
                    int right) {
    int planes = 0, shiftX = 0, shiftY = 0;
    if (!planarYuvShifts(static_cast<AVPixelFormat>(picture->format), planes, shiftX, shiftY))
        return false;
    for (int plane = 0; plane < planes; ++plane) {
        const bool chroma = plane == 1 || plane == 2;
        const int sx = chroma ? shiftX : 0;
        const int sy = chroma ? shiftY : 0;
        const int width = -((-picture->width) >> sx);
        const int height = -((-picture->height) >> sy);
        const int rowsTop = std::min(top >> sy, height);
        const int rowsBottom = std::min(bottom >> sy, height - rowsTop);
        const int columnsLeft = std::min(left >> sx, width);
        const int columnsRight = std::min(right >> sx, width - columnsLeft);
        const auto value =
            static_cast<uint8_t>(plane < 3 ? std::clamp(colour[plane], 0, 255) : 255);
        for (int y = 0; y < height; ++y) {
            uint8_t* row =
                picture->data[plane] + static_cast<std::ptrdiff_t>(y) * picture->linesize[plane];
            if (y < rowsTop || y >= height - rowsBottom) {
                std::memset(row, value, width);
                continue;
            }
            std::memset(row, value, columnsLeft);
            std::memset(row + width - columnsRight, value, columnsRight);
        }
    }
    return true;
}

// Repeated or dropped pictures fill gaps of the input clock up to this length; a longer
// jump is taken as a damaged timestamp.
constexpr double kMaxSyncGapSeconds = 5.0;

const char* pixelFormatName(int format) {
    const char* name = lavu.av_get_pix_fmt_name(static_cast<AVPixelFormat>(format));
    return name ? name : "none";
}

// The scaler flags the set-up uses ("sws_flags" of the scaler option set).
int scalerFlags(const TCustomFFmpeg& engine) {
    int64_t flags = SWS_BICUBIC;
    if (engine.ScalerOptionContext)
        lavu.av_opt_get_int(engine.ScalerOptionContext, "sws_flags", 0, &flags);
    return static_cast<int>(flags);
}

} // namespace

// Hands `frame` (null: drain) to the encoder and writes every packet it gives back.
// Returns the size of the last packet written, 0 when none came.
static int encodeAndWrite(TCustomFFmpeg& engine, AVFormatContext* output, OutputStreamState& ost,
                          const AVFrame* frame) {
    AVCodecContext* enc = *ost.Codec;
    int sent = lavc.avcodec_send_frame(enc, frame);
    // A drained encoder takes nothing more; a second flush has nothing to write.
    if (!frame && sent == AVERROR_EOF)
        return 0;
    if (sent < 0)
        throw FFMpegException("Video encoding failed");
    PacketPtr packet(lavc.av_packet_alloc());
    if (!packet)
        throw FFMpegException("av_malloc fail");
    int lastSize = 0;
    for (;;) {
        const int received = lavc.avcodec_receive_packet(enc, packet.get());
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            break;
        if (received < 0)
            throw FFMpegException("Video encoding failed");
        if (packet->size <= 0) {
            lavc.av_packet_unref(packet.get());
            continue;
        }
        lastSize = packet->size;
        engine.VideoBytes += packet->size;
        if (ost.LogFile && (enc->flags & AV_CODEC_FLAG_PASS1) && enc->stats_out)
            std::fputs(enc->stats_out, ost.LogFile);
        lavc.av_packet_rescale_ts(packet.get(), enc->time_base, ost.Stream->time_base);
        packet->stream_index = ost.Stream->index;
        engine.WritePacket(output, packet.get(), ost);
    }
    return lastSize;
}

namespace {

// 1., 2. Frame-rate sync: how many times the picture that `ist` just gave is encoded for
// `ost` (0 drops it, more than 1 repeats it) in `output`.
int64_t syncFrameCount(TCustomFFmpeg& engine, const AVFormatContext* output, OutputStreamState& ost,
                       const InputStreamState& ist) {
    const AVCodecContext* enc = *ost.Codec;
    const double timeBase = av_q2d(enc->time_base);
    const double inputSeconds =
        static_cast<double>(engine.SyncInput(ost).Pts - engine.StartTime) / 1000000.0;
    double inputFrames = inputSeconds / timeBase - ost.SyncShiftFrames;
    // A jump of the input clock by more than a few seconds is a damaged or restarted
    // timestamp, not a gap to fill with repeated pictures or to close by dropping them: the
    // output clock goes on from where it was.
    const double jump = inputFrames - static_cast<double>(ost.SyncOpts);
    if (std::fabs(jump) * timeBase > kMaxSyncGapSeconds) {
        ost.SyncShiftFrames += jump;
        inputFrames -= jump;
        engine.LogIfInstalled(kLogStepFailed,
                              formatText("Timestamp jump of %.3f s in input stream #%d.%d absorbed",
                                         jump * timeBase, ist.FileIndex, ist.StreamIndex));
    }
    const int32_t method = engine.VideoSyncMethod;
    int64_t frames = 1;
    if (method > 0 || (method < 0 && timeBase > 0.001)) {
        const double delta = inputFrames - static_cast<double>(ost.SyncOpts);
        // A first picture half a frame or more after the output's start keeps its time:
        // the stream starts there, or, in a container that cannot say where a stream
        // starts, the picture fills the time before it. Let through a frame early, it would
        // start a lag of a frame for the whole file (a transport stream's pictures often
        // begin a frame after its sound).
        const bool lateFirst = ost.FrameNumber == 0 && delta >= 0.5;
        if (delta < -1.1)
            frames = 0;
        else if (method == 2 || (lateFirst && !AudioTiming::LacksStreamStart(output)))
            ost.SyncOpts = std::llrint(inputFrames);
        else if (lateFirst)
            frames = 1 + std::llrint(std::min(delta, static_cast<double>(INT_MAX) - 1));
        else if (delta > 1.1)
            frames = std::llrint(std::min(delta, static_cast<double>(INT_MAX)));
        if (frames == 0) {
            ++engine.DroppedFrames;
            if (engine.Verbosity > 2)
                engine.LogIfInstalled(kLogInfo, "*** drop!");
        } else if (frames > 1) {
            engine.DuplicatedFrames += static_cast<int32_t>(frames);
            char text[64];
            std::snprintf(text, sizeof text, "*** %d dup!", static_cast<int>(frames - 1));
            engine.LogIfInstalled(kLogInfo, text);
        }
    } else {
        ost.SyncOpts = std::llrint(inputFrames);
    }
    return frames;
}

// The cropped picture scaled (or, at the same size and format, copied) into the inner part
// of the stream's scratch picture.
void fillInner(TCustomFFmpeg& engine, OutputStreamState& ost, AVFrame* cropped, AVFrame* inner) {
    const AVCodecContext* enc = *ost.Codec;
    const int innerWidth = inner->width;
    const int innerHeight = inner->height;
    if (ost.VideoResample) {
        if (cropped->width <= 0 || cropped->height <= 0 ||
            lsws.sws_isSupportedInput(static_cast<AVPixelFormat>(cropped->format)) <= 0)
            throw FFMpegException(formatText(
                "The decoder gives pictures of %d x %d in format %s, which cannot be scaled",
                cropped->width, cropped->height, pixelFormatName(cropped->format)));
        ost.Scaler = lsws.sws_getCachedContext(ost.Scaler, cropped->width, cropped->height,
                                               static_cast<AVPixelFormat>(cropped->format),
                                               innerWidth, innerHeight, enc->pix_fmt,
                                               scalerFlags(engine), nullptr, nullptr, nullptr);
        if (!ost.Scaler)
            throw FFMpegException("Cannot get resampling context");
        ost.ResampleHeight = cropped->height;
        lsws.sws_scale(ost.Scaler, cropped->data, cropped->linesize, 0, ost.ResampleHeight,
                       inner->data, inner->linesize);
    } else {
        lavu.av_image_copy(inner->data, inner->linesize, const_cast<const uint8_t**>(cropped->data),
                           cropped->linesize, enc->pix_fmt, innerWidth, innerHeight);
    }
}

// 4., 5. The picture cropped, scaled and padded into the encoder's geometry, as a frame
// that views its planes and holds references to their buffers (the picture's own when it
// fits as it is, else the stream's scratch picture). Null when it cannot be done (logged).
FramePtr fitPicture(TCustomFFmpeg& engine, OutputStreamState& ost, AVFrame* picture) {
    AVCodecContext* enc = *ost.Codec;
    // Crop: a view of the picture.
    FramePtr cropped = planeView(picture);
    if (ost.VideoCrop) {
        cropped->width = picture->width - ost.CropLeft - engine.CropRight;
        cropped->height = picture->height - ost.CropTop - engine.CropBottom;
        if (cropped->width <= 0 || cropped->height <= 0 ||
            !offsetPlanes(cropped.get(), ost.CropTop, ost.CropLeft)) {
            engine.LogIfInstalled(kLogStepFailed, "error cropping picture");
            return nullptr;
        }
    }

    // Scale and pad. A picture whose size or format is not the one the set-up saw goes
    // through a scaler as well, never read out of bounds.
    const int innerWidth = enc->width - ost.PadLeft - ost.PadRight;
    const int innerHeight = enc->height - ost.PadTop - ost.PadBottom;
    if (!ost.VideoResample && (cropped->width != innerWidth || cropped->height != innerHeight ||
                               cropped->format != enc->pix_fmt))
        ost.VideoResample = 1;
    if (!ost.VideoResample && !ost.VideoPad) {
        FramePtr frame = planeView(cropped.get());
        shareBuffers(frame.get(), picture);
        return frame;
    }
    // The encoder's picture, written for every frame: while the encoder still holds the
    // last one (it keeps references for reordering or lookahead) a fresh buffer is taken.
    prepareOwnPicture(ost.ScratchPicture, enc->width, enc->height, enc->pix_fmt);
    // The inner part of the scratch picture (inside the pads).
    FramePtr inner = planeView(ost.ScratchPicture);
    inner->width = innerWidth;
    inner->height = innerHeight;
    if (ost.VideoPad && !offsetPlanes(inner.get(), ost.PadTop, ost.PadLeft)) {
        engine.LogIfInstalled(kLogStepFailed, "error padding picture");
        return nullptr;
    }
    fillInner(engine, ost, cropped.get(), inner.get());
    if (ost.VideoPad && !fillPadBorders(ost.ScratchPicture, engine.PadColorYUV, ost.PadTop,
                                        ost.PadBottom, ost.PadLeft, ost.PadRight)) {
        engine.LogIfInstalled(kLogStepFailed, "error padding picture");
        return nullptr;
    }
    FramePtr frame = planeView(ost.ScratchPicture);
    shareBuffers(frame.get(), ost.ScratchPicture);
    return frame;
}

} // namespace

int TCustomFFmpeg::VideoOut(AVFormatContext* output, OutputStreamState& ost, InputStreamState& ist,
                            AVFrame* picture) {
    AVCodecContext* enc = *ost.Codec;
    if (!picture || !enc)
        return 0;
    int64_t frames = syncFrameCount(*this, output, ost, ist);
    // 3. The frame-count limit.
    frames = std::min<int64_t>(frames, static_cast<int64_t>(MaxFrames[0]) - ost.FrameNumber);
    if (frames <= 0)
        return 0;
    FramePtr frame = fitPicture(*this, ost, picture);
    if (!frame)
        return 0;
    // 6. Encode the picture `frames` times.
    frame->width = enc->width;
    frame->height = enc->height;
    frame->interlaced_frame = picture->interlaced_frame;
    if (enc->flags & (AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME))
        frame->top_field_first = TopFieldFirst == -1 ? picture->top_field_first : TopFieldFirst;
    frame->quality = SameQuality ? picture->quality : enc->global_quality;
    frame->pict_type = MotionEstimationThreshold ? picture->pict_type : AV_PICTURE_TYPE_NONE;
    frame->sample_aspect_ratio = enc->sample_aspect_ratio;
    return EncodeRepeated(output, ost, frame.get(), frames);
}

int TCustomFFmpeg::EncodeRepeated(AVFormatContext* output, OutputStreamState& ost, AVFrame* frame,
                                  int64_t frames) {
    int written = 0;
    int frameSize = 0;
    for (int64_t i = 0; i < frames; ++i) {
        // A long run of repeated pictures holds at a pause and ends at a stop like the loop.
        if (i > 0)
            HoldWhilePaused();
        // On the encoder stage a picture queued before the stop came is still encoded once,
        // as the worker would have encoded it then; its repeats end at the stop.
        const bool stopped = EncoderSide.Active ? EncoderSide.StopAtPost || (i > 0 && StopRequested)
                                                : StopRequested.load();
        if (stopped)
            break;
        frame->pts = ost.SyncOpts;
        const int size = encodeAndWrite(*this, output, ost, frame);
        if (size > 0)
            frameSize = size;
        ++ost.SyncOpts;
        ++ost.FrameNumber;
        ++written;
    }
    if (!VStatsFileName.empty() && frameSize > 0)
        WriteVideoStats(ost, frameSize);
    return written;
}

void TCustomFFmpeg::FlushVideoEncoder(AVFormatContext* output, OutputStreamState& ost) {
    if (!ost.EncodingNeeded || !ost.Codec || !*ost.Codec ||
        (*ost.Codec)->codec_type != AVMEDIA_TYPE_VIDEO)
        return;
    encodeAndWrite(*this, output, ost, nullptr);
}

// ---- Video of a cover ------------------------------------------------------------------

namespace {

// A jump of the sound's clock by more than this is a damaged timestamp: the still picture
// goes on from where it was instead of filling the gap (which could be hours).
constexpr double kMaxStillStepSeconds = 10.0;

} // namespace

void TCustomFFmpeg::HoldStillPictures(int istIndex, AVFrame* picture) {
    for (OutputStreamState& ost : OutputStreams) {
        if (!ost.StillPicture || ost.SourceIndex != istIndex || !ost.EncodingNeeded)
            continue;
        AVCodecContext* enc = *ost.Codec;
        FramePtr frame = fitPicture(*this, ost, picture);
        if (!frame)
            continue;
        frame->width = enc->width;
        frame->height = enc->height;
        frame->quality = enc->global_quality;
        frame->pict_type = AV_PICTURE_TYPE_NONE;
        frame->sample_aspect_ratio = enc->sample_aspect_ratio;
        lavu.av_frame_free(&ost.StillFrame);
        ost.StillFrame = frame.release();
        AdvanceStillPicture(Loop.OutputFiles[ost.FileIndex], ost);
    }
}

void TCustomFFmpeg::AdvanceStillPictures(int istIndex) {
    for (OutputStreamState& ost : OutputStreams)
        if (ost.StillPicture && ost.SyncSource == istIndex)
            AdvanceStillPicture(Loop.OutputFiles[ost.FileIndex], ost);
}

int TCustomFFmpeg::AdvanceStillPicture(AVFormatContext* output, OutputStreamState& ost) {
    const AVCodecContext* enc = *ost.Codec;
    if (!ost.StillFrame || !enc || enc->time_base.num <= 0 || enc->time_base.den <= 0)
        return 0;
    // The picture lasts until the end of the sound decoded so far, and is shown at least once.
    const InputStreamState& clock = InputStreams[ost.SyncSource];
    const int64_t untilUs =
        (clock.NextPts != AV_NOPTS_VALUE ? clock.NextPts : clock.Pts) - StartTime;
    const double timeBase = av_q2d(enc->time_base);
    const double clockFrames = static_cast<double>(untilUs) / 1000000.0 / timeBase;
    double due = std::ceil(clockFrames - ost.SyncShiftFrames - 1e-6);
    const double step = due - static_cast<double>(ost.SyncOpts);
    if (std::fabs(step) * timeBase > kMaxStillStepSeconds) {
        ost.SyncShiftFrames += step - 1;
        due = static_cast<double>(ost.SyncOpts) + 1;
        LogIfInstalled(kLogStepFailed,
                       formatText("Timestamp jump of %.3f s in input stream #%d.%d absorbed",
                                  step * timeBase, clock.FileIndex, clock.StreamIndex));
    }
    const int64_t frames =
        std::min<int64_t>(std::max<double>(due, 1.0) - static_cast<double>(ost.SyncOpts),
                          static_cast<int64_t>(MaxFrames[0]) - ost.FrameNumber);
    if (frames <= 0)
        return 0;
    return EncodeRepeated(output, ost, ost.StillFrame, frames);
}

namespace {

// A black picture of the encoder's size and format; null when it cannot be made.
AVFrame* blackPicture(const AVCodecContext* enc) {
    FramePtr picture(lavu.av_frame_alloc());
    if (!picture)
        return nullptr;
    picture->width = enc->width;
    picture->height = enc->height;
    picture->format = enc->pix_fmt;
    picture->sample_aspect_ratio = enc->sample_aspect_ratio;
    if (lavu.av_frame_get_buffer(picture.get(), 0) < 0)
        return nullptr;
    ptrdiff_t linesizes[4] = {};
    for (int plane = 0; plane < 4; ++plane)
        linesizes[plane] = picture->linesize[plane];
    if (lavu.av_image_fill_black(picture->data, linesizes, enc->pix_fmt, enc->color_range,
                                 enc->width, enc->height) < 0)
        return nullptr;
    return picture.release();
}

} // namespace

void TCustomFFmpeg::FinishStillPictures() {
    for (OutputStreamState& ost : OutputStreams) {
        if (!ost.StillPicture || !ost.EncodingNeeded)
            continue;
        AVFormatContext* output = Loop.OutputFiles[ost.FileIndex];
        if (!ost.StillFrame && !StopRequested) {
            // A cover that could not be decoded: the sound still gets its picture.
            const InputStreamState& cover = InputStreams[ost.SourceIndex];
            LogIfInstalled(kLogStepFailed,
                           formatText("The picture of input stream #%d.%d could not be decoded: "
                                      "the video is black",
                                      cover.FileIndex, cover.StreamIndex));
            ost.StillFrame = blackPicture(*ost.Codec);
        }
        if (!StopRequested)
            AdvanceStillPicture(output, ost);
        FlushVideoEncoder(output, ost);
    }
}
