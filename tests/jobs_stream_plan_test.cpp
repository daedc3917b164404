// The job builder's stream plan, table-driven: for the streams an input has, the output
// label, the user's choices and option lines, the options the engine is given (maps, new
// streams, subtitle codecs, cover, tags and chapters) or why the row cannot be converted.
#include "StreamPlan.h"

#include <gtest/gtest.h>

namespace {

TAVStreamEntry stream(int index, TAVStreamKind kind, const char* codec, const char* language = "",
                      bool isDefault = false) {
    TAVStreamEntry entry;
    entry.Index = index;
    entry.Kind = kind;
    entry.Codec = codec;
    entry.Language = language;
    entry.Default = isDefault;
    return entry;
}

TAVStreamEntry cover(int index, int size = 300) {
    TAVStreamEntry entry = stream(index, TAVStreamKind::Video, "mjpeg");
    entry.AttachedPicture = true;
    entry.Width = entry.Height = size;
    return entry;
}

TAVStreamEntry subtitle(int index, const char* codec, TAVSubtitleForm form) {
    TAVStreamEntry entry = stream(index, TAVStreamKind::Subtitle, codec);
    entry.SubtitleForm = form;
    return entry;
}

using Kind = TAVStreamKind;
using Form = TAVSubtitleForm;
using Tracks = StreamChoices::Tracks;

// A film: video, English (default) and German sound, a text and a picture subtitle.
const std::vector<TAVStreamEntry> kFilm = {
    stream(0, Kind::Video, "mpeg4"), stream(1, Kind::Audio, "aac", "eng", true),
    stream(2, Kind::Audio, "aac", "ger"), subtitle(3, "subrip", Form::Text),
    subtitle(4, "dvd_subtitle", Form::Bitmap)};
// A song with its cover.
const std::vector<TAVStreamEntry> kSong = {stream(0, Kind::Audio, "mp3"), cover(1)};
// A song whose cover's size cannot be read.
const std::vector<TAVStreamEntry> kDamagedSong = {stream(0, Kind::Audio, "mp3"), cover(1, 0)};
// Pictures without sound.
const std::vector<TAVStreamEntry> kSilent = {stream(0, Kind::Video, "mpeg4")};

struct Case {
    const char* name;
    const std::vector<TAVStreamEntry>* streams;
    const char* label;
    bool soundOnly;
    StreamChoices choices;
    const char* userLines;
    // What the engine is given: lines before the output exists, lines after it, the video
    // codec of the record ("" = as the format set it); or the failure.
    const char* before;
    const char* after;
    const char* videoCodec;
    const char* failure;
};

const StreamChoices kAll{};
const StreamChoices kDefaultOnly{true, Tracks::DefaultOnly, {}};
const StreamChoices kNoSubtitles{false, Tracks::All, {}};
const StreamChoices kGermanFirst{true, Tracks::Listed, {2, 1}};
const StreamChoices kNotSound{true, Tracks::Listed, {3}};

const Case kCases[] = {
    {"MkvKeepsEveryTrackAndSubtitleAsItIs", &kFilm, "MKV", false, kAll, "",
     "map=0:0\nmap=0:1\nsn\nmap=0:2\nmap=0:3\nmap=0:4\nmap_meta_data=0:0\nmap_chapters=0\n",
     "acodec=aac\nnewaudio\nscodec=copy\nnewsubtitle\nscodec=copy\nnewsubtitle\n", "", ""},
    {"Mp4KeepsTextSubtitlesAsMovText", &kFilm, "MP4", false, kAll, "",
     "map=0:0\nmap=0:1\nsn\nmap=0:2\nmap=0:3\nmap_meta_data=0:0\nmap_chapters=0\n",
     "acodec=aac\nnewaudio\nscodec=mov_text\nnewsubtitle\n", "", ""},
    {"WebmKeepsTextSubtitlesAsWebVtt", &kFilm, "webm", false, kAll, "",
     "map=0:0\nmap=0:1\nsn\nmap=0:2\nmap=0:3\nmap_meta_data=0:0\nmap_chapters=0\n",
     "acodec=aac\nnewaudio\nscodec=webvtt\nnewsubtitle\n", "", ""},
    {"FlvKeepsTheDefaultTrackOnly", &kFilm, "FLV", false, kAll, "",
     "map=0:0\nmap=0:1\nsn\nmap_meta_data=0:0\n", "", "", ""},
    {"DefaultOnlyAndNoSubtitles", &kFilm, "MKV", false,
     StreamChoices{false, Tracks::DefaultOnly, {}}, "",
     "map=0:0\nmap=0:1\nsn\nmap_meta_data=0:0\nmap_chapters=0\n", "", "", ""},
    {"ListedTracksInTheirOrder", &kFilm, "MOV", false, kGermanFirst, "",
     "map=0:0\nmap=0:2\nsn\nmap=0:1\nmap=0:3\nmap_meta_data=0:0\nmap_chapters=0\n",
     "acodec=aac\nnewaudio\nscodec=mov_text\nnewsubtitle\n", "", ""},
    {"ListedTracksOneWhereTheFormatHoldsOne", &kFilm, "AVI", false, kGermanFirst, "",
     "map=0:0\nmap=0:2\nsn\nmap_meta_data=0:0\n", "", "", ""},
    {"AListedNumberThatIsNoSoundTrack", &kFilm, "MKV", false, kNotSound, "", "", "", "",
     "The input has no sound track numbered 3"},
    {"TheUsersMapsChooseTheStreams", &kFilm, "MKV", false, kAll, "map=0:0\n",
     "map_meta_data=0:0\nmap_chapters=0\n", "", "", ""},
    {"TheUsersLeaveOutLinesWin", &kFilm, "MKV", false, kAll, "sn=1\nmap_meta_data=0:1\n",
     "map=0:0\nmap=0:1\nsn\nmap=0:2\nmap_chapters=0\n", "acodec=aac\nnewaudio\n", "", ""},
    {"ASongsCoverIsTheVideoOfAVideoRow", &kSong, "MP4", false, kNoSubtitles, "",
     "map=0:1:0:0\nmap=0:0\nsn\nmap_meta_data=0:0\nmap_chapters=0\n", "", "", ""},
    {"Mp3KeepsTheCoverAsItIs", &kSong, "MP3", true, kAll, "",
     "map=0:1\nmap=0:0\nsn\nmap_meta_data=0:0\n", "", "copy", ""},
    {"M4aKeepsTheCoverAndChapters", &kSong, "M4A", true, kAll, "",
     "map=0:1\nmap=0:0\nsn\nmap_meta_data=0:0\nmap_chapters=0\n", "", "copy", ""},
    {"OggKeepsTheCoverAsAComment", &kSong, "OGG", true, kAll, "",
     "picture_comment=0:1\nmap=0:0\nsn\nmap_meta_data=0:0\n", "", "", ""},
    {"WavLeavesTheCoverOut", &kSong, "WAV", true, kAll, "", "map=0:0\nsn\nmap_meta_data=0:0\n", "",
     "", ""},
    {"ACoverWithoutASizeIsNoVideo", &kDamagedSong, "MP4", false, kAll, "",
     "vn\nmap=0:0\nsn\nmap_meta_data=0:0\nmap_chapters=0\n", "", "", ""},
    {"ACoverWithoutASizeIsNotKept", &kDamagedSong, "MP3", true, kAll, "",
     "map=0:0\nsn\nmap_meta_data=0:0\n", "", "", ""},
    {"ASilentVideoHasNoSoundForMp3", &kSilent, "MP3", true, kDefaultOnly, "", "", "", "",
     "MP3 needs a sound stream, and the input has none"},
    {"ASilentVideoGoesIntoAVideoRow", &kSilent, "FLV", false, kAll, "",
     "map=0:0\nan\nsn\nmap_meta_data=0:0\n", "", "", ""},
};

class StreamPlanTest : public ::testing::TestWithParam<Case> {};

TEST_P(StreamPlanTest, OptionsForTheEngine) {
    const Case& c = GetParam();
    TOutputOptions options;
    ResetOutputOptions(options);
    options.DisableVideo = c.soundOnly;
    options.AudioCodec = "aac";
    options.ExtraOptions = "preset=faster\n"; // the format's own lines stay first
    const StreamPlanResult result =
        PlanStreams(*c.streams, c.label, c.choices, c.userLines, options);
    EXPECT_EQ(result.Failure, c.failure);
    if (!result.Failure.empty())
        return;
    EXPECT_EQ(options.ExtraOptions, std::string("preset=faster\n") + c.before);
    EXPECT_EQ(options.NewStreamOptions, c.after);
    EXPECT_EQ(options.VideoCodec, c.videoCodec);
    // A sound-only row gets a picture stream only for a cover it keeps as it is.
    EXPECT_EQ(options.DisableVideo, c.soundOnly && std::string(c.videoCodec) != "copy");
    EXPECT_EQ(result.CoverVideo != nullptr, c.streams == &kSong && !c.soundOnly);
}

INSTANTIATE_TEST_SUITE_P(Rows, StreamPlanTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StreamPlanContainers, EveryLabelOfTheTableIsFoundAndOthersKeepOneTrack) {
    for (const ContainerStreams& row : ContainerStreamTable)
        EXPECT_STREQ(ContainerStreamsFor(row.Label).Label, row.Label);
    const ContainerStreams plain = ContainerStreamsFor("FLV");
    EXPECT_FALSE(plain.SeveralAudioTracks);
    EXPECT_EQ(plain.Subtitles, SubtitleWay::None);
    EXPECT_EQ(plain.Cover, CoverWay::None);
    EXPECT_FALSE(plain.Chapters);
}

TEST(StreamPlanContainers, TheDefaultTrackIsTheFlaggedOneElseTheFirst) {
    std::vector<TAVStreamEntry> streams = {stream(0, Kind::Audio, "aac", "eng"),
                                           stream(1, Kind::Audio, "aac", "ger", true)};
    for (const bool flagged : {true, false}) {
        streams[1].Default = flagged;
        TOutputOptions options;
        ResetOutputOptions(options);
        options.DisableVideo = true;
        PlanStreams(streams, "MP3", StreamChoices{}, "", options);
        EXPECT_EQ(options.ExtraOptions,
                  std::string(flagged ? "map=0:1\n" : "map=0:0\n") + "sn\nmap_meta_data=0:0\n");
    }
}

} // namespace

TEST(StreamPlanContainers, AStillPictureEncodesQuickly) {
    for (const bool still : {true, false}) {
        TOutputOptions options;
        ResetOutputOptions(options);
        options.VideoCodec = "libx264";
        PlanStreams(still ? kSong : kFilm, "MP4", StreamChoices{}, "", options);
        EXPECT_EQ(options.ExtraOptions.ends_with("preset=ultrafast\n"), still);
    }
}
