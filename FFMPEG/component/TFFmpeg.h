// The engine instance of one conversion task (`TFFmpeg`): its place in the component,
// its record copies, its run on a worker thread or the calling thread, stop and pause.
#pragma once

#include "FFmpeg.h"
#include "OptionRecords.h"
#include "OutputFileClaim.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TBitmap; // the 24-bit picture handed to the custom hook (engine side, video path)
class TFFmpegThread;
class TDoTerminateThread;

// Priority of the worker threads, applied as the thread's nice value.
enum TConvertPriority { tpIdle, tpLowest, tpLower, tpNormal };

// What the before-hook handler decides for the next picture.
enum THookAction { haContinue, haIgnore, haStop };

// One time window of the frame hooks, in the unit of the hook pts.
struct THookRange {
    int64_t Start = 0;
    int64_t End = 0;
};

// The id of the calling thread as the system numbers it (also what OwnerThreadId holds).
int32_t CurrentThreadId();

class TFFmpeg : public TCustomFFmpeg {
public:
    // Installed by the component; each receives the task it concerns.
    using TProgressCallback = std::function<void(
        TFFmpeg& task, int32_t frameNumber, int32_t fps, int32_t currentDurationMs, float quality,
        float bitRate, int64_t currentSize, int32_t totalOutputDurationMs)>;
    using TTerminateCallback = std::function<void(TFFmpeg& task)>;
    using TCustomHookCallback =
        std::function<void(TFFmpeg& task, TBitmap* bitmap, int32_t frameNumber, int64_t pts,
                           bool& update, bool& stopHook)>;
    using TBeforeHookCallback =
        std::function<void(TFFmpeg& task, int64_t pts, THookAction& action)>;

    TFFmpeg();
    // Stops the task, waits until its worker has ended, then releases the state. A
    // subclass that overrides a call of the run calls StopAndWait in its own destructor,
    // so the worker never runs into a half-destroyed task.
    ~TFFmpeg() override;
    // Stops the task and waits until its threads have ended (from its own worker, the
    // worker is left to end by itself).
    void StopAndWait();

    // Position in the component's task list; -1 until the task is put into it. Written
    // under the component's TaskLock, read by hook dispatchers without it.
    std::atomic<int32_t> TaskIndex{-1};
    // Thread the task runs on (CurrentThreadId numbering); 0 until started. Written by the
    // starting thread before the worker runs; read by the library log delivery.
    std::atomic<int32_t> OwnerThreadId{0};
    // The task's encoder stage thread while it runs (0 otherwise): library messages from it
    // are the task's too. Written by that thread, read by the library log delivery.
    std::atomic<int32_t> EncoderThreadId{0};
    // Copies of the records the task was given (main thread, before the start).
    TInputOptions InputOptions;
    TOutputOptions OutputOptions;

    // ---- Run fields (besides Running, StopRequested, Finished, Terminated) -------------
    // Written by the thread that runs or ends the task, read by the terminate dispatcher
    // on that same thread.
    std::atomic<bool> Failed{false};
    std::string FailureMessage;
    // An output that had to take another free name when the task ended (its own was taken
    // by another program meanwhile), as "planned name" -> "name it got". Same threads as
    // FailureMessage.
    std::vector<std::pair<std::string, std::string>> RenamedOutputs;
    int64_t ProgressIntervalUs = 500000; // set by the component before the start
    // The worker while the task runs threaded; cleared by NotifyTerminated.
    std::atomic<TFFmpegThread*> WorkerThread{nullptr};

    // Callbacks (installed on the main thread before the start, never changed while the
    // task runs; tested before every call).
    TProgressCallback ProgressCallback;
    TTerminateCallback TerminateCallback;
    TCustomHookCallback CustomHookCallback;
    TBeforeHookCallback BeforeHookCallback;

    // Frame hook time windows, sorted by end, and the current window (video path).
    std::vector<THookRange> HookRanges;
    int32_t HookRangeIndex = 0;

