// Frame hook chain: argument splitting, loading and module reuse, configure failures with
// their log texts, run order and release, against the test plug-ins in <build>/hooks/.
#include "FrameHook.h"
#include "MediaLibraries.h"
#include "AVUtilHlpr.h"
#include "../hooks/test/TestRecorderState.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string hookPath(const std::string& name) {
    return std::string(VIDBRISK_BINARY_DIR) + "/hooks/lib" + name + ".so";
}

const std::string kRecorder = hookPath("vbhook_test_recorder");
const std::string kNoConfigure = hookPath("vbhook_test_noconfigure");
const std::string kNoProcess = hookPath("vbhook_test_noprocess");
const std::string kGrey = hookPath("vbhook_grey");

struct LogLine {
    int level;
    std::string text;
};

std::mutex g_logLock;
std::vector<LogLine> g_log;

void captureLog(void*, int level, const char* format, va_list args) {
    char text[1024];
    std::vsnprintf(text, sizeof(text), format, args);
    std::lock_guard<std::mutex> guard(g_logLock);
    g_log.push_back({level, text});
}

std::vector<LogLine> takeLog() {
    std::lock_guard<std::mutex> guard(g_logLock);
    return std::exchange(g_log, {});
}

// Opens a test plug-in in the test itself (the loader hands back the module the hook
// code loaded, or loads the same file) to read what it recorded.
template <class State, class Getter> State* pluginState(const std::string& path, const char* name) {
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module)
        return nullptr;
    auto getter = reinterpret_cast<Getter>(dlsym(module, name));
    return getter ? getter() : nullptr;
}

int chainLength(const FrameHookChain& chain) {
    int length = 0;
    for (const FrameHookEntry* entry = chain.Head; entry; entry = entry->Next)
        ++length;
    return length;
}

class FrameHookTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
        takeLog();
        lavu.av_log_set_callback(captureLog);
        m_recorder = pluginState<TestRecorderState, TestRecorderStateFunction>(
            kRecorder, "TestRecorderGetState");
        m_noConfigure = pluginState<TestNoConfigureState, TestNoConfigureStateFunction>(
            kNoConfigure, "TestNoConfigureGetState");
        ASSERT_NE(m_recorder, nullptr) << "build the vidbrisk_hooks target first: " << kRecorder;
        ASSERT_NE(m_noConfigure, nullptr) << kNoConfigure;
        *m_recorder = TestRecorderState{};
        *m_noConfigure = TestNoConfigureState{};
    }

    void TearDown() override {
        ReleaseFrameHooks(m_chain);
        lavu.av_log_set_callback(lavu.av_log_default_callback);
    }

    std::string recorderArg(int index) const { return m_recorder->lastArgs[index]; }

    FrameHookChain m_chain;
    TestRecorderState* m_recorder = nullptr;
    TestNoConfigureState* m_noConfigure = nullptr;
};

// --- Splitting ----------------------------------------------------------------------------

struct SplitCase {
    const char* name;
    const char* argument;
    std::vector<std::string> tokens;
};
void PrintTo(const SplitCase& c, std::ostream* out) {
    *out << c.name;
}

class FrameHookSplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(FrameHookSplitTest, SplitsLikeStrtokOnPipeOrBlank) {
    EXPECT_EQ(SplitFrameHookArgument(GetParam().argument), GetParam().tokens);
}

