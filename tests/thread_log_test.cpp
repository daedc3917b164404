// The library log bridge: per-thread pending text, lines from several threads kept apart,
// the task that owns a thread, the class prefix, the verbosity filter and delivery to
// every live component.
#include "component_fakes.h"

#include "AVUtilHlpr.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <map>

namespace {

TEST(LogListTest, OneEntryPerThreadAndClear) {
    TLogList list;
    EXPECT_EQ(list.Count(), 0);
    list.SetPending(100, "first");
    list.SetPending(200, "second");
    list.SetPending(300, "third");
    list.SetPending(200, "second again");
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Pending(100), "first");
    EXPECT_EQ(list.Pending(200), "second again");
    EXPECT_EQ(list.Pending(300), "third");
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Pending(300), ""); // takes the direct entry now
    EXPECT_EQ(list.Count(), 1);
}

class LibraryLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(component.LoadLibraries("", true)) << component.LastError;
        LogLines().Clear();
        component.OnLog = [this](int32_t index, TLogLevel level, const std::string& text) {
            const std::lock_guard lock(mutex);
            lines.push_back({index, level, text});
        };
    }
    struct Line {
        int32_t index;
        TLogLevel level;
        std::string text;
    };
    std::vector<Line> linesCopy() {
        const std::lock_guard lock(mutex);
        return lines;
    }

    TFFmpegVCL component;
    std::mutex mutex;
    std::vector<Line> lines;
};

TEST_F(LibraryLogTest, LinesFromSeveralThreadsAreKeptApart) {
    constexpr int kThreads = 4;
    constexpr int kLines = 40;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) {
                lavu.av_log(nullptr, AV_LOG_INFO, "thread %d ", t);
                std::this_thread::yield();
                lavu.av_log(nullptr, AV_LOG_INFO, "line %d", i);
                std::this_thread::yield();
                lavu.av_log(nullptr, AV_LOG_INFO, " end\n");
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    const auto delivered = linesCopy();
    ASSERT_EQ(delivered.size(), static_cast<std::size_t>(kThreads * kLines));
    std::map<int, int> nextLine;
    for (const Line& line : delivered) {
        int t = -1, i = -1;
        char tail[8] = {};
        ASSERT_EQ(std::sscanf(line.text.c_str(), "thread %d line %d %3s", &t, &i, tail), 3)
            << line.text;
        EXPECT_EQ(line.text, "thread " + std::to_string(t) + " line " + std::to_string(i) + " end");
        EXPECT_EQ(i, nextLine[t]++) << "lines of one thread arrive in order";
        EXPECT_EQ(line.index, -1);
        EXPECT_EQ(line.level, llInfo);
    }
    LogLines().Clear();
    EXPECT_EQ(LogLines().Count(), 0);
}

TEST_F(LibraryLogTest, LineGoesToTheTaskRunningOnTheThread) {
    component.TaskFactory = [] { return std::make_unique<FakeTask>(); };
    ASSERT_EQ(component.AddInputTask("a.avi"), 0);
    ASSERT_EQ(component.AddInputTask("b.avi"), 1);
    std::atomic<int32_t> workerId{0};
    std::thread worker([&] {
        workerId = CurrentThreadId();
        component.Tasks[1].OwnerThreadId = workerId.load();
        lavu.av_log(nullptr, AV_LOG_ERROR, "from the worker\n");
    });
    worker.join();
    lavu.av_log(nullptr, AV_LOG_WARNING, "from main\n");
    const auto delivered = linesCopy();
    ASSERT_EQ(delivered.size(), 2u);
    EXPECT_EQ(delivered[0].index, 1);
    EXPECT_EQ(delivered[0].level, llError);
    EXPECT_EQ(delivered[0].text, "from the worker");
    EXPECT_EQ(delivered[1].index, -1);
    EXPECT_EQ(delivered[1].level, llInfo); // warnings count as information
}

const char* probeItemName(void*) {
    return "probe";
}

