// The window's conversion run offscreen: Convert's refusals, rows converted one after the
// other through the retry timer, failing and unchecked rows, Stop answered either way, the
// progress columns, the controls locked during a run, the close query, rows that keep their
// exact paths and a finished row's note, and several files at once.
#include "EventLoopWait.h"
#include "LibraryMedia.h"
#include "OutputStreams.h"
#include "StreamReadBack.h"
#include "TaskLockGuard.h"
#include "TestMedia.h"
#include "window_support.h"
#include "Unit4.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

QString clip(const TestClip& c) {
    return QString::fromStdString(TestMediaPath(c.name));
}

const QString kCompleted = QStringLiteral("All Conversions Completed");

// Tasks of the component whose conversion is under way.
int runningTasks(TFFmpegVCL& component) {
    const TaskLockGuard lock(component.TaskLock);
    int running = 0;
    for (int index = 0; index < component.Tasks.Count(); ++index)
        running += component.Tasks[index].Running ? 1 : 0;
    return running;
}

class WindowRun : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(output.isValid());
        ASSERT_TRUE(w.create().FormCreate());
        w.form->show();
        QApplication::processEvents();
        form().EditOutputFolder->setText(output.path());
    }
    void TearDown() override {
        // A run that a failed expectation left going ends before the window goes.
        if (w.form)
            w.form->FFmpegVCL1.StopAll();
    }
    TForm1& form() { return *w.form; }
    FileListView& list() { return *w.form->ListView1; }
    std::string progress(int row) { return list().SubText(row, FileColumn::Progress); }

    // End-of-run messages: "All Conversions Completed" and the counts on a line below.
    QStringList endMessages() {
        return w.messages.texts().filter(QRegularExpression("^" + kCompleted + "\n"));
    }
    int completions() { return static_cast<int>(endMessages().size()); }
    // The last message's text and whether it carried the warning icon.
    std::pair<QString, bool> lastMessage() {
        const auto& shown = w.messages.shown();
        if (shown.empty())
            return {QString(), false};
        return {shown.back().text, shown.back().kind == ScriptedMessageBox::Shown::Kind::Warning};
    }
    bool runEnded() { return completions() > 0 && !form().Converting; }

    QTemporaryDir output;
    ScriptedWindow w;
};

TEST_F(WindowRun, ConvertRefusesAnEmptyListOrAMissingFolder) {
    form().ButtonConvert->click();
    EXPECT_EQ(w.messages.texts(), QStringList{"Please Add Files To Convert!"});
    EXPECT_EQ(w.folders.calls(), 0);

    list().addRow(clip(TestMedia::kAviMpeg4Mp3), rowTexts("FLV", "Done"));
    w.messages.clear();
    form().EditOutputFolder->setText(QString());
    form().ButtonConvert->click();
    EXPECT_EQ(w.messages.texts(), QStringList{"Please select an output folder!"});
    EXPECT_EQ(w.folders.calls(), 1);
    // The earlier run's state stays when nothing starts.
    EXPECT_EQ(progress(0), "Done");

    w.messages.clear();
    const QString missing = output.path() + QStringLiteral("/gone ");
    form().EditOutputFolder->setText(missing);
    form().ButtonConvert->click();
    EXPECT_EQ(w.messages.texts(), QStringList{QStringLiteral("The output folder \"") + missing +
                                              "\"\n\rdoes not exist or has been deleted!\n\r"
                                              "Please choose a new output folder."});
    EXPECT_EQ(w.folders.calls(), 2);
    EXPECT_FALSE(form().Converting);
    EXPECT_TRUE(form().ButtonConvert->isEnabled());
    // The folder that is gone is not kept (nor saved) once the browser is cancelled.
    EXPECT_EQ(form().EditOutputFolder->text(), "");

    // Blanks around an existing folder are allowed.
    w.messages.clear();
    form().EditOutputFolder->setText(QStringLiteral("  ") + output.path() + QStringLiteral(" "));
    form().ButtonConvert->click();
    EXPECT_TRUE(form().Converting);
    ASSERT_TRUE(waitForEvents([&] { return runEnded(); }));
    EXPECT_EQ(progress(0), "Done");
}

