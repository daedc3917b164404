// The Flash, general video container, MPEG and disc profiles and the RealAudio profile: the
// lists and selections each fill leaves, and the options the defaults give a task.
#include "FillComboOutputFormat.h"
#include "OOPFillBitrateSizeFrameRate.h"
#include "SettingMapping.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using Entries = std::vector<std::string>;

struct ExpectedBox {
    Entries Items;
    int Selected; // -1: no selection
};

// What the nine boxes hold after a fill, in the order of SettingsBoxes.
struct ExpectedBoxes {
    ExpectedBox VideoBitrate;
    ExpectedBox VideoCodec;
    ExpectedBox VideoSize;
    ExpectedBox VideoFramerate;
    ExpectedBox AudioBitrate;
    ExpectedBox AudioCodec;
    int AudioChannels;
    ExpectedBox SamplingRate;
    int AspectRatio;
};

struct ExpectedOptions {
    const char* VideoCodec;
    const char* AudioCodec;
    int32_t VideoBitrate;
    int32_t AudioBitrate;
    int32_t AudioSampleRate;
    const char* FrameSize;
    const char* FrameRate;
    int32_t AudioChannels;
    const char* AspectRatio;
    bool DisableVideo;
};

struct ProfileCase {
    const char* DisplayName;
    ExpectedBoxes Boxes;
    ExpectedOptions Options;
};

Entries List(SettingsList list) {
    return Entries(list.begin(), list.end());
}

const Entries Empty;
const Entries StdSizes = List(StandardFrameSizeList);
const Entries StdVideoRates = List(StandardVideoBitrateList);
const Entries StdFrameRates = List(StandardFrameRateList);
const Entries StdAudioRates = List(StandardAudioBitrateList);
const Entries StdSampling = List(StandardSamplingRateList);
const Entries SpacedSampling = List(SpacedSamplingRateList);
const Entries DiscFrameRates = List(DiscFrameRateList);
const Entries AviVideoRates = {"192 Kbps",  "200 Kbps",  "216 Kbps", "384 Kbps",
                               "512 Kbps",  "640 Kbps",  "768 Kbps", "1000 Kbps",
                               "1200 Kbps", "1500 Kbps", "2500 Kbps"};
const Entries DiscSizes = {"128 x 96 (SQCIF)", "176 x 144 (QCIF)", "352 x 240", "352 x 288 (CIF)",
                           "480 x 272",        "480 x 480",        "640 x 480", "704 x 576 (4CIF)"};
const Entries DvdSizes = {"128 x 96 (SQCIF)", "176 x 144 (QCIF)", "352 x 240", "352 x 288 (CIF)",
                          "480 x 272",        "480 x 480",        "640 x 480", "704 x 576 (4CIF)",
                          "724 x 480",        "724 x 576"};
const Entries FlashSampling = {"11025 Hz", "22050 Hz", "44100 Hz"};
const Entries RealVideoRates = {"384  Kbps", "400  Kbps", "600  Kbps", "1200 Kbps",
                                "1800 Kbps", "2200 Kbps", "2600 Kbps", "3000 Kbps"};
const Entries AsfVideoRates = {"1200 Kbps", "1500 Kbps", "2000 Kbps", "2500 Kbps", "3000 Kbps"};

// Before each fill the channels box shows "Mono" and the aspect box "4:3", so that a fill
// that does not touch them is told apart from one that selects position 0.
constexpr int PresetChannels = 1;
constexpr int PresetAspect = 1;

const ExpectedBoxes FlashBoxes = {{StdVideoRates, 1},
                                  {{"FLV"}, 0},
                                  {StdSizes, 0},
                                  {StdFrameRates, 2},
                                  {StdAudioRates, 3},
                                  {{"mp3"}, 0},
                                  0,
                                  {FlashSampling, 2},
                                  0};
const ExpectedOptions FlashOptions = {"flv", "libmp3lame", 200000, 64000, 44100,
                                      "",    "15",         2,      "",    false};

ExpectedBoxes AviBoxes(Entries videoCodecs, Entries audioCodecs) {
    return {{AviVideoRates, 8},
            {videoCodecs, 0},
            {StdSizes, 0},
            {StdFrameRates, 0},
            {StdAudioRates, 7},
            {audioCodecs, 0},
            0,
            {StdSampling, 5},
            0};
}

