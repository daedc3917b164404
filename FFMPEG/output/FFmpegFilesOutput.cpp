// Creating a task's output: the container, its streams from the option state, its
// metadata and its file; and releasing the task's input and output files.
#include "FFmpeg.h"
#include "DescriptorOutput.h"
#include "EngineText.h"

#include "AVCodecHlpr.h"
#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"
#include "MediaLibraries.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace {

// Seconds since 1970 as the ISO 8601 text that muxers read from "creation_time".
std::string isoTime(int64_t seconds) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    if (!gmtime_r(&time, &parts))
        return std::string();
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000000Z", &parts);
    return text;
}

// Closes the output's file and deletes it when nothing was written into it.
void closeOutputFile(AVFormatContext* context) {
    if (!context->pb || (context->oformat && (context->oformat->flags & AVFMT_NOFILE)))
        return;
    if (WritesThroughDescriptor(context))
        CloseDescriptorOutput(context);
    else
        lavf.avio_closep(&context->pb);
    if (!context->url)
        return;
    std::error_code error;
    const std::filesystem::path path(context->url);
    if (std::filesystem::is_regular_file(path, error) &&
        std::filesystem::file_size(path, error) == 0 && !error)
        std::filesystem::remove(path, error);
}

} // namespace

bool TCustomFFmpeg::FailOpenOutput(AVFormatContext* context, bool listed, const std::string& text) {
    ErrorText = text;
    ForcedOutputFormat = nullptr;
    ForcedInputFormat = nullptr;
    if (!context)
        return false;
    if (listed) {
        // The task never keeps a released context.
        --OutputFileCount;
        OutputFiles[OutputFileCount] = nullptr;
    }
    StreamCodecs.Release(context);
    closeOutputFile(context);
    lavf.avformat_free_context(context);
    return false;
}

bool TCustomFFmpeg::OpenOutput(const std::string& fileName) {
    if (!MediaLibrariesLoaded())
        return FailOpenOutput(nullptr, false, "The media libraries are not loaded");
    if (OutputFileCount >= kMaxOutputFiles)
        return FailOpenOutput(nullptr, false, "Too many output files");
    const AVOutputFormat* format = ForcedOutputFormat;
    if (!format)
        format = lavf.av_guess_format(nullptr, fileName.c_str(), nullptr);
    if (!format)
        return FailOpenOutput(
            nullptr, false,
            formatText("Unable to find a suitable output format for '%s'", fileName.c_str()));
    // Allocated with its muxer, so that the muxer's private options can be set on it.
    AVFormatContext* context = nullptr;
    if (lavf.avformat_alloc_output_context2(&context, format, nullptr, fileName.c_str()) < 0 ||
        !context)
        return FailOpenOutput(nullptr, false, OpenErrorText(fileName, AVERROR(ENOMEM)));

    if (std::string(format->name) == "ffm" && lavu.av_strstart(fileName.c_str(), "http:", nullptr))
        // The feed server protocol that supplied the stream layout is gone from the
        // libraries: say so instead of failing somewhere later.
        return FailOpenOutput(
            context, false,
            formatText("%s: Feed server outputs are not supported", fileName.c_str()));

    if (!CreateOutputStreams(context))
        return FailOpenOutput(context, false, ErrorText);
    // The SWF writer fills in its length and frame count from the pictures: a file without
    // one would claim minutes it does not hold.
    if (std::string(format->name) == "swf" && InputFileCount > 0 && !HasVideoStream(context))
        return FailOpenOutput(context, false,
                              "SWF needs a video stream, and the input has sound only");
    SetOutputMetadata(context);
    OutputFiles[OutputFileCount++] = context;

    // Today's image-sequence muxer no longer carries the "needs a number" flag: it writes one
    // picture to a name without a pattern and fails on the second. Such a name is refused
    // here, as the flag did, unless the muxer is asked to keep rewriting one file
    // ("update").
    const AVDictionaryEntry* update = lavu.av_dict_get(FormatPrivateOptions, "update", nullptr, 0);
    const bool needsNumber =
        (format->flags & AVFMT_NEEDNUMBER) ||
        (std::string(format->name) == "image2" && !(update && std::atoi(update->value) != 0));
    if (needsNumber && !lavf.av_filename_number_test(fileName.c_str()))
        return FailOpenOutput(context, true, OpenErrorText(fileName, AVERROR(EDOM)));
    const int descriptor = OutputDescriptor;
    OutputDescriptor = -1;
    if (!(format->flags & AVFMT_NOFILE)) {
        const int opened = descriptor >= 0
                               ? OpenDescriptorOutput(context, descriptor)
                               : lavf.avio_open(&context->pb, fileName.c_str(), AVIO_FLAG_WRITE);
        if (opened < 0)
            return FailOpenOutput(context, true,
                                  formatText("Could not open '%s': %s", fileName.c_str(),
                                             AVUNERROR(opened) > 0 && AVUNERROR(opened) < 4096
                                                 ? SystemErrorText(AVUNERROR(opened)).c_str()
                                                 : "Error while opening file"));
    }

    // The old context fields are muxer options today; the headers get them.
    SetPrivateFormatOption("preload", std::to_string(static_cast<int64_t>(MuxPreload * 1000000.0)));
    context->max_delay = static_cast<int>(MuxMaxDelay * 1000000.0f);
    if (LoopOutput >= 0)
        SetPrivateFormatOption("loop", std::to_string(LoopOutput));
    CopyGenericOptions(context, FormatOptionContext, AV_OPT_FLAG_ENCODING_PARAM);
    ApplyPrivateOptions(context, -1);
    ForcedOutputFormat = nullptr;
    ForcedInputFormat = nullptr;
    return true;
}

