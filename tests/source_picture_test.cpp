// Pictures as the input shows them, end to end through vidbrisk-convert: anamorphic sources
// keep their display shape, other chroma and bit depths come out as the 8-bit 4:2:0 every
// device plays, interlaced sources come out whole, 5.1 sound takes the channels the box
// shows, and a name as long as the file system allows converts.
#include "AVProbe.h"
#include "MediaLibraries.h"
#include "OutputStreams.h"
#include "SourceKinds.h"
#include "StreamDecoder.h"
#include "cli_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;
using namespace SourceKinds;

namespace {

class SourcePictureTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::temp_directory_path() /
                 (std::string("vidbrisk-src-") + info->name() + "-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    // Converts one file with the settings into a fresh folder; the output's path, or "".
    std::string convert(const std::string& input, const std::vector<std::string>& settings) {
        std::vector<std::string> args{"--quiet"};
        args.insert(args.end(), settings.begin(), settings.end());
        return ConvertInto(folder / std::to_string(++runs), input, args);
    }

    fs::path folder;
    int runs = 0;
};

double displayAspectOf(const SourceClip& clip) {
    return static_cast<double>(clip.width) * clip.sampleAspectNum /
           (static_cast<double>(clip.height) * clip.sampleAspectDen);
}

TEST_F(SourcePictureTest, TheProbeGivesTheDisplayShape) {
    for (const SourceClip& clip : kAnamorphicClips) {
        TAVProbe probe;
        ASSERT_TRUE(probe.LoadFile(SourceKindsPath(clip.name))) << clip.name;
        EXPECT_NEAR(probe.GetVideoInfo().DisplayAspect, displayAspectOf(clip), 0.01) << clip.name;
    }
}

// Rows whose size is "Original Video Size" show the picture with square pixels at its
// display size; rows of a fixed size keep it and say the shape by the sample aspect ratio
// where the container carries one.
TEST_F(SourcePictureTest, AnamorphicSourcesKeepTheirDisplayShape) {
    struct Row {
        const char* format;
        bool originalSize;
    };
    const Row rows[] = {{"FLV", true},
                        {"AVI - DivX Video (*.avi)", true},
                        {"MOV", true},
                        {"MP4 - MPEG4 Video (*.mp4)", true},
                        {"MKV", true},
                        {"WMV", false},
                        {"MPEG-2 Movie (*.mpg)", false}};
    for (const SourceClip& clip : kAnamorphicClips)
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(clip.name) + " to " + row.format);
            const OutputStreams streams =
                ReadOutputStreams(convert(SourceKindsPath(clip.name), {"-f", row.format}));
            ASSERT_GT(streams.height, 0) << streams;
            EXPECT_NEAR(streams.displayAspect, displayAspectOf(clip), 0.02) << streams;
            if (row.originalSize) {
                EXPECT_EQ(streams.height, clip.height) << streams;
                EXPECT_NEAR(static_cast<double>(streams.width) / streams.height,
                            displayAspectOf(clip), 0.01)
                    << streams;
            }
        }
}

TEST_F(SourcePictureTest, LetterboxShowsTheDisplayShapeInsideAFixedFrame) {
    const std::string output =
        convert(SourceKindsPath(kDvdWide.name),
                {"-f", "MP4 - MPEG4 Video (*.mp4)", "--video-size", "320x240", "--letterbox"});
    const OutputStreams streams = ReadOutputStreams(output);
    EXPECT_EQ(streams.width, 320);
    EXPECT_EQ(streams.height, 240);
    EXPECT_NEAR(streams.displayAspect, 4.0 / 3.0, 0.01) << streams;
    // 16:9 in 320x240: a picture of 320x180 with bars of 30 rows above and below.
    EXPECT_LT(MeanLumaOfRows(output, 0, 24).value_or(255), 24);
    EXPECT_GT(MeanLumaOfRows(output, 40, 160).value_or(0), 40);
}

TEST_F(SourcePictureTest, OtherChromaAndDepthsComeOutEightBit420) {
    struct Row {
        std::vector<std::string> settings;
        std::set<std::string> profiles; // what every common decoder of the codec takes
    };
    const std::set<std::string> h264{"Baseline", "Constrained Baseline", "Main", "High"};
    const Row rows[] = {{{"-f", "MKV"}, h264},
                        {{"-f", "MKV", "--video-codec", "HEVC"}, {"Main"}},
                        {{"-f", "WEBM"}, {"Profile 0"}},
                        {{"-f", "WEBM", "--video-codec", "AV1"}, {"Main"}},
                        {{"-f", "MP4 - MPEG4 Video (*.mp4)", "--video-codec", "H264"}, h264},
                        {{"-f", "iPod (*.mp4)", "--video-codec", "H264"}, h264}};
    for (const SourceClip& clip : kChromaClips)
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(clip.name) + " with " + row.settings[1] + " " +
                         row.settings.back());
            const OutputStreams streams =
                ReadOutputStreams(convert(SourceKindsPath(clip.name), row.settings));
            EXPECT_TRUE(streams.pixelFormat == "yuv420p" || streams.pixelFormat == "yuvj420p")
                << streams;
            EXPECT_EQ(row.profiles.count(streams.profile), 1u) << streams;
        }
}

