// The Additional Options dialog offscreen: its controls, the persistent values loaded into
// both windows at creation and written back on a failed read or on close, the files at once
// beside them, and the drop-down count and aspect-ratio handlers. Every window keeps its settings
// in memory.
#include "FillComboOutputFormat.h"
#include "Unit4.h"
#include "window_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

const QString kFolder = QStringLiteral("Output Folder");
const QString kFormat = QStringLiteral("ComboOutputFormat");
const QString kOverwrite = QStringLiteral("Overwrite");
const QString kDropDown = QStringLiteral("DropDownItems");
const QString kLetterBox = QStringLiteral("LetterBox");
const QString kFilesAtOnce = QStringLiteral("FilesAtOnce");
const QString kDeinterlace = QStringLiteral("Deinterlace");
const QString kSubtitles = QStringLiteral("Subtitles");
const QString kAudioTracks = QStringLiteral("AudioTracks");

struct Stored {
    QVariant folder, format, overwrite, dropDown, letterBox;
};

void plantAll(MemorySettingsStore& store, const Stored& values) {
    store.plant(kFolder, values.folder);
    store.plant(kFormat, values.format);
    store.plant(kOverwrite, values.overwrite);
    store.plant(kDropDown, values.dropDown);
    store.plant(kLetterBox, values.letterBox);
}

// The five values as the store holds them now (integers compared as integers).
void expectStored(const MemorySettingsStore& store, const QString& folder, int format,
                  int overwrite, int dropDown, int letterBox) {
    EXPECT_EQ(store.value(kFolder).toString(), folder);
    EXPECT_EQ(store.value(kFormat).toInt(), format);
    EXPECT_EQ(store.value(kOverwrite).toInt(), overwrite);
    EXPECT_EQ(store.value(kDropDown).toInt(), dropDown);
    EXPECT_EQ(store.value(kLetterBox).toInt(), letterBox);
}

TForm1& createWindow(ScriptedWindow& w) {
    TForm1& form = w.create();
    EXPECT_TRUE(form.FormCreate());
    EXPECT_NE(form.Form4, nullptr);
    return form;
}

void showWindow(TForm1& form) {
    form.show();
    QApplication::processEvents();
}

QStringList items(const QComboBox* combo) {
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

const Stored kComplete{QStringLiteral("/stored/out"), 5, 1, 30, 1};

} // namespace

