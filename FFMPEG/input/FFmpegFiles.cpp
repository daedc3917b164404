// Opening a task's input with the option state, the kinds of stream the inputs hold, and
// the texts of the libraries' open errors.
#include "FFmpeg.h"
#include "MediaStreamList.h"
#include "StreamFrameRate.h"
#include "StreamRotation.h"
#include "EngineText.h"

#include "AVCodecHlpr.h"
#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"
#include "CodecLock.h"
#include "MediaLibraries.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>

namespace {

// The file name's extension from its last dot, lower-cased; "" without a dot.
std::string lowerExtension(const std::string& fileName) {
    const std::size_t dot = fileName.find_last_of('.');
    const std::size_t slash = fileName.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::string();
    std::string extension = fileName.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

// Format parameters of the old open call, today demuxer options: only raw and device
// demuxers read them, every other demuxer leaves them in the dictionary.
AVDictionary* demuxerOptions(const EngineOptionState& state) {
    AVDictionary* options = nullptr;
    if (state.AudioSampleRate > 0)
        lavu.av_dict_set_int(&options, "sample_rate", state.AudioSampleRate, 0);
    if (state.AudioChannels > 0)
        lavu.av_dict_set_int(&options, "channels", state.AudioChannels, 0);
    const int width = state.FrameWidth + state.PadLeft + state.PadRight;
    const int height = state.FrameHeight + state.PadTop + state.PadBottom;
    if (state.FrameWidth > 0 && state.FrameHeight > 0)
        lavu.av_dict_set(&options, "video_size", formatText("%dx%d", width, height).c_str(), 0);
    if (state.FramePixelFormat >= 0) {
        const char* name =
            lavu.av_get_pix_fmt_name(static_cast<AVPixelFormat>(state.FramePixelFormat));
        if (name)
            lavu.av_dict_set(&options, "pixel_format", name, 0);
    }
    if (state.FrameRate.num > 0 && state.FrameRate.den > 0)
        lavu.av_dict_set(&options, "framerate",
                         formatText("%d/%d", state.FrameRate.num, state.FrameRate.den).c_str(), 0);
    if (!state.VideoStandard.empty())
        lavu.av_dict_set(&options, "standard", state.VideoStandard.c_str(), 0);
    if (state.VideoChannel != 0)
        lavu.av_dict_set_int(&options, "channel", state.VideoChannel, 0);
    if (state.LoopInput)
        lavu.av_dict_set(&options, "loop", "1", 0);
    return options;
}

// Where the file's pictures and sound begin, in microseconds: its start time, but a sound
// stream stamped before zero by the priming its decoders skip (Opus in Matroska) counts
// from its first sample played, so the pictures keep their places.
int64_t contentStart(const AVFormatContext* context) {
    int64_t start = INT64_MAX;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream* stream = context->streams[i];
        if (stream->start_time == AV_NOPTS_VALUE || stream->time_base.den <= 0)
            continue;
        int64_t streamStart =
            lavu.av_rescale_q(stream->start_time, stream->time_base, AV_TIME_BASE_Q);
        const AVCodecParameters* parameters = stream->codecpar;
        if (parameters->codec_type == AVMEDIA_TYPE_AUDIO && parameters->initial_padding > 0 &&
            parameters->sample_rate > 0 && streamStart < 0)
            streamStart = std::min<int64_t>(0, streamStart + static_cast<int64_t>(AV_TIME_BASE) *
                                                                 parameters->initial_padding /
                                                                 parameters->sample_rate);
        start = std::min(start, streamStart);
    }
    return start == INT64_MAX || start < context->start_time ? context->start_time : start;
}

} // namespace

