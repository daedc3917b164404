// Handlers of the option table that validate their values: formats, times, maps, frame
// geometry, pad colour, codec names and tags, matrices, statistics files, frame hooks,
// bit rates and the stream options.
#include "FFmpeg.h"

#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"
#include "FFmpegOptionsNumbers.h"
#include "MediaLibraries.h"
#include "ScopedCLocale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

// Every handler that calls into the media libraries needs them bound.
void requireLibraries() {
    if (!MediaLibrariesLoaded())
        throw FFMpegException("The media libraries are not loaded");
}

std::string format(const char* pattern, const std::string& a) {
    char text[1024];
    std::snprintf(text, sizeof text, pattern, a.c_str());
    return text;
}

// Reads numbers one after the other from an option value, C style: each number is read
// as far as it goes, then the single character after it (the separator) is skipped.
class NumberListReader {
public:
    explicit NumberListReader(std::string_view text) : m_text(text) {}
    // Base 0 as strtol ("0x" hexadecimal, leading "0" octal), clamped to 32 bits.
    int nextInt() {
        std::size_t consumed = 0;
        const int64_t number = ReadIntPrefix(m_text.substr(m_position), consumed);
        advance(consumed);
        return static_cast<int>(std::clamp<int64_t>(number, INT32_MIN, INT32_MAX));
    }
    double nextFloat() {
        std::size_t consumed = 0;
        const double number = ReadFloatPrefix(m_text.substr(m_position), consumed);
        advance(consumed);
        return number;
    }
    // Whether text was left after the last number (before its separator was skipped).
    bool hadMore() const { return m_hadMore; }

private:
    void advance(std::size_t consumed) {
        m_position += consumed;
        m_hadMore = m_position < m_text.size();
        if (m_hadMore)
            ++m_position;
    }
    std::string_view m_text;
    std::size_t m_position = 0;
    bool m_hadMore = false;
};

} // namespace

void TCustomFFmpeg::LookupFormat(const std::string& name, bool input, bool output) {
    if (name.empty())
        return;
    requireLibraries();
    std::string formatName = name;
    if (formatName == "pgmyuv") {
        PgmyuvCompatibility = 1;
        formatName = "image2";
        LogIfInstalled(kLogInfo, "pgmyuv format is deprecated, use image2");
    }
    if (input)
        ForcedInputFormat = lavf.av_find_input_format(formatName.c_str());
    if (output)
        ForcedOutputFormat = lavf.av_guess_format(formatName.c_str(), nullptr, nullptr);
    if (input && output && !ForcedInputFormat && !ForcedOutputFormat)
        throw FFMpegException(format("Unknown input or output format: %s", name));
    if (input && !output && !ForcedInputFormat)
        throw FFMpegException(format("Unknown input format: %s", name));
    if (output && !input && !ForcedOutputFormat)
        throw FFMpegException(format("Unknown output format: %s", name));
}

void TCustomFFmpeg::SetFormat(const std::string& name) {
    LookupFormat(name, true, true);
}
void TCustomFFmpeg::SetInputFormat(const std::string& name) {
    LookupFormat(name, true, false);
}
void TCustomFFmpeg::SetOutputFormat(const std::string& name) {
    LookupFormat(name, false, true);
}

int64_t TCustomFFmpeg::ParseTime(const std::string& optionName, const std::string& text,
                                 bool duration) {
    requireLibraries();
    int64_t microseconds = 0;
    if (lavu.av_parse_time(&microseconds, text.c_str(), duration ? 1 : 0) < 0) {
        char message[1024];
        std::snprintf(message, sizeof message, "Invalid %s specification for %s: %s",
                      duration ? "duration" : "date", optionName.c_str(), text.c_str());
        throw FFMpegException(message);
    }
    return microseconds;
}

