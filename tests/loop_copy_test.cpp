// The main loop with stream copy: whole files copied into other containers, nothing
// before the first key frame, subtitles, the stop flag and interrupt callback, and the
// frame, time and size limits, and the bit-stream filter chain of WritePacket.
#include "AVCodecHlpr.h"
#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"
#include "FFmpeg.h"
#include "MediaLibraries.h"
#include "EngineFixture.h"
#include "TestMedia.h"

extern "C" {
#include <libavcodec/bsf.h>
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// What the libraries see in a written file.
struct ProbedStream {
    AVMediaType kind = AVMEDIA_TYPE_UNKNOWN;
    std::string codec;
    int width = 0, height = 0, sampleRateHz = 0, channels = 0;
    int packets = 0;
    bool firstPacketKey = false;
    double firstPtsSeconds = 0, lastPtsSeconds = 0; // smallest and largest packet pts
};
struct ProbedFile {
    bool opened = false;
    double durationSeconds = -1;
    std::vector<ProbedStream> streams;
};

ProbedFile probe(const std::string& fileName) {
    ProbedFile result;
    AVFormatContext* context = nullptr;
    if (lavf.avformat_open_input(&context, fileName.c_str(), nullptr, nullptr) < 0)
        return result;
    if (lavf.avformat_find_stream_info(context, nullptr) < 0) {
        lavf.avformat_close_input(&context);
        return result;
    }
    result.opened = true;
    if (context->duration != AV_NOPTS_VALUE)
        result.durationSeconds = context->duration / 1e6;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVCodecParameters* parameters = context->streams[i]->codecpar;
        ProbedStream stream;
        stream.kind = parameters->codec_type;
        stream.codec = lavc.avcodec_get_name(parameters->codec_id);
        stream.width = parameters->width;
        stream.height = parameters->height;
        stream.sampleRateHz = parameters->sample_rate;
        stream.channels = parameters->ch_layout.nb_channels;
        result.streams.push_back(stream);
    }
    AVPacket* packet = lavc.av_packet_alloc();
    while (lavf.av_read_frame(context, packet) >= 0) {
        ProbedStream& stream = result.streams[packet->stream_index];
        const double pts = packet->pts * av_q2d(context->streams[packet->stream_index]->time_base);
        if (stream.packets++ == 0) {
            stream.firstPacketKey = (packet->flags & AV_PKT_FLAG_KEY) != 0;
            stream.firstPtsSeconds = stream.lastPtsSeconds = pts;
        }
        stream.firstPtsSeconds = std::min(stream.firstPtsSeconds, pts);
        stream.lastPtsSeconds = std::max(stream.lastPtsSeconds, pts);
        lavc.av_packet_unref(packet);
    }
    lavc.av_packet_free(&packet);
    lavf.avformat_close_input(&context);
    return result;
}

// An engine whose pause gate counts the loop's iterations and can ask for a stop.
class CountingEngine : public TCustomFFmpeg {
public:
    void WaitWhilePaused() override {
        if (++Iterations == StopAtIteration)
            StopRequested = true;
    }
    int Iterations = 0;
    int StopAtIteration = -1;
};

class LoopCopyTest : public EngineFixture<CountingEngine> {
protected:
    void convert(const std::string& input, const std::string& output, const std::string& options) {
        ASSERT_TRUE(engine.OpenInput(input)) << engine.ErrorText;
        engine.ApplyOptionText(options);
        ASSERT_TRUE(engine.OpenOutput(scratch(output))) << engine.ErrorText;
        engine.Transcode(engine.OutputFiles, engine.OutputFileCount, engine.InputFiles,
                         engine.InputFileCount, engine.StreamMaps, engine.StreamMapCount);
        engine.ReleaseState(); // closes the files
    }
};

struct CopyCase {
    const char* label;
    const char* output;
    const char* options;
};

void PrintTo(const CopyCase& c, std::ostream* out) {
    *out << c.label;
}

