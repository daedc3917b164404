#include "LibrarySet.h"

#include "../support/LibraryMedia.h"
#include "ClipWriter.h"
#include "PartialFile.h"

#include <cmath>
#include <cstring>

namespace fs = std::filesystem;
using namespace LibraryMedia;

namespace {

std::vector<std::pair<std::string, std::string>> songTags() {
    std::vector<std::pair<std::string, std::string>> tags;
    for (const Tag& tag : kSongTags) {
        tags.emplace_back(tag.key, tag.value);
    }
    return tags;
}

AudioRecipe sound(const char* encoder, int sampleRateHz, double seconds) {
    AudioRecipe audio;
    audio.encoder = encoder;
    audio.sampleRateHz = sampleRateHz;
    audio.channels = 2;
    audio.sampleCount = std::llround(seconds * sampleRateHz);
    audio.bitRate = 128000;
    return audio;
}

ClipRecipe song(const char* muxer, const char* encoder, int sampleRateHz, CoverRecipe cover) {
    ClipRecipe recipe;
    recipe.muxer = muxer;
    recipe.audio = sound(encoder, sampleRateHz, kSongSeconds);
    recipe.cover = cover;
    recipe.tags = songTags();
    return recipe;
}

ClipRecipe film() {
    ClipRecipe recipe;
    recipe.muxer = "matroska";
    VideoRecipe video;
    video.encoder = "mpeg4";
    video.width = 320;
    video.height = 240;
    video.frameRate = AVRational{25, 1};
    video.frameCount = static_cast<int>(std::llround(kFilmSeconds * 25));
    video.bitRate = 300000;
    recipe.video = video;
    for (const Track& track : kFilmAudio) {
        AudioRecipe audio = sound("aac", 48000, kFilmSeconds);
        audio.language = track.language;
        audio.title = track.title;
        audio.isDefault = track.stream == kFilmAudio[0].stream;
        if (recipe.audio) {
            recipe.moreAudio.push_back(audio);
        } else {
            recipe.audio = audio;
        }
    }
    SubtitleRecipe text{"subrip", kFilmTextSubtitle.language, kFilmTextSubtitle.title, {}, 0, 0};
    SubtitleRecipe pictures{"dvdsub", kFilmPictureSubtitle.language, "", {}, 320, 240};
    for (int cue = 0; cue < kFilmCueCount; ++cue) {
        const SubtitleCue timing{0.2 + cue, 0.9 + cue, "Line " + std::to_string(cue + 1)};
        text.cues.push_back(timing);
        pictures.cues.push_back(timing);
    }
    recipe.subtitles = {text, pictures};
    for (const Chapter& chapter : kFilmChapters) {
        recipe.chapters.push_back({chapter.startSeconds, chapter.endSeconds, chapter.title});
    }
    recipe.tags = {{"title", kFilmTitle}};
    return recipe;
}

struct LibraryFile {
    const char* name;
    ClipRecipe recipe;
};

std::vector<LibraryFile> files() {
    return {
        {kCoverMp3, song("mp3", "libmp3lame", 44100, {"mjpeg", kMp3CoverWidth, kMp3CoverHeight})},
        {kCoverM4a, song("ipod", "aac", 48000, {"png", kM4aCoverWidth, kM4aCoverHeight})},
        {kTwoLanguagesMkv, film()},
    };
}

std::string tagOf(const AVDictionary* metadata, const char* key) {
    const AVDictionaryEntry* entry = av_dict_get(metadata, key, nullptr, 0);
    return entry ? entry->value : "";
}

// What one file must hold, as lines of differences.
void check(const AVFormatContext& file, const LibraryFile& expected,
           std::vector<std::string>& differences) {
    const auto differ = [&](const std::string& what) {
        differences.push_back(std::string(expected.name) + ": " + what);
    };
    const ClipRecipe& recipe = expected.recipe;
    for (const auto& [key, value] : recipe.tags) {
        if (tagOf(file.metadata, key.c_str()) != value) {
            differ("tag " + key + " is \"" + tagOf(file.metadata, key.c_str()) + "\"");
        }
    }
    if (file.nb_chapters != recipe.chapters.size()) {
        differ(std::to_string(file.nb_chapters) + " chapters");
    }
    const unsigned streams = (recipe.video ? 1 : 0) + (recipe.audio ? 1 : 0) +
                             static_cast<unsigned>(recipe.moreAudio.size()) +
                             (recipe.cover ? 1 : 0) +
                             static_cast<unsigned>(recipe.subtitles.size());
    if (file.nb_streams != streams) {
        differ(std::to_string(file.nb_streams) + " streams");
        return;
    }
    if (recipe.cover) {
        const AVStream& cover = *file.streams[1];
        if (!(cover.disposition & AV_DISPOSITION_ATTACHED_PIC) ||
            cover.codecpar->width != recipe.cover->width ||
            cover.codecpar->height != recipe.cover->height) {
            differ("stream 1 is not the cover");
        }
    }
    for (const Track& track : kFilmAudio) {
        if (recipe.video &&
            tagOf(file.streams[track.stream]->metadata, "language") != track.language) {
            differ("stream " + std::to_string(track.stream) + " has another language");
        }
    }
}

} // namespace

namespace LibrarySet {

std::vector<std::string> names() {
    std::vector<std::string> result;
    for (const LibraryFile& file : files()) {
        result.emplace_back(file.name);
    }
    return result;
}

std::set<std::string> missingEncoders(bool (*hidden)(const std::string&)) {
    std::set<std::string> missing;
    for (const LibraryFile& file : files()) {
        for (const std::string& name : ClipWriter::encodersOf(file.recipe)) {
            if (hidden(name) || avcodec_find_encoder_by_name(name.c_str()) == nullptr) {
                missing.insert(name);
            }
        }
    }
    return missing;
}

void write(const fs::path& folder) {
    for (const LibraryFile& file : files()) {
        PartialFile partial(folder / file.name);
        try {
            ClipWriter(file.recipe).write(partial.path());
        } catch (const std::exception& error) {
            throw std::runtime_error(std::string(file.name) + ": " + error.what());
        }
        partial.commit();
    }
}

std::vector<std::string> verify(const fs::path& folder) {
    std::vector<std::string> differences;
    for (const LibraryFile& expected : files()) {
        AVFormatContext* opened = nullptr;
        const std::string path = (folder / expected.name).string();
        if (avformat_open_input(&opened, path.c_str(), nullptr, nullptr) < 0) {
            differences.push_back(std::string(expected.name) + ": cannot be opened");
            continue;
        }
        InputContextPtr file(opened);
        if (avformat_find_stream_info(file.get(), nullptr) < 0) {
            differences.push_back(std::string(expected.name) + ": cannot be analysed");
            continue;
        }
        check(*file, expected, differences);
    }
    return differences;
}

} // namespace LibrarySet
