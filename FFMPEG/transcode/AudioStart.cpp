// The start of an output's sound: the encoder's priming as its decoders play it, the
// containers that tell decoders to skip it, and the placing of the first samples.
#include "AudioStart.h"

#include "CodecLock.h"
#include "EngineText.h"
#include "FFmpeg.h"
#include "LibavPointers.h"

#include "AVCodecHlpr.h"
#include "AVUtilHlpr.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

using namespace AudioTiming;

namespace {

// Muxers that cannot say where a stream starts.
constexpr const char* kMuxersWithoutStreamStart[] = {"avi", "rm",  "mp3",  "wav",  "au",
                                                     "amr", "ac3", "mp2",  "adts", "aiff",
                                                     "w64", "voc", "flac", "wv",   "swf"};

// Containers that keep an encoder's initial padding out of the stream's place: the
// QuickTime family by an edit list that has decoders skip it, only for a stream that starts
// with the file (a later one gets an empty edit instead, and its decoders play the
// padding); Ogg by stamping the pre-skip of Opus before the stream's start. Codec
// AV_CODEC_ID_NONE: every codec. (An MP3 file's LAME header would have its decoders skip the
// padding too, but its sound then reads as starting that much after the file's start: the
// header is left out.)
struct PrimingCarrier {
    const char* Muxer;
    AVCodecID Codec;
    bool AtFileStartOnly;
};
constexpr PrimingCarrier kPrimingCarriers[] = {
    {"mov", AV_CODEC_ID_NONE, true},  {"mp4", AV_CODEC_ID_NONE, true},
    {"ipod", AV_CODEC_ID_NONE, true}, {"psp", AV_CODEC_ID_NONE, true},
    {"3gp", AV_CODEC_ID_NONE, true},  {"3g2", AV_CODEC_ID_NONE, true},
    {"ogg", AV_CODEC_ID_OPUS, false}, {"opus", AV_CODEC_ID_OPUS, false},
};

// Frames of silence the measurement encodes: enough for every encoder's look-ahead.
constexpr int kLeadProbeFrames = 6;

const char* muxerName(const AVFormatContext* output) {
    return output && output->oformat && output->oformat->name ? output->oformat->name : "";
}

const PrimingCarrier* carrierOf(const AVFormatContext* output, AVCodecID codec) {
    for (const PrimingCarrier& carrier : kPrimingCarriers)
        if (std::strcmp(muxerName(output), carrier.Muxer) == 0 &&
            (carrier.Codec == AV_CODEC_ID_NONE || carrier.Codec == codec))
            return &carrier;
    return nullptr;
}

// A codec context of the measurement, closed and freed under CodecLock.
struct ProbeCodecDeleter {
    void operator()(AVCodecContext* codec) const {
        const CodecLockGuard lock(CodecLock());
        lavc.avcodec_free_context(&codec);
    }
};
using ProbeCodecPtr = std::unique_ptr<AVCodecContext, ProbeCodecDeleter>;

// An encoder of `enc`'s codec and settings, opened on one thread; null when it cannot be.
ProbeCodecPtr openProbeEncoder(const AVCodecContext* enc) {
    ProbeCodecPtr probe(lavc.avcodec_alloc_context3(enc->codec));
    if (!probe || lavu.av_channel_layout_copy(&probe->ch_layout, &enc->ch_layout) < 0)
        return nullptr;
    probe->sample_fmt = enc->sample_fmt;
    probe->sample_rate = enc->sample_rate;
    probe->bit_rate = enc->bit_rate;
    probe->global_quality = enc->global_quality;
    probe->strict_std_compliance = enc->strict_std_compliance;
    probe->time_base = {1, enc->sample_rate};
    // Global headers: the decoder needs the encoder's set-up, as a container gives it.
    probe->flags = (enc->flags & AV_CODEC_FLAG_QSCALE) | AV_CODEC_FLAG_GLOBAL_HEADER;
    probe->thread_count = 1;
    const CodecLockGuard lock(CodecLock());
    if (lavc.avcodec_open2(probe.get(), enc->codec, nullptr) < 0)
        return nullptr;
    return probe;
}

ProbeCodecPtr openProbeDecoder(const AVCodecContext* encoder) {
    const AVCodec* codec = lavc.avcodec_find_decoder(encoder->codec_id);
    if (!codec)
        return nullptr;
    ProbeCodecPtr decoder(lavc.avcodec_alloc_context3(codec));
    AVCodecParameters* parameters = lavc.avcodec_parameters_alloc();
    const bool filled = decoder && parameters &&
                        lavc.avcodec_parameters_from_context(parameters, encoder) >= 0 &&
                        lavc.avcodec_parameters_to_context(decoder.get(), parameters) >= 0;
    lavc.avcodec_parameters_free(&parameters);
    if (!filled)
        return nullptr;
    decoder->pkt_timebase = encoder->time_base;
    decoder->thread_count = 1;
    const CodecLockGuard lock(CodecLock());
    if (lavc.avcodec_open2(decoder.get(), codec, nullptr) < 0)
        return nullptr;
    return decoder;
}

// Decodes what the encoder has ready; the first decoded frame's time, in samples, goes to
// `firstPts`. The packets lose their skip information, as most containers drop it.
void decodeReady(AVCodecContext* encoder, AVCodecContext* decoder, AVPacket* packet, AVFrame* frame,
                 int64_t& firstPts) {
    while (lavc.avcodec_receive_packet(encoder, packet) >= 0) {
        lavc.av_packet_free_side_data(packet);
        const int sent = lavc.avcodec_send_packet(decoder, packet);
        lavc.av_packet_unref(packet);
        if (sent < 0)
            continue;
        while (lavc.avcodec_receive_frame(decoder, frame) >= 0) {
            if (firstPts == AV_NOPTS_VALUE)
                firstPts = frame->best_effort_timestamp;
            lavu.av_frame_unref(frame);
        }
    }
}

} // namespace