class CopyIntoContainer : public LoopCopyTest, public ::testing::WithParamInterface<CopyCase> {};

TEST_P(CopyIntoContainer, KeepsStreamsSizeAndDuration) {
    const CopyCase& c = GetParam();
    const TestClip& clip = TestMedia::kAviMpeg4Mp3;
    convert(TestMediaPath(clip.name), c.output, c.options);
    EXPECT_TRUE(engine.Finished);
    const ProbedFile result = probe(scratch(c.output));
    ASSERT_TRUE(result.opened);
    ASSERT_EQ(result.streams.size(), 2u);
    const ProbedStream& video = result.streams[0];
    const ProbedStream& audio = result.streams[1];
    EXPECT_EQ(video.codec, clip.videoCodec);
    EXPECT_EQ(video.width, clip.width);
    EXPECT_EQ(video.height, clip.height);
    EXPECT_TRUE(video.firstPacketKey);
    EXPECT_EQ(audio.codec, clip.audioCodec);
    EXPECT_EQ(audio.sampleRateHz, clip.sampleRateHz);
    EXPECT_EQ(audio.channels, clip.channels);
    EXPECT_NEAR(result.durationSeconds, clip.durationSeconds, 0.2);
    // 25 pictures a second, every one copied.
    EXPECT_NEAR(video.packets, clip.durationSeconds * 25, 1);
    EXPECT_GT(engine.VideoBytes, 0);
    EXPECT_GT(engine.AudioBytes, 0);
}

INSTANTIATE_TEST_SUITE_P(Copy, CopyIntoContainer,
                         ::testing::Values(CopyCase{"AVI", "copy.avi", "vcodec=copy\nacodec=copy"},
                                           CopyCase{"MKV", "copy.mkv", "vcodec=copy\nacodec=copy"},
                                           CopyCase{"MOV", "copy.mov", "vcodec=copy\nacodec=copy"}),
                         [](const ::testing::TestParamInfo<CopyCase>& info) {
                             return std::string(info.param.label);
                         });

TEST_F(LoopCopyTest, AudioCopyOfAnAudioFile) {
    const TestClip& clip = TestMedia::kMp3Audio;
    convert(TestMediaPath(clip.name), "copy.mp3", "acodec=copy");
    const ProbedFile result = probe(scratch("copy.mp3"));
    ASSERT_TRUE(result.opened);
    ASSERT_EQ(result.streams.size(), 1u);
    EXPECT_EQ(result.streams[0].codec, "mp3");
    EXPECT_NEAR(result.durationSeconds, clip.durationSeconds, 0.2);
    EXPECT_EQ(engine.VideoBytes, 0);
}

// Writes a copy of the clip's video stream that starts `skip` packets late, so that it
// begins with pictures that depend on a key frame the file no longer holds.
int writeVideoWithoutFirstPackets(const std::string& source, const std::string& target, int skip) {
    AVFormatContext* input = nullptr;
    if (lavf.avformat_open_input(&input, source.c_str(), nullptr, nullptr) < 0)
        return -1;
    lavf.avformat_find_stream_info(input, nullptr);
    AVFormatContext* output = nullptr;
    lavf.avformat_alloc_output_context2(&output, nullptr, nullptr, target.c_str());
    AVStream* stream = lavf.avformat_new_stream(output, nullptr);
    lavc.avcodec_parameters_copy(stream->codecpar, input->streams[0]->codecpar);
    stream->codecpar->codec_tag = 0;
    stream->time_base = input->streams[0]->time_base;
    if (lavf.avio_open(&output->pb, target.c_str(), AVIO_FLAG_WRITE) < 0 ||
        lavf.avformat_write_header(output, nullptr) < 0)
        return -1;
    AVPacket* packet = lavc.av_packet_alloc();
    int seen = 0, written = 0;
    while (lavf.av_read_frame(input, packet) >= 0) {
        if (packet->stream_index == 0 && seen++ >= skip) {
            packet->stream_index = 0;
            lavc.av_packet_rescale_ts(packet, input->streams[0]->time_base, stream->time_base);
            packet->pos = -1;
            lavf.av_interleaved_write_frame(output, packet);
            ++written;
        }
        lavc.av_packet_unref(packet);
    }
    lavf.av_write_trailer(output);
    lavc.av_packet_free(&packet);
    lavf.avio_closep(&output->pb);
    lavf.avformat_free_context(output);
    lavf.avformat_close_input(&input);
    return written;
}

