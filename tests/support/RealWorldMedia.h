// Names and properties of the files that `vidbrisk_make_test_media --real-world` writes:
// files of the kinds people have (phone recordings, odd sizes, late sound) and damaged
// ones (cut short, cut at the front, broken time stamps).
#pragma once

#include <array>
#include <string>

// How a damaged file was made from its intact original (damagedFrom).
enum class Damage {
    None,
    // Only the first damageAmount bytes of the original.
    KeepFirstBytes,
    // Only the first damageAmount percent of the original's bytes (rounded down).
    KeepFirstPercent,
    // The original without its first damageAmount percent of bytes (rounded down): the
    // file starts in the middle of a packet, with neither headers nor a key frame first.
    DropFirstPercent,
    // Encoded like the original, but from frame damageAmount on every video time stamp
    // (pts and dts) is damageSeconds later.
    TimestampJump,
    // A copy of the original in which video frame damageAmount alone is stamped
    // damageSeconds late (the presentation time of each of its fragments in an ASF file;
    // the packets' send times and every other frame are in order).
    TimestampSpike,
};

// One generated file. For an intact file and for one with time stamp damage the stream
// fields say what libavformat reports after avformat_open_input and
// avformat_find_stream_info, and `--verify-real-world` checks each of them. For a file cut
// from another one only name and damage fields are meaningful (the verifier checks its
// size): what a reader makes of it is for the tests to find out.
struct RealWorldClip {
    const char* name;
    // AVInputFormat::name of the demuxer libavformat picks.
    const char* formatName = "";
    int streamCount = 0;
    int firstVideoStream = -1;
    int firstAudioStream = -1;

    // Video: decoder name, stored (coded) size, and how many frames were encoded at what
    // rate (frameRateNum/frameRateDen frames per second).
    const char* videoCodec = "";
    int width = 0;
    int height = 0;
    int frameCount = 0;
    int frameRateNum = 0;
    int frameRateDen = 1;
    // AVStream::r_frame_rate and avg_frame_rate as libavformat reports them (0/0: none).
    int realRateNum = 0;
    int realRateDen = 1;
    int averageRateNum = 0;
    int averageRateDen = 1;
    // Clockwise turn a player applies before showing the picture (0, 90, 180, 270) and
    // the angle av_display_rotation_get reads from the stream's display matrix, which
    // counts counterclockwise in [-180, 180]: -90 for a quarter turn clockwise, -180 for a
    // half turn (compare angles modulo 360). 0 and 0 when the stream has no matrix.
    int displayRotationCw = 0;
    int displayMatrixDegrees = 0;

    // Audio: decoder name, rate, channels; the stream's start time in seconds (the time
    // stamp of its first packet, as libavformat reports it).
    const char* audioCodec = "";
    int sampleRateHz = 0;
    int channels = 0;
    double audioStartSeconds = 0.0;

    // Container duration in seconds as libavformat reports it.
    double durationSeconds = 0.0;

    Damage damage = Damage::None;
    const char* damagedFrom = "";
    int damageAmount = 0;
    double damageSeconds = 0.0;
};

