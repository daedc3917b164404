// Output stream creation: one video, audio or subtitle stream with the engine's own
// codec context holding the encoder settings from the option state.
#include "FFmpeg.h"
#include "EncoderSizeRules.h"

#include "AVCodecHlpr.h"
#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// Whether `format` is among the codec's pixel formats (always when it lists none).
bool supportsPixelFormat(const AVCodec* codec, AVPixelFormat format) {
    if (!codec || !codec->pix_fmts)
        return true;
    for (const AVPixelFormat* entry = codec->pix_fmts; *entry != AV_PIX_FMT_NONE; ++entry)
        if (*entry == format)
            return true;
    return false;
}

// Whether a pixel format is 8-bit 4:2:0 YUV without alpha.
bool eightBit420(AVPixelFormat format) {
    const AVPixFmtDescriptor* desc = lavu.av_pix_fmt_desc_get(format);
    return desc && desc->nb_components == 3 && desc->comp[0].depth == 8 &&
           desc->log2_chroma_w == 1 && desc->log2_chroma_h == 1 &&
           !(desc->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_ALPHA | AV_PIX_FMT_FLAG_PAL |
                            AV_PIX_FMT_FLAG_HWACCEL));
}

// The pixel format an encoder writes when none was chosen: 8-bit 4:2:0, the format every
// common decoder of its codec takes (the first such the encoder lists: full-range for
// JPEG), so that an input's own chroma or bit depth never raises the output's profile
// (H.264 "High", not "High 4:2:2" or "High 10"); for an encoder without 8-bit 4:2:0 the
// format of its list that loses least of it; yuv420p for an encoder that lists none.
AVPixelFormat devicePixelFormat(const AVCodec* encoder) {
    if (!encoder || !encoder->pix_fmts)
        return AV_PIX_FMT_YUV420P;
    for (const AVPixelFormat* entry = encoder->pix_fmts; *entry != AV_PIX_FMT_NONE; ++entry)
        if (eightBit420(*entry))
            return *entry;
    int loss = 0;
    const AVPixelFormat best =
        lavc.avcodec_find_best_pix_fmt_of_list(encoder->pix_fmts, AV_PIX_FMT_YUV420P, 0, &loss);
    return best != AV_PIX_FMT_NONE ? best : encoder->pix_fmts[0];
}

// The codec's supported frame rate closest to `rate`; the first of equal ones wins.
AVRational closestFrameRate(const AVRational* rates, AVRational rate) {
    AVRational best = rates[0];
    AVRational bestError{-1, 1};
    for (const AVRational* entry = rates; entry->den != 0; ++entry) {
        // |entry - rate| reduced exactly, compared by cross-multiplication.
        int64_t num = static_cast<int64_t>(entry->num) * rate.den -
                      static_cast<int64_t>(rate.num) * entry->den;
        int64_t den = static_cast<int64_t>(entry->den) * rate.den;
        int errorNum = 0, errorDen = 1;
        lavu.av_reduce(&errorNum, &errorDen, std::llabs(num), den, INT32_MAX);
        if (bestError.num < 0 || static_cast<int64_t>(errorNum) * bestError.den <
                                     static_cast<int64_t>(bestError.num) * errorDen) {
            bestError = {errorNum, errorDen};
            best = *entry;
        }
    }
    return best;
}

// A copy of a quantiser matrix in memory the codec context frees itself.
uint16_t* codecMatrix(const std::vector<uint16_t>& matrix) {
    if (matrix.empty())
        return nullptr;
    auto* copy = static_cast<uint16_t*>(lavu.av_malloc(64 * sizeof(uint16_t)));
    if (!copy)
        throw FFMpegException("av_malloc fail");
    for (std::size_t i = 0; i < 64; ++i)
        copy[i] = i < matrix.size() ? matrix[i] : 0;
    return copy;
}

// The codec context for a new output stream: with the encoder when one is known, so
// that the encoder's own defaults and private options apply.
AVCodecContext* allocateCodec(const AVCodec* encoder, AVMediaType kind) {
    AVCodecContext* codec = lavc.avcodec_alloc_context3(encoder);
    if (!codec)
        throw FFMpegException("Could not alloc stream");
    codec->codec_type = kind;
    return codec;
}

