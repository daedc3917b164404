// The encoder stage of a task: a thread of its own that runs the task's encoders and
// muxer while the task's worker reads and decodes the next frames. The worker hands its
// work over as jobs through a small bounded queue; the stage runs them in the order they
// came, one at a time.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

class EncoderStage {
public:
    using Job = std::function<void()>;

    // `onStart` and `onEnd` run on the stage's thread before its first job and after its
    // last one (the engine tells the component which thread works for the task).
    EncoderStage(std::size_t capacity, std::function<void()> onStart, std::function<void()> onEnd);
    // Drops the jobs not yet run, waits for the one running and joins the thread.
    ~EncoderStage();
    EncoderStage(const EncoderStage&) = delete;
    EncoderStage& operator=(const EncoderStage&) = delete;

    // Queues a job, waiting while the queue is full. When an earlier job failed, its
    // exception is raised here instead (on the caller's thread) and the job is dropped.
    // A small job (a packet to write) holds little memory: up to kSmallPerSlot of them may
    // wait per slot of the capacity, so they rarely hold the caller up.
    void post(Job job, bool small = false);
    static constexpr std::size_t kSmallPerSlot = 16;
    // Waits until every queued job has run, then ends the thread; raises the first
    // failure of a job. Later posts are refused.
    void finish();

private:
    void run();
    void raiseFailure();

    const std::size_t m_capacity;
    std::function<void()> m_onStart, m_onEnd;
    // m_mutex guards m_jobs, m_largeQueued, m_closing, m_dropping and m_failure; both threads
    // wait on m_changed for a change of any of them.
    std::mutex m_mutex;
    std::condition_variable m_changed;
    struct Queued {
        Job job;
        bool small;
    };
    std::deque<Queued> m_jobs;
    std::size_t m_largeQueued = 0; // jobs in m_jobs not posted as small
    bool m_closing = false;        // no more jobs come; the thread ends when the queue is empty
    bool m_dropping = false;       // the jobs still queued are dropped, not run
    std::exception_ptr m_failure;  // the first job that raised; later jobs are dropped
    bool m_failureRaised = false;  // the failure was raised on the worker already
    std::thread m_thread;          // started by the constructor, joined by finish or ~
};
