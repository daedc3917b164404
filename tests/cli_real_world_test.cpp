// vidbrisk-convert on files of the kinds people have: damaged ones never stop a batch,
// ASF at its real rate, phone recordings upright, late sound in its place, odd sizes, and
// SWF from sound alone.
#include "AVCodecHlpr.h"
#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"
#include "MediaLibraries.h"
#include "OrientationMark.h"
#include "RealWorldMedia.h"
#include "StreamDecoder.h"
#include "cli_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>

namespace fs = std::filesystem;
using namespace RealWorldMedia;
using namespace OrientationMark;

namespace {

class CliRealWorldTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::temp_directory_path() /
                 (std::string("vidbrisk-rw-") + info->name() + "-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    // Converts one file into a fresh folder; the output's path, or "" after a failure.
    std::string convert(const RealWorldClip& clip, const std::vector<std::string>& settings) {
        return ConvertInto(folder / std::to_string(++runs), RealWorldMediaPath(clip.name),
                           settings);
    }

    fs::path folder;
    int runs = 0;
};

// The first decoded picture of a file's video stream, or nothing.
struct DecodedPicture {
    int width = 0, height = 0;
    std::optional<Orientation> orientation;
};

std::optional<DecodedPicture> firstPicture(const std::string& path) {
    std::optional<DecodedPicture> result;
    StreamDecoder(path, AVMEDIA_TYPE_VIDEO).decode([&](const AVFrame* frame) {
        result = DecodedPicture{
            frame->width, frame->height,
            readOrientation(frame->data[0], frame->linesize[0], frame->width, frame->height)};
        return true;
    });
    return result;
}

// Seconds from the start of a file to the first clearly audible sample of its first audio
// stream.
double firstSoundSeconds(const std::string& path) {
    return ReadTimeline(path).firstAudible;
}

TEST_F(CliRealWorldTest, DamagedFilesEachGetAResultLineAndTheBatchGoesOn) {
    std::vector<std::string> files;
    for (const RealWorldClip& clip : kAllClips)
        if (clip.damage != Damage::None)
            files.push_back(RealWorldMediaPath(clip.name));
    files.push_back(RealWorldMediaPath(kAviMpeg4.name));
    for (const char* format : {"FLV", "MP4", "WAV"}) {
        const fs::path out = folder / format;
        fs::create_directories(out);
        std::vector<std::string> args{"-f", format, "-o", out.string()};
        args.insert(args.end(), files.begin(), files.end());
        const CliRun run = RunCli(args, {}, std::chrono::seconds(180));
        ASSERT_TRUE(run.status == 0 || run.status == 1) << format << " " << run.status << run.err;
        const std::vector<std::string> lines = Lines(run.out);
        ASSERT_EQ(lines.size(), files.size()) << format << "\n" << run.out;
        for (std::size_t i = 0; i < files.size(); ++i) {
            const std::vector<std::string> fields = Fields(lines[i]);
            EXPECT_EQ(fields[1], files[i]);
            EXPECT_TRUE(fields[0] == "Done" ||
                        (fields[0] == "Fail" && fields.size() == 4 && !fields[3].empty()))
                << lines[i];
        }
        EXPECT_EQ(Fields(lines.back())[0], "Done") << format;
        // Nothing ran away: these clips are seconds long.
        for (const fs::directory_entry& entry : fs::directory_iterator(out))
            EXPECT_LT(entry.file_size(), 8u << 20) << entry.path();
    }
}

TEST_F(CliRealWorldTest, AsfClipsProbeAtTheirRateAndKeepTheirLength) {
    for (const RealWorldClip* clip : {&kAsf, &kAsfBadTimestamp}) {
        const CliRun probe = RunCli({"--probe", RealWorldMediaPath(clip->name)});
        ASSERT_EQ(Lines(probe.out).size(), 1u);
        EXPECT_EQ(Fields(probe.out)[2], "25") << clip->name;
        for (const char* format : {"FLV", "MP4", "AVI - Audio Video Interleave (*.avi)", "WMV"}) {
            const std::string output = convert(*clip, {"-f", format});
            const CliRun result = RunCli({"--probe", output});
            EXPECT_EQ(Fields(Lines(result.out).at(0)).at(3), "00:00:10")
                << clip->name << " to " << format;
        }
    }
}

TEST_F(CliRealWorldTest, PhoneRecordingsComeOutUpright) {
    for (const RealWorldClip* clip : {&kRotated90, &kRotated180, &kRotated270}) {
        const CliRun probe = RunCli({"--probe", RealWorldMediaPath(clip->name)});
        EXPECT_EQ(Fields(probe.out).at(1),
                  std::to_string(uprightWidth(*clip)) + "x" + std::to_string(uprightHeight(*clip)));
        for (const char* format : {"FLV", "MP4"}) {
            const std::optional<DecodedPicture> picture =
                firstPicture(convert(*clip, {"-f", format}));
            ASSERT_TRUE(picture) << clip->name << " to " << format;
            EXPECT_EQ(picture->width, uprightWidth(*clip)) << clip->name << " to " << format;
            EXPECT_EQ(picture->height, uprightHeight(*clip)) << clip->name << " to " << format;
            EXPECT_EQ(picture->orientation, Orientation{}) << clip->name << " to " << format;
        }
    }
}

TEST_F(CliRealWorldTest, LateSoundStaysLateInFilesWithoutStreamStarts) {
    for (const char* format : {"AVI - Audio Video Interleave (*.avi)", "AVI - DivX Video (*.avi)",
                               "RM", "MP3", "WAV", "FLV"}) {
        const double start = firstSoundSeconds(convert(kLateAudioMkv, {"-f", format}));
        EXPECT_NEAR(start, kLateAudioMkv.audioStartSeconds, 0.1) << format;
    }
}

TEST_F(CliRealWorldTest, OddSizesEncodeAtTheNearestSizeTheEncoderTakes) {
    const std::optional<DecodedPicture> picture = firstPicture(
        convert(kOddSize, {"-f", "MP4 - MPEG4 Video (*.mp4)", "--video-codec", "H264"}));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 320);
    EXPECT_EQ(picture->height, 240);
}

TEST_F(CliRealWorldTest, SwfFromSoundAloneFailsAndSaysWhy) {
    const CliRun run =
        RunCli({"-f", "SWF", "-o", folder.string(), RealWorldMediaPath(kSoundOnly30s.name)});
    EXPECT_EQ(run.status, 1);
    const std::vector<std::string> fields = Fields(Lines(run.out).at(0));
    EXPECT_EQ(fields.at(0), "Fail");
    EXPECT_EQ(fields.at(3), "SWF needs a video stream, and the input has sound only");
    EXPECT_TRUE(fs::is_empty(folder));
}

} // namespace
