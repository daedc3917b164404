#include "DVD.h"
#include "OOPFillBitrateSizeFrameRate.h"

#include <array>

namespace {

constexpr std::array<const char*, 1> DvdVideoCodecs = {"MPEG2VIDEO"};
constexpr std::array<const char*, 2> DvdAudioCodecs = {"ac3", "mp2"};
// The disc frame sizes followed by "724 x 480" and "724 x 576" (724, as the list has always
// read; neither is a size a DVD player takes).
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
    // The list routine selects "724 x 480"; the default then moves to "352 x 240", the one
    // entry that is a DVD-Video frame size for the NTSC rate selected below, so that the
    // defaults give a disc a player accepts. (The general lists' position 20 would lie past
    // the end of these ten sizes and leave no size selected.)
    FillList(*boxes.ComboVideoSize, DvdFrameSizes, 8);
    boxes.ComboVideoSize->Select(2); // 352 x 240
    FillList(*boxes.ComboVideoBitrate, DvdVideoBitrates, 0);
    FillList(*boxes.ComboVideoFramerate, DiscFrameRateList, 3);       // 29.97 fps [NTSC]
    FillList(*boxes.ComboAudioBitrate, StandardAudioBitrateList, 10); // 224 Kbps
    FillList(*boxes.ComboSamplingRate, DvdSamplingRates, 1);          // 48000 Hz
}
