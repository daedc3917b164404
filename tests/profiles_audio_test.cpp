// Sound-only profiles: the MP3/MP2, WAV/WMA, OGG, AAC, M4A and AU fills and the options each
// of these catalogue rows produces with its default selections.
#include "AAC.h"
#include "AU.h"
#include "M4A.h"
#include "MP3.h"
#include "OGG.h"
#include "ProfileBoxExpectation.h"
#include "SettingMapping.h"
#include "WAVwma.h"

#include <gtest/gtest.h>

namespace {

// Every sound-only fill empties the four video boxes and selects "Stereo" and "Original".
ProfileBoxExpectation SoundOnly(const char* audioCodec, const char* audioBitrate,
                                const Entries& samplingRates, const char* samplingRate) {
    return {.videoBitrate = Emptied,
            .videoCodec = Emptied,
            .videoSize = Emptied,
            .frameRate = Emptied,
            .audioBitrate = BoxContent{ListOf(StandardAudioBitrateList), audioBitrate},
            .audioCodec = BoxContent{{audioCodec}, audioCodec},
            .samplingRate = BoxContent{samplingRates, samplingRate},
            .channelsPosition = 0,
            .aspectPosition = 0};
}

const Entries Standard = ListOf(StandardSamplingRateList);
const Entries Spaced = ListOf(SpacedSamplingRateList); // "8000  Hz" with two blanks

const ProfileCase AudioCases[] = {
    {"MP3", FillMP3, "mp3", SoundOnly("mp3", "192 Kbps", Standard, "48000 Hz")},
    {"MP2", FillMP3, "mp2", SoundOnly("mp2", "224 Kbps", Standard, "48000 Hz")},
    {"WAV", FillWAVwma, "WAV", SoundOnly("pcm_s16le", "128 Kbps", Spaced, "44100 Hz")},
    {"WMA", FillWAVwma, "WMA", SoundOnly("wmav2", "128 Kbps", Spaced, "48000 Hz")},
    {"OGG", FillOGG, "", SoundOnly("vorbis", "160 Kbps", Standard, "48000 Hz")},
    {"M4A", FillM4A, "", SoundOnly("mpeg4aac", "128 Kbps", Standard, "48000 Hz")},
    {"AU", FillAU, "", SoundOnly("pcm_s16be", "128 Kbps", Standard, "48000 Hz")},
    {"AAC", FillAAC, "", SoundOnly("aac", "128 Kbps", Standard, "48000 Hz")},
};

class AudioFill : public testing::TestWithParam<ProfileCase> {};

TEST_P(AudioFill, LoadsListsAndDefaultsIntoFreshBoxes) {
    ExpectFreshFill(GetParam());
}

TEST_P(AudioFill, ReplacesEarlierListsAndEmptiesTheVideoBoxes) {
    ExpectFillOverEarlierProfile(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Rows, AudioFill, testing::ValuesIn(AudioCases), CaseName);

// The AAC fill loads the standard sound lists itself: whatever profile came before, even one
// with the three Flash sampling rates or with no lists at all, the defaults are "128 Kbps" and
// "48000 Hz".
const ProfileBoxExpectation AacBoxes = SoundOnly("aac", "128 Kbps", Standard, "48000 Hz");

TEST(AacFill, SelectsItsDefaultsAfterAProfileWithTheStandardLists) {
    ListSettingsBoxes boxes;
    FillMP3(boxes.Boxes(), "mp3");
    FillAAC(boxes.Boxes(), "");
    ExpectBoxes(boxes.Boxes(), AacBoxes, Emptied, -1, -1);
}

TEST(AacFill, ReplacesEarlierListsInsteadOfSelectingInThem) {
    ListSettingsBoxes boxes;
    FillWithEarlierProfile(boxes.Boxes());
    FillAAC(boxes.Boxes(), "");
    EXPECT_EQ(boxes.Boxes().ComboAudioBitrate->CurrentText(), "128 Kbps");
    EXPECT_EQ(boxes.Boxes().ComboSamplingRate->CurrentText(), "48000 Hz");
    EXPECT_EQ(boxes.Boxes().ComboAudioBitrate->Count(), 13);
}

TEST(AacFill, ShortOrEmptyListsStillGetTheDefaults) {
    ListSettingsBoxes boxes;
    FillAAC(boxes.Boxes(), ""); // fresh: both lists empty
    ExpectBoxes(boxes.Boxes(), AacBoxes, Emptied, -1, -1);

    SettingsBox& sampling = *boxes.Boxes().ComboSamplingRate;
    sampling.Clear();
    for (const char* rate : {"11025 Hz", "22050 Hz", "44100 Hz"})
        sampling.Append(rate);
    sampling.Select(2);
    FillAAC(boxes.Boxes(), "");
    EXPECT_EQ(sampling.Count(), 8);
    EXPECT_EQ(sampling.CurrentText(), "48000 Hz");
}

TEST(AudioFill, VideoProfileAfterMp3RefillsTheVideoBoxes) {
    ListSettingsBoxes boxes;
    FillMP3(boxes.Boxes(), "mp3");
    FillBitrateSizeFrameRate(boxes.Boxes());
    EXPECT_EQ(boxes.Boxes().ComboVideoSize->Count(), 23);
    EXPECT_EQ(boxes.Boxes().ComboVideoBitrate->Count(), 13);
    EXPECT_EQ(boxes.Boxes().ComboVideoFramerate->Count(), 7);
}

TEST(AudioRowOptions, DefaultSelectionsOfEveryRow) {
    const RowOptionsCase rows[] = {
        {"MP3 - Mpeg Layer3 Audio (*.mp3)",
         Options("", "libmp3lame", "", 0, 192000, 48000, 2, true)},
        {"MP2 - Mpeg Layer2 Audio (*.mp2)", Options("", "mp2", "", 0, 224000, 48000, 2, true)},
        {"WAV - Waveform Audio (*.wav)", Options("", "pcm_s16le", "", 0, 128000, 44100, 2, true)},
        {"WMA - Windows Media Audio (*.wma)", Options("", "wmav2", "", 0, 128000, 48000, 2, true)},
        // Ogg Vorbis is sound only: a video input must not add a picture stream.
        {"OGG - Ogg Vorbis Audio (*.ogg)", Options("", "vorbis", "", 0, 160000, 48000, 2, true)},
        {"M4A - Mpeg4 Audio File (*.m4a)", Options("", "libfaac", "", 0, 128000, 48000, 2, true)},
        {"AU - SUN Audio (*.au)", Options("", "pcm_s16be", "", 0, 128000, 48000, 2, true)},
    };
    for (const RowOptionsCase& row : rows)
        ExpectRowOptions(row);
}

TEST(AudioRowOptions, AacAfterAProfileWithTheStandardLists) {
    ExpectRowOptions({"AAC - Advance Audio Coding (*.aac)",
                      Options("", "libfaac", "", 0, 128000, 48000, 2, true)},
                     [](SettingsBoxes& boxes) { FillMP3(boxes, "mp3"); });
}

TEST(AudioRowOptions, AacOnFreshBoxesGivesItsDefaults) {
    ExpectRowOptions({"AAC - Advance Audio Coding (*.aac)",
                      Options("", "libfaac", "", 0, 128000, 48000, 2, true)});
}

TEST(AudioRowOptions, AacAfterFlashStillGetsASamplingRate) {
    ExpectRowOptions({"AAC - Advance Audio Coding (*.aac)",
                      Options("", "libfaac", "", 0, 128000, 48000, 2, true)},
                     [](SettingsBoxes& boxes) {
                         const OutputFormatEntry* flash =
                             FindOutputFormat("FLV - Flash Video (*.flv)");
                         flash->Fill(boxes, flash->Variant);
                     });
}

TEST(AudioRowOptions, SpacedFirstSamplingRateAndAnyBitrateReachTheTask) {
    ListSettingsBoxes boxes;
    FillWAVwma(boxes.Boxes(), "WAV");
    boxes.Boxes().ComboSamplingRate->Select(0);  // "8000  Hz"
    boxes.Boxes().ComboAudioBitrate->Select(12); // "320 Kbps"
    boxes.Boxes().ComboAudioChannels->Select(1); // "Mono"
    TOutputOptions options;
    ResetOutputOptions(options);
    ApplyCommonSettings(boxes.Boxes(), "WAV", options, 0);
    ExpectOptions(options, Options("", "pcm_s16le", "", 0, 320000, 8000, 1, true));
}

} // namespace
