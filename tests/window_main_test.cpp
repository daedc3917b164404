// The main window offscreen: controls, captions, menus, status bar, the format box before
// and after the first show, the start without media libraries, the open-dialog filter.
#include "FillComboOutputFormat.h"
#include "OpenFilter.h"
#include "Unit4.h"
#include "window_support.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// A caption as shown, without the "&" that marks its mnemonic.
QString caption(const QAction* action) {
    return QString(action->text()).remove(QLatin1Char('&'));
}

QStringList actionTexts(const QList<QAction*>& actions) {
    QStringList texts;
    for (const QAction* action : actions)
        texts << (action->isSeparator() ? QStringLiteral("-") : caption(action));
    return texts;
}

QStringList menuEntries(TForm1& form, const QString& title) {
    for (QAction* action : form.menuBar()->actions())
        if (caption(action) == title && action->menu())
            return actionTexts(action->menu()->actions());
    return {QStringLiteral("<no menu>")};
}

TEST(WindowMain, ControlsCaptionsAndHints) {
    ScriptedWindow w;
    TForm1& form = w.create();
    ASSERT_TRUE(form.FormCreate());
    EXPECT_EQ(form.windowTitle(), "Vidbrisk");
    EXPECT_EQ(form.ButtonAddFile->text(), "Add File");
    EXPECT_EQ(form.ButtonRemove->text(), "Remove");
    EXPECT_EQ(form.ButtonClear->text(), "Clear");
    EXPECT_EQ(form.ButtonStopConvert->text(), "Stop");
    EXPECT_EQ(form.ButtonConvert->text(), "Convert");
    EXPECT_EQ(form.ButtonAddFile->size(), QSize(65, 65));
    EXPECT_EQ(form.ComboOutputFormat->toolTip(), "Choose Output Format");
    EXPECT_EQ(form.EditOutputFolder->toolTip(), "Output Folder");
    // A folder may be typed or pasted.
    EXPECT_FALSE(form.EditOutputFolder->isReadOnly());
    EXPECT_EQ(form.ButtonBrowseForFolder->toolTip(), "Choose Output Folder");
    EXPECT_EQ(form.ComboOutputFormat->toolTipDuration(), 30000);
    EXPECT_EQ(form.ButtonPlay->toolTip(), "Play");
    EXPECT_EQ(form.ButtonPause->toolTip(), "Pause");
    EXPECT_EQ(form.ButtonStop->toolTip(), "Stop");
    EXPECT_FALSE(form.ComboAspectRatio->isVisibleTo(&form));
    EXPECT_EQ(form.ComboAudioChannels->currentText(), "Stereo");
    EXPECT_EQ(form.TrackBar1->value(), 5);
    EXPECT_EQ(form.LabelVolume->text(), "100%");
    EXPECT_EQ(form.VolumeValue, 255);
    EXPECT_EQ(form.StatusPanels[0]->text(), "Ready");
    // Wide enough for "Converting 12 of 15".
    EXPECT_EQ(form.StatusPanels[0]->width(), 120);
    EXPECT_EQ(form.StatusPanels[1]->width(), 230);
    EXPECT_EQ(form.ProgressBar1->width(), 348);
    // The main window's lists take no typed text (the options dialog's do).
    for (QComboBox* combo : form.findChildren<QComboBox*>())
        if (combo->window() == &form) {
            EXPECT_FALSE(combo->isEditable()) << combo->objectName().toStdString();
        }

    const QStringList columns = {"File Name", "Video Size", "Frame Rate", "Duration",
                                 "Output",    "Progress",   "Frames"};
    for (int i = 0; i < columns.size(); ++i)
        EXPECT_EQ(form.ListView1->headerItem()->text(i), columns[i]);
    EXPECT_TRUE(form.ListView1->isColumnHidden(7));
}

TEST(WindowMain, MenusWithTheirSeparators) {
    ScriptedWindow w;
    TForm1& form = w.create();
    ASSERT_TRUE(form.FormCreate());
    EXPECT_EQ(menuEntries(form, "File"),
              QStringList({"Add File", "Go Convert", "-", "Open Output Folder", "Remove Finished",
                           "-", "Exit"}));
    EXPECT_EQ(menuEntries(form, "Options"), QStringList({"Set Additional Options"}));
    EXPECT_EQ(menuEntries(form, "Presets"), QStringList({"Save Settings As..."}));
    EXPECT_EQ(menuEntries(form, "Help"), QStringList({"Open HelpFile", "-", "About"}));
    EXPECT_EQ(actionTexts(form.PopupMenu1->actions()),
              QStringList({"Check All Items", "Uncheck All Items", "Remove Selected Items",
                           "Remove All Items", "Play Selected File", "-", "Show in Folder",
                           "Remove Finished"}));
}

