// Opening inputs and outputs with the option state, stream creation from the option state,
// the open-error texts and the target presets.
#include "AVCodecHlpr.h"
#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"
#include "FFmpeg.h"
#include "MediaLibraries.h"
#include "TestMedia.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

// An engine with the libraries loaded, its log lines kept, and a scratch folder.
class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
        engine.InitOptionContexts();
        engine.LogCallback = [this](int level, const std::string& text) {
            logLines.emplace_back(level, text);
        };
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::temp_directory_path() /
                 (std::string("vidbrisk-files-") + info->name() + "-" + std::to_string(::getpid()));
        fs::create_directories(folder);
    }
    void TearDown() override {
        engine.ReleaseState();
        fs::remove_all(folder);
    }
    std::string scratch(const std::string& name) const { return (folder / name).string(); }
    // A copy of a generated clip under another name in the scratch folder.
    std::string copyOf(const TestClip& clip, const std::string& name) const {
        fs::copy_file(TestMediaPath(clip.name), folder / name);
        return scratch(name);
    }
    bool logged(const std::string& text) const {
        for (const auto& line : logLines)
            if (line.second == text)
                return true;
        return false;
    }
    AVCodecContext* outputCodec(int stream) {
        StreamCodecEntry* entry =
            engine.StreamCodecs.Find(engine.OutputFiles[engine.OutputFileCount - 1], stream);
        return entry ? entry->Codec : nullptr;
    }
    TCustomFFmpeg engine;
    std::vector<std::pair<int, std::string>> logLines;
    fs::path folder;
};

