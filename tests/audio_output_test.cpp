// The audio output path on real encoders and muxers: samples in equal samples out for the
// framed and the PCM encoders (short last frames included), resampling of rate and channel
// count, and the sync method's silence, dropping and drift compensation.
#include "AVCodecHlpr.h"
#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"
#include "AudioStart.h"
#include "FFmpeg.h"
#include "MediaLibraries.h"
#include "TestMedia.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// What decoding a written file gives.
struct DecodedFile {
    int64_t samples = 0;
    int rateHz = 0;
    int channels = 0;
    int zeroCrossings = 0; // of the first channel
    bool ok = false;
};

// A tone crosses zero when it passes this level of the other sign (full scale 1).
constexpr float kCrossingLevel = 0.05f;

// Decodes the first audio stream of `path` through the bound libraries.
DecodedFile decodeFile(const std::string& path) {
    DecodedFile result;
    AVFormatContext* input = nullptr;
    if (lavf.avformat_open_input(&input, path.c_str(), nullptr, nullptr) < 0)
        return result;
    AVCodecContext* decoder = nullptr;
    AVPacket* packet = lavc.av_packet_alloc();
    AVFrame* frame = lavu.av_frame_alloc();
    int stream = -1;
    if (lavf.avformat_find_stream_info(input, nullptr) >= 0)
        stream = lavf.av_find_best_stream(input, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (stream >= 0) {
        const AVCodecParameters* parameters = input->streams[stream]->codecpar;
        const AVCodec* codec = lavc.avcodec_find_decoder(parameters->codec_id);
        decoder = lavc.avcodec_alloc_context3(codec);
        if (codec && decoder && lavc.avcodec_parameters_to_context(decoder, parameters) >= 0 &&
            lavc.avcodec_open2(decoder, codec, nullptr) >= 0) {
            result.ok = true;
            bool positive = false;
            auto drain = [&] {
                while (lavc.avcodec_receive_frame(decoder, frame) >= 0) {
                    result.samples += frame->nb_samples;
                    result.rateHz = frame->sample_rate;
                    result.channels = frame->ch_layout.nb_channels;
                    for (int i = 0; i < frame->nb_samples; ++i) {
                        float value = 0;
                        const int at =
                            lavu.av_sample_fmt_is_planar(static_cast<AVSampleFormat>(frame->format))
                                ? i
                                : i * result.channels;
                        switch (lavu.av_get_packed_sample_fmt(
                            static_cast<AVSampleFormat>(frame->format))) {
                        case AV_SAMPLE_FMT_S16:
                            value = reinterpret_cast<const int16_t*>(frame->data[0])[at] / 32768.0f;
                            break;
                        case AV_SAMPLE_FMT_S32:
                            value = static_cast<float>(
                                reinterpret_cast<const int32_t*>(frame->data[0])[at] /
                                2147483648.0);
                            break;
                        case AV_SAMPLE_FMT_FLT:
                            value = reinterpret_cast<const float*>(frame->data[0])[at];
                            break;
                        default:
                            break;
                        }
                        // With some hysteresis, so that coding noise around zero and in
                        // padded silence does not count.
                        if ((positive && value < -kCrossingLevel) ||
                            (!positive && value > kCrossingLevel)) {
                            positive = !positive;
                            ++result.zeroCrossings;
                        }
                    }
                    lavu.av_frame_unref(frame);
                }
            };
            while (lavf.av_read_frame(input, packet) >= 0) {
                if (packet->stream_index == stream &&
                    lavc.avcodec_send_packet(decoder, packet) >= 0)
                    drain();
                lavc.av_packet_unref(packet);
            }
            lavc.avcodec_send_packet(decoder, nullptr);
            drain();
        }
    }
    lavu.av_frame_free(&frame);
    lavc.av_packet_free(&packet);
    lavc.avcodec_free_context(&decoder);
    lavf.avformat_close_input(&input);
    return result;
}

// 16-bit interleaved samples of a 440 Hz tone, the same on every channel.
std::vector<uint8_t> tone(int samples, int channels, int rateHz, int64_t firstSample = 0) {
    std::vector<int16_t> values(static_cast<std::size_t>(samples) * channels);
    for (int i = 0; i < samples; ++i) {
        const double t = static_cast<double>(firstSample + i) / rateHz;
        const auto value = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440 * t));
        for (int c = 0; c < channels; ++c)
            values[static_cast<std::size_t>(i) * channels + c] = value;
    }
    std::vector<uint8_t> bytes(values.size() * 2);
    std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes;
}

