#include "ASF.h"
#include "OOPFillBitrateSizeFrameRate.h"

#include <array>

namespace {
constexpr std::array<const char*, 1> AsfVideoCodecs = {"MSMPEG4"};
constexpr std::array<const char*, 1> AsfAudioCodecs = {"mp3"};
constexpr std::array<const char*, 5> AsfVideoBitrates = {"1200 Kbps", "1500 Kbps", "2000 Kbps",
                                                         "2500 Kbps", "3000 Kbps"};
} // namespace

void FillASF(SettingsBoxes& boxes, std::string_view /*variant*/) {
    FillList(*boxes.ComboVideoCodec, AsfVideoCodecs, 0);
    FillList(*boxes.ComboAudioCodec, AsfAudioCodecs, 0);
    FillBitrateSizeFrameRate(boxes);
    FillList(*boxes.ComboVideoBitrate, AsfVideoBitrates);
    boxes.ComboVideoSize->Select(0);      // Original Video Size
    boxes.ComboVideoFramerate->Select(0); // Auto
    // "1200 Kbps", the first and lowest of the five rates, the same default as the other
    // container profiles. (Asking for the general lists' 1200 Kbps position, 8, would run
    // past the end of this shorter list and leave no rate selected.)
    boxes.ComboVideoBitrate->Select(0);
    boxes.ComboAudioBitrate->Select(7); // 128 Kbps
    boxes.ComboSamplingRate->Select(5); // 48000 Hz
    boxes.ComboAudioChannels->Select(0);
    boxes.ComboAspectRatio->Select(0);
}
