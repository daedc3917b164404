// Output size estimates: bit-rate rows against real conversions of an ordinary input (the
// textured clip), quality entries marked "about", inputs without a length, and size texts.
#include "FillComboOutputFormat.h"
#include "SizeEstimate.h"
#include "TestMedia.h"
#include "cli_run.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

struct Choice {
    SettingsBox* SettingsBoxes::*box;
    const char* option; // the converter's option for the same box
    const char* text;
};

// The window's boxes with a format and choices made, as the job builder reads them.
class ChosenFormat {
public:
    ChosenFormat(const std::string& displayName, const std::vector<Choice>& choices) {
        m_state.ComboOutputFormat = &m_formatBox;
        m_state.Boxes = m_boxes.Boxes();
        FillFormatBox(m_state);
        for (int i = 0; i < m_formatBox.Count(); ++i)
            if (m_formatBox.Text(i) == displayName)
                m_formatBox.Select(i);
        m_state.Boxes.ComboAspectRatio->Select(0);
        OnFormatChange(m_state);
        for (const Choice& choice : choices) {
            SettingsBox& box = *(m_state.Boxes.*(choice.box));
            for (int i = 0; i < box.Count(); ++i)
                if (box.Text(i) == choice.text)
                    box.Select(i);
            EXPECT_EQ(box.CurrentText(), choice.text);
        }
    }
    TOutputOptions options() const {
        TOutputOptions options;
        ResetOutputOptions(options);
        ApplyProfileSettings(m_state, options, 0);
        return options;
    }

private:
    ListSettingsBox m_formatBox;
    ListSettingsBoxes m_boxes;
    FormatBoxState m_state;
};

InputFacts factsOf(const TestClip& clip) {
    InputFacts facts;
    facts.DurationMs = static_cast<int64_t>(clip.durationSeconds * 1000);
    facts.Width = clip.width;
    facts.Height = clip.height;
    facts.FrameRate = clip.videoStreamCount > 0 ? double(clip.frameRateNum) / clip.frameRateDen : 0;
    facts.HasVideo = clip.videoStreamCount > 0;
    facts.HasAudio = clip.audioStreamCount > 0;
    return facts;
}

constexpr auto kVideoRate = &SettingsBoxes::ComboVideoBitrate;
constexpr auto kVideoCodec = &SettingsBoxes::ComboVideoCodec;
constexpr auto kFrameRate = &SettingsBoxes::ComboVideoFramerate;
constexpr auto kAudioRate = &SettingsBoxes::ComboAudioBitrate;

TEST(SizeEstimate, BitRateRowsComeWithinAQuarterOfRealConversions) {
    struct Case {
        const char* format;
        std::vector<Choice> choices;
        const TestClip& input;
    };
    const Case cases[] = {
        {"FLV - Flash Video (*.flv)",
         {{kVideoRate, "--video-bitrate", "1200 Kbps"},
          {kAudioRate, "--audio-bitrate", "128 Kbps"}},
         TestMedia::kTextured},
        {"FLV - Flash Video (*.flv)",
         {{kVideoRate, "--video-bitrate", "768 Kbps"}, {kFrameRate, "--frame-rate", "25.0 fps"}},
         TestMedia::kTextured},
        {"MP4 - MPEG4 Video (*.mp4)",
         {{kVideoRate, "--video-bitrate", "1200 Kbps"}},
         TestMedia::kTextured},
        {"MP4 - MPEG4 Video (*.mp4)",
         {{kVideoCodec, "--video-codec", "H264"}, {kVideoRate, "--video-bitrate", "1000 Kbps"}},
         TestMedia::kTextured},
        {"WMV - Windows Media Video (*.wmv)",
         {{kVideoRate, "--video-bitrate", "768 Kbps"}},
         TestMedia::kTextured},
        {"MKV - Matroska Video (*.mkv)",
         {{kVideoRate, "--video-bitrate", "2000 Kbps"}},
         TestMedia::kTextured},
        {"MP3 - Mpeg Layer3 Audio (*.mp3)",
         {{kAudioRate, "--audio-bitrate", "128 Kbps"}},
         TestMedia::kTextured},
        {"WAV - Waveform Audio (*.wav)", {}, TestMedia::kMp3Audio},
    };
    const fs::path output =
        fs::temp_directory_path() / ("vidbrisk-estimate-" + std::to_string(getpid()));
    fs::create_directories(output);
    for (const Case& c : cases) {
        const SizeEstimate estimate =
            EstimateOutputSize(ChosenFormat(c.format, c.choices).options(), factsOf(c.input));
        ASSERT_TRUE(estimate.known()) << c.format;
        EXPECT_FALSE(estimate.Approximate) << c.format;
        std::vector<std::string> args = {"-f", c.format, "--overwrite",
                                         "-q", "-o",     output.string()};
        for (const Choice& choice : c.choices)
            args.insert(args.end(), {choice.option, choice.text});
        args.push_back(TestMediaPath(c.input.name));
        const CliRun run = RunCli(args);
        ASSERT_EQ(run.status, 0) << run.err;
        const std::vector<std::string> fields = Fields(Lines(run.out).at(0));
        const double real = static_cast<double>(fs::file_size(fields.at(2)));
        EXPECT_NEAR(static_cast<double>(estimate.Bytes), real, 0.25 * real)
            << c.format << " " << (c.choices.empty() ? "" : c.choices[0].text);
    }
    fs::remove_all(output);
}

TEST(SizeEstimate, QualityEntriesAndLosslessSoundAreAboutAndNoLengthGivesNone) {
    const InputFacts textured = factsOf(TestMedia::kTextured);
    const SizeEstimate quality = EstimateOutputSize(
        ChosenFormat("MKV - Matroska Video (*.mkv)", {{kVideoRate, "", "Quality: Good"}}).options(),
        textured);
    EXPECT_TRUE(quality.known());
    EXPECT_TRUE(quality.Approximate);
    // Each step of quality halves the rate or more.
    const SizeEstimate compact = EstimateOutputSize(
        ChosenFormat("MKV - Matroska Video (*.mkv)", {{kVideoRate, "", "Quality: Compact"}})
            .options(),
        textured);
    EXPECT_LT(compact.Bytes, quality.Bytes * 3 / 4);
    const SizeEstimate lossless = EstimateOutputSize(
        ChosenFormat("FLAC - Free Lossless Audio (*.flac)", {}).options(), textured);
    EXPECT_TRUE(lossless.Approximate);
    InputFacts unknown = textured;
    unknown.DurationMs = -1;
    EXPECT_FALSE(
        EstimateOutputSize(ChosenFormat("FLV - Flash Video (*.flv)", {}).options(), unknown)
            .known());
    // A file without sound is estimated without the sound's rate.
    InputFacts silent = textured;
    silent.HasAudio = false;
    const TOutputOptions flv = ChosenFormat("FLV - Flash Video (*.flv)", {}).options();
    EXPECT_LT(EstimateOutputSize(flv, silent).Bytes, EstimateOutputSize(flv, textured).Bytes);
}

TEST(SizeEstimate, SizeTexts) {
    const std::pair<int64_t, const char*> cases[] = {
        {0, "0.0 kB"},         {812, "0.8 kB"},
        {1000, "1.0 kB"},      {45300, "45.3 kB"},
        {999949, "999.9 kB"},  {999950, "1.0 MB"},
        {12400000, "12.4 MB"}, {1234567890, "1.2 GB"},
        {-5, "0.0 kB"},        {5000000000000, "5.0 TB"}};
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(ByteSizeText(bytes), text) << bytes;
}

} // namespace
