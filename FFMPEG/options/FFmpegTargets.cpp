// The "target" presets for VCD, SVCD, DVD and DV output, with the norm detection.
#include "FFmpeg.h"
#include "StreamFrameRate.h"

#include <cmath>
#include <string_view>

namespace {

enum class Norm { Pal, Ntsc, Film };

// The frame rate of each norm, as the "r" option reads it.
const char* normFrameRate(Norm norm) {
    switch (norm) {
    case Norm::Ntsc:
        return "30000/1001";
    case Norm::Film:
        return "24000/1001";
    default:
        return "25";
    }
}

// A frame rate x 1000 to the nearest integer, as the norm detection compares it.
long rateMillis(int num, int den) {
    return std::lround(num * 1000.0 / den);
}

// PAL or NTSC for a rate in thousandths; false when it says neither.
bool normOfRate(long millis, Norm& norm) {
    if (millis == 25000) {
        norm = Norm::Pal;
        return true;
    }
    if (millis == 29970 || millis == 23976) {
        norm = Norm::Ntsc;
        return true;
    }
    return false;
}

// One preset's settings; null texts leave the setting unchanged.
struct TargetPreset {
    const char* name;
    const char* videoCodec;
    const char* audioCodec;
    const char* format;
    const char* sizeNtsc;
    const char* sizeOther;
    const char* gopNtsc;
    const char* gopOther;
    const char* bitRate;
    const char* maxRate;
    const char* minRate;
    const char* bufferSize;
    const char* flags;
    const char* audioBitRate;
    int sampleRateHz;
    bool stereoAlways; // channels := 2 whatever they were
    bool monoToStereo; // channels 1 becomes 2
    const char* packetSize;
    const char* muxRate;
    float muxPreloadSeconds; // 0 = unchanged
    const char* aspect;      // when no aspect was set
};

constexpr TargetPreset kTargetPresets[] = {
    {"vcd", "mpeg1video", "mp2",     "vcd",     "352x240", "352x288", "18",
     "15",  "1150000",    "1150000", "1150000", "327680",  nullptr,   "224000",
     44100, true,         false,     "2324",    "1411200", 0.44f,     "4:3"},
    {"svcd",    "mpeg2video", "mp2",   "svcd",    "480x480",      "480x576", "18",  "15",
     "2040000", "2516000",    "0",     "1835008", "+SCAN_OFFSET", "224000",  44100, false,
     true,      "2324",       nullptr, 0,         "4:3"},
    {"dvd", "mpeg2video", "ac3",     "dvd",  "720x480",  "720x576", "18",
     "15",  "6000000",    "9000000", "0",    "1835008",  nullptr,   "448000",
     48000, false,        true,      "2048", "10080000", 0,         "16:9"},
    {"dv",    nullptr, nullptr, "dv",    "720x480", "720x576", nullptr,
     nullptr, nullptr, nullptr, nullptr, nullptr,   nullptr,   nullptr,
     48000,   true,    false,   nullptr, nullptr,   0,         nullptr},
    {"dv50",  nullptr, nullptr, "dv",    "720x480", "720x576", nullptr,
     nullptr, nullptr, nullptr, nullptr, nullptr,   nullptr,   nullptr,
     48000,   true,    false,   nullptr, nullptr,   0,         nullptr},
};

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

} // namespace

void TCustomFFmpeg::SetTarget(const std::string& value) {
    std::string preset = trimmed(value);
    std::string norm = "auto";
    for (const char* prefix : {"pal", "ntsc", "film"}) {
        const std::string withDash = std::string(prefix) + "-";
        if (preset.compare(0, withDash.size(), withDash) == 0) {
            norm = prefix;
            preset.erase(0, withDash.size());
            break;
        }
    }
    ApplyTarget(preset, norm, "ntsc");
}

void TCustomFFmpeg::ApplyTarget(const std::string& preset, const std::string& normName,
                                const std::string& fallbackNorm) {
    Norm norm = Norm::Pal;
    if (normName == "pal") {
        norm = Norm::Pal;
    } else if (normName == "ntsc") {
        norm = Norm::Ntsc;
    } else if (normName == "film") {
        norm = Norm::Film;
    } else {
        if (FrameRate.den == 0)
            throw FFMpegException("frame_rate is invalid.");
        bool decided = normOfRate(rateMillis(FrameRate.num, FrameRate.den), norm);
        for (int file = 0; !decided && file < InputFileCount; ++file) {
            const AVFormatContext* input = InputFiles[file];
            for (unsigned i = 0; !decided && input && i < input->nb_streams; ++i) {
                const AVStream* stream = input->streams[i];
                if (stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO)
                    continue;
                const AVRational rate = PlausibleFrameRate(stream);
                if (rate.num > 0 && rate.den > 0)
                    decided = normOfRate(rateMillis(rate.num, rate.den), norm);
            }
        }
        if (!decided)
            norm = fallbackNorm == "film"   ? Norm::Film
                   : fallbackNorm == "ntsc" ? Norm::Ntsc
                                            : Norm::Pal;
        if (Verbosity > 0 && LogInstalled())
            Log(kLogInfo,
                std::string("Assuming ") + (norm == Norm::Pal ? "PAL" : "NTSC") + " for target.");
    }

    const TargetPreset* found = nullptr;
    for (const TargetPreset& entry : kTargetPresets)
        if (preset == entry.name)
            found = &entry;
    if (!found)
        throw FFMpegException("Unknown target type");
    const TargetPreset& p = *found;
    const bool ntsc = norm == Norm::Ntsc;
    auto generic = [this](const char* name, const char* value) {
        if (value)
            SetGenericOption(name, value);
    };
    if (p.videoCodec)
        SetCodecName(AVMEDIA_TYPE_VIDEO, p.videoCodec);
    if (p.audioCodec)
        SetCodecName(AVMEDIA_TYPE_AUDIO, p.audioCodec);
    SetOutputFormat(p.format);
    SetFrameSize(ntsc ? p.sizeNtsc : p.sizeOther);
    if (preset == "dv50")
        SetPixelFormat("yuv422p");
    else if (preset == "dv")
        SetPixelFormat(ntsc ? "yuv411p" : "yuv420p");
    SetFrameRate(normFrameRate(norm));
    generic("gop", ntsc ? p.gopNtsc : p.gopOther);
    generic("b", p.bitRate);
    generic("maxrate", p.maxRate);
    generic("minrate", p.minRate);
    generic("bufsize", p.bufferSize);
    generic("flags", p.flags);
    generic("ab", p.audioBitRate);
    AudioSampleRate = p.sampleRateHz;
    if (p.stereoAlways || (p.monoToStereo && AudioChannels == 1))
        AudioChannels = 2;
    generic("packetsize", p.packetSize);
    generic("muxrate", p.muxRate);
    if (p.muxPreloadSeconds > 0)
        MuxPreload = p.muxPreloadSeconds;
    if (p.aspect && FrameAspectRatio == 0)
        SetAspectRatio(p.aspect);
}
