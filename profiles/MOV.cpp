#include "MOV.h"
#include "OOPFillBitrateSizeFrameRate.h"

#include <array>

namespace {
constexpr std::array<const char*, 1> MovVideoCodecs = {"MPEG4"};
constexpr std::array<const char*, 1> MovAudioCodecs = {"mpeg4aac"};
} // namespace

void FillMOV(SettingsBoxes& boxes, std::string_view /*variant*/) {
    FillList(*boxes.ComboVideoCodec, MovVideoCodecs, 0);
    FillList(*boxes.ComboAudioCodec, MovAudioCodecs, 0);
    FillBitrateSizeFrameRate(boxes);
    boxes.ComboVideoSize->Select(0);      // Original Video Size
    boxes.ComboVideoFramerate->Select(0); // Auto
    boxes.ComboVideoBitrate->Select(8);   // 1200 Kbps
    boxes.ComboAudioBitrate->Select(7);   // 128 Kbps
    boxes.ComboSamplingRate->Select(4);   // 44100 Hz
    boxes.ComboAudioChannels->Select(0);
    boxes.ComboAspectRatio->Select(0);
}