TEST(WindowMain, ExitEndsAtOnceAndHelpOpens) {
    ScriptedWindow w;
    TForm1& form = w.create();
    ASSERT_TRUE(form.FormCreate());
    for (QAction* menu : form.menuBar()->actions())
        for (QAction* entry : menu->menu()->actions()) {
            if (caption(entry) == "Exit" || caption(entry) == "Open HelpFile")
                entry->trigger();
        }
    EXPECT_EQ(w.exitCount, 1);
    EXPECT_EQ(w.help.opens(), 1);
}

TEST(WindowMain, MissingLibrariesTellTheUserAndStop) {
    ScriptedWindow w;
    w.librariesLoad = false;
    TForm1& form = w.create();
    EXPECT_FALSE(form.FormCreate());
    ASSERT_EQ(w.messages.shown().size(), 1u);
    EXPECT_EQ(w.messages.shown()[0].kind, ScriptedMessageBox::Shown::Kind::Information);
    EXPECT_EQ(w.messages.shown()[0].text,
              "Some files are missing. Please re-install this software");
    // The remaining creation steps did not run: the format box is still empty.
    EXPECT_EQ(form.ComboOutputFormat->count(), 0);
}

TEST(WindowMain, FormatBoxFilledAndFlashListsAfterFirstShow) {
    ScriptedWindow w;
    TForm1& form = w.create();
    ASSERT_TRUE(form.FormCreate());
    ASSERT_EQ(form.ComboOutputFormat->count(), 25);
    for (int i = 0; i < 25; ++i)
        EXPECT_EQ(form.ComboOutputFormat->itemText(i).toStdString(), FormatBoxEntries[i]);
    EXPECT_EQ(form.ComboOutputFormat->currentText(), "FLV - Flash Video (*.flv)");
    EXPECT_EQ(form.ComboOutputFormat->maxVisibleItems(), 25);
    EXPECT_EQ(form.ComboVideoCodec->count(), 0);

    form.show();
    QApplication::processEvents();
    EXPECT_EQ(form.formatState().OutputLabel, "FLV");
    EXPECT_GT(form.ComboVideoBitrate->count(), 0);
    EXPECT_GT(form.ComboVideoCodec->count(), 0);
    EXPECT_GT(form.ComboAudioBitrate->count(), 0);
    EXPECT_GE(form.ComboVideoCodec->currentIndex(), 0);

    // A second show does not run the change handling again.
    form.ComboVideoCodec->clear();
    form.hide();
    form.show();
    QApplication::processEvents();
    EXPECT_EQ(form.ComboVideoCodec->count(), 0);
}

TEST(WindowMain, SeparatorIsRefusedAndAChoiceRewritesOutputColumn) {
    ScriptedWindow w;
    TForm1& form = w.create();
    ASSERT_TRUE(form.FormCreate());
    form.show();
    QApplication::processEvents();
    form.ListView1->addRow(QStringLiteral("/a.avi"), rowTexts("FLV", ""));

    const int separator = form.ComboOutputFormat->findText(QString::fromLatin1(FormatBoxSeparator));
    ASSERT_GT(separator, 0);
    form.ComboOutputFormat->setCurrentIndex(separator);
    emit form.ComboOutputFormat->activated(separator);
    EXPECT_EQ(form.ComboOutputFormat->currentIndex(), 0);

    const int threeGp = form.ComboOutputFormat->findText("3GP - Mobile Video Format (*.3gp)");
    ASSERT_GT(threeGp, 0);
    form.ComboOutputFormat->setCurrentIndex(threeGp);
    emit form.ComboOutputFormat->activated(threeGp);
    EXPECT_EQ(form.formatState().OutputLabel, "3GP");
    EXPECT_EQ(form.ListView1->SubText(0, FileColumn::Output), "3GP");
}

