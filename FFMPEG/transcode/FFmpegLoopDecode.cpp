// Packet decoding for the main loop: the decoders' send/receive cycle, the hand-over of
// decoded audio, pictures and subtitles to the output paths, stream copy, rate
// emulation, the subtitle writer and the flush at end of input.
#include "AVCodecHlpr.h"
#include "EngineText.h"
#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"
#include "FFmpeg.h"
#include "LibavPointers.h"
#include "MediaStreamList.h"
#include "StreamFrameRate.h"

#include <cstdarg>
#include <cstdlib>
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

// The input time of a decoded audio frame's first sample (microseconds). A decoder may
// hand a frame over some packets after the one it came from (frame threads, look-ahead) and
// drops the samples the stream says to skip (decoder delay, priming), moving the frame's
// time with them: the frame's own time says where its sound belongs, not the clock of the
// packet just sent. A frame without one, or one that only jitters about the end of the
// last frame (rounded container times, one time for several frames of a packet),
// continues the last frame.
int64_t audioFrameTime(const InputStreamState& ist, const AVFrame* frame) {
    const int64_t next = ist.AudioNextUs;
    if (frame->best_effort_timestamp == AV_NOPTS_VALUE)
        return next != AV_NOPTS_VALUE ? next : ist.Pts;
    const int64_t own =
        lavu.av_rescale_q(frame->best_effort_timestamp, ist.Stream->time_base, AV_TIME_BASE_Q);
    if (next == AV_NOPTS_VALUE || frame->sample_rate <= 0)
        return own;
    const int64_t durationUs =
        static_cast<int64_t>(AV_TIME_BASE) * frame->nb_samples / frame->sample_rate;
    const int64_t jitterUs = durationUs + 1000;
    return std::llabs(own - next) <= jitterUs ? next : own;
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
    if (!ist.DecodingNeeded)
        return CopyInputPacket(istIndex, packet);
    // A stream that one output decodes may be copied by another: that one gets the packet
    // as it came in.
    if (packet)
        ForOutputsAfterStart(istIndex, [&](AVFormatContext* output, OutputStreamState& ost) {
            if (!ost.EncodingNeeded)
                CopyPacket(output, ost, ist, packet);
        });

    if (kind == AVMEDIA_TYPE_SUBTITLE)
        return DecodeSubtitlePacket(istIndex, packet);
    if (kind != AVMEDIA_TYPE_AUDIO && kind != AVMEDIA_TYPE_VIDEO)
        return -1;
    return DecodeFrames(istIndex, packet);
}

int TCustomFFmpeg::CopyInputPacket(int istIndex, const AVPacket* packet) {
    InputStreamState& ist = InputStreams[istIndex];
    if (!packet)
        return 0;
    const AVMediaType kind = ist.Stream->codecpar->codec_type;
    const AVRational timeBase = ist.Stream->time_base;
    ist.Pts = ist.NextPts;
    if (kind == AVMEDIA_TYPE_AUDIO) {
        const AVCodecParameters* parameters = ist.Stream->codecpar;
        if (parameters->frame_size > 0 && parameters->sample_rate > 0)
            ist.NextPts += static_cast<int64_t>(AV_TIME_BASE) * parameters->frame_size /
                           parameters->sample_rate;
        else if (packet->duration > 0)
            ist.NextPts += lavu.av_rescale_q(packet->duration, timeBase, AV_TIME_BASE_Q);
    } else if (kind == AVMEDIA_TYPE_VIDEO) {
        ist.NextPts += videoStepUs(ist, packet->duration);
    }
    emulateRate(ist);
    ForOutputsAfterStart(istIndex, [&](AVFormatContext* output, OutputStreamState& ost) {
        CopyPacket(output, ost, ist, packet);
    });
    return 0;
}

int TCustomFFmpeg::DecodeSubtitlePacket(int istIndex, AVPacket* packet) {
    InputStreamState& ist = InputStreams[istIndex];
    if (!packet)
        return 0; // subtitle decoders keep nothing back
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
    // An empty packet (a container's placeholder for a skipped frame) carries nothing to
    // decode; handed to the decoder it would read as the end of the stream.
    if (packet && packet->size == 0)
        return 0;
    // Audio and video: one packet in, any number of frames out; no packet drains.
    int sent = lavc.avcodec_send_packet(decoder, packet);
    if (sent < 0 && !(packet == nullptr && sent == AVERROR_EOF))
        return packet ? -1 : 0;
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
        TakeDecodedFrame(istIndex, frame);
        lavu.av_frame_unref(frame);
    }
    if (!packet)
        FinishInputStream(istIndex);
    return 0;
}

