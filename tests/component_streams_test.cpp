// The component and the real engine on the files of a music and video library, with the
// engine's own options and without the job builder's plan: a cover is no video but shows
// still for its sound's length, a stream the output cannot hold is left out with a log line,
// the metadata options win over the input's tags, chapters follow the recording time, a
// cover becomes the picture comment of Ogg sound, and a failed output leaves no maps.
#include "AVProbe.h"
#include "LibraryMedia.h"
#include "StreamReadBack.h"
#include "TestMedia.h"
#include "cli_run.h"
#include "component_fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class ComponentStreamsTest : public ComponentMediaFixture {
protected:
    void SetUp() override {
        ComponentMediaFixture::SetUp();
        component.SetLogLevel(llInfo);
    }

    // Converts `input` into `output` with the option lines; the task's failure text, or "".
    std::string convert(const std::string& input, const std::string& output,
                        const std::string& lines, const std::string& title = "") {
        const int index =
            component.AddInputTask(input.front() == '/' ? input : TestMediaPath(input));
        if (index < 0)
            return component.LastError;
        TOutputOptions options;
        ResetOutputOptions(options);
        options.ExtraOptions = lines;
        SetRecordText(options.Title, title);
        if (!component.SetTaskOutput(index, output, &options))
            return component.LastError;
        // The task's end and the all-done signal after those of earlier runs.
        const std::size_t before = recorder.terminationsCopy().size();
        component.StartConversion(1);
        if (!recorder.waitTerminations(before + 2, std::chrono::seconds(120)))
            return "no end";
        const auto record = recorder.terminationsCopy()[before];
        return record.exception ? record.message : std::string();
    }
    bool logged(const std::string& part) {
        for (const auto& record : recorder.logsCopy())
            if (record.text.find(part) != std::string::npos)
                return true;
        return false;
    }
};

TEST_F(ComponentStreamsTest, ACoverIsNoVideoButShowsStillForItsSoundsLength) {
    TAVProbe probe;
    ASSERT_TRUE(probe.LoadFile(TestMediaPath(LibraryMedia::kCoverMp3)));
    EXPECT_EQ(probe.VideoStreamCount, 0);
    EXPECT_EQ(probe.FirstVideoStream, -1);
    const std::vector<TAVStreamEntry> streams = probe.Streams();
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_TRUE(streams[1].AttachedPicture);
    EXPECT_STREQ(StreamKindText(streams[1]), "cover");
    probe.CloseFile();

    // No maps: the cover is the only picture there is, and the sound is its clock.
    const std::string output = scratch("song.mp4");
    ASSERT_EQ(convert(LibraryMedia::kCoverMp3, output, ""), "");
    const ReadBackFile made = ReadBack(output);
    ASSERT_EQ(made.count("video"), 1);
    const ReadBackStream& video = *made.first("video");
    const ReadBackStream& sound = *made.first("audio");
    EXPECT_EQ(video.width, LibraryMedia::kMp3CoverWidth);
    // 25 pictures a second for as long as the sound lasts.
    EXPECT_NEAR(video.lastSeconds, sound.lastSeconds, 0.1);
    EXPECT_NEAR(static_cast<double>(video.packets), sound.lastSeconds * 25, 2);
}

TEST_F(ComponentStreamsTest, ACoverThatCannotBeDecodedGivesBlackPicturesForTheSound) {
    // The M4A song with the compressed data of its PNG cover overwritten (its size stays).
    std::string bytes = ReadWholeFile(TestMediaPath(LibraryMedia::kCoverM4a));
    const std::size_t data = bytes.find("IDAT");
    ASSERT_NE(data, std::string::npos);
    std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(data) + 4,
              bytes.begin() + static_cast<std::ptrdiff_t>(data) + 200, '\xAA');
    const std::string damaged = scratch("damaged_cover.m4a");
    std::ofstream(damaged, std::ios::binary) << bytes;

    const std::string output = scratch("song.flv");
    ASSERT_EQ(convert(damaged, output, ""), "");
    const ReadBackFile made = ReadBack(output);
    ASSERT_EQ(made.count("video"), 1);
    EXPECT_NEAR(made.first("video")->lastSeconds, made.first("audio")->lastSeconds, 0.15);
    EXPECT_TRUE(logged("could not be decoded"));
}

TEST_F(ComponentStreamsTest, ASubtitleTheOutputCannotHoldIsLeftOutWithALogLine) {
    // SubRip as it is: MP4 knows no such track.
    const std::string output = scratch("film.mp4");
    ASSERT_EQ(convert(LibraryMedia::kTwoLanguagesMkv, output, "scodec=copy\n"), "");
    const ReadBackFile made = ReadBack(output);
    EXPECT_EQ(made.count("subtitle"), 0);
    EXPECT_EQ(made.count("video"), 1);
    EXPECT_TRUE(logged("cannot hold it as it is")) << "no log line";
}

TEST_F(ComponentStreamsTest, MetadataOptionsWinOverTheInputsTagsAndChaptersEndWithTheRecording) {
    const std::string output = scratch("film.mkv");
    ASSERT_EQ(convert(LibraryMedia::kTwoLanguagesMkv, output,
                      "map_meta_data=0:0\nmap_chapters=0\nt=1\n", "My own title"),
              "");
    const ReadBackFile made = ReadBack(output);
    EXPECT_EQ(made.tags.at("title"), "My own title");
    // Only the part of the first chapter within the first second.
    EXPECT_EQ(made.chapterTitles, std::vector<std::string>{LibraryMedia::kFilmChapters[0].title});
}

TEST_F(ComponentStreamsTest, ACoverBecomesThePictureCommentOfOggSoundOnly) {
    const std::string ogg = scratch("song.ogg");
    ASSERT_EQ(convert(LibraryMedia::kCoverM4a, ogg, "vn\npicture_comment=0:1\n"), "");
    const ReadBackFile made = ReadBack(ogg);
    ASSERT_EQ(made.count("cover"), 1);
    EXPECT_EQ(made.first("cover")->codec, "png");
    EXPECT_EQ(made.first("cover")->width, LibraryMedia::kM4aCoverWidth);
    component.ClearTasks();

    const std::string wav = scratch("song.wav");
    ASSERT_EQ(convert(LibraryMedia::kCoverM4a, wav, "vn\npicture_comment=0:1\n"), "");
    EXPECT_EQ(ReadBack(wav).count("cover"), 0);
    EXPECT_TRUE(logged("keeps no picture comment"));
}

TEST_F(ComponentStreamsTest, AFailedOutputLeavesNoMapsForTheNextTry) {
    const int index = component.AddInputTask(TestMediaPath(TestMedia::kAviMpeg4Mp3.name));
    ASSERT_EQ(index, 0) << component.LastError;
    TOutputOptions options;
    ResetOutputOptions(options);
    options.ExtraOptions = "map=0:0\nmap=0:1\n";
    EXPECT_FALSE(component.SetTaskOutput(index, scratch("missing/out.avi"), &options));
    ASSERT_TRUE(component.SetTaskOutput(index, scratch("out.avi"), &options))
        << component.LastError;
    component.StartConversion(1);
    ASSERT_TRUE(recorder.waitAllDone(std::chrono::seconds(60)));
    const auto records = recorder.terminationsCopy();
    EXPECT_FALSE(records.front().exception) << records.front().message;
}

} // namespace
