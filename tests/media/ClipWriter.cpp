#include "ClipWriter.h"
#include "SyntheticSignal.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/display.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

const AVCodec* findEncoder(const std::string& name) {
    const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str());
    if (codec == nullptr) {
        throw std::runtime_error("encoder \"" + name + "\" is not available");
    }
    return codec;
}

} // namespace

ClipWriter::ClipWriter(ClipRecipe recipe) : m_recipe(std::move(recipe)) {}

std::vector<std::string> ClipWriter::encodersOf(const ClipRecipe& recipe) {
    std::vector<std::string> names;
    if (recipe.video) {
        names.push_back(recipe.video->encoder);
    }
    if (recipe.audio) {
        names.push_back(recipe.audio->encoder);
    }
    for (const AudioRecipe& audio : recipe.moreAudio) {
        names.push_back(audio.encoder);
    }
    if (recipe.cover) {
        names.push_back(recipe.cover->encoder);
    }
    for (const SubtitleRecipe& subtitles : recipe.subtitles) {
        if (subtitles.encoder != "subrip") {
            names.push_back(subtitles.encoder);
        }
    }
    return names;
}

void ClipWriter::write(const std::filesystem::path& path) {
    AVFormatContext* output = nullptr;
    checkAv(avformat_alloc_output_context2(&output, nullptr, m_recipe.muxer.c_str(), path.c_str()),
            "muxer \"" + m_recipe.muxer + "\"");
    m_output.reset(output);
    m_output->flags |= AVFMT_FLAG_BITEXACT;

    if (m_recipe.audio && m_recipe.audioFirst) {
        openAudio(*m_recipe.audio);
    }
    if (m_recipe.video) {
        openVideo(*m_recipe.video);
    }
    if (m_recipe.audio && !m_recipe.audioFirst) {
        openAudio(*m_recipe.audio);
    }
    for (const AudioRecipe& audio : m_recipe.moreAudio) {
        openAudio(audio);
    }
    if (m_recipe.cover) {
        addCover(*m_recipe.cover);
    }
    for (const SubtitleRecipe& subtitles : m_recipe.subtitles) {
        addSubtitles(subtitles);
    }
    addChaptersAndTags();

    if (!(m_output->oformat->flags & AVFMT_NOFILE)) {
        checkAv(avio_open(&m_output->pb, path.c_str(), AVIO_FLAG_WRITE),
                "cannot create " + path.string());
    }
    checkAv(avformat_write_header(m_output.get(), nullptr), "writing the header");

    m_packet.reset(av_packet_alloc());
    if (!m_packet) {
        throw std::runtime_error("out of memory");
    }
    for (PacketPtr& ready : m_ready) {
        checkAv(av_interleaved_write_frame(m_output.get(), ready.get()), "writing a packet");
    }
    m_ready.clear();
    while (Track* track = nextTrack()) {
        encodeNext(*track);
    }
    checkAv(av_write_trailer(m_output.get()), "writing the trailer");
    if (!(m_output->oformat->flags & AVFMT_NOFILE)) {
        checkAv(avio_closep(&m_output->pb), "closing " + path.string());
    }
    m_tracks.clear();
    m_output.reset();
}

void ClipWriter::openVideo(const VideoRecipe& video) {
    const AVCodec* encoder = findEncoder(video.encoder);
    Track track;
    track.video = true;
    track.endPts = video.frameCount;
    track.startPts = video.startFrames;
    track.codec.reset(avcodec_alloc_context3(encoder));
    AVCodecContext& codec = *track.codec;
    codec.width = video.width;
    codec.height = video.height;
    codec.pix_fmt = video.pixelFormat;
    codec.framerate = video.frameRate;
    codec.time_base = av_inv_q(video.frameRate);
    codec.gop_size = 12;
    codec.max_b_frames = 0;
    codec.bit_rate = video.bitRate;
    codec.thread_count = 1;
    codec.sample_aspect_ratio = video.sampleAspect;
    if (video.interlaced) {
        codec.flags |= AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME;
        codec.field_order = AV_FIELD_TT;
    }
    if (video.encoder == "libx265") {
        checkAv(av_opt_set(codec.priv_data, "x265-params", "log-level=error", 0),
                "x265 parameters");
    }
    if (!video.preset.empty()) {
        checkAv(av_opt_set(codec.priv_data, "preset", video.preset.c_str(), 0),
                "preset of " + video.encoder);
    }

    AVStream* stream = addStream(track);
    stream->avg_frame_rate = video.frameRate;
    stream->r_frame_rate = video.frameRate;
    stream->sample_aspect_ratio = video.sampleAspect;
    if (video.displayRotationCw != 0) {
        auto* matrix = reinterpret_cast<int32_t*>(
            av_stream_new_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(int32_t)));
        if (matrix == nullptr) {
            throw std::runtime_error("out of memory");
        }
        // av_display_rotation_set takes the clockwise angle; av_display_rotation_get
        // reads it back counterclockwise (-90 for a quarter turn clockwise, the matrix of
        // a phone recording held upright).
        av_display_rotation_set(matrix, video.displayRotationCw);
    }

    allocatePictures(track, video);
    m_tracks.push_back(std::move(track));
}

