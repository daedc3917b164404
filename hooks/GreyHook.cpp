// Example frame hook plug-in: takes the colour out of planar YUV pictures.
//
// Usage as a "vhook" option:   /path/to/libvbhook_grey.so [percent]
// percent (0 to 100, default 100) is how much of the colour is removed: 100 gives a grey
// picture, 50 halves the saturation, 0 leaves the picture as it is. Pictures in other
// pixel formats (packed RGB, for instance) pass unchanged.
#include "FrameHook.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <libavutil/pixfmt.h>
}

namespace {

struct GreyContext {
    int percent; // share of the colour removed, 0 to 100
};

struct ChromaShift {
    int format;
    int widthShift; // log2 of the horizontal chroma subsampling
    int heightShift;
};

// The planar YUV formats with 8-bit samples that the plug-in knows: plane 0 is luma,
// planes 1 and 2 are chroma, subsampled by the given shifts.
constexpr ChromaShift kPlanarYuvFormats[] = {
    {AV_PIX_FMT_YUV420P, 1, 1},  {AV_PIX_FMT_YUVJ420P, 1, 1}, {AV_PIX_FMT_YUV422P, 1, 0},
    {AV_PIX_FMT_YUVJ422P, 1, 0}, {AV_PIX_FMT_YUV444P, 0, 0},  {AV_PIX_FMT_YUVJ444P, 0, 0},
    {AV_PIX_FMT_YUV440P, 0, 1},  {AV_PIX_FMT_YUVJ440P, 0, 1}, {AV_PIX_FMT_YUV411P, 2, 0},
    {AV_PIX_FMT_YUV410P, 2, 2},
};

const ChromaShift* findFormat(int pixelFormat) {
    for (const ChromaShift& entry : kPlanarYuvFormats) {
        if (entry.format == pixelFormat)
            return &entry;
    }
    return nullptr;
}

// Subsampled size, rounded up: a 7-pixel row of 4:2:0 has 4 chroma samples.
int chromaSize(int size, int shift) {
    return -((-size) >> shift);
}

// Reads the optional percentage: a whole number from 0 to 100 and nothing else.
bool parsePercent(const char* text, int& percent) {
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 0 || value > 100)
        return false;
    percent = static_cast<int>(value);
    return true;
}

void greyPlane(uint8_t* plane, int linesize, int width, int height, int percent) {
    const int keep = 100 - percent;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = plane + static_cast<std::ptrdiff_t>(y) * linesize;
        for (int x = 0; x < width; ++x)
            row[x] = static_cast<uint8_t>(128 + (row[x] - 128) * keep / 100);
    }
}

} // namespace

FRAME_HOOK_EXPORT int Configure(void** context, int argc, char* argv[]) {
    int percent = 100;
    if (argc > 2 || (argc == 2 && !parsePercent(argv[1], percent)))
        return -1;
    auto* grey = static_cast<GreyContext*>(std::malloc(sizeof(GreyContext)));
    if (!grey)
        return -1;
    grey->percent = percent;
    *context = grey;
    return 0;
}

FRAME_HOOK_EXPORT void Process(void* context, FrameHookPicture* picture, int pixelFormat, int width,
                               int height, int64_t ptsUs) {
    const auto* grey = static_cast<const GreyContext*>(context);
    const ChromaShift* shift = findFormat(pixelFormat);
    if (!grey || !shift || !picture || grey->percent == 0)
        return;
    const int chromaWidth = chromaSize(width, shift->widthShift);
    const int chromaHeight = chromaSize(height, shift->heightShift);
    for (int plane = 1; plane <= 2; ++plane) {
        if (picture->data[plane])
            greyPlane(picture->data[plane], picture->linesize[plane], chromaWidth, chromaHeight,
                      grey->percent);
    }
}

FRAME_HOOK_EXPORT void Release(void* context) {
    std::free(context);
}
