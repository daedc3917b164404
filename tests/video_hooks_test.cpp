// Picture pre-processing: the custom hook's BGR bitmap and its way back, the before-hook
// gate and the time windows in front of the plug-ins, the grey plug-in through the chain,
// and deinterlacing of a two-field picture.
#include "AVUtilHlpr.h"
#include "FFmpeg.h"
#include "MediaLibraries.h"
#include "TBitmap.h"
#include "TFFmpeg.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const std::string kGrey = std::string(VIDBRISK_BINARY_DIR) + "/hooks/libvbhook_grey.so";

constexpr int kWidth = 64;
constexpr int kHeight = 48;

struct FrameFree {
    void operator()(AVFrame* frame) const { lavu.av_frame_free(&frame); }
};
using Frame = std::unique_ptr<AVFrame, FrameFree>;

// A YUV420P picture: luma from `luma(x, y)`, chroma u, v everywhere.
template <typename LumaFunction>
Frame makePicture(LumaFunction luma, uint8_t u, uint8_t v,
                  AVPixelFormat format = AV_PIX_FMT_YUV420P) {
    Frame frame(lavu.av_frame_alloc());
    frame->width = kWidth;
    frame->height = kHeight;
    frame->format = format;
    EXPECT_GE(lavu.av_frame_get_buffer(frame.get(), 0), 0);
    if (format != AV_PIX_FMT_YUV420P)
        return frame;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            frame->data[0][y * frame->linesize[0] + x] = luma(x, y);
    for (int y = 0; y < kHeight / 2; ++y)
        for (int x = 0; x < kWidth / 2; ++x) {
            frame->data[1][y * frame->linesize[1] + x] = u;
            frame->data[2][y * frame->linesize[2] + x] = v;
        }
    return frame;
}

Frame flatPicture(uint8_t luma, uint8_t u, uint8_t v) {
    return makePicture([luma](int, int) { return luma; }, u, v);
}

uint8_t at(const AVFrame* frame, int plane, int x, int y) {
    return frame->data[plane][y * frame->linesize[plane] + x];
}

// Whether two YUV420P pictures hold the same pixels.
bool samePixels(const AVFrame* a, const AVFrame* b) {
    for (int plane = 0; plane < 3; ++plane) {
        const int w = plane ? kWidth / 2 : kWidth;
        const int h = plane ? kHeight / 2 : kHeight;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (at(a, plane, x, y) != at(b, plane, x, y))
                    return false;
    }
    return true;
}

class VideoHooksTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
        engine.InitOptionContexts();
        engine.LogCallback = [this](int level, const std::string& text) {
            logLines.push_back(text);
        };
    }
    // Pre-processes one picture with the hook pts `ptsUs`.
    AVFrame* preprocess(AVFrame* picture, int64_t ptsUs) {
        stream.Pts = ptsUs;
        return engine.PreprocessPicture(stream, picture);
    }
    bool logged(const std::string& text) const {
        for (const std::string& line : logLines)
            if (line == text)
                return true;
        return false;
    }
    TFFmpeg engine;
    InputStreamState stream;
    std::vector<std::string> logLines;
};

TEST_F(VideoHooksTest, NothingToDoHandsBackTheDecodedPicture) {
    Frame picture = flatPicture(100, 128, 128);
    EXPECT_EQ(preprocess(picture.get(), 0), picture.get());
    EXPECT_EQ(engine.VideoState.HookFrameNumber, 1);
}

