// The engine instance's life: start, run with failure capture, termination report, stop,
// pause gate and destruction.
#include "TFFmpeg.h"

#include "FFmpegThread.h"

#include <filesystem>
#include <system_error>
#include <unistd.h>

int32_t CurrentThreadId() {
    return static_cast<int32_t>(::gettid());
}

TFFmpeg::TFFmpeg() {
    ResetInputOptions(InputOptions);
    ResetOutputOptions(OutputOptions);
}

TFFmpeg::~TFFmpeg() {
    StopAndWait();
    ReleaseState();
}

void TFFmpeg::StopAndWait() {
    Stop();
    if (m_worker)
        m_worker->Join();
    if (m_terminateThread)
        m_terminateThread->Join();
    m_worker.reset();
    m_terminateThread.reset();
}

void TFFmpeg::failStart(const std::string& message) {
    LogIfInstalled(kLogTaskError, message);
    Failed = true;
    FailureMessage = message;
    NotifyTerminated();
}

TFFmpegThread* TFFmpeg::Start(bool threaded, TConvertPriority priority) {
    if (Running || Terminated || m_terminationArranged)
        return nullptr;
    if (OutputFileCount <= 0) {
        ReleaseState();
        failStart("Must supply at least one output file");
        return nullptr;
    }
    if (InputFileCount == 0) {
        ReleaseState();
        failStart("Must supply at least one input file");
        return nullptr;
    }
    Running = true;
    StopRequested = false;
    Finished = false;
    Terminated = false;
    if (!threaded) {
        Run();
        return nullptr;
    }
    try {
        m_worker = std::make_unique<TFFmpegThread>(this, priority);
    } catch (const std::system_error& error) {
        // No thread, no run: report it like any other start failure.
        Running = false;
        ReleaseState();
        failStart(std::string("Could not start the worker thread: ") + error.what());
        return nullptr;
    }
    WorkerThread = m_worker.get();
    return m_worker.get();
}

void TFFmpeg::Run() {
    Finished = false;
    try {
        RunTranscode();
    } catch (const std::exception& error) {
        const std::string message = namedForUser(error.what());
        LogIfInstalled(kLogTaskError, message);
        Failed = true;
        FailureMessage = message;
    } catch (...) {
        // Nothing may escape a worker; the clean-up below must run in every case.
        LogIfInstalled(kLogTaskError, "Unknown failure");
        Failed = true;
        FailureMessage = "Unknown failure";
    }
    noteOutputStreams();
    CloseOpenCodecs();
    ReleaseState();
    finishOutputs();
    NotifyTerminated();
    // The terminate handler may have destroyed this task: touch nothing from here on.
}

void TFFmpeg::NotifyTerminated() {
    // A task that never ran leaves no part file behind.
    for (ClaimedOutput& output : m_claimedOutputs)
        output.claim->discard();
    Running = false;
    Terminated = true;
    WorkerThread = nullptr;
    // A copy: the handler may destroy this task, and the callback with it.
    if (const TTerminateCallback callback = TerminateCallback)
        callback(*this);
    // The handler may have destroyed this task: touch nothing from here on.
}

void TFFmpeg::Stop() {
    StopRequested = true;
    ResumeTask();
}

void TFFmpeg::StopTask() {
    if (Running) {
        Stop();
        return;
    }
    if (Terminated || m_terminationArranged.exchange(true))
        return;
    // Never started: the termination is reported from a thread of its own, which waits
    // for the component's TaskLock (held by the caller).
    m_terminateThread = std::make_unique<TDoTerminateThread>(this);
    m_terminateThread->Resume();
}

void TFFmpeg::PauseTask() {
    if (!WorkerThread)
        return;
    const std::lock_guard lock(m_pauseMutex);
    m_paused = true;
}

void TFFmpeg::ResumeTask() {
    {
        const std::lock_guard lock(m_pauseMutex);
        if (!m_paused)
            return;
        m_paused = false;
    }
    m_pauseChanged.notify_all();
}

bool TFFmpeg::Paused() const {
    const std::lock_guard lock(m_pauseMutex);
    return m_paused;
}

void TFFmpeg::WaitWhilePaused() {
    std::unique_lock lock(m_pauseMutex);
    m_pauseChanged.wait(lock, [this] { return !m_paused || StopRequested; });
}

int64_t TFFmpeg::OutputFileSize(const std::string& fileName) {
    std::error_code error;
    const auto size = std::filesystem::file_size(fileName, error);
    return error ? -1 : static_cast<int64_t>(size);
}

void TFFmpeg::ReportProgress(int32_t frameNumber, int32_t fps, int32_t currentDurationMs,
                             float quality, float bitRate, int64_t currentSize,
                             int32_t totalOutputDurationMs) {
    if (ProgressCallback)
        ProgressCallback(*this, frameNumber, fps, currentDurationMs, quality, bitRate, currentSize,
                         totalOutputDurationMs);
}

void TFFmpeg::RaiseCustomHook(TBitmap* bitmap, int32_t frameNumber, int64_t pts, bool& update,
                              bool& stopHook) {
    if (CustomHookCallback)
        CustomHookCallback(*this, bitmap, frameNumber, pts, update, stopHook);
}

void TFFmpeg::RaiseBeforeHook(int64_t pts, THookAction& action) {
    if (BeforeHookCallback)
        BeforeHookCallback(*this, pts, action);
}
