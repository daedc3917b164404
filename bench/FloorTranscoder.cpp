// The benchmark's codec floor: decode, scale or resample, encode and mux, one packet at
// a time, with direct library calls.
#include "FloorTranscoder.h"

#include "LibavHandles.h"

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <vector>

namespace {

struct Lane {
    int inputIndex = -1;
    CodecContextPtr decoder;
    CodecContextPtr encoder;
    AVStream* stream = nullptr;
    int64_t nextPts = 0;
};

CodecContextPtr openDecoder(const AVStream* stream, int threads) {
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec)
        throw std::runtime_error("no decoder");
    CodecContextPtr context(avcodec_alloc_context3(codec));
    checkAv(avcodec_parameters_to_context(context.get(), stream->codecpar), "decoder parameters");
    context->thread_count = threads;
    checkAv(avcodec_open2(context.get(), codec, nullptr), "open decoder");
    return context;
}

void writePackets(AVFormatContext* output, Lane& lane, AVPacket* packet) {
    while (avcodec_receive_packet(lane.encoder.get(), packet) >= 0) {
        packet->stream_index = lane.stream->index;
        av_packet_rescale_ts(packet, lane.encoder->time_base, lane.stream->time_base);
        checkAv(av_interleaved_write_frame(output, packet), "write");
    }
}

void encode(AVFormatContext* output, Lane& lane, AVFrame* frame, AVPacket* packet) {
    checkAv(avcodec_send_frame(lane.encoder.get(), frame), "encode");
    writePackets(output, lane, packet);
}

} // namespace

