// The files `vidbrisk_make_test_media --source-kinds` writes: sound from several decoders
// that starts with the picture or late, anamorphic pictures as DVD, HDV and DV cameras and
// discs store them, pictures of other chroma and bit depths, interlaced pictures and 5.1
// sound. Each is small and short; the tests read what they need of them back.
#pragma once

#include <array>
#include <string>

namespace SourceKinds {

// The sound of a sync clip is silence but for a burst of tones (440 Hz on the first channel)
// at this time on the file's clock.
inline constexpr double kBurstSeconds = 1.0;
inline constexpr double kBurstLengthSeconds = 0.2;
// The picture's rate of every clip, and the late start of late sound.
inline constexpr int kFrameRate = 25;
inline constexpr double kLateSoundSeconds = 0.5;

struct SourceClip {
    const char* name;
    const char* muxer;
    // Video: encoder, stored size, pixel format (av_get_pix_fmt name), sample aspect ratio,
    // interlaced coding, number of pictures.
    const char* videoEncoder = "";
    int width = 0;
    int height = 0;
    const char* pixelFormat = "yuv420p";
    int sampleAspectNum = 1;
    int sampleAspectDen = 1;
    bool interlaced = false;
    int frameCount = 0;
    int videoStartFrames = 0; // the first picture's time, in frames after the file's start
    // Audio: encoder, rate, channels, the first sample's time, and whether the sound is the
    // burst (else tones all along).
    const char* audioEncoder = "";
    int sampleRateHz = 0;
    int channels = 0;
    double audioStartSeconds = 0;
    bool burst = false;
};

// A sync clip: 3 s of picture (MPEG-4 video) and the burst from `encoder`, its sound from
// 0 s or from kLateSoundSeconds.
constexpr SourceClip syncClip(const char* name, const char* muxer, const char* encoder,
                              int sampleRateHz, bool late) {
    return {.name = name,
            .muxer = muxer,
            .videoEncoder = "mpeg4",
            .width = 160,
            .height = 120,
            .frameCount = 3 * kFrameRate,
            .audioEncoder = encoder,
            .sampleRateHz = sampleRateHz,
            .channels = 2,
            .audioStartSeconds = late ? kLateSoundSeconds : 0.0,
            .burst = true};
}

// The same with another picture codec, for a container made for it.
constexpr SourceClip withPicture(SourceClip clip, const char* encoder) {
    clip.videoEncoder = encoder;
    return clip;
}

constexpr SourceClip pictureAfterSound(SourceClip clip) {
    clip.videoStartFrames = 1;
    return clip;
}

// A picture clip of a few frames with tones beside it (or none).
constexpr SourceClip pictureClip(const char* name, const char* muxer, const char* encoder,
                                 int width, int height, const char* pixelFormat, int aspectNum,
                                 int aspectDen, const char* audioEncoder = "") {
    return {.name = name,
            .muxer = muxer,
            .videoEncoder = encoder,
            .width = width,
            .height = height,
            .pixelFormat = pixelFormat,
            .sampleAspectNum = aspectNum,
            .sampleAspectDen = aspectDen,
            .frameCount = 4,
            .audioEncoder = audioEncoder,
            .sampleRateHz = audioEncoder[0] ? 48000 : 0,
            .channels = audioEncoder[0] ? 2 : 0};
}

// Sound from decoders that hold frames back (frame threads) or skip samples (priming,
// pre-skip), with the picture and late.
inline constexpr std::array kSyncClips{
    syncClip("sync_flac.mkv", "matroska", "flac", 44100, false),
    syncClip("sync_flac_late.mkv", "matroska", "flac", 44100, true),
    syncClip("sync_alac.mp4", "mp4", "alac", 44100, false),
    syncClip("sync_alac_late.mp4", "mp4", "alac", 44100, true),
    syncClip("sync_wma.mkv", "matroska", "wmav2", 44100, false),
    syncClip("sync_wma_late.mkv", "matroska", "wmav2", 44100, true),
    syncClip("sync_vorbis.mkv", "matroska", "libvorbis", 44100, false),
    syncClip("sync_vorbis_late.mkv", "matroska", "libvorbis", 44100, true),
    syncClip("sync_opus.mkv", "matroska", "libopus", 48000, false),
    syncClip("sync_opus_late.mkv", "matroska", "libopus", 48000, true),
    syncClip("sync_aac.mp4", "mp4", "aac", 48000, false),
    syncClip("sync_aac_late.mp4", "mp4", "aac", 48000, true),
    syncClip("sync_mp3.mkv", "matroska", "libmp3lame", 44100, false),
    syncClip("sync_mp3_late.mkv", "matroska", "libmp3lame", 44100, true),
    syncClip("sync_wavpack.mkv", "matroska", "wavpack", 44100, false),
    syncClip("sync_wavpack_late.mkv", "matroska", "wavpack", 44100, true),
    syncClip("sync_flac_96k.mkv", "matroska", "flac", 96000, false),
    // The sound's own containers: Ogg granules, WebM's codec delay, ASF's preroll.
    withPicture(syncClip("sync_vorbis_in_ogg.ogg", "ogg", "libvorbis", 44100, true), "libtheora"),
    withPicture(syncClip("sync_opus_late_in_webm.webm", "webm", "libopus", 48000, true), "libvpx"),
    withPicture(syncClip("sync_wma_in_asf.wmv", "asf", "wmav2", 44100, false), "wmv2"),
    // Broadcast-style: a transport stream whose pictures begin a frame after its sound.
    pictureAfterSound(syncClip("sync_mp2.ts", "mpegts", "mp2", 48000, false)),
    syncClip("sync_ac3_late.ts", "mpegts", "ac3", 48000, true),
};

// Anamorphic pictures: a 16:9 and a 4:3 DVD (720x576 MPEG-2), HDV (1440x1080 MPEG-2 in a
// transport stream, 4:3 pixels) and PAL DV (4:3).
inline constexpr SourceClip kDvdWide =
    pictureClip("dvd_wide.mpg", "vob", "mpeg2video", 720, 576, "yuv420p", 64, 45, "mp2");
inline constexpr SourceClip kDvdStandard =
    pictureClip("dvd_standard.mpg", "vob", "mpeg2video", 720, 576, "yuv420p", 16, 15, "mp2");
inline constexpr SourceClip kHdv =
    pictureClip("hdv.m2t", "mpegts", "mpeg2video", 1440, 1080, "yuv420p", 4, 3, "mp2");
inline constexpr SourceClip kDvPal =
    pictureClip("dv_pal.dv", "dv", "dvvideo", 720, 576, "yuv420p", 16, 15, "pcm_s16le");
inline constexpr std::array kAnamorphicClips{kDvdWide, kDvdStandard, kHdv, kDvPal};

// Pictures in the chroma and bit depths of cameras and editors.
inline constexpr std::array kChromaClips{
    pictureClip("h264_422.mkv", "matroska", "libx264", 160, 120, "yuv422p", 1, 1),
    pictureClip("h264_444.mkv", "matroska", "libx264", 160, 120, "yuv444p", 1, 1),
    pictureClip("h264_10bit.mkv", "matroska", "libx264", 160, 120, "yuv420p10le", 1, 1),
    pictureClip("hevc_10bit.mkv", "matroska", "libx265", 160, 120, "yuv420p10le", 1, 1),
    pictureClip("prores_422.mov", "mov", "prores_ks", 160, 120, "yuv422p10le", 1, 1),
    pictureClip("mjpeg_422.avi", "avi", "mjpeg", 160, 120, "yuvj422p", 1, 1),
};

// A broadcast-style interlaced clip: 576 lines of MPEG-2 fields in a transport stream.
inline constexpr SourceClip kInterlaced{.name = "interlaced.ts",
                                        .muxer = "mpegts",
                                        .videoEncoder = "mpeg2video",
                                        .width = 720,
                                        .height = 576,
                                        .sampleAspectNum = 16,
                                        .sampleAspectDen = 15,
                                        .interlaced = true,
                                        .frameCount = 10,
                                        .audioEncoder = "mp2",
                                        .sampleRateHz = 48000,
                                        .channels = 2};

// 5.1 sound (AC-3) beside a small picture.
inline constexpr SourceClip kSurround{.name = "surround.mkv",
                                      .muxer = "matroska",
                                      .videoEncoder = "mpeg4",
                                      .width = 160,
                                      .height = 120,
                                      .frameCount = kFrameRate,
                                      .audioEncoder = "ac3",
                                      .sampleRateHz = 48000,
                                      .channels = 6};

#ifdef VIDBRISK_SOURCE_KINDS_DIR
inline std::string SourceKindsPath(const std::string& name) {
    return std::string(VIDBRISK_SOURCE_KINDS_DIR) + "/" + name;
}
#endif

} // namespace SourceKinds
