// Presets: saved from the window and applied again (format, boxes, volume, Additional
// Options), replaced and deleted through the Presets menu, kept in the settings file beside
// the other values, and used by the converter (--preset, --list-presets).
#include "EventLoopWait.h"
#include "LibraryMedia.h"
#include "MediaLibraries.h"
#include "OutputStreams.h"
#include "SettingsStorePresets.h"
#include "StreamReadBack.h"
#include "QtSettingsStore.h"
#include "TestMedia.h"
#include "Unit4.h"
#include "cli_run.h"
#include "window_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The Presets menu's entries, "-" for a separator, submenus as "title>entry|entry".
QStringList presetsMenu(TForm1& form) {
    QStringList entries;
    for (QAction* action : form.MenuPresets->actions()) {
        QString text = action->isSeparator() ? QStringLiteral("-") : action->text();
        if (action->menu()) {
            QStringList inner;
            for (QAction* entry : action->menu()->actions())
                inner << entry->text();
            text += QLatin1Char('>') + inner.join(QLatin1Char('|'));
        }
        entries << text;
    }
    return entries;
}

QAction* entryOf(QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

void choose(QComboBox* box, const QString& text) {
    const int position = box->findText(text);
    ASSERT_GE(position, 0) << text.toStdString();
    box->setCurrentIndex(position);
}

const QString kMp4 = QStringLiteral("MP4 - MPEG4 Video (*.mp4)");

// Chooses MP4 with H.264 and other settings everywhere.
void chooseSettings(TForm1& form) {
    choose(form.ComboOutputFormat, kMp4);
    form.ComboOutputFormatChange();
    choose(form.ComboVideoCodec, QStringLiteral("H264"));
    choose(form.ComboVideoBitrate, QStringLiteral("768 Kbps"));
    choose(form.ComboVideoSize, QStringLiteral("320 x 240 (VGA)"));
    choose(form.ComboAudioBitrate, QStringLiteral("96 Kbps"));
    choose(form.ComboAudioChannels, QStringLiteral("Mono"));
    form.TrackBar1->setValue(4); // 120 %
    form.Form4->ComboLetterBox->setCurrentIndex(1);
    form.Form4->CheckBoxOverWrite->setChecked(true);
    form.Form4->SpinFilesAtOnce->setValue(std::min(2, TForm4::MaximumFilesAtOnce()));
    form.Form4->ComboDeinterlace->setCurrentIndex(2); // Never
    form.Form4->ComboSubtitles->setCurrentIndex(1);   // "Leave out"
    form.Form4->ComboAudioTracks->setCurrentIndex(1); // "Default only"
    form.ComboAspectRatio->setCurrentIndex(2);        // 16:9
}

TEST_F(ShownWindowTest, APresetSavedFromTheWindowIsAppliedAgainReplacedAndDeleted) {
    EXPECT_EQ(presetsMenu(form()), QStringList{"&Save Settings As..."});
    chooseSettings(form());
    w.presetName = QStringLiteral("  Phone & tablet ");
    form().ActionSaveSettingsAs->trigger();
    EXPECT_EQ(presetsMenu(form()), QStringList({"&Save Settings As...", "-", "&Phone && tablet",
                                                "-", "&Delete Preset>&Phone && tablet"}));

    // Everything back to the defaults of another format, then the preset again.
    choose(form().ComboOutputFormat, QStringLiteral("FLV - Flash Video (*.flv)"));
    form().ComboOutputFormatChange();
    form().TrackBar1->setValue(5);
    form().Form4->ComboLetterBox->setCurrentIndex(0);
    form().Form4->CheckBoxOverWrite->setChecked(false);
    form().Form4->SpinFilesAtOnce->setValue(1);
    form().Form4->ComboDeinterlace->setCurrentIndex(0);
    form().Form4->ComboSubtitles->setCurrentIndex(0);
    form().Form4->ComboAudioTracks->setCurrentIndex(0);
    entryOf(form().MenuPresets, QStringLiteral("&Phone && tablet"))->trigger();
    EXPECT_EQ(form().ComboOutputFormat->currentText(), kMp4);
    EXPECT_EQ(form().formatState().OutputLabel, "MP4");
    EXPECT_EQ(form().ComboVideoCodec->currentText(), "H264");
    EXPECT_EQ(form().ComboVideoBitrate->currentText(), "768 Kbps");
    EXPECT_EQ(form().ComboVideoSize->currentText(), "320 x 240 (VGA)");
    EXPECT_EQ(form().ComboAudioBitrate->currentText(), "96 Kbps");
    EXPECT_EQ(form().ComboAudioChannels->currentText(), "Mono");
    EXPECT_EQ(form().LabelVolume->text(), "120%");
    EXPECT_TRUE(form().LetterBoxChosen());
    EXPECT_TRUE(form().OverwriteChosen());
    EXPECT_EQ(form().FilesAtOnceChosen(), std::min(2, TForm4::MaximumFilesAtOnce()));
    EXPECT_EQ(form().DeinterlaceChosen(), DeinterlaceChoice::Never);
    EXPECT_FALSE(form().StreamsChosen().KeepSubtitles);
    EXPECT_EQ(form().StreamsChosen().AudioTracks, StreamChoices::Tracks::DefaultOnly);
    EXPECT_EQ(form().ComboAspectRatio->currentText(), "16:9");
    EXPECT_TRUE(w.messages.texts().isEmpty()) << w.messages.texts().join('\n').toStdString();

    // The same name again asks before it replaces; No keeps the old one.
    w.presetName = QStringLiteral("Phone & tablet");
    form().TrackBar1->setValue(5);
    w.messages.scriptAnswer(false);
    form().ActionSaveSettingsAs->trigger();
    std::vector<Preset> stored = readPresets(SettingsStorePresets(w.settings));
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].volumePercent, 120);
    w.messages.scriptAnswer(true);
    form().ActionSaveSettingsAs->trigger();
    stored = readPresets(SettingsStorePresets(w.settings));
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].volumePercent, 100);

    // A second one, then the first deleted (after a question) from its submenu.
    w.presetName = QStringLiteral("Small");
    form().ActionSaveSettingsAs->trigger();
    QMenu* deleting = entryOf(form().MenuPresets, QStringLiteral("&Delete Preset"))->menu();
    ASSERT_NE(deleting, nullptr);
    w.messages.scriptAnswer(true);
    entryOf(deleting, QStringLiteral("&Phone && tablet"))->trigger();
    EXPECT_EQ(presetsMenu(form()),
              QStringList({"&Save Settings As...", "-", "&Small", "-", "&Delete Preset>&Small"}));
    EXPECT_FALSE(w.settings.contains(QStringLiteral("Presets/2/Name")));
    // A name of blanks only is refused; a cancelled dialog does nothing.
    w.presetName = QStringLiteral("   ");
    form().ActionSaveSettingsAs->trigger();
    EXPECT_EQ(w.messages.texts().last(), "A preset needs a name.");
    w.presetName.reset();
    form().ActionSaveSettingsAs->trigger();
    EXPECT_EQ(readPresets(SettingsStorePresets(w.settings)).size(), 1u);
}

