// The transcode set-up: per-stream state, stream mapping, copy and encode parameters,
// two-pass log files, codec opening, metadata maps and the container headers.
#include "FFmpeg.h"
#include "EngineText.h"
#include "MediaStreamList.h"
#include "StreamRotation.h"

#include "AVCodecHlpr.h"
#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"
#include "CodecLock.h"
#include "SwScaleHlpr.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

[[noreturn]] void fail(const std::string& message) {
    throw FFMpegException(message);
}

AVMediaType typeOf(const AVStream* stream) {
    return stream->codecpar->codec_type;
}

bool namesTracksByHandler(const AVFormatContext* output) {
    const char* name = output->oformat ? output->oformat->name : "";
    for (const char* family : {"mp4", "mov", "ipod", "3gp", "3g2", "psp", "ismv", "f4v"})
        if (std::strcmp(name, family) == 0)
            return true;
    return false;
}

// The stream's language, and the title of a sound track or subtitle, unless the options
// gave the output its own.
void nameOutputStream(AVStream* output, const AVStream* input, const AVFormatContext* file) {
    const AVDictionaryEntry* language = lavu.av_dict_get(input->metadata, "language", nullptr, 0);
    if (language && !lavu.av_dict_get(output->metadata, "language", nullptr, 0))
        lavu.av_dict_set(&output->metadata, "language", language->value, 0);
    const AVMediaType type = input->codecpar->codec_type;
    const std::string inputTitle = StreamTitle(input->metadata);
    if ((type == AVMEDIA_TYPE_AUDIO || type == AVMEDIA_TYPE_SUBTITLE) && !inputTitle.empty() &&
        !lavu.av_dict_get(output->metadata, "title", nullptr, 0))
        lavu.av_dict_set(&output->metadata, "title", inputTitle.c_str(), 0);
    // MP4 and QuickTime name a track by its handler.
    const AVDictionaryEntry* title = lavu.av_dict_get(output->metadata, "title", nullptr, 0);
    if (title && namesTracksByHandler(file))
        lavu.av_dict_set(&output->metadata, "handler_name", title->value, 0);
}

} // namespace

void TCustomFFmpeg::Transcode(AVFormatContext** outputFiles, int outputCount,
                              AVFormatContext** inputFiles, int inputCount, const TStreamMap* maps,
                              int mapCount) {
    try {
        SetupTranscode(outputFiles, outputCount, inputFiles, inputCount, maps, mapCount);
        RunMainLoop(outputFiles, outputCount, inputFiles, inputCount);
        // The trailers go out before the final report, which measures the finished files;
        // the clean-up then skips them.
        int trailerError = 0;
        for (int file = 0; file < outputCount; ++file)
            if (file < static_cast<int>(HeadersWritten.size()) && HeadersWritten[file]) {
                HeadersWritten[file] = 0;
                const int written = lavf.av_write_trailer(outputFiles[file]);
                if (written < 0 && trailerError == 0)
                    trailerError = written;
            }
        // A trailer that could not be written leaves a broken file: that is a failure.
        if (trailerError < 0)
            throw FFMpegException(OpenErrorText("av_write_trailer()", trailerError));
        PrintReport(outputFiles, true);
        FreeLoopState();
        FinishTranscode(outputFiles, outputCount);
    } catch (...) {
        FreeLoopState();
        FreeTranscodeState();
        throw;
    }
}

void TCustomFFmpeg::SetupTranscode(AVFormatContext** outputFiles, int outputCount,
                                   AVFormatContext** inputFiles, int inputCount,
                                   const TStreamMap* maps, int mapCount) {
    FreeTranscodeState();
    // 1. Input side.
    BuildInputStreamStates(inputFiles, inputCount);
    // 2. - 4. Output side and the pairing of streams.
    MapOutputStreams(outputFiles, outputCount, inputFiles, inputCount, maps, mapCount);
    SetupStillPictures(outputFiles);
    LogStreamsLeftOut();
    // 5. Parameters per output stream.
    for (std::size_t n = 0; n < OutputStreams.size(); ++n)
        SetOutputStreamParameters(outputFiles, static_cast<int>(n));
    // 6. The encode output buffer.
    if (!BitBuffer) {
        BitBuffer = static_cast<uint8_t*>(lavu.av_malloc(BitBufferSize));
        if (!BitBuffer)
            fail("av_malloc fail");
    }
    // 7. - 10.
    OpenAndDescribeCodecs(outputFiles, outputCount);
    // 11. Input clocks.
    for (InputStreamState& ist : InputStreams) {
        ist.Pts = 0;
        ist.NextPts = AV_NOPTS_VALUE;
        ist.IsStart = 1;
    }
    // 12. - 14.
    CopyMetadataMaps(outputFiles, outputCount, inputFiles, inputCount);
    CopyChapters(outputFiles, outputCount, inputFiles, inputCount);
    SetPictureComments(outputFiles, outputCount, inputFiles, inputCount);
    WriteHeaders(outputFiles, outputCount);
    LogSdp(outputFiles, outputCount);
    // 15.
    TimerStartUs = lavu.av_gettime();
}

