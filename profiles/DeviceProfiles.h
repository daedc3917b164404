// Helpers shared by the mobile, audio-only, Apple and portable player families: the variant
// look-up of their fill tables and the common core of the mobile and handheld apply steps.
#pragma once

#include "SettingsBoxes.h"
#include "FFmpegVCL.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The row of a family's variant table whose Variant equals variant; a text the family does not
// know gets the first row, so a fill always leaves the family's complete lists behind.
template <typename Row, std::size_t N>
const Row& VariantRow(const std::array<Row, N>& rows, std::string_view variant) {
    static_assert(N > 0);
    for (const Row& row : rows) {
        if (row.Variant == variant)
            return row;
    }
    return rows.front();
}

// Clears the box, appends the one entry and selects it.
void FillSingle(SettingsBox& box, std::string_view entry);

// Selects "Stereo" in the channels box and "Original" in the aspect-ratio box.
void SelectStereoOriginal(SettingsBoxes& boxes);

// Clears the video codec, frame-size, video bit-rate and frame-rate boxes (sound-only outputs).
void ClearVideoBoxes(SettingsBoxes& boxes);

// One variant of the iPod and iPod touch families: its single frame size, and the positions it
// selects after the family's list routine (-1: keep the list routine's selection).
struct ApplePlayerVariant {
    std::string_view Variant;
    const char* FrameSize;
    int VideoBitratePosition;
    int AudioBitratePosition;
    bool SelectsStereoOriginal;
};

// Default positions of an iPod-style family's list routine.
struct ApplePlayerLists {
    int VideoBitratePosition; // in the handheld video bit-rate list
    int AudioBitratePosition; // in the standard audio bit-rate list
    int FrameRatePosition;    // in the standard frame-rate list
    int SamplingRatePosition; // in the standard sampling-rate list
};

// The iPod-style fill: video codecs "MPEG4", "H264" and audio codec "mpeg4aac" (first
// selected), the variant's frame size, the family's lists, then the variant's selections.
void FillApplePlayer(SettingsBoxes& boxes, const ApplePlayerVariant& variant,
                     const ApplePlayerLists& lists);

// How a device apply step treats the sound, which it does not take from the audio codec box.
struct DeviceAudioRule {
    const char* AudioCodec;  // encoder written whatever the audio codec box shows
    bool AudioBitrateInKbps; // true: the audio bit-rate number is in Kbps (times 1000)
    int32_t AudioChannels;   // written after the numbers; 0: the channels box's choice
};

// The encoder name of a video codec label: lower-cased; "h264" becomes "libx264", "xvid"
// becomes "libxvid", everything else stays as lower-cased.
std::string DeviceVideoEncoder(const std::string& codecLabel);

// Writes VideoCodec, AudioCodec and FrameSize, then VideoBitrate (Kbps), AudioBitrate and
// AudioSampleRate, then AudioChannels as the rule says (from the box: 2 for "Stereo", else 1). A
// number that cannot be read throws SettingConversionError; the fields written before it keep their
// new values.
void ApplyDeviceSettings(const SettingsBoxes& boxes, const DeviceAudioRule& rule,
                         TOutputOptions& options);