void TCustomFFmpeg::SetRecordingTime(const std::string& value) {
    const int64_t milliseconds = ParseTime("t", value, true) / 1000;
    if (milliseconds <= 0)
        return;
    RecordingTime = milliseconds * 1000;
    TotalDurationMs = static_cast<int32_t>(std::min<int64_t>(milliseconds, INT32_MAX));
}

void TCustomFFmpeg::SetRecordTimestamp(const std::string& value) {
    RecordTimestamp = std::llround(static_cast<double>(ParseTime("timestamp", value, false)) / 1e6);
}

void TCustomFFmpeg::SetTimestampScale(const std::string& value) {
    NumberListReader reader(value);
    const int index = reader.nextInt();
    const double scale = reader.nextFloat();
    if (index < 0 || index >= kMaxStreams) {
        char message[64];
        std::snprintf(message, sizeof message, "stream index over MAX_STREAMS(%d)", kMaxStreams);
        throw FFMpegException(message);
    }
    if (InputFileCount >= kMaxInputFiles)
        throw FFMpegException("Too many input files: at most 20 are allowed");
    InputTimestampScales[InputFileCount][index] = scale;
}

void TCustomFFmpeg::AddStreamMap(const std::string& value) {
    if (StreamMapCount >= kMaxStreamMaps)
        throw FFMpegException("Too many stream maps: at most 20 are allowed");
    NumberListReader reader(value);
    TStreamMap& map = StreamMaps[StreamMapCount];
    map.FileIndex = reader.nextInt();
    map.StreamIndex = reader.nextInt();
    if (reader.hadMore()) {
        map.SyncFileIndex = reader.nextInt();
        map.SyncStreamIndex = reader.nextInt();
    } else {
        map.SyncFileIndex = map.FileIndex;
        map.SyncStreamIndex = map.StreamIndex;
    }
    ++StreamMapCount;
}

void TCustomFFmpeg::AddMetadataMap(const std::string& value) {
    if (MetadataMapCount >= kMaxMetadataMaps)
        throw FFMpegException("Too many metadata maps: at most 20 are allowed");
    NumberListReader reader(value);
    MetadataMaps[MetadataMapCount].OutFile = reader.nextInt();
    MetadataMaps[MetadataMapCount].InFile = reader.nextInt();
    ++MetadataMapCount;
}

void TCustomFFmpeg::SetChapterMap(const std::string& value) {
    ChapterInputFile = NumberListReader(value).nextInt();
}

void TCustomFFmpeg::SetPictureComment(const std::string& value) {
    NumberListReader reader(value);
    PictureCommentFile = reader.nextInt();
    PictureCommentStream = reader.nextInt();
}

void TCustomFFmpeg::SetBitrateOption(const std::string& name, const std::string& value) {
    if (!SetGenericOption(name, value) || !LogInstalled())
        return;
    AVCodecContext* context =
        CodecOptionContexts[name.front() == 'a' ? AVMEDIA_TYPE_AUDIO : AVMEDIA_TYPE_VIDEO];
    int64_t bitRate = 0;
    if (context && lavu.av_opt_get_int(context, "b", 0, &bitRate) >= 0 && bitRate < 1000)
        Log(kLogInfo, "WARNING: The bitrate parameter is set too low. It takes bits/s as "
                      "argument, not kbits/s");
}

void TCustomFFmpeg::SetFrameRate(const std::string& value) {
    if (value.empty())
        return;
    requireLibraries();
    const ScopedCLocale cLocale;
    AVRational rate{0, 0};
    if (lavu.av_parse_video_rate(&rate, value.c_str()) < 0)
        throw FFMpegException("Incorrect frame rate");
    FrameRate = rate;
}

void TCustomFFmpeg::SetFrameSize(const std::string& value) {
    if (value.empty())
        return;
    requireLibraries();
    int width = 0, height = 0;
    if (lavu.av_parse_video_size(&width, &height, value.c_str()) < 0)
        throw FFMpegException("Incorrect frame size");
    FrameWidth = width;
    FrameHeight = height;
    FrameSizeFromInput = 0;
    if (width % 2 != 0 || height % 2 != 0)
        throw FFMpegException("Frame size must be a multiple of 2");
}

