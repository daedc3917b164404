// The main window's shape offscreen: the designed size, the minimum, the room a larger window
// gives to the list, the size kept between starts and kept within the screen; boxes that
// shorten an entry they cannot show whole; controls tied to their labels; the video boxes of a
// sound-only format; several rows removed at once; the keys of the context menu.
#include "ElidingComboBox.h"
#include "WindowGeometry.h"
#include "window_support.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

constexpr int kOpus = 23; // format box positions
constexpr int kMp3 = 17;
constexpr int kFlv = 0;

class WindowLayout : public ShownWindowTest {
protected:
    QWidget& settingsPanel() { return *form().findChild<QWidget*>("PanelSettings"); }
    void chooseFormat(int position) {
        form().ComboOutputFormat->setCurrentIndex(position);
        form().ComboOutputFormatChange();
        QApplication::processEvents();
    }
    FileListView& list() { return *form().ListView1; }
};

TEST_F(WindowLayout, DesignedSizeAndAMinimumThatFitsAtScaleTwo) {
    EXPECT_EQ(form().width(), 762);
    EXPECT_EQ(form().height(), 516 + form().menuBar()->height());
    EXPECT_EQ(settingsPanel().size(), QSize(762, 170));
    EXPECT_EQ(list().columnWidth(0), 245);
    // At twice the size, with a title bar, the smallest window fits 1600x1000.
    const QSize minimum = form().minimumSizeHint().expandedTo(form().minimumSize());
    EXPECT_LE(2 * minimum.width(), 1600 - 8);
    EXPECT_LE(2 * minimum.height(), 1000 - 40);
    // The list gives up height first: at the minimum the panel keeps its shape.
    form().resize(minimum);
    QApplication::processEvents();
    EXPECT_EQ(settingsPanel().size(), QSize(762, 170));
    EXPECT_LT(list().height(), 200);
}

TEST_F(WindowLayout, ALargerWindowGivesItsRoomToTheList) {
    const QSize listBefore = list().size();
    const QSize formBefore = form().size();
    const QRect panelBefore = settingsPanel().geometry();
    form().resize(1200, 800);
    QApplication::processEvents();
    EXPECT_EQ(list().size() - listBefore, QSize(1200, 800) - formBefore);
    EXPECT_EQ(settingsPanel().size(), panelBefore.size());
    EXPECT_EQ(settingsPanel().x(), panelBefore.x());
    EXPECT_EQ(list().columnWidth(0), 245 + 1200 - 762);
    // A column the user sized keeps its width.
    list().header()->resizeSection(0, 300);
    form().resize(1000, 700);
    QApplication::processEvents();
    EXPECT_EQ(list().columnWidth(0), 300);
}

TEST(WindowGeometryTest, TheSizeIsKeptBetweenStartsWithinTheScreen) {
    const QRect screen = [] {
        windowTestApp();
        return QGuiApplication::primaryScreen()->availableGeometry();
    }();
    struct Case {
        QVariant width, height;
        QSize expected; // invalid: the designed size
    };
    const Case cases[] = {
        {QVariant(), QVariant(), QSize()},
        {780, 520, QSize(780, 520)},
        {"wide", 520, QSize()},
        // Larger than the screen: as large as the screen takes, frame included.
        {5000, 5000, QSize(screen.width() - 8, screen.height() - 40)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width.toString().toStdString());
        ScriptedWindow w;
        if (c.width.isValid()) {
            w.settings.plant(WindowGeometry::kWidth, c.width);
            w.settings.plant(WindowGeometry::kHeight, c.height);
        }
        TForm1& form = w.create();
        ASSERT_TRUE(form.FormCreate());
        const QSize designed(762, 516 + form.menuBar()->sizeHint().height());
        EXPECT_EQ(form.size(), c.expected.isValid() ? c.expected : designed);
        EXPECT_TRUE(screen.contains(form.pos()));
    }
    // Closed by its close box at another size, the next window opens at that size.
    ScriptedWindow first;
    first.create().FormCreate();
    first.form->show();
    first.form->resize(790, 530);
    EXPECT_TRUE(first.form->close());
    EXPECT_EQ(first.settings.value(WindowGeometry::kWidth).toInt(), 790);
    EXPECT_EQ(first.settings.value(WindowGeometry::kHeight).toInt(), 530);
    EXPECT_EQ(first.settings.value(WindowGeometry::kMaximized).toInt(), 0);
}

