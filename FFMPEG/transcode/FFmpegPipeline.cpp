// Decoding and encoding side by side: when a run allows it, the task's video encoders and
// the muxer work on an encoder stage thread (EncoderStage) while the task's worker reads,
// decodes and pre-processes the next frames and encodes the sound. The worker hands each
// picture, each end of a video stream and each packet of sound over as a job; the stage
// runs them in that order, so the encoders, the muxer, the progress reports and every
// output byte are as in a run without the stage.
#include "AVCodecHlpr.h"
#include "AVUtilHlpr.h"
#include "EncoderStage.h"
#include "FFmpeg.h"
#include "LibavPointers.h"

#include <memory>
#include <thread>
#include <utility>

namespace {

// Pictures the worker may be ahead of the encoders (packets of sound come between them).
constexpr std::size_t kEncoderQueueJobs = 4;

} // namespace

bool TCustomFFmpeg::EncoderStageWanted(int inputCount) const {
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    if (!UseEncoderStage || ThreadCount == 1 || (ThreadCount == 0 && cores < 2))
        return false;
    // The loop's choice of input and its limits read the encoders' progress after every
    // packet; runs that need them keep everything on the worker.
    if (inputCount != 1 || RecordingTime != INT64_MAX || FileSizeLimit != 0 || Shortest)
        return false;
    for (const int32_t limit : MaxFrames)
        if (limit != INT32_MAX)
            return false;
    // Stream copy and subtitles write from the worker; the stage takes only encoded sound
    // and pictures. Sound alone decodes in a fraction of its encoding time: there is too
    // little to overlap to pay for the hand-over (and files converted side by side already
    // keep the cores busy).
    bool video = false;
    for (const OutputStreamState& ost : OutputStreams) {
        const AVMediaType kind = ost.Stream->codecpar->codec_type;
        // A still picture is encoded as its sound goes, on the worker.
        if (!ost.EncodingNeeded || ost.StillPicture ||
            (kind != AVMEDIA_TYPE_AUDIO && kind != AVMEDIA_TYPE_VIDEO))
            return false;
        video = video || kind == AVMEDIA_TYPE_VIDEO;
    }
    return video;
}

void TCustomFFmpeg::StartEncoderStage() {
    EncoderSide.Inputs = InputStreams;
    EncoderSide.Active = true;
    EncoderSide.Stage = std::make_unique<EncoderStage>(
        kEncoderQueueJobs, [this] { EncoderStageStarted(); }, [this] { EncoderStageEnded(); });
}

void TCustomFFmpeg::FinishEncoderStage() {
    if (!EncoderSide.Stage)
        return;
    try {
        EncoderSide.Stage->finish();
    } catch (...) {
        StopEncoderStage();
        throw;
    }
    StopEncoderStage();
}

void TCustomFFmpeg::StopEncoderStage() {
    TEncoderSide& side = EncoderSide;
    side.Stage.reset(); // drops what is queued and joins the thread
    side.Active = false;
    side.Inputs.clear();
}

const InputStreamState& TCustomFFmpeg::SyncInput(const OutputStreamState& ost) const {
    // Pictures are encoded on the stage while it runs, sound always on the worker.
    const bool onStage =
        EncoderSide.Active && ost.Stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
    const std::vector<InputStreamState>& inputs = onStage ? EncoderSide.Inputs : InputStreams;
    return inputs[ost.SyncSource];
}

void TCustomFFmpeg::PostEncoderJob(std::function<void()> encode) {
    // The clocks of every input stream as they are now: the encoders' sync reads them.
    std::vector<InputStreamState> clocks = InputStreams;
    const bool stopped = StopRequested;
    EncoderSide.Stage->post(
        [this, stopped, clocks = std::move(clocks), encode = std::move(encode)]() mutable {
            EncoderSide.StopAtPost = stopped;
            EncoderSide.Inputs = std::move(clocks);
            encode();
            // The interim report, from the thread that moves the encoders on.
            const int64_t now = lavu.av_gettime();
            if (now - Progress.LastReportUs > ProgressIntervalMicroseconds()) {
                Progress.LastReportUs = now;
                PrintReport(Loop.OutputFiles, false);
            }
        });
}

void TCustomFFmpeg::PostVideo(int istIndex, AVFrame* picture) {
    std::shared_ptr<AVFrame> held = FramePtr(lavu.av_frame_clone(picture));
    if (!held)
        throw FFMpegException("av_mallocz fail");
    PostEncoderJob([this, istIndex, held] {
        InputStreamState& ist = EncoderSide.Inputs[istIndex];
        ForEncodingOutputs(istIndex, [&](AVFormatContext* output, OutputStreamState& ost) {
            VideoOut(output, ost, ist, held.get());
        });
    });
}

void TCustomFFmpeg::PostFlush(int istIndex) {
    PostEncoderJob([this, istIndex] {
        ForEncodingOutputs(istIndex, [this](AVFormatContext* output, OutputStreamState& ost) {
            FlushEncoder(output, ost);
        });
    });
}

void TCustomFFmpeg::PostPacket(AVFormatContext* output, AVPacket* packet, OutputStreamState& ost) {
    std::shared_ptr<AVPacket> held = PacketPtr(lavc.av_packet_alloc());
    const int taken = held ? lavc.av_packet_ref(held.get(), packet) : AVERROR(ENOMEM);
    lavc.av_packet_unref(packet);
    if (taken < 0)
        throw FFMpegException("av_mallocz fail");
    EncoderSide.Stage->post([this, output, &ost, held] { MuxPacket(output, held.get(), ost); },
                            true);
}
