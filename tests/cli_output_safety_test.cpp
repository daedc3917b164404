// vidbrisk-convert's outputs under faults: links in the output folder, runs that start
// together, a full disk, a folder or input the user may not use, a killed run, an output
// without frames, an input cut short while it is read, names with blanks. Each case checks
// the result line, its reason and what is left in the output folder.
#include "TestMedia.h"
#include "cli_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include <sys/mount.h>

namespace fs = std::filesystem;

namespace {

class CliOutputSafetyTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::temp_directory_path() /
                 (std::string("vidbrisk-safe-") + info->name() + "-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder / "out");
    }
    void TearDown() override {
        if (mounted)
            ::umount2(out().c_str(), MNT_DETACH);
        fs::remove_all(folder);
    }

    std::string out() const { return (folder / "out").string(); }
    std::string copyOf(const TestClip& clip, const std::string& name) const {
        const fs::path target = folder / name;
        fs::copy_file(TestMediaPath(clip.name), target, fs::copy_options::overwrite_existing);
        return target.string();
    }
    // The names in the output folder, hidden ones included.
    std::set<std::string> left() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(out()))
            names.insert(entry.path().filename().string());
        return names;
    }
    static std::string read(const fs::path& path) { return ReadWholeFile(path.string()); }
    static void write(const fs::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    // The one result line of a run, split into its fields.
    static std::vector<std::string> onlyLine(const CliRun& run) {
        const std::vector<std::string> lines = Lines(run.out);
        return lines.size() == 1 ? Fields(lines[0]) : std::vector<std::string>{"lines: " + run.out};
    }
    // Whether a part file of the output folder has been written to.
    std::function<bool()> partWritten(const std::string& name) const {
        const std::string part = out() + "/." + name + ".part";
        return [part] {
            std::error_code error;
            return fs::file_size(part, error) > 0 && !error;
        };
    }

    fs::path folder;
    bool mounted = false;
};

TEST_F(CliOutputSafetyTest, LinksInTheOutputFolderAreNeverWrittenThrough) {
    const std::string mp3 = TestMediaPath(TestMedia::kMp3Audio.name);
    const std::string wav = TestMediaPath(TestMedia::kWavMono8k.name);
    // A link to nowhere and a link to a file of the user's, both with the outputs' names.
    fs::create_symlink(folder / "nowhere" / "audio.mp3", out() + "/audio_only.mp3");
    write(folder / "keep.txt", "keep");
    fs::create_symlink(folder / "keep.txt", out() + "/mono_8khz.mp3");
    CliRun run = RunCli({"-q", "-f", "MP3", "-o", out(), mp3, wav});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out, "Done\t" + mp3 + "\t" + out() + "/audio_only-1.mp3\n" + "Done\t" + wav +
                           "\t" + out() + "/mono_8khz-1.mp3\n");
    EXPECT_FALSE(fs::exists(folder / "nowhere"));
    EXPECT_EQ(read(folder / "keep.txt"), "keep");
    EXPECT_TRUE(fs::is_symlink(out() + "/audio_only.mp3"));

    // Overwriting replaces the links themselves; their targets stay as they were.
    run = RunCli({"-q", "--overwrite", "-f", "MP3", "-o", out(), mp3, wav});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(Fields(Lines(run.out)[0])[2], out() + "/audio_only.mp3");
    for (const char* name : {"/audio_only.mp3", "/mono_8khz.mp3"}) {
        EXPECT_FALSE(fs::is_symlink(out() + name)) << name;
        EXPECT_GT(fs::file_size(out() + name), 1000u) << name;
    }
    EXPECT_FALSE(fs::exists(folder / "nowhere"));
    EXPECT_EQ(read(folder / "keep.txt"), "keep");
    EXPECT_EQ(left().size(), 4u);
}

