// Main loop runs with encoding: a stop request part-way, "Shortest" over two inputs, rate
// emulation, a damaged input, and interim reports at the task's interval.
#include "AVCodecHlpr.h"
#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"
#include "FFmpeg.h"
#include "MediaLibraries.h"
#include "TFFmpeg.h"
#include "EngineFixture.h"
#include "TestMedia.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The container duration of a written file in seconds; -1 when it does not open.
double fileDuration(const std::string& fileName, int* streams = nullptr) {
    AVFormatContext* context = nullptr;
    if (lavf.avformat_open_input(&context, fileName.c_str(), nullptr, nullptr) < 0)
        return -1;
    double duration = -1;
    if (lavf.avformat_find_stream_info(context, nullptr) >= 0 && context->duration > 0)
        duration = context->duration / 1e6;
    if (streams)
        *streams = static_cast<int>(context->nb_streams);
    lavf.avformat_close_input(&context);
    return duration;
}

// An engine whose pause gate can ask for a stop after a number of loop iterations.
class StoppingEngine : public TCustomFFmpeg {
public:
    void WaitWhilePaused() override {
        if (++Iterations == StopAtIteration)
            StopRequested = true;
        if (InputFileStates.size() == 2 && !InputFileStates[0].EofReached &&
            !InputFileStates[1].EofReached) {
            const int64_t first = InputStreams[InputFileStates[0].FirstStream].Pts;
            const int64_t second = InputStreams[InputFileStates[1].FirstStream].Pts;
            LargestClockGapUs = std::max(LargestClockGapUs, std::abs(first - second));
        }
    }
    int Iterations = 0;
    int StopAtIteration = -1;
    // The largest gap between the clocks of the first two input streams of different files
    // seen at the top of an iteration while neither file had ended (microseconds).
    int64_t LargestClockGapUs = 0;
};

template <class Engine> class RunFixture : public EngineFixture<Engine> {
protected:
    using EngineFixture<Engine>::engine;
    using EngineFixture<Engine>::scratch;
    void transcode() {
        engine.Transcode(engine.OutputFiles, engine.OutputFileCount, engine.InputFiles,
                         engine.InputFileCount, engine.StreamMaps, engine.StreamMapCount);
    }
};

using LoopRunTest = RunFixture<StoppingEngine>;

TEST_F(LoopRunTest, StopWhileEncodingLeavesAPlayableShorterFile) {
    ASSERT_TRUE(engine.OpenInput(TestMediaPath(TestMedia::kAviMpeg4Mp3.name)));
    engine.ApplyOptionText("vcodec=mpeg4\nacodec=mpeg4aac");
    ASSERT_TRUE(engine.OpenOutput(scratch("stopped.mp4")));
    engine.StopAtIteration = 60;
    transcode();
    EXPECT_FALSE(engine.Finished);
    EXPECT_TRUE(engine.OpenCodecs.Empty());
    engine.ReleaseState();
    int streams = 0;
    const double duration = fileDuration(scratch("stopped.mp4"), &streams);
    EXPECT_EQ(streams, 2);
    EXPECT_GT(duration, 0.3); // the trailer was written: the file plays
    EXPECT_LT(duration, 2.5);
}

TEST_F(LoopRunTest, ShortestEndsWithTheFirstInputToEnd) {
    // Video of the 3 s clip, audio of the 2 s clip.
    ASSERT_TRUE(engine.OpenInput(TestMediaPath(TestMedia::kAviMpeg4Mp3.name)));
    ASSERT_TRUE(engine.OpenInput(TestMediaPath(TestMedia::kWavMono8k.name)));
    engine.ApplyOptionText(
        "map=0:0\nmap=1:0\nvcodec=mpeg4\nacodec=mp2\nar=44100\nac=1\nshortest=1");
    ASSERT_TRUE(engine.OpenOutput(scratch("short.avi")));
    transcode();
    EXPECT_TRUE(engine.Finished);
    engine.ReleaseState();
    EXPECT_NEAR(fileDuration(scratch("short.avi")), TestMedia::kWavMono8k.durationSeconds, 0.3);
}

TEST_F(LoopRunTest, WithoutShortestTheLongerInputRunsToItsEnd) {
    ASSERT_TRUE(engine.OpenInput(TestMediaPath(TestMedia::kAviMpeg4Mp3.name)));
    ASSERT_TRUE(engine.OpenInput(TestMediaPath(TestMedia::kWavMono8k.name)));
    engine.ApplyOptionText("map=0:0\nmap=1:0\nvcodec=mpeg4\nacodec=mp2\nar=44100\nac=1");
    ASSERT_TRUE(engine.OpenOutput(scratch("long.avi")));
    transcode();
    engine.ReleaseState();
    EXPECT_NEAR(fileDuration(scratch("long.avi")), TestMedia::kAviMpeg4Mp3.durationSeconds, 0.3);
}

