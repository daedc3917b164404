#include "BlackBerry.h"

#include "DeviceProfiles.h"
#include "GP3.h"
#include "OOPFillBitrateSizeFrameRate.h"

namespace {

constexpr std::array<const char*, 6> VideoBitrates = {"80 Kbps",  "120 Kbps", "200 Kbps",
                                                      "256 Kbps", "300 Kbps", "512 Kbps"};
constexpr std::array<const char*, 3> FrameSizes = {"176 x 144", "240 x 180", "320 x 240"};
constexpr std::array<const char*, 5> FrameRates = {"11 fps", "15 fps", "20 fps", "24 fps",
                                                   "25 fps"};
constexpr std::array<const char*, 6> AudioBitrates = {"40 Kbps", "48 Kbps", "64 Kbps",
                                                      "80 Kbps", "96 Kbps", "112 Kbps"};

constexpr std::array<const char*, 2> PhoneVideoCodecs = {"MPEG4", "H263"};
constexpr std::array<const char*, 2> PhoneAudioCodecs = {"amr_nb", "mpeg4aac"};
constexpr std::array<const char*, 7> PhoneVideoBitrates = {
    "48 Kbps", "64 Kbps", "96 Kbps", "120 Kbps", "128 Kbps", "256 Kbps", "512 Kbps"};
constexpr std::array<const char*, 6> PhoneFrameRates = {"Auto",   "11 fps", "15 fps",
                                                        "20 fps", "24 fps", "25 fps"};
// The first entry has two blanks.
constexpr std::array<const char*, 2> PhoneSamplingRates = {"8000  Hz", "16000 Hz"};

// MPEG-4 and AVI: one video codec, the common bit rates, frame rates and standard sampling
// rates; they differ in codecs and frame sizes.
void fillVideoVariant(SettingsBoxes& boxes, std::string_view videoCodec, SettingsList audioCodecs,
                      SettingsList frameSizes, int frameSizePosition) {
    FillSingle(*boxes.ComboVideoCodec, videoCodec);
    FillList(*boxes.ComboAudioCodec, audioCodecs, 0);
    FillList(*boxes.ComboVideoBitrate, VideoBitrates, 4);
    FillList(*boxes.ComboVideoSize, frameSizes, frameSizePosition);
    FillList(*boxes.ComboVideoFramerate, FrameRates, 3);
    FillList(*boxes.ComboAudioBitrate, AudioBitrates, 3);
    FillList(*boxes.ComboSamplingRate, StandardSamplingRateList, 4);
}

void fillMpeg4(SettingsBoxes& boxes) {
    static constexpr std::array<const char*, 1> audioCodecs = {"mpeg4aac"};
    fillVideoVariant(boxes, "MPEG4", audioCodecs, FrameSizes, 2);
}

void fillAvi(SettingsBoxes& boxes) {
    static constexpr std::array<const char*, 2> audioCodecs = {"mp3", "pcm_s16le"};
    static constexpr std::array<const char*, 1> frameSizes = {"176 x 144"};
    fillVideoVariant(boxes, "H263", audioCodecs, frameSizes, 0);
}

void fill3gp(SettingsBoxes& boxes) {
    FillList(*boxes.ComboVideoCodec, PhoneVideoCodecs, 0);
    FillList(*boxes.ComboAudioCodec, PhoneAudioCodecs, 0);
    FillList(*boxes.ComboVideoBitrate, PhoneVideoBitrates, 3);
    FillList(*boxes.ComboVideoSize, FrameSizes, 0);
    FillList(*boxes.ComboVideoFramerate, PhoneFrameRates, 2);
    FillList(*boxes.ComboAudioBitrate, MobileAudioBitrateList, 0);
    FillList(*boxes.ComboSamplingRate, PhoneSamplingRates, 0);
    // 3GP files get one channel, whichever codec is chosen.
    FillSingle(*boxes.ComboAudioChannels, "Mono");
}

void fillAmr(SettingsBoxes& boxes) {
    ClearVideoBoxes(boxes);
    FillSingle(*boxes.ComboAudioCodec, "amr_nb");
    // The AMR rates without the lowest one, 4750 bps.
    FillList(*boxes.ComboAudioBitrate, SettingsList(MobileAudioBitrateList).subspan(1), 1);
    FillList(*boxes.ComboSamplingRate, PhoneSamplingRates, 0);
    // The AMR narrow-band encoder takes one channel only.
    FillSingle(*boxes.ComboAudioChannels, "Mono");
}

struct BlackBerryVariant {
    std::string_view Variant;
    void (*Fill)(SettingsBoxes&);
};

constexpr std::array<BlackBerryVariant, 4> Variants = {{
    {"MPEG-4", fillMpeg4},
    {"AVI", fillAvi},
    {"3GP", fill3gp},
    {"AMR", fillAmr},
}};

} // namespace

void FillBlackBerry(SettingsBoxes& boxes, std::string_view variant) {
    // No variant touches the aspect-ratio box; the 3GP and AMR variants offer "Mono" only.
    VariantRow(Variants, variant).Fill(boxes);
}
