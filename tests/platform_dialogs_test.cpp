// Message boxes, the folder browser and the help viewer: the real Qt dialogs with their
// captions, icons and buttons, the folder memory, and the scripted stand-ins.
#include "HelpFileViewer.h"
#include "QtFolderBrowser.h"
#include "QtMessageBox.h"
#include "ScriptedFolderBrowser.h"
#include "ScriptedMessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QTextBrowser>
#include <QUrl>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

// fontconfig keeps its caches to the end of the process; that is not a leak of our code.
// Full stacks are needed to match it, the library being built without frame pointers.
extern "C" __attribute__((used)) const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}
extern "C" __attribute__((used)) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace {

QApplication& app() {
    static int argc = 1;
    static char programName[] = "platform_dialogs_test";
    static char* argv[] = {programName, nullptr};
    // Headless unless the caller chose a platform (./test.sh sets offscreen as well).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Lives until the process ends; Qt objects of the tests never outlive it.
    static QApplication* instance = new QApplication(argc, argv);
    return *instance;
}

// Runs `inspect` on the modal box once it is shown (the box blocks the caller meanwhile).
void whenModalShown(std::function<void(QWidget*)> inspect) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, inspect] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            inspect(modal);
        }
    });
    timer->start();
}

struct BoxSeen {
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

BoxSeen inspectAndPress(QWidget* modal, QMessageBox::StandardButton press) {
    BoxSeen seen;
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (!box)
        return seen;
    seen = {box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
    if (QAbstractButton* button = box->button(press))
        button->click();
    else
        box->reject();
    return seen;
}

} // namespace

TEST(PlatformMessageBox, InformationAndWarningHaveTheCaptionTheirIconAndOk) {
    app();
    const std::pair<void (QtMessageBox::*)(const QString&), QMessageBox::Icon> kinds[] = {
        {&QtMessageBox::information, QMessageBox::Information},
        {&QtMessageBox::warning, QMessageBox::Warning},
    };
    for (const auto& [show, icon] : kinds) {
        BoxSeen seen;
        whenModalShown([&](QWidget* w) { seen = inspectAndPress(w, QMessageBox::Ok); });
        QtMessageBox box;
        (box.*show)(QStringLiteral("All Conversions Completed\n1 done"));
        EXPECT_EQ(seen.caption, QStringLiteral("Information"));
        EXPECT_EQ(seen.text, QStringLiteral("All Conversions Completed\n1 done"));
        EXPECT_EQ(seen.icon, icon);
        EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }
}

TEST(PlatformMessageBox, QuestionHasYesAndNoAndReturnsTheAnswer) {
    app();
    for (const QMessageBox::StandardButton press : {QMessageBox::Yes, QMessageBox::No}) {
        BoxSeen seen;
        whenModalShown([&](QWidget* w) { seen = inspectAndPress(w, press); });
        const bool yes = QtMessageBox().question(QStringLiteral("Stop all conversions?"),
                                                 QStringLiteral("Stop Conversions"));
        EXPECT_EQ(yes, press == QMessageBox::Yes);
        EXPECT_EQ(seen.caption, QStringLiteral("Stop Conversions"));
        EXPECT_EQ(seen.text, QStringLiteral("Stop all conversions?"));
        EXPECT_EQ(seen.icon, QMessageBox::Question);
        EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);
    }
}

TEST(PlatformMessageBox, ClosingAQuestionWithoutAnswerIsNo) {
    app();
    whenModalShown([](QWidget* w) { w->close(); });
    EXPECT_FALSE(QtMessageBox().question(QStringLiteral("Stop all conversions?")));
}

TEST(PlatformMessageBox, ScriptedAnswersComeInOrderThenTheDefault) {
    ScriptedMessageBox box;
    box.scriptAnswer(false);
    box.scriptAnswer(true);
    box.information(QStringLiteral("All Conversions Completed"));
    EXPECT_FALSE(box.question(QStringLiteral("first")));
    EXPECT_TRUE(box.question(QStringLiteral("second")));
    EXPECT_FALSE(box.question(QStringLiteral("third")));
    box.setDefaultAnswer(true);
    EXPECT_TRUE(box.question(QStringLiteral("fourth")));
    ASSERT_EQ(box.shown().size(), 5u);
    EXPECT_EQ(box.shown()[0].kind, ScriptedMessageBox::Shown::Kind::Information);
    EXPECT_EQ(box.shown()[1].kind, ScriptedMessageBox::Shown::Kind::Question);
    EXPECT_EQ(box.texts().first(), QStringLiteral("All Conversions Completed"));
}

