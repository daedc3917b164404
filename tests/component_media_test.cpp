// The component over the real engine and the generated clips: the open failures, a task
// that is given its output but never runs, and a run from start to the all-done signal.
#include "TestMedia.h"
#include "component_fakes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using ComponentMediaTest = ComponentMediaFixture;

TEST_F(ComponentMediaTest, MissingInputFileIsRefusedWithItsName) {
    const std::string missing = scratch("missing.avi");
    EXPECT_EQ(component.AddInputTask(missing), -1);
    EXPECT_EQ(component.LastError, missing + ": no such file or directory");
    EXPECT_EQ(component.Tasks.Count(), 0);
}

TEST_F(ComponentMediaTest, AudioTagOfThreeCharactersFailsTheOutput) {
    const int index = component.AddInputTask(TestMediaPath(TestMedia::kAviMpeg4Mp3.name));
    ASSERT_EQ(index, 0) << component.LastError;
    TOutputOptions options;
    ResetOutputOptions(options);
    options.AudioTag = "mp4";
    EXPECT_FALSE(component.SetTaskOutput(index, scratch("out.avi"), &options));
    EXPECT_EQ(component.LastError, "audio tag parameter must be 4 chars");
    EXPECT_FALSE(fs::exists(scratch("out.avi")));
    component.RemoveTask(index);
    EXPECT_EQ(component.Tasks.Count(), 0);
}

TEST_F(ComponentMediaTest, OutputOfATaskThatNeverRanIsRemovedWithTheTask) {
    for (const bool clear : {true, false}) {
        const std::string output = scratch(clear ? "cleared.avi" : "removed.avi");
        const int index = component.AddInputTask(TestMediaPath(TestMedia::kAviMpeg4Mp3.name));
        ASSERT_GE(index, 0) << component.LastError;
        ASSERT_TRUE(component.SetTaskOutput(index, output)) << component.LastError;
        // The output is written under its hidden part file until the task ends.
        const std::string part = OutputFileClaim::partName(output);
        EXPECT_EQ(TFFmpeg::OutputFileSize(part), 0);
        EXPECT_FALSE(fs::exists(output));
        if (clear)
            component.ClearTasks();
        else
            component.RemoveTask(index);
        EXPECT_FALSE(fs::exists(output)) << output;
        EXPECT_FALSE(fs::exists(part)) << part;
    }
}

TEST_F(ComponentMediaTest, TaskRunsToTheAllDoneSignalAndLeavesItsOutput) {
    const std::string output = scratch("run.avi");
    const int index = component.AddInputTask(TestMediaPath(TestMedia::kAviMpeg4Mp3.name));
    ASSERT_EQ(index, 0) << component.LastError;
    TOutputOptions options;
    ResetOutputOptions(options);
    options.VideoCodec = "mpeg4";
    options.AudioCodec = "mp2";
    ASSERT_TRUE(component.SetTaskOutput(index, output, &options)) << component.LastError;
    component.StartConversion(1);
    ASSERT_TRUE(recorder.waitAllDone(std::chrono::seconds(60)));
    const auto records = recorder.terminationsCopy();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].index, 0);
    EXPECT_FALSE(records[0].exception) << records[0].message;
    EXPECT_TRUE(records[0].finished);
    EXPECT_NE(records[0].threadId, CurrentThreadId());
    EXPECT_EQ(records[1].index, -1);
    const TFFmpeg& task = component.Tasks[0];
    EXPECT_TRUE(task.Terminated);
    EXPECT_FALSE(task.Running);
    EXPECT_TRUE(task.OpenCodecs.Empty());
    EXPECT_EQ(task.OutputFileCount, 0); // released
    EXPECT_GT(TFFmpeg::OutputFileSize(output), 0);
}

TEST_F(ComponentMediaTest, PausedRunHoldsAndStopsWithItsOutputWritten) {
    const std::string output = scratch("paused.avi");
    ASSERT_EQ(component.AddInputTask(TestMediaPath(TestMedia::kMp4H264Aac.name)), 0)
        << component.LastError;
    TOutputOptions options;
    ResetOutputOptions(options);
    options.VideoCodec = "mpeg4";
    options.AudioCodec = "mp2";
    options.RaiseCustomHook = true;
    ASSERT_TRUE(component.SetTaskOutput(0, output, &options)) << component.LastError;
    std::atomic<int> pictures{0};
    component.OnCustomHook = [&](int32_t index, TBitmap*, int32_t frameNumber, int64_t, bool&,
                                 bool&) {
        EXPECT_EQ(index, 0);
        pictures = frameNumber;
        if (frameNumber == 5)
            component.PauseAll(); // from the worker; it holds at the loop's next turn
    };
    component.StartConversion(1);
    ASSERT_TRUE(waitFor([&] { return pictures >= 5; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const int held = pictures;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(pictures.load(), held);
    EXPECT_TRUE(recorder.terminationsCopy().empty());
    component.StopAll();
    ASSERT_TRUE(recorder.waitAllDone(std::chrono::seconds(60)));
    const auto records = recorder.terminationsCopy();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].index, 0);
    EXPECT_FALSE(records[0].finished);
    EXPECT_FALSE(records[0].exception) << records[0].message;
    EXPECT_LT(pictures.load(), 90);
    EXPECT_TRUE(component.Tasks[0].OpenCodecs.Empty());
    EXPECT_GT(TFFmpeg::OutputFileSize(output), 0); // the part written, with its trailer
}

TEST_F(ComponentMediaTest, StopAllBeforeTheRunReportsEveryTaskAndLeavesNoFile) {
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(component.AddInputTask(TestMediaPath(TestMedia::kAviMpeg4Mp3.name)), i);
        ASSERT_TRUE(component.SetTaskOutput(i, scratch("stopped" + std::to_string(i) + ".avi")));
    }
    FakeScheduler scheduler;
    component.Scheduler = &scheduler;
    component.StartConversion(0);
    component.StopAll();
    ASSERT_TRUE(recorder.waitAllDone());
    EXPECT_TRUE(scheduler.runOne()); // the arranged start finds the task terminated
    const auto records = recorder.terminationsCopy();
    ASSERT_EQ(records.size(), 3u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(records[i].finished);
        EXPECT_FALSE(records[i].exception);
    }
    EXPECT_EQ(records[2].index, -1);
    component.ClearTasks();
    EXPECT_FALSE(fs::exists(scratch("stopped0.avi")));
    EXPECT_FALSE(fs::exists(scratch("stopped1.avi")));
}

} // namespace
