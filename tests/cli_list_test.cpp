// vidbrisk-convert --list-formats and --list-settings, and the format names it accepts.
#include "cli_run.h"

#include <gtest/gtest.h>

namespace {

TEST(CliListTest, FormatsAreTheCatalogueInOrder) {
    const CliRun run = RunCli({"--list-formats"});
    EXPECT_EQ(run.status, 0);
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 75u);
    const std::vector<std::pair<int, std::string>> expected = {
        {0, "0\t3GP\t3\t3GP - Mobile Video Format (*.3gp)"},
        {2, "2\tMP4\t-\t345 (*.mp4)"},
        {27, "27\tMP4\t9\tMP4 - MPEG4 Video (*.mp4)"},
        {32, "32\tSWF\t1\tSWF - Flash Swf (*.swf)"},
        {33, "33\tFLV\t0\tFLV - Flash Video (*.flv)"},
        {34, "34\tMPG\t14\tVideo CD (*.mpg)"},
        {45, "45\tWMA\t19\tWMA - Windows Media Audio (*.wma)"},
        {70, "70\tAMR\t-\tBlackBerry AMR Audio"},
        {71, "71\tMKV\t21\tMKV - Matroska Video (*.mkv)"},
        {74, "74\tFLAC\t24\tFLAC - Free Lossless Audio (*.flac)"},
    };
    for (const auto& [row, line] : expected)
        EXPECT_EQ(lines[static_cast<size_t>(row)], line);
}

struct SettingsCase {
    const char* format;
    std::vector<std::string> expectedLines; // lines that must appear exactly
};

TEST(CliListTest, SettingsAreTheBoxesAfterChoosingTheFormat) {
    const std::vector<SettingsCase> cases = {
        {"FLV",
         {"ComboVideoBitrate\t1\t192 Kbps\t200 Kbps\t216 Kbps\t384 Kbps\t512 Kbps\t640 Kbps\t"
          "768 Kbps\t1000 Kbps\t1200 Kbps\t1500 Kbps\t1600 Kbps\t2000 Kbps\t2500 Kbps",
          "ComboVideoCodec\t0\tFLV",
          "ComboVideoFramerate\t2\tAuto\t14.985 fps\t15.0 fps\t"
          "23.975 fps\t25.0 fps\t29.97 fps\t30.0 fps",
          "ComboAudioCodec\t0\tmp3", "ComboAudioChannels\t0\tStereo\tMono",
          "ComboSamplingRate\t2\t11025 Hz\t22050 Hz\t44100 Hz",
          "ComboAspectRatio\t0\tOriginal\t4:3\t16:9"}},
        // A label in any case; the same lists as FLV, another row.
        {"swf", {"ComboVideoCodec\t0\tFLV", "ComboSamplingRate\t2\t11025 Hz\t22050 Hz\t44100 Hz"}},
        {"MP4 - MPEG4 Video (*.mp4)", {"ComboVideoCodec\t0\tMPEG4\tH264\tXVid"}},
        {"webm",
         {"ComboVideoCodec\t0\tVP9\tAV1\tVP8", "ComboAudioCodec\t0\tOpus\tVorbis",
          "ComboAudioChannels\t0\tStereo\tMono\tOriginal",
          "ComboSamplingRate\t0\t48000 Hz (the only rate Opus takes)"}},
    };
    for (const SettingsCase& test : cases) {
        const CliRun run = RunCli({"--list-settings", test.format});
        EXPECT_EQ(run.status, 0) << test.format << run.err;
        const std::vector<std::string> lines = Lines(run.out);
        ASSERT_EQ(lines.size(), 9u) << test.format;
        const char* boxes[] = {"ComboVideoBitrate",   "ComboVideoCodec",   "ComboVideoSize",
                               "ComboVideoFramerate", "ComboAudioBitrate", "ComboAudioCodec",
                               "ComboAudioChannels",  "ComboSamplingRate", "ComboAspectRatio"};
        for (size_t i = 0; i < 9; ++i)
            EXPECT_EQ(Fields(lines[i])[0], boxes[i]);
        for (const std::string& line : test.expectedLines)
            EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end())
                << test.format << ": " << line << "\n"
                << run.out;
    }
}

TEST(CliListTest, FormatNamesThatAreNotUsableAreRefused) {
    struct Refused {
        const char* format;
        const char* shown;
    };
    for (const Refused& refused :
         {Refused{"AVI", "AVI - DivX Video (*.avi)"}, Refused{"345 (*.mp4)", "without settings"},
          Refused{"MKV - Matroska", "unknown format"},
          Refused{"flv - flash video (*.flv)", "unknown format"}}) {
        const CliRun run = RunCli({"--list-settings", refused.format});
        EXPECT_EQ(run.status, 2) << refused.format;
        EXPECT_NE(run.err.find(refused.shown), std::string::npos) << run.err;
    }
    // A row the box does not offer, named by its display name.
    const CliRun ipod = RunCli({"--list-settings", "iPod (*.mp4)"});
    EXPECT_EQ(ipod.status, 0) << ipod.err;
    EXPECT_EQ(Lines(ipod.out).size(), 9u);
}

} // namespace
