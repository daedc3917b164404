#include "AAC.h"

#include "DeviceProfiles.h"

void FillAAC(SettingsBoxes& boxes, std::string_view /*variant*/) {
    boxes.ComboVideoCodec->Clear();
    FillSingle(*boxes.ComboAudioCodec, "aac");
    // The bit-rate and sampling-rate lists are not reloaded: positions 7 and 5 are selected in
    // whatever lists the previous profile left ("128 Kbps" and "48000 Hz" in the standard
    // lists). A shorter or empty list is left without a selection.
    boxes.ComboAudioBitrate->Select(7);
    boxes.ComboSamplingRate->Select(5);
    SelectStereoOriginal(boxes);
    boxes.ComboVideoSize->Clear();
    boxes.ComboVideoBitrate->Clear();
    boxes.ComboVideoFramerate->Clear();
}