void TCustomFFmpeg::SetAspectRatio(const std::string& value) {
    if (value.empty())
        return;
    double ratio = 0;
    std::size_t consumed = 0;
    const std::size_t colon = value.find(':');
    if (colon != std::string::npos) {
        const int64_t before =
            ReadDecimalPrefix(std::string_view(value).substr(0, colon), consumed);
        const int64_t after =
            ReadDecimalPrefix(std::string_view(value).substr(colon + 1), consumed);
        if (after > 0)
            ratio = static_cast<double>(before) / static_cast<double>(after);
    } else {
        ratio = ReadFloatPrefix(value, consumed);
    }
    // A negative or endless ratio is as meaningless as none.
    if (!(ratio > 0) || !std::isfinite(static_cast<float>(ratio)))
        throw FFMpegException("Incorrect aspect ratio specification.");
    FrameAspectRatio = static_cast<float>(ratio);
}

void TCustomFFmpeg::SetDeinterlaceMode(const std::string& value) {
    static constexpr std::pair<const char*, TDeinterlaceMode> kModes[] = {
        {"auto", dmAuto}, {"always", dmAlways}, {"never", dmNever}};
    for (const auto& [name, mode] : kModes)
        if (value == name) {
            DeinterlaceMode = mode;
            return;
        }
    throw FFMpegException("Invalid deinterlace mode '" + value + "': auto, always or never");
}

void TCustomFFmpeg::SetPixelFormat(const std::string& value) {
    requireLibraries();
    if (value != "list") {
        FramePixelFormat = lavu.av_get_pix_fmt(value.c_str());
        PixelFormatChosen = 1;
        return;
    }
    if (!LogInstalled())
        return;
    for (int format = -1; format < 40; ++format) {
        char line[256] = {};
        lavu.av_get_pix_fmt_string(line, sizeof line, static_cast<AVPixelFormat>(format));
        std::string text(line);
        const std::size_t first = text.find_first_not_of(" \t");
        const std::size_t last = text.find_last_not_of(" \t");
        Log(kLogInfo,
            first == std::string::npos ? std::string() : text.substr(first, last - first + 1));
    }
}

void TCustomFFmpeg::SetQScale(const std::string& value) {
    const double scale = OptionToFloat("qscale", value);
    if (!(scale > 0 && scale <= 255))
        throw FFMpegException("qscale must be > 0.0 and <= 255");
    VideoQScale = static_cast<float>(scale);
}

void TCustomFFmpeg::SetVStatsDefault() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char clock[16];
    std::strftime(clock, sizeof clock, "%H%M%S", &local);
    // The program's folder, where the name used to go, is not writable for a normal user
    // once the program is installed: the file goes beside the output instead, a folder the
    // user chose. The output is not known yet, so the folder is added when the file opens.
    VStatsFileName = std::string("vstats_") + clock + ".log";
    VStatsInOutputFolder = true;
}

void TCustomFFmpeg::AddFrameHook(const std::string& argument) {
    requireLibraries();
    if (FrameHookAdd(FrameHooks, argument) != 0)
        throw FFMpegException("Failed to add video hook function: " + argument);
    UsingVideoHook = 1;
}

void TCustomFFmpeg::NewStreamOption(AVMediaType kind) {
    if (OutputFileCount <= 0)
        throw FFMpegException("At least one output file must be specified");
    AVFormatContext* output = OutputFiles[OutputFileCount - 1];
    if (kind == AVMEDIA_TYPE_VIDEO)
        NewVideoStream(output);
    else if (kind == AVMEDIA_TYPE_AUDIO)
        NewAudioStream(output);
    else
        NewSubtitleStream(output);
}