TEST(WindowSettings, DialogControlsAndDefaults) {
    ScriptedWindow w;
    TForm4& dialog = *createWindow(w).Form4;
    EXPECT_EQ(dialog.windowTitle(), "Additional Options");
    EXPECT_TRUE(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);

    QStringList groups;
    for (const QGroupBox* group : dialog.findChildren<QGroupBox*>())
        groups << group->title();
    EXPECT_EQ(groups, QStringList({" Video Options ", " General Options ", " Stream Options "}));
    QStringList labels;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        labels << label->text();
    EXPECT_TRUE(labels.contains("Video Zoom : "));
    EXPECT_TRUE(labels.contains("Aspect Ratio : "));
    EXPECT_TRUE(labels.contains("Deinterlace : "));
    EXPECT_TRUE(labels.contains("Drop Down Items in Output Format List"));
    EXPECT_TRUE(labels.contains("Files at once"));
    EXPECT_TRUE(labels.contains("Subtitles"));
    EXPECT_TRUE(labels.contains("Audio tracks"));

    EXPECT_EQ(items(dialog.ComboLetterBox), QStringList({"None", "LetterBox"}));
    EXPECT_EQ(items(dialog.ComboAspectRatio4),
              QStringList({"Original", "4:3 (Standard", "16:9 (Wide Screen)"}));
    // The lists offer their entries only, and each is tied to its label.
    for (const QComboBox* list : {dialog.ComboLetterBox, dialog.ComboAspectRatio4}) {
        EXPECT_FALSE(list->isEditable());
        EXPECT_EQ(list->currentIndex(), 0);
    }
    EXPECT_EQ(items(dialog.ComboSubtitles), QStringList({"Keep", "Leave out"}));
    EXPECT_EQ(items(dialog.ComboAudioTracks), QStringList({"All", "Default only"}));
    for (const QComboBox* list : {dialog.ComboSubtitles, dialog.ComboAudioTracks}) {
        EXPECT_FALSE(list->isEditable());
        EXPECT_EQ(list->currentIndex(), 0);
    }
    EXPECT_EQ(dialog.ComboLetterBox->accessibleName(), "Video Zoom");
    EXPECT_EQ(dialog.ComboAspectRatio4->accessibleName(), "Aspect Ratio");
    EXPECT_EQ(dialog.SpinFilesAtOnce->accessibleName(), "Files at once");
    EXPECT_EQ(dialog.ComboSubtitles->accessibleName(), "Subtitles");
    EXPECT_EQ(dialog.ComboAudioTracks->accessibleName(), "Audio tracks");
    EXPECT_EQ(dialog.CheckBoxOverWrite->text(), "Overwrite Existing File With The Same Name");
    EXPECT_EQ(dialog.SpinEdit1->minimum(), 26);
    EXPECT_EQ(dialog.SpinEdit1->maximum(), 47);
    EXPECT_EQ(dialog.SpinFilesAtOnce->minimum(), 1);
    EXPECT_EQ(dialog.SpinFilesAtOnce->maximum(), std::max(1, QThread::idealThreadCount()));
    EXPECT_EQ(dialog.SpinFilesAtOnce->value(), 1);
    EXPECT_EQ(dialog.ButtonDone->text(), "Done");

    // "Done" closes the dialog.
    dialog.show();
    QApplication::processEvents();
    ASSERT_TRUE(dialog.isVisible());
    dialog.ButtonDone->click();
    EXPECT_FALSE(dialog.isVisible());
}

TEST(WindowSettings, FirstStartWritesTheDefaults) {
    ScriptedWindow w;
    TForm1& form = createWindow(w);
    EXPECT_EQ(form.EditOutputFolder->text(), "");
    EXPECT_EQ(form.ComboOutputFormat->currentIndex(), 0);
    EXPECT_FALSE(form.OverwriteChosen());
    EXPECT_EQ(form.Form4->SpinEdit1->value(), 27);
    EXPECT_EQ(form.Form4->ComboLetterBox->currentIndex(), 0);
    EXPECT_EQ(w.settings.writeOrder(),
              QStringList({kFolder, kFormat, kOverwrite, kDropDown, kLetterBox, kFilesAtOnce,
                           kDeinterlace, kSubtitles, kAudioTracks}));
    expectStored(w.settings, "", 0, 0, 27, 0);
    EXPECT_EQ(w.settings.value(kFilesAtOnce).toInt(), 1);
    EXPECT_EQ(w.settings.value(kSubtitles).toInt(), 0);
    EXPECT_EQ(w.settings.value(kAudioTracks).toInt(), 0);
}

TEST(WindowSettings, StoredValuesRestoredIntoBothWindows) {
    ScriptedWindow w;
    plantAll(w.settings, kComplete);
    TForm1& form = createWindow(w);
    EXPECT_EQ(form.EditOutputFolder->text(), "/stored/out");
    EXPECT_EQ(form.ComboOutputFormat->currentText(), "AVI - Audio Video Interleave (*.avi)");
    EXPECT_TRUE(form.OverwriteChosen());
    EXPECT_EQ(form.Form4->SpinEdit1->value(), 30);
    EXPECT_EQ(form.Form4->ComboLetterBox->currentText(), "LetterBox");
    EXPECT_TRUE(w.settings.writeOrder().isEmpty()) << "a complete read writes nothing";
    // Neither the format nor the count has been applied before the window is shown.
    EXPECT_EQ(form.formatState().OutputLabel, "");
    EXPECT_EQ(form.ComboVideoCodec->count(), 0);
    EXPECT_EQ(form.ComboOutputFormat->maxVisibleItems(), 25);

    showWindow(form);
    EXPECT_EQ(form.formatState().OutputLabel, "AVI");
    EXPECT_EQ(form.formatState().LastFormatIndex, 5);
    EXPECT_GT(form.ComboVideoCodec->count(), 0);
    EXPECT_EQ(form.ComboOutputFormat->maxVisibleItems(), 30);
    // The aspect-ratio choice is not stored: every start begins at "Original".
    EXPECT_EQ(form.Form4->ComboAspectRatio4->currentIndex(), 0);
    EXPECT_EQ(form.ComboAspectRatio->currentIndex(), 0);
}

