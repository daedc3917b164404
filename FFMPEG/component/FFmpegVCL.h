// The transcoding component (`TFFmpegVCL`): task list, option records, scheduling of the
// tasks, events, and the bridge from the media libraries' log.
#pragma once

#include "AVProbe.h"
#include "OptionRecords.h"
#include "TFFmpeg.h"
#include "TFFmpegList.h"
#include "TLogList.h"
#include "TaskScheduler.h"

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

enum TLogLevel { llQuiet, llError, llInfo, llDebug, llAll };

// Events (no sender); in/out arguments are references.
using TBeforeHookEvent =
    std::function<void(int32_t AIndex, int64_t APTS, THookAction& AHookAction)>;
using TCustomHookEvent = std::function<void(int32_t AIndex, TBitmap* ABitmap, int32_t AFrameNumber,
                                            int64_t APTS, bool& AUpdate, bool& AStopHook)>;
using TLogEvent = std::function<void(int32_t AIndex, TLogLevel ALogLevel, const std::string& AMsg)>;
using TProgressEvent = std::function<void(int32_t AIndex, int32_t AFrameNumber, int32_t AFPS,
                                          int32_t ACurrentDuration, float AQuality, float ABitRate,
                                          int64_t ACurrentSize, int32_t ATotalOutputDuration)>;
using TTerminateEvent = std::function<void(int32_t AIndex, bool AFinished, bool AException,
                                           const std::string& AMessage)>;

class TCustomFFmpegVCL;

// The process-wide list of live components. Its lock is held while a library log line is
// delivered and is always taken before any component's TaskLock.
class TComponentRegistry {
public:
    std::recursive_mutex& Lock() { return m_lock; }
    void Add(TCustomFFmpegVCL* component);
    void Remove(TCustomFFmpegVCL* component);
    // Under Lock() only.
    const std::vector<TCustomFFmpegVCL*>& Items() const { return m_items; }

private:
    std::recursive_mutex m_lock;
    std::vector<TCustomFFmpegVCL*> m_items; // guarded by m_lock
};

TComponentRegistry& ComponentRegistry();

// Installed into the media libraries by LoadLibraries; runs on whichever thread logs.
void LibraryLogCallback(void* context, int level, const char* format, va_list arguments);

// Threads and locks:
// - The host's main thread configures the component, adds tasks, starts, stops, pauses,
//   clears. Workers raise OnLog, OnProgress, OnTerminate and the hooks.
// - TaskLock guards Tasks (the list itself), MaxRunning, PendingCount, FinishedCount,
//   NextTaskIndex, and serialises OnLog, OnProgress and OnTerminate. It is never held
//   while a task's run or a task's destruction is waited for.
//   Hosts that take it themselves use TaskLockGuard (TaskLockGuard.h), so a library
//   log line from under it does not wait for ComponentRegistry's lock.
// - The hooks run without TaskLock (several tasks' hooks at once); a shared hold of
//   m_hookLock keeps them assigned while they run. Assign the events before a run;
//   change them while tasks run only through DetachEvents.
class TCustomFFmpegVCL {
public:
    TCustomFFmpegVCL();
    virtual ~TCustomFFmpegVCL();
    TCustomFFmpegVCL(const TCustomFFmpegVCL&) = delete;
    TCustomFFmpegVCL& operator=(const TCustomFFmpegVCL&) = delete;

    std::string About; // stored only

    // ---- Properties ------------------------------------------------------------------
    TLogLevel LogLevel() const { return m_logLevel; }
    // Also sets the libraries' log level and the process verbosity when they are loaded.
    void SetLogLevel(TLogLevel level);
    int32_t ProgressInterval() const { return m_progressIntervalMs; }
    // Milliseconds; 100 or less is stored as 100.
    void SetProgressInterval(int32_t milliseconds);
    TConvertPriority ThreadPriority() const { return m_threadPriority; }
    void SetThreadPriority(TConvertPriority priority) { m_threadPriority = priority; }
    // Threads of each codec of the tasks added from now on: 0 lets the libraries choose for
    // the machine, 1 runs every task on its worker alone. A task's own "threads" option wins.
    int32_t CodecThreads() const { return m_codecThreads; }
    void SetCodecThreads(int32_t count) { m_codecThreads = count < 0 ? 0 : count; }
    std::string Version() const { return "2.0b"; }

    // ---- Events ----------------------------------------------------------------------
    TBeforeHookEvent OnBeforeHook;
    TCustomHookEvent OnCustomHook;
    TLogEvent OnLog;
    TProgressEvent OnProgress;
    TTerminateEvent OnTerminate;
    // Clears the five events; safe while tasks run (waits for event calls in progress).
    void DetachEvents();

