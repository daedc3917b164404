#include "GP3.h"

#include "DeviceProfiles.h"
#include "OOPFillBitrateSizeFrameRate.h"

const std::array<const char*, 8> MobileAudioBitrateList = {"4750 bps",  "5150 bps", "5900 bps",
                                                           "6700 bps",  "7400 bps", "7950 bps",
                                                           "10200 bps", "12200 bps"};

namespace {

constexpr std::array<const char*, 3> VideoCodecs = {"MPEG4", "H263", "H264"};
constexpr std::array<const char*, 2> AudioCodecs = {"amr_nb", "mpeg4aac"};
constexpr std::array<const char*, 7> FrameSizes = {
    "128 x 96 (SQCIF)", "160 x 120 (QVGA)", "176 x 144 (QCIF)", "208 x 176",
    "220 x 176",        "320 x 240 (VGA)",  "352 x 288 (CIF)"};
constexpr std::array<const char*, 6> VideoBitrates = {"48 Kbps",  "64 Kbps",  "96 Kbps",
                                                      "128 Kbps", "256 Kbps", "512 Kbps"};
constexpr std::array<const char*, 4> FrameRates = {"Auto", "11 fps", "14.985 fps", "15 fps"};
// The sampling rates read "bps" (sic); the first has two blanks. Only the number is used.
constexpr std::array<const char*, 2> SamplingRates = {"8000  bps", "16000 bps"};

} // namespace

void FillGP3(SettingsBoxes& boxes, std::string_view /*variant*/) {
    // 3GP and 3G2 share every list; only their output labels differ.
    FillList(*boxes.ComboVideoCodec, VideoCodecs, 0);
    FillList(*boxes.ComboAudioCodec, AudioCodecs, 0);
    FillList(*boxes.ComboVideoSize, FrameSizes, 2);
    FillList(*boxes.ComboVideoBitrate, VideoBitrates, 3);
    FillList(*boxes.ComboVideoFramerate, FrameRates, 0);
    FillList(*boxes.ComboAudioBitrate, MobileAudioBitrateList, 4);
    FillList(*boxes.ComboSamplingRate, SamplingRates, 0);
    // The AMR narrow-band encoder these rows write takes one channel only.
    FillSingle(*boxes.ComboAudioChannels, "Mono");
}

void ApplyMobileSettings(const SettingsBoxes& boxes, const std::string& /*outputLabel*/,
                         TOutputOptions& options, int /*rowIndex*/) {
    // Phones get AMR narrow-band sound in one channel, whatever the audio boxes show; the AMR
    // bit rates are listed in bits per second already.
    ApplyDeviceSettings(boxes, {"libamr_nb", false, 1}, options);
}
