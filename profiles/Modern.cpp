#include "Modern.h"

#include "DeviceProfiles.h"
#include "SettingMapping.h"

#include <algorithm>

namespace {

// Encoder speed presets: the defaults must convert 1280x720 at 30 fps at least at half
// real time on two cores (bench/modern.sh measures them). x264 "veryfast" keeps most of the
// codec's tools; HEVC costs the most per picture, so x265 runs at its fastest preset;
// libvpx runs in its real-time mode at a high cpu-used, VP9 with row threads. AV1 is
// libaom's encoder in its real-time usage at its fastest setting, about 1.5 times real
// time on one thread: SVT-AV1 is faster, but the build of the platform's libraries waits
// forever when it is closed before its first picture (a set-up that fails after opening
// it, an input without pictures), so it only stands in where libaom's encoder is missing
// and then reads "preset". x265 prints its banner and statistics unless its log level is
// lowered.
constexpr const char* X264Speed = "preset=veryfast\n";
constexpr const char* X265Speed = "preset=ultrafast\nx265-params=log-level=error\n";
constexpr const char* Av1Speed = "usage=realtime\ncpu-used=8\nrow-mt=1\npreset=10\n";
constexpr const char* Vp9Speed = "deadline=realtime\ncpu-used=8\nrow-mt=1\n";
constexpr const char* Vp8Speed = "deadline=realtime\ncpu-used=8\n";

constexpr std::array<const char*, 5> MkvVideoCodecs = {"H264", "HEVC", "AV1", "VP9", "MPEG4"};
constexpr std::array<const char*, 3> WebmVideoCodecs = {"VP9", "AV1", "VP8"};
constexpr std::array<const char*, 5> MkvAudioCodecs = {"AAC", "Opus", "FLAC", "MP3", "AC3"};
constexpr std::array<const char*, 2> WebmAudioCodecs = {"Opus", "Vorbis"};
constexpr std::array<const char*, 1> OpusAudioCodecs = {"Opus"};
constexpr std::array<const char*, 1> FlacAudioCodecs = {"FLAC"};

constexpr std::array<const char*, 1> LosslessBitrates = {"Lossless"};
// Vorbis refuses 32 and 40 Kbps for two channels at 48000 Hz.
constexpr std::array<const char*, 11> VorbisBitrates = {
    "48 Kbps",  "64 Kbps",  "80 Kbps",  "96 Kbps",  "112 Kbps", "128 Kbps",
    "160 Kbps", "192 Kbps", "224 Kbps", "256 Kbps", "320 Kbps"};

// Sampling rates per encoder: the standard list without what the encoder refuses.
constexpr std::array<const char*, 7> WideRates = {"8000 Hz",  "16000 Hz", "22050 Hz", "32000 Hz",
                                                  "44100 Hz", "48000 Hz", "96000 Hz"};
constexpr std::array<const char*, 6> MpegAudioRates = {"8000 Hz",  "16000 Hz", "22050 Hz",
                                                       "32000 Hz", "44100 Hz", "48000 Hz"};
constexpr std::array<const char*, 3> Ac3Rates = {"32000 Hz", "44100 Hz", "48000 Hz"};
constexpr std::array<const char*, 5> VorbisRates = {"16000 Hz", "22050 Hz", "32000 Hz", "44100 Hz",
                                                    "48000 Hz"};
// Opus streams are always decoded at 48000 Hz; the box says so.
constexpr std::array<const char*, 1> OpusRates = {"48000 Hz (the only rate Opus takes)"};
constexpr int32_t OpusSampleRate = 48000;

} // namespace

// clang-format off
const std::array<ModernVideoCodec, 6> ModernVideoCodecs = {{
    {"H264",  "libx264",    X264Speed, "crf",    {20, 23, 28}, {0, 0, 0}},
    {"HEVC",  "libx265",    X265Speed, "crf",    {22, 26, 30}, {0, 0, 0}},
    // The engine falls back to SVT-AV1 when the libraries lack libaom's encoder; both read
    // "crf" on the same 0-63 scale.
    {"AV1",   "libaom-av1", Av1Speed,  "crf",    {28, 35, 42}, {0, 0, 0}},
    {"VP9",   "libvpx-vp9", Vp9Speed,  "crf",    {28, 33, 38}, {0, 0, 0}},
    {"VP8",   "libvpx",     Vp8Speed,  "crf",    {8, 12, 20},  {8000000, 4000000, 2000000}},
    // The MPEG-4 Part 2 encoder has no constant-rate factor: a fixed quantiser instead.
    {"MPEG4", "mpeg4",      "",        "qscale", {3, 5, 8},    {0, 0, 0}},
}};