TEST_F(LoopCopyTest, VideoCopyStartsAtTheFirstKeyFrame) {
    const std::string source = scratch("late.mkv");
    const int packets =
        writeVideoWithoutFirstPackets(TestMediaPath(TestMedia::kAviMpeg4Mp3.name), source, 1);
    ASSERT_GT(packets, 10);
    const ProbedFile input = probe(source);
    ASSERT_EQ(input.streams.size(), 1u);
    ASSERT_FALSE(input.streams[0].firstPacketKey);
    convert(source, "copy.mkv", "vcodec=copy");
    const ProbedFile result = probe(scratch("copy.mkv"));
    ASSERT_TRUE(result.opened);
    ASSERT_EQ(result.streams.size(), 1u);
    EXPECT_TRUE(result.streams[0].firstPacketKey);
    EXPECT_GT(result.streams[0].packets, 0);
    EXPECT_LT(result.streams[0].packets, packets);
}

TEST_F(LoopCopyTest, StopLeavesACompleteFileAndNotFinished) {
    engine.StopAtIteration = 20;
    convert(TestMediaPath(TestMedia::kAviMpeg4Mp3.name), "stopped.mkv", "vcodec=copy\nacodec=copy");
    EXPECT_FALSE(engine.Finished);
    EXPECT_EQ(engine.Iterations, 20);
    const ProbedFile result = probe(scratch("stopped.mkv"));
    ASSERT_TRUE(result.opened); // the trailer was written
    ASSERT_EQ(result.streams.size(), 2u);
    const int packets = result.streams[0].packets + result.streams[1].packets;
    EXPECT_GT(packets, 0);
    EXPECT_LT(packets, 20);
}

TEST_F(LoopCopyTest, LimitsEndTheLoop) {
    const struct {
        const char* options;
        int maxVideoPackets;
        double maxSeconds;
    } cases[] = {
        {"vcodec=copy\nacodec=copy\nvframes=10", 10, 3.1},
        {"vcodec=copy\nacodec=copy\nt=1", 30, 1.3},
        {"vcodec=copy\nacodec=copy\nfs=40000", 74, 2.0},
    };
    for (const auto& c : cases) {
        engine.InitOptionContexts();
        convert(TestMediaPath(TestMedia::kAviMpeg4Mp3.name), "limited.mkv", c.options);
        EXPECT_TRUE(engine.Finished) << c.options;
        const ProbedFile result = probe(scratch("limited.mkv"));
        ASSERT_TRUE(result.opened) << c.options;
        EXPECT_LE(result.streams[0].packets, c.maxVideoPackets) << c.options;
        EXPECT_GT(result.streams[0].packets, 0) << c.options;
        EXPECT_LE(result.durationSeconds, c.maxSeconds) << c.options;
        // The size limit stops the loop soon after the file has passed it.
        if (std::string(c.options).find("fs=") != std::string::npos) {
            EXPECT_LT(fs::file_size(scratch("limited.mkv")), 80000u);
        }
        fs::remove(scratch("limited.mkv"));
    }
}

