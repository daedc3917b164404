#include "RealWorldSet.h"
#include "AsfTimes.h"
#include "PartialFile.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cmath>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The muxer and encoders of an encoded file.
struct Coding {
    const RealWorldClip* clip;
    const char* muxer;
    const char* videoEncoder;
    AVPixelFormat pixelFormat;
    int64_t videoBitRate; // 0: the encoder's own rate control
    const char* audioEncoder;
    int64_t audioBitRate;
};

using namespace RealWorldMedia;

const Coding kCodings[] = {
    {&kAsf, "asf", "wmv2", AV_PIX_FMT_YUV420P, 400000, "wmav2", 128000},
    {&kRotated90, "mp4", "libx264", AV_PIX_FMT_YUV420P, 300000, "aac", 128000},
    {&kRotated180, "mp4", "libx264", AV_PIX_FMT_YUV420P, 300000, "aac", 128000},
    {&kRotated270, "mp4", "libx264", AV_PIX_FMT_YUV420P, 300000, "aac", 128000},
    {&kLateAudioMkv, "matroska", "libx264", AV_PIX_FMT_YUV420P, 300000, "libmp3lame", 128000},
    {&kLateAudioMp4, "mp4", "libx264", AV_PIX_FMT_YUV420P, 300000, "aac", 128000},
    {&kOddSize, "matroska", "mpeg4", AV_PIX_FMT_YUV420P, 300000, "libmp3lame", 128000},
    {&kSoundOnly30s, "mp3", "", AV_PIX_FMT_NONE, 0, "libmp3lame", 48000},
    {&kAviMpeg4, "avi", "mpeg4", AV_PIX_FMT_YUV420P, 300000, "libmp3lame", 128000},
    {&kAviMjpeg, "avi", "mjpeg", AV_PIX_FMT_YUVJ420P, 2000000, "pcm_s16le", 0},
    {&kMkvH264, "matroska", "libx264", AV_PIX_FMT_YUV420P, 300000, "aac", 128000},
    {&kTsMpeg2, "mpegts", "mpeg2video", AV_PIX_FMT_YUV420P, 600000, "mp2", 128000},
    {&kRawH264, "h264", "libx264", AV_PIX_FMT_YUV420P, 300000, "", 0},
    {&kTimestampJump, "matroska", "libx264", AV_PIX_FMT_YUV420P, 300000, "aac", 128000},
};

const Coding* codingOf(const RealWorldClip& clip) {
    for (const Coding& coding : kCodings) {
        if (std::strcmp(coding.clip->name, clip.name) == 0) {
            return &coding;
        }
    }
    return nullptr;
}

const RealWorldClip& clipNamed(const char* name) {
    for (const RealWorldClip& clip : kAllClips) {
        if (std::strcmp(clip.name, name) == 0) {
            return clip;
        }
    }
    throw std::logic_error(std::string("no clip named ") + name);
}

// The clip's length: its frames, or the container duration of a file without picture.
double secondsOf(const RealWorldClip& clip) {
    if (clip.frameCount > 0) {
        return static_cast<double>(clip.frameCount) * clip.frameRateDen / clip.frameRateNum;
    }
    return clip.durationSeconds;
}

std::vector<char> readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes(static_cast<std::size_t>(fs::file_size(path)));
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!in || bytes.empty()) {
        throw std::runtime_error("cannot read " + path.string());
    }
    return bytes;
}

// The byte range [first, end) of the original that a cut keeps.
struct Range {
    std::size_t first;
    std::size_t end;
};

Range keptRange(const RealWorldClip& clip, std::size_t originalBytes) {
    const auto percentOf = [&](int percent) {
        return static_cast<std::size_t>(originalBytes * static_cast<std::uintmax_t>(percent) / 100);
    };
    switch (clip.damage) {
    case Damage::KeepFirstBytes:
        return {0, static_cast<std::size_t>(clip.damageAmount)};
    case Damage::KeepFirstPercent:
        return {0, percentOf(clip.damageAmount)};
    case Damage::DropFirstPercent:
        return {percentOf(clip.damageAmount), originalBytes};
    default:
        throw std::logic_error("not a cut");
    }
}

