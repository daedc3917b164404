// The audio output path: decoded frames to 16-bit interleaved samples, volume, sync by
// silence, dropping and drift compensation, resampling, framing through the stream's FIFO
// into the encoder's frame size, conversion to the encoder's sample format, encoding and
// writing of the packets.
#include "FFmpeg.h"
#include "AudioStart.h"
#include "LibavPointers.h"
#include "EngineText.h"

#include "AVCodecHlpr.h"
#include "AVUtilHlpr.h"
#include "SwResampleHlpr.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using namespace AudioTiming;

// Room for the samples a drift compensation adds to one resampler call.
constexpr int kResampleSlackSamples = 256;

int16_t loadSample(const uint8_t* bytes) {
    int16_t value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

// `layout` when it describes `channels` channels in a known order, else the default
// layout of that many channels.
void layoutFor(AVChannelLayout& result, const AVChannelLayout& layout, int channels) {
    if (layout.nb_channels == channels && layout.order != AV_CHANNEL_ORDER_UNSPEC &&
        lavu.av_channel_layout_copy(&result, &layout) >= 0)
        return;
    lavu.av_channel_layout_default(&result, channels);
}

// Writes `samples` frames of 16-bit interleaved input into `planes` as T, planar or packed.
template <typename T, typename Convert>
void scatterSamples(const uint8_t* input, int samples, int channels, uint8_t* const* planes,
                    bool planar, Convert convert) {
    if (planar) {
        for (int channel = 0; channel < channels; ++channel) {
            T* out = reinterpret_cast<T*>(planes[channel]);
            const uint8_t* in = input + channel * kBytesPerSample;
            for (int i = 0; i < samples; ++i, in += channels * kBytesPerSample)
                out[i] = convert(loadSample(in));
        }
        return;
    }
    T* out = reinterpret_cast<T*>(planes[0]);
    const int count = samples * channels;
    for (int i = 0; i < count; ++i)
        out[i] = convert(loadSample(input + i * kBytesPerSample));
}

// Fills the frame's buffers (its format, nb_samples and channels set) from 16-bit
// interleaved samples. False for a sample format that has no conversion here.
bool convertFromS16(const uint8_t* input, AVFrame* frame) {
    const auto format = static_cast<AVSampleFormat>(frame->format);
    const bool planar = lavu.av_sample_fmt_is_planar(format);
    const int samples = frame->nb_samples;
    const int channels = frame->ch_layout.nb_channels;
    uint8_t* const* planes = frame->extended_data;
    switch (lavu.av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_U8:
        scatterSamples<uint8_t>(input, samples, channels, planes, planar,
                                [](int16_t v) { return static_cast<uint8_t>((v >> 8) + 128); });
        return true;
    case AV_SAMPLE_FMT_S16:
        scatterSamples<int16_t>(input, samples, channels, planes, planar,
                                [](int16_t v) { return v; });
        return true;
    case AV_SAMPLE_FMT_S32:
        scatterSamples<int32_t>(input, samples, channels, planes, planar,
                                [](int16_t v) { return static_cast<int32_t>(v) * 65536; });
        return true;
    case AV_SAMPLE_FMT_S64:
        scatterSamples<int64_t>(input, samples, channels, planes, planar, [](int16_t v) {
            return static_cast<int64_t>(v) * (int64_t{1} << 48);
        });
        return true;
    case AV_SAMPLE_FMT_FLT:
        scatterSamples<float>(input, samples, channels, planes, planar,
                              [](int16_t v) { return static_cast<float>(v) / 32768.0f; });
        return true;
    case AV_SAMPLE_FMT_DBL:
        scatterSamples<double>(input, samples, channels, planes, planar,
                               [](int16_t v) { return static_cast<double>(v) / 32768.0; });
        return true;
    default:
        return false;
    }
}

std::size_t fifoBytes(const OutputStreamState& ost) {
    return ost.Fifo ? lavu.av_fifo_can_read(ost.Fifo) : 0;
}

} // namespace