TEST_F(LoopCopyTest, BitStreamFilterChainPassesEveryPacketOn) {
    ASSERT_TRUE(engine.OpenInput(TestMediaPath(TestMedia::kAviMpeg4Mp3.name)));
    engine.ApplyOptionText("vcodec=copy\nacodec=copy");
    ASSERT_TRUE(engine.OpenOutput(scratch("filtered.mkv")));
    // Two pass-through filters on the video stream; the run owns and frees them.
    engine.Mux.WrittenStreams.resize(1);
    for (int i = 0; i < 2; ++i) {
        AVBSFContext* filter = nullptr;
        ASSERT_EQ(lavc.av_bsf_alloc(lavc.av_bsf_get_by_name("null"), &filter), 0);
        lavc.avcodec_parameters_copy(filter->par_in, engine.InputFiles[0]->streams[0]->codecpar);
        filter->time_base_in = engine.InputFiles[0]->streams[0]->time_base;
        ASSERT_EQ(lavc.av_bsf_init(filter), 0);
        engine.Mux.WrittenStreams[0].BitStreamFilters.push_back(filter);
    }
    engine.Transcode(engine.OutputFiles, engine.OutputFileCount, engine.InputFiles,
                     engine.InputFileCount, engine.StreamMaps, engine.StreamMapCount);
    EXPECT_TRUE(engine.Mux.WrittenStreams.empty());
    engine.ReleaseState();
    const ProbedFile result = probe(scratch("filtered.mkv"));
    ASSERT_TRUE(result.opened);
    ASSERT_EQ(result.streams.size(), 2u);
    EXPECT_EQ(result.streams[0].packets, 75);
    EXPECT_TRUE(result.streams[0].firstPacketKey);
    EXPECT_GT(result.streams[1].packets, 0);
}

TEST_F(LoopCopyTest, TimestampOffsetAndScaleMoveTheCopiedPackets) {
    const struct {
        const char* inputOptions;
        double firstVideo, lastVideo, firstAudio;
    } cases[] = {
        {"", 0.0, 2.96, 0.0},
        {"itsoffset=0.5", 0.5, 3.46, 0.5},
        // The video clock runs at half speed; the audio keeps its own.
        {"itsscale=0:2", 0.0, 5.92, 0.0},
    };
    for (const auto& c : cases) {
        engine.InitOptionContexts();
        engine.ApplyOptionText(c.inputOptions);
        convert(TestMediaPath(TestMedia::kAviMpeg4Mp3.name), "moved.mkv",
                "vcodec=copy\nacodec=copy");
        const ProbedFile result = probe(scratch("moved.mkv"));
        ASSERT_EQ(result.streams.size(), 2u) << c.inputOptions;
        EXPECT_NEAR(result.streams[0].firstPtsSeconds, c.firstVideo, 0.05) << c.inputOptions;
        EXPECT_NEAR(result.streams[0].lastPtsSeconds, c.lastVideo, 0.05) << c.inputOptions;
        EXPECT_NEAR(result.streams[1].firstPtsSeconds, c.firstAudio, 0.05) << c.inputOptions;
        fs::remove(scratch("moved.mkv"));
    }
}

TEST_F(LoopCopyTest, OneInputCopiedIntoOneOutputAndEncodedIntoAnother) {
    ASSERT_TRUE(engine.OpenInput(TestMediaPath(TestMedia::kAviMpeg4Mp3.name)));
    engine.ApplyOptionText("vcodec=copy\nacodec=copy");
    ASSERT_TRUE(engine.OpenOutput(scratch("copied.mkv")));
    engine.ApplyOptionText("vcodec=mpeg4\nacodec=mp2");
    ASSERT_TRUE(engine.OpenOutput(scratch("encoded.avi")));
    engine.Transcode(engine.OutputFiles, engine.OutputFileCount, engine.InputFiles,
                     engine.InputFileCount, engine.StreamMaps, engine.StreamMapCount);
    EXPECT_TRUE(engine.Finished);
    engine.ReleaseState();
    for (const char* name : {"copied.mkv", "encoded.avi"}) {
        const ProbedFile result = probe(scratch(name));
        ASSERT_EQ(result.streams.size(), 2u) << name;
        EXPECT_EQ(result.streams[0].packets, 75) << name;
        EXPECT_GT(result.streams[1].packets, 0) << name;
        EXPECT_NEAR(result.durationSeconds, TestMedia::kAviMpeg4Mp3.durationSeconds, 0.2) << name;
    }
}

