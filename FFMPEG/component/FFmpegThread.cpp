#include "FFmpegThread.h"

#include <algorithm>

#include <sys/resource.h>
#include <unistd.h>

TTaskThread::TTaskThread(TFFmpeg* task, TConvertPriority priority)
    : m_task(task), m_priority(priority) {}

TTaskThread::~TTaskThread() {
    // The derived destructor has joined already; this only covers a failed launch.
    if (m_thread.joinable())
        m_thread.detach();
}

void TTaskThread::Launch() {
    m_thread = std::thread(&TTaskThread::threadMain, this);
    std::unique_lock lock(m_gateMutex);
    m_gateChanged.wait(lock, [this] { return m_idKnown; });
}

void TTaskThread::Resume() {
    {
        const std::lock_guard lock(m_gateMutex);
        m_resumed = true;
    }
    m_gateChanged.notify_all();
}

void TTaskThread::Join() {
    if (!m_thread.joinable())
        return;
    if (m_thread.get_id() == std::this_thread::get_id()) {
        // Destroyed from inside its own run (a handler removed the task): the thread
        // touches nothing of its own after the run returns, so it may end on its own.
        m_thread.detach();
        return;
    }
    // A thread that was never resumed would wait forever at its gate: let it pass without
    // running its task.
    {
        const std::lock_guard lock(m_gateMutex);
        if (!m_resumed)
            m_cancelled = true;
        m_resumed = true;
    }
    m_gateChanged.notify_all();
    m_thread.join();
}

int TTaskThread::NiceValue(TConvertPriority priority) {
    switch (priority) {
    case tpIdle:
        return 19;
    case tpLowest:
        return 10;
    case tpLower:
        return 5;
    default:
        return 0;
    }
}

void TTaskThread::threadMain() {
    const int32_t id = CurrentThreadId();
    // On Linux the nice value of a thread id applies to that thread alone. It is counted
    // from the process's own (the main thread's) value, since a thread inherits the value
    // of the thread that created it, which may be another worker. Raising it needs no
    // privilege; a refusal leaves the thread as it is.
    const int processNice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::getpid()));
    const int nice = std::min(19, processNice + NiceValue(m_priority));
    if (nice != ::getpriority(PRIO_PROCESS, static_cast<id_t>(id)))
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(id), nice);
    {
        std::unique_lock lock(m_gateMutex);
        m_threadId = id;
        m_idKnown = true;
        m_gateChanged.notify_all();
        m_gateChanged.wait(lock, [this] { return m_resumed; });
        if (m_cancelled)
            return;
    }
    Execute();
    // Nothing of this object may be touched from here on: the owner may be gone.
}

TFFmpegThread::TFFmpegThread(TFFmpeg* task, TConvertPriority priority)
    : TTaskThread(task, priority) {
    Launch();
}

TFFmpegThread::~TFFmpegThread() {
    Join();
}

void TFFmpegThread::Execute() {
    if (TFFmpeg* task = Task())
        task->Run();
}

TDoTerminateThread::TDoTerminateThread(TFFmpeg* task) : TTaskThread(task, tpIdle) {
    Launch();
}

TDoTerminateThread::~TDoTerminateThread() {
    Join();
}

void TDoTerminateThread::Execute() {
    if (TFFmpeg* task = Task())
        task->NotifyTerminated();
}
