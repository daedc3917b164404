#include "WMV.h"
#include "OOPFillBitrateSizeFrameRate.h"

#include <array>

namespace {
constexpr std::array<const char*, 1> WmvVideoCodecs = {"WMV2"};
constexpr std::array<const char*, 1> WmvAudioCodecs = {"wmav2"};
} // namespace

void FillWMV(SettingsBoxes& boxes, std::string_view /*variant*/) {
    FillList(*boxes.ComboVideoCodec, WmvVideoCodecs, 0);
    FillList(*boxes.ComboAudioCodec, WmvAudioCodecs, 0);
    FillBitrateSizeFrameRate(boxes);
    boxes.ComboVideoSize->Select(10);     // 320 x 240 (VGA)
    boxes.ComboVideoFramerate->Select(0); // Auto
    boxes.ComboVideoBitrate->Select(8);   // 1200 Kbps
    boxes.ComboAudioBitrate->Select(7);   // 128 Kbps
    boxes.ComboSamplingRate->Select(5);   // 48000 Hz
    boxes.ComboAudioChannels->Select(0);
    boxes.ComboAspectRatio->Select(0);
}