void TCustomFFmpeg::TakeDecodedFrame(int istIndex, AVFrame* frame) {
    InputStreamState& ist = InputStreams[istIndex];
    ist.Pts = ist.NextPts;
    if (ist.Stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
        ist.Pts = audioFrameTime(ist, frame);
        ist.NextPts = ist.Pts;
        if (frame->sample_rate > 0)
            ist.NextPts +=
                static_cast<int64_t>(AV_TIME_BASE) * frame->nb_samples / frame->sample_rate;
        ist.AudioNextUs = ist.NextPts;
        DeliverAudio(istIndex, frame);
        return;
    }
    // A decoder on frame threads hands each picture over a few packets after its own; the
    // packet it came from (pkt_dts) says which time it has, as one thread would have given
    // it at that packet.
    if (((*ist.Codec)->active_thread_type & FF_THREAD_FRAME) && frame->pkt_dts != AV_NOPTS_VALUE)
        ist.Pts = ist.NextPts =
            lavu.av_rescale_q(frame->pkt_dts, ist.Stream->time_base, AV_TIME_BASE_Q);
    ist.NextPts += videoStepUs(ist, frame->pkt_duration);
    DeliverVideo(istIndex, frame);
}

void TCustomFFmpeg::FinishInputStream(int istIndex) {
    const bool video = InputStreams[istIndex].Stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
    if (video)
        FlushDeinterlacer(istIndex);
    if (EncoderSide.Stage && video) {
        PostFlush(istIndex);
        return;
    }
    // A still picture lasts as long as its sound: its encoder is drained at the end.
    ForEncodingOutputs(istIndex, [this](AVFormatContext* output, OutputStreamState& ost) {
        if (!ost.StillPicture)
            FlushEncoder(output, ost);
    });
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
    TDeinterlacer* deinterlacer = DeinterlacerFor(istIndex, frame);
    if (!deinterlacer) {
        DeliverPicture(istIndex, frame);
        return;
    }
    if (!deinterlacer->Push(frame, ist.Pts, ist.Stream->codecpar->field_order)) {
        // A picture the filter cannot take gets the engine's own line filter.
        VideoState.LineDeinterlace = true;
        DeliverPicture(istIndex, frame);
        VideoState.LineDeinterlace = false;
        return;
    }
    DeliverDeinterlaced(istIndex, *deinterlacer);
}

void TCustomFFmpeg::DeliverDeinterlaced(int istIndex, TDeinterlacer& deinterlacer) {
    // Each picture goes out at its own time, a picture behind the decoder's clock.
    InputStreamState& ist = InputStreams[istIndex];
    const int64_t clock = ist.Pts;
    while (AVFrame* picture = deinterlacer.Pull()) {
        ist.Pts = picture->pts;
        DeliverPicture(istIndex, picture);
    }
    ist.Pts = clock;
}

void TCustomFFmpeg::FlushDeinterlacer(int istIndex) {
    const auto found = Loop.Deinterlacers.find(istIndex);
    if (found == Loop.Deinterlacers.end() || !found->second)
        return;
    found->second->Push(nullptr, 0, AV_FIELD_UNKNOWN);
    DeliverDeinterlaced(istIndex, *found->second);
}

TDeinterlacer* TCustomFFmpeg::DeinterlacerFor(int istIndex, const AVFrame* frame) {
    std::unique_ptr<TDeinterlacer>& deinterlacer = Loop.Deinterlacers[istIndex];
    if (deinterlacer)
        return deinterlacer.get();
    const int mode = Deinterlace ? dmAlways : DeinterlaceMode;
    // A cover is one whole picture: no fields to join, and held back by the filter it would
    // reach its still outputs only at the end.
    if (mode == dmNever || IsAttachedPicture(InputStreams[istIndex].Stream))
        return nullptr;
    // Outputs that encode fields (interlaced coding) keep them; the pictures are made whole
    // when one output wants progressive ones.
    bool progressive = false;
    ForEncodingOutputs(istIndex, [&](AVFormatContext*, OutputStreamState& ost) {
        const AVCodecContext* encoder = ost.Codec ? *ost.Codec : nullptr;
        progressive |=
            encoder && encoder->codec_type == AVMEDIA_TYPE_VIDEO &&
            !(encoder->flags & (AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME));
    });
    const int fieldOrder = InputStreams[istIndex].Stream->codecpar->field_order;
    const bool interlaced = frame->interlaced_frame ||
                            (fieldOrder != AV_FIELD_UNKNOWN && fieldOrder != AV_FIELD_PROGRESSIVE);
    if (!progressive || (mode == dmAuto && !interlaced))
        return nullptr;
    deinterlacer = std::make_unique<TDeinterlacer>(mode == dmAlways);
    return deinterlacer.get();
}

void TCustomFFmpeg::DeliverPicture(int istIndex, AVFrame* frame) {
    InputStreamState& ist = InputStreams[istIndex];
    // Turning upright and the hooks run once per picture, before any output sees it; a
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
