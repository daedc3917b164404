// Reading converted files back the way a player does: one stream decoded frame by frame, and
// where a file's first picture, its sound and its first audible sound are on its clock. The
// media libraries must be loaded (LoadMediaLibraries) before it is used.
#pragma once

#include "AVCodecHlpr.h"
#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

// A file opened with the decoder of its best stream of one kind; `ready` is false when the
// file or the decoder does not open.
struct StreamDecoder {
    AVFormatContext* file = nullptr;
    AVCodecContext* decoder = lavc.avcodec_alloc_context3(nullptr);
    AVPacket* packet = lavc.av_packet_alloc();
    AVFrame* frame = lavu.av_frame_alloc();
    int index = -1;
    bool ready = false;

    StreamDecoder(const std::string& path, AVMediaType kind) {
        if (lavf.avformat_open_input(&file, path.c_str(), nullptr, nullptr) < 0)
            return;
        lavf.avformat_find_stream_info(file, nullptr);
        index = lavf.av_find_best_stream(file, kind, -1, -1, nullptr, 0);
        if (index < 0 ||
            lavc.avcodec_parameters_to_context(decoder, file->streams[index]->codecpar) < 0)
            return;
        // The decoder moves a frame's time by the samples it skips.
        decoder->pkt_timebase = file->streams[index]->time_base;
        ready =
            lavc.avcodec_open2(decoder, lavc.avcodec_find_decoder(decoder->codec_id), nullptr) >= 0;
    }
    ~StreamDecoder() {
        lavu.av_frame_free(&frame);
        lavc.av_packet_free(&packet);
        lavc.avcodec_free_context(&decoder);
        lavf.avformat_close_input(&file);
    }
    StreamDecoder(const StreamDecoder&) = delete;
    StreamDecoder& operator=(const StreamDecoder&) = delete;

    // Calls `take` for each decoded frame, to the decoder's last, until it returns true.
    template <class Take> void decode(Take take) {
        bool done = !ready;
        const auto drain = [&] {
            while (!done && lavc.avcodec_receive_frame(decoder, frame) >= 0) {
                done = take(frame);
                lavu.av_frame_unref(frame);
            }
        };
        while (!done && lavf.av_read_frame(file, packet) >= 0) {
            if (packet->stream_index == index && lavc.avcodec_send_packet(decoder, packet) >= 0)
                drain();
            lavc.av_packet_unref(packet);
        }
        if (!done && lavc.avcodec_send_packet(decoder, nullptr) >= 0)
            drain();
    }
    // A decoded frame's time in seconds; `otherwise` when it has none.
    double seconds(const AVFrame* decoded, double otherwise = 0.0) const {
        return decoded->best_effort_timestamp == AV_NOPTS_VALUE
                   ? otherwise
                   : decoded->best_effort_timestamp * av_q2d(file->streams[index]->time_base);
    }
};

// Sample `i` of the first channel of a decoded audio frame, as a fraction of full scale.
inline double SampleValue(const AVFrame* frame, int i) {
    const auto format = static_cast<AVSampleFormat>(frame->format);
    const int slot = lavu.av_sample_fmt_is_planar(format) ? i : i * frame->ch_layout.nb_channels;
    const uint8_t* plane = frame->extended_data[0];
    switch (lavu.av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_U8:
        return (plane[slot] - 128) / 128.0;
    case AV_SAMPLE_FMT_S16:
        return reinterpret_cast<const int16_t*>(plane)[slot] / 32768.0;
    case AV_SAMPLE_FMT_S32:
        return reinterpret_cast<const int32_t*>(plane)[slot] / 2147483648.0;
    case AV_SAMPLE_FMT_FLT:
        return reinterpret_cast<const float*>(plane)[slot];
    case AV_SAMPLE_FMT_DBL:
        return reinterpret_cast<const double*>(plane)[slot];
    default:
        return 0.0;
    }
}

// Where a file's picture and sound are on its clock, in seconds (NaN: not found).
struct MediaTimeline {
    double firstPicture = std::numeric_limits<double>::quiet_NaN();
    double firstSound = std::numeric_limits<double>::quiet_NaN();   // its first decoded sample
    double soundEnd = std::numeric_limits<double>::quiet_NaN();     // after its last sample
    double firstAudible = std::numeric_limits<double>::quiet_NaN(); // above a tenth of full scale
};

inline MediaTimeline ReadTimeline(const std::string& path) {
    MediaTimeline timeline;
    StreamDecoder pictures(path, AVMEDIA_TYPE_VIDEO);
    pictures.decode([&](const AVFrame* frame) {
        timeline.firstPicture = pictures.seconds(frame);
        return true;
    });
    StreamDecoder sound(path, AVMEDIA_TYPE_AUDIO);
    sound.decode([&](const AVFrame* frame) {
        // A frame without a time of its own follows the one before.
        const double start =
            sound.seconds(frame, std::isnan(timeline.soundEnd) ? 0.0 : timeline.soundEnd);
        if (std::isnan(timeline.firstSound))
            timeline.firstSound = start;
        for (int i = 0; i < frame->nb_samples && std::isnan(timeline.firstAudible); ++i)
            if (std::fabs(SampleValue(frame, i)) > 0.1)
                timeline.firstAudible = start + static_cast<double>(i) / frame->sample_rate;
        timeline.soundEnd = start + static_cast<double>(frame->nb_samples) / frame->sample_rate;
        return false;
    });
    return timeline;
}
