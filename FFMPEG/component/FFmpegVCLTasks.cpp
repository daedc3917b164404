// Adding tasks and giving them their output: the option records turned into engine
// options in the records' field order, hook ranges, timestamps and colours.
#include "FFmpegVCL.h"

#include "MediaLibraries.h"
#include "TaskLockGuard.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>

namespace {

std::string trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

// A whole text as a 64-bit integer: optional sign, decimal digits or "$"/"0x" hex.
int64_t readInt64(const std::string& text) {
    const auto fail = [&]() -> int64_t {
        throw std::invalid_argument("'" + text + "' is not a valid integer value");
    };
    std::string_view digits(text);
    bool negative = false;
    if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    int base = 10;
    if (!digits.empty() && digits.front() == '$') {
        base = 16;
        digits.remove_prefix(1);
    } else if (digits.size() > 1 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    }
    if (digits.empty() || digits.front() == '-' || digits.front() == '+')
        return fail();
    uint64_t magnitude = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
    if (error != std::errc() || end != digits.data() + digits.size())
        return fail();
    const uint64_t limit = negative ? uint64_t(INT64_MAX) + 1 : uint64_t(INT64_MAX);
    if (magnitude > limit)
        return fail();
    return negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
}

// A record text buffer as a string, stopping at its terminator or its capacity.
template <std::size_t N> std::string bufferText(const char (&buffer)[N]) {
    return std::string(buffer, strnlen(buffer, N));
}

const char* normName(int32_t norm) {
    return norm == 1 ? "pal" : norm == 2 ? "ntsc" : "auto";
}

} // namespace

std::vector<THookRange> TCustomFFmpegVCL::ParseHookRanges(const std::string& text) {
    std::vector<THookRange> ranges;
    std::string rest = trimmed(text);
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string part = trimmed(std::string_view(rest).substr(0, comma));
        rest = comma == std::string::npos ? std::string() : rest.substr(comma + 1);
        const std::size_t dash = part.find('-');
        const std::string startText = trimmed(
            std::string_view(part).substr(0, dash == std::string::npos ? part.size() : dash));
        const std::string endText = dash == std::string::npos
                                        ? std::string()
                                        : trimmed(std::string_view(part).substr(dash + 1));
        const int64_t start = readInt64(startText);
        const int64_t end = readInt64(endText);
        if (end >= start && end >= 0)
            ranges.push_back({start, end});
    }
    std::stable_sort(ranges.begin(), ranges.end(),
                     [](const THookRange& a, const THookRange& b) { return a.End < b.End; });
    return ranges;
}

int64_t TCustomFFmpegVCL::TimestampToUnixSeconds(double timestamp) {
    if (timestamp == 0)
        return static_cast<int64_t>(std::time(nullptr));
    // Days since 1899-12-30 in local time: read as a broken-down local time and let the
    // time zone rules of that moment (daylight saving included) give UTC.
    constexpr double kUnixEpochDays = 25569.0;
    const auto localSeconds =
        static_cast<std::time_t>(std::llround((timestamp - kUnixEpochDays) * 86400.0));
    std::tm parts{};
    if (!gmtime_r(&localSeconds, &parts))
        return static_cast<int64_t>(localSeconds);
    parts.tm_isdst = -1;
    const std::time_t utc = std::mktime(&parts);
    return utc == static_cast<std::time_t>(-1) ? static_cast<int64_t>(localSeconds)
                                               : static_cast<int64_t>(utc);
}

uint32_t TCustomFFmpegVCL::ColorToRGB(uint32_t color) {
    if ((color & 0x80000000u) == 0)
        return color & 0x00FFFFFFu;
    // System colours: the classic desktop scheme, as 0x00BBGGRR by colour index.
    static constexpr uint32_t kSystemColors[] = {
        0xC8D0D4, 0xA56E3A, 0x6A240A, 0x808080, 0xC8D0D4, 0xFFFFFF, 0x000000, 0x000000,
        0x000000, 0xFFFFFF, 0xC8D0D4, 0xC8D0D4, 0x808080, 0x6A240A, 0xFFFFFF, 0xC8D0D4,
        0x808080, 0x808080, 0x000000, 0xC8D0D4, 0xFFFFFF, 0x404040, 0xC8D0D4, 0x000000,
        0xE1FFFF, 0xB5B5B5, 0x800000, 0xF0CAA6, 0xC0C0C0, 0xC56A31, 0xD8E9EC};
    const uint32_t index = color & 0xFFu;
    return index < std::size(kSystemColors) ? kSystemColors[index] : 0;
}

