// Settings store: the persistent values round trip through a QSettings file, every failed
// read of the five (missing, wrong type, out of range) stops the reading at that value, and
// the files at once are read beside them.
#include "MemorySettingsStore.h"
#include "QtSettingsStore.h"
#include "StoredSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>

using namespace SettingsNames;

namespace {

QString name(const char* text) {
    return QString::fromLatin1(text);
}

// Writes an INI file by hand, as a user or another version might have left it.
void writeIniFile(const QString& path, const QByteArray& body) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[General]\n" + body);
}

// How many of the five values a read gave, counting from the first.
int valuesRead(const StoredSettings& read) {
    return int(read.outputFolder.has_value()) + int(read.comboOutputFormat.has_value()) +
           int(read.overwrite.has_value()) + int(read.dropDownItems.has_value()) +
           int(read.letterBox.has_value());
}

class SettingsFileTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString path() const { return m_dir.filePath(QStringLiteral("Vidbrisk.conf")); }
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(SettingsFileTest, FirstStartReadsEmptyFolderThenFailsAndWritesTheDefaults) {
    {
        QtSettingsStore store(path());
        const StoredSettings read = readStoredSettings(store);
        ASSERT_TRUE(read.outputFolder.has_value());
        EXPECT_EQ(*read.outputFolder, QString());
        EXPECT_FALSE(read.comboOutputFormat.has_value());
        EXPECT_FALSE(read.complete());
        EXPECT_EQ(valuesRead(read), 1);
        ASSERT_TRUE(writeStoredSettings(store, SettingsValues{}));
    }
    QSettings file(path(), QSettings::IniFormat);
    EXPECT_EQ(file.allKeys().size(), 9);
    EXPECT_EQ(file.value(name(kOutputFolder)).toString(), QString());
    EXPECT_EQ(file.value(name(kComboOutputFormat)).toInt(), 0);
    EXPECT_EQ(file.value(name(kOverwrite)).toInt(), 0);
    EXPECT_EQ(file.value(name(kDropDownItems)).toInt(), 27);
    EXPECT_EQ(file.value(name(kLetterBox)).toInt(), 0);
    EXPECT_EQ(file.value(name(kFilesAtOnce)).toInt(), 1);
    EXPECT_EQ(file.value(name(kDeinterlace)).toInt(), 0);
    EXPECT_EQ(file.value(name(kSubtitles)).toInt(), 0);
    EXPECT_EQ(file.value(name(kAudioTracks)).toInt(), 0);

    QtSettingsStore again(path());
    EXPECT_TRUE(readStoredSettings(again).complete());
}

TEST_F(SettingsFileTest, FilesAtOnceIsReadBesideTheFiveAndNeverStopsTheirReading) {
    // A file of an earlier version: the five are complete, the files at once missing.
    writeIniFile(path(), "Output%20Folder=/out\nComboOutputFormat=3\nOverwrite=0\n"
                         "DropDownItems=30\nLetterBox=0\n");
    {
        QtSettingsStore store(path());
        const StoredSettings read = readStoredSettings(store);
        EXPECT_TRUE(read.complete());
        EXPECT_EQ(*read.dropDownItems, 30);
        EXPECT_FALSE(read.filesAtOnce.has_value());
    }
    // Given as stored, even after a failed read of the five.
    writeIniFile(path(), "Output%20Folder=/out\nComboOutputFormat=abc\nFilesAtOnce=64\n");
    QtSettingsStore store(path());
    const StoredSettings read = readStoredSettings(store);
    EXPECT_FALSE(read.complete());
    EXPECT_EQ(read.filesAtOnce, 64);
}

TEST_F(SettingsFileTest, ValuesSurviveARestart) {
    // A comma, quotes and non-ASCII letters: an INI file would otherwise split or mangle
    // the folder text.
    const SettingsValues written{.outputFolder = QStringLiteral("/home/u/Vidéos, \"new\" = out"),
                                 .comboOutputFormat = 12,
                                 .overwrite = true,
                                 .dropDownItems = 40,
                                 .letterBox = 1};
    {
        QtSettingsStore store(path());
        ASSERT_TRUE(writeStoredSettings(store, written));
    }
    QtSettingsStore store(path());
    const StoredSettings read = readStoredSettings(store);
    ASSERT_TRUE(read.complete());
    EXPECT_EQ(*read.outputFolder, written.outputFolder);
    EXPECT_EQ(*read.comboOutputFormat, 12);
    EXPECT_TRUE(*read.overwrite);
    EXPECT_EQ(*read.dropDownItems, 40);
    EXPECT_EQ(*read.letterBox, 1);
}

