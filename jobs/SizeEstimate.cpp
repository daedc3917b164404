// Output size estimates from the input's facts and the rates the settings give.
#include "SizeEstimate.h"

#include "AVProbe.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

// clang-format off
const std::array<QualityRate, 5> QualityRates = {{
    // encoder        option    ref  bits/pixel halving step
    {"libx264",       "crf",    23,  0.10,      6},
    {"libx265",       "crf",    26,  0.06,      6},
    {"libaom-av1",    "crf",    35,  0.05,      8},
    {"libvpx-vp9",    "crf",    33,  0.06,      8},
    {"mpeg4",         "qscale", 5,   0.12,      0},
}};

const std::array<TargetRates, 3> DiscTargetRates = {{
    {1, 1150000, 224000}, // vcd
    {2, 2040000, 224000}, // svcd
    {3, 6000000, 448000}, // dvd
}};
// clang-format on

namespace {

// Container and packet headers: a share of the payload and a few bytes per packet.
constexpr double kContainerShare = 0.01;
constexpr double kPacketBytes = 24.0;
// Sound packets per second of a typical encoder (1024 samples at 44100 Hz).
constexpr double kAudioPacketsPerSecond = 43.0;
// Lossless sound keeps about this share of the 16-bit samples.
constexpr double kLosslessShare = 0.6;
constexpr int32_t kAssumedSampleRate = 44100;
constexpr int32_t kAssumedChannels = 2;
constexpr double kAssumedFrameRate = 25.0;

// The value of "name=value" among the option lines, or -1.
double optionValue(const std::string& lines, std::string_view name) {
    const std::string key = "\n" + std::string(name) + "=";
    const std::string text = "\n" + lines;
    const auto at = text.find(key);
    if (at == std::string::npos)
        return -1.0;
    return std::atof(text.c_str() + at + key.size());
}

// "WxH" (or "W*H"), or the input's own size.
void frameSize(const std::string& text, const InputFacts& input, int& width, int& height) {
    width = input.Width;
    height = input.Height;
    int w = 0;
    int h = 0;
    if (std::sscanf(text.c_str(), "%d%*[x*]%d", &w, &h) == 2 && w > 0 && h > 0) {
        width = w;
        height = h;
    }
}

// "25", "29.97" or "30000/1001", or the input's own rate.
double frameRate(const std::string& text, const InputFacts& input) {
    double num = 0.0;
    double den = 0.0;
    const int read = std::sscanf(text.c_str(), "%lf/%lf", &num, &den);
    if (read == 2 && num > 0 && den > 0)
        return num / den;
    if (read >= 1 && num > 0)
        return num;
    return input.FrameRate > 0 ? input.FrameRate : kAssumedFrameRate;
}

const TargetRates* discTarget(int32_t target) {
    for (const TargetRates& rates : DiscTargetRates)
        if (rates.Target == target)
            return &rates;
    return nullptr;
}

// The video rate in bits/s; approximate when a quality stands for it.
double videoRate(const TOutputOptions& options, const InputFacts& input, bool& approximate) {
    int width = 0;
    int height = 0;
    frameSize(options.FrameSize, input, width, height);
    const double pixelsPerSecond =
        static_cast<double>(width) * height * frameRate(options.FrameRate, input);
    for (const QualityRate& row : QualityRates) {
        if (options.VideoCodec != row.Encoder)
            continue;
        const double value = optionValue(options.ExtraOptions, row.Option);
        if (value < 0)
            break;
        approximate = true;
        const double bitsPerPixel =
            row.HalvingStep > 0
                ? row.BitsPerPixel * std::pow(0.5, (value - row.ReferenceValue) / row.HalvingStep)
                : row.BitsPerPixel * row.ReferenceValue / std::max(value, 1.0);
        const double rate = bitsPerPixel * pixelsPerSecond;
        // A cap given beside the quality (VP8) bounds the rate.
        return options.VideoBitrate > 0 ? std::min(rate, double(options.VideoBitrate)) : rate;
    }
    if (optionValue(options.ExtraOptions, "crf") >= 0 ||
        optionValue(options.ExtraOptions, "qscale") >= 0)
        approximate = true;
    if (options.VideoBitrate > 0)
        return options.VideoBitrate;
    if (const TargetRates* target = discTarget(options.Target))
        return target->VideoBitrate;
    approximate = true;
    return DefaultBitsPerPixel * pixelsPerSecond;
}

// The sound rate in bits/s; approximate when it had to be guessed.
double audioRate(const TOutputOptions& options, bool& approximate) {
    const int32_t sampleRate =
        options.AudioSampleRate > 0 ? options.AudioSampleRate : kAssumedSampleRate;
    const int32_t channels = options.AudioChannels > 0 ? options.AudioChannels : kAssumedChannels;
    const double samples16 = 16.0 * sampleRate * channels;
    const std::string& codec = options.AudioCodec;
    if (codec.rfind("pcm_", 0) == 0) {
        // pcm_u8, pcm_s16le, pcm_s24le ...: the bits are in the name.
        const int bits = std::atoi(codec.c_str() + codec.find_first_of("0123456789"));
        return (bits > 0 ? bits : 16) * double(sampleRate) * channels;
    }
    if (codec == "flac") {
        approximate = true;
        return kLosslessShare * samples16;
    }
    if (options.AudioBitrate > 0)
        return options.AudioBitrate;
    if (const TargetRates* target = discTarget(options.Target))
        return target->AudioBitrate;
    approximate = true;
    return DefaultAudioBitrate;
}

} // namespace