// The track's picture in the encoder's format, and the yuv420p one it is drawn in first
// when the encoder takes another format.
void ClipWriter::allocatePictures(Track& track, const VideoRecipe& video) {
    const AVCodecContext& codec = *track.codec;
    track.frame.reset(av_frame_alloc());
    track.frame->format = codec.pix_fmt;
    track.frame->width = codec.width;
    track.frame->height = codec.height;
    checkAv(av_frame_get_buffer(track.frame.get(), 0), "picture buffer");
    if (codec.pix_fmt != AV_PIX_FMT_YUV420P && !video.marked) {
        track.drawn.reset(av_frame_alloc());
        track.drawn->format = AV_PIX_FMT_YUV420P;
        track.drawn->width = codec.width;
        track.drawn->height = codec.height;
        checkAv(av_frame_get_buffer(track.drawn.get(), 0), "picture buffer");
        track.converter.reset(
            sws_getContext(codec.width, codec.height, AV_PIX_FMT_YUV420P, codec.width, codec.height,
                           codec.pix_fmt, SWS_BICUBIC | SWS_BITEXACT, nullptr, nullptr, nullptr));
        if (!track.converter) {
            throw std::runtime_error("no conversion to the encoder's pixel format");
        }
    }
}

void ClipWriter::openAudio(const AudioRecipe& audio) {
    const AVCodec* encoder = findEncoder(audio.encoder);
    Track track;
    track.endPts = audio.sampleCount;
    track.startPts = std::llround(audio.startSeconds * audio.sampleRateHz);
    track.codec.reset(avcodec_alloc_context3(encoder));
    AVCodecContext& codec = *track.codec;
    codec.sample_fmt = AV_SAMPLE_FMT_NONE;
    for (const AVSampleFormat* format = encoder->sample_fmts;
         format != nullptr && *format != AV_SAMPLE_FMT_NONE; ++format) {
        if (SyntheticSignal::supportsSampleFormat(*format)) {
            codec.sample_fmt = *format;
            break;
        }
    }
    if (codec.sample_fmt == AV_SAMPLE_FMT_NONE) {
        throw std::runtime_error("encoder \"" + audio.encoder +
                                 "\" takes no sample format the tone generator writes");
    }
    codec.sample_rate = audio.sampleRateHz;
    av_channel_layout_default(&codec.ch_layout, audio.channels);
    codec.time_base = AVRational{1, audio.sampleRateHz};
    codec.bit_rate = audio.bitRate;
    codec.thread_count = 1;

    AVStream* stream = addStream(track);
    if (!audio.language.empty()) {
        av_dict_set(&stream->metadata, "language", audio.language.c_str(), 0);
    }
    if (!audio.title.empty()) {
        av_dict_set(&stream->metadata, "title", audio.title.c_str(), 0);
    }
    stream->disposition = audio.isDefault ? AV_DISPOSITION_DEFAULT : 0;

    const int frameSamples =
        (codec.frame_size > 0 && !(encoder->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE))
            ? codec.frame_size
            : 1024;
    track.frame.reset(av_frame_alloc());
    track.frame->format = codec.sample_fmt;
    track.frame->sample_rate = codec.sample_rate;
    checkAv(av_channel_layout_copy(&track.frame->ch_layout, &codec.ch_layout), "channel layout");
    track.frame->nb_samples = frameSamples;
    checkAv(av_frame_get_buffer(track.frame.get(), 0), "sample buffer");
    m_tracks.push_back(std::move(track));
}

