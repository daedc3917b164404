#include "AppleTVh264.h"

#include "DeviceProfiles.h"
#include "OOPFillBitrateSizeFrameRate.h"

namespace {

constexpr std::array<const char*, 8> VideoBitrates = {"512 Kbps",  "800 Kbps",  "1200 Kbps",
                                                      "1500 Kbps", "2000 Kbps", "2500 Kbps",
                                                      "4000 Kbps", "7000 Kbps"};

// The variant is the frame size itself.
struct TvSize {
    std::string_view Variant;
    int FrameRatePosition;    // in the standard frame-rate list
    int VideoBitratePosition; // in VideoBitrates
};

constexpr std::array<TvSize, 3> Variants = {{
    {"320 x 240", 5, 2},  // 29.97 fps, 1200 Kbps
    {"640 x 480", 5, 4},  // 29.97 fps, 2000 Kbps
    {"1280 x 720", 3, 5}, // 23.975 fps, 2500 Kbps
}};

} // namespace

void FillAppleTVh264(SettingsBoxes& boxes, std::string_view variant) {
    const TvSize& size = VariantRow(Variants, variant);
    FillSingle(*boxes.ComboVideoCodec, "H264");
    FillSingle(*boxes.ComboAudioCodec, "mpeg4aac");
    FillSingle(*boxes.ComboVideoSize, size.Variant);
    FillList(*boxes.ComboVideoBitrate, VideoBitrates, size.VideoBitratePosition);
    FillList(*boxes.ComboAudioBitrate, StandardAudioBitrateList, 3); // 64 Kbps
    FillList(*boxes.ComboVideoFramerate, StandardFrameRateList, size.FrameRatePosition);
    FillList(*boxes.ComboSamplingRate, StandardSamplingRateList, 5); // 48000 Hz
    SelectStereoOriginal(boxes);
}