TAudioWork::~TAudioWork() {
    if (DecodeConverter && lswr.swr_free)
        lswr.swr_free(&DecodeConverter);
}

int TCustomFFmpeg::ConvertDecodedAudio(InputStreamState& ist, const AVFrame* frame) {
    if (!frame || frame->nb_samples <= 0)
        return 0;
    const int channels = frame->ch_layout.nb_channels;
    if (channels <= 0)
        return -1;
    const int samples = frame->nb_samples;
    const std::size_t bytes = static_cast<std::size_t>(samples) * channels * kBytesPerSample;
    if (Audio.DecodeBuffer.size() < bytes)
        Audio.DecodeBuffer.resize(bytes);
    const auto format = static_cast<AVSampleFormat>(frame->format);
    if (format == AV_SAMPLE_FMT_S16) {
        std::memcpy(Audio.DecodeBuffer.data(), frame->extended_data[0], bytes);
        return static_cast<int>(bytes);
    }
    // Only the sample format changes, so any positive rate serves when the frame has none.
    int rateHz = frame->sample_rate;
    if (rateHz <= 0 && ist.Codec && *ist.Codec)
        rateHz = (*ist.Codec)->sample_rate;
    if (rateHz <= 0)
        rateHz = 48000;
    TAudioWork& work = Audio.Work;
    if (!work.DecodeConverter || work.DecodeFormat != format || work.DecodeChannels != channels ||
        work.DecodeRateHz != rateHz) {
        lswr.swr_free(&work.DecodeConverter);
        work.DecodeFormat = -1;
        AVChannelLayout layout{};
        layoutFor(layout, frame->ch_layout, channels);
        int built = lswr.swr_alloc_set_opts2(&work.DecodeConverter, &layout, AV_SAMPLE_FMT_S16,
                                             rateHz, &layout, format, rateHz, 0, nullptr);
        lavu.av_channel_layout_uninit(&layout);
        if (built >= 0)
            built = lswr.swr_init(work.DecodeConverter);
        if (built < 0) {
            lswr.swr_free(&work.DecodeConverter);
            return -1;
        }
        work.DecodeFormat = format;
        work.DecodeChannels = channels;
        work.DecodeRateHz = rateHz;
    }
    uint8_t* out = Audio.DecodeBuffer.data();
    const int converted =
        lswr.swr_convert(work.DecodeConverter, &out, samples,
                         const_cast<const uint8_t**>(frame->extended_data), samples);
    if (converted < 0)
        return -1;
    return converted * channels * kBytesPerSample;
}

void TCustomFFmpeg::ApplyAudioVolume(uint8_t* samples, int sizeBytes) {
    if (AudioVolume == 256 || !samples)
        return;
    // 64-bit products: a large volume must clip, not overflow.
    const int64_t volume = AudioVolume;
    for (int i = 0; i + 1 < sizeBytes; i += kBytesPerSample) {
        const int64_t scaled = (loadSample(samples + i) * volume + 128) >> 8;
        const auto clipped = static_cast<int16_t>(std::clamp<int64_t>(scaled, -32768, 32767));
        std::memcpy(samples + i, &clipped, sizeof clipped);
    }
}

// The stamp (in samples) of the next frame of `sampleCount` samples for `enc`: the output
// clock `syncOpts`, but never before the end of the frame the encoder had last (muxers refuse
// stamps that go back, and a stalled or jittering input clock would give them).
int64_t TCustomFFmpeg::NextAudioStamp(const AVCodecContext* enc, int64_t syncOpts,
                                      int sampleCount) {
    auto& clocks = Audio.Work.EncoderClocks;
    auto clock = std::find_if(clocks.begin(), clocks.end(),
                              [&](const TAudioWork::TEncoderClock& c) { return c.Encoder == enc; });
    if (clock == clocks.end())
        clock = clocks.insert(clocks.end(), {enc, syncOpts});
    else if (enc->frame_number == 0) // a new encoder at an address used before
        clock->NextPts = syncOpts;
    const int64_t pts = std::max(syncOpts, clock->NextPts);
    clock->NextPts = pts + sampleCount;
    return pts;
}