INSTANTIATE_TEST_SUITE_P(
    Separators, FrameHookSplitTest,
    ::testing::Values(
        // With a "|" anywhere, only "|" separates: blanks stay inside the tokens.
        SplitCase{"PipeKeepsBlanks", "hook.so|one two|three", {"hook.so", "one two", "three"}},
        SplitCase{"BlankSplitsAll", "hook.so one two three", {"hook.so", "one", "two", "three"}},
        SplitCase{"BlankTwoArguments", "hook.so one three", {"hook.so", "one", "three"}},
        SplitCase{"PipeWithBlanksAround", "hook.so | one", {"hook.so ", " one"}},
        // Runs of separators count as one; separators at either end are dropped.
        SplitCase{"PipeRunsAndEnds", "||hook.so||one|", {"hook.so", "one"}},
        SplitCase{"BlankRunsAndEnds", "  hook.so   one ", {"hook.so", "one"}},
        // Only the blank separates without "|": a tab is part of a token.
        SplitCase{"TabIsNoSeparator", "hook.so\tone", {"hook.so\tone"}}, SplitCase{"Empty", "", {}},
        SplitCase{"OnlyPipes", "|||", {}}, SplitCase{"OnlyBlanks", "   ", {}}),
    [](const ::testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

TEST(FrameHookSplit, KeepsAtMostSixtyThreeTokens) {
    std::string argument = "hook.so";
    for (int i = 1; i < 100; ++i)
        argument += " a" + std::to_string(i);
    const std::vector<std::string> tokens = SplitFrameHookArgument(argument);
    ASSERT_EQ(tokens.size(), 63u);
    EXPECT_EQ(tokens.back(), "a62");
}

// --- Configure arguments ------------------------------------------------------------------

struct ArgumentCase {
    const char* name;
    std::string suffix; // appended to the recorder's path
    std::vector<std::string> arguments;
};
void PrintTo(const ArgumentCase& c, std::ostream* out) {
    *out << c.name;
}

class FrameHookArgumentTest : public FrameHookTest,
                              public ::testing::WithParamInterface<ArgumentCase> {};

TEST_P(FrameHookArgumentTest, ConfigureGetsPathArgumentsAndNullTerminator) {
    ASSERT_EQ(FrameHookAdd(m_chain, kRecorder + GetParam().suffix), 0);
    const std::vector<std::string>& arguments = GetParam().arguments;
    ASSERT_EQ(m_recorder->configureCount, 1);
    ASSERT_EQ(m_recorder->lastArgc, static_cast<int>(arguments.size()) + 1);
    EXPECT_EQ(recorderArg(0), kRecorder);
    for (std::size_t i = 0; i < arguments.size(); ++i)
        EXPECT_EQ(recorderArg(static_cast<int>(i) + 1), arguments[i]) << "argument " << i + 1;
    EXPECT_TRUE(m_recorder->lastArgvTerminated);
    EXPECT_EQ(chainLength(m_chain), 1);
}

INSTANTIATE_TEST_SUITE_P(
    PipeVersusBlank, FrameHookArgumentTest,
    ::testing::Values(ArgumentCase{"PipeArgc3", "|one two|three", {"one two", "three"}},
                      ArgumentCase{"BlankArgc3", " one three", {"one", "three"}},
                      ArgumentCase{"BlankArgc4", " one two three", {"one", "two", "three"}},
                      ArgumentCase{"PathOnly", "", {}}),
    [](const ::testing::TestParamInfo<ArgumentCase>& info) {
        return std::string(info.param.name);
    });

TEST_F(FrameHookTest, ConfigureGetsAtMostSixtyThreeTokensAndNullSlot) {
    std::string argument = kRecorder;
    for (int i = 1; i < 100; ++i)
        argument += " a" + std::to_string(i);
    ASSERT_EQ(FrameHookAdd(m_chain, argument), 0);
    EXPECT_EQ(m_recorder->lastArgc, 63);
    EXPECT_EQ(recorderArg(62), "a62");
    EXPECT_TRUE(m_recorder->lastArgvTerminated);
}

TEST_F(FrameHookTest, EmptyArgumentIsRefusedWithoutLoading) {
    const std::size_t modules = FrameHookModuleCount();
    EXPECT_EQ(FrameHookAdd(m_chain, ""), kFrameHookBadArguments);
    EXPECT_EQ(FrameHookAdd(m_chain, "||"), kFrameHookBadArguments);
    EXPECT_EQ(FrameHookModuleCount(), modules);
    EXPECT_EQ(m_chain.Head, nullptr);
}

// --- Loading and the module cache ---------------------------------------------------------

TEST_F(FrameHookTest, SecondTaskReusesTheModuleAndConfiguresAgain) {
    const std::size_t before = FrameHookModuleCount();
    FrameHookChain firstTask;
    FrameHookChain secondTask;
    ASSERT_EQ(FrameHookAdd(firstTask, kRecorder + " first"), 0);
    const std::size_t afterFirst = FrameHookModuleCount();
    ASSERT_EQ(FrameHookAdd(secondTask, kRecorder + " second"), 0);

    EXPECT_LE(afterFirst - before, 1u);
    EXPECT_EQ(FrameHookModuleCount(), afterFirst) << "the same path was loaded twice";
    EXPECT_EQ(m_recorder->configureCount, 2);
    ASSERT_NE(firstTask.Head, nullptr);
    ASSERT_NE(secondTask.Head, nullptr);
    EXPECT_EQ(firstTask.Head->Process, secondTask.Head->Process);
    EXPECT_NE(firstTask.Head->Context, secondTask.Head->Context);

    ReleaseFrameHooks(firstTask);
    ReleaseFrameHooks(secondTask);
    EXPECT_EQ(m_recorder->releaseCount, 2);
}

TEST_F(FrameHookTest, TasksConfiguringFromSeveralThreadsShareOneModule) {
    constexpr int kThreads = 4;
    constexpr int kHooksPerThread = 8;
    const std::size_t before = FrameHookModuleCount();
    std::vector<FrameHookChain> chains(kThreads);
    std::vector<int> failures(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kHooksPerThread; ++i)
                failures[t] += FrameHookAdd(chains[t], kRecorder) != 0;
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    EXPECT_LE(FrameHookModuleCount() - before, 1u);
    EXPECT_EQ(m_recorder->configureCount, kThreads * kHooksPerThread);
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(failures[t], 0);
        EXPECT_EQ(chainLength(chains[t]), kHooksPerThread);
        ReleaseFrameHooks(chains[t]);
    }
    EXPECT_EQ(m_recorder->releaseCount, kThreads * kHooksPerThread);
}

TEST_F(FrameHookTest, FailedLoadLogsTheLoadersReason) {
    const std::string missing = std::string(VIDBRISK_BINARY_DIR) + "/hooks/libvbhook_missing.so";
    const std::size_t before = FrameHookModuleCount();
    EXPECT_EQ(FrameHookAdd(m_chain, missing + " x"), kFrameHookLoadFailed);
    EXPECT_EQ(m_chain.Head, nullptr);
    EXPECT_EQ(FrameHookModuleCount(), before);

    ASSERT_EQ(dlopen(missing.c_str(), RTLD_NOW), nullptr);
    const std::string reason = dlerror();
    const std::vector<LogLine> log = takeLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].level, 0);
    EXPECT_EQ(log[0].text, reason + "\n");
}

