// vidbrisk-convert on the files of a music and video library: songs with a cover and tags,
// a film with two languages, subtitles and chapters, pictures without sound. Each output is
// read back for its streams, languages, titles, tags, chapters and cover; and every video
// row of the catalogue makes a still picture of a song's cover for the song's length.
#include "FillComboOutputFormat.h"
#include "LibraryMedia.h"
#include "MediaLibraries.h"
#include "SettingMapping.h"
#include "StreamReadBack.h"
#include "TestMedia.h"
#include "cli_run.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;
using namespace LibraryMedia;

namespace {

struct Expected {
    int video = 0, cover = 0, audio = 0, subtitle = 0;
    // Language and title of each sound track and each subtitle, in order.
    std::vector<std::pair<std::string, std::string>> audioTracks;
    std::vector<std::pair<std::string, std::string>> subtitles;
    std::string subtitleCodec; // of the first subtitle
    std::string title;         // the title tag
    bool songTags = false;     // every tag of the songs
    int chapters = 0;
};

struct Case {
    const char* name;
    const char* input;
    const char* format;
    std::vector<std::string> args;
    Expected expected;
    const char* failure; // "" when the file is Done
};

const std::pair<std::string, std::string> kEnglish{"eng", "English"};
const std::pair<std::string, std::string> kGerman{"ger", "Deutsch"};
const std::pair<std::string, std::string> kEnglishText{"eng", "English subtitles"};
const std::pair<std::string, std::string> kGermanPictures{"ger", ""};

const Case kCases[] = {
    {"FilmIntoMkv",
     kTwoLanguagesMkv,
     "MKV",
     {},
     {1,
      0,
      2,
      2,
      {kEnglish, kGerman},
      {kEnglishText, kGermanPictures},
      "subrip",
      kFilmTitle,
      false,
      2},
     ""},
    {"FilmIntoWebm",
     kTwoLanguagesMkv,
     "WEBM",
     {},
     {1, 0, 2, 1, {kEnglish, kGerman}, {kEnglishText}, "webvtt", kFilmTitle, false, 2},
     ""},
    {"FilmIntoMp4",
     kTwoLanguagesMkv,
     "MP4",
     {},
     {1, 0, 2, 1, {kEnglish, kGerman}, {kEnglishText}, "mov_text", kFilmTitle, false, 2},
     ""},
    {"FilmIntoFlv",
     kTwoLanguagesMkv,
     "FLV",
     {},
     {1, 0, 1, 0, {}, {}, "", kFilmTitle, false, 0},
     ""},
    {"FilmIntoAvi",
     kTwoLanguagesMkv,
     "AVI - Audio Video Interleave (*.avi)",
     {},
     {1, 0, 1, 0, {}, {}, "", kFilmTitle, false, 0},
     ""},
    {"FilmWithChoicesIntoMkv",
     kTwoLanguagesMkv,
     "MKV",
     {"--subtitles", "none", "--audio-tracks", "2"},
     {1, 0, 1, 0, {kGerman}, {}, "", kFilmTitle, false, 2},
     ""},
    {"FilmWithATrackItLacks",
     kTwoLanguagesMkv,
     "MP4",
     {"--audio-tracks", "1,9"},
     {},
     "The input has no sound track numbered 9"},
    {"Mp3SongIntoMp3", kCoverMp3, "MP3", {}, {0, 1, 1, 0, {}, {}, "", "", true, 0}, ""},
    {"Mp3SongIntoM4a",
     kCoverMp3,
     "M4A - Mpeg4 Audio File (*.m4a)",
     {},
     {0, 1, 1, 0, {}, {}, "", "", true, 0},
     ""},
    {"Mp3SongIntoFlac", kCoverMp3, "FLAC", {}, {0, 1, 1, 0, {}, {}, "", "", true, 0}, ""},
    {"M4aSongIntoOgg",
     kCoverM4a,
     "OGG - Ogg Vorbis Audio (*.ogg)",
     {},
     {0, 1, 1, 0, {}, {}, "", "", true, 0},
     ""},
    {"M4aSongIntoOpus", kCoverM4a, "OPUS", {}, {0, 1, 1, 0, {}, {}, "", "", true, 0}, ""},
    {"M4aSongIntoMp3", kCoverM4a, "MP3", {}, {0, 1, 1, 0, {}, {}, "", "", true, 0}, ""},
    {"Mp3SongIntoWma",
     kCoverMp3,
     "WMA",
     {},
     {0, 0, 1, 0, {}, {}, "", kSongTags[0].value, false, 0},
     ""},
    {"SilentVideoIntoMp3",
     TestMedia::kVideoOnly.name,
     "MP3",
     {},
     {},
     "MP3 needs a sound stream, and the input has none"},
};

// Each test converts into a folder of its own.
class LibraryConversion : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
        lavu.av_log_set_level(AV_LOG_QUIET);
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');
        m_folder = fs::temp_directory_path() /
                   ("vidbrisk-streams-" + std::to_string(::getpid()) + "-" + name);
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
    }
    void TearDown() override { fs::remove_all(m_folder); }

    // Converts the file at `input`; the result line's fields.
    std::vector<std::string> convert(const std::string& input, const std::string& format,
                                     const std::vector<std::string>& more = {}) {
        std::vector<std::string> args = {"-q", "-f", format, "-o", m_folder.string()};
        args.insert(args.end(), more.begin(), more.end());
        args.push_back(input);
        const CliRun run = RunCli(args);
        const std::vector<std::string> lines = Lines(run.out);
        if (lines.size() != 1) {
            ADD_FAILURE() << run.out << run.err;
            return {};
        }
        return Fields(lines[0]);
    }

    fs::path m_folder;
};

