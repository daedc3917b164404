#include "MPEG.h"
#include "OOPFillBitrateSizeFrameRate.h"

#include <array>

namespace {

constexpr std::array<const char*, 1> Mpeg1VideoCodecs = {"MPEG1VIDEO"};
constexpr std::array<const char*, 1> Mpeg2VideoCodecs = {"MPEG2VIDEO"};
constexpr std::array<const char*, 1> Mpeg1AudioCodecs = {"mp2"};
constexpr std::array<const char*, 2> Mpeg2AudioCodecs = {"mp2", "ac3"};

struct MpegVariant {
    SettingsList VideoCodecs;
    SettingsList AudioCodecs;
    int VideoBitratePosition;
};

constexpr MpegVariant Mpeg1 = {Mpeg1VideoCodecs, Mpeg1AudioCodecs, 10}; // 1600 Kbps
constexpr MpegVariant Mpeg2 = {Mpeg2VideoCodecs, Mpeg2AudioCodecs, 11}; // 2000 Kbps

} // namespace

void FillMPEG(SettingsBoxes& boxes, std::string_view variantName) {
    const MpegVariant& variant = variantName == "mpeg1" ? Mpeg1 : Mpeg2;
    FillList(*boxes.ComboVideoCodec, variant.VideoCodecs);
    FillList(*boxes.ComboAudioCodec, variant.AudioCodecs);
    FillBitrateSizeFrameRate(boxes);
    boxes.ComboVideoSize->Select(10); // 320 x 240 (VGA)
    boxes.ComboVideoCodec->Select(0);
    boxes.ComboAudioCodec->Select(0);     // mp2
    boxes.ComboVideoFramerate->Select(4); // 25.0 fps
    boxes.ComboVideoBitrate->Select(variant.VideoBitratePosition);
    boxes.ComboAudioBitrate->Select(9); // 192 Kbps
    boxes.ComboSamplingRate->Select(4); // 44100 Hz
    boxes.ComboAudioChannels->Select(0);
    boxes.ComboAspectRatio->Select(0);
}