TEST(WindowSettings, StoredPositionsAndCountsOutsideTheirRanges) {
    // A stored value below 0 is not applied; a position beyond the list leaves no
    // selection; a separator keeps the first format; the count is kept within 26 to 47.
    struct Case {
        int format, dropDown, letterBox, overwrite;
        int expectedFormat, expectedDropDown, expectedLetterBox;
        bool expectedOverwrite;
        std::string expectedLabel;
    };
    const int separator = 2;
    ASSERT_EQ(FormatBoxEntries[separator], std::string(FormatBoxSeparator));
    const Case cases[] = {
        {9, 100, 1, 7, 9, 47, 1, true, "MP4"},   {-1, 0, -1, 0, 0, 26, 0, false, "FLV"},
        {99, -5, 7, 1, -1, 27, -1, true, ""},    {separator, 47, 0, 0, 0, 47, 0, false, "FLV"},
        {16, 26, 2, 0, 0, 26, -1, false, "FLV"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "format " << c.format << " count " << c.dropDown);
        ScriptedWindow w;
        plantAll(w.settings, {QString(), c.format, c.overwrite, c.dropDown, c.letterBox});
        TForm1& form = createWindow(w);
        EXPECT_EQ(form.ComboOutputFormat->currentIndex(), c.expectedFormat);
        EXPECT_EQ(form.Form4->SpinEdit1->value(), c.expectedDropDown);
        EXPECT_EQ(form.Form4->ComboLetterBox->currentIndex(), c.expectedLetterBox);
        EXPECT_EQ(form.OverwriteChosen(), c.expectedOverwrite);

        showWindow(form);
        EXPECT_EQ(form.formatState().OutputLabel, c.expectedLabel);
        EXPECT_EQ(form.ComboOutputFormat->maxVisibleItems(), c.expectedDropDown);
        // Whatever format was restored, the lists hold that format's entries.
        EXPECT_EQ(form.ComboVideoCodec->count() > 0, !c.expectedLabel.empty());
    }
}

// Every stored format position of the classic box (0 to 19) selects the entry it always
// did; the modern entries come after a third separator (20). A stored separator keeps the
// first format, as the box refuses separators.
TEST(WindowSettings, EveryStoredFormatPositionSelectsItsEntry) {
    struct Case {
        int stored;
        int selected;
        const char* label;
    };
    const Case cases[] = {
        {0, 0, "FLV"},   {1, 1, "SWF"},   {2, 0, "FLV"},    {3, 3, "3GP"},    {4, 4, "3G2"},
        {5, 5, "AVI"},   {6, 6, "AVI"},   {7, 7, "AVI"},    {8, 8, "MOV"},    {9, 9, "MP4"},
        {10, 10, "MPG"}, {11, 11, "MPG"}, {12, 12, "RM"},   {13, 13, "MPG"},  {14, 14, "MPG"},
        {15, 15, "WMV"}, {16, 0, "FLV"},  {17, 17, "MP3"},  {18, 18, "WAV"},  {19, 19, "WMA"},
        {20, 0, "FLV"},  {21, 21, "MKV"}, {22, 22, "WEBM"}, {23, 23, "OPUS"}, {24, 24, "FLAC"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "stored position " << c.stored);
        ScriptedWindow w;
        plantAll(w.settings, {QString(), c.stored, 0, 27, 0});
        TForm1& form = createWindow(w);
        showWindow(form);
        EXPECT_EQ(form.ComboOutputFormat->currentIndex(), c.selected);
        EXPECT_EQ(form.formatState().OutputLabel, c.label);
        EXPECT_EQ(form.ComboOutputFormat->currentText().toStdString(),
                  FormatBoxEntries[c.selected]);
    }
}