// An engine with one input audio stream and one encoding audio output, prepared the way
// the transcode set-up prepares them, so that the audio path can be fed directly.
class AudioPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
        engine.InitOptionContexts();
        engine.LogCallback = [this](int, const std::string& text) { logLines.push_back(text); };
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name =
            std::string("vidbrisk-audio-") + info->name() + "-" + std::to_string(::getpid());
        for (char& c : name)
            if (c == '/')
                c = '_';
        folder = fs::temp_directory_path() / name;
        fs::create_directories(folder);
    }
    void TearDown() override {
        engine.FinalCleanup();
        EXPECT_TRUE(engine.OpenCodecs.Empty());
        engine.ReleaseState();
        fs::remove_all(folder);
    }
    std::string scratch(const std::string& name) const { return (folder / name).string(); }

    // Opens the clip and the output with the options, opens the encoder and writes the
    // header. `decodedRateHz` / `decodedChannels` (when set) stand for what the decoder
    // reports.
    void prepare(const TestClip& clip, const std::string& outputName, const std::string& options,
                 int decodedRateHz = 0, int decodedChannels = 0) {
        ASSERT_TRUE(engine.OpenInput(TestMediaPath(clip.name))) << engine.ErrorText;
        engine.ApplyOptionText(options);
        outputPath = scratch(outputName);
        ASSERT_TRUE(engine.OpenOutput(outputPath)) << engine.ErrorText;
        AVFormatContext* input = engine.InputFiles[0];
        output = engine.OutputFiles[0];
        ASSERT_EQ(output->nb_streams, 1u);

        InputStreamState ist;
        ist.StreamIndex = clip.firstAudioStream;
        ist.Stream = input->streams[clip.firstAudioStream];
        ist.Codec = &engine.StreamCodecs.Find(input, clip.firstAudioStream)->Codec;
        ist.Discard = 0;
        ist.DecodingNeeded = 1;
        AVCodecContext* dec = *ist.Codec;
        if (decodedRateHz)
            dec->sample_rate = decodedRateHz;
        if (decodedChannels) {
            lavu.av_channel_layout_uninit(&dec->ch_layout);
            lavu.av_channel_layout_default(&dec->ch_layout, decodedChannels);
        }
        engine.InputStreams = {ist};

        OutputStreamState ost;
        ost.Stream = output->streams[0];
        ost.Codec = &engine.StreamCodecs.Find(output, 0)->Codec;
        ost.EncodingNeeded = 1;
        ost.Fifo = lavu.av_fifo_alloc2(1024, 1, AV_FIFO_FLAG_AUTO_GROW);
        AVCodecContext* enc = *ost.Codec;
        ost.AudioResample = enc->sample_rate != dec->sample_rate || engine.AudioSyncMethod > 1 ||
                            enc->ch_layout.nb_channels != dec->ch_layout.nb_channels;
        const AVCodec* encoder = enc->codec ? enc->codec : lavc.avcodec_find_encoder(enc->codec_id);
        ASSERT_NE(encoder, nullptr);
        ASSERT_GE(lavc.avcodec_open2(enc, encoder, nullptr), 0);
        engine.OpenCodecs.Encoders.push_back(ost.Codec);
        ASSERT_GE(lavc.avcodec_parameters_from_context(ost.Stream->codecpar, enc), 0);
        ost.Stream->time_base = enc->time_base;
        engine.OutputStreams = {ost};
        ASSERT_GE(lavf.avformat_write_header(output, nullptr), 0);
    }
    InputStreamState& ist() { return engine.InputStreams[0]; }
    OutputStreamState& ost() { return engine.OutputStreams[0]; }
    AVCodecContext* enc() { return *ost().Codec; }
    int decRate() { return (*ist().Codec)->sample_rate; }
    int decChannels() { return (*ist().Codec)->ch_layout.nb_channels; }

    // One block at the input time `ptsUs`; returns the audio bytes it produced.
    int64_t feedAt(int64_t ptsUs, const std::vector<uint8_t>& block) {
        const int64_t before = engine.AudioBytes;
        ist().Pts = ptsUs;
        engine.AudioOut(output, ost(), ist(), block.data(), static_cast<int>(block.size()));
        return engine.AudioBytes - before;
    }
    // `total` samples of a tone in blocks of `blockSamples`, with the input clock running
    // along as the packet loop keeps it.
    void feedTone(int total, int blockSamples) {
        for (int done = 0; done < total; done += blockSamples) {
            const int samples = std::min(blockSamples, total - done);
            feedAt(static_cast<int64_t>(done) * 1000000 / decRate(),
                   tone(samples, decChannels(), decRate(), done));
        }
    }
    DecodedFile finish() {
        engine.FlushAudioEncoder(output, ost());
        EXPECT_GE(lavf.av_write_trailer(output), 0);
        return decodeFile(outputPath);
    }
    bool logged(const std::string& text) const {
        return std::find(logLines.begin(), logLines.end(), text) != logLines.end();
    }

    TCustomFFmpeg engine;
    std::vector<std::string> logLines;
    fs::path folder;
    std::string outputPath;
    AVFormatContext* output = nullptr;
};