TEST_F(VideoHooksTest, CustomHookSeesTopDownBgrAndItsDrawingComesBack) {
    // Top half pure blue (BT.601 Y 41, Cb 240, Cr 110), bottom half black.
    Frame picture = makePicture([](int, int y) { return y < kHeight / 2 ? 41 : 16; }, 128, 128);
    for (int y = 0; y < kHeight / 4; ++y)
        for (int x = 0; x < kWidth / 2; ++x) {
            picture->data[1][y * picture->linesize[1] + x] = 240;
            picture->data[2][y * picture->linesize[2] + x] = 110;
        }
    Frame original = flatPicture(0, 0, 0);
    lavu.av_frame_copy(original.get(), picture.get());
    int calls = 0;
    engine.CustomHookCallback = [&](TFFmpeg&, TBitmap* bitmap, int32_t frameNumber, int64_t pts,
                                    bool& update, bool& stopHook) {
        ++calls;
        ASSERT_NE(bitmap, nullptr);
        EXPECT_EQ(bitmap->width(), kWidth);
        EXPECT_EQ(bitmap->height(), kHeight);
        EXPECT_EQ(frameNumber, 1);
        EXPECT_EQ(pts, 40000);
        EXPECT_TRUE(update);
        EXPECT_FALSE(stopHook);
        const uint8_t* top = bitmap->scanLine(0);
        EXPECT_GT(top[0], 200) << "blue first";
        EXPECT_LT(top[1], 40);
        EXPECT_LT(top[2], 40) << "red last";
        const uint8_t* bottom = bitmap->scanLine(kHeight - 1);
        EXPECT_LT(bottom[0] + bottom[1] + bottom[2], 30);
        // Draw a white band over the bottom eight rows.
        for (int y = kHeight - 8; y < kHeight; ++y)
            std::fill_n(bitmap->scanLine(y), kWidth * 3, 255);
    };
    AVFrame* result = preprocess(picture.get(), 40000);
    EXPECT_EQ(calls, 1);
    ASSERT_NE(result, picture.get());
    EXPECT_TRUE(samePixels(picture.get(), original.get())) << "the decoded picture is not written";
    EXPECT_GT(at(result, 0, 10, kHeight - 1), 225) << "the white band is back in luma";
    EXPECT_NEAR(at(result, 0, 10, 10), 41, 3) << "the blue half is kept";
    EXPECT_NEAR(at(result, 1, 4, 0), 240, 4);
    EXPECT_NEAR(at(result, 0, 10, kHeight / 2 + 8), 16, 3);
}

TEST_F(VideoHooksTest, CustomHookWithoutUpdateLeavesThePictureUnchanged) {
    Frame picture = makePicture([](int x, int y) { return 16 + (x * 3 + y * 5) % 200; }, 90, 170);
    engine.CustomHookCallback = [](TFFmpeg&, TBitmap* bitmap, int32_t, int64_t, bool& update,
                                   bool&) {
        std::fill_n(bitmap->bits(), bitmap->sizeBytes(), 255);
        update = false;
    };
    AVFrame* result = preprocess(picture.get(), 0);
    EXPECT_TRUE(samePixels(result, picture.get()));
}

TEST_F(VideoHooksTest, CustomHookStoppingAtFrameTenIsNotCalledAgain) {
    std::vector<int32_t> frames;
    engine.CustomHookCallback = [&](TFFmpeg&, TBitmap*, int32_t frameNumber, int64_t, bool&,
                                    bool& stopHook) {
        frames.push_back(frameNumber);
        stopHook = frameNumber == 10;
    };
    Frame picture = flatPicture(80, 128, 128);
    for (int i = 0; i < 15; ++i)
        preprocess(picture.get(), i * 40000);
    ASSERT_EQ(frames.size(), 10u);
    EXPECT_EQ(frames.back(), 10);
    EXPECT_EQ(engine.VideoState.HookAction, haStop);
    EXPECT_EQ(engine.VideoState.HookFrameNumber, 15);
    EXPECT_EQ(preprocess(picture.get(), 0), picture.get()) << "no working picture any more";
}

TEST_F(VideoHooksTest, CustomHookFailureIsLoggedAndDropsTheDrawing) {
    engine.CustomHookCallback = [](TFFmpeg&, TBitmap* bitmap, int32_t, int64_t, bool&, bool&) {
        std::fill_n(bitmap->bits(), bitmap->sizeBytes(), 255);
        throw std::runtime_error("brush lost");
    };
    Frame picture = flatPicture(60, 100, 150);
    AVFrame* result = preprocess(picture.get(), 0);
    EXPECT_TRUE(logged("Error occurs OnCustomHook: brush lost"));
    EXPECT_TRUE(samePixels(result, picture.get()));
}