const std::array<ModernAudioCodec, 6> ModernAudioCodecs = {{
    {"AAC",    "aac",        StandardAudioBitrateList, 8, WideRates,      5}, // 160 Kbps, 48000 Hz
    {"Opus",   "libopus",    StandardAudioBitrateList, 7, OpusRates,      0}, // 128 Kbps
    {"FLAC",   "flac",       LosslessBitrates,         0, WideRates,      4}, // 44100 Hz
    {"MP3",    "libmp3lame", StandardAudioBitrateList, 9, MpegAudioRates, 5}, // 192 Kbps, 48000 Hz
    {"AC3",    "ac3",        StandardAudioBitrateList, 9, Ac3Rates,       2}, // 192 Kbps, 48000 Hz
    {"Vorbis", "libvorbis",  VorbisBitrates,           6, VorbisRates,    4}, // 160 Kbps, 48000 Hz
}};

const std::array<ModernContainer, 4> ModernContainers = {{
    {"MKV",  MkvVideoCodecs,  MkvAudioCodecs},
    {"WEBM", WebmVideoCodecs, WebmAudioCodecs},
    {"OPUS", {},              OpusAudioCodecs},
    {"FLAC", {},              FlacAudioCodecs},
}};
// clang-format on

const std::array<const char*, 26> ModernFrameSizeList = [] {
    std::array<const char*, 26> list{};
    std::copy(StandardFrameSizeList.begin(), StandardFrameSizeList.end(), list.begin());
    list[23] = "1280 x 720";
    list[24] = "1920 x 1080";
    list[25] = "3840 x 2160";
    return list;
}();

const std::array<const char*, 22> ModernVideoQualityList = [] {
    std::array<const char*, 22> list{};
    auto end = std::copy(ModernQualityEntries.begin(), ModernQualityEntries.end(), list.begin());
    end = std::copy(StandardVideoBitrateList.begin(), StandardVideoBitrateList.end(), end);
    for (const char* rate :
         {"3000 Kbps", "4000 Kbps", "6000 Kbps", "8000 Kbps", "12000 Kbps", "16000 Kbps"})
        *end++ = rate;
    return list;
}();

namespace {

template <typename Row, std::size_t N>
const Row* FindRow(const std::array<Row, N>& rows, std::string_view key,
                   std::string_view Row::*field) {
    for (const Row& row : rows)
        if (row.*field == key)
            return &row;
    return nullptr;
}

// Position of text in the box, or -1.
int PositionOf(const SettingsBox& box, const std::string& text) {
    for (int i = 0; i < box.Count(); ++i)
        if (box.Text(i) == text)
            return i;
    return -1;
}

// Refills the box with entries; the entry selected before stays selected when the new list
// holds it, otherwise position is.
void RefillKeeping(SettingsBox& box, SettingsList entries, int position) {
    const std::string selected = box.CurrentText();
    FillList(box, entries, position);
    if (const int kept = PositionOf(box, selected); kept >= 0)
        box.Select(kept);
}

int QualityLevel(const std::string& text) {
    for (std::size_t i = 0; i < ModernQualityEntries.size(); ++i)
        if (text == ModernQualityEntries[i])
            return static_cast<int>(i);
    return -1;
}

// Writes the video fields for the codec and quality entry chosen.
void ApplyModernVideo(const SettingsBoxes& boxes, TOutputOptions& options) {
    const std::string label = boxes.ComboVideoCodec->CurrentText();
    const std::string quality = boxes.ComboVideoBitrate->CurrentText();
    const ModernVideoCodec* codec = FindModernVideoCodec(label);
    if (codec == nullptr) {
        // Not one of the family's entries: the generic mapping of a codec label.
        options.VideoCodec = VideoEncoderName(label);
        options.VideoBitrate =
            SettingNumber(TextBeforeFirstBlank(quality) + "000", quality, "video bit rate");
        return;
    }
    options.VideoCodec = codec->Encoder;
    options.ExtraOptions += codec->SpeedOptions;
    if (const int level = QualityLevel(quality); level >= 0) {
        options.ExtraOptions += std::string(codec->QualityOption) + "=" +
                                std::to_string(codec->QualityValues[level]) + "\n";
        options.VideoBitrate = codec->QualityBitrates[level];
    } else {
        options.VideoBitrate =
            SettingNumber(TextBeforeFirstBlank(quality) + "000", quality, "video bit rate");
    }
}

// Writes the audio fields for the codec, bit rate and sampling rate chosen.
void ApplyModernAudio(const SettingsBoxes& boxes, TOutputOptions& options) {
    const std::string label = boxes.ComboAudioCodec->CurrentText();
    const std::string bitrate = boxes.ComboAudioBitrate->CurrentText();
    const std::string rate = boxes.ComboSamplingRate->CurrentText();
    const ModernAudioCodec* codec = FindModernAudioCodec(label);
    options.AudioCodec = codec != nullptr ? std::string(codec->Encoder) : AudioEncoderName(label);
    if (bitrate != LosslessBitrates[0])
        options.AudioBitrate =
            SettingNumber(TextBeforeFirstBlank(bitrate) + "000", bitrate, "audio bit rate");
    if (codec != nullptr && codec->SamplingRates.data() == OpusRates.data())
        options.AudioSampleRate = OpusSampleRate;
    else
        options.AudioSampleRate = SettingNumber(TextBeforeFirstBlank(rate), rate, "sampling rate");
}

} // namespace

