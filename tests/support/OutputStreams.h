// What a converted file holds, read back with libavformat: the first video and audio
// stream's codec and format, the container's title, and the brightness of picture rows. The media
// libraries must be loaded (LoadMediaLibraries) before it is used.
#pragma once

#include "AVCodecHlpr.h"
#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

struct OutputStreams {
    bool opened = false;
    std::string videoCodec; // "" when the file has no video
    int width = 0;
    int height = 0;
    double displayAspect = 0; // width / height times the sample aspect ratio when known
    std::string pixelFormat;  // the video stream's pixel format name
    std::string profile;      // the video codec's profile name, "" when it names none
    std::string audioCodec;   // "" when the file has no audio
    int sampleRateHz = 0;
    int channels = 0;
    int64_t audioBitRate = 0;
    std::string title;
};

inline std::ostream& operator<<(std::ostream& out, const OutputStreams& s) {
    return out << (s.opened ? "" : "(not opened) ") << "video " << s.videoCodec << ' ' << s.width
               << 'x' << s.height << ", audio " << s.audioCodec << ' ' << s.sampleRateHz << " Hz "
               << s.channels << " ch " << s.audioBitRate << " b/s, aspect " << s.displayAspect
               << ", " << s.pixelFormat << " " << s.profile << ", title \"" << s.title << '"';
}

// The file opened and its streams analysed (close it with avformat_close_input); null when
// either fails.
inline AVFormatContext* OpenAnalysed(const std::string& path) {
    AVFormatContext* file = nullptr;
    if (lavf.avformat_open_input(&file, path.c_str(), nullptr, nullptr) < 0)
        return nullptr;
    if (lavf.avformat_find_stream_info(file, nullptr) < 0)
        lavf.avformat_close_input(&file);
    return file;
}

inline OutputStreams ReadOutputStreams(const std::string& path) {
    OutputStreams result;
    AVFormatContext* file = OpenAnalysed(path);
    if (!file)
        return result;
    result.opened = true;
    for (unsigned i = 0; i < file->nb_streams; ++i) {
        const AVCodecParameters* p = file->streams[i]->codecpar;
        if (p->codec_type == AVMEDIA_TYPE_VIDEO && result.videoCodec.empty()) {
            result.videoCodec = lavc.avcodec_get_name(p->codec_id);
            result.width = p->width;
            result.height = p->height;
            // The container's sample aspect ratio, else the stream's own, as players take it.
            const AVRational sar =
                lavf.av_guess_sample_aspect_ratio(file, file->streams[i], nullptr);
            if (const char* name = lavu.av_get_pix_fmt_name(static_cast<AVPixelFormat>(p->format)))
                result.pixelFormat = name;
            if (const char* name = lavc.avcodec_profile_name(p->codec_id, p->profile))
                result.profile = name;
            if (p->height > 0)
                result.displayAspect = static_cast<double>(p->width) / p->height *
                                       (sar.num > 0 && sar.den > 0 ? av_q2d(sar) : 1.0);
        } else if (p->codec_type == AVMEDIA_TYPE_AUDIO && result.audioCodec.empty()) {
            result.audioCodec = lavc.avcodec_get_name(p->codec_id);
            result.sampleRateHz = p->sample_rate;
            result.channels = p->ch_layout.nb_channels;
            result.audioBitRate = p->bit_rate;
        }
    }
    if (const AVDictionaryEntry* title = lavu.av_dict_get(file->metadata, "title", nullptr, 0))
        result.title = title->value;
    lavf.avformat_close_input(&file);
    return result;
}

