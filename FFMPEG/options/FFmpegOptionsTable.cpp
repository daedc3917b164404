// The option text parser and the dispatcher with the engine's option table.
#include "FFmpeg.h"

#include "FFmpegOptionsNumbers.h"
#include "ScopedCLocale.h"

#include <algorithm>

namespace {

bool isTrimmed(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

// Trims blanks and control characters at both ends and turns every line break (CR, LF,
// CR LF) into a single LF.
std::string normaliseOptionText(const std::string& text) {
    auto begin = std::find_if_not(text.begin(), text.end(), isTrimmed);
    auto end =
        std::find_if_not(text.rbegin(), std::string::const_reverse_iterator(begin), isTrimmed)
            .base();
    std::string result;
    result.reserve(static_cast<std::size_t>(end - begin));
    for (auto it = begin; it != end; ++it) {
        if (*it == '\r') {
            result += '\n';
            if (it + 1 != end && *(it + 1) == '\n')
                ++it;
        } else {
            result += *it;
        }
    }
    return result;
}

} // namespace

void TCustomFFmpeg::ApplyOptionText(const std::string& text) {
    const std::string options = normaliseOptionText(text);
    std::size_t position = 0;
    while (position < options.size()) {
        std::size_t lineEnd = options.find('\n', position);
        if (lineEnd == std::string::npos)
            lineEnd = options.size();
        const std::string line = options.substr(position, lineEnd - position);
        position = lineEnd + 1;
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos)
            SetOption(line, std::string());
        else
            SetOption(line.substr(0, equals), line.substr(equals + 1));
    }
}

void TCustomFFmpeg::SetOption(const std::string& name, const std::string& value) {
    const ScopedCLocale cLocale;
    if (!DispatchOption(name, value))
        SetGenericOption(name, value);
}

