#include "OOPFillBitrateSizeFrameRate.h"

const std::array<const char*, 23> StandardFrameSizeList = {
    "Original Video Size", "128 x 96 (SQCIF)", "160 x 120 (QVGA)", "176 x 120",
    "176 x 144 (QCIF)",    "192 x 144",        "208 x 176",        "220 x 176",
    "240 x 180",           "320 x 200",        "320 x 240 (VGA)",  "352 x 240",
    "352 x 288 (CIF)",     "480 x 272",        "480 x 360",        "480 x 480",
    "480 x 576",           "624 x 352",        "640 x 352",        "640 x 480",
    "704 x 576 (4CIF)",    "720 x 480",        "720 x 576"};

const std::array<const char*, 13> StandardVideoBitrateList = {
    "192 Kbps",  "200 Kbps",  "216 Kbps",  "384 Kbps",  "512 Kbps",  "640 Kbps", "768 Kbps",
    "1000 Kbps", "1200 Kbps", "1500 Kbps", "1600 Kbps", "2000 Kbps", "2500 Kbps"};

const std::array<const char*, 7> StandardFrameRateList = {
    "Auto", "14.985 fps", "15.0 fps", "23.975 fps", "25.0 fps", "29.97 fps", "30.0 fps"};

const std::array<const char*, 13> StandardAudioBitrateList = {
    "32 Kbps",  "40 Kbps",  "48 Kbps",  "64 Kbps",  "80 Kbps",  "96 Kbps", "112 Kbps",
    "128 Kbps", "160 Kbps", "192 Kbps", "224 Kbps", "256 Kbps", "320 Kbps"};

const std::array<const char*, 8> StandardSamplingRateList = {
    "8000 Hz", "16000 Hz", "22050 Hz", "32000 Hz", "44100 Hz", "48000 Hz", "54000 Hz", "96000 Hz"};

const std::array<const char*, 8> SpacedSamplingRateList = {
    "8000  Hz", "16000 Hz", "22050 Hz", "32000 Hz", "44100 Hz", "48000 Hz", "54000 Hz", "96000 Hz"};

const std::array<const char*, 5> HandheldVideoBitrateList = {"512 Kbps", "800 Kbps", "1200 Kbps",
                                                             "1500 Kbps", "2500 Kbps"};

const std::array<const char*, 7> DiscFrameRateList = {
    "23.976 fps [NTSC]", "24 fps", "25 fps [PAL]", "29.97 fps [NTSC]",
    "30.0 fps",          "50 fps", "59.94 fps"};

void FillList(SettingsBox& box, SettingsList entries) {
    box.Clear();
    for (const char* entry : entries)
        box.Append(entry);
}

void FillList(SettingsBox& box, SettingsList entries, int position) {
    FillList(box, entries);
    box.Select(position);
}

void FillBitrateSizeFrameRate(SettingsBoxes& boxes) {
    FillList(*boxes.ComboVideoSize, StandardFrameSizeList);
    FillList(*boxes.ComboVideoBitrate, StandardVideoBitrateList);
    FillList(*boxes.ComboVideoFramerate, StandardFrameRateList);
    FillList(*boxes.ComboAudioBitrate, StandardAudioBitrateList);
    FillList(*boxes.ComboSamplingRate, StandardSamplingRateList);
}
