// The modern output family: Matroska and WebM video, Opus and FLAC sound, with video
// quality chosen as a constant quality or as a bit rate.
#pragma once

#include "FFmpegVCL.h"
#include "OOPFillBitrateSizeFrameRate.h"
#include "SettingsBoxes.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// The constant-quality entries that head the video quality box, best first. Each video
// encoder below gives every entry its own value on its own scale.
inline constexpr std::array<const char*, 3> ModernQualityEntries = {
    "Quality: High", "Quality: Good", "Quality: Compact"};
inline constexpr int ModernDefaultQuality = 1; // "Quality: Good"

// One video codec entry: the encoder, the options that set its speed, and how each quality
// entry reaches it.
struct ModernVideoCodec {
    std::string_view Label; // the codec box entry ("H264")
    const char* Encoder;    // the encoder the task asks for ("libx264")
    // Encoder options for speed and quiet logging, one "name=value" per line. Options the
    // encoder does not know are dropped by the engine, which lets one list serve an encoder
    // and its stand-in (SVT-AV1 and libaom for AV1).
    const char* SpeedOptions;
    // The option that sets a constant quality ("crf", or the engine's "qscale").
    const char* QualityOption;
    std::array<int, 3> QualityValues; // per ModernQualityEntries entry
    // The bit rate a quality entry also sets, in bits/s; 0 for none. VP8 takes its quality
    // level as a floor under a bit-rate ceiling and needs the ceiling.
    std::array<int32_t, 3> QualityBitrates;
};

// One audio codec entry with the lists the bit-rate and sampling-rate boxes hold for it.
struct ModernAudioCodec {
    std::string_view Label;
    const char* Encoder;
    SettingsList Bitrates; // "Lossless" alone for a lossless codec: no bit rate is set
    int BitratePosition;
    SettingsList SamplingRates; // only rates the encoder takes
    int SamplingRatePosition;
};

// One row of the family: its output label (also the fill variant) and its codec lists.
struct ModernContainer {
    std::string_view Variant;
    SettingsList VideoCodecs; // empty: sound only
    SettingsList AudioCodecs;
};

extern const std::array<ModernVideoCodec, 6> ModernVideoCodecs;
extern const std::array<ModernAudioCodec, 6> ModernAudioCodecs;
extern const std::array<ModernContainer, 4> ModernContainers;

// The channels box of the family: the fixed list plus "Original", which keeps the input's
// channels (5.1 stays 5.1).
inline constexpr std::array<const char*, 3> ModernChannelList = {"Stereo", "Mono", "Original"};
// The channels box as every other profile has it.
inline constexpr std::array<const char*, 2> FixedChannelList = {"Stereo", "Mono"};
// The frame-size list of the family: the standard list and three high-definition sizes.
extern const std::array<const char*, 26> ModernFrameSizeList;
// The video quality box: the quality entries, then bit rates up to high definition.
extern const std::array<const char*, 22> ModernVideoQualityList;

// The table rows of a label, or null.
const ModernVideoCodec* FindModernVideoCodec(std::string_view label);
const ModernAudioCodec* FindModernAudioCodec(std::string_view label);
const ModernContainer* FindModernContainer(std::string_view variant);

// Loads the lists and defaults of the row named by variant ("MKV", "WEBM", "OPUS", "FLAC"):
// the first codec of each box, "Quality: Good", the input's size and rate, "Stereo", and
// the first audio codec's bit rate and sampling rate.
void FillModern(SettingsBoxes& boxes, std::string_view variant);

// Reloads the audio bit-rate and sampling-rate boxes with the lists of the audio codec
// chosen now; a selected entry the new list also holds stays selected, otherwise the
// codec's default is. Runs when the user picks another audio codec.
void FillModernAudioLists(SettingsBoxes& boxes, std::string_view variant);

// Puts the fixed channels list back when a modern row left "Original" in the box or a mono
// row left "Mono" alone, keeping "Stereo" or "Mono" as selected ("Original" becomes
// "Stereo"). Other rows only select in the channels box and expect the two entries.
void RestoreFixedChannelList(SettingsBoxes& boxes);

// The apply step of the family. Writes VideoCodec, VideoBitrate, FrameSize, AspectRatio,
// AudioCodec, AudioBitrate, AudioSampleRate, AudioChannels, DisableVideo and
// ExtraOptions (the encoder's speed and quality options). A quality entry sets no bit rate
// (VideoBitrate 0) except where the codec needs a ceiling; "Original" channels leave
// AudioChannels unset so that the input's are kept; "Lossless" leaves AudioBitrate unset;
// Opus always gets 48000 Hz. Throws SettingConversionError for a text without a number.
void ApplyModernSettings(const SettingsBoxes& boxes, const std::string& outputLabel,
                         TOutputOptions& options, int rowIndex);