// Sends `sampleCount` samples (16-bit interleaved, the encoder's channels) to the encoder of
// `ost` as one frame stamped with the stream's SyncOpts, or the end of input when `input` is
// null, then writes every packet the encoder has ready.
void TCustomFFmpeg::EncodeAudioFrame(AVFormatContext* output, OutputStreamState& ost,
                                     const uint8_t* input, int sampleCount) {
    AVCodecContext* enc = *ost.Codec;
    FramePtr frame;
    if (input) {
        frame.reset(lavu.av_frame_alloc());
        if (!frame)
            return;
        frame->format = enc->sample_fmt;
        frame->nb_samples = sampleCount;
        frame->sample_rate = enc->sample_rate;
        if (lavu.av_channel_layout_copy(&frame->ch_layout, &enc->ch_layout) < 0 ||
            lavu.av_frame_get_buffer(frame.get(), 0) < 0 || !convertFromS16(input, frame.get())) {
            LogIfInstalled(kLogStepFailed,
                           formatText("Audio encoding failed for output stream #%d.%d",
                                      ost.FileIndex, ost.StreamIndex));
            return;
        }
        const int64_t pts = NextAudioStamp(enc, ost.SyncOpts, sampleCount);
        frame->pts = enc->time_base.num > 0 && enc->sample_rate > 0
                         ? lavu.av_rescale_q(pts, AVRational{1, enc->sample_rate}, enc->time_base)
                         : pts;
    }
    const int sent = lavc.avcodec_send_frame(enc, frame.get());
    if (sent == AVERROR_EOF)
        return; // already flushed
    if (sent < 0) {
        LogIfInstalled(kLogStepFailed, formatText("Audio encoding failed for output stream #%d.%d",
                                                  ost.FileIndex, ost.StreamIndex));
        return;
    }
    frame.reset();
    PacketPtr packet(lavc.av_packet_alloc());
    if (!packet)
        return;
    for (;;) {
        const int received = lavc.avcodec_receive_packet(enc, packet.get());
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            return;
        if (received < 0) {
            LogIfInstalled(kLogStepFailed,
                           formatText("Audio encoding failed for output stream #%d.%d",
                                      ost.FileIndex, ost.StreamIndex));
            return;
        }
        AudioBytes += packet->size;
        packet->stream_index = ost.StreamIndex;
        packet->flags |= AV_PKT_FLAG_KEY;
        if (enc->time_base.num > 0 && ost.Stream)
            lavc.av_packet_rescale_ts(packet.get(), enc->time_base, ost.Stream->time_base);
        ++ost.FrameNumber;
        WritePacket(output, packet.get(), ost);
    }
}