TEST_F(WindowRun, CheckedRowsConvertOneAfterTheOtherAndTheRunEndsOnce) {
    form().AddFiles({clip(TestMedia::kAviMpeg4Mp3), clip(TestMedia::kVideoOnly),
                     clip(TestMedia::kMp4H264Aac), clip(TestMedia::kMp3Audio)});
    ASSERT_EQ(list().RowCount(), 4);
    list().setChecked(1, false);
    // Frame counts of an earlier run go from the rows this run converts, and only from them.
    list().SetSubText(0, FileColumn::Frames, "99");
    list().SetSubText(1, FileColumn::Frames, "98");
    form().ButtonConvert->click();
    ASSERT_TRUE(form().Converting);
    EXPECT_EQ(list().SubText(0, FileColumn::Frames), "");
    EXPECT_EQ(list().SubText(1, FileColumn::Frames), "98");
    // Everything that ignores input during the run looks it; Stop, Help and the check
    // boxes work.
    const std::vector<QWidget*> locked = {
        form().ButtonAddFile,    form().ButtonClear,       form().ButtonRemove,
        form().ButtonConvert,    form().ComboOutputFormat, form().ComboVideoSize,
        form().ComboAudioCodec,  form().TrackBar1,         form().ButtonBrowseForFolder,
        form().EditOutputFolder, form().ButtonPlay,        form().ButtonPause,
        form().ButtonStop};
    for (QWidget* control : locked)
        EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
    QStringList menusEnabled;
    for (QAction* entry : form().menuBar()->actions())
        if (entry->isEnabled())
            menusEnabled << entry->text().remove('&');
    EXPECT_EQ(menusEnabled, QStringList{"Help"});
    EXPECT_TRUE(form().ButtonStopConvert->isEnabled());
    QTest::keyClick(&form(), Qt::Key_F1);
    EXPECT_EQ(w.help.opens(), 1);

    // Rows finish in list order: a row is never "Done" before the one above it.
    std::vector<std::string> seen;
    QStringList status;
    ASSERT_TRUE(waitForEvents([&] {
        std::string states;
        for (int row : {0, 2, 3})
            states += progress(row) == "Done" ? 'D' : '.';
        if (seen.empty() || seen.back() != states)
            seen.push_back(states);
        if (status.isEmpty() || status.back() != form().StatusPanels[0]->text())
            status << form().StatusPanels[0]->text();
        return runEnded();
    }));
    EXPECT_EQ(seen.back(), "DDD");
    // The first panel counts the rows taken among those checked, then says "Ready" again.
    EXPECT_EQ(status, (QStringList{"Converting 1 of 3", "Converting 2 of 3", "Converting 3 of 3",
                                   "Ready"}));
    for (const std::string& states : seen)
        EXPECT_TRUE(states == "..." || states == "D.." || states == "DD." || states == "DDD")
            << states;
    EXPECT_EQ(progress(1), "");
    EXPECT_EQ(completions(), 1);
    EXPECT_EQ(lastMessage(), std::make_pair(kCompleted + "\n3 done", false));
    EXPECT_EQ(form().ProgressBar1->value(), 0);
    EXPECT_TRUE(form().StatusPanels[1]->text().isEmpty());
    EXPECT_TRUE(form().ButtonConvert->isEnabled());
    EXPECT_FALSE(form().ButtonStopConvert->isEnabled());
    for (QAction* entry : form().menuBar()->actions())
        EXPECT_TRUE(entry->isEnabled());

    const QStringList made = QDir(output.path()).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(made, (QStringList{"audio_only.flv", "h264_aac.flv", "mpeg4_mp3.flv"}));
    for (const QString& name : made)
        EXPECT_GT(QFileInfo(output.path() + "/" + name).size(), 1000) << name.toStdString();
    EXPECT_TRUE(form().FFmpegVCL1.Tasks.Count() == 0);

    // Nothing more arrives after the run (the retry timer would tick within 400 ms).
    QElapsedTimer quiet;
    quiet.start();
    waitForEvents([&] { return quiet.elapsed() > 600; });
    EXPECT_EQ(completions(), 1);
}

