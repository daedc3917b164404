// Packet decoding for the main loop: the decoders' send/receive cycle, the hand-over of
// decoded audio, pictures and subtitles to the output paths, stream copy, rate
// emulation, the subtitle writer and the flush at end of input.
#include "AVCodecHlpr.h"
#include "EngineText.h"
#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"
#include "FFmpeg.h"
#include "LibavPointers.h"
#include "StreamFrameRate.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kSubtitleBufferSize = 65536;

// One picture's duration in microseconds: the frame's own duration when the container
// gives it, else one step of the stream's frame rate; 0 when neither is known.
int64_t videoStepUs(const InputStreamState& ist, int64_t durationInStreamBase) {
    if (durationInStreamBase > 0)
        return lavu.av_rescale_q(durationInStreamBase, ist.Stream->time_base, AV_TIME_BASE_Q);
    AVRational rate = (*ist.Codec)->framerate;
    if (rate.num <= 0 || rate.den <= 0)
        rate = PlausibleFrameRate(ist.Stream);
    if (rate.num <= 0 || rate.den <= 0)
        return 0;
    return static_cast<int64_t>(AV_TIME_BASE) * rate.den / rate.num;
}

} // namespace

namespace {

// Holds the input at its own pace: waits until the wall clock since the stream's start
// has caught up with the stream's clock.
void emulateRate(InputStreamState& ist) {
    if (!ist.RateEmulation)
        return;
    // The clock counts from the stream's first timestamp, wherever the stream starts.
    if (ist.FrameCount == 0)
        ist.Start -= ist.Pts;
    const int64_t targetUs = ist.Pts;
    const int64_t elapsedUs = lavu.av_gettime() - ist.Start;
    if (targetUs - elapsedUs > 50000)
        lavu.av_usleep(static_cast<unsigned>((targetUs - elapsedUs) / 1000 * 1000));
    ++ist.FrameCount;
}

} // namespace

int TCustomFFmpeg::DecodePacket(int istIndex, AVPacket* packet) {
    InputStreamState& ist = InputStreams[istIndex];
    const AVMediaType kind = ist.Stream->codecpar->codec_type;
    if (ist.NextPts == AV_NOPTS_VALUE)
        ist.NextPts = ist.Pts;
    if (packet && packet->dts != AV_NOPTS_VALUE)
        ist.NextPts = ist.Pts =
            lavu.av_rescale_q(packet->dts, ist.Stream->time_base, AV_TIME_BASE_Q);

    // Stream copy: the packet goes out as it came in.
    if (!ist.DecodingNeeded) {
        if (packet)
            CopyInputPacket(istIndex, packet);
        return 0;
    }
    // A stream that one output decodes may be copied by another: that one gets the packet
    // as it came in.
    if (packet)
        ForOutputsAfterStart(istIndex, [&](AVFormatContext* output, OutputStreamState& ost) {
            if (!ost.EncodingNeeded)
                CopyPacket(output, ost, ist, packet);
        });
    if (kind == AVMEDIA_TYPE_SUBTITLE)
        return packet ? DecodeSubtitle(istIndex, packet) : 0; // they keep nothing back
    if (kind != AVMEDIA_TYPE_AUDIO && kind != AVMEDIA_TYPE_VIDEO)
        return -1;
    // An empty packet (a container's placeholder for a skipped frame) carries nothing to
    // decode; handed to the decoder it would read as the end of the stream.
    if (packet && packet->size == 0)
        return 0;
    // A decoder that takes no end of input has nothing to drain, and its encoders are not
    // drained either.
    if (const int decoded = DecodeFrames(istIndex, packet); decoded != 0)
        return decoded < 0 ? -1 : 0;
    if (!packet) {
        if (EncoderSide.Stage && kind == AVMEDIA_TYPE_VIDEO) {
            PostFlush(istIndex);
            return 0;
        }
        // A still picture lasts as long as its sound: its encoder is drained at the end.
        ForEncodingOutputs(istIndex, [this](AVFormatContext* output, OutputStreamState& ost) {
            if (!ost.StillPicture)
                FlushEncoder(output, ost);
        });
    }
    return 0;
}

void TCustomFFmpeg::CopyInputPacket(int istIndex, AVPacket* packet) {
    InputStreamState& ist = InputStreams[istIndex];
    const AVMediaType kind = ist.Stream->codecpar->codec_type;
    ist.Pts = ist.NextPts;
    if (kind == AVMEDIA_TYPE_AUDIO) {
        const AVCodecParameters* parameters = ist.Stream->codecpar;
        if (parameters->frame_size > 0 && parameters->sample_rate > 0)
            ist.NextPts += static_cast<int64_t>(AV_TIME_BASE) * parameters->frame_size /
                           parameters->sample_rate;
        else if (packet->duration > 0)
            ist.NextPts +=
                lavu.av_rescale_q(packet->duration, ist.Stream->time_base, AV_TIME_BASE_Q);
    } else if (kind == AVMEDIA_TYPE_VIDEO) {
        ist.NextPts += videoStepUs(ist, packet->duration);
    }
    emulateRate(ist);
    ForOutputsAfterStart(istIndex, [&](AVFormatContext* output, OutputStreamState& ost) {
        CopyPacket(output, ost, ist, packet);
    });
}

