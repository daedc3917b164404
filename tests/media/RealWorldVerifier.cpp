// --verify-real-world: compares the real-world files with what RealWorldMedia.h says.
#include "../support/OrientationMark.h"
#include "LibavHandles.h"
#include "RealWorldSet.h"

extern "C" {
#include <libavutil/display.h>
#include <libavutil/log.h>
}

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

class Differences {
public:
    template <typename T> void compare(const char* what, const T& expected, const T& actual) {
        if (!(expected == actual)) {
            std::ostringstream line;
            line << what << ": expected " << expected << ", found " << actual;
            m_lines.push_back(line.str());
        }
    }
    void near(const char* what, double expected, double actual) {
        if (std::fabs(expected - actual) > RealWorldMedia::kToleranceSeconds) {
            compare(what, expected, actual);
        }
    }
    void rate(const char* what, int num, int den, AVRational actual) {
        // 0/0 (no rate) equals only itself; av_cmp_q orders no rate below every other.
        const bool same = den == 0 || actual.den == 0 ? num == actual.num && den == actual.den
                                                      : av_cmp_q(AVRational{num, den}, actual) == 0;
        if (!same) {
            compare(what, std::to_string(num) + "/" + std::to_string(den),
                    std::to_string(actual.num) + "/" + std::to_string(actual.den));
        }
    }
    void add(std::string line) { m_lines.push_back(std::move(line)); }
    std::vector<std::string> take() { return std::move(m_lines); }

private:
    std::vector<std::string> m_lines;
};

double secondsOf(int64_t ts, AVRational timeBase) {
    return ts == AV_NOPTS_VALUE ? NAN : static_cast<double>(ts) * av_q2d(timeBase);
}

void checkCut(const RealWorldClip& clip, const fs::path& folder, Differences& differences) {
    std::error_code error;
    const auto sizeBytes = fs::file_size(folder / clip.name, error);
    const auto originalBytes = fs::file_size(folder / clip.damagedFrom, error);
    if (error) {
        differences.add("missing, or its original is");
        return;
    }
    std::uintmax_t expected = 0;
    const auto percent = static_cast<std::uintmax_t>(clip.damageAmount);
    switch (clip.damage) {
    case Damage::KeepFirstBytes:
        expected = percent;
        break;
    case Damage::KeepFirstPercent:
        expected = originalBytes * percent / 100;
        break;
    default:
        expected = originalBytes - originalBytes * percent / 100;
        break;
    }
    differences.compare("size in bytes", expected, sizeBytes);
}

// What reading every packet shows: the video packets' count and time stamps, and the
// orientation of the first decoded picture.
struct VideoReading {
    int packets = 0;
    std::vector<double> ptsSeconds;
    std::optional<OrientationMark::Orientation> firstPicture;
    bool decoded = false;
};

VideoReading readVideo(AVFormatContext& format, int streamIndex) {
    VideoReading reading;
    const AVStream& stream = *format.streams[streamIndex];
    const AVCodec* decoder = avcodec_find_decoder(stream.codecpar->codec_id);
    CodecContextPtr codec(avcodec_alloc_context3(decoder));
    checkAv(avcodec_parameters_to_context(codec.get(), stream.codecpar), "decoder parameters");
    codec->thread_count = 1;
    checkAv(avcodec_open2(codec.get(), decoder, nullptr), "opening the decoder");
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    while (av_read_frame(&format, packet.get()) >= 0) {
        if (packet->stream_index == streamIndex) {
            ++reading.packets;
            reading.ptsSeconds.push_back(secondsOf(packet->pts, stream.time_base));
            if (!reading.decoded && avcodec_send_packet(codec.get(), packet.get()) >= 0 &&
                avcodec_receive_frame(codec.get(), frame.get()) >= 0) {
                reading.decoded = true;
                reading.firstPicture = OrientationMark::readOrientation(
                    frame->data[0], frame->linesize[0], frame->width, frame->height);
            }
        }
        av_packet_unref(packet.get());
    }
    return reading;
}

