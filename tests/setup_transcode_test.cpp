// The transcode set-up: stream pairing with and without maps, copy and encode decisions,
// two-pass log files, the headers of every container of the format box, and the codec
// registry that must be empty after every task.
#include "AVCodecHlpr.h"
#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"
#include "FFmpeg.h"
#include "MediaLibraries.h"
#include "EngineFixture.h"
#include "TestMedia.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class SetupTest : public EngineFixture<> {
protected:
    void openInput(const TestClip& clip) {
        ASSERT_TRUE(engine.OpenInput(TestMediaPath(clip.name))) << engine.ErrorText;
    }
    void openOutput(const std::string& name, const std::string& options = std::string()) {
        engine.ApplyOptionText(options);
        ASSERT_TRUE(engine.OpenOutput(scratch(name))) << engine.ErrorText;
    }
    // Runs the task over the engine's files and maps.
    void transcode() {
        engine.Transcode(engine.OutputFiles, engine.OutputFileCount, engine.InputFiles,
                         engine.InputFileCount, engine.StreamMaps, engine.StreamMapCount);
    }
    // The message the task fails with, "" when it does not fail.
    std::string transcodeFailure() {
        try {
            transcode();
        } catch (const FFMpegException& error) {
            return error.what();
        }
        return std::string();
    }
    bool logged(const std::string& text) const {
        for (const std::string& line : logLines)
            if (line == text)
                return true;
        return false;
    }
};

// One container of the format box with the options its profile gives by default.
struct FormatCase {
    const char* label;
    const char* outputName;
    const char* options;
    bool withVideo;
};

void PrintTo(const FormatCase& c, std::ostream* out) {
    *out << c.label;
}

const FormatCase kFormatCases[] = {
    {"FLV", "out.flv", "vcodec=flv\nb=300000\nacodec=mp3\nar=22050\nab=64000", true},
    {"SWF", "out.swf", "vcodec=flv\nb=300000\nacodec=mp3\nar=22050\nab=64000", true},
    {"3GP_h263_amr", "out.3gp", "vcodec=h263\ns=176x144\nacodec=libamr_nb\nar=8000\nac=1\nab=12200",
     true},
    {"3GP_mpeg4_aac", "out.3gp", "vcodec=mpeg4\ns=176x144\nacodec=mpeg4aac\nar=22050\nac=1", true},
    {"3GP_h264_aac", "out.3gp", "vcodec=libx264\ns=176x144\nacodec=libfaac\nar=22050\nac=1", true},
    {"3G2", "out.3g2", "vcodec=h263\ns=176x144\nacodec=libamr_nb\nar=8000\nac=1\nab=12200", true},
    {"AVI_mpeg4_mp3", "out.avi", "vcodec=mpeg4\nacodec=mp3", true},
    {"AVI_h264_pcm", "out.avi", "vcodec=libx264\nacodec=pcm_s16le", true},
    {"AVI_xvid_mp2", "out.avi", "vcodec=libxvid\nacodec=mp2", true},
    {"AVI_msmpeg4_ac3", "out.avi", "vcodec=msmpeg4\nacodec=ac3\nab=192000", true},
    {"MOV", "out.mov", "vcodec=mpeg4\nacodec=mpeg4aac", true},
    {"MP4_mpeg4", "out.mp4", "vcodec=mpeg4\nacodec=mpeg4aac", true},
    {"MP4_h264", "out.mp4", "vcodec=libx264\nacodec=aac", true},
    {"MPG_mpeg1", "out.mpg", "vcodec=mpeg1video\nacodec=mp2", true},
    {"MPG_mpeg2_ac3", "out.mpg", "vcodec=mpeg2video\nacodec=ac3\nar=48000", true},
    {"RM_rv10", "out.rm", "vcodec=rv10\nacodec=ac3", true},
    {"RM_rv20", "out.rm", "vcodec=rv20\nacodec=ac3", true},
    {"VCD", "out.mpg", "target=pal-vcd", true},
    {"SVCD", "out.mpg", "target=pal-svcd", true},
    {"DVD", "out.vob", "target=pal-dvd", true},
    {"WMV", "out.wmv", "vcodec=wmv2\nacodec=wmav2", true},
    {"MP3", "out.mp3", "vn=1\nacodec=mp3", false},
    {"WAV", "out.wav", "vn=1\nacodec=pcm_s16le", false},
    {"WMA", "out.wma", "vn=1\nacodec=wmav2", false},
    {"OGG", "out.ogg", "vn=1\nacodec=vorbis", false},
};

