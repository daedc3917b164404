#include "AVProbe.h"
#include "StreamFrameRate.h"
#include "StreamRotation.h"

#include <utility>

#include "AVCodecHlpr.h"
#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"
#include "MediaLibraries.h"
#include "SwResampleHlpr.h"
#include "SwScaleHlpr.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

template <std::size_t N> void copyText(char (&buffer)[N], const char* text) {
    std::memset(buffer, 0, N);
    if (text)
        std::strncpy(buffer, text, N - 1);
}

const char* metadataText(const AVDictionary* metadata, const char* key) {
    const AVDictionaryEntry* entry = lavu.av_dict_get(metadata, key, nullptr, 0);
    return entry ? entry->value : nullptr;
}

// Leading integer of a metadata text ("2008-05-01" gives 2008, "3/12" gives 3); 0 if none.
int32_t metadataNumber(const AVDictionary* metadata, const char* key) {
    const char* text = metadataText(metadata, key);
    return text ? static_cast<int32_t>(std::strtol(text, nullptr, 10)) : 0;
}

int32_t clampToInt32(int64_t value) {
    if (value > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

std::string replaceName(const char* pattern, const std::string& fileName) {
    std::string text(pattern);
    const auto at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, fileName);
    return text;
}

} // namespace

TAVProbe::~TAVProbe() {
    CloseFile();
}

void TAVProbe::CheckLibraries() {
    if (!AVCodecLibrary().Bound())
        throw MediaLibraryError("LibAVCodec not loaded.");
    if (!AVFormatLibrary().Bound())
        throw MediaLibraryError("LibAVFormat not loaded.");
    if (!AVUtilLibrary().Bound())
        throw MediaLibraryError("LibAVUtil not loaded.");
    if (!SwScaleLibrary().Bound())
        throw MediaLibraryError("LibSwScale not loaded.");
    if (!SwResampleLibrary().Bound())
        throw MediaLibraryError("LibSwResample not loaded.");
}

std::string TAVProbe::ProbeErrorText(const std::string& fileName, int errorCode) {
    switch (errorCode) {
    case AVERROR(ENOENT):
        return replaceName("%s: no such file or directory", fileName);
    case AVERROR(EIO):
        return replaceName("%s: I/O error occurred\r\nUsually that means that input file is "
                           "truncated and/or corrupted.",
                           fileName);
    case AVERROR(ENOMEM):
        return replaceName("%s: memory allocation error occurred", fileName);
    case AVERROR(EINVAL):
        return replaceName("%s: Error while parsing header", fileName);
    case AVERROR(EDOM):
        return replaceName("%s: Incorrect image filename syntax.\r\nUse '%d' to specify the "
                           "image number:\r\n  for img1.jpg, img2.jpg, ..., use 'img%d.jpg';\r\n"
                           "  for img001.jpg, img002.jpg, ..., use 'img%03d.jpg'.",
                           fileName);
    case -42: // the old "unknown format" code
    case AVERROR(EILSEQ):
    case AVERROR_INVALIDDATA:
    case AVERROR_DEMUXER_NOT_FOUND:
        return replaceName("%s: Unknown format", fileName);
    default:
        return replaceName("%s: Error while opening file", fileName);
    }
}

bool TAVProbe::LoadFile(const std::string& fileName, const std::string& format) {
    CheckLibraries();
    CloseFile();

    const AVInputFormat* inputFormat = nullptr;
    if (!format.empty()) {
        inputFormat = lavf.av_find_input_format(format.c_str());
        if (!inputFormat) {
            LastErrorMessage = "Unknown input format: " + format;
            return false;
        }
    }

    AVFormatContext* context = lavf.avformat_alloc_context();
    if (!context) {
        LastErrorMessage = ProbeErrorText(fileName, AVERROR(ENOMEM));
        return false;
    }
    // On failure avformat_open_input frees the context and nulls the pointer.
    const int openResult =
        lavf.avformat_open_input(&context, fileName.c_str(), inputFormat, nullptr);
    if (openResult < 0) {
        LastErrorMessage = ProbeErrorText(fileName, openResult);
        CloseFile();
        return false;
    }
    m_context = context;

    if (lavf.avformat_find_stream_info(m_context, nullptr) < 0) {
        LastErrorMessage = fileName + ": could not find codec parameters";
        CloseFile();
        return false;
    }
    countStreams();
    FormatName = format;
    return true;
}