TEST_F(VideoHooksTest, BitmapKeepsItsFirstSize) {
    int calls = 0;
    engine.CustomHookCallback = [&](TFFmpeg&, TBitmap* bitmap, int32_t, int64_t, bool&, bool&) {
        ++calls;
        EXPECT_EQ(bitmap->width(), kWidth);
        EXPECT_EQ(bitmap->height(), kHeight);
    };
    Frame picture = flatPicture(60, 128, 128);
    preprocess(picture.get(), 0);
    // A larger picture later on: the rows copied stop at the bitmap's edges.
    Frame larger(lavu.av_frame_alloc());
    larger->width = kWidth * 2;
    larger->height = kHeight * 2;
    larger->format = AV_PIX_FMT_YUV420P;
    ASSERT_GE(lavu.av_frame_get_buffer(larger.get(), 0), 0);
    for (int plane = 0; plane < 3; ++plane)
        std::memset(larger->data[plane], 128,
                    larger->linesize[plane] * (plane ? kHeight : kHeight * 2));
    AVFrame* result = preprocess(larger.get(), 40000);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(result->width, kWidth * 2);
}

TEST(TBitmapTest, RowsAreTopDownAndPaddedToFourBytes) {
    TBitmap bitmap(5, 3);
    EXPECT_EQ(bitmap.bytesPerRow(), 16);
    EXPECT_EQ(bitmap.sizeBytes(), 48u);
    EXPECT_EQ(bitmap.scanLine(0), bitmap.bits());
    EXPECT_EQ(bitmap.scanLine(2) - bitmap.scanLine(1), 16);
    EXPECT_EQ(bitmap.scanLine(3), nullptr);
    EXPECT_EQ(bitmap.scanLine(-1), nullptr);
    TBitmap empty(0, 4);
    EXPECT_EQ(empty.sizeBytes(), 0u);
    EXPECT_EQ(empty.scanLine(0), nullptr);
}

// ---- The gate in front of the plug-ins (grey plug-in through the chain) ------------------

class PluginGateTest : public VideoHooksTest {
protected:
    void SetUp() override {
        // The plug-in is mapped before the media libraries: LeakSanitizer's thread-local
        // bookkeeping (gcc 12, glibc 2.36) crashes at exit when a module is opened after
        // them and the thread's TLS vector is then rebuilt. The chain opens it again.
        ASSERT_NE(dlopen(kGrey.c_str(), RTLD_NOW | RTLD_LOCAL), nullptr) << dlerror();
        VideoHooksTest::SetUp();
        ASSERT_NO_THROW(engine.ApplyOptionText("vhook=" + kGrey));
        ASSERT_EQ(engine.UsingVideoHook, 1);
    }
    // Whether the plug-in greyed the picture that came back for a coloured one.
    bool greyed(int64_t ptsUs) {
        Frame picture = flatPicture(120, 60, 200);
        AVFrame* result = preprocess(picture.get(), ptsUs);
        EXPECT_EQ(at(picture.get(), 1, 0, 0), 60) << "the decoded picture is never written";
        return at(result, 1, 3, 3) == 128 && at(result, 2, 3, 3) == 128 &&
               at(result, 0, 3, 3) == 120;
    }
};

TEST_F(PluginGateTest, GreyPluginRunsOnTheWorkingPicture) {
    EXPECT_TRUE(greyed(0));
    EXPECT_TRUE(greyed(40000));
}

TEST_F(PluginGateTest, BeforeHookDecidesPerPictureAndStopsForGood) {
    std::vector<std::pair<int64_t, THookAction>> calls;
    engine.BeforeHookCallback = [&](TFFmpeg&, int64_t pts, THookAction& action) {
        calls.emplace_back(pts, action);
        action = pts == 80000 ? haIgnore : pts >= 160000 ? haStop : haContinue;
    };
    EXPECT_TRUE(greyed(40000));
    EXPECT_FALSE(greyed(80000));
    EXPECT_TRUE(greyed(120000));
    EXPECT_FALSE(greyed(160000));
    EXPECT_FALSE(greyed(200000));
    ASSERT_EQ(calls.size(), 4u) << "not asked again after haStop";
    // The handler sees what it decided for the previous picture.
    EXPECT_EQ(calls[0].second, haContinue);
    EXPECT_EQ(calls[2].second, haIgnore);
    EXPECT_EQ(engine.UsingVideoHook, 0);
}