TEST_F(WindowRun, FailingRowsShowFailAndTheNextRowStarts) {
    // A file that is not media fails before its task starts; a truncated one may fail in its
    // task. Either way the next checked row is converted.
    list().addRow(clip(TestMedia::kNotMedia), FileRowTexts{});
    form().AddFiles({clip(TestMedia::kAviMpeg4Mp3)});
    list().addRow(clip(TestMedia::kNotMedia), FileRowTexts{});
    form().ButtonConvert->click();
    ASSERT_TRUE(waitForEvents([&] { return runEnded(); }));
    EXPECT_EQ(progress(0), "Fail");
    EXPECT_EQ(progress(1), "Done");
    EXPECT_EQ(progress(2), "Fail");
    EXPECT_FALSE(list().cellToolTip(0, FileColumn::Progress).isEmpty());
    EXPECT_TRUE(list().cellToolTip(1, FileColumn::Progress).isEmpty());
    // The last row failed at once: the message warns and counts, the status bar is back.
    EXPECT_EQ(completions(), 1);
    EXPECT_EQ(lastMessage(), std::make_pair(kCompleted + "\n1 done, 2 failed", true));
    EXPECT_EQ(form().StatusPanels[0]->text(), "Ready");
    EXPECT_TRUE(QFileInfo::exists(output.path() + "/mpeg4_mp3.flv"));
    EXPECT_FALSE(QFileInfo::exists(output.path() + "/not_media.flv"));
}

TEST_F(WindowRun, PathsAreKeptExactlyAndADoneRowShowsItsNote) {
    // "clip.avi " is no media file: the "clip.avi" beside it must not be converted in its
    // place.
    const QString blank = output.path() + "/in/clip.avi ";
    QDir().mkpath(output.path() + "/in");
    QFile(clip(TestMedia::kAviMpeg4Mp3)).copy(output.path() + "/in/clip.avi");
    QFile text(blank);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not media");
    text.close();
    list().addRow(blank, FileRowTexts{});
    form().ButtonConvert->click();
    ASSERT_TRUE(waitForEvents([&] { return runEnded(); }));
    EXPECT_EQ(list().Caption(0), blank.toStdString());
    EXPECT_EQ(progress(0), "Fail");
    EXPECT_FALSE(QFileInfo::exists(output.path() + "/clip.flv"));

    // A finished file may carry a note (its output is clearly shorter than its input).
    const std::string note = "out/x.flv: the output lasts 0.7 s of the input's 3.0 s";
    form().jobBuilder().CurrentIndex = 0;
    form().jobBuilder().QueueDone = true;
    form().FFmpegVCL1Terminate(0, true, false, note);
    EXPECT_EQ(progress(0), "Done");
    EXPECT_EQ(list().cellToolTip(0, FileColumn::Progress).toStdString(), note);
}

TEST_F(WindowRun, LetterBoxKeepsTheOutputFrameWithBarsAboveAndBelow) {
    form().AddFiles({clip(TestMedia::kMp4H264Aac)}); // 640x480
    form().Form4->ComboLetterBox->setCurrentIndex(1);
    // A 16:9 picture stored in 640x480: shown 640x360 with 60 rows of black above and below.
    form().ComboAspectRatio->setCurrentIndex(2);
    form().ButtonConvert->click();
    ASSERT_TRUE(waitForEvents([&] { return runEnded(); }));
    ASSERT_EQ(progress(0), "Done");
    const std::string converted = output.path().toStdString() + "/h264_aac.flv";
    const OutputStreams streams = ReadOutputStreams(converted);
    EXPECT_EQ(streams.width, 640) << streams;
    EXPECT_EQ(streams.height, 480) << streams;
    // The clip's picture is nowhere darker than 32; the bars are black.
    const auto top = MeanLumaOfRows(converted, 4, 50);
    const auto middle = MeanLumaOfRows(converted, 200, 80);
    const auto bottom = MeanLumaOfRows(converted, 426, 50);
    ASSERT_TRUE(top && middle && bottom);
    EXPECT_LT(*top, 24.0);
    EXPECT_LT(*bottom, 24.0);
    EXPECT_GT(*middle, 40.0);
}

