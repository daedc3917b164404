#include "OGG.h"

#include "DeviceProfiles.h"
#include "OOPFillBitrateSizeFrameRate.h"

void FillOGG(SettingsBoxes& boxes, std::string_view /*variant*/) {
    FillSingle(*boxes.ComboAudioCodec, "vorbis");
    FillList(*boxes.ComboAudioBitrate, StandardAudioBitrateList, 8); // 160 Kbps
    FillList(*boxes.ComboSamplingRate, StandardSamplingRateList, 5); // 48000 Hz
    SelectStereoOriginal(boxes);
    ClearVideoBoxes(boxes);
}
