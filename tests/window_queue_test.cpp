// The kept file list and the conveniences around it, offscreen: the queue file's round trip,
// its atomic write under a reader, damaged and unwritable files, the restore rules, a run
// killed half way brought back and finished, no file listed twice, Clear asking, the outputs
// shown on the desktop, the whole run's time left and the size estimates. The desktop test
// (tests/desktop) drives the same features through the real program.
#include "EventLoopWait.h"
#include "TestMedia.h"
#include "window_support.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QThread>
#include <QToolButton>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

QString clip(const TestClip& c) {
    return QString::fromStdString(TestMediaPath(c.name));
}

QueueRow keptRow(const QString& file, const QString& state, bool checked = true) {
    QueueRow row;
    row.file = file;
    row.state = state;
    row.checked = checked;
    return row;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::vector<QueueRow> keptRows(const QString& path) {
    QString problem;
    return decodeQueue(readFile(path), problem).value_or(std::vector<QueueRow>{});
}

TEST(QueueFile, RoundTripKeepsEveryFieldAndReadersIgnoreWhatTheyDoNotKnow) {
    QueueRow probed = keptRow(QStringLiteral("/in/a b.avi"), QStringLiteral("Done"), false);
    probed.reason = QStringLiteral("the output is shorter than its input");
    probed.output = QStringLiteral("/out/a b.flv");
    probed.probed = true;
    probed.videoSize = QStringLiteral("640x480");
    probed.frameRate = QStringLiteral("29.97");
    probed.duration = QStringLiteral("00:00:03");
    probed.facts = InputFacts{3003, 640, 480, 29.97, true, true};
    const std::vector<QueueRow> rows = {probed, keptRow(QStringLiteral("/in/é\"x\".mp3"), "")};
    QString problem;
    EXPECT_EQ(decodeQueue(encodeQueue(rows), problem), rows) << problem.toStdString();

    // The documented shape, with fields of a later version and rows that are not rows.
    const QByteArray later = R"({"version": 2, "future": true, "rows": [
        {"file": "/in/c.avi", "state": "Fail", "reason": "bad", "colour": "red"},
        {"checked": false}, 7, {"file": "/in/d.avi", "checked": false, "output": "/o/d.flv"}]})";
    const auto read = decodeQueue(later, problem);
    ASSERT_TRUE(read.has_value());
    ASSERT_EQ(read->size(), 2u);
    EXPECT_EQ((*read)[0].file, "/in/c.avi");
    EXPECT_TRUE((*read)[0].checked);
    EXPECT_EQ((*read)[0].state, "Fail");
    EXPECT_EQ((*read)[0].reason, "bad");
    EXPECT_FALSE((*read)[0].probed);
    EXPECT_FALSE((*read)[1].checked);
    EXPECT_EQ((*read)[1].output, "/o/d.flv");
}

TEST(QueueFile, DamagedOrUnreadableFilesAreSetAsideAndTheListStartsEmpty) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("queue.json"));
    const QByteArray damaged[] = {"{\"version\": 1, \"rows\": [{\"file\": \"/a", "[1, 2]",
                                  "{\"rows\": 5}", ""};
    int number = 0;
    for (const QByteArray& bytes : damaged) {
        writeFile(path, bytes);
        QueueFile queue(path);
        const QueueFile::Loaded loaded = queue.load();
        EXPECT_TRUE(loaded.rows.empty());
        EXPECT_FALSE(loaded.problem.isEmpty()) << bytes.toStdString();
        // The first is ".damaged", later ones are numbered; nothing is overwritten.
        const QString expected = path + (number == 0 ? QStringLiteral(".damaged")
                                                     : QStringLiteral(".damaged-%1").arg(number));
        EXPECT_EQ(loaded.setAsideAs, expected);
        EXPECT_EQ(readFile(expected), bytes);
        EXPECT_FALSE(QFileInfo::exists(path));
        ++number;
    }
    // A file that cannot be read at all.
    writeFile(path, "{}");
    QFile::setPermissions(path, QFileDevice::WriteOwner);
    if (!QFile(path).open(QIODevice::ReadOnly)) { // root reads it anyway
        QueueFile queue(path);
        EXPECT_FALSE(queue.load().setAsideAs.isEmpty());
    }

    // The window says so once it shows, and keeps its settings.
    writeFile(path, "not a list");
    ScriptedWindow w;
    w.queueFile = path;
    w.settings.plant(QStringLiteral("Output Folder"), QStringLiteral("/kept/out"));
    TForm1& form = w.create();
    ASSERT_TRUE(form.FormCreate());
    form.show();
    QApplication::processEvents();
    EXPECT_EQ(form.ListView1->RowCount(), 0);
    EXPECT_EQ(form.EditOutputFolder->text(), "/kept/out");
    ASSERT_EQ(w.messages.texts().size(), 1);
    EXPECT_TRUE(w.messages.texts()[0].contains(QStringLiteral("could not be read")));
    EXPECT_TRUE(w.messages.texts()[0].contains(path + QStringLiteral(".damaged")));
}