TEST_F(WindowRun, StopAnsweredNoGoesOnAndYesAbortsAtOnce) {
    form().AddFiles({clip(TestMedia::kMp4H264Aac), clip(TestMedia::kAviMpeg4Mp3)});
    w.messages.scriptAnswer(false);
    form().ButtonConvert->click();
    form().ButtonStopConvert->click();
    EXPECT_EQ(w.messages.texts(), QStringList{"Stop all conversions?"});
    EXPECT_TRUE(form().Converting);
    EXPECT_FALSE(form().ButtonConvert->isEnabled());
    ASSERT_TRUE(waitForEvents([&] { return runEnded(); }));
    EXPECT_EQ(progress(0), "Done");
    EXPECT_EQ(progress(1), "Done");

    w.messages.clear();
    w.messages.scriptAnswer(true);
    form().ButtonConvert->click();
    form().ButtonStopConvert->click();
    // Controls come back at once; the stopped task's events end the run afterwards.
    EXPECT_FALSE(form().Converting);
    EXPECT_TRUE(form().ButtonConvert->isEnabled());
    EXPECT_TRUE(form().Aborted);
    EXPECT_EQ(w.messages.texts(), QStringList{"Stop all conversions?"});
    ASSERT_TRUE(waitForEvents([&] { return completions() == 1; }));
    EXPECT_EQ(progress(0), "Abort");
    EXPECT_EQ(progress(1), "");
    EXPECT_EQ(
        w.messages.texts(),
        (QStringList{"Stop all conversions?", kCompleted + "\nstopped: 1 stopped, 1 not started"}));
    EXPECT_EQ(w.messages.shown().front().title, "Stop Conversions");
    EXPECT_EQ(w.messages.shown().back().kind, ScriptedMessageBox::Shown::Kind::Warning);
    EXPECT_EQ(form().StatusPanels[0]->text(), "Ready");
}

TEST_F(WindowRun, StopBetweenTwoRowsEndsTheRunAtOnce) {
    form().AddFiles({clip(TestMedia::kAviMpeg4Mp3), clip(TestMedia::kMp3Audio)});
    w.messages.scriptAnswer(true);
    form().ButtonConvert->click();
    // The first row is done and the next one not yet taken.
    ASSERT_TRUE(waitForEvents([&] { return form().TimerConvertAgain->isActive(); }));
    form().ButtonStopConvert->click();
    EXPECT_EQ(w.messages.texts(), (QStringList{"Stop all conversions?",
                                               kCompleted + "\nstopped: 1 done, 1 not started"}));
    EXPECT_EQ(progress(0), "Done");
    EXPECT_EQ(progress(1), "");
    EXPECT_EQ(form().StatusPanels[0]->text(), "Ready");
    EXPECT_TRUE(form().StatusPanels[1]->text().isEmpty());
    // Nothing of the run is left to arrive.
    QElapsedTimer quiet;
    quiet.start();
    waitForEvents([&] { return quiet.elapsed() > 600; });
    EXPECT_EQ(completions(), 1);
    EXPECT_EQ(progress(1), "");
}