// Linux file names are case-sensitive: another spelling is another file, not the cached
// module.
TEST_F(FrameHookTest, CachePathsCompareWithLetterCase) {
    ASSERT_EQ(FrameHookAdd(m_chain, kGrey), 0);
    const std::size_t loaded = FrameHookModuleCount();
    const std::string upper = std::string(VIDBRISK_BINARY_DIR) + "/hooks/LIBVBHOOK_GREY.SO";
    takeLog();
    EXPECT_EQ(FrameHookAdd(m_chain, upper), kFrameHookLoadFailed);
    EXPECT_EQ(FrameHookModuleCount(), loaded);
    EXPECT_EQ(chainLength(m_chain), 1);
    const std::vector<LogLine> log = takeLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].text.find("LIBVBHOOK_GREY.SO"), std::string::npos) << log[0].text;
}

// The path goes to the loader as written: a bare file name is not looked up in the current
// directory, and neither the current directory nor PATH changes around a load.
TEST_F(FrameHookTest, LoadingLeavesCurrentDirectoryAndPathAlone) {
    char original[4096];
    ASSERT_NE(getcwd(original, sizeof(original)), nullptr);
    const char* pathVariable = std::getenv("PATH");
    const std::string pathBefore = pathVariable ? pathVariable : "";

    ASSERT_EQ(FrameHookAdd(m_chain, kGrey), 0);
    char current[4096];
    ASSERT_NE(getcwd(current, sizeof(current)), nullptr);
    EXPECT_STREQ(current, original);

    const std::string hookFolder = std::string(VIDBRISK_BINARY_DIR) + "/hooks";
    ASSERT_EQ(chdir(hookFolder.c_str()), 0);
    const int bareName = FrameHookAdd(m_chain, "libvbhook_test_noconfigure.so");
    ASSERT_NE(getcwd(current, sizeof(current)), nullptr);
    ASSERT_EQ(chdir(original), 0);
    EXPECT_EQ(bareName, kFrameHookLoadFailed);
    EXPECT_EQ(std::string(current), hookFolder);

    pathVariable = std::getenv("PATH");
    EXPECT_EQ(pathVariable ? pathVariable : "", pathBefore);
}

// --- Entry points -------------------------------------------------------------------------

TEST_F(FrameHookTest, PluginWithoutConfigureIsAcceptedOnlyWithoutArguments) {
    ASSERT_EQ(FrameHookAdd(m_chain, kNoConfigure), 0);
    ASSERT_NE(m_chain.Head, nullptr);
    EXPECT_EQ(m_chain.Head->Configure, nullptr);
    EXPECT_EQ(m_chain.Head->Context, nullptr);
    EXPECT_TRUE(takeLog().empty());

    EXPECT_EQ(FrameHookAdd(m_chain, kNoConfigure + " x"), kFrameHookBadArguments);
    EXPECT_EQ(chainLength(m_chain), 1);
    const std::vector<LogLine> log = takeLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].text, "Failed to find Configure entrypoint in " + kNoConfigure + "\n");
    EXPECT_EQ(log[0].level, 0);

    FrameHookPicture picture{};
    RunFrameHooks(m_chain, &picture, 0, 2, 2, 0);
    ReleaseFrameHooks(m_chain);
    EXPECT_EQ(m_noConfigure->processCount, 1);
    EXPECT_EQ(m_noConfigure->releaseCount, 1);
    EXPECT_EQ(m_noConfigure->nonNullContexts, 0);
}