class CliStreamsTest : public LibraryConversion, public ::testing::WithParamInterface<Case> {};

void expectTracks(const ReadBackFile& made, const std::string& kind,
                  const std::vector<std::pair<std::string, std::string>>& tracks) {
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        const ReadBackStream* stream = made.first(kind, static_cast<int>(i));
        ASSERT_NE(stream, nullptr) << kind << " " << i;
        EXPECT_EQ(stream->language, tracks[i].first) << kind << " " << i;
        EXPECT_EQ(stream->title, tracks[i].second) << kind << " " << i;
    }
}

TEST_P(CliStreamsTest, StreamsTagsChaptersAndCover) {
    const Case& c = GetParam();
    const std::vector<std::string> fields = convert(TestMediaPath(c.input), c.format, c.args);
    ASSERT_GE(fields.size(), 3u);
    if (*c.failure) {
        EXPECT_EQ(fields[0], "Fail");
        EXPECT_EQ(fields.back(), c.failure);
        EXPECT_EQ(std::distance(fs::directory_iterator(m_folder), fs::directory_iterator()), 0);
        return;
    }
    ASSERT_EQ(fields[0], "Done") << fields.back();
    const ReadBackFile made = ReadBack(fields[2]);
    ASSERT_TRUE(made.opened) << fields[2];
    const Expected& e = c.expected;
    EXPECT_EQ(made.count("video"), e.video);
    EXPECT_EQ(made.count("cover"), e.cover);
    EXPECT_EQ(made.count("audio"), e.audio);
    EXPECT_EQ(made.count("subtitle"), e.subtitle);
    expectTracks(made, "audio", e.audioTracks);
    expectTracks(made, "subtitle", e.subtitles);
    if (!e.subtitleCodec.empty() && made.first("subtitle")) {
        EXPECT_EQ(made.first("subtitle")->codec, e.subtitleCodec);
    }
    if (!e.title.empty()) {
        EXPECT_EQ(made.tags.count("title") ? made.tags.at("title") : "", e.title);
    }
    for (const Tag& tag : kSongTags) {
        if (e.songTags) {
            EXPECT_EQ(made.tags.count(tag.key) ? made.tags.at(tag.key) : "", tag.value) << tag.key;
        }
    }
    EXPECT_EQ(static_cast<int>(made.chapterTitles.size()), e.chapters);
    if (e.chapters > 0) {
        EXPECT_EQ(made.chapterTitles.front(), kFilmChapters[0].title);
    }
}

