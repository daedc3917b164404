// The media probe on the generated clips, and the file-list row texts built from it.
#include "AVProbe.h"
#include "AVUtilHlpr.h"
#include "MediaLibraries.h"
#include "RowTexts.h"
#include "TestMedia.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdarg>
#include <mutex>
#include <string>
#include <vector>

namespace {

// Library log lines seen while a test runs, with their levels.
std::mutex g_logMutex;
std::vector<std::pair<int, std::string>> g_logLines;

void captureLog(void*, int level, const char* format, va_list args) {
    char text[1024];
    std::vsnprintf(text, sizeof text, format, args);
    std::lock_guard lock(g_logMutex);
    g_logLines.emplace_back(level, text);
}

class ProbeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
        lavu.av_log_set_callback(captureLog);
        lavu.av_log_set_level(AV_LOG_INFO);
        g_logLines.clear();
    }
    void TearDown() override {
        probe.CloseFile();
        lavu.av_log_set_callback(lavu.av_log_default_callback);
    }
    bool logged(int level, const std::string& text) {
        std::lock_guard lock(g_logMutex);
        for (const auto& [lineLevel, line] : g_logLines)
            if (lineLevel == level && line == text)
                return true;
        return false;
    }

    TAVProbe probe;
};

void expectClosed(const TAVProbe& probe) {
    EXPECT_EQ(probe.StreamCount, -1);
    EXPECT_EQ(probe.AudioStreamCount, -1);
    EXPECT_EQ(probe.VideoStreamCount, -1);
    EXPECT_EQ(probe.SubtitleStreamCount, -1);
    EXPECT_EQ(probe.FirstAudioStream, -1);
    EXPECT_EQ(probe.FirstVideoStream, -1);
    EXPECT_EQ(probe.FirstSubtitleStream, -1);
    EXPECT_EQ(probe.FormatName, "");
}

void expectFailedStreamInfo(const TAVStreamInfo& info) {
    EXPECT_EQ(info.Language[0], '\0');
    EXPECT_EQ(info.CodecName[0], '\0');
    EXPECT_EQ(info.Width, -1);
    EXPECT_EQ(info.Height, -1);
    EXPECT_EQ(info.FrameRateNum, -1);
    EXPECT_EQ(info.FrameRateDen, -1);
    EXPECT_EQ(info.DurationUs, -1);
    EXPECT_EQ(info.PixelFormat, -1);
    EXPECT_EQ(info.DisplayAspect, -1.0f);
}

} // namespace

class ProbeClipTest : public ProbeTest, public ::testing::WithParamInterface<TestClip> {};

TEST_P(ProbeClipTest, ReportsWhatTheFileHolds) {
    const TestClip& clip = GetParam();
    const std::string path = TestMediaPath(clip.name);
    ASSERT_EQ(probe.LoadFile(path), clip.opens) << probe.LastErrorMessage;
    if (!clip.opens) {
        EXPECT_EQ(probe.LastErrorMessage, path + ": Unknown format");
        expectClosed(probe);
        return;
    }
    EXPECT_EQ(probe.StreamCount, clip.streamCount);
    EXPECT_EQ(probe.VideoStreamCount, clip.videoStreamCount);
    EXPECT_EQ(probe.AudioStreamCount, clip.audioStreamCount);
    EXPECT_EQ(probe.SubtitleStreamCount, 0);
    EXPECT_EQ(probe.FirstVideoStream, clip.firstVideoStream);
    EXPECT_EQ(probe.FirstAudioStream, clip.firstAudioStream);
    EXPECT_EQ(probe.FirstSubtitleStream, -1);

    const TAVFileInfo file = probe.GetFileInfo();
    if (clip.durationSeconds < 0) {
        EXPECT_EQ(file.Duration, AV_NOPTS_VALUE);
    } else {
        EXPECT_NEAR(file.Duration / 1e6, clip.durationSeconds,
                    TestMedia::kDurationToleranceSeconds);
    }

    const TAVStreamInfo video = probe.GetVideoInfo();
    if (clip.videoStreamCount == 0) {
        expectFailedStreamInfo(video);
        EXPECT_TRUE(logged(AV_LOG_ERROR, "no video stream.\n"));
        return;
    }
    EXPECT_STREQ(video.CodecName, clip.videoCodec);
    EXPECT_EQ(video.Width, clip.width);
    EXPECT_EQ(video.Height, clip.height);
    EXPECT_EQ(video.FrameRateNum, clip.frameRateNum);
    EXPECT_EQ(video.FrameRateDen, clip.frameRateDen);
    EXPECT_NEAR(video.DisplayAspect, static_cast<float>(clip.width) / clip.height, 1e-4);
    EXPECT_EQ(video.PixelFormat, AV_PIX_FMT_YUV420P);
    if (clip.durationSeconds >= 0 && video.DurationUs != -1) {
        EXPECT_NEAR(video.DurationUs / 1e6, clip.durationSeconds, 0.2);
    }
    // The same stream asked for by its index gives the same answer.
    const TAVStreamInfo byIndex = probe.GetStreamInfo(clip.firstVideoStream);
    EXPECT_EQ(byIndex.Width, video.Width);
    EXPECT_EQ(byIndex.FrameRateNum, video.FrameRateNum);
}

