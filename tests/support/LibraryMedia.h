// Names and contents of the files of an ordinary music and video library that
// vidbrisk_make_test_media writes beside the standard clips: songs with a cover picture and
// tags, a film with two languages, subtitles and chapters. Its --verify mode checks them.
#pragma once

#include <array>

namespace LibraryMedia {

// One tag of a file: the generic key libavformat reads it back under, and its value.
struct Tag {
    const char* key;
    const char* value;
};

// The tags every file of the set carries (the film's title differs, see below).
inline constexpr std::array<Tag, 7> kSongTags = {{{"title", "Morning Song"},
                                                  {"artist", "The Test Band"},
                                                  {"album", "Generated Songs"},
                                                  {"date", "2021"},
                                                  {"genre", "Pop"},
                                                  {"track", "3"},
                                                  {"comment", "written at test time"}}};

// A song: MP3 (libmp3lame, 44100 Hz stereo, 2 s) with the tags above and a JPEG cover of
// 300 x 300 as its ID3v2 picture (stream 1, an attached picture).
inline constexpr const char* kCoverMp3 = "cover_art.mp3";
// The same song as M4A (AAC, 48000 Hz stereo, 2 s) with a PNG cover of 240 x 320 in its
// cover atom (stream 1).
inline constexpr const char* kCoverM4a = "cover_art.m4a";
inline constexpr double kSongSeconds = 2.0;
inline constexpr int kMp3CoverWidth = 300, kMp3CoverHeight = 300;
inline constexpr int kM4aCoverWidth = 240, kM4aCoverHeight = 320;

// A film in Matroska, 3 s: MPEG-4 video 320 x 240 at 25 fps (stream 0); AAC sound in English
// (stream 1, default, titled "English") and in German (stream 2, "Deutsch"); a SubRip
// subtitle in English (stream 3, "English subtitles", three cues) and a DVD (picture)
// subtitle in German (stream 4); two chapters; the title tag below.
inline constexpr const char* kTwoLanguagesMkv = "two_languages.mkv";
inline constexpr double kFilmSeconds = 3.0;
inline constexpr const char* kFilmTitle = "Two Languages";
struct Track {
    int stream;
    const char* language;
    const char* title;
};
inline constexpr std::array<Track, 2> kFilmAudio = {{{1, "eng", "English"}, {2, "ger", "Deutsch"}}};
inline constexpr Track kFilmTextSubtitle{3, "eng", "English subtitles"};
inline constexpr Track kFilmPictureSubtitle{4, "ger", ""};
inline constexpr int kFilmCueCount = 3;
struct Chapter {
    double startSeconds;
    double endSeconds;
    const char* title;
};
inline constexpr std::array<Chapter, 2> kFilmChapters = {
    {{0.0, 1.5, "Opening"}, {1.5, 3.0, "Ending"}}};

} // namespace LibraryMedia