TEST(QueueFile, AReaderInALoopNeverSeesAHalfWrittenFile) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("queue.json"));
    std::atomic<bool> writing{true};
    std::atomic<int> reads{0};
    std::atomic<int> broken{0};
    std::thread reader([&] {
        while (writing) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            QString problem;
            if (!decodeQueue(file.readAll(), problem))
                ++broken;
            ++reads;
        }
    });
    QueueFile queue(path);
    std::vector<QueueRow> rows;
    for (int i = 0; i < 200; ++i) {
        // Long paths make every write many blocks long.
        rows.push_back(keptRow(
            QStringLiteral("/videos/%1/").arg(i) + QString(300, QLatin1Char('x')), QString()));
        ASSERT_TRUE(queue.save(rows));
    }
    writing = false;
    reader.join();
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(broken.load(), 0);
    EXPECT_EQ(keptRows(path).size(), 200u);
    // Only the list itself is left: no temporary files.
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"queue.json"});
}

TEST(QueueFile, RestoreRules) {
    struct Case {
        QueueRow kept;
        bool exists;
        QString state;
        bool checked;
        QString reason;
    };
    const auto kept = [](const char* state, bool checked, const char* reason = "") {
        QueueRow row = keptRow(QStringLiteral("/f"), QString::fromLatin1(state), checked);
        row.reason = QString::fromLatin1(reason);
        return row;
    };
    const Case cases[] = {
        {kept("Done", true), true, "Done", false, ""},
        {kept("Converting", false, "old"), true, "", true, ""},
        {kept("", false), true, "", false, ""},
        {kept("Fail", true, "why"), true, "Fail", true, "why"},
        {kept("Abort", false), true, "Abort", false, ""},
        {kept("45%", true), true, "", true, ""},
        {kept("", true), false, "Error", true, kFileNotFoundReason},
        {kept("Done", true), false, "Error", false, kFileNotFoundReason},
    };
    for (const Case& c : cases) {
        const QueueRow row = restoredRows({c.kept}, [&](const QString&) { return c.exists; })[0];
        EXPECT_EQ(row.state, c.state) << c.kept.state.toStdString() << " " << c.exists;
        EXPECT_EQ(row.checked, c.checked) << c.kept.state.toStdString() << " " << c.exists;
        EXPECT_EQ(row.reason, c.reason) << c.kept.state.toStdString() << " " << c.exists;
    }
}

// A window over a temporary output folder and queue file.
class KeptList : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        QDir(folder.path()).mkdir(QStringLiteral("out"));
        queuePath = folder.filePath(QStringLiteral("queue.json"));
        w.queueFile = queuePath;
    }
    void TearDown() override {
        if (w.form)
            w.form->FFmpegVCL1.StopAll();
    }
    TForm1& open() {
        TForm1& form = w.create();
        EXPECT_TRUE(form.FormCreate());
        form.show();
        form.EditOutputFolder->setText(out());
        QApplication::processEvents();
        return form;
    }
    QString out() const { return folder.filePath(QStringLiteral("out")); }
    // A copy of a test clip in the temporary folder, under another name.
    QString copy(const TestClip& c, const QString& name) {
        const QString path = folder.filePath(name);
        EXPECT_TRUE(QFile::copy(clip(c), path));
        return path;
    }
    FileListView& list() { return *w.form->ListView1; }
    std::string state(int row) { return list().SubText(row, FileColumn::Progress); }
    bool runEnded() {
        return !w.form->Converting &&
               !w.messages.texts().filter(QStringLiteral("All Conversions Completed")).isEmpty();
    }
    QStringList partFiles() const {
        return QDir(out()).entryList({QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden);
    }

    QTemporaryDir folder;
    QString queuePath;
    ScriptedWindow w;
};

