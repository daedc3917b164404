// vidbrisk-convert to the modern rows: every video codec entry and every audio codec entry
// gives a file of the row's container with those codecs, the quality entries reach the
// encoder, and "Original" channels keep a 5.1 input's six channels.
#include "AVCodecHlpr.h"
#include "AVFormatHlpr.h"
#include "AVProbe.h"
#include "AVUtilHlpr.h"
#include "MediaLibraries.h"
#include "RealWorldMedia.h"
#include "TestMedia.h"
#include "cli_run.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// What a converted file holds, as our probe and libavformat read it back.
struct ModernOutput {
    std::string container; // the demuxer's name, the document type for Matroska
    std::string videoCodec;
    int64_t videoPackets = 0;
    std::string audioCodec;
    int64_t audioPackets = 0;
    int channels = 0;
    std::string layout;
    int sampleRateHz = 0;
};

// "matroska" or "webm": the EBML document type near the start of a Matroska file.
std::string MatroskaDocType(const std::string& path) {
    const std::string head = ReadWholeFile(path).substr(0, 64);
    return head.find("webm") != std::string::npos       ? "webm"
           : head.find("matroska") != std::string::npos ? "matroska"
                                                        : "?";
}

ModernOutput ReadBack(const std::string& path) {
    ModernOutput result;
    TAVProbe probe;
    if (!probe.LoadFile(path)) {
        ADD_FAILURE() << path << ": " << probe.LastErrorMessage;
        return result;
    }
    if (probe.VideoStreamCount > 0)
        result.videoCodec = probe.GetVideoInfo().CodecName;
    const TAVPacketCounts packets = probe.CountPackets(5);
    result.videoPackets = packets.Video;
    result.audioPackets = packets.Audio;
    probe.CloseFile();

    AVFormatContext* file = nullptr;
    if (lavf.avformat_open_input(&file, path.c_str(), nullptr, nullptr) < 0)
        return result;
    lavf.avformat_find_stream_info(file, nullptr);
    result.container = file->iformat->name;
    if (result.container == "matroska,webm")
        result.container = MatroskaDocType(path);
    const int audio = lavf.av_find_best_stream(file, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (audio >= 0) {
        const AVCodecParameters* p = file->streams[audio]->codecpar;
        result.audioCodec = lavc.avcodec_get_name(p->codec_id);
        result.channels = p->ch_layout.nb_channels;
        result.sampleRateHz = p->sample_rate;
        char layout[64] = {};
        lavu.av_channel_layout_describe(&p->ch_layout, layout, sizeof layout);
        result.layout = layout;
    }
    lavf.avformat_close_input(&file);
    return result;
}

class CliModernTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
        lavu.av_log_set_level(AV_LOG_ERROR); // the decoders' banners are of no interest
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::temp_directory_path() / (std::string("vidbrisk-modern-") + info->name() + "-" +
                                              std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    // Converts the first second of one file into a fresh folder; the output's path, or ""
    // after a failure.
    std::string convert(const std::string& input, const std::vector<std::string>& settings) {
        std::vector<std::string> args = settings;
        args.insert(args.end(), {"--option", "t=1"});
        return ConvertInto(folder / std::to_string(++runs), input, args);
    }

    fs::path folder;
    int runs = 0;
};

// Every video codec entry of MKV and WebM, each with another audio codec entry, from
// inputs of several kinds (odd sizes, a turned phone recording, ASF); and the two
// sound-only rows from a video file. A sampling rate chosen before stays when the audio
// codec picked next takes it (FLAC after AAC keeps 48000 Hz).
TEST_F(CliModernTest, EveryCodecEntryGivesItsContainerAndCodecs) {
    using namespace RealWorldMedia;
    const std::string avi = TestMediaPath(TestMedia::kAviMpeg4Mp3.name);
    const std::string mp4 = TestMediaPath(TestMedia::kMp4H264Aac.name);
    const std::string odd = RealWorldMediaPath(kOddSize.name);
    const std::string turned = RealWorldMediaPath(kRotated90.name);
    const std::string asf = RealWorldMediaPath(kAsf.name);
    struct Case {
        const char* format;
        const char* videoEntry; // "" for the sound-only rows
        const char* audioEntry;
        std::string input;
        const char* container;
        const char* videoCodec;
        const char* audioCodec;
        int sampleRateHz;
    };
    const Case cases[] = {
        {"MKV", "H264", "AAC", avi, "matroska", "h264", "aac", 48000},
        {"MKV", "HEVC", "Opus", odd, "matroska", "hevc", "opus", 48000},
        {"MKV", "AV1", "FLAC", turned, "matroska", "av1", "flac", 48000},
        {"MKV", "VP9", "MP3", asf, "matroska", "vp9", "mp3", 48000},
        {"MKV", "MPEG4", "AC3", mp4, "matroska", "mpeg4", "ac3", 48000},
        {"WEBM", "VP9", "Opus", mp4, "webm", "vp9", "opus", 48000},
        {"WEBM", "AV1", "Vorbis", odd, "webm", "av1", "vorbis", 48000},
        {"WEBM", "VP8", "Opus", asf, "webm", "vp8", "opus", 48000},
        {"OPUS", "", "Opus", mp4, "ogg", "", "opus", 48000},
        {"FLAC", "", "FLAC", turned, "flac", "", "flac", 44100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.format) + " " + c.videoEntry + " " + c.audioEntry);
        std::vector<std::string> settings = {"-f", c.format, "--audio-codec", c.audioEntry};
        if (*c.videoEntry)
            settings.insert(settings.end(), {"--video-codec", c.videoEntry});
        const std::string output = convert(c.input, settings);
        if (output.empty())
            continue;
        const ModernOutput read = ReadBack(output);
        EXPECT_EQ(fs::path(output).extension().string(),
                  "." + std::string(c.format == std::string("MKV")    ? "mkv"
                                    : c.format == std::string("WEBM") ? "webm"
                                    : c.format == std::string("OPUS") ? "opus"
                                                                      : "flac"));
        EXPECT_EQ(read.container, c.container);
        EXPECT_EQ(read.videoCodec, c.videoCodec);
        EXPECT_EQ(read.videoPackets > 0, *c.videoEntry != '\0');
        EXPECT_EQ(read.audioCodec, c.audioCodec);
        EXPECT_GT(read.audioPackets, 0);
        EXPECT_EQ(read.channels, 2);
        EXPECT_EQ(read.sampleRateHz, c.sampleRateHz);
    }
}

