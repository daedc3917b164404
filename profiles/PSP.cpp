#include "PSP.h"

#include "DeviceProfiles.h"
#include "OOPFillBitrateSizeFrameRate.h"

namespace {

constexpr std::array<const char*, 3> VideoCodecs = {"MPEG4", "H264", "XVID"};
constexpr std::array<const char*, 4> FrameSizes = {"160 x 112", "320 x 240", "368 x 208",
                                                   "480 x 272"};
constexpr std::array<const char*, 2> FrameRates = {"14.985 fps", "29.97 fps"};
constexpr std::array<const char*, 6> AudioBitrates = {"32 Kbps", "48 Kbps",  "64 Kbps",
                                                      "96 Kbps", "128 Kbps", "160 Kbps"};

struct Quality {
    std::string_view Variant;
    const char* VideoBitrate; // the single entry of the video bit-rate box
    int FrameSizePosition;
};

constexpr std::array<Quality, 3> Variants = {{
    {"Good Quality", "768 Kbps", 2},    // 368 x 208
    {"Normal Quality", "512 Kbps", 2},  // 368 x 208
    {"Small File Size", "216 Kbps", 0}, // 160 x 112
}};

} // namespace

void FillPSP(SettingsBoxes& boxes, std::string_view variant) {
    const Quality& quality = VariantRow(Variants, variant);
    FillList(*boxes.ComboVideoCodec, VideoCodecs, 0);
    FillSingle(*boxes.ComboAudioCodec, "mpeg4aac");
    FillList(*boxes.ComboVideoSize, FrameSizes, 2);
    FillSingle(*boxes.ComboVideoBitrate, quality.VideoBitrate);
    boxes.ComboVideoSize->Select(quality.FrameSizePosition);
    FillList(*boxes.ComboVideoFramerate, FrameRates, 1);  // 29.97 fps
    FillList(*boxes.ComboAudioBitrate, AudioBitrates, 2); // 64 Kbps
    FillSingle(*boxes.ComboSamplingRate, "24000 Hz");
    SelectStereoOriginal(boxes);
}