std::string TCustomFFmpeg::OpenErrorText(const std::string& fileName, int code) {
    const char* name = fileName.c_str();
    switch (code) {
    case AVERROR_INVALIDDATA:
    case AVERROR_DEMUXER_NOT_FOUND:
    case AVERROR(EILSEQ):
        return formatText("%s: Unknown format", name);
    case AVERROR(EDOM):
        return formatText("%s: Incorrect image filename syntax.\r\n"
                          "Use '%%d' to specify the image number:\r\n"
                          "  for img1.jpg, img2.jpg, ..., use 'img%%d.jpg';\r\n"
                          "  for img001.jpg, img002.jpg, ..., use 'img%%03d.jpg'.",
                          name);
    case AVERROR(EINVAL):
        return formatText("%s: Error while parsing header", name);
    case AVERROR(ENOMEM):
        return formatText("%s: memory allocation error occurred", name);
    case AVERROR(EIO):
        return formatText("%s: I/O error occurred\r\n"
                          "Usually that means that input file is truncated and/or corrupted.",
                          name);
    case AVERROR(ENOENT):
        return formatText("%s: no such file or directory", name);
    case AVERROR(EACCES):
    case AVERROR(ENOSPC):
    case AVERROR(EDQUOT):
    case AVERROR(EROFS):
    case AVERROR(ENAMETOOLONG):
    case AVERROR(EMFILE):
    case AVERROR(ENFILE):
    case AVERROR(EFBIG):
    case AVERROR(EISDIR):
    case AVERROR(ENOTDIR):
    case AVERROR(ELOOP):
        // What the user can act on: the system's own words after the engine's message.
        return formatText("%s: Error while opening file: %s", name,
                          SystemErrorText(AVUNERROR(code)).c_str());
    default:
        return formatText("%s: Error while opening file", name);
    }
}

bool TCustomFFmpeg::FailOpenInput(AVFormatContext* context, const std::string& text) {
    ErrorText = text;
    VideoCodecName.clear();
    AudioCodecName.clear();
    SubtitleCodecName.clear();
    ForcedInputFormat = nullptr;
    ForcedOutputFormat = nullptr;
    VideoChannel = 0;
    RateEmulation = 0;
    if (context) {
        StreamCodecs.Release(context);
        lavf.avformat_close_input(&context);
    }
    return false;
}

bool TCustomFFmpeg::OpenInput(const std::string& fileName) {
    if (!MediaLibrariesLoaded())
        return FailOpenInput(nullptr, "The media libraries are not loaded");
    if (InputFileCount >= kMaxInputFiles)
        return FailOpenInput(nullptr, "Too many input files");
    AVFormatContext* context = lavf.avformat_alloc_context();
    if (!context)
        return FailOpenInput(nullptr, OpenErrorText(fileName, AVERROR(ENOMEM)));

    if (!SetInputDecoders(context)) {
        lavf.avformat_free_context(context);
        return FailOpenInput(nullptr, ErrorText);
    }
    CopyGenericOptions(context, FormatOptionContext, AV_OPT_FLAG_DECODING_PARAM);
    // Set before opening: the input's I/O context takes its copy of the callback then, so
    // a stop request can break a read that is already waiting.
    context->interrupt_callback = {&TCustomFFmpeg::InterruptCallback, this};

    AVDictionary* options = demuxerOptions(*this);
    const int opened =
        lavf.avformat_open_input(&context, fileName.c_str(), ForcedInputFormat, &options);
    lavu.av_dict_free(&options);
    if (opened < 0) // the library has freed the context
        return FailOpenInput(nullptr, OpenErrorText(fileName, opened));

    if (ProgramId != 0)
        for (unsigned i = 0; i < context->nb_programs; ++i)
            if (context->programs[i]->id != ProgramId)
                context->programs[i]->discard = AVDISCARD_ALL;

    int analysed = 0;
    {
        const CodecLockGuard lock(CodecLock());
        analysed = lavf.avformat_find_stream_info(context, nullptr);
    }
    if (analysed < 0 && Verbosity >= 0)
        return FailOpenInput(context,
                             formatText("%s: could not find codec parameters", fileName.c_str()));

    int64_t timestamp = StartTime;
    if (context->start_time != AV_NOPTS_VALUE)
        timestamp += contentStart(context);
    if (StartTime != 0) {
        lavf.av_seek_frame(context, -1, timestamp, AVSEEK_FLAG_BACKWARD);
        StartTime = 0;
    }

    try {
        ConfigureInputStreams(context, fileName);
    } catch (...) {
        FailOpenInput(context, std::string());
        throw;
    }

    TakeOpenedInput(context, fileName, timestamp);
    return true;
}

