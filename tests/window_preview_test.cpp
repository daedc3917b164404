// The window's preview through its buttons and the list's selection, followed on a scripted
// player, and the volume track bar's labels and engine volumes.
#include "TestMedia.h"
#include "window_support.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QStyleFactory>
#include <QStyleOptionSlider>
#include <QToolButton>
#include <gtest/gtest.h>

#include <memory>
#include <ostream>

// Readable failure messages for the player's recorded calls.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

const QString kFirst = QString::fromStdString(TestMediaPath(TestMedia::kMp4H264Aac.name));
const QString kSecond = QString::fromStdString(TestMediaPath(TestMedia::kAviMpeg4Mp3.name));

QStringList calls(std::initializer_list<QString> list) {
    return QStringList(list);
}

QString loads(const QString& file) {
    return QStringLiteral("FileName=") + file;
}

class WindowPreview : public ShownWindowTest {
protected:
    void SetUp() override {
        ShownWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        form().ListView1->addRow(kFirst, FileRowTexts{});
        form().ListView1->addRow(kSecond, FileRowTexts{});
        form().ListView1->clearSelection();
        QApplication::processEvents();
        w.player.clearCalls();
    }
    void select(int row) {
        form().ListView1->setCurrentItem(form().ListView1->topLevelItem(row));
        ASSERT_EQ(form().ListView1->selectedRow(), row);
    }
    const QStringList& played() const { return w.player.calls(); }
};

TEST_F(WindowPreview, PlayPausePlayResumesTheSameFile) {
    select(0);
    EXPECT_EQ(form().PreviewFile, kFirst);
    form().ButtonPlay->click();
    EXPECT_EQ(form().PreviewIndex, 0);
    form().ButtonPause->click();
    EXPECT_TRUE(form().PreviewPaused);
    form().ButtonPlay->click();
    EXPECT_FALSE(form().PreviewPaused);
    // The second Play resumes: the file is not loaded again.
    EXPECT_EQ(played(), calls({loads(kFirst), "Play", "Pause", "Play"}));
}

TEST_F(WindowPreview, SelectingAnotherRowStopsThePlayerAndPlayLoadsIt) {
    select(0);
    form().ButtonPlay->click();
    form().ButtonPause->click();
    w.player.clearCalls();
    select(1);
    EXPECT_EQ(played(), calls({"Stop"}));
    EXPECT_FALSE(form().PreviewPaused);
    EXPECT_EQ(form().PreviewFile, kSecond);
    form().ButtonPlay->click();
    EXPECT_EQ(played(), calls({"Stop", loads(kSecond), "Play"}));
    EXPECT_EQ(form().PreviewIndex, 1);
}

TEST_F(WindowPreview, SelectingThePlayingRowAgainOrLosingTheSelectionKeepsPlaying) {
    select(1);
    form().ButtonPlay->click();
    form().ButtonPause->click();
    w.player.clearCalls();
    form().ListView1->clearSelection();
    EXPECT_EQ(form().PreviewFile, kSecond);
    select(1);
    EXPECT_TRUE(played().isEmpty()) << played().join(", ").toStdString();
    EXPECT_TRUE(form().PreviewPaused);
    form().ButtonPlay->click();
    EXPECT_EQ(played(), calls({"Play"}));
}

TEST_F(WindowPreview, PlayWithoutASelectedRowDoesNothing) {
    form().PreviewIndex = 1;
    form().ButtonPlay->click();
    EXPECT_TRUE(played().isEmpty());
    EXPECT_EQ(form().PreviewIndex, 1);
    form().ListView1->clear();
    form().ButtonPlay->click();
    EXPECT_TRUE(played().isEmpty());
}

TEST_F(WindowPreview, PlaySelectedFileInTheListMenuPlays) {
    select(1);
    w.player.clearCalls();
    form().ActionPlaySelectedFile->trigger();
    EXPECT_EQ(played(), calls({loads(kSecond), "Play"}));
}

TEST_F(WindowPreview, StopEndsAPause) {
    select(0);
    form().ButtonPlay->click();
    form().ButtonPause->click();
    form().ButtonStop->click();
    EXPECT_FALSE(form().PreviewPaused);
    form().ButtonPlay->click();
    EXPECT_EQ(played(), calls({loads(kFirst), "Play", "Pause", "Stop", loads(kFirst), "Play"}));
}

// A pause that never held the selected file must not keep Play from loading it.
TEST_F(WindowPreview, PlayAfterPauseBeforeAnythingPlayedLoadsTheFile) {
    select(0);
    form().ButtonPause->click();
    form().ButtonPlay->click();
    EXPECT_EQ(played(), calls({"Pause", loads(kFirst), "Play"}));
    EXPECT_FALSE(form().PreviewPaused);
}

