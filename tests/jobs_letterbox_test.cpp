// Letterboxing: the inner picture and the bars for pictures wider or narrower than the
// output, even sizes, and the texts that give no letterbox.
#include "LetterBox.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* videoSize;
    const char* frameSize;
    const char* aspect;
    LetterBox expected;
};

TEST(LetterBox, BarsAboveAndBelowOrAtTheSides) {
    const Case cases[] = {
        // A 16:9 picture in a 4:3 frame: bars above and below.
        {"1280x720", "320x240", "", {320, 180, 30, 30, 0, 0}},
        {"1920x800", "320x240", "", {320, 134, 52, 54, 0, 0}},
        {"1000x500", "320x240", "", {320, 160, 40, 40, 0, 0}},
        // A 4:3 picture in a 16:9 frame: bars at the sides.
        {"640x480", "640x360", "", {480, 360, 0, 0, 80, 80}},
        // The aspect chosen for the picture wins over its size's shape (a 16:9 picture
        // stored in 640x480, a 4:3 one in 1280x720), also in a frame of its own size.
        {"640x480", "original", "16:9", {640, 360, 60, 60, 0, 0}},
        {"640x480", "", "16:9", {640, 360, 60, 60, 0, 0}},
        {"1280x720", "1280x720", "4:3", {960, 720, 0, 0, 160, 160}},
        {"720x576", "352x240", "4:3", {320, 240, 0, 0, 16, 16}},
        {"720x576", "352x240", "1.3333", {320, 240, 0, 0, 16, 16}},
        // Sizes go to the nearest even number; bars that halve to an odd number put the
        // even part on top or on the left and the rest below or on the right.
        {"176x144", "320x240", "", {294, 240, 0, 0, 12, 14}},
        {"900x400", "320x240", "", {320, 142, 48, 50, 0, 0}},
        {"720x576", "352x240", "", {300, 240, 0, 0, 26, 26}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.videoSize) + " in " + c.frameSize + " at " + c.aspect);
        const auto box = LetterBoxFor(c.videoSize, c.frameSize, c.aspect);
        ASSERT_TRUE(box.has_value());
        EXPECT_EQ(box->Width, c.expected.Width);
        EXPECT_EQ(box->Height, c.expected.Height);
        EXPECT_EQ(box->Top, c.expected.Top);
        EXPECT_EQ(box->Bottom, c.expected.Bottom);
        EXPECT_EQ(box->Left, c.expected.Left);
        EXPECT_EQ(box->Right, c.expected.Right);
        for (int32_t value :
             {box->Width, box->Height, box->Top, box->Bottom, box->Left, box->Right})
            EXPECT_EQ(value % 2, 0);
        // The frame keeps its size.
        const std::string frame = c.frameSize;
        if (frame.find('x') != std::string::npos) {
            EXPECT_EQ(std::to_string(box->Width + box->Left + box->Right) + "x" +
                          std::to_string(box->Height + box->Top + box->Bottom),
                      frame);
        }
    }
}

TEST(LetterBox, NoneWhenTheShapeMatchesOrATextCannotBeRead) {
    const char* const none[][3] = {
        {"640x480", "320x240", "4:3"},     // same shape
        {"640x480", "320x240", ""},        // the frame's own shape
        {"640x480", "original", "1.3333"}, // same shape, bars under four pixels
        {"642x480", "320x240", ""},        // under four pixels of bars
        {" ", "320x240", "4:3"},           // audio only: no picture size
        {"", "320x240", "4:3"},
        {"640x0", "320x240", "4:3"},
        {"640x480", "320 by 240", "4:3"},
        {"640x480", "320x240", "wide"},
        {"640x480", "320x240", "4:0"},
        {"640x480", "1x1", "16:9"}, // no even frame to speak of
    };
    for (const auto& c : none) {
        SCOPED_TRACE(std::string(c[0]) + " in " + c[1] + " at " + c[2]);
        EXPECT_FALSE(LetterBoxFor(c[0], c[1], c[2]).has_value());
    }
}

} // namespace
