// vidbrisk-convert --probe --json on generated files, read back by an independent JSON reader
// (Python's, which also refuses anything that is not strict JSON), against what the files
// were made with and against the library's own readings.
#include "AVProbe.h"
#include "MediaLibraries.h"
#include "TestMedia.h"
#include "cli_run.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <map>

namespace fs = std::filesystem;

namespace {

// Runs the converter with its arguments and prints every value of its JSON output as
// "path<TAB>value", the path's parts joined by '.', the value as JSON; exits with the
// converter's status.
const char* const kFlatten = R"(
import json, subprocess, sys
run = subprocess.run(sys.argv[1:], capture_output=True)
sys.stderr.buffer.write(run.stderr)
def walk(path, value):
    if isinstance(value, dict):
        for key, item in value.items():
            walk(path + [key], item)
    elif isinstance(value, list):
        for index, item in enumerate(value):
            walk(path + [str(index)], item)
    else:
        print(".".join(path) + "\t" + json.dumps(value, ensure_ascii=False))
walk([], json.loads(run.stdout.decode("utf-8")))
sys.exit(run.returncode)
)";

using Values = std::map<std::string, std::string>;

class CliProbeJsonTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder =
            new fs::path(fs::temp_directory_path() / ("vidbrisk-json-" + std::to_string(getpid())));
        fs::remove_all(*folder);
        const std::string command = std::string(VIDBRISK_BINARY_DIR) +
                                    "/tests/vidbrisk_make_test_media --described '" +
                                    VIDBRISK_TEST_MEDIA_DIR + "' '" + folder->string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    static void TearDownTestSuite() {
        fs::remove_all(*folder);
        delete folder;
    }

    static std::string described(const char* name) { return (*folder / name).string(); }

    // The probe's JSON for `files`, flattened; `status` gets the exit status.
    static Values probe(const std::vector<std::string>& files, int& status) {
        std::vector<std::string> args{"--probe", "--json"};
        args.insert(args.end(), files.begin(), files.end());
        const CliRun run = RunCli(args, {}, std::chrono::seconds(120), SIGINT,
                                  {"/usr/bin/python3", "-c", kFlatten});
        status = run.status;
        Values values;
        for (const std::string& line : Lines(run.out)) {
            const size_t tab = line.find('\t');
            values[line.substr(0, tab)] = tab == std::string::npos ? "" : line.substr(tab + 1);
        }
        EXPECT_FALSE(values.empty()) << run.err;
        return values;
    }

    static void expectValues(const Values& values, const Values& expected) {
        for (const auto& [path, value] : expected) {
            const auto found = values.find(path);
            ASSERT_NE(found, values.end()) << path;
            EXPECT_EQ(found->second, value) << path;
        }
    }

    static fs::path* folder;
};

fs::path* CliProbeJsonTest::folder = nullptr;

// What the described set was made with, as the JSON of its three files must say it.
const Values kMadeWith = {
    // Matroska: a picture shown 16:9, the sound in two languages, two chapters.
    {"0.container", "\"matroska,webm\""},
    {"0.streams.0.kind", "\"video\""},
    {"0.streams.0.codec", "\"h264\""},
    {"0.streams.0.width", "640"},
    {"0.streams.0.height", "480"},
    {"0.streams.0.sample_aspect", "\"4:3\""},
    {"0.streams.0.display_aspect", "\"16:9\""},
    {"0.streams.0.rotation", "0"},
    {"0.streams.0.frame_rate", "\"30000/1001\""},
    {"0.streams.0.frame_rate_decimal", "29.97003"},
    {"0.streams.0.pixel_format", "\"yuv420p\""},
    {"0.streams.0.channels", "null"},
    {"0.streams.1.kind", "\"audio\""},
    {"0.streams.1.codec", "\"aac\""},
    {"0.streams.1.profile", "\"LC\""},
    {"0.streams.1.language", "\"eng\""},
    {"0.streams.1.title", "\"English\""},
    {"0.streams.1.default", "true"},
    {"0.streams.1.channels", "2"},
    {"0.streams.1.channel_layout", "\"stereo\""},
    {"0.streams.1.sample_rate", "48000"},
    {"0.streams.1.width", "null"},
    {"0.streams.2.language", "\"deu\""},
    {"0.streams.2.title", "\"Deutsch\""},
    {"0.streams.2.default", "false"},
    {"0.tags.title", "\"Two languages\""},
    {"0.chapters.0.start", "0"},
    {"0.chapters.0.end", "1.5"},
    {"0.chapters.0.title", "\"Opening\""},
    {"0.chapters.1.start", "1.5"},
    {"0.chapters.1.end", "3"},
    {"0.chapters.1.title", "\"Ending\""},
    // MP4: stored 640x480, shown 16:9 and turned a quarter clockwise.
    {"1.streams.0.width", "640"},
    {"1.streams.0.sample_aspect", "\"4:3\""},
    {"1.streams.0.display_aspect", "\"16:9\""},
    {"1.streams.0.rotation", "90"},
    {"1.streams.0.attached_picture", "false"},
    {"1.streams.1.language", "\"eng\""},
    // MP3 with a cover: a still picture, not a moving one.
    {"2.streams.0.kind", "\"audio\""},
    {"2.streams.0.codec", "\"mp3\""},
    {"2.streams.1.kind", "\"video\""},
    {"2.streams.1.codec", "\"png\""},
    {"2.streams.1.attached_picture", "true"},
    {"2.streams.1.width", "64"},
    {"2.streams.1.height", "48"},
    {"2.streams.1.frame_rate", "null"},
    {"2.streams.1.title", "\"Cover\""},
    {"2.tags.title", "\"Song\""},
};