class FormatHeaders : public SetupTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(FormatHeaders, SetUpWritesTheHeadersAndClosesEveryCodec) {
    const FormatCase& c = GetParam();
    openInput(TestMedia::kAviMpeg4Mp3);
    openOutput(c.outputName, c.options);
    ASSERT_EQ(engine.OutputFiles[0]->nb_streams, c.withVideo ? 2u : 1u);
    EXPECT_EQ(transcodeFailure(), "");
    EXPECT_TRUE(engine.OpenCodecs.Empty());
    EXPECT_TRUE(engine.Finished);
    EXPECT_TRUE(engine.OutputStreams.empty());
    EXPECT_EQ(engine.BitBuffer, nullptr);
    engine.ReleaseState();
    // The whole input is converted, so every container holds data and is kept.
    ASSERT_TRUE(fs::exists(scratch(c.outputName)));
    EXPECT_GT(fs::file_size(scratch(c.outputName)), 0u);
}

INSTANTIATE_TEST_SUITE_P(FormatBox, FormatHeaders, ::testing::ValuesIn(kFormatCases),
                         [](const ::testing::TestParamInfo<FormatCase>& info) {
                             return std::string(info.param.label);
                         });

TEST_F(SetupTest, StreamMappingIsLogged) {
    openInput(TestMedia::kAviMpeg4Mp3);
    openOutput("out.avi");
    EXPECT_EQ(transcodeFailure(), "");
    EXPECT_TRUE(logged("Stream mapping:"));
    EXPECT_TRUE(logged("  Stream #0.0 -> #0.0"));
    EXPECT_TRUE(logged("  Stream #0.1 -> #0.1"));
}

TEST_F(SetupTest, AudioInputsPairInOrderWithoutMaps) {
    // Two audio inputs, one output with two audio streams: the first output stream takes
    // the first input's audio, the second the second input's.
    openInput(TestMedia::kMp3Audio);
    openInput(TestMedia::kWavMono8k);
    openOutput("two.avi", "acodec=mp2\nar=44100\nac=2");
    engine.ApplyOptionText("acodec=mp2\nnewaudio=1");
    ASSERT_EQ(engine.OutputFiles[0]->nb_streams, 2u);
    EXPECT_EQ(transcodeFailure(), "");
    EXPECT_TRUE(logged("  Stream #0.0 -> #0.0"));
    EXPECT_TRUE(logged("  Stream #1.0 -> #0.1"));
}

TEST_F(SetupTest, MoreAudioOutputsThanInputsReuseTheLastInput) {
    openInput(TestMedia::kMp3Audio);
    openOutput("out.avi", "acodec=mp2");
    engine.ApplyOptionText("acodec=mp2\nnewaudio=1\nnewaudio=1");
    EXPECT_EQ(transcodeFailure(), "");
    EXPECT_TRUE(logged("  Stream #0.0 -> #0.0"));
    EXPECT_TRUE(logged("  Stream #0.0 -> #0.1"));
    EXPECT_TRUE(logged("  Stream #0.0 -> #0.2"));
}

TEST_F(SetupTest, MapsChooseTheSourcesAndAreChecked) {
    const struct {
        TStreamMap maps[2];
        int count;
        const char* failure;
    } cases[] = {
        {{{0, 1, 0, 1}, {0, 0, 0, 0}}, 2, ""},
        {{{0, 1, 0, 1}, {0, 0, 0, 1}}, 2, ""},
        {{{0, 1, 0, 1}, {0, 0, 0, 0}},
         1,
         "Number of stream maps must match number of output streams"},
        // A stream index equal to the file's stream count is one past its last stream.
        {{{0, 2, 0, 2}, {0, 0, 0, 0}}, 2, "Could not find input stream #0.2"},
        {{{1, 0, 1, 0}, {0, 0, 0, 0}}, 2, "Could not find input stream #1.0"},
        {{{0, 1, 0, 5}, {0, 0, 0, 0}}, 2, "Could not find sync stream #0.5"},
        {{{0, 0, 0, 0}, {0, 1, 0, 1}}, 2, "Codec type mismatch for mapping #0.0 -> #0.0"},
    };
    for (const auto& c : cases) {
        engine.InitOptionContexts();
        logLines.clear();
        openInput(TestMedia::kAudioFirst);
        openOutput("out.avi");
        std::string failure;
        try {
            engine.Transcode(engine.OutputFiles, 1, engine.InputFiles, 1, c.maps, c.count);
        } catch (const FFMpegException& error) {
            failure = error.what();
        }
        EXPECT_EQ(failure, c.failure);
        if (failure.empty()) {
            EXPECT_TRUE(logged("  Stream #0.1 -> #0.0"));
            EXPECT_TRUE(logged("  Stream #0.0 -> #0.1"));
            EXPECT_EQ(logged(" [sync #0.1]"), c.maps[1].SyncStreamIndex == 1);
        }
        engine.FinalCleanup();
        EXPECT_TRUE(engine.OpenCodecs.Empty());
    }
}

