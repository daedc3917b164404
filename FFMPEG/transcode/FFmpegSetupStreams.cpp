// Transcode set-up per stream: stream-copy and encode parameters, the two-pass log files,
// opening the encoders and decoders, metadata maps and the container headers.
#include "FFmpeg.h"
#include "AudioStart.h"
#include "EncoderSizeRules.h"
#include "EngineText.h"
#include "LibraryMessages.h"

#include "AVCodecHlpr.h"
#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"
#include "CodecLock.h"
#include "SwScaleHlpr.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

[[noreturn]] void fail(const std::string& message) {
    throw FFMpegException(message);
}

// A picture of the given size and format, or null.
AVFrame* allocatePicture(int width, int height, AVPixelFormat format) {
    AVFrame* picture = lavu.av_frame_alloc();
    if (!picture)
        return nullptr;
    picture->width = width;
    picture->height = height;
    picture->format = format;
    if (width <= 0 || height <= 0 || format == AV_PIX_FMT_NONE ||
        lavu.av_frame_get_buffer(picture, 0) < 0)
        lavu.av_frame_free(&picture);
    return picture;
}

} // namespace

void TCustomFFmpeg::SetCopyParameters(AVFormatContext* output, OutputStreamState& ost,
                                      InputStreamState& ist) {
    AVCodecParameters* parameters = ost.Stream->codecpar;
    const AVCodecParameters* input = ist.Stream->codecpar;
    const AVCodecContext* codec = *ost.Codec;
    uint32_t tag = codec->codec_tag;
    if (!tag) {
        const AVCodecTag* const* tags = output->oformat->codec_tag;
        unsigned int known = 0;
        if (!tags || lavf.av_codec_get_id(tags, input->codec_tag) == input->codec_id ||
            !lavf.av_codec_get_tag2(tags, input->codec_id, &known))
            tag = input->codec_tag;
    }
    switch (input->codec_type) {
    case AVMEDIA_TYPE_AUDIO:
        if (AudioVolume != 256)
            fail("-acodec copy and -vol are incompatible (frames are not decoded)");
        break;
    case AVMEDIA_TYPE_VIDEO:
        if (CustomHookAssigned())
            fail("-vcodec copy and CustomHook are incompatible (frames are not decoded)");
        if (UsingVideoHook)
            fail("-vcodec copy and -vhook are incompatible (frames are not decoded)");
        break;
    case AVMEDIA_TYPE_SUBTITLE:
        break;
    default:
        fail("invalid codec_type of output stream");
    }
    // Codec id and kind, bit rate, extradata, and the audio and video properties.
    if (lavc.avcodec_parameters_copy(parameters, input) < 0)
        fail("av_mallocz fail");
    parameters->codec_tag = tag;
    if (input->codec_type == AVMEDIA_TYPE_AUDIO &&
        ((parameters->codec_id == AV_CODEC_ID_MP3 && parameters->block_align == 1) ||
         parameters->codec_id == AV_CODEC_ID_AC3))
        parameters->block_align = 0;
    // A fine stream clock (below a millisecond) gives way to the codec's coarser one.
    const AVRational streamBase = ist.Stream->time_base;
    const AVRational codecBase = (*ist.Codec)->time_base;
    const bool useCodecBase = codecBase.num > 0 && codecBase.den > 0 &&
                              av_q2d(codecBase) > av_q2d(streamBase) && av_q2d(streamBase) < 0.001;
    ost.Stream->time_base = useCodecBase ? codecBase : streamBase;
    if (input->codec_type == AVMEDIA_TYPE_VIDEO)
        ost.Stream->avg_frame_rate = ist.Stream->avg_frame_rate;
}