TEST_F(CliProbeJsonTest, StreamsShapesLanguagesChaptersAndCoversAsMade) {
    int status = -1;
    const Values values = probe({described("languages_chapters.mkv"),
                                 described("rotated_anamorphic.mp4"), described("cover.mp3")},
                                status);
    EXPECT_EQ(status, 0);
    expectValues(values, kMadeWith);
    EXPECT_EQ(values.count("0.streams.3.kind"), 0u);
    EXPECT_EQ(values.count("0.chapters.2.start"), 0u);
}

TEST_F(CliProbeJsonTest, DurationAndBitRateAreTheLibrarysOwnReadings) {
    ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
    for (const std::string& file :
         {TestMediaPath(TestMedia::kMp4H264Aac.name), TestMediaPath(TestMedia::kWavMono8k.name),
          described("languages_chapters.mkv")}) {
        TAVProbe library;
        ASSERT_TRUE(library.LoadFile(file));
        const TAVFileInfo info = library.GetFileInfo();
        int status = -1;
        // One file gives one object, not an array.
        const Values values = probe({file}, status);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(values.at("file"), "\"" + file + "\"");
        EXPECT_DOUBLE_EQ(std::stod(values.at("duration")), info.Duration / 1e6) << file;
        EXPECT_EQ(std::stol(values.at("bit_rate")), info.BitRate) << file;
        EXPECT_EQ(std::stol(values.at("size")), static_cast<long>(fs::file_size(file)));
    }
}

TEST_F(CliProbeJsonTest, FilesThatDoNotOpenGiveTheirReasonAndAnyNameStaysExact) {
    // A folder name with a line break and a quote, and a name that is not UTF-8.
    const fs::path odd = *folder / "line\nbreak \"quoted\"";
    fs::create_directories(odd);
    const std::string clip = (odd / "clip.wav").string();
    fs::copy_file(TestMediaPath(TestMedia::kWavMono8k.name), clip);
    const std::string text = TestMediaPath(TestMedia::kNotMedia.name);
    const std::string latin1 = (*folder / "caf\xe9.wav").string();
    int status = -1;
    const Values values = probe({clip, text, latin1}, status);
    EXPECT_EQ(status, 1);
    const std::string folderText = folder->string();
    expectValues(values,
                 {
                     {"0.file", "\"" + folderText + "/line\\nbreak \\\"quoted\\\"/clip.wav\""},
                     {"0.streams.0.sample_rate", "8000"},
                     {"1.file", "\"" + text + "\""},
                     {"1.error", "\"" + text + ": Unknown format\""},
                     {"2.file", "\"" + folderText + "/caf\xef\xbf\xbd.wav\""},
                     {"2.error", "\"" + folderText +
                                     "/caf\xef\xbf\xbd.wav: no such file or "
                                     "directory\""},
                 });
    EXPECT_EQ(values.count("1.streams.0.kind"), 0u);
}

} // namespace