TEST_F(KeptList, ARunKilledHalfWayComesBackAndConvertsOnlyWhatItHadNot) {
    const QString done = copy(TestMedia::kAviMpeg4Mp3, QStringLiteral("done.avi"));
    const QString interrupted = copy(TestMedia::kMp4H264Aac, QStringLiteral("interrupted.mp4"));
    const QString waiting = copy(TestMedia::kMp3Audio, QStringLiteral("waiting.mp3"));
    const QString gone = folder.filePath(QStringLiteral("gone.avi"));
    // What a killed run leaves: a finished output, a part file nobody holds, the list.
    const QString doneOutput = out() + QStringLiteral("/done.flv");
    writeFile(doneOutput, "finished before the kill");
    writeFile(out() + QStringLiteral("/.interrupted.flv.part"), "half a file");
    QueueRow doneRow = keptRow(done, QStringLiteral("Done"));
    doneRow.output = doneOutput;
    QueueRow interruptedRow = keptRow(interrupted, QStringLiteral("Converting"));
    interruptedRow.output = out() + QStringLiteral("/interrupted.flv");
    ASSERT_TRUE(QueueFile(queuePath).save(
        {doneRow, interruptedRow, keptRow(waiting, ""), keptRow(gone, "")}));

    TForm1& form = open();
    ASSERT_EQ(list().RowCount(), 4);
    EXPECT_EQ(list().Caption(1), interrupted.toStdString());
    EXPECT_EQ(state(0), "Done");
    EXPECT_FALSE(list().Checked(0));
    EXPECT_EQ(state(1), "");
    EXPECT_TRUE(list().Checked(1));
    EXPECT_EQ(state(3), "Error");
    EXPECT_EQ(list().cellToolTip(3, FileColumn::Progress), kFileNotFoundReason);
    EXPECT_TRUE(partFiles().isEmpty()) << partFiles().join(' ').toStdString();
    // The rows came back probed: durations and estimates without opening the files again.
    EXPECT_EQ(list().SubText(1, FileColumn::Duration), "00:00:03");

    form.ButtonConvert->click();
    ASSERT_TRUE(waitForEvents([&] { return runEnded(); }));
    EXPECT_EQ(readFile(doneOutput), "finished before the kill");
    EXPECT_EQ(state(1), "Done");
    EXPECT_EQ(state(2), "Done");
    EXPECT_EQ(state(3), "Fail");
    EXPECT_GT(QFileInfo(out() + QStringLiteral("/interrupted.flv")).size(), 10000);
    EXPECT_TRUE(partFiles().isEmpty());
    // The kept list followed every change.
    QApplication::processEvents();
    const std::vector<QueueRow> kept = keptRows(queuePath);
    ASSERT_EQ(kept.size(), 4u);
    EXPECT_EQ(kept[1].state, "Done");
    EXPECT_EQ(kept[1].output, out() + QStringLiteral("/interrupted.flv"));
    EXPECT_EQ(kept[2].output, out() + QStringLiteral("/waiting.flv"));
    EXPECT_FALSE(kept[0].checked);
}

TEST_F(KeptList, AListThatCannotBeWrittenIsToldOnce) {
    writeFile(folder.filePath(QStringLiteral("file")), "a file, not a folder");
    w.queueFile = folder.filePath(QStringLiteral("file/queue.json"));
    TForm1& form = open();
    form.AddFiles({clip(TestMedia::kMp3Audio)});
    form.AddFiles({clip(TestMedia::kVideoOnly)});
    QApplication::processEvents();
    QApplication::processEvents();
    ASSERT_EQ(w.messages.texts().size(), 1);
    EXPECT_TRUE(w.messages.texts()[0].startsWith(QStringLiteral("The file list cannot be kept")));
    EXPECT_EQ(list().RowCount(), 2);
}

