// Portable player and console profiles: the PSP, PS3, Zune, Archos, Zen and iRiver fills and
// the options each of these catalogue rows produces with its default selections.
#include "Archos.h"
#include "PS3.h"
#include "PSP.h"
#include "ProfileBoxExpectation.h"
#include "ZUNE.h"
#include "Zen.h"
#include "iRiver.h"

#include <gtest/gtest.h>

namespace {

ProfileBoxExpectation Psp(const char* videoBitrate, const char* frameSize) {
    return {.videoBitrate = BoxContent{{videoBitrate}, videoBitrate},
            .videoCodec = BoxContent{{"MPEG4", "H264", "XVID"}, "MPEG4"},
            .videoSize =
                BoxContent{{"160 x 112", "320 x 240", "368 x 208", "480 x 272"}, frameSize},
            .frameRate = BoxContent{{"14.985 fps", "29.97 fps"}, "29.97 fps"},
            .audioBitrate =
                BoxContent{{"32 Kbps", "48 Kbps", "64 Kbps", "96 Kbps", "128 Kbps", "160 Kbps"},
                           "64 Kbps"},
            .audioCodec = BoxContent{{"mpeg4aac"}, "mpeg4aac"},
            .samplingRate = BoxContent{{"24000 Hz"}, "24000 Hz"},
            .channelsPosition = 0,
            .aspectPosition = 0};
}

ProfileBoxExpectation Ps3(const Entries& frameSizes, const char* frameSize,
                          const char* videoBitrate) {
    return {.videoBitrate =
                BoxContent{{"1200 Kbps", "1500 Kbps", "2000 Kbps", "2500 Kbps", "3000 Kbps"},
                           videoBitrate},
            .videoCodec = BoxContent{{"H264"}, "H264"},
            .videoSize = BoxContent{frameSizes, frameSize},
            .frameRate = BoxContent{{"29.97 fps"}, "29.97 fps"},
            .audioBitrate = BoxContent{ListOf(StandardAudioBitrateList), "96 Kbps"},
            .audioCodec = BoxContent{{"mpeg4aac"}, "mpeg4aac"},
            .samplingRate = BoxContent{ListOf(SpacedSamplingRateList), "44100 Hz"},
            .channelsPosition = 0,
            .aspectPosition = 0};
}

ProfileBoxExpectation Zune(const Entries& videoCodecs, const char* audioCodec,
                           const BoxContent& frameRate, const char* videoBitrate,
                           const char* samplingRate) {
    return {.videoBitrate = BoxContent{{"256 Kbps", "512 Kbps", "768 Kbps", "1200 Kbps",
                                        "1500 Kbps", "2000 Kbps"},
                                       videoBitrate},
            .videoCodec = BoxContent{videoCodecs, videoCodecs.front()},
            .videoSize = BoxContent{{"320 x 240 ", "640 x 480"}, "320 x 240 "},
            .frameRate = frameRate,
            .audioBitrate = BoxContent{ListOf(StandardAudioBitrateList), "128 Kbps"},
            .audioCodec = BoxContent{{audioCodec}, audioCodec},
            .samplingRate = BoxContent{ListOf(SpacedSamplingRateList), samplingRate},
            .channelsPosition = 0,
            .aspectPosition = 0};
}

// The MPEG-4 and AVC fills keep their single frame rate selected.
const BoxContent ZuneSingleFrameRate{{"29.97 fps"}, "29.97 fps"};

ProfileBoxExpectation Archos(const BoxContent& videoBitrate, const char* frameSize) {
    return {.videoBitrate = videoBitrate,
            .videoCodec = BoxContent{{"MPEG4"}, "MPEG4"},
            .videoSize = BoxContent{{"Auto", "160 x 120", "320 x 240", "480 x 272", "720 x 480",
                                     "640 x 480"},
                                    frameSize},
            .frameRate = BoxContent{ListOf(StandardFrameRateList), "Auto"},
            .audioBitrate = BoxContent{ListOf(StandardAudioBitrateList), "128 Kbps"},
            .audioCodec = BoxContent{{"mp3", "mp2"}, "mp3"},
            .samplingRate = BoxContent{ListOf(StandardSamplingRateList), "48000 Hz"},
            .channelsPosition = -1,
            .aspectPosition = -1};
}

const BoxContent ArchosBaseBitrates{ListOf(StandardVideoBitrateList), "1200 Kbps"};

const ProfileCase PortableCases[] = {
    {"PSP_GoodQuality", FillPSP, "Good Quality", Psp("768 Kbps", "368 x 208")},
    {"PSP_NormalQuality", FillPSP, "Normal Quality", Psp("512 Kbps", "368 x 208")},
    {"PSP_SmallFileSize", FillPSP, "Small File Size", Psp("216 Kbps", "160 x 112")},
    {"PS3_standard", FillPS3, "standard",
     Ps3({"640 x 480", "720 x 480", "720 x 576"}, "720 x 480", "1200 Kbps")},
    {"PS3_720p", FillPS3, "720p", Ps3({"1280 x 720"}, "1280 x 720", "2000 Kbps")},
    {"PS3_1080p", FillPS3, "1080p", Ps3({"1920 x 1072"}, "1920 x 1072", "2000 Kbps")},
    {"ZUNE_MPEG4", FillZUNE, "MPEG-4",
     Zune({"MPEG4", "H264"}, "mpeg4aac", ZuneSingleFrameRate, "1500 Kbps", "44100 Hz")},
    {"ZUNE_AVC", FillZUNE, "AVC",
     Zune({"H264"}, "mpeg4aac", ZuneSingleFrameRate, "1500 Kbps", "44100 Hz")},
    {"ZUNE_WMV", FillZUNE, "WMV",
     Zune({"WMV2"}, "wmav2", {ListOf(StandardFrameRateList), "Auto"}, "1200 Kbps", "48000 Hz")},
    {"Archos_AV500", FillArchos, "AV500", Archos(ArchosBaseBitrates, "480 x 272")},
    {"Archos_AV700", FillArchos, "AV700",
     Archos({{"1000 Kbps", "1200 Kbps", "1500 Kbps", "2000 Kbps", "2500 Kbps"}, "2000 Kbps"},
            "720 x 480")},
    {"Zen", FillZen, "", Archos(ArchosBaseBitrates, "640 x 480")},
    {"iRiver", FilliRiver, "", Archos(ArchosBaseBitrates, "640 x 480")},
};

class PortableFill : public testing::TestWithParam<ProfileCase> {};

TEST_P(PortableFill, LoadsListsAndDefaultsIntoFreshBoxes) {
    ExpectFreshFill(GetParam());
}

TEST_P(PortableFill, ReplacesEarlierListsAndLeavesOtherBoxesAlone) {
    ExpectFillOverEarlierProfile(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Rows, PortableFill, testing::ValuesIn(PortableCases), CaseName);

TEST(PortableFill, ZuneWmvTwiceLeavesSevenFrameRates) {
    ListSettingsBoxes boxes;
    FillZUNE(boxes.Boxes(), "WMV");
    FillZUNE(boxes.Boxes(), "WMV");
    EXPECT_EQ(boxes.Boxes().ComboVideoFramerate->Count(), 7);
    EXPECT_EQ(boxes.Boxes().ComboVideoFramerate->CurrentText(), "Auto");
}

TEST(PortableRowOptions, DefaultSelectionsOfEveryRow) {
    const ExpectedOptions pspGood = Options("mpeg4", "libfaac", "368x208", 768000, 64000, 24000, 2);
    const ExpectedOptions ps3 = Options("libx264", "libfaac", "720x480", 1200000, 96000, 44100, 2);
    const ExpectedOptions zen =
        Options("mpeg4", "libmp3lame", "640x480", 1200000, 128000, 48000, 2);
    const RowOptionsCase rows[] = {
        // The trailing blank of "320 x 240 " is dropped with the others.
        {"Zune Mpeg4 Video (*.mp4)",
         Options("mpeg4", "libfaac", "320x240", 1500000, 128000, 44100, 2)},
        {"Zune WMV Windows Media Video (*.wmv)",
         Options("wmv2", "wmav2", "320x240", 1200000, 128000, 48000, 2)},
        {"Zune Mpeg4 AVC Video (*.mp4)",
         Options("libx264", "libfaac", "320x240", 1500000, 128000, 44100, 2)},
        {"PSP Video (*.mp4)", pspGood},
        {"PSP Video - Good Quality (*.mp4)", pspGood},
        {"PSP Video - Normal Quality (*.mp4)",
         Options("mpeg4", "libfaac", "368x208", 512000, 64000, 24000, 2)},
        {"PSP Video - Small File Size (*.mp4)",
         Options("mpeg4", "libfaac", "160x112", 216000, 64000, 24000, 2)},
        {"PS3 Video (*.mp4)", ps3},
        {"PS3 Video(480P) (*.mp4)", ps3},
        {"PS3 Video(720P) (*.mp4)",
         Options("libx264", "libfaac", "1280x720", 2000000, 96000, 44100, 2)},
        {"PS3 Video(1080P) (*.mp4)",
         Options("libx264", "libfaac", "1920x1072", 2000000, 96000, 44100, 2)},
        {"Archos AV500/GMini402 (*.avi)",
         Options("mpeg4", "libmp3lame", "480x272", 1200000, 128000, 48000, 2)},
        {"Archos AV700 (*.avi)",
         Options("mpeg4", "libmp3lame", "720x480", 2000000, 128000, 48000, 2)},
        {"Creative Zen Vision (*.avi)", zen},
        {"iRiver PMP100 (*.avi)", zen},
    };
    for (const RowOptionsCase& row : rows)
        ExpectRowOptions(row);
}

// "Auto" heads the Archos, Zen and iRiver size lists: the task keeps the input's size instead
// of getting a size text the engine cannot read.
TEST(PortableRowOptions, AutoFrameSizeKeepsTheInputSize) {
    for (const char* row : {"Archos AV500/GMini402 (*.avi)", "Archos AV700 (*.avi)",
                            "Creative Zen Vision (*.avi)", "iRiver PMP100 (*.avi)"}) {
        SCOPED_TRACE(row);
        const OutputFormatEntry* entry = FindOutputFormat(row);
        ASSERT_NE(entry, nullptr);
        ListSettingsBoxes boxes;
        entry->Fill(boxes.Boxes(), entry->Variant);
        boxes.Boxes().ComboVideoSize->Select(0);
        ASSERT_EQ(boxes.Boxes().ComboVideoSize->CurrentText(), "Auto");
        TOutputOptions options;
        ResetOutputOptions(options);
        entry->Apply(boxes.Boxes(), entry->OutputType, options, 0);
        EXPECT_EQ(options.FrameSize, "");
        EXPECT_EQ(options.VideoCodec, "mpeg4");
    }
}

// The Zune MPEG-4 and AVC rows show their one frame rate and pass it on to the task.
TEST(PortableRowOptions, ZuneSingleFrameRateReachesTheTask) {
    for (const char* row : {"Zune Mpeg4 Video (*.mp4)", "Zune Mpeg4 AVC Video (*.mp4)"}) {
        SCOPED_TRACE(row);
        ListSettingsBox formatBox;
        formatBox.Append(row);
        formatBox.Select(0);
        ListSettingsBoxes boxes;
        FormatBoxState state;
        state.ComboOutputFormat = &formatBox;
        state.Boxes = boxes.Boxes();
        FillProfileSettings(state);
        TOutputOptions options;
        ResetOutputOptions(options);
        ApplyProfileSettings(state, options, 0);
        EXPECT_EQ(options.FrameRate, "30000/1001");
    }
}

} // namespace
