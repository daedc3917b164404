// The window program as a shell and a desktop start it: --help and --version without a
// display, arguments that look like options never taken for files, and the window's own
// icon as a task bar reads it from the X server.
#include "PrivateDisplay.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

struct ProgramRun {
    int status = -1;
    QString out;
    QString err;
};

QString Program() {
    return QStringLiteral(VIDBRISK_BINARY_DIR "/app/vidbrisk");
}

// The environment of a shell without a graphical session.
QProcessEnvironment WithoutDisplay() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    environment.insert("ASAN_OPTIONS", "detect_leaks=0");
    return environment;
}

ProgramRun RunProgram(const QStringList& arguments, const QProcessEnvironment& environment) {
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(Program(), arguments);
    ProgramRun run;
    if (!program.waitForFinished(60000)) {
        program.kill();
        program.waitForFinished();
        return run;
    }
    run.status = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    run.out = QString::fromLocal8Bit(program.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(program.readAllStandardError());
    return run;
}

TEST(WindowProgram, AnswersHelpAndVersionWithoutADisplay) {
    const ProgramRun version = RunProgram({"--version"}, WithoutDisplay());
    EXPECT_EQ(version.status, 0) << version.err.toStdString();
    EXPECT_EQ(version.out, QStringLiteral("vidbrisk 4.0\n"));
    const ProgramRun help = RunProgram({"clip.avi", "--help"}, WithoutDisplay());
    EXPECT_EQ(help.status, 0) << help.err.toStdString();
    EXPECT_TRUE(help.out.startsWith("Usage: vidbrisk ")) << help.out.toStdString();
    // Without either, no display is a message, not an abort.
    const ProgramRun window = RunProgram({"clip.avi"}, WithoutDisplay());
    EXPECT_EQ(window.status, 1);
    EXPECT_TRUE(window.err.contains("no display")) << window.err.toStdString();
    // A display that is named but not there is a message too, not the toolkit's abort.
    QProcessEnvironment unreachable = WithoutDisplay();
    unreachable.insert("DISPLAY", ":4987");
    const ProgramRun gone = RunProgram({"clip.avi"}, unreachable);
    EXPECT_EQ(gone.status, 1) << gone.err.toStdString();
    EXPECT_TRUE(gone.err.contains("the window cannot open")) << gone.err.toStdString();
}

TEST(WindowProgram, ArgumentsThatLookLikeOptionsAreNeverFiles) {
    QProcessEnvironment offscreen = WithoutDisplay();
    offscreen.insert("QT_QPA_PLATFORM", "offscreen");
    for (const QStringList& arguments : {QStringList{"-x"}, QStringList{"clip.avi", "--bogus"}}) {
        const ProgramRun run = RunProgram(arguments, offscreen);
        EXPECT_EQ(run.status, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains("unknown option '" + arguments.last() +
                                     "'\n"
                                     "Try 'vidbrisk --help'."))
            << run.err.toStdString();
    }
}

// The _NET_WM_ICON and WM_CLASS properties of the program's main window, as xprop prints
// them ("" until the window is mapped).
QString WindowProperties(const std::string& display, qint64 pid) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", QString::fromStdString(display));
    QProcess search;
    search.setProcessEnvironment(environment);
    search.start("xdotool", {"search", "--onlyvisible", "--pid", QString::number(pid)});
    if (!search.waitForFinished(10000))
        return {};
    QString properties;
    for (const QString& window : QString::fromLatin1(search.readAllStandardOutput()).split('\n')) {
        if (window.isEmpty())
            continue;
        QProcess xprop;
        xprop.setProcessEnvironment(environment);
        xprop.start("xprop", {"-id", window, "WM_CLASS", "_NET_WM_ICON"});
        xprop.waitForFinished(10000);
        properties += QString::fromLatin1(xprop.readAllStandardOutput());
    }
    return properties;
}

// The icon through the theme, and on a system without the theme's index (no
// hicolor-icon-theme: no data folder holds icons/hicolor/index.theme) from its folders.
class WindowIcon : public ::testing::TestWithParam<bool> {};

TEST_P(WindowIcon, TheWindowCarriesItsOwnIconAndClass) {
    ASSERT_FALSE(display().name().empty()) << "Xvfb did not start";
    QTemporaryDir config;
    QProcessEnvironment environment = WithoutDisplay();
    if (!GetParam())
        environment.insert("XDG_DATA_DIRS", config.path());
    environment.insert("DISPLAY", QString::fromStdString(display().name()));
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.insert("XDG_CONFIG_HOME", config.path());
    environment.insert("ASAN_OPTIONS", "detect_leaks=0:intercept_strndup=0");
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(Program(), {});
    ASSERT_TRUE(program.waitForStarted(10000));
    QString properties;
    QElapsedTimer clock;
    clock.start();
    while (!properties.contains("_NET_WM_ICON(CARDINAL)") && clock.elapsed() < 60000 &&
           program.state() == QProcess::Running) {
        QThread::msleep(200);
        properties = WindowProperties(display().name(), program.processId());
    }
    program.terminate();
    program.waitForFinished(10000);
    // The icon's pictures, drawn from the theme's files.
    EXPECT_TRUE(properties.contains("_NET_WM_ICON(CARDINAL) = \tIcon ("))
        << properties.toStdString();
    EXPECT_TRUE(properties.contains("WM_CLASS(STRING) = \"vidbrisk\", \"Vidbrisk\""))
        << properties.toStdString();
}

INSTANTIATE_TEST_SUITE_P(ThemeIndex, WindowIcon, ::testing::Bool());

} // namespace
