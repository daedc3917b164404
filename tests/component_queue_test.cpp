// The component's queue with fake tasks: properties, starting a given number at a time,
// the unthreaded run through the host's scheduler, stop, pause, failures reported through
// OnTerminate, removal and destruction while tasks run.
#include "TaskLockGuard.h"
#include "component_fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

class ComponentQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        component = std::make_unique<TFFmpegVCL>();
        component->TaskFactory = [this] {
            auto task = std::make_unique<FakeTask>(&stats);
            task->turns = turns;
            tasks.push_back(task.get());
            return task;
        };
        recorder.attach(*component);
    }
    // Adds `count` tasks with input and output.
    void addTasks(int count) {
        for (int i = 0; i < count; ++i) {
            const int index = component->AddInputTask("in" + std::to_string(i) + ".avi");
            ASSERT_EQ(index, i) << component->LastError;
            ASSERT_TRUE(component->SetTaskOutput(index, "out" + std::to_string(i) + ".flv"));
        }
    }
    std::vector<int32_t> taskIndices() {
        std::vector<int32_t> indices;
        for (const auto& record : recorder.terminationsCopy())
            indices.push_back(record.index);
        return indices;
    }

    FakeRunStats stats;
    int turns = 20;
    std::vector<FakeTask*> tasks;
    EventRecorder recorder;
    std::unique_ptr<TFFmpegVCL> component;
};

TEST(ComponentPropertiesTest, DefaultsAndProgressIntervalFloor) {
    TFFmpegVCL component;
    EXPECT_EQ(component.LogLevel(), llInfo);
    EXPECT_EQ(component.ProgressInterval(), 500);
    EXPECT_EQ(component.ThreadPriority(), tpNormal);
    EXPECT_EQ(component.Version(), "2.0b");
    EXPECT_EQ(component.NextTaskIndex, -1);
    EXPECT_EQ(component.MaxRunning, 0);
    EXPECT_EQ(component.Tasks.Count(), 0);
    for (const auto& [given, stored] : std::vector<std::pair<int, int>>{
             {50, 100}, {100, 100}, {-3, 100}, {101, 101}, {2000, 2000}}) {
        component.SetProgressInterval(given);
        EXPECT_EQ(component.ProgressInterval(), stored) << given;
    }
}

