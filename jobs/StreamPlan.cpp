#include "StreamPlan.h"

#include <algorithm>
#include <cctype>

namespace {

bool sameLabel(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

// Whether one of the option lines sets `name`.
bool hasOption(std::string_view lines, std::string_view name) {
    std::size_t start = 0;
    while (start <= lines.size()) {
        const std::size_t end = std::min(lines.find('\n', start), lines.size());
        const std::string_view line = lines.substr(start, end - start);
        if (line.size() > name.size() && line.substr(0, name.size()) == name &&
            line[name.size()] == '=')
            return true;
        start = end + 1;
    }
    return false;
}

std::string mapLine(int stream, int syncStream = -1) {
    std::string line = "map=0:" + std::to_string(stream);
    if (syncStream >= 0)
        line += ":0:" + std::to_string(syncStream);
    return line + "\n";
}

// The sound tracks that go out, in order; `failure` says why none can when the user
// listed a stream that is not a sound track.
std::vector<const TAVStreamEntry*> chooseAudio(const std::vector<TAVStreamEntry>& streams,
                                               const ContainerStreams& container,
                                               const StreamChoices& choices, std::string& failure) {
    std::vector<const TAVStreamEntry*> audio;
    for (const TAVStreamEntry& entry : streams)
        if (entry.Kind == TAVStreamKind::Audio)
            audio.push_back(&entry);
    if (choices.AudioTracks == StreamChoices::Tracks::Listed) {
        std::vector<const TAVStreamEntry*> listed;
        for (const int number : choices.ListedTracks) {
            const auto found = std::find_if(audio.begin(), audio.end(), [number](auto* entry) {
                return entry->Index == number;
            });
            if (found == audio.end()) {
                failure = "The input has no sound track numbered " + std::to_string(number);
                return {};
            }
            listed.push_back(*found);
        }
        audio = listed;
    } else if (!audio.empty() && (choices.AudioTracks == StreamChoices::Tracks::DefaultOnly ||
                                  !container.SeveralAudioTracks)) {
        const auto flagged =
            std::find_if(audio.begin(), audio.end(), [](auto* entry) { return entry->Default; });
        audio = {flagged != audio.end() ? *flagged : audio.front()};
    }
    if (!container.SeveralAudioTracks && audio.size() > 1)
        audio.resize(1);
    return audio;
}

// The encoder a subtitle needs in the container ("copy" keeps it as it is), or "" when the
// container cannot keep it.
std::string subtitleCodec(const TAVStreamEntry& entry, SubtitleWay way) {
    const bool text = entry.SubtitleForm == TAVSubtitleForm::Text;
    switch (way) {
    case SubtitleWay::AsTheyAre:
        if (std::find(MatroskaSubtitleCodecs.begin(), MatroskaSubtitleCodecs.end(), entry.Codec) !=
            MatroskaSubtitleCodecs.end())
            return "copy";
        return text ? "subrip" : "";
    case SubtitleWay::MovText:
        return text ? "mov_text" : "";
    case SubtitleWay::WebVtt:
        return text ? "webvtt" : "";
    default:
        return "";
    }
}

// The first real video, or the first cover whose size can be read (one that cannot is
// left out).
const TAVStreamEntry* firstVideo(const std::vector<TAVStreamEntry>& streams, bool cover) {
    for (const TAVStreamEntry& entry : streams)
        if (entry.Kind == TAVStreamKind::Video && entry.AttachedPicture == cover &&
            (!cover || (entry.Width > 0 && entry.Height > 0)))
            return &entry;
    return nullptr;
}

// The lines of the streams that go out: the picture, the sound, the subtitles.
struct PlanLines {
    std::string Before; // applied before the output is created
    std::string After;  // applied after it (further streams)
};

void planPicture(const std::vector<TAVStreamEntry>& streams, const ContainerStreams& container,
                 int syncStream, TOutputOptions& options, PlanLines& lines,
                 StreamPlanResult& result) {
    const TAVStreamEntry* video = firstVideo(streams, false);
    const TAVStreamEntry* cover = firstVideo(streams, true);
    if (options.DisableVideo) {
        // A sound-only output keeps the cover where its container holds one.
        if (cover && container.Cover == CoverWay::PictureStream) {
            options.DisableVideo = false;
            options.VideoCodec = "copy";
            lines.Before += mapLine(cover->Index);
        } else if (cover && container.Cover == CoverWay::PictureComment) {
            lines.Before += "picture_comment=0:" + std::to_string(cover->Index) + "\n";
        }
        return;
    }
    if (video) {
        lines.Before += mapLine(video->Index);
    } else if (cover) {
        // A video of a song: the cover, still, for as long as the sound lasts.
        lines.Before += mapLine(cover->Index, syncStream);
        result.CoverVideo = cover;
    } else {
        lines.Before += "vn\n";
    }
}

// Every subtitle goes out after the sound tracks, each a stream of its own.
void planSubtitles(const std::vector<TAVStreamEntry>& streams, const ContainerStreams& container,
                   const StreamChoices& choices, PlanLines& lines, std::string& maps) {
    lines.Before += "sn\n";
    for (const TAVStreamEntry& entry : streams) {
        if (entry.Kind != TAVStreamKind::Subtitle || !choices.KeepSubtitles)
            continue;
        const std::string codec = subtitleCodec(entry, container.Subtitles);
        if (codec.empty())
            continue;
        lines.After += "scodec=" + codec + "\nnewsubtitle\n";
        maps += mapLine(entry.Index);
    }
}

} // namespace

const TAVStreamEntry* CoverShownAsVideo(const std::vector<TAVStreamEntry>& streams,
                                        const TOutputOptions& options) {
    if (options.DisableVideo || firstVideo(streams, false))
        return nullptr;
    return firstVideo(streams, true);
}

ContainerStreams ContainerStreamsFor(std::string_view outputLabel) {
    for (const ContainerStreams& row : ContainerStreamTable)
        if (sameLabel(row.Label, outputLabel))
            return row;
    return {"", false, SubtitleWay::None, CoverWay::None, false};
}

StreamPlanResult PlanStreams(const std::vector<TAVStreamEntry>& streams,
                             std::string_view outputLabel, const StreamChoices& choices,
                             std::string_view userLines, TOutputOptions& options) {
    StreamPlanResult result;
    const ContainerStreams container = ContainerStreamsFor(outputLabel);
    std::string tail;
    if (!hasOption(userLines, "map_meta_data"))
        tail += "map_meta_data=0:0\n";
    if (container.Chapters)
        tail += "map_chapters=0\n";
    if (hasOption(userLines, "map")) {
        options.ExtraOptions += tail; // the user's maps choose the streams
        return result;
    }
    if (hasOption(userLines, "an"))
        options.DisableAudio = true;
    if (hasOption(userLines, "vn"))
        options.DisableVideo = true;
    StreamChoices chosen = choices;
    chosen.KeepSubtitles = choices.KeepSubtitles && !hasOption(userLines, "sn");
    const std::vector<const TAVStreamEntry*> audio =
        options.DisableAudio ? std::vector<const TAVStreamEntry*>{}
                             : chooseAudio(streams, container, chosen, result.Failure);
    if (!result.Failure.empty())
        return result;
    if (options.DisableVideo && audio.empty()) {
        result.Failure = std::string(outputLabel) + " needs a sound stream, and the input has none";
        return result;
    }
    PlanLines lines;
    std::string laterMaps;
    planPicture(streams, container, audio.empty() ? -1 : audio.front()->Index, options, lines,
                result);
    if (audio.empty())
        lines.Before += "an\n";
    else
        lines.Before += mapLine(audio.front()->Index);
    // Further sound tracks, each with the row's sound settings.
    for (std::size_t i = 1; i < audio.size(); ++i) {
        if (!options.AudioCodec.empty())
            lines.After += "acodec=" + options.AudioCodec + "\n";
        lines.After += "newaudio\n";
        laterMaps += mapLine(audio[i]->Index);
    }
    planSubtitles(streams, container, chosen, lines, laterMaps);
    if (result.CoverVideo)
        for (const StillPictureSpeed& speed : StillPictureSpeeds)
            if (options.VideoCodec == speed.Encoder)
                tail += speed.Options;
    options.ExtraOptions += lines.Before + laterMaps + tail;
    options.NewStreamOptions += lines.After;
    return result;
}
