// The job builder over the component with stand-in engines: which row is taken, what a
// failing row shows and what follows, the options a task gets, and output names in a run.
#include "AddFileToFFMPEG.h"
#include "FileListRows.h"
#include "FillComboOutputFormat.h"
#include "component_fakes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// An engine whose input "opens" unless its name contains "bad".
class NamedFakeTask : public FakeTask {
public:
    bool OpenInputFile(const std::string& fileName) override {
        if (fileName.find("bad") != std::string::npos) {
            openedInput = fileName;
            ErrorText = "input refused";
            return false;
        }
        const bool opened = FakeTask::OpenInputFile(fileName);
        // A DVD-style 16:9 picture: 720x576 stored, 1024x576 shown.
        if (fileName.find("anamorphic") != std::string::npos)
            InputPicture = {1024, 576, 16.0f / 9.0f};
        return opened;
    }
};

class RecordingHost : public JobBuilderHost {
public:
    void ResetProgressBar() override {}
    void ArmConvertAgain() override { ++armed; }
    void DisarmConvertAgain() override { ++disarmed; }
    void ShowInformation(const std::string& text) override { messages.push_back(text); }
    void EnableControls() override {}
    void EndOfRun() override { ++endOfRun; }

    int armed = 0;
    int disarmed = 0;
    int endOfRun = 0;
    std::vector<std::string> messages;
};

class JobsBuilderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(component.LoadLibraries("", true)) << component.LastError;
        component.TaskFactory = [this] {
            auto task = std::make_unique<NamedFakeTask>();
            task->turns = 1;
            tasks.push_back(task.get());
            return task;
        };
        folder = fs::temp_directory_path() / ("vidbrisk-builder-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        format.ComboOutputFormat = &formatBox;
        format.Boxes = boxes.Boxes();
        FillFormatBox(format); // FLV first
        format.Boxes.ComboAspectRatio->Select(0);
        OnFormatChange(format);
        builder.Settings.OutputFolder = folder.string();
    }
    void TearDown() override {
        component.ClearTasks();
        fs::remove_all(folder);
    }
    void addRow(const std::string& caption, bool checked = true,
                const std::string& videoSize = "320x240") {
        FileRowTexts texts;
        texts.VideoSize = videoSize;
        list.AddRow(caption, texts);
        list.Rows().back().Checked = checked;
    }
    std::string path(const std::string& name) const { return (folder / name).string(); }
    TFFmpeg& lastTask() { return component.Tasks[component.Tasks.Count() - 1]; }

    TFFmpegVCL component;
    std::vector<NamedFakeTask*> tasks;
    fs::path folder;
    ListSettingsBox formatBox;
    ListSettingsBoxes boxes;
    FormatBoxState format;
    FileListRows list;
    TOutputOptions shared;
    RecordingHost host;
    ConversionJobBuilder builder{component, list, format, shared, host};
};

TEST_F(JobsBuilderTest, CheckedRowsAreTakenInOrderAndAnUncheckedLastRowEndsTheRun) {
    addRow("/media/a.avi");
    addRow("/media/b.avi", false);
    addRow("  /media/c.avi  ");
    addRow("/media/d.avi", false);
    builder.BeginRun();
    builder.ConvertNextFile();
    EXPECT_EQ(builder.CurrentIndex, 0);
    EXPECT_TRUE(builder.TaskStarted());
    EXPECT_EQ(tasks.back()->openedInput, "/media/a.avi");
    EXPECT_EQ(tasks.back()->openedOutput, path("a.flv"));
    EXPECT_EQ(builder.RowOfTask(0), 0);
    EXPECT_FALSE(builder.QueueDone);

    builder.ConvertNextFile();
    EXPECT_EQ(builder.CurrentIndex, 2);
    // The path exactly as given: blanks at either end are part of a file's name.
    EXPECT_EQ(tasks.back()->openedInput, "  /media/c.avi  ");
    EXPECT_FALSE(builder.LastItem);
    EXPECT_EQ(component.Tasks.Count(), 1); // one task at a time

    builder.ConvertNextFile();
    EXPECT_EQ(builder.CurrentIndex, 3);
    EXPECT_TRUE(builder.LastItem);
    EXPECT_TRUE(builder.QueueDone);
    EXPECT_FALSE(builder.TaskStarted());
    EXPECT_EQ(host.endOfRun, 1);
    EXPECT_EQ(list.SubText(1, FileColumn::Progress), "");
    EXPECT_EQ(component.Tasks.Count(), 0);
}