TEST_F(ComponentQueueTest, TwoAtATimeOverFiveTasksThenTheAllDoneSignal) {
    turns = 50; // long enough for the two first tasks to overlap
    addTasks(5);
    component->SetProgressInterval(250);
    component->StartConversion(2);
    ASSERT_TRUE(recorder.waitAllDone());
    const auto records = recorder.terminationsCopy();
    ASSERT_EQ(records.size(), 6u);
    std::multiset<int32_t> indices;
    for (std::size_t i = 0; i < 5; ++i) {
        indices.insert(records[i].index);
        EXPECT_TRUE(records[i].finished);
        EXPECT_FALSE(records[i].exception);
    }
    EXPECT_EQ(indices, (std::multiset<int32_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(records[5].index, -1);
    EXPECT_TRUE(records[5].finished);
    EXPECT_FALSE(records[5].exception);
    EXPECT_EQ(records[5].message, "");
    EXPECT_EQ(stats.maxRunning.load(), 2);
    EXPECT_EQ(component->FinishedCount, 5);
    EXPECT_EQ(component->PendingCount, 0);
    EXPECT_EQ(component->MaxRunning, 2);
    // Each task ran on a worker of its own, with the component's interval.
    std::set<int32_t> threads;
    for (FakeTask* task : tasks) {
        threads.insert(task->runThreadId);
        EXPECT_EQ(task->ProgressIntervalUs, 250000);
        EXPECT_NE(task->runThreadId.load(), CurrentThreadId());
    }
    EXPECT_EQ(threads.size(), 5u);
}

TEST_F(ComponentQueueTest, UnthreadedRunStartsEachTaskThroughTheSchedulerOnTheMainThread) {
    FakeScheduler scheduler;
    component->Scheduler = &scheduler;
    addTasks(3);
    component->StartConversion(0);
    EXPECT_TRUE(recorder.terminationsCopy().empty()); // nothing runs inside the call
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(scheduler.waiting(), 1u) << i; // one task at a time
        EXPECT_TRUE(scheduler.runOne());         // the task runs to its end in this call
        EXPECT_EQ(tasks[i]->runThreadId.load(), CurrentThreadId());
        EXPECT_EQ(tasks[i]->OwnerThreadId.load(), CurrentThreadId());
        ASSERT_EQ(recorder.terminationsCopy().size(), static_cast<std::size_t>(i) + 1 + (i == 2));
    }
    EXPECT_EQ(scheduler.waiting(), 0u);
    EXPECT_EQ(scheduler.delays, (std::vector<int>{100, 100, 100}));
    EXPECT_EQ(taskIndices(), (std::vector<int32_t>{0, 1, 2, -1}));
    EXPECT_EQ(stats.maxRunning.load(), 1);
}

TEST_F(ComponentQueueTest, AStartArrangedBeforeTheComponentIsDestroyedDoesNothing) {
    FakeScheduler scheduler;
    component->Scheduler = &scheduler;
    addTasks(1);
    component->StartConversion(0);
    component.reset();
    EXPECT_TRUE(scheduler.runOne());
    EXPECT_FALSE(tasks.empty());
    EXPECT_TRUE(recorder.terminationsCopy().empty());
}

TEST_F(ComponentQueueTest, StopAllWhileTheSecondOfThreeRuns) {
    addTasks(3);
    tasks[1]->turns = -1; // runs until stopped
    component->StartConversion(1);
    ASSERT_TRUE(waitFor([&] { return tasks[1]->entered.load(); }));
    component->StopAll();
    ASSERT_TRUE(recorder.waitAllDone());
    const auto records = recorder.terminationsCopy();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].index, 0);
    EXPECT_TRUE(records[0].finished);
    // The stopped task and the one that never started end in either order.
    const bool stoppedFirst = records[1].index == 1;
    const TerminateRecord& stopped = stoppedFirst ? records[1] : records[2];
    const TerminateRecord& neverRan = stoppedFirst ? records[2] : records[1];
    EXPECT_EQ(stopped.index, 1);
    EXPECT_FALSE(stopped.finished);
    EXPECT_FALSE(stopped.exception);
    EXPECT_EQ(stopped.threadId, tasks[1]->runThreadId.load());
    // The task that never started is reported from a thread of its own.
    EXPECT_EQ(neverRan.index, 2);
    EXPECT_FALSE(neverRan.finished);
    EXPECT_FALSE(neverRan.exception);
    EXPECT_NE(neverRan.threadId, CurrentThreadId());
    EXPECT_NE(neverRan.threadId, tasks[1]->runThreadId.load());
    EXPECT_FALSE(tasks[2]->entered);
    EXPECT_EQ(records[3].index, -1);
    EXPECT_TRUE(records[3].finished);
}

TEST_F(ComponentQueueTest, PauseAllHoldsEveryWorkerAndStopAllEndsThemWhilePaused) {
    turns = -1;
    addTasks(3);
    component->StartConversion(2);
    ASSERT_TRUE(waitFor([&] { return tasks[0]->iterations > 2 && tasks[1]->iterations > 2; }));
    component->PauseAll();
    EXPECT_TRUE(tasks[0]->Paused());
    EXPECT_TRUE(tasks[1]->Paused());
    EXPECT_FALSE(tasks[2]->Paused()); // no worker yet
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const int held = tasks[0]->iterations;
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    EXPECT_LE(tasks[0]->iterations.load(), held + 1);
    component->ResumeAll();
    ASSERT_TRUE(waitFor([&] { return tasks[0]->iterations > held + 3; }));
    component->PauseAll();
    component->StopAll();
    ASSERT_TRUE(recorder.waitAllDone());
    EXPECT_EQ(recorder.terminationsCopy().size(), 4u);
    for (const auto& record : recorder.terminationsCopy()) {
        if (record.index >= 0) {
            EXPECT_FALSE(record.finished) << record.index;
        }
    }
}

