// Every stream, tag and chapter of a converted file, read back with libavformat: what the
// tests of covers, subtitles, sound tracks, tags and chapters compare. The media libraries
// must be loaded (LoadMediaLibraries) before it is used.
#pragma once

#include "AVCodecHlpr.h"
#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"
#include "OutputStreams.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <vector>

struct ReadBackStream {
    std::string kind;  // "video", "cover" (an attached picture), "audio", "subtitle", "data"
    std::string codec; // decoder name
    std::string language;
    std::string title; // the title tag, or MP4's track (handler) name when it has none
    int width = 0, height = 0;
    int64_t packets = 0;
    double lastSeconds = 0; // where the stream's last packet ends
};

struct ReadBackFile {
    bool opened = false;
    std::vector<ReadBackStream> streams;
    // The file's tags under lower-case keys; a file that keeps them with its sound (Ogg)
    // gives those of its first sound stream.
    std::map<std::string, std::string> tags;
    std::vector<std::string> chapterTitles;

    int count(const std::string& kind) const {
        return static_cast<int>(std::count_if(streams.begin(), streams.end(),
                                              [&](const auto& s) { return s.kind == kind; }));
    }
    const ReadBackStream* first(const std::string& kind, int skip = 0) const {
        for (const ReadBackStream& stream : streams)
            if (stream.kind == kind && skip-- == 0)
                return &stream;
        return nullptr;
    }
};

inline std::string ReadBackTag(const AVDictionary* metadata, const char* key) {
    const AVDictionaryEntry* entry = lavu.av_dict_get(metadata, key, nullptr, 0);
    return entry ? entry->value : "";
}

inline std::map<std::string, std::string> ReadBackTags(const AVDictionary* metadata) {
    std::map<std::string, std::string> tags;
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = lavu.av_dict_get(metadata, "", entry, AV_DICT_IGNORE_SUFFIX))) {
        std::string key = entry->key;
        std::transform(key.begin(), key.end(), key.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        tags[key] = entry->value;
    }
    return tags;
}

inline ReadBackFile ReadBack(const std::string& path) {
    ReadBackFile result;
    AVFormatContext* file = OpenAnalysed(path);
    if (!file)
        return result;
    result.opened = true;
    for (unsigned i = 0; i < file->nb_streams; ++i) {
        const AVStream* stream = file->streams[i];
        ReadBackStream entry;
        const char* kind = lavu.av_get_media_type_string(stream->codecpar->codec_type);
        entry.kind = kind ? kind : "unknown";
        if (stream->disposition & AV_DISPOSITION_ATTACHED_PIC)
            entry.kind = "cover";
        entry.codec = lavc.avcodec_get_name(stream->codecpar->codec_id);
        entry.language = ReadBackTag(stream->metadata, "language");
        entry.title = ReadBackTag(stream->metadata, "title");
        const std::string handler = ReadBackTag(stream->metadata, "handler_name");
        if (entry.title.empty() && handler.find("Handler") == std::string::npos)
            entry.title = handler;
        entry.width = stream->codecpar->width;
        entry.height = stream->codecpar->height;
        result.streams.push_back(entry);
    }
    result.tags = ReadBackTags(file->metadata);
    for (unsigned i = 0; result.tags.count("title") == 0 && i < file->nb_streams; ++i)
        if (file->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
            result.tags = ReadBackTags(file->streams[i]->metadata);
            break;
        }
    for (unsigned i = 0; i < file->nb_chapters; ++i)
        result.chapterTitles.push_back(ReadBackTag(file->chapters[i]->metadata, "title"));
    AVPacket* packet = lavc.av_packet_alloc();
    while (packet && lavf.av_read_frame(file, packet) >= 0) {
        if (packet->stream_index >= 0 &&
            packet->stream_index < static_cast<int>(result.streams.size())) {
            ReadBackStream& entry = result.streams[packet->stream_index];
            ++entry.packets;
            const int64_t start = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if (start != AV_NOPTS_VALUE)
                entry.lastSeconds = std::max(
                    entry.lastSeconds, (start + std::max<int64_t>(packet->duration, 0)) *
                                           av_q2d(file->streams[packet->stream_index]->time_base));
        }
        lavc.av_packet_unref(packet);
    }
    lavc.av_packet_free(&packet);
    lavf.avformat_close_input(&file);
    return result;
}
