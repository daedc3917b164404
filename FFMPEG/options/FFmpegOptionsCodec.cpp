// Codec names: the "vcodec"/"acodec"/"scodec" and tag options, and the codec look-up by
// name that resolves the encoder names of older library releases.
#include "FFmpeg.h"

#include "AVCodecHlpr.h"

#include <cstdio>

namespace {

// Encoder names that profiles and settings still produce, and today's encoder for each.
struct CodecAlias {
    const char* oldName;
    const char* currentName;
};

constexpr CodecAlias kCodecAliases[] = {
    {"libfaac", "aac"},
    {"mpeg4aac", "aac"},
    {"libamr_nb", "libopencore_amrnb"},
    {"mp3", "libmp3lame"},
    // AV1 from libaom, else from SVT-AV1.
    {"libaom-av1", "libsvtav1"},
};

const AVCodec* findCodec(const char* name, bool encoder) {
    return encoder ? lavc.avcodec_find_encoder_by_name(name)
                   : lavc.avcodec_find_decoder_by_name(name);
}

std::string formatLookupError(const char* pattern, bool encoder, const std::string& name) {
    char text[512];
    std::snprintf(text, sizeof text, pattern, encoder ? "encoder" : "decoder", name.c_str());
    return text;
}

} // namespace

bool TCustomFFmpeg::LookupCodec(const std::string& name, AVMediaType kind, bool encoder,
                                AVCodecID& codecId, const AVCodec** codec) {
    codecId = AV_CODEC_ID_NONE;
    if (codec)
        *codec = nullptr;
    if (name.empty())
        return true;
    const AVCodec* found = nullptr;
    // The built-in Vorbis encoder is experimental: prefer the library's when it exists.
    if (encoder && name == "vorbis")
        found = findCodec("libvorbis", true);
    if (!found)
        found = findCodec(name.c_str(), encoder);
    for (const CodecAlias& alias : kCodecAliases)
        if (!found && name == alias.oldName)
            found = findCodec(alias.currentName, encoder);
    if (!found) {
        ErrorText = formatLookupError("Unknown %s '%s'", encoder, name);
        return false;
    }
    if (found->type != kind) {
        ErrorText = formatLookupError("Invalid %s type '%s'", encoder, name);
        return false;
    }
    codecId = found->id;
    if (codec)
        *codec = found;
    return true;
}

void TCustomFFmpeg::SetCodecName(AVMediaType kind, const std::string& value) {
    if (value.empty())
        return;
    std::string& name = kind == AVMEDIA_TYPE_VIDEO   ? VideoCodecName
                        : kind == AVMEDIA_TYPE_AUDIO ? AudioCodecName
                                                     : SubtitleCodecName;
    uint8_t& streamCopy = kind == AVMEDIA_TYPE_VIDEO   ? VideoStreamCopy
                          : kind == AVMEDIA_TYPE_AUDIO ? AudioStreamCopy
                                                       : SubtitleStreamCopy;
    name.clear();
    if (value == "copy")
        streamCopy = 1;
    else
        name = value;
}

void TCustomFFmpeg::SetCodecTag(AVMediaType kind, const std::string& value) {
    if (value.empty())
        return;
    const bool video = kind == AVMEDIA_TYPE_VIDEO;
    if (value.size() != 4)
        throw FFMpegException(video ? "video tag parameter must be 4 chars"
                                    : "audio tag parameter must be 4 chars");
    const uint32_t tag = static_cast<uint8_t>(value[0]) | static_cast<uint8_t>(value[1]) << 8 |
                         static_cast<uint8_t>(value[2]) << 16 |
                         static_cast<uint32_t>(static_cast<uint8_t>(value[3])) << 24;
    (video ? VideoCodecTag : AudioCodecTag) = tag;
}
