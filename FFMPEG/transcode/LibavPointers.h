// Owning pointers to the libraries' frames and packets, freed through the run-time binding.
#pragma once

#include "AVCodecHlpr.h"
#include "AVUtilHlpr.h"

#include <memory>

struct EngineFrameDeleter {
    void operator()(AVFrame* frame) const { lavu.av_frame_free(&frame); }
};
struct EnginePacketDeleter {
    void operator()(AVPacket* packet) const { lavc.av_packet_free(&packet); }
};
using FramePtr = std::unique_ptr<AVFrame, EngineFrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, EnginePacketDeleter>;
