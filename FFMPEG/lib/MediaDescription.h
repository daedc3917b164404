// Everything the probe can tell about an open file, as plain values: the container, every
// stream with its codec and shape, the tags and the chapters.
#pragma once

#include "MediaStreamList.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class TAVProbe;

// Key and value of each metadata entry, in the file's order.
using MediaTags = std::vector<std::pair<std::string, std::string>>;

struct MediaRatio {
    int Num = 0;
    int Den = 1;
};

// A stream's list entry (index, kind, codec, language, title, default flag, attached
// picture, size) and what more the probe tells about it.
struct MediaStreamDescription : TAVStreamEntry {
    std::string CodecLongName;       // "" when the libraries have none
    std::string Profile;             // "" when unknown
    std::optional<int64_t> BitRate;  // bits per second
    std::optional<int64_t> Duration; // microseconds
    // Video: the shape of a sample and of the picture (unknown sample aspect counts as
    // square), the clockwise turn that shows it upright.
    MediaRatio SampleAspect;
    MediaRatio DisplayAspect;
    int RotationDegrees = 0;
    std::optional<MediaRatio> FrameRate;
    std::string PixelFormat;
    // Audio
    int Channels = 0;
    std::string ChannelLayout; // "stereo", "5.1(side)"; "" when the file says no more
    int SampleRate = 0;
    MediaTags Tags;
};

struct MediaChapter {
    int64_t Start = 0; // microseconds
    int64_t End = 0;
    std::string Title;
    MediaTags Tags;
};

struct MediaDescription {
    std::string Container;            // the demuxer's name ("mov,mp4,m4a,3gp,3g2,mj2")
    std::string ContainerLongName;    // "QuickTime / MOV"
    std::optional<int64_t> Duration;  // microseconds
    std::optional<int64_t> StartTime; // microseconds
    std::optional<int64_t> BitRate;   // bits per second
    std::vector<MediaStreamDescription> Streams;
    MediaTags Tags;
    std::vector<MediaChapter> Chapters;
};

// Describes the file the probe holds open (an empty description when none is).
MediaDescription DescribeOpenFile(const TAVProbe& probe);
