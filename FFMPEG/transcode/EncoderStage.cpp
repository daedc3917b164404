// The encoder stage's queue and thread.
#include "EncoderStage.h"

#include <utility>

EncoderStage::EncoderStage(std::size_t capacity, std::function<void()> onStart,
                           std::function<void()> onEnd)
    : m_capacity(capacity == 0 ? 1 : capacity), m_onStart(std::move(onStart)),
      m_onEnd(std::move(onEnd)) {
    m_thread = std::thread([this] { run(); });
}

EncoderStage::~EncoderStage() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_closing = true;
        m_dropping = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void EncoderStage::raiseFailure() {
    // Called with m_mutex held; the failure reaches the worker once.
    if (m_failure && !m_failureRaised) {
        m_failureRaised = true;
        std::rethrow_exception(m_failure);
    }
}

void EncoderStage::post(Job job, bool small) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [&] {
        const bool room =
            small ? m_jobs.size() < m_capacity * kSmallPerSlot : m_largeQueued < m_capacity;
        return room || m_failure || m_closing;
    });
    raiseFailure();
    if (m_failure || m_closing)
        return; // the failure was raised before; the run is ending
    m_jobs.push_back({std::move(job), small});
    if (!small)
        ++m_largeQueued;
    lock.unlock();
    m_changed.notify_all();
}

void EncoderStage::finish() {
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_closing = true;
        m_changed.notify_all();
    }
    if (m_thread.joinable())
        m_thread.join();
    const std::lock_guard<std::mutex> lock(m_mutex);
    raiseFailure();
}

void EncoderStage::run() {
    if (m_onStart)
        m_onStart();
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [this] { return !m_jobs.empty() || m_closing; });
            if (m_jobs.empty() || m_dropping || m_failure) {
                if (m_closing) {
                    std::deque<Queued> dropped;
                    dropped.swap(m_jobs);
                    m_largeQueued = 0;
                    lock.unlock();
                    break; // the dropped jobs free what they hold here, outside the lock
                }
                // After a failure the queue is emptied as it fills, so the worker never waits.
                std::deque<Queued> dropped;
                dropped.swap(m_jobs);
                m_largeQueued = 0;
                lock.unlock();
                m_changed.notify_all();
                continue;
            }
            job = std::move(m_jobs.front().job);
            if (!m_jobs.front().small)
                --m_largeQueued;
            m_jobs.pop_front();
        }
        m_changed.notify_all();
        try {
            job();
        } catch (...) {
            const std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_failure)
                m_failure = std::current_exception();
        }
        job = nullptr;
        m_changed.notify_all();
    }
    if (m_onEnd)
        m_onEnd();
}