TEST_F(SetupTest, AudioCopyAcceptsOnlyTheUnchangedVolume) {
    const struct {
        const char* volume;
        const char* failure;
    } cases[] = {
        {"256", ""},
        {"300", "-acodec copy and -vol are incompatible (frames are not decoded)"},
        {"100", "-acodec copy and -vol are incompatible (frames are not decoded)"},
    };
    for (const auto& c : cases) {
        engine.InitOptionContexts();
        openInput(TestMedia::kAviMpeg4Mp3);
        openOutput("copy.avi", std::string("acodec=copy\nvol=") + c.volume);
        EXPECT_EQ(transcodeFailure(), c.failure) << c.volume;
        engine.FinalCleanup();
    }
}

TEST_F(SetupTest, VideoCopyRefusesFrameHooks) {
    openInput(TestMedia::kAviMpeg4Mp3);
    openOutput("copy.avi", "vcodec=copy");
    engine.UsingVideoHook = 1;
    EXPECT_EQ(transcodeFailure(),
              "-vcodec copy and -vhook are incompatible (frames are not decoded)");
}

// An engine whose owner handles every decoded picture.
struct HookedEngine : TCustomFFmpeg {
    bool CustomHookAssigned() const override { return true; }
};

class HookedSetupTest : public EngineFixture<HookedEngine> {};

TEST_F(HookedSetupTest, VideoCopyRefusesTheCustomHook) {
    ASSERT_TRUE(engine.OpenInput(TestMediaPath(TestMedia::kAviMpeg4Mp3.name)));
    engine.ApplyOptionText("vcodec=copy");
    ASSERT_TRUE(engine.OpenOutput(scratch("copy.avi"))) << engine.ErrorText;
    try {
        engine.Transcode(engine.OutputFiles, engine.OutputFileCount, engine.InputFiles,
                         engine.InputFileCount, engine.StreamMaps, engine.StreamMapCount);
        ADD_FAILURE() << "the copy was set up";
    } catch (const FFMpegException& error) {
        EXPECT_STREQ(error.what(),
                     "-vcodec copy and CustomHook are incompatible (frames are not decoded)");
    }
}

TEST_F(SetupTest, AnEncoderThatRefusesItsSettingsIsLoggedAndNamed) {
    openInput(TestMedia::kAviMpeg4Mp3);
    // The MJPEG encoder takes full-range pictures only.
    openOutput("refused.avi", "vcodec=mjpeg\npix_fmt=yuv420p");
    const std::string failure = transcodeFailure();
    EXPECT_EQ(failure.rfind("The MJPEG encoder (mjpeg) refused 320 x 240", 0), 0u) << failure;
    EXPECT_TRUE(logged("Error while opening codec for output stream #0.0 - maybe incorrect "
                       "parameters such as bit_rate, rate, width or height"));
}

TEST_F(SetupTest, StatisticsFilesThatCannotBeCreatedFailTheTask) {
    openInput(TestMedia::kAviMpeg4Mp3);
    const std::string prefix = scratch("missing/stats");
    openOutput("pass1.avi", "pass=1\npasslogfile=" + prefix);
    EXPECT_EQ(transcodeFailure(), "creat file fail: " + prefix + "-0.log");
    engine.FinalCleanup();

    engine.InitOptionContexts();
    openInput(TestMedia::kAviMpeg4Mp3);
    const std::string vstats = scratch("missing/vstats.log");
    openOutput("vstats.avi", "vstats_file=" + vstats);
    EXPECT_EQ(transcodeFailure(), "fopen fail: " + vstats);
}

TEST_F(SetupTest, StreamCopyKeepsTheInputParameters) {
    openInput(TestMedia::kAviMpeg4Mp3);
    openOutput("copy.mkv", "vcodec=copy\nacodec=copy");
    EXPECT_EQ(transcodeFailure(), "");
    const AVCodecParameters* video = engine.OutputFiles[0]->streams[0]->codecpar;
    EXPECT_EQ(video->codec_id, AV_CODEC_ID_MPEG4);
    EXPECT_EQ(video->width, 320);
    EXPECT_EQ(engine.OutputFiles[0]->streams[1]->codecpar->codec_id, AV_CODEC_ID_MP3);
}

