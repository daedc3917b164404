// Which streams of an input go out, and how: the job builder's plan for one row, told to the
// engine through its own options (stream maps, new streams, metadata and chapter maps).
#pragma once

#include "MediaStreamList.h"
#include "OptionRecords.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

// How a container keeps subtitles.
enum class SubtitleWay {
    None,      // it keeps none
    AsTheyAre, // text and pictures as the input has them (Matroska)
    MovText,   // text as mov_text (MP4, MOV, 3GP)
    WebVtt,    // text as WebVTT (WebM)
};

// How a sound-only container keeps a cover picture.
enum class CoverWay {
    None,           // it keeps none
    PictureStream,  // a picture stream of its own (MP3's ID3v2 picture, M4A's cover atom,
                    // FLAC's picture block)
    PictureComment, // a METADATA_BLOCK_PICTURE comment (Ogg Vorbis, Opus)
};

// What the container behind an output label keeps besides one picture and one sound.
struct ContainerStreams {
    const char* Label;
    bool SeveralAudioTracks;
    SubtitleWay Subtitles;
    CoverWay Cover;
    bool Chapters;
};

// Every output label that keeps more than one picture and one sound; any other label keeps
// the default sound track only, no subtitles, no cover and no chapters (tags go to every
// output: a container that holds none leaves them out).
inline constexpr std::array<ContainerStreams, 11> ContainerStreamTable = {{
    // clang-format off
    {"MKV",  true,  SubtitleWay::AsTheyAre, CoverWay::None,           true},
    {"WEBM", true,  SubtitleWay::WebVtt,    CoverWay::None,           true},
    {"MP4",  true,  SubtitleWay::MovText,   CoverWay::None,           true},
    {"MOV",  true,  SubtitleWay::MovText,   CoverWay::None,           true},
    {"3GP",  false, SubtitleWay::MovText,   CoverWay::None,           false},
    {"3G2",  false, SubtitleWay::MovText,   CoverWay::None,           false},
    {"M4A",  false, SubtitleWay::None,      CoverWay::PictureStream,  true},
    {"MP3",  false, SubtitleWay::None,      CoverWay::PictureStream,  false},
    {"FLAC", false, SubtitleWay::None,      CoverWay::PictureStream,  false},
    {"OGG",  false, SubtitleWay::None,      CoverWay::PictureComment, false},
    {"OPUS", false, SubtitleWay::None,      CoverWay::PictureComment, false},
    // clang-format on
}};

// The row of `outputLabel` (any case); a label without one gets the plain container.
ContainerStreams ContainerStreamsFor(std::string_view outputLabel);

// Subtitle codecs Matroska holds as they are; other text subtitles become SubRip there.
inline constexpr std::array<std::string_view, 7> MatroskaSubtitleCodecs = {
    "subrip", "ass", "ssa", "webvtt", "dvd_subtitle", "hdmv_pgs_subtitle", "dvb_subtitle"};

// Encoders that spend much time on each of the many identical pictures of a still picture
// (a cover shown for a song's length) with the row's own speed, and the speed that makes
// them cheap: the picture's quality comes from its key frames, which every speed encodes
// well at the row's bit rate.
struct StillPictureSpeed {
    std::string_view Encoder;
    std::string_view Options;
};
inline constexpr std::array<StillPictureSpeed, 1> StillPictureSpeeds = {{
    {"libx264", "preset=ultrafast\n"},
}};

// The user's choices: the Additional Options "Subtitles" and "Audio tracks", or the
// converter's --subtitles and --audio-tracks.
struct StreamChoices {
    enum class Tracks { All, DefaultOnly, Listed };
    bool KeepSubtitles = true;
    Tracks AudioTracks = Tracks::All;
    std::vector<int> ListedTracks; // stream numbers of the input, for Tracks::Listed
};

// What the plan decided beyond the option lines it wrote into the record.
struct StreamPlanResult {
    // Not empty: the row cannot be converted, and this says why.
    std::string Failure;
    // The output's picture is this attached picture (cover art) shown still; null when the
    // picture, if any, is a real video.
    const TAVStreamEntry* CoverVideo = nullptr;
};

// The attached picture (cover art) a row with pictures shows as its video: the input's
// first cover when it has no real video; null for a sound-only row or a real video.
const TAVStreamEntry* CoverShownAsVideo(const std::vector<TAVStreamEntry>& streams,
                                        const TOutputOptions& options);

// Plans the streams of one row into `options`, after the format's apply step: maps for
// every output stream in order, the subtitle codec, further audio tracks and subtitles
// (NewStreamOptions), "an"/"vn"/"sn" for kinds that do not go out, the cover of a
// sound-only row (a copied picture stream, or its picture comment), and the tag and
// chapter maps. `userLines` are option lines the user adds (the converter's --option): with
// a "map" line among them the user chooses the streams, with "map_meta_data" the tags, and
// "an", "vn" or "sn" leave that kind out.
// `outputLabel` is the row's output label, as the failure names it.
StreamPlanResult PlanStreams(const std::vector<TAVStreamEntry>& streams,
                             std::string_view outputLabel, const StreamChoices& choices,
                             std::string_view userLines, TOutputOptions& options);