// Opens the track's encoder (with global headers when the muxer wants them) and gives the
// track its output stream.
AVStream* ClipWriter::addStream(Track& track) {
    AVCodecContext& codec = *track.codec;
    codec.flags |= AV_CODEC_FLAG_BITEXACT;
    if (m_output->oformat->flags & AVFMT_GLOBALHEADER) {
        codec.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    checkAv(avcodec_open2(&codec, codec.codec, nullptr),
            std::string("opening encoder ") + codec.codec->name);
    AVStream* stream = avformat_new_stream(m_output.get(), nullptr);
    if (stream == nullptr) {
        throw std::runtime_error("out of memory");
    }
    checkAv(avcodec_parameters_from_context(stream->codecpar, &codec), "stream parameters");
    stream->time_base = codec.time_base;
    track.stream = stream;
    return stream;
}

// The unfinished track whose next frame starts earliest, or null when all are done.
ClipWriter::Track* ClipWriter::nextTrack() {
    Track* next = nullptr;
    for (Track& track : m_tracks) {
        if (track.flushed) {
            continue;
        }
        if (next == nullptr ||
            av_compare_ts(track.startPts + track.nextPts, track.codec->time_base,
                          next->startPts + next->nextPts, next->codec->time_base) < 0) {
            next = &track;
        }
    }
    return next;
}

// Sends the track's next frame to its encoder, or the end-of-stream marker once all its
// frames are sent, and writes what the encoder returns.
void ClipWriter::encodeNext(Track& track) {
    AVCodecContext& codec = *track.codec;
    if (track.nextPts >= track.endPts) {
        checkAv(avcodec_send_frame(&codec, nullptr), "flushing the encoder");
        drain(track);
        track.flushed = true;
        return;
    }
    AVFrame& frame = *track.frame;
    if (track.video) {
        checkAv(av_frame_make_writable(&frame), "picture buffer");
        drawPicture(track);
        frame.pts = track.nextPts;
        track.nextPts += 1;
    } else {
        // The last frame may be short when the encoder accepts that; otherwise it is
        // filled to a whole frame and the tone runs a little longer.
        const int64_t left = track.endPts - track.nextPts;
        const bool shortLast = codec.codec->capabilities &
                               (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
        if (left < frame.nb_samples && shortLast) {
            frame.nb_samples = static_cast<int>(left);
        }
        checkAv(av_frame_make_writable(&frame), "sample buffer");
        const AudioRecipe& audio = *m_recipe.audio;
        if (audio.burstSeconds >= 0) {
            const auto rate = static_cast<double>(audio.sampleRateHz);
            SyntheticSignal::fillBurst(frame, track.startPts + track.nextPts,
                                       std::llround(audio.burstSeconds * rate),
                                       std::llround(audio.burstLengthSeconds * rate));
        } else {
            SyntheticSignal::fillTone(frame, track.nextPts);
        }
        frame.pts = track.nextPts;
        track.nextPts += frame.nb_samples;
    }
    checkAv(avcodec_send_frame(&codec, &frame), "encoding");
    drain(track);
}

void ClipWriter::drain(Track& track) {
    for (;;) {
        const int result = avcodec_receive_packet(track.codec.get(), m_packet.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
            return;
        }
        checkAv(result, "encoding");
        // Encoders with a start delay (MP3, AAC) stamp their first packets before zero.
        // A container that cannot store that would shift every stream to make up for it
        // (leaving a gap in the video of an AVI); start such a track at zero instead.
        if (!track.shift) {
            const bool negativeOk = m_output->oformat->flags & AVFMT_TS_NEGATIVE;
            const int64_t first = m_packet->dts != AV_NOPTS_VALUE ? m_packet->dts : 0;
            track.shift = ((!negativeOk && first < 0) ? -first : 0) + track.startPts;
        }
        if (track.video) {
            jumpTimes(track);
        }
        if (m_packet->pts != AV_NOPTS_VALUE) {
            m_packet->pts += *track.shift;
        }
        if (m_packet->dts != AV_NOPTS_VALUE) {
            m_packet->dts += *track.shift;
        }
        av_packet_rescale_ts(m_packet.get(), track.codec->time_base, track.stream->time_base);
        m_packet->stream_index = track.stream->index;
        checkAv(av_interleaved_write_frame(m_output.get(), m_packet.get()), "writing a packet");
    }
}

// The next picture of the video track into its frame: drawn there, or drawn in yuv420p and
// converted to the encoder's format.
void ClipWriter::drawPicture(Track& track) {
    const VideoRecipe& video = *m_recipe.video;
    const int index = static_cast<int>(track.nextPts);
    AVFrame& frame = *track.frame;
    if (video.marked) {
        SyntheticSignal::fillMarkedPicture(frame, index, video.displayRotationCw);
        return;
    }
    AVFrame& drawn = track.drawn ? *track.drawn : frame;
    if (video.interlaced) {
        SyntheticSignal::fillFieldsPicture(drawn, index);
        frame.interlaced_frame = 1;
        frame.top_field_first = 1;
    } else if (video.textured) {
        SyntheticSignal::fillTexturedPicture(drawn, index);
    } else {
        SyntheticSignal::fillPicture(drawn, index);
    }
    if (track.drawn) {
        sws_scale(track.converter.get(), drawn.data, drawn.linesize, 0, drawn.height, frame.data,
                  frame.linesize);
    }
}

// The time stamp jump a video recipe asks for, applied to the packet just encoded
// (video packets count frames: their pts is the frame number).
void ClipWriter::jumpTimes(Track& track) {
    const VideoRecipe& video = *m_recipe.video;
    const int64_t frame = m_packet->pts;
    if (video.jumpFrame < 0 || frame == AV_NOPTS_VALUE || frame < video.jumpFrame) {
        return;
    }
    const int64_t jump = av_rescale_q(std::llround(video.jumpSeconds * AV_TIME_BASE),
                                      AV_TIME_BASE_Q, track.codec->time_base);
    m_packet->pts += jump;
    if (m_packet->dts != AV_NOPTS_VALUE) {
        m_packet->dts += jump;
    }
}

namespace {

// A packet holding a copy of `data`, stamped `pts` (also its dts) for `stream`.
PacketPtr readyPacket(const uint8_t* data, int size, const AVStream& stream, int64_t pts,
                      int64_t duration) {
    PacketPtr packet(av_packet_alloc());
    if (!packet || av_new_packet(packet.get(), size) < 0) {
        throw std::runtime_error("out of memory");
    }
    std::copy(data, data + size, packet->data);
    packet->stream_index = stream.index;
    packet->pts = packet->dts = pts;
    packet->duration = duration;
    packet->flags |= AV_PKT_FLAG_KEY;
    return packet;
}

// Encodes one picture of the cover's size: colour bars for JPEG, a gradient for PNG.
std::vector<uint8_t> encodeCover(const CoverRecipe& cover) {
    const AVCodec* encoder = findEncoder(cover.encoder);
    CodecContextPtr codec(avcodec_alloc_context3(encoder));
    const bool png = encoder->id == AV_CODEC_ID_PNG;
    codec->width = cover.width;
    codec->height = cover.height;
    codec->pix_fmt = png ? AV_PIX_FMT_RGB24 : AV_PIX_FMT_YUVJ420P;
    codec->time_base = AVRational{1, 25};
    codec->flags |= AV_CODEC_FLAG_BITEXACT;
    checkAv(avcodec_open2(codec.get(), encoder, nullptr), "opening encoder " + cover.encoder);
    FramePtr frame(av_frame_alloc());
    frame->format = codec->pix_fmt;
    frame->width = cover.width;
    frame->height = cover.height;
    checkAv(av_frame_get_buffer(frame.get(), 0), "picture buffer");
    if (png) {
        for (int y = 0; y < cover.height; ++y) {
            uint8_t* row = frame->data[0] + static_cast<std::ptrdiff_t>(y) * frame->linesize[0];
            for (int x = 0; x < cover.width; ++x) {
                row[3 * x] = static_cast<uint8_t>(x * 255 / cover.width);
                row[3 * x + 1] = static_cast<uint8_t>(y * 255 / cover.height);
                row[3 * x + 2] = 128;
            }
        }
    } else {
        SyntheticSignal::fillMarkedPicture(*frame, 0, 0);
    }
    checkAv(avcodec_send_frame(codec.get(), frame.get()), "encoding the cover");
    checkAv(avcodec_send_frame(codec.get(), nullptr), "encoding the cover");
    PacketPtr packet(av_packet_alloc());
    checkAv(avcodec_receive_packet(codec.get(), packet.get()), "encoding the cover");
    return std::vector<uint8_t>(packet->data, packet->data + packet->size);
}

// One DVD subtitle: a bar of `width` x 20 in the lower part of the picture.
std::vector<uint8_t> encodePictureCue(AVCodecContext& codec, const SubtitleCue& cue) {
    const int width = std::min(codec.width - 20, 160);
    const int height = 20;
    std::vector<uint8_t> bitmap(static_cast<std::size_t>(width) * height);
    for (int i = 0; i < width * height; ++i) {
        bitmap[static_cast<std::size_t>(i)] = static_cast<uint8_t>((i / 4 + i / width) % 4);
    }
    uint32_t palette[4] = {0x00000000u, 0xFFFFFFFFu, 0xFF000000u, 0xFF808080u};
    AVSubtitleRect rect{};
    rect.type = SUBTITLE_BITMAP;
    rect.x = 10;
    rect.y = codec.height - height - 10;
    rect.w = width;
    rect.h = height;
    rect.nb_colors = 4;
    rect.data[0] = bitmap.data();
    rect.linesize[0] = width;
    rect.data[1] = reinterpret_cast<uint8_t*>(palette);
    AVSubtitleRect* rects[] = {&rect};
    AVSubtitle subtitle{};
    subtitle.end_display_time =
        static_cast<uint32_t>(std::llround((cue.endSeconds - cue.startSeconds) * 1000));
    subtitle.num_rects = 1;
    subtitle.rects = rects;
    std::vector<uint8_t> buffer(65536);
    const int size = checkAv(
        avcodec_encode_subtitle(&codec, buffer.data(), static_cast<int>(buffer.size()), &subtitle),
        "encoding a DVD subtitle");
    buffer.resize(static_cast<std::size_t>(size));
    return buffer;
}

} // namespace

void ClipWriter::addCover(const CoverRecipe& cover) {
    const std::vector<uint8_t> picture = encodeCover(cover);
    AVStream* stream = avformat_new_stream(m_output.get(), nullptr);
    if (stream == nullptr) {
        throw std::runtime_error("out of memory");
    }
    stream->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    stream->codecpar->codec_id = findEncoder(cover.encoder)->id;
    stream->codecpar->width = cover.width;
    stream->codecpar->height = cover.height;
    stream->disposition = AV_DISPOSITION_ATTACHED_PIC;
    stream->time_base = AVRational{1, 90000};
    m_ready.push_back(readyPacket(picture.data(), static_cast<int>(picture.size()), *stream, 0, 0));
}

void ClipWriter::addSubtitles(const SubtitleRecipe& subtitles) {
    AVStream* stream = avformat_new_stream(m_output.get(), nullptr);
    if (stream == nullptr) {
        throw std::runtime_error("out of memory");
    }
    stream->time_base = AVRational{1, 1000};
    stream->codecpar->codec_type = AVMEDIA_TYPE_SUBTITLE;
    if (!subtitles.language.empty()) {
        av_dict_set(&stream->metadata, "language", subtitles.language.c_str(), 0);
    }
    if (!subtitles.title.empty()) {
        av_dict_set(&stream->metadata, "title", subtitles.title.c_str(), 0);
    }
    CodecContextPtr codec;
    if (subtitles.encoder == "subrip") {
        stream->codecpar->codec_id = AV_CODEC_ID_SUBRIP;
    } else {
        const AVCodec* encoder = findEncoder(subtitles.encoder);
        codec.reset(avcodec_alloc_context3(encoder));
        codec->width = subtitles.width;
        codec->height = subtitles.height;
        codec->time_base = AVRational{1, 1000};
        checkAv(avcodec_open2(codec.get(), encoder, nullptr),
                "opening encoder " + subtitles.encoder);
        checkAv(avcodec_parameters_from_context(stream->codecpar, codec.get()),
                "stream parameters");
    }
    for (const SubtitleCue& cue : subtitles.cues) {
        const int64_t start = std::llround(cue.startSeconds * 1000);
        const int64_t duration = std::llround((cue.endSeconds - cue.startSeconds) * 1000);
        const std::vector<uint8_t> data =
            codec ? encodePictureCue(*codec, cue)
                  : std::vector<uint8_t>(cue.text.begin(), cue.text.end());
        m_ready.push_back(
            readyPacket(data.data(), static_cast<int>(data.size()), *stream, start, duration));
    }
}

void ClipWriter::addChaptersAndTags() {
    for (const auto& [key, value] : m_recipe.tags) {
        av_dict_set(&m_output->metadata, key.c_str(), value.c_str(), 0);
    }
    if (m_recipe.chapters.empty()) {
        return;
    }
    const std::size_t count = m_recipe.chapters.size();
    m_output->chapters = static_cast<AVChapter**>(av_calloc(count, sizeof(AVChapter*)));
    if (m_output->chapters == nullptr) {
        throw std::runtime_error("out of memory");
    }
    for (const ChapterRecipe& recipe : m_recipe.chapters) {
        auto* chapter = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
        if (chapter == nullptr) {
            throw std::runtime_error("out of memory");
        }
        chapter->id = static_cast<int64_t>(m_output->nb_chapters) + 1;
        chapter->time_base = AVRational{1, 1000};
        chapter->start = std::llround(recipe.startSeconds * 1000);
        chapter->end = std::llround(recipe.endSeconds * 1000);
        av_dict_set(&chapter->metadata, "title", recipe.title.c_str(), 0);
        m_output->chapters[m_output->nb_chapters++] = chapter;
    }
}