void TCustomFFmpegVCL::installCallbacks(TFFmpeg& task) {
    TFFmpeg* const engine = &task;
    task.LogCallback = [this, engine](int level, const std::string& text) {
        DoLog(engine, level, text);
    };
    task.ProgressCallback = [this](TFFmpeg& t, int32_t frameNumber, int32_t fps,
                                   int32_t currentDurationMs, float quality, float bitRate,
                                   int64_t currentSize, int32_t totalOutputDurationMs) {
        DoProgress(t, frameNumber, fps, currentDurationMs, quality, bitRate, currentSize,
                   totalOutputDurationMs);
    };
    task.TerminateCallback = [this](TFFmpeg& t) { DoTerminate(t); };
}

int TCustomFFmpegVCL::AddInputTask(const std::string& fileName, TInputOptions* options) {
    std::unique_ptr<TFFmpeg> task;
    try {
        task = TaskFactory ? TaskFactory() : std::make_unique<TFFmpeg>();
        if (MediaLibrariesLoaded())
            task->InitOptionContexts();
        task->SetOption("v", std::to_string(static_cast<int>(LogLevel()) - 1));
        task->ThreadCount = std::min(CodecThreads(), kMaxCodecThreads);
        if (options) {
            if (options->FileName.empty())
                options->FileName = fileName;
            task->InputOptions = *options;
            task->ApplyOptionText(options->ExtraOptions);
            task->SetInputFormat(options->InputFormat);
            if (options->StartTime > 0)
                task->StartTime = static_cast<int64_t>(options->StartTime) * 1000;
            if (options->ProgramId >= 0)
                task->ProgramId = options->ProgramId;
        } else {
            ResetInputOptions(task->InputOptions);
        }
        if (!task->OpenInputFile(fileName)) {
            LastError = task->ErrorText;
            return -1;
        }
    } catch (const std::exception& error) {
        LastError = error.what();
        return -1;
    }
    installCallbacks(*task);
    const TaskLockGuard lock(TaskLock);
    TFFmpeg& added = *task;
    const int index = Tasks.Add(std::move(task));
    added.TaskIndex = index;
    return index;
}

TCustomFFmpeg::TPictureShape TCustomFFmpegVCL::TaskInputPicture(int index) {
    const TaskLockGuard lock(TaskLock);
    return Tasks[index].InputPicture; // raises for an index outside the list
}

bool TCustomFFmpegVCL::SetTaskOutput(int index, const std::string& fileName,
                                     TOutputOptions* options) {
    TFFmpeg* task = nullptr;
    {
        const TaskLockGuard lock(TaskLock);
        task = &Tasks[index]; // raises for an index outside the list
    }
    // A failed output leaves no stream or metadata map behind, so the caller may try again
    // (with another name) with the same options.
    const int streamMaps = task->StreamMapCount;
    const int metadataMaps = task->MetadataMapCount;
    const auto fail = [&](const std::string& reason) {
        task->StreamMapCount = streamMaps;
        task->MetadataMapCount = metadataMaps;
        LastError = reason;
        return false;
    };
    try {
        if (options) {
            if (options->FileName.empty())
                options->FileName = fileName;
            task->OutputOptions = *options;
            applyOutputOptions(*task, *options);
        } else {
            ResetOutputOptions(task->OutputOptions);
        }
        if (!task->OpenOutputFile(fileName))
            return fail(task->ErrorText);
        if (options)
            task->ApplyOptionText(options->NewStreamOptions);
    } catch (const std::exception& error) {
        return fail(error.what());
    }
    return true;
}

std::vector<TAVStreamEntry> TCustomFFmpegVCL::TaskInputStreams(int index) {
    const TaskLockGuard lock(TaskLock);
    if (index < 0 || index >= Tasks.Count())
        return {};
    const TFFmpeg& task = Tasks[index];
    return task.InputFileCount > 0 ? ListMediaStreams(task.InputFiles[0])
                                   : std::vector<TAVStreamEntry>{};
}

