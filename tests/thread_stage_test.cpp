// The encoder stage: jobs run in the order they came, small ones pass a queue full of
// pictures, a failing job's exception reaches the worker, and a conversion writes the same
// bytes with its encoders on a thread of their own as with everything on the task's worker.
#include "EncoderStage.h"
#include "AVCodecHlpr.h"
#include "AVFormatHlpr.h"
#include "FFmpeg.h"
#include "MediaLibraries.h"
#include "TestMedia.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace TestMedia;

namespace {

TEST(EncoderStageTest, RunsJobsInOrderOnItsThreadAndRaisesAFailureOnTheWorker) {
    std::vector<int> order; // the stage's thread only, read after finish
    std::atomic<int> started{0}, ended{0};
    {
        EncoderStage stage(
            2, [&] { ++started; }, [&] { ++ended; });
        // Pictures and, between them, packets of sound (small jobs).
        for (int i = 0; i < 200; ++i)
            stage.post([&order, i] { order.push_back(i); }, i % 3 != 0);
        stage.finish();
    }
    ASSERT_EQ(order.size(), 200u);
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(order[static_cast<size_t>(i)], i);
    EXPECT_EQ(started, 1);
    EXPECT_EQ(ended, 1);

    // Small jobs still find room while the queue's picture slots are taken (the worker does
    // not wait on a busy video encoder to hand over its sound).
    {
        std::promise<void> release;
        std::shared_future<void> gate = release.get_future().share();
        std::atomic<int> ran{0};
        EncoderStage stage(1, {}, {});
        stage.post([gate, &ran] {
            gate.wait();
            ++ran;
        });                            // the running picture
        stage.post([&ran] { ++ran; }); // the one queued picture
        for (std::size_t i = 0; i < EncoderStage::kSmallPerSlot - 1; ++i)
            stage.post([&ran] { ++ran; }, true); // returns at once, or the test hangs here
        release.set_value();
        stage.finish();
        EXPECT_EQ(ran, static_cast<int>(EncoderStage::kSmallPerSlot) + 1);
    }

    // After a job fails, the ones behind it never run, and the failure reaches the worker
    // once: from a later post, or else from finish.
    auto ranAfter = std::make_shared<std::atomic<int>>(0);
    int raised = 0;
    {
        EncoderStage stage(2, {}, {});
        stage.post([] { throw std::runtime_error("Video encoding failed"); });
        for (int i = 0; i < 100; ++i) {
            try {
                stage.post([ranAfter] { ++*ranAfter; });
            } catch (const std::runtime_error& error) {
                EXPECT_STREQ(error.what(), "Video encoding failed");
                ++raised;
            }
        }
        try {
            stage.finish();
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), "Video encoding failed");
            ++raised;
        }
    }
    EXPECT_EQ(raised, 1);
    EXPECT_EQ(*ranAfter, 0);
    EXPECT_EQ(ranAfter.use_count(), 1); // dropped jobs gave back what they held
}

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Counts the encoder stage threads it ran.
struct StageCountingEngine : TCustomFFmpeg {
    std::atomic<int> stages{0};
    void EncoderStageStarted() override { ++stages; }
};

// Converts `clip` into `output` with `threads` codec threads, the encoders on their own
// thread or not; returns the log lines.
std::vector<std::string> convert(const std::string& clip, const std::string& output,
                                 const std::string& options, bool stage, int threads = 2) {
    std::vector<std::string> log;
    StageCountingEngine engine;
    engine.InitOptionContexts();
    // The interim progress lines depend on the moment they are written.
    engine.LogCallback = [&log](int, const std::string& text) {
        if (text.rfind("frame=", 0) != 0)
            log.push_back(text);
    };
    engine.ThreadCount = threads;
    engine.UseEncoderStage = stage;
    EXPECT_TRUE(engine.OpenInput(TestMediaPath(clip))) << engine.ErrorText;
    engine.ApplyOptionText(options);
    EXPECT_TRUE(engine.OpenOutput(output)) << engine.ErrorText;
    engine.Transcode(engine.OutputFiles, engine.OutputFileCount, engine.InputFiles,
                     engine.InputFileCount, engine.StreamMaps, engine.StreamMapCount);
    EXPECT_TRUE(engine.Finished);
    EXPECT_EQ(engine.stages, stage && threads != 1 ? 1 : 0);
    engine.FinalCleanup();
    EXPECT_TRUE(engine.OpenCodecs.Empty());
    engine.ReleaseState();
    return log;
}