ExpectedBoxes ContainerBoxes(Entries videoCodecs, Entries audioCodecs, int sizePosition,
                             int samplingPosition) {
    return {{StdVideoRates, 8},
            {videoCodecs, 0},
            {StdSizes, sizePosition},
            {StdFrameRates, 0},
            {StdAudioRates, 7},
            {audioCodecs, 0},
            0,
            {StdSampling, samplingPosition},
            0};
}

ExpectedBoxes MpegBoxes(Entries videoCodecs, Entries audioCodecs, int videoRatePosition) {
    return {{StdVideoRates, videoRatePosition},
            {videoCodecs, 0},
            {StdSizes, 10},
            {StdFrameRates, 4},
            {StdAudioRates, 9},
            {audioCodecs, 0},
            0,
            {StdSampling, 4},
            0};
}

// The disc fills leave the channels and aspect boxes as they were.
ExpectedBoxes DiscBoxes(const char* videoCodec, Entries audioCodecs, Entries sizes,
                        int sizePosition, const char* videoRate, Entries sampling,
                        int samplingPosition) {
    return {
        {{videoRate}, 0},    {{videoCodec}, 0}, {sizes, sizePosition}, {DiscFrameRates, 3},
        {StdAudioRates, 10}, {audioCodecs, 0},  PresetChannels,        {sampling, samplingPosition},
        PresetAspect};
}

// clang-format off
const std::vector<ProfileCase> ProfileCases = {
    {"FLV - Flash Video (*.flv)", FlashBoxes, FlashOptions},
    {"SWF - Flash Swf (*.swf)", FlashBoxes, FlashOptions},
    {"AVI - Audio Video Interleave (*.avi)",
     AviBoxes({"MPEG4", "H264"}, {"pcm_s16le", "mp3", "mp2", "ac3"}),
     {"mpeg4", "pcm_s16le", 1200000, 128000, 48000, "", "", 2, "", false}},
    {"AVI - DivX Video (*.avi)", AviBoxes({"MPEG4"}, {"mp3"}),
     {"mpeg4", "libmp3lame", 1200000, 128000, 48000, "", "", 2, "", false}},
    {"AVI - XviD Video (*.avi)", AviBoxes({"XVID"}, {"mp3"}),
     {"libxvid", "libmp3lame", 1200000, 128000, 48000, "", "", 2, "", false}},
    {"AVI - Uncompress (*.avi)",
     AviBoxes({"RAWVIDEO"}, {"pcm_s16le", "mp3", "mp2", "ac3"}),
     {"rawvideo", "pcm_s16le", 1200000, 128000, 48000, "", "", 2, "", false}},
    {"MOV - QuickTime Video (*.mov)", ContainerBoxes({"MPEG4"}, {"mpeg4aac"}, 0, 4),
     {"mpeg4", "libfaac", 1200000, 128000, 44100, "", "", 2, "", false}},
    {"MP4 - MPEG4 Video (*.mp4)", ContainerBoxes({"MPEG4", "H264", "XVid"}, {"mpeg4aac"}, 0, 4),
     {"mpeg4", "libfaac", 1200000, 128000, 44100, "", "", 2, "", false}},
    {"WMV - Windows Media Video (*.wmv)", ContainerBoxes({"WMV2"}, {"wmav2"}, 10, 5),
     {"wmv2", "wmav2", 1200000, 128000, 48000, "320x240", "", 2, "", false}},
    {"ASF - Advance Streaming Format (*.asf)",
     {{AsfVideoRates, 0}, {{"MSMPEG4"}, 0}, {StdSizes, 0}, {StdFrameRates, 0},
      {StdAudioRates, 7}, {{"mp3"}, 0}, 0, {StdSampling, 5}, 0},
     // ASF is a video container: its video stays enabled.
     {"msmpeg4", "libmp3lame", 1200000, 128000, 48000, "", "", 2, "", false}},
    {"RM - Real Video (*.rm)",
     {{RealVideoRates, 0}, {{"RV10", "RV20"}, 0}, {StdSizes, 10}, {StdFrameRates, 0},
      {StdAudioRates, 7}, {{"ac3"}, 0}, 0, {SpacedSampling, 5}, 0},
     {"rv10", "ac3", 384000, 128000, 48000, "320x240", "", 2, "", false}},
    {"RA - Real Audio (*.ra)",
     {{Empty, -1}, {Empty, -1}, {Empty, -1}, {Empty, -1},
      {StdAudioRates, 7}, {{"ac3"}, 0}, 0, {SpacedSampling, 5}, 0},
     {"", "ac3", 0, 128000, 48000, "", "", 2, "", true}},
    {"MPEG-1 Movie (*.mpg)", MpegBoxes({"MPEG1VIDEO"}, {"mp2"}, 10),
     {"mpeg1video", "mp2", 1600000, 192000, 44100, "320x240", "25", 2, "", false}},
    {"MPEG-2 Movie (*.mpg)", MpegBoxes({"MPEG2VIDEO"}, {"mp2", "ac3"}, 11),
     {"mpeg2video", "mp2", 2000000, 192000, 44100, "320x240", "25", 2, "", false}},
    {"Video CD (*.mpg)",
     DiscBoxes("MPEG1VIDEO", {"mp2"}, DiscSizes, 2, "1150 Kbps", {"44100 Hz"}, 0),
     {"mpeg1video", "mp2", 1150000, 224000, 44100, "352x240", "30000/1001", 1, "4:3", false}},
    {"Super Video CD (*.mpg)",
     DiscBoxes("MPEG2VIDEO", {"mp2"}, DiscSizes, 5, "2040 Kbps", {"44100 Hz"}, 0),
     {"mpeg2video", "mp2", 2040000, 224000, 44100, "480x480", "30000/1001", 1, "4:3", false}},
    {"DVD - VOB (*.vob)",
     // The default size is "352 x 240", the list's DVD-Video size for the NTSC rate.
     DiscBoxes("MPEG2VIDEO", {"ac3", "mp2"}, DvdSizes, 2, "6000 Kbps",
               {"44100 Hz", "48000 Hz", "54000 Hz", "96000 Hz"}, 1),
     {"mpeg2video", "ac3", 6000000, 224000, 48000, "352x240", "30000/1001", 1, "4:3", false}},
};
// clang-format on

