#include "PS3.h"

#include "DeviceProfiles.h"
#include "OOPFillBitrateSizeFrameRate.h"

namespace {

constexpr std::array<const char*, 3> StandardFrameSizes = {"640 x 480", "720 x 480", "720 x 576"};
constexpr std::array<const char*, 5> VideoBitrates = {"1200 Kbps", "1500 Kbps", "2000 Kbps",
                                                      "2500 Kbps", "3000 Kbps"};

struct Resolution {
    std::string_view Variant;
    const char* FrameSize; // the single frame size of the HD fills; null: the standard list
    int VideoBitratePosition;
};

constexpr std::array<Resolution, 3> Variants = {{
    {"standard", nullptr, 0},    // 720 x 480, 1200 Kbps
    {"720p", "1280 x 720", 2},   // 2000 Kbps
    {"1080p", "1920 x 1072", 2}, // 1072 lines, as the device lists it; 2000 Kbps
}};

} // namespace

void FillPS3(SettingsBoxes& boxes, std::string_view variant) {
    const Resolution& resolution = VariantRow(Variants, variant);
    FillSingle(*boxes.ComboVideoCodec, "H264");
    FillSingle(*boxes.ComboAudioCodec, "mpeg4aac");
    if (resolution.FrameSize)
        FillSingle(*boxes.ComboVideoSize, resolution.FrameSize);
    else
        FillList(*boxes.ComboVideoSize, StandardFrameSizes, 1);
    FillList(*boxes.ComboVideoBitrate, VideoBitrates, 0);
    boxes.ComboVideoBitrate->Select(resolution.VideoBitratePosition);
    FillSingle(*boxes.ComboVideoFramerate, "29.97 fps");
    FillList(*boxes.ComboAudioBitrate, StandardAudioBitrateList, 5); // 96 Kbps
    FillList(*boxes.ComboSamplingRate, SpacedSamplingRateList, 4);   // 44100 Hz
    SelectStereoOriginal(boxes);
}
