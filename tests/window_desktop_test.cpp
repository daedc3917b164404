// The window on a real X display (a private Xvfb server): the program itself starts with a
// clip named on its command line and writes its first settings; the window with its real
// message boxes, player and settings store converts a clip to a row that reads "Done"; and
// real pointer and key events from the X test extension (through xdotool) select a row whose
// text must then be on the screen in every style, move through the list, delete a row, open
// the File menu with Alt+F and the help with F1.
#include "EventLoopWait.h"
#include "PrivateDisplay.h"
#include "ScriptedHelpViewer.h"
#include "TMoviePlayer.h"
#include "TestMedia.h"
#include "Unit1.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QStyleFactory>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

// Under the sanitizers: the X keyboard library hands strndup a name without its terminator
// while it sets up the keymap (a read inside its own record), so strndup is not
// intercepted. Leaks are not checked here: the X, GL and media back-end libraries keep
// their caches to the end, and the slow unwinding their leak reports need deadlocks with
// the back end loading its plug-ins on other threads. The offscreen window tests check
// leaks of the window itself.
extern "C" __attribute__((used)) const char* __asan_default_options() {
    return "intercept_strndup=0:detect_leaks=0";
}

namespace {

QString clip(const TestClip& c) {
    return QString::fromStdString(TestMediaPath(c.name));
}

TEST(WindowDesktop, ProgramStartsWithAClipAndWritesItsFirstSettings) {
    ASSERT_FALSE(display().name().empty()) << "Xvfb did not start";
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", QString::fromStdString(display().name()));
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.insert("XDG_CONFIG_HOME", config.path());
    // The list the program keeps stays out of the user's own data folder.
    environment.insert("XDG_DATA_HOME", config.path());
    environment.insert("ASAN_OPTIONS", "detect_leaks=0");
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(VIDBRISK_BINARY_DIR "/app/vidbrisk"),
                  {clip(TestMedia::kAviMpeg4Mp3)});
    ASSERT_TRUE(program.waitForStarted(10000));

    // A first start finds no settings and writes the values at once.
    const QString stored = config.path() + QStringLiteral("/Morvane/Vidbrisk.conf");
    QElapsedTimer clock;
    clock.start();
    while (!QFileInfo::exists(stored) && clock.elapsed() < 60000 &&
           program.state() == QProcess::Running)
        QThread::msleep(50);
    ASSERT_TRUE(QFileInfo::exists(stored)) << program.readAllStandardError().toStdString();
    QThread::msleep(300);
    QSettings settings(stored, QSettings::IniFormat);
    for (const char* name : {"Output Folder", "ComboOutputFormat", "Overwrite", "DropDownItems",
                             "LetterBox", "FilesAtOnce", "Subtitles", "AudioTracks"})
        EXPECT_TRUE(settings.contains(QString::fromLatin1(name))) << name;
    EXPECT_EQ(settings.value("DropDownItems").toInt(), 27);
    // Still running: the libraries loaded, and the clip's intake did not end it.
    EXPECT_EQ(program.state(), QProcess::Running);
    program.terminate();
    program.waitForFinished(10000);
}

TEST(WindowDesktop, ConvertsAClipWithTheRealMessageBoxes) {
    ASSERT_FALSE(display().name().empty()) << "Xvfb did not start";
    QTemporaryDir config;
    QTemporaryDir output;
    ASSERT_TRUE(config.isValid() && output.isValid());
    qputenv("DISPLAY", QByteArray::fromStdString(display().name()));
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    TMoviePlayer::preferMediaBackend();
    static int argc = 1;
    static char programName[] = "window_desktop_test";
    static char* argv[] = {programName, nullptr};
    QApplication application(argc, argv);

    // Answers every message box as a user would (OK, or the default Yes) and keeps its text.
    QStringList shown;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box && box->isVisible() && !shown.contains(box->text() + "#" + box->objectName())) {
                // Wide enough for its whole title as the desktop shows it.
                QFont bold = QApplication::font();
                bold.setBold(true);
                EXPECT_GE(box->width(), QFontMetrics(bold).horizontalAdvance(
                                            box->windowTitle() + QStringLiteral(" \u2014 ") +
                                            QGuiApplication::applicationDisplayName()) +
                                            100);
                box->setObjectName(QString::number(shown.size()));
                shown << box->text() + "#" + box->objectName();
                box->accept();
            }
        }
    });
    answer.start(50);

    {
        TForm1 form;
        ASSERT_TRUE(form.FormCreate());
        form.show();
        ASSERT_TRUE(waitForEvents([&] { return form.isVisible(); }));
        form.AddFiles({clip(TestMedia::kMp4H264Aac)});
        ASSERT_EQ(form.ListView1->RowCount(), 1);
        form.EditOutputFolder->setText(output.path());
        form.ButtonConvert->click();
        ASSERT_TRUE(waitForEvents([&] { return !form.Converting; }));
        EXPECT_EQ(form.ListView1->SubText(0, FileColumn::Progress), "Done");
        ASSERT_EQ(shown.size(), 1);
        EXPECT_TRUE(shown[0].startsWith("All Conversions Completed\n1 done#"));
        EXPECT_GT(QFileInfo(output.path() + "/h264_aac.flv").size(), 10000);
        // Closing by the close box saves the folder.
        EXPECT_TRUE(form.close());
    }
    QSettings settings(config.path() + QStringLiteral("/Morvane/Vidbrisk.conf"),
                       QSettings::IniFormat);
    EXPECT_EQ(settings.value("Output Folder").toString(), output.path());
}

