// The option state's defaults and option contexts, the generic option path with the old
// option names, copying generic options onto real encoders and muxers, and the codec
// look-up with the old encoder names.
#include "AVCodecHlpr.h"
#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"
#include "FFmpeg.h"
#include "MediaLibraries.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class GenericOptions : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
        engine.InitOptionContexts();
    }
    void TearDown() override {
        for (AVCodecContext*& context : encoders)
            lavc.avcodec_free_context(&context);
    }
    // An encoder context for the named encoder, freed after the test.
    AVCodecContext* encoder(const char* name) {
        const AVCodec* codec = lavc.avcodec_find_encoder_by_name(name);
        if (!codec)
            return nullptr;
        encoders.push_back(lavc.avcodec_alloc_context3(codec));
        return encoders.back();
    }
    AVCodecContext* video() { return engine.CodecOptionContexts[AVMEDIA_TYPE_VIDEO]; }
    AVCodecContext* audio() { return engine.CodecOptionContexts[AVMEDIA_TYPE_AUDIO]; }
    TCustomFFmpeg engine;
    std::vector<AVCodecContext*> encoders;
};

TEST_F(GenericOptions, ResetOptionsRestoresEveryDefault) {
    engine.ApplyOptionText("s=640x480\nr=25\nqscale=4\nar=22050\nac=1\naq=3\nmuxpreload=1\n"
                           "muxdelay=2\nt=5\ntop=1\ndc=9\nloop_output=2\nvsync=1\nasync=1\n"
                           "adrift_threshold=1\nvol=100\nv=2\ndts_delta_threshold=1\n"
                           "map=0:0\nmap_meta_data=0:0\npix_fmt=yuv422p\npadcolor=255\n"
                           "vframes=5\naframes=5\ndframes=5\ntitle=x\nvcodec=copy\ngop=12");
    engine.ResetOptions();
    const TCustomFFmpeg& e = engine;
    for (int kind = 0; kind < 4; ++kind)
        EXPECT_EQ(e.MaxFrames[kind], INT32_MAX);
    EXPECT_EQ(e.FrameWidth, 0);
    EXPECT_EQ(e.FrameHeight, 0);
    EXPECT_EQ(e.FrameRate.num, 0);
    EXPECT_EQ(e.FrameRate.den, 0);
    EXPECT_EQ(e.FramePixelFormat, -1);
    EXPECT_EQ(e.PadColorYUV[0], 16);
    EXPECT_EQ(e.PadColorYUV[1], 128);
    EXPECT_EQ(e.PadColorYUV[2], 128);
    EXPECT_EQ(e.VideoQScale, 0);
    EXPECT_EQ(e.TopFieldFirst, -1);
    EXPECT_EQ(e.IntraDcPrecision, 8);
    EXPECT_EQ(e.LoopOutput, -1);
    EXPECT_EQ(e.AudioSampleRate, 44100);
    EXPECT_EQ(e.AudioChannels, 2);
    EXPECT_EQ(e.AudioQScale, -99999);
    EXPECT_FLOAT_EQ(e.MuxPreload, 0.5f);
    EXPECT_FLOAT_EQ(e.MuxMaxDelay, 0.7f);
    EXPECT_EQ(e.RecordingTime, INT64_MAX);
    EXPECT_EQ(e.VideoSyncMethod, -1);
    EXPECT_EQ(e.AudioSyncMethod, 0);
    EXPECT_FLOAT_EQ(e.AudioDriftThreshold, 0.1f);
    EXPECT_EQ(e.AudioVolume, 256);
    EXPECT_EQ(e.Verbosity, 1);
    EXPECT_EQ(e.ThreadCount, 0);
    EXPECT_FLOAT_EQ(e.DtsDeltaThreshold, 10.0f);
    EXPECT_EQ(e.ScalerFlags, 4);
    EXPECT_EQ(e.StreamMapCount, 0);
    EXPECT_EQ(e.MetadataMapCount, 0);
    EXPECT_EQ(e.VideoStreamCopy, 0);
    EXPECT_TRUE(e.Title.empty());
    EXPECT_TRUE(e.GenericOptionNames.empty());
    EXPECT_EQ(e.BitBufferSize, 262144);
}

