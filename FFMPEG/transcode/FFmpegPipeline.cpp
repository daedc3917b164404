// Decoding and encoding side by side: when a run allows it, the task's encoders and muxer
// work on an encoder stage thread (EncoderStage) while the task's worker reads, decodes
// and pre-processes the next frames. The worker hands each picture, each block of
// samples and each end of input over as a job; the stage runs them in that order, so the
// encoders, the muxer, the progress reports and every output byte are as in a run without
// the stage.
#include "AVCodecHlpr.h"
#include "AVUtilHlpr.h"
#include "EncoderStage.h"
#include "FFmpeg.h"

#include <memory>
#include <thread>
#include <utility>

namespace {

// Pictures and sample blocks the worker may be ahead of the encoders.
constexpr std::size_t kEncoderQueueJobs = 4;

// The decoder's sample format of one audio block, as the worker saw it when the block was
// decoded.
struct HeldAudioFormat {
    explicit HeldAudioFormat(const AVCodecContext* decoder) : RateHz(decoder->sample_rate) {
        lavu.av_channel_layout_copy(&Layout, &decoder->ch_layout);
    }
    ~HeldAudioFormat() { lavu.av_channel_layout_uninit(&Layout); }
    HeldAudioFormat(const HeldAudioFormat&) = delete;
    HeldAudioFormat& operator=(const HeldAudioFormat&) = delete;
    int RateHz;
    AVChannelLayout Layout{};
};

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
    // Stream copy and subtitles write from the worker; only encoded sound and pictures go
    // to the stage. Sound alone decodes in a fraction of its encoding time: there is too
    // little to overlap to pay for the hand-over (and files converted side by side already
    // keep the cores busy).
    bool video = false;
    for (const OutputStreamState& ost : OutputStreams) {
        const AVMediaType kind = ost.Stream->codecpar->codec_type;
        if (!ost.EncodingNeeded || (kind != AVMEDIA_TYPE_AUDIO && kind != AVMEDIA_TYPE_VIDEO))
            return false;
        video = video || kind == AVMEDIA_TYPE_VIDEO;
    }
    return video;
}

void TCustomFFmpeg::StartEncoderStage() {
    TEncoderSide& side = EncoderSide;
    side.Inputs = InputStreams;
    side.DecoderFormats.assign(InputStreams.size(), nullptr);
    for (std::size_t i = 0; i < InputStreams.size(); ++i) {
        const InputStreamState& ist = InputStreams[i];
        if (!ist.DecodingNeeded || ist.Stream->codecpar->codec_type != AVMEDIA_TYPE_AUDIO)
            continue;
        side.DecoderFormats[i] = lavc.avcodec_alloc_context3(nullptr);
        if (!side.DecoderFormats[i]) {
            StopEncoderStage();
            throw FFMpegException("av_mallocz fail");
        }
        side.Inputs[i].Codec = &side.DecoderFormats[i];
    }
    side.Active = true;
    side.Stage = std::make_unique<EncoderStage>(
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
    for (AVCodecContext*& context : side.DecoderFormats)
        if (context)
            lavc.avcodec_free_context(&context);
    side.DecoderFormats.clear();
    side.Inputs.clear();
}

const InputStreamState& TCustomFFmpeg::SyncInput(const OutputStreamState& ost) const {
    const std::vector<InputStreamState>& inputs =
        EncoderSide.Active ? EncoderSide.Inputs : InputStreams;
    return inputs[ost.SyncSource];
}

void TCustomFFmpeg::PostEncoderJob(std::function<void()> encode) {
    // The clocks of every input stream as they are now: the encoders' sync reads them.
    std::vector<InputStreamState> clocks = InputStreams;
    const bool stopped = StopRequested;
    EncoderSide.Stage->post(
        [this, stopped, clocks = std::move(clocks), encode = std::move(encode)] {
            EncoderSide.StopAtPost = stopped;
            std::vector<InputStreamState>& inputs = EncoderSide.Inputs;
            for (std::size_t i = 0; i < inputs.size() && i < clocks.size(); ++i) {
                // The stage keeps its own decoder format and start flag of each stream.
                AVCodecContext** codec = inputs[i].Codec;
                const int isStart = inputs[i].IsStart;
                inputs[i] = clocks[i];
                inputs[i].Codec = codec;
                inputs[i].IsStart = isStart;
            }
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
    std::shared_ptr<AVFrame> held(lavu.av_frame_clone(picture),
                                  [](AVFrame* frame) { lavu.av_frame_free(&frame); });
    if (!held)
        throw FFMpegException("av_mallocz fail");
    PostEncoderJob([this, istIndex, held] {
        InputStreamState& ist = EncoderSide.Inputs[istIndex];
        ForEncodingOutputs(istIndex, [&](AVFormatContext* output, OutputStreamState& ost) {
            VideoOut(output, ost, ist, held.get());
        });
    });
}

void TCustomFFmpeg::PostAudio(int istIndex, const uint8_t* samples, int sizeBytes) {
    auto format = std::make_shared<HeldAudioFormat>(*InputStreams[istIndex].Codec);
    auto block = std::make_shared<std::vector<uint8_t>>(samples, samples + sizeBytes);
    PostEncoderJob([this, istIndex, format, block] {
        InputStreamState& ist = EncoderSide.Inputs[istIndex];
        AVCodecContext* decoder = *ist.Codec;
        decoder->sample_rate = format->RateHz;
        lavu.av_channel_layout_uninit(&decoder->ch_layout);
        lavu.av_channel_layout_copy(&decoder->ch_layout, &format->Layout);
        ForEncodingOutputs(istIndex, [&](AVFormatContext* output, OutputStreamState& ost) {
            AudioOut(output, ost, ist, block->data(), static_cast<int>(block->size()));
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
