// The working state of the transcode's stages that is not per stream: the main loop's,
// the muxing side's, the progress reports' and the audio path's. Each struct belongs to
// one engine instance; which thread uses it is said at each struct.
#pragma once

#include "Deinterlacer.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

struct AVBSFContext;

// What the muxing side remembers per output stream (index as in the output stream table),
// kept by WritePacket from the packets it writes. Used by the thread that writes packets
// (the task's worker, or its encoder thread while one runs) and read by the progress
// report on that same thread.
struct TWrittenStream {
    int Quality = 0;                             // last packet's quantiser x FF_QP2LAMBDA
    int PictureType = 0;                         // AVPictureType of the last packet, 0 when unknown
    int64_t Error[4] = {};                       // last packet's error per plane
    bool KeyFrame = false;                       // last packet was a key frame
    int64_t EndTs = AV_NOPTS_VALUE;              // latest pts + duration, stream time base
    std::vector<AVBSFContext*> BitStreamFilters; // applied in order; owned
};

struct MuxState {
    std::vector<TWrittenStream> WrittenStreams;
};

// The main loop's own state: the task's worker only.
struct MainLoopState {
    AVFormatContext** OutputFiles = nullptr; // the run's outputs while the loop runs
    AVFrame* DecodedFrame = nullptr;         // the decoders' output frame
    uint8_t* SubtitleBuffer = nullptr;       // 65536 bytes, av_malloc'd on first use
    // The deinterlacer of each input video stream that has one (by input stream index).
    std::map<int, std::unique_ptr<TDeinterlacer>> Deinterlacers;
};

// The progress reports and statistics: the thread that encodes video (it counts the
// quantisers and writes the statistics lines) and reports.
struct ProgressState {
    int32_t QpHistogramCounts[52] = {}; // quantisers of the first video stream
    std::FILE* VStatsFile = nullptr;    // per-frame video statistics, open while used
    int64_t LastReportUs = 0;           // wall clock of the last interim report
};

// The audio path's working state, used by the task's worker only (it encodes the sound
// while an encoder stage runs too); the buffers grow on demand and are kept between runs.
struct TAudioWork {
    TAudioWork() = default;
    TAudioWork(const TAudioWork&) = delete;
    TAudioWork& operator=(const TAudioWork&) = delete;
    ~TAudioWork();
    std::vector<uint8_t> Resampled; // resampler output
    std::vector<uint8_t> Padded;    // inserted silence followed by the block
    std::vector<uint8_t> Frame;     // one encoder frame taken from a FIFO
    // Converter of decoded frames to 16-bit interleaved, and what it was built for.
    SwrContext* DecodeConverter = nullptr;
    int DecodeFormat = -1, DecodeChannels = 0, DecodeRateHz = 0;
    // The input each output resampler was built for (rate, channels).
    struct TResamplerInput {
        const SwrContext* Resampler;
        int RateHz;
        int Channels;
    };
    std::vector<TResamplerInput> ResamplerInputs;
    // Per encoder, the stamp (in samples) that follows the last frame it was given, so
    // that stamps never go back when the input clock does; reset when the encoder takes
    // its first frame.
    struct TEncoderClock {
        const AVCodecContext* Encoder;
        int64_t NextPts;
    };
    std::vector<TEncoderClock> EncoderClocks;
};

struct AudioPathState {
    std::vector<uint8_t> DecodeBuffer; // decoded samples, 16-bit interleaved
    TAudioWork Work;
};
