// End to end: the generated clips converted with the defaults of the format box's
// containers, each result re-opened and checked (codecs, picture size, sampling rate,
// channels, duration close to the input's).
#include "AVCodecHlpr.h"
#include "AVFormatHlpr.h"
#include "FFmpeg.h"
#include "MediaLibraries.h"
#include "TestMedia.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct ProbedStream {
    AVMediaType kind = AVMEDIA_TYPE_UNKNOWN;
    std::string codec;
    int width = 0, height = 0, sampleRateHz = 0, channels = 0;
    int packets = 0;
};
struct ProbedFile {
    bool opened = false;
    double durationSeconds = -1;
    std::vector<ProbedStream> streams;
    const ProbedStream* find(AVMediaType kind) const {
        for (const ProbedStream& stream : streams)
            if (stream.kind == kind)
                return &stream;
        return nullptr;
    }
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
        result.streams.push_back(
            {parameters->codec_type, lavc.avcodec_get_name(parameters->codec_id), parameters->width,
             parameters->height, parameters->sample_rate, parameters->ch_layout.nb_channels, 0});
    }
    // Containers that keep no duration (SWF) are measured by their packets' timestamps.
    double first = 1e100, last = -1e100;
    AVPacket* packet = lavc.av_packet_alloc();
    while (lavf.av_read_frame(context, packet) >= 0) {
        ++result.streams[packet->stream_index].packets;
        const double timeBase = av_q2d(context->streams[packet->stream_index]->time_base);
        if (packet->pts != AV_NOPTS_VALUE) {
            first = std::min(first, packet->pts * timeBase);
            last = std::max(last, (packet->pts + packet->duration) * timeBase);
        }
        lavc.av_packet_unref(packet);
    }
    if (result.durationSeconds < 0 && last > first)
        result.durationSeconds = last - first;
    lavc.av_packet_free(&packet);
    lavf.avformat_close_input(&context);
    return result;
}

// One conversion: the options a format box entry gives by default and what the result
// must hold. A codec of "" means no stream of that kind; a size or rate of 0 means "as
// the input".
struct ConvertCase {
    const char* label;
    const TestClip* input;
    const char* output;
    const char* options;
    const char* videoCodec;
    int width, height;
    const char* audioCodec;
    int sampleRateHz, channels;
};

void PrintTo(const ConvertCase& c, std::ostream* out) {
    *out << c.label;
}

const ConvertCase kAudioCases[] = {
    {"MP3_from_AVI", &TestMedia::kAviMpeg4Mp3, "out.mp3", "vn=1\nacodec=mp3", "", 0, 0, "mp3", 0,
     2},
    {"WAV_from_MP3", &TestMedia::kMp3Audio, "out.wav", "vn=1\nacodec=pcm_s16le", "", 0, 0,
     "pcm_s16le", 0, 2},
    {"WMA_from_MP3", &TestMedia::kMp3Audio, "out.wma", "vn=1\nacodec=wmav2", "", 0, 0, "wmav2", 0,
     2},
    {"OGG_from_MP3", &TestMedia::kMp3Audio, "out.ogg", "vn=1\nacodec=vorbis", "", 0, 0, "vorbis", 0,
     2},
    {"MP3_22k_mono_from_WAV_8k", &TestMedia::kWavMono8k, "out.mp3",
     "acodec=mp3\nar=22050\nac=1\nab=32000", "", 0, 0, "mp3", 22050, 1},
    {"MP2_stereo_from_mono", &TestMedia::kWavMono8k, "out.mp2", "acodec=mp2\nar=44100\nac=2", "", 0,
     0, "mp2", 44100, 2},
};

