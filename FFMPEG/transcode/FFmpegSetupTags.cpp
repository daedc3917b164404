// What the set-up gives the outputs besides their streams: the input's chapters
// ("map_chapters") and a cover as the picture comment of Ogg sound ("picture_comment").
#include "EngineText.h"
#include "FFmpeg.h"
#include "MediaStreamList.h"

#include "AVCodecHlpr.h"
#include "AVUtilHlpr.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The muxers that write the sound streams' comments as Vorbis comments.
bool writesVorbisComments(const AVFormatContext* output) {
    const char* name = output->oformat ? output->oformat->name : "";
    for (const char* ogg : {"ogg", "oga", "opus", "spx"})
        if (std::strcmp(name, ogg) == 0)
            return true;
    return false;
}

const char* pictureMimeType(AVCodecID id) {
    switch (id) {
    case AV_CODEC_ID_MJPEG:
        return "image/jpeg";
    case AV_CODEC_ID_PNG:
        return "image/png";
    case AV_CODEC_ID_GIF:
        return "image/gif";
    case AV_CODEC_ID_BMP:
        return "image/bmp";
    case AV_CODEC_ID_WEBP:
        return "image/webp";
    case AV_CODEC_ID_TIFF:
        return "image/tiff";
    default:
        return nullptr;
    }
}

// The picture as a FLAC picture block (front cover) in Base64, the value of a
// METADATA_BLOCK_PICTURE comment; "" for a picture of a kind it cannot name.
std::string pictureComment(const AVStream* stream) {
    const AVPacket& picture = stream->attached_pic;
    const char* mime = pictureMimeType(stream->codecpar->codec_id);
    if (!mime || !picture.data || picture.size <= 0)
        return std::string();
    std::vector<uint8_t> block;
    const auto add32 = [&block](uint32_t value) {
        for (int shift = 24; shift >= 0; shift -= 8)
            block.push_back(static_cast<uint8_t>(value >> shift));
    };
    constexpr uint32_t kFrontCover = 3;
    add32(kFrontCover);
    add32(static_cast<uint32_t>(std::strlen(mime)));
    block.insert(block.end(), mime, mime + std::strlen(mime));
    add32(0); // no description
    add32(static_cast<uint32_t>(std::max(0, stream->codecpar->width)));
    add32(static_cast<uint32_t>(std::max(0, stream->codecpar->height)));
    add32(24); // colour depth
    add32(0);  // not a palette picture
    add32(static_cast<uint32_t>(picture.size));
    block.insert(block.end(), picture.data, picture.data + picture.size);
    std::vector<char> text(AV_BASE64_SIZE(block.size()));
    if (!lavu.av_base64_encode(text.data(), static_cast<int>(text.size()), block.data(),
                               static_cast<int>(block.size())))
        return std::string();
    return text.data();
}

// A copy of `chapter` moved by `offsetUs` and cut to [0, endUs); null when nothing is left.
AVChapter* movedChapter(const AVChapter* chapter, int64_t offsetUs, int64_t endUs) {
    const AVRational base = chapter->time_base;
    if (base.num <= 0 || base.den <= 0)
        return nullptr;
    const int64_t start =
        std::max<int64_t>(0, lavu.av_rescale_q(chapter->start, base, AV_TIME_BASE_Q) + offsetUs);
    const int64_t end =
        std::min(endUs, lavu.av_rescale_q(chapter->end, base, AV_TIME_BASE_Q) + offsetUs);
    if (end <= start)
        return nullptr;
    auto* copy = static_cast<AVChapter*>(lavu.av_mallocz(sizeof(AVChapter)));
    if (!copy)
        throw FFMpegException("av_mallocz fail");
    copy->id = chapter->id;
    copy->time_base = base;
    copy->start = lavu.av_rescale_q(start, AV_TIME_BASE_Q, base);
    copy->end = lavu.av_rescale_q(end, AV_TIME_BASE_Q, base);
    lavu.av_dict_copy(&copy->metadata, chapter->metadata, 0);
    return copy;
}

// Appends `chapter` to the output's chapters; the output frees it with itself.
void addChapter(AVFormatContext* output, AVChapter* chapter) {
    auto* chapters = static_cast<AVChapter**>(
        lavu.av_realloc(output->chapters, (output->nb_chapters + 1) * sizeof(AVChapter*)));
    if (!chapters) {
        lavu.av_dict_free(&chapter->metadata);
        lavu.av_free(chapter);
        throw FFMpegException("av_mallocz fail");
    }
    output->chapters = chapters;
    output->chapters[output->nb_chapters++] = chapter;
}

} // namespace

void TCustomFFmpeg::CopyChapters(AVFormatContext** outputFiles, int outputCount,
                                 AVFormatContext** inputFiles, int inputCount) {
    if (ChapterInputFile < 0)
        return;
    if (ChapterInputFile >= inputCount)
        throw FFMpegException(formatText("Invalid input file index %d map_chapters(%d)",
                                         ChapterInputFile, ChapterInputFile));
    const AVFormatContext* input = inputFiles[ChapterInputFile];
    // Chapters keep their place against the input's pictures and sound.
    const int64_t offsetUs = InputTimestampOffsets[ChapterInputFile];
    for (int file = 0; file < outputCount; ++file) {
        AVFormatContext* output = outputFiles[file];
        if (output->nb_chapters > 0)
            continue;
        for (unsigned i = 0; i < input->nb_chapters; ++i)
            if (AVChapter* chapter = movedChapter(input->chapters[i], offsetUs, RecordingTime))
                addChapter(output, chapter);
    }
}

void TCustomFFmpeg::SetPictureComments(AVFormatContext** outputFiles, int outputCount,
                                       AVFormatContext** inputFiles, int inputCount) {
    if (PictureCommentFile < 0)
        return;
    const AVFormatContext* input =
        PictureCommentFile < inputCount ? inputFiles[PictureCommentFile] : nullptr;
    const AVStream* stream = input && PictureCommentStream >= 0 &&
                                     PictureCommentStream < static_cast<int>(input->nb_streams)
                                 ? input->streams[PictureCommentStream]
                                 : nullptr;
    const std::string comment = IsAttachedPicture(stream) ? pictureComment(stream) : std::string();
    if (comment.empty()) {
        LogIfInstalled(kLogStepFailed,
                       formatText("Input stream #%d.%d holds no picture the output can keep: "
                                  "the picture comment is left out",
                                  PictureCommentFile, PictureCommentStream));
        return;
    }
    for (int file = 0; file < outputCount; ++file) {
        AVFormatContext* output = outputFiles[file];
        if (!writesVorbisComments(output)) {
            LogIfInstalled(kLogInfo, formatText("Output file #%d keeps no picture comment: the "
                                                "cover is left out",
                                                file));
            continue;
        }
        for (unsigned i = 0; i < output->nb_streams; ++i)
            if (output->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
                lavu.av_dict_set(&output->streams[i]->metadata, "METADATA_BLOCK_PICTURE",
                                 comment.c_str(), 0);
    }
}