TEST(WindowSettings, FailedReadStopsAndWritesTheControlsBack) {
    struct Case {
        QString wrongName;
        QVariant wrongValue;
        // What the controls hold afterwards and the store holds again.
        QString folder;
        int format, overwrite, dropDown, letterBox;
    };
    const Case cases[] = {
        // The folder field keeps its design-time text; Convert refuses it as no folder.
        {kFolder, QVariant(QStringList{"a", "b"}), "C:\\1", 0, 0, 27, 0},
        {kFormat, QStringLiteral("AVI"), "/stored/out", 0, 0, 27, 0},
        {kFormat, QVariant(), "/stored/out", 0, 0, 27, 0},
        {kOverwrite, QStringLiteral("yes"), "/stored/out", 5, 0, 27, 0},
        {kDropDown, 3.5, "/stored/out", 5, 1, 27, 0},
        {kLetterBox, QStringLiteral("LetterBox"), "/stored/out", 5, 1, 30, 0},
        {kLetterBox, QVariant(qint64(1) << 40), "/stored/out", 5, 1, 30, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.wrongName.toStdString() + " = " + c.wrongValue.toString().toStdString());
        ScriptedWindow w;
        plantAll(w.settings, kComplete);
        if (c.wrongValue.isValid())
            w.settings.plant(c.wrongName, c.wrongValue);
        else
            w.settings.remove(c.wrongName);
        TForm1& form = createWindow(w);
        EXPECT_EQ(form.EditOutputFolder->text(), c.folder);
        EXPECT_EQ(form.ComboOutputFormat->currentIndex(), c.format);
        EXPECT_EQ(form.OverwriteChosen(), c.overwrite != 0);
        EXPECT_EQ(form.Form4->SpinEdit1->value(), c.dropDown);
        EXPECT_EQ(form.Form4->ComboLetterBox->currentIndex(), c.letterBox);
        EXPECT_EQ(w.settings.writeOrder().size(), 9);
        expectStored(w.settings, c.folder, c.format, c.overwrite, c.dropDown, c.letterBox);
    }
}

TEST(WindowSettings, CloseSavesAndExitDoesNot) {
    ScriptedWindow w;
    plantAll(w.settings, kComplete);
    TForm1& form = createWindow(w);
    showWindow(form);
    form.EditOutputFolder->setText("/changed");
    form.Form4->CheckBoxOverWrite->setChecked(false);
    form.Form4->SpinEdit1->setValue(40);
    form.Form4->ComboLetterBox->setCurrentIndex(0);
    form.ComboOutputFormat->setCurrentIndex(9);
    form.ComboOutputFormatChange();

    form.Exit();
    EXPECT_EQ(w.exitCount, 1);
    expectStored(w.settings, "/stored/out", 5, 1, 30, 1);

    EXPECT_TRUE(form.close());
    expectStored(w.settings, "/changed", 9, 0, 40, 0);

    // The next start finds what was saved.
    ScriptedWindow next;
    plantAll(next.settings, {QStringLiteral("/changed"), 9, 0, 40, 0});
    TForm1& again = createWindow(next);
    EXPECT_EQ(again.EditOutputFolder->text(), "/changed");
    EXPECT_EQ(again.ComboOutputFormat->currentIndex(), 9);
    EXPECT_FALSE(again.OverwriteChosen());
}