TEST_F(JobsBuilderTest, FailedRowShowsFailAndTheRunGoesOnOrEnds) {
    addRow("/media/bad.avi");
    addRow("/media/good.avi");
    addRow("/media/bad2.avi");
    builder.BeginRun();
    builder.ConvertNextFile();
    EXPECT_EQ(list.SubText(0, FileColumn::Progress), "Fail");
    EXPECT_EQ(builder.FailureOfRow(0), "input refused");
    EXPECT_FALSE(builder.TaskStarted());
    EXPECT_EQ(host.armed, 1); // the next row comes from the retry timer
    EXPECT_EQ(host.endOfRun, 0);

    builder.ConvertNextFile();
    EXPECT_EQ(builder.CurrentIndex, 1);
    EXPECT_TRUE(builder.TaskStarted());

    builder.ConvertNextFile();
    EXPECT_EQ(list.SubText(2, FileColumn::Progress), "Fail");
    EXPECT_TRUE(builder.QueueDone);
    EXPECT_EQ(host.endOfRun, 1);
    EXPECT_EQ(host.armed, 1);
}

TEST_F(JobsBuilderTest, TaskGetsTheFormatsOptionsVolumeAspectAndExtraOptions) {
    addRow("/media/wide.avi", true, "1280x720");
    addRow("/media/audio.mp3", true, " ");
    builder.Settings.VolumeValue = 150;
    builder.Settings.ExtraOptions = "qscale=4\n";
    builder.BeginRun();
    builder.ConvertNextFile();
    const TOutputOptions& first = lastTask().OutputOptions;
    EXPECT_EQ(first.VideoCodec, "flv");
    EXPECT_EQ(first.AudioCodec, "libmp3lame");
    EXPECT_EQ(first.VideoBitrate, 200000);
    EXPECT_EQ(first.AudioVolume, 150);
    EXPECT_EQ(first.AspectRatio, "1.7778");
    EXPECT_NE(first.ExtraOptions.find("qscale=4"), std::string::npos);

    builder.ConvertNextFile();
    EXPECT_EQ(lastTask().OutputOptions.AspectRatio, "1.3333"); // no video size

    format.Boxes.ComboAspectRatio->Select(2);
    builder.BeginRun();
    builder.ConvertNextFile();
    EXPECT_EQ(lastTask().OutputOptions.AspectRatio, "16:9");
}

TEST_F(JobsBuilderTest, LetterBoxKeepsTheFrameAndShowsThePictureAtItsAspect) {
    addRow("/media/wide.avi", true, "1280x720");
    addRow("/media/audio.mp3", true, " ");
    format.Boxes.ComboAspectRatio->Select(1); // 4:3
    builder.Settings.LetterBox = true;
    builder.BeginRun();
    builder.ConvertNextFile();
    // The picture is taken as 4:3: narrower than its 1280x720 frame, shown with square
    // pixels.
    const TOutputOptions& wide = lastTask().OutputOptions;
    EXPECT_EQ(wide.AspectRatio, "1280:720");
    EXPECT_EQ(wide.FrameSize, "960x720");
    EXPECT_EQ(wide.PadTop, 0);
    EXPECT_EQ(wide.PadBottom, 0);
    EXPECT_EQ(wide.PadLeft, 160);
    EXPECT_EQ(wide.PadRight, 160);

    builder.ConvertNextFile(); // no picture: no bars
    EXPECT_EQ(lastTask().OutputOptions.PadTop, -1);

    // Without letterboxing the frame is shown at 4:3 instead.
    builder.Settings.LetterBox = false;
    builder.BeginRun();
    builder.ConvertNextFile();
    EXPECT_EQ(lastTask().OutputOptions.FrameSize, ""); // the input's own size
    EXPECT_EQ(lastTask().OutputOptions.PadTop, -1);
    EXPECT_EQ(lastTask().OutputOptions.AspectRatio, "4:3");
}

