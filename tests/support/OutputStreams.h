// What a converted file holds, read back with libavformat: the first video and audio
// stream's codec and format, and the container's title. The media libraries must be
// loaded (LoadMediaLibraries) before it is used.
#pragma once

#include "AVCodecHlpr.h"
#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"

#include <ostream>
#include <string>

struct OutputStreams {
    bool opened = false;
    std::string videoCodec; // "" when the file has no video
    int width = 0;
    int height = 0;
    std::string audioCodec; // "" when the file has no audio
    int sampleRateHz = 0;
    int channels = 0;
    std::string title;
};

inline std::ostream& operator<<(std::ostream& out, const OutputStreams& s) {
    return out << (s.opened ? "" : "(not opened) ") << "video " << s.videoCodec << ' ' << s.width
               << 'x' << s.height << ", audio " << s.audioCodec << ' ' << s.sampleRateHz << " Hz "
               << s.channels << " ch, title \"" << s.title << '"';
}

inline OutputStreams ReadOutputStreams(const std::string& path) {
    OutputStreams result;
    AVFormatContext* file = nullptr;
    if (lavf.avformat_open_input(&file, path.c_str(), nullptr, nullptr) < 0)
        return result;
    if (lavf.avformat_find_stream_info(file, nullptr) < 0) {
        lavf.avformat_close_input(&file);
        return result;
    }
    result.opened = true;
    for (unsigned i = 0; i < file->nb_streams; ++i) {
        const AVCodecParameters* p = file->streams[i]->codecpar;
        if (p->codec_type == AVMEDIA_TYPE_VIDEO && result.videoCodec.empty()) {
            result.videoCodec = lavc.avcodec_get_name(p->codec_id);
            result.width = p->width;
            result.height = p->height;
        } else if (p->codec_type == AVMEDIA_TYPE_AUDIO && result.audioCodec.empty()) {
            result.audioCodec = lavc.avcodec_get_name(p->codec_id);
            result.sampleRateHz = p->sample_rate;
            result.channels = p->ch_layout.nb_channels;
        }
    }
    if (const AVDictionaryEntry* title = lavu.av_dict_get(file->metadata, "title", nullptr, 0))
        result.title = title->value;
    lavf.avformat_close_input(&file);
    return result;
}
