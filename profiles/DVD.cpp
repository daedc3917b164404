#include "DVD.h"
#include "OOPFillBitrateSizeFrameRate.h"

#include <array>

namespace {

constexpr std::array<const char*, 1> DvdVideoCodecs = {"MPEG2VIDEO"};
constexpr std::array<const char*, 2> DvdAudioCodecs = {"ac3", "mp2"};
// The disc frame sizes followed by the two DVD sizes (724, as the list has always read).
constexpr std::array<const char*, 10> DvdFrameSizes = {
    "128 x 96 (SQCIF)", "176 x 144 (QCIF)", "352 x 240",        "352 x 288 (CIF)", "480 x 272",
    "480 x 480",        "640 x 480",        "704 x 576 (4CIF)", "724 x 480",       "724 x 576"};
constexpr std::array<const char*, 1> DvdVideoBitrates = {"6000 Kbps"};
constexpr std::array<const char*, 4> DvdSamplingRates = {"44100 Hz", "48000 Hz", "54000 Hz",
                                                         "96000 Hz"};

} // namespace

void FillDVD(SettingsBoxes& boxes, std::string_view /*variant*/) {
    FillList(*boxes.ComboVideoCodec, DvdVideoCodecs, 0);
    FillList(*boxes.ComboAudioCodec, DvdAudioCodecs, 0); // ac3
    // "724 x 480" stays selected: it fits the NTSC frame rate selected below. (The general
    // lists' position 20 would lie past the end of these ten sizes and leave none.)
    FillList(*boxes.ComboVideoSize, DvdFrameSizes, 8);
    FillList(*boxes.ComboVideoBitrate, DvdVideoBitrates, 0);
    FillList(*boxes.ComboVideoFramerate, DiscFrameRateList, 3);       // 29.97 fps [NTSC]
    FillList(*boxes.ComboAudioBitrate, StandardAudioBitrateList, 10); // 224 Kbps
    FillList(*boxes.ComboSamplingRate, DvdSamplingRates, 1);          // 48000 Hz
}