TEST_F(JobsBuilderTest, TheInputsDisplayShapeAndTheDeinterlaceChoiceReachTheTask) {
    // The list shows the stored size; the engine knows the picture's shape.
    addRow("/media/anamorphic.mpg", true, "720x576");
    builder.Settings.Deinterlace = DeinterlaceChoice::Never;
    builder.BeginRun();
    builder.ConvertNextFile();
    EXPECT_EQ(lastTask().OutputOptions.AspectRatio, "1.7778");
    EXPECT_NE(lastTask().OutputOptions.ExtraOptions.find("deinterlace_mode=never"),
              std::string::npos);

    // Letterboxed into a 4:3 frame of its own size, the display shape gets bars.
    format.Boxes.ComboAspectRatio->Select(0);
    format.Boxes.ComboVideoSize->Select(10); // 320 x 240
    builder.Settings.LetterBox = true;
    builder.Settings.Deinterlace = DeinterlaceChoice::Auto;
    builder.BeginRun();
    builder.ConvertNextFile();
    const TOutputOptions& boxed = lastTask().OutputOptions;
    EXPECT_EQ(boxed.FrameSize, "320x180");
    EXPECT_EQ(boxed.PadTop + boxed.PadBottom, 60);
    EXPECT_NE(boxed.ExtraOptions.find("deinterlace_mode=auto"), std::string::npos);
}

TEST_F(JobsBuilderTest, SettingTextWithoutANumberFailsTheRowWithoutStartingATask) {
    addRow("/media/a.avi");
    format.Boxes.ComboVideoBitrate->Append("fast Kbps");
    format.Boxes.ComboVideoBitrate->Select(format.Boxes.ComboVideoBitrate->Count() - 1);
    builder.BeginRun();
    builder.ConvertNextFile();
    EXPECT_EQ(host.messages, std::vector<std::string>{"Fail to add file to list!"});
    EXPECT_EQ(list.SubText(0, FileColumn::Progress), "Fail");
    EXPECT_FALSE(builder.TaskStarted());
    EXPECT_EQ(component.Tasks.Count(), 0);
    EXPECT_EQ(host.endOfRun, 1);
}

TEST_F(JobsBuilderTest, OverwriteNeverNamesAnInputOrAnotherOutputOfTheRun) {
    std::ofstream(path("clip.flv")) << "input";
    std::ofstream(path("old.flv")) << "old output";
    fs::create_directories(folder / "a");
    fs::create_directories(folder / "b");
    addRow(path("clip.flv"));
    addRow(path("a/clip.avi"));
    addRow(path("b/clip.avi"));
    addRow(path("a/old.avi"));
    builder.Settings.Overwrite = true;
    builder.BeginRun();
    EXPECT_EQ(builder.QueueCheckedRows(), 4);
    EXPECT_EQ(builder.OutputOfRow(0), path("clip-1.flv"));
    EXPECT_EQ(builder.OutputOfRow(1), path("clip-2.flv"));
    EXPECT_EQ(builder.OutputOfRow(2), path("clip-3.flv"));
    EXPECT_EQ(builder.OutputOfRow(3), path("old.flv")); // an old output is replaced
    for (int task = 0; task < 4; ++task)
        EXPECT_EQ(builder.RowOfTask(task), task);
}

TEST_F(JobsBuilderTest, WithoutOverwriteOutputsOfTheRunCountAsExisting) {
    addRow("/media/clip.avi");
    addRow("/other/clip.avi");
    builder.BeginRun();
    EXPECT_EQ(builder.QueueCheckedRows(), 2);
    EXPECT_EQ(builder.OutputOfRow(0), path("clip.flv"));
    EXPECT_EQ(builder.OutputOfRow(1), path("clip-1.flv"));
}

TEST_F(JobsBuilderTest, CheckedRowsAreQueuedInBatchesOfAtMostTheGivenSize) {
    for (const char* name : {"a", "b", "c", "d", "e"})
        addRow(std::string("/media/") + name + ".avi", std::string(name) != "d");
    addRow("/media/f.avi", false);
    builder.BeginRun();
    EXPECT_EQ(builder.QueueCheckedRows(2), 2);
    EXPECT_FALSE(builder.QueueDone);
    EXPECT_EQ(builder.RowOfTask(1), 1);
    EXPECT_EQ(builder.QueueCheckedRows(2), 2); // c and e; d is unchecked
    EXPECT_EQ(builder.RowOfTask(0), 2);
    EXPECT_EQ(builder.RowOfTask(1), 4);
    EXPECT_TRUE(builder.QueueDone); // only the unchecked f is left
}

} // namespace
