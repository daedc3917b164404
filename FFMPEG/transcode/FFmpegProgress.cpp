// Progress reports and statistics of a running transcode: the interim and final reports
// (progress event or text line), the closing byte summary and the per-frame video
// statistics file.
#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"
#include "FFmpeg.h"
#include "TFFmpeg.h"

#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

// Appends printf-style text to `line`, keeping it within the report's 1024 bytes.
void append(std::string& line, const char* pattern, ...) {
    char text[1024];
    va_list arguments;
    va_start(arguments, pattern);
    std::vsnprintf(text, sizeof text, pattern, arguments);
    va_end(arguments);
    line += text;
    if (line.size() > 1023)
        line.resize(1023);
}

double psnr(double error) {
    return -10.0 * std::log(error) / std::log(10.0);
}

// Bytes written to an output so far: its size, or its write position while the size is
// not known.
int64_t outputBytes(AVFormatContext* output) {
    if (!output || !output->pb)
        return 0;
    int64_t size = lavf.avio_size(output->pb);
    if (size < 0)
        size = lavf.avio_seek(output->pb, 0, SEEK_CUR);
    return size < 0 ? 0 : size;
}

} // namespace

int64_t TCustomFFmpeg::ProgressIntervalMicroseconds() const {
    // The component sets the interval on its task object before the start.
    if (const auto* task = dynamic_cast<const TFFmpeg*>(this))
        return task->ProgressIntervalUs;
    return 500000;
}

void TCustomFFmpeg::PrintReport(AVFormatContext** outputFiles, bool isLast) {
    if (!outputFiles || !outputFiles[0])
        return;
    const int64_t totalBytes = outputBytes(outputFiles[0]);
    std::string line;
    int32_t frameNumber = -1, fps = -1;
    float quality = -1;
    bool firstVideo = true;
    for (std::size_t n = 0; n < OutputStreams.size(); ++n) {
        const OutputStreamState& ost = OutputStreams[n];
        const AVCodecContext* codec = *ost.Codec;
        if (ost.Stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO)
            continue;
        const TWrittenStream* written =
            n < Mux.WrittenStreams.size() ? &Mux.WrittenStreams[n] : nullptr;
        // A copied stream has no quantiser.
        const float streamQuality = ost.EncodingNeeded && written
                                        ? static_cast<float>(written->Quality) / FF_QP2LAMBDA
                                        : -1.0f;
        if (!firstVideo) {
            append(line, "q=%2.1f ", streamQuality);
            continue;
        }
        firstVideo = false;
        const double elapsed = static_cast<double>(lavu.av_gettime() - TimerStartUs) / 1000000.0;
        const int frames = ost.FrameNumber;
        if (frames < 1)
            return; // nothing written yet: no report at all
        fps = elapsed > 1 ? static_cast<int32_t>(frames / elapsed + 0.5) : 0;
        frameNumber = frames;
        quality = streamQuality;
        append(line, "frame=%5d fps=%3d q=%3.1f ", frames, fps, quality);
        if (isLast)
            append(line, "L");
        if (QpHistogram) {
            const int qp = static_cast<int>(std::lround(quality));
            if (qp >= 0 && qp < 52)
                ++Progress.QpHistogramCounts[qp];
            for (int j = 0; j < 32; ++j)
                append(
                    line, "%X",
                    static_cast<int>(std::lround(std::log2(Progress.QpHistogramCounts[j] + 1.0))));
        }
        if (ost.EncodingNeeded && (codec->flags & AV_CODEC_FLAG_PSNR)) {
            double errorSum = 0, scaleSum = 0;
            const char planes[3] = {'Y', 'U', 'V'};
            append(line, "PSNR=");
            for (int j = 0; j < 3; ++j) {
                double error = isLast ? static_cast<double>(codec->error[j])
                                      : (written ? static_cast<double>(written->Error[j]) : 0);
                double scale = static_cast<double>(codec->width) * codec->height * 255.0 * 255.0;
                if (isLast)
                    scale *= frames;
                if (j)
                    scale /= 4;
                errorSum += error;
                scaleSum += scale;
                append(line, "%c:%2.2f ", planes[j], psnr(error / scale));
            }
            append(line, "*:%2.2f ", psnr(errorSum / scaleSum));
        }
    }

    // The output time: the smallest positive time of any output stream.
    double outputTime = 1e10;
    for (const OutputStreamState& ost : OutputStreams) {
        const double time = OutputStreamTime(ost);
        if (time > 0 && time < outputTime)
            outputTime = time;
    }
    const bool anyTime = outputTime < 1e10;
    if (outputTime < 0.01)
        outputTime = 0.01;

    if (!(ProgressAssigned() || Verbosity > 0 || isLast))
        return;
    const double bitRate = static_cast<double>(totalBytes) * 8.0 / outputTime / 1000.0;
    append(line, "size=%8.0fkB time=%0.2f bitrate=%6.1fkbits/s", totalBytes / 1024.0, outputTime,
           bitRate);
    if (Verbosity > 1)
        append(line, " dup=%d drop=%d", DuplicatedFrames, DroppedFrames);

    if (ProgressAssigned()) {
        // While no stream has a time yet, the duration is reported as 0.
        const int32_t durationMs = anyTime ? static_cast<int32_t>(outputTime * 1000) : 0;
        ReportProgress(frameNumber, fps, durationMs, quality, static_cast<float>(bitRate),
                       totalBytes, TotalDurationMs);
    } else if (Verbosity >= 0 && LogInstalled()) {
        Log(kLogInfo, line);
    }

    if (isLast && Verbosity >= 0 && LogInstalled()) {
        const double raw = static_cast<double>(VideoBytes + AudioBytes + GlobalHeaderBytes);
        const double overhead = raw > 0 ? 100.0 * (static_cast<double>(totalBytes) - raw) / raw : 0;
        std::string summary;
        append(summary,
               "video:%1.0fkB audio:%1.0fkB global headers:%1.0fkB muxing overhead %f%%\r\n",
               VideoBytes / 1024.0, AudioBytes / 1024.0, GlobalHeaderBytes / 1024.0, overhead);
        Log(kLogInfo, summary);
    }
}