TEST(PlatformFolderBrowser, OpensAtTheFolderChosenLastInThisRun) {
    QStringList answers{QStringLiteral("/media/one/"), QString(), QStringLiteral("/media/two")};
    QStringList captions, startFolders;
    QtFolderBrowser browser(nullptr, [&](QWidget*, const QString& caption, const QString& start) {
        captions << caption;
        startFolders << start;
        return answers.takeFirst();
    });
    EXPECT_EQ(browser.browse(), QStringLiteral("/media/one"));
    EXPECT_EQ(browser.browse(), std::nullopt); // cancelled: the memory stays
    EXPECT_EQ(browser.browse(), QStringLiteral("/media/two"));
    EXPECT_EQ(startFolders,
              (QStringList{QString(), QStringLiteral("/media/one"), QStringLiteral("/media/one")}));
    for (const QString& caption : captions)
        EXPECT_EQ(caption, QStringLiteral("Please select an output folder"));
    EXPECT_EQ(browser.lastFolder(), QStringLiteral("/media/two"));
}

TEST(PlatformFolderBrowser, TheQtDialogShowsFoldersWithTheCaptionAndRemembers) {
    app();
    QTemporaryDir chosen;
    ASSERT_TRUE(chosen.isValid());
    QtFolderBrowser browser;
    QString title, reopenedAt;
    bool foldersOnly = false;
    whenModalShown([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        if (!dialog)
            return w->close(), void();
        title = dialog->windowTitle();
        foldersOnly = dialog->fileMode() == QFileDialog::Directory &&
                      dialog->testOption(QFileDialog::ShowDirsOnly);
        dialog->setDirectory(chosen.path());
        static_cast<QDialog*>(dialog)->accept(); // public on QDialog
    });
    EXPECT_EQ(browser.browse(), chosen.path());
    EXPECT_EQ(title, QStringLiteral("Please select an output folder"));
    EXPECT_TRUE(foldersOnly);

    whenModalShown([&](QWidget* w) {
        if (auto* dialog = qobject_cast<QFileDialog*>(w))
            reopenedAt = dialog->directory().absolutePath();
        w->close();
    });
    EXPECT_EQ(browser.browse(), std::nullopt);
    EXPECT_EQ(reopenedAt, chosen.path());
}

TEST(PlatformFolderBrowser, ScriptedBrowserAnswersThenCancels) {
    ScriptedFolderBrowser browser;
    browser.scriptFolder(QStringLiteral("/out"));
    browser.scriptCancel();
    EXPECT_EQ(browser.browse(), QStringLiteral("/out"));
    EXPECT_EQ(browser.browse(), std::nullopt);
    EXPECT_EQ(browser.browse(), std::nullopt);
    EXPECT_EQ(browser.calls(), 3);
}

class PlatformHelpViewer : public testing::Test {
protected:
    void SetUp() override {
        app();
        m_ownerWindow = std::make_unique<QWidget>();
        ASSERT_TRUE(m_dir.isValid());
    }
    QString helpPath() const { return m_dir.filePath(QStringLiteral("help.html")); }
    void writeHelp(const QByteArray& html) {
        QFile file(helpPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(html);
    }
    QTemporaryDir m_dir;
    ScriptedMessageBox m_messages;
    std::unique_ptr<QWidget> m_ownerWindow; // made once the application is there
};

TEST_F(PlatformHelpViewer, ShowsTheHelpInAWindowOfItsOwnOnceAndAgain) {
    writeHelp("<html><head><title>Vidbrisk Help</title></head><body><h1>Contents</h1>"
              "<a href=\"#keys\">Keyboard</a><h2 id=\"keys\">Keys</h2></body></html>");
    HelpFileViewer viewer(m_messages, helpPath(), m_ownerWindow.get());
    viewer.openHelp();
    HelpWindow* window = viewer.window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vidbrisk Help"));
    EXPECT_TRUE(window->browser()->toPlainText().contains(QStringLiteral("Contents")));
    EXPECT_EQ(window->parentWidget(), m_ownerWindow.get());
    // It does not keep the program going once the main window is closed.
    EXPECT_FALSE(window->testAttribute(Qt::WA_QuitOnClose));
    // Closed and asked for again: the same window shows again.
    window->close();
    viewer.openHelp();
    EXPECT_EQ(viewer.window(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(m_messages.shown().empty());
}

TEST_F(PlatformHelpViewer, AMissingOrUnreadableFileIsReportedAndNothingShows) {
    HelpFileViewer viewer(m_messages, helpPath(), m_ownerWindow.get());
    viewer.openHelp();
    EXPECT_EQ(viewer.window(), nullptr);
    EXPECT_EQ(m_messages.texts(), QStringList{HelpFileViewer::missingText(helpPath())});
    EXPECT_TRUE(m_messages.texts().first().contains(helpPath()));

    m_messages.clear();
    writeHelp(QByteArray());
    viewer.openHelp();
    EXPECT_EQ(m_messages.texts(), QStringList{HelpFileViewer::notOpenedText(helpPath())});
    EXPECT_TRUE(viewer.window() == nullptr || !viewer.window()->isVisible());
}