void TAVProbe::countStreams() {
    StreamCount = static_cast<int32_t>(m_context->nb_streams);
    AudioStreamCount = VideoStreamCount = SubtitleStreamCount = 0;
    for (int32_t i = 0; i < StreamCount; ++i) {
        const AVStream* stream = m_context->streams[i];
        switch (stream->codecpar->codec_type) {
        case AVMEDIA_TYPE_VIDEO:
            if (IsAttachedPicture(stream))
                break;
            ++VideoStreamCount;
            if (FirstVideoStream == -1)
                FirstVideoStream = i;
            break;
        case AVMEDIA_TYPE_AUDIO:
            ++AudioStreamCount;
            if (FirstAudioStream == -1)
                FirstAudioStream = i;
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            ++SubtitleStreamCount;
            if (FirstSubtitleStream == -1)
                FirstSubtitleStream = i;
            break;
        default:
            break;
        }
    }
}

TAVPacketCounts TAVProbe::CountPackets(int64_t enough) {
    TAVPacketCounts counts;
    if (!m_context)
        return counts;
    AVPacket* packet = lavc.av_packet_alloc();
    if (!packet)
        return counts;
    const auto satisfied = [&] {
        return (VideoStreamCount == 0 || counts.Video >= enough) &&
               (AudioStreamCount == 0 || counts.Audio >= enough) &&
               (SubtitleStreamCount == 0 || counts.Subtitle >= enough);
    };
    while (!satisfied() && lavf.av_read_frame(m_context, packet) >= 0) {
        if (packet->stream_index >= 0 &&
            packet->stream_index < static_cast<int>(m_context->nb_streams)) {
            const AVStream* stream = m_context->streams[packet->stream_index];
            switch (stream->codecpar->codec_type) {
            case AVMEDIA_TYPE_VIDEO:
                if (!IsAttachedPicture(stream))
                    ++counts.Video;
                break;
            case AVMEDIA_TYPE_AUDIO:
                ++counts.Audio;
                break;
            case AVMEDIA_TYPE_SUBTITLE:
                ++counts.Subtitle;
                break;
            default:
                break;
            }
        }
        lavc.av_packet_unref(packet);
    }
    lavc.av_packet_free(&packet);
    return counts;
}

std::vector<TAVStreamEntry> TAVProbe::Streams() const {
    return ListMediaStreams(m_context);
}

void TAVProbe::resetCounts() {
    StreamCount = AudioStreamCount = VideoStreamCount = SubtitleStreamCount = -1;
    FirstAudioStream = FirstVideoStream = FirstSubtitleStream = -1;
}

void TAVProbe::CloseFile() {
    FormatName.clear();
    if (m_context)
        lavf.avformat_close_input(&m_context);
    resetCounts();
}