TEST_F(ComponentQueueTest, RunFailureArrivesAsLogLineThenTermination) {
    addTasks(2);
    tasks[0]->failure = "Could not open codec";
    component->StartConversion(1);
    ASSERT_TRUE(recorder.waitAllDone());
    const auto records = recorder.terminationsCopy();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].index, 0);
    EXPECT_TRUE(records[0].exception);
    EXPECT_FALSE(records[0].finished);
    EXPECT_EQ(records[0].message, "Could not open codec");
    EXPECT_EQ(records[1].index, 1); // the queue goes on
    EXPECT_TRUE(records[1].finished);
    const auto logs = recorder.logsCopy();
    const auto line = std::find_if(logs.begin(), logs.end(), [](const auto& log) {
        return log.text == "Could not open codec";
    });
    ASSERT_NE(line, logs.end());
    EXPECT_EQ(line->index, 0);
    EXPECT_EQ(line->level, llQuiet);
}

TEST_F(ComponentQueueTest, TaskWithoutOutputIsReportedFailedNotRaised) {
    ASSERT_EQ(component->AddInputTask("in.avi"), 0);
    EXPECT_NO_THROW(component->StartConversion(1));
    ASSERT_TRUE(recorder.waitAllDone());
    const auto records = recorder.terminationsCopy();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].index, 0);
    EXPECT_TRUE(records[0].exception);
    EXPECT_EQ(records[0].message, "Must supply at least one output file");
    EXPECT_EQ(records[1].index, -1);
    EXPECT_FALSE(tasks[0]->entered);
}

TEST_F(ComponentQueueTest, AddInputTaskFailureLeavesNoTask) {
    component->TaskFactory = [] {
        auto task = std::make_unique<FakeTask>();
        task->inputOpens = false;
        task->inputError = "in.avi: no such file or directory";
        return task;
    };
    EXPECT_EQ(component->AddInputTask("in.avi"), -1);
    EXPECT_EQ(component->LastError, "in.avi: no such file or directory");
    EXPECT_EQ(component->Tasks.Count(), 0);
    // A failure raised while the input options are applied ends the same way.
    TInputOptions options;
    options.ExtraOptions = "aspect=0";
    EXPECT_EQ(component->AddInputTask("in.avi", &options), -1);
    EXPECT_EQ(component->LastError, "Incorrect aspect ratio specification.");
    EXPECT_EQ(component->Tasks.Count(), 0);
}

TEST_F(ComponentQueueTest, SetTaskOutputOutsideTheListRaisesTheListError) {
    addTasks(1);
    EXPECT_THROW(component->SetTaskOutput(1, "x.avi"), std::out_of_range);
    EXPECT_THROW(component->SetTaskOutput(-1, "x.avi"), std::out_of_range);
}

TEST_F(ComponentQueueTest, RemoveTaskRenumbersTheFollowingTasks) {
    addTasks(3);
    FakeTask* last = tasks[2];
    component->RemoveTask(1);
    ASSERT_EQ(component->Tasks.Count(), 2);
    EXPECT_EQ(component->Tasks[0].TaskIndex.load(), 0);
    EXPECT_EQ(&component->Tasks[1], last);
    EXPECT_EQ(last->TaskIndex.load(), 1);
    EXPECT_THROW(component->RemoveTask(2), std::out_of_range);
}

TEST_F(ComponentQueueTest, ClearTasksWhileRunningStopsAndWaitsForEveryWorker) {
    turns = -1;
    addTasks(3);
    component->LastError = "old";
    component->StartConversion(3);
    ASSERT_TRUE(waitFor([&] { return stats.running == 3; }));
    component->ClearTasks();
    EXPECT_EQ(stats.running.load(), 0);
    EXPECT_EQ(stats.runsEnded.load(), 3);
    EXPECT_EQ(component->Tasks.Count(), 0);
    EXPECT_EQ(component->MaxRunning, 0);
    EXPECT_EQ(component->LastError, "");
    // The cleared tasks' events are dropped: no index points into the empty list.
    EXPECT_TRUE(recorder.terminationsCopy().empty());
}

