// vidbrisk-convert's command line as a user meets it: usage errors in one line, "--" before
// files that start with '-', output labels that name one row, --help listing every label and
// short option, and media libraries that are missing or unusable.
#include "TestMedia.h"
#include "cli_run.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

namespace fs = std::filesystem;

namespace {

class CliUsageTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::temp_directory_path() /
                 (std::string("vidbrisk-usage-") + info->name() + "-" + std::to_string(getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder / "out");
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string out() const { return (folder / "out").string(); }

    fs::path folder;
};

TEST_F(CliUsageTest, UsageErrorsAreOneLineAndWhereToLook) {
    const std::string wav = TestMediaPath(TestMedia::kWavMono8k.name);
    struct Case {
        std::vector<std::string> args;
        std::string firstLine;
    };
    const std::vector<Case> cases = {
        {{"-x"}, "unknown option '-x'"},
        {{"--bogus", "-f", "FLV", "-o", out(), wav}, "unknown option '--bogus'"},
        {{"-f", "FLV", "-o", out(), "-dash-start.mp4"}, "unknown option '-dash-start.mp4'"},
        {{"-f", "FLV", "-o", out(), wav, "--video-size"}, "'--video-size' needs a value"},
        {{"-f"}, "'-f' needs a value"},
        {{"--format=", "-o", out(), wav}, "'--format' needs a value"},
        {{"--overwrite=yes", "-f", "FLV", "-o", out(), wav}, "'--overwrite' takes no value"},
        {{"-f", "FLV", "-o", out(), "-j", "0", wav},
         "'--jobs' needs a number of files of 1 or more, not \"0\""},
        {{"-f", "FLV", "-o", out()}, "a conversion needs at least one file"},
        {{"-o", out(), wav}, "a conversion needs -f FORMAT (the output format)"},
        {{}, "no arguments given"},
        {{"--probe"}, "'--probe' needs at least one file"},
        {{"--probe", "--bogus", wav}, "unknown option '--bogus'"},
        {{"--list-settings"}, "'--list-settings' needs one FORMAT"},
        {{"--list-formats", "x"}, "'--list-formats' takes no arguments"},
        {{"--version", "x"}, "'--version' takes no arguments"},
        {{"--list-presets", "x"}, "'--list-presets' takes no arguments"},
        {{"-f", "FLV", "-o", out(), wav, "--preset"}, "'--preset' needs a value"},
    };
    for (const Case& test : cases) {
        const CliRun run = RunCli(test.args);
        EXPECT_EQ(run.status, 2) << test.firstLine;
        EXPECT_EQ(run.err,
                  "vidbrisk-convert: " + test.firstLine + "\nTry 'vidbrisk-convert --help'.\n");
        EXPECT_EQ(run.out, "");
    }
    EXPECT_TRUE(fs::is_empty(out()));
}

TEST_F(CliUsageTest, FilesThatStartWithADashComeAfterTheEndOfTheOptions) {
    fs::copy_file(TestMediaPath(TestMedia::kWavMono8k.name), folder / "-dash-start.wav");
    const fs::path before = fs::current_path();
    fs::current_path(folder);
    const CliRun refused = RunCli({"-f", "WAV", "-o", "out", "-dash-start.wav"});
    const CliRun converted = RunCli({"-f", "WAV", "-o", "out", "--", "-dash-start.wav"});
    const CliRun probed = RunCli({"--probe", "--", "-dash-start.wav"});
    fs::current_path(before);
    // The file exists: the refusal says how to name it.
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(Lines(refused.err).front(),
              "vidbrisk-convert: unknown option '-dash-start.wav' (to name a file that starts "
              "with '-', put -- before it)");
    EXPECT_EQ(converted.status, 0) << converted.err;
    EXPECT_EQ(converted.out, "Done\t-dash-start.wav\tout/-dash-start.wav\n");
    EXPECT_EQ(probed.status, 0) << probed.err;
    EXPECT_EQ(probed.out, "-dash-start.wav\t \t \t00:00:02\n");
}

TEST_F(CliUsageTest, LabelsOutsideTheFormatBoxSelectTheirOneRow) {
    const std::string wav = TestMediaPath(TestMedia::kWavMono8k.name);
    struct Case {
        const char* label;
        const char* output;
    };
    for (const Case& test : {Case{"OGG", "mono_8khz.ogg"}, Case{"m4a", "mono_8khz.m4a"},
                             Case{"VOB", "mono_8khz.vob"}, Case{"AAC", "mono_8khz.aac"}}) {
        const CliRun run = RunCli({"-f", test.label, "-o", out(), "-q", wav});
        EXPECT_EQ(run.status, 0) << test.label << run.err;
        EXPECT_EQ(run.out, "Done\t" + wav + "\t" + out() + "/" + test.output + "\n");
    }
}

TEST_F(CliUsageTest, HelpListsEveryLabelThatSelectsARowAndEveryShortOption) {
    const CliRun help = RunCli({"--help"});
    ASSERT_EQ(help.status, 0);
    EXPECT_EQ(RunCli({"-f", "FLV", "-h"}).out, help.out);
    std::set<std::string> labels;
    for (const std::string& line : Lines(RunCli({"--list-formats"}).out))
        labels.insert(Fields(line)[1]);
    for (const std::string& label : labels) {
        if (RunCli({"--list-settings", label}).status != 0)
            continue;
        const bool listed = help.out.find(" " + label + ",") != std::string::npos ||
                            help.out.find(" " + label + ".") != std::string::npos;
        EXPECT_TRUE(listed) << label;
    }
    for (const char* option :
         {"-f, --format", "-o, --output-folder", "-j, --jobs", "-q, --quiet", "--json", "--help"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    // Descriptions are written as joined pieces: a piece that ends without its blank glues two
    // words ("its\"Video Size\"", "reason.Exit").
    const std::regex glued(R"([a-z][".][A-Z])");
    for (const std::string& line : Lines(help.out))
        EXPECT_FALSE(std::regex_search(line, glued)) << line;
}

TEST_F(CliUsageTest, MissingOrUnusableMediaLibrariesNameTheirPackage) {
    // A library file the loader cannot load, and the stand-in libavformat without
    // av_sdp_create, each found first through LD_LIBRARY_PATH.
    std::ofstream(folder / "libswscale.so.6").close();
    const std::string wav = TestMediaPath(TestMedia::kWavMono8k.name);
    struct Case {
        std::string libraries;
        std::vector<std::string> args;
        std::string firstLine;
        std::string package;
    };
    const std::vector<Case> cases = {
        {folder.string(),
         {"-f", "WAV", "-o", out() + "/new", wav},
         "vidbrisk-convert: cannot load the media library libswscale.so.6: ",
         "libswscale6"},
        {VIDBRISK_STUB_LIB_DIR,
         {"--probe", wav},
         "vidbrisk-convert: the media library libavformat.so.59 lacks the function "
         "av_sdp_create: it is not the version this program was built for",
         "libavformat59"},
    };
    for (const Case& test : cases) {
        const CliRun run = RunCli(test.args, {}, std::chrono::seconds(60), SIGINT,
                                  {"/usr/bin/env", "LD_LIBRARY_PATH=" + test.libraries});
        EXPECT_EQ(run.status, 3) << run.err;
        const std::vector<std::string> lines = Lines(run.err);
        ASSERT_EQ(lines.size(), 2u) << run.err;
        EXPECT_EQ(lines[0].rfind(test.firstLine, 0), 0u) << lines[0];
        EXPECT_EQ(lines[1], "vidbrisk-convert: it comes with the Debian package " + test.package +
                                "; install or reinstall it: apt-get install " + test.package);
    }
    // Nothing was made: not even the output folder.
    EXPECT_FALSE(fs::exists(out() + "/new"));
}

} // namespace
