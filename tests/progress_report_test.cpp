// Progress reports: the values handed to the progress handler, the text line without a
// handler, and the closing byte summary; on converted files and on hand-made run state.
#include "AVCodecHlpr.h"
#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"
#include "FFmpeg.h"
#include "MediaLibraries.h"
#include "TestMedia.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Report {
    int32_t frameNumber, fps, currentDurationMs;
    float quality, bitRate;
    int64_t currentSize;
    int32_t totalOutputDurationMs;
};

// An engine that takes the progress reports itself (or leaves them to the text line).
class ReportingEngine : public TCustomFFmpeg {
public:
    bool ProgressAssigned() const override { return HandlerAssigned; }
    void ReportProgress(int32_t frameNumber, int32_t fps, int32_t currentDurationMs, float quality,
                        float bitRate, int64_t currentSize,
                        int32_t totalOutputDurationMs) override {
        Reports.push_back({frameNumber, fps, currentDurationMs, quality, bitRate, currentSize,
                           totalOutputDurationMs});
    }
    bool HandlerAssigned = true;
    std::vector<Report> Reports;
};

class ProgressTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
        engine.InitOptionContexts();
        engine.LogCallback = [this](int, const std::string& text) { logLines.push_back(text); };
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::temp_directory_path() / (std::string("vidbrisk-progress-") + info->name() +
                                              "-" + std::to_string(::getpid()));
        fs::create_directories(folder);
    }
    void TearDown() override {
        engine.FinalCleanup();
        engine.ReleaseState();
        fs::remove_all(folder);
    }
    std::string scratch(const std::string& name) const { return (folder / name).string(); }
    void convert(const TestClip& clip, const std::string& output, const std::string& options) {
        ASSERT_TRUE(engine.OpenInput(TestMediaPath(clip.name))) << engine.ErrorText;
        engine.ApplyOptionText(options);
        ASSERT_TRUE(engine.OpenOutput(scratch(output))) << engine.ErrorText;
        engine.TotalDurationMs = 4321;
        engine.Transcode(engine.OutputFiles, engine.OutputFileCount, engine.InputFiles,
                         engine.InputFileCount, engine.StreamMaps, engine.StreamMapCount);
    }
    std::vector<std::string> matching(const std::string& pattern) const {
        std::vector<std::string> lines;
        for (const std::string& line : logLines)
            if (std::regex_search(line, std::regex(pattern)))
                lines.push_back(line);
        return lines;
    }
    ReportingEngine engine;
    std::vector<std::string> logLines;
    fs::path folder;
};

TEST_F(ProgressTest, AudioOnlyOutputReportsNoFramesFpsOrQuality) {
    convert(TestMedia::kMp3Audio, "copy.mp3", "acodec=copy");
    ASSERT_FALSE(engine.Reports.empty());
    for (const Report& report : engine.Reports) {
        EXPECT_EQ(report.frameNumber, -1);
        EXPECT_EQ(report.fps, -1);
        EXPECT_EQ(report.quality, -1.0f);
        EXPECT_EQ(report.totalOutputDurationMs, 4321);
    }
    const Report& last = engine.Reports.back();
    EXPECT_NEAR(last.currentDurationMs, 3000, 200);
    EXPECT_GT(last.currentSize, 0);
    // Kilobits per second over the output time: about the clip's bit rate.
    EXPECT_NEAR(last.bitRate, last.currentSize * 8.0 / (last.currentDurationMs / 1000.0) / 1000.0,
                1.0);
    // With a handler there is no text line, but the summary still closes the task.
    EXPECT_TRUE(matching("^size=").empty());
    EXPECT_EQ(matching("^video:0kB audio:[0-9]+kB global headers:0kB muxing overhead ").size(), 1u);
}

TEST_F(ProgressTest, CopiedVideoCountsFramesWithoutQualityAndFpsZeroInTheFirstSecond) {
    convert(TestMedia::kAviMpeg4Mp3, "copy.mkv", "vcodec=copy\nacodec=copy");
    ASSERT_FALSE(engine.Reports.empty());
    const Report& last = engine.Reports.back();
    EXPECT_EQ(last.frameNumber, 75);
    EXPECT_EQ(last.fps, 0); // the whole copy takes well under a second
    EXPECT_EQ(last.quality, -1.0f);
}