INSTANTIATE_TEST_SUITE_P(GeneratedClips, ProbeClipTest, ::testing::ValuesIn(TestMedia::kAllClips),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

TEST_F(ProbeTest, FailuresExplainThemselvesAndLeaveNothingOpen) {
    ASSERT_TRUE(probe.LoadFile(TestMediaPath(TestMedia::kAviMpeg4Mp3.name)));

    const std::string missing = TestMediaPath("no-such-file.avi");
    EXPECT_FALSE(probe.LoadFile(missing));
    EXPECT_EQ(probe.LastErrorMessage, missing + ": no such file or directory");
    expectClosed(probe);

    EXPECT_FALSE(probe.LoadFile(TestMediaPath(TestMedia::kAviMpeg4Mp3.name), "vidbrisk-nonsense"));
    EXPECT_EQ(probe.LastErrorMessage, "Unknown input format: vidbrisk-nonsense");
    expectClosed(probe);

    // A folder is not a media file either.
    EXPECT_FALSE(probe.LoadFile(VIDBRISK_TEST_MEDIA_DIR));
    EXPECT_FALSE(probe.LastErrorMessage.empty());
    expectClosed(probe);
}

TEST_F(ProbeTest, ForcedFormatIsRemembered) {
    ASSERT_TRUE(probe.LoadFile(TestMediaPath(TestMedia::kNoDuration.name), "h264"))
        << probe.LastErrorMessage;
    EXPECT_EQ(probe.FormatName, "h264");
    EXPECT_EQ(probe.VideoStreamCount, 1);
    probe.CloseFile();
    expectClosed(probe);
}

TEST_F(ProbeTest, QueriesWithoutFileOrWithBadIndexLogAndReturnMinusOne) {
    const TAVFileInfo none = probe.GetFileInfo();
    EXPECT_EQ(none.Duration, -1);
    EXPECT_EQ(none.BitRate, -1);
    EXPECT_EQ(none.Title[0], '\0');
    expectFailedStreamInfo(probe.GetVideoInfo());
    EXPECT_TRUE(logged(AV_LOG_INFO, "file not loaded.\n"));

    const TestClip& clip = TestMedia::kAviMpeg4Mp3;
    ASSERT_TRUE(probe.LoadFile(TestMediaPath(clip.name)));
    expectFailedStreamInfo(probe.GetStreamInfo(clip.streamCount));
    EXPECT_TRUE(logged(AV_LOG_ERROR,
                       "stream index #" + std::to_string(clip.streamCount) + " is invalid.\n"));
    expectFailedStreamInfo(probe.GetStreamInfo(clip.firstAudioStream));
    EXPECT_TRUE(logged(AV_LOG_ERROR, "stream #" + std::to_string(clip.firstAudioStream) +
                                         " is not video stream.\n"));
}

TEST(ProbeErrorTextTest, MapsErrorCodesToTexts) {
    struct Case {
        int code;
        std::string text;
    };
    const std::vector<Case> cases = {
        {-2, "f.avi: no such file or directory"},
        {-5, "f.avi: I/O error occurred\r\nUsually that means that input file is truncated "
             "and/or corrupted."},
        {-12, "f.avi: memory allocation error occurred"},
        {-22, "f.avi: Error while parsing header"},
        {-33, "f.avi: Incorrect image filename syntax.\r\nUse '%d' to specify the image "
              "number:\r\n  for img1.jpg, img2.jpg, ..., use 'img%d.jpg';\r\n  for img001.jpg, "
              "img002.jpg, ..., use 'img%03d.jpg'."},
        {-42, "f.avi: Unknown format"},
        {AVERROR(EILSEQ), "f.avi: Unknown format"},
        {AVERROR_INVALIDDATA, "f.avi: Unknown format"},
        {AVERROR_DEMUXER_NOT_FOUND, "f.avi: Unknown format"},
        {-1, "f.avi: Error while opening file"},
        {AVERROR_EOF, "f.avi: Error while opening file"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TAVProbe::ProbeErrorText("f.avi", c.code), c.text) << c.code;
}

TEST_F(ProbeTest, RowTextsOfGeneratedClips) {
    struct Case {
        const char* name;
        FileRowTexts row;
    };
    const std::vector<Case> cases = {
        {TestMedia::kAviMpeg4Mp3.name, {"320x240", "25", "00:00:03", "FLV", "", ""}},
        {TestMedia::kMp4H264Aac.name, {"640x480", "29.97", "00:00:03", "FLV", "", ""}},
        {TestMedia::kMp3Audio.name, {" ", " ", "00:00:03", "FLV", "", ""}},
        {TestMedia::kWavMono8k.name, {" ", " ", "00:00:02", "FLV", "", ""}},
        {TestMedia::kNoDuration.name, {"320x240", "25", "Unknown", "FLV", "", ""}},
        {TestMedia::kNotMedia.name, {"", "", "", "", "Error", ""}},
        {TestMedia::kMp4Half.name, {"", "", "", "", "Error", ""}},
    };
    for (const Case& c : cases) {
        const FileRowTexts row = ProbeFileRow(probe, TestMediaPath(c.name), "FLV");
        EXPECT_EQ(row.VideoSize, c.row.VideoSize) << c.name;
        EXPECT_EQ(row.FrameRate, c.row.FrameRate) << c.name;
        EXPECT_EQ(row.Duration, c.row.Duration) << c.name;
        EXPECT_EQ(row.Output, c.row.Output) << c.name;
        EXPECT_EQ(row.Progress, c.row.Progress) << c.name;
        EXPECT_EQ(row.Frames, "") << c.name;
    }
}

TEST(RowTextTest, DurationText) {
    EXPECT_EQ(DurationText(':', 0), "00:00:00");
    EXPECT_EQ(DurationText(':', 3725), "01:02:05");
    EXPECT_EQ(DurationText(':', 360000), "100:00:00");
    EXPECT_EQ(DurationText('.', 59.5), "00.00.60"); // seconds round, ties to even
    EXPECT_EQ(DurationText(':', 60.5), "00:01:00");
    EXPECT_NE(DurationText(':', -5).find('-'), std::string::npos);
}

TEST(RowTextTest, ContainerDurationText) {
    EXPECT_EQ(ContainerDurationText(3'999'999), "00:00:03"); // truncated, not rounded
    EXPECT_EQ(ContainerDurationText(3725'000'000), "01:02:05");
    EXPECT_EQ(ContainerDurationText(AV_NOPTS_VALUE), "Unknown");
}

TEST(RowTextTest, FrameRateText) {
    struct Case {
        int num, den;
        const char* text;
    };
    const std::vector<Case> cases = {
        {30000, 1001, "29.97"}, {25, 1, "25"},     {24000, 1001, "23.98"},
        {60000, 1001, "59.94"}, {15, 1, "15"},     {2997, 100, "29.97"},
        {125, 10, "12.5"},      {1, 8, "0.12"}, // 12.5 hundredths: tie goes to even
        {3, 8, "0.38"},         {0, 1, "Unknown"}, {25, 0, "Unknown"},
        {-25, 1, "Unknown"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FrameRateText(c.num, c.den), c.text) << c.num << "/" << c.den;
}