TEST(WindowMain, BrowseShowsTheChosenFolderUnlessConverting) {
    ScriptedWindow w;
    TForm1& form = w.create();
    ASSERT_TRUE(form.FormCreate());
    // A first start has no stored folder.
    EXPECT_EQ(form.EditOutputFolder->text(), "");
    w.folders.scriptCancel();
    form.ButtonBrowseForFolder->click();
    EXPECT_EQ(form.EditOutputFolder->text(), "");
    w.folders.scriptFolder("/tmp/out");
    form.ButtonBrowseForFolder->click();
    EXPECT_EQ(form.EditOutputFolder->text(), "/tmp/out");
    form.Converting = true;
    w.folders.scriptFolder("/tmp/other");
    form.ButtonBrowseForFolder->click();
    EXPECT_EQ(form.EditOutputFolder->text(), "/tmp/out");
}

TEST(WindowMain, OpenFilterInQtForm) {
    const QStringList filters = openFilterToQt(QString::fromLatin1(OpenFilter)).split(";;");
    ASSERT_EQ(filters.size(), 24);
    EXPECT_TRUE(filters[0].startsWith("All Supported Files (*.avi *.mpeg *.mpg "));
    EXPECT_TRUE(filters[0].contains("*.mov *.qt *.3gp"));
    EXPECT_TRUE(filters[0].endsWith("*.gif *.swf *.flv)"));
    EXPECT_EQ(filters[1], "3GPP Files (*.3gp)");
    EXPECT_EQ(filters[7], "DV Video Files (*.dv *.dif)");
    EXPECT_EQ(filters[19], "RealMedia Files (*.rm *.rmvb *.ram *.ra)");
    EXPECT_EQ(filters[23], "Windows Media Files (*.wma *.wmv *.asf *.asx)");
    for (const QString& filter : filters)
        EXPECT_FALSE(filter.contains(",")) << filter.toStdString();
}

TEST(WindowMain, TheOpenDialogAlsoOffersTheOutputsTheCommonInputsAndAllFiles) {
    ScriptedWindow w;
    TForm1& form = w.create();
    ASSERT_TRUE(form.FormCreate());
    form.ButtonAddFile->click();
    const QStringList filters = w.dialogFilter.split(";;");
    const QStringList designed = openFilterToQt(QString::fromLatin1(OpenFilter)).split(";;");
    ASSERT_EQ(filters.size(), designed.size() + 10);
    // The designed entries keep their order; the first now names more patterns.
    EXPECT_EQ(filters.mid(1, designed.size() - 1), designed.mid(1));
    EXPECT_TRUE(filters[0].startsWith(designed[0].chopped(1) + " "));
    const QString patterns = filters[0].mid(filters[0].indexOf('(') + 1).chopped(1);
    const QStringList supported = patterns.split(' ');
    for (const char* extension : {"mkv", "webm", "opus", "flac", "m4v", "ts", "m2ts", "mts", "ogv",
                                  "oga", "wv", "m2v", "flv", "mp4", "3g2", "wma"})
        EXPECT_EQ(supported.count(QStringLiteral("*.") + extension), 1) << extension;
    // Every output format's files show under the first entry.
    for (const OutputFormatEntry& entry : OutputFormatCatalogue)
        if (entry.OutputType && *entry.OutputType)
            EXPECT_TRUE(supported.contains("*." + QString(entry.OutputType).toLower()))
                << entry.OutputType;
    EXPECT_TRUE(filters.contains("Matroska Files (*.mkv)"));
    EXPECT_TRUE(filters.contains("MPEG Transport Stream Files (*.ts *.m2ts *.mts)"));
    EXPECT_EQ(filters.last(), "All Files (*)");
}

TEST(WindowMain, FormatListOpensWithTheAdditionalOptionsCount) {
    ScriptedWindow w;
    TForm1& form = w.create();
    ASSERT_TRUE(form.FormCreate());
    form.show();
    {
        // Changed without running the format change: only the opening reads it.
        const QSignalBlocker quiet(form.Form4->SpinEdit1);
        form.Form4->SpinEdit1->setValue(40);
    }
    form.ComboOutputFormat->showPopup();
    EXPECT_EQ(form.ComboOutputFormat->maxVisibleItems(), 40);
    form.ComboOutputFormat->hidePopup();
}

} // namespace