// An encoder that lists its layouts and takes none with layout's channel count gets the
// largest of them with fewer channels: keeping a 5.1 input's channels then gives stereo
// MP3 rather than an encoder that refuses to open. Counts it takes, and encoders that
// list nothing, are left alone.
void fitEncoderLayout(const AVCodec* encoder, AVChannelLayout& layout) {
    if (!encoder || !encoder->ch_layouts)
        return;
    const AVChannelLayout* best = nullptr;
    for (const AVChannelLayout* entry = encoder->ch_layouts; entry->nb_channels != 0; ++entry) {
        if (entry->nb_channels == layout.nb_channels)
            return;
        if (entry->nb_channels < layout.nb_channels &&
            (!best || entry->nb_channels > best->nb_channels))
            best = entry;
    }
    if (!best)
        return;
    lavu.av_channel_layout_uninit(&layout);
    lavu.av_channel_layout_copy(&layout, best);
}

} // namespace

AVStream* TCustomFFmpeg::AddOutputStream(AVFormatContext* output) {
    if (output->nb_streams >= static_cast<unsigned>(kMaxStreams))
        throw FFMpegException("Could not alloc stream");
    AVStream* stream = lavf.avformat_new_stream(output, nullptr);
    if (!stream)
        throw FFMpegException("Could not alloc stream");
    stream->id = stream->index;
    return stream;
}

