#include "ClipVerifier.h"
#include "LibavHandles.h"

#include <cmath>
#include <cstring>
#include <sstream>
#include <system_error>
#include <utility>

namespace {

// Collects "<what>: expected X, libavformat reports Y" lines.
class Differences {
public:
    template <typename T> void compare(const char* what, const T& expected, const T& actual) {
        if (!(expected == actual)) {
            std::ostringstream line;
            line << what << ": expected " << expected << ", libavformat reports " << actual;
            m_lines.push_back(line.str());
        }
    }
    void add(std::string line) { m_lines.push_back(std::move(line)); }
    std::vector<std::string> take() { return std::move(m_lines); }

private:
    std::vector<std::string> m_lines;
};

std::string rateText(AVRational rate) {
    return std::to_string(rate.num) + "/" + std::to_string(rate.den);
}

} // namespace

ClipVerifier::ClipVerifier(std::filesystem::path folder) : m_folder(std::move(folder)) {}

std::vector<std::string> ClipVerifier::check(const TestClip& clip) const {
    Differences differences;
    const std::filesystem::path path = m_folder / clip.name;
    std::error_code error;
    const auto sizeBytes = std::filesystem::file_size(path, error);
    if (error || sizeBytes == 0) {
        differences.add("missing or empty");
        return differences.take();
    }
    if (clip.halfOf[0] != '\0') {
        const auto originalBytes = std::filesystem::file_size(m_folder / clip.halfOf, error);
        if (error || sizeBytes != originalBytes / 2) {
            differences.add("not half the size of " + std::string(clip.halfOf));
        }
    }

    AVFormatContext* raw = nullptr;
    const int openResult = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
    InputContextPtr input(openResult >= 0 ? raw : nullptr);
    int analyseResult = openResult;
    if (openResult >= 0) {
        analyseResult = avformat_find_stream_info(input.get(), nullptr);
    }
    if (!clip.opens) {
        if (analyseResult >= 0) {
            differences.add("libavformat opens and analyses a file it should refuse");
        }
        return differences.take();
    }
    if (openResult < 0) {
        differences.add("avformat_open_input fails: " + avErrorText(openResult));
        return differences.take();
    }
    if (analyseResult < 0) {
        differences.add("avformat_find_stream_info fails: " + avErrorText(analyseResult));
        return differences.take();
    }

    const AVFormatContext& format = *input;
    int videoCount = 0;
    int audioCount = 0;
    int firstVideo = -1;
    int firstAudio = -1;
    for (unsigned i = 0; i < format.nb_streams; ++i) {
        const AVMediaType type = format.streams[i]->codecpar->codec_type;
        if (type == AVMEDIA_TYPE_VIDEO) {
            ++videoCount;
            firstVideo = firstVideo < 0 ? static_cast<int>(i) : firstVideo;
        } else if (type == AVMEDIA_TYPE_AUDIO) {
            ++audioCount;
            firstAudio = firstAudio < 0 ? static_cast<int>(i) : firstAudio;
        }
    }
    differences.compare("stream count", clip.streamCount, static_cast<int>(format.nb_streams));
    differences.compare("video streams", clip.videoStreamCount, videoCount);
    differences.compare("audio streams", clip.audioStreamCount, audioCount);
    differences.compare("first video stream", clip.firstVideoStream, firstVideo);
    differences.compare("first audio stream", clip.firstAudioStream, firstAudio);

    if (firstVideo >= 0) {
        const AVStream& stream = *format.streams[firstVideo];
        differences.compare("video codec", std::string(clip.videoCodec),
                            std::string(avcodec_get_name(stream.codecpar->codec_id)));
        differences.compare("width", clip.width, stream.codecpar->width);
        differences.compare("height", clip.height, stream.codecpar->height);
        const AVRational expected{clip.frameRateNum, clip.frameRateDen};
        if (av_cmp_q(expected, stream.r_frame_rate) != 0) {
            differences.add("frame rate: expected " + rateText(expected) +
                            ", libavformat reports " + rateText(stream.r_frame_rate));
        }
    }
    if (firstAudio >= 0) {
        const AVStream& stream = *format.streams[firstAudio];
        differences.compare("audio codec", std::string(clip.audioCodec),
                            std::string(avcodec_get_name(stream.codecpar->codec_id)));
        differences.compare("sampling rate", clip.sampleRateHz, stream.codecpar->sample_rate);
        differences.compare("channels", clip.channels, stream.codecpar->ch_layout.nb_channels);
    }

    if (clip.durationSeconds < 0) {
        if (format.duration != AV_NOPTS_VALUE) {
            differences.add("duration: expected none (AV_NOPTS_VALUE), libavformat reports " +
                            std::to_string(format.duration) + " us");
        }
    } else if (format.duration == AV_NOPTS_VALUE) {
        differences.add("duration: expected " + std::to_string(clip.durationSeconds) +
                        " s, libavformat reports none");
    } else {
        const double seconds = static_cast<double>(format.duration) / AV_TIME_BASE;
        if (std::fabs(seconds - clip.durationSeconds) > TestMedia::kDurationToleranceSeconds) {
            differences.add("duration: expected " + std::to_string(clip.durationSeconds) +
                            " s, libavformat reports " + std::to_string(seconds) + " s");
        }
    }
    return differences.take();
}