TEST_F(CliOutputSafetyTest, RunsStartedTogetherNeverShareAName) {
    constexpr int kRuns = 4;
    const std::string wav = TestMediaPath(TestMedia::kWavMono8k.name);
    std::vector<CliRun> runs(kRuns);
    std::vector<std::thread> threads;
    for (int i = 0; i < kRuns; ++i)
        threads.emplace_back([&, i] { runs[i] = RunCli({"-q", "-f", "MP3", "-o", out(), wav}); });
    for (std::thread& thread : threads)
        thread.join();
    std::set<std::string> outputs;
    for (const CliRun& run : runs) {
        const std::vector<std::string> fields = onlyLine(run);
        ASSERT_EQ(fields.size(), 3u) << fields[0] << " " << fields.back();
        EXPECT_EQ(fields[0], "Done");
        outputs.insert(fields[2]);
    }
    EXPECT_EQ(outputs.size(), static_cast<size_t>(kRuns));
    const std::set<std::string> expected = {"mono_8khz.mp3", "mono_8khz-1.mp3", "mono_8khz-2.mp3",
                                            "mono_8khz-3.mp3"};
    EXPECT_EQ(left(), expected);
    for (const std::string& name : expected)
        EXPECT_GT(fs::file_size(out() + "/" + name), 1000u) << name;
}