// Hands a block of the encoder's channels and rate to the encoder: framed encoders take it
// through the FIFO one frame at a time, sample-wise (PCM) encoders take it whole.
void TCustomFFmpeg::EncodeAudioBlock(AVFormatContext* output, OutputStreamState& ost,
                                     const uint8_t* block, int blockBytes) {
    AVCodecContext* enc = *ost.Codec;
    const int frameBytes = kBytesPerSample * enc->ch_layout.nb_channels;
    if (blockBytes < frameBytes)
        return;
    if (enc->frame_size <= 1) {
        const int samples = blockBytes / frameBytes;
        EncodeAudioFrame(output, ost, block, samples);
        ost.SyncOpts += samples;
        return;
    }
    if (!ost.Fifo)
        ost.Fifo = lavu.av_fifo_alloc2(1024, 1, AV_FIFO_FLAG_AUTO_GROW);
    const std::size_t room = ost.Fifo ? lavu.av_fifo_can_write(ost.Fifo) : 0;
    if (!ost.Fifo ||
        (room < static_cast<std::size_t>(blockBytes) &&
         lavu.av_fifo_grow2(ost.Fifo, blockBytes - room) < 0) ||
        lavu.av_fifo_write(ost.Fifo, block, blockBytes) < 0) {
        LogIfInstalled(kLogStepFailed, formatText("Audio samples dropped for output stream #%d.%d",
                                                  ost.FileIndex, ost.StreamIndex));
        return;
    }
    const std::size_t encoderFrameBytes = static_cast<std::size_t>(enc->frame_size) * frameBytes;
    if (Audio.Work.Frame.size() < encoderFrameBytes)
        Audio.Work.Frame.resize(encoderFrameBytes);
    while (lavu.av_fifo_can_read(ost.Fifo) >= encoderFrameBytes) {
        lavu.av_fifo_read(ost.Fifo, Audio.Work.Frame.data(), encoderFrameBytes);
        EncodeAudioFrame(output, ost, Audio.Work.Frame.data(), enc->frame_size);
        ost.SyncOpts += enc->frame_size;
    }
}

// The resampler of `ost` for the current input (created lazily, rebuilt when the decoder's
// rate or channel count changed on the way).
void TCustomFFmpeg::PrepareResampler(OutputStreamState& ost, const AVCodecContext* dec,
                                     const AVCodecContext* enc) {
    const int decChannels = dec->ch_layout.nb_channels;
    auto& inputs = Audio.Work.ResamplerInputs;
    auto known =
        std::find_if(inputs.begin(), inputs.end(), [&](const TAudioWork::TResamplerInput& input) {
            return input.Resampler == ost.Resampler;
        });
    if (ost.Resampler && known != inputs.end() && known->RateHz == dec->sample_rate &&
        known->Channels == decChannels)
        return;
    if (known != inputs.end())
        inputs.erase(known);
    lswr.swr_free(&ost.Resampler);
    AVChannelLayout inLayout{}, outLayout{};
    layoutFor(inLayout, dec->ch_layout, decChannels);
    layoutFor(outLayout, enc->ch_layout, enc->ch_layout.nb_channels);
    SwrContext* resampler = nullptr;
    int built =
        lswr.swr_alloc_set_opts2(&resampler, &outLayout, AV_SAMPLE_FMT_S16, enc->sample_rate,
                                 &inLayout, AV_SAMPLE_FMT_S16, dec->sample_rate, 0, nullptr);
    lavu.av_channel_layout_uninit(&inLayout);
    lavu.av_channel_layout_uninit(&outLayout);
    // Drift compensation needs the resampling filter even when the rates match.
    if (built >= 0 && AudioSyncMethod > 1)
        built = lavu.av_opt_set_int(resampler, "flags", SWR_FLAG_RESAMPLE, 0);
    if (built >= 0)
        built = lswr.swr_init(resampler);
    if (built < 0) {
        lswr.swr_free(&resampler);
        throw FFMpegException(
            formatText("Can not resample %d channels @ %d Hz to %d channels @ %d Hz", decChannels,
                       dec->sample_rate, enc->ch_layout.nb_channels, enc->sample_rate));
    }
    ost.Resampler = resampler;
    // A record left by a resampler of an earlier run at the same address is stale.
    std::erase_if(inputs, [&](const TAudioWork::TResamplerInput& input) {
        return input.Resampler == resampler;
    });
    inputs.push_back({resampler, dec->sample_rate, decChannels});
}