// The format box's containers with their default codecs, from the MPEG-4/MP3 AVI clip.
const ConvertCase kFormatBoxCases[] = {
    {"FLV", &TestMedia::kAviMpeg4Mp3, "out.flv",
     "vcodec=flv\nb=300000\nacodec=mp3\nar=22050\nab=64000", "flv1", 0, 0, "mp3", 22050, 2},
    {"SWF", &TestMedia::kAviMpeg4Mp3, "out.swf",
     "vcodec=flv\nb=300000\nacodec=mp3\nar=22050\nab=64000", "flv1", 0, 0, "mp3", 22050, 2},
    {"3GP_h263_amr", &TestMedia::kAviMpeg4Mp3, "out.3gp",
     "vcodec=h263\ns=176x144\nacodec=libamr_nb\nar=8000\nac=1\nab=12200", "h263", 176, 144,
     "amr_nb", 8000, 1},
    {"3GP_mpeg4_aac", &TestMedia::kAviMpeg4Mp3, "out.3gp",
     "vcodec=mpeg4\ns=176x144\nacodec=mpeg4aac\nar=22050\nac=1", "mpeg4", 176, 144, "aac", 22050,
     1},
    {"3GP_h264_aac", &TestMedia::kAviMpeg4Mp3, "out.3gp",
     "vcodec=libx264\ns=176x144\nacodec=libfaac\nar=22050\nac=1", "h264", 176, 144, "aac", 22050,
     1},
    {"3G2", &TestMedia::kAviMpeg4Mp3, "out.3g2",
     "vcodec=h263\ns=176x144\nacodec=libamr_nb\nar=8000\nac=1\nab=12200", "h263", 176, 144,
     "amr_nb", 8000, 1},
    {"AVI_mpeg4_mp3", &TestMedia::kAviMpeg4Mp3, "out.avi", "vcodec=mpeg4\nacodec=mp3", "mpeg4", 0,
     0, "mp3", 0, 2},
    {"AVI_h264_pcm", &TestMedia::kAviMpeg4Mp3, "out.avi", "vcodec=libx264\nacodec=pcm_s16le",
     "h264", 0, 0, "pcm_s16le", 0, 2},
    {"AVI_xvid_mp2", &TestMedia::kAviMpeg4Mp3, "out.avi", "vcodec=libxvid\nacodec=mp2", "mpeg4", 0,
     0, "mp2", 0, 2},
    {"AVI_msmpeg4_ac3", &TestMedia::kAviMpeg4Mp3, "out.avi",
     "vcodec=msmpeg4\nacodec=ac3\nab=192000", "msmpeg4v3", 0, 0, "ac3", 0, 2},
    {"MOV", &TestMedia::kAviMpeg4Mp3, "out.mov", "vcodec=mpeg4\nacodec=mpeg4aac", "mpeg4", 0, 0,
     "aac", 0, 2},
    {"MP4_mpeg4", &TestMedia::kAviMpeg4Mp3, "out.mp4", "vcodec=mpeg4\nacodec=mpeg4aac", "mpeg4", 0,
     0, "aac", 0, 2},
    {"MP4_h264_from_MP4", &TestMedia::kMp4H264Aac, "out.mp4", "vcodec=libx264\nacodec=aac", "h264",
     0, 0, "aac", 0, 2},
    {"MPG_mpeg1", &TestMedia::kAviMpeg4Mp3, "out.mpg", "vcodec=mpeg1video\nacodec=mp2",
     "mpeg1video", 0, 0, "mp2", 0, 2},
    {"MPG_mpeg2_ac3", &TestMedia::kAviMpeg4Mp3, "out.mpg",
     "vcodec=mpeg2video\nacodec=ac3\nar=48000", "mpeg2video", 0, 0, "ac3", 48000, 2},
    {"RM_rv10", &TestMedia::kAviMpeg4Mp3, "out.rm", "vcodec=rv10\nacodec=ac3", "rv10", 0, 0, "ac3",
     0, 2},
    {"RM_rv20", &TestMedia::kAviMpeg4Mp3, "out.rm", "vcodec=rv20\nacodec=ac3", "rv20", 0, 0, "ac3",
     0, 2},
    {"VCD", &TestMedia::kAviMpeg4Mp3, "out.mpg", "target=pal-vcd", "mpeg1video", 352, 288, "mp2",
     44100, 2},
    {"SVCD", &TestMedia::kAviMpeg4Mp3, "out.mpg", "target=pal-svcd", "mpeg2video", 480, 576, "mp2",
     44100, 2},
    {"DVD", &TestMedia::kAviMpeg4Mp3, "out.vob", "target=pal-dvd", "mpeg2video", 720, 576, "ac3",
     48000, 2},
    {"WMV", &TestMedia::kAviMpeg4Mp3, "out.wmv", "vcodec=wmv2\nacodec=wmav2", "wmv2", 0, 0, "wmav2",
     0, 2},
    {"MP4_from_video_only", &TestMedia::kVideoOnly, "out.mp4", "vcodec=mpeg4", "mpeg4", 0, 0, "", 0,
     0},
};