TEST_F(FrameHookTest, PluginWithoutProcessIsRefused) {
    EXPECT_EQ(FrameHookAdd(m_chain, kNoProcess), kFrameHookBadArguments);
    EXPECT_EQ(m_chain.Head, nullptr);
    const std::vector<LogLine> log = takeLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].text, "Failed to find Process entrypoint in " + kNoProcess + "\n");
}

struct ConfigureFailureCase {
    const char* name;
    std::string path;
    std::string arguments;
};
void PrintTo(const ConfigureFailureCase& c, std::ostream* out) {
    *out << c.name;
}

class FrameHookConfigureFailureTest : public FrameHookTest,
                                      public ::testing::WithParamInterface<ConfigureFailureCase> {};

TEST_P(FrameHookConfigureFailureTest, FailedConfigureIsLoggedAndNotChained) {
    const std::string& path = GetParam().path;
    ASSERT_EQ(FrameHookAdd(m_chain, kRecorder), 0); // an earlier, good entry stays
    takeLog();
    EXPECT_EQ(FrameHookAdd(m_chain, path + " " + GetParam().arguments), kFrameHookConfigureFailed);
    EXPECT_EQ(chainLength(m_chain), 1);
    const std::vector<LogLine> log = takeLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].text, "Failed to Configure " + path + "\n");
    // Release belongs to configured entries only.
    ReleaseFrameHooks(m_chain);
    EXPECT_EQ(m_recorder->releaseCount, 1);
}

INSTANTIATE_TEST_SUITE_P(RecorderAndGrey, FrameHookConfigureFailureTest,
                         ::testing::Values(ConfigureFailureCase{"RecorderFail", kRecorder, "fail"},
                                           ConfigureFailureCase{"GreyAbove100", kGrey, "150"},
                                           ConfigureFailureCase{"GreyNegative", kGrey, "-1"},
                                           ConfigureFailureCase{"GreyNotANumber", kGrey, "abc"},
                                           ConfigureFailureCase{"GreyTwoArguments", kGrey,
                                                                "50 60"}),
                         [](const ::testing::TestParamInfo<ConfigureFailureCase>& info) {
                             return std::string(info.param.name);
                         });

// --- Running and releasing ----------------------------------------------------------------

TEST_F(FrameHookTest, RunCallsEveryProcessHeadToTailWithThePictureValues) {
    ASSERT_EQ(FrameHookAdd(m_chain, kRecorder + " a"), 0);
    ASSERT_EQ(FrameHookAdd(m_chain, kNoConfigure), 0);
    ASSERT_EQ(FrameHookAdd(m_chain, kRecorder + " b"), 0);

    // The plane-array form the video path uses with an AVFrame.
    uint8_t* data[8] = {};
    int linesize[8] = {};
    const int64_t ptsUs = 123456789012345; // beyond 32 bits
    RunFrameHooks(m_chain, data, linesize, AV_PIX_FMT_YUV420P, 320, 240, ptsUs);
    RunFrameHooks(m_chain, data, linesize, AV_PIX_FMT_YUV420P, 320, 240, ptsUs + 40000);

    ASSERT_EQ(m_recorder->processCount, 4);
    EXPECT_EQ(m_recorder->processContextIds[0], 1);
    EXPECT_EQ(m_recorder->processContextIds[1], 2);
    EXPECT_EQ(m_recorder->processContextIds[2], 1);
    EXPECT_EQ(m_recorder->processContextIds[3], 2);
    EXPECT_EQ(m_noConfigure->processCount, 2);
    EXPECT_EQ(m_recorder->lastPixelFormat, AV_PIX_FMT_YUV420P);
    EXPECT_EQ(m_recorder->lastWidth, 320);
    EXPECT_EQ(m_recorder->lastHeight, 240);
    EXPECT_EQ(m_recorder->lastPtsUs, ptsUs + 40000);
}

TEST_F(FrameHookTest, ReleaseCallsReleaseInChainOrderAndEmptiesTheChain) {
    ASSERT_EQ(FrameHookAdd(m_chain, kRecorder), 0);
    ASSERT_EQ(FrameHookAdd(m_chain, kGrey + " 40"), 0);
    ASSERT_EQ(FrameHookAdd(m_chain, kRecorder), 0);

    ReleaseFrameHooks(m_chain);
    EXPECT_EQ(m_chain.Head, nullptr);
    ASSERT_EQ(m_recorder->releaseCount, 2);
    EXPECT_EQ(m_recorder->releasedContextIds[0], 1);
    EXPECT_EQ(m_recorder->releasedContextIds[1], 2);

    ReleaseFrameHooks(m_chain); // a second release finds nothing to do
    EXPECT_EQ(m_recorder->releaseCount, 2);

    FrameHookPicture picture{};
    RunFrameHooks(m_chain, &picture, 0, 2, 2, 0); // an empty chain runs nothing
    EXPECT_EQ(m_recorder->processCount, 0);
}

} // namespace