TEST_F(ComponentQueueTest, DestroyingTheComponentWhileTasksRunAndArePaused) {
    turns = -1;
    addTasks(4);
    component->StartConversion(2);
    ASSERT_TRUE(waitFor([&] { return stats.running == 2; }));
    component->PauseAll();
    component.reset();
    EXPECT_EQ(stats.running.load(), 0);
    EXPECT_EQ(stats.runsEnded.load(), 2);
}

TEST_F(ComponentQueueTest, ProgressAndLogLinesCarryTheTaskIndex) {
    addTasks(2);
    tasks[1]->reportsProgress = true;
    std::vector<std::vector<double>> reports;
    component->OnProgress = [&](int32_t index, int32_t frameNumber, int32_t fps,
                                int32_t currentDuration, float quality, float bitRate,
                                int64_t currentSize, int32_t totalOutputDuration) {
        reports.push_back({double(index), double(frameNumber), double(fps), double(currentDuration),
                           quality, bitRate, double(currentSize), double(totalOutputDuration)});
    };
    component->StartConversion(2);
    ASSERT_TRUE(recorder.waitAllDone());
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0],
              (std::vector<double>{1, 12, 25, 480, 3.5, 128.25, double(int64_t{1} << 33), 3000}));
    const auto logs = recorder.logsCopy();
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0].index, 1);
    EXPECT_EQ(logs[0].level, llInfo);
    EXPECT_EQ(logs[0].text, "progress reported");
}

TEST_F(ComponentQueueTest, UnthreadedRunWithoutSchedulerRunsEveryTaskInTheCall) {
    addTasks(3);
    component->StartConversion(0);
    EXPECT_EQ(taskIndices(), (std::vector<int32_t>{0, 1, 2, -1}));
    for (FakeTask* task : tasks)
        EXPECT_EQ(task->runThreadId.load(), CurrentThreadId());
}

TEST_F(ComponentQueueTest, EventsAreDetachedWhileHooksRun) {
    turns = -1;
    TOutputOptions options;
    ResetOutputOptions(options);
    options.RaiseCustomHook = true;
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(component->AddInputTask("in.avi"), i);
        ASSERT_TRUE(component->SetTaskOutput(i, "out.avi", &options));
    }
    std::atomic<int> hooks{0};
    component->OnCustomHook = [&](int32_t, TBitmap*, int32_t, int64_t, bool&, bool&) { ++hooks; };
    component->StartConversion(2);
    ASSERT_TRUE(waitFor([&] { return hooks > 10; }));
    component->DetachEvents();
    const int seen = hooks;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(hooks.load(), seen);
    component->StopAll();
    ASSERT_TRUE(waitFor([&] { return stats.runsEnded == 2; }));
    EXPECT_TRUE(recorder.terminationsCopy().empty());
}

TEST_F(ComponentQueueTest, HandlerMayRemoveItsTaskFromTheWorker) {
    addTasks(1);
    std::atomic<bool> removed{false};
    component->OnTerminate = [&](int32_t index, bool, bool, const std::string&) {
        if (index == 0) {
            component->RemoveTask(0); // destroys the task on its own worker
            removed = true;
        }
    };
    component->StartConversion(1);
    ASSERT_TRUE(waitFor([&] { return removed.load(); }));
    ASSERT_TRUE(waitFor([&] { return stats.runsEnded == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // the worker winds down
    const TaskLockGuard lock(component->TaskLock);
    EXPECT_EQ(component->Tasks.Count(), 0);
}

TEST_F(ComponentQueueTest, HandlerThatRaisesDoesNotStopTheQueue) {
    addTasks(2);
    std::atomic<int> calls{0};
    std::atomic<bool> allDone{false};
    component->OnTerminate = [&](int32_t index, bool, bool, const std::string&) {
        ++calls;
        if (index == -1)
            allDone = true;
        throw std::runtime_error("handler failed");
    };
    component->StartConversion(1);
    ASSERT_TRUE(waitFor([&] { return allDone.load(); }));
    EXPECT_EQ(calls.load(), 3);
}

} // namespace
