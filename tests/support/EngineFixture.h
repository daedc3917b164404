// A test fixture with one engine on the loaded media libraries, its log lines and a
// scratch folder that is removed after the test.
#pragma once

#include "FFmpeg.h"
#include "MediaLibraries.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

template <class Engine = TCustomFFmpeg> class EngineFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
        engine.InitOptionContexts();
        engine.LogCallback = [this](int, const std::string& text) { logLines.push_back(text); };
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder =
            std::filesystem::temp_directory_path() /
            (std::string("vidbrisk-engine-") + info->name() + "-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
    }
    // No codec may stay open after a task, whichever way it ended.
    void TearDown() override {
        engine.FinalCleanup();
        EXPECT_TRUE(engine.OpenCodecs.Empty());
        engine.ReleaseState();
        std::filesystem::remove_all(folder);
    }
    std::string scratch(const std::string& name) const { return (folder / name).string(); }

    Engine engine;
    std::vector<std::string> logLines;
    std::filesystem::path folder;
};