// Integer texts as they stand in the file: which read as which number, which fail.
TEST_F(SettingsFileTest, IntegerTextsInTheFile) {
    struct Case {
        QByteArray text;
        std::optional<int> expected;
    };
    const Case cases[] = {
        {"3", 3},
        {"-1", -1},
        {"100", 100},
        {"2147483647", 2147483647},
        {"abc", {}},
        {"3.5", {}},
        {"true", {}},
        {"2147483648", {}},
        {"", {}},
        {"0x10", {}},
        {"@Variant(\\0\\0\\0\\x2\\0\\0\\0\\a)", 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        writeIniFile(path(), "DropDownItems=" + c.text + "\n");
        QtSettingsStore store(path());
        EXPECT_EQ(store.readInteger(name(kDropDownItems)), c.expected);
    }
}

TEST_F(SettingsFileTest, AnyNonZeroIntegerReadsAsOverwriteOn) {
    writeIniFile(path(), "Overwrite=5\nLetterBox=0\n");
    QtSettingsStore store(path());
    EXPECT_EQ(store.readBoolean(name(kOverwrite)), true);
    EXPECT_EQ(store.readBoolean(name(kLetterBox)), false);
}

TEST_F(SettingsFileTest, AStoreThatCannotBeWrittenReportsIt) {
    // The parent of the settings file is a plain file, so no folder can be made for it
    // (this holds for root as well, unlike a read-only folder).
    const QString blocker = m_dir.filePath(QStringLiteral("plain-file"));
    writeIniFile(blocker, "");
    QtSettingsStore store(blocker + QStringLiteral("/Vidbrisk.conf"));
    EXPECT_FALSE(writeStoredSettings(store, SettingsValues{}));
}

TEST(SettingsUserScope, TheUsersStoreIsMorvaneVidbrisk) {
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    // Keep the real user settings out of reach.
    setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
    QtSettingsStore store;
    EXPECT_EQ(QDir::cleanPath(store.fileName()),
              QDir::cleanPath(config.path() + QStringLiteral("/Morvane/Vidbrisk.conf")));
}

// A failed read at each value in turn: the values before it are read, it and every later
// one are not, even when the later ones are present and valid.
TEST(SettingsFailedRead, EachBadValueStopsTheReadingThere) {
    const char* names[] = {kOutputFolder, kComboOutputFormat, kOverwrite, kDropDownItems,
                           kLetterBox};
    const QVariant missing;
    const std::vector<std::pair<const char*, QVariant>> badIntegers = {
        {"missing", missing},
        {"text", QStringLiteral("abc")},
        {"list", QStringList{QStringLiteral("1"), QStringLiteral("2")}},
        {"truth value", true},
        {"real number", 1.5},
        {"bytes", QByteArray("1")},
        {"too large", QVariant(qlonglong(1) << 40)},
        {"too large unsigned", QVariant(qulonglong(1) << 31)},
    };
    const std::vector<std::pair<const char*, QVariant>> badTexts = {
        {"list", QStringList{QStringLiteral("a"), QStringLiteral("b")}},
        {"integer", 5},
        {"bytes", QByteArray("/tmp")},
    };
    for (int failing = 0; failing < 5; ++failing) {
        for (const auto& [kind, bad] : failing == 0 ? badTexts : badIntegers) {
            SCOPED_TRACE(std::string(names[failing]) + ": " + kind);
            MemorySettingsStore store;
            SettingsValues valuesWithFolder;
            valuesWithFolder.outputFolder = QStringLiteral("/out");
            ASSERT_TRUE(writeStoredSettings(store, valuesWithFolder));
            if (bad.isValid())
                store.plant(name(names[failing]), bad);
            else
                store.remove(name(names[failing]));
            const StoredSettings read = readStoredSettings(store);
            EXPECT_EQ(valuesRead(read), failing);
            EXPECT_FALSE(read.complete());
        }
    }
}

TEST(SettingsFailedRead, AMissingFolderIsEmptyNotAFailure) {
    MemorySettingsStore store;
    SettingsValues negativeIndex;
    negativeIndex.comboOutputFormat = -1;
    ASSERT_TRUE(writeStoredSettings(store, negativeIndex));
    store.remove(name(kOutputFolder));
    const StoredSettings read = readStoredSettings(store);
    ASSERT_TRUE(read.complete());
    EXPECT_EQ(*read.outputFolder, QString());
    // Given as stored: whether a negative index is applied is the caller's rule.
    EXPECT_EQ(*read.comboOutputFormat, -1);
}

TEST(SettingsWrite, ValuesInOrderAndARefusedWriteEndsTheSeries) {
    MemorySettingsStore store;
    ASSERT_TRUE(writeStoredSettings(store, SettingsValues{}));
    const QStringList order{name(kOutputFolder),  name(kComboOutputFormat), name(kOverwrite),
                            name(kDropDownItems), name(kLetterBox),         name(kFilesAtOnce),
                            name(kDeinterlace),   name(kSubtitles),         name(kAudioTracks)};
    EXPECT_EQ(store.writeOrder(), order);
    EXPECT_EQ(store.value(name(kOverwrite)), QVariant(0));

    MemorySettingsStore refusing;
    refusing.failWritesFrom(name(kOverwrite));
    SettingsValues overwriteOn;
    overwriteOn.overwrite = true;
    EXPECT_FALSE(writeStoredSettings(refusing, overwriteOn));
    EXPECT_EQ(refusing.writeOrder(), order.mid(0, 3));
    EXPECT_FALSE(refusing.contains(name(kDropDownItems)));
    // The store is closed (flushed) in every case.
    EXPECT_EQ(refusing.flushes(), 1);
}
