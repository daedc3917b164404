// The file list's intake offscreen: generated clips probed into rows, "Error" rows, dialog
// order, dropped files, and the Adding and Converting guards of Add, Remove and Clear.
#include "TestMedia.h"
#include "window_support.h"

#include <QMenu>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

QString clip(const TestClip& c) {
    return QString::fromStdString(TestMediaPath(c.name));
}

struct Shown {
    std::string videoSize, frameRate, duration, output, progress;
};

Shown shownTexts(TForm1& form, int row) {
    const FileListView& list = *form.ListView1;
    return {list.SubText(row, FileColumn::VideoSize), list.SubText(row, FileColumn::FrameRate),
            list.SubText(row, FileColumn::Duration), list.SubText(row, FileColumn::Output),
            list.SubText(row, FileColumn::Progress)};
}

class WindowIntake : public ShownWindowTest {};

TEST_F(WindowIntake, GeneratedClipsGiveTheirRowTexts) {
    struct Case {
        TestClip clip;
        Shown expected;
    };
    const Case cases[] = {
        {TestMedia::kAviMpeg4Mp3, {"320x240", "25", "00:00:03", "FLV", ""}},
        {TestMedia::kMp4H264Aac, {"640x480", "29.97", "00:00:03", "FLV", ""}},
        {TestMedia::kMp3Audio, {" ", " ", "00:00:03", "FLV", ""}},
        {TestMedia::kAudioFirst, {"176x144", "25", "00:00:02", "FLV", ""}},
        {TestMedia::kNoDuration, {"320x240", "25", "Unknown", "FLV", ""}},
        {TestMedia::kNotMedia, {"", "", "", "", "Error"}},
    };
    for (const Case& c : cases)
        w.chosenFiles << clip(c.clip);
    form().ButtonAddFile->click();
    EXPECT_EQ(w.dialogCount, 1);
    EXPECT_TRUE(w.dialogFilter.startsWith("All Supported Files ("));
    ASSERT_EQ(form().ListView1->RowCount(), static_cast<int>(std::size(cases)));
    for (int row = 0; row < form().ListView1->RowCount(); ++row) {
        SCOPED_TRACE(cases[row].clip.name);
        EXPECT_EQ(form().ListView1->Caption(row), TestMediaPath(cases[row].clip.name));
        EXPECT_TRUE(form().ListView1->Checked(row));
        const Shown shown = shownTexts(form(), row);
        const Shown& expected = cases[row].expected;
        EXPECT_EQ(shown.videoSize, expected.videoSize);
        EXPECT_EQ(shown.frameRate, expected.frameRate);
        EXPECT_EQ(shown.duration, expected.duration);
        EXPECT_EQ(shown.output, expected.output);
        EXPECT_EQ(shown.progress, expected.progress);
        EXPECT_EQ(form().ListView1->SubText(row, FileColumn::Frames), "");
        EXPECT_EQ(form().ListView1->SubText(row, FileColumn::Hidden), "");
    }
    EXPECT_FALSE(form().Adding);
}

TEST_F(WindowIntake, CancelAddsNothingKeepsTheStatesAndStopsPreview) {
    form().ListView1->addRow("/x.avi", rowTexts("", "Done"));
    form().PreviewPaused = true;
    form().ButtonAddFile->click(); // cancelled: no files
    EXPECT_EQ(form().ListView1->RowCount(), 1);
    EXPECT_EQ(form().ListView1->SubText(0, FileColumn::Progress), "Done");
    EXPECT_FALSE(form().PreviewPaused);
    EXPECT_TRUE(w.player.calls().contains("Stop"));
}