bool TCustomFFmpeg::DispatchOption(const std::string& name, const std::string& value) {
    using E = TCustomFFmpeg;
    using S = const std::string&;
    struct Entry {
        const char* name;
        void (*handle)(E& e, S name, S value);
    };
    const auto doNothing = [](E& e, S n, S) {
        e.LogIfInstalled(kLogInfo, "Do nothing: option - " + n);
    };
    const auto rejected = [](E&, S n, S) -> void { throw FFMpegException("TODO: option - " + n); };
    // The options in the order they are compared; the first equal name handles it.
    static const Entry kTable[] = {
        {"L", doNothing},
        {"h", doNothing},
        {"version", doNothing},
        {"formats", doNothing},
        {"f", [](E& e, S, S v) { e.SetFormat(v); }},
        {"i", doNothing},
        {"y", doNothing},
        {"map", [](E& e, S, S v) { e.AddStreamMap(v); }},
        {"map_meta_data", [](E& e, S, S v) { e.AddMetadataMap(v); }},
        {"t", [](E& e, S, S v) { e.SetRecordingTime(v); }},
        {"fs", [](E& e, S n, S v) { e.FileSizeLimit = OptionToInt64(n, v); }},
        {"ss", [](E& e, S n, S v) { e.StartTime = e.ParseTime(n, v, true); }},
        {"itsoffset", [](E& e, S n, S v) { e.InputTimestampOffset = e.ParseTime(n, v, true); }},
        {"itsscale", [](E& e, S, S v) { e.SetTimestampScale(v); }},
        {"title", [](E& e, S, S v) { if (!v.empty()) e.Title = v; }},
        {"timestamp", [](E& e, S, S v) { e.SetRecordTimestamp(v); }},
        {"author", [](E& e, S, S v) { if (!v.empty()) e.Author = v; }},
        {"copyright", [](E& e, S, S v) { if (!v.empty()) e.Copyright = v; }},
        {"comment", [](E& e, S, S v) { if (!v.empty()) e.Comment = v; }},
        {"genre", [](E& e, S, S v) { if (!v.empty()) e.Genre = v; }},
        {"album", [](E& e, S, S v) { if (!v.empty()) e.Album = v; }},
        {"dframes", [](E& e, S n, S v) { e.MaxFrames[AVMEDIA_TYPE_DATA] = OptionToInt(n, v); }},
        {"benchmark", doNothing},
        {"dump", [](E& e, S, S) { e.PacketDump = 1; }},
        {"hex", [](E& e, S, S) { e.HexDump = 1; }},
        {"re", [](E& e, S, S) { e.RateEmulation = 1; }},
        {"loop_input", [](E& e, S, S) { e.LoopInput = 1; }},
        {"loop_output", [](E& e, S n, S v) { e.LoopOutput = OptionToInt(n, v); }},
        {"v", [](E& e, S n, S v) { e.SetVerbosity(OptionToInt(n, v)); }},
        {"target", [](E& e, S, S v) { e.SetTarget(v); }},
        {"threads",
         [](E& e, S n, S v) {
             const int32_t count = OptionToInt(n, v);
             if (count < 0 || count > kMaxCodecThreads)
                 throw FFMpegException("'" + v + "' is out of range for option 'threads' (0 = " +
                                       "the machine's choice, 1 to " +
                                       std::to_string(kMaxCodecThreads) + ")");
             e.ThreadCount = count;
         }},
        {"vsync", [](E& e, S n, S v) { e.VideoSyncMethod = OptionToInt(n, v); }},
        {"async", [](E& e, S n, S v) { e.AudioSyncMethod = OptionToInt(n, v); }},
        {"adrift_threshold",
         [](E& e, S n, S v) { e.AudioDriftThreshold = static_cast<float>(OptionToFloat(n, v)); }},
        {"vglobal", [](E& e, S n, S v) { e.VideoGlobalHeader = OptionToInt(n, v); }},
        {"copyts", [](E& e, S, S) { e.CopyTimestamps = 1; }},
        {"shortest", [](E& e, S, S) { e.Shortest = 1; }},
        {"dts_delta_threshold",
         [](E& e, S n, S v) { e.DtsDeltaThreshold = static_cast<float>(OptionToFloat(n, v)); }},
        {"programid", [](E& e, S n, S v) { e.ProgramId = OptionToInt(n, v); }},
        {"b", [](E& e, S n, S v) { e.SetBitrateOption(n, v); }},
        {"vb", [](E& e, S n, S v) { e.SetBitrateOption(n, v); }},
        {"vframes", [](E& e, S n, S v) { e.MaxFrames[AVMEDIA_TYPE_VIDEO] = OptionToInt(n, v); }},
        {"r", [](E& e, S, S v) { e.SetFrameRate(v); }},
        {"s", [](E& e, S, S v) { e.SetFrameSize(v); }},
        {"aspect", [](E& e, S, S v) { e.SetAspectRatio(v); }},
        {"pix_fmt", [](E& e, S, S v) { e.SetPixelFormat(v); }},
        {"croptop", [](E& e, S n, S v) { e.SetCropTop(OptionToInt(n, v)); }},
        {"cropbottom", [](E& e, S n, S v) { e.SetCropBottom(OptionToInt(n, v)); }},
        {"cropleft", [](E& e, S n, S v) { e.SetCropLeft(OptionToInt(n, v)); }},
        {"cropright", [](E& e, S n, S v) { e.SetCropRight(OptionToInt(n, v)); }},
        {"padtop", [](E& e, S n, S v) { e.SetPadTop(OptionToInt(n, v)); }},
        {"padbottom", [](E& e, S n, S v) { e.SetPadBottom(OptionToInt(n, v)); }},
        {"padleft", [](E& e, S n, S v) { e.SetPadLeft(OptionToInt(n, v)); }},
        {"padright", [](E& e, S n, S v) { e.SetPadRight(OptionToInt(n, v)); }},
        {"padcolor",
         [](E& e, S n, S v) { e.SetPadColor(static_cast<uint32_t>(OptionToInt(n, v))); }},
        {"intra", [](E& e, S, S) { e.IntraOnly = 1; }},
        {"vn", [](E& e, S, S) { e.VideoDisabled = 1; }},
        {"vdt", [](E& e, S n, S v) { e.VideoDiscard = OptionToInt(n, v); }},
        {"qscale", [](E& e, S, S v) { e.SetQScale(v); }},
        {"rc_override", [](E& e, S, S v) { e.RateControlOverride = v; }},
        {"vcodec", [](E& e, S, S v) { e.SetCodecName(AVMEDIA_TYPE_VIDEO, v); }},
        {"me_threshold", [](E& e, S n, S v) { e.MotionEstimationThreshold = OptionToInt(n, v); }},
        {"sameq", [](E& e, S, S) { e.SameQuality = 1; }},
        {"pass",
         [](E& e, S n, S v) {
             const int32_t pass = OptionToInt(n, v);
             if (pass != 1 && pass != 2)
                 throw FFMpegException("pass number can be only 1 or 2");
             e.PassNumber = pass;
         }},
        {"passlogfile", [](E& e, S, S v) { e.PassLogFileName = v; }},
        {"deinterlace", [](E& e, S, S) { e.Deinterlace = 1; }},
        {"deinterlace_mode", [](E& e, S, S v) { e.SetDeinterlaceMode(v); }},
        {"psnr", [](E& e, S, S) { e.ComputePsnr = 1; }},
        {"vstats", [](E& e, S, S) { e.SetVStatsDefault(); }},
        {"vstats_file",
         [](E& e, S, S v) {
             e.VStatsFileName = v;
             e.VStatsInOutputFolder = false;
         }},
        {"vhook", [](E& e, S, S v) { e.AddFrameHook(v); }},
        {"intra_matrix", [](E& e, S, S v) { e.SetMatrix(e.IntraMatrix, v); }},
        {"inter_matrix", [](E& e, S, S v) { e.SetMatrix(e.InterMatrix, v); }},
        {"top", [](E& e, S n, S v) { e.TopFieldFirst = OptionToInt(n, v); }},
        {"dc", [](E& e, S n, S v) { e.IntraDcPrecision = OptionToInt(n, v); }},
        {"vtag", [](E& e, S, S v) { e.SetCodecTag(AVMEDIA_TYPE_VIDEO, v); }},
        {"newvideo", [](E& e, S, S) { e.NewStreamOption(AVMEDIA_TYPE_VIDEO); }},
        {"qphist", [](E& e, S, S) { e.QpHistogram = 1; }},
        {"ab", [](E& e, S n, S v) { e.SetBitrateOption(n, v); }},
        {"aframes", [](E& e, S n, S v) { e.MaxFrames[AVMEDIA_TYPE_AUDIO] = OptionToInt(n, v); }},
        {"aq", [](E& e, S n, S v) { e.AudioQScale = static_cast<float>(OptionToFloat(n, v)); }},
        {"ar",
         [](E& e, S n, S v) {
             const int32_t rate = OptionToInt(n, v);
             if (rate > 0)
                 e.AudioSampleRate = rate;
         }},
        {"ac",
         [](E& e, S n, S v) {
             const int32_t channels = OptionToInt(n, v);
             if (channels > 0)
                 e.AudioChannels = channels;
         }},
        {"an", [](E& e, S, S) { e.AudioDisabled = 1; }},
        {"acodec", [](E& e, S, S v) { e.SetCodecName(AVMEDIA_TYPE_AUDIO, v); }},
        {"atag", [](E& e, S, S v) { e.SetCodecTag(AVMEDIA_TYPE_AUDIO, v); }},
        {"vol", [](E& e, S n, S v) { e.AudioVolume = OptionToInt(n, v); }},
        {"newaudio", [](E& e, S, S) { e.NewStreamOption(AVMEDIA_TYPE_AUDIO); }},
        {"alang", [](E& e, S, S v) { e.AudioLanguage = v; }},
        {"sn", [](E& e, S, S) { e.SubtitleDisabled = 1; }},
        {"scodec", [](E& e, S, S v) { e.SetCodecName(AVMEDIA_TYPE_SUBTITLE, v); }},
        {"newsubtitle", [](E& e, S, S) { e.NewStreamOption(AVMEDIA_TYPE_SUBTITLE); }},
        {"slang", [](E& e, S, S v) { e.SubtitleLanguage = v; }},
        {"vc", [](E& e, S n, S v) { e.VideoChannel = OptionToInt(n, v); }},
        {"tvstd", [](E& e, S, S v) { e.VideoStandard = v; }},
        {"isync", [](E& e, S, S) { e.InputSync = 1; }},
        {"muxdelay", [](E& e, S n, S v) { e.MuxMaxDelay = static_cast<float>(OptionToFloat(n, v)); }},
        {"muxpreload", [](E& e, S n, S v) { e.MuxPreload = static_cast<float>(OptionToFloat(n, v)); }},
        {"absf", rejected},
        {"vbsf", rejected},
        {"sbsf", rejected},
        {"apre", doNothing},
        {"vpre", doNothing},
        {"spre", doNothing},
        {"map_chapters", [](E& e, S, S v) { e.SetChapterMap(v); }},
        {"picture_comment", [](E& e, S, S v) { e.SetPictureComment(v); }},
    };
    static_assert(std::size(kTable) == 106,
                  "the option table has its 103 classic entries, deinterlace_mode, "
                  "map_chapters and picture_comment");
    for (const Entry& entry : kTable) {
        if (name == entry.name) {
            entry.handle(*this, name, value);
            return true;
        }
    }
    return false;
}