bool TCustomFFmpeg::CreateOutputStreams(AVFormatContext* context) {
    const AVOutputFormat* format = context->oformat;
    bool useVideo =
        VideoStreamCopy || format->video_codec != AV_CODEC_ID_NONE || !VideoCodecName.empty();
    bool useAudio =
        AudioStreamCopy || format->audio_codec != AV_CODEC_ID_NONE || !AudioCodecName.empty();
    bool useSubtitle = SubtitleStreamCopy || format->subtitle_codec != AV_CODEC_ID_NONE ||
                       !SubtitleCodecName.empty();
    if (InputFileCount > 0) {
        try {
            const TInputKinds kinds = DetectInputKinds();
            useVideo = useVideo && kinds.Video;
            useAudio = useAudio && kinds.Audio;
            useSubtitle = useSubtitle && kinds.Subtitle;
        } catch (const std::exception& error) {
            ErrorText = formatText("check_audio_video_sub_inputs fail: %s", error.what());
            return false;
        }
    }
    if (SubtitleDisabled)
        useSubtitle = false;
    const int subtitleIndex =
        (useVideo && !VideoDisabled ? 1 : 0) + (useAudio && !AudioDisabled ? 1 : 0);
    if (useSubtitle)
        useSubtitle = SubtitleFits(context, subtitleIndex);
    struct Step {
        bool wanted;
        void (TCustomFFmpeg::*create)(AVFormatContext*);
        const char* failure;
    };
    const Step steps[] = {
        {useVideo && !VideoDisabled, &TCustomFFmpeg::NewVideoStream, "new_video_stream fail: %s"},
        {useAudio && !AudioDisabled, &TCustomFFmpeg::NewAudioStream, "new_audio_stream fail: %s"},
        {useSubtitle, &TCustomFFmpeg::NewSubtitleStream, "new_subtitle_stream fail: %s"},
    };
    for (const Step& step : steps) {
        if (!step.wanted)
            continue;
        try {
            (this->*step.create)(context);
        } catch (const std::exception& error) {
            ErrorText = formatText(step.failure, error.what());
            return false;
        }
    }
    return true;
}

const AVStream* TCustomFFmpeg::SubtitleSource(int outputIndex) const {
    if (outputIndex < StreamMapCount) {
        const TStreamMap& map = StreamMaps[outputIndex];
        if (map.FileIndex < 0 || map.FileIndex >= InputFileCount || !InputFiles[map.FileIndex] ||
            map.StreamIndex < 0 ||
            map.StreamIndex >= static_cast<int>(InputFiles[map.FileIndex]->nb_streams))
            return nullptr;
        return InputFiles[map.FileIndex]->streams[map.StreamIndex];
    }
    for (int file = 0; file < InputFileCount; ++file)
        for (unsigned i = 0; InputFiles[file] && i < InputFiles[file]->nb_streams; ++i)
            if (InputFiles[file]->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE)
                return InputFiles[file]->streams[i];
    return nullptr;
}

