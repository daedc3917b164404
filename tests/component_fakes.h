// Test doubles for the component and lifecycle tests: an engine instance whose transcode
// is a loop that runs until stopped (or for a given number of turns) and passes the pause
// gate, a scheduler whose delayed calls the test runs by hand, a recorder of events, and a
// fixture with a real component on the loaded libraries.
#pragma once

#include "FFmpegVCL.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

// What every fake task of a test shares: how many run at once, at most.
struct FakeRunStats {
    std::atomic<int> running{0};
    std::atomic<int> maxRunning{0};
    std::atomic<int> runsEnded{0};
};

class FakeTask : public TFFmpeg {
public:
    explicit FakeTask(FakeRunStats* stats = nullptr) : m_stats(stats) {}
    ~FakeTask() override { StopAndWait(); }

    // Turns of the loop before a normal end; -1 runs until stopped.
    int turns = -1;
    // Raised by the transcode when not empty.
    std::string failure;
    // Reports progress once, and logs one line, at the start of the run.
    bool reportsProgress = false;
    // Where the files "open": false makes the open fail with this ErrorText.
    bool inputOpens = true;
    std::string inputError = "input refused";
    bool outputOpens = true;

    std::atomic<bool> entered{false};
    std::atomic<int> iterations{0};
    std::atomic<int32_t> runThreadId{0};
    std::atomic<int> codecCleanups{0};
    std::string openedInput, openedOutput;
    std::vector<std::string> targetCall; // preset, norm, fallback norm

    bool OpenInputFile(const std::string& fileName) override {
        openedInput = fileName;
        if (!inputOpens) {
            ErrorText = inputError;
            return false;
        }
        InputFileCount = 1;
        return true;
    }
    bool OpenOutputFile(const std::string& fileName) override {
        openedOutput = fileName;
        if (!outputOpens) {
            ErrorText = "output refused";
            return false;
        }
        OutputFileCount = 1;
        return true;
    }
    void ApplyTargetPreset(const std::string& preset, const std::string& norm,
                           const std::string& fallbackNorm) override {
        targetCall = {preset, norm, fallbackNorm};
    }
    void RunTranscode() override {
        runThreadId = CurrentThreadId();
        if (m_stats) {
            const int now = ++m_stats->running;
            int seen = m_stats->maxRunning;
            while (now > seen && !m_stats->maxRunning.compare_exchange_weak(seen, now)) {
            }
        }
        entered = true;
        if (reportsProgress) {
            ReportProgress(12, 25, 480, 3.5f, 128.25f, int64_t{1} << 33, 3000);
            Log(kLogInfo, "progress reported");
        }
        while (!StopRequested && (turns < 0 || iterations < turns)) {
            WaitWhilePaused();
            ++iterations;
            if (CustomHookAssigned()) {
                bool update = false, stopHook = false;
                RaiseCustomHook(nullptr, iterations, 0, update, stopHook);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (m_stats) {
            --m_stats->running;
            ++m_stats->runsEnded;
        }
        if (!failure.empty())
            throw FFMpegException(failure);
        Finished = !StopRequested;
    }
    void CloseOpenCodecs() override { ++codecCleanups; }

private:
    FakeRunStats* m_stats;
};

// Delayed calls are kept until the test runs them, on the test's own thread.
class FakeScheduler : public TaskScheduler {
public:
    void postDelayed(int delayMs, std::function<void()> call) override {
        const std::lock_guard lock(m_mutex);
        delays.push_back(delayMs);
        m_calls.push_back(std::move(call));
    }
    // Runs the oldest waiting call; false when there is none.
    bool runOne() {
        std::function<void()> call;
        {
            const std::lock_guard lock(m_mutex);
            if (m_calls.empty())
                return false;
            call = std::move(m_calls.front());
            m_calls.pop_front();
        }
        call();
        return true;
    }
    std::size_t waiting() {
        const std::lock_guard lock(m_mutex);
        return m_calls.size();
    }
    std::vector<int> delays;

private:
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_calls;
};

// One OnTerminate call.
struct TerminateRecord {
    int32_t index;
    bool finished;
    bool exception;
    std::string message;
    int32_t threadId;
};

// Collects OnTerminate and OnLog calls and lets the test wait for them.
class EventRecorder {
public:
    void attach(TCustomFFmpegVCL& component) {
        component.OnTerminate = [this](int32_t index, bool finished, bool exception,
                                       const std::string& message) {
            {
                const std::lock_guard lock(m_mutex);
                terminations.push_back({index, finished, exception, message, CurrentThreadId()});
            }
            m_changed.notify_all();
        };
        component.OnLog = [this](int32_t index, TLogLevel level, const std::string& text) {
            {
                const std::lock_guard lock(m_mutex);
                logs.push_back({index, level, text});
            }
            m_changed.notify_all();
        };
    }
    // Waits until the all-done signal (index -1) has arrived.
    bool waitAllDone(std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, limit, [this] {
            for (const auto& record : terminations)
                if (record.index == -1)
                    return true;
            return false;
        });
    }
    bool waitTerminations(std::size_t count,
                          std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, limit, [&] { return terminations.size() >= count; });
    }
    std::vector<TerminateRecord> terminationsCopy() {
        const std::lock_guard lock(m_mutex);
        return terminations;
    }
    struct LogRecord {
        int32_t index;
        TLogLevel level;
        std::string text;
    };
    std::vector<LogRecord> logsCopy() {
        const std::lock_guard lock(m_mutex);
        return logs;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<TerminateRecord> terminations;
    std::vector<LogRecord> logs;
};

// Waits, polling, until the condition holds; false after the limit.
inline bool waitFor(const std::function<bool()>& condition,
                    std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A component on the loaded media libraries with its events recorded, and a scratch
// folder named after the test that is removed after it.
class ComponentMediaFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(component.LoadLibraries("", true)) << component.LastError;
        recorder.attach(component);
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder =
            std::filesystem::temp_directory_path() /
            (std::string("vidbrisk-component-") + info->name() + "-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        component.ClearTasks();
        std::filesystem::remove_all(folder);
    }
    std::string scratch(const std::string& name) const { return (folder / name).string(); }

    TFFmpegVCL component;
    EventRecorder recorder;
    std::filesystem::path folder;
};