TEST_F(KeptList, AFileListedAlreadySelectsItsRowInsteadOfASecondOne) {
    TForm1& form = open();
    const QString a = copy(TestMedia::kAviMpeg4Mp3, QStringLiteral("a.avi"));
    const QString b = copy(TestMedia::kMp3Audio, QStringLiteral("b.mp3"));
    // The same file by another path; a link is a file of its own.
    const QString roundabout = folder.filePath(QStringLiteral("out/../a.avi"));
    const QString link = folder.filePath(QStringLiteral("link-to-a.avi"));
    ASSERT_TRUE(QFile::link(a, link));
    form.AddFiles({a, b, b});
    ASSERT_EQ(list().RowCount(), 2);
    const QString c = copy(TestMedia::kVideoOnly, QStringLiteral("c.mp4"));
    form.AddFiles({b, c, roundabout, link});
    ASSERT_EQ(list().RowCount(), 4);
    EXPECT_EQ(list().Caption(2), c.toStdString());
    EXPECT_EQ(list().Caption(3), link.toStdString());
    // The last of the files listed already is the one selected.
    EXPECT_EQ(list().selectedRow(), 0);
    QApplication::processEvents();
    EXPECT_EQ(keptRows(queuePath).size(), 4u);
}

TEST_F(KeptList, ClearAsksBeforeItDropsRowsNotConvertedYet) {
    TForm1& form = open();
    list().addRow("/a.avi", rowTexts("FLV", "Done"));
    list().addRow("/b.avi", rowTexts("FLV", "Fail"));
    w.messages.scriptAnswer(false);
    form.ButtonClear->click();
    EXPECT_EQ(list().RowCount(), 2);
    ASSERT_EQ(w.messages.shown().size(), 1u);
    EXPECT_EQ(w.messages.shown()[0].kind, ScriptedMessageBox::Shown::Kind::Question);
    w.messages.scriptAnswer(true);
    form.ButtonClear->click();
    EXPECT_EQ(list().RowCount(), 0);
    // Only converted rows: nothing to ask.
    list().addRow("/e.avi", rowTexts("FLV", "Done"));
    form.ButtonClear->click();
    EXPECT_EQ(list().RowCount(), 0);
    EXPECT_EQ(w.messages.shown().size(), 2u);
}

TEST_F(KeptList, TheOutputFolderAndAConvertedRowAreShownOnTheDesktop) {
    TForm1& form = open();
    // A folder typed into the box, with blanks and "~".
    form.EditOutputFolder->setText(QStringLiteral("  ~  "));
    form.ActionOpenOutputFolder->trigger();
    form.EditOutputFolder->setText(folder.filePath(QStringLiteral("missing")));
    form.ActionOpenOutputFolder->trigger();
    EXPECT_EQ(w.opener.calls, QStringList{QStringLiteral("folder:") + QDir::homePath()});
    ASSERT_EQ(w.messages.texts().size(), 1);
    EXPECT_TRUE(w.messages.texts()[0].contains(QStringLiteral("does not exist")));

    // A converted row: its output in its folder, from the context menu.
    form.EditOutputFolder->setText(out());
    form.AddFiles({clip(TestMedia::kMp3Audio)});
    form.ButtonConvert->click();
    ASSERT_TRUE(waitForEvents([&] { return runEnded(); }));
    const QString output = out() + QStringLiteral("/audio_only.flv");
    EXPECT_EQ(list().rowOutput(0), output);
    list().selectRow(0);
    emit form.PopupMenu1->aboutToShow();
    EXPECT_TRUE(form.ActionShowInFolder->isEnabled());
    form.ActionShowInFolder->trigger();
    EXPECT_EQ(w.opener.calls.last(), QStringLiteral("file:") + output);
    // Where the desktop can show nothing, the user is told.
    w.opener.failWith = QStringLiteral("no file manager");
    form.ActionShowInFolder->trigger();
    EXPECT_EQ(w.messages.texts().last(), "no file manager");
    // An output deleted since: the entry is off.
    QFile::remove(output);
    emit form.PopupMenu1->aboutToShow();
    EXPECT_FALSE(form.ActionShowInFolder->isEnabled());
}

