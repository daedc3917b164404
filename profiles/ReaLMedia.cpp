#include "ReaLMedia.h"
#include "OOPFillBitrateSizeFrameRate.h"

#include <array>

namespace {

constexpr std::array<const char*, 2> RealVideoCodecs = {"RV10", "RV20"};
constexpr std::array<const char*, 1> RealAudioCodecs = {"ac3"};
// The first three entries carry two blanks; only the number before the first blank counts.
constexpr std::array<const char*, 8> RealVideoBitrates = {"384  Kbps", "400  Kbps", "600  Kbps",
                                                          "1200 Kbps", "1800 Kbps", "2200 Kbps",
                                                          "2600 Kbps", "3000 Kbps"};

// The audio list routines that the video and the audio-only profile share.
void FillRealAudioBitrates(SettingsBoxes& boxes) {
    FillList(*boxes.ComboAudioBitrate, StandardAudioBitrateList, 7); // 128 Kbps
}

void FillRealSamplingRates(SettingsBoxes& boxes) {
    FillList(*boxes.ComboSamplingRate, SpacedSamplingRateList, 5); // 48000 Hz
}

void FillRealVideo(SettingsBoxes& boxes) {
    FillList(*boxes.ComboVideoCodec, RealVideoCodecs, 0);
    FillList(*boxes.ComboAudioCodec, RealAudioCodecs, 0);
    FillList(*boxes.ComboVideoSize, StandardFrameSizeList, 10); // 320 x 240 (VGA)
    FillList(*boxes.ComboVideoBitrate, RealVideoBitrates, 0);
    FillList(*boxes.ComboVideoFramerate, StandardFrameRateList, 0); // Auto
    FillRealAudioBitrates(boxes);
    FillRealSamplingRates(boxes);
    boxes.ComboAudioChannels->Select(0);
    boxes.ComboAspectRatio->Select(0);
}

void FillRealAudio(SettingsBoxes& boxes) {
    boxes.ComboVideoCodec->Clear();
    boxes.ComboVideoSize->Clear();
    boxes.ComboVideoBitrate->Clear();
    boxes.ComboVideoFramerate->Clear();
    FillList(*boxes.ComboAudioCodec, RealAudioCodecs, 0);
    FillRealAudioBitrates(boxes);
    FillRealSamplingRates(boxes);
    boxes.ComboAudioChannels->Select(0);
    boxes.ComboAspectRatio->Select(0);
}

} // namespace

void FillReaLMedia(SettingsBoxes& boxes, std::string_view variant) {
    if (variant == "audio")
        FillRealAudio(boxes);
    else
        FillRealVideo(boxes);
}
