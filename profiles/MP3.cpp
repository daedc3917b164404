#include "MP3.h"

#include "DeviceProfiles.h"
#include "OOPFillBitrateSizeFrameRate.h"

void FillMP3(SettingsBoxes& boxes, std::string_view variant) {
    const bool mp3 = variant == "mp3";
    boxes.ComboVideoCodec->Clear();
    FillSingle(*boxes.ComboAudioCodec, mp3 ? "mp3" : "mp2");
    FillList(*boxes.ComboAudioBitrate, StandardAudioBitrateList, mp3 ? 9 : 10); // 192 / 224 Kbps
    FillList(*boxes.ComboSamplingRate, StandardSamplingRateList, 5);            // 48000 Hz
    SelectStereoOriginal(boxes);
    boxes.ComboVideoSize->Clear();
    boxes.ComboVideoBitrate->Clear();
    boxes.ComboVideoFramerate->Clear();
}
