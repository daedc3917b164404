// Apple device profiles: the iPod, iPod touch, iPhone, Apple TV and Apple TV H264 fills, the
// handheld apply step, and the options each of these catalogue rows produces.
#include "AppleTV.h"
#include "AppleTVh264.h"
#include "AppleiPod.h"
#include "AppleiPodTOUCH.h"
#include "ProfileBoxExpectation.h"
#include "SettingMapping.h"
#include "iPhone.h"

#include <gtest/gtest.h>

namespace {

const Entries TvH264Bitrates = {"512 Kbps",  "800 Kbps",  "1200 Kbps", "1500 Kbps",
                                "2000 Kbps", "2500 Kbps", "4000 Kbps", "7000 Kbps"};

struct AppleDefaults {
    Entries videoCodecs;
    const char* frameSize; // the single entry of the frame-size box
    Entries videoBitrates;
    const char* videoBitrate;
    const char* audioBitrate;
    const char* frameRate;
    const char* samplingRate;
    bool stereoOriginal; // false: channels and aspect ratio are not touched
};

ProfileBoxExpectation Apple(const AppleDefaults& d) {
    return {.videoBitrate = BoxContent{d.videoBitrates, d.videoBitrate},
            .videoCodec = BoxContent{d.videoCodecs, d.videoCodecs.front()},
            .videoSize = BoxContent{{d.frameSize}, d.frameSize},
            .frameRate = BoxContent{ListOf(StandardFrameRateList), d.frameRate},
            .audioBitrate = BoxContent{ListOf(StandardAudioBitrateList), d.audioBitrate},
            .audioCodec = BoxContent{{"mpeg4aac"}, "mpeg4aac"},
            .samplingRate = BoxContent{ListOf(StandardSamplingRateList), d.samplingRate},
            .channelsPosition = d.stereoOriginal ? 0 : -1,
            .aspectPosition = d.stereoOriginal ? 0 : -1};
}

// Players: MPEG4 or H264 at the handheld bit rates, Auto frame rate, 44100 Hz.
ProfileBoxExpectation Player(const char* frameSize, const char* videoBitrate,
                             const char* audioBitrate, bool stereoOriginal) {
    return Apple({{"MPEG4", "H264"},
                  frameSize,
                  ListOf(HandheldVideoBitrateList),
                  videoBitrate,
                  audioBitrate,
                  "Auto",
                  "44100 Hz",
                  stereoOriginal});
}

ProfileBoxExpectation Tv(const char* videoBitrate, const char* audioBitrate) {
    return Apple({{"MPEG4"},
                  "640 x 480",
                  ListOf(HandheldVideoBitrateList),
                  videoBitrate,
                  audioBitrate,
                  "Auto",
                  "44100 Hz",
                  true});
}

ProfileBoxExpectation TvH264(const char* frameSize, const char* videoBitrate,
                             const char* frameRate) {
    return Apple({{"H264"},
                  frameSize,
                  TvH264Bitrates,
                  videoBitrate,
                  "64 Kbps",
                  frameRate,
                  "48000 Hz",
                  true});
}

const ProfileCase AppleCases[] = {
    {"iPod_Normal", FillAppleiPod, "Normal", Player("320 x 240", "512 Kbps", "64 Kbps", false)},
    {"iPod_Extra", FillAppleiPod, "Extra", Player("640 x 480", "1500 Kbps", "64 Kbps", false)},
    {"iPod_WideScreen", FillAppleiPod, "Wide Screen",
     Player("720 x 406", "1500 Kbps", "128 Kbps", true)},
    {"iPodTouch_Normal", FillAppleiPodTOUCH, "Normal",
     Player("480 x 320", "1200 Kbps", "80 Kbps", false)},
    {"iPodTouch_Extra", FillAppleiPodTOUCH, "Extra",
     Player("640 x 480", "1500 Kbps", "80 Kbps", false)},
    {"iPodTouch_WideScreen", FillAppleiPodTOUCH, "Wide Screen",
     Player("720 x 406", "1500 Kbps", "128 Kbps", true)},
    {"iPhone_480x320", FilliPhone, "480 x 320", Player("480 x 320", "1200 Kbps", "80 Kbps", true)},
    {"iPhone_640x480", FilliPhone, "640 x 480", Player("640 x 480", "1500 Kbps", "128 Kbps", true)},
    {"iPhone_720x480", FilliPhone, "720 x 480", Player("720 x 480", "1500 Kbps", "128 Kbps", true)},
    {"AppleTV_Good", FillAppleTV, "Good", Tv("1500 Kbps", "128 Kbps")},
    {"AppleTV_Normal", FillAppleTV, "Normal", Tv("1200 Kbps", "96 Kbps")},
    {"AppleTVh264_320x240", FillAppleTVh264, "320 x 240",
     TvH264("320 x 240", "1200 Kbps", "29.97 fps")},
    {"AppleTVh264_640x480", FillAppleTVh264, "640 x 480",
     TvH264("640 x 480", "2000 Kbps", "29.97 fps")},
    {"AppleTVh264_1280x720", FillAppleTVh264, "1280 x 720",
     TvH264("1280 x 720", "2500 Kbps", "23.975 fps")},
};

class AppleFill : public testing::TestWithParam<ProfileCase> {};

TEST_P(AppleFill, LoadsListsAndDefaultsIntoFreshBoxes) {
    ExpectFreshFill(GetParam());
}

TEST_P(AppleFill, ReplacesEveryListOfAnEarlierProfile) {
    ExpectFillOverEarlierProfile(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Rows, AppleFill, testing::ValuesIn(AppleCases), CaseName);

// Fresh boxes holding the iPod Wide Screen lists and defaults.
class HandheldApply : public testing::Test {
protected:
    HandheldApply() {
        FillAppleiPod(Boxes(), "Wide Screen");
        ResetOutputOptions(m_options);
    }
    SettingsBoxes& Boxes() { return m_boxes.Boxes(); }
    const TOutputOptions& Apply() {
        ApplyHandheldSettings(Boxes(), "MP4", m_options, 0);
        return m_options;
    }
    static void SetOnly(SettingsBox* box, const std::string& text) {
        box->Clear();
        box->Append(text);
        box->Select(0);
    }

    ListSettingsBoxes m_boxes;
    TOutputOptions m_options;
};

TEST_F(HandheldApply, WideScreenDefaultsKeep406Lines) {
    ExpectOptions(Apply(), Options("mpeg4", "libfaac", "720x406", 1500000, 128000, 44100, 2));
}

TEST_F(HandheldApply, ChannelsBoxChoiceIsWritten) {
    for (const auto& [position, channels] : {std::pair{0, 2}, std::pair{1, 1}}) {
        Boxes().ComboAudioChannels->Select(position);
        EXPECT_EQ(Apply().AudioChannels, channels);
    }
}

TEST_F(HandheldApply, AacWhateverTheAudioCodecBoxShowsAndCodecLabelsMapped) {
    SetOnly(Boxes().ComboAudioCodec, "mp3");
    Boxes().ComboVideoCodec->Select(1); // "H264"
    EXPECT_EQ(Apply().AudioCodec, "libfaac");
    EXPECT_EQ(m_options.VideoCodec, "libx264");
    SetOnly(Boxes().ComboVideoCodec, "XVID");
    EXPECT_EQ(Apply().VideoCodec, "libxvid");
    SetOnly(Boxes().ComboVideoCodec, "WMV2");
    EXPECT_EQ(Apply().VideoCodec, "wmv2");
}

TEST_F(HandheldApply, BothBitratesAreKbps) {
    const std::pair<int, int32_t> audio[] = {{0, 32000}, {3, 64000}, {12, 320000}};
    for (const auto& [position, bitsPerSecond] : audio) {
        Boxes().ComboAudioBitrate->Select(position);
        EXPECT_EQ(Apply().AudioBitrate, bitsPerSecond);
    }
    const int32_t video[] = {512000, 800000, 1200000, 1500000, 2500000};
    for (int i = 0; i < 5; ++i) {
        Boxes().ComboVideoBitrate->Select(i);
        EXPECT_EQ(Apply().VideoBitrate, video[i]);
    }
}

TEST_F(HandheldApply, TextWithoutANumberRaisesConversionError) {
    const std::pair<SettingsBox*, const char*> cases[] = {
        {Boxes().ComboVideoBitrate, "best Kbps"},
        {Boxes().ComboAudioBitrate, "abc Kbps"},
        {Boxes().ComboSamplingRate, "44100Hz"}, // no blank: nothing before it
        {Boxes().ComboSamplingRate, "-x Hz"},
    };
    for (const auto& [box, text] : cases) {
        SetOnly(box, text);
        try {
            Apply();
            ADD_FAILURE() << "no error for \"" << text << "\"";
        } catch (const SettingConversionError& error) {
            EXPECT_NE(std::string(error.what()).find(text), std::string::npos) << error.what();
        }
        FillAppleiPod(Boxes(), "Wide Screen");
    }
}

TEST(AppleRowOptions, DefaultSelectionsOfEveryRow) {
    const RowOptionsCase rows[] = {
        {"iPod (*.mp4)", Options("mpeg4", "libfaac", "320x240", 512000, 64000, 44100, 2)},
        {"iPod Extra (640 x 480) (*.mp4)",
         Options("mpeg4", "libfaac", "640x480", 1500000, 64000, 44100, 2)},
        {"iPod Wide Screen (*.mp4)",
         Options("mpeg4", "libfaac", "720x406", 1500000, 128000, 44100, 2)},
        {"iPod Video For TV (*.mp4)",
         Options("mpeg4", "libfaac", "640x480", 1500000, 64000, 44100, 2)},
        {"Apple TV H264 (320 x 240) (*.mp4)",
         Options("libx264", "libfaac", "320x240", 1200000, 64000, 48000, 2)},
        {"Apple TV H264 (640 x 480) (*.mp4)",
         Options("libx264", "libfaac", "640x480", 2000000, 64000, 48000, 2)},
        {"Apple TV H264 (1280 x 720) (*.mp4)",
         Options("libx264", "libfaac", "1280x720", 2500000, 64000, 48000, 2)},
        {"Apple TV (*.mp4)", Options("mpeg4", "libfaac", "640x480", 1500000, 128000, 44100, 2)},
        {"Apple TV (Normal Quality) (*.mp4)",
         Options("mpeg4", "libfaac", "640x480", 1200000, 96000, 44100, 2)},
        {"Apple TV (High Quality) (*.mp4)",
         Options("mpeg4", "libfaac", "640x480", 1500000, 128000, 44100, 2)},
        {"iPod Touch (*.mp4)", Options("mpeg4", "libfaac", "480x320", 1200000, 80000, 44100, 2)},
        {"iPod Touch Extra (640 x 480) (*.mp4)",
         Options("mpeg4", "libfaac", "640x480", 1500000, 80000, 44100, 2)},
        {"iPod Touch Wide Screen (*.mp4)",
         Options("mpeg4", "libfaac", "720x406", 1500000, 128000, 44100, 2)},
        // The iPhone rows go through the common mapping, which does set the channels.
        {"iPhone (*.mp4)", Options("mpeg4", "libfaac", "480x320", 1200000, 80000, 44100, 2)},
        {"iPhone Extra (640 x 480) (*.mp4)",
         Options("mpeg4", "libfaac", "640x480", 1500000, 128000, 44100, 2)},
        {"iPhone Wide Screen (*.mp4)",
         Options("mpeg4", "libfaac", "720x480", 1500000, 128000, 44100, 2)},
    };
    for (const RowOptionsCase& row : rows)
        ExpectRowOptions(row);
}

TEST(AppleRowOptions, MonoReachesIPhoneIPodAndAppleTvTasks) {
    const auto monoAfterFill = [](const char* displayName) {
        const OutputFormatEntry* entry = FindOutputFormat(displayName);
        EXPECT_NE(entry, nullptr);
        if (entry == nullptr)
            return 0;
        ListSettingsBoxes boxes;
        entry->Fill(boxes.Boxes(), entry->Variant);
        boxes.Boxes().ComboAudioChannels->Select(1);
        TOutputOptions options;
        ResetOutputOptions(options);
        entry->Apply(boxes.Boxes(), entry->OutputType, options, 0);
        return static_cast<int>(options.AudioChannels);
    };
    EXPECT_EQ(monoAfterFill("iPhone (*.mp4)"), 1);
    EXPECT_EQ(monoAfterFill("iPod Wide Screen (*.mp4)"), 1);
    EXPECT_EQ(monoAfterFill("Apple TV (*.mp4)"), 1);
    EXPECT_EQ(monoAfterFill("iPod Touch (*.mp4)"), 1);
}

} // namespace