class ConvertTest : public ::testing::TestWithParam<ConvertCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
        engine.InitOptionContexts();
        engine.LogCallback = [this](int, const std::string& text) { logLines.push_back(text); };
        folder = fs::temp_directory_path() /
                 (std::string("vidbrisk-convert-") + std::to_string(::getpid()));
        fs::create_directories(folder);
    }
    void TearDown() override {
        engine.FinalCleanup();
        EXPECT_TRUE(engine.OpenCodecs.Empty());
        engine.ReleaseState();
        fs::remove_all(folder);
    }
    void check(const ConvertCase& c) {
        const TestClip& clip = *c.input;
        const std::string output = (folder / c.output).string();
        ASSERT_TRUE(engine.OpenInput(TestMediaPath(clip.name))) << engine.ErrorText;
        engine.ApplyOptionText(c.options);
        ASSERT_TRUE(engine.OpenOutput(output)) << engine.ErrorText;
        engine.Transcode(engine.OutputFiles, engine.OutputFileCount, engine.InputFiles,
                         engine.InputFileCount, engine.StreamMaps, engine.StreamMapCount);
        EXPECT_TRUE(engine.Finished);
        engine.ReleaseState();
        const ProbedFile result = probe(output);
        ASSERT_TRUE(result.opened) << c.output;
        const ProbedStream* video = result.find(AVMEDIA_TYPE_VIDEO);
        const ProbedStream* audio = result.find(AVMEDIA_TYPE_AUDIO);
        if (*c.videoCodec) {
            ASSERT_NE(video, nullptr);
            EXPECT_EQ(video->codec, c.videoCodec);
            EXPECT_EQ(video->width, c.width ? c.width : clip.width);
            EXPECT_EQ(video->height, c.height ? c.height : clip.height);
            EXPECT_GT(video->packets, 0);
        } else {
            EXPECT_EQ(video, nullptr);
        }
        if (*c.audioCodec) {
            ASSERT_NE(audio, nullptr);
            EXPECT_EQ(audio->codec, c.audioCodec);
            EXPECT_EQ(audio->sampleRateHz, c.sampleRateHz ? c.sampleRateHz : clip.sampleRateHz);
            EXPECT_EQ(audio->channels, c.channels);
            EXPECT_GT(audio->packets, 0);
        } else {
            EXPECT_EQ(audio, nullptr);
        }
        EXPECT_NEAR(result.durationSeconds, clip.durationSeconds, 0.2) << c.output;
    }
    TCustomFFmpeg engine;
    std::vector<std::string> logLines;
    fs::path folder;
};

TEST_P(ConvertTest, ResultHoldsTheExpectedStreamsAndDuration) {
    check(GetParam());
}

INSTANTIATE_TEST_SUITE_P(FormatBox, ConvertTest, ::testing::ValuesIn(kFormatBoxCases),
                         [](const ::testing::TestParamInfo<ConvertCase>& info) {
                             return std::string(info.param.label);
                         });
INSTANTIATE_TEST_SUITE_P(Audio, ConvertTest, ::testing::ValuesIn(kAudioCases),
                         [](const ::testing::TestParamInfo<ConvertCase>& info) {
                             return std::string(info.param.label);
                         });

} // namespace
