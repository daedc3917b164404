#include "ProbeJson.h"

#include "AVProbe.h"
#include "MediaDescription.h"

#include <cstdio>
#include <filesystem>
#include <set>

namespace {

// Microseconds as seconds, exactly: 2995000 gives 2.995.
std::string Seconds(int64_t microseconds) {
    const bool negative = microseconds < 0;
    const uint64_t magnitude =
        negative ? 0 - static_cast<uint64_t>(microseconds) : static_cast<uint64_t>(microseconds);
    std::string fraction = std::to_string(1000000 + magnitude % 1000000).substr(1);
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    return (negative ? "-" : "") + std::to_string(magnitude / 1000000) +
           (fraction.empty() ? "" : "." + fraction);
}

void SecondsOrNull(JsonWriter& json, std::optional<int64_t> microseconds) {
    if (microseconds)
        json.rawNumber(Seconds(*microseconds));
    else
        json.null();
}

std::string Decimal(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", value);
    std::string result = text;
    while (result.back() == '0')
        result.pop_back();
    if (result.back() == '.')
        result.pop_back();
    return result;
}

std::string Ratio(const MediaRatio& ratio, char sign) {
    return std::to_string(ratio.Num) + sign + std::to_string(ratio.Den);
}

// Tags as an object; a key the file repeats keeps its first value.
void WriteTags(JsonWriter& json, const MediaTags& tags) {
    json.beginObject();
    std::set<std::string> written;
    for (const auto& [key, value] : tags)
        if (written.insert(key).second)
            json.key(key).string(value);
    json.endObject();
}

void WritePicture(JsonWriter& json, const MediaStreamDescription& stream) {
    const bool video = stream.Kind == TAVStreamKind::Video;
    const auto numberIfVideo = [&](int value) {
        if (video)
            json.number(value);
        else
            json.null();
    };
    json.key("width");
    numberIfVideo(stream.Width);
    json.key("height");
    numberIfVideo(stream.Height);
    json.key("sample_aspect").stringOrNull(video ? Ratio(stream.SampleAspect, ':') : "");
    json.key("display_aspect")
        .stringOrNull(video && stream.DisplayAspect.Num > 0 ? Ratio(stream.DisplayAspect, ':')
                                                            : "");
    json.key("rotation");
    numberIfVideo(stream.RotationDegrees);
    json.key("frame_rate").stringOrNull(stream.FrameRate ? Ratio(*stream.FrameRate, '/') : "");
    json.key("frame_rate_decimal");
    if (stream.FrameRate)
        json.rawNumber(Decimal(static_cast<double>(stream.FrameRate->Num) / stream.FrameRate->Den));
    else
        json.null();
    json.key("pixel_format").stringOrNull(stream.PixelFormat);
}

void WriteSound(JsonWriter& json, const MediaStreamDescription& stream) {
    const bool audio = stream.Kind == TAVStreamKind::Audio;
    json.key("channels")
        .numberOrNull(audio ? std::optional<int64_t>(stream.Channels) : std::nullopt);
    json.key("channel_layout").stringOrNull(stream.ChannelLayout);
    json.key("sample_rate")
        .numberOrNull(audio && stream.SampleRate > 0 ? std::optional<int64_t>(stream.SampleRate)
                                                     : std::nullopt);
}

void WriteStream(JsonWriter& json, const MediaStreamDescription& stream) {
    json.beginObject();
    json.key("index").number(stream.Index);
    json.key("kind").string(MediaKindText(stream.Kind));
    json.key("codec").string(stream.Codec);
    json.key("codec_long_name").stringOrNull(stream.CodecLongName);
    json.key("profile").stringOrNull(stream.Profile);
    json.key("language").stringOrNull(stream.Language);
    json.key("title").stringOrNull(stream.Title);
    json.key("default").boolean(stream.Default);
    json.key("attached_picture").boolean(stream.AttachedPicture);
    WritePicture(json, stream);
    WriteSound(json, stream);
    json.key("bit_rate").numberOrNull(stream.BitRate);
    json.key("duration");
    SecondsOrNull(json, stream.Duration);
    json.key("tags");
    WriteTags(json, stream.Tags);
    json.endObject();
}

void WriteChapters(JsonWriter& json, const std::vector<MediaChapter>& chapters) {
    json.beginArray();
    for (const MediaChapter& chapter : chapters) {
        json.beginObject();
        json.key("start").rawNumber(Seconds(chapter.Start));
        json.key("end").rawNumber(Seconds(chapter.End));
        json.key("title").stringOrNull(chapter.Title);
        json.key("tags");
        WriteTags(json, chapter.Tags);
        json.endObject();
    }
    json.endArray();
}

std::optional<int64_t> FileSize(const std::string& file) {
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    return error ? std::nullopt : std::optional<int64_t>(static_cast<int64_t>(size));
}

} // namespace

bool WriteProbeJson(JsonWriter& json, TAVProbe& probe, const std::string& file) {
    json.beginObject();
    json.key("file").string(file);
    if (!probe.LoadFile(file)) {
        json.key("error").string(probe.LastErrorMessage);
        json.endObject();
        return false;
    }
    const MediaDescription description = DescribeOpenFile(probe);
    probe.CloseFile();
    json.key("container").string(description.Container);
    json.key("container_long_name").stringOrNull(description.ContainerLongName);
    json.key("duration");
    SecondsOrNull(json, description.Duration);
    json.key("start_time");
    SecondsOrNull(json, description.StartTime);
    json.key("bit_rate").numberOrNull(description.BitRate);
    json.key("size").numberOrNull(FileSize(file));
    json.key("streams").beginArray();
    for (const MediaStreamDescription& stream : description.Streams)
        WriteStream(json, stream);
    json.endArray();
    json.key("tags");
    WriteTags(json, description.Tags);
    json.key("chapters");
    WriteChapters(json, description.Chapters);
    json.endObject();
    return true;
}
