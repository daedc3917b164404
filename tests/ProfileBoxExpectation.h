// Expected settings-box contents after a profile fill and expected output options after an
// apply step, with the checks the profile family tests share.
#pragma once

#include "FFmpegVCL.h"
#include "FillComboOutputFormat.h"
#include "OOPFillBitrateSizeFrameRate.h"
#include "SettingsBoxes.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using Entries = std::vector<std::string>;

template <std::size_t N> Entries ListOf(const std::array<const char*, N>& list) {
    return Entries(list.begin(), list.end());
}

// The entries of one box and its selected text; "" when nothing is selected.
struct BoxContent {
    Entries entries;
    std::string selected;
};

inline const BoxContent Emptied{{}, ""};

// What a fill leaves in the nine boxes. A box without content is one the fill does not
// touch; a channels or aspect position of -1 likewise.
struct ProfileBoxExpectation {
    std::optional<BoxContent> videoBitrate;
    std::optional<BoxContent> videoCodec;
    std::optional<BoxContent> videoSize;
    std::optional<BoxContent> frameRate;
    std::optional<BoxContent> audioBitrate;
    std::optional<BoxContent> audioCodec;
    std::optional<BoxContent> samplingRate;
    int channelsPosition = -1;
    int aspectPosition = -1;
    // The channels box's entries when the profile fills it ("Stereo", "Mono" otherwise).
    std::optional<Entries> channels = std::nullopt;
};

using ProfileFill = void (*)(SettingsBoxes& boxes, std::string_view variant);

// One catalogue row of a family: its fill with the variant text and what it leaves behind.
struct ProfileCase {
    const char* name; // test name suffix: letters, digits and underscores
    ProfileFill fill;
    const char* variant;
    ProfileBoxExpectation boxes;
};

// Test names show the case name instead of the bytes of the record.
inline void PrintTo(const ProfileCase& profile, std::ostream* out) {
    *out << profile.name;
}

inline std::string CaseName(const testing::TestParamInfo<ProfileCase>& info) {
    return info.param.name;
}

inline Entries BoxEntries(const SettingsBox& box) {
    Entries entries;
    for (int i = 0; i < box.Count(); ++i)
        entries.push_back(box.Text(i));
    return entries;
}

inline void ExpectBox(const SettingsBox& box, const BoxContent& expected, const char* boxName) {
    SCOPED_TRACE(boxName);
    EXPECT_EQ(BoxEntries(box), expected.entries);
    EXPECT_EQ(box.CurrentText(), expected.selected);
    if (expected.selected.empty()) {
        EXPECT_EQ(box.CurrentPosition(), -1);
    } else {
        // The selected text must be an entry of the box, so its position follows.
        EXPECT_EQ(box.Text(box.CurrentPosition()), expected.selected);
    }
}

// Every list box holds ten stand-in entries with the last selected; channels "Mono", aspect
// "16:9": what some earlier profile might have left.
inline void FillWithEarlierProfile(SettingsBoxes& boxes) {
    for (SettingsBox* box : {boxes.ComboVideoBitrate, boxes.ComboVideoCodec, boxes.ComboVideoSize,
                             boxes.ComboVideoFramerate, boxes.ComboAudioBitrate,
                             boxes.ComboAudioCodec, boxes.ComboSamplingRate}) {
        box->Clear();
        for (int i = 0; i < 10; ++i)
            box->Append("earlier " + std::to_string(i));
        box->Select(9);
    }
    boxes.ComboAudioChannels->Select(1);
    boxes.ComboAspectRatio->Select(2);
}

inline const BoxContent EarlierProfileBox{{"earlier 0", "earlier 1", "earlier 2", "earlier 3",
                                           "earlier 4", "earlier 5", "earlier 6", "earlier 7",
                                           "earlier 8", "earlier 9"},
                                          "earlier 9"};

// Checks the nine boxes. An untouched list box must still hold untouched; an untouched
// channels or aspect box must still select the given position.
inline void ExpectBoxes(const SettingsBoxes& boxes, const ProfileBoxExpectation& expected,
                        const BoxContent& untouched, int untouchedChannels, int untouchedAspect) {
    const auto check = [&](const SettingsBox* box, const std::optional<BoxContent>& content,
                           const char* name) {
        ExpectBox(*box, content.value_or(untouched), name);
    };
    check(boxes.ComboVideoBitrate, expected.videoBitrate, "ComboVideoBitrate");
    check(boxes.ComboVideoCodec, expected.videoCodec, "ComboVideoCodec");
    check(boxes.ComboVideoSize, expected.videoSize, "ComboVideoSize");
    check(boxes.ComboVideoFramerate, expected.frameRate, "ComboVideoFramerate");
    check(boxes.ComboAudioBitrate, expected.audioBitrate, "ComboAudioBitrate");
    check(boxes.ComboAudioCodec, expected.audioCodec, "ComboAudioCodec");
    check(boxes.ComboSamplingRate, expected.samplingRate, "ComboSamplingRate");
    EXPECT_EQ(BoxEntries(*boxes.ComboAudioChannels),
              expected.channels.value_or(Entries{"Stereo", "Mono"}));
    EXPECT_EQ(boxes.ComboAudioChannels->CurrentPosition(),
              expected.channelsPosition >= 0 ? expected.channelsPosition : untouchedChannels)
        << "ComboAudioChannels";
    EXPECT_EQ(BoxEntries(*boxes.ComboAspectRatio), (Entries{"Original", "4:3", "16:9"}));
    EXPECT_EQ(boxes.ComboAspectRatio->CurrentPosition(),
              expected.aspectPosition >= 0 ? expected.aspectPosition : untouchedAspect)
        << "ComboAspectRatio";
}