int RunFloorJob(const FloorJob& job) {
    AVFormatContext* rawInput = nullptr;
    checkAv(avformat_open_input(&rawInput, job.input.c_str(), nullptr, nullptr), "open input");
    InputContextPtr input(rawInput);
    checkAv(avformat_find_stream_info(input.get(), nullptr), "stream info");
    AVFormatContext* rawOutput = nullptr;
    checkAv(avformat_alloc_output_context2(&rawOutput, nullptr, nullptr, job.output.c_str()),
            "output");
    OutputContextPtr output(rawOutput);
    const bool globalHeader = output->oformat->flags & AVFMT_GLOBALHEADER;

    Lane video, audio;
    if (!job.videoEncoder.empty()) {
        video.inputIndex = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        video.decoder = openDecoder(input->streams[video.inputIndex], job.threads);
        const AVCodec* codec = avcodec_find_encoder_by_name(job.videoEncoder.c_str());
        if (!codec)
            throw std::runtime_error("no encoder " + job.videoEncoder);
        video.encoder.reset(avcodec_alloc_context3(codec));
        AVCodecContext* enc = video.encoder.get();
        enc->width = job.width;
        enc->height = job.height;
        enc->pix_fmt = codec->pix_fmts ? codec->pix_fmts[0] : AV_PIX_FMT_YUV420P;
        enc->time_base = av_inv_q(job.frameRate);
        enc->framerate = job.frameRate;
        enc->bit_rate = job.videoBitRate;
        // The encoder's own key frame interval, as the engine leaves it.
        enc->thread_count = job.threads;
        if (globalHeader)
            enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (!job.videoPreset.empty())
            av_opt_set(enc->priv_data, "preset", job.videoPreset.c_str(), 0);
        checkAv(avcodec_open2(enc, codec, nullptr), "open video encoder");
        video.stream = avformat_new_stream(output.get(), nullptr);
        avcodec_parameters_from_context(video.stream->codecpar, enc);
        video.stream->time_base = enc->time_base;
    }
    if (!job.audioEncoder.empty()) {
        audio.inputIndex = av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        audio.decoder = openDecoder(input->streams[audio.inputIndex], job.threads);
        const AVCodec* codec = avcodec_find_encoder_by_name(job.audioEncoder.c_str());
        if (!codec)
            throw std::runtime_error("no encoder " + job.audioEncoder);
        audio.encoder.reset(avcodec_alloc_context3(codec));
        AVCodecContext* enc = audio.encoder.get();
        enc->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
        enc->sample_rate = job.sampleRateHz;
        av_channel_layout_default(&enc->ch_layout, job.channels);
        enc->bit_rate = job.audioBitRate;
        enc->time_base = {1, job.sampleRateHz};
        enc->thread_count = job.threads;
        if (globalHeader)
            enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        checkAv(avcodec_open2(enc, codec, nullptr), "open audio encoder");
        audio.stream = avformat_new_stream(output.get(), nullptr);
        avcodec_parameters_from_context(audio.stream->codecpar, enc);
        audio.stream->time_base = enc->time_base;
    }
    if (!(output->oformat->flags & AVFMT_NOFILE))
        checkAv(avio_open(&output->pb, job.output.c_str(), AVIO_FLAG_WRITE), "open output");
    checkAv(avformat_write_header(output.get(), nullptr), "header");

    SwsContext* scaler = nullptr;
    FramePtr scaled(av_frame_alloc());
    if (video.encoder) {
        AVCodecContext* dec = video.decoder.get();
        scaler = sws_getContext(dec->width, dec->height, dec->pix_fmt, job.width, job.height,
                                video.encoder->pix_fmt, SWS_BICUBIC, nullptr, nullptr, nullptr);
        scaled->format = video.encoder->pix_fmt;
        scaled->width = job.width;
        scaled->height = job.height;
        checkAv(av_frame_get_buffer(scaled.get(), 0), "picture");
    }
    SwrContext* resampler = nullptr;
    AVAudioFifo* fifo = nullptr;
    FramePtr block(av_frame_alloc());
    if (audio.encoder) {
        AVCodecContext* dec = audio.decoder.get();
        AVCodecContext* enc = audio.encoder.get();
        checkAv(swr_alloc_set_opts2(&resampler, &enc->ch_layout, enc->sample_fmt, enc->sample_rate,
                                    &dec->ch_layout, dec->sample_fmt, dec->sample_rate, 0, nullptr),
                "resampler");
        checkAv(swr_init(resampler), "resampler");
        fifo = av_audio_fifo_alloc(enc->sample_fmt, enc->ch_layout.nb_channels, 4096);
    }
    std::vector<uint8_t*> planes(8, nullptr);
    std::vector<uint8_t> converted;
    int frames = 0;
    PacketPtr packet(av_packet_alloc());
    PacketPtr encoded(av_packet_alloc());
    FramePtr decoded(av_frame_alloc());

    // Encodes whole encoder frames from the FIFO; with `last`, the short remainder too.
    auto drainFifo = [&](bool last) {
        AVCodecContext* enc = audio.encoder.get();
        const int frameSize = enc->frame_size > 0 ? enc->frame_size : 1024;
        while (av_audio_fifo_size(fifo) >= frameSize || (last && av_audio_fifo_size(fifo) > 0)) {
            const int count = std::min(frameSize, av_audio_fifo_size(fifo));
            av_frame_unref(block.get());
            block->format = enc->sample_fmt;
            block->nb_samples = count;
            block->sample_rate = enc->sample_rate;
            av_channel_layout_copy(&block->ch_layout, &enc->ch_layout);
            checkAv(av_frame_get_buffer(block.get(), 0), "audio frame");
            av_audio_fifo_read(fifo, reinterpret_cast<void**>(block->extended_data), count);
            block->pts = audio.nextPts;
            audio.nextPts += count;
            encode(output.get(), audio, block.get(), encoded.get());
        }
    };
    auto handleFrame = [&](Lane& lane, AVFrame* frame) {
        if (&lane == &video) {
            checkAv(av_frame_make_writable(scaled.get()), "picture");
            sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, scaled->data,
                      scaled->linesize);
            scaled->pts = video.nextPts++;
            encode(output.get(), video, scaled.get(), encoded.get());
            ++frames;
        } else {
            AVCodecContext* enc = audio.encoder.get();
            const int capacity = swr_get_out_samples(resampler, frame->nb_samples);
            uint8_t** out = nullptr;
            int lineSize = 0;
            checkAv(av_samples_alloc_array_and_samples(&out, &lineSize, enc->ch_layout.nb_channels,
                                                       capacity, enc->sample_fmt, 0),
                    "samples");
            const int got =
                swr_convert(resampler, out, capacity,
                            const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
            if (got > 0)
                av_audio_fifo_write(fifo, reinterpret_cast<void**>(out), got);
            av_freep(&out[0]);
            av_freep(&out);
            drainFifo(false);
        }
    };
    auto decode = [&](Lane& lane, AVPacket* in) {
        if (avcodec_send_packet(lane.decoder.get(), in) < 0)
            return;
        while (avcodec_receive_frame(lane.decoder.get(), decoded.get()) >= 0) {
            handleFrame(lane, decoded.get());
            av_frame_unref(decoded.get());
        }
    };

    while (av_read_frame(input.get(), packet.get()) >= 0) {
        if (video.encoder && packet->stream_index == video.inputIndex)
            decode(video, packet.get());
        else if (audio.encoder && packet->stream_index == audio.inputIndex)
            decode(audio, packet.get());
        av_packet_unref(packet.get());
    }
    if (video.encoder) {
        decode(video, nullptr);
        encode(output.get(), video, nullptr, encoded.get());
    }
    if (audio.encoder) {
        decode(audio, nullptr);
        drainFifo(true);
        encode(output.get(), audio, nullptr, encoded.get());
    }
    checkAv(av_write_trailer(output.get()), "trailer");
    sws_freeContext(scaler);
    swr_free(&resampler);
    if (fifo)
        av_audio_fifo_free(fifo);
    return frames;
}