void TCustomFFmpeg::SetEncodeParameters(OutputStreamState& ost, InputStreamState& ist) {
    AVCodecContext* codec = *ost.Codec;
    AVCodecContext* icodec = *ist.Codec;
    switch (codec->codec_type) {
    case AVMEDIA_TYPE_AUDIO:
        ost.Fifo = lavu.av_fifo_alloc2(1024, 1, AV_FIFO_FLAG_AUTO_GROW);
        if (!ost.Fifo)
            fail("av_fifo_init fail");
        // Today's decoders give whatever channel layout the stream has: a differing
        // channel count goes through the resampler as well.
        ost.AudioResample = codec->sample_rate != icodec->sample_rate || AudioSyncMethod > 1 ||
                            codec->ch_layout.nb_channels != icodec->ch_layout.nb_channels;
        break;
    case AVMEDIA_TYPE_VIDEO: {
        ost.VideoCrop = CropTop || CropBottom || CropLeft || CropRight;
        ost.VideoPad = PadTop || PadBottom || PadLeft || PadRight;
        if (codec->width <= 0 || codec->height <= 0)
            fail(formatText("Input stream #%d.%d has no known picture size: the file may be "
                            "damaged or cut short",
                            ist.FileIndex, ist.StreamIndex));
        // A damaged or cut-short stream may not tell its picture format or size until a
        // picture decodes: the scaler is then built for the first decoded picture.
        const bool inputKnown = icodec->width > 0 && icodec->height > 0 &&
                                icodec->pix_fmt != AV_PIX_FMT_NONE &&
                                lsws.sws_isSupportedInput(icodec->pix_fmt) > 0;
        ost.VideoResample =
            !inputKnown ||
            codec->width != icodec->width - CropLeft - CropRight + PadLeft + PadRight ||
            codec->height != icodec->height - CropTop - CropBottom + PadTop + PadBottom ||
            codec->pix_fmt != icodec->pix_fmt;
        if (ost.VideoCrop) {
            ost.CropTop = CropTop;
            ost.CropLeft = CropLeft;
        }
        if (ost.VideoPad) {
            ost.PadTop = PadTop;
            ost.PadBottom = PadBottom;
            ost.PadLeft = PadLeft;
            ost.PadRight = PadRight;
            if (!ost.VideoResample) {
                ost.ScratchPicture = allocatePicture(codec->width, codec->height, codec->pix_fmt);
                if (!ost.ScratchPicture)
                    fail("avpicture_alloc fail");
            }
        }
        if (ost.VideoResample) {
            ost.ScratchPicture = allocatePicture(codec->width, codec->height, codec->pix_fmt);
            if (!ost.ScratchPicture)
                fail("Cannot allocate temp picture, check pix fmt");
            if (!inputKnown)
                break;
            int64_t flags = SWS_BICUBIC;
            lavu.av_opt_get_int(ScalerOptionContext, "sws_flags", 0, &flags);
            ost.Scaler = lsws.sws_getContext(icodec->width - CropLeft - CropRight,
                                             icodec->height - CropTop - CropBottom, icodec->pix_fmt,
                                             codec->width - PadLeft - PadRight,
                                             codec->height - PadTop - PadBottom, codec->pix_fmt,
                                             static_cast<int>(flags), nullptr, nullptr, nullptr);
            if (!ost.Scaler)
                fail("Cannot get resampling context");
            ost.ResampleHeight = icodec->height - CropTop - CropBottom;
        }
        break;
    }
    case AVMEDIA_TYPE_SUBTITLE:
        break;
    default:
        fail("invalid codec_type of output stream");
    }
    ost.EncodingNeeded = 1;
    ist.DecodingNeeded = 1;
}

void TCustomFFmpeg::OpenPassLogFile(OutputStreamState& ost, int index) {
    AVCodecContext* codec = *ost.Codec;
    if (!(codec->flags & (AV_CODEC_FLAG_PASS1 | AV_CODEC_FLAG_PASS2)))
        return;
    std::string name = (PassLogFileName.empty() ? std::string("ffmpeg2pass") : PassLogFileName) +
                       "-" + std::to_string(index) + ".log";
    if (name.size() > 1023)
        name.resize(1023);
    if (codec->flags & AV_CODEC_FLAG_PASS1) {
        ost.LogFile = std::fopen(name.c_str(), "w");
        if (!ost.LogFile)
            fail("creat file fail: " + name);
        return;
    }
    std::FILE* file = std::fopen(name.c_str(), "r");
    if (!file)
        fail("creat open fail: " + name);
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    char* buffer = size >= 0 ? static_cast<char*>(lavu.av_malloc(size + 1)) : nullptr;
    if (!buffer) {
        std::fclose(file);
        fail("Could not allocate log buffer");
    }
    const std::size_t read = std::fread(buffer, 1, static_cast<std::size_t>(size), file);
    buffer[read] = 0;
    std::fclose(file);
    lavu.av_freep(&codec->stats_in);
    codec->stats_in = buffer;
}