void TCustomFFmpeg::WriteVideoStats(OutputStreamState& ost, int frameSize) {
    if (VStatsFileName.empty())
        return;
    if (!Progress.VStatsFile) {
        if (VStatsInOutputFolder) {
            const AVFormatContext* output = ost.FileIndex >= 0 && ost.FileIndex < OutputFileCount
                                                ? OutputFiles[ost.FileIndex]
                                                : nullptr;
            if (output && output->url)
                VStatsFileName = (std::filesystem::path(output->url).parent_path() /
                                  std::filesystem::path(VStatsFileName).filename())
                                     .string();
            VStatsInOutputFolder = false;
        }
        Progress.VStatsFile = std::fopen(VStatsFileName.c_str(), "w");
        if (!Progress.VStatsFile)
            throw FFMpegException("fopen fail: " + VStatsFileName);
    }
    const AVCodecContext* codec = *ost.Codec;
    if (codec->codec_type != AVMEDIA_TYPE_VIDEO)
        return;
    const std::ptrdiff_t index = &ost - OutputStreams.data();
    const TWrittenStream* written =
        index >= 0 && index < static_cast<std::ptrdiff_t>(Mux.WrittenStreams.size())
            ? &Mux.WrittenStreams[index]
            : nullptr;
    const int quality = written ? written->Quality : 0;
    std::fprintf(Progress.VStatsFile, "frame= %5d q= %2.1f ", ost.FrameNumber,
                 static_cast<double>(quality) / FF_QP2LAMBDA);
    if (codec->flags & AV_CODEC_FLAG_PSNR) {
        const double error = written ? static_cast<double>(written->Error[0]) : 0;
        std::fprintf(
            Progress.VStatsFile, "PSNR= %6.2f ",
            psnr(error / (static_cast<double>(codec->width) * codec->height * 255.0 * 255.0)));
    }
    std::fprintf(Progress.VStatsFile, "f_size= %6d ", frameSize);
    const double timeBase = av_q2d(codec->time_base);
    double time = static_cast<double>(ost.SyncOpts) * timeBase;
    if (time < 0.01)
        time = 0.01;
    const double bitRate = timeBase > 0 ? frameSize * 8.0 / timeBase / 1000.0 : 0;
    const double average = static_cast<double>(VideoBytes) * 8.0 / time / 1000.0;
    std::fprintf(Progress.VStatsFile,
                 "s_size= %8.0fkB time= %0.3f br= %7.1fkbits/s avg_br= %7.1fkbits/s ",
                 VideoBytes / 1024.0, time, bitRate, average);
    const int type = written ? written->PictureType : 0;
    std::fprintf(Progress.VStatsFile, "type= %c\n",
                 type > 0 ? lavu.av_get_picture_type_char(static_cast<AVPictureType>(type)) : '?');
}
