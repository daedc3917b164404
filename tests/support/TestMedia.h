// Names and expected properties of every file that vidbrisk_make_test_media writes.
#pragma once

#include <array>
#include <string>

// One generated file and what libavformat reports for it after avformat_open_input and
// avformat_find_stream_info. Fields of a stream kind the file lacks are 0 ("" for codec
// names) and its first index is -1. The generator encodes from these same numbers and its
// --verify mode checks each of them against libavformat, so tests may rely on them.
struct TestClip {
    const char* name;
    // Whether libavformat opens and analyses the file; false for the text file and the
    // MP4 cut in half (every other field of such a file is then meaningless: 0 or -1).
    bool opens;
    int streamCount;
    int videoStreamCount;
    int audioStreamCount;
    int firstVideoStream;
    int firstAudioStream;
    // Video: decoder name as avcodec_get_name gives it, picture size, real frame rate.
    const char* videoCodec;
    int width;
    int height;
    int frameRateNum;
    int frameRateDen;
    // Audio: decoder name, sampling rate and channel count.
    const char* audioCodec;
    int sampleRateHz;
    int channels;
    // Container duration in seconds, within kDurationToleranceSeconds; negative when the
    // container reports none (AV_NOPTS_VALUE).
    double durationSeconds;
    // For a copy cut to half its size: the name of the clip it was cut from, else "".
    const char* halfOf;
};

