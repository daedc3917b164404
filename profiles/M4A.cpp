#include "M4A.h"

#include "DeviceProfiles.h"
#include "OOPFillBitrateSizeFrameRate.h"

void FillM4A(SettingsBoxes& boxes, std::string_view /*variant*/) {
    // Loads the standard lists for the sound boxes; the video lists it loads as well are
    // emptied again at the end, as this output carries no picture.
    FillBitrateSizeFrameRate(boxes);
    FillSingle(*boxes.ComboAudioCodec, "mpeg4aac");
    boxes.ComboAudioBitrate->Select(7); // 128 Kbps
    boxes.ComboSamplingRate->Select(5); // 48000 Hz
    SelectStereoOriginal(boxes);
    ClearVideoBoxes(boxes);
}
