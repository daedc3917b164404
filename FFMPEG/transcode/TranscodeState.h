// The per-file and per-stream state of one running transcode, and the registry of the
// codecs it holds open.
#pragma once

#include <cstdint>
#include <cstdio>
#include <list>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/fifo.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

// One per input file.
struct InputFileState {
    int EofReached = 0;
    int FirstStream = 0;   // index of the file's first stream in the input stream table
    int StreamsInFile = 0; // streams when the transcode starts; later ones are ignored
};

// One per stream of every input file, in file order, then stream order.
struct InputStreamState {
    int FileIndex = 0;
    int StreamIndex = 0; // position in its file
    AVStream* Stream = nullptr;
    AVCodecContext** Codec = nullptr; // the engine's decoder context of the stream
    int Discard = 1;                  // 1 until an output stream takes the stream
    int DecodingNeeded = 0;
    uint8_t RateEmulation = 0;
    int64_t Start = 0; // wall clock, microseconds (rate emulation)
    int FrameCount = 0;
    int64_t NextPts = AV_NOPTS_VALUE; // microseconds
    int64_t Pts = 0;                  // microseconds
    int IsStart = 1;                  // 1 until the first audio drift correction
    // Audio: where the last decoded frame ended (microseconds), the next frame's time when
    // its own is missing or only jitters about it.
    int64_t AudioNextUs = AV_NOPTS_VALUE;
    int RotationDegrees = 0; // video: clockwise turn that makes pictures upright
};

// One per stream of every output file, in file order, then stream order.
struct OutputStreamState {
    int FileIndex = 0;
    int StreamIndex = 0;
    int SourceIndex = 0; // into the input stream table
    AVStream* Stream = nullptr;
    AVCodecContext** Codec = nullptr; // the engine's encoder context of the stream
    int SyncSource = 0;               // input stream whose clock drives A/V sync
    int EncodingNeeded = 0;
    int FrameNumber = 0;
    int64_t SyncOpts = 0; // encoder time-base units (video frames, audio samples)
    // Video: encoder frames taken off the input clock after jumps of its timestamps.
    double SyncShiftFrames = 0;
    // Video.
    int VideoResample = 0;
    AVFrame* ScratchPicture = nullptr; // encoder size and pixel format
    SwsContext* Scaler = nullptr;
    int ResampleHeight = 0;
    int VideoCrop = 0, CropTop = 0, CropLeft = 0;
    int VideoPad = 0, PadTop = 0, PadBottom = 0, PadLeft = 0, PadRight = 0;
    // Video of a cover: the output's source is an attached picture (cover art), shown as
    // a still picture for as long as the sound of SyncSource lasts. StillFrame is that
    // picture fitted once into the encoder's geometry (owned; never written again, so the
    // encoder may keep references to it).
    int StillPicture = 0;
    AVFrame* StillFrame = nullptr;
    // Audio.
    int AudioResample = 0;
    SwrContext* Resampler = nullptr; // created by the audio path
    AVFifo* Fifo = nullptr;          // bytes
    // Where the sound starts (see AlignAudioStart): the input time, in seconds, of the
    // encoder's first sample once known, and whether the first samples went out.
    // The samples the encoder's decoders play before its first input sample (see
    // AudioTiming::MeasureDecodedLead), measured when the encoder opens.
    int DecodedLead = 0;
    int AudioStartKnown = 0;
    double AudioStartSeconds = 0;
    int AudioStarted = 0;
    // Two-pass statistics file, open while pass 1 runs.
    std::FILE* LogFile = nullptr;
};

// The codecs a task holds open: an entry is added right after a successful open and
// removed right after the matching close. Each entry is the slot of the engine's codec
// context (see StreamCodecTable), so closing frees the context and clears the slot.
// Owned by one engine instance and used on its worker thread only.
struct OpenCodecRegistry {
    std::list<AVCodecContext**> Encoders;
    std::list<AVCodecContext**> Decoders;

    bool Empty() const { return Encoders.empty() && Decoders.empty(); }
    std::size_t Count() const { return Encoders.size() + Decoders.size(); }
};