// The quality entries and the bit rates reach the encoder: x264 writes its settings into
// the stream.
TEST_F(CliModernTest, QualityEntriesReachTheEncoder) {
    const std::string avi = TestMediaPath(TestMedia::kAviMpeg4Mp3.name);
    const struct {
        const char* quality;
        const char* written;
    } cases[] = {
        {"Quality: Good", "crf=23.0"},
        {"Quality: Compact", "crf=28.0"},
        {"1000 Kbps", "bitrate=1000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.quality);
        const std::string output =
            convert(avi, {"-f", "MKV", "--video-codec", "H264", "--video-bitrate", c.quality});
        if (output.empty())
            continue;
        const std::string bytes = ReadWholeFile(output);
        EXPECT_NE(bytes.find(c.written), std::string::npos);
        EXPECT_NE(bytes.find("rc=" + std::string(c.written[0] == 'c' ? "crf" : "abr")),
                  std::string::npos);
    }
}

// The audio codec is chosen before the other settings, wherever it stands on the command
// line: 44100 Hz is no entry of the Opus list that WebM starts with, but one of Vorbis's.
TEST_F(CliModernTest, AudioCodecIsChosenBeforeTheRates) {
    const std::string output =
        convert(TestMediaPath(TestMedia::kMp3Audio.name),
                {"-f", "WEBM", "--sample-rate", "44100", "--audio-codec", "Vorbis"});
    ASSERT_FALSE(output.empty());
    const ModernOutput read = ReadBack(output);
    EXPECT_EQ(read.audioCodec, "vorbis");
    EXPECT_EQ(read.sampleRateHz, 44100);
}

// "Original" channels keep a 5.1 input's six channels and layout in every audio codec
// entry that takes them; MP3, which takes two at most, gets stereo.
TEST_F(CliModernTest, OriginalChannelsKeepFivePointOne) {
    // The 5.1 input: the test clip's sound spread over six channels by the converter itself.
    const std::string surround =
        convert(TestMediaPath(TestMedia::kMp3Audio.name), {"-f", "FLAC", "--option", "ac=6"});
    ASSERT_FALSE(surround.empty());
    ASSERT_EQ(ReadBack(surround).channels, 6);
    const struct {
        const char* format;
        const char* audioEntry;
        const char* audioCodec;
        int channels;
    } cases[] = {
        {"MKV", "AAC", "aac", 6},        {"MKV", "Opus", "opus", 6},  {"MKV", "FLAC", "flac", 6},
        {"MKV", "AC3", "ac3", 6},        {"MKV", "MP3", "mp3", 2},    {"WEBM", "Opus", "opus", 6},
        {"WEBM", "Vorbis", "vorbis", 6}, {"OPUS", "Opus", "opus", 6}, {"FLAC", "FLAC", "flac", 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.format) + " " + c.audioEntry);
        const std::string output = convert(
            surround, {"-f", c.format, "--audio-codec", c.audioEntry, "--channels", "Original"});
        if (output.empty())
            continue;
        const ModernOutput read = ReadBack(output);
        EXPECT_EQ(read.audioCodec, c.audioCodec);
        EXPECT_EQ(read.channels, c.channels);
        // AC-3 tells no side from back surround channels: its decoder says "5.1(side)".
        EXPECT_EQ(read.layout.substr(0, 3), c.channels == 6 ? "5.1" : "ste") << read.layout;
    }
}

} // namespace
