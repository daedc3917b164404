#include "AU.h"

#include "DeviceProfiles.h"
#include "OOPFillBitrateSizeFrameRate.h"

void FillAU(SettingsBoxes& boxes, std::string_view /*variant*/) {
    FillSingle(*boxes.ComboAudioCodec, "pcm_s16be");
    FillList(*boxes.ComboAudioBitrate, StandardAudioBitrateList, 7); // 128 Kbps
    FillList(*boxes.ComboSamplingRate, StandardSamplingRateList, 5); // 48000 Hz
    SelectStereoOriginal(boxes);
    ClearVideoBoxes(boxes);
}
