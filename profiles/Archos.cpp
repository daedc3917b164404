#include "Archos.h"

#include "DeviceProfiles.h"
#include "OOPFillBitrateSizeFrameRate.h"

namespace {

constexpr std::array<const char*, 2> AudioCodecs = {"mp3", "mp2"};
// "Auto" heads the list as the player's menu has it.
constexpr std::array<const char*, 6> FrameSizes = {"Auto",      "160 x 120", "320 x 240",
                                                   "480 x 272", "720 x 480", "640 x 480"};
constexpr std::array<const char*, 5> AV700VideoBitrates = {"1000 Kbps", "1200 Kbps", "1500 Kbps",
                                                           "2000 Kbps", "2500 Kbps"};

// The AV500 fill, which the AV700, Zen and iRiver fills start from. Channels and aspect ratio
// are not touched.
void fillBase(SettingsBoxes& boxes) {
    FillSingle(*boxes.ComboVideoCodec, "MPEG4");
    FillList(*boxes.ComboAudioCodec, AudioCodecs, 0);
    FillList(*boxes.ComboVideoBitrate, StandardVideoBitrateList, 8); // 1200 Kbps
    FillList(*boxes.ComboVideoSize, FrameSizes, 3);                  // 480 x 272
    FillList(*boxes.ComboVideoFramerate, StandardFrameRateList, 0);  // Auto
    FillList(*boxes.ComboAudioBitrate, StandardAudioBitrateList, 7); // 128 Kbps
    FillList(*boxes.ComboSamplingRate, StandardSamplingRateList, 5); // 48000 Hz
    boxes.ComboAudioBitrate->Select(7);
    boxes.ComboSamplingRate->Select(5);
}

void fillAV700(SettingsBoxes& boxes) {
    fillBase(boxes);
    boxes.ComboVideoSize->Select(4);                           // 720 x 480
    FillList(*boxes.ComboVideoBitrate, AV700VideoBitrates, 3); // 2000 Kbps
}

struct ArchosVariant {
    std::string_view Variant;
    void (*Fill)(SettingsBoxes&);
};

constexpr std::array<ArchosVariant, 2> Variants = {{
    {"AV500", fillBase},
    {"AV700", fillAV700},
}};

} // namespace

void FillArchos(SettingsBoxes& boxes, std::string_view variant) {
    VariantRow(Variants, variant).Fill(boxes);
}
