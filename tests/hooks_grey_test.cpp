// The example grey plug-in changes pictures in place: chroma inside the picture only,
// luma and row padding untouched, odd sizes rounded up, other formats left alone.
#include "FrameHook.h"
#include "MediaLibraries.h"
#include "AVUtilHlpr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

const std::string kGrey = std::string(VIDBRISK_BINARY_DIR) + "/hooks/libvbhook_grey.so";

constexpr uint8_t kPadding = 0xEE;
constexpr uint8_t kLuma = 90;
constexpr uint8_t kU = 200;
constexpr uint8_t kV = 40;

// A three-plane picture whose rows are longer than the planes (padding) and which has
// one spare row below each plane, all filled with kPadding, so writes outside a plane
// show up.
class PaddedPicture {
public:
    PaddedPicture(int width, int height, int widthShift, int heightShift) {
        m_width[0] = width;
        m_height[0] = height;
        m_width[1] = m_width[2] = -((-width) >> widthShift);
        m_height[1] = m_height[2] = -((-height) >> heightShift);
        const uint8_t values[3] = {kLuma, kU, kV};
        for (int plane = 0; plane < 3; ++plane) {
            const int linesize = m_width[plane] + 8;
            m_planes[plane].assign(static_cast<std::size_t>(linesize) * (m_height[plane] + 1),
                                   kPadding);
            for (int y = 0; y < m_height[plane]; ++y)
                for (int x = 0; x < m_width[plane]; ++x)
                    m_planes[plane][static_cast<std::size_t>(y) * linesize + x] = values[plane];
            picture.data[plane] = m_planes[plane].data();
            picture.linesize[plane] = linesize;
        }
    }

    // Counts the bytes of a plane that differ from the expected value inside the plane
    // and from kPadding outside it.
    int mismatches(int plane, uint8_t inside) const {
        const int linesize = picture.linesize[plane];
        int count = 0;
        for (std::size_t i = 0; i < m_planes[plane].size(); ++i) {
            const int x = static_cast<int>(i % linesize);
            const int y = static_cast<int>(i / linesize);
            const bool within = x < m_width[plane] && y < m_height[plane];
            count += m_planes[plane][i] != (within ? inside : kPadding);
        }
        return count;
    }

    FrameHookPicture picture{};

private:
    std::vector<uint8_t> m_planes[3];
    int m_width[3] = {};
    int m_height[3] = {};
};

class GreyHookTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError(); }
    void TearDown() override { ReleaseFrameHooks(m_chain); }

    FrameHookChain m_chain;
};

struct GreyCase {
    const char* name;
    AVPixelFormat format;
    int width;
    int height;
    int widthShift;
    int heightShift;
    const char* arguments; // appended to the plug-in path
    uint8_t expectedU;
    uint8_t expectedV;
};

void PrintTo(const GreyCase& c, std::ostream* out) {
    *out << c.name;
}

class GreyHookCaseTest : public GreyHookTest, public ::testing::WithParamInterface<GreyCase> {};

TEST_P(GreyHookCaseTest, ChangesChromaInPlaceAndNothingElse) {
    const GreyCase& c = GetParam();
    ASSERT_EQ(FrameHookAdd(m_chain, kGrey + c.arguments), 0);
    PaddedPicture picture(c.width, c.height, c.widthShift, c.heightShift);
    RunFrameHooks(m_chain, &picture.picture, c.format, c.width, c.height, 0);
    EXPECT_EQ(picture.mismatches(0, kLuma), 0) << "luma";
    EXPECT_EQ(picture.mismatches(1, c.expectedU), 0) << "U";
    EXPECT_EQ(picture.mismatches(2, c.expectedV), 0) << "V";
}

INSTANTIATE_TEST_SUITE_P(
    Formats, GreyHookCaseTest,
    ::testing::Values(GreyCase{"Yuv420pFull", AV_PIX_FMT_YUV420P, 8, 6, 1, 1, "", 128, 128},
                      // Odd sizes: the last chroma column and row cover a partial luma pair.
                      GreyCase{"Yuv420pOdd", AV_PIX_FMT_YUV420P, 7, 5, 1, 1, "", 128, 128},
                      GreyCase{"Yuvj420pHalf", AV_PIX_FMT_YUVJ420P, 8, 6, 1, 1, " 50", 164, 84},
                      GreyCase{"Yuv422pQuarter", AV_PIX_FMT_YUV422P, 6, 4, 1, 0, "|25", 182, 62},
                      GreyCase{"Yuv444pFull", AV_PIX_FMT_YUV444P, 5, 3, 0, 0, " 100", 128, 128},
                      GreyCase{"Yuv410pOdd", AV_PIX_FMT_YUV410P, 9, 7, 2, 2, "", 128, 128},
                      GreyCase{"Yuv420pNone", AV_PIX_FMT_YUV420P, 8, 6, 1, 1, " 0", kU, kV},
                      // Formats the plug-in does not know pass unchanged.
                      GreyCase{"Nv12Untouched", AV_PIX_FMT_NV12, 8, 6, 1, 1, "", kU, kV},
                      GreyCase{"Rgb24Untouched", AV_PIX_FMT_RGB24, 8, 6, 0, 0, "", kU, kV}),
    [](const ::testing::TestParamInfo<GreyCase>& info) { return std::string(info.param.name); });

// The video path hands over the planes of a decoded AVFrame.
TEST_F(GreyHookTest, GreysAnAVFramePictureThroughThePlaneArrays) {
    ASSERT_EQ(FrameHookAdd(m_chain, kGrey), 0);
    AVFrame* frame = lavu.av_frame_alloc();
    ASSERT_NE(frame, nullptr);
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = 16;
    frame->height = 10;
    ASSERT_EQ(lavu.av_frame_get_buffer(frame, 0), 0);
    for (int plane = 0; plane < 3; ++plane) {
        const int rows = plane == 0 ? 10 : 5;
        for (int y = 0; y < rows; ++y)
            std::fill_n(frame->data[plane] + y * frame->linesize[plane], plane == 0 ? 16 : 8,
                        plane == 0 ? kLuma : kU);
    }

    RunFrameHooks(m_chain, frame->data, frame->linesize, frame->format, frame->width, frame->height,
                  40000);

    int wrong = 0;
    for (int plane = 0; plane < 3; ++plane) {
        const int rows = plane == 0 ? 10 : 5;
        const int columns = plane == 0 ? 16 : 8;
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < columns; ++x)
                wrong += frame->data[plane][y * frame->linesize[plane] + x] !=
                         (plane == 0 ? kLuma : 128);
    }
    EXPECT_EQ(wrong, 0);
    lavu.av_frame_free(&frame);
}

// Two entries of the same plug-in keep their own settings: 50 % twice leaves a quarter.
TEST_F(GreyHookTest, ChainedEntriesKeepTheirOwnContext) {
    ASSERT_EQ(FrameHookAdd(m_chain, kGrey + " 50"), 0);
    ASSERT_EQ(FrameHookAdd(m_chain, kGrey + " 50"), 0);
    ASSERT_NE(m_chain.Head->Context, m_chain.Head->Next->Context);
    PaddedPicture picture(4, 4, 1, 1);
    RunFrameHooks(m_chain, &picture.picture, AV_PIX_FMT_YUV420P, 4, 4, 0);
    EXPECT_EQ(picture.mismatches(1, 146), 0); // 200 -> 164 -> 146
    EXPECT_EQ(picture.mismatches(2, 106), 0); // 40 -> 84 -> 106
}

} // namespace
