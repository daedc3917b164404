// The job builder's naming rules (dangling links and running tasks' part files included)
// and the arithmetic the run shares with the window: free output names, the aspect ratio of
// a row's size, volume steps, progress texts, row states and the closing summary of a run.
#include "AddFileToFFMPEG.h"
#include "OutputFileClaim.h"
#include "RunSummary.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class JobsNamingTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("vidbrisk-naming-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder / "dotted.folder");
    }
    void TearDown() override { fs::remove_all(folder); }
    std::string path(const std::string& name) const { return (folder / name).string(); }
    void touch(const std::string& name) const { std::ofstream(folder / name) << "x"; }

    fs::path folder;
};

TEST_F(JobsNamingTest, FirstFreeNumberIsAddedToTheBaseName) {
    EXPECT_EQ(UniqueOutputName(path("clip.avi"), ".flv"), path("clip.flv"));
    touch("clip.flv");
    EXPECT_EQ(UniqueOutputName(path("clip.avi"), ".flv"), path("clip-1.flv"));
    touch("clip-1.flv");
    EXPECT_EQ(UniqueOutputName(path("clip.avi"), ".flv"), path("clip-2.flv"));
    // A gap is filled: the first free number counts, not the highest.
    touch("clip-3.flv");
    EXPECT_EQ(UniqueOutputName(path("clip.avi"), ".flv"), path("clip-2.flv"));
}

TEST_F(JobsNamingTest, OnlyTheFileNamesLastDotStartsTheExtension) {
    EXPECT_EQ(UniqueOutputName(path("my.clip.avi"), ".mp3"), path("my.clip.mp3"));
    EXPECT_EQ(UniqueOutputName(path("dotted.folder/clip"), ".flv"), path("dotted.folder/clip.flv"));
}

TEST_F(JobsNamingTest, NamesMarkedTakenAreSkippedLikeExistingFiles) {
    touch("clip.flv");
    const auto taken = [&](const std::string& name) { return name == path("clip-1.flv"); };
    EXPECT_EQ(UniqueOutputName(path("clip.avi"), ".flv", taken), path("clip-2.flv"));
}

TEST_F(JobsNamingTest, DanglingLinksAndPartFilesOfRunningTasksTakeTheirNames) {
    // A link whose target does not exist is an entry of the folder all the same: writing
    // through it would create a file somewhere else.
    fs::create_symlink(folder / "nowhere" / "target.flv", folder / "clip.flv");
    EXPECT_EQ(UniqueOutputName(path("clip.avi"), ".flv"), path("clip-1.flv"));
    // A name another task is writing under its part file is taken; a part file that
    // nobody holds (its process was killed) does not keep the name.
    OutputFileClaim running;
    ASSERT_EQ(running.claim(path("clip-1.flv")), 0);
    EXPECT_EQ(UniqueOutputName(path("clip.avi"), ".flv"), path("clip-2.flv"));
    touch(".clip-2.flv.part");
    EXPECT_EQ(UniqueOutputName(path("clip.avi"), ".flv"), path("clip-2.flv"));
}

TEST(JobsAspectTest, OriginalAspectComesFromTheRowsVideoSize) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"640x480", "1.3333"}, {"720x480", "1.5"},       {"1280x720", "1.7778"},
        {"720x576", "1.25"},   {"320x320", "1"},         {" ", "1.3333"},
        {"", "1.3333"},        {" 1280x720 ", "1.7778"}, {"abc", "1.3333"},
        {"640x0", "1.3333"},   {"x480", "1.3333"},       {"640x", "1.3333"},
        {"640x48a", "1.3333"},
    };
    for (const auto& [size, ratio] : cases)
        EXPECT_EQ(AspectRatioFromVideoSize(size), ratio) << "\"" << size << "\"";
}

TEST(JobsVolumeTest, PercentagesOfTheTrackBarGiveItsEngineVolumes) {
    const std::vector<std::pair<int, int32_t>> cases = {{0, 1},     {20, 50},   {100, 255},
                                                        {120, 300}, {180, 450}, {200, 600}};
    for (const auto& [percent, volume] : cases)
        EXPECT_EQ(VolumeValueForPercent(percent), volume) << percent;
    for (int refused : {-20, 10, 30, 220})
        EXPECT_EQ(VolumeValueForPercent(refused), -1) << refused;
}

TEST(JobsProgressTest, PercentIsCappedWidenedAndAbsentWithoutATotal) {
    EXPECT_EQ(ProgressColumnText(1500, 3000), "50%");
    EXPECT_EQ(ProgressColumnText(3500, 3000), "100%");
    EXPECT_EQ(ProgressColumnText(0, 3000), "0%");
    EXPECT_EQ(ProgressColumnText(1000, 0), "");
    EXPECT_EQ(ProgressColumnText(1000, -1), "");
    // 10 of 20 hours: the product with 100 exceeds 32 bits.
    EXPECT_EQ(ProgressColumnText(36000000, 72000000), "50%");
    EXPECT_EQ(FramesColumnText(-1), " ");
    EXPECT_EQ(FramesColumnText(250), "250");
}

TEST(JobsStateTest, RowStateOfAnEndedTask) {
    EXPECT_EQ(TerminationRowState(true, false), "Done");
    EXPECT_EQ(TerminationRowState(false, false), "Abort");
    EXPECT_EQ(TerminationRowState(false, true), "Fail");
    EXPECT_EQ(TerminationRowState(true, true), "Fail");
}

} // namespace

TEST(RunSummaryTest, CountsInOrderWithoutZerosAndStopFirst) {
    const struct {
        RunCounts counts;
        bool stopped;
        const char* text;
        bool trouble;
    } cases[] = {
        {{3, 1, 0, 0}, false, "3 done, 1 failed", true},
        {{2, 0, 1, 2}, true, "stopped: 2 done, 1 stopped, 2 not started", true},
        {{4, 0, 0, 0}, false, "4 done", false},
        {{0, 0, 0, 0}, false, "0 done", false},
        {{0, 0, 0, 0}, true, "stopped: 0 done", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RunSummaryText(c.counts, c.stopped), c.text);
        EXPECT_EQ(RunHadTrouble(c.counts, c.stopped), c.trouble) << c.text;
    }
}