TEST_F(WindowPreview, PlayAfterThePausedRowWasRemovedLoadsTheRowInItsPlace) {
    select(0);
    form().ButtonPlay->click();
    form().ButtonPause->click();
    form().ListView1->removeRow(0);
    select(0);
    w.player.clearCalls();
    form().ButtonPlay->click();
    EXPECT_EQ(played(), calls({loads(kSecond), "Play"}));
}

TEST_F(WindowPreview, ButtonsDoNothingDuringARun) {
    select(0);
    form().ButtonPlay->click();
    form().ButtonPause->click();
    w.player.clearCalls();
    form().Converting = true;
    for (QToolButton* button : {form().ButtonPlay, form().ButtonPause, form().ButtonStop}) {
        SCOPED_TRACE(button->objectName().toStdString());
        button->click();
        EXPECT_TRUE(played().isEmpty()) << played().join(", ").toStdString();
        EXPECT_TRUE(form().PreviewPaused);
    }
    form().PreviewPaused = false;
    form().ButtonPause->click();
    EXPECT_FALSE(form().PreviewPaused);
    form().Converting = false;
}

TEST_F(WindowPreview, AddFileClearAndConvertStopThePreview) {
    const std::pair<const char*, QToolButton * TForm1::*> commands[] = {
        {"Add File", &TForm1::ButtonAddFile},
        {"Convert", &TForm1::ButtonConvert},
        {"Clear", &TForm1::ButtonClear},
    };
    // The open dialog is cancelled and Convert is refused for a missing folder, so each
    // command ends early but after the preview was stopped; Clear is answered Yes.
    form().EditOutputFolder->clear();
    w.messages.setDefaultAnswer(true);
    for (const auto& [what, button] : commands) {
        SCOPED_TRACE(what);
        select(0);
        form().ButtonPlay->click();
        form().ButtonPause->click();
        w.player.clearCalls();
        (form().*button)->click();
        EXPECT_EQ(played().value(0), QStringLiteral("Stop"));
        EXPECT_FALSE(form().PreviewPaused);
        EXPECT_FALSE(form().Converting);
    }
}

TEST_F(WindowPreview, VolumeStartsAtOneHundredPercent) {
    EXPECT_EQ(form().TrackBar1->value(), 5);
    EXPECT_EQ(form().LabelVolume->text(), QStringLiteral("100%"));
    EXPECT_EQ(form().VolumeValue, 255);
}

TEST_F(WindowPreview, EveryTrackBarPositionGivesItsLabelAndEngineVolume) {
    struct Step {
        int position;
        const char* label;
        int volume;
    };
    // 0 is the top of the bar.
    const Step steps[] = {{0, "200%", 600}, {1, "180%", 450}, {2, "160%", 400}, {3, "140%", 350},
                          {4, "120%", 300}, {5, "100%", 255}, {6, "80%", 200},  {7, "60%", 150},
                          {8, "40%", 100},  {9, "20%", 50},   {10, "0%", 1}};
    // Walk down and back up so every position is reached by a change of the slider.
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < static_cast<int>(std::size(steps)); ++i) {
            const Step& step = steps[pass == 0 ? i : std::size(steps) - 1 - i];
            SCOPED_TRACE(step.position);
            form().TrackBar1->setValue(step.position);
            EXPECT_EQ(form().LabelVolume->text(), QString::fromLatin1(step.label));
            EXPECT_EQ(form().VolumeValue, step.volume);
        }
    }
}

TEST_F(WindowPreview, TheVolumeFillLiesBelowTheHandleAndGrowsWithTheVolume) {
    VolumeTrackBar* bar = form().TrackBar1;
    // Fusion fills the groove in the highlight colour; the rest of the bar is grey.
    std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    ASSERT_NE(fusion, nullptr);
    bar->setStyle(fusion.get());
    auto filledRows = [bar](int position) {
        bar->setValue(position);
        const QImage shown = bar->grab().toImage();
        QStyleOptionSlider option;
        option.initFrom(bar);
        option.orientation = Qt::Vertical;
        option.minimum = bar->minimum();
        option.maximum = bar->maximum();
        option.sliderPosition = position;
        option.upsideDown = false;
        const QRect handle =
            bar->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, bar);
        std::pair<int, int> aboveBelow{0, 0};
        for (int y = 0; y < shown.height(); ++y) {
            bool filled = false;
            for (int x = 0; x < shown.width(); ++x)
                filled = filled || QColor(shown.pixel(x, y)).hsvSaturation() > 90;
            if (filled && y < handle.top())
                ++aboveBelow.first;
            if (filled && y > handle.bottom())
                ++aboveBelow.second;
        }
        return aboveBelow;
    };
    const auto loud = filledRows(1);  // 180 %
    const auto quiet = filledRows(8); // 40 %
    EXPECT_EQ(loud.first, 0);
    EXPECT_EQ(quiet.first, 0);
    EXPECT_GT(loud.second, 2 * quiet.second);
    EXPECT_GT(quiet.second, 0);
    bar->setStyle(nullptr);
}

} // namespace