bool TCustomFFmpeg::SetInputDecoders(AVFormatContext* context) {
    // Forced decoders: look-up by name, then whatever the generic options set.
    AVCodecID videoId = AV_CODEC_ID_NONE, audioId = AV_CODEC_ID_NONE;
    AVCodecID subtitleId = AV_CODEC_ID_NONE;
    const AVCodec *videoCodec = nullptr, *audioCodec = nullptr, *subtitleCodec = nullptr;
    if (!LookupCodec(VideoCodecName, AVMEDIA_TYPE_VIDEO, false, videoId, &videoCodec) ||
        !LookupCodec(AudioCodecName, AVMEDIA_TYPE_AUDIO, false, audioId, &audioCodec) ||
        !LookupCodec(SubtitleCodecName, AVMEDIA_TYPE_SUBTITLE, false, subtitleId, &subtitleCodec))
        return false;
    if (PgmyuvCompatibility) {
        videoId = AV_CODEC_ID_PGMYUV;
        videoCodec = lavc.avcodec_find_decoder(videoId);
    }
    context->video_codec_id = videoId;
    context->audio_codec_id = audioId;
    context->subtitle_codec_id = subtitleId;
    context->video_codec = videoCodec;
    context->audio_codec = audioCodec;
    context->subtitle_codec = subtitleCodec;
    return true;
}

void TCustomFFmpeg::TakeOpenedInput(AVFormatContext* context, const std::string& fileName,
                                    int64_t timestamp) {
    if (context->duration != AV_NOPTS_VALUE && context->duration > 0)
        TotalDurationMs = std::max<int64_t>(TotalDurationMs,
                                            std::min<int64_t>(context->duration / 1000, INT32_MAX));
    InputFiles[InputFileCount] = context;
    InputTimestampOffsets[InputFileCount] =
        CopyTimestamps ? InputTimestampOffset : InputTimestampOffset - timestamp;
    if (Verbosity >= 0)
        lavf.av_dump_format(context, InputFileCount, fileName.c_str(), 0);
    ++InputFileCount;
    // The per-file options are used up.
    ForcedInputFormat = nullptr;
    ForcedOutputFormat = nullptr;
    VideoChannel = 0;
    RateEmulation = 0;
    VideoCodecName.clear();
    AudioCodecName.clear();
    SubtitleCodecName.clear();
}

void TCustomFFmpeg::ConfigureInputStreams(AVFormatContext* context, const std::string& fileName) {
    bool realVideo = false;
    for (unsigned i = 0; i < context->nb_streams; ++i)
        realVideo = realVideo || (context->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
                                  !IsAttachedPicture(context->streams[i]));
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        AVStream* stream = context->streams[i];
        const AVCodecParameters* parameters = stream->codecpar;
        if (parameters->codec_type < AVMEDIA_TYPE_UNKNOWN ||
            parameters->codec_type >= AVMEDIA_TYPE_NB)
            throw FFMpegException("invalid codec_type");
        AVCodecContext* codec = lavc.avcodec_alloc_context3(nullptr);
        if (!codec || lavc.avcodec_parameters_to_context(codec, parameters) < 0) {
            lavc.avcodec_free_context(&codec);
            throw FFMpegException("Could not allocate a codec context");
        }
        codec->thread_count = CodecThreadCount();
        codec->pkt_timebase = stream->time_base;
        StreamCodecEntry& entry = StreamCodecs.Add(context, static_cast<int>(i), codec);
        switch (parameters->codec_type) {
        case AVMEDIA_TYPE_VIDEO:
            if (IsAttachedPicture(stream))
                ConfigureCoverInput(stream, codec, realVideo);
            else
                ConfigureInputVideo(context, stream, codec, entry, fileName);
            break;
        case AVMEDIA_TYPE_AUDIO:
            CopyGenericOptions(codec, CodecOptionContexts[AVMEDIA_TYPE_AUDIO],
                               AV_OPT_FLAG_DECODING_PARAM | AV_OPT_FLAG_AUDIO_PARAM);
            AudioChannels = codec->ch_layout.nb_channels;
            AudioSampleRate = codec->sample_rate;
            if (codec->sample_rate > 0)
                codec->time_base = {1, codec->sample_rate};
            if (AudioDisabled)
                stream->discard = AVDISCARD_ALL;
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            if (SubtitleDisabled)
                stream->discard = AVDISCARD_ALL;
            break;
        default:
            break;
        }
    }
}