int TCustomFFmpeg::DecodeSubtitle(int istIndex, AVPacket* packet) {
    InputStreamState& ist = InputStreams[istIndex];
    ist.Pts = ist.NextPts;
    AVSubtitle subtitle{};
    int gotSubtitle = 0;
    if (lavc.avcodec_decode_subtitle2(*ist.Codec, &subtitle, &gotSubtitle, packet) < 0)
        return -1;
    if (!gotSubtitle)
        return 0;
    emulateRate(ist);
    try {
        ForOutputsAfterStart(istIndex, [&](AVFormatContext* output, OutputStreamState& ost) {
            if (ost.EncodingNeeded)
                WriteSubtitle(output, ost, ist, &subtitle, packet->pts);
        });
    } catch (...) {
        lavc.avsubtitle_free(&subtitle);
        throw;
    }
    lavc.avsubtitle_free(&subtitle);
    return 0;
}

int TCustomFFmpeg::DecodeFrames(int istIndex, AVPacket* packet) {
    InputStreamState& ist = InputStreams[istIndex];
    AVCodecContext* decoder = *ist.Codec;
    const AVRational timeBase = ist.Stream->time_base;
    // One packet in, any number of frames out; no packet drains.
    int sent = lavc.avcodec_send_packet(decoder, packet);
    if (sent < 0 && !(packet == nullptr && sent == AVERROR_EOF))
        return packet ? -1 : 1;
    int frames = 0;
    AVFrame* frame = Loop.DecodedFrame;
    for (;;) {
        const int received = lavc.avcodec_receive_frame(decoder, frame);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            break;
        if (received < 0)
            return -1;
        ++frames;
        if (packet && frames == 2 && Verbosity > 0 && LogInstalled())
            Log(kLogStepFailed,
                formatText("Multiple frames in a packet from stream %d", packet->stream_index));
        ist.Pts = ist.NextPts;
        if (ist.Stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
            if (frame->sample_rate > 0)
                ist.NextPts +=
                    static_cast<int64_t>(AV_TIME_BASE) * frame->nb_samples / frame->sample_rate;
            DeliverAudio(istIndex, frame);
        } else {
            // A decoder on frame threads hands each picture over a few packets after its
            // own; the packet it came from (pkt_dts) says which time it has, as one thread
            // would have given it at that packet.
            if ((decoder->active_thread_type & FF_THREAD_FRAME) && frame->pkt_dts != AV_NOPTS_VALUE)
                ist.Pts = ist.NextPts = lavu.av_rescale_q(frame->pkt_dts, timeBase, AV_TIME_BASE_Q);
            ist.NextPts += videoStepUs(ist, frame->pkt_duration);
            DeliverVideo(istIndex, frame);
        }
        lavu.av_frame_unref(frame);
    }
    return 0;
}

void TCustomFFmpeg::DeliverAudio(int istIndex, AVFrame* frame) {
    InputStreamState& ist = InputStreams[istIndex];
    // 16-bit interleaved samples in the decode buffer, scaled by the volume.
    const int sizeBytes = ConvertDecodedAudio(ist, frame);
    if (sizeBytes < 0)
        return;
    uint8_t* samples = Audio.DecodeBuffer.data();
    if (AudioVolume != 256)
        ApplyAudioVolume(samples, sizeBytes);
    emulateRate(ist);
    if (!(StartTime == 0 || ist.Pts >= StartTime))
        return;
    // Sound is encoded here on the worker even while an encoder stage runs (its packets
    // are written by the stage).
    ForEncodingOutputs(istIndex, [&](AVFormatContext* output, OutputStreamState& ost) {
        AudioOut(output, ost, ist, samples, sizeBytes);
    });
}

void TCustomFFmpeg::DeliverVideo(int istIndex, AVFrame* frame) {
    InputStreamState& ist = InputStreams[istIndex];
    // Deinterlacing and the hooks run once per picture, before any output sees it; a
    // picture the hooks hold back reaches no output.
    AVFrame* picture = PreprocessPicture(ist, UprightPicture(ist, frame));
    emulateRate(ist);
    if (!picture)
        return;
    // A cover is shown from the start, whatever time its own stream gives it.
    HoldStillPictures(istIndex, picture);
    if (!(StartTime == 0 || ist.Pts >= StartTime))
        return;
    if (EncoderSide.Stage) {
        PostVideo(istIndex, picture);
        return;
    }
    ForEncodingOutputs(istIndex, [&](AVFormatContext* output, OutputStreamState& ost) {
        if (!ost.StillPicture)
            VideoOut(output, ost, ist, picture);
    });
}

