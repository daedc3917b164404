// The main window's shape offscreen: the designed size, the minimum, the room a larger window
// gives to the list and its first column, the size kept between starts and kept within the
// screen; boxes that shorten an entry they cannot show whole. (tests/desktop/ checks the same
// window on a real desktop, with its names, enabled states and keys.)
#include "ElidingComboBox.h"
#include "WindowGeometry.h"
#include "window_support.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <gtest/gtest.h>

namespace {

constexpr int kOpus = 23; // format box position

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
    // A folder too long for its box is in the box's tooltip.
    const QString longFolder = QStringLiteral("/home/someone/Videos/") + QString(80, 'x');
    form().EditOutputFolder->setText(longFolder);
    EXPECT_EQ(form().EditOutputFolder->toolTip(), longFolder);
    form().EditOutputFolder->setText(QStringLiteral("/tmp"));
    EXPECT_EQ(form().EditOutputFolder->toolTip(), "Output Folder");
    // Every box of the window asks for little width: the window decides.
    for (QComboBox* box : form().findChildren<QComboBox*>())
        EXPECT_LT(box->minimumSizeHint().width(), 150) << box->objectName().toStdString();
}

} // namespace