void TCustomFFmpeg::NewVideoStream(AVFormatContext* output) {
    AVStream* stream = AddOutputStream(output);
    const AVCodec* encoder = nullptr;
    AVCodecID codecId = AV_CODEC_ID_NONE;
    if (!VideoStreamCopy) {
        if (!VideoCodecName.empty()) {
            if (!LookupCodec(VideoCodecName, AVMEDIA_TYPE_VIDEO, true, codecId, &encoder))
                throw FFMpegException(ErrorText);
        } else {
            codecId = lavf.av_guess_codec(output->oformat, nullptr, output->url, nullptr,
                                          AVMEDIA_TYPE_VIDEO);
            encoder = lavc.avcodec_find_encoder(codecId);
        }
    }
    AVCodecContext* codec = allocateCodec(encoder, AVMEDIA_TYPE_VIDEO);
    StreamCodecEntry& entry = StreamCodecs.Add(output, stream->index, codec);
    if (VideoCodecTag)
        codec->codec_tag = VideoCodecTag;
    AVCodecContext* options = CodecOptionContexts[AVMEDIA_TYPE_VIDEO];
    if ((VideoGlobalHeader & 1) ||
        (VideoGlobalHeader == 0 && (output->oformat->flags & AVFMT_GLOBALHEADER))) {
        codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        options->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    if (VideoGlobalHeader & 2) {
        codec->flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;
        options->flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;
    }
    if (VideoStreamCopy) {
        entry.StreamCopy = 1;
    } else {
        codec->codec_id = codecId;
        SetVideoEncoderParameters(output, codec, encoder);
    }
    VideoDisabled = 0;
    VideoCodecName.clear();
    VideoStreamCopy = 0;
}

void TCustomFFmpeg::SetVideoEncoderParameters(AVFormatContext* output, AVCodecContext* codec,
                                              const AVCodec* encoder) {
    (void)output;
    const AVRational fps = FrameRate.num != 0 ? FrameRate : AVRational{25, 1};
    CopyGenericOptions(codec, CodecOptionContexts[AVMEDIA_TYPE_VIDEO],
                       AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_VIDEO_PARAM);
    AVRational rate = fps;
    if (encoder && encoder->supported_framerates)
        rate = closestFrameRate(encoder->supported_framerates, fps);
    codec->time_base = {rate.den, rate.num};
    codec->framerate = rate;
    SetVideoPictureParameters(codec, encoder);
    if (IntraOnly)
        codec->gop_size = 0;
    if (VideoQScale != 0 || SameQuality) {
        codec->flags |= AV_CODEC_FLAG_QSCALE;
        codec->global_quality = static_cast<int>(FF_QP2LAMBDA * VideoQScale);
    }
    if (!IntraMatrix.empty()) {
        lavu.av_freep(&codec->intra_matrix);
        codec->intra_matrix = codecMatrix(IntraMatrix);
    }
    if (!InterMatrix.empty()) {
        lavu.av_freep(&codec->inter_matrix);
        codec->inter_matrix = codecMatrix(InterMatrix);
    }
    codec->thread_count = CodecThreadCount();
    // Encoders of the libraries' own that encode whole pictures on several threads keep
    // their rate control and their bytes only with slices; the machine's choice takes those.
    if (ThreadCount == 0 && encoder && (encoder->capabilities & AV_CODEC_CAP_FRAME_THREADS))
        codec->thread_type = FF_THREAD_SLICE;
    SetRateControlOverride(codec);
    if (codec->rc_initial_buffer_occupancy == 0)
        codec->rc_initial_buffer_occupancy = codec->rc_buffer_size * 3 / 4;
    codec->intra_dc_precision = IntraDcPrecision - 8;
    if (ComputePsnr)
        codec->flags |= AV_CODEC_FLAG_PSNR;
    if (PassNumber == 1)
        codec->flags |= AV_CODEC_FLAG_PASS1;
    else if (PassNumber == 2)
        codec->flags |= AV_CODEC_FLAG_PASS2;
}

// The encoder's picture: pixel format, size and sample aspect.
void TCustomFFmpeg::SetVideoPictureParameters(AVCodecContext* codec, const AVCodec* encoder) {
    AVPixelFormat pixelFormat = static_cast<AVPixelFormat>(FramePixelFormat);
    if (!PixelFormatChosen)
        pixelFormat = devicePixelFormat(encoder);
    else if (encoder && encoder->pix_fmts && !supportsPixelFormat(encoder, pixelFormat))
        pixelFormat = encoder->pix_fmts[0];
    if (pixelFormat == AV_PIX_FMT_NONE)
        pixelFormat = AV_PIX_FMT_YUV420P;
    codec->pix_fmt = pixelFormat;
    // The input's own size is brought down to one the encoder takes (H.264 needs even sides,
    // RealVideo multiples of 16, H.263 one of its fixed sizes); a chosen size stays as chosen.
    int width = FrameWidth, height = FrameHeight;
    if (FrameSizeFromInput && width > 0 && height > 0)
        FitEncoderSize(codec->codec_id, pixelFormat, width, height);
    codec->width = width + PadLeft + PadRight;
    codec->height = height + PadTop + PadBottom;
    // The picture aspect becomes a sample aspect (at most 255:255).
    codec->sample_aspect_ratio = {0, 1};
    if (codec->width > 0 && codec->height > 0 && FrameAspectRatio > 0) {
        const double ratio = static_cast<double>(FrameAspectRatio) * codec->height / codec->width;
        codec->sample_aspect_ratio = lavu.av_d2q(ratio, 255);
    }
}

void TCustomFFmpeg::SetRateControlOverride(AVCodecContext* codec) {
    if (RateControlOverride.empty())
        return;
    std::vector<RcOverride> entries;
    const char* p = RateControlOverride.c_str();
    while (p && *p) {
        char* end = nullptr;
        RcOverride entry{};
        entry.start_frame = static_cast<int>(std::strtol(p, &end, 10));
        if (end == p || *end != ',')
            throw FFMpegException("error parsing rc_override");
        p = end + 1;
        entry.end_frame = static_cast<int>(std::strtol(p, &end, 10));
        if (end == p || *end != ',')
            throw FFMpegException("error parsing rc_override");
        p = end + 1;
        const int q = static_cast<int>(std::strtol(p, &end, 10));
        if (q > 0) {
            entry.qscale = q;
            entry.quality_factor = 1.0f;
        } else {
            entry.qscale = 0;
            entry.quality_factor = -q / 100.0f;
        }
        entries.push_back(entry);
        p = std::strchr(end, '/');
        if (p)
            ++p;
    }
    auto* list = static_cast<RcOverride*>(lavu.av_malloc(entries.size() * sizeof(RcOverride)));
    if (!list)
        throw FFMpegException("av_malloc fail");
    std::memcpy(list, entries.data(), entries.size() * sizeof(RcOverride));
    lavu.av_freep(&codec->rc_override);
    codec->rc_override = list;
    codec->rc_override_count = static_cast<int>(entries.size());
}

void TCustomFFmpeg::NewAudioStream(AVFormatContext* output) {
    AVStream* stream = AddOutputStream(output);
    const AVCodec* encoder = nullptr;
    AVCodecID codecId = AV_CODEC_ID_NONE;
    if (!AudioStreamCopy) {
        codecId =
            lavf.av_guess_codec(output->oformat, nullptr, output->url, nullptr, AVMEDIA_TYPE_AUDIO);
        encoder = lavc.avcodec_find_encoder(codecId);
        if (!AudioCodecName.empty() &&
            !LookupCodec(AudioCodecName, AVMEDIA_TYPE_AUDIO, true, codecId, &encoder))
            throw FFMpegException(ErrorText);
    }
    AVCodecContext* codec = allocateCodec(encoder, AVMEDIA_TYPE_AUDIO);
    StreamCodecEntry& entry = StreamCodecs.Add(output, stream->index, codec);
    if (AudioCodecTag)
        codec->codec_tag = AudioCodecTag;
    if (output->oformat->flags & AVFMT_GLOBALHEADER) {
        codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        CodecOptionContexts[AVMEDIA_TYPE_AUDIO]->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    if (AudioStreamCopy) {
        entry.StreamCopy = 1;
    } else {
        codec->codec_id = codecId;
        CopyGenericOptions(codec, CodecOptionContexts[AVMEDIA_TYPE_AUDIO],
                           AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_AUDIO_PARAM);
        if (AudioQScale > -99999) {
            codec->flags |= AV_CODEC_FLAG_QSCALE;
            codec->global_quality = static_cast<int>(FF_QP2LAMBDA * AudioQScale);
        }
        codec->thread_count = CodecThreadCount();
        // Today's encoders take their sample format from the caller: the first they list.
        if (encoder && encoder->sample_fmts)
            codec->sample_fmt = encoder->sample_fmts[0];
    }
    lavu.av_channel_layout_uninit(&codec->ch_layout);
    lavu.av_channel_layout_default(&codec->ch_layout, AudioChannels);
    fitEncoderLayout(encoder, codec->ch_layout);
    codec->sample_rate = AudioSampleRate;
    codec->time_base = {1, AudioSampleRate > 0 ? AudioSampleRate : 1};
    if (!AudioLanguage.empty()) {
        lavu.av_dict_set(&stream->metadata, "language", AudioLanguage.substr(0, 3).c_str(), 0);
        AudioLanguage.clear();
    }
    AudioDisabled = 0;
    AudioCodecName.clear();
    AudioStreamCopy = 0;
}

void TCustomFFmpeg::NewSubtitleStream(AVFormatContext* output) {
    AVStream* stream = AddOutputStream(output);
    const AVCodec* encoder = nullptr;
    AVCodecID codecId = AV_CODEC_ID_NONE;
    if (!SubtitleStreamCopy &&
        !LookupCodec(SubtitleCodecName, AVMEDIA_TYPE_SUBTITLE, true, codecId, &encoder))
        throw FFMpegException(ErrorText);
    AVCodecContext* codec = allocateCodec(encoder, AVMEDIA_TYPE_SUBTITLE);
    StreamCodecEntry& entry = StreamCodecs.Add(output, stream->index, codec);
    if (SubtitleStreamCopy) {
        entry.StreamCopy = 1;
    } else {
        CopyGenericOptions(codec, CodecOptionContexts[AVMEDIA_TYPE_SUBTITLE],
                           AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_SUBTITLE_PARAM);
        codec->codec_id = codecId;
    }
    if (!SubtitleLanguage.empty()) {
        lavu.av_dict_set(&stream->metadata, "language", SubtitleLanguage.substr(0, 3).c_str(), 0);
        SubtitleLanguage.clear();
    }
    SubtitleDisabled = 0;
    SubtitleCodecName.clear();
    SubtitleStreamCopy = 0;
}
