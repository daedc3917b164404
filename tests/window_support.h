// Shared set-up of the window tests: an offscreen application and a main window built
// with scripted message boxes, folder browser, help viewer, player and open dialog.
#pragma once

#include "MemorySettingsStore.h"
#include "ScriptedFolderBrowser.h"
#include "ScriptedHelpViewer.h"
#include "ScriptedMessageBox.h"
#include "ScriptedMoviePlayer.h"
#include "Unit1.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

// Each window test program includes this header once. Full stacks let LeakSanitizer match
// the suppression of fontconfig's process-long caches, which Qt loads.
extern "C" __attribute__((used)) const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}
extern "C" __attribute__((used)) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

inline QApplication& windowTestApp() {
    static int argc = 1;
    static char programName[] = "window_test";
    static char* argv[] = {programName, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Lives until the process ends; the windows of the tests never outlive it.
    static QApplication* instance = new QApplication(argc, argv);
    return *instance;
}

// Row texts with only "Output" and "Progress" set.
inline FileRowTexts rowTexts(const std::string& output, const std::string& progress) {
    FileRowTexts texts;
    texts.Output = output;
    texts.Progress = progress;
    return texts;
}

struct ScriptedWindow {
    ScriptedMessageBox messages;
    ScriptedFolderBrowser folders;
    ScriptedHelpViewer help;
    ScriptedMoviePlayer player;
    // The persistent settings; the tests never touch the user's own.
    MemorySettingsStore settings;
    // What the open dialog returns next, and how often it was opened.
    QStringList chosenFiles;
    int dialogCount = 0;
    QString dialogFilter;
    bool librariesLoad = true;
    int exitCount = 0;
    // The desktop notifications shown, as "title|text".
    QStringList notifications;
    // The file the list is kept in (none by default), the output folder a first start
    // chooses, and what "Save Settings As..." is answered.
    QString queueFile;
    QString firstStartFolder;
    std::optional<QString> presetName;
    // Records what the window asks the desktop to show; `failWith` makes it fail.
    struct RecordingOpener : DesktopOpener {
        QStringList calls; // "folder:PATH" or "file:PATH"
        QString failWith;
        void openFolder(const QString& folder, Failed failed) override {
            calls << QStringLiteral("folder:") + folder;
            if (!failWith.isEmpty())
                failed(failWith);
        }
        void showFile(const QString& file, Failed failed) override {
            calls << QStringLiteral("file:") + file;
            if (!failWith.isEmpty())
                failed(failWith);
        }
    } opener;
    std::unique_ptr<TForm1> form;

    TForm1& create() {
        windowTestApp();
        TForm1Services services;
        services.messages = &messages;
        services.folderBrowser = &folders;
        services.helpViewer = &help;
        services.player = &player;
        services.loadLibraries = [this](TFFmpegVCL& component) {
            return librariesLoad && component.LoadLibraries(std::string(), true);
        };
        services.chooseFiles = [this](QWidget*, const QString& filter) {
            ++dialogCount;
            dialogFilter = filter;
            return chosenFiles;
        };
        services.exitApplication = [this] { ++exitCount; };
        services.notify = [this](const QString& title, const QString& text) {
            notifications << title + QLatin1Char('|') + text;
        };
        services.settings = &settings;
        services.queueFile = queueFile;
        services.opener = &opener;
        services.defaultOutputFolder = [this] { return firstStartFolder; };
        services.askPresetName = [this](QWidget*, const QString&) { return presetName; };
        form = std::make_unique<TForm1>(std::move(services));
        return *form;
    }
};

// A test with the main window created and shown: the fixture of the window tests.
class ShownWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(w.create().FormCreate());
        w.form->show();
        QApplication::processEvents();
    }
    TForm1& form() { return *w.form; }
    ScriptedWindow w;
};
