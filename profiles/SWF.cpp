#include "SWF.h"
#include "OOPFillBitrateSizeFrameRate.h"

#include <array>

namespace {
constexpr std::array<const char*, 1> FlashVideoCodecs = {"FLV"};
constexpr std::array<const char*, 1> FlashAudioCodecs = {"mp3"};
// Flash players handle only these three rates.
constexpr std::array<const char*, 3> FlashSamplingRates = {"11025 Hz", "22050 Hz", "44100 Hz"};
} // namespace

void FillSWF(SettingsBoxes& boxes, std::string_view /*variant*/) {
    FillList(*boxes.ComboVideoCodec, FlashVideoCodecs);
    FillList(*boxes.ComboAudioCodec, FlashAudioCodecs);
    FillBitrateSizeFrameRate(boxes);
    FillList(*boxes.ComboSamplingRate, FlashSamplingRates);

    boxes.ComboSamplingRate->Select(2); // 44100 Hz
    boxes.ComboVideoSize->Select(0);    // Original Video Size
    boxes.ComboAudioCodec->Select(0);
    boxes.ComboVideoCodec->Select(0);
    boxes.ComboVideoFramerate->Select(2); // 15.0 fps
    boxes.ComboVideoBitrate->Select(1);   // 200 Kbps
    boxes.ComboAudioBitrate->Select(3);   // 64 Kbps
    boxes.ComboAudioChannels->Select(0);  // Stereo
    boxes.ComboAspectRatio->Select(0);    // Original
}
