// The "vhook" option of an engine instance: the chain it builds, the flag it sets, the
// one failure text, and the release of the chain with the instance's state.
#include "FFmpeg.h"
#include "FrameHook.h"
#include "MediaLibraries.h"
#include "../hooks/test/TestRecorderState.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>

namespace {

std::string hookPath(const std::string& name) {
    return std::string(VIDBRISK_BINARY_DIR) + "/hooks/lib" + name + ".so";
}

const std::string kRecorder = hookPath("vbhook_test_recorder");
const std::string kNoConfigure = hookPath("vbhook_test_noconfigure");
const std::string kGrey = hookPath("vbhook_grey");

int chainLength(const FrameHookChain& chain) {
    int length = 0;
    for (const FrameHookEntry* entry = chain.Head; entry; entry = entry->Next)
        ++length;
    return length;
}

class VHookOptionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
        void* module = dlopen(kRecorder.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module, nullptr) << "build the vidbrisk_hooks target first: " << kRecorder;
        auto getState =
            reinterpret_cast<TestRecorderStateFunction>(dlsym(module, "TestRecorderGetState"));
        ASSERT_NE(getState, nullptr);
        m_recorder = getState();
        *m_recorder = TestRecorderState{};
    }

    // The message the option raises, or "" when it raises nothing.
    std::string optionFailure(TCustomFFmpeg& engine, const std::string& value) {
        try {
            engine.SetOption("vhook", value);
        } catch (const FFMpegException& error) {
            return error.what();
        }
        return "";
    }

    TestRecorderState* m_recorder = nullptr;
};

TEST_F(VHookOptionTest, EachOptionAppendsAConfiguredEntryAndSetsTheFlag) {
    TCustomFFmpeg engine;
    EXPECT_EQ(engine.UsingVideoHook, 0);
    EXPECT_EQ(optionFailure(engine, kGrey + " 50"), "");
    EXPECT_EQ(engine.UsingVideoHook, 1);
    // Through the option text: the "=" splits name and value, the "|" the plug-in tokens.
    engine.ApplyOptionText("vhook=" + kRecorder + "|one two|three");
    EXPECT_EQ(chainLength(engine.FrameHooks), 2);
    EXPECT_EQ(m_recorder->lastArgc, 3);
    EXPECT_STREQ(m_recorder->lastArgs[1], "one two");
    EXPECT_STREQ(m_recorder->lastArgs[2], "three");
}

struct FailureCase {
    const char* name;
    std::string value;
};

void PrintTo(const FailureCase& c, std::ostream* out) {
    *out << c.name;
}

class VHookOptionFailureTest : public VHookOptionTest,
                               public ::testing::WithParamInterface<FailureCase> {};

TEST_P(VHookOptionFailureTest, RaisesTheOneTextWithTheWholeArgument) {
    TCustomFFmpeg engine;
    const std::string& value = GetParam().value;
    EXPECT_EQ(optionFailure(engine, value), "Failed to add video hook function: " + value);
    EXPECT_EQ(engine.UsingVideoHook, 0);
    EXPECT_EQ(engine.FrameHooks.Head, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, VHookOptionFailureTest,
    ::testing::Values(FailureCase{"MissingLibrary",
                                  std::string(VIDBRISK_BINARY_DIR) + "/hooks/libnone.so a"},
                      FailureCase{"ConfigureFails", kRecorder + " fail"},
                      FailureCase{"NoConfigureWithArgument", kNoConfigure + " x"},
                      FailureCase{"GreyBadPercent", kGrey + "|250"}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST_F(VHookOptionTest, ReleasingTheStateReleasesEveryPlugin) {
    {
        TCustomFFmpeg engine;
        engine.SetOption("vhook", kRecorder);
        engine.SetOption("vhook", kRecorder + " second");
        engine.ReleaseState();
        EXPECT_EQ(engine.FrameHooks.Head, nullptr);
        EXPECT_EQ(m_recorder->releaseCount, 2);
        EXPECT_EQ(m_recorder->releasedContextIds[0], 1);
        EXPECT_EQ(m_recorder->releasedContextIds[1], 2);
    }
    EXPECT_EQ(m_recorder->releaseCount, 2); // destroying the instance releases nothing twice

    {
        TCustomFFmpeg engine;
        engine.SetOption("vhook", kRecorder);
    }
    EXPECT_EQ(m_recorder->releaseCount, 3); // the destructor releases a chain left behind
}

} // namespace
