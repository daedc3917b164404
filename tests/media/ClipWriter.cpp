#include "ClipWriter.h"
#include "SyntheticSignal.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/display.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
}

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

    if (!(m_output->oformat->flags & AVFMT_NOFILE)) {
        checkAv(avio_open(&m_output->pb, path.c_str(), AVIO_FLAG_WRITE),
                "cannot create " + path.string());
    }
    checkAv(avformat_write_header(m_output.get(), nullptr), "writing the header");

    m_packet.reset(av_packet_alloc());
    if (!m_packet) {
        throw std::runtime_error("out of memory");
    }
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

    addStream(track);

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