// The boxes and a format box showing one catalogue entry, every settings box holding left-
// overs of an earlier profile so that a fill which forgets to clear a box is caught.
class ProfileWindow {
public:
    explicit ProfileWindow(const char* displayName) {
        m_formatBox.Append(displayName);
        m_formatBox.Select(0);
        m_state.ComboOutputFormat = &m_formatBox;
        m_state.Boxes = m_boxes.Boxes();
        const SettingsBoxes& b = m_boxes.Boxes();
        for (SettingsBox* box :
             {b.ComboVideoBitrate, b.ComboVideoCodec, b.ComboVideoSize, b.ComboVideoFramerate,
              b.ComboAudioBitrate, b.ComboAudioCodec, b.ComboSamplingRate}) {
            box->Append("left over");
            box->Select(0);
        }
        b.ComboAudioChannels->Select(PresetChannels);
        b.ComboAspectRatio->Select(PresetAspect);
    }
    void Change() { OnFormatChange(m_state); }
    TOutputOptions Apply(int row = 0) const {
        TOutputOptions options;
        ResetOutputOptions(options);
        ApplyProfileSettings(m_state, options, row);
        return options;
    }
    const SettingsBoxes& Boxes() const { return m_boxes.Boxes(); }
    const FormatBoxState& State() const { return m_state; }

private:
    ListSettingsBox m_formatBox;
    ListSettingsBoxes m_boxes;
    FormatBoxState m_state;
};

void ExpectBox(const SettingsBox& box, const ExpectedBox& expected, const char* name) {
    SCOPED_TRACE(name);
    Entries items;
    for (int i = 0; i < box.Count(); ++i)
        items.push_back(box.Text(i));
    EXPECT_EQ(items, expected.Items);
    EXPECT_EQ(box.CurrentPosition(), expected.Selected);
}