void TCustomFFmpeg::FlushEncoder(AVFormatContext* output, OutputStreamState& ost) {
    switch (ost.Stream->codecpar->codec_type) {
    case AVMEDIA_TYPE_AUDIO:
        FlushAudioEncoder(output, ost);
        break;
    case AVMEDIA_TYPE_VIDEO:
        FlushVideoEncoder(output, ost);
        break;
    default:
        break; // subtitle encoders keep nothing back
    }
}

void TCustomFFmpeg::CopyPacket(AVFormatContext* output, OutputStreamState& ost,
                               InputStreamState& ist, const AVPacket* packet) {
    // Nothing goes out before the first key frame.
    if (ost.FrameNumber == 0 && !(packet->flags & AV_PKT_FLAG_KEY))
        return;
    const AVMediaType kind = ist.Stream->codecpar->codec_type;
    if (kind == AVMEDIA_TYPE_AUDIO)
        AudioBytes += packet->size;
    else if (kind == AVMEDIA_TYPE_VIDEO) {
        VideoBytes += packet->size;
        ++ost.SyncOpts;
    }
    const PacketPtr copy(lavc.av_packet_clone(packet));
    if (!copy)
        throw FFMpegException("av_mallocz fail");
    const AVRational from = ist.Stream->time_base;
    const AVRational to = ost.Stream->time_base;
    copy->stream_index = ost.Stream->index;
    copy->pts =
        packet->pts == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : lavu.av_rescale_q(packet->pts, from, to);
    copy->dts = packet->dts == AV_NOPTS_VALUE ? lavu.av_rescale_q(ist.Pts, AV_TIME_BASE_Q, to)
                                              : lavu.av_rescale_q(packet->dts, from, to);
    copy->duration = lavu.av_rescale_q(packet->duration, from, to);
    WritePacket(output, copy.get(), ost);
    ++ost.FrameNumber;
}

void TCustomFFmpeg::WriteSubtitle(AVFormatContext* output, OutputStreamState& ost,
                                  InputStreamState& ist, AVSubtitle* subtitle, int64_t pts) {
    if (pts == AV_NOPTS_VALUE) {
        if (LogInstalled())
            Log(kLogStepFailed, "Subtitle packets must have a pts");
        return;
    }
    if (!Loop.SubtitleBuffer) {
        Loop.SubtitleBuffer = static_cast<uint8_t*>(lavu.av_malloc(kSubtitleBufferSize));
        if (!Loop.SubtitleBuffer)
            throw FFMpegException("av_malloc fail");
    }
    AVCodecContext* encoder = *ost.Codec;
    // A DVB subtitle is written twice: once to draw it, once (without rectangles) to clear it.
    const bool dvb = encoder->codec_id == AV_CODEC_ID_DVB_SUBTITLE;
    const unsigned rectangles = subtitle->num_rects;
    const int writes = dvb ? 2 : 1;
    for (int i = 0; i < writes; ++i) {
        if (i == 1)
            subtitle->num_rects = 0;
        const int size = lavc.avcodec_encode_subtitle(encoder, Loop.SubtitleBuffer,
                                                      kSubtitleBufferSize, subtitle);
        subtitle->num_rects = rectangles;
        if (size < 0)
            throw FFMpegException("Subtitle encoding failed");
        const PacketPtr out(lavc.av_packet_alloc());
        if (!out || lavc.av_new_packet(out.get(), size) < 0)
            throw FFMpegException("av_mallocz fail");
        std::memcpy(out->data, Loop.SubtitleBuffer, size);
        out->stream_index = ost.Stream->index;
        out->pts = lavu.av_rescale_q(pts, ist.Stream->time_base, ost.Stream->time_base);
        if (dvb) {
            // The display times are in milliseconds.
            const uint32_t displayMs =
                i == 0 ? subtitle->start_display_time : subtitle->end_display_time;
            out->pts += lavu.av_rescale_q(displayMs, AVRational{1, 1000}, ost.Stream->time_base);
        } else {
            // A cue shows from its start to its end display time (milliseconds after pts).
            out->pts += lavu.av_rescale_q(subtitle->start_display_time, AVRational{1, 1000},
                                          ost.Stream->time_base);
            if (subtitle->end_display_time > subtitle->start_display_time)
                out->duration =
                    lavu.av_rescale_q(subtitle->end_display_time - subtitle->start_display_time,
                                      AVRational{1, 1000}, ost.Stream->time_base);
        }
        out->dts = out->pts;
        out->flags |= AV_PKT_FLAG_KEY;
        WritePacket(output, out.get(), ost);
        ++ost.FrameNumber;
    }
}