void TCustomFFmpeg::ConfigureInputVideo(AVFormatContext* context, AVStream* stream,
                                        AVCodecContext* codec, StreamCodecEntry& entry,
                                        const std::string& fileName) {
    CopyGenericOptions(codec, CodecOptionContexts[AVMEDIA_TYPE_VIDEO],
                       AV_OPT_FLAG_DECODING_PARAM | AV_OPT_FLAG_VIDEO_PARAM);
    TakeInputPictureShape(context, stream, codec);
    // RealMedia demuxers leave the pixel format open until decoding starts.
    const std::string extension = lowerExtension(fileName);
    if (codec->pix_fmt == AV_PIX_FMT_NONE && !extension.empty() &&
        std::string(".rmvb").find(extension) == 0)
        codec->pix_fmt = static_cast<AVPixelFormat>(0);
    FramePixelFormat = codec->pix_fmt;
    PixelFormatChosen = 0;
    if (MotionEstimationThreshold != 0)
        codec->debug |= 0x20;
    // The stream's real rate; a raw rate that is only the container's clock (ASF)
    // would make every later picture count as a thousand.
    const AVRational rate = PlausibleFrameRate(stream);
    FrameRate = rate;
    codec->framerate = rate;
    // The codec's own clock of older releases: one tick per frame.
    if (rate.num > 0 && rate.den > 0)
        codec->time_base = {rate.den, rate.num};
    entry.RateEmulation = RateEmulation;
    if (VideoDisabled)
        stream->discard = AVDISCARD_ALL;
    else if (VideoDiscard != 0)
        stream->discard = static_cast<AVDiscard>(VideoDiscard);
}

void TCustomFFmpeg::TakeInputPictureShape(AVFormatContext* context, AVStream* stream,
                                          const AVCodecContext* codec) {
    // The picture as it is shown: its display shape (stored size times the sample aspect,
    // the container's when it has one) with square pixels, the width stretched or narrowed
    // to it, and upright: a quarter-turned recording swaps its sides.
    AVRational sampleAspect = lavf.av_guess_sample_aspect_ratio(context, stream, nullptr);
    if (sampleAspect.num <= 0 || sampleAspect.den <= 0)
        sampleAspect = AVRational{1, 1};
    int width = codec->width;
    const int height = codec->height;
    if (width > 0 && sampleAspect.num != sampleAspect.den)
        width = std::max<int>(1, static_cast<int>(std::lround(width * av_q2d(sampleAspect))));
    const bool quarterTurn = DisplayRotationDegrees(stream) % 180 != 0;
    FrameHeight = quarterTurn ? width : height;
    FrameWidth = quarterTurn ? height : width;
    FrameSizeFromInput = 1;
    FrameAspectRatio = 0;
    if (codec->height > 0 && codec->width > 0) {
        const double displayAspect = av_q2d(sampleAspect) * codec->width / codec->height;
        FrameAspectRatio = static_cast<float>(quarterTurn ? 1.0 / displayAspect : displayAspect);
    }
    if (FrameAspectRatio == 0 && FrameWidth > 0 && FrameHeight > 0)
        SetAspectRatio(formatText("%d:%d", FrameWidth, FrameHeight));
    if (InputPicture.Width == 0) {
        InputPicture.Width = FrameWidth;
        InputPicture.Height = FrameHeight;
        InputPicture.Aspect = FrameAspectRatio;
    }
}

void TCustomFFmpeg::ConfigureCoverInput(AVStream* stream, AVCodecContext* codec, bool realVideo) {
    CopyGenericOptions(codec, CodecOptionContexts[AVMEDIA_TYPE_VIDEO],
                       AV_OPT_FLAG_DECODING_PARAM | AV_OPT_FLAG_VIDEO_PARAM);
    // A cover is one picture with a clock of its own (often 90000 ticks a second): it is no
    // video's rate or format. Its size is the picture size only of a file without video.
    if (!realVideo && codec->width > 0 && codec->height > 0) {
        FrameWidth = codec->width;
        FrameHeight = codec->height;
        FrameSizeFromInput = 1;
        SetAspectRatio(formatText("%d:%d", FrameWidth, FrameHeight));
    }
    if (VideoDisabled)
        stream->discard = AVDISCARD_ALL;
}

TCustomFFmpeg::TInputKinds TCustomFFmpeg::DetectInputKinds() const {
    TInputKinds kinds;
    for (int file = 0; file < InputFileCount; ++file) {
        const AVFormatContext* context = InputFiles[file];
        for (unsigned i = 0; context && i < context->nb_streams; ++i) {
            const AVMediaType type = context->streams[i]->codecpar->codec_type;
            if (type < AVMEDIA_TYPE_UNKNOWN || type >= AVMEDIA_TYPE_NB)
                throw FFMpegException("invalid codec_type of input file");
            kinds.Video |= type == AVMEDIA_TYPE_VIDEO;
            kinds.Audio |= type == AVMEDIA_TYPE_AUDIO;
            kinds.Subtitle |= type == AVMEDIA_TYPE_SUBTITLE;
        }
    }
    return kinds;
}