TEST(WindowSettings, StoreThatFailsWritesDoesNotKeepTheWindowOpen) {
    ScriptedWindow w;
    w.settings.failWritesFrom(kFormat);
    TForm1& form = createWindow(w); // the first start's writing fails as well
    showWindow(form);
    form.EditOutputFolder->setText("/kept");
    EXPECT_TRUE(form.close());
    EXPECT_FALSE(form.isVisible());
    // The store refuses every write once it failed: nothing after the folder of the first
    // start was kept, and each writing stopped at its first refusal.
    EXPECT_EQ(w.settings.value(kFolder).toString(), "");
    EXPECT_FALSE(w.settings.contains(kFormat));
    EXPECT_EQ(w.settings.writeOrder(),
              QStringList({kFolder, kFormat, kFolder, QStringLiteral("WindowWidth")}));
    EXPECT_EQ(w.settings.flushes(), 3);
}

TEST(WindowSettings, AspectRatioChoiceGoesToTheHiddenBox) {
    ScriptedWindow w;
    TForm1& form = createWindow(w);
    showWindow(form);
    QComboBox* aspect = form.Form4->ComboAspectRatio4;

    aspect->setCurrentIndex(2);
    EXPECT_EQ(form.ComboAspectRatio->currentText(), "16:9");
    aspect->setCurrentIndex(1);
    EXPECT_EQ(form.ComboAspectRatio->currentText(), "4:3");

    // A format change puts the profile's "Original" into the hidden box; the dialog shows
    // that when it is next opened, rather than a ratio no longer used.
    aspect->setCurrentIndex(2);
    form.ComboOutputFormat->setCurrentIndex(5);
    form.ComboOutputFormatChange();
    EXPECT_EQ(form.ComboAspectRatio->currentIndex(), 0);
    EXPECT_EQ(aspect->currentIndex(), 2);
    form.Form4->show();
    QApplication::processEvents();
    EXPECT_EQ(aspect->currentText(), "Original");
    // Likewise when the drop-down count refills the lists while the dialog is open.
    aspect->setCurrentIndex(1);
    form.Form4->SpinEdit1->setValue(33);
    EXPECT_EQ(form.ComboAspectRatio->currentIndex(), 0);
    EXPECT_EQ(aspect->currentText(), "Original");
    form.Form4->close();
}

TEST(WindowSettings, DropDownCountChangeRerunsTheFormatChange) {
    ScriptedWindow w;
    TForm1& form = createWindow(w);
    showWindow(form);
    ASSERT_GT(form.ComboVideoSize->count(), 1);
    const int defaultSize = form.ComboVideoSize->currentIndex();
    form.ComboVideoSize->setCurrentIndex(defaultSize == 0 ? 1 : 0);
    form.ListView1->addRow(QStringLiteral("/a.avi"), rowTexts("", ""));

    form.Form4->SpinEdit1->setValue(44);
    EXPECT_EQ(form.ComboOutputFormat->maxVisibleItems(), 44);
    EXPECT_EQ(form.ComboVideoSize->currentIndex(), defaultSize) << "lists refilled";
    EXPECT_EQ(form.ListView1->SubText(0, FileColumn::Output), "FLV");

    form.Form4->SpinEdit1->setValue(200);
    EXPECT_EQ(form.Form4->SpinEdit1->value(), 47);
    EXPECT_EQ(form.ComboOutputFormat->maxVisibleItems(), 47);
}

TEST(WindowSettings, FilesAtOnceRoundTripAndRange) {
    const int cores = std::max(1, QThread::idealThreadCount());
    struct Case {
        QVariant stored; // invalid: the settings of an earlier version, without the value
        int shown;
    };
    const Case cases[] = {
        {QVariant(), 1}, {QStringLiteral("many"), 1}, {0, 1}, {cores, cores}, {1000, cores},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.toString().toStdString());
        ScriptedWindow w;
        plantAll(w.settings, kComplete);
        if (c.stored.isValid())
            w.settings.plant(kFilesAtOnce, c.stored);
        TForm1& form = createWindow(w);
        EXPECT_EQ(form.Form4->SpinFilesAtOnce->value(), c.shown);
        EXPECT_EQ(form.FilesAtOnceChosen(), c.shown);
        // Outside the failed-read rule: nothing is written at start-up.
        EXPECT_TRUE(w.settings.writeOrder().isEmpty());
        showWindow(form);
        EXPECT_TRUE(form.close());
        EXPECT_EQ(w.settings.value(kFilesAtOnce).toInt(), c.shown);
    }

    // A failed read of the five writes the files at once back as they were read.
    ScriptedWindow w;
    plantAll(w.settings, kComplete);
    w.settings.plant(kFormat, QStringLiteral("AVI"));
    w.settings.plant(kFilesAtOnce, cores);
    TForm1& form = createWindow(w);
    EXPECT_EQ(w.settings.writeOrder().size(), 9);
    EXPECT_EQ(w.settings.value(kFilesAtOnce).toInt(), cores);
    EXPECT_EQ(form.FilesAtOnceChosen(), cores);
}