TEST_F(PluginGateTest, BeforeHookFailureStopsThePlugins) {
    engine.BeforeHookCallback = [](TFFmpeg&, int64_t, THookAction&) {
        throw std::runtime_error("no gate");
    };
    EXPECT_FALSE(greyed(0));
    EXPECT_TRUE(logged("Error occurs OnBeforeHook: no gate"));
    EXPECT_EQ(engine.UsingVideoHook, 0);
}

TEST_F(PluginGateTest, TimeWindowsOfOneSecond) {
    engine.HookRanges = {{1000000, 2000000}};
    const struct {
        int64_t ptsUs;
        bool greyed;
    } steps[] = {{0, false},      {500000, false},  {1000000, true}, {1500000, true},
                 {2000000, true}, {2000001, false}, {2500000, false}};
    for (const auto& step : steps)
        EXPECT_EQ(greyed(step.ptsUs), step.greyed) << step.ptsUs;
    EXPECT_EQ(engine.VideoState.HookAction, haStop);
    EXPECT_EQ(engine.UsingVideoHook, 0) << "switched off after the last window";
}

TEST_F(PluginGateTest, SeveralWindowsSortedByEnd) {
    // Sorted by end; the second window starts before the first one ends.
    engine.HookRanges = {{100, 200}, {150, 400}, {1000, 1100}};
    const struct {
        int64_t ptsUs;
        bool greyed;
    } steps[] = {{50, false},  {120, true},  {180, true},  {300, true},
                 {500, false}, {1050, true}, {1200, false}};
    for (const auto& step : steps)
        EXPECT_EQ(greyed(step.ptsUs), step.greyed) << step.ptsUs;
    EXPECT_EQ(engine.UsingVideoHook, 0);
}

// ---- Deinterlacing ---------------------------------------------------------------------

// The engine's own line filter, for pictures its motion-adaptive deinterlacer cannot take.
TEST_F(VideoHooksTest, DeinterlacingMergesTwoFields) {
    engine.VideoState.LineDeinterlace = true;
    // Top field (even rows) bright, bottom field (odd rows) dark.
    Frame picture = makePicture([](int, int y) { return y % 2 ? 40 : 200; }, 128, 128);
    AVFrame* result = preprocess(picture.get(), 0);
    ASSERT_NE(result, picture.get());
    for (int y = 2; y < kHeight - 1; ++y)
        EXPECT_EQ(at(result, 0, 7, y), 200) << "row " << y;
    // The edge rows of the bottom field see the picture's edge rows repeated.
    EXPECT_EQ(at(result, 0, 7, 0), 200);
    EXPECT_EQ(at(result, 0, 7, 1), 180);
    EXPECT_EQ(at(result, 0, 7, kHeight - 1), 120);
    EXPECT_EQ(at(picture.get(), 0, 7, 1), 40) << "the decoded picture is not written";
    EXPECT_EQ(at(result, 1, 3, 3), 128);
}

TEST_F(VideoHooksTest, DeinterlacingLeavesProgressiveSmoothAreasAlone) {
    engine.VideoState.LineDeinterlace = true;
    Frame picture = flatPicture(90, 100, 150);
    AVFrame* result = preprocess(picture.get(), 0);
    EXPECT_TRUE(samePixels(result, picture.get()));
}

TEST_F(VideoHooksTest, DeinterlacingAnUnknownLayoutGoesOnWithACopy) {
    engine.VideoState.LineDeinterlace = true;
    Frame picture = makePicture([](int, int) { return 0; }, 0, 0, AV_PIX_FMT_RGB24);
    for (int y = 0; y < kHeight; ++y)
        std::memset(picture->data[0] + y * picture->linesize[0], y % 2 ? 10 : 250, kWidth * 3);
    AVFrame* result = preprocess(picture.get(), 0);
    EXPECT_TRUE(logged("deinterlace error."));
    ASSERT_NE(result, picture.get());
    EXPECT_EQ(result->data[0][result->linesize[0]], 10);
    EXPECT_EQ(result->data[0][0], 250);
}

} // namespace