TEST_F(CliOutputSafetyTest, FullDiskFailsWithTheSystemsWordsAndLeavesNothing) {
    if (::mount("tmpfs", out().c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "a small tmpfs cannot be mounted here (" << std::strerror(errno) << ")";
    mounted = true;
    const std::string avi = TestMediaPath(TestMedia::kAviMpeg4Mp3.name);
    const CliRun run = RunCli({"-q", "-f", "FLV", "-o", out(), avi});
    EXPECT_EQ(run.status, 1);
    const std::vector<std::string> fields = onlyLine(run);
    ASSERT_EQ(fields.size(), 4u) << fields[0];
    EXPECT_EQ(fields[0], "Fail");
    EXPECT_NE(fields[3].find("No space left on device"), std::string::npos) << fields[3];
    EXPECT_TRUE(left().empty());
}

TEST_F(CliOutputSafetyTest, ForbiddenFolderAndUnreadableInputNameTheirCause) {
    // Permissions mean nothing to root: the converter then runs as nobody.
    std::vector<std::string> launcher;
    if (::geteuid() == 0) {
        launcher = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
        if (!fs::exists(launcher[0]) ||
            RunCli({"--list-formats"}, {}, std::chrono::seconds(60), SIGINT, launcher).status != 0)
            GTEST_SKIP() << "the test runs as root and cannot run the converter unprivileged";
    }
    fs::permissions(folder, fs::perms::all);
    const std::string avi = copyOf(TestMedia::kAviMpeg4Mp3, "clip.avi");
    fs::permissions(out(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                               fs::perms::group_exec | fs::perms::others_read |
                               fs::perms::others_exec);
    CliRun run = RunCli({"-q", "-f", "FLV", "-o", out(), avi}, {}, std::chrono::seconds(120),
                        SIGINT, launcher);
    std::vector<std::string> fields = onlyLine(run);
    ASSERT_EQ(fields.size(), 4u) << fields[0] << run.err;
    EXPECT_EQ(fields[0], "Fail");
    EXPECT_EQ(fields[3], "Could not open '" + out() + "/clip.flv': Permission denied");
    EXPECT_TRUE(left().empty());

    fs::permissions(out(), fs::perms::all);
    fs::permissions(avi, fs::perms::none);
    run = RunCli({"-q", "-f", "FLV", "-o", out(), avi}, {}, std::chrono::seconds(120), SIGINT,
                 launcher);
    fields = onlyLine(run);
    ASSERT_EQ(fields.size(), 4u) << fields[0] << run.err;
    EXPECT_EQ(fields[0], "Fail");
    EXPECT_EQ(fields[3], avi + ": Error while opening file: Permission denied");
    EXPECT_TRUE(left().empty());
}

TEST_F(CliOutputSafetyTest, KilledRunLeavesOnlyItsPartFileAndTheNextRunTakesItsName) {
    const std::string mp4 = TestMediaPath(TestMedia::kMp4H264Aac.name);
    CliRun run = RunCli(
        {"-q", "-f", "MP4", "--video-codec", "H264", "--video-size", "720x576", "-o", out(), mp4},
        partWritten("h264_aac.mp4"), std::chrono::seconds(240), SIGKILL);
    ASSERT_TRUE(run.interrupted);
    EXPECT_EQ(run.status, -1);
    EXPECT_EQ(left(), std::set<std::string>{".h264_aac.mp4.part"});

    // The part file nobody holds any more does not keep the name from the next run.
    run = RunCli({"-q", "-f", "MP4", "-o", out(), mp4});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Done\t" + mp4 + "\t" + out() + "/h264_aac.mp4\n");
    EXPECT_EQ(left(), std::set<std::string>{"h264_aac.mp4"});
}

TEST_F(CliOutputSafetyTest, OutputWithoutFramesFailsAndIsRemoved) {
    // Starting after the input's end leaves nothing to convert: the outputs would hold
    // their headers only.
    const std::string avi = TestMediaPath(TestMedia::kAviMpeg4Mp3.name);
    CliRun run =
        RunCli({"-q", "--option", "ss=100", "-f", "AVI - DivX Video (*.avi)", "-o", out(), avi});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Fail\t" + avi + "\t" + out() + "/mpeg4_mp3.avi\t" + out() +
                           "/mpeg4_mp3.avi: the output has no video frames\n");
    run = RunCli({"-q", "--option", "ss=100", "-f", "MP3", "-o", out(), avi});
    const std::vector<std::string> fields = onlyLine(run);
    ASSERT_EQ(fields.size(), 4u) << fields[0];
    EXPECT_EQ(fields[0], "Fail");
    EXPECT_EQ(fields[3].rfind(out() + "/mpeg4_mp3.mp3: the output ", 0), 0u) << fields[3];
    EXPECT_TRUE(left().empty());
}

TEST_F(CliOutputSafetyTest, InputCutShortWhileReadIsDoneWithAWarning) {
    const std::string avi = copyOf(TestMedia::kAviMpeg4Mp3, "cut.avi");
    const auto written = partWritten("cut.mp4");
    bool cut = false;
    const CliRun run = RunCli(
        {"-f", "MP4", "--video-codec", "H264", "--video-size", "720x576", "-o", out(), avi}, [&] {
            if (!cut && written()) {
                fs::resize_file(avi, fs::file_size(avi) * 3 / 10);
                cut = true;
            }
            return false;
        });
    ASSERT_TRUE(cut);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Done\t" + avi + "\t" + out() + "/cut.mp4\n");
    EXPECT_NE(run.err.find("vidbrisk-convert: warning: " + out() + "/cut.mp4: the output lasts "),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("of the input's 3.0 s: the input ended early or is damaged"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(left(), std::set<std::string>{"cut.mp4"});
}

TEST_F(CliOutputSafetyTest, NameTakenByAnotherProgramDuringTheRunMovesTheOutputOn) {
    const std::string avi = TestMediaPath(TestMedia::kAviMpeg4Mp3.name);
    const auto written = partWritten("mpeg4_mp3.mp4");
    bool taken = false;
    const CliRun run = RunCli(
        {"-f", "MP4", "--video-codec", "H264", "--video-size", "720x576", "-o", out(), avi}, [&] {
            if (!taken && written()) {
                write(out() + "/mpeg4_mp3.mp4", "another program's file");
                taken = true;
            }
            return false;
        });
    ASSERT_TRUE(taken);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Done\t" + avi + "\t" + out() + "/mpeg4_mp3-1.mp4\n");
    EXPECT_NE(run.err.find("vidbrisk-convert: warning: " + out() +
                           "/mpeg4_mp3.mp4 was taken by another program meanwhile: the output is " +
                           out() + "/mpeg4_mp3-1.mp4"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(read(out() + "/mpeg4_mp3.mp4"), "another program's file");
    EXPECT_EQ(left(), (std::set<std::string>{"mpeg4_mp3.mp4", "mpeg4_mp3-1.mp4"}));
}

TEST_F(CliOutputSafetyTest, NamesWithBlanksAreUsedExactlyAsGiven) {
    // "clip.avi " is no media file; the "clip.avi" beside it must not be converted instead.
    const std::string trailing = (folder / "clip.avi ").string();
    write(trailing, "not media");
    copyOf(TestMedia::kAviMpeg4Mp3, "clip.avi");
    const std::string leading = copyOf(TestMedia::kWavMono8k, " lead.wav");
    const CliRun run = RunCli({"-q", "-f", "MP3", "-o", out(), trailing, leading});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_EQ(run.out, "Fail\t" + trailing + "\t" + out() + "/clip.mp3\t" + trailing +
                           ": Unknown format\nDone\t" + leading + "\t" + out() + "/ lead.mp3\n");
    EXPECT_EQ(left(), std::set<std::string>{" lead.mp3"});
}

} // namespace
