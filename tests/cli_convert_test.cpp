// vidbrisk-convert's conversion runs end to end: result lines, output names, refusals,
// several files at once, Ctrl-C and a failing engine option.
#include "MediaLibraries.h"
#include "OutputStreams.h"
#include "TestMedia.h"
#include "cli_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace fs = std::filesystem;

namespace {

class CliConvertTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::temp_directory_path() /
                 (std::string("vidbrisk-cli-") + info->name() + "-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder / "out");
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string out() const { return (folder / "out").string(); }
    // A copy of a generated clip under another name, in the test's folder.
    std::string copyOf(const TestClip& clip, const std::string& name) const {
        const fs::path target = folder / name;
        fs::copy_file(TestMediaPath(clip.name), target, fs::copy_options::overwrite_existing);
        return target.string();
    }
    // True once a part file holds encoded pictures, not only the container's header: a stop
    // before the first picture leaves nothing to play, which is not what these tests ask.
    static bool holdsPictures(const std::string& partFile) {
        std::error_code error;
        return fs::file_size(partFile, error) > 16 * 1024 && !error;
    }
    // The probe's "Video Size", "Frame Rate" and "Duration" of a file, or "Error".
    static std::vector<std::string> probe(const std::string& file) {
        const CliRun run = RunCli({"--probe", file});
        const std::vector<std::string> lines = Lines(run.out);
        if (lines.size() != 1)
            return {"no probe line"};
        std::vector<std::string> fields = Fields(lines[0]);
        fields.erase(fields.begin());
        return fields;
    }
    static void writeText(const fs::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }

    fs::path folder;
};

TEST_F(CliConvertTest, TwoFilesToFlvWithDefaultSettings) {
    const std::string avi = TestMediaPath(TestMedia::kAviMpeg4Mp3.name);
    const std::string mp4 = TestMediaPath(TestMedia::kMp4H264Aac.name);
    const CliRun run = RunCli({"-f", "FLV", "-o", out(), avi, mp4});
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string aviOut = out() + "/mpeg4_mp3.flv";
    const std::string mp4Out = out() + "/h264_aac.flv";
    EXPECT_EQ(run.out, "Done\t" + avi + "\t" + aviOut + "\nDone\t" + mp4 + "\t" + mp4Out + "\n");
    // The Flash defaults: the input's frame size, 15 frames per second.
    EXPECT_EQ(probe(aviOut), (std::vector<std::string>{"320x240", "15", "00:00:03"}));
    EXPECT_EQ(probe(mp4Out), (std::vector<std::string>{"640x480", "15", "00:00:03"}));
}

TEST_F(CliConvertTest, FileThatIsNotMediaFailsAndTheOthersAreConverted) {
    const std::string avi = TestMediaPath(TestMedia::kAviMpeg4Mp3.name);
    const std::string text = TestMediaPath(TestMedia::kNotMedia.name);
    const std::string mp3 = TestMediaPath(TestMedia::kMp3Audio.name);
    const CliRun run = RunCli({"-f", "FLV", "-o", out(), "--quiet", avi, text, mp3});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Done\t" + avi + "\t" + out() + "/mpeg4_mp3.flv\n" + "Fail\t" + text + "\t" +
                           out() + "/not_media.flv\t" + text + ": Unknown format\n" + "Done\t" +
                           mp3 + "\t" + out() + "/audio_only.flv\n");
    EXPECT_FALSE(fs::exists(out() + "/not_media.flv"));
    EXPECT_EQ(probe(out() + "/audio_only.flv")[2], "00:00:03");
}

TEST_F(CliConvertTest, OverwriteOffTakesTheNextFreeNumberAndKeepsTheExistingFiles) {
    const std::string clip = copyOf(TestMedia::kAviMpeg4Mp3, "clip.avi");
    writeText(folder / "out" / "clip.flv", "keep me");
    CliRun run = RunCli({"-f", "FLV", "-o", out(), clip});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Done\t" + clip + "\t" + out() + "/clip-1.flv\n");
    run = RunCli({"-f", "FLV", "-o", out(), clip});
    EXPECT_EQ(run.out, "Done\t" + clip + "\t" + out() + "/clip-2.flv\n");
    EXPECT_EQ(ReadWholeFile(out() + "/clip.flv"), "keep me");
    EXPECT_EQ(probe(out() + "/clip-1.flv")[0], "320x240");
}