namespace RealWorldMedia {

// Durations and start times are checked within this many seconds.
inline constexpr double kToleranceSeconds = 0.05;

// The picture of every video stream in this set is the marked picture of
// OrientationMark.h: upright (once the display rotation is applied) it has the bright
// block top left. Its upright size:
inline int uprightWidth(const RealWorldClip& clip) {
    return clip.displayRotationCw % 180 == 0 ? clip.width : clip.height;
}
inline int uprightHeight(const RealWorldClip& clip) {
    return clip.displayRotationCw % 180 == 0 ? clip.height : clip.width;
}

// WMV 8 video and WMA 2 audio in ASF, 10 s. ASF stores no frame rate and counts time in
// milliseconds (the stream time base is 1/1000); avformat_find_stream_info works both
// r_frame_rate and avg_frame_rate out from the packets' times: 25/1 for these evenly
// stamped frames.
inline constexpr RealWorldClip kAsf{.name = "asf_25fps.wmv",
                                    .formatName = "asf",
                                    .streamCount = 2,
                                    .firstVideoStream = 0,
                                    .firstAudioStream = 1,
                                    .videoCodec = "wmv2",
                                    .width = 320,
                                    .height = 240,
                                    .frameCount = 250,
                                    .frameRateNum = 25,
                                    .realRateNum = 25,
                                    .averageRateNum = 25,
                                    .audioCodec = "wmav2",
                                    .sampleRateHz = 44100,
                                    .channels = 2,
                                    .durationSeconds = 10.0};

// A phone recording held upright: H.264 stored 320x240 with a display matrix of a quarter
// turn clockwise, so it shows 240x320. AAC sound.
inline constexpr RealWorldClip kRotated90{.name = "rotated_90.mp4",
                                          .formatName = "mov,mp4,m4a,3gp,3g2,mj2",
                                          .streamCount = 2,
                                          .firstVideoStream = 0,
                                          .firstAudioStream = 1,
                                          .videoCodec = "h264",
                                          .width = 320,
                                          .height = 240,
                                          .frameCount = 75,
                                          .frameRateNum = 25,
                                          .realRateNum = 25,
                                          .averageRateNum = 25,
                                          .displayRotationCw = 90,
                                          .displayMatrixDegrees = -90,
                                          .audioCodec = "aac",
                                          .sampleRateHz = 44100,
                                          .channels = 2,
                                          .durationSeconds = 3.0};

// The same turned upside down (shows 320x240).
inline constexpr RealWorldClip kRotated180{.name = "rotated_180.mp4",
                                           .formatName = "mov,mp4,m4a,3gp,3g2,mj2",
                                           .streamCount = 2,
                                           .firstVideoStream = 0,
                                           .firstAudioStream = 1,
                                           .videoCodec = "h264",
                                           .width = 320,
                                           .height = 240,
                                           .frameCount = 75,
                                           .frameRateNum = 25,
                                           .realRateNum = 25,
                                           .averageRateNum = 25,
                                           .displayRotationCw = 180,
                                           .displayMatrixDegrees = -180,
                                           .audioCodec = "aac",
                                           .sampleRateHz = 44100,
                                           .channels = 2,
                                           .durationSeconds = 3.0};

// The phone held upright the other way: three quarter turns clockwise (shows 240x320).
inline constexpr RealWorldClip kRotated270{.name = "rotated_270.mp4",
                                           .formatName = "mov,mp4,m4a,3gp,3g2,mj2",
                                           .streamCount = 2,
                                           .firstVideoStream = 0,
                                           .firstAudioStream = 1,
                                           .videoCodec = "h264",
                                           .width = 320,
                                           .height = 240,
                                           .frameCount = 75,
                                           .frameRateNum = 25,
                                           .realRateNum = 25,
                                           .averageRateNum = 25,
                                           .displayRotationCw = 270,
                                           .displayMatrixDegrees = 90,
                                           .audioCodec = "aac",
                                           .sampleRateHz = 44100,
                                           .channels = 2,
                                           .durationSeconds = 3.0};

// Picture from 0 s, sound (a tone, not silence) from 1.5 s to 3 s: the first audio
// packet is stamped 1.5 s. H.264 and MP3 in Matroska.
inline constexpr RealWorldClip kLateAudioMkv{.name = "late_audio.mkv",
                                             .formatName = "matroska,webm",
                                             .streamCount = 2,
                                             .firstVideoStream = 0,
                                             .firstAudioStream = 1,
                                             .videoCodec = "h264",
                                             .width = 320,
                                             .height = 240,
                                             .frameCount = 75,
                                             .frameRateNum = 25,
                                             .realRateNum = 25,
                                             .averageRateNum = 25,
                                             .audioCodec = "mp3",
                                             .sampleRateHz = 44100,
                                             .channels = 2,
                                             .audioStartSeconds = 1.5,
                                             .durationSeconds = 3.0};

// The same with AAC in MP4 (the delay is an edit list on the audio track). The AAC
// encoder's priming packet comes 1024 samples before the sound: the first audio packet
// reads 1.477 s.
inline constexpr RealWorldClip kLateAudioMp4{.name = "late_audio.mp4",
                                             .formatName = "mov,mp4,m4a,3gp,3g2,mj2",
                                             .streamCount = 2,
                                             .firstVideoStream = 0,
                                             .firstAudioStream = 1,
                                             .videoCodec = "h264",
                                             .width = 320,
                                             .height = 240,
                                             .frameCount = 75,
                                             .frameRateNum = 25,
                                             .realRateNum = 25,
                                             .averageRateNum = 25,
                                             .audioCodec = "aac",
                                             .sampleRateHz = 44100,
                                             .channels = 2,
                                             .audioStartSeconds = 1.5,
                                             .durationSeconds = 3.0};

// An odd picture size, 321x241, which encoders of even sizes only refuse: MPEG-4 video
// (mpeg4) in 4:2:0 with the chroma planes rounded up, and MP3 sound, in Matroska.
inline constexpr RealWorldClip kOddSize{.name = "odd_321x241.mkv",
                                        .formatName = "matroska,webm",
                                        .streamCount = 2,
                                        .firstVideoStream = 0,
                                        .firstAudioStream = 1,
                                        .videoCodec = "mpeg4",
                                        .width = 321,
                                        .height = 241,
                                        .frameCount = 75,
                                        .frameRateNum = 25,
                                        .realRateNum = 25,
                                        .averageRateNum = 25,
                                        .audioCodec = "mp3",
                                        .sampleRateHz = 44100,
                                        .channels = 2,
                                        .durationSeconds = 3.0};

// 30 s of MP3, mono at 22050 Hz, no picture. The encoder's delay and padding make the
// container say a little more than 30 s and start the stream at 0.05 s.
inline constexpr RealWorldClip kSoundOnly30s{.name = "sound_only_30s.mp3",
                                             .formatName = "mp3",
                                             .streamCount = 1,
                                             .firstAudioStream = 0,
                                             .audioCodec = "mp3",
                                             .sampleRateHz = 22050,
                                             .channels = 1,
                                             .audioStartSeconds = 0.05,
                                             .durationSeconds = 30.07};

// The originals the cut files below come from, each intact and 3 s long.
// MPEG-4 video (mpeg4) and MP3 in AVI.
inline constexpr RealWorldClip kAviMpeg4{.name = "mpeg4_mp3.avi",
                                         .formatName = "avi",
                                         .streamCount = 2,
                                         .firstVideoStream = 0,
                                         .firstAudioStream = 1,
                                         .videoCodec = "mpeg4",
                                         .width = 320,
                                         .height = 240,
                                         .frameCount = 75,
                                         .frameRateNum = 25,
                                         .realRateNum = 25,
                                         .averageRateNum = 25,
                                         .audioCodec = "mp3",
                                         .sampleRateHz = 44100,
                                         .channels = 2,
                                         .durationSeconds = 3.0};

// Motion JPEG (full-range 4:2:0) and 16-bit PCM in AVI, as still cameras write them.
inline constexpr RealWorldClip kAviMjpeg{.name = "mjpeg_pcm.avi",
                                         .formatName = "avi",
                                         .streamCount = 2,
                                         .firstVideoStream = 0,
                                         .firstAudioStream = 1,
                                         .videoCodec = "mjpeg",
                                         .width = 320,
                                         .height = 240,
                                         .frameCount = 75,
                                         .frameRateNum = 25,
                                         .realRateNum = 25,
                                         .averageRateNum = 25,
                                         .audioCodec = "pcm_s16le",
                                         .sampleRateHz = 44100,
                                         .channels = 2,
                                         .durationSeconds = 3.0};

// H.264 and AAC in Matroska.
inline constexpr RealWorldClip kMkvH264{.name = "h264_aac.mkv",
                                        .formatName = "matroska,webm",
                                        .streamCount = 2,
                                        .firstVideoStream = 0,
                                        .firstAudioStream = 1,
                                        .videoCodec = "h264",
                                        .width = 320,
                                        .height = 240,
                                        .frameCount = 75,
                                        .frameRateNum = 25,
                                        .realRateNum = 25,
                                        .averageRateNum = 25,
                                        .audioCodec = "aac",
                                        .sampleRateHz = 44100,
                                        .channels = 2,
                                        .durationSeconds = 3.0};

// MPEG-2 video and MPEG-1 Layer II audio in an MPEG transport stream.
inline constexpr RealWorldClip kTsMpeg2{.name = "mpeg2_mp2.ts",
                                        .formatName = "mpegts",
                                        .streamCount = 2,
                                        .firstVideoStream = 0,
                                        .firstAudioStream = 1,
                                        .videoCodec = "mpeg2video",
                                        .width = 320,
                                        .height = 240,
                                        .frameCount = 75,
                                        .frameRateNum = 25,
                                        .realRateNum = 25,
                                        .averageRateNum = 25,
                                        .audioCodec = "mp2",
                                        .sampleRateHz = 44100,
                                        .channels = 2,
                                        .durationSeconds = 3.0};

// A raw H.264 elementary stream (Annex B, parameter sets before every key frame, one key
// frame every 12 frames); no container, hence no duration (reported as 0 here).
inline constexpr RealWorldClip kRawH264{.name = "h264_raw.h264",
                                        .formatName = "h264",
                                        .streamCount = 1,
                                        .firstVideoStream = 0,
                                        .videoCodec = "h264",
                                        .width = 320,
                                        .height = 240,
                                        .frameCount = 75,
                                        .frameRateNum = 25,
                                        .realRateNum = 25,
                                        .averageRateNum = 25,
                                        .durationSeconds = 0.0};

// Cut short: a download or copy that stopped early.
inline constexpr RealWorldClip kAviMpeg4Cut2k{.name = "mpeg4_mp3_cut2kb.avi",
                                              .damage = Damage::KeepFirstBytes,
                                              .damagedFrom = kAviMpeg4.name,
                                              .damageAmount = 2048};
inline constexpr RealWorldClip kAviMpeg4Cut20{.name = "mpeg4_mp3_cut20pct.avi",
                                              .damage = Damage::KeepFirstPercent,
                                              .damagedFrom = kAviMpeg4.name,
                                              .damageAmount = 20};
inline constexpr RealWorldClip kAviMpeg4Cut60{.name = "mpeg4_mp3_cut60pct.avi",
                                              .damage = Damage::KeepFirstPercent,
                                              .damagedFrom = kAviMpeg4.name,
                                              .damageAmount = 60};
inline constexpr RealWorldClip kAviMpeg4Cut95{.name = "mpeg4_mp3_cut95pct.avi",
                                              .damage = Damage::KeepFirstPercent,
                                              .damagedFrom = kAviMpeg4.name,
                                              .damageAmount = 95};
inline constexpr RealWorldClip kAviMjpegCut2k{.name = "mjpeg_pcm_cut2kb.avi",
                                              .damage = Damage::KeepFirstBytes,
                                              .damagedFrom = kAviMjpeg.name,
                                              .damageAmount = 2048};
inline constexpr RealWorldClip kAviMjpegCut50{.name = "mjpeg_pcm_cut50pct.avi",
                                              .damage = Damage::KeepFirstPercent,
                                              .damagedFrom = kAviMjpeg.name,
                                              .damageAmount = 50};
inline constexpr RealWorldClip kMkvH264Cut3k{.name = "h264_aac_cut3kb.mkv",
                                             .damage = Damage::KeepFirstBytes,
                                             .damagedFrom = kMkvH264.name,
                                             .damageAmount = 3072};
inline constexpr RealWorldClip kMkvH264Cut50{.name = "h264_aac_cut50pct.mkv",
                                             .damage = Damage::KeepFirstPercent,
                                             .damagedFrom = kMkvH264.name,
                                             .damageAmount = 50};
inline constexpr RealWorldClip kTsMpeg2Cut10{.name = "mpeg2_mp2_cut10pct.ts",
                                             .damage = Damage::KeepFirstPercent,
                                             .damagedFrom = kTsMpeg2.name,
                                             .damageAmount = 10};
inline constexpr RealWorldClip kTsMpeg2Cut50{.name = "mpeg2_mp2_cut50pct.ts",
                                             .damage = Damage::KeepFirstPercent,
                                             .damagedFrom = kTsMpeg2.name,
                                             .damageAmount = 50};
inline constexpr RealWorldClip kRawH264Cut1k{.name = "h264_raw_cut1kb.h264",
                                             .damage = Damage::KeepFirstBytes,
                                             .damagedFrom = kRawH264.name,
                                             .damageAmount = 1024};
inline constexpr RealWorldClip kRawH264Cut50{.name = "h264_raw_cut50pct.h264",
                                             .damage = Damage::KeepFirstPercent,
                                             .damagedFrom = kRawH264.name,
                                             .damageAmount = 50};

// Cut at the front: a stream picked up after it began (first packets missing).
inline constexpr RealWorldClip kTsMpeg2NoHead{.name = "mpeg2_mp2_nohead30pct.ts",
                                              .damage = Damage::DropFirstPercent,
                                              .damagedFrom = kTsMpeg2.name,
                                              .damageAmount = 30};
inline constexpr RealWorldClip kRawH264NoHead{.name = "h264_raw_nohead40pct.h264",
                                              .damage = Damage::DropFirstPercent,
                                              .damagedFrom = kRawH264.name,
                                              .damageAmount = 40};

// Like kMkvH264, but from frame 40 on the video time stamps are 1000 s later (frame 39 at
// 1.56 s, frame 40 at 1001.6 s); the sound runs on without a jump, so the container
// says 1003 s.
inline constexpr RealWorldClip kTimestampJump{.name = "timestamp_jump.mkv",
                                              .formatName = "matroska,webm",
                                              .streamCount = 2,
                                              .firstVideoStream = 0,
                                              .firstAudioStream = 1,
                                              .videoCodec = "h264",
                                              .width = 320,
                                              .height = 240,
                                              .frameCount = 75,
                                              .frameRateNum = 25,
                                              .realRateNum = 25,
                                              .averageRateNum = 25,
                                              .audioCodec = "aac",
                                              .sampleRateHz = 44100,
                                              .channels = 2,
                                              .durationSeconds = 1003.0,
                                              .damage = Damage::TimestampJump,
                                              .damagedFrom = kMkvH264.name,
                                              .damageAmount = 40,
                                              .damageSeconds = 1000.0};

// kAsf with video frame 40 (not a key frame) stamped 1000000 s late: the demuxer reads
// pts 1000001.6 s for it, 1.64 s for the next frame. The header still says 10 s; the
// average frame rate is lost (0/0).
inline constexpr RealWorldClip kAsfBadTimestamp{.name = "asf_bad_timestamp.wmv",
                                                .formatName = "asf",
                                                .streamCount = 2,
                                                .firstVideoStream = 0,
                                                .firstAudioStream = 1,
                                                .videoCodec = "wmv2",
                                                .width = 320,
                                                .height = 240,
                                                .frameCount = 250,
                                                .frameRateNum = 25,
                                                .realRateNum = 25,
                                                .averageRateNum = 0,
                                                .averageRateDen = 0,
                                                .audioCodec = "wmav2",
                                                .sampleRateHz = 44100,
                                                .channels = 2,
                                                .durationSeconds = 10.0,
                                                .damage = Damage::TimestampSpike,
                                                .damagedFrom = kAsf.name,
                                                .damageAmount = 40,
                                                .damageSeconds = 1000000.0};

// Every file, originals before the files cut from them.
inline constexpr std::array<RealWorldClip, 29> kAllClips{
    kAsf,           kRotated90,     kRotated180,    kRotated270,    kLateAudioMkv,   kLateAudioMp4,
    kOddSize,       kSoundOnly30s,  kAviMpeg4,      kAviMjpeg,      kMkvH264,        kTsMpeg2,
    kRawH264,       kAviMpeg4Cut2k, kAviMpeg4Cut20, kAviMpeg4Cut60, kAviMpeg4Cut95,  kAviMjpegCut2k,
    kAviMjpegCut50, kMkvH264Cut3k,  kMkvH264Cut50,  kTsMpeg2Cut10,  kTsMpeg2Cut50,   kRawH264Cut1k,
    kRawH264Cut50,  kTsMpeg2NoHead, kRawH264NoHead, kTimestampJump, kAsfBadTimestamp};

} // namespace RealWorldMedia

#ifdef VIDBRISK_REAL_WORLD_DIR
// Full path of a generated file in the real-world media folder of this build.
inline std::string RealWorldMediaPath(const std::string& name) {
    return std::string(VIDBRISK_REAL_WORLD_DIR) + "/" + name;
}
#endif
