// The video path's state of one engine instance: the frame hook counters, the working
// picture and its buffer, the custom hook's bitmap with its RGB conversions.
#pragma once

#include "TBitmap.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

// Owned by one engine instance and used on its worker thread only (the bitmap's rows are
// also read under the bitmap's own lock).
struct VideoPathState {
    // A byte buffer aligned for the scaler's vector code, grown on demand, never shrunk.
    class AlignedBuffer {
    public:
        // Makes room for `size` bytes; false when the memory cannot be had (the old
        // contents are then kept).
        bool reserve(std::size_t size);
        uint8_t* data() { return m_data.get(); }
        std::size_t capacity() const { return m_capacity; }
        void release();

    private:
        struct Deleter {
            void operator()(uint8_t* bytes) const;
        };
        std::unique_ptr<uint8_t[], Deleter> m_data;
        std::size_t m_capacity = 0;
    };

    VideoPathState() = default;
    VideoPathState(const VideoPathState&) = delete;
    VideoPathState& operator=(const VideoPathState&) = delete;
    ~VideoPathState();
    // Frees the buffers, the bitmap, the conversion contexts and the working picture, and
    // puts the counters back to their start (the hook state lives for one task).
    void Reset();

    int32_t HookFrameNumber = 0; // pre-processed pictures; the first one is number 1
    int32_t HookAction = 0;      // a THookAction: 0 haContinue, 1 haIgnore, 2 haStop
    // The custom hook asked to stop (or its conversion failed): it is not called again.
    bool CustomHookRemoved = false;
    // The picture being pre-processed is to be deinterlaced by the engine's own line
    // filter (the motion-adaptive deinterlacer could not take it).
    bool LineDeinterlace = false;
    AlignedBuffer HookBuffer;            // the working picture's planes
    AVFrame* WorkPicture = nullptr;      // views HookBuffer; handed to the outputs
    std::unique_ptr<TBitmap> HookBitmap; // created on the first hooked picture
    AVPixelFormat HookRgbFormat = AV_PIX_FMT_BGR24;
    AlignedBuffer RgbBuffer;
    SwsContext* ToRgb = nullptr;   // "toRGB": picture format to HookRgbFormat
    SwsContext* FromRgb = nullptr; // "fromRGB": back
    // Turning pictures upright: the turned picture (reused while the encoder holds none of
    // it), the decoded picture converted to a format that turns, and that conversion.
    AVFrame* Upright = nullptr;
    AVFrame* UprightInput = nullptr;
    SwsContext* UprightConverter = nullptr;
};