TEST_F(GenericOptions, OptionContextsOnePerKindAndReleased) {
    for (int kind = 0; kind < kCodecOptionKinds; ++kind) {
        ASSERT_NE(engine.CodecOptionContexts[kind], nullptr);
        EXPECT_EQ(engine.CodecOptionContexts[kind]->codec_type, kind);
    }
    ASSERT_NE(engine.FormatOptionContext, nullptr);
    ASSERT_NE(engine.ScalerOptionContext, nullptr);
    int64_t scalerFlags = 0;
    ASSERT_GE(lavu.av_opt_get_int(engine.ScalerOptionContext, "sws_flags", 0, &scalerFlags), 0);
    EXPECT_EQ(scalerFlags, SWS_BICUBIC);
    // A second set-up releases the first one's contexts (ASan reports a leak otherwise)
    // and starts over with the defaults and clear run flags.
    engine.SetOption("gop", "10");
    engine.SetOption("crf", "20");
    engine.StopRequested = true;
    engine.TotalDurationMs = 5;
    engine.InitOptionContexts();
    EXPECT_TRUE(engine.GenericOptionNames.empty());
    EXPECT_EQ(video()->gop_size, 12);
    EXPECT_EQ(engine.ApplyPrivateOptions(encoder("mpeg4"), AVMEDIA_TYPE_VIDEO), 0);
    EXPECT_FALSE(engine.StopRequested);
    EXPECT_EQ(engine.TotalDurationMs, -1);
    engine.ReleaseState();
    EXPECT_EQ(engine.CodecOptionContexts[AVMEDIA_TYPE_VIDEO], nullptr);
    EXPECT_EQ(engine.FormatOptionContext, nullptr);
    EXPECT_EQ(engine.ScalerOptionContext, nullptr);
    EXPECT_FALSE(engine.SetGenericOption("g", "5"));
}

TEST_F(GenericOptions, OldNamesReachTheirContexts) {
    EXPECT_TRUE(engine.SetGenericOption("gop", "18"));
    EXPECT_EQ(video()->gop_size, 18);
    EXPECT_TRUE(engine.SetGenericOption("b", "2000000"));
    EXPECT_EQ(video()->bit_rate, 2000000);
    EXPECT_NE(audio()->bit_rate, 2000000) << "a video bit rate must not reach the audio context";
    EXPECT_TRUE(engine.SetGenericOption("ab", "128000"));
    EXPECT_EQ(audio()->bit_rate, 128000);
    EXPECT_EQ(video()->bit_rate, 2000000);
    EXPECT_TRUE(engine.SetGenericOption("vb", "900000"));
    EXPECT_EQ(video()->bit_rate, 900000);
    EXPECT_TRUE(engine.SetGenericOption("abt", "4000"));
    EXPECT_EQ(audio()->bit_rate_tolerance, 4000);
    EXPECT_TRUE(engine.SetGenericOption("maxrate", "9000000"));
    EXPECT_EQ(video()->rc_max_rate, 9000000);
    EXPECT_EQ(audio()->rc_max_rate, 0);
    EXPECT_TRUE(engine.SetGenericOption("packetsize", "2324"));
    EXPECT_EQ(engine.FormatOptionContext->packet_size, 2324u);
    EXPECT_TRUE(engine.SetGenericOption("sws_flags", "bilinear"));
    const std::vector<std::string> expected = {"g",  "b",       "ab",         "b",
                                               "bt", "maxrate", "packetsize", "sws_flags"};
    EXPECT_EQ(engine.GenericOptionNames, expected);
}

TEST_F(GenericOptions, NothingHappensForEmptyOrUnknownOptions) {
    EXPECT_FALSE(engine.SetGenericOption("", "1"));
    EXPECT_FALSE(engine.SetGenericOption("g", "  "));
    EXPECT_FALSE(engine.SetGenericOption("nosuchoption", "1"));
    EXPECT_FALSE(engine.SetGenericOption("g", "many")); // known, but the value is refused
    EXPECT_TRUE(engine.GenericOptionNames.empty());
    EXPECT_NO_THROW(engine.SetOption("nosuchoption", "1"));
    // Kept for the encoder, which ignores it, and opens normally.
    AVCodecContext* context = encoder("mpeg4");
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(engine.ApplyPrivateOptions(context, AVMEDIA_TYPE_VIDEO), 0);
    context->width = 64;
    context->height = 48;
    context->time_base = {1, 25};
    context->pix_fmt = AV_PIX_FMT_YUV420P;
    EXPECT_EQ(lavc.avcodec_open2(context, nullptr, nullptr), 0);
}