void TCustomFFmpegVCL::applyOutputOptions(TFFmpeg& task, const TOutputOptions& o) {
    const auto generic = [&task](const char* name, int32_t value) {
        if (value > 0)
            task.SetGenericOption(name, std::to_string(value));
    };
    task.ApplyOptionText(o.ExtraOptions);
    task.SetOutputFormat(o.OutputFormat);
    generic("packetsize", o.PacketSize);
    generic("muxrate", o.MuxRate);
    if (o.MuxDelay > 0)
        task.MuxMaxDelay = o.MuxDelay;
    if (o.MuxPreload > 0)
        task.MuxPreload = o.MuxPreload;
    task.SetCodecName(AVMEDIA_TYPE_AUDIO, o.AudioCodec);
    if (o.DisableAudio)
        task.AudioDisabled = 1;
    if (o.AudioVolume >= 0)
        task.AudioVolume = o.AudioVolume;
    if (o.AudioChannels > 0)
        task.AudioChannels = o.AudioChannels;
    if (o.AudioSampleRate > 0)
        task.AudioSampleRate = o.AudioSampleRate;
    generic("ab", o.AudioBitrate);
    generic("abt", o.AudioBitrateTolerance);
    task.AudioLanguage = o.AudioLanguage;
    task.AudioSyncMethod = o.AudioSyncMethod;
    task.SetCodecTag(AVMEDIA_TYPE_AUDIO, o.AudioTag);
    task.SetCodecName(AVMEDIA_TYPE_VIDEO, o.VideoCodec);
    if (o.DisableVideo)
        task.VideoDisabled = 1;
    task.SetFrameRate(o.FrameRate);
    task.SetFrameSize(o.FrameSize);
    task.SetAspectRatio(o.AspectRatio);
    if (o.CropTop >= 0)
        task.SetCropTop(o.CropTop);
    if (o.CropBottom >= 0)
        task.SetCropBottom(o.CropBottom);
    if (o.CropLeft >= 0)
        task.SetCropLeft(o.CropLeft);
    if (o.CropRight >= 0)
        task.SetCropRight(o.CropRight);
    if (o.PadTop >= 0)
        task.SetPadTop(o.PadTop);
    if (o.PadBottom >= 0)
        task.SetPadBottom(o.PadBottom);
    if (o.PadLeft >= 0)
        task.SetPadLeft(o.PadLeft);
    if (o.PadRight >= 0)
        task.SetPadRight(o.PadRight);
    task.SetPadColor(ColorToRGB(o.PadColor));
    generic("gop", o.GopSize);
    generic("vb", o.VideoBitrate);
    generic("maxrate", o.VideoMaxRate);
    generic("minrate", o.VideoMinRate);
    generic("bt", o.VideoBitrateTolerance);
    generic("bufsize", o.VideoBufferSize);
    task.VideoSyncMethod = o.VideoSyncMethod;
    task.SetCodecTag(AVMEDIA_TYPE_VIDEO, o.VideoTag);
    if (o.DisableSubtitle)
        task.SubtitleDisabled = 1;
    task.SubtitleLanguage = o.SubtitleLanguage;
    task.CopyTimestamps = o.CopyTimestamps ? 1 : 0;
    if (o.RecordingTime > 0) {
        task.RecordingTime = static_cast<int64_t>(o.RecordingTime) * 1000;
        task.TotalDurationMs = o.RecordingTime;
    }
    if (o.Timestamp >= 0)
        task.RecordTimestamp = TimestampToUnixSeconds(o.Timestamp);
    if (o.Year > 0)
        task.Year = o.Year;
    if (o.Track > 0)
        task.Track = o.Track;
    task.Title = bufferText(o.Title);
    task.Author = bufferText(o.Author);
    task.Copyright = bufferText(o.Copyright);
    task.Comment = bufferText(o.Comment);
    task.Album = bufferText(o.Album);
    task.Genre = bufferText(o.Genre);

    static const char* const kTargets[] = {nullptr, "vcd", "svcd", "dvd"};
    if (o.Target >= 1 && o.Target <= 3)
        task.ApplyTargetPreset(kTargets[o.Target], normName(o.TargetNorm),
                               o.TargetFallbackNorm == 1 ? "pal" : "ntsc");

    if (o.RaiseCustomHook) {
        task.CustomHookCallback = [this](TFFmpeg& t, TBitmap* bitmap, int32_t frameNumber,
                                         int64_t pts, bool& update, bool& stopHook) {
            DoCustomHook(t, bitmap, frameNumber, pts, update, stopHook);
        };
    } else if (o.RaiseBeforeHook) {
        task.BeforeHookCallback = [this](TFFmpeg& t, int64_t pts, THookAction& action) {
            DoBeforeHook(t, pts, action);
        };
    } else {
        task.HookRanges = ParseHookRanges(o.HookRanges);
        task.HookRangeIndex = 0;
    }
}
