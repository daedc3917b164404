#include "MediaDescription.h"

#include "AVCodecHlpr.h"
#include "AVFormatHlpr.h"
#include "AVProbe.h"
#include "AVUtilHlpr.h"
#include "StreamFrameRate.h"
#include "StreamRotation.h"

#include <cmath>

namespace {

constexpr AVRational kMicroseconds{1, 1000000};

MediaTags TagsOf(const AVDictionary* metadata) {
    MediaTags tags;
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = lavu.av_dict_get(metadata, "", entry, AV_DICT_IGNORE_SUFFIX)) != nullptr)
        tags.emplace_back(entry->key, entry->value != nullptr ? entry->value : "");
    return tags;
}

std::string TagOf(const AVDictionary* metadata, const char* key) {
    const AVDictionaryEntry* entry = lavu.av_dict_get(metadata, key, nullptr, 0);
    return entry != nullptr && entry->value != nullptr ? entry->value : "";
}

std::optional<int64_t> Positive(int64_t value) {
    return value > 0 ? std::optional<int64_t>(value) : std::nullopt;
}

std::optional<int64_t> Microseconds(int64_t value, AVRational timeBase) {
    if (value == AV_NOPTS_VALUE || timeBase.num <= 0 || timeBase.den <= 0)
        return std::nullopt;
    return lavu.av_rescale_q(value, timeBase, kMicroseconds);
}

bool Valid(AVRational ratio) {
    return ratio.num > 0 && ratio.den > 0;
}

MediaRatio Reduced(int64_t num, int64_t den) {
    int reducedNum = 0;
    int reducedDen = 1;
    lavu.av_reduce(&reducedNum, &reducedDen, num, den, 1 << 30);
    return {reducedNum, reducedDen};
}

std::string ProfileName(const AVCodecParameters& parameters) {
    const AVCodecDescriptor* descriptor = lavc.avcodec_descriptor_get(parameters.codec_id);
    if (descriptor == nullptr || descriptor->profiles == nullptr ||
        parameters.profile == FF_PROFILE_UNKNOWN)
        return "";
    for (const AVProfile* profile = descriptor->profiles; profile->profile != FF_PROFILE_UNKNOWN;
         ++profile)
        if (profile->profile == parameters.profile)
            return profile->name != nullptr ? profile->name : "";
    return "";
}

// The rate the pictures come at: the stream's own when its pictures come evenly, the
// average when they do not (a phone's recording), as a reader of the whole file counts it.
// A clock of a millisecond or coarser (Matroska, FLV) rounds every time stamp, so there the
// average says less than the stream's own rate.
std::optional<MediaRatio> FrameRateOf(const AVStream& stream) {
    AVRational rate = PlausibleFrameRate(&stream);
    const AVRational average = stream.avg_frame_rate;
    const bool fineClock =
        Valid(stream.time_base) && stream.time_base.den / stream.time_base.num > 1000;
    if (fineClock && Valid(average) && av_q2d(average) <= kMaxPlausibleFrameRate && Valid(rate) &&
        std::fabs(av_q2d(average) / av_q2d(rate) - 1.0) > 0.001)
        rate = average;
    if (!Valid(rate))
        return std::nullopt;
    return MediaRatio{rate.num, rate.den};
}

void DescribePicture(const AVStream& stream, MediaStreamDescription& out) {
    const AVCodecParameters& parameters = *stream.codecpar;
    AVRational sample = stream.sample_aspect_ratio;
    if (!Valid(sample))
        sample = parameters.sample_aspect_ratio;
    if (!Valid(sample))
        sample = AVRational{1, 1};
    out.SampleAspect = Reduced(sample.num, sample.den);
    if (out.Width > 0 && out.Height > 0)
        out.DisplayAspect = Reduced(static_cast<int64_t>(out.Width) * sample.num,
                                    static_cast<int64_t>(out.Height) * sample.den);
    out.RotationDegrees = DisplayRotationDegrees(&stream);
    if (!out.AttachedPicture)
        out.FrameRate = FrameRateOf(stream);
    if (const char* name = lavu.av_get_pix_fmt_name(static_cast<AVPixelFormat>(parameters.format)))
        out.PixelFormat = name;
}

void DescribeSound(const AVCodecParameters& parameters, MediaStreamDescription& out) {
    out.Channels = parameters.ch_layout.nb_channels;
    out.SampleRate = parameters.sample_rate;
    char layout[64] = {};
    if (parameters.ch_layout.order != AV_CHANNEL_ORDER_UNSPEC &&
        lavu.av_channel_layout_describe(&parameters.ch_layout, layout, sizeof layout) > 0)
        out.ChannelLayout = layout;
}

MediaStreamDescription DescribeStream(const AVStream& stream) {
    const AVCodecParameters& parameters = *stream.codecpar;
    MediaStreamDescription out;
    static_cast<TAVStreamEntry&>(out) = DescribeStreamEntry(stream);
    if (const AVCodecDescriptor* descriptor = lavc.avcodec_descriptor_get(parameters.codec_id))
        out.CodecLongName = descriptor->long_name != nullptr ? descriptor->long_name : "";
    out.Profile = ProfileName(parameters);
    out.BitRate = Positive(parameters.bit_rate);
    out.Duration = Microseconds(stream.duration, stream.time_base);
    if (parameters.codec_type == AVMEDIA_TYPE_VIDEO)
        DescribePicture(stream, out);
    else if (parameters.codec_type == AVMEDIA_TYPE_AUDIO)
        DescribeSound(parameters, out);
    out.Tags = TagsOf(stream.metadata);
    return out;
}

} // namespace

MediaDescription DescribeOpenFile(const TAVProbe& probe) {
    MediaDescription out;
    const AVFormatContext* context = probe.Context();
    if (context == nullptr)
        return out;
    TAVProbe::CheckLibraries();
    if (context->iformat != nullptr) {
        out.Container = context->iformat->name != nullptr ? context->iformat->name : "";
        out.ContainerLongName =
            context->iformat->long_name != nullptr ? context->iformat->long_name : "";
    }
    out.Duration = Microseconds(context->duration, AV_TIME_BASE_Q);
    out.StartTime = Microseconds(context->start_time, AV_TIME_BASE_Q);
    out.BitRate = Positive(context->bit_rate);
    for (unsigned i = 0; i < context->nb_streams; ++i)
        out.Streams.push_back(DescribeStream(*context->streams[i]));
    out.Tags = TagsOf(context->metadata);
    for (unsigned i = 0; i < context->nb_chapters; ++i) {
        const AVChapter& chapter = *context->chapters[i];
        out.Chapters.push_back({Microseconds(chapter.start, chapter.time_base).value_or(0),
                                Microseconds(chapter.end, chapter.time_base).value_or(0),
                                TagOf(chapter.metadata, "title"), TagsOf(chapter.metadata)});
    }
    return out;
}