TEST_F(WindowLayout, AnEntryTooLongForItsBoxIsShortenedWithItsWholeTextAsTooltip) {
    chooseFormat(kOpus);
    auto* rate = qobject_cast<ElidingComboBox*>(form().ComboSamplingRate);
    ASSERT_NE(rate, nullptr);
    const QString whole = QStringLiteral("48000 Hz (the only rate Opus takes)");
    ASSERT_EQ(rate->currentText(), whole);
    EXPECT_TRUE(rate->isElided());
    EXPECT_EQ(rate->toolTip(), whole);
    // The open list is wide enough for the entry.
    rate->showPopup();
    EXPECT_GE(rate->view()->width(), rate->view()->sizeHintForColumn(0));
    rate->hidePopup();
    // A box that shows its entry whole keeps its hint.
    auto* format = qobject_cast<ElidingComboBox*>(form().ComboOutputFormat);
    ASSERT_NE(format, nullptr);
    EXPECT_FALSE(format->isElided());
    EXPECT_EQ(format->toolTip(), "Choose Output Format");
    // Every box of the window asks for little width: the window decides.
    for (QComboBox* box : form().findChildren<QComboBox*>())
        EXPECT_LT(box->minimumSizeHint().width(), 150) << box->objectName().toStdString();
}

TEST_F(WindowLayout, ControlsAreNamedAndTiedToTheirLabels) {
    const std::pair<QWidget*, const char*> named[] = {
        {form().ComboOutputFormat, "Output Format"},
        {form().EditOutputFolder, "Output Folder"},
        {form().ComboVideoBitrate, "Video Quality"},
        {form().ComboVideoFramerate, "Framerate"},
        {form().ComboAudioBitrate, "Audio Quality"},
        {form().ComboSamplingRate, "Sampling Rate"},
        {form().TrackBar1, "Volume"},
        {form().ButtonPlay, "Play"},
        {form().ButtonStop, "Stop"},
        {form().ListView1, "File List"},
    };
    QList<QWidget*> buddies;
    for (const QLabel* label : form().findChildren<QLabel*>())
        if (label->buddy())
            buddies << label->buddy();
    for (const auto& [control, name] : named) {
        SCOPED_TRACE(name);
        EXPECT_EQ(control->accessibleName(), QString::fromLatin1(name));
        if (qobject_cast<QComboBox*>(control) || control == form().TrackBar1)
            EXPECT_TRUE(buddies.contains(control));
    }
}

TEST_F(WindowLayout, VideoBoxesOfASoundOnlyFormatAreDisabledWithTheirLabels) {
    const QList<QComboBox*> video = {form().ComboVideoBitrate, form().ComboVideoCodec,
                                     form().ComboVideoSize, form().ComboVideoFramerate};
    auto labelOf = [this](QWidget* box) {
        for (QLabel* label : form().findChildren<QLabel*>())
            if (label->buddy() == box)
                return label;
        return static_cast<QLabel*>(nullptr);
    };
    for (const auto& [format, videoUsable] : {std::pair{kMp3, false}, std::pair{kFlv, true}}) {
        SCOPED_TRACE(format);
        chooseFormat(format);
        for (QComboBox* box : video) {
            EXPECT_EQ(box->isEnabled(), videoUsable) << box->objectName().toStdString();
            ASSERT_NE(labelOf(box), nullptr);
            EXPECT_EQ(labelOf(box)->isEnabled(), videoUsable);
        }
        EXPECT_TRUE(form().ComboAudioBitrate->isEnabled());
    }
}

TEST_F(WindowLayout, RemoveAndDeleteTakeEverySelectedRow) {
    for (const char* name : {"/a.avi", "/b.avi", "/c.avi", "/d.avi", "/e.avi"})
        list().addRow(QString::fromLatin1(name), FileRowTexts{});
    auto selectRows = [this](std::initializer_list<int> rows) {
        list().clearSelection();
        for (int row : rows)
            list().topLevelItem(row)->setSelected(true);
    };
    selectRows({0, 2});
    form().ButtonRemove->click();
    ASSERT_EQ(list().RowCount(), 3);
    EXPECT_EQ(list().Caption(0), "/b.avi");
    selectRows({1, 2});
    list().setFocus();
    QTest::keyClick(&list(), Qt::Key_Delete);
    ASSERT_EQ(list().RowCount(), 1);
    EXPECT_EQ(list().Caption(0), "/b.avi");
}

TEST_F(WindowLayout, ShiftF10AndTheMenuKeyAskForTheContextMenuAtTheCurrentRow) {
    list().addRow("/a.avi", FileRowTexts{});
    list().addRow("/b.avi", FileRowTexts{});
    list().setCurrentItem(list().topLevelItem(1));
    QSignalSpy asked(&list(), &QWidget::customContextMenuRequested);
    QTest::keyClick(&list(), Qt::Key_F10, Qt::ShiftModifier);
    QTest::keyClick(&list(), Qt::Key_Menu);
    QTest::keyClick(&list(), Qt::Key_F10); // F10 alone is not the menu key
    ASSERT_EQ(asked.size(), 2);
    const QRect row = list().visualItemRect(list().topLevelItem(1));
    for (const QList<QVariant>& arguments : asked)
        EXPECT_TRUE(row.contains(arguments.at(0).toPoint()));
    // The window pops the menu up outside a run only.
    QApplication::processEvents();
    EXPECT_TRUE(form().PopupMenu1->isVisible());
    form().PopupMenu1->hide();
}

} // namespace
