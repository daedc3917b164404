#include "AAC.h"

#include "DeviceProfiles.h"
#include "OOPFillBitrateSizeFrameRate.h"

void FillAAC(SettingsBoxes& boxes, std::string_view /*variant*/) {
    boxes.ComboVideoCodec->Clear();
    FillSingle(*boxes.ComboAudioCodec, "aac");
    // The sound lists are loaded before positions 7 and 5 are selected, so that the defaults
    // are always "128 Kbps" and "48000 Hz". Selecting those positions in whatever lists the
    // previous profile left would pick an unrelated entry, or none at all after a profile with
    // shorter lists (the three Flash sampling rates), and the task could not be built.
    FillList(*boxes.ComboAudioBitrate, StandardAudioBitrateList, 7); // 128 Kbps
    FillList(*boxes.ComboSamplingRate, StandardSamplingRateList, 5); // 48000 Hz
    SelectStereoOriginal(boxes);
    boxes.ComboVideoSize->Clear();
    boxes.ComboVideoBitrate->Clear();
    boxes.ComboVideoFramerate->Clear();
}