TEST_F(WindowRun, TwoFilesAtOnceRunTogetherAndKeepTheirNamesApart) {
    if (QThread::idealThreadCount() < 2)
        GTEST_SKIP() << "one core: at most one file at once";
    // Two inputs of the same name from different folders, converted at the same time.
    for (const char* folder : {"/a", "/b"}) {
        QDir().mkpath(output.path() + folder);
        ASSERT_TRUE(QFile::copy(clip(TestMedia::kAviMpeg4Mp3),
                                output.path() + folder + QStringLiteral("/clip.avi")));
    }
    form().AddFiles({output.path() + "/a/clip.avi", output.path() + "/b/clip.avi",
                     clip(TestMedia::kMp4H264Aac)});
    ASSERT_EQ(list().RowCount(), 3);
    form().Form4->SpinFilesAtOnce->setValue(2);
    form().ButtonConvert->click();
    ASSERT_TRUE(form().Converting);
    int mostRunning = 0;
    QStringList status;
    ASSERT_TRUE(waitForEvents([&] {
        mostRunning = std::max(mostRunning, runningTasks(form().FFmpegVCL1));
        if (status.isEmpty() || status.back() != form().StatusPanels[0]->text())
            status << form().StatusPanels[0]->text();
        return runEnded();
    }));
    EXPECT_EQ(mostRunning, 2);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(progress(row), "Done") << row;
    // The first panel counts the rows ended and running.
    EXPECT_EQ(status, (QStringList{"Converting 2 of 3", "Converting 3 of 3", "Ready"}));
    EXPECT_EQ(completions(), 1);
    EXPECT_EQ(form().ProgressBar1->value(), 0);
    const QStringList made = QDir(output.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    EXPECT_EQ(made, (QStringList{"clip-1.flv", "clip.flv", "h264_aac.flv"}));
    for (const QString& name : made)
        EXPECT_GT(QFileInfo(output.path() + "/" + name).size(), 1000) << name.toStdString();
}

TEST_F(WindowRun, StopEndsEveryFileRunningAtOnce) {
    if (QThread::idealThreadCount() < 2)
        GTEST_SKIP() << "one core: at most one file at once";
    form().AddFiles(
        {clip(TestMedia::kMp4H264Aac), clip(TestMedia::kAviMpeg4Mp3), clip(TestMedia::kVideoOnly)});
    form().Form4->SpinFilesAtOnce->setValue(2);
    w.messages.scriptAnswer(true);
    form().ButtonConvert->click();
    EXPECT_EQ(runningTasks(form().FFmpegVCL1), 2);
    form().ButtonStopConvert->click();
    EXPECT_FALSE(form().Converting);
    EXPECT_TRUE(form().ButtonConvert->isEnabled());
    ASSERT_TRUE(waitForEvents([&] { return completions() == 1; }));
    EXPECT_EQ(
        w.messages.texts(),
        (QStringList{"Stop all conversions?", kCompleted + "\nstopped: 2 stopped, 1 not started"}));
    // Both running rows stopped; the row still waiting for its turn was never reached.
    EXPECT_EQ(progress(0), "Abort");
    EXPECT_EQ(progress(1), "Abort");
    EXPECT_EQ(progress(2), "");
    EXPECT_EQ(runningTasks(form().FFmpegVCL1), 0);
    // Nothing of the row that never started, and no part file left behind.
    const QStringList left = QDir(output.path()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_FALSE(left.contains("video_only.flv"));
    EXPECT_TRUE(left.filter(".part").isEmpty()) << left.join(' ').toStdString();
}

TEST_F(WindowRun, StopWhenIdleAsksNothing) {
    // Disabled while idle; were it reached anyway, it would ask nothing.
    EXPECT_FALSE(form().ButtonStopConvert->isEnabled());
    form().ButtonStopConvertClick();
    EXPECT_TRUE(w.messages.texts().isEmpty());
    EXPECT_TRUE(form().ButtonConvert->isEnabled());
    EXPECT_FALSE(form().Converting);
}

TEST_F(WindowRun, ProgressColumnsAndStatusBar) {
    list().addRow("/a.avi", FileRowTexts{});
    list().addRow("/b.avi", FileRowTexts{});
    form().jobBuilder().CurrentIndex = 1;
    form().Converting = true;
    struct Case {
        int32_t frame;
        int64_t currentMs, totalMs, bytes;
        std::string progress, frames;
        int bar;
        std::string size;
    };
    const Case cases[] = {
        {12, 1500, 3000, 143219, "50%", "12", 50, "143.2 kB"},
        // 150 % is shown as 100 %.
        {-1, 4500, 3000, 1550000, "100%", " ", 100, "1.6 MB"},
        // The bar of a row never moves back, its column shows what was reported.
        {0, 1, 3000, 0, "0%", "0", 100, "0.0 kB"},
        {0, 1, 3000, 2049999999, "0%", "0", 100, "2.0 GB"},
        {0, 1, 3000, 999960, "0%", "0", 100, "1.0 MB"},
    };
    for (const Case& c : cases) {
        form().FFmpegVCL1Progress(0, c.frame, 25, c.currentMs, 2, 300, c.bytes, c.totalMs);
        EXPECT_EQ(progress(1), c.progress);
        EXPECT_EQ(list().SubText(1, FileColumn::Frames), c.frames);
        EXPECT_EQ(form().ProgressBar1->value(), c.bar);
        EXPECT_EQ(form().StatusPanels[1]->text().toStdString(), "File Size : " + c.size);
    }
    EXPECT_EQ(progress(0), "");
    // A new row starts its bar afresh; long outputs do not overflow the percentage.
    form().ProgressBar1->setValue(0);
    form().FFmpegVCL1Progress(0, 7, 25, 40000000, 2, 300, 1, 80000000);
    EXPECT_EQ(progress(1), "50%");
    EXPECT_EQ(form().ProgressBar1->value(), 50);
    // After Stop the reports still queued do not move the bar off 0.
    form().Converting = false;
    form().ProgressBar1->setValue(0);
    form().FFmpegVCL1Progress(0, 8, 25, 60000000, 2, 300, 1, 80000000);
    EXPECT_EQ(form().ProgressBar1->value(), 0);
    // A task index is not a row: the row is the one taken last.
    form().jobBuilder().CurrentIndex = 5;
    form().FFmpegVCL1Progress(1, 3, 25, 100, 2, 300, 1, 3000);
    EXPECT_EQ(list().RowCount(), 2);
}

TEST_F(WindowRun, SpeedAndTimeLeft) {
    EXPECT_EQ(SpeedText(3000, 1500, 6000), "2.00x, 00:00:03 left");
    EXPECT_EQ(SpeedText(1500, 1000, 0), "1.50x");
    // Too early, or nothing converted yet: no figure rather than a wild one.
    EXPECT_EQ(SpeedText(3000, 100, 6000), "");
    EXPECT_EQ(SpeedText(0, 2000, 6000), "");
}

TEST_F(WindowRun, ARunThatEndsUnseenIsNotified) {
    form().AddFiles({clip(TestMedia::kAviMpeg4Mp3), clip(TestMedia::kNotMedia)});
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(waitForEvents([&] { return other.isActiveWindow(); }));
    form().ButtonConvert->click();
    ASSERT_TRUE(waitForEvents([&] { return runEnded(); }));
    EXPECT_EQ(w.notifications, QStringList{"All Conversions Completed|1 done, 1 failed"});
    // Seen by the user: no notification.
    other.hide();
    form().activateWindow();
    ASSERT_TRUE(waitForEvents([&] { return form().isActiveWindow(); }));
    w.messages.clear();
    form().ButtonConvert->click();
    ASSERT_TRUE(waitForEvents([&] { return runEnded(); }));
    EXPECT_EQ(w.notifications.size(), 1);
}

TEST_F(WindowRun, CloseIsRefusedDuringARunAndDetachesTheEventsAfter) {
    form().AddFiles({clip(TestMedia::kAviMpeg4Mp3)});
    form().ButtonConvert->click();
    ASSERT_TRUE(form().Converting);
    // Answered "Keep converting" (the scripted No).
    EXPECT_FALSE(form().close());
    EXPECT_TRUE(form().isVisible());
    EXPECT_EQ(w.messages.texts(), QStringList{"A conversion is running. Stop it and quit?"});
    w.messages.clear();
    ASSERT_TRUE(waitForEvents([&] { return runEnded(); }));
    EXPECT_TRUE(form().close());
    EXPECT_FALSE(form().FFmpegVCL1.OnProgress);
    EXPECT_FALSE(form().FFmpegVCL1.OnTerminate);
    EXPECT_EQ(w.exitCount, 0);
}

TEST_F(WindowRun, GoConvertClicksConvert) {
    QAction* goConvert = form().ActionGoConvert;
    ASSERT_NE(goConvert, nullptr);
    EXPECT_EQ(goConvert->text().remove('&'), "Go Convert");
    goConvert->trigger();
    EXPECT_EQ(w.messages.texts(), QStringList{"Please Add Files To Convert!"});
}

} // namespace

TEST_F(WindowRun, StreamChoicesOfTheOptionsDialogShapeTheOutput) {
    form().AddFiles({QString::fromStdString(TestMediaPath(LibraryMedia::kTwoLanguagesMkv))});
    ASSERT_EQ(list().RowCount(), 1);
    const int mkv =
        form().ComboOutputFormat->findText(QStringLiteral("MKV - Matroska Video (*.mkv)"));
    ASSERT_GE(mkv, 0);
    form().ComboOutputFormat->setCurrentIndex(mkv);
    form().ComboOutputFormatChange();
    // In the dialog the user steps each list to its second entry with the keyboard.
    TForm4& dialog = *form().Form4;
    dialog.show();
    for (QComboBox* box : {dialog.ComboSubtitles, dialog.ComboAudioTracks}) {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Down);
    }
    EXPECT_EQ(dialog.ComboSubtitles->currentText(), "Leave out");
    EXPECT_EQ(dialog.ComboAudioTracks->currentText(), "Default only");
    dialog.ButtonDone->click();
    form().ButtonConvert->click();
    ASSERT_TRUE(waitForEvents([&] { return runEnded(); }));
    ASSERT_EQ(progress(0), "Done") << list().cellToolTip(0, FileColumn::Progress).toStdString();
    const ReadBackFile made = ReadBack(output.path().toStdString() + "/two_languages.mkv");
    EXPECT_EQ(made.count("video"), 1);
    EXPECT_EQ(made.count("audio"), 1);
    EXPECT_EQ(made.count("subtitle"), 0);
}