void TCustomFFmpeg::BuildInputStreamStates(AVFormatContext** inputFiles, int inputCount) {
    InputFileStates.assign(inputCount, InputFileState{});
    int total = 0;
    for (int file = 0; file < inputCount; ++file) {
        AVFormatContext* input = inputFiles[file];
        InputFileStates[file].FirstStream = total;
        InputFileStates[file].StreamsInFile = static_cast<int>(input->nb_streams);
        for (unsigned i = 0; i < input->nb_streams; ++i) {
            InputStreamState ist;
            ist.FileIndex = file;
            ist.StreamIndex = static_cast<int>(i);
            ist.Stream = input->streams[i];
            ist.RotationDegrees = DisplayRotationDegrees(ist.Stream);
            if (StreamCodecEntry* entry = StreamCodecs.Find(input, static_cast<int>(i))) {
                ist.Codec = &entry->Codec;
                ist.RateEmulation = entry->RateEmulation;
            }
            if (!ist.Codec || !*ist.Codec)
                fail("av_mallocz fail");
            if (ist.RateEmulation) {
                ist.Start = lavu.av_gettime();
                ist.FrameCount = 0;
            }
            InputStreams.push_back(ist);
        }
        total += static_cast<int>(input->nb_streams);
    }
}

void TCustomFFmpeg::SetOutputStreamParameters(AVFormatContext** outputFiles, int n) {
    OutputStreamState& ost = OutputStreams[n];
    InputStreamState& ist = InputStreams[ost.SourceIndex];
    nameOutputStream(ost.Stream, ist.Stream, outputFiles[ost.FileIndex]);
    // A cover shown as the video is a video like any other.
    ost.Stream->disposition =
        ist.Stream->disposition & (ost.StillPicture ? ~AV_DISPOSITION_ATTACHED_PIC : ~0);
    const StreamCodecEntry* entry = StreamCodecs.Find(outputFiles[ost.FileIndex], ost.StreamIndex);
    if (entry && entry->StreamCopy)
        SetCopyParameters(outputFiles[ost.FileIndex], ost, ist);
    else
        SetEncodeParameters(ost, ist);
    if (ost.EncodingNeeded)
        OpenPassLogFile(ost, n);
    AVCodecContext* codec = *ost.Codec;
    if (typeOf(ost.Stream) == AVMEDIA_TYPE_VIDEO && codec &&
        4LL * codec->width * codec->height > BitBufferSize)
        BitBufferSize = static_cast<int32_t>(4LL * codec->width * codec->height);
}

void TCustomFFmpeg::OpenAndDescribeCodecs(AVFormatContext** outputFiles, int outputCount) {
    // 7., 8. Describe the outputs and the mapping, once the encoders are open (9., 10.):
    // the output streams' parameters come from the opened encoders, so only then does the
    // dump show each codec, picture size, rate and channel count. When an open fails, the
    // streams not yet opened are described from their encoder settings before the failure
    // is raised.
    const auto describeOutputs = [&] {
        for (int file = 0; file < outputCount; ++file)
            lavf.av_dump_format(outputFiles[file], file, outputFiles[file]->url, 1);
        if (Verbosity >= 0 && LogInstalled()) {
            Log(kLogInfo, "Stream mapping:");
            for (const OutputStreamState& ost : OutputStreams) {
                const InputStreamState& source = InputStreams[ost.SourceIndex];
                Log(kLogInfo, formatText("  Stream #%d.%d -> #%d.%d", source.FileIndex,
                                         source.StreamIndex, ost.FileIndex, ost.StreamIndex));
                if (ost.SyncSource != ost.SourceIndex) {
                    const InputStreamState& sync = InputStreams[ost.SyncSource];
                    Log(kLogInfo, formatText(" [sync #%d.%d]", sync.FileIndex, sync.StreamIndex));
                }
            }
        }
    };
    try {
        OpenStreamCodecs(outputFiles);
    } catch (...) {
        for (const OutputStreamState& ost : OutputStreams)
            if (ost.EncodingNeeded && ost.Codec && *ost.Codec &&
                ost.Stream->codecpar->codec_id == AV_CODEC_ID_NONE)
                lavc.avcodec_parameters_from_context(ost.Stream->codecpar, *ost.Codec);
        describeOutputs();
        throw;
    }
    describeOutputs();
}