void TCustomFFmpeg::AudioOut(AVFormatContext* output, OutputStreamState& ost, InputStreamState& ist,
                             const uint8_t* samples, int sizeBytes) {
    if (!ost.Codec || !*ost.Codec || !ist.Codec || !*ist.Codec || !samples || sizeBytes <= 0)
        return;
    AVCodecContext* enc = *ost.Codec;
    const AVCodecContext* dec = *ist.Codec;
    const int encChannels = enc->ch_layout.nb_channels;
    const int decChannels = dec->ch_layout.nb_channels;
    if (encChannels <= 0 || decChannels <= 0 || enc->sample_rate <= 0 || dec->sample_rate <= 0)
        return;
    const int decFrameBytes = kBytesPerSample * decChannels;
    sizeBytes -= sizeBytes % decFrameBytes;
    if (sizeBytes <= 0)
        return;

    // A decoder may report another rate or channel count than the stream promised.
    if (encChannels != decChannels || enc->sample_rate != dec->sample_rate)
        ost.AudioResample = 1;
    if (ost.AudioResample)
        PrepareResampler(ost, dec, enc);

    // Keep the output in step with the input clock.
    const InputStreamState& clock =
        ost.SyncSource >= 0 && ost.SyncSource < static_cast<int>(InputStreams.size())
            ? SyncInput(ost)
            : ist;
    TAudioBlock block{samples, sizeBytes, decFrameBytes,
                      static_cast<double>(clock.Pts - StartTime) / 1000000.0};
    if (!AlignAudioStart(output, ost, ist, block))
        return;
    if (AudioSyncMethod) {
        if (!ApplyAudioSyncMethod(ost, ist, block))
            return;
    } else {
        const auto queuedSamples =
            static_cast<int64_t>(fifoBytes(ost) / (kBytesPerSample * encChannels));
        ost.SyncOpts = std::llrint(block.InputSeconds * enc->sample_rate) - queuedSamples;
    }
    ResampleAndEncode(output, ost, block.Samples, block.SizeBytes, decFrameBytes);
}

// The sync method's corrections of one block: silence in front or samples dropped at the
// start and after large drifts, resampler compensation for small ones. False when nothing
// of the block is left.
bool TCustomFFmpeg::ApplyAudioSyncMethod(OutputStreamState& ost, InputStreamState& ist,
                                         TAudioBlock& block) {
    const AVCodecContext* enc = *ost.Codec;
    const int encRate = enc->sample_rate;
    const int decRate = (*ist.Codec)->sample_rate;
    const auto queuedSamples =
        static_cast<int64_t>(fifoBytes(ost) / (kBytesPerSample * enc->ch_layout.nb_channels));
    const double delta = block.InputSeconds * encRate - static_cast<double>(ost.SyncOpts) -
                         static_cast<double>(queuedSamples);
    const double inputDelta = delta * decRate / encRate;
    int64_t byteDelta = static_cast<int64_t>(inputDelta) * block.FrameBytes;
    if (std::fabs(delta) <= kSyncToleranceSamples)
        return true;
    if (ist.IsStart || std::fabs(delta) > AudioDriftThreshold * encRate) {
        if (byteDelta < 0) {
            byteDelta = std::max<int64_t>(byteDelta, -block.SizeBytes);
            block.Samples += -byteDelta;
            block.SizeBytes += static_cast<int>(byteDelta);
            if (Verbosity > 2)
                LogIfInstalled(kLogInfo,
                               formatText("discarding %d audio samples", static_cast<int>(-delta)));
            if (block.SizeBytes <= 0)
                return false;
            ist.IsStart = 0;
        } else {
            if (byteDelta + block.SizeBytes <= kMaxPaddedBlockBytes)
                ist.IsStart = 0;
            else
                byteDelta = std::max(0, kMaxPaddedBlockBytes - block.SizeBytes);
            const auto silenceBytes = static_cast<std::size_t>(byteDelta);
            Audio.Work.Padded.assign(silenceBytes + block.SizeBytes, 0);
            std::memcpy(Audio.Work.Padded.data() + silenceBytes, block.Samples, block.SizeBytes);
            block.Samples = Audio.Work.Padded.data();
            block.SizeBytes += static_cast<int>(byteDelta);
            if (Verbosity > 2)
                LogIfInstalled(kLogInfo, formatText("adding %d audio samples of silence",
                                                    static_cast<int>(delta)));
        }
    } else if (AudioSyncMethod > 1) {
        const int compensation =
            std::clamp(static_cast<int>(delta), -AudioSyncMethod, AudioSyncMethod);
        if (Verbosity > 2)
            LogIfInstalled(kLogInfo, formatText("compensating audio timestamp drift:%f "
                                                "compensation:%d in:%d",
                                                delta, compensation, encRate));
        if (ost.Resampler)
            lswr.swr_set_compensation(ost.Resampler, compensation, encRate);
    }
    return true;
}