// MP4 keeps a track's title as its track (handler) name: a second conversion and the probe
// read it back as the title.
TEST_F(LibraryConversion, TrackNamesOfMp4AreTitlesAgain) {
    const std::vector<std::string> mp4 = convert(TestMediaPath(kTwoLanguagesMkv), "MP4");
    ASSERT_GE(mp4.size(), 3u);
    ASSERT_EQ(mp4[0], "Done") << mp4.back();
    const std::vector<std::string> mkv = convert(mp4[2], "MKV");
    ASSERT_GE(mkv.size(), 3u);
    ASSERT_EQ(mkv[0], "Done") << mkv.back();
    const ReadBackFile made = ReadBack(mkv[2]);
    expectTracks(made, "audio", {kEnglish, kGerman});
    expectTracks(made, "subtitle", {kEnglishText});
    const CliRun streams = RunCli({"--probe", "--streams", mp4[2]});
    EXPECT_NE(streams.out.find("\taudio\taac\tger\tDeutsch\t"), std::string::npos) << streams.out;
}

INSTANTIATE_TEST_SUITE_P(Library, CliStreamsTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- The probe ---------------------------------------------------------------------------

TEST(CliStreamsProbe, ASongWithACoverIsSoundOnlyAndEveryStreamIsListed) {
    const std::string song = TestMediaPath(kCoverMp3);
    const CliRun sizes = RunCli({"--probe", song});
    EXPECT_EQ(sizes.status, 0) << sizes.err;
    EXPECT_EQ(Lines(sizes.out), std::vector<std::string>{song + "\t \t \t00:00:02"});

    const std::string film = TestMediaPath(kTwoLanguagesMkv);
    const CliRun streams = RunCli({"--probe", "--streams", film, song});
    EXPECT_EQ(streams.status, 0) << streams.err;
    const std::vector<std::string> expected = {
        film + "\t0\tvideo\tmpeg4\t-\t-\t-",
        film + "\t1\taudio\taac\teng\tEnglish\tdefault",
        film + "\t2\taudio\taac\tger\tDeutsch\t-",
        film + "\t3\tsubtitle\tsubrip\teng\tEnglish subtitles\t-",
        film + "\t4\tsubtitle\tdvd_subtitle\tger\t-\t-",
        song + "\t0\taudio\tmp3\t-\t-\t-",
        song + "\t1\tcover\tmjpeg\t-\t-\t-"};
    EXPECT_EQ(Lines(streams.out), expected);
}

// ---- Every video row shows a song's cover for the song's length --------------------------

std::vector<int> videoRows() {
    std::vector<int> rows;
    for (const OutputFormatEntry& entry : OutputFormatCatalogue) {
        const std::string label = entry.OutputType;
        if (entry.Fill && !IsAudioOnlyLabel(label) && label != "OPUS" && label != "FLAC")
            rows.push_back(entry.Profile);
    }
    return rows;
}

class CliCoverRowTest : public LibraryConversion, public ::testing::WithParamInterface<int> {};

TEST_P(CliCoverRowTest, ACoverIsAStillPictureForTheSongsLength) {
    const OutputFormatEntry& row = OutputFormatCatalogue[GetParam()];
    // The MP3's JPEG cover and the M4A's PNG cover take turns.
    const char* song = row.Profile % 2 == 0 ? kCoverMp3 : kCoverM4a;
    const std::vector<std::string> fields = convert(TestMediaPath(song), row.DisplayName);
    ASSERT_GE(fields.size(), 3u);
    ASSERT_EQ(fields[0], "Done") << row.DisplayName << ": " << fields.back();
    const ReadBackFile made = ReadBack(fields[2]);
    ASSERT_EQ(made.count("video"), 1) << row.DisplayName;
    EXPECT_EQ(made.count("cover"), 0);
    const ReadBackStream& video = *made.first("video");
    const ReadBackStream& sound = *made.first("audio");
    // Still pictures at the row's rate (5 a second at least) for as long as the sound.
    EXPECT_GE(video.packets, static_cast<int64_t>(kSongSeconds * 5)) << row.DisplayName;
    if (video.lastSeconds > 0 && sound.lastSeconds > 0) {
        EXPECT_NEAR(video.lastSeconds, sound.lastSeconds, 0.3) << row.DisplayName;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, CliCoverRowTest, ::testing::ValuesIn(videoRows()),
                         [](const auto& info) { return "Row" + std::to_string(info.param); });

TEST(CliCoverRows, TheCatalogueHas54VideoRows) {
    EXPECT_EQ(videoRows().size(), 54u);
}

} // namespace