TEST(VideoProfiles, FillLeavesTheListsAndDefaults) {
    for (const ProfileCase& c : ProfileCases) {
        SCOPED_TRACE(c.DisplayName);
        ProfileWindow window(c.DisplayName);
        window.Change();
        const SettingsBoxes& b = window.Boxes();
        ExpectBox(*b.ComboVideoBitrate, c.Boxes.VideoBitrate, "video bit rate");
        ExpectBox(*b.ComboVideoCodec, c.Boxes.VideoCodec, "video codec");
        ExpectBox(*b.ComboVideoSize, c.Boxes.VideoSize, "frame size");
        ExpectBox(*b.ComboVideoFramerate, c.Boxes.VideoFramerate, "frame rate");
        ExpectBox(*b.ComboAudioBitrate, c.Boxes.AudioBitrate, "audio bit rate");
        ExpectBox(*b.ComboAudioCodec, c.Boxes.AudioCodec, "audio codec");
        ExpectBox(*b.ComboAudioChannels, {{"Stereo", "Mono"}, c.Boxes.AudioChannels}, "channels");
        ExpectBox(*b.ComboSamplingRate, c.Boxes.SamplingRate, "sampling rate");
        ExpectBox(*b.ComboAspectRatio, {{"Original", "4:3", "16:9"}, c.Boxes.AspectRatio},
                  "aspect ratio");
    }
}

TEST(VideoProfiles, DefaultsGiveTheTaskOptions) {
    for (const ProfileCase& c : ProfileCases) {
        SCOPED_TRACE(c.DisplayName);
        ProfileWindow window(c.DisplayName);
        window.Change();
        const TOutputOptions options = window.Apply(4);
        const ExpectedOptions& e = c.Options;
        EXPECT_EQ(options.VideoCodec, e.VideoCodec);
        EXPECT_EQ(options.AudioCodec, e.AudioCodec);
        EXPECT_EQ(options.VideoBitrate, e.VideoBitrate);
        EXPECT_EQ(options.AudioBitrate, e.AudioBitrate);
        EXPECT_EQ(options.AudioSampleRate, e.AudioSampleRate);
        EXPECT_EQ(options.FrameSize, e.FrameSize);
        EXPECT_EQ(options.FrameRate, e.FrameRate);
        EXPECT_EQ(options.AudioChannels, e.AudioChannels);
        EXPECT_EQ(options.AspectRatio, e.AspectRatio);
        EXPECT_EQ(options.DisableVideo, e.DisableVideo);
        // No profile chooses the container, a target preset or extra options.
        EXPECT_TRUE(options.OutputFormat.empty());
        EXPECT_TRUE(options.ExtraOptions.empty());
        EXPECT_EQ(options.Target, 0);
    }
}

// Every entry of every box a profile offers maps to options without an error, and each
// reaches the option its box drives: distinct entries give distinct values, and only the
// entries that keep the input's own value ("Original Video Size", "Auto") leave it unset.
// (Whether the encoders take the values is the encoder test's business.)
TEST(VideoProfiles, EveryOfferedEntryReachesItsOption) {
    using Field = std::string (*)(const TOutputOptions&);
    const std::vector<std::pair<SettingsBox * SettingsBoxes::*, Field>> boxes = {
        {&SettingsBoxes::ComboVideoBitrate,
         [](const TOutputOptions& o) {
             return o.VideoBitrate > 0 ? std::to_string(o.VideoBitrate) : "";
         }},
        {&SettingsBoxes::ComboVideoCodec, [](const TOutputOptions& o) { return o.VideoCodec; }},
        {&SettingsBoxes::ComboVideoSize, [](const TOutputOptions& o) { return o.FrameSize; }},
        {&SettingsBoxes::ComboVideoFramerate, [](const TOutputOptions& o) { return o.FrameRate; }},
        {&SettingsBoxes::ComboAudioBitrate,
         [](const TOutputOptions& o) {
             return o.AudioBitrate > 0 ? std::to_string(o.AudioBitrate) : "";
         }},
        {&SettingsBoxes::ComboAudioCodec, [](const TOutputOptions& o) { return o.AudioCodec; }},
        {&SettingsBoxes::ComboSamplingRate,
         [](const TOutputOptions& o) {
             return o.AudioSampleRate > 0 ? std::to_string(o.AudioSampleRate) : "";
         }},
    };
    for (const ProfileCase& c : ProfileCases) {
        SCOPED_TRACE(c.DisplayName);
        ProfileWindow window(c.DisplayName);
        window.Change();
        for (const auto& [member, field] : boxes) {
            SettingsBox* box = window.Boxes().*member;
            const int selected = box->CurrentPosition();
            std::set<std::string> values;
            int valued = 0;
            for (int i = 0; i < box->Count(); ++i) {
                SCOPED_TRACE(box->Text(i));
                box->Select(i);
                TOutputOptions options;
                ASSERT_NO_THROW(options = window.Apply());
                const std::string value = field(options);
                const bool keepsTheInput =
                    box->Text(i).rfind("Original", 0) == 0 || box->Text(i).rfind("Auto", 0) == 0;
                EXPECT_EQ(value.empty(), keepsTheInput) << "\"" << value << "\"";
                if (!value.empty()) {
                    values.insert(value);
                    ++valued;
                }
            }
            EXPECT_EQ(static_cast<int>(values.size()), valued) << "two entries give one value";
            box->Select(selected);
        }
    }
}