TEST_F(LoopCopyTest, InterruptCallbackFollowsTheStopFlag) {
    ASSERT_TRUE(engine.OpenInput(TestMediaPath(TestMedia::kAviMpeg4Mp3.name)));
    engine.ApplyOptionText("vcodec=copy\nacodec=copy");
    ASSERT_TRUE(engine.OpenOutput(scratch("out.mkv")));
    engine.StopAtIteration = 1;
    engine.Transcode(engine.OutputFiles, engine.OutputFileCount, engine.InputFiles,
                     engine.InputFileCount, engine.StreamMaps, engine.StreamMapCount);
    const AVIOInterruptCB& callback = engine.InputFiles[0]->interrupt_callback;
    ASSERT_NE(callback.callback, nullptr);
    EXPECT_EQ(callback.callback(callback.opaque), 1);
    engine.StopRequested = false;
    EXPECT_EQ(callback.callback(callback.opaque), 0);
}

} // namespace

namespace {

// A small SubRip file: three cues.
void writeSubRip(const std::string& fileName) {
    std::ofstream file(fileName);
    file << "1\n00:00:00,500 --> 00:00:01,500\nfirst\n\n"
            "2\n00:00:02,000 --> 00:00:03,000\nsecond\n\n"
            "3\n00:00:03,500 --> 00:00:04,000\nthird\n\n";
}

TEST_F(LoopCopyTest, SubtitleCopyKeepsEveryCue) {
    const std::string source = scratch("cues.srt");
    writeSubRip(source);
    convert(source, "copied.mkv", "scodec=copy");
    EXPECT_TRUE(engine.Finished);
    const ProbedFile result = probe(scratch("copied.mkv"));
    ASSERT_TRUE(result.opened);
    ASSERT_EQ(result.streams.size(), 1u);
    EXPECT_EQ(result.streams[0].codec, "subrip");
    EXPECT_EQ(result.streams[0].packets, 3);
}

// Text subtitles re-encoded: the encoder starts from its decoder's header, so it opens, and
// every cue arrives in the new format.
struct SubtitleCase {
    const char* output;
    const char* options;
    const char* codec;
    // Lines of the written text file that keep the last cue's times and words; none for a
    // binary container.
    std::vector<std::string> lines;
};

void PrintTo(const SubtitleCase& c, std::ostream* out) {
    *out << c.output;
}

class TextSubtitles : public LoopCopyTest, public ::testing::WithParamInterface<SubtitleCase> {};

TEST_P(TextSubtitles, AreReencodedCueByCue) {
    const SubtitleCase& c = GetParam();
    const std::string source = scratch("cues.srt");
    writeSubRip(source);
    convert(source, c.output, c.options);
    EXPECT_TRUE(engine.Finished) << engine.ErrorText;
    const ProbedFile result = probe(scratch(c.output));
    ASSERT_TRUE(result.opened);
    ASSERT_EQ(result.streams.size(), 1u);
    EXPECT_EQ(result.streams[0].codec, c.codec);
    EXPECT_EQ(result.streams[0].packets, 3);
    std::ifstream written(scratch(c.output));
    std::vector<std::string> lines;
    for (std::string line; std::getline(written, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    for (const std::string& expected : c.lines)
        EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end())
            << expected << " not in " << ::testing::PrintToString(lines);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, TextSubtitles,
    ::testing::Values(SubtitleCase{"cues.ass",
                                   "scodec=ass",
                                   "ass",
                                   {"Dialogue: 0,0:00:03.50,0:00:04.00,Default,,0,0,0,,third"}},
                      SubtitleCase{"cues-ass.mkv", "scodec=ass", "ass", {}},
                      SubtitleCase{"again.srt",
                                   "scodec=subrip",
                                   "subrip",
                                   {"00:00:03,500 --> 00:00:04,000", "third"}}));

} // namespace