namespace {

// Opens the decoder of `ist` unless it is open already.
void openDecoder(OpenCodecRegistry& openCodecs, InputStreamState& ist) {
    if (std::find(openCodecs.Decoders.begin(), openCodecs.Decoders.end(), ist.Codec) !=
        openCodecs.Decoders.end())
        return;
    AVCodecContext* codec = *ist.Codec;
    const AVCodec* decoder = lavc.avcodec_find_decoder(codec->codec_id);
    if (!decoder)
        fail(formatText("Unsupported codec (id=%d) for input stream #%d.%d",
                        static_cast<int>(codec->codec_id), ist.FileIndex, ist.StreamIndex));
    int opened = 0;
    {
        const CodecLockGuard lock(CodecLock());
        opened = lavc.avcodec_open2(codec, decoder, nullptr);
        if (opened >= 0)
            openCodecs.Decoders.push_back(ist.Codec);
    }
    if (opened < 0)
        fail(formatText("Error while opening codec for input stream #%d.%d", ist.FileIndex,
                        ist.StreamIndex));
}

// A subtitle encoder counts in its input stream's time base unless told otherwise. A text
// subtitle encoder writes the styles and script header its decoder read: that decoder
// opens first, and the encoder starts from a copy of its header.
void prepareSubtitleEncoder(OpenCodecRegistry& openCodecs, InputStreamState& source,
                            AVCodecContext* encoder) {
    if ((encoder->time_base.num <= 0 || encoder->time_base.den <= 0) && source.Stream)
        encoder->time_base = source.Stream->time_base;
    if (!source.DecodingNeeded || encoder->subtitle_header)
        return;
    openDecoder(openCodecs, source);
    const AVCodecContext* decoder = *source.Codec;
    if (!decoder->subtitle_header || decoder->subtitle_header_size <= 0)
        return;
    encoder->subtitle_header =
        static_cast<uint8_t*>(lavu.av_mallocz(decoder->subtitle_header_size + 1));
    if (!encoder->subtitle_header)
        fail("av_mallocz fail");
    std::memcpy(encoder->subtitle_header, decoder->subtitle_header, decoder->subtitle_header_size);
    encoder->subtitle_header_size = decoder->subtitle_header_size;
}

// Why an encoder did not open, in the user's terms: the codec, the settings it was given
// and the library's own words.
std::string EncoderRefusal(const AVCodecContext* codec, const AVCodec* encoder, int error,
                           const std::string& libraryText) {
    if (codec->codec_type == AVMEDIA_TYPE_VIDEO) {
        const std::string sizeProblem =
            EncoderSizeProblem(codec->codec_id, codec->pix_fmt, codec->width, codec->height);
        if (!sizeProblem.empty())
            return sizeProblem;
    }
    std::string settings;
    if (codec->codec_type == AVMEDIA_TYPE_VIDEO) {
        settings = formatText("%d x %d", codec->width, codec->height);
        if (codec->framerate.num > 0 && codec->framerate.den > 0)
            settings += formatText(" at %.3g fps", av_q2d(codec->framerate));
    } else if (codec->codec_type == AVMEDIA_TYPE_AUDIO) {
        settings = formatText("%d channel%s at %d Hz", codec->ch_layout.nb_channels,
                              codec->ch_layout.nb_channels == 1 ? "" : "s", codec->sample_rate);
    }
    if (codec->bit_rate > 0)
        settings += formatText("%s%lld kbit/s", settings.empty() ? "" : ", ",
                               static_cast<long long>(codec->bit_rate / 1000));
    std::string text =
        formatText("The %s encoder (%s) refused %s", CodecDisplayName(codec->codec_id).c_str(),
                   encoder && encoder->name ? encoder->name : "unknown",
                   settings.empty() ? "its settings" : settings.c_str());
    char reason[AV_ERROR_MAX_STRING_SIZE] = {};
    lavu.av_strerror(error, reason, sizeof reason);
    text += ": " + (libraryText.empty() ? std::string(reason) : libraryText);
    return text;
}

// A tag of the input: the file's own, else that of its first sound stream (Ogg and Opus
// files keep their tags with the sound).
const char* inputTag(const AVFormatContext* input, const char* key) {
    if (const AVDictionaryEntry* entry = lavu.av_dict_get(input->metadata, key, nullptr, 0))
        return entry->value;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        if (input->streams[i]->codecpar->codec_type != AVMEDIA_TYPE_AUDIO)
            continue;
        const AVDictionaryEntry* entry =
            lavu.av_dict_get(input->streams[i]->metadata, key, nullptr, 0);
        return entry ? entry->value : nullptr;
    }
    return nullptr;
}

} // namespace