// Runs the case's fill on fresh boxes and checks the result.
inline void ExpectFreshFill(const ProfileCase& profile) {
    ListSettingsBoxes boxes;
    profile.fill(boxes.Boxes(), profile.variant);
    ExpectBoxes(boxes.Boxes(), profile.boxes, Emptied, -1, -1);
}

// Runs the case's fill over boxes an earlier profile filled: every box the fill loads is
// cleared first, every box it does not touch keeps what it had.
inline void ExpectFillOverEarlierProfile(const ProfileCase& profile) {
    ListSettingsBoxes boxes;
    FillWithEarlierProfile(boxes.Boxes());
    profile.fill(boxes.Boxes(), profile.variant);
    ExpectBoxes(boxes.Boxes(), profile.boxes, EarlierProfileBox, 1, 2);
}

// The output option fields an apply step may write.
struct ExpectedOptions {
    std::string videoCodec;
    std::string audioCodec;
    std::string frameSize;
    int32_t videoBitrate = -1;
    int32_t audioBitrate = -1;
    int32_t audioSampleRate = -1;
    int32_t audioChannels = -1;
    bool disableVideo = false;
    std::string aspectRatio;
};

// The expected fields, in the order the tables give them; aspect ratio left empty.
inline ExpectedOptions Options(std::string videoCodec, std::string audioCodec,
                               std::string frameSize, int32_t videoBitrate, int32_t audioBitrate,
                               int32_t audioSampleRate, int32_t audioChannels,
                               bool disableVideo = false) {
    ExpectedOptions expected;
    expected.videoCodec = std::move(videoCodec);
    expected.audioCodec = std::move(audioCodec);
    expected.frameSize = std::move(frameSize);
    expected.videoBitrate = videoBitrate;
    expected.audioBitrate = audioBitrate;
    expected.audioSampleRate = audioSampleRate;
    expected.audioChannels = audioChannels;
    expected.disableVideo = disableVideo;
    return expected;
}

// Checks the fields an apply step may write, and that fields no apply step writes still
// hold the values of a freshly reset record.
inline void ExpectOptions(const TOutputOptions& options, const ExpectedOptions& expected) {
    EXPECT_EQ(options.VideoCodec, expected.videoCodec);
    EXPECT_EQ(options.AudioCodec, expected.audioCodec);
    EXPECT_EQ(options.FrameSize, expected.frameSize);
    EXPECT_EQ(options.VideoBitrate, expected.videoBitrate);
    EXPECT_EQ(options.AudioBitrate, expected.audioBitrate);
    EXPECT_EQ(options.AudioSampleRate, expected.audioSampleRate);
    EXPECT_EQ(options.AudioChannels, expected.audioChannels);
    EXPECT_EQ(options.DisableVideo, expected.disableVideo);
    EXPECT_EQ(options.AspectRatio, expected.aspectRatio);

    TOutputOptions reset;
    ResetOutputOptions(reset);
    EXPECT_EQ(options.OutputFormat, reset.OutputFormat);
    EXPECT_EQ(options.FrameRate, reset.FrameRate);
    EXPECT_EQ(options.ExtraOptions, reset.ExtraOptions);
    EXPECT_EQ(options.DisableAudio, reset.DisableAudio);
    EXPECT_EQ(options.AudioVolume, reset.AudioVolume);
    EXPECT_EQ(options.VideoMaxRate, reset.VideoMaxRate);
    EXPECT_EQ(options.Target, reset.Target);
}

// Each row through its catalogue entry: the fill with the entry's variant, then the entry's
// apply step with its output label. Channels and aspect start as the window has them after
// start-up ("Stereo", "Original").
struct RowOptionsCase {
    const char* displayName;
    ExpectedOptions options;
};

// before, when given, stands for the profile chosen earlier and runs first.
inline void ExpectRowOptions(const RowOptionsCase& row,
                             const std::function<void(SettingsBoxes&)>& before = {}) {
    SCOPED_TRACE(row.displayName);
    const OutputFormatEntry* entry = FindOutputFormat(row.displayName);
    ASSERT_NE(entry, nullptr);
    ASSERT_NE(entry->Fill, nullptr);
    ASSERT_NE(entry->Apply, nullptr);
    ListSettingsBoxes boxes;
    boxes.Boxes().ComboAudioChannels->Select(0);
    boxes.Boxes().ComboAspectRatio->Select(0);
    if (before)
        before(boxes.Boxes());
    entry->Fill(boxes.Boxes(), entry->Variant);
    TOutputOptions options;
    ResetOutputOptions(options);
    entry->Apply(boxes.Boxes(), entry->OutputType, options, 0);
    ExpectOptions(options, row.options);
}
