// The converter's settings boxes equal the window's: for every catalogue row with a fill,
// vidbrisk-convert --list-settings against a fresh window that shows that format first.
#include "FillComboOutputFormat.h"
#include "cli_run.h"
#include "window_support.h"

#include <QComboBox>
#include <QSignalBlocker>
#include <gtest/gtest.h>

#include <array>
#include <utility>

namespace {

// One line per box as --list-settings prints it: name, selected position, entries.
std::vector<std::string> WindowBoxLines(TForm1& form) {
    const std::array<std::pair<const char*, QComboBox*>, 9> boxes = {{
        {"ComboVideoBitrate", form.ComboVideoBitrate},
        {"ComboVideoCodec", form.ComboVideoCodec},
        {"ComboVideoSize", form.ComboVideoSize},
        {"ComboVideoFramerate", form.ComboVideoFramerate},
        {"ComboAudioBitrate", form.ComboAudioBitrate},
        {"ComboAudioCodec", form.ComboAudioCodec},
        {"ComboAudioChannels", form.ComboAudioChannels},
        {"ComboSamplingRate", form.ComboSamplingRate},
        {"ComboAspectRatio", form.ComboAspectRatio},
    }};
    std::vector<std::string> lines;
    for (const auto& [name, box] : boxes) {
        std::string line = std::string(name) + '\t' + std::to_string(box->currentIndex());
        for (int i = 0; i < box->count(); ++i)
            line += '\t' + box->itemText(i).toStdString();
        lines.push_back(line);
    }
    return lines;
}

TEST(WindowConverterBoxes, EveryRowStartsLikeTheWindowsFirstShow) {
    int compared = 0;
    for (const OutputFormatEntry& entry : OutputFormatCatalogue) {
        if (entry.Fill == nullptr)
            continue;
        SCOPED_TRACE(entry.DisplayName);
        ScriptedWindow w;
        TForm1& form = w.create();
        ASSERT_TRUE(form.FormCreate());
        // As a stored format position restores it: chosen from code before the first show,
        // which runs the change handling. A row the box does not offer is added, as the
        // converter does.
        {
            const QSignalBlocker blocker(form.ComboOutputFormat);
            const QString name = QString::fromLatin1(entry.DisplayName);
            if (form.ComboOutputFormat->findText(name) < 0)
                form.ComboOutputFormat->addItem(name);
            form.ComboOutputFormat->setCurrentIndex(form.ComboOutputFormat->findText(name));
        }
        form.show();
        QApplication::processEvents();
        ASSERT_EQ(form.formatState().OutputLabel, entry.OutputType);

        const CliRun run = RunCli({"--list-settings", entry.DisplayName});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(Lines(run.out), WindowBoxLines(form));
        ++compared;
    }
    EXPECT_EQ(compared, 66);
}

} // namespace