TEST(EncoderStageTest, ConversionsWriteTheSameBytesWithTheStageAsWithout) {
    ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
    const fs::path folder =
        fs::temp_directory_path() / ("vidbrisk-stage-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    struct Case {
        const char* clip;
        const char* output;
        const char* options;
    };
    // Pictures and sound, pictures decoded on several threads, a frame rate that repeats
    // pictures with resampled sound that the sync method stretches, late sound padded in
    // front.
    const Case cases[] = {
        {kAviMpeg4Mp3.name, "a.flv", "ar=22050\nab=64k\nb=400k"},
        {kMp4H264Aac.name, "b.mp4", ""},
        {kMp4H264Aac.name, "c.avi",
         "vcodec=mjpeg\npix_fmt=yuvj420p\nqscale=5\nr=50\nac=1\nar=16000\nasync=1"},
        {kAudioFirst.name, "e.avi", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output);
        const std::string inline_ = (folder / ("inline-" + std::string(c.output))).string();
        const std::string staged = (folder / ("staged-" + std::string(c.output))).string();
        const std::vector<std::string> inlineLog = convert(c.clip, inline_, c.options, false);
        const std::vector<std::string> stagedLog = convert(c.clip, staged, c.options, true);
        const std::string expected = fileBytes(inline_);
        ASSERT_GT(expected.size(), 1000u);
        EXPECT_TRUE(fileBytes(staged) == expected) << "the files differ";
        EXPECT_EQ(stagedLog, inlineLog);
    }
    fs::remove_all(folder);
}

// Each stream's packet times of a written file, in its time base.
std::vector<std::vector<int64_t>> packetTimes(const std::string& fileName) {
    std::vector<std::vector<int64_t>> times;
    AVFormatContext* file = nullptr;
    if (lavf.avformat_open_input(&file, fileName.c_str(), nullptr, nullptr) < 0)
        return times;
    AVPacket* packet = lavc.av_packet_alloc();
    while (lavf.av_read_frame(file, packet) >= 0) {
        // Some containers announce their streams only with their first packets.
        const auto index = static_cast<size_t>(packet->stream_index);
        if (times.size() <= index)
            times.resize(index + 1);
        times[index].push_back(packet->pts);
        lavc.av_packet_unref(packet);
    }
    lavc.av_packet_free(&packet);
    lavf.avformat_close_input(&file);
    return times;
}

// Decoders on frame threads hand pictures over later than their packets; every picture
// must still keep the time it has on one thread, so no picture is repeated or dropped.
TEST(EncoderStageTest, ThreadedRunsKeepEveryPictureAtItsTime) {
    ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
    const fs::path folder =
        fs::temp_directory_path() / ("vidbrisk-times-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    for (const char* clip : {kMp4H264Aac.name, kAviMpeg4Mp3.name}) {
        SCOPED_TRACE(clip);
        const std::string one = (folder / "one.flv").string();
        const std::string many = (folder / "many.flv").string();
        convert(clip, one, "ar=22050", false, 1);
        convert(clip, many, "ar=22050", true, 3);
        const auto expected = packetTimes(one);
        ASSERT_EQ(expected.size(), 2u);
        EXPECT_GT(expected[0].size(), 50u);
        EXPECT_EQ(packetTimes(many), expected);
        fs::remove(one);
        fs::remove(many);
    }
    fs::remove_all(folder);
}

} // namespace