namespace AudioTiming {

bool LacksStreamStart(const AVFormatContext* output) {
    for (const char* name : kMuxersWithoutStreamStart)
        if (std::strcmp(muxerName(output), name) == 0)
            return true;
    return false;
}

int MeasureDecodedLead(const AVCodecContext* enc) {
    const int padding = std::max(0, enc->initial_padding);
    if (!enc->codec || enc->frame_size <= 1 || enc->sample_rate <= 0)
        return padding;
    const ProbeCodecPtr encoder = openProbeEncoder(enc);
    const ProbeCodecPtr decoder = encoder ? openProbeDecoder(encoder.get()) : nullptr;
    const FramePtr frame(lavu.av_frame_alloc());
    const PacketPtr packet(lavc.av_packet_alloc());
    if (!decoder || !frame || !packet)
        return padding;
    int64_t firstPts = AV_NOPTS_VALUE;
    for (int i = 0; i <= kLeadProbeFrames && firstPts == AV_NOPTS_VALUE; ++i) {
        FramePtr silence;
        if (i < kLeadProbeFrames) {
            silence.reset(lavu.av_frame_alloc());
            if (!silence || lavu.av_channel_layout_copy(&silence->ch_layout, &enc->ch_layout) < 0)
                return padding;
            silence->format = encoder->sample_fmt;
            silence->sample_rate = encoder->sample_rate;
            silence->nb_samples = encoder->frame_size;
            if (lavu.av_frame_get_buffer(silence.get(), 0) < 0)
                return padding;
            lavu.av_samples_set_silence(silence->extended_data, 0, silence->nb_samples,
                                        silence->ch_layout.nb_channels, encoder->sample_fmt);
            silence->pts = static_cast<int64_t>(i) * encoder->frame_size;
        }
        if (lavc.avcodec_send_frame(encoder.get(), silence.get()) < 0)
            return padding;
        decodeReady(encoder.get(), decoder.get(), packet.get(), frame.get(), firstPts);
    }
    if (firstPts == AV_NOPTS_VALUE)
        return padding;
    return static_cast<int>(std::clamp<int64_t>(-firstPts, -enc->sample_rate, enc->sample_rate));
}

int PlayedLead(const AVFormatContext* output, const AVCodecContext* enc, int decodedLead,
               double originSeconds) {
    const PrimingCarrier* carrier = carrierOf(output, enc->codec_id);
    if (!carrier ||
        (carrier->AtFileStartOnly && originSeconds * enc->sample_rate > kSyncToleranceSamples))
        return decodedLead;
    return decodedLead - std::max(0, enc->initial_padding);
}

bool CarriesPriming(const AVFormatContext* output, AVCodecID codec) {
    return carrierOf(output, codec) != nullptr;
}

void PrepareMuxer(AVFormatContext* output, AVDictionary** options) {
    if (std::strcmp(muxerName(output), "mp3") == 0)
        lavu.av_dict_set(options, "write_xing", "0", AV_DICT_DONT_OVERWRITE);
    // ASF keeps times before zero within its preroll: sound whose decoders drop its first
    // frames starts there, instead of every stream being moved later.
    if (std::strcmp(muxerName(output), "asf") == 0 &&
        output->avoid_negative_ts == AVFMT_AVOID_NEG_TS_AUTO)
        output->avoid_negative_ts = AVFMT_AVOID_NEG_TS_DISABLED;
}

} // namespace AudioTiming

