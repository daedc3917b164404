// What the engine takes from a video stream before it encodes: the frame rate it really
// plays at, and a picture size the chosen encoder accepts.
#include "AVCodecHlpr.h"
#include "AVUtilHlpr.h"
#include "EncoderSizeRules.h"
#include "MediaLibraries.h"
#include "StreamFrameRate.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct RateCase {
    const char* name;
    AVRational raw, average, timeBase, expected;
};

const RateCase kRateCases[] = {
    {"Ordinary", {25, 1}, {25, 1}, {1, 25}, {25, 1}},
    // ASF streams report the container's millisecond clock as their raw rate.
    {"AsfClockAsRate", {1000, 1}, {25, 1}, {1, 1000}, {25, 1}},
    {"TransportStreamClock", {90000, 1}, {30000, 1001}, {1, 90000}, {30000, 1001}},
    {"AboveAnyCamera", {600, 1}, {24, 1}, {1, 600}, {24, 1}},
    // A high-speed recording is real when its average agrees.
    {"HighSpeedRecording", {240, 1}, {240, 1}, {1, 240}, {240, 1}},
    {"NoAverage", {1000, 1}, {0, 0}, {1, 1000}, {1000, 1}},
    {"NoRawRate", {0, 0}, {30, 1}, {1, 30}, {30, 1}},
    {"Nothing", {0, 0}, {0, 0}, {1, 1000}, {0, 1}},
};

class FrameRates : public ::testing::TestWithParam<RateCase> {};

TEST_P(FrameRates, ImplausibleRawRateGivesWayToTheAverage) {
    const RateCase& c = GetParam();
    AVStream stream{};
    stream.r_frame_rate = c.raw;
    stream.avg_frame_rate = c.average;
    stream.time_base = c.timeBase;
    const AVRational rate = PlausibleFrameRate(&stream);
    EXPECT_EQ(rate.num, c.expected.num);
    EXPECT_EQ(rate.den, c.expected.den);
}

INSTANTIATE_TEST_SUITE_P(Streams, FrameRates, ::testing::ValuesIn(kRateCases),
                         [](const auto& info) { return std::string(info.param.name); });

class EncoderSizes : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError(); }
    // Whether the encoder opens for width x height in its first pixel format.
    static bool opens(const char* encoderName, int width, int height) {
        const AVCodec* encoder = lavc.avcodec_find_encoder_by_name(encoderName);
        if (!encoder)
            return false;
        AVCodecContext* codec = lavc.avcodec_alloc_context3(encoder);
        codec->width = width;
        codec->height = height;
        codec->pix_fmt = encoder->pix_fmts ? encoder->pix_fmts[0] : AV_PIX_FMT_YUV420P;
        codec->time_base = {1, 25};
        codec->framerate = {25, 1};
        codec->bit_rate = 400000;
        const bool opened = lavc.avcodec_open2(codec, encoder, nullptr) >= 0;
        lavc.avcodec_free_context(&codec);
        return opened;
    }
};

// Every encoder with a size rule, and the common ones that only need their chroma
// subsampling, take the size fitted from odd and awkward source sizes.
TEST_F(EncoderSizes, FittedSourceSizesOpenTheEncoder) {
    const char* encoders[] = {"libx264", "mpeg4", "libxvid", "wmv2",
                              "h263",    "h263p", "rv10",    "rv20"};
    const int sources[][2] = {{321, 241}, {330, 250}, {1918, 1078}, {90, 70}};
    for (const char* name : encoders) {
        const AVCodec* encoder = lavc.avcodec_find_encoder_by_name(name);
        ASSERT_NE(encoder, nullptr) << name;
        const AVPixelFormat format = encoder->pix_fmts ? encoder->pix_fmts[0] : AV_PIX_FMT_YUV420P;
        for (const auto& source : sources) {
            int width = source[0], height = source[1];
            FitEncoderSize(encoder->id, format, width, height);
            EXPECT_LE(width, std::max(source[0], 128)) << name;
            EXPECT_TRUE(opens(name, width, height))
                << name << " from " << source[0] << "x" << source[1] << " -> " << width << "x"
                << height;
            EXPECT_EQ(EncoderSizeProblem(encoder->id, format, width, height), "") << name;
        }
    }
}

TEST_F(EncoderSizes, RefusedSizesNameTheCodecAndWhatItTakes) {
    EXPECT_EQ(EncoderSizeProblem(AV_CODEC_ID_H263, AV_PIX_FMT_YUV420P, 320, 240),
              "H263 cannot encode 320 x 240; it accepts 128 x 96, 176 x 144, 352 x 288, "
              "704 x 576 and 1408 x 1152");
    EXPECT_EQ(EncoderSizeProblem(AV_CODEC_ID_RV10, AV_PIX_FMT_YUV420P, 320, 232),
              "RV10 cannot encode 320 x 232; it needs a width that is a multiple of 16 and a "
              "height that is a multiple of 16");
    EXPECT_EQ(EncoderSizeProblem(AV_CODEC_ID_H264, AV_PIX_FMT_YUV420P, 320, 240), "");
}

} // namespace
