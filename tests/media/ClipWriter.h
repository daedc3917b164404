// Encodes synthetic video and audio into one media file.
#pragma once

#include "LibavHandles.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct VideoRecipe {
    std::string encoder;
    int width = 0;
    int height = 0;
    AVRational frameRate{0, 1};
    int frameCount = 0;
    int64_t bitRate = 0; // 0 leaves the encoder's own rate control (x264: constant quality)
    std::string preset;  // encoder private "preset" option; empty leaves the default
    // Any format the encoder takes: the pictures are drawn in yuv420p and converted.
    AVPixelFormat pixelFormat = AV_PIX_FMT_YUV420P;
    // The sample (pixel) aspect ratio written to the codec and the stream; 0/1: none.
    AVRational sampleAspect{0, 1};
    // Coded as interlaced fields, the top field first, from pictures whose fields were
    // taken at different times (SyntheticSignal::fillFieldsPicture).
    bool interlaced = false;
    // The first picture is stamped this many frames late: the picture starts after the
    // sound.
    int startFrames = 0;
    // The marked picture of OrientationMark.h instead of the colour bars (any size, odd
    // ones too, any 8-bit planar YUV format).
    bool marked = false;
    // The textured picture of SyntheticSignal instead of the colour bars.
    bool textured = false;
    // A display matrix on the stream telling players to turn the picture clockwise by this
    // many degrees (0: none); the marked picture is stored turned the other way.
    int displayRotationCw = 0;
    // From frame jumpFrame on, every time stamp (pts and dts) is jumpSeconds later, as in
    // a recording whose clock jumped forward. -1: no jump.
    int jumpFrame = -1;
    double jumpSeconds = 0.0;
};

struct AudioRecipe {
    std::string encoder;
    int sampleRateHz = 0;
    int channels = 0;
    int64_t sampleCount = 0;
    int64_t bitRate = 0;
    // The first audio packet is stamped this late: the sound starts after the picture.
    double startSeconds = 0.0;
    // Silence but for a burst of the tones from this time on the file's clock for
    // burstLengthSeconds; negative: the tones all along.
    double burstSeconds = -1.0;
    double burstLengthSeconds = 0.0;
    // The stream's language and title tags ("" for none) and its default flag.
    std::string language = "";
    std::string title = "";
    bool isDefault = false;
};

// A picture stored beside the sound (cover art): one encoded picture in a stream flagged
// as an attached picture. "mjpeg" or "png".
struct CoverRecipe {
    std::string encoder;
    int width = 0;
    int height = 0;
};

// A subtitle stream: SubRip text ("subrip", written as it is) or DVD pictures ("dvdsub",
// each cue a box of `width` x `height` in the picture's lower part).
struct SubtitleCue {
    double startSeconds = 0;
    double endSeconds = 0;
    std::string text;
};
struct SubtitleRecipe {
    std::string encoder;
    std::string language = "";
    std::string title = "";
    std::vector<SubtitleCue> cues;
    int width = 0; // the picture the DVD subtitles are drawn on
    int height = 0;
};

struct ChapterRecipe {
    double startSeconds = 0;
    double endSeconds = 0;
    std::string title = "";
};

// What one file holds: the muxer, and a video and/or an audio stream.
struct ClipRecipe {
    std::string muxer;
    std::optional<VideoRecipe> video;
    std::optional<AudioRecipe> audio;
    bool audioFirst = false; // put the audio stream before the video stream
    // Further sound tracks after the first, a cover, subtitles (after every other stream,
    // the cover first), chapters and the file's tags.
    std::vector<AudioRecipe> moreAudio;
    std::optional<CoverRecipe> cover;
    std::vector<SubtitleRecipe> subtitles;
    std::vector<ChapterRecipe> chapters;
    std::vector<std::pair<std::string, std::string>> tags;
};

// Writes one clip: opens the encoders, muxes their packets interleaved by time and writes
// the trailer. Output is bit-exact (no version strings or dates), single-threaded, so the
// same libraries write the same bytes every run. Failures throw std::runtime_error.
class ClipWriter {
public:
    explicit ClipWriter(ClipRecipe recipe);

    // Writes the clip to path (the muxer is named by the recipe, not by the file name).
    void write(const std::filesystem::path& path);

    // The encoder names of a recipe, for checking them all before writing anything.
    static std::vector<std::string> encodersOf(const ClipRecipe& recipe);

private:
    struct Track {
        CodecContextPtr codec;
        AVStream* stream = nullptr;
        FramePtr frame;
        FramePtr drawn; // the picture drawn in yuv420p when the encoder takes another format
        SwsContextPtr converter;
        int64_t nextPts = 0; // in the codec's time base: frame number or sample number
        int64_t endPts = 0;
        std::optional<int64_t> shift; // added to every packet time; set at the first packet
        int64_t startPts = 0;         // the first packet's time, in the codec's time base
        bool video = false;
        bool flushed = false;
    };

    void openVideo(const VideoRecipe& video);
    void openAudio(const AudioRecipe& audio);
    // The cover and the subtitles become streams whose packets are ready before the header
    // is written (m_ready, written right after it); chapters and tags go on the file.
    void addCover(const CoverRecipe& cover);
    void addSubtitles(const SubtitleRecipe& subtitles);
    void addChaptersAndTags();
    AVStream* addStream(Track& track);
    Track* nextTrack();
    void encodeNext(Track& track);
    void drain(Track& track);
    void jumpTimes(Track& track);
    void allocatePictures(Track& track, const VideoRecipe& video);
    void drawPicture(Track& track);

    ClipRecipe m_recipe;
    OutputContextPtr m_output;
    std::vector<Track> m_tracks;
    PacketPtr m_packet;
    std::vector<PacketPtr> m_ready;
};