void TCustomFFmpeg::LogSdp(AVFormatContext** outputFiles, int outputCount) {
    if (!LogInstalled())
        return;
    bool allRtp = outputCount > 0;
    for (int file = 0; file < outputCount; ++file)
        allRtp = allRtp && std::strcmp(outputFiles[file]->oformat->name, "rtp") == 0;
    char sdp[2048] = {};
    if (allRtp && lavf.av_sdp_create(outputFiles, outputCount, sdp, sizeof sdp) >= 0) {
        std::string text(sdp);
        const std::size_t first = text.find_first_not_of(" \t\r\n");
        const std::size_t last = text.find_last_not_of(" \t\r\n");
        Log(kLogInfo,
            "SDP: " + (first == std::string::npos ? std::string()
                                                  : text.substr(first, last - first + 1)));
    }
}

void TCustomFFmpeg::MapOutputStreams(AVFormatContext** outputFiles, int outputCount,
                                     AVFormatContext** inputFiles, int inputCount,
                                     const TStreamMap* maps, int mapCount) {
    int outputStreams = 0;
    for (int file = 0; file < outputCount; ++file) {
        if (outputFiles[file]->nb_streams == 0) {
            // Say why when the inputs give nothing to convert.
            bool inputMedia = false;
            for (int in = 0; in < inputCount; ++in)
                for (unsigned i = 0; inputFiles[in] && i < inputFiles[in]->nb_streams; ++i)
                    inputMedia = inputMedia ||
                                 typeOf(inputFiles[in]->streams[i]) == AVMEDIA_TYPE_VIDEO ||
                                 typeOf(inputFiles[in]->streams[i]) == AVMEDIA_TYPE_AUDIO;
            fail(inputMedia ? "Output file does not contain any stream"
                            : "Output file does not contain any stream: no audio or video "
                              "stream was found in the input (it may be damaged or cut short)");
        }
        outputStreams += static_cast<int>(outputFiles[file]->nb_streams);
    }
    if (mapCount > 0 && mapCount != outputStreams)
        fail("Number of stream maps must match number of output streams");
    auto validStream = [&](int file, int stream) {
        return file >= 0 && file < inputCount && stream >= 0 &&
               stream < InputFileStates[file].StreamsInFile;
    };
    for (int i = 0; i < mapCount; ++i) {
        const TStreamMap& map = maps[i];
        if (!validStream(map.FileIndex, map.StreamIndex))
            fail(formatText("Could not find input stream #%d.%d", map.FileIndex, map.StreamIndex));
        if (!validStream(map.SyncFileIndex, map.SyncStreamIndex))
            fail(formatText("Could not find sync stream #%d.%d", map.SyncFileIndex,
                            map.SyncStreamIndex));
    }

    int n = 0;
    for (int file = 0; file < outputCount; ++file) {
        AVFormatContext* output = outputFiles[file];
        for (unsigned i = 0; i < output->nb_streams; ++i, ++n) {
            OutputStreamState ost;
            ost.FileIndex = file;
            ost.StreamIndex = static_cast<int>(i);
            ost.Stream = output->streams[i];
            StreamCodecEntry* entry = StreamCodecs.Find(output, static_cast<int>(i));
            if (!entry || !entry->Codec)
                fail("av_mallocz fail");
            ost.Codec = &entry->Codec;
            const AVMediaType type = entry->Codec->codec_type;
            // The muxer reads the kind from the stream's parameters.
            ost.Stream->codecpar->codec_type = type;
            int source = -1;
            if (mapCount > 0) {
                const TStreamMap& map = maps[n];
                source = InputFileStates[map.FileIndex].FirstStream + map.StreamIndex;
                if (typeOf(InputStreams[source].Stream) != type) {
                    lavf.av_dump_format(output, file, output->url, 1);
                    fail(formatText("Codec type mismatch for mapping #%d.%d -> #%d.%d",
                                    map.FileIndex, map.StreamIndex, file, static_cast<int>(i)));
                }
                ost.SyncSource =
                    InputFileStates[map.SyncFileIndex].FirstStream + map.SyncStreamIndex;
            } else if (ProgramId != 0) {
                for (int in = 0; source < 0 && in < inputCount; ++in) {
                    const AVFormatContext* input = inputFiles[in];
                    for (unsigned p = 0; source < 0 && input && p < input->nb_programs; ++p) {
                        const AVProgram* program = input->programs[p];
                        if (program->id != ProgramId)
                            continue;
                        for (unsigned s = 0; source < 0 && s < program->nb_stream_indexes; ++s) {
                            const int index = static_cast<int>(program->stream_index[s]);
                            if (index >= InputFileStates[in].StreamsInFile)
                                continue;
                            const int candidate = InputFileStates[in].FirstStream + index;
                            if (InputStreams[candidate].Discard &&
                                typeOf(InputStreams[candidate].Stream) == type)
                                source = candidate;
                        }
                    }
                }
            } else {
                // Real pictures before attached ones: a cover is the video only of a file
                // that has no other.
                for (const bool cover : {false, true})
                    for (std::size_t s = 0; source < 0 && s < InputStreams.size(); ++s)
                        if (InputStreams[s].Discard && typeOf(InputStreams[s].Stream) == type &&
                            IsAttachedPicture(InputStreams[s].Stream) == cover)
                            source = static_cast<int>(s);
                // More outputs of a kind than inputs: the last input of it is used again.
                for (std::size_t s = 0; source < 0 && s < InputStreams.size(); ++s)
                    if (typeOf(InputStreams[InputStreams.size() - 1 - s].Stream) == type)
                        source = static_cast<int>(InputStreams.size() - 1 - s);
            }
            if (source < 0) {
                lavf.av_dump_format(output, file, output->url, 1);
                fail(formatText("Could not find input stream matching output stream #%d.%d", file,
                                static_cast<int>(i)));
            }
            ost.SourceIndex = source;
            if (mapCount == 0)
                ost.SyncSource = source;
            InputStreams[source].Discard = 0;
            OutputStreams.push_back(ost);
        }
    }
}