// Sends input through the X server with xdotool (the X test extension), then lets the
// window handle what arrives.
void xdotool(const QStringList& arguments) {
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", QString::fromStdString(display().name()));
    tool.setProcessEnvironment(environment);
    tool.start(QStringLiteral("xdotool"), arguments);
    ASSERT_TRUE(tool.waitForStarted(5000)) << "xdotool is missing (scripts/install-deps.sh)";
    ASSERT_TRUE(waitForEvents([&] { return tool.state() == QProcess::NotRunning; }));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The pixels of a row's file name, right of its check box, as the X server shows them.
QImage shownCell(FileListView& list, int row) {
    QRect cell = list.visualRect(list.model()->index(row, 0));
    cell.adjust(30, 2, -2, -2); // no check box, no grid lines
    cell.moveTopLeft(list.viewport()->mapToGlobal(cell.topLeft()));
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, cell.x(), cell.y(), cell.width(), cell.height())
        .toImage();
}

// Pixels that stand out from the cell's most common colour (its background): the text.
int inkPixels(const QImage& cell) {
    QHash<QRgb, int> counts;
    for (int y = 0; y < cell.height(); ++y)
        for (int x = 0; x < cell.width(); ++x)
            ++counts[cell.pixel(x, y)];
    QRgb background = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most) {
            most = it.value();
            background = it.key();
        }
    int ink = 0;
    for (int y = 0; y < cell.height(); ++y)
        for (int x = 0; x < cell.width(); ++x)
            if (std::abs(qGray(cell.pixel(x, y)) - qGray(background)) > 60)
                ++ink;
    return ink;
}

TEST(WindowDesktop, RealClicksAndKeysSelectReadableRowsAndReachTheCommands) {
    ASSERT_FALSE(display().name().empty()) << "Xvfb did not start";
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    qputenv("DISPLAY", QByteArray::fromStdString(display().name()));
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    static int argc = 1;
    static char programName[] = "window_desktop_test";
    static char* argv[] = {programName, nullptr};
    QApplication application(argc, argv);

    ScriptedHelpViewer help;
    TForm1Services services;
    services.helpViewer = &help;
    TForm1 form(std::move(services));
    ASSERT_TRUE(form.FormCreate());
    form.show();
    form.activateWindow();
    ASSERT_TRUE(waitForEvents([&] { return form.isVisible() && form.isActiveWindow(); }));
    form.AddFiles(
        {clip(TestMedia::kAviMpeg4Mp3), clip(TestMedia::kMp4H264Aac), clip(TestMedia::kMp3Audio)});
    FileListView& list = *form.ListView1;
    ASSERT_EQ(list.RowCount(), 3);
    QCoreApplication::processEvents();
    const int unselectedInk = inkPixels(shownCell(list, 0));
    ASSERT_GT(unselectedInk, 20) << "the file name is not drawn at all";

    // A click on the first row selects it, and its file name is still drawn, in every style.
    const QRect cell = list.visualRect(list.model()->index(0, 0));
    const QPoint at = list.viewport()->mapToGlobal(cell.center());
    xdotool(
        {"mousemove", "--sync", QString::number(at.x()), QString::number(at.y()), "click", "1"});
    ASSERT_EQ(list.selectedRow(), 0);
    for (const QString& style : QStyleFactory::keys()) {
        QApplication::setStyle(style);
        QElapsedTimer paint;
        paint.start();
        while (paint.elapsed() < 200)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        const QImage selected = shownCell(list, 0);
        const int ink = inkPixels(selected);
        EXPECT_GT(ink, unselectedInk / 4)
            << style.toStdString() << ": " << ink << " of " << unselectedInk;
        // The screenshot of a cell found blank stays for a look.
        if (ink <= unselectedInk / 4)
            selected.save(QDir::tempPath() + "/vidbrisk-selected-" + style + ".png");
    }

    // Keys reach the list: Down selects the next row, Delete removes it.
    xdotool({"key", "Down"});
    EXPECT_EQ(list.selectedRow(), 1);
    xdotool({"key", "Delete"});
    ASSERT_EQ(list.RowCount(), 2);
    EXPECT_EQ(list.Caption(1), clip(TestMedia::kMp3Audio).toStdString());

    // Alt+F opens the File menu; Escape closes it again.
    xdotool({"key", "alt+f"});
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title().remove('&'), "File");
    xdotool({"key", "Escape"});
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    // F1 asks for the help.
    xdotool({"key", "F1"});
    EXPECT_EQ(help.opens(), 1);
}

} // namespace