TEST_F(CliConvertTest, OverwriteReplacesAnOldOutputButNeverTheInput) {
    // An older output is replaced.
    const std::string clip = copyOf(TestMedia::kAviMpeg4Mp3, "clip.avi");
    writeText(folder / "out" / "clip.flv", "old output");
    CliRun run = RunCli({"-f", "FLV", "-o", out(), "--overwrite", clip});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Done\t" + clip + "\t" + out() + "/clip.flv\n");
    EXPECT_EQ(probe(out() + "/clip.flv")[0], "320x240");

    // The output folder holds the input with the output's extension: a free name is taken.
    const std::string input = out() + "/clip.flv";
    const std::string before = ReadWholeFile(input);
    run = RunCli({"-f", "FLV", "-o", out(), "--overwrite", input});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Done\t" + input + "\t" + out() + "/clip-1.flv\n");
    EXPECT_EQ(ReadWholeFile(input), before);

    // Two inputs of the same name in one run: the second does not replace the first's output.
    fs::create_directories(folder / "other");
    const std::string second = (folder / "other" / "clip.avi").string();
    fs::copy_file(TestMediaPath(TestMedia::kAudioFirst.name), second);
    run = RunCli({"-f", "FLV", "-o", out(), "--overwrite", clip, second});
    EXPECT_EQ(run.out, "Done\t" + clip + "\t" + out() + "/clip.flv\n" + "Done\t" + second + "\t" +
                           out() + "/clip-2.flv\n");
    EXPECT_EQ(probe(out() + "/clip.flv")[0], "320x240");
    EXPECT_EQ(probe(out() + "/clip-2.flv")[0], "176x144");
}

TEST_F(CliConvertTest, ValuesThatMatchNoEntryAreRefusedWithTheEntriesListed) {
    const std::string avi = TestMediaPath(TestMedia::kAviMpeg4Mp3.name);
    struct Refusal {
        std::vector<std::string> args;
        std::vector<std::string> listed; // texts the message must show
    };
    const std::vector<Refusal> refusals = {
        {{"--video-bitrate", "999"}, {"of Video Quality;", "\"192 Kbps\"", "\"2500 Kbps\""}},
        {{"--sample-rate", "48000"}, {"of Sampling Rate;", "\"11025 Hz\"", "\"44100 Hz\""}},
        {{"--video-size", "321x240"}, {"\"Original Video Size\"", "\"320 x 240 (VGA)\""}},
        {{"--video-codec", "H264"}, {"of Video Codec;", "\"FLV\""}},
        {{"--channels", "3"}, {"\"Stereo\"", "\"Mono\""}},
        {{"--volume", "30"}, {"0 20 40 60 80 100 120 140 160 180 200"}},
    };
    for (const Refusal& refusal : refusals) {
        std::vector<std::string> args{"-f", "FLV", "-o", out()};
        args.insert(args.end(), refusal.args.begin(), refusal.args.end());
        args.push_back(avi);
        const CliRun run = RunCli(args);
        EXPECT_EQ(run.status, 2) << refusal.args[0];
        EXPECT_EQ(run.out, "") << refusal.args[0];
        for (const std::string& text : refusal.listed)
            EXPECT_NE(run.err.find(text), std::string::npos) << text << " in " << run.err;
        // Settings are named as the window labels them, never by their widgets' names.
        EXPECT_EQ(run.err.find("Combo"), std::string::npos) << run.err;
    }
    EXPECT_TRUE(fs::is_empty(out()));

    // An ambiguous label lists its candidates.
    const CliRun mpg = RunCli({"-f", "MPG", "-o", out(), avi});
    EXPECT_EQ(mpg.status, 2);
    for (const char* name : {"MPEG-1 Movie (*.mpg)", "MPEG-2 Movie (*.mpg)", "Video CD (*.mpg)",
                             "Super Video CD (*.mpg)"})
        EXPECT_NE(mpg.err.find(name), std::string::npos) << name;
}

TEST_F(CliConvertTest, ChosenEntriesReachTheOutput) {
    ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
    const std::string mp4 = TestMediaPath(TestMedia::kMp4H264Aac.name);
    // clang-format off
    const std::vector<std::string> chosen = {
        "-f", "AVI - Audio Video Interleave (*.avi)",
        "--video-codec", "H264", "--video-size", "176x144", "--frame-rate", "25",
        "--audio-codec", "mp3", "--audio-bitrate", "64", "--sample-rate", "22050 Hz",
        "--channels", "1", "--aspect", "16:9"};
    // clang-format on
    const auto convert = [&](const std::string& folder, const std::string& volume) {
        fs::create_directories(folder);
        std::vector<std::string> args = chosen;
        args.insert(args.end(), {"-o", folder, "--volume", volume, mp4});
        return RunCli(args);
    };
    const CliRun run = convert(out(), "60");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string output = out() + "/h264_aac.avi";
    EXPECT_EQ(probe(output), (std::vector<std::string>{"176x144", "25", "00:00:03"}));
    const OutputStreams streams = ReadOutputStreams(output);
    EXPECT_EQ(streams.videoCodec, "h264") << streams;
    EXPECT_NEAR(streams.displayAspect, 16.0 / 9.0, 0.02) << streams;
    EXPECT_EQ(streams.audioCodec, "mp3") << streams;
    EXPECT_EQ(streams.sampleRateHz, 22050) << streams;
    EXPECT_EQ(streams.channels, 1) << streams;
    EXPECT_EQ(streams.audioBitRate, 64000) << streams;
    // 60 % is 150 of the engine's 255 for 100 %.
    const std::string full = (folder / "full").string();
    ASSERT_EQ(convert(full, "100").status, 0);
    const auto quiet = AudioRms(output);
    const auto loud = AudioRms(full + "/h264_aac.avi");
    ASSERT_TRUE(quiet && loud && *loud > 0);
    EXPECT_NEAR(*quiet / *loud, 150.0 / 255.0, 0.05);
}

