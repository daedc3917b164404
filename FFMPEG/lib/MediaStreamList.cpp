#include "MediaStreamList.h"

#include "AVCodecHlpr.h"
#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"

namespace {

std::string tag(const AVDictionary* metadata, const char* key) {
    const AVDictionaryEntry* entry = lavu.av_dict_get(metadata, key, nullptr, 0);
    return entry && entry->value ? std::string(entry->value) : std::string();
}

TAVStreamKind kindOf(AVMediaType type) {
    switch (type) {
    case AVMEDIA_TYPE_VIDEO:
        return TAVStreamKind::Video;
    case AVMEDIA_TYPE_AUDIO:
        return TAVStreamKind::Audio;
    case AVMEDIA_TYPE_SUBTITLE:
        return TAVStreamKind::Subtitle;
    case AVMEDIA_TYPE_DATA:
        return TAVStreamKind::Data;
    case AVMEDIA_TYPE_ATTACHMENT:
        return TAVStreamKind::Attachment;
    default:
        return TAVStreamKind::Unknown;
    }
}

TAVSubtitleForm subtitleForm(AVCodecID id) {
    const AVCodecDescriptor* descriptor = lavc.avcodec_descriptor_get(id);
    if (!descriptor)
        return TAVSubtitleForm::None;
    if (descriptor->props & AV_CODEC_PROP_TEXT_SUB)
        return TAVSubtitleForm::Text;
    if (descriptor->props & AV_CODEC_PROP_BITMAP_SUB)
        return TAVSubtitleForm::Bitmap;
    return TAVSubtitleForm::None;
}

} // namespace

std::string StreamTitle(const AVDictionary* metadata) {
    const std::string title = tag(metadata, "title");
    if (!title.empty())
        return title;
    const std::string handler = tag(metadata, "handler_name");
    if (handler.find("Handler") != std::string::npos || handler.rfind("Core Media", 0) == 0)
        return std::string();
    return handler;
}

bool IsAttachedPicture(const AVStream* stream) {
    return stream && (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) &&
           stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
}

TAVStreamEntry DescribeStreamEntry(const AVStream& stream) {
    const AVCodecParameters* parameters = stream.codecpar;
    TAVStreamEntry entry;
    entry.Index = stream.index;
    entry.Kind = kindOf(parameters->codec_type);
    entry.Codec = lavc.avcodec_get_name(parameters->codec_id);
    entry.Language = tag(stream.metadata, "language");
    if (entry.Language == "und")
        entry.Language.clear();
    entry.Title = StreamTitle(stream.metadata);
    entry.Default = (stream.disposition & AV_DISPOSITION_DEFAULT) != 0;
    entry.AttachedPicture = IsAttachedPicture(&stream);
    if (entry.Kind == TAVStreamKind::Subtitle)
        entry.SubtitleForm = subtitleForm(parameters->codec_id);
    if (entry.Kind == TAVStreamKind::Video) {
        entry.Width = parameters->width;
        entry.Height = parameters->height;
    }
    return entry;
}

std::vector<TAVStreamEntry> ListMediaStreams(const AVFormatContext* context) {
    std::vector<TAVStreamEntry> streams;
    for (unsigned i = 0; context && i < context->nb_streams; ++i)
        streams.push_back(DescribeStreamEntry(*context->streams[i]));
    return streams;
}

const char* MediaKindText(TAVStreamKind kind) {
    switch (kind) {
    case TAVStreamKind::Video:
        return "video";
    case TAVStreamKind::Audio:
        return "audio";
    case TAVStreamKind::Subtitle:
        return "subtitle";
    case TAVStreamKind::Data:
        return "data";
    case TAVStreamKind::Attachment:
        return "attachment";
    default:
        return "unknown";
    }
}

const char* StreamKindText(const TAVStreamEntry& entry) {
    return entry.Kind == TAVStreamKind::Video && entry.AttachedPicture ? "cover"
                                                                       : MediaKindText(entry.Kind);
}
