#include "AVI.h"
#include "OOPFillBitrateSizeFrameRate.h"

#include <array>

namespace {

constexpr std::array<const char*, 2> NormalVideoCodecs = {"MPEG4", "H264"};
constexpr std::array<const char*, 1> DivxVideoCodecs = {"MPEG4"};
constexpr std::array<const char*, 1> XvidVideoCodecs = {"XVID"};
constexpr std::array<const char*, 1> UncompressedVideoCodecs = {"RAWVIDEO"};
constexpr std::array<const char*, 4> PcmFirstAudioCodecs = {"pcm_s16le", "mp3", "mp2", "ac3"};
constexpr std::array<const char*, 1> Mp3AudioCodecs = {"mp3"};

struct AviVariant {
    std::string_view Name;
    SettingsList VideoCodecs;
    SettingsList AudioCodecs;
};

constexpr std::array<AviVariant, 4> AviVariants = {{
    {"normal", NormalVideoCodecs, PcmFirstAudioCodecs},
    {"divx", DivxVideoCodecs, Mp3AudioCodecs},
    {"xvid", XvidVideoCodecs, Mp3AudioCodecs},
    {"uncompress", UncompressedVideoCodecs, PcmFirstAudioCodecs},
}};

// The standard video bit-rate list without 1600 and 2000 Kbps.
constexpr std::array<const char*, 11> AviVideoBitrates = {
    "192 Kbps", "200 Kbps",  "216 Kbps",  "384 Kbps",  "512 Kbps", "640 Kbps",
    "768 Kbps", "1000 Kbps", "1200 Kbps", "1500 Kbps", "2500 Kbps"};

const AviVariant& FindVariant(std::string_view name) {
    for (const AviVariant& variant : AviVariants)
        if (variant.Name == name)
            return variant;
    return AviVariants[0];
}

} // namespace

void FillAVI(SettingsBoxes& boxes, std::string_view variantName) {
    const AviVariant& variant = FindVariant(variantName);
    boxes.ComboVideoCodec->Clear();
    boxes.ComboAudioCodec->Clear();
    FillList(*boxes.ComboVideoCodec, variant.VideoCodecs, 0);
    FillList(*boxes.ComboAudioCodec, variant.AudioCodecs, 0);
    FillList(*boxes.ComboVideoBitrate, AviVideoBitrates);
    FillList(*boxes.ComboVideoSize, StandardFrameSizeList, 0); // Original Video Size
    FillList(*boxes.ComboVideoFramerate, StandardFrameRateList);
    FillList(*boxes.ComboAudioBitrate, StandardAudioBitrateList, 7); // 128 Kbps
    FillList(*boxes.ComboSamplingRate, StandardSamplingRateList, 5); // 48000 Hz

    boxes.ComboVideoFramerate->Select(0); // Auto
    boxes.ComboVideoBitrate->Select(8);   // 1200 Kbps
    boxes.ComboAudioBitrate->Select(7);
    boxes.ComboSamplingRate->Select(5);
    boxes.ComboAudioChannels->Select(0);
    boxes.ComboAspectRatio->Select(0);
}