TEST_F(CliConvertTest, JobsTwoConvertsThreeFilesWithDistinctNames) {
    const std::string avi = TestMediaPath(TestMedia::kAviMpeg4Mp3.name);
    const CliRun run = RunCli({"-f", "FLV", "-o", out(), "--jobs", "2", avi, avi, avi});
    EXPECT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 3u) << run.out;
    std::set<std::string> outputs;
    for (const std::string& line : lines) {
        const std::vector<std::string> fields = Fields(line);
        ASSERT_EQ(fields.size(), 3u) << line;
        EXPECT_EQ(fields[0], "Done");
        EXPECT_EQ(fields[1], avi);
        outputs.insert(fields[2]);
    }
    EXPECT_EQ(outputs, (std::set<std::string>{out() + "/mpeg4_mp3.flv", out() + "/mpeg4_mp3-1.flv",
                                              out() + "/mpeg4_mp3-2.flv"}));
    for (const std::string& output : outputs)
        EXPECT_EQ(probe(output), (std::vector<std::string>{"320x240", "15", "00:00:03"}));
}

TEST_F(CliConvertTest, ManyFilesAtOnceGoThroughInBatchesAndEveryOneIsConverted) {
    const std::string wav = TestMediaPath(TestMedia::kWavMono8k.name);
    std::vector<std::string> args{"-f", "WAV", "-o", out(), "--jobs", "2"};
    const int count = 34; // more than one batch
    for (int i = 0; i < count; ++i)
        args.push_back(wav);
    const CliRun run = RunCli(args);
    EXPECT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), static_cast<size_t>(count));
    std::set<std::string> outputs;
    for (const std::string& line : lines) {
        EXPECT_EQ(Fields(line)[0], "Done") << line;
        outputs.insert(Fields(line)[2]);
    }
    EXPECT_EQ(outputs.size(), static_cast<size_t>(count));
    EXPECT_TRUE(outputs.count(out() + "/mono_8khz-33.wav"));
}

TEST_F(CliConvertTest, InterruptEndsTheRunningFileWithItsTrailerAndShowsAbort) {
    // H.264 at full PAL size is the slowest conversion the clips allow.
    const std::string mp4 = TestMediaPath(TestMedia::kMp4H264Aac.name);
    const std::string output = out() + "/h264_aac.mp4";
    const CliRun run = RunCli(
        {"-f", "MP4", "--video-codec", "H264", "--video-size", "720x576", "-o", out(), mp4, mp4},
        [&] { return holdsPictures(out() + "/.h264_aac.mp4.part"); });
    ASSERT_TRUE(run.interrupted);
    EXPECT_EQ(run.status, 130) << run.err;
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 2u) << run.out;
    EXPECT_EQ(lines[0], "Abort\t" + mp4 + "\t" + output);
    EXPECT_EQ(Fields(lines[1])[0], "Abort"); // never reached
    EXPECT_EQ(Lines(run.err).back(), "stopped: 1 stopped, 1 not started");
    // The part written is a complete file: its index was written when it stopped.
    const std::vector<std::string> written = probe(output);
    ASSERT_EQ(written.size(), 3u) << written[0];
    EXPECT_EQ(written[0], "720x576");
    EXPECT_FALSE(fs::exists(out() + "/h264_aac-1.mp4"));
}

TEST_F(CliConvertTest, InterruptWithSeveralFilesRunningEndsEachOfThem) {
    const std::string mp4 = TestMediaPath(TestMedia::kMp4H264Aac.name);
    const std::string first = out() + "/h264_aac.mp4";
    const std::string second = out() + "/h264_aac-1.mp4";
    const CliRun run = RunCli({"-f", "MP4", "--video-codec", "H264", "--video-size", "720x576",
                               "--jobs", "2", "-o", out(), mp4, mp4, mp4},
                              [&] {
                                  return holdsPictures(out() + "/.h264_aac.mp4.part") &&
                                         holdsPictures(out() + "/.h264_aac-1.mp4.part");
                              });
    ASSERT_TRUE(run.interrupted);
    EXPECT_EQ(run.status, 130) << run.err;
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 3u) << run.out;
    std::set<std::string> aborted;
    for (const std::string& line : lines) {
        EXPECT_EQ(Fields(line)[0], "Abort") << line;
        aborted.insert(Fields(line)[2]);
    }
    EXPECT_TRUE(aborted.count(first) && aborted.count(second)) << run.out;
    EXPECT_EQ(Lines(run.err).back(), "stopped: 2 stopped, 1 not started");
    for (const std::string& output : {first, second})
        EXPECT_EQ(probe(output)[0], "720x576") << output;
    // The third file never started: nothing of it is left behind, and its line names no
    // output.
    EXPECT_TRUE(aborted.count(""));
    EXPECT_EQ(std::distance(fs::directory_iterator(out()), fs::directory_iterator()), 2);
}