TEST(OpenErrorText, EveryCodeHasItsText) {
    ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
    const std::string image = "a.jpg: Incorrect image filename syntax.\r\n"
                              "Use '%d' to specify the image number:\r\n"
                              "  for img1.jpg, img2.jpg, ..., use 'img%d.jpg';\r\n"
                              "  for img001.jpg, img002.jpg, ..., use 'img%03d.jpg'.";
    const struct {
        int code;
        std::string text;
    } cases[] = {
        {AVERROR_INVALIDDATA, "a.jpg: Unknown format"},
        {AVERROR_DEMUXER_NOT_FOUND, "a.jpg: Unknown format"},
        {-84, "a.jpg: Unknown format"},
        {-33, image},
        {-22, "a.jpg: Error while parsing header"},
        {-12, "a.jpg: memory allocation error occurred"},
        {-5, "a.jpg: I/O error occurred\r\nUsually that means that input file is truncated "
             "and/or corrupted."},
        {-2, "a.jpg: no such file or directory"},
        {-1, "a.jpg: Error while opening file"},
        // Causes the user can act on carry the system's words.
        {-13, "a.jpg: Error while opening file: Permission denied"},
        {-28, "a.jpg: Error while opening file: No space left on device"},
        {-30, "a.jpg: Error while opening file: Read-only file system"},
        {-36, "a.jpg: Error while opening file: File name too long"},
        {-24, "a.jpg: Error while opening file: Too many open files"},
        {AVERROR_EOF, "a.jpg: Error while opening file"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TCustomFFmpeg::OpenErrorText("a.jpg", c.code), c.text) << c.code;
}

TEST_F(FilesTest, InputFillsTheOptionStateAndConsumesTheFileOptions) {
    engine.ApplyOptionText("acodec=mp3\nvcodec=mpeg4");
    ASSERT_TRUE(engine.OpenInput(TestMediaPath(TestMedia::kAviMpeg4Mp3.name))) << engine.ErrorText;
    EXPECT_EQ(engine.InputFileCount, 1);
    EXPECT_EQ(engine.FrameWidth, 320);
    EXPECT_EQ(engine.FrameHeight, 240);
    EXPECT_EQ(engine.FrameRate.num, 25);
    EXPECT_EQ(engine.FrameRate.den, 1);
    EXPECT_EQ(engine.FramePixelFormat, AV_PIX_FMT_YUV420P);
    EXPECT_EQ(engine.AudioSampleRate, 44100);
    EXPECT_EQ(engine.AudioChannels, 2);
    EXPECT_NEAR(engine.TotalDurationMs, 3000, 150);
    EXPECT_TRUE(engine.VideoCodecName.empty());
    EXPECT_TRUE(engine.AudioCodecName.empty());
    const TCustomFFmpeg::TInputKinds kinds = engine.DetectInputKinds();
    EXPECT_TRUE(kinds.Video);
    EXPECT_TRUE(kinds.Audio);
    EXPECT_FALSE(kinds.Subtitle);
    EXPECT_EQ(engine.StreamCodecs.Count(), 2u);
}

TEST_F(FilesTest, MissingSampleAspectGivesWidthOverHeight) {
    ASSERT_TRUE(engine.OpenInput(TestMediaPath(TestMedia::kMp4H264Aac.name))) << engine.ErrorText;
    EXPECT_NEAR(engine.FrameAspectRatio, 640.0 / 480.0, 1e-4);
}

TEST_F(FilesTest, OnlyRealMediaNamesGetPixelFormatZeroWhenNoneIsKnown) {
    // A forced decoder that cannot read the stream leaves its pixel format unknown.
    const struct {
        const char* name;
        int expected;
    } cases[] = {{"clip.rm", 0}, {"clip.RMVB", 0}, {"clip.avi", -1}};
    for (const auto& c : cases) {
        engine.InitOptionContexts();
        const std::string path = copyOf(TestMedia::kAviMpeg4Mp3, c.name);
        engine.ApplyOptionText("vcodec=rawvideo");
        ASSERT_TRUE(engine.OpenInput(path)) << engine.ErrorText;
        EXPECT_EQ(engine.FramePixelFormat, c.expected) << c.name;
    }
}

TEST_F(FilesTest, InputFailuresReportTheirText) {
    EXPECT_FALSE(engine.OpenInput(scratch("missing.avi")));
    EXPECT_EQ(engine.ErrorText, scratch("missing.avi") + ": no such file or directory");
    EXPECT_FALSE(engine.OpenInput(TestMediaPath(TestMedia::kNotMedia.name)));
    EXPECT_EQ(engine.ErrorText, TestMediaPath(TestMedia::kNotMedia.name) + ": Unknown format");
    engine.ApplyOptionText("vcodec=nosuchdecoder");
    EXPECT_FALSE(engine.OpenInput(TestMediaPath(TestMedia::kAviMpeg4Mp3.name)));
    EXPECT_EQ(engine.ErrorText, "Unknown decoder 'nosuchdecoder'");
    // A failed open consumes the file's codec names as a successful one does.
    EXPECT_TRUE(engine.VideoCodecName.empty());
    EXPECT_EQ(engine.InputFileCount, 0);
}

TEST_F(FilesTest, OutputFailuresReportTheirText) {
    ASSERT_TRUE(engine.OpenInput(TestMediaPath(TestMedia::kAviMpeg4Mp3.name)));
    const std::string unknown = scratch("out.qqq");
    EXPECT_FALSE(engine.OpenOutput(unknown));
    EXPECT_EQ(engine.ErrorText, "Unable to find a suitable output format for '" + unknown + "'");

    // A muxer that numbers its files needs "%d" in the name.
    engine.ApplyOptionText("f=webm_chunk");
    const std::string chunk = scratch("chunk.webm");
    EXPECT_FALSE(engine.OpenOutput(chunk));
    EXPECT_EQ(engine.ErrorText, TCustomFFmpeg::OpenErrorText(chunk, -33));
    EXPECT_EQ(engine.OutputFileCount, 0);
    EXPECT_EQ(engine.OutputFiles[0], nullptr);

    const std::string noFolder = scratch("none/out.avi");
    EXPECT_FALSE(engine.OpenOutput(noFolder));
    EXPECT_EQ(engine.ErrorText, "Could not open '" + noFolder + "': No such file or directory");
    EXPECT_EQ(engine.OutputFileCount, 0);

    engine.ApplyOptionText("acodec=nosuchencoder");
    EXPECT_FALSE(engine.OpenOutput(scratch("out.avi")));
    EXPECT_EQ(engine.ErrorText, "new_audio_stream fail: Unknown encoder 'nosuchencoder'");
    EXPECT_FALSE(fs::exists(scratch("out.avi")));
}

TEST_F(FilesTest, ImageSequenceNamesNeedANumberPatternUnlessOneFileIsRewritten) {
    // Today's image muxer no longer flags that it numbers its files; the name is still
    // refused when the output is set, not after the first picture.
    ASSERT_TRUE(engine.OpenInput(TestMediaPath(TestMedia::kAviMpeg4Mp3.name)));
    const std::string still = scratch("still.jpg");
    EXPECT_FALSE(engine.OpenOutput(still));
    EXPECT_EQ(engine.ErrorText, TCustomFFmpeg::OpenErrorText(still, -33));
    EXPECT_EQ(engine.OutputFileCount, 0);
    EXPECT_TRUE(engine.OpenOutput(scratch("frame%03d.jpg"))) << engine.ErrorText;

    engine.InitOptionContexts();
    ASSERT_TRUE(engine.OpenInput(TestMediaPath(TestMedia::kAviMpeg4Mp3.name)));
    engine.ApplyOptionText("update=1");
    EXPECT_TRUE(engine.OpenOutput(still)) << engine.ErrorText;
}

TEST_F(FilesTest, AnOutputThatStayedEmptyIsDeletedOnRelease) {
    ASSERT_TRUE(engine.OpenInput(TestMediaPath(TestMedia::kAviMpeg4Mp3.name)));
    const std::string output = scratch("empty.avi");
    ASSERT_TRUE(engine.OpenOutput(output)) << engine.ErrorText;
    EXPECT_TRUE(fs::exists(output));
    engine.ReleaseState();
    EXPECT_FALSE(fs::exists(output));
    // The input is never touched.
    EXPECT_TRUE(fs::exists(TestMediaPath(TestMedia::kAviMpeg4Mp3.name)));
}

// An output given a descriptor is written through it: a link put in place of its name
// after the file was created is never followed.
TEST_F(FilesTest, AnOutputWithADescriptorNeverFollowsItsName) {
    ASSERT_TRUE(engine.OpenInput(TestMediaPath(TestMedia::kAviMpeg4Mp3.name)));
    const std::string output = scratch("claimed.avi");
    const std::string elsewhere = scratch("elsewhere.avi");
    const int fd = ::open(output.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    fs::remove(output);
    fs::create_symlink(elsewhere, output);
    engine.OutputDescriptor = fd;
    ASSERT_TRUE(engine.OpenOutput(output)) << engine.ErrorText;
    EXPECT_EQ(engine.OutputDescriptor, -1);
    engine.Transcode(engine.OutputFiles, engine.OutputFileCount, engine.InputFiles,
                     engine.InputFileCount, engine.StreamMaps, engine.StreamMapCount);
    engine.ReleaseState();
    EXPECT_FALSE(fs::exists(elsewhere));
    EXPECT_GT(::lseek(fd, 0, SEEK_END), 10000); // the clip went to the created file
    ::close(fd);
}

TEST_F(FilesTest, OutputStreamsFollowTheInputsAndTheOptions) {
    ASSERT_TRUE(engine.OpenInput(TestMediaPath(TestMedia::kMp3Audio.name)));
    // An MP4 output would take video, but the input has none.
    engine.ApplyOptionText("ar=22050\nac=1\nalang=eng");
    ASSERT_TRUE(engine.OpenOutput(scratch("sound.mp4"))) << engine.ErrorText;
    AVFormatContext* output = engine.OutputFiles[0];
    ASSERT_EQ(output->nb_streams, 1u);
    AVCodecContext* codec = outputCodec(0);
    ASSERT_NE(codec, nullptr);
    EXPECT_EQ(codec->codec_type, AVMEDIA_TYPE_AUDIO);
    EXPECT_EQ(codec->codec_id, AV_CODEC_ID_AAC);
    EXPECT_EQ(codec->sample_rate, 22050);
    EXPECT_EQ(codec->ch_layout.nb_channels, 1);
    EXPECT_NE(codec->sample_fmt, AV_SAMPLE_FMT_NONE);
    EXPECT_TRUE(codec->flags & AV_CODEC_FLAG_GLOBAL_HEADER);
    const AVDictionaryEntry* language =
        lavu.av_dict_get(output->streams[0]->metadata, "language", nullptr, 0);
    ASSERT_NE(language, nullptr);
    EXPECT_STREQ(language->value, "eng");
    EXPECT_TRUE(engine.AudioLanguage.empty());
    // "newaudio" appends a stream copied from the input to the last output.
    engine.ApplyOptionText("acodec=copy\nnewaudio=1");
    ASSERT_EQ(output->nb_streams, 2u);
    EXPECT_EQ(engine.StreamCodecs.Find(output, 1)->StreamCopy, 1);
    EXPECT_EQ(engine.AudioStreamCopy, 0);
}

TEST_F(FilesTest, VideoStreamTakesSizeAspectAndSupportedRate) {
    ASSERT_TRUE(engine.OpenInput(TestMediaPath(TestMedia::kMp4H264Aac.name)));
    // MPEG-1 video only knows its table of rates: 30000/1001 is one of them.
    engine.ApplyOptionText("vcodec=mpeg1video\ns=352x240\naspect=16:9\npadtop=8\npadbottom=8\n"
                           "qscale=4\npass=1");
    ASSERT_TRUE(engine.OpenOutput(scratch("out.mpg"))) << engine.ErrorText;
    AVCodecContext* codec = outputCodec(0);
    ASSERT_NE(codec, nullptr);
    EXPECT_EQ(codec->width, 352);
    EXPECT_EQ(codec->height, 256);
    EXPECT_EQ(codec->time_base.num, 1001);
    EXPECT_EQ(codec->time_base.den, 30000);
    EXPECT_NEAR(av_q2d(codec->sample_aspect_ratio) * 352 / 256, 16.0 / 9.0, 0.02);
    EXPECT_EQ(codec->pix_fmt, AV_PIX_FMT_YUV420P);
    EXPECT_TRUE(codec->flags & AV_CODEC_FLAG_QSCALE);
    EXPECT_EQ(codec->global_quality, 4 * FF_QP2LAMBDA);
    EXPECT_TRUE(codec->flags & AV_CODEC_FLAG_PASS1);
}

TEST_F(FilesTest, QuantiserMatricesAreTheCodecsOwnCopies) {
    ASSERT_TRUE(engine.OpenInput(TestMediaPath(TestMedia::kAviMpeg4Mp3.name)));
    std::string intra, inter;
    for (int i = 0; i < 64; ++i) {
        intra += (i ? "," : "") + std::to_string(8 + i);
        inter += (i ? "," : "") + std::to_string(16 + i);
    }
    engine.ApplyOptionText("vcodec=mpeg2video\nintra_matrix=" + intra + "\ninter_matrix=" + inter);
    ASSERT_TRUE(engine.OpenOutput(scratch("out.mpg"))) << engine.ErrorText;
    AVCodecContext* codec = outputCodec(0);
    ASSERT_NE(codec->intra_matrix, nullptr);
    ASSERT_NE(codec->inter_matrix, nullptr);
    EXPECT_NE(codec->intra_matrix, engine.IntraMatrix.data());
    EXPECT_EQ(codec->intra_matrix[0], 8);
    EXPECT_EQ(codec->intra_matrix[63], 71);
    EXPECT_EQ(codec->inter_matrix[63], 79);
    // The codec frees its copies; the option state keeps its own.
    engine.ReleaseState();
    EXPECT_EQ(engine.StreamCodecs.Count(), 0u);
}

TEST_F(FilesTest, OutputMetadataComesFromTheOptions) {
    ASSERT_TRUE(engine.OpenInput(TestMediaPath(TestMedia::kMp3Audio.name)));
    engine.ApplyOptionText("title=Title\nauthor=Author\ncopyright=C\ncomment=Note\n"
                           "album=Album\ngenre=Rock\ntimestamp=2001-02-03 04:05:06");
    engine.Year = 2001;
    engine.Track = 3;
    ASSERT_TRUE(engine.OpenOutput(scratch("tagged.mp3"))) << engine.ErrorText;
    const AVDictionary* metadata = engine.OutputFiles[0]->metadata;
    const struct {
        const char* key;
        const char* value;
    } cases[] = {{"title", "Title"}, {"artist", "Author"}, {"copyright", "C"}, {"comment", "Note"},
                 {"album", "Album"}, {"genre", "Rock"},    {"date", "2001"},   {"track", "3"}};
    for (const auto& c : cases) {
        const AVDictionaryEntry* entry = lavu.av_dict_get(metadata, c.key, nullptr, 0);
        ASSERT_NE(entry, nullptr) << c.key;
        EXPECT_STREQ(entry->value, c.value) << c.key;
    }
    const AVDictionaryEntry* created = lavu.av_dict_get(metadata, "creation_time", nullptr, 0);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(std::string(created->value).substr(0, 10), "2001-02-03");
}

TEST_F(FilesTest, RateControlOverrideEntries) {
    ASSERT_TRUE(engine.OpenInput(TestMediaPath(TestMedia::kAviMpeg4Mp3.name)));
    engine.ApplyOptionText("rc_override=0,100,5/200,300,-20");
    ASSERT_TRUE(engine.OpenOutput(scratch("out.avi"))) << engine.ErrorText;
    AVCodecContext* codec = outputCodec(0);
    ASSERT_EQ(codec->rc_override_count, 2);
    EXPECT_EQ(codec->rc_override[0].start_frame, 0);
    EXPECT_EQ(codec->rc_override[0].end_frame, 100);
    EXPECT_EQ(codec->rc_override[0].qscale, 5);
    EXPECT_FLOAT_EQ(codec->rc_override[0].quality_factor, 1.0f);
    EXPECT_EQ(codec->rc_override[1].start_frame, 200);
    EXPECT_EQ(codec->rc_override[1].end_frame, 300);
    EXPECT_EQ(codec->rc_override[1].qscale, 0);
    EXPECT_FLOAT_EQ(codec->rc_override[1].quality_factor, 0.2f);

    engine.ApplyOptionText("rc_override=0;100,5");
    EXPECT_FALSE(engine.OpenOutput(scratch("bad.avi")));
    EXPECT_EQ(engine.ErrorText, "new_video_stream fail: error parsing rc_override");
}

TEST_F(FilesTest, PalDvdTargetFillsThePreset) {
    engine.ApplyOptionText("target=pal-dvd");
    EXPECT_EQ(engine.FrameWidth, 720);
    EXPECT_EQ(engine.FrameHeight, 576);
    EXPECT_EQ(engine.FrameRate.num, 25);
    EXPECT_EQ(engine.FrameRate.den, 1);
    EXPECT_EQ(engine.AudioSampleRate, 48000);
    EXPECT_EQ(engine.VideoCodecName, "mpeg2video");
    EXPECT_EQ(engine.AudioCodecName, "ac3");
    ASSERT_NE(engine.ForcedOutputFormat, nullptr);
    EXPECT_STREQ(engine.ForcedOutputFormat->name, "dvd");
    EXPECT_NEAR(engine.FrameAspectRatio, 16.0 / 9.0, 1e-4);
    AVCodecContext* video = engine.CodecOptionContexts[AVMEDIA_TYPE_VIDEO];
    EXPECT_EQ(video->gop_size, 15);
    EXPECT_EQ(video->bit_rate, 6000000);
    EXPECT_EQ(video->rc_max_rate, 9000000);
    EXPECT_EQ(engine.CodecOptionContexts[AVMEDIA_TYPE_AUDIO]->bit_rate, 448000);
    EXPECT_FALSE(logged("Assuming PAL for target."));

    // An aspect set before is kept.
    engine.InitOptionContexts();
    engine.ApplyOptionText("aspect=4:3\ntarget=pal-dvd");
    EXPECT_NEAR(engine.FrameAspectRatio, 4.0 / 3.0, 1e-4);
}

TEST_F(FilesTest, TargetNormDetectionAndFailures) {
    engine.ApplyOptionText("r=30000/1001\ntarget=dvd");
    EXPECT_TRUE(logged("Assuming NTSC for target."));
    EXPECT_EQ(engine.FrameWidth, 720);
    EXPECT_EQ(engine.FrameHeight, 480);
    EXPECT_EQ(engine.CodecOptionContexts[AVMEDIA_TYPE_VIDEO]->gop_size, 18);

    // The input's frame rate decides when the option state has none.
    engine.InitOptionContexts();
    logLines.clear();
    ASSERT_TRUE(engine.OpenInput(TestMediaPath(TestMedia::kAviMpeg4Mp3.name)));
    engine.FrameRate = {30, 7};
    engine.ApplyTarget("vcd", "auto", "ntsc");
    EXPECT_TRUE(logged("Assuming PAL for target."));
    EXPECT_EQ(engine.FrameHeight, 288);
    EXPECT_FLOAT_EQ(engine.MuxPreload, 0.44f);

    engine.FrameRate = {0, 0};
    EXPECT_THROW(
        try { engine.SetTarget("dvd"); } catch (const FFMpegException& e) {
            EXPECT_STREQ(e.what(), "frame_rate is invalid.");
            throw;
        },
        FFMpegException);
    EXPECT_THROW(
        try { engine.SetTarget("pal-cd"); } catch (const FFMpegException& e) {
            EXPECT_STREQ(e.what(), "Unknown target type");
            throw;
        },
        FFMpegException);
}

} // namespace
