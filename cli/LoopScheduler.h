// The component's scheduler over the converter's own loop: delayed calls that the loop runs
// on the main thread when they are due.
#pragma once

#include "TaskScheduler.h"

#include <chrono>
#include <functional>
#include <mutex>
#include <vector>

class LoopScheduler : public TaskScheduler {
public:
    using Clock = std::chrono::steady_clock;

    void postDelayed(int delayMs, std::function<void()> call) override {
        std::lock_guard<std::mutex> lock(m_lock);
        m_calls.push_back({Clock::now() + std::chrono::milliseconds(delayMs), std::move(call)});
    }
    // Runs, on the calling (main) thread, every call that is due; returns how many ran.
    int runDue() {
        std::vector<std::function<void()>> due;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            const auto now = Clock::now();
            for (auto it = m_calls.begin(); it != m_calls.end();) {
                if (it->due <= now) {
                    due.push_back(std::move(it->call));
                    it = m_calls.erase(it);
                } else {
                    ++it;
                }
            }
        }
        for (auto& call : due)
            call();
        return static_cast<int>(due.size());
    }

private:
    struct Delayed {
        Clock::time_point due;
        std::function<void()> call;
    };
    std::mutex m_lock;
    std::vector<Delayed> m_calls; // guarded by m_lock
};
