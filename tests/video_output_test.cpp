// The video output path on an output set up by the engine's own set-up: how many frames
// each sync method writes when the input runs faster, slower or skips, the frame limit,
// crop and pad geometry with the pad colour, scaling into a padded picture, the encoder
// flush, two-pass statistics and the per-frame statistics lines.
#include "AVCodecHlpr.h"
#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"
#include "FFmpeg.h"
#include "MediaLibraries.h"
#include "TFFmpeg.h"
#include "TBitmap.h"
#include "TestMedia.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <cstring>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct FrameFree {
    void operator()(AVFrame* frame) const { lavu.av_frame_free(&frame); }
};
using Frame = std::unique_ptr<AVFrame, FrameFree>;

// A YUV420P picture of the input clip's size: luma (7x + 3y) mod 256, Cb = x, Cr = y (in
// chroma samples), so every position can be told apart.
Frame patternPicture(int width, int height) {
    Frame frame(lavu.av_frame_alloc());
    frame->width = width;
    frame->height = height;
    frame->format = AV_PIX_FMT_YUV420P;
    EXPECT_GE(lavu.av_frame_get_buffer(frame.get(), 0), 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            frame->data[0][y * frame->linesize[0] + x] =
                static_cast<uint8_t>((7 * x + 3 * y) % 256);
    for (int y = 0; y < height / 2; ++y)
        for (int x = 0; x < width / 2; ++x) {
            frame->data[1][y * frame->linesize[1] + x] = static_cast<uint8_t>(x);
            frame->data[2][y * frame->linesize[2] + x] = static_cast<uint8_t>(y);
        }
    return frame;
}

uint8_t at(const AVFrame* frame, int plane, int x, int y) {
    return frame->data[plane][y * frame->linesize[plane] + x];
}

// The engine with the test's body run at the main loop's first pause gate, that is right
// after the set-up wrote the headers; then the loop is asked to stop, and the trailers and
// clean-up run as after any run.
class GatedEngine : public TFFmpeg {
public:
    // The body drives the encoders itself, from the task's worker.
    GatedEngine() { UseEncoderStage = false; }
    std::function<void()> Body;
    bool BodyRan = false;
    void WaitWhilePaused() override {
        if (!BodyRan) {
            BodyRan = true;
            if (Body)
                Body();
        }
        StopRequested = true;
    }
};

class VideoOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::temp_directory_path() /
                 (std::string("vidbrisk-video-") + info->name() + "-" + std::to_string(::getpid()));
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    // Opens the generated MPEG-4 clip (320x240, 25 fps) and a video-only AVI output with
    // `options`, then runs the set-up with `body` at the loop's first gate. Returns the
    // failure text, "" when none.
    std::string
    run(GatedEngine& engine, const std::string& options, const std::string& name,
        std::function<void(GatedEngine&, AVFormatContext*, OutputStreamState&, InputStreamState&)>
            body) {
        engine.InitOptionContexts();
        engine.LogCallback = [this](int, const std::string& text) { logLines.push_back(text); };
        EXPECT_TRUE(engine.OpenInput(TestMediaPath(TestMedia::kAviMpeg4Mp3.name)))
            << engine.ErrorText;
        engine.ApplyOptionText("an=1\nvcodec=mpeg4\n" + options);
        EXPECT_TRUE(engine.OpenOutput(scratch(name))) << engine.ErrorText;
        engine.Body = [&engine, body] {
            ASSERT_EQ(engine.OutputStreams.size(), 1u);
            OutputStreamState& ost = engine.OutputStreams[0];
            body(engine, engine.OutputFiles[0], ost, engine.InputStreams[ost.SourceIndex]);
        };
        try {
            engine.Transcode(engine.OutputFiles, engine.OutputFileCount, engine.InputFiles,
                             engine.InputFileCount, engine.StreamMaps, engine.StreamMapCount);
        } catch (const FFMpegException& error) {
            return error.what();
        }
        EXPECT_TRUE(engine.BodyRan) << "the main loop never reached its pause gate";
        return "";
    }
    std::string scratch(const std::string& name) const { return (folder / name).string(); }
    bool logged(const std::string& text) const {
        for (const std::string& line : logLines)
            if (line == text)
                return true;
        return false;
    }
    fs::path folder;
    std::vector<std::string> logLines;
};