TEST_F(ShownWindowTest, APresetForAFormatTheListLacksIsRefused) {
    w.settings.plant(QStringLiteral("Presets/size"), 1);
    w.settings.plant(QStringLiteral("Presets/1/Name"), QStringLiteral("Old"));
    w.settings.plant(QStringLiteral("Presets/1/Format"), QStringLiteral("Betamax (*.bmx)"));
    const QString before = form().ComboOutputFormat->currentText();
    EXPECT_FALSE(form().ApplyPreset(QStringLiteral("Old")));
    EXPECT_EQ(form().ComboOutputFormat->currentText(), before);
    ASSERT_EQ(w.messages.texts().size(), 1);
    EXPECT_TRUE(w.messages.texts()[0].contains(QStringLiteral("Betamax")));
}

TEST(WindowPresets, TheConverterUsesAPresetTheWindowSaved) {
    QTemporaryDir config;
    QTemporaryDir output;
    ASSERT_TRUE(config.isValid() && output.isValid());
    const QString file = config.path() + QStringLiteral("/Morvane/Vidbrisk.conf");
    {
        // The window with the user's settings file: the preset is saved from its menu.
        windowTestApp();
        QtSettingsStore store(file);
        ScriptedWindow scripted;
        TForm1Services services;
        services.messages = &scripted.messages;
        services.folderBrowser = &scripted.folders;
        services.helpViewer = &scripted.help;
        services.player = &scripted.player;
        services.loadLibraries = [](TFFmpegVCL& component) {
            return component.LoadLibraries(std::string(), true);
        };
        services.settings = &store;
        services.askPresetName = [](QWidget*, const QString&) {
            return std::optional<QString>(QStringLiteral("Phone"));
        };
        TForm1 form(std::move(services));
        ASSERT_TRUE(form.FormCreate());
        form.show();
        chooseSettings(form);
        form.ActionSaveSettingsAs->trigger();
    }
    // Beside the other values in the settings file.
    EXPECT_EQ(QSettings(file, QSettings::IniFormat).value(QStringLiteral("Presets/1/Name")),
              QStringLiteral("Phone"));
    const std::string home = "XDG_CONFIG_HOME=" + config.path().toStdString();
    const std::vector<std::string> env = {"/usr/bin/env", home};
    const CliRun list = RunCli({"--list-presets"}, {}, std::chrono::seconds(60), SIGINT, env);
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out, "Phone\t" + kMp4.toStdString() + "\n");

    // The preset's settings, with one of them given again on the command line; a film with
    // two sound tracks and subtitles keeps its default track only and no subtitles.
    const CliRun run =
        RunCli({"--preset", "Phone", "--video-size", "176x144", "-o", output.path().toStdString(),
                TestMediaPath(LibraryMedia::kTwoLanguagesMkv)},
               {}, std::chrono::seconds(120), SIGINT, env);
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
    const std::string made = output.path().toStdString() + "/two_languages.mp4";
    const OutputStreams streams = ReadOutputStreams(made);
    EXPECT_EQ(streams.videoCodec, "h264") << streams;
    EXPECT_EQ(streams.width, 176) << streams;
    EXPECT_EQ(streams.channels, 1) << streams;
    const ReadBackFile tracks = ReadBack(made);
    EXPECT_EQ(tracks.count("audio"), 1);
    EXPECT_EQ(tracks.count("subtitle"), 0);

    // Another format beside the preset: the preset's boxes, made for its own format, give way.
    const CliRun other =
        RunCli({"--preset", "Phone", "-f", "MP3", "-o", output.path().toStdString(),
                TestMediaPath(TestMedia::kAviMpeg4Mp3.name)},
               {}, std::chrono::seconds(120), SIGINT, env);
    EXPECT_EQ(other.status, 0) << other.err;
    EXPECT_TRUE(QFileInfo::exists(output.path() + QStringLiteral("/mpeg4_mp3.mp3")));

    const CliRun missing =
        RunCli({"--preset", "Tablet", "-o", output.path().toStdString(), "x.avi"}, {},
               std::chrono::seconds(60), SIGINT, env);
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("no preset named \"Tablet\""), std::string::npos) << missing.err;
}

} // namespace
