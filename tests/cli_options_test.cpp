// vidbrisk-convert's --option lines against the format's settings (they win or are refused,
// never silently lost), and what --verbose shows of a file's set-up.
#include "MediaLibraries.h"
#include "OutputStreams.h"
#include "TestMedia.h"
#include "cli_run.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

class CliOptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::temp_directory_path() /
                 (std::string("vidbrisk-opt-") + info->name() + "-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    fs::path folder;
};

TEST_F(CliOptionsTest, OptionsWinOverTheFormatsSettings) {
    // The MP4 row's boxes say MPEG4, AAC, 44100 Hz, stereo and the input's size, and the
    // record's empty title is applied after the option text.
    const std::string mp4 = TestMediaPath(TestMedia::kMp4H264Aac.name);
    const CliRun run =
        RunCli({"-f", "MP4 - MPEG4 Video (*.mp4)", "-o", folder.string(), "--option",
                "vcodec=libx264", "--option", "acodec=mp3", "--option", "ar=22050", "--option",
                "ac=1", "--option", "s=176x144", "--option", "title=Holiday", mp4});
    ASSERT_EQ(run.status, 0) << run.err << run.out;
    const OutputStreams streams = ReadOutputStreams((folder / "h264_aac.mp4").string());
    EXPECT_EQ(streams.videoCodec, "h264") << streams;
    EXPECT_EQ(streams.width, 176) << streams;
    EXPECT_EQ(streams.height, 144) << streams;
    EXPECT_EQ(streams.audioCodec, "mp3") << streams;
    EXPECT_EQ(streams.sampleRateHz, 22050) << streams;
    EXPECT_EQ(streams.channels, 1) << streams;
    EXPECT_EQ(streams.title, "Holiday") << streams;
}

TEST_F(CliOptionsTest, OptionsThatCannotTakeEffectAreRefusedNamingTheFlag) {
    const std::string avi = TestMediaPath(TestMedia::kAviMpeg4Mp3.name);
    struct Refusal {
        std::vector<std::string> extra;
        const char* named;
    };
    for (const Refusal& refusal :
         {Refusal{{"--option", "v=2"}, "--verbose"},
          Refusal{{"--letterbox", "--option", "padtop=8"}, "--letterbox"}}) {
        std::vector<std::string> args{"-f", "FLV", "-o", folder.string()};
        args.insert(args.end(), refusal.extra.begin(), refusal.extra.end());
        args.push_back(avi);
        const CliRun run = RunCli(args);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_NE(run.err.find("--option "), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(refusal.named), std::string::npos) << run.err;
        EXPECT_TRUE(fs::is_empty(folder));
    }
}

TEST_F(CliOptionsTest, VerboseShowsTheLinesOfAFileThatFailedWhileItsOutputWasSetUp) {
    const std::string avi = TestMediaPath(TestMedia::kAviMpeg4Mp3.name);
    const CliRun run = RunCli({"-f", "FLV", "-o", folder.string(), "--verbose", "--option",
                               "vhook=/nonexistent/x.so", avi});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("Failed to add video hook function"), std::string::npos) << run.out;
    // The loader's own words, logged while the output was set up.
    EXPECT_NE(run.err.find("/nonexistent/x.so: cannot open shared object file"), std::string::npos)
        << run.err;
}

TEST_F(CliOptionsTest, VerboseDescribesTheOutputWithItsOpenedCodecs) {
    const std::string avi = TestMediaPath(TestMedia::kAviMpeg4Mp3.name);
    const CliRun done = RunCli({"-f", "FLV", "-o", folder.string(), "--verbose", avi});
    EXPECT_EQ(done.status, 0) << done.err;
    EXPECT_NE(done.err.find("Video: flv1, yuv420p, 320x240"), std::string::npos) << done.err;
    EXPECT_NE(done.err.find("Audio: mp3, 44100 Hz, stereo"), std::string::npos) << done.err;
    // An encoder that refuses its settings: the output is still described as asked for.
    const CliRun refused = RunCli({"-f", "FLV", "-o", folder.string(), "--verbose", "--option",
                                   "vcodec=mjpeg", "--option", "pix_fmt=yuv420p", avi});
    EXPECT_EQ(refused.status, 1) << refused.err;
    EXPECT_NE(refused.err.find("Video: mjpeg, yuv420p, 320x240"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("Audio: mp3, 44100 Hz, stereo"), std::string::npos) << refused.err;
}

} // namespace