// The mean luma of rows [firstRow, firstRow + rowCount) of the first decoded picture of the
// file's first video stream; none when no picture can be decoded.
inline std::optional<double> MeanLumaOfRows(const std::string& path, int firstRow, int rowCount) {
    AVFormatContext* file = nullptr;
    if (lavf.avformat_open_input(&file, path.c_str(), nullptr, nullptr) < 0)
        return std::nullopt;
    lavf.avformat_find_stream_info(file, nullptr);
    std::optional<double> result;
    const int index = lavf.av_find_best_stream(file, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    AVCodecContext* decoder = lavc.avcodec_alloc_context3(nullptr);
    AVPacket* packet = lavc.av_packet_alloc();
    AVFrame* frame = lavu.av_frame_alloc();
    if (index >= 0 &&
        lavc.avcodec_parameters_to_context(decoder, file->streams[index]->codecpar) >= 0 &&
        lavc.avcodec_open2(decoder, lavc.avcodec_find_decoder(decoder->codec_id), nullptr) >= 0) {
        while (!result && lavf.av_read_frame(file, packet) >= 0) {
            if (packet->stream_index == index && lavc.avcodec_send_packet(decoder, packet) >= 0 &&
                lavc.avcodec_receive_frame(decoder, frame) >= 0 && firstRow >= 0 && rowCount > 0 &&
                firstRow + rowCount <= frame->height) {
                double sum = 0;
                for (int y = firstRow; y < firstRow + rowCount; ++y)
                    for (int x = 0; x < frame->width; ++x)
                        sum +=
                            frame->data[0][static_cast<std::ptrdiff_t>(y) * frame->linesize[0] + x];
                result = sum / (static_cast<double>(rowCount) * frame->width);
            }
            lavc.av_packet_unref(packet);
        }
    }
    lavu.av_frame_free(&frame);
    lavc.av_packet_free(&packet);
    lavc.avcodec_free_context(&decoder);
    lavf.avformat_close_input(&file);
    return result;
}

// The root mean square of every decoded sample of the file's first audio stream (full
// scale 1.0); none when the sound cannot be decoded or its sample format is not one of
// the common four.
inline std::optional<double> AudioRms(const std::string& path) {
    AVFormatContext* file = nullptr;
    if (lavf.avformat_open_input(&file, path.c_str(), nullptr, nullptr) < 0)
        return std::nullopt;
    lavf.avformat_find_stream_info(file, nullptr);
    const int index = lavf.av_find_best_stream(file, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    AVCodecContext* decoder = lavc.avcodec_alloc_context3(nullptr);
    AVPacket* packet = lavc.av_packet_alloc();
    AVFrame* frame = lavu.av_frame_alloc();
    double sum = 0;
    int64_t count = 0;
    bool readable = true;
    const auto take = [&] {
        const int channels = frame->ch_layout.nb_channels;
        const bool planar =
            lavu.av_sample_fmt_is_planar(static_cast<AVSampleFormat>(frame->format));
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < frame->nb_samples; ++i) {
                const int plane = planar ? c : 0;
                const int at = planar ? i : i * channels + c;
                double v = 0;
                switch (frame->format) {
                case AV_SAMPLE_FMT_FLT:
                case AV_SAMPLE_FMT_FLTP:
                    v = reinterpret_cast<const float*>(frame->extended_data[plane])[at];
                    break;
                case AV_SAMPLE_FMT_S16:
                case AV_SAMPLE_FMT_S16P:
                    v = reinterpret_cast<const int16_t*>(frame->extended_data[plane])[at] / 32768.0;
                    break;
                default:
                    readable = false;
                    return;
                }
                sum += v * v;
                ++count;
            }
    };
    if (index >= 0 &&
        lavc.avcodec_parameters_to_context(decoder, file->streams[index]->codecpar) >= 0 &&
        lavc.avcodec_open2(decoder, lavc.avcodec_find_decoder(decoder->codec_id), nullptr) >= 0) {
        while (readable && lavf.av_read_frame(file, packet) >= 0) {
            if (packet->stream_index == index && lavc.avcodec_send_packet(decoder, packet) >= 0)
                while (readable && lavc.avcodec_receive_frame(decoder, frame) >= 0)
                    take();
            lavc.av_packet_unref(packet);
        }
    }
    lavu.av_frame_free(&frame);
    lavc.av_packet_free(&packet);
    lavc.avcodec_free_context(&decoder);
    lavf.avformat_close_input(&file);
    if (!readable || count == 0)
        return std::nullopt;
    return std::sqrt(sum / static_cast<double>(count));
}
