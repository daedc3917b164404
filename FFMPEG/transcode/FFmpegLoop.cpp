// The transcode main loop: choosing the input, reading, timestamp offsets and scales,
// discontinuity correction, the limits and the stop flag; and the writing of packets to
// the outputs through their bit-stream filters.
#include "AVCodecHlpr.h"
#include "EngineText.h"
#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"
#include "FFmpeg.h"
#include "LibavPointers.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// Reads the quality side data of an encoded packet into the stream's record.
void rememberPacket(TCustomFFmpeg::TWrittenStream& written, const AVPacket* packet) {
    std::size_t size = 0;
    const uint8_t* stats = lavc.av_packet_get_side_data(packet, AV_PKT_DATA_QUALITY_STATS, &size);
    if (stats && size >= 6) {
        written.Quality = static_cast<int>(stats[0] | (stats[1] << 8) | (stats[2] << 16) |
                                           (static_cast<uint32_t>(stats[3]) << 24));
        written.PictureType = stats[4];
        const int errors = stats[5];
        for (int plane = 0; plane < 4; ++plane) {
            written.Error[plane] = 0;
            if (plane < errors && size >= 8 + 8 * static_cast<std::size_t>(plane + 1)) {
                uint64_t value = 0;
                for (int byte = 7; byte >= 0; --byte)
                    value = (value << 8) | stats[8 + 8 * plane + byte];
                written.Error[plane] = static_cast<int64_t>(value);
            }
        }
    }
    written.KeyFrame = (packet->flags & AV_PKT_FLAG_KEY) != 0;
    const int64_t start = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
    if (start != AV_NOPTS_VALUE) {
        const int64_t end = start + (packet->duration > 0 ? packet->duration : 0);
        if (written.EndTs == AV_NOPTS_VALUE || end > written.EndTs)
            written.EndTs = end;
    }
}

} // namespace

int TCustomFFmpeg::InterruptCallback(void* engine) {
    return static_cast<const TCustomFFmpeg*>(engine)->StopRequested.load() ? 1 : 0;
}

void TCustomFFmpeg::WritePacket(AVFormatContext* output, AVPacket* packet, OutputStreamState& ost) {
    // While an encoder stage runs, sound is encoded on the worker and its packets join the
    // stage's queue, so the muxer sees every packet in the order one thread would write it.
    if (EncoderSide.Active && ost.Stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
        PostPacket(output, packet, ost);
        return;
    }
    MuxPacket(output, packet, ost);
}

void TCustomFFmpeg::MuxPacket(AVFormatContext* output, AVPacket* packet, OutputStreamState& ost) {
    const std::ptrdiff_t index = &ost - OutputStreams.data();
    if (index >= 0 && index < static_cast<std::ptrdiff_t>(Mux.WrittenStreams.size())) {
        TWrittenStream& written = Mux.WrittenStreams[index];
        rememberPacket(written, packet);
        if (!written.BitStreamFilters.empty()) {
            writeFiltered(output, packet, ost, written.BitStreamFilters, 0);
            return;
        }
    }
    const int ret = lavf.av_interleaved_write_frame(output, packet);
    lavc.av_packet_unref(packet);
    if (ret < 0)
        throw FFMpegException(OpenErrorText("av_interleaved_write_frame()", ret));
}

void TCustomFFmpeg::writeFiltered(AVFormatContext* output, AVPacket* packet, OutputStreamState& ost,
                                  const std::vector<struct AVBSFContext*>& chain,
                                  std::size_t level) {
    if (level == chain.size()) {
        const int ret = lavf.av_interleaved_write_frame(output, packet);
        lavc.av_packet_unref(packet);
        if (ret < 0)
            throw FFMpegException(OpenErrorText("av_interleaved_write_frame()", ret));
        return;
    }
    AVBSFContext* filter = chain[level];
    auto logFailure = [&](int result) {
        if (!LogInstalled())
            return;
        const AVCodecContext* codec = ost.Codec ? *ost.Codec : nullptr;
        const char* codecName =
            ost.EncodingNeeded && codec && codec->codec ? codec->codec->name : "copy";
        Log(kLogStepFailed,
            OpenErrorText(formatText("%s failed for stream %d, codec %s", filter->filter->name,
                                     ost.Stream->index, codecName),
                          result));
    };
    // A filter that refuses the packet leaves it as it is: it goes on unchanged.
    const int sent = lavc.av_bsf_send_packet(filter, packet);
    if (sent < 0) {
        logFailure(sent);
        writeFiltered(output, packet, ost, chain, level + 1);
        return;
    }
    // The filter took the packet; whatever it gives back (none, one or several) goes on.
    for (;;) {
        const int received = lavc.av_bsf_receive_packet(filter, packet);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            return;
        if (received < 0) {
            logFailure(received);
            return;
        }
        writeFiltered(output, packet, ost, chain, level + 1);
    }
}