TEST_F(CliConvertTest, EngineOptionRefusedByTheEngineFailsTheFile) {
    const std::string avi = TestMediaPath(TestMedia::kAviMpeg4Mp3.name);
    const CliRun run = RunCli({"-f", "FLV", "-o", out(), "--option", "qscale=0", avi});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Fail\t" + avi + "\t" + out() + "/mpeg4_mp3.flv\t" +
                           "qscale must be > 0.0 and <= 255\n");
    EXPECT_FALSE(fs::exists(out() + "/mpeg4_mp3.flv"));
}

TEST_F(CliConvertTest, OneFileAtATimeStartsTheNextFileWithoutWaiting) {
    // 30 short files, converted and failed in turn: a pause of 200 ms between files, as the
    // window's timer makes, would alone take 5.8 s.
    std::vector<std::string> args{"-f", "WAV", "-o", out()};
    for (int i = 0; i < 15; ++i) {
        args.push_back(TestMediaPath(TestMedia::kWavMono8k.name));
        args.push_back(TestMediaPath(TestMedia::kNotMedia.name));
    }
    const auto start = std::chrono::steady_clock::now();
    const CliRun run = RunCli(args);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(Lines(run.out).size(), 30u);
    EXPECT_LT(elapsed, std::chrono::seconds(5));
}

TEST_F(CliConvertTest, AnOutputFolderThatDoesNotExistIsCreatedOnceTheSettingsAreAccepted) {
    const std::string wav = TestMediaPath(TestMedia::kWavMono8k.name);
    const std::string created = out() + "/new/deeper";
    // A refused setting leaves nothing behind.
    CliRun run = RunCli({"-f", "WAV", "-o", created, "--sample-rate", "12345", wav});
    EXPECT_EQ(run.status, 2);
    EXPECT_FALSE(fs::exists(out() + "/new"));
    run = RunCli({"-f", "WAV", "-o", created, "-q", wav});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "vidbrisk-convert: created the output folder \"" + created + "\"\n");
    EXPECT_EQ(run.out, "Done\t" + wav + "\t" + created + "/mono_8khz.wav\n");
    // A name taken by a file is refused.
    writeText(folder / "taken", "a file");
    run = RunCli({"-f", "WAV", "-o", (folder / "taken").string(), wav});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "vidbrisk-convert: the output folder \"" + (folder / "taken").string() +
                           "\" is not a folder; give another -o FOLDER\n");
}

TEST_F(CliConvertTest, ProgressRedrawsOnATerminalAndIsPlainWhereTheTerminalIsDumb) {
    const std::string mp4 = TestMediaPath(TestMedia::kMp4H264Aac.name);
    for (const char* term : {"xterm", "dumb"}) {
        const CliRun run = RunCliOnTerminal(
            {"-f", "MP4", "--video-codec", "H264", "--video-size", "720x576", "-o", out(), mp4},
            term);
        EXPECT_EQ(run.status, 0) << term << run.out;
        EXPECT_NE(run.out.find("%  frames "), std::string::npos) << term << run.out;
        EXPECT_EQ(run.out.find('\x1b') == std::string::npos, std::string(term) == "dumb")
            << term << run.out;
        EXPECT_NE(run.out.find("\n1 done\r\n"), std::string::npos) << term << run.out;
    }
}

TEST_F(CliConvertTest, TheClosingLineCountsTheFilesAndFailuresReachTheTerminal) {
    // Standard output goes to a file: each failure's reason is on standard error too.
    const std::string avi = TestMediaPath(TestMedia::kAviMpeg4Mp3.name);
    const std::string text = TestMediaPath(TestMedia::kNotMedia.name);
    const std::string missing = out() + "/missing.avi";
    const CliRun run = RunCli({"-f", "FLV", "-o", out(), avi, text, missing, avi});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Lines(run.out).size(), 4u) << run.out;
    EXPECT_EQ(run.err, "vidbrisk-convert: failed: " + text + ": Unknown format\n" +
                           "vidbrisk-convert: failed: " + missing +
                           ": no such file or directory\n2 done, 2 failed\n");
}

} // namespace
