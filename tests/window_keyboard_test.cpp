// The window used with the keyboard, the wheel and the mouse offscreen: the volume track bar's
// direction, the format box stepping over its separators, the shortcuts, the Tab order, and
// the list's elided paths, tooltips and scroll bar.
#include "FillComboOutputFormat.h"
#include "TestMedia.h"
#include "Unit2.h"
#include "window_support.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {

QString clip(const TestClip& c) {
    return QString::fromStdString(TestMediaPath(c.name));
}

class WindowKeyboard : public ShownWindowTest {
protected:
    FileListView& list() { return *w.form->ListView1; }
    void wheel(QWidget* target, int notches) {
        const QPointF at(target->width() / 2.0, target->height() / 2.0);
        QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    }
};

TEST_F(WindowKeyboard, VolumeGoesUpWithUpRightAndTheWheelOneStepAtATime) {
    VolumeTrackBar* bar = form().TrackBar1;
    ASSERT_EQ(form().LabelVolume->text(), "100%");
    QTest::keyClick(bar, Qt::Key_Up);
    EXPECT_EQ(form().LabelVolume->text(), "120%");
    QTest::keyClick(bar, Qt::Key_Right);
    EXPECT_EQ(form().LabelVolume->text(), "140%");
    QTest::keyClick(bar, Qt::Key_Down);
    QTest::keyClick(bar, Qt::Key_Left);
    EXPECT_EQ(form().LabelVolume->text(), "100%");
    QTest::keyClick(bar, Qt::Key_PageUp);
    EXPECT_EQ(form().LabelVolume->text(), "140%");
    QTest::keyClick(bar, Qt::Key_PageDown);
    wheel(bar, 1);
    EXPECT_EQ(form().LabelVolume->text(), "120%");
    wheel(bar, -1);
    wheel(bar, -1);
    EXPECT_EQ(form().LabelVolume->text(), "80%");
    EXPECT_EQ(form().VolumeValue, 200);
}

TEST_F(WindowKeyboard, AClickOnTheGrooveMovesOnePage) {
    VolumeTrackBar* bar = form().TrackBar1;
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = Qt::Vertical;
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->value();
    option.upsideDown = true;
    const QRect handle =
        bar->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, bar);
    // Near the top (louder) and near the bottom (quieter), far from the handle.
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(handle.center().x(), 2));
    EXPECT_EQ(form().LabelVolume->text(), "140%");
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier,
                      QPoint(handle.center().x(), bar->height() - 2));
    EXPECT_EQ(form().LabelVolume->text(), "100%");
}

TEST_F(WindowKeyboard, ArrowKeysStepOverTheFormatSeparators) {
    QComboBox* box = form().ComboOutputFormat;
    const QString separator = QString::fromLatin1(FormatBoxSeparator);
    // Every entry is reached with Down from the first, and none of them is a separator.
    box->setCurrentIndex(0);
    form().ComboOutputFormatChange();
    QStringList reached{box->currentText()};
    for (int i = 0; i < box->count(); ++i) {
        QTest::keyClick(box, Qt::Key_Down);
        if (reached.back() != box->currentText())
            reached << box->currentText();
    }
    EXPECT_EQ(reached.size(), box->count() - 3);
    EXPECT_FALSE(reached.contains(separator));
    EXPECT_EQ(reached.back(), box->itemText(box->count() - 1));
    for (int i = 0; i < box->count(); ++i)
        QTest::keyClick(box, Qt::Key_Up);
    EXPECT_EQ(box->currentIndex(), 0);
    // The settings follow the entry reached by a key.
    QTest::keyClick(box, Qt::Key_PageDown);
    QTest::keyClick(box, Qt::Key_PageDown);
    EXPECT_NE(box->currentText(), separator);
    EXPECT_EQ(form().formatState().LastFormatIndex, box->currentIndex());
    // The separators keep their places in the box.
    EXPECT_EQ(box->count(), 25);
}

