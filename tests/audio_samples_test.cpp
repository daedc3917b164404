// The audio path's sample arithmetic: volume scaling with rounding and clipping, and the
// conversion of decoded frames of every sample format to 16-bit interleaved samples.
#include "AVUtilHlpr.h"
#include "FFmpeg.h"
#include "MediaLibraries.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <vector>

namespace {

std::vector<uint8_t> bytesOf(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> bytes(samples.size() * 2);
    std::memcpy(bytes.data(), samples.data(), bytes.size());
    return bytes;
}

std::vector<int16_t> samplesOf(const uint8_t* bytes, std::size_t count) {
    std::vector<int16_t> samples(count);
    std::memcpy(samples.data(), bytes, count * 2);
    return samples;
}

struct VolumeCase {
    const char* name;
    int32_t volume;
    int16_t input;
    int16_t expected;
};

void PrintTo(const VolumeCase& c, std::ostream* out) {
    *out << c.name;
}

// (sample x volume + 128) >> 8, arithmetic shift, clipped to 16 bits.
const VolumeCase kVolumeCases[] = {
    {"Unchanged", 256, -12345, -12345},
    {"Double", 512, 1000, 2000},
    {"DoubleClipsHigh", 512, 20000, 32767},
    {"DoubleClipsLow", 512, -20000, -32768},
    {"HalfRoundsUp", 128, 3, 2},            // (384 + 128) >> 8
    {"HalfNegativeRounds", 128, -3, -1},    // (-384 + 128) >> 8 = -256 >> 8
    {"HalfOfMinusOne", 128, -1, 0},         // (-128 + 128) >> 8
    {"ShiftIsArithmetic", 1, -32768, -128}, // (-32768 + 128) >> 8 = -127.5 -> -128
    {"Mute", 0, -32768, 0},
    {"Inverted", -256, 1000, -1000},
    {"InvertedMinimumClips", -256, -32768, 32767},
    {"HugeVolumeClipsWithoutOverflow", 1 << 24, 32767, 32767},
    {"HugeVolumeClipsNegative", 1 << 24, -2, -32768},
};

class AudioVolume : public ::testing::TestWithParam<VolumeCase> {};

TEST_P(AudioVolume, ScalesRoundsAndClips) {
    const VolumeCase& c = GetParam();
    TCustomFFmpeg engine;
    engine.AudioVolume = c.volume;
    std::vector<uint8_t> bytes = bytesOf({c.input, c.input});
    engine.ApplyAudioVolume(bytes.data(), static_cast<int>(bytes.size()));
    EXPECT_EQ(samplesOf(bytes.data(), 2), (std::vector<int16_t>{c.expected, c.expected}));
}

INSTANTIATE_TEST_SUITE_P(Table, AudioVolume, ::testing::ValuesIn(kVolumeCases),
                         [](const ::testing::TestParamInfo<VolumeCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(AudioVolumeBlock, LeavesAnOddLastByteAndTheBytesBeyondTheSizeAlone) {
    TCustomFFmpeg engine;
    engine.AudioVolume = 512;
    std::vector<uint8_t> bytes = bytesOf({100, 200, 300});
    engine.ApplyAudioVolume(bytes.data(), 3); // one whole sample and a stray byte
    EXPECT_EQ(samplesOf(bytes.data(), 3), (std::vector<int16_t>{200, 200, 300}));
}

// Decoded frames of every sample format become 16-bit interleaved samples.
class DecodedAudio : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
        ist.Codec = &decoder;
    }
    void TearDown() override { lavu.av_frame_free(&frame); }
    // A frame of `samples` x `channels` in `format`, at 8 kHz, with zeroed buffers.
    void makeFrame(AVSampleFormat format, int channels, int samples) {
        frame = lavu.av_frame_alloc();
        ASSERT_NE(frame, nullptr);
        frame->format = format;
        frame->nb_samples = samples;
        frame->sample_rate = 8000;
        lavu.av_channel_layout_default(&frame->ch_layout, channels);
        ASSERT_GE(lavu.av_frame_get_buffer(frame, 0), 0);
    }
    template <typename T> T* plane(int index) {
        return reinterpret_cast<T*>(frame->extended_data[index]);
    }
    std::vector<int16_t> convert(int expectedSamples) {
        const int bytes = engine.ConvertDecodedAudio(ist, frame);
        EXPECT_EQ(bytes, expectedSamples * 2);
        if (bytes <= 0)
            return {};
        return samplesOf(engine.Audio.DecodeBuffer.data(), static_cast<std::size_t>(bytes) / 2);
    }
    TCustomFFmpeg engine;
    AVCodecContext* decoder = nullptr;
    InputStreamState ist;
    AVFrame* frame = nullptr;
};

TEST_F(DecodedAudio, PlanarFloatStereoIsInterleavedAndClipped) {
    makeFrame(AV_SAMPLE_FMT_FLTP, 2, 3);
    const float left[] = {0.5f, -1.0f, 1.5f};
    const float right[] = {-0.25f, 0.0f, -2.0f};
    std::memcpy(plane<float>(0), left, sizeof left);
    std::memcpy(plane<float>(1), right, sizeof right);
    EXPECT_EQ(convert(6), (std::vector<int16_t>{16384, -8192, -32768, 0, 32767, -32768}));
}

TEST_F(DecodedAudio, PlanarSixteenBitIsInterleaved) {
    makeFrame(AV_SAMPLE_FMT_S16P, 2, 2);
    plane<int16_t>(0)[0] = 1;
    plane<int16_t>(0)[1] = 2;
    plane<int16_t>(1)[0] = -1;
    plane<int16_t>(1)[1] = -2;
    EXPECT_EQ(convert(4), (std::vector<int16_t>{1, -1, 2, -2}));
}

TEST_F(DecodedAudio, PackedSixteenBitIsCopied) {
    makeFrame(AV_SAMPLE_FMT_S16, 1, 3);
    const int16_t mono[] = {-32768, 0, 32767};
    std::memcpy(plane<int16_t>(0), mono, sizeof mono);
    EXPECT_EQ(convert(3), (std::vector<int16_t>{-32768, 0, 32767}));
}

TEST_F(DecodedAudio, UnsignedEightBitAndThirtyTwoBitKeepTheirTopBits) {
    makeFrame(AV_SAMPLE_FMT_U8, 1, 3);
    plane<uint8_t>(0)[0] = 0;
    plane<uint8_t>(0)[1] = 128;
    plane<uint8_t>(0)[2] = 255;
    EXPECT_EQ(convert(3), (std::vector<int16_t>{-32768, 0, 32512}));
    lavu.av_frame_free(&frame);
    makeFrame(AV_SAMPLE_FMT_S32, 1, 2);
    plane<int32_t>(0)[0] = 0x12345678;
    plane<int32_t>(0)[1] = -0x7FFFFFFF - 1;
    EXPECT_EQ(convert(2), (std::vector<int16_t>{0x1234, -32768}));
}

TEST_F(DecodedAudio, ChannelsWithoutAKnownLayoutStillConvert) {
    makeFrame(AV_SAMPLE_FMT_FLTP, 3, 1);
    lavu.av_channel_layout_uninit(&frame->ch_layout);
    frame->ch_layout.order = AV_CHANNEL_ORDER_UNSPEC;
    frame->ch_layout.nb_channels = 3;
    plane<float>(0)[0] = 0.5f;
    plane<float>(1)[0] = 0.25f;
    plane<float>(2)[0] = -0.5f;
    EXPECT_EQ(convert(3), (std::vector<int16_t>{16384, 8192, -16384}));
}

TEST_F(DecodedAudio, AnEmptyFrameGivesNoBytes) {
    makeFrame(AV_SAMPLE_FMT_FLTP, 2, 1);
    frame->nb_samples = 0;
    EXPECT_EQ(engine.ConvertDecodedAudio(ist, frame), 0);
    EXPECT_EQ(engine.ConvertDecodedAudio(ist, nullptr), 0);
}

} // namespace
