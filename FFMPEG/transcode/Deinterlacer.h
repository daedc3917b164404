// The motion-adaptive deinterlacer of one input video stream: libavfilter's "bwdif" between a
// buffer source and a buffer sink.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>

extern "C" {
#include <libavutil/frame.h>
}

struct AVFilterGraph;
struct AVFilterContext;

// Turns each picture into a whole progressive picture at the same rate, from both of its
// fields and its neighbours' (motion-adaptive). A picture comes out one picture later, when
// its successor is known; the last ones come out at the end of input. Pictures of another
// size or format than the ones before start a new filter (after the old one gave out what
// it held). Owned and used by the task's worker.
class TDeinterlacer {
public:
    // `allPictures`: every picture is deinterlaced; otherwise only those flagged interlaced
    // (the others pass unchanged, in their turn).
    explicit TDeinterlacer(bool allPictures);
    ~TDeinterlacer();
    TDeinterlacer(const TDeinterlacer&) = delete;
    TDeinterlacer& operator=(const TDeinterlacer&) = delete;

    // Hands a picture over with its time in microseconds; `fieldOrder` (an AVFieldOrder)
    // is the stream's, which marks pictures the decoder left unflagged. Null: end of input.
    // False when the filter cannot take the picture (nothing was kept of it).
    bool Push(const AVFrame* picture, int64_t timeUs, int fieldOrder);
    // The next finished picture with its time in pts (microseconds), or null. It stays valid
    // until the next call.
    AVFrame* Pull();

private:
    bool build(const AVFrame* picture);
    void release();
    // Moves every picture the sink has into m_ready.
    void collect();

    struct FrameDeleter {
        void operator()(AVFrame* frame) const;
    };
    using OwnedFrame = std::unique_ptr<AVFrame, FrameDeleter>;

    bool m_allPictures;
    AVFilterGraph* m_graph = nullptr;
    AVFilterContext* m_source = nullptr;
    AVFilterContext* m_sink = nullptr;
    int m_width = 0, m_height = 0, m_format = -1;
    std::deque<OwnedFrame> m_ready;
    OwnedFrame m_current; // the picture Pull handed out last
};