TEST_F(ProgressTest, VideoOutputWithoutFramesReportsNothing) {
    convert(TestMedia::kAviMpeg4Mp3, "none.mkv", "vcodec=copy\nacodec=copy\nvframes=0");
    EXPECT_TRUE(engine.Reports.empty());
    EXPECT_TRUE(matching("^video:").empty());
}

TEST_F(ProgressTest, WithoutHandlerTheFinalTextLineIsLogged) {
    engine.HandlerAssigned = false;
    engine.Verbosity = 2;
    convert(TestMedia::kAviMpeg4Mp3, "copy.mkv", "vcodec=copy\nacodec=copy");
    EXPECT_TRUE(engine.Reports.empty());
    const auto lines =
        matching("^frame=   75 fps=  0 q=-1\\.0 Lsize= +[0-9]+kB time=[0-9]+\\.[0-9]{2} "
                 "bitrate= *[0-9]+\\.[0-9]kbits/s dup=0 drop=0$");
    EXPECT_EQ(lines.size(), 1u);
    const auto summary = matching("^video:[0-9]+kB audio:[0-9]+kB global headers:0kB muxing "
                                  "overhead -?[0-9]+\\.[0-9]{6}%\r\n$");
    EXPECT_EQ(summary.size(), 1u);
}

// Hand-made run state: one output file with streams whose clocks and qualities the test
// sets, to check the report's arithmetic on its own.
class HandMadeReport : public ProgressTest {
protected:
    void SetUp() override {
        ProgressTest::SetUp();
        output = lavf.avformat_alloc_context();
        ASSERT_NE(output, nullptr);
    }
    void TearDown() override {
        engine.OutputStreams.clear();
        engine.Mux.WrittenStreams.clear();
        for (AVCodecContext*& codec : codecs)
            lavc.avcodec_free_context(&codec);
        lavf.avformat_free_context(output);
        ProgressTest::TearDown();
    }
    // Adds an output stream of `kind` whose written packets end at `endTs` (1/1000 s).
    OutputStreamState& addStream(AVMediaType kind, bool encoded, int64_t endTs, int frames,
                                 int qualityLambda = 0) {
        AVStream* stream = lavf.avformat_new_stream(output, nullptr);
        stream->codecpar->codec_type = kind;
        stream->time_base = {1, 1000};
        AVCodecContext* codec = lavc.avcodec_alloc_context3(nullptr);
        codec->codec_type = kind;
        codecs.push_back(codec);
        OutputStreamState ost;
        ost.Stream = stream;
        ost.Codec = &codecs.back();
        ost.EncodingNeeded = encoded;
        ost.FrameNumber = frames;
        engine.OutputStreams.push_back(ost);
        TCustomFFmpeg::TWrittenStream written;
        written.EndTs = endTs;
        written.Quality = qualityLambda;
        engine.Mux.WrittenStreams.push_back(written);
        return engine.OutputStreams.back();
    }
    AVFormatContext* output = nullptr;
    std::vector<AVCodecContext*> codecs;
};

TEST_F(HandMadeReport, TheSmallestPositiveStreamTimeIsTheOutputTime) {
    const struct {
        int64_t firstEndMs, secondEndMs;
        int32_t durationMs;
    } cases[] = {
        {4, 2000, 10}, // 0.004 s is raised to 0.01 s
        {0, 1500, 1500},
        {2500, 1200, 1200},
        {0, 0, 0}, // no stream has a time yet
    };
    codecs.reserve(8);
    for (const auto& c : cases) {
        engine.OutputStreams.clear();
        engine.Mux.WrittenStreams.clear();
        engine.Reports.clear();
        addStream(AVMEDIA_TYPE_AUDIO, false, c.firstEndMs, 10);
        addStream(AVMEDIA_TYPE_AUDIO, false, c.secondEndMs, 10);
        engine.PrintReport(&output, true);
        ASSERT_EQ(engine.Reports.size(), 1u);
        EXPECT_EQ(engine.Reports[0].currentDurationMs, c.durationMs) << c.firstEndMs;
    }
}