TEST(RunTimeLeft, CountsWhatTheRunConvertedAndWhatItsRunningRowsHaveLeft) {
    RunTimeLeft run;
    run.rowProgress(0, 4000, 10000);
    run.rowProgress(1, 1000, 5000);
    run.rowProgress(1, 2000, 5000); // a later report replaces the earlier one
    run.rowProgress(2, 500, -1);    // no length known: nothing known to be left
    EXPECT_EQ(run.convertedMs(), 6500);
    EXPECT_EQ(run.runningLeftMs(), 9000);
    run.rowEnded(0);
    EXPECT_EQ(run.convertedMs(), 6500);
    EXPECT_EQ(run.runningLeftMs(), 3000);
    EXPECT_TRUE(run.began(0));
    EXPECT_FALSE(run.began(3));
    run.clear();
    EXPECT_EQ(run.convertedMs(), 0);
}

TEST_F(KeptList, TheProgressBarShowsTheWholeRunsTimeLeft) {
    TForm1& form = open();
    for (const char* name : {"/a.avi", "/b.avi", "/c.avi"}) {
        list().addRow(name, FileRowTexts{});
        list().setRowFacts(list().RowCount() - 1, InputFacts{10000, 320, 240, 25, true, true});
    }
    form.jobBuilder().CurrentIndex = 0;
    form.Converting = true;
    EXPECT_TRUE(form.ProgressBar1->isTextVisible());
    form.FFmpegVCL1Progress(0, 1, 25, 0, 2, 300, 100, 10000);
    QThread::msleep(600);
    form.FFmpegVCL1Progress(0, 75, 25, 3000, 2, 300, 100, 10000);
    // This row's speed and time left, then the time left of all three.
    const QString text = form.ProgressBar1->format();
    EXPECT_TRUE(text.startsWith(QStringLiteral("%p%  "))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral(" left, all "))) << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral(" left"))) << text.toStdString();
    // Screen readers get the same words.
    EXPECT_EQ(form.ProgressBar1->accessibleDescription(), text.mid(5));
    form.Converting = false;
}

TEST_F(KeptList, RowsAndTheSizePanelEstimateTheOutputAndRowsShowItsRealSizeAfter) {
    TForm1& form = open();
    form.AddFiles({clip(TestMedia::kAviMpeg4Mp3)});
    QApplication::processEvents();
    // The FLV defaults are bit rates: an estimate without "about".
    const QString estimate = list().topLevelItem(0)->toolTip(1);
    EXPECT_TRUE(estimate.startsWith(QStringLiteral("Estimated output size: ")))
        << estimate.toStdString();
    EXPECT_FALSE(estimate.contains(QStringLiteral("about")));
    EXPECT_TRUE(
        list().topLevelItem(0)->toolTip(0).startsWith(clip(TestMedia::kAviMpeg4Mp3) + '\n'));
    EXPECT_TRUE(form.StatusPanels[1]->text().startsWith(QStringLiteral("Estimated size : ")));
    // A quality entry gives an estimate "about" that size.
    form.ComboOutputFormat->setCurrentIndex(
        form.ComboOutputFormat->findText(QStringLiteral("MKV - Matroska Video (*.mkv)")));
    form.ComboOutputFormatChange();
    QApplication::processEvents();
    EXPECT_TRUE(list().topLevelItem(0)->toolTip(1).contains(QStringLiteral(": about ")))
        << list().topLevelItem(0)->toolTip(1).toStdString();
    EXPECT_TRUE(form.StatusPanels[1]->text().startsWith(QStringLiteral("Estimated size : about ")));

    form.ButtonConvert->click();
    ASSERT_TRUE(waitForEvents([&] { return runEnded(); }));
    QApplication::processEvents();
    const QString output = out() + QStringLiteral("/mpeg4_mp3.mkv");
    EXPECT_TRUE(
        list().topLevelItem(0)->toolTip(1).startsWith(QStringLiteral("Output: ") + output + " ("));
    // The run is over: the size panel is empty until the list or the settings change.
    EXPECT_TRUE(form.StatusPanels[1]->text().isEmpty());
    form.AddFiles({clip(TestMedia::kMp3Audio)});
    QApplication::processEvents();
    EXPECT_TRUE(form.StatusPanels[1]->text().startsWith(QStringLiteral("Estimated size : ")));
}

} // namespace