TEST_F(GenericOptions, ScanOffsetBecomesTheMpeg2EncoderOption) {
    engine.SetOption("flags", "+SCAN_OFFSET+qscale");
    EXPECT_TRUE(video()->flags & AV_CODEC_FLAG_QSCALE);
    AVCodecContext* context = encoder("mpeg2video");
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(engine.ApplyPrivateOptions(context, AVMEDIA_TYPE_VIDEO), 1);
    int64_t scanOffset = 0;
    ASSERT_GE(lavu.av_opt_get_int(context, "scan_offset", AV_OPT_SEARCH_CHILDREN, &scanOffset), 0);
    EXPECT_EQ(scanOffset, 1);
}

TEST_F(GenericOptions, MuxerOptionsReachTheMpegMuxer) {
    engine.SetOption("muxrate", "10080000");
    engine.SetOption("packetsize", "2048");
    engine.SetPrivateFormatOption("preload", "440000");
    AVFormatContext* output = nullptr;
    ASSERT_GE(lavf.avformat_alloc_output_context2(&output, nullptr, "dvd", nullptr), 0);
    EXPECT_EQ(engine.ApplyPrivateOptions(output, -1), 2);
    engine.CopyGenericOptions(output, engine.FormatOptionContext, AV_OPT_FLAG_ENCODING_PARAM);
    int64_t value = 0;
    ASSERT_GE(lavu.av_opt_get_int(output, "muxrate", AV_OPT_SEARCH_CHILDREN, &value), 0);
    EXPECT_EQ(value, 10080000);
    ASSERT_GE(lavu.av_opt_get_int(output, "preload", AV_OPT_SEARCH_CHILDREN, &value), 0);
    EXPECT_EQ(value, 440000);
    EXPECT_EQ(output->packet_size, 2048u);
    lavf.avformat_free_context(output);
}

TEST_F(GenericOptions, CopyReachesEncodersByKind) {
    engine.ApplyOptionText("gop=30\nb=512000\nab=96000\nbf=0\ndata_partitioning=1");
    AVCodecContext* videoEncoder = encoder("mpeg4");
    AVCodecContext* audioEncoder = encoder("mp2");
    ASSERT_TRUE(videoEncoder && audioEncoder);
    engine.CopyGenericOptions(videoEncoder, video(),
                              AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_VIDEO_PARAM);
    engine.CopyGenericOptions(audioEncoder, audio(),
                              AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_AUDIO_PARAM);
    EXPECT_EQ(videoEncoder->gop_size, 30);
    EXPECT_EQ(videoEncoder->bit_rate, 512000);
    EXPECT_EQ(videoEncoder->max_b_frames, 0);
    EXPECT_EQ(audioEncoder->bit_rate, 96000);
    EXPECT_NE(audioEncoder->gop_size, 30) << "a video option must not reach the audio encoder";
    // The encoder's private option was kept for it.
    EXPECT_EQ(engine.ApplyPrivateOptions(videoEncoder, AVMEDIA_TYPE_VIDEO), 1);
    int64_t partitioning = 0;
    ASSERT_GE(lavu.av_opt_get_int(videoEncoder, "data_partitioning", AV_OPT_SEARCH_CHILDREN,
                                  &partitioning),
              0);
    EXPECT_EQ(partitioning, 1);
}

TEST_F(GenericOptions, VideoRatesStayOffTheAudioEncoder) {
    engine.ApplyOptionText("b=2000000\nmaxrate=3000000\nbufsize=1835008");
    AVCodecContext* audioEncoder = encoder("mp2");
    ASSERT_NE(audioEncoder, nullptr);
    const int64_t bitRate = audioEncoder->bit_rate;
    engine.CopyGenericOptions(audioEncoder, audio(),
                              AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_AUDIO_PARAM);
    EXPECT_EQ(audioEncoder->bit_rate, bitRate);
    EXPECT_EQ(audioEncoder->rc_max_rate, 0);
    EXPECT_EQ(audioEncoder->rc_buffer_size, 0);
}