// One encoder of the catalogue in its usual container.
struct EncoderCase {
    const char* name;
    const TestClip* clip;
    const char* outputName;
    const char* options;
    int rateHz;
    int channels;
    // Decoded samples may exceed the samples fed by the padding of the last frame and the
    // encoder delay the container does not trim.
    int extraSamples;
};

void PrintTo(const EncoderCase& c, std::ostream* out) {
    *out << c.name;
}

const EncoderCase kEncoderCases[] = {
    {"Mp2", &TestMedia::kMp3Audio, "out.mp2", "acodec=mp2\nar=44100\nac=2", 44100, 2, 1152},
    {"Mp3", &TestMedia::kMp3Audio, "out.mp3", "acodec=mp3\nar=44100\nac=2\nab=128000", 44100, 2,
     1152},
    {"Aac", &TestMedia::kMp3Audio, "out.mp4", "acodec=mpeg4aac\nar=44100\nac=2", 44100, 2, 1024},
    {"Pcm", &TestMedia::kMp3Audio, "out.wav", "acodec=pcm_s16le\nar=44100\nac=2", 44100, 2, 0},
    {"Ac3", &TestMedia::kMp3Audio, "out.ac3", "acodec=ac3\nar=48000\nac=2\nab=192000", 48000, 2,
     1536 + 256},
    {"AmrNarrowBand", &TestMedia::kWavMono8k, "out.amr",
     "acodec=libamr_nb\nar=8000\nac=1\nab=12200", 8000, 1, 160},
};

class AudioEncoders : public AudioPathTest, public ::testing::WithParamInterface<EncoderCase> {};

TEST_P(AudioEncoders, EverySampleFedComesOutIncludingTheShortLastFrame) {
    const EncoderCase& c = GetParam();
    // The decoder's rate matches the encoder's, so only framing is at work.
    ASSERT_NO_FATAL_FAILURE(prepare(*c.clip, c.outputName, c.options, c.rateHz, c.channels));
    ASSERT_EQ(ost().AudioResample, 0);
    // One second and a bit, so that the last frame is short.
    const int fed = c.rateHz + 77;
    feedTone(fed, 1000);
    const DecodedFile decoded = finish();
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(ost().SyncOpts, fed);
    EXPECT_EQ(decoded.rateHz, c.rateHz);
    EXPECT_EQ(decoded.channels, c.channels);
    EXPECT_GE(decoded.samples, fed);
    EXPECT_LE(decoded.samples, fed + c.extraSamples);
    EXPECT_GT(engine.AudioBytes, 0);
    EXPECT_GT(ost().FrameNumber, 0);
    // 440 Hz: two zero crossings per period.
    EXPECT_NEAR(decoded.zeroCrossings, 880.0 * fed / c.rateHz, 30);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, AudioEncoders, ::testing::ValuesIn(kEncoderCases),
                         [](const ::testing::TestParamInfo<EncoderCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(AudioPathTest, StereoAt44100BecomesMonoAt22050) {
    ASSERT_NO_FATAL_FAILURE(
        prepare(TestMedia::kMp3Audio, "out.wav", "acodec=pcm_s16le\nar=22050\nac=1", 44100, 2));
    ASSERT_EQ(ost().AudioResample, 1);
    feedTone(44100, 1152);
    ASSERT_NE(ost().Resampler, nullptr);
    const DecodedFile decoded = finish();
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.rateHz, 22050);
    EXPECT_EQ(decoded.channels, 1);
    EXPECT_NEAR(static_cast<double>(decoded.samples), 22050, 2);
    EXPECT_NEAR(decoded.zeroCrossings, 880, 10); // still 440 Hz
}

TEST_F(AudioPathTest, ResamplingIntoAFramedEncoderKeepsTheDuration) {
    ASSERT_NO_FATAL_FAILURE(
        prepare(TestMedia::kWavMono8k, "out.mp2", "acodec=mp2\nar=44100\nac=2", 8000, 1));
    feedTone(8000, 1000);
    const DecodedFile decoded = finish();
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.channels, 2);
    EXPECT_GE(decoded.samples, 44100 - 2);
    EXPECT_LE(decoded.samples, 44100 + 1152);
}