double TCustomFFmpeg::OutputStreamTime(const OutputStreamState& ost) const {
    const AVCodecContext* codec = ost.Codec ? *ost.Codec : nullptr;
    if (ost.EncodingNeeded && codec && codec->codec_type == AVMEDIA_TYPE_VIDEO &&
        codec->time_base.num > 0 && codec->time_base.den > 0)
        return static_cast<double>(ost.SyncOpts) * av_q2d(codec->time_base);
    const std::ptrdiff_t index = &ost - OutputStreams.data();
    if (index < 0 || index >= static_cast<std::ptrdiff_t>(Mux.WrittenStreams.size()) ||
        Mux.WrittenStreams[index].EndTs == AV_NOPTS_VALUE)
        return 0.0;
    return static_cast<double>(Mux.WrittenStreams[index].EndTs) * av_q2d(ost.Stream->time_base);
}

void TCustomFFmpeg::FreeLoopState() {
    for (TWrittenStream& written : Mux.WrittenStreams)
        for (AVBSFContext*& filter : written.BitStreamFilters)
            lavc.av_bsf_free(&filter);
    Mux.WrittenStreams.clear();
    if (Loop.DecodedFrame)
        lavu.av_frame_free(&Loop.DecodedFrame);
    if (Loop.SubtitleBuffer)
        lavu.av_freep(&Loop.SubtitleBuffer);
    if (Progress.VStatsFile) {
        std::fclose(Progress.VStatsFile);
        Progress.VStatsFile = nullptr;
    }
    Loop.Deinterlacers.clear();
    Loop.OutputFiles = nullptr;
}

