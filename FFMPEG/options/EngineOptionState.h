// The option state of one engine instance: every field the option table sets, with its
// default. ResetOptions assigns a fresh EngineOptionState, so the defaults live here only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/rational.h>
#include <libswscale/swscale.h>
}

// Capacities of the engine's fixed lists.
constexpr int kMaxInputFiles = 20;
constexpr int kMaxOutputFiles = 20;
constexpr int kMaxStreams = 20;      // per file
constexpr int kMaxCodecThreads = 64; // the most a task asks of one codec
constexpr int kMaxStreamMaps = 20;
constexpr int kMaxMetadataMaps = 20;

// One "map" option: the input stream that feeds the next output stream, and the input
// stream it is synchronised with.
struct TStreamMap {
    int FileIndex = 0;
    int StreamIndex = 0;
    int SyncFileIndex = 0;
    int SyncStreamIndex = 0;
};

// One "map_meta_data" option: output file index, input file index.
struct TMetadataMap {
    int OutFile = 0;
    int InFile = 0;
};

// Texts are owned strings; an empty text means "not set". The file contexts are owned
// by the engine (released by its ReleaseState); resetting only forgets them.
struct EngineOptionState {

    // Files (opened and consumed by the input/output set-up).
    AVFormatContext* InputFiles[kMaxInputFiles] = {};
    int InputFileCount = 0;
    int64_t InputTimestampOffsets[kMaxInputFiles] = {}; // microseconds
    // Per input file and stream; 0 = not set. Written by "itsscale" for the next input.
    double InputTimestampScales[kMaxInputFiles][kMaxStreams] = {};
    AVFormatContext* OutputFiles[kMaxOutputFiles] = {};
    int OutputFileCount = 0;
    TStreamMap StreamMaps[kMaxStreamMaps] = {};
    int StreamMapCount = 0;
    TMetadataMap MetadataMaps[kMaxMetadataMaps] = {};
    int MetadataMapCount = 0;
    // "map_chapters": the input file whose chapters every output gets; -1 = none.
    int ChapterInputFile = -1;
    // "picture_comment": the input stream whose attached picture (cover art) every sound
    // stream of an Ogg output carries as its METADATA_BLOCK_PICTURE comment; -1 = none.
    int PictureCommentFile = -1;
    int PictureCommentStream = -1;
    const AVInputFormat* ForcedInputFormat = nullptr;
    const AVOutputFormat* ForcedOutputFormat = nullptr;

    // Video.
    int32_t FrameWidth = 0, FrameHeight = 0; // pixels
    int32_t FrameSizeFromInput = 0;          // 1 while the size is the input's own
    float FrameAspectRatio = 0;              // 0 = not set
    int32_t FramePixelFormat = -1;           // AVPixelFormat, -1 = none
    // 1 when FramePixelFormat was chosen ("pix_fmt"), 0 while it is the input's own.
    uint8_t PixelFormatChosen = 0;
    int32_t PadTop = 0, PadBottom = 0, PadLeft = 0, PadRight = 0;
    int32_t PadColorYUV[3] = {16, 128, 128}; // Y, Cb, Cr
    int32_t CropTop = 0, CropBottom = 0, CropLeft = 0, CropRight = 0;
    int32_t MaxFrames[4] = {INT32_MAX, INT32_MAX, INT32_MAX,
                            INT32_MAX}; // video, audio, data, subtitle
    AVRational FrameRate = {0, 0};      // 0/0 = not set
    float VideoQScale = 0;              // 0 = not set
    // 64 coefficients each; empty = not set.
    std::vector<uint16_t> IntraMatrix, InterMatrix;
    std::string RateControlOverride; // parsed at stream creation
    uint8_t VideoDisabled = 0;
    int32_t VideoDiscard = 0;
    std::string VideoCodecName;
    uint32_t VideoCodecTag = 0; // four characters, first in the lowest byte
    uint8_t SameQuality = 0;
    uint8_t Deinterlace = 0; // "deinterlace": every picture, whatever DeinterlaceMode says
    // Which pictures are deinterlaced ("deinterlace_mode"): those flagged interlaced or of
    // an interlaced stream, all, or none. Outputs that encode fields keep them.
    enum TDeinterlaceMode : int32_t { dmAuto = 0, dmAlways = 1, dmNever = 2 };
    int32_t DeinterlaceMode = dmAuto;
    int32_t TopFieldFirst = -1;
    int32_t MotionEstimationThreshold = 0;
    int32_t IntraDcPrecision = 8;
    uint8_t LoopInput = 0;
    int32_t LoopOutput = -1;
    uint8_t QpHistogram = 0;
    uint8_t IntraOnly = 0;