TEST_F(AudioPathTest, MonoToStereoCreatesAResamplerEvenAtTheSameRate) {
    ASSERT_NO_FATAL_FAILURE(
        prepare(TestMedia::kWavMono8k, "out.wav", "acodec=pcm_s16le\nar=8000\nac=2", 8000, 1));
    ost().AudioResample = 0; // as if the set-up had not seen the difference
    const int64_t bytes = feedAt(0, tone(1000, 1, 8000));
    EXPECT_EQ(ost().AudioResample, 1);
    EXPECT_NE(ost().Resampler, nullptr);
    EXPECT_NEAR(static_cast<double>(bytes), 1000 * 2 * 2, 64); // less the filter's delay
    const DecodedFile decoded = finish();
    EXPECT_EQ(decoded.channels, 2);
    EXPECT_EQ(decoded.samples, 1000);
}

TEST_F(AudioPathTest, ADecoderChangingItsRateGetsANewResampler) {
    ASSERT_NO_FATAL_FAILURE(
        prepare(TestMedia::kMp3Audio, "out.wav", "acodec=pcm_s16le\nar=22050\nac=2", 44100, 2));
    feedTone(4410, 441);
    const SwrContext* first = ost().Resampler;
    ASSERT_NE(first, nullptr);
    (*ist().Codec)->sample_rate = 22050; // e.g. a stream that reported twice its real rate
    const int64_t bytes = feedAt(200000, tone(2205, 2, 22050));
    EXPECT_NEAR(static_cast<double>(bytes), 2205 * 4, 64 * 4);
}

TEST_F(AudioPathTest, AStalledInputClockNeverStampsFramesBackwards) {
    ASSERT_NO_FATAL_FAILURE(
        prepare(TestMedia::kMp3Audio, "out.mp4", "acodec=aac\nar=44100\nac=2", 44100, 2));
    // Every block claims the same input time; the muxer refuses stamps that go back.
    for (int block = 0; block < 10; ++block)
        ASSERT_NO_THROW(feedAt(0, tone(2000, 2, 44100, block * 2000)));
    const DecodedFile decoded = finish();
    ASSERT_TRUE(decoded.ok);
    EXPECT_GE(decoded.samples, 20000);
    EXPECT_LE(decoded.samples, 20000 + 1024);
}

TEST_F(AudioPathTest, TwentyFourBitPcmTakesHalfAsManyBytesAgain) {
    ASSERT_NO_FATAL_FAILURE(
        prepare(TestMedia::kWavMono8k, "out.wav", "acodec=pcm_s24le\nar=8000\nac=1", 8000, 1));
    EXPECT_EQ(feedAt(0, tone(500, 1, 8000)), 1500); // 1000 bytes of 16-bit samples
    EXPECT_EQ(ost().SyncOpts, 500);
}

// Sync method 1 on 8 kHz mono PCM, where bytes out = 2 x samples out.
class AudioSyncTest : public AudioPathTest {
protected:
    void prepareSync(int method, const std::string& output = "out.wav") {
        engine.AudioSyncMethod = method;
        engine.Verbosity = 3;
        prepare(TestMedia::kWavMono8k, output, "acodec=pcm_s16le\nar=8000\nac=1", 8000, 1);
    }
};

TEST_F(AudioSyncTest, AudioStartingLatePutsSilenceInFront) {
    ASSERT_NO_FATAL_FAILURE(prepareSync(1));
    EXPECT_EQ(feedAt(2000000, tone(1000, 1, 8000)), (16000 + 1000) * 2);
    EXPECT_EQ(ist().IsStart, 0);
    EXPECT_EQ(ost().SyncOpts, 17000);
    EXPECT_TRUE(logged("adding 16000 audio samples of silence"));
    // In step now: the next block goes out as it is.
    EXPECT_EQ(feedAt(2125000, tone(1000, 1, 8000)), 2000);
}

TEST_F(AudioSyncTest, ALongGapIsClosedInBlocksOfAtMost131072Bytes) {
    ASSERT_NO_FATAL_FAILURE(prepareSync(1));
    std::vector<int64_t> written;
    int64_t fed = 0;
    while (ist().IsStart && written.size() < 10) {
        written.push_back(feedAt(10000000 + fed * 1000000 / 8000, tone(1000, 1, 8000)));
        fed += 1000;
    }
    ASSERT_EQ(written.size(), 2u); // 80000 samples of silence: 64536 + 15464
    EXPECT_EQ(written[0], 131072);
    EXPECT_EQ(written[1], (80000 - 64536 + 1000) * 2);
    EXPECT_EQ(ost().SyncOpts, 80000 + fed);
    EXPECT_EQ(feedAt(10000000 + fed * 1000000 / 8000, tone(1000, 1, 8000)), 2000);
}