TEST_F(LibraryLogTest, ContextClassPrefixesANewLineOnly) {
    static const AVClass probeClass = [] {
        AVClass value{};
        value.class_name = "probe";
        value.item_name = probeItemName;
        value.version = LIBAVUTIL_VERSION_INT;
        return value;
    }();
    struct {
        const AVClass* avClass = &probeClass;
    } context;
    lavu.av_log(&context, AV_LOG_INFO, "opened ");
    lavu.av_log(&context, AV_LOG_INFO, "twice\nsecond line\n");
    const auto delivered = linesCopy();
    ASSERT_EQ(delivered.size(), 2u);
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "[probe @ %08" PRIXPTR "]",
                  reinterpret_cast<uintptr_t>(&probeClass));
    EXPECT_EQ(delivered[0].text, std::string(prefix) + "opened twice");
    EXPECT_EQ(delivered[1].text, "second line");
}

TEST_F(LibraryLogTest, VerbosityFollowsTheLogLevel) {
    component.SetLogLevel(llError);
    lavu.av_log(nullptr, AV_LOG_INFO, "hidden\n");
    lavu.av_log(nullptr, AV_LOG_ERROR, "shown\n");
    component.SetLogLevel(llQuiet);
    lavu.av_log(nullptr, AV_LOG_ERROR, "hidden too\n");
    component.SetLogLevel(llDebug);
    lavu.av_log(nullptr, AV_LOG_DEBUG, "debug\n");
    const auto delivered = linesCopy();
    ASSERT_EQ(delivered.size(), 2u);
    EXPECT_EQ(delivered[0].text, "shown");
    EXPECT_EQ(delivered[0].level, llError);
    EXPECT_EQ(delivered[1].text, "debug");
    EXPECT_EQ(delivered[1].level, llDebug);
}

TEST_F(LibraryLogTest, EveryLiveComponentReceivesTheLine) {
    std::vector<std::string> second;
    {
        TFFmpegVCL other;
        other.OnLog = [&](int32_t, TLogLevel, const std::string& text) { second.push_back(text); };
        lavu.av_log(nullptr, AV_LOG_INFO, "both\n");
    }
    lavu.av_log(nullptr, AV_LOG_INFO, "first only\n");
    EXPECT_EQ(second, (std::vector<std::string>{"both"}));
    EXPECT_EQ(linesCopy().size(), 2u);
}

TEST_F(LibraryLogTest, LongTextIsCutToTheLineBufferAndTheLineStillEnds) {
    const std::string longText(5000, 'x');
    lavu.av_log(nullptr, AV_LOG_INFO, "%s", longText.c_str());
    lavu.av_log(nullptr, AV_LOG_INFO, "%s", longText.c_str());
    lavu.av_log(nullptr, AV_LOG_INFO, "\nnext\n");
    const auto delivered = linesCopy();
    ASSERT_EQ(delivered.size(), 2u);
    EXPECT_EQ(delivered[0].text, std::string(2047, 'x'));
    EXPECT_EQ(delivered[1].text, "next");
}

TEST_F(LibraryLogTest, HandlerLoggingUnderTaskLockDoesNotDeadlockNorLoseTheLine) {
    // While the handler runs under TaskLock, a delivery on another thread holds the
    // registry's lock and waits for TaskLock; the handler then logs through the libraries.
    // Its line cannot be delivered at once and must still arrive.
    std::thread other;
    std::atomic<bool> handled{false};
    component.OnLog = [&](int32_t, TLogLevel level, const std::string& text) {
        {
            const std::lock_guard lock(mutex);
            lines.push_back({-1, level, text});
        }
        if (text != "outer")
            return;
        other = std::thread([] { lavu.av_log(nullptr, AV_LOG_INFO, "from the other thread\n"); });
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        lavu.av_log(nullptr, AV_LOG_ERROR, "from the handler\n");
        handled = true;
    };
    component.DoLog(nullptr, 1, "outer");
    other.join();
    EXPECT_TRUE(handled);
    std::map<std::string, TLogLevel> delivered;
    for (const Line& line : linesCopy())
        delivered[line.text] = line.level;
    EXPECT_EQ(delivered.count("from the other thread"), 1u);
    ASSERT_EQ(delivered.count("from the handler"), 1u);
    EXPECT_EQ(delivered["from the handler"], llError);
}

} // namespace