TEST_F(LoopRunTest, TheInputFurthestBehindIsReadNext) {
    // Video from one file, audio from another: the loop alternates between them so that
    // neither output runs ahead of the other.
    for (const char* sync : {"", "isync=1"}) {
        engine.InitOptionContexts();
        engine.LargestClockGapUs = 0;
        ASSERT_TRUE(engine.OpenInput(TestMediaPath(TestMedia::kVideoOnly.name)));
        ASSERT_TRUE(engine.OpenInput(TestMediaPath(TestMedia::kMp3Audio.name)));
        engine.ApplyOptionText(std::string("vcodec=mpeg4\nacodec=mp2\n") + sync);
        ASSERT_TRUE(engine.OpenOutput(scratch("paired.avi")));
        transcode();
        EXPECT_TRUE(engine.Finished);
        EXPECT_LT(engine.LargestClockGapUs, 300000) << sync;
        engine.ReleaseState();
    }
}

TEST_F(LoopRunTest, RateEmulationReadsAtTheInputsPace) {
    engine.ApplyOptionText("re=1");
    ASSERT_TRUE(engine.OpenInput(TestMediaPath(TestMedia::kAviMpeg4Mp3.name)));
    engine.ApplyOptionText("vcodec=mpeg4\nacodec=mp2\nt=1");
    ASSERT_TRUE(engine.OpenOutput(scratch("paced.avi")));
    const auto start = std::chrono::steady_clock::now();
    transcode();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // A lower bound only: the run cannot be faster than the second of input it reads.
    EXPECT_GE(seconds, 0.8);
}

TEST_F(LoopRunTest, DamagedInputStillConvertsToTheEnd) {
    // A copy of the clip with garbage written over the middle of the file.
    const std::string damaged = scratch("damaged.avi");
    fs::copy_file(TestMediaPath(TestMedia::kAviMpeg4Mp3.name), damaged);
    const auto size = fs::file_size(damaged);
    {
        std::fstream file(damaged, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(size / 2));
        const std::string garbage(4096, '\xA5');
        file.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
    }
    ASSERT_TRUE(engine.OpenInput(damaged));
    engine.ApplyOptionText("vcodec=mpeg4\nacodec=mp2");
    ASSERT_TRUE(engine.OpenOutput(scratch("repaired.avi")));
    transcode();
    EXPECT_TRUE(engine.Finished);
    engine.ReleaseState();
    EXPECT_GT(fileDuration(scratch("repaired.avi")), 2.0);
}

// The task object: its interval and handler drive the interim reports.
class ReportCounter : public RunFixture<TFFmpeg> {};

TEST_F(ReportCounter, IntervalZeroReportsAfterEveryPacketAndEndsWithTheFinalReport) {
    std::vector<int32_t> frames;
    engine.ProgressIntervalUs = 0;
    engine.ProgressCallback = [&](TFFmpeg&, int32_t frameNumber, int32_t, int32_t, float, float,
                                  int64_t, int32_t) { frames.push_back(frameNumber); };
    ASSERT_TRUE(engine.OpenInput(TestMediaPath(TestMedia::kAviMpeg4Mp3.name)));
    engine.ApplyOptionText("vcodec=mpeg4\nacodec=mp2");
    ASSERT_TRUE(engine.OpenOutput(scratch("reported.avi")));
    transcode();
    ASSERT_GT(frames.size(), 50u);
    for (std::size_t i = 1; i < frames.size(); ++i)
        EXPECT_GE(frames[i], frames[i - 1]);
    EXPECT_EQ(frames.back(), 75);
}

TEST_F(ReportCounter, TheDefaultIntervalGivesOnlyTheFinalReportOnAShortRun) {
    int reports = 0;
    engine.ProgressIntervalUs = 60 * 1000000LL;
    engine.ProgressCallback = [&](TFFmpeg&, int32_t, int32_t, int32_t, float, float, int64_t,
                                  int32_t) { ++reports; };
    ASSERT_TRUE(engine.OpenInput(TestMediaPath(TestMedia::kAviMpeg4Mp3.name)));
    engine.ApplyOptionText("vcodec=mpeg4\nacodec=mp2");
    ASSERT_TRUE(engine.OpenOutput(scratch("reported.avi")));
    transcode();
    EXPECT_EQ(reports, 1);
}

} // namespace