void TCustomFFmpeg::OpenStreamCodecs(AVFormatContext** outputFiles) {
    for (OutputStreamState& ost : OutputStreams) {
        if (!ost.EncodingNeeded)
            continue;
        AVCodecContext* codec = *ost.Codec;
        if (codec->codec_type == AVMEDIA_TYPE_SUBTITLE && ost.SourceIndex >= 0 &&
            ost.SourceIndex < static_cast<int>(InputStreams.size()))
            prepareSubtitleEncoder(OpenCodecs, InputStreams[ost.SourceIndex], codec);
        const AVCodec* encoder =
            codec->codec ? codec->codec : lavc.avcodec_find_encoder(codec->codec_id);
        if (!encoder)
            fail(formatText("Unsupported codec for output stream #%d.%d", ost.FileIndex,
                            ost.StreamIndex));
        if (codec->priv_data)
            ApplyPrivateOptions(codec, codec->codec_type);
        int opened = 0;
        const LibraryMessageCapture libraryMessages;
        {
            const CodecLockGuard lock(CodecLock());
            opened = lavc.avcodec_open2(codec, encoder, nullptr);
            if (opened < 0 && codec->thread_count != 1) {
                // Some encoders refuse settings with threads that they take on one (frame
                // threads with a bit rate): one thread then, with the private options again
                // (a failed open dropped them).
                AVDictionary* privateOptions = nullptr;
                lavu.av_dict_copy(&privateOptions, CodecPrivateOptions[codec->codec_type], 0);
                codec->thread_count = 1;
                opened = lavc.avcodec_open2(codec, encoder, &privateOptions);
                lavu.av_dict_free(&privateOptions);
            }
            if (opened >= 0)
                OpenCodecs.Encoders.push_back(ost.Codec);
        }
        if (opened < 0) {
            LogIfInstalled(kLogStepFailed,
                           formatText("Error while opening codec for output stream #%d.%d - "
                                      "maybe incorrect parameters such as bit_rate, rate, width "
                                      "or height",
                                      ost.FileIndex, ost.StreamIndex));
            fail(EncoderRefusal(codec, encoder, opened, libraryMessages.Text()));
        }
        GlobalHeaderBytes += codec->extradata_size;
        if (lavc.avcodec_parameters_from_context(ost.Stream->codecpar, codec) < 0)
            fail("av_mallocz fail");
        if (codec->codec_type == AVMEDIA_TYPE_AUDIO) {
            // The sound's start accounts for the encoder's priming (AlignAudioStart); a
            // container that cannot tell decoders to skip it must not announce it.
            ost.DecodedLead = AudioTiming::MeasureDecodedLead(codec);
            if (!AudioTiming::CarriesPriming(outputFiles[ost.FileIndex], codec->codec_id))
                ost.Stream->codecpar->initial_padding = 0;
        }
        ost.Stream->time_base = codec->time_base;
        if (codec->codec_type == AVMEDIA_TYPE_VIDEO)
            ost.Stream->avg_frame_rate = codec->framerate;
    }
    for (InputStreamState& ist : InputStreams)
        if (ist.DecodingNeeded)
            openDecoder(OpenCodecs, ist);
}

void TCustomFFmpeg::CopyMetadataMaps(AVFormatContext** outputFiles, int outputCount,
                                     AVFormatContext** inputFiles, int inputCount) {
    struct Key {
        const char* name;
        std::size_t limit;
    };
    constexpr Key kKeys[] = {{"title", 512}, {"artist", 512}, {"copyright", 512}, {"comment", 512},
                             {"album", 512}, {"date", 32},    {"track", 32},      {"genre", 32}};
    for (int i = 0; i < MetadataMapCount; ++i) {
        const TMetadataMap& map = MetadataMaps[i];
        if (map.OutFile < 0 || map.OutFile >= outputCount)
            fail(formatText("Invalid output file index %d map_meta_data(%d,%d)", map.OutFile,
                            map.OutFile, map.InFile));
        if (map.InFile < 0 || map.InFile >= inputCount)
            fail(formatText("Invalid input file index %d map_meta_data(%d,%d)", map.InFile,
                            map.OutFile, map.InFile));
        AVFormatContext* output = outputFiles[map.OutFile];
        const AVFormatContext* input = inputFiles[map.InFile];
        for (const Key& key : kKeys) {
            // The engine's own metadata options ("title" and the others) win.
            if (lavu.av_dict_get(output->metadata, key.name, nullptr, 0))
                continue;
            if (const char* value = inputTag(input, key.name))
                lavu.av_dict_set(&output->metadata, key.name,
                                 std::string(value).substr(0, key.limit - 1).c_str(), 0);
        }
    }
}

void TCustomFFmpeg::WriteHeaders(AVFormatContext** outputFiles, int outputCount) {
    HeadersWritten.assign(outputCount, 0);
    for (int file = 0; file < outputCount; ++file) {
        // The muxer's private options ("muxrate", "preload", ...); what it does not take
        // is left in the dictionary and dropped.
        AVDictionary* options = nullptr;
        lavu.av_dict_copy(&options, FormatPrivateOptions, 0);
        AudioTiming::PrepareMuxer(outputFiles[file], &options);
        const int written = lavf.avformat_write_header(outputFiles[file], &options);
        lavu.av_dict_free(&options);
        if (written < 0)
            fail(formatText("Could not write header for output file #%d (incorrect codec "
                            "parameters ?)",
                            file));
        HeadersWritten[file] = 1;
    }
}
