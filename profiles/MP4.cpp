#include "MP4.h"
#include "OOPFillBitrateSizeFrameRate.h"

#include <array>

namespace {
constexpr std::array<const char*, 3> Mp4VideoCodecs = {"MPEG4", "H264", "XVid"};
constexpr std::array<const char*, 1> Mp4AudioCodecs = {"mpeg4aac"};
} // namespace

void FillMP4(SettingsBoxes& boxes, std::string_view /*variant*/) {
    FillList(*boxes.ComboVideoCodec, Mp4VideoCodecs, 0);
    FillList(*boxes.ComboAudioCodec, Mp4AudioCodecs, 0);
    FillBitrateSizeFrameRate(boxes);
    boxes.ComboVideoSize->Select(0);      // Original Video Size
    boxes.ComboVideoFramerate->Select(0); // Auto
    boxes.ComboVideoBitrate->Select(8);   // 1200 Kbps
    boxes.ComboAudioBitrate->Select(7);   // 128 Kbps
    boxes.ComboSamplingRate->Select(4);   // 44100 Hz
    boxes.ComboAudioChannels->Select(0);
    boxes.ComboAspectRatio->Select(0);
}