TEST_F(AudioSyncTest, AudioStartingEarlyDropsLeadingSamples) {
    ASSERT_NO_FATAL_FAILURE(prepareSync(1));
    engine.StartTime = 500000;                    // the output begins half a second into the input
    EXPECT_EQ(feedAt(0, tone(1000, 1, 8000)), 0); // dropped entirely: no packet
    EXPECT_EQ(ost().FrameNumber, 0);
    EXPECT_EQ(ist().IsStart, 1);
    EXPECT_TRUE(logged("discarding 4000 audio samples"));
    // 600 samples early: the first 600 of 1000 go.
    EXPECT_EQ(feedAt(500000 - 75000, tone(1000, 1, 8000)), 400 * 2);
    EXPECT_EQ(ist().IsStart, 0);
}

TEST_F(AudioSyncTest, ADriftOf40SamplesIsLeftAlone) {
    ASSERT_NO_FATAL_FAILURE(prepareSync(1));
    EXPECT_EQ(feedAt(5000, tone(1000, 1, 8000)), 2000); // 40 samples late
    EXPECT_EQ(ist().IsStart, 1);
    EXPECT_EQ(feedAt(125000 - 5000, tone(1000, 1, 8000)), 2000); // 40 samples early
    EXPECT_TRUE(logLines.empty());
}

TEST_F(AudioSyncTest, WithoutSyncTheOutputClockFollowsTheInput) {
    ASSERT_NO_FATAL_FAILURE(prepareSync(0, "out.mkv"));
    EXPECT_EQ(feedAt(2000000, tone(1000, 1, 8000)), 2000); // nothing inserted
    EXPECT_EQ(ost().SyncOpts, 17000);                      // but stamped at 2 s
}

// A WAV file cannot say where its sound starts: late sound gets silence in front once.
TEST_F(AudioSyncTest, WithoutSyncLateSoundIsPaddedWhereTheFileHasNoStreamStart) {
    ASSERT_NO_FATAL_FAILURE(prepareSync(0));
    EXPECT_EQ(feedAt(2000000, tone(1000, 1, 8000)), (16000 + 1000) * 2);
    EXPECT_EQ(ist().IsStart, 0);
    EXPECT_EQ(feedAt(2125000, tone(1000, 1, 8000)), 2000);
    EXPECT_EQ(ost().SyncOpts, 18000);
}

TEST_F(AudioSyncTest, ASmallDriftIsCompensatedByTheResampler) {
    ASSERT_NO_FATAL_FAILURE(prepareSync(1000));
    ASSERT_EQ(ost().AudioResample, 1);
    ist().IsStart = 0;
    int64_t bytes = 0;
    // The input runs 200 samples (25 ms) ahead of what was written, below the 0.1 s
    // threshold: the resampler stretches instead of inserting silence.
    for (int block = 0; block < 4; ++block)
        bytes += feedAt(25000 + block * 125000, tone(1000, 1, 8000));
    EXPECT_TRUE(logged("compensating audio timestamp drift:200.000000 compensation:200 in:8000"));
    EXPECT_GT(bytes / 2, 4000 + 50);
    EXPECT_LT(bytes / 2, 4000 + 200);
}

} // namespace

namespace {

// The samples an encoder's decoders play before its first input sample, found by a round
// trip: the encoder's priming, or, for an encoder whose decoder drops its first two frames
// (WMA), a negative count.
TEST(DecodedLead, IsWhatTheEncodersOwnDecoderPlaysBeforeTheFirstSample) {
    ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
    struct Case {
        const char* encoder;
        int lead;
    };
    const Case cases[] = {{"aac", 1024}, {"libmp3lame", 1105}, {"wmav2", -2048}, {"flac", 0}};
    for (const Case& c : cases) {
        const AVCodec* codec = lavc.avcodec_find_encoder_by_name(c.encoder);
        ASSERT_NE(codec, nullptr) << c.encoder;
        AVCodecContext* enc = lavc.avcodec_alloc_context3(codec);
        enc->sample_fmt = codec->sample_fmts[0];
        enc->sample_rate = 44100;
        enc->time_base = {1, 44100};
        enc->bit_rate = 128000;
        lavu.av_channel_layout_default(&enc->ch_layout, 2);
        ASSERT_GE(lavc.avcodec_open2(enc, codec, nullptr), 0) << c.encoder;
        EXPECT_EQ(AudioTiming::MeasureDecodedLead(enc), c.lead) << c.encoder;
        lavc.avcodec_free_context(&enc);
    }
}

} // namespace
