// The hand-over of the component's events from the worker threads to the converter's loop.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

// Copies of the values of one event, taken on the worker.
struct RunEvent {
    enum class Kind { Progress, Terminate, Log };
    Kind EventKind = Kind::Progress;
    int32_t Index = -1;
    // Progress
    int32_t FrameNumber = 0;
    int32_t CurrentDurationMs = 0;
    int64_t CurrentSizeBytes = 0;
    int32_t TotalOutputDurationMs = 0;
    // Terminate
    bool Finished = false;
    bool Exception = false;
    std::string Output; // the name the task's output got, when it is not the one planned
    // Terminate (failure text) and Log (the line)
    std::string Message;
};

// Thread-safe: workers push (holding the queue's lock only for the append, never waiting for
// the loop); the loop takes everything that has arrived.
class RunEventQueue {
public:
    void push(RunEvent event) {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_events.push_back(std::move(event));
        }
        m_arrived.notify_one();
    }
    // Waits up to `timeout` for events and moves every pending one into `out`.
    void takeAll(std::vector<RunEvent>& out, std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(m_lock);
        m_arrived.wait_for(lock, timeout, [this] { return !m_events.empty(); });
        for (RunEvent& event : m_events)
            out.push_back(std::move(event));
        m_events.clear();
    }

private:
    std::mutex m_lock;
    std::condition_variable m_arrived;
    std::deque<RunEvent> m_events; // guarded by m_lock
};
