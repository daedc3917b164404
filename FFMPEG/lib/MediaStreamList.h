// The streams of an open media file as a plain list: what the probe lists, what the engine
// hands the job builder, and the part of each stream every other description (the probe's
// JSON) builds on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct AVDictionary;
struct AVFormatContext;
struct AVStream;

enum class TAVStreamKind { Video, Audio, Subtitle, Data, Attachment, Unknown };

// How a subtitle stream draws its cues: as text (SRT, ASS/SSA, mov_text, WebVTT) or as
// pictures (DVD, PGS, DVB).
enum class TAVSubtitleForm { None, Text, Bitmap };

struct TAVStreamEntry {
    int32_t Index = 0; // the stream's number in the file
    TAVStreamKind Kind = TAVStreamKind::Unknown;
    std::string Codec;    // the codec's short name ("h264", "aac", "subrip"), "none" when unknown
    std::string Language; // as the file tags it ("eng", "ger"), "" when untagged or "und"
    std::string Title;    // the stream's own title, "" when it has none
    bool Default = false; // flagged as the one to play by default
    // A picture the file carries beside its sound (cover art), not a video.
    bool AttachedPicture = false;
    TAVSubtitleForm SubtitleForm = TAVSubtitleForm::None;
    int32_t Width = 0, Height = 0; // pictures only
};

// What `stream` is, as a list entry. The media libraries must be loaded.
TAVStreamEntry DescribeStreamEntry(const AVStream& stream);

// Every stream of `context`, in file order. The media libraries must be loaded.
std::vector<TAVStreamEntry> ListMediaStreams(const AVFormatContext* context);

// A stream's title: its "title" tag, else the track name MP4 and QuickTime keep as the
// handler's name, unless that name only says what kind of handler it is ("SoundHandler",
// "Core Media Audio"); "" when it has none.
std::string StreamTitle(const AVDictionary* metadata);

// Whether `stream` is an attached picture (cover art) rather than a video.
bool IsAttachedPicture(const AVStream* stream);

// The media type's word: "video", "audio", "subtitle", "data", "attachment" or "unknown".
const char* MediaKindText(TAVStreamKind kind);

// The kind's word in listings: "video", "audio", "subtitle", "data", "attachment" or
// "unknown"; an attached picture is a "cover".
const char* StreamKindText(const TAVStreamEntry& entry);
