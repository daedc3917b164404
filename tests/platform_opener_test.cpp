// The desktop opener without a file manager on a session bus: when xdg-open is missing or
// finds no program the user is told what each way answered (the desktop test sees both ways
// reach the desktop).
#include "EventLoopWait.h"
#include "FreedesktopOpener.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>

namespace {

class OpenerTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "platform_opener_test";
        static char* argv[] = {name, nullptr};
        static QCoreApplication* app = new QCoreApplication(argc, argv);
        (void)app;
        ASSERT_TRUE(bin.isValid());
        // No session bus: the file manager cannot be asked.
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        m_path = qgetenv("PATH");
        qputenv("PATH", bin.path().toLocal8Bit());
    }
    void TearDown() override { qputenv("PATH", m_path); }

    // An xdg-open that records its argument and exits with `status`.
    void opener(int status) {
        QFile script(bin.filePath(QStringLiteral("xdg-open")));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\necho \"$1\" > '%1'\nexit %2\n")
                         .arg(bin.filePath(QStringLiteral("called")))
                         .arg(status)
                         .toLocal8Bit());
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString called() {
        QFile log(bin.filePath(QStringLiteral("called")));
        return log.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(log.readAll()).trimmed()
                                             : QString();
    }
    // Runs the event loop until the opener has answered (a message) or its program ended.
    std::optional<QString> run(const std::function<void(DesktopOpener::Failed)>& call) {
        std::optional<QString> message;
        call([&](const QString& text) { message = text; });
        waitForEvents([&] { return message.has_value() || !called().isEmpty(); });
        // A failure comes after the program ended.
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 300)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return message;
    }

    QTemporaryDir bin;
    QByteArray m_path;
    FreedesktopOpener desktop;
};

TEST_F(OpenerTest, TheUserIsToldWhenNothingCanShowIt) {
    opener(3); // xdg-open: no program for the folder
    const std::optional<QString> noProgram =
        run([&](auto failed) { desktop.openFolder(QStringLiteral("/srv/out"), failed); });
    ASSERT_TRUE(noProgram);
    EXPECT_TRUE(
        noProgram->startsWith(QStringLiteral("The folder \"/srv/out\" could not be opened")));
    EXPECT_TRUE(noProgram->contains(QStringLiteral("exit status 3")));
    EXPECT_TRUE(noProgram->contains(QStringLiteral("session bus")));

    QFile::remove(bin.filePath(QStringLiteral("xdg-open")));
    const std::optional<QString> missing =
        run([&](auto failed) { desktop.showFile(QStringLiteral("/srv/out/clip.flv"), failed); });
    ASSERT_TRUE(missing);
    EXPECT_TRUE(missing->contains(QStringLiteral("\"/srv/out/clip.flv\" could not be shown")));
    EXPECT_TRUE(missing->contains(QStringLiteral("xdg-open is not installed")));
}

} // namespace
