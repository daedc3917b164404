// The life of one engine instance without the component: start once, the start-time
// failures, the run's failure capture and clean-up, stop, the pause gate, the report of a
// task that never ran, priority, and destruction while the worker runs.
#include "FFmpegThread.h"
#include "component_fakes.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <filesystem>
#include <fstream>

namespace {

// A fake task with its files "open" and its termination and log lines recorded.
struct ObservedTask {
    explicit ObservedTask(FakeRunStats* stats = nullptr) : task(std::make_unique<FakeTask>(stats)) {
        task->TerminateCallback = [this](TFFmpeg& t) {
            const std::lock_guard lock(mutex);
            terminations.push_back({t.Finished, t.Failed, t.FailureMessage, CurrentThreadId()});
        };
        task->LogCallback = [this](int level, const std::string& text) {
            const std::lock_guard lock(mutex);
            logs.emplace_back(level, text);
        };
        task->InputFileCount = 1;
        task->OutputFileCount = 1;
    }
    struct Termination {
        bool finished;
        bool failed;
        std::string message;
        int32_t threadId;
    };
    std::size_t terminationCount() {
        const std::lock_guard lock(mutex);
        return terminations.size();
    }
    Termination termination(std::size_t i) {
        const std::lock_guard lock(mutex);
        return terminations.at(i);
    }
    std::unique_ptr<FakeTask> task;
    std::mutex mutex;
    std::vector<Termination> terminations;
    std::vector<std::pair<int, std::string>> logs;
};

TEST(LifecycleTest, StartTwiceStartsOneWorker) {
    ObservedTask observed;
    TFFmpegThread* worker = observed.task->Start(true, tpNormal);
    ASSERT_NE(worker, nullptr);
    EXPECT_EQ(observed.task->WorkerThread.load(), worker);
    EXPECT_EQ(observed.task->Start(true, tpNormal), nullptr);
    worker->Resume();
    ASSERT_TRUE(waitFor([&] { return observed.task->entered.load(); }));
    EXPECT_EQ(observed.task->runThreadId.load(), worker->ThreadId());
    observed.task->Stop();
    ASSERT_TRUE(waitFor([&] { return observed.terminationCount() == 1; }));
    EXPECT_FALSE(observed.termination(0).finished);
    EXPECT_FALSE(observed.termination(0).failed);
    // Terminated: never starts again.
    EXPECT_EQ(observed.task->Start(true, tpNormal), nullptr);
    EXPECT_EQ(observed.task->Start(false, tpNormal), nullptr);
    observed.task.reset();
    EXPECT_EQ(observed.terminations.size(), 1u);
}

struct MissingFileCase {
    int inputs;
    int outputs;
    const char* message;
};

class LifecycleMissingFileTest : public ::testing::TestWithParam<MissingFileCase> {};

TEST_P(LifecycleMissingFileTest, IsReportedThroughTheTerminationNotRaised) {
    ObservedTask observed;
    observed.task->InputFileCount = GetParam().inputs;
    observed.task->OutputFileCount = GetParam().outputs;
    TFFmpegThread* worker = nullptr;
    EXPECT_NO_THROW(worker = observed.task->Start(true, tpNormal));
    EXPECT_EQ(worker, nullptr);
    ASSERT_EQ(observed.terminationCount(), 1u); // reported at once, on this thread
    EXPECT_TRUE(observed.termination(0).failed);
    EXPECT_FALSE(observed.termination(0).finished);
    EXPECT_EQ(observed.termination(0).message, GetParam().message);
    EXPECT_EQ(observed.termination(0).threadId, CurrentThreadId());
    ASSERT_EQ(observed.logs.size(), 1u);
    EXPECT_EQ(observed.logs[0].first, kLogTaskError);
    EXPECT_EQ(observed.logs[0].second, GetParam().message);
    EXPECT_FALSE(observed.task->entered);
    EXPECT_FALSE(observed.task->Running);
    EXPECT_TRUE(observed.task->Terminated);
}

INSTANTIATE_TEST_SUITE_P(
    Files, LifecycleMissingFileTest,
    ::testing::Values(MissingFileCase{1, 0, "Must supply at least one output file"},
                      MissingFileCase{0, 0, "Must supply at least one output file"},
                      MissingFileCase{0, 1, "Must supply at least one input file"}));

TEST(LifecycleTest, UnthreadedStartRunsOnTheCallingThread) {
    ObservedTask observed;
    observed.task->turns = 3;
    EXPECT_EQ(observed.task->Start(false, tpNormal), nullptr);
    ASSERT_EQ(observed.terminationCount(), 1u);
    EXPECT_EQ(observed.task->runThreadId.load(), CurrentThreadId());
    EXPECT_TRUE(observed.termination(0).finished);
    EXPECT_EQ(observed.task->codecCleanups.load(), 1);
    EXPECT_EQ(observed.task->WorkerThread.load(), nullptr);
}

TEST(LifecycleTest, RunFailureIsLoggedAndReportedAfterTheCleanUp) {
    ObservedTask observed;
    observed.task->turns = 1;
    observed.task->failure = "Could not write header";
    observed.task->Start(false, tpNormal);
    ASSERT_EQ(observed.terminationCount(), 1u);
    EXPECT_TRUE(observed.termination(0).failed);
    EXPECT_FALSE(observed.termination(0).finished);
    EXPECT_EQ(observed.termination(0).message, "Could not write header");
    ASSERT_EQ(observed.logs.size(), 1u);
    EXPECT_EQ(observed.logs[0],
              std::make_pair(kLogTaskError, std::string("Could not write header")));
    EXPECT_EQ(observed.task->codecCleanups.load(), 1);
}

TEST(LifecycleTest, PauseHoldsTheWorkerAtTheGateAndStopReleasesIt) {
    ObservedTask observed;
    TFFmpegThread* worker = observed.task->Start(true, tpNormal);
    ASSERT_NE(worker, nullptr);
    worker->Resume();
    ASSERT_TRUE(waitFor([&] { return observed.task->iterations > 2; }));
    observed.task->PauseTask();
    EXPECT_TRUE(observed.task->Paused());
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // reach the gate
    const int held = observed.task->iterations;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_LE(observed.task->iterations.load(), held + 1);
    observed.task->ResumeTask();
    EXPECT_FALSE(observed.task->Paused());
    ASSERT_TRUE(waitFor([&] { return observed.task->iterations > held + 3; }));
    observed.task->PauseTask();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    // A paused task that is stopped resumes and ends.
    observed.task->StopTask();
    ASSERT_TRUE(waitFor([&] { return observed.terminationCount() == 1; }));
    EXPECT_FALSE(observed.termination(0).finished);
    EXPECT_FALSE(observed.task->Paused());
}

TEST(LifecycleTest, PauseDoesNotAffectATaskWithoutWorker) {
    ObservedTask observed;
    observed.task->PauseTask();
    EXPECT_FALSE(observed.task->Paused());
}

TEST(LifecycleTest, StoppingATaskThatNeverRanReportsItOnceFromAThreadOfItsOwn) {
    ObservedTask observed;
    observed.task->StopTask();
    observed.task->StopTask(); // a second stop arranges no second report
    ASSERT_TRUE(waitFor([&] { return observed.terminationCount() == 1; }));
    const auto report = observed.termination(0);
    EXPECT_FALSE(report.finished);
    EXPECT_FALSE(report.failed);
    EXPECT_NE(report.threadId, CurrentThreadId());
    EXPECT_EQ(observed.task->Start(true, tpNormal), nullptr);
    observed.task.reset();
    EXPECT_EQ(observed.terminations.size(), 1u);
}

TEST(LifecycleTest, DestructionWhileRunningStopsAndWaitsForTheWorker) {
    FakeRunStats stats;
    ObservedTask observed(&stats);
    TFFmpegThread* worker = observed.task->Start(true, tpNormal);
    ASSERT_NE(worker, nullptr);
    worker->Resume();
    ASSERT_TRUE(waitFor([&] { return observed.task->entered.load(); }));
    observed.task->PauseTask(); // even a paused one
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    observed.task.reset();
    // The run had ended before the destructor released anything.
    EXPECT_EQ(stats.runsEnded.load(), 1);
    EXPECT_EQ(stats.running.load(), 0);
    ASSERT_EQ(observed.terminations.size(), 1u);
    EXPECT_FALSE(observed.terminations[0].finished);
}

TEST(LifecycleTest, AWorkerNeverResumedIsNotRunWhenItsTaskIsDestroyed) {
    ObservedTask observed;
    ASSERT_NE(observed.task->Start(true, tpNormal), nullptr);
    observed.task.reset();
    EXPECT_TRUE(observed.terminations.empty());
}

TEST(LifecycleTest, WorkerRunsAtTheNiceValueOfItsPriority) {
    for (const TConvertPriority priority : {tpIdle, tpLowest, tpLower, tpNormal}) {
        ObservedTask observed;
        std::atomic<int> nice{-100};
        observed.task->turns = 1;
        observed.task->TerminateCallback = [&](TFFmpeg&) {
            nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(CurrentThreadId()));
        };
        TFFmpegThread* worker = observed.task->Start(true, priority);
        ASSERT_NE(worker, nullptr);
        worker->Resume();
        ASSERT_TRUE(waitFor([&] { return nice != -100; }));
        const int base = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::getpid()));
        EXPECT_EQ(nice.load(), std::min(19, base + TTaskThread::NiceValue(priority))) << priority;
    }
}

TEST(LifecycleTest, OutputFileSize) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("vidbrisk-size-" + std::to_string(::getpid()) + ".bin");
    EXPECT_EQ(TFFmpeg::OutputFileSize(path.string()), -1);
    {
        std::ofstream file(path, std::ios::binary);
        file << "abc";
    }
    EXPECT_EQ(TFFmpeg::OutputFileSize(path.string()), 3);
    std::filesystem::remove(path);
}

} // namespace