struct ChoiceCase {
    const char* DisplayName;
    SettingsBox* SettingsBoxes::*Box;
    const char* Entry;
    std::string TOutputOptions::*Field;
    const char* Expected;
};

TEST(VideoProfiles, ChosenEntriesGiveTheirCodecAndSize) {
    const std::vector<ChoiceCase> cases = {
        {"MP4 - MPEG4 Video (*.mp4)", &SettingsBoxes::ComboVideoCodec, "XVid",
         &TOutputOptions::VideoCodec, "libxvid"},
        {"MP4 - MPEG4 Video (*.mp4)", &SettingsBoxes::ComboVideoCodec, "H264",
         &TOutputOptions::VideoCodec, "libx264"},
        {"AVI - Audio Video Interleave (*.avi)", &SettingsBoxes::ComboAudioCodec, "mp3",
         &TOutputOptions::AudioCodec, "libmp3lame"},
        {"RM - Real Video (*.rm)", &SettingsBoxes::ComboVideoCodec, "RV20",
         &TOutputOptions::VideoCodec, "rv20"},
        {"MPEG-2 Movie (*.mpg)", &SettingsBoxes::ComboAudioCodec, "ac3",
         &TOutputOptions::AudioCodec, "ac3"},
        {"Video CD (*.mpg)", &SettingsBoxes::ComboVideoSize, "704 x 576 (4CIF)",
         &TOutputOptions::FrameSize, "704x576"},
        {"FLV - Flash Video (*.flv)", &SettingsBoxes::ComboVideoSize, "320 x 240 (VGA)",
         &TOutputOptions::FrameSize, "320x240"},
        {"Super Video CD (*.mpg)", &SettingsBoxes::ComboVideoFramerate, "25 fps [PAL]",
         &TOutputOptions::FrameRate, "25"},
    };
    for (const ChoiceCase& c : cases) {
        SCOPED_TRACE(std::string(c.DisplayName) + " / " + c.Entry);
        ProfileWindow window(c.DisplayName);
        window.Change();
        SettingsBox& box = *(window.Boxes().*c.Box);
        int position = -1;
        for (int i = 0; i < box.Count(); ++i)
            if (box.Text(i) == c.Entry)
                position = i;
        ASSERT_GE(position, 0);
        box.Select(position);
        EXPECT_EQ(window.Apply().*c.Field, c.Expected);
    }
}

TEST(VideoProfiles, RealMediaTwoBlankEntriesGiveTheirRates) {
    ProfileWindow window("RM - Real Video (*.rm)");
    window.Change();
    const std::vector<int32_t> expected = {384000,  400000,  600000,  1200000,
                                           1800000, 2200000, 2600000, 3000000};
    for (int i = 0; i < 8; ++i) {
        window.Boxes().ComboVideoBitrate->Select(i);
        EXPECT_EQ(window.Apply().VideoBitrate, expected[static_cast<size_t>(i)]);
    }
    window.Boxes().ComboSamplingRate->Select(0); // "8000  Hz"
    EXPECT_EQ(window.Apply().AudioSampleRate, 8000);
}

TEST(VideoProfiles, DiscProfileAfterFlashKeepsTheFlashChannels) {
    ProfileWindow window("FLV - Flash Video (*.flv)");
    window.Change();
    window.Boxes().ComboAudioChannels->Select(1);
    // Same boxes, another format: Video CD.
    FormatBoxState state = window.State();
    ListSettingsBox vcd;
    vcd.Append("Video CD (*.mpg)");
    vcd.Select(0);
    state.ComboOutputFormat = &vcd;
    OnFormatChange(state);
    EXPECT_EQ(window.Boxes().ComboAudioChannels->CurrentText(), "Mono");
    EXPECT_EQ(window.Boxes().ComboVideoCodec->CurrentText(), "MPEG1VIDEO");
}

} // namespace