// Packets of the first stream of a written file.
int packetsInFile(const std::string& path) {
    AVFormatContext* file = nullptr;
    if (lavf.avformat_open_input(&file, path.c_str(), nullptr, nullptr) < 0)
        return -1;
    AVPacket* packet = lavc.av_packet_alloc();
    int count = 0;
    while (lavf.av_read_frame(file, packet) >= 0) {
        count += packet->stream_index == 0;
        lavc.av_packet_unref(packet);
    }
    lavc.av_packet_free(&packet);
    lavf.avformat_close_input(&file);
    return count;
}

std::vector<int64_t> every(int64_t stepUs, int count, int64_t startUs = 0) {
    std::vector<int64_t> pts;
    for (int i = 0; i < count; ++i)
        pts.push_back(startUs + i * stepUs);
    return pts;
}

std::vector<int64_t> joined(std::vector<int64_t> a, const std::vector<int64_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct SyncCase {
    const char* name;
    const char* options; // vsync, rate, frame limit
    std::vector<int64_t> inputPtsUs;
    int encoded; // pictures handed to the encoder = packets in the file
    int duplicated;
    int dropped;
};

void PrintTo(const SyncCase& c, std::ostream* out) {
    *out << c.name;
}

const SyncCase kSyncCases[] = {
    {"Sync1Regular", "vsync=1", every(40000, 10), 10, 0, 0},
    // A skipped pair of frames: the next picture is encoded twice; the counter grows by
    // the number of times it was encoded.
    {"Sync1SkipsTwo", "vsync=1", {0, 40000, 80000, 200000}, 5, 2, 0},
    {"Sync1SkipsOne", "vsync=1", {0, 40000, 80000, 160000}, 4, 0, 0},
    // 50 pictures a second into 25: after the first three, every other one is dropped.
    {"Sync1TwiceTheRate", "vsync=1", every(20000, 20), 11, 0, 9},
    // Auto with a 1/25 time base behaves like 1: 12.5 pictures a second are doubled.
    {"AutoHalfTheRate", "", every(80000, 10), 18, 16, 0},
    // Auto with a 1/1000 time base follows the input: no drop, no duplicate, gaps stay.
    {"AutoFineTimeBase", "r=1000", joined(every(20000, 10), every(20000, 10, 1000000)), 20, 0, 0},
    {"Sync0FollowsTheInput", "vsync=0", every(80000, 10), 10, 0, 0},
    // 2 follows the input's timestamps, and drops a picture that comes too late.
    {"Sync2DropsALatePicture", "vsync=2", {0, 80000, 160000, 40000, 240000}, 4, 0, 1},
    // The frame limit cuts a run of duplicates.
    {"FrameLimitCutsDuplicates", "vsync=1\nvframes=5", {0, 40000, 400000}, 5, 8, 0},
    // A damaged timestamp far ahead (or behind) is a jump of the clock, not a gap: no
    // run of duplicates, no run of drops.
    {"Sync1JumpAheadIsAbsorbed", "vsync=1", joined(every(40000, 5), every(40000, 5, 1000000000)),
     10, 0, 0},
    {"Sync1JumpBackIsAbsorbed", "vsync=1", joined(every(40000, 5, 600000000), every(40000, 5)), 10,
     0, 0},
};

class SyncMethods : public VideoOutputTest, public ::testing::WithParamInterface<SyncCase> {};

TEST_P(SyncMethods, FramesWritten) {
    const SyncCase& c = GetParam();
    GatedEngine engine;
    int encoded = 0;
    const std::string failure =
        run(engine, c.options, "sync.mkv",
            [&](GatedEngine& e, AVFormatContext* output, OutputStreamState& ost,
                InputStreamState& ist) {
                Frame picture = patternPicture(320, 240);
                for (int64_t pts : c.inputPtsUs) {
                    ist.Pts = pts;
                    encoded +=
                        e.VideoOut(output, ost, ist, e.PreprocessPicture(ist, picture.get()));
                }
                EXPECT_EQ(ost.FrameNumber, encoded);
                e.FlushVideoEncoder(output, ost);
                e.FlushVideoEncoder(output, ost); // a second flush writes nothing
            });
    ASSERT_EQ(failure, "");
    EXPECT_EQ(encoded, c.encoded);
    EXPECT_EQ(engine.DuplicatedFrames, c.duplicated);
    EXPECT_EQ(engine.DroppedFrames, c.dropped);
    EXPECT_GT(engine.VideoBytes, 0);
    engine.ReleaseState();
    EXPECT_EQ(packetsInFile(scratch("sync.mkv")), c.encoded);
}

INSTANTIATE_TEST_SUITE_P(VideoSync, SyncMethods, ::testing::ValuesIn(kSyncCases),
                         [](const ::testing::TestParamInfo<SyncCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(VideoOutputTest, DuplicatesAreLoggedDropsOnlyWhenVerbose) {
    GatedEngine engine;
    ASSERT_EQ(run(engine, "vsync=1\nv=3", "log.avi",
                  [](GatedEngine& e, AVFormatContext* output, OutputStreamState& ost,
                     InputStreamState& ist) {
                      Frame picture = patternPicture(320, 240);
                      for (int64_t pts : {0, 200000, 120000}) {
                          ist.Pts = pts;
                          e.VideoOut(output, ost, ist, picture.get());
                      }
                  }),
              "");
    EXPECT_TRUE(logged("*** 3 dup!"));
    EXPECT_TRUE(logged("*** drop!"));
    logLines.clear();
    GatedEngine quiet;
    ASSERT_EQ(run(quiet, "vsync=1", "quiet.avi",
                  [](GatedEngine& e, AVFormatContext* output, OutputStreamState& ost,
                     InputStreamState& ist) {
                      Frame picture = patternPicture(320, 240);
                      for (int64_t pts : {0, 200000, 120000}) {
                          ist.Pts = pts;
                          e.VideoOut(output, ost, ist, picture.get());
                      }
                  }),
              "");
    EXPECT_EQ(quiet.DroppedFrames, 1);
    EXPECT_FALSE(logged("*** drop!"));
}

TEST_F(VideoOutputTest, CropAndPadPlaceThePictureInThePadColour) {
    GatedEngine engine;
    const std::string options = "croptop=16\ncropbottom=16\ncropleft=32\ncropright=32\n"
                                "padtop=8\npadbottom=8\npadleft=16\npadright=16";
    ASSERT_EQ(
        run(engine, options, "pad.avi",
            [](GatedEngine& e, AVFormatContext* output, OutputStreamState& ost,
               InputStreamState& ist) {
                e.PadColorYUV[0] = 50;
                e.PadColorYUV[1] = 90;
                e.PadColorYUV[2] = 200;
                const AVCodecContext* enc = *ost.Codec;
                ASSERT_EQ(enc->width, 320 - 64 + 32);
                ASSERT_EQ(enc->height, 240 - 32 + 16);
                EXPECT_EQ(ost.VideoResample, 0);
                Frame picture = patternPicture(320, 240);
                ASSERT_EQ(e.VideoOut(output, ost, ist, picture.get()), 1);
                const AVFrame* out = ost.ScratchPicture;
                ASSERT_NE(out, nullptr);
                // Inside: the input moved by the crop, then by the pad.
                for (int y = 0; y < 208; y += 13)
                    for (int x = 0; x < 256; x += 17)
                        ASSERT_EQ(at(out, 0, 16 + x, 8 + y), at(picture.get(), 0, 32 + x, 16 + y))
                            << x << "," << y;
                EXPECT_EQ(at(out, 1, 8, 4), at(picture.get(), 1, 16, 8));
                EXPECT_EQ(at(out, 2, 8 + 127, 4 + 103), at(picture.get(), 2, 16 + 127, 8 + 103));
                // Borders: eight rows above and below, sixteen columns left and right.
                for (int x = 0; x < enc->width; x += 5) {
                    EXPECT_EQ(at(out, 0, x, 0), 50);
                    EXPECT_EQ(at(out, 0, x, 7), 50);
                    EXPECT_EQ(at(out, 0, x, 216), 50);
                    EXPECT_EQ(at(out, 0, x, 223), 50);
                    EXPECT_EQ(at(out, 1, x / 2, 3), 90);
                    EXPECT_EQ(at(out, 2, x / 2, 108), 200);
                }
                for (int y = 8; y < 216; y += 7) {
                    EXPECT_EQ(at(out, 0, 15, y), 50);
                    EXPECT_EQ(at(out, 0, 272, y), 50);
                    EXPECT_EQ(at(out, 1, 7, y / 2), 90);
                    EXPECT_EQ(at(out, 2, 136, y / 2), 200);
                }
                EXPECT_NE(at(out, 0, 16, 8), 50);
                e.FlushVideoEncoder(output, ost);
            }),
        "");
    engine.ReleaseState();
    EXPECT_EQ(packetsInFile(scratch("pad.avi")), 1);
}

// Raw video keeps the encoded picture's bytes: the written frame shows the hook's drawing,
// moved by the crop and the pad, inside borders of the pad colour.
TEST_F(VideoOutputTest, WrittenPictureCarriesHookCropAndPad) {
    GatedEngine engine;
    engine.CustomHookCallback = [](TFFmpeg&, TBitmap* bitmap, int32_t, int64_t, bool&, bool&) {
        for (int y = 16; y < 32; ++y)
            std::memset(bitmap->scanLine(y) + 32 * 3, 255, 32 * 3);
    };
    const std::string options = "vcodec=rawvideo\npix_fmt=yuv420p\n"
                                "croptop=16\ncropbottom=16\ncropleft=32\ncropright=32\n"
                                "padtop=8\npadbottom=8\npadleft=16\npadright=16";
    ASSERT_EQ(run(engine, options, "raw.avi",
                  [](GatedEngine& e, AVFormatContext* output, OutputStreamState& ost,
                     InputStreamState& ist) {
                      e.PadColorYUV[0] = 50;
                      e.PadColorYUV[1] = 90;
                      e.PadColorYUV[2] = 200;
                      Frame picture = patternPicture(320, 240);
                      ASSERT_EQ(
                          e.VideoOut(output, ost, ist, e.PreprocessPicture(ist, picture.get())), 1);
                      e.FlushVideoEncoder(output, ost);
                  }),
              "");
    engine.ReleaseState();
    AVFormatContext* file = nullptr;
    ASSERT_GE(lavf.avformat_open_input(&file, scratch("raw.avi").c_str(), nullptr, nullptr), 0);
    AVPacket* packet = lavc.av_packet_alloc();
    ASSERT_GE(lavf.av_read_frame(file, packet), 0);
    constexpr int kW = 288, kH = 224;
    ASSERT_EQ(packet->size, kW * kH * 3 / 2);
    const uint8_t* luma = packet->data;
    const uint8_t* cb = luma + kW * kH;
    const uint8_t* cr = cb + kW * kH / 4;
    EXPECT_EQ(luma[0], 50);
    EXPECT_EQ(luma[(kH - 1) * kW + kW - 1], 50);
    EXPECT_EQ(luma[100 * kW + 15], 50);
    EXPECT_EQ(cb[0], 90);
    EXPECT_EQ(cr[(kH / 2 - 1) * (kW / 2)], 200);
    // The white band: input rows 16..31, columns 32..63 -> output rows 8..23, columns 16..47.
    EXPECT_GT(luma[8 * kW + 16], 225);
    EXPECT_GT(luma[23 * kW + 47], 225);
    EXPECT_LT(luma[30 * kW + 100], 235) << "below the band the pattern goes on";
    lavc.av_packet_free(&packet);
    lavf.avformat_close_input(&file);
}

TEST_F(VideoOutputTest, ScaledPictureLandsInsideThePads) {
    GatedEngine engine;
    ASSERT_EQ(run(engine, "s=128x96\npadtop=8\npadbottom=8\npadleft=8\npadright=8", "scaled.avi",
                  [](GatedEngine& e, AVFormatContext* output, OutputStreamState& ost,
                     InputStreamState& ist) {
                      const AVCodecContext* enc = *ost.Codec;
                      ASSERT_EQ(enc->width, 144);
                      ASSERT_EQ(enc->height, 112);
                      EXPECT_EQ(ost.VideoResample, 1);
                      Frame picture = patternPicture(320, 240);
                      for (int plane = 0; plane < 3; ++plane)
                          for (int y = 0; y < (plane ? 120 : 240); ++y)
                              std::memset(picture->data[plane] + y * picture->linesize[plane],
                                          plane == 0   ? 100
                                          : plane == 1 ? 70
                                                       : 180,
                                          plane ? 160 : 320);
                      ASSERT_EQ(e.VideoOut(output, ost, ist, picture.get()), 1);
                      const AVFrame* out = ost.ScratchPicture;
                      EXPECT_EQ(at(out, 0, 0, 0), 16);
                      EXPECT_EQ(at(out, 0, 7, 50), 16);
                      EXPECT_EQ(at(out, 0, 136, 50), 16);
                      EXPECT_EQ(at(out, 0, 70, 104), 16);
                      EXPECT_EQ(at(out, 1, 2, 2), 128);
                      EXPECT_NEAR(at(out, 0, 8, 8), 100, 1);
                      EXPECT_NEAR(at(out, 0, 135, 103), 100, 1);
                      EXPECT_NEAR(at(out, 1, 40, 30), 70, 1);
                      EXPECT_NEAR(at(out, 2, 40, 30), 180, 1);
                  }),
              "");
}

TEST_F(VideoOutputTest, PictureOfAnotherSizeIsScaledNotOverread) {
    GatedEngine engine;
    ASSERT_EQ(run(engine, "", "size.avi",
                  [](GatedEngine& e, AVFormatContext* output, OutputStreamState& ost,
                     InputStreamState& ist) {
                      EXPECT_EQ(ost.VideoResample, 0);
                      Frame small = patternPicture(160, 120);
                      ASSERT_EQ(e.VideoOut(output, ost, ist, small.get()), 1);
                      EXPECT_EQ(ost.VideoResample, 1);
                      ASSERT_NE(ost.ScratchPicture, nullptr);
                      EXPECT_EQ(ost.ScratchPicture->width, 320);
                  }),
              "");
}

// The quantiser a fixed-quality encoder gets: the output's own with "qscale", the decoded
// picture's with "sameq"; the packet's quality side data reports what was used.
TEST_F(VideoOutputTest, FrameQualityReachesTheEncoder) {
    const struct {
        const char* options;
        int pictureQuality;
        int packetQuality;
    } cases[] = {
        {"qscale=5", 9 * FF_QP2LAMBDA, 5 * FF_QP2LAMBDA},
        {"sameq=1", 7 * FF_QP2LAMBDA, 7 * FF_QP2LAMBDA},
    };
    for (const auto& c : cases) {
        GatedEngine engine;
        int quality = -1;
        ASSERT_EQ(run(engine, c.options, "quality.avi",
                      [&](GatedEngine& e, AVFormatContext* output, OutputStreamState& ost,
                          InputStreamState& ist) {
                          Frame picture = patternPicture(320, 240);
                          picture->quality = c.pictureQuality;
                          ASSERT_EQ(e.VideoOut(output, ost, ist, picture.get()), 1);
                          ASSERT_FALSE(e.Mux.WrittenStreams.empty());
                          quality = e.Mux.WrittenStreams[0].Quality;
                      }),
                  "");
        EXPECT_EQ(quality, c.packetQuality) << c.options;
    }
}

// The field order the encoder is given: the option's, or the picture's with "top" left at
// -1, and only when interlaced coding is asked for. MPEG-2 writes it into every picture
// header, so decoding the written stream tells.
TEST_F(VideoOutputTest, TopFieldFirstFollowsTheOptionOrThePicture) {
    const struct {
        const char* options;
        int pictureTopFieldFirst;
        int written;
    } cases[] = {
        {"flags=+ildct\ntop=1", 0, 1},
        {"flags=+ildct\ntop=0", 1, 0},
        {"flags=+ildct", 1, 1},
        {"flags=+ildct", 0, 0},
        {"top=1", 1, 0}, // progressive coding: the field order is not handed on
    };
    for (const auto& c : cases) {
        GatedEngine engine;
        ASSERT_EQ(run(engine, std::string("vcodec=mpeg2video\n") + c.options, "fields.m2v",
                      [&](GatedEngine& e, AVFormatContext* output, OutputStreamState& ost,
                          InputStreamState& ist) {
                          Frame picture = patternPicture(320, 240);
                          picture->interlaced_frame = 1;
                          picture->top_field_first = c.pictureTopFieldFirst;
                          ASSERT_EQ(e.VideoOut(output, ost, ist, picture.get()), 1);
                          e.FlushVideoEncoder(output, ost);
                      }),
                  "");
        engine.ReleaseState();
        AVFormatContext* file = nullptr;
        ASSERT_GE(lavf.avformat_open_input(&file, scratch("fields.m2v").c_str(), nullptr, nullptr),
                  0);
        ASSERT_GE(lavf.avformat_find_stream_info(file, nullptr), 0);
        AVCodecContext* decoder = lavc.avcodec_alloc_context3(nullptr);
        lavc.avcodec_parameters_to_context(decoder, file->streams[0]->codecpar);
        ASSERT_GE(
            lavc.avcodec_open2(decoder, lavc.avcodec_find_decoder(AV_CODEC_ID_MPEG2VIDEO), nullptr),
            0);
        AVPacket* packet = lavc.av_packet_alloc();
        Frame decoded(lavu.av_frame_alloc());
        int frames = 0;
        int topFieldFirst = -1;
        while (lavf.av_read_frame(file, packet) >= 0) {
            lavc.avcodec_send_packet(decoder, packet);
            lavc.av_packet_unref(packet);
        }
        lavc.avcodec_send_packet(decoder, nullptr);
        while (lavc.avcodec_receive_frame(decoder, decoded.get()) >= 0) {
            ++frames;
            topFieldFirst = decoded->top_field_first;
        }
        EXPECT_EQ(frames, 1) << c.options;
        EXPECT_EQ(topFieldFirst, c.written) << c.options << ", picture " << c.pictureTopFieldFirst;
        lavc.av_packet_free(&packet);
        lavc.avcodec_free_context(&decoder);
        lavf.avformat_close_input(&file);
    }
}

// The decoded picture's type reaches the encoder only with a motion-estimation threshold:
// an intra picture then forces a key frame.
TEST_F(VideoOutputTest, PictureTypeIsHandedOnOnlyWithAThreshold) {
    const struct {
        const char* options;
        bool secondIsKey;
    } cases[] = {{"", false}, {"me_threshold=1", true}};
    for (const auto& c : cases) {
        GatedEngine engine;
        bool key = false;
        ASSERT_EQ(run(engine, c.options, "types.avi",
                      [&](GatedEngine& e, AVFormatContext* output, OutputStreamState& ost,
                          InputStreamState& ist) {
                          Frame picture = patternPicture(320, 240);
                          ASSERT_EQ(e.VideoOut(output, ost, ist, picture.get()), 1);
                          picture->pict_type = AV_PICTURE_TYPE_I;
                          ist.Pts = 40000;
                          ASSERT_EQ(e.VideoOut(output, ost, ist, picture.get()), 1);
                          key = e.Mux.WrittenStreams[0].KeyFrame;
                      }),
                  "");
        EXPECT_EQ(key, c.secondIsKey) << c.options;
    }
}

TEST_F(VideoOutputTest, PassOneAppendsTheEncoderStatistics) {
    GatedEngine engine;
    const std::string prefix = scratch("stats");
    ASSERT_EQ(run(engine, "pass=1\npasslogfile=" + prefix, "pass1.avi",
                  [](GatedEngine& e, AVFormatContext* output, OutputStreamState& ost,
                     InputStreamState& ist) {
                      ASSERT_NE(ost.LogFile, nullptr);
                      Frame picture = patternPicture(320, 240);
                      for (int i = 0; i < 6; ++i) {
                          ist.Pts = i * 40000;
                          e.VideoOut(output, ost, ist, picture.get());
                      }
                      e.FlushVideoEncoder(output, ost);
                  }),
              "");
    engine.ReleaseState();
    std::ifstream log(prefix + "-0.log");
    int lines = 0;
    for (std::string line; std::getline(log, line);)
        lines += line.find("in:") != std::string::npos;
    EXPECT_EQ(lines, 6) << "one statistics entry per frame";
}

TEST_F(VideoOutputTest, StatisticsFileGetsALinePerEncodedPicture) {
    GatedEngine engine;
    const std::string stats = scratch("vstats.log");
    ASSERT_EQ(run(engine, "vsync=1\nvstats_file=" + stats, "vstats.avi",
                  [](GatedEngine& e, AVFormatContext* output, OutputStreamState& ost,
                     InputStreamState& ist) {
                      Frame picture = patternPicture(320, 240);
                      for (int64_t pts : {0, 40000, 80000, 200000}) {
                          ist.Pts = pts;
                          e.VideoOut(output, ost, ist, picture.get());
                      }
                  }),
              "");
    engine.ReleaseState();
    std::ifstream file(stats);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    // One line per VideoOut call that wrote something; the duplicated picture's call
    // wrote two frames and reports the second.
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].rfind("frame=     1 ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[3].rfind("frame=     5 ", 0), 0u) << lines[3];
}

TEST_F(VideoOutputTest, StopRequestEndsARunOfDuplicates) {
    GatedEngine engine;
    ASSERT_EQ(run(engine, "vsync=1", "stop.avi",
                  [](GatedEngine& e, AVFormatContext* output, OutputStreamState& ost,
                     InputStreamState& ist) {
                      Frame picture = patternPicture(320, 240);
                      ist.Pts = 0;
                      EXPECT_EQ(e.VideoOut(output, ost, ist, picture.get()), 1);
                      e.StopRequested = true;
                      ist.Pts = 400000;
                      EXPECT_EQ(e.VideoOut(output, ost, ist, picture.get()), 0);
                      EXPECT_EQ(ost.FrameNumber, 1);
                  }),
              "");
}

// The pause gate is passed before every repeated picture, so "Stop all conversions?" holds
// a long run of duplicates too.
TEST_F(VideoOutputTest, APauseHoldsInsideARunOfDuplicates) {
    struct HoldCounter : GatedEngine {
        int holds = 0;
        void HoldWhilePaused() override { ++holds; }
    } engine;
    ASSERT_EQ(run(engine, "vsync=1", "hold.avi",
                  [](GatedEngine& e, AVFormatContext* output, OutputStreamState& ost,
                     InputStreamState& ist) {
                      Frame picture = patternPicture(320, 240);
                      ist.Pts = 0;
                      e.VideoOut(output, ost, ist, picture.get());
                      ist.Pts = 1000000; // a second later: 24 pictures fill the gap
                      EXPECT_EQ(e.VideoOut(output, ost, ist, picture.get()), 24);
                  }),
              "");
    EXPECT_EQ(engine.holds, 23);
}

// The luma at the centre of every picture decoded from the first stream of a file, in
// display order.
std::vector<int> decodedCentreLuma(const std::string& path) {
    std::vector<int> values;
    AVFormatContext* file = nullptr;
    if (lavf.avformat_open_input(&file, path.c_str(), nullptr, nullptr) < 0)
        return values;
    lavf.avformat_find_stream_info(file, nullptr);
    const AVCodecParameters* parameters = file->streams[0]->codecpar;
    AVCodecContext* decoder = lavc.avcodec_alloc_context3(nullptr);
    lavc.avcodec_parameters_to_context(decoder, parameters);
    EXPECT_GE(lavc.avcodec_open2(decoder, lavc.avcodec_find_decoder(parameters->codec_id), nullptr),
              0);
    AVPacket* packet = lavc.av_packet_alloc();
    Frame frame(lavu.av_frame_alloc());
    const auto receive = [&] {
        while (lavc.avcodec_receive_frame(decoder, frame.get()) >= 0) {
            values.push_back(at(frame.get(), 0, frame->width / 2, frame->height / 2));
            lavu.av_frame_unref(frame.get());
        }
    };
    while (lavf.av_read_frame(file, packet) >= 0) {
        if (packet->stream_index == 0 && lavc.avcodec_send_packet(decoder, packet) >= 0)
            receive();
        lavc.av_packet_unref(packet);
    }
    lavc.avcodec_send_packet(decoder, nullptr);
    receive();
    lavc.av_packet_free(&packet);
    lavc.avcodec_free_context(&decoder);
    lavf.avformat_close_input(&file);
    return values;
}

// The encoder keeps references to the pictures it reorders (B-frames). Each written picture
// must stay as it was handed over, whether it is the caller's own or the scaled copy that
// the output path writes for every frame.
TEST_F(VideoOutputTest, PicturesHeldByTheEncoderAreNeverOverwritten) {
    struct Case {
        const char* options;
        int threads;
    };
    // The value each picture is filled with, and what it reads as once written: the
    // full-range pixel format of the JPEG encoder stretches 16..235 to 0..255.
    const auto filled = [](int i) { return 40 + 16 * i; };
    const auto fullRange = [](int value) { return (value - 16) * 255.0 / 219.0; };
    // B-frames reorder pictures; a frame-threaded encoder encodes them on its own threads
    // while the next ones come.
    const Case cases[] = {{"bf=2\ng=12", 1},
                          {"bf=2\ng=12\ns=160x120", 1},
                          {"vcodec=mjpeg\npix_fmt=yuvj420p\ns=160x120", 4},
                          {"vcodec=mjpeg\npix_fmt=yuvj420p\npadtop=16\npadbottom=16", 4},
                          {"vcodec=mjpeg\npix_fmt=yuvj420p", 4}};
    for (const Case& c : cases) {
        const char* options = c.options;
        SCOPED_TRACE(options);
        GatedEngine engine;
        engine.ThreadCount = c.threads;
        const std::string name = "held" + std::to_string(&c - cases) + ".avi";
        constexpr int kPictures = 10;
        ASSERT_EQ(run(engine, options, name,
                      [](GatedEngine& e, AVFormatContext* output, OutputStreamState& ost,
                         InputStreamState& ist) {
                          for (int i = 0; i < kPictures; ++i) {
                              // A fresh picture each time, as a decoder gives them.
                              Frame picture = patternPicture(320, 240);
                              for (int y = 0; y < 240; ++y)
                                  std::memset(picture->data[0] + y * picture->linesize[0],
                                              static_cast<uint8_t>(40 + 16 * i), 320);
                              ist.Pts = i * 40000;
                              ASSERT_EQ(e.VideoOut(output, ost, ist, picture.get()), 1);
                          }
                      }),
                  "");
        engine.ReleaseState();
        const std::vector<int> luma = decodedCentreLuma(scratch(name));
        ASSERT_EQ(luma.size(), static_cast<size_t>(kPictures));
        const bool jpeg = std::string(options).find("yuvj420p") != std::string::npos;
        for (int i = 0; i < kPictures; ++i)
            EXPECT_NEAR(luma[static_cast<size_t>(i)], jpeg ? fullRange(filled(i)) : filled(i), 3)
                << "picture " << i;
    }
}

} // namespace
