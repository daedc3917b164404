#include "ZUNE.h"

#include "DeviceProfiles.h"
#include "OOPFillBitrateSizeFrameRate.h"

namespace {

// The first size carries a trailing blank; the frame-size mapping drops blanks.
constexpr std::array<const char*, 2> FrameSizes = {"320 x 240 ", "640 x 480"};
constexpr std::array<const char*, 6> VideoBitrates = {"256 Kbps",  "512 Kbps",  "768 Kbps",
                                                      "1200 Kbps", "1500 Kbps", "2000 Kbps"};
constexpr std::array<const char*, 2> Mpeg4VideoCodecs = {"MPEG4", "H264"};
constexpr std::array<const char*, 1> AvcVideoCodecs = {"H264"};

// The list routines the three fills share, each with its own selection.
void fillSharedLists(SettingsBoxes& boxes) {
    FillList(*boxes.ComboVideoSize, FrameSizes, 0);
    FillList(*boxes.ComboVideoBitrate, VideoBitrates, 3);
}

// MPEG-4 and AVC: they differ only in the video codecs offered.
void fillMpeg4Kind(SettingsBoxes& boxes, SettingsList videoCodecs) {
    FillList(*boxes.ComboVideoCodec, videoCodecs, 0);
    FillSingle(*boxes.ComboAudioCodec, "mpeg4aac");
    fillSharedLists(boxes);
    FillSingle(*boxes.ComboVideoFramerate, "29.97 fps");
    FillList(*boxes.ComboAudioBitrate, StandardAudioBitrateList, 7);
    FillList(*boxes.ComboSamplingRate, SpacedSamplingRateList, 4);
    // Final selections. The frame rate stays on the single "29.97 fps" entry (the player's
    // rate, passed on to the task); asking for a later position would leave no rate shown.
    boxes.ComboVideoFramerate->Select(0);
    boxes.ComboVideoBitrate->Select(4); // 1500 Kbps
    boxes.ComboAudioBitrate->Select(7); // 128 Kbps
    boxes.ComboSamplingRate->Select(4); // 44100 Hz
    SelectStereoOriginal(boxes);
}

void fillMpeg4(SettingsBoxes& boxes) {
    fillMpeg4Kind(boxes, Mpeg4VideoCodecs);
}

void fillAvc(SettingsBoxes& boxes) {
    fillMpeg4Kind(boxes, AvcVideoCodecs);
}

void fillWmv(SettingsBoxes& boxes) {
    FillSingle(*boxes.ComboVideoCodec, "WMV2");
    FillSingle(*boxes.ComboAudioCodec, "wmav2");
    fillSharedLists(boxes); // 320 x 240, 1200 Kbps
    FillList(*boxes.ComboAudioBitrate, StandardAudioBitrateList, 7);
    FillList(*boxes.ComboSamplingRate, SpacedSamplingRateList, 4);
    FillList(*boxes.ComboVideoFramerate, StandardFrameRateList, 0); // Auto
    SelectStereoOriginal(boxes);
    boxes.ComboSamplingRate->Select(5); // 48000 Hz
}

struct ZuneVariant {
    std::string_view Variant;
    void (*Fill)(SettingsBoxes&);
};

constexpr std::array<ZuneVariant, 3> Variants = {{
    {"MPEG-4", fillMpeg4},
    {"AVC", fillAvc},
    {"WMV", fillWmv},
}};

} // namespace

void FillZUNE(SettingsBoxes& boxes, std::string_view variant) {
    VariantRow(Variants, variant).Fill(boxes);
}
