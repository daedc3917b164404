// The threads of a task: the worker that runs it (`TFFmpegThread`) and the short-lived
// thread that reports the termination of a task that never ran (`TDoTerminateThread`).
#pragma once

#include "TFFmpeg.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

// A thread created "suspended": the system thread starts at once, applies its priority,
// publishes its id and waits at a start gate until Resume. The owner joins it; a thread
// that owns itself at the end (its task was destroyed from inside the thread) is detached.
class TTaskThread {
public:
    TTaskThread(const TTaskThread&) = delete;
    TTaskThread& operator=(const TTaskThread&) = delete;
    virtual ~TTaskThread();

    // Opens the start gate (once).
    void Resume();
    // The system thread id (CurrentThreadId numbering), known from construction on.
    int32_t ThreadId() const { return m_threadId; }
    // Waits until the thread has ended; a call from the thread itself detaches it instead.
    void Join();
    // Nice value added to the process's for a priority: idle 19, lowest 10, lower 5,
    // normal 0 (at most 19 in all).
    static int NiceValue(TConvertPriority priority);

protected:
    TTaskThread(TFFmpeg* task, TConvertPriority priority);
    // Starts the system thread; called by the most-derived constructor.
    void Launch();
    virtual void Execute() = 0;
    TFFmpeg* Task() const { return m_task; }

private:
    void threadMain();

    TFFmpeg* m_task;
    TConvertPriority m_priority;
    std::thread m_thread;
    std::mutex m_gateMutex; // guards m_resumed and m_threadId until the gate opens
    std::condition_variable m_gateChanged;
    bool m_resumed = false;
    bool m_cancelled = false; // joined before it was ever resumed
    bool m_idKnown = false;
    int32_t m_threadId = 0;
};

// Runs its task's whole run.
class TFFmpegThread : public TTaskThread {
public:
    TFFmpegThread(TFFmpeg* task, TConvertPriority priority);
    ~TFFmpegThread() override;

protected:
    void Execute() override;
};

// Reports the termination of a task stopped before it ever started.
class TDoTerminateThread : public TTaskThread {
public:
    explicit TDoTerminateThread(TFFmpeg* task);
    ~TDoTerminateThread() override;

protected:
    void Execute() override;
};