TAVFileInfo TAVProbe::GetFileInfo() const {
    TAVFileInfo info{};
    if (!m_context) {
        info.StartTime = info.Duration = info.Timestamp = -1;
        info.BitRate = info.Year = info.Track = -1;
        lavu.av_log(nullptr, AV_LOG_INFO, "file not loaded.\n");
        return info;
    }
    const AVDictionary* metadata = m_context->metadata;
    info.StartTime = m_context->start_time;
    info.Duration = m_context->duration;
    info.BitRate = clampToInt32(m_context->bit_rate);
    info.Timestamp = 0;
    if (const char* created = metadataText(metadata, "creation_time")) {
        int64_t us = 0;
        if (lavu.av_parse_time(&us, created, 0) >= 0)
            info.Timestamp = us / 1000000;
    }
    copyText(info.Title, metadataText(metadata, "title"));
    const char* author = metadataText(metadata, "artist");
    copyText(info.Author, author ? author : metadataText(metadata, "author"));
    copyText(info.Copyright, metadataText(metadata, "copyright"));
    copyText(info.Comment, metadataText(metadata, "comment"));
    copyText(info.Album, metadataText(metadata, "album"));
    info.Year = metadataText(metadata, "date") ? metadataNumber(metadata, "date")
                                               : metadataNumber(metadata, "year");
    info.Track = metadataNumber(metadata, "track");
    copyText(info.Genre, metadataText(metadata, "genre"));
    return info;
}

TAVStreamInfo TAVProbe::GetStreamInfo(int index) const {
    TAVStreamInfo info;
    std::memset(info.Language, 0, sizeof info.Language);
    std::memset(info.CodecName, 0, sizeof info.CodecName);
    info.StartTime = info.StartTimeUs = info.Duration = info.DurationUs = -1;
    info.BitRate = info.Height = info.Width = info.PixelFormat = -1;
    info.FrameRateNum = info.FrameRateDen = -1;
    info.DisplayAspect = -1.0f;

    if (!m_context) {
        lavu.av_log(nullptr, AV_LOG_INFO, "file not loaded.\n");
        return info;
    }
    if (index < 0) {
        index = FirstVideoStream;
        if (index == -1) {
            lavu.av_log(nullptr, AV_LOG_ERROR, "no video stream.\n");
            return info;
        }
    } else if (index >= StreamCount) {
        lavu.av_log(nullptr, AV_LOG_ERROR, "stream index #%d is invalid.\n", index);
        return info;
    }
    const AVStream* stream = m_context->streams[index];
    const AVCodecParameters* parameters = stream->codecpar;
    if (parameters->codec_type != AVMEDIA_TYPE_VIDEO) {
        lavu.av_log(nullptr, AV_LOG_ERROR, "stream #%d is not video stream.\n", index);
        return info;
    }

    copyText(info.Language, metadataText(stream->metadata, "language"));
    copyText(info.CodecName, lavc.avcodec_get_name(parameters->codec_id));
    const AVRational microseconds{1, 1000000};
    info.StartTime = stream->start_time;
    if (stream->start_time != AV_NOPTS_VALUE)
        info.StartTimeUs = lavu.av_rescale_q(stream->start_time, stream->time_base, microseconds);
    info.Duration = stream->duration;
    if (stream->duration != AV_NOPTS_VALUE)
        info.DurationUs = lavu.av_rescale_q(stream->duration, stream->time_base, microseconds);
    info.BitRate = clampToInt32(parameters->bit_rate);
    info.Height = parameters->height;
    info.Width = parameters->width;
    // An unknown sample aspect ratio means square pixels; a picture without height has
    // no display aspect (0).
    AVRational sar = stream->sample_aspect_ratio;
    if (sar.num <= 0 || sar.den <= 0)
        sar = parameters->sample_aspect_ratio;
    if (sar.num <= 0 || sar.den <= 0)
        sar = AVRational{1, 1};
    info.DisplayAspect =
        parameters->height > 0
            ? static_cast<float>(parameters->width * av_q2d(sar) / parameters->height)
            : 0.0f;
    // A portrait recording is described as it is shown: upright.
    const int rotation = DisplayRotationDegrees(stream);
    if ((rotation == 90 || rotation == 270) && info.DisplayAspect > 0) {
        std::swap(info.Width, info.Height);
        info.DisplayAspect = 1.0f / info.DisplayAspect;
    }
    info.PixelFormat = parameters->format;
    const AVRational rate = PlausibleFrameRate(stream);
    info.FrameRateNum = rate.num;
    info.FrameRateDen = rate.den;
    return info;
}
