// The media probe TAVProbe and its records TAVFileInfo and TAVStreamInfo.
#pragma once

#include "MediaStreamList.h"

#include <cstdint>
#include <string>
#include <vector>

struct AVFormatContext;

// Container information of the open file.
struct TAVFileInfo {
    int64_t StartTime; // microseconds
    int64_t Duration;  // microseconds; AV_NOPTS_VALUE when unknown
    int32_t BitRate;
    int64_t Timestamp; // creation time, seconds since 1970 (0 when the file has none)
    char Title[512];
    char Author[512];
    char Copyright[512];
    char Comment[512];
    char Album[512];
    int32_t Year;
    int32_t Track;
    char Genre[32];
};

// One video stream of the open file. A failed query leaves the first two fields zeroed
// and every other field -1.
struct TAVStreamInfo {
    char Language[4];
    char CodecName[32];
    int64_t StartTime;   // in the stream's time base
    int64_t StartTimeUs; // -1 when unknown
    int64_t Duration;    // in the stream's time base
    int64_t DurationUs;  // -1 when unknown
    int32_t BitRate;
    int32_t Height;
    int32_t Width;
    float DisplayAspect;
    int32_t PixelFormat;
    int32_t FrameRateNum;
    int32_t FrameRateDen;
};

// Packets of the open file by media kind (for video, one packet is one frame).
struct TAVPacketCounts {
    int64_t Video = 0;
    int64_t Audio = 0;
    int64_t Subtitle = 0;
};

// Opens one media file and answers questions about its container and video streams.
// The last file stays open until the next LoadFile, CloseFile or destruction. Used from
// one thread at a time; holds no lock.
class TAVProbe {
public:
    TAVProbe() = default;
    ~TAVProbe();
    TAVProbe(const TAVProbe&) = delete;
    TAVProbe& operator=(const TAVProbe&) = delete;

    // Opens and analyses the file, with the named input format forced when format is
    // not empty. False with LastErrorMessage set when it cannot; no file stays open then.
    // Throws MediaLibraryError when a media library is not bound.
    bool LoadFile(const std::string& fileName, const std::string& format = std::string());
    void CloseFile();

    TAVFileInfo GetFileInfo() const;
    // A negative index means the first video stream.
    TAVStreamInfo GetStreamInfo(int index) const;
    TAVStreamInfo GetVideoInfo() const { return GetStreamInfo(-1); }
    // Every stream of the open file in file order; empty when no file is open.
    std::vector<TAVStreamEntry> Streams() const;
    // Reads the open file's packets until each kind of stream it holds has given at least
    // `enough` of them, or the file ends. Zero counts when no file is open.
    TAVPacketCounts CountPackets(int64_t enough = 1);

    // The open file's context (null when none is open), for readers of the whole file.
    const AVFormatContext* Context() const { return m_context; }

    // Throws MediaLibraryError naming the first library that is not bound.
    static void CheckLibraries();
    static std::string ProbeErrorText(const std::string& fileName, int errorCode);

    std::string LastErrorMessage;
    std::string FormatName;
    int32_t StreamCount = -1;
    int32_t AudioStreamCount = -1;
    // Video streams are real pictures: an attached picture (cover art) is not counted
    // (a file with sound and a cover is sound only).
    int32_t VideoStreamCount = -1;
    int32_t SubtitleStreamCount = -1;
    int32_t FirstAudioStream = -1;
    int32_t FirstVideoStream = -1;
    int32_t FirstSubtitleStream = -1;

private:
    void countStreams();
    void resetCounts();

    AVFormatContext* m_context = nullptr;
};