TEST(WindowSettings, DeinterlaceChoiceIsOfferedStoredAndUsed) {
    struct Case {
        QVariant stored; // invalid: the settings of an earlier version, without the value
        QString shown;
        DeinterlaceChoice chosen;
    };
    const Case cases[] = {{QVariant(), QStringLiteral("Auto"), DeinterlaceChoice::Auto},
                          {2, QStringLiteral("Never"), DeinterlaceChoice::Never},
                          {QStringLiteral("x"), QStringLiteral("Auto"), DeinterlaceChoice::Auto}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.toString().toStdString());
        ScriptedWindow w;
        plantAll(w.settings, kComplete);
        if (c.stored.isValid())
            w.settings.plant(kDeinterlace, c.stored);
        TForm1& form = createWindow(w);
        QComboBox* box = form.Form4->ComboDeinterlace;
        EXPECT_EQ(items(box), QStringList({"Auto", "Always", "Never"}));
        EXPECT_EQ(box->currentText(), c.shown);
        EXPECT_EQ(form.DeinterlaceChosen(), c.chosen);
        showWindow(form);
        box->setCurrentIndex(1);
        EXPECT_EQ(form.DeinterlaceChosen(), DeinterlaceChoice::Always);
        EXPECT_TRUE(form.close());
        EXPECT_EQ(w.settings.value(kDeinterlace).toInt(), 1);
    }
}

TEST(WindowSettings, StreamChoicesRoundTripAndReachTheRun) {
    struct Case {
        QVariant subtitles, audioTracks; // invalid: settings of an earlier version
        int shownSubtitles, shownTracks;
        bool keep;
        StreamChoices::Tracks tracks;
    };
    const Case cases[] = {
        {QVariant(), QVariant(), 0, 0, true, StreamChoices::Tracks::All},
        {1, 1, 1, 1, false, StreamChoices::Tracks::DefaultOnly},
        {7, QStringLiteral("all"), 0, 0, true, StreamChoices::Tracks::All},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.subtitles.toString().toStdString());
        ScriptedWindow w;
        plantAll(w.settings, kComplete);
        if (c.subtitles.isValid())
            w.settings.plant(kSubtitles, c.subtitles);
        if (c.audioTracks.isValid())
            w.settings.plant(kAudioTracks, c.audioTracks);
        TForm1& form = createWindow(w);
        EXPECT_EQ(form.Form4->ComboSubtitles->currentIndex(), c.shownSubtitles);
        EXPECT_EQ(form.Form4->ComboAudioTracks->currentIndex(), c.shownTracks);
        EXPECT_EQ(form.StreamsChosen().KeepSubtitles, c.keep);
        EXPECT_EQ(form.StreamsChosen().AudioTracks, c.tracks);
        EXPECT_TRUE(w.settings.writeOrder().isEmpty());
        // Chosen by the user and kept when the window closes.
        form.Form4->ComboSubtitles->setCurrentIndex(1 - c.shownSubtitles);
        form.Form4->ComboAudioTracks->setCurrentIndex(1 - c.shownTracks);
        showWindow(form);
        EXPECT_TRUE(form.close());
        EXPECT_EQ(w.settings.value(kSubtitles).toInt(), 1 - c.shownSubtitles);
        EXPECT_EQ(w.settings.value(kAudioTracks).toInt(), 1 - c.shownTracks);
    }
}