TEST_F(SetupTest, StreamCopyTakesTheCoarserClockOfAFineStream) {
    // MP4 streams count in fine ticks; the copy counts in frames as the codec does.
    openInput(TestMedia::kMp4H264Aac);
    ASSERT_LT(av_q2d(engine.InputFiles[0]->streams[0]->time_base), 0.001);
    openOutput("copy.avi", "vcodec=copy\nacodec=copy");
    EXPECT_EQ(transcodeFailure(), "");
    // The AVI muxer keeps the clock it is given.
    const AVRational base = engine.OutputFiles[0]->streams[0]->time_base;
    EXPECT_EQ(base.num, 1001);
    EXPECT_EQ(base.den, 30000);
}

TEST_F(SetupTest, TwoPassLogFiles) {
    const std::string prefix = scratch("stats");
    openInput(TestMedia::kAviMpeg4Mp3);
    openOutput("pass2.avi", "pass=2\npasslogfile=" + prefix);
    EXPECT_EQ(transcodeFailure(), "creat open fail: " + prefix + "-0.log");
    engine.FinalCleanup();

    engine.InitOptionContexts();
    openInput(TestMedia::kAviMpeg4Mp3);
    openOutput("pass1.avi", "pass=1\npasslogfile=" + prefix);
    EXPECT_EQ(transcodeFailure(), "");
    EXPECT_TRUE(fs::exists(prefix + "-0.log"));
    EXPECT_FALSE(fs::exists(prefix + "-1.log")); // the audio stream has no second pass
}

TEST_F(SetupTest, AFailureAfterTheCodecsOpenedLeavesThemToTheFinalCleanup) {
    openInput(TestMedia::kAviMpeg4Mp3);
    openOutput("out.avi", "map_meta_data=5:0");
    EXPECT_EQ(transcodeFailure(), "Invalid output file index 5 map_meta_data(5,0)");
    // Encoder and decoder of both streams are still listed, the state is freed.
    EXPECT_EQ(engine.OpenCodecs.Count(), 4u);
    EXPECT_TRUE(engine.OutputStreams.empty());
    EXPECT_EQ(engine.BitBuffer, nullptr);
    engine.FinalCleanup();
    EXPECT_TRUE(engine.OpenCodecs.Empty());
}

TEST_F(SetupTest, ReleasingTheTaskClosesCodecsLeftOpen) {
    openInput(TestMedia::kAviMpeg4Mp3);
    openOutput("out.avi", "map_meta_data=0:3");
    EXPECT_EQ(transcodeFailure(), "Invalid input file index 3 map_meta_data(0,3)");
    EXPECT_FALSE(engine.OpenCodecs.Empty());
    engine.ReleaseState();
    EXPECT_TRUE(engine.OpenCodecs.Empty());
    EXPECT_EQ(engine.StreamCodecs.Count(), 0u);
}

TEST_F(SetupTest, RtpOutputsLogTheirSessionDescription) {
    openInput(TestMedia::kVideoOnly);
    engine.ApplyOptionText("f=rtp\nvcodec=mpeg4");
    ASSERT_TRUE(engine.OpenOutput("rtp://127.0.0.1:23456")) << engine.ErrorText;
    EXPECT_EQ(transcodeFailure(), "");
    int sdpLines = 0;
    for (const std::string& line : logLines)
        if (line.rfind("SDP: ", 0) == 0) {
            ++sdpLines;
            EXPECT_NE(line.find("m=video 23456 RTP/AVP"), std::string::npos) << line;
            EXPECT_NE(line.back(), '\n');
        }
    EXPECT_EQ(sdpLines, 1);
}

TEST_F(SetupTest, OutputsWithoutStreamsAndUnmatchedKinds) {
    openInput(TestMedia::kMp3Audio);
    openOutput("out.avi", "vcodec=mpeg4");
    // The input has no video, so the output got only its audio stream; a video stream
    // added by hand has no source.
    engine.ApplyOptionText("vcodec=mpeg4\nnewvideo=1");
    EXPECT_EQ(transcodeFailure(), "Could not find input stream matching output stream #0.1");

    engine.InitOptionContexts();
    openInput(TestMedia::kMp3Audio);
    openOutput("none.avi", "an=1");
    EXPECT_EQ(transcodeFailure(), "Output file does not contain any stream");
}

} // namespace
