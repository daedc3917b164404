// Engine option state: creation, defaults, the option contexts, release and logging.
#include "FFmpeg.h"

#include "AVCodecHlpr.h"
#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"
#include "MediaLibraries.h"
#include "SwScaleHlpr.h"

TCustomFFmpeg::TCustomFFmpeg() {
    ResetRunFlags();
    ResetOptions();
}

TCustomFFmpeg::~TCustomFFmpeg() {
    ReleaseState();
}

void TCustomFFmpeg::Log(int level, const std::string& text) {
    if (LogCallback)
        LogCallback(level, text);
}

void TCustomFFmpeg::LogIfInstalled(int level, const std::string& text) {
    if (LogInstalled())
        Log(level, text);
}

void TCustomFFmpeg::ResetOptions() {
    static_cast<EngineOptionState&>(*this) = EngineOptionState{};
    GenericOptionNames.clear();
}

void TCustomFFmpeg::ResetRunFlags() {
    Running = false;
    StopRequested = false;
    Finished = false;
    Terminated = false;
    TotalDurationMs = -1;
}

void TCustomFFmpeg::InitOptionContexts() {
    if (!MediaLibrariesLoaded())
        return;
    ReleaseState();
    ResetOptions();
    ResetRunFlags();
    for (int kind = 0; kind < kCodecOptionKinds; ++kind) {
        AVCodecContext* context = lavc.avcodec_alloc_context3(nullptr);
        if (context)
            context->codec_type = static_cast<AVMediaType>(kind);
        CodecOptionContexts[kind] = context;
    }
    FormatOptionContext = lavf.avformat_alloc_context();
    // The scaler context only holds scaler options; it is never initialised for scaling.
    ScalerOptionContext = lsws.sws_alloc_context();
    if (ScalerOptionContext)
        lavu.av_opt_set_int(ScalerOptionContext, "sws_flags", ScalerFlags, 0);
    if (!FormatOptionContext || !ScalerOptionContext)
        throw FFMpegException("Could not allocate the option contexts");
    for (AVCodecContext* context : CodecOptionContexts)
        if (!context)
            throw FFMpegException("Could not allocate the option contexts");
}

void TCustomFFmpeg::FreeOptionContexts() {
    for (AVCodecContext*& context : CodecOptionContexts)
        lavc.avcodec_free_context(&context);
    if (FormatOptionContext) {
        lavf.avformat_free_context(FormatOptionContext);
        FormatOptionContext = nullptr;
    }
    if (ScalerOptionContext) {
        lsws.sws_freeContext(ScalerOptionContext);
        ScalerOptionContext = nullptr;
    }
    for (AVDictionary*& options : CodecPrivateOptions)
        lavu.av_dict_free(&options);
    lavu.av_dict_free(&FormatPrivateOptions);
}

void TCustomFFmpeg::ReleaseState() {
    if (!MediaLibrariesLoaded())
        return;
    // Codecs still open first, then the run's state, then the files (an output that
    // stayed empty is deleted) with the engine's codec contexts of their streams.
    FinalCleanup();
    FreeTranscodeState();
    VideoState.Reset();
    ReleaseFiles();
    FreeOptionContexts();
    IntraMatrix.clear();
    InterMatrix.clear();
    VStatsFileName.clear();
    VStatsInOutputFolder = false;
    GenericOptionNames.clear();
    VideoCodecName.clear();
    AudioCodecName.clear();
    SubtitleCodecName.clear();
    VideoStandard.clear();
    RateControlOverride.clear();
    AudioLanguage.clear();
    SubtitleLanguage.clear();
    ReleaseFrameHooks(FrameHooks);
}

int TCustomFFmpeg::LibraryLogLevel(int verbosity) {
    // The engine's verbosity keeps the small scale of the libraries' early releases
    // (-1 quiet, 0 error, 1 info, 2 debug); today's libraries count in steps of 8.
    if (verbosity < 0)
        return AV_LOG_QUIET;
    switch (verbosity) {
    case 0:
        return AV_LOG_ERROR;
    case 1:
        return AV_LOG_INFO;
    case 2:
        return AV_LOG_DEBUG;
    default:
        return AV_LOG_TRACE;
    }
}

void TCustomFFmpeg::SetVerbosity(int32_t value) {
    Verbosity = value;
    if (!MediaLibrariesLoaded())
        return;
    lavu.av_log_set_level(LibraryLogLevel(value));
    SetMediaLogVerbosity(LibraryLogLevel(value));
}