bool TCustomFFmpeg::SubtitleFits(AVFormatContext* context, int outputIndex) {
    const AVStream* source = SubtitleSource(outputIndex);
    if (!source || source->codecpar->codec_type != AVMEDIA_TYPE_SUBTITLE)
        return true; // the set-up names what does not match
    const auto leaveOut = [&](const char* why) {
        LogIfInstalled(kLogInfo, formatText("Subtitle stream %d of the input left out: %s",
                                            source->index, why));
        return false;
    };
    const AVCodecID inputCodec = source->codecpar->codec_id;
    if (SubtitleStreamCopy)
        return lavf.avformat_query_codec(context->oformat, inputCodec, FF_COMPLIANCE_NORMAL) != 0
                   ? true
                   : leaveOut("the output format cannot hold it as it is");
    AVCodecID outputCodec = AV_CODEC_ID_NONE;
    if (SubtitleCodecName.empty()) {
        outputCodec = lavf.av_guess_codec(context->oformat, nullptr, context->url, nullptr,
                                          AVMEDIA_TYPE_SUBTITLE);
        const AVCodec* encoder = lavc.avcodec_find_encoder(outputCodec);
        if (!encoder)
            return leaveOut("the output format takes no subtitles");
        SubtitleCodecName = encoder->name;
    } else if (!LookupCodec(SubtitleCodecName, AVMEDIA_TYPE_SUBTITLE, true, outputCodec)) {
        return true; // stream creation reports the unknown name
    }
    // Text becomes text and pictures pictures: no encoder turns one into the other.
    const AVCodecDescriptor* from = lavc.avcodec_descriptor_get(inputCodec);
    const AVCodecDescriptor* to = lavc.avcodec_descriptor_get(outputCodec);
    const int kinds = AV_CODEC_PROP_TEXT_SUB | AV_CODEC_PROP_BITMAP_SUB;
    if (from && to && (from->props & kinds) && (to->props & kinds) &&
        (from->props & kinds) != (to->props & kinds)) {
        SubtitleCodecName.clear();
        return leaveOut("text and picture subtitles do not convert into each other");
    }
    return true;
}

bool TCustomFFmpeg::HasVideoStream(const AVFormatContext* context) {
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const StreamCodecEntry* entry = StreamCodecs.Find(context, static_cast<int>(i));
        if (entry && entry->Codec && entry->Codec->codec_type == AVMEDIA_TYPE_VIDEO)
            return true;
    }
    return false;
}

void TCustomFFmpeg::SetOutputMetadata(AVFormatContext* context) {
    auto set = [context](const char* key, const std::string& value, std::size_t limit) {
        if (!value.empty())
            lavu.av_dict_set(&context->metadata, key, value.substr(0, limit - 1).c_str(), 0);
    };
    if (RecordTimestamp != 0)
        set("creation_time", isoTime(RecordTimestamp), 64);
    set("title", Title, 512);
    set("artist", Author, 512);
    set("copyright", Copyright, 512);
    set("comment", Comment, 512);
    set("album", Album, 512);
    if (Year > 0)
        set("date", std::to_string(Year), 32);
    if (Track > 0)
        set("track", std::to_string(Track), 32);
    set("genre", Genre, 32);
}

void TCustomFFmpeg::ReleaseFiles() {
    // Codecs still open are closed first: the registry points into the stream table.
    FinalCleanup();
    for (int i = 0; i < OutputFileCount; ++i) {
        AVFormatContext*& context = OutputFiles[i];
        if (!context)
            continue;
        StreamCodecs.Release(context);
        closeOutputFile(context);
        lavf.avformat_free_context(context);
        context = nullptr;
    }
    OutputFileCount = 0;
    for (int i = 0; i < InputFileCount; ++i) {
        if (!InputFiles[i])
            continue;
        StreamCodecs.Release(InputFiles[i]);
        lavf.avformat_close_input(&InputFiles[i]);
    }
    InputFileCount = 0;
    InputPicture = {};
    StreamCodecs.Release(nullptr);
}
