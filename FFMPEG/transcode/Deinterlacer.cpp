#include "Deinterlacer.h"

#include "AVFilterHlpr.h"
#include "AVUtilHlpr.h"
#include "EngineText.h"

extern "C" {
#include <libavcodec/codec_par.h>
}

namespace {

// The deinterlacer's settings: one picture out per picture in, field order from each
// picture, and which pictures it works on.
constexpr const char* kAllPictures = "mode=send_frame:parity=auto:deint=all";
constexpr const char* kFlaggedPictures = "mode=send_frame:parity=auto:deint=interlaced";

// Whether pictures of a stream with this field order are interlaced, and which field they
// show first.
bool interlacedOrder(int fieldOrder, bool& topFirst) {
    switch (fieldOrder) {
    case AV_FIELD_TT:
    case AV_FIELD_BT: // bottom coded first, top shown first
        topFirst = true;
        return true;
    case AV_FIELD_BB:
    case AV_FIELD_TB:
        topFirst = false;
        return true;
    default:
        return false;
    }
}

} // namespace

void TDeinterlacer::FrameDeleter::operator()(AVFrame* frame) const {
    lavu.av_frame_free(&frame);
}

TDeinterlacer::TDeinterlacer(bool allPictures) : m_allPictures(allPictures) {}

TDeinterlacer::~TDeinterlacer() {
    release();
}

void TDeinterlacer::release() {
    if (m_graph)
        lavfi.avfilter_graph_free(&m_graph);
    m_graph = nullptr;
    m_source = m_sink = nullptr;
}

bool TDeinterlacer::build(const AVFrame* picture) {
    release();
    m_graph = lavfi.avfilter_graph_alloc();
    const AVFilter* buffer = lavfi.avfilter_get_by_name("buffer");
    const AVFilter* bwdif = lavfi.avfilter_get_by_name("bwdif");
    const AVFilter* sink = lavfi.avfilter_get_by_name("buffersink");
    if (!m_graph || !buffer || !bwdif || !sink)
        return false;
    const AVRational aspect =
        picture->sample_aspect_ratio.num > 0 ? picture->sample_aspect_ratio : AVRational{1, 1};
    const std::string source =
        formatText("video_size=%dx%d:pix_fmt=%d:time_base=1/%d:pixel_aspect=%d/%d", picture->width,
                   picture->height, picture->format, AV_TIME_BASE, aspect.num, aspect.den);
    AVFilterContext* filter = nullptr;
    if (lavfi.avfilter_graph_create_filter(&m_source, buffer, "in", source.c_str(), nullptr,
                                           m_graph) < 0 ||
        lavfi.avfilter_graph_create_filter(&filter, bwdif, "deinterlace",
                                           m_allPictures ? kAllPictures : kFlaggedPictures, nullptr,
                                           m_graph) < 0 ||
        lavfi.avfilter_graph_create_filter(&m_sink, sink, "out", nullptr, nullptr, m_graph) < 0 ||
        lavfi.avfilter_link(m_source, 0, filter, 0) < 0 ||
        lavfi.avfilter_link(filter, 0, m_sink, 0) < 0 ||
        lavfi.avfilter_graph_config(m_graph, nullptr) < 0) {
        release();
        return false;
    }
    m_width = picture->width;
    m_height = picture->height;
    m_format = picture->format;
    return true;
}

void TDeinterlacer::collect() {
    // The filter counts time in its own units (half the input's): back to microseconds.
    const AVRational timeBase = lavfi.av_buffersink_get_time_base(m_sink);
    for (;;) {
        OwnedFrame picture(lavu.av_frame_alloc());
        if (!picture || lavfi.av_buffersink_get_frame(m_sink, picture.get()) < 0)
            return;
        if (picture->pts != AV_NOPTS_VALUE)
            picture->pts = lavu.av_rescale_q(picture->pts, timeBase, AV_TIME_BASE_Q);
        m_ready.push_back(std::move(picture));
    }
}

bool TDeinterlacer::Push(const AVFrame* picture, int64_t timeUs, int fieldOrder) {
    if (!picture) {
        if (m_graph && lavfi.av_buffersrc_add_frame_flags(m_source, nullptr, 0) >= 0)
            collect();
        release();
        return true;
    }
    if (!m_graph || picture->width != m_width || picture->height != m_height ||
        picture->format != m_format) {
        Push(nullptr, 0, fieldOrder); // what the old filter holds comes out first
        if (!build(picture))
            return false;
    }
    OwnedFrame copy(lavu.av_frame_clone(picture));
    if (!copy)
        return false;
    copy->pts = timeUs;
    bool topFirst = true;
    if (!copy->interlaced_frame && interlacedOrder(fieldOrder, topFirst)) {
        copy->interlaced_frame = 1;
        copy->top_field_first = topFirst;
    }
    if (lavfi.av_buffersrc_add_frame_flags(m_source, copy.get(), 0) < 0)
        return false;
    collect();
    return true;
}

AVFrame* TDeinterlacer::Pull() {
    m_current.reset();
    if (m_ready.empty())
        return nullptr;
    m_current = std::move(m_ready.front());
    m_ready.pop_front();
    return m_current.get();
}