TEST_F(GenericOptions, DebugOptionRaisesTheVerbosity) {
    engine.SetOption("debug", "pict");
    EXPECT_EQ(engine.Verbosity, 2);
    EXPECT_EQ(lavu.av_log_get_level(), AV_LOG_DEBUG);
    EXPECT_EQ(MediaLogVerbosity(), AV_LOG_DEBUG);
}

TEST_F(GenericOptions, CodecLookupResolvesOldEncoderNames) {
    struct Case {
        const char* name;
        AVMediaType kind;
        const char* encoderName; // today's encoder, or null when it is not built in
        AVCodecID id;
    };
    const Case cases[] = {
        {"libfaac", AVMEDIA_TYPE_AUDIO, "aac", AV_CODEC_ID_AAC},
        {"mpeg4aac", AVMEDIA_TYPE_AUDIO, "aac", AV_CODEC_ID_AAC},
        {"libamr_nb", AVMEDIA_TYPE_AUDIO, "libopencore_amrnb", AV_CODEC_ID_AMR_NB},
        {"mp3", AVMEDIA_TYPE_AUDIO, "libmp3lame", AV_CODEC_ID_MP3},
        {"vorbis", AVMEDIA_TYPE_AUDIO, "libvorbis", AV_CODEC_ID_VORBIS},
        {"mpeg4", AVMEDIA_TYPE_VIDEO, "mpeg4", AV_CODEC_ID_MPEG4},
        {"libxvid", AVMEDIA_TYPE_VIDEO, "libxvid", AV_CODEC_ID_MPEG4},
    };
    for (const Case& c : cases) {
        if (!lavc.avcodec_find_encoder_by_name(c.encoderName)) {
            ADD_FAILURE() << c.encoderName << " missing from this libavcodec build";
            continue;
        }
        AVCodecID id = AV_CODEC_ID_NONE;
        const AVCodec* codec = nullptr;
        EXPECT_TRUE(engine.LookupCodec(c.name, c.kind, true, id, &codec)) << engine.ErrorText;
        EXPECT_EQ(id, c.id) << c.name;
        ASSERT_NE(codec, nullptr);
        EXPECT_STREQ(codec->name, c.encoderName);
    }
}

TEST_F(GenericOptions, CodecLookupFailuresKeepTheNameAskedFor) {
    struct Case {
        const char* name;
        AVMediaType kind;
        bool encoder;
        const char* message;
    };
    const Case cases[] = {
        {"nosuch", AVMEDIA_TYPE_VIDEO, true, "Unknown encoder 'nosuch'"},
        {"nosuch", AVMEDIA_TYPE_AUDIO, false, "Unknown decoder 'nosuch'"},
        {"mpeg4", AVMEDIA_TYPE_AUDIO, true, "Invalid encoder type 'mpeg4'"},
        {"libfaac", AVMEDIA_TYPE_VIDEO, true, "Invalid encoder type 'libfaac'"},
        {"mp3", AVMEDIA_TYPE_VIDEO, false, "Invalid decoder type 'mp3'"},
    };
    for (const Case& c : cases) {
        AVCodecID id = AV_CODEC_ID_MPEG1VIDEO;
        EXPECT_FALSE(engine.LookupCodec(c.name, c.kind, c.encoder, id)) << c.name;
        EXPECT_EQ(engine.ErrorText, c.message);
        EXPECT_EQ(id, AV_CODEC_ID_NONE);
    }
    AVCodecID id = AV_CODEC_ID_MPEG1VIDEO;
    EXPECT_TRUE(engine.LookupCodec("", AVMEDIA_TYPE_SUBTITLE, true, id));
    EXPECT_EQ(id, AV_CODEC_ID_NONE);
    EXPECT_TRUE(engine.LookupCodec("mp3", AVMEDIA_TYPE_AUDIO, false, id));
    EXPECT_EQ(id, AV_CODEC_ID_MP3);
}

} // namespace
