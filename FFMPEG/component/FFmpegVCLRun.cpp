// Running the tasks: starting them a given number at a time or one after another on the
// main thread, the termination that drives the queue, stop, pause and the event
// dispatchers of progress, termination and hooks.
#include "FFmpegVCL.h"

#include "FFmpegThread.h"
#include "TaskLockGuard.h"

namespace {
constexpr int kUnthreadedStartDelayMs = 100;
} // namespace

void TCustomFFmpegVCL::StartConversion(int count) {
    LogLines().Clear();
    const TaskLockGuard lock(TaskLock);
    NextTaskIndex = 0;
    FinishedCount = 0;
    MaxRunning = count;
    PendingCount = Tasks.Count();
    int started = 0;
    do {
        StartNext();
        ++started;
    } while (PendingCount > 0 && started < count);
}

void TCustomFFmpegVCL::StartNext() {
    const TaskLockGuard lock(TaskLock);
    if (PendingCount <= 0)
        return;
    --PendingCount;
    const int index = NextTaskIndex++;
    if (MaxRunning > 0) {
        StartTask(index);
        return;
    }
    if (!Scheduler) {
        StartTask(index);
        return;
    }
    std::weak_ptr<int> alive = m_alive;
    Scheduler->postDelayed(kUnthreadedStartDelayMs, [this, alive, index] {
        if (alive.lock())
            StartFromTimer(index);
    });
}

void TCustomFFmpegVCL::StartFromTimer(int index) {
    StartTask(index);
}

void TCustomFFmpegVCL::StartTask(int index) {
    TFFmpeg* task = nullptr;
    bool threaded = false;
    {
        const TaskLockGuard lock(TaskLock);
        if (index < 0 || index >= Tasks.Count())
            return; // the list changed since the start was arranged
        task = &Tasks[index];
        threaded = MaxRunning > 0;
    }
    task->ProgressIntervalUs = static_cast<int64_t>(ProgressInterval()) * 1000;
    task->SetOption("v", std::to_string(static_cast<int>(LogLevel()) - 1));
    if (!threaded) {
        // Runs to its end inside this call, on this (the main) thread.
        task->OwnerThreadId = CurrentThreadId();
        task->Start(false, ThreadPriority());
        return;
    }
    if (TFFmpegThread* worker = task->Start(true, ThreadPriority())) {
        task->OwnerThreadId = worker->ThreadId();
        worker->Resume();
    } else {
        task->OwnerThreadId = 0;
    }
}

void TCustomFFmpegVCL::DoTerminate(TFFmpeg& task) {
    const TaskLockGuard lock(TaskLock);
    if (!Tasks.Contains(&task))
        return; // removed or cleared: its events are dropped
    if (OnTerminate) {
        try {
            OnTerminate(task.TaskIndex, task.Finished, task.Failed, task.FailureMessage);
        } catch (...) {
            // A handler's failure must not stop the queue.
        }
    }
    ++FinishedCount;
    if (PendingCount > 0) {
        StartNext();
    } else if (FinishedCount == Tasks.Count()) {
        if (OnTerminate) {
            try {
                OnTerminate(-1, true, false, std::string());
            } catch (...) {
            }
        }
        LogLines().Clear();
    }
}

void TCustomFFmpegVCL::StopAll() {
    const TaskLockGuard lock(TaskLock);
    PendingCount = 0;
    for (int i = 0; i < Tasks.Count(); ++i)
        Tasks[i].StopTask();
}

void TCustomFFmpegVCL::PauseAll() {
    const TaskLockGuard lock(TaskLock);
    for (int i = 0; i < Tasks.Count(); ++i)
        Tasks[i].PauseTask();
}

void TCustomFFmpegVCL::ResumeAll() {
    const TaskLockGuard lock(TaskLock);
    for (int i = 0; i < Tasks.Count(); ++i)
        Tasks[i].ResumeTask();
}

void TCustomFFmpegVCL::DoProgress(TFFmpeg& task, int32_t frameNumber, int32_t fps,
                                  int32_t currentDurationMs, float quality, float bitRate,
                                  int64_t currentSize, int32_t totalOutputDurationMs) {
    const TaskLockGuard lock(TaskLock);
    if (!OnProgress || !Tasks.Contains(&task))
        return;
    OnProgress(task.TaskIndex, frameNumber, fps, currentDurationMs, quality, bitRate, currentSize,
               totalOutputDurationMs);
}

void TCustomFFmpegVCL::DoCustomHook(TFFmpeg& task, TBitmap* bitmap, int32_t frameNumber,
                                    int64_t pts, bool& update, bool& stopHook) {
    const std::shared_lock hooks(m_hookLock);
    if (OnCustomHook)
        OnCustomHook(task.TaskIndex, bitmap, frameNumber, pts, update, stopHook);
}

void TCustomFFmpegVCL::DoBeforeHook(TFFmpeg& task, int64_t pts, THookAction& action) {
    const std::shared_lock hooks(m_hookLock);
    if (OnBeforeHook)
        OnBeforeHook(task.TaskIndex, pts, action);
}
