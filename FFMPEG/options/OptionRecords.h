// The per-task option records of the transcoding component: input and output options,
// their reset operations and the fixed-capacity text helper.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Copies text into a fixed zero-terminated buffer, cutting what does not fit.
template <std::size_t N> void SetRecordText(char (&buffer)[N], std::string_view text) {
    static_assert(N > 0);
    const std::size_t length = text.size() < N - 1 ? text.size() : N - 1;
    text.copy(buffer, length);
    buffer[length] = '\0';
}

// Options of one task's input, given to AddInputTask. Initialise with ResetInputOptions.
struct TInputOptions {
    std::string FileName;     // filled with the input file name when empty
    std::string InputFormat;  // forced input format name; empty = detect
    int32_t StartTime = -1;   // milliseconds; used when above 0
    int32_t ProgramId = -1;   // program to select; used when 0 or more
    std::string ExtraOptions; // one "name=value" option per line
};

// Options of one task's output, given to SetTaskOutput. Initialise with
// ResetOutputOptions. A number "used when above 0" is ignored otherwise.
struct TOutputOptions {
    std::string FileName; // filled with the output file name when empty
    std::string Reserved; // not read
    std::string OutputFormat;
    int32_t PacketSize = -1;
    int32_t MuxRate = -1;
    float MuxDelay = -1.0f;   // seconds
    float MuxPreload = -1.0f; // seconds
    std::string AudioCodec;   // "copy" copies the stream
    bool DisableAudio = false;
    int32_t AudioVolume = -1; // 256 = unchanged; used when 0 or more
    int32_t AudioChannels = -1;
    int32_t AudioSampleRate = -1; // Hz
    int32_t AudioBitrate = -1;    // bits/s
    int32_t AudioBitrateTolerance = -1;
    std::string AudioLanguage;
    int32_t AudioSyncMethod = 0;
    std::string AudioTag;   // exactly 4 characters when given
    std::string VideoCodec; // "copy" copies the stream
    bool DisableVideo = false;
    std::string FrameRate;
    std::string FrameSize;
    std::string AspectRatio;
    int32_t CropTop = -1, CropBottom = -1, CropLeft = -1, CropRight = -1;
    int32_t PadTop = -1, PadBottom = -1, PadLeft = -1, PadRight = -1;
    uint32_t PadColor = 0; // 0x00BBGGRR; 0 is black
    int32_t GopSize = -1;
    int32_t VideoBitrate = -1; // bits/s
    int32_t VideoMaxRate = -1;
    int32_t VideoMinRate = -1;
    int32_t VideoBitrateTolerance = -1;
    int32_t VideoBufferSize = -1;
    int32_t VideoSyncMethod = -1;
    std::string VideoTag; // exactly 4 characters when given
    bool DisableSubtitle = false;
    std::string SubtitleLanguage;
    bool CopyTimestamps = false;
    int32_t RecordingTime = -1; // milliseconds
    double Timestamp = -1.0;    // days since 1899-12-30, local time; 0 = now, < 0 not set
    int32_t Year = -1;
    int32_t Track = -1;
    char Title[512] = {};
    char Author[512] = {};
    char Copyright[512] = {};
    char Comment[512] = {};
    char Album[512] = {};
    char Genre[32] = {};
    int32_t Target = 0;             // 0 none, 1 "vcd", 2 "svcd", 3 "dvd"
    int32_t TargetNorm = 0;         // 0 "auto", 1 "pal", 2 "ntsc"
    int32_t TargetFallbackNorm = 1; // 1 "pal", other values "ntsc"
    bool RaiseCustomHook = false;
    bool RaiseBeforeHook = false;
    std::string HookRanges;   // "start-end" pairs separated by ","
    std::string ExtraOptions; // one "name=value" option per line
    // Option lines applied once the output and its first streams exist: further streams
    // ("newaudio", "newsubtitle") with the options they take.
    std::string NewStreamOptions;
};

void ResetInputOptions(TInputOptions& options);
void ResetOutputOptions(TOutputOptions& options);
