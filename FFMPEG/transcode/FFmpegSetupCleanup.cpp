// The end of a transcode: trailers, closing the codecs, freeing the per-stream state,
// and the final clean-up that closes whatever codec a failed run left open.
#include "FFmpeg.h"

#include "AVCodecHlpr.h"
#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"
#include "CodecLock.h"
#include "SwResampleHlpr.h"
#include "SwScaleHlpr.h"

#include <algorithm>

void TCustomFFmpeg::FinishTranscode(AVFormatContext** outputFiles, int outputCount) {
    // Flushing the decoders and the final report belong to the packet loop.
    for (int file = 0; file < outputCount; ++file)
        if (file < static_cast<int>(HeadersWritten.size()) && HeadersWritten[file])
            lavf.av_write_trailer(outputFiles[file]);
    for (OutputStreamState& ost : OutputStreams)
        if (ost.EncodingNeeded)
            CloseEncoder(ost.Codec);
    for (InputStreamState& ist : InputStreams)
        if (ist.DecodingNeeded)
            CloseDecoder(ist.Codec);
    Finished = !StopRequested;
    FreeTranscodeState();
}

void TCustomFFmpeg::CloseEncoder(AVCodecContext** slot) {
    auto entry = std::find(OpenCodecs.Encoders.begin(), OpenCodecs.Encoders.end(), slot);
    if (entry == OpenCodecs.Encoders.end())
        return;
    if (*slot)
        lavu.av_freep(&(*slot)->stats_in);
    {
        const CodecLockGuard lock(CodecLock());
        lavc.avcodec_free_context(slot);
    }
    OpenCodecs.Encoders.erase(entry);
}

void TCustomFFmpeg::CloseDecoder(AVCodecContext** slot) {
    auto entry = std::find(OpenCodecs.Decoders.begin(), OpenCodecs.Decoders.end(), slot);
    if (entry == OpenCodecs.Decoders.end())
        return;
    {
        const CodecLockGuard lock(CodecLock());
        lavc.avcodec_free_context(slot);
    }
    OpenCodecs.Decoders.erase(entry);
}

void TCustomFFmpeg::FinalCleanup() {
    while (!OpenCodecs.Encoders.empty())
        CloseEncoder(OpenCodecs.Encoders.front());
    while (!OpenCodecs.Decoders.empty())
        CloseDecoder(OpenCodecs.Decoders.front());
}

void TCustomFFmpeg::FreeTranscodeState() {
    lavu.av_freep(&BitBuffer);
    InputFileStates.clear();
    InputStreams.clear();
    for (OutputStreamState& ost : OutputStreams) {
        if (ost.LogFile)
            std::fclose(ost.LogFile);
        ost.LogFile = nullptr;
        if (ost.Fifo)
            lavu.av_fifo_freep2(&ost.Fifo);
        lavu.av_frame_free(&ost.ScratchPicture);
        lavu.av_frame_free(&ost.StillFrame);
        if (ost.Scaler)
            lsws.sws_freeContext(ost.Scaler);
        ost.Scaler = nullptr;
        if (ost.Resampler)
            lswr.swr_free(&ost.Resampler);
    }
    OutputStreams.clear();
    HeadersWritten.clear();
}
