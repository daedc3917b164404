#include "WAVwma.h"

#include "DeviceProfiles.h"
#include "OOPFillBitrateSizeFrameRate.h"

#include <array>

namespace {

struct SoundVariant {
    std::string_view Variant;
    const char* AudioCodec;
    int SamplingRatePosition;
};

constexpr std::array<SoundVariant, 2> Variants = {{
    {"WAV", "pcm_s16le", 4}, // 44100 Hz
    {"WMA", "wmav2", 5},     // 48000 Hz
}};

} // namespace

void FillWAVwma(SettingsBoxes& boxes, std::string_view variant) {
    const SoundVariant& sound = VariantRow(Variants, variant);
    ClearVideoBoxes(boxes);
    FillSingle(*boxes.ComboAudioCodec, sound.AudioCodec);
    // Both share the list loading with its own defaults; WMA then moves the sampling rate.
    FillList(*boxes.ComboAudioBitrate, StandardAudioBitrateList, 7);
    FillList(*boxes.ComboSamplingRate, SpacedSamplingRateList, 4);
    boxes.ComboAudioBitrate->Select(7);
    boxes.ComboSamplingRate->Select(sound.SamplingRatePosition);
    SelectStereoOriginal(boxes);
}