    // Audio and subtitles.
    int32_t AudioSampleRate = 44100; // Hz
    float AudioQScale = -99999;      // -99999 = not set
    uint8_t AudioDisabled = 0;
    int32_t AudioChannels = 2;
    std::string AudioCodecName;
    uint32_t AudioCodecTag = 0;
    std::string AudioLanguage;
    uint8_t SubtitleDisabled = 0;
    std::string SubtitleCodecName;
    std::string SubtitleLanguage;

    // Muxing, timing and metadata.
    float MuxPreload = 0.5f;           // seconds
    float MuxMaxDelay = 0.7f;          // seconds
    int64_t RecordingTime = INT64_MAX; // microseconds; INT64_MAX = no limit
    int64_t StartTime = 0;             // microseconds
    int64_t RecordTimestamp = 0;       // seconds since 1970-01-01 UTC
    int64_t InputTimestampOffset = 0;  // microseconds
    std::string Title, Author, Copyright, Comment, Genre, Album;
    int32_t Year = 0, Track = 0;

    // Run behaviour.
    uint8_t HexDump = 0, PacketDump = 0, ComputePsnr = 0;
    int32_t PassNumber = 0; // 0, 1 or 2
    std::string PassLogFileName;
    uint8_t AudioStreamCopy = 0, VideoStreamCopy = 0, SubtitleStreamCopy = 0;
    int32_t VideoSyncMethod = -1;
    int32_t AudioSyncMethod = 0;
    float AudioDriftThreshold = 0.1f;
    uint8_t CopyTimestamps = 0;
    uint8_t Shortest = 0;
    int32_t VideoGlobalHeader = 0; // bit 1 global header, bit 2 local header
    std::string VStatsFileName;
    // "vstats" without a name: VStatsFileName is a bare name that goes into the folder of
    // the output file whose stream is measured.
    bool VStatsInOutputFolder = false;
    int32_t ProgramId = 0;
    uint8_t RateEmulation = 0;
    int32_t VideoChannel = 0;
    std::string VideoStandard;
    int32_t AudioVolume = 256; // 256 = unchanged
    uint8_t UsingVideoHook = 0;
    // The engine's verbosity on its own scale: -1 quiet, 0 errors, 1 information,
    // 2 debug, 3 everything (see LibraryLogLevel for the libraries' scale).
    int32_t Verbosity = 1;
    // Threads of each decoder and encoder: 0 lets the libraries choose for the machine,
    // 1 keeps every codec and the encoders on the task's worker (see EncoderStageWanted).
    int32_t ThreadCount = 0;
    uint8_t InputSync = 0;
    int64_t FileSizeLimit = 0; // bytes, 0 = none
    uint8_t PgmyuvCompatibility = 0;
    float DtsDeltaThreshold = 10.0f;
    int32_t ScalerFlags = SWS_BICUBIC;

    // Transcode counters, read by the progress report (bytes; frames).
    int64_t VideoBytes = 0, AudioBytes = 0, GlobalHeaderBytes = 0;
    int32_t DuplicatedFrames = 0, DroppedFrames = 0;
    // Size of the encode output buffer; the set-up raises it for large pictures.
    int32_t BitBufferSize = 262144;
};
