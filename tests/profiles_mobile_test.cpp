// Mobile phone profiles: the 3GP/3G2 and BlackBerry fills, the mobile apply step, and the
// options each of these catalogue rows produces with its default selections.
#include "BlackBerry.h"
#include "GP3.h"
#include "ProfileBoxExpectation.h"
#include "SettingMapping.h"

#include <gtest/gtest.h>

namespace {

const Entries AmrBitrates = {"4750 bps", "5150 bps", "5900 bps",  "6700 bps",
                             "7400 bps", "7950 bps", "10200 bps", "12200 bps"};

const ProfileBoxExpectation Gp3Boxes{
    .videoBitrate =
        BoxContent{{"48 Kbps", "64 Kbps", "96 Kbps", "128 Kbps", "256 Kbps", "512 Kbps"},
                   "128 Kbps"},
    .videoCodec = BoxContent{{"MPEG4", "H263", "H264"}, "MPEG4"},
    .videoSize = BoxContent{{"128 x 96 (SQCIF)", "160 x 120 (QVGA)", "176 x 144 (QCIF)",
                             "208 x 176", "220 x 176", "320 x 240 (VGA)", "352 x 288 (CIF)"},
                            "176 x 144 (QCIF)"},
    .frameRate = BoxContent{{"Auto", "11 fps", "14.985 fps", "15 fps"}, "Auto"},
    .audioBitrate = BoxContent{AmrBitrates, "7400 bps"},
    .audioCodec = BoxContent{{"amr_nb", "mpeg4aac"}, "amr_nb"},
    .samplingRate = BoxContent{{"8000  bps", "16000 bps"}, "8000  bps"},
    .channelsPosition = 0,
    .channels = Entries{"Mono"}, // what the AMR encoder takes
};

const BoxContent BlackBerryVideoBitrates{
    {"80 Kbps", "120 Kbps", "200 Kbps", "256 Kbps", "300 Kbps", "512 Kbps"}, "300 Kbps"};
const BoxContent BlackBerryFrameRates{{"11 fps", "15 fps", "20 fps", "24 fps", "25 fps"}, "24 fps"};
const BoxContent BlackBerryAudioBitrates{
    {"40 Kbps", "48 Kbps", "64 Kbps", "80 Kbps", "96 Kbps", "112 Kbps"}, "80 Kbps"};
const BoxContent StandardSampling44100{ListOf(StandardSamplingRateList), "44100 Hz"};
const Entries BlackBerrySizes = {"176 x 144", "240 x 180", "320 x 240"};
const Entries PhoneSampling = {"8000  Hz", "16000 Hz"};

const ProfileCase MobileCases[] = {
    {"GP3_3GP", FillGP3, "3GP", Gp3Boxes},
    {"GP3_3G2", FillGP3, "3G2", Gp3Boxes},
    {"BlackBerry_MPEG4",
     FillBlackBerry,
     "MPEG-4",
     {.videoBitrate = BlackBerryVideoBitrates,
      .videoCodec = BoxContent{{"MPEG4"}, "MPEG4"},
      .videoSize = BoxContent{BlackBerrySizes, "320 x 240"},
      .frameRate = BlackBerryFrameRates,
      .audioBitrate = BlackBerryAudioBitrates,
      .audioCodec = BoxContent{{"mpeg4aac"}, "mpeg4aac"},
      .samplingRate = StandardSampling44100}},
    {"BlackBerry_AVI",
     FillBlackBerry,
     "AVI",
     {.videoBitrate = BlackBerryVideoBitrates,
      .videoCodec = BoxContent{{"H263"}, "H263"},
      .videoSize = BoxContent{{"176 x 144"}, "176 x 144"},
      .frameRate = BlackBerryFrameRates,
      .audioBitrate = BlackBerryAudioBitrates,
      .audioCodec = BoxContent{{"mp3", "pcm_s16le"}, "mp3"},
      .samplingRate = StandardSampling44100}},
    {"BlackBerry_3GP",
     FillBlackBerry,
     "3GP",
     {.videoBitrate = BoxContent{{"48 Kbps", "64 Kbps", "96 Kbps", "120 Kbps", "128 Kbps",
                                  "256 Kbps", "512 Kbps"},
                                 "120 Kbps"},
      .videoCodec = BoxContent{{"MPEG4", "H263"}, "MPEG4"},
      .videoSize = BoxContent{BlackBerrySizes, "176 x 144"},
      .frameRate = BoxContent{{"Auto", "11 fps", "15 fps", "20 fps", "24 fps", "25 fps"}, "15 fps"},
      .audioBitrate = BoxContent{AmrBitrates, "4750 bps"},
      .audioCodec = BoxContent{{"amr_nb", "mpeg4aac"}, "amr_nb"},
      .samplingRate = BoxContent{PhoneSampling, "8000  Hz"},
      .channelsPosition = 0,
      .channels = Entries{"Mono"}}},
    {"BlackBerry_AMR",
     FillBlackBerry,
     "AMR",
     {.videoBitrate = Emptied,
      .videoCodec = Emptied,
      .videoSize = Emptied,
      .frameRate = Emptied,
      .audioBitrate = BoxContent{{"5150 bps", "5900 bps", "6700 bps", "7400 bps", "7950 bps",
                                  "10200 bps", "12200 bps"},
                                 "5900 bps"},
      .audioCodec = BoxContent{{"amr_nb"}, "amr_nb"},
      .samplingRate = BoxContent{PhoneSampling, "8000  Hz"},
      .channelsPosition = 0,
      .channels = Entries{"Mono"}}},
};

class MobileFill : public testing::TestWithParam<ProfileCase> {};

TEST_P(MobileFill, LoadsListsAndDefaultsIntoFreshBoxes) {
    ExpectFreshFill(GetParam());
}

TEST_P(MobileFill, ReplacesEarlierListsAndLeavesOtherBoxesAlone) {
    ExpectFillOverEarlierProfile(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Rows, MobileFill, testing::ValuesIn(MobileCases), CaseName);

TEST(MobileFill, BlackBerryVideoProfileRefillsTheBoxesAmrEmptied) {
    ListSettingsBoxes boxes;
    FillBlackBerry(boxes.Boxes(), "AMR");
    FillBlackBerry(boxes.Boxes(), "MPEG-4");
    EXPECT_EQ(boxes.Boxes().ComboVideoSize->CurrentText(), "320 x 240");
    EXPECT_EQ(boxes.Boxes().ComboVideoBitrate->CurrentText(), "300 Kbps");
    EXPECT_EQ(boxes.Boxes().ComboVideoCodec->CurrentText(), "MPEG4");
    EXPECT_EQ(boxes.Boxes().ComboVideoFramerate->CurrentText(), "24 fps");
}

// Fresh boxes holding the 3GP profile's lists and defaults.
class MobileApply : public testing::Test {
protected:
    MobileApply() {
        FillGP3(Boxes(), "3GP");
        ResetOutputOptions(m_options);
    }
    SettingsBoxes& Boxes() { return m_boxes.Boxes(); }
    const TOutputOptions& Apply() {
        ApplyMobileSettings(Boxes(), "3GP", m_options, 0);
        return m_options;
    }
    // Replaces a box's entries with the single text given, selected.
    static void SetOnly(SettingsBox* box, const std::string& text) {
        box->Clear();
        box->Append(text);
        box->Select(0);
    }

    ListSettingsBoxes m_boxes;
    TOutputOptions m_options;
};

const ExpectedOptions Gp3DefaultOptions =
    Options("mpeg4", "libamr_nb", "176x144", 128000, 7400, 8000, 1);

TEST_F(MobileApply, DefaultsGiveAmrNarrowBandInOneChannel) {
    ExpectOptions(Apply(), Gp3DefaultOptions);
}

TEST_F(MobileApply, SoundIsAmrMonoWhateverTheAudioBoxesShow) {
    Boxes().ComboAudioCodec->Select(1);   // "mpeg4aac"
    Boxes().ComboSamplingRate->Select(1); // "16000 bps"
    const TOutputOptions& options = Apply();
    EXPECT_EQ(options.AudioCodec, "libamr_nb");
    EXPECT_EQ(options.AudioChannels, 1);
    EXPECT_EQ(options.AudioBitrate, 7400);
    EXPECT_EQ(options.AudioSampleRate, 16000);
}

TEST_F(MobileApply, VideoCodecLabelsBecomeEncoderNames) {
    const std::pair<int, const char*> cases[] = {{0, "mpeg4"}, {1, "h263"}, {2, "libx264"}};
    for (const auto& [position, encoder] : cases) {
        Boxes().ComboVideoCodec->Select(position);
        EXPECT_EQ(Apply().VideoCodec, encoder) << Boxes().ComboVideoCodec->CurrentText();
    }
}

TEST_F(MobileApply, EveryListedSizeAndRateTurnsIntoNumbers) {
    const char* sizes[] = {"128x96",  "160x120", "176x144", "208x176",
                           "220x176", "320x240", "352x288"};
    for (int i = 0; i < 7; ++i) {
        Boxes().ComboVideoSize->Select(i);
        EXPECT_EQ(Apply().FrameSize, sizes[i]);
    }
    const int32_t videoRates[] = {48000, 64000, 96000, 128000, 256000, 512000};
    for (int i = 0; i < 6; ++i) {
        Boxes().ComboVideoBitrate->Select(i);
        EXPECT_EQ(Apply().VideoBitrate, videoRates[i]);
    }
    // The AMR rates are in bits per second already: nothing is appended.
    const int32_t audioRates[] = {4750, 5150, 5900, 6700, 7400, 7950, 10200, 12200};
    for (int i = 0; i < 8; ++i) {
        Boxes().ComboAudioBitrate->Select(i);
        EXPECT_EQ(Apply().AudioBitrate, audioRates[i]);
    }
}

TEST_F(MobileApply, TextWithoutANumberRaisesConversionError) {
    struct Case {
        SettingsBox* box;
        const char* text;
    };
    const Case cases[] = {
        {Boxes().ComboVideoBitrate, "fast Kbps"},
        {Boxes().ComboVideoBitrate, "3000000 Kbps"}, // 3e9 bits/s does not fit
        {Boxes().ComboAudioBitrate, "7400"},         // no blank: nothing before it
        {Boxes().ComboAudioBitrate, "7.4 Kbps"},
        {Boxes().ComboSamplingRate, "high Hz"},
        {Boxes().ComboSamplingRate, ""},
    };
    for (const Case& c : cases) {
        MobileApply::SetOnly(c.box, c.text);
        if (std::string(c.text).empty())
            c.box->Clear();
        try {
            Apply();
            ADD_FAILURE() << "no error for \"" << c.text << "\"";
        } catch (const SettingConversionError& error) {
            EXPECT_NE(std::string(error.what()).find(std::string("\"") + c.text + "\""),
                      std::string::npos)
                << error.what();
        }
        FillGP3(Boxes(), "3GP");
    }
}

TEST_F(MobileApply, VideoBitrateWithoutABlankIsZero) {
    SetOnly(Boxes().ComboVideoBitrate, "128Kbps");
    EXPECT_EQ(Apply().VideoBitrate, 0);
}

TEST_F(MobileApply, CodecsAndSizeAreWrittenBeforeANumberFails) {
    SetOnly(Boxes().ComboAudioBitrate, "none");
    EXPECT_THROW(Apply(), SettingConversionError);
    EXPECT_EQ(m_options.VideoCodec, "mpeg4");
    EXPECT_EQ(m_options.AudioCodec, "libamr_nb");
    EXPECT_EQ(m_options.FrameSize, "176x144");
    EXPECT_EQ(m_options.VideoBitrate, 128000);
}

TEST(MobileRowOptions, DefaultSelectionsOfEveryRow) {
    const RowOptionsCase rows[] = {
        {"3GP - Mobile Video Format (*.3gp)", Gp3DefaultOptions},
        {"3G2 - Mobile Video Format (*.3g2)", Gp3DefaultOptions},
        {"BlackBerry MPEG-4 Video (*.mp4)",
         Options("mpeg4", "libfaac", "320x240", 300000, 80000, 44100, 2)},
        {"BlackBerry AVI Video (*.avi)",
         Options("h263", "libmp3lame", "176x144", 300000, 80000, 44100, 2)},
        // Label "3GP": one channel, the only entry of the channels box.
        {"BlackBerry 3GP Video (*.3gp)",
         Options("mpeg4", "libamr_nb", "176x144", 120000, 4750, 8000, 1)},
        // Label "AMR" is sound only; the emptied video boxes give no codec, size or rate.
        // AMR narrow band is mono only: the box offers "Mono" alone.
        {"BlackBerry AMR Audio", Options("", "libamr_nb", "", 0, 5900, 8000, 1, true)},
    };
    for (const RowOptionsCase& row : rows)
        ExpectRowOptions(row);
}

} // namespace
