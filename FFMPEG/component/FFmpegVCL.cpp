// The component's creation and destruction, properties, library loading and the task
// list operations that free tasks.
#include "FFmpegVCL.h"

#include "AVUtilHlpr.h"
#include "MediaLibraries.h"
#include "TaskLockGuard.h"

namespace {
thread_local int t_taskLocksHeld = 0;
} // namespace

TaskLockGuard::TaskLockGuard(std::recursive_mutex& lock) : m_lock(lock) {
    m_lock.lock();
    ++t_taskLocksHeld;
}

TaskLockGuard::~TaskLockGuard() {
    --t_taskLocksHeld;
    m_lock.unlock();
}

bool TaskLockGuard::HeldByThisThread() {
    return t_taskLocksHeld > 0;
}

TCustomFFmpegVCL::TCustomFFmpegVCL() {
    ComponentRegistry().Add(this);
}

TCustomFFmpegVCL::~TCustomFFmpegVCL() {
    // After the removal no library log delivery reaches this component; taking TaskLock
    // once waits for an event delivery in progress.
    ComponentRegistry().Remove(this);
    { const TaskLockGuard lock(TaskLock); }
    DestroyTasks();
    m_alive.reset();
}

void TCustomFFmpegVCL::DestroyTasks() {
    std::vector<std::unique_ptr<TFFmpeg>> tasks;
    {
        const TaskLockGuard lock(TaskLock);
        PendingCount = 0;
        tasks = Tasks.ExtractAll();
    }
    destroyDetached(std::move(tasks));
}

void TCustomFFmpegVCL::destroyDetached(std::vector<std::unique_ptr<TFFmpeg>> tasks) {
    // Out of the list, a task's events are dropped (see the dispatchers). Stop them all
    // first so they end together, then wait for each outside TaskLock: a worker may be
    // waiting for it to deliver an event.
    for (auto& task : tasks)
        task->Stop();
    for (auto& task : tasks)
        task->StopAndWait();
    tasks.clear();
}

void TCustomFFmpegVCL::DetachEvents() {
    {
        const TaskLockGuard lock(TaskLock);
        OnLog = nullptr;
        OnProgress = nullptr;
        OnTerminate = nullptr;
    }
    const std::unique_lock hooks(m_hookLock);
    OnBeforeHook = nullptr;
    OnCustomHook = nullptr;
}

void TCustomFFmpegVCL::SetLogLevel(TLogLevel level) {
    m_logLevel = level;
    applyLibraryLogLevel();
}

void TCustomFFmpegVCL::applyLibraryLogLevel() {
    if (!MediaLibrariesLoaded())
        return;
    lavu.av_log_set_level(TCustomFFmpeg::LibraryLogLevel(static_cast<int>(LogLevel()) - 1));
    SetMediaLogVerbosity(lavu.av_log_get_level());
}

void TCustomFFmpegVCL::SetProgressInterval(int32_t milliseconds) {
    m_progressIntervalMs = milliseconds <= 100 ? 100 : milliseconds;
}

bool TCustomFFmpegVCL::LoadLibraries(const std::string& folder, bool versionedNames) {
    if (!LoadMediaLibraries(folder, versionedNames)) {
        LastError = LoadLibraryError();
        return false;
    }
    lavu.av_log_set_callback(&LibraryLogCallback);
    applyLibraryLogLevel();
    return true;
}

void TCustomFFmpegVCL::ClearTasks() {
    DestroyTasks();
    LastError.clear();
    const TaskLockGuard lock(TaskLock);
    MaxRunning = 0;
}

void TCustomFFmpegVCL::RemoveTask(int index) {
    std::vector<std::unique_ptr<TFFmpeg>> removed;
    {
        const TaskLockGuard lock(TaskLock);
        removed.push_back(Tasks.Extract(index));
        for (int i = index; i < Tasks.Count(); ++i)
            Tasks[i].TaskIndex = i;
    }
    destroyDetached(std::move(removed));
}