    // ---- Lifecycle -------------------------------------------------------------------
    // Starts the task once. Threaded: returns the worker, held at its start gate until the
    // caller resumes it. Not threaded: runs the whole task on the calling thread and
    // returns null. Null also when the task cannot start (already started or terminated,
    // or a missing file: then the failure is reported through the termination).
    TFFmpegThread* Start(bool threaded, TConvertPriority priority);
    // The whole run on the current thread: transcode, failure capture, clean-up, report.
    void Run();
    // Marks the task terminated and calls the terminate callback.
    void NotifyTerminated();
    // Asks a running task to stop; a paused one is released so that it can end.
    void Stop();
    // The component's per-task steps of StopAll, PauseAll and ResumeAll.
    void StopTask();
    void PauseTask();
    void ResumeTask();
    bool Paused() const;
    // The pause gate: the main loop calls it once per iteration, holding no lock; it
    // returns at once unless the task is paused, and when the task is stopped.
    void WaitWhilePaused() override;
    void HoldWhilePaused() override { TFFmpeg::WaitWhilePaused(); }
    void EncoderStageStarted() override { EncoderThreadId = CurrentThreadId(); }
    void EncoderStageEnded() override { EncoderThreadId = 0; }

    // The file's size in bytes, -1 when it does not exist.
    static int64_t OutputFileSize(const std::string& fileName);

    // ---- Calls into the engine, overridable by hosts and tests ----------------------
    virtual bool OpenInputFile(const std::string& fileName);
    virtual bool OpenOutputFile(const std::string& fileName);
    virtual void ApplyTargetPreset(const std::string& preset, const std::string& norm,
                                   const std::string& fallbackNorm);
    // The transcode over the option state's files and maps; raises on failure.
    virtual void RunTranscode();
    // Closes every codec the run left open (encoders, then decoders).
    virtual void CloseOpenCodecs();

    // ---- Events towards the component, for the engine's loop -------------------------
    bool CustomHookAssigned() const override { return static_cast<bool>(CustomHookCallback); }
    bool BeforeHookAssigned() const override { return static_cast<bool>(BeforeHookCallback); }
    bool ProgressAssigned() const override { return static_cast<bool>(ProgressCallback); }
    void ReportProgress(int32_t frameNumber, int32_t fps, int32_t currentDurationMs, float quality,
                        float bitRate, int64_t currentSize, int32_t totalOutputDurationMs) override;
    void RaiseCustomHook(TBitmap* bitmap, int32_t frameNumber, int64_t pts, bool& update,
                         bool& stopHook) override;
    void RaiseBeforeHook(int64_t pts, THookAction& action);

private:
    // One output written under its part file, and the stream kinds it was created with.
    struct ClaimedOutput {
        std::unique_ptr<OutputFileClaim> claim;
        std::string formatName; // the muxer's name, to read the file back with
        int videoStreams = 0;   // as the run set them up (noteOutputStreams)
        int audioStreams = 0;
    };

    void failStart(const std::string& message);
    // Notes the stream kinds of each claimed output while its container is still open
    // (their parameters are complete once the run has written the headers).
    void noteOutputStreams();
    // When the run has ended and its files are closed: a failed task's part files are
    // removed; a finished task's outputs are checked (a bad one fails the task); the
    // outputs of a finished or stopped task get their final names.
    void finishOutputs();
    // What is wrong with a finished output ("" when nothing is); `warning` gets a note
    // that does not fail the task (the output is clearly shorter than the input).
    std::string checkOutput(const ClaimedOutput& output, std::string& warning) const;
    void failRun(const std::string& message);
    // `text` with every claimed part file named by its output's final name: messages name
    // the files the user knows.
    std::string namedForUser(std::string text) const;

    // Pause gate: m_paused under m_pauseMutex; the worker waits on m_pauseChanged.
    mutable std::mutex m_pauseMutex;
    std::condition_variable m_pauseChanged;
    bool m_paused = false;
    // Set once a termination report for a task that never ran has been arranged.
    std::atomic<bool> m_terminationArranged{false};
    // Outputs claimed by OpenOutputFile (the thread that sets the task up), committed or
    // discarded by the thread that ends the task; never touched by both at once.
    std::vector<ClaimedOutput> m_claimedOutputs;
    // Threads of this task, joined by the destructor (main thread only).
    std::unique_ptr<TFFmpegThread> m_worker;
    std::unique_ptr<TDoTerminateThread> m_terminateThread;
};