// How much the rows of the decoded pictures disagree with their neighbours, against their
// neighbours two rows off (the other field's rows agree with each other): about 1 for
// whole pictures, far above for woven fields that were taken at different times.
double combing(const std::string& path) {
    double neighbours = 0;
    double sameField = 0;
    StreamDecoder pictures(path, AVMEDIA_TYPE_VIDEO);
    pictures.decode([&](const AVFrame* frame) {
        const int stride = frame->linesize[0];
        for (int y = 2; y + 2 < frame->height; ++y) {
            const uint8_t* row = frame->data[0] + static_cast<std::ptrdiff_t>(y) * stride;
            for (int x = 0; x < frame->width; ++x) {
                neighbours += std::abs(2 * row[x] - row[x - stride] - row[x + stride]);
                sameField += std::abs(2 * row[x] - row[x - 2 * stride] - row[x + 2 * stride]);
            }
        }
        return false;
    });
    return sameField > 0 ? neighbours / sameField : 0;
}

TEST_F(SourcePictureTest, InterlacedSourcesComeOutWhole) {
    const std::string input = SourceKindsPath(kInterlaced.name);
    ASSERT_GT(combing(input), 5.0);
    for (const char* format : {"MKV", "FLV", "AVI - DivX Video (*.avi)"}) {
        EXPECT_LT(combing(convert(input, {"-f", format})), 2.0) << format;
        EXPECT_LT(combing(convert(input, {"-f", format, "--deinterlace", "always"})), 2.0)
            << format;
        EXPECT_GT(combing(convert(input, {"-f", format, "--deinterlace", "never"})), 5.0) << format;
        // The engine's own option still deinterlaces every picture.
        EXPECT_LT(combing(convert(input, {"-f", format, "--deinterlace", "never", "--option",
                                          "deinterlace=1"})),
                  2.0)
            << format;
    }
    const CliRun refused =
        RunCli({"-f", "MKV", "--deinterlace", "sometimes", "-o", folder.string(), input});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("'--deinterlace' takes auto, always or never"), std::string::npos)
        << refused.err;
    // A progressive source is left as it is unless asked.
    const std::string progressive = SourceKindsPath(kDvdStandard.name);
    const std::string kept = convert(progressive, {"-f", "MKV", "--deinterlace", "auto"});
    EXPECT_LT(combing(kept), 2.0);
}

TEST_F(SourcePictureTest, FiveOneSoundTakesTheChannelsTheBoxShows) {
    // The rows that used to keep the input's channels, and the mono-only rows.
    const char* rows[] = {"iPod (*.mp4)",
                          "iPod Touch (*.mp4)",
                          "Apple TV (*.mp4)",
                          "Apple TV H264 (640 x 480) (*.mp4)",
                          "3GP",
                          "BlackBerry AMR Audio",
                          "MKV",
                          "MP3"};
    for (const char* row : rows) {
        const CliRun settings = RunCli({"--list-settings", row});
        std::vector<std::string> channels;
        for (const std::string& line : Lines(settings.out)) {
            const std::vector<std::string> fields = Fields(line);
            if (fields.at(0) == "ComboAudioChannels")
                channels.assign(fields.begin() + 2, fields.end());
        }
        for (const std::string& choice : channels) {
            if (choice == "Original")
                continue;
            const OutputStreams streams = ReadOutputStreams(
                convert(SourceKindsPath(kSurround.name), {"-f", row, "--channels", choice}));
            EXPECT_EQ(streams.channels, choice == "Stereo" ? 2 : 1) << row << " " << choice;
        }
    }
}

TEST_F(SourcePictureTest, ANameAsLongAsTheFileSystemTakesConverts) {
    const std::string name = std::string(250 - 4, 'n') + ".mkv";
    const fs::path input = folder / name;
    fs::copy_file(SourceKindsPath(kSurround.name), input);
    for (const char* format : {"FLV", "MP4 - MPEG4 Video (*.mp4)"}) {
        const std::string output = convert(input.string(), {"-f", format});
        ASSERT_FALSE(output.empty()) << format;
        EXPECT_EQ(fs::path(output).filename().string().size(), 250u);
        EXPECT_TRUE(fs::exists(output));
        for (const fs::directory_entry& entry :
             fs::directory_iterator(fs::path(output).parent_path()))
            EXPECT_EQ(entry.path(), fs::path(output)) << "left behind";
    }
}

} // namespace