void checkVideoReading(const RealWorldClip& clip, const VideoReading& reading,
                       Differences& differences) {
    differences.compare("video packets", clip.frameCount, reading.packets);
    // The stored picture is turned the other way from the display rotation.
    const OrientationMark::Orientation stored{.rotationCw = (360 - clip.displayRotationCw) % 360};
    if (!reading.decoded) {
        differences.add("no picture decodes");
    } else if (!reading.firstPicture) {
        differences.add("the first picture shows no orientation marks");
    } else {
        differences.compare("stored picture turned clockwise", stored.rotationCw,
                            reading.firstPicture->rotationCw);
        differences.compare("stored picture mirrored", false, reading.firstPicture->mirrored);
    }
    const auto frameSeconds = static_cast<double>(clip.frameRateDen) / clip.frameRateNum;
    const auto index = static_cast<std::size_t>(clip.damageAmount);
    if (clip.damage == Damage::TimestampJump && index < reading.ptsSeconds.size()) {
        differences.near("time stamp step into the jump frame", clip.damageSeconds + frameSeconds,
                         reading.ptsSeconds[index] - reading.ptsSeconds[index - 1]);
    }
    if (clip.damage == Damage::TimestampSpike && index + 1 < reading.ptsSeconds.size()) {
        differences.near("pts of the spiked frame", index * frameSeconds + clip.damageSeconds,
                         reading.ptsSeconds[index]);
        differences.near("pts of the frame after it", (index + 1) * frameSeconds,
                         reading.ptsSeconds[index + 1]);
    }
}

int displayMatrixDegrees(const AVStream& stream) {
    const uint8_t* matrix = av_stream_get_side_data(&stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
    if (matrix == nullptr) {
        return 0;
    }
    return static_cast<int>(
        std::lround(av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix))));
}

void checkEncoded(const RealWorldClip& clip, const fs::path& folder, Differences& differences) {
    const fs::path path = folder / clip.name;
    AVFormatContext* raw = nullptr;
    const int openResult = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
    if (openResult < 0) {
        differences.add("avformat_open_input fails: " + avErrorText(openResult));
        return;
    }
    InputContextPtr input(raw);
    const int analyseResult = avformat_find_stream_info(input.get(), nullptr);
    if (analyseResult < 0) {
        differences.add("avformat_find_stream_info fails: " + avErrorText(analyseResult));
        return;
    }
    AVFormatContext& format = *input;
    differences.compare("demuxer", std::string(clip.formatName), std::string(format.iformat->name));
    differences.compare("stream count", clip.streamCount, static_cast<int>(format.nb_streams));
    const int video = av_find_best_stream(&format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int audio = av_find_best_stream(&format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    differences.compare("video stream", clip.firstVideoStream, video < 0 ? -1 : video);
    differences.compare("audio stream", clip.firstAudioStream, audio < 0 ? -1 : audio);
    const double duration = format.duration == AV_NOPTS_VALUE
                                ? 0.0
                                : static_cast<double>(format.duration) / AV_TIME_BASE;
    differences.near("duration in seconds", clip.durationSeconds, duration);

    if (audio >= 0) {
        const AVStream& stream = *format.streams[audio];
        differences.compare("audio codec", std::string(clip.audioCodec),
                            std::string(avcodec_get_name(stream.codecpar->codec_id)));
        differences.compare("sampling rate", clip.sampleRateHz, stream.codecpar->sample_rate);
        differences.compare("channels", clip.channels, stream.codecpar->ch_layout.nb_channels);
        differences.near("audio start in seconds", clip.audioStartSeconds,
                         stream.start_time == AV_NOPTS_VALUE
                             ? 0.0
                             : secondsOf(stream.start_time, stream.time_base));
    }
    if (video >= 0) {
        const AVStream& stream = *format.streams[video];
        differences.compare("video codec", std::string(clip.videoCodec),
                            std::string(avcodec_get_name(stream.codecpar->codec_id)));
        differences.compare("width", clip.width, stream.codecpar->width);
        differences.compare("height", clip.height, stream.codecpar->height);
        differences.rate("r_frame_rate", clip.realRateNum, clip.realRateDen, stream.r_frame_rate);
        differences.rate("avg_frame_rate", clip.averageRateNum, clip.averageRateDen,
                         stream.avg_frame_rate);
        differences.compare("display matrix degrees", clip.displayMatrixDegrees,
                            displayMatrixDegrees(stream));
        checkVideoReading(clip, readVideo(format, video), differences);
    }
}

} // namespace

namespace RealWorldSet {

int verify(const fs::path& folder) {
    av_log_set_level(AV_LOG_FATAL);
    int failed = 0;
    for (const RealWorldClip& clip : RealWorldMedia::kAllClips) {
        Differences differences;
        try {
            if (clip.formatName[0] == '\0') {
                checkCut(clip, folder, differences);
            } else {
                checkEncoded(clip, folder, differences);
            }
        } catch (const std::exception& error) {
            differences.add(error.what());
        }
        const std::vector<std::string> lines = differences.take();
        if (lines.empty()) {
            std::printf("ok      %s\n", clip.name);
            continue;
        }
        ++failed;
        for (const std::string& line : lines) {
            std::printf("FAILED  %s: %s\n", clip.name, line.c_str());
        }
    }
    std::printf("%d passed, %d failed\n",
                static_cast<int>(RealWorldMedia::kAllClips.size()) - failed, failed);
    return failed == 0 ? 0 : 1;
}

} // namespace RealWorldSet