void writeCut(const RealWorldClip& clip, const fs::path& folder, const fs::path& target) {
    const std::vector<char> original = readAll(folder / clip.damagedFrom);
    const Range range = keptRange(clip, original.size());
    if (range.end > original.size() || range.first >= range.end) {
        throw std::runtime_error(std::string("the original ") + clip.damagedFrom +
                                 " is too small for this cut");
    }
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(original.data() + range.first, static_cast<std::streamsize>(range.end - range.first));
    out.close();
    if (!out) {
        throw std::runtime_error("cannot write " + target.string());
    }
}

// A copy of an ASF original in which every fragment of one video frame carries a
// presentation time damageSeconds late.
void writeSpike(const RealWorldClip& clip, const fs::path& folder, const fs::path& target) {
    std::vector<char> bytes = readAll(folder / clip.damagedFrom);
    const RealWorldClip& original = clipNamed(clip.damagedFrom);
    const int64_t frameMs =
        int64_t{1000} * clip.damageAmount * original.frameRateDen / original.frameRateNum;
    const auto fromMs = static_cast<uint32_t>(AsfTimes::readPrerollMs(bytes) + frameMs);
    const auto toMs = static_cast<uint32_t>(fromMs + std::llround(clip.damageSeconds * 1000));
    const int streamNumber = original.firstVideoStream + 1;
    if (AsfTimes::rewritePresentationTime(bytes, streamNumber, fromMs, toMs) == 0) {
        throw std::runtime_error("no payload of the frame found");
    }
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        throw std::runtime_error("cannot write " + target.string());
    }
}

bool isCut(const RealWorldClip& clip) {
    return clip.damage == Damage::KeepFirstBytes || clip.damage == Damage::KeepFirstPercent ||
           clip.damage == Damage::DropFirstPercent;
}

} // namespace

namespace RealWorldSet {

ClipRecipe recipeOf(const RealWorldClip& clip) {
    const Coding* coding = codingOf(clip);
    if (coding == nullptr) {
        throw std::logic_error(std::string("no coding for ") + clip.name);
    }
    ClipRecipe recipe;
    recipe.muxer = coding->muxer;
    if (coding->videoEncoder[0] != '\0') {
        VideoRecipe video;
        video.encoder = coding->videoEncoder;
        video.width = clip.width;
        video.height = clip.height;
        video.frameRate = AVRational{clip.frameRateNum, clip.frameRateDen};
        video.frameCount = clip.frameCount;
        video.bitRate = coding->videoBitRate;
        video.preset = video.encoder == "libx264" ? "ultrafast" : "";
        video.pixelFormat = coding->pixelFormat;
        video.marked = true;
        video.displayRotationCw = clip.displayRotationCw;
        if (clip.damage == Damage::TimestampJump) {
            video.jumpFrame = clip.damageAmount;
            video.jumpSeconds = clip.damageSeconds;
        }
        recipe.video = video;
    }
    if (coding->audioEncoder[0] != '\0') {
        AudioRecipe audio;
        audio.encoder = coding->audioEncoder;
        audio.sampleRateHz = clip.sampleRateHz;
        audio.channels = clip.channels;
        audio.sampleCount =
            std::llround((secondsOf(clip) - clip.audioStartSeconds) * clip.sampleRateHz);
        audio.bitRate = coding->audioBitRate;
        audio.startSeconds = clip.audioStartSeconds;
        recipe.audio = audio;
    }
    return recipe;
}

std::set<std::string> missingEncoders(bool (*hidden)(const std::string&)) {
    std::set<std::string> missing;
    for (const Coding& coding : kCodings) {
        for (const std::string& name : ClipWriter::encodersOf(recipeOf(*coding.clip))) {
            if (hidden(name) || avcodec_find_encoder_by_name(name.c_str()) == nullptr) {
                missing.insert(name);
            }
        }
    }
    return missing;
}

int write(const fs::path& folder) {
    return WriteClipSet(kAllClips, folder, "real-world files",
                        [&](const RealWorldClip& clip, const fs::path& path) {
                            if (isCut(clip)) {
                                writeCut(clip, folder, path);
                            } else if (clip.damage == Damage::TimestampSpike) {
                                writeSpike(clip, folder, path);
                            } else {
                                ClipWriter(recipeOf(clip)).write(path);
                            }
                        });
}

} // namespace RealWorldSet