void TCustomFFmpeg::RunMainLoop(AVFormatContext** outputFiles, int outputCount,
                                AVFormatContext** inputFiles, int inputCount) {
    Loop.OutputFiles = outputFiles;
    Mux.WrittenStreams.resize(OutputStreams.size());
    for (int32_t& count : Progress.QpHistogramCounts)
        count = 0;
    if (!Loop.DecodedFrame)
        Loop.DecodedFrame = lavu.av_frame_alloc();
    PacketPtr packet(lavc.av_packet_alloc());
    if (!packet || !Loop.DecodedFrame)
        throw FFMpegException("av_mallocz fail");
    for (int file = 0; file < inputCount; ++file)
        inputFiles[file]->interrupt_callback = {&TCustomFFmpeg::InterruptCallback, this};
    // Streams no output takes: the demuxer may skip their data altogether (the loop
    // ignores their packets either way).
    for (InputStreamState& ist : InputStreams)
        if (ist.Discard)
            ist.Stream->discard = AVDISCARD_ALL;
    Progress.LastReportUs = TimerStartUs;
    const int64_t intervalUs = ProgressIntervalMicroseconds();
    // The encoders on a thread of their own when the run allows it; whatever ends the loop
    // (a failure included) ends that thread before the loop's state goes.
    const bool staged = EncoderStageWanted(inputCount);
    if (staged)
        StartEncoderStage();
    struct StageEnd {
        TCustomFFmpeg& engine;
        ~StageEnd() { engine.StopEncoderStage(); }
    } stageEnd{*this};

    while (!StopRequested) {
        WaitWhilePaused();
        if (StopRequested)
            break;

        // 1. The input file whose stream is furthest behind. With the encoders on their own
        // thread there is one input and no limit: it is read to its end.
        int fileIndex = -1;
        double smallestInput = 1e100, smallestOutput = 1e100;
        bool frameLimit = false;
        if (staged) {
            if (!InputFileStates[0].EofReached)
                fileIndex = 0;
        } else {
            for (const OutputStreamState& ost : OutputStreams) {
                const InputStreamState& ist = InputStreams[ost.SourceIndex];
                const double outputTime = OutputStreamTime(ost);
                const double inputTime = static_cast<double>(ist.Pts);
                if (!InputFileStates[ist.FileIndex].EofReached) {
                    if (inputTime < smallestInput) {
                        smallestInput = inputTime;
                        if (InputSync)
                            fileIndex = ist.FileIndex;
                    }
                    if (outputTime < smallestOutput) {
                        smallestOutput = outputTime;
                        if (!InputSync)
                            fileIndex = ist.FileIndex;
                    }
                }
                const int kind = ost.Stream->codecpar->codec_type;
                if (kind >= 0 && kind < 4 && ost.FrameNumber >= MaxFrames[kind]) {
                    frameLimit = true;
                    break;
                }
            }
        }
        // 2. The end of the input and the limits.
        if (fileIndex < 0 || frameLimit)
            break;
        if (RecordingTime != INT64_MAX &&
            smallestOutput >= static_cast<double>(RecordingTime) / 1000000.0)
            break;
        if (FileSizeLimit && outputCount > 0 && outputFiles[0]->pb &&
            lavf.avio_seek(outputFiles[0]->pb, 0, SEEK_CUR) > FileSizeLimit)
            break;

        // 3. Read.
        AVFormatContext* input = inputFiles[fileIndex];
        if (lavf.av_read_frame(input, packet.get()) < 0) {
            InputFileStates[fileIndex].EofReached = 1;
            if (Shortest)
                break;
            continue;
        }
        if (PacketDump && packet->stream_index >= 0 &&
            packet->stream_index < static_cast<int>(input->nb_streams))
            lavf.av_pkt_dump_log2(nullptr, AV_LOG_INFO, packet.get(), HexDump,
                                  input->streams[packet->stream_index]);

        // 5. Streams that appeared after the set-up, and streams nobody takes.
        const InputFileState& fileState = InputFileStates[fileIndex];
        if (packet->stream_index < 0 || packet->stream_index >= fileState.StreamsInFile) {
            lavc.av_packet_unref(packet.get());
            continue;
        }
        const int istIndex = fileState.FirstStream + packet->stream_index;
        InputStreamState& ist = InputStreams[istIndex];
        if (ist.Discard) {
            lavc.av_packet_unref(packet.get());
            continue;
        }

        // 6. The file's timestamp offset and the stream's timestamp scale.
        const AVRational timeBase = ist.Stream->time_base;
        const int64_t offset =
            lavu.av_rescale_q(InputTimestampOffsets[fileIndex], AV_TIME_BASE_Q, timeBase);
        if (packet->dts != AV_NOPTS_VALUE)
            packet->dts += offset;
        if (packet->pts != AV_NOPTS_VALUE)
            packet->pts += offset;
        if (ist.StreamIndex < kMaxStreams) {
            const double scale = InputTimestampScales[fileIndex][ist.StreamIndex];
            if (scale != 0) {
                if (packet->pts != AV_NOPTS_VALUE)
                    packet->pts = std::llround(static_cast<double>(packet->pts) * scale);
                if (packet->dts != AV_NOPTS_VALUE)
                    packet->dts = std::llround(static_cast<double>(packet->dts) * scale);
            }
        }

        // 7. Timestamp discontinuities.
        if (packet->dts != AV_NOPTS_VALUE && ist.NextPts != AV_NOPTS_VALUE && !CopyTimestamps) {
            const int64_t packetDts = lavu.av_rescale_q(packet->dts, timeBase, AV_TIME_BASE_Q);
            const int64_t delta = packetDts - ist.NextPts;
            if (std::fabs(static_cast<double>(delta)) > DtsDeltaThreshold * 1000000.0 ||
                packetDts + 1 < ist.Pts) {
                InputTimestampOffsets[fileIndex] -= delta;
                if (Verbosity > 2 && LogInstalled())
                    Log(kLogInfo, formatText("timestamp discontinuity %d, new offset= %d",
                                             static_cast<int>(delta),
                                             static_cast<int>(InputTimestampOffsets[fileIndex])));
                const int64_t shift = lavu.av_rescale_q(delta, AV_TIME_BASE_Q, timeBase);
                packet->dts -= shift;
                if (packet->pts != AV_NOPTS_VALUE)
                    packet->pts -= shift;
            }
        }

        // 8. - 9. Decode or copy.
        if (DecodePacket(istIndex, packet.get()) < 0) {
            if (Verbosity >= 0 && LogInstalled())
                Log(kLogInfo, formatText("Error while decoding stream #%d.%d", ist.FileIndex,
                                         ist.StreamIndex));
            lavc.av_packet_unref(packet.get());
            continue;
        }
        lavc.av_packet_unref(packet.get());
        AdvanceStillPictures(istIndex);

        // 10. The interim report (the encoder stage reports from its own thread).
        const int64_t now = lavu.av_gettime();
        if (!staged && now - Progress.LastReportUs > intervalUs) {
            Progress.LastReportUs = now;
            PrintReport(outputFiles, false);
        }
    }

    // End of input, a limit or a stop: every decoder gives what it still holds, and the
    // encoders it feeds are drained.
    for (std::size_t i = 0; i < InputStreams.size(); ++i)
        if (InputStreams[i].DecodingNeeded)
            DecodePacket(static_cast<int>(i), nullptr);
    FinishStillPictures();
    FinishEncoderStage();
}