InputFacts ProbeInputFacts(const TAVProbe& probe) {
    InputFacts facts;
    const int64_t durationUs = probe.GetFileInfo().Duration;
    // An unknown duration is a large negative number.
    if (durationUs > 0)
        facts.DurationMs = durationUs / 1000;
    facts.HasAudio = probe.AudioStreamCount > 0;
    facts.HasVideo = probe.VideoStreamCount > 0;
    if (facts.HasVideo) {
        const TAVStreamInfo video = probe.GetVideoInfo();
        facts.Width = std::max(0, video.Width);
        facts.Height = std::max(0, video.Height);
        if (video.FrameRateNum > 0 && video.FrameRateDen > 0)
            facts.FrameRate = double(video.FrameRateNum) / video.FrameRateDen;
    }
    return facts;
}

SizeEstimate EstimateOutputSize(const TOutputOptions& options, const InputFacts& input) {
    SizeEstimate estimate;
    if (input.DurationMs <= 0)
        return estimate;
    const double seconds = input.DurationMs / 1000.0;
    double bitsPerSecond = 0.0;
    double packetsPerSecond = 0.0;
    if (input.HasVideo && !options.DisableVideo) {
        bitsPerSecond += videoRate(options, input, estimate.Approximate);
        packetsPerSecond += frameRate(options.FrameRate, input);
    }
    if (input.HasAudio && !options.DisableAudio) {
        bitsPerSecond += audioRate(options, estimate.Approximate);
        packetsPerSecond += kAudioPacketsPerSecond;
    }
    const double payload = bitsPerSecond / 8.0 * seconds;
    estimate.Bytes = static_cast<int64_t>(std::llround(payload * (1.0 + kContainerShare) +
                                                       kPacketBytes * packetsPerSecond * seconds));
    return estimate;
}

std::string ByteSizeText(int64_t bytes) {
    static constexpr const char* units[] = {"kB", "MB", "GB", "TB"};
    double value = static_cast<double>(std::max<int64_t>(bytes, 0));
    int unit = -1;
    do {
        value /= 1000.0;
        ++unit;
    } while (value >= 999.95 && unit + 1 < static_cast<int>(std::size(units)));
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}
