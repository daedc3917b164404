#include "SourceKindsSet.h"

#include "../support/TestMedia.h"
#include "ClipWriter.h"
#include "PartialFile.h"

extern "C" {
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
}

#include <cmath>
#include <vector>

namespace fs = std::filesystem;
using namespace SourceKinds;

namespace {

std::vector<SourceClip> allClips() {
    std::vector<SourceClip> clips(kSyncClips.begin(), kSyncClips.end());
    clips.insert(clips.end(), kAnamorphicClips.begin(), kAnamorphicClips.end());
    clips.insert(clips.end(), kChromaClips.begin(), kChromaClips.end());
    clips.push_back(kInterlaced);
    clips.push_back(kSurround);
    return clips;
}

ClipRecipe recipeOf(const SourceClip& clip) {
    ClipRecipe recipe;
    recipe.muxer = clip.muxer;
    VideoRecipe video;
    video.encoder = clip.videoEncoder;
    video.width = clip.width;
    video.height = clip.height;
    video.frameRate = AVRational{kFrameRate, 1};
    video.frameCount = clip.frameCount;
    video.bitRate = clip.width >= 720 ? 4000000 : 300000;
    video.preset = video.encoder == "libx264" ? "ultrafast" : "";
    video.pixelFormat = av_get_pix_fmt(clip.pixelFormat);
    if (clip.sampleAspectNum != clip.sampleAspectDen)
        video.sampleAspect = AVRational{clip.sampleAspectNum, clip.sampleAspectDen};
    video.interlaced = clip.interlaced;
    video.startFrames = clip.videoStartFrames;
    recipe.video = video;
    if (clip.audioEncoder[0] != '\0') {
        AudioRecipe audio;
        audio.encoder = clip.audioEncoder;
        audio.sampleRateHz = clip.sampleRateHz;
        audio.channels = clip.channels;
        const double seconds = static_cast<double>(clip.frameCount) / kFrameRate;
        audio.sampleCount = std::llround((seconds - clip.audioStartSeconds) * clip.sampleRateHz);
        audio.bitRate = clip.channels > 2 ? 384000 : 128000;
        audio.startSeconds = clip.audioStartSeconds;
        if (clip.burst) {
            audio.burstSeconds = kBurstSeconds;
            audio.burstLengthSeconds = kBurstLengthSeconds;
        }
        recipe.audio = audio;
    }
    return recipe;
}

} // namespace

namespace SourceKindsSet {

std::set<std::string> missingEncoders(bool (*hidden)(const std::string&)) {
    std::set<std::string> missing;
    for (const SourceClip& clip : allClips())
        for (const std::string& name : ClipWriter::encodersOf(recipeOf(clip)))
            if (hidden(name) || avcodec_find_encoder_by_name(name.c_str()) == nullptr)
                missing.insert(name);
    return missing;
}

int write(const fs::path& folder) {
    return WriteClipSet(allClips(), folder, "source kinds",
                        [](const SourceClip& clip, const fs::path& path) {
                            ClipWriter(recipeOf(clip)).write(path);
                        });
}

} // namespace SourceKindsSet