void TCustomFFmpeg::ResampleAndEncode(AVFormatContext* output, OutputStreamState& ost,
                                      const uint8_t* samples, int sizeBytes, int decFrameBytes) {
    const int encFrameBytes = kBytesPerSample * (*ost.Codec)->ch_layout.nb_channels;
    // Resample into the encoder's rate and channels.
    const uint8_t* block = samples;
    int blockBytes = sizeBytes;
    if (ost.AudioResample && ost.Resampler) {
        const int inSamples = sizeBytes / decFrameBytes;
        const int capacity = lswr.swr_get_out_samples(ost.Resampler, inSamples);
        if (capacity < 0)
            return;
        const int room = capacity + kResampleSlackSamples;
        Audio.Work.Resampled.resize(static_cast<std::size_t>(room) * encFrameBytes);
        uint8_t* out = Audio.Work.Resampled.data();
        const int converted = lswr.swr_convert(ost.Resampler, &out, room, &samples, inSamples);
        if (converted < 0) {
            LogIfInstalled(kLogStepFailed,
                           formatText("Audio resampling failed for output stream #%d.%d",
                                      ost.FileIndex, ost.StreamIndex));
            return;
        }
        block = Audio.Work.Resampled.data();
        blockBytes = converted * encFrameBytes;
    }
    EncodeAudioBlock(output, ost, block, blockBytes);
}

void TCustomFFmpeg::FlushAudioEncoder(AVFormatContext* output, OutputStreamState& ost) {
    if (!ost.Codec || !*ost.Codec)
        return;
    AVCodecContext* enc = *ost.Codec;
    const int encFrameBytes = kBytesPerSample * enc->ch_layout.nb_channels;
    if (enc->codec_type != AVMEDIA_TYPE_AUDIO || !enc->codec || encFrameBytes <= 0)
        return;
    // What the resampler still holds belongs to the end of the stream.
    if (ost.AudioResample && ost.Resampler) {
        const int capacity = lswr.swr_get_out_samples(ost.Resampler, 0) + kResampleSlackSamples;
        Audio.Work.Resampled.resize(static_cast<std::size_t>(capacity) * encFrameBytes);
        uint8_t* out = Audio.Work.Resampled.data();
        const int converted = lswr.swr_convert(ost.Resampler, &out, capacity, nullptr, 0);
        if (converted > 0)
            EncodeAudioBlock(output, ost, Audio.Work.Resampled.data(), converted * encFrameBytes);
    }
    // The rest of the FIFO as a last, short frame; the encoder pads it when it needs whole
    // frames.
    const std::size_t remaining = fifoBytes(ost) / encFrameBytes * encFrameBytes;
    if (enc->frame_size > 1 && remaining > 0) {
        if (Audio.Work.Frame.size() < remaining)
            Audio.Work.Frame.resize(remaining);
        lavu.av_fifo_read(ost.Fifo, Audio.Work.Frame.data(), remaining);
        const int samples = static_cast<int>(remaining / encFrameBytes);
        EncodeAudioFrame(output, ost, Audio.Work.Frame.data(), samples);
        ost.SyncOpts += samples;
    }
    EncodeAudioFrame(output, ost, nullptr, 0);
}
