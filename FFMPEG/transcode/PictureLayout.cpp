#include "PictureLayout.h"

#include "AVUtilHlpr.h"
#include "FFMpegException.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

bool planarBytesLayout(AVPixelFormat format, int width, int height, PlaneLayout& layout) {
    const AVPixFmtDescriptor* desc = lavu.av_pix_fmt_desc_get(format);
    if (!desc ||
        (desc->flags & (AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_HWACCEL)))
        return false;
    if (desc->nb_components > 1 && !(desc->flags & AV_PIX_FMT_FLAG_PLANAR))
        return false;
    for (int c = 0; c < desc->nb_components; ++c) {
        const AVComponentDescriptor& comp = desc->comp[c];
        if (comp.depth != 8 || comp.step != 1 || comp.shift != 0 || comp.offset != 0 ||
            comp.plane != c)
            return false;
    }
    layout.count = desc->nb_components;
    for (int p = 0; p < layout.count; ++p) {
        const bool chroma = (p == 1 || p == 2) && !(desc->flags & AV_PIX_FMT_FLAG_RGB);
        layout.width[p] = chroma ? -((-width) >> desc->log2_chroma_w) : width;
        layout.height[p] = chroma ? -((-height) >> desc->log2_chroma_h) : height;
    }
    return true;
}

bool squareChromaSubsampling(AVPixelFormat format) {
    const AVPixFmtDescriptor* desc = lavu.av_pix_fmt_desc_get(format);
    return desc && desc->log2_chroma_w == desc->log2_chroma_h;
}

void prepareOwnPicture(AVFrame*& picture, int width, int height, AVPixelFormat format) {
    if (picture && picture->width == width && picture->height == height &&
        picture->format == format && lavu.av_frame_is_writable(picture))
        return;
    if (!picture)
        picture = lavu.av_frame_alloc();
    if (!picture)
        throw FFMpegException("av_malloc fail");
    lavu.av_frame_unref(picture);
    picture->width = width;
    picture->height = height;
    picture->format = format;
    if (lavu.av_frame_get_buffer(picture, 0) < 0)
        throw FFMpegException("Cannot allocate temp picture, check pix fmt");
}