void TCustomFFmpeg::SetupStillPictures(AVFormatContext** outputFiles) {
    for (OutputStreamState& ost : OutputStreams) {
        const AVCodecContext* codec = *ost.Codec;
        const InputStreamState& source = InputStreams[ost.SourceIndex];
        const StreamCodecEntry* entry =
            StreamCodecs.Find(outputFiles[ost.FileIndex], ost.StreamIndex);
        // A copied cover stays a cover.
        if (!codec || codec->codec_type != AVMEDIA_TYPE_VIDEO ||
            !IsAttachedPicture(source.Stream) || (entry && entry->StreamCopy))
            continue;
        ost.StillPicture = 1;
        if (typeOf(InputStreams[ost.SyncSource].Stream) == AVMEDIA_TYPE_AUDIO)
            continue;
        // No sound given to follow: the first sound of the same file that goes out, else
        // the picture is shown once.
        for (const OutputStreamState& other : OutputStreams) {
            const InputStreamState& sound = InputStreams[other.SourceIndex];
            if (typeOf(sound.Stream) == AVMEDIA_TYPE_AUDIO && sound.FileIndex == source.FileIndex) {
                ost.SyncSource = other.SourceIndex;
                break;
            }
        }
    }
}

void TCustomFFmpeg::LogStreamsLeftOut() {
    for (const InputStreamState& ist : InputStreams) {
        const bool pictureComment =
            ist.FileIndex == PictureCommentFile && ist.StreamIndex == PictureCommentStream;
        if (!ist.Discard || pictureComment)
            continue;
        const AVCodecParameters* parameters = ist.Stream->codecpar;
        const char* kind = lavu.av_get_media_type_string(parameters->codec_type);
        LogIfInstalled(kLogInfo, formatText("Input stream #%d.%d (%s %s) left out: the output does "
                                            "not take it",
                                            ist.FileIndex, ist.StreamIndex, kind ? kind : "unknown",
                                            lavc.avcodec_get_name(parameters->codec_id)));
    }
}
