#include "VCD.h"
#include "OOPFillBitrateSizeFrameRate.h"

const std::array<const char*, 8> DiscFrameSizeList = {
    "128 x 96 (SQCIF)", "176 x 144 (QCIF)", "352 x 240", "352 x 288 (CIF)",
    "480 x 272",        "480 x 480",        "640 x 480", "704 x 576 (4CIF)"};

namespace {

constexpr std::array<const char*, 1> VideoCDVideoCodecs = {"MPEG1VIDEO"};
constexpr std::array<const char*, 1> SuperVideoCDVideoCodecs = {"MPEG2VIDEO"};
constexpr std::array<const char*, 1> DiscAudioCodecs = {"mp2"};
// The disc bit rates are fixed: a single entry the user cannot change.
constexpr std::array<const char*, 1> VideoCDVideoBitrates = {"1150 Kbps"};
constexpr std::array<const char*, 1> SuperVideoCDVideoBitrates = {"2040 Kbps"};
constexpr std::array<const char*, 1> DiscSamplingRates = {"44100 Hz"};

// The list routines the two discs share.
void FillDiscAudio(SettingsBoxes& boxes) {
    FillList(*boxes.ComboVideoFramerate, DiscFrameRateList, 3);       // 29.97 fps [NTSC]
    FillList(*boxes.ComboAudioBitrate, StandardAudioBitrateList, 10); // 224 Kbps
    FillList(*boxes.ComboSamplingRate, DiscSamplingRates, 0);
}

} // namespace

void FillVideoCD(SettingsBoxes& boxes) {
    FillList(*boxes.ComboVideoCodec, VideoCDVideoCodecs, 0);
    FillList(*boxes.ComboAudioCodec, DiscAudioCodecs, 0);
    FillList(*boxes.ComboVideoSize, DiscFrameSizeList, 2); // 352 x 240
    FillList(*boxes.ComboVideoBitrate, VideoCDVideoBitrates, 0);
    FillDiscAudio(boxes);
}

void FillSuperVideoCD(SettingsBoxes& boxes) {
    FillList(*boxes.ComboVideoCodec, SuperVideoCDVideoCodecs, 0);
    FillList(*boxes.ComboAudioCodec, DiscAudioCodecs, 0);
    FillList(*boxes.ComboVideoSize, DiscFrameSizeList, 2);
    boxes.ComboVideoSize->Select(5); // 480 x 480
    FillList(*boxes.ComboVideoBitrate, SuperVideoCDVideoBitrates, 0);
    FillDiscAudio(boxes);
}

void FillVCD(SettingsBoxes& boxes, std::string_view variant) {
    if (variant == "VCD")
        FillVideoCD(boxes);
    else
        FillSuperVideoCD(boxes);
}