namespace TestMedia {

// Encoder delay, padding and frame granularity make container durations differ a little
// from the nominal ones below.
inline constexpr double kDurationToleranceSeconds = 0.1;

// The suffix a file carries while the generator writes it; none is left after a run.
inline constexpr const char* kPartialSuffix = ".partial";

// MPEG-4 Part 2 video and MP3 audio in AVI.
inline constexpr TestClip kAviMpeg4Mp3{.name = "mpeg4_mp3.avi",
                                       .opens = true,
                                       .streamCount = 2,
                                       .videoStreamCount = 1,
                                       .audioStreamCount = 1,
                                       .firstVideoStream = 0,
                                       .firstAudioStream = 1,
                                       .videoCodec = "mpeg4",
                                       .width = 320,
                                       .height = 240,
                                       .frameRateNum = 25,
                                       .frameRateDen = 1,
                                       .audioCodec = "mp3",
                                       .sampleRateHz = 44100,
                                       .channels = 2,
                                       .durationSeconds = 3.0,
                                       .halfOf = ""};

// H.264 video and AAC audio in MP4, at the NTSC frame rate (90 frames, 3.003 s).
inline constexpr TestClip kMp4H264Aac{.name = "h264_aac.mp4",
                                      .opens = true,
                                      .streamCount = 2,
                                      .videoStreamCount = 1,
                                      .audioStreamCount = 1,
                                      .firstVideoStream = 0,
                                      .firstAudioStream = 1,
                                      .videoCodec = "h264",
                                      .width = 640,
                                      .height = 480,
                                      .frameRateNum = 30000,
                                      .frameRateDen = 1001,
                                      .audioCodec = "aac",
                                      .sampleRateHz = 48000,
                                      .channels = 2,
                                      .durationSeconds = 3.0,
                                      .halfOf = ""};

// An MP3 file: one audio stream, no video.
inline constexpr TestClip kMp3Audio{.name = "audio_only.mp3",
                                    .opens = true,
                                    .streamCount = 1,
                                    .videoStreamCount = 0,
                                    .audioStreamCount = 1,
                                    .firstVideoStream = -1,
                                    .firstAudioStream = 0,
                                    .videoCodec = "",
                                    .width = 0,
                                    .height = 0,
                                    .frameRateNum = 0,
                                    .frameRateDen = 0,
                                    .audioCodec = "mp3",
                                    .sampleRateHz = 44100,
                                    .channels = 2,
                                    .durationSeconds = 3.0,
                                    .halfOf = ""};

// 16-bit PCM, mono, 8 kHz, in WAV.
inline constexpr TestClip kWavMono8k{.name = "mono_8khz.wav",
                                     .opens = true,
                                     .streamCount = 1,
                                     .videoStreamCount = 0,
                                     .audioStreamCount = 1,
                                     .firstVideoStream = -1,
                                     .firstAudioStream = 0,
                                     .videoCodec = "",
                                     .width = 0,
                                     .height = 0,
                                     .frameRateNum = 0,
                                     .frameRateDen = 0,
                                     .audioCodec = "pcm_s16le",
                                     .sampleRateHz = 8000,
                                     .channels = 1,
                                     .durationSeconds = 2.0,
                                     .halfOf = ""};

// MPEG-4 Part 2 video in MP4 with no audio stream.
inline constexpr TestClip kVideoOnly{.name = "video_only.mp4",
                                     .opens = true,
                                     .streamCount = 1,
                                     .videoStreamCount = 1,
                                     .audioStreamCount = 0,
                                     .firstVideoStream = 0,
                                     .firstAudioStream = -1,
                                     .videoCodec = "mpeg4",
                                     .width = 320,
                                     .height = 240,
                                     .frameRateNum = 25,
                                     .frameRateDen = 1,
                                     .audioCodec = "",
                                     .sampleRateHz = 0,
                                     .channels = 0,
                                     .durationSeconds = 2.0,
                                     .halfOf = ""};

// AVI whose audio stream comes before its video stream (MP3 mono at 22.05 kHz first).
inline constexpr TestClip kAudioFirst{.name = "audio_first.avi",
                                      .opens = true,
                                      .streamCount = 2,
                                      .videoStreamCount = 1,
                                      .audioStreamCount = 1,
                                      .firstVideoStream = 1,
                                      .firstAudioStream = 0,
                                      .videoCodec = "mpeg4",
                                      .width = 176,
                                      .height = 144,
                                      .frameRateNum = 25,
                                      .frameRateDen = 1,
                                      .audioCodec = "mp3",
                                      .sampleRateHz = 22050,
                                      .channels = 1,
                                      .durationSeconds = 2.0,
                                      .halfOf = ""};

// A raw H.264 elementary stream (50 frames): it opens and probes, but the container knows
// no duration. The raw demuxer reads it at its default rate of 25 frames per second.
inline constexpr TestClip kNoDuration{.name = "no_duration.h264",
                                      .opens = true,
                                      .streamCount = 1,
                                      .videoStreamCount = 1,
                                      .audioStreamCount = 0,
                                      .firstVideoStream = 0,
                                      .firstAudioStream = -1,
                                      .videoCodec = "h264",
                                      .width = 320,
                                      .height = 240,
                                      .frameRateNum = 25,
                                      .frameRateDen = 1,
                                      .audioCodec = "",
                                      .sampleRateHz = 0,
                                      .channels = 0,
                                      .durationSeconds = -1.0,
                                      .halfOf = ""};

// Plain text under a media file name.
inline constexpr TestClip kNotMedia{.name = "not_media.mp4",
                                    .opens = false,
                                    .streamCount = -1,
                                    .videoStreamCount = -1,
                                    .audioStreamCount = -1,
                                    .firstVideoStream = -1,
                                    .firstAudioStream = -1,
                                    .videoCodec = "",
                                    .width = 0,
                                    .height = 0,
                                    .frameRateNum = 0,
                                    .frameRateDen = 0,
                                    .audioCodec = "",
                                    .sampleRateHz = 0,
                                    .channels = 0,
                                    .durationSeconds = -1.0,
                                    .halfOf = ""};

// The first half of kMp4H264Aac: its index ("moov") is written last, so the copy lacks it
// and libavformat refuses the file.
inline constexpr TestClip kMp4Half{.name = "h264_aac_half.mp4",
                                   .opens = false,
                                   .streamCount = -1,
                                   .videoStreamCount = -1,
                                   .audioStreamCount = -1,
                                   .firstVideoStream = -1,
                                   .firstAudioStream = -1,
                                   .videoCodec = "",
                                   .width = 0,
                                   .height = 0,
                                   .frameRateNum = 0,
                                   .frameRateDen = 0,
                                   .audioCodec = "",
                                   .sampleRateHz = 0,
                                   .channels = 0,
                                   .durationSeconds = -1.0,
                                   .halfOf = kMp4H264Aac.name};

// The first half of kAviMpeg4Mp3: the headers are intact, so it opens with both streams,
// but the index at the end is missing and the data stop halfway; libavformat scans the
// data instead and reports the duration of what is left (about 1.5 s).
inline constexpr TestClip kAviHalf{.name = "mpeg4_mp3_half.avi",
                                   .opens = true,
                                   .streamCount = 2,
                                   .videoStreamCount = 1,
                                   .audioStreamCount = 1,
                                   .firstVideoStream = 0,
                                   .firstAudioStream = 1,
                                   .videoCodec = "mpeg4",
                                   .width = 320,
                                   .height = 240,
                                   .frameRateNum = 25,
                                   .frameRateDen = 1,
                                   .audioCodec = "mp3",
                                   .sampleRateHz = 44100,
                                   .channels = 2,
                                   .durationSeconds = 1.5,
                                   .halfOf = kAviMpeg4Mp3.name};

// An ordinary scene: a textured picture that pans, 640x360 at 25 fps, H.264 and AAC in
// MP4, 10 s; encoders need about the bits of a filmed picture of that size.
inline constexpr TestClip kTextured{.name = "textured.mp4",
                                    .opens = true,
                                    .streamCount = 2,
                                    .videoStreamCount = 1,
                                    .audioStreamCount = 1,
                                    .firstVideoStream = 0,
                                    .firstAudioStream = 1,
                                    .videoCodec = "h264",
                                    .width = 640,
                                    .height = 360,
                                    .frameRateNum = 25,
                                    .frameRateDen = 1,
                                    .audioCodec = "aac",
                                    .sampleRateHz = 44100,
                                    .channels = 2,
                                    .durationSeconds = 10.0,
                                    .halfOf = ""};

// Every generated file, originals before the copies cut from them.
inline constexpr std::array<TestClip, 11> kAllClips{
    kAviMpeg4Mp3, kMp4H264Aac, kMp3Audio, kWavMono8k, kVideoOnly, kAudioFirst,
    kNoDuration,  kNotMedia,   kMp4Half,  kAviHalf,   kTextured};

} // namespace TestMedia

#ifdef VIDBRISK_TEST_MEDIA_DIR
// Full path of a generated file in the test media folder of this build.
inline std::string TestMediaPath(const std::string& name) {
    return std::string(VIDBRISK_TEST_MEDIA_DIR) + "/" + name;
}
#endif
