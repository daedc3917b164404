// vidbrisk-convert --probe, --help and --version, run as a separate program.
#include "TestMedia.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace {

struct RunResult {
    int status;
    std::string out;
};

RunResult runConverter(const std::string& arguments) {
    const std::string command =
        std::string(VIDBRISK_BINARY_DIR) + "/cli/vidbrisk-convert " + arguments + " 2>/dev/null";
    RunResult result{-1, ""};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return result;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.out.append(buffer.data(), n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string quoted(const std::string& path) {
    return "'" + path + "'";
}

} // namespace

TEST(CliProbeTest, OneTabSeparatedLinePerFile) {
    const std::string avi = TestMediaPath(TestMedia::kAviMpeg4Mp3.name);
    const std::string mp4 = TestMediaPath(TestMedia::kMp4H264Aac.name);
    const std::string mp3 = TestMediaPath(TestMedia::kMp3Audio.name);
    const std::string raw = TestMediaPath(TestMedia::kNoDuration.name);
    const RunResult run = runConverter("--probe " + quoted(avi) + " " + quoted(mp4) + " " +
                                       quoted(mp3) + " " + quoted(raw));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, avi + "\t320x240\t25\t00:00:03\n" + mp4 + "\t640x480\t29.97\t00:00:03\n" +
                           mp3 + "\t \t \t00:00:03\n" + raw + "\t320x240\t25\tUnknown\n");
}

TEST(CliProbeTest, BrokenFilesGiveAnErrorLineAndStatusOne) {
    const std::string text = TestMediaPath(TestMedia::kNotMedia.name);
    const std::string half = TestMediaPath(TestMedia::kMp4Half.name);
    const std::string missing = TestMediaPath("missing.avi");
    const std::string wav = TestMediaPath(TestMedia::kWavMono8k.name);
    const RunResult run = runConverter("--probe " + quoted(text) + " " + quoted(half) + " " +
                                       quoted(missing) + " " + quoted(wav));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, text + "\tError\t" + text + ": Unknown format\n" + half + "\tError\t" +
                           half + ": Unknown format\n" + missing + "\tError\t" + missing +
                           ": no such file or directory\n" + wav + "\t \t \t00:00:02\n");
}

TEST(CliProbeTest, UsageErrorsAndHelp) {
    EXPECT_EQ(runConverter("--probe").status, 2);
    EXPECT_EQ(runConverter("").status, 2);
    EXPECT_EQ(runConverter("--no-such-command").status, 2);
    const RunResult help = runConverter("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--probe"), std::string::npos);
    EXPECT_NE(help.out.find("--version"), std::string::npos);
}

TEST(CliProbeTest, VersionIsOneLine) {
    const RunResult version = runConverter("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "vidbrisk-convert 4.0\n");
    EXPECT_EQ(runConverter("--version extra").status, 2);
}