TEST_F(HandMadeReport, QualityOfEncodedVideoAndTheOtherVideoStreams) {
    codecs.reserve(4);
    engine.HandlerAssigned = false;
    engine.TimerStartUs = lavu.av_gettime() - 4000000; // four seconds ago
    addStream(AVMEDIA_TYPE_VIDEO, true, 4000, 100, 5 * FF_QP2LAMBDA);
    addStream(AVMEDIA_TYPE_VIDEO, true, 4000, 100, 7 * FF_QP2LAMBDA);
    addStream(AVMEDIA_TYPE_VIDEO, false, 4000, 100);
    engine.PrintReport(&output, false);
    ASSERT_EQ(logLines.size(), 1u);
    EXPECT_EQ(logLines[0].rfind("frame=  100 fps= 25 q=5.0 q=7.0 q=-1.0 size=", 0), 0u)
        << logLines[0];
}

TEST_F(HandMadeReport, QpHistogramCountsTheFirstVideoStreamsQuantiser) {
    codecs.reserve(2);
    engine.HandlerAssigned = false;
    engine.QpHistogram = 1;
    engine.TimerStartUs = lavu.av_gettime();
    addStream(AVMEDIA_TYPE_VIDEO, true, 1000, 3, 2 * FF_QP2LAMBDA);
    for (int i = 0; i < 3; ++i)
        engine.PrintReport(&output, false);
    EXPECT_EQ(engine.Progress.QpHistogramCounts[2], 3);
    ASSERT_EQ(logLines.size(), 3u);
    // log2(3 + 1) = 2 for quantiser 2, 0 for the others.
    EXPECT_NE(logLines[2].find("q=2.0 002" + std::string(29, '0') + "size="), std::string::npos)
        << logLines[2];
}

TEST_F(HandMadeReport, PsnrOfThePlanesAndOfTheWholePicture) {
    codecs.reserve(2);
    engine.HandlerAssigned = false;
    engine.TimerStartUs = lavu.av_gettime();
    OutputStreamState& ost = addStream(AVMEDIA_TYPE_VIDEO, true, 1000, 2);
    AVCodecContext* codec = *ost.Codec;
    codec->flags |= AV_CODEC_FLAG_PSNR;
    codec->width = 16;
    codec->height = 16;
    // Two frames: the accumulated luma error is a hundredth of the scale (20 dB), the
    // chroma errors a thousandth of theirs (30 dB).
    const double scale = 16.0 * 16.0 * 255.0 * 255.0 * 2;
    codec->error[0] = static_cast<uint64_t>(scale / 100);
    codec->error[1] = codec->error[2] = static_cast<uint64_t>(scale / 4 / 1000);
    engine.PrintReport(&output, true);
    ASSERT_FALSE(logLines.empty());
    EXPECT_NE(logLines[0].find("LPSNR=Y:20.00 U:30.00 V:30.00 *:21.55 size="), std::string::npos)
        << logLines[0];
}

TEST_F(ProgressTest, VideoStatisticsFileHasALinePerEncodedFrame) {
    const std::string statistics = scratch("vstats.log");
    convert(TestMedia::kAviMpeg4Mp3, "out.avi",
            "vcodec=mpeg4\nacodec=mp2\nvstats_file=" + statistics);
    engine.ReleaseState();
    std::ifstream file(statistics);
    std::string line;
    int lines = 0;
    const std::regex shape("^frame= +[0-9]+ q= [0-9]+\\.[0-9] f_size= +[0-9]+ s_size= +[0-9]+kB "
                           "time= [0-9]+\\.[0-9]{3} br= +[0-9.]+kbits/s avg_br= +[0-9.]+kbits/s "
                           "type= [IPB]$");
    while (std::getline(file, line)) {
        ++lines;
        EXPECT_TRUE(std::regex_match(line, shape)) << line;
    }
    EXPECT_EQ(lines, 75);
}

TEST_F(ProgressTest, VideoStatisticsWithoutANameGoBesideTheOutput) {
    convert(TestMedia::kAviMpeg4Mp3, "out.avi", "vcodec=mpeg4\nacodec=mp2\nvstats");
    engine.ReleaseState();
    const fs::path folder = fs::path(scratch("out.avi")).parent_path();
    int found = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().rfind("vstats_", 0) == 0) {
            ++found;
            EXPECT_GT(fs::file_size(entry.path()), 0u);
        }
    EXPECT_EQ(found, 1);
}

} // namespace
