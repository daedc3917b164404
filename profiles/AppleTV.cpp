#include "AppleTV.h"

#include "DeviceProfiles.h"
#include "OOPFillBitrateSizeFrameRate.h"

namespace {

struct Quality {
    std::string_view Variant;
    int VideoBitratePosition; // in the handheld video bit-rate list
    int AudioBitratePosition; // in the standard audio bit-rate list
};

constexpr std::array<Quality, 2> Variants = {{
    {"Good", 3, 7},   // 1500 Kbps, 128 Kbps
    {"Normal", 2, 5}, // 1200 Kbps, 96 Kbps
}};

} // namespace

void FillAppleTV(SettingsBoxes& boxes, std::string_view variant) {
    const Quality& quality = VariantRow(Variants, variant);
    FillSingle(*boxes.ComboVideoCodec, "MPEG4");
    FillSingle(*boxes.ComboAudioCodec, "mpeg4aac");
    FillSingle(*boxes.ComboVideoSize, "640 x 480");
    FillList(*boxes.ComboVideoBitrate, HandheldVideoBitrateList, quality.VideoBitratePosition);
    FillList(*boxes.ComboAudioBitrate, StandardAudioBitrateList, quality.AudioBitratePosition);
    FillList(*boxes.ComboVideoFramerate, StandardFrameRateList, 0);
    FillList(*boxes.ComboSamplingRate, StandardSamplingRateList, 4); // 44100 Hz
    SelectStereoOriginal(boxes);
}
