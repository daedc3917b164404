// The preview player on Qt Multimedia given a generated clip, and the hook bitmap seen as
// a QImage.
#include "HookBitmapImage.h"
#include "ScriptedMoviePlayer.h"
#include "TBitmap.h"
#include "TMoviePlayer.h"
#include "TestMedia.h"

#include <QApplication>
#include <QAudioDevice>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QUrl>
#include <gtest/gtest.h>

#include <functional>

// Leaks inside Qt 6.4 itself, not in our code: the FFmpeg media back end leaves the option
// dictionary of every decoder it opens, the video widget's inner window leaves its backing
// store, and fontconfig keeps its caches. Full stacks are needed to match them, because
// the libraries are built without frame pointers.
extern "C" __attribute__((used)) const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}
extern "C" __attribute__((used)) const char* __lsan_default_suppressions() {
    return "leak:libffmpegmediaplugin.so\nleak:QVideoWindow::event\nleak:libfontconfig.so\n";
}

namespace {

QApplication& app() {
    static int argc = 1;
    static char programName[] = "platform_player_test";
    static char* argv[] = {programName, nullptr};
    // Headless unless the caller chose a platform (./test.sh sets offscreen as well).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The media back end is chosen once per process, before the first media object.
    TMoviePlayer::preferMediaBackend();
    static QApplication* instance = new QApplication(argc, argv);
    return *instance;
}

// Runs the event loop until `done` holds or the time is up; whether it held.
bool waitFor(const std::function<bool()>& done, int timeoutMs = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

} // namespace

TEST(PlatformMoviePlayer, PlaysPausesResumesAndStopsAGeneratedClip) {
    app();
    const QString clip = QString::fromStdString(TestMediaPath(TestMedia::kAviMpeg4Mp3.name));
    ASSERT_TRUE(QFileInfo(clip).isFile()) << clip.toStdString();
    TMoviePlayer player;
    player.resize(158, 114);
    player.show();
    QMediaPlayer* media = player.mediaPlayer();
    if (!media->isAvailable())
        GTEST_SKIP() << "no Qt Multimedia back end can be loaded on this machine";
    // Without an audio device the player stays silent rather than feeding sound nowhere.
    EXPECT_EQ(player.hasAudioOutput(), !QMediaDevices::audioOutputs().isEmpty());

    QStringList errors;
    QObject::connect(media, &QMediaPlayer::errorOccurred,
                     [&](QMediaPlayer::Error, const QString& text) { errors << text; });
    player.setFileName(clip);
    EXPECT_EQ(player.FileName(), clip);
    EXPECT_EQ(media->source(), QUrl::fromLocalFile(clip));

    player.Play();
    ASSERT_TRUE(waitFor([&] { return media->position() > 0 || !errors.isEmpty(); }))
        << "playback never moved";
    ASSERT_TRUE(errors.isEmpty()) << errors.join(QStringLiteral("; ")).toStdString();
    EXPECT_EQ(media->playbackState(), QMediaPlayer::PlayingState);

    player.Pause();
    EXPECT_TRUE(waitFor([&] { return media->playbackState() == QMediaPlayer::PausedState; }));
    const qint64 pausedAtMs = media->position();

    // Play after Pause resumes the same file where it stood.
    player.Play();
    EXPECT_TRUE(waitFor([&] { return media->playbackState() == QMediaPlayer::PlayingState; }));
    EXPECT_EQ(media->source(), QUrl::fromLocalFile(clip));
    EXPECT_GE(media->position(), pausedAtMs);

    player.Stop();
    EXPECT_TRUE(waitFor([&] { return media->playbackState() == QMediaPlayer::StoppedState; }));
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QStringLiteral("; ")).toStdString();
}

TEST(PlatformMoviePlayer, ANewFileNameStopsWhatWasPlaying) {
    app();
    TMoviePlayer player;
    QMediaPlayer* media = player.mediaPlayer();
    if (!media->isAvailable())
        GTEST_SKIP() << "no Qt Multimedia back end can be loaded on this machine";
    const QString first = QString::fromStdString(TestMediaPath(TestMedia::kAviMpeg4Mp3.name));
    const QString second = QString::fromStdString(TestMediaPath(TestMedia::kMp4H264Aac.name));
    player.setFileName(first);
    player.Play();
    ASSERT_TRUE(waitFor([&] { return media->position() > 0; }));
    player.setFileName(second);
    EXPECT_EQ(media->playbackState(), QMediaPlayer::StoppedState);
    EXPECT_EQ(media->source(), QUrl::fromLocalFile(second));
    player.setFileName(QString());
    EXPECT_TRUE(media->source().isEmpty());
}

TEST(PlatformMoviePlayer, ScriptedPlayerRecordsTheCallsInOrder) {
    ScriptedMoviePlayer player;
    MoviePlayerControl& control = player;
    control.setFileName(QStringLiteral("/in/a.avi"));
    control.Play();
    control.Pause();
    control.Play();
    control.Stop();
    EXPECT_EQ(player.calls(), (QStringList{QStringLiteral("FileName=/in/a.avi"),
                                           QStringLiteral("Play"), QStringLiteral("Pause"),
                                           QStringLiteral("Play"), QStringLiteral("Stop")}));
    EXPECT_EQ(control.FileName(), QStringLiteral("/in/a.avi"));
}

TEST(PlatformHookBitmap, TheImageSharesTheBitmapsRows) {
    // 5 pixels wide: 15 bytes of pixels padded to 16 per row.
    TBitmap bitmap(5, 3);
    QImage image = HookBitmapImage::wrap(bitmap);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(5, 3));
    EXPECT_EQ(image.bytesPerLine(), bitmap.bytesPerRow());
    EXPECT_EQ(image.constBits(), bitmap.bits());

    // The engine writes blue, green, red; the image reads the same colour.
    uint8_t* row = bitmap.scanLine(2);
    row[3 * 4 + 0] = 0x10; // blue
    row[3 * 4 + 1] = 0x20; // green
    row[3 * 4 + 2] = 0x30; // red
    EXPECT_EQ(image.pixel(4, 2), qRgb(0x30, 0x20, 0x10));

    // Drawing on the image draws on the bitmap, without a copy.
    image.setPixel(0, 1, qRgb(0xAA, 0xBB, 0xCC));
    EXPECT_EQ(image.constBits(), bitmap.bits());
    const uint8_t* drawn = bitmap.scanLine(1);
    EXPECT_EQ(drawn[0], 0xCC);
    EXPECT_EQ(drawn[1], 0xBB);
    EXPECT_EQ(drawn[2], 0xAA);
}

TEST(PlatformHookBitmap, ACopyIsIndependentAndAnEmptyBitmapGivesNoImage) {
    TBitmap bitmap(4, 2);
    bitmap.scanLine(0)[2] = 0xFF; // red of the first pixel
    const QImage copy = HookBitmapImage::copy(bitmap);
    bitmap.scanLine(0)[2] = 0x00;
    EXPECT_NE(copy.constBits(), bitmap.bits());
    EXPECT_EQ(copy.pixel(0, 0), qRgb(0xFF, 0, 0));

    TBitmap empty(0, 7);
    EXPECT_TRUE(HookBitmapImage::wrap(empty).isNull());
    EXPECT_TRUE(HookBitmapImage::copy(empty).isNull());
}