// Places the start of the sound, once per output (without a sync method): the encoder's
// first sample belongs to the input's first sample time, or to the file's start where the
// container cannot say where a stream starts (then silence goes in front of late sound).
// The priming its decoders play takes the place of as many input samples, so every later
// sample keeps its time and the sound its length; decoders that drop the encoder's first
// samples get as much silence before the input's first sample. Samples before the start are
// dropped; false when the whole block lies before it (the next block is checked too).
bool TCustomFFmpeg::AlignAudioStart(AVFormatContext* output, OutputStreamState& ost,
                                    InputStreamState& ist, TAudioBlock& block) {
    if (AudioSyncMethod || ost.AudioStarted)
        return true;
    const AVCodecContext* enc = *ost.Codec;
    const int encRate = enc->sample_rate;
    const int decRate = (*ist.Codec)->sample_rate;
    if (!ost.AudioStartKnown) {
        const double origin = LacksStreamStart(output) ? 0.0 : block.InputSeconds;
        const int lead = PlayedLead(output, enc, ost.DecodedLead, origin);
        ost.AudioStartSeconds = origin + static_cast<double>(lead) / encRate;
        ost.AudioStartKnown = 1;
        ost.SyncOpts = std::llrint(ost.AudioStartSeconds * encRate);
    }
    const double gap = (block.InputSeconds - ost.AudioStartSeconds) * encRate;
    if (gap > kSyncToleranceSamples && gap <= kMaxStartSilenceSeconds * encRate) {
        // The whole gap goes out before the first samples, in blocks of bounded size.
        const int64_t gapBytes = static_cast<int64_t>(gap * decRate / encRate) * block.FrameBytes;
        const std::vector<uint8_t> silence(
            static_cast<std::size_t>(kMaxPaddedBlockBytes / block.FrameBytes * block.FrameBytes),
            0);
        for (int64_t left = gapBytes; left > 0;) {
            const int bytes =
                static_cast<int>(std::min<int64_t>(left, static_cast<int64_t>(silence.size())));
            ResampleAndEncode(output, ost, silence.data(), bytes, block.FrameBytes);
            left -= bytes;
        }
        if (Verbosity > 2)
            LogIfInstalled(kLogInfo,
                           formatText("adding %d audio samples of silence", static_cast<int>(gap)));
    } else if (gap < -kSyncToleranceSamples) {
        const int64_t droppedSamples = std::llrint(-gap * decRate / encRate);
        const int dropped =
            static_cast<int>(std::min<int64_t>(droppedSamples * block.FrameBytes, block.SizeBytes));
        block.Samples += dropped;
        block.SizeBytes -= dropped;
        block.InputSeconds += static_cast<double>(dropped / block.FrameBytes) / decRate;
        if (block.SizeBytes <= 0)
            return false;
    }
    ost.AudioStarted = 1;
    ist.IsStart = 0;
    return true;
}