TEST_F(WindowIntake, AddAndClearDoNothingWhileConverting) {
    form().ListView1->addRow("/x.avi", rowTexts("", "45%"));
    form().Converting = true;
    w.chosenFiles << clip(TestMedia::kAviMpeg4Mp3);
    form().ButtonAddFile->click();
    form().ButtonClear->click();
    EXPECT_EQ(w.dialogCount, 0);
    ASSERT_EQ(form().ListView1->RowCount(), 1);
    EXPECT_EQ(form().ListView1->SubText(0, FileColumn::Progress), "45%");
    // Dropped files are refused as well.
    form().ListView1->onFilesDropped({clip(TestMedia::kMp3Audio)});
    EXPECT_EQ(form().ListView1->RowCount(), 1);
}

TEST_F(WindowIntake, RemoveAndClearWaitForTheIntake) {
    w.chosenFiles << clip(TestMedia::kAviMpeg4Mp3) << clip(TestMedia::kMp3Audio)
                  << clip(TestMedia::kVideoOnly);
    // Runs while the intake lets the window work between two files.
    bool triedDuringIntake = false;
    QTimer::singleShot(0, &form(), [&] {
        triedDuringIntake = form().Adding;
        form().ListView1->setCurrentItem(form().ListView1->topLevelItem(0));
        form().ButtonRemove->click();
        form().ButtonClear->click();
        form().ButtonAddFile->click(); // a second intake is not started
    });
    form().ButtonAddFile->click();
    ASSERT_TRUE(triedDuringIntake);
    EXPECT_EQ(w.dialogCount, 1);
    ASSERT_EQ(form().ListView1->RowCount(), 3);
    EXPECT_EQ(form().ListView1->Caption(0), TestMediaPath(TestMedia::kAviMpeg4Mp3.name));

    // After the intake both work.
    form().ListView1->setCurrentItem(form().ListView1->topLevelItem(1));
    form().ButtonRemove->click();
    ASSERT_EQ(form().ListView1->RowCount(), 2);
    EXPECT_EQ(form().ListView1->Caption(1), TestMediaPath(TestMedia::kVideoOnly.name));
    w.messages.scriptAnswer(true); // rows not converted yet: Clear asks first
    form().ButtonClear->click();
    EXPECT_EQ(form().ListView1->RowCount(), 0);
}

TEST_F(WindowIntake, ContextMenuEntriesIgnoreTheGuards) {
    for (const char* name : {"/a.avi", "/b.avi", "/c.avi"})
        form().ListView1->addRow(name, rowTexts("", ""));
    const QList<QAction*> entries = form().PopupMenu1->actions();
    entries[1]->trigger(); // Uncheck All Items
    for (int row = 0; row < 3; ++row)
        EXPECT_FALSE(form().ListView1->Checked(row));
    entries[0]->trigger(); // Check All Items
    for (int row = 0; row < 3; ++row)
        EXPECT_TRUE(form().ListView1->Checked(row));

    form().Adding = true;
    form().ListView1->setCurrentItem(form().ListView1->topLevelItem(1));
    form().ButtonRemove->click();
    EXPECT_EQ(form().ListView1->RowCount(), 3);
    entries[2]->trigger(); // Remove Selected Items
    ASSERT_EQ(form().ListView1->RowCount(), 2);
    EXPECT_EQ(form().ListView1->Caption(1), "/c.avi");
    entries[3]->trigger(); // Remove All Items
    EXPECT_EQ(form().ListView1->RowCount(), 0);
}

TEST_F(WindowIntake, DroppedFilesGoThroughTheIntakeInOrder) {
    form().ListView1->addRow("/old.avi", rowTexts("", "Done"));
    form().ListView1->onFilesDropped({clip(TestMedia::kVideoOnly), clip(TestMedia::kNotMedia)});
    EXPECT_EQ(w.dialogCount, 0);
    ASSERT_EQ(form().ListView1->RowCount(), 3);
    // The row already there keeps its state until it is converted again.
    EXPECT_EQ(form().ListView1->SubText(0, FileColumn::Progress), "Done");
    EXPECT_EQ(form().ListView1->SubText(1, FileColumn::VideoSize), "320x240");
    EXPECT_EQ(form().ListView1->SubText(2, FileColumn::Progress), "Error");
}

} // namespace