    // ---- Fields ----------------------------------------------------------------------
    std::string LastError; // main thread
    TAVProbe Probe;        // main thread
    TFFmpegList Tasks;     // guarded by TaskLock
    std::recursive_mutex TaskLock;
    int32_t MaxRunning = 0;     // guarded by TaskLock
    int32_t PendingCount = 0;   // guarded by TaskLock
    int32_t FinishedCount = 0;  // guarded by TaskLock
    int32_t NextTaskIndex = -1; // guarded by TaskLock
    // The host's main-thread scheduler for unthreaded runs; without one, an unthreaded
    // task starts at once (nested in the call that starts it).
    TaskScheduler* Scheduler = nullptr;
    // Creates the engine instance of a new task (tests put their own engines here).
    std::function<std::unique_ptr<TFFmpeg>()> TaskFactory;

    // ---- Operations ------------------------------------------------------------------
    bool LoadLibraries(const std::string& folder, bool versionedNames);
    // Frees every task (each stopped and waited for), clears LastError, MaxRunning := 0.
    void ClearTasks();
    // Frees the task and renumbers the tasks after it; raises std::out_of_range.
    void RemoveTask(int index);
    // The caller's record gets the file name when its FileName is empty.
    int AddInputTask(const std::string& fileName, TInputOptions* options = nullptr);
    // The first input picture of a task as it will be converted (upright, square pixels
    // at its display size, display aspect); zero when the input has no pictures. Raises
    // std::out_of_range for an index outside the list.
    TCustomFFmpeg::TPictureShape TaskInputPicture(int index);
    // Raises std::out_of_range for an index outside the list; every other failure gives
    // false with the reason in LastError.
    bool SetTaskOutput(int index, const std::string& fileName, TOutputOptions* options = nullptr);
    // The streams of a task's (first) opened input, for choosing which go out; empty for
    // an index outside the list.
    std::vector<TAVStreamEntry> TaskInputStreams(int index);
    void StartConversion(int count);
    void StopAll();
    void PauseAll();
    void ResumeAll();

    // Delivers one library log line of `threadId` to the task running on it (index -1
    // when none does). Called under ComponentRegistry's lock.
    void DeliverLibraryLog(int32_t threadId, int level, const std::string& line);
    // The TLogLevel of an engine log level (-1 quiet, 0 error, 1 info, 2 debug, 3 all).
    static TLogLevel MapLogLevel(int level);
    // Reads HookRanges text into windows sorted by end; raises on an unreadable number.
    static std::vector<THookRange> ParseHookRanges(const std::string& text);
    // Seconds since 1970-01-01 UTC of a record Timestamp (days since 1899-12-30, local
    // time; 0 = now).
    static int64_t TimestampToUnixSeconds(double timestamp);
    // Plain 0x00BBGGRR of a colour; system colours (high byte set) resolved.
    static uint32_t ColorToRGB(uint32_t color);

    // ---- Event dispatchers (called by the tasks) ---------------------------------------
    virtual void DoBeforeHook(TFFmpeg& task, int64_t pts, THookAction& action);
    virtual void DoCustomHook(TFFmpeg& task, TBitmap* bitmap, int32_t frameNumber, int64_t pts,
                              bool& update, bool& stopHook);
    virtual void DoLog(TFFmpeg* task, int level, const std::string& text);
    virtual void DoProgress(TFFmpeg& task, int32_t frameNumber, int32_t fps,
                            int32_t currentDurationMs, float quality, float bitRate,
                            int64_t currentSize, int32_t totalOutputDurationMs);
    virtual void DoTerminate(TFFmpeg& task);

protected:
    void StartNext();
    void StartTask(int index);
    void StartFromTimer(int index);
    // Stops and destroys every task of this component; events of those tasks are dropped.
    void DestroyTasks();

private:
    void applyLibraryLogLevel();
    void installCallbacks(TFFmpeg& task);
    void applyOutputOptions(TFFmpeg& task, const TOutputOptions& options);
    void destroyDetached(std::vector<std::unique_ptr<TFFmpeg>> tasks);

    std::shared_mutex m_hookLock; // OnBeforeHook, OnCustomHook: shared while called
    std::atomic<TLogLevel> m_logLevel{llInfo};
    std::atomic<int32_t> m_progressIntervalMs{500};
    std::atomic<TConvertPriority> m_threadPriority{tpNormal};
    std::atomic<int32_t> m_codecThreads{0};
    // Expires with the component, so a scheduled start that fires later does nothing.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

class TFFmpegVCL final : public TCustomFFmpegVCL {
public:
    TFFmpegVCL() = default;
    // Ends every task before the component stops being a TFFmpegVCL.
    ~TFFmpegVCL() override { DestroyTasks(); }
};