const ModernVideoCodec* FindModernVideoCodec(std::string_view label) {
    return FindRow(ModernVideoCodecs, label, &ModernVideoCodec::Label);
}

const ModernAudioCodec* FindModernAudioCodec(std::string_view label) {
    return FindRow(ModernAudioCodecs, label, &ModernAudioCodec::Label);
}

const ModernContainer* FindModernContainer(std::string_view variant) {
    return FindRow(ModernContainers, variant, &ModernContainer::Variant);
}

void FillModern(SettingsBoxes& boxes, std::string_view variant) {
    const ModernContainer* found = FindModernContainer(variant);
    const ModernContainer& row = found != nullptr ? *found : ModernContainers[0];
    if (row.VideoCodecs.empty()) {
        ClearVideoBoxes(boxes);
    } else {
        FillList(*boxes.ComboVideoCodec, row.VideoCodecs, 0);
        FillList(*boxes.ComboVideoBitrate, ModernVideoQualityList, ModernDefaultQuality);
        FillList(*boxes.ComboVideoSize, ModernFrameSizeList, 0);        // Original Video Size
        FillList(*boxes.ComboVideoFramerate, StandardFrameRateList, 0); // Auto
    }
    FillList(*boxes.ComboAudioCodec, row.AudioCodecs, 0);
    boxes.ComboAudioBitrate->Clear();
    boxes.ComboSamplingRate->Clear();
    FillModernAudioLists(boxes, variant);
    FillList(*boxes.ComboAudioChannels, ModernChannelList, 0); // Stereo
    boxes.ComboAspectRatio->Select(0);
}

void FillModernAudioLists(SettingsBoxes& boxes, std::string_view /*variant*/) {
    const ModernAudioCodec* codec = FindModernAudioCodec(boxes.ComboAudioCodec->CurrentText());
    if (codec == nullptr)
        return;
    RefillKeeping(*boxes.ComboAudioBitrate, codec->Bitrates, codec->BitratePosition);
    RefillKeeping(*boxes.ComboSamplingRate, codec->SamplingRates, codec->SamplingRatePosition);
}

void RestoreFixedChannelList(SettingsBoxes& boxes) {
    SettingsBox& box = *boxes.ComboAudioChannels;
    if (box.Count() == static_cast<int>(FixedChannelList.size()))
        return;
    const bool mono = box.CurrentText() == FixedChannelList[1];
    FillList(box, FixedChannelList, mono ? 1 : 0);
}

void ApplyModernSettings(const SettingsBoxes& boxes, const std::string& outputLabel,
                         TOutputOptions& options, int /*rowIndex*/) {
    const ModernContainer* row = FindModernContainer(outputLabel);
    const bool soundOnly = row != nullptr && row->VideoCodecs.empty();
    if (soundOnly) {
        options.DisableVideo = true;
    } else {
        const std::string frameSize = boxes.ComboVideoSize->CurrentText();
        if (frameSize != StandardFrameSizeList[0])
            options.FrameSize = FrameSizeText(frameSize);
        const std::string aspectRatio = boxes.ComboAspectRatio->CurrentText();
        if (aspectRatio != "Original")
            options.AspectRatio = aspectRatio;
    }
    const std::string channels = boxes.ComboAudioChannels->CurrentText();
    if (channels == ModernChannelList[0])
        options.AudioChannels = 2;
    else if (channels == ModernChannelList[1])
        options.AudioChannels = 1;
    // "Original": not set, the engine keeps the input's channels and their layout.
    ApplyModernAudio(boxes, options);
    if (!soundOnly)
        ApplyModernVideo(boxes, options);
}
