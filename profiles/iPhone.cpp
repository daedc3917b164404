#include "iPhone.h"

#include "DeviceProfiles.h"
#include "OOPFillBitrateSizeFrameRate.h"

namespace {

constexpr std::array<const char*, 2> VideoCodecs = {"MPEG4", "H264"};

// The variant is the frame size itself.
struct PhoneSize {
    std::string_view Variant;
    int VideoBitratePosition; // in the handheld video bit-rate list
    int AudioBitratePosition; // in the standard audio bit-rate list
};

constexpr std::array<PhoneSize, 3> Variants = {{
    {"480 x 320", 2, 4}, // 1200 Kbps, 80 Kbps
    {"640 x 480", 3, 7}, // 1500 Kbps, 128 Kbps
    {"720 x 480", 3, 7},
}};

} // namespace

void FilliPhone(SettingsBoxes& boxes, std::string_view variant) {
    const PhoneSize& size = VariantRow(Variants, variant);
    FillList(*boxes.ComboVideoCodec, VideoCodecs, 0);
    FillSingle(*boxes.ComboAudioCodec, "mpeg4aac");
    SelectStereoOriginal(boxes);
    FillSingle(*boxes.ComboVideoSize, size.Variant);
    FillList(*boxes.ComboVideoBitrate, HandheldVideoBitrateList, size.VideoBitratePosition);
    FillList(*boxes.ComboAudioBitrate, StandardAudioBitrateList, size.AudioBitratePosition);
    FillList(*boxes.ComboVideoFramerate, StandardFrameRateList, 0);
    FillList(*boxes.ComboSamplingRate, StandardSamplingRateList, 4); // 44100 Hz
}