TEST_F(WindowKeyboard, ShortcutsReachTheirCommands) {
    form().activateWindow();
    list().addRow("/a.avi", FileRowTexts{});
    list().addRow("/b.avi", FileRowTexts{});
    list().setCurrentItem(list().topLevelItem(1));
    list().setFocus();
    QTest::keyClick(&list(), Qt::Key_Delete);
    ASSERT_EQ(list().RowCount(), 1);
    EXPECT_EQ(list().Caption(0), "/a.avi");

    QTest::keyClick(&form(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(w.dialogCount, 1);
    QTest::keyClick(&form(), Qt::Key_F1);
    EXPECT_EQ(w.help.opens(), 1);
    // Convert without an output folder asks for one.
    form().EditOutputFolder->clear();
    QTest::keyClick(&form(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(w.messages.texts(), QStringList{"Please select an output folder!"});
    // Escape while idle asks nothing.
    QTest::keyClick(&form(), Qt::Key_Escape);
    EXPECT_EQ(w.messages.texts().size(), 1);
    // Every menu and entry has a mnemonic.
    for (QAction* menu : form().menuBar()->actions()) {
        EXPECT_TRUE(menu->text().contains('&')) << menu->text().toStdString();
        for (QAction* entry : menu->menu()->actions())
            EXPECT_TRUE(entry->isSeparator() || entry->text().contains('&'))
                << entry->text().toStdString();
    }
}

TEST_F(WindowKeyboard, TabFollowsTheScreenOrder) {
    QWidget* const expected[] = {form().ButtonConvert, form().ComboOutputFormat,
                                 form().EditOutputFolder, form().ButtonBrowseForFolder, &list()};
    // The next control Tab gives the focus to.
    auto tabFrom = [](QWidget* from) {
        QWidget* next = from->nextInFocusChain();
        while (next != from && (!(next->focusPolicy() & Qt::TabFocus) || !next->isVisible()))
            next = next->nextInFocusChain();
        return next;
    };
    for (size_t i = 1; i < std::size(expected); ++i)
        EXPECT_EQ(tabFrom(expected[i - 1]), expected[i]) << expected[i]->objectName().toStdString();
}

TEST_F(WindowKeyboard, ListElidesPathsInTheMiddleAndExplainsErrors) {
    EXPECT_EQ(list().textElideMode(), Qt::ElideMiddle);
    // No horizontal scroll bar while the visible columns fit.
    QApplication::processEvents();
    EXPECT_FALSE(list().horizontalScrollBar()->isVisible())
        << list().viewport()->width() << " " << list().header()->length() << " " << list().width();
    w.chosenFiles = {clip(TestMedia::kAviMpeg4Mp3), clip(TestMedia::kNotMedia)};
    form().ButtonAddFile->click();
    ASSERT_EQ(list().RowCount(), 2);
    // The whole path first, then what the row will write.
    EXPECT_EQ(list().topLevelItem(0)->toolTip(0).section('\n', 0, 0),
              clip(TestMedia::kAviMpeg4Mp3));
    EXPECT_TRUE(list().cellToolTip(0, FileColumn::Progress).isEmpty());
    EXPECT_EQ(list().SubText(1, FileColumn::Progress), "Error");
    EXPECT_TRUE(list().cellToolTip(1, FileColumn::Progress).contains("not_media.mp4"))
        << list().cellToolTip(1, FileColumn::Progress).toStdString();
    QApplication::processEvents();
    EXPECT_FALSE(list().horizontalScrollBar()->isVisible());
}

TEST_F(WindowKeyboard, AnEmptyListShowsItsHint) {
    // Pixels unlike the background in a band across the middle of the list.
    auto middleInk = [this] {
        const QImage shown = list().viewport()->grab().toImage();
        const QRgb background = shown.pixel(2, 2);
        int ink = 0;
        const int middle = shown.height() / 2;
        for (int y = middle - 8; y < middle + 8; ++y)
            for (int x = 0; x < shown.width(); ++x)
                ink += shown.pixel(x, y) != background;
        return ink;
    };
    EXPECT_GT(middleInk(), 20);
    list().addRow("/a.avi", FileRowTexts{});
    EXPECT_EQ(middleInk(), 0);
}

TEST_F(WindowKeyboard, AboutIsWideEnoughForItsTitle) {
    QFont bold = QApplication::font();
    bold.setBold(true);
    const QString title = form().FormAbout->windowTitle() + QStringLiteral(" \u2014 ") +
                          QGuiApplication::applicationDisplayName();
    EXPECT_GE(form().FormAbout->width(), QFontMetrics(bold).horizontalAdvance(title) + 100);
}

TEST_F(WindowKeyboard, AboutShowsTheVersion) {
    const auto* version = form().FormAbout->findChild<QLabel*>(QStringLiteral("LabelVersion"));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), QStringLiteral("Version 4.0"));
}

TEST_F(WindowKeyboard, ClearEmptiesTheSizePanel) {
    form().StatusPanels[1]->setText("File Size : 100");
    form().ButtonClear->click();
    EXPECT_TRUE(form().StatusPanels[1]->text().isEmpty());
}

} // namespace
