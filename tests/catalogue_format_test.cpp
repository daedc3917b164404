// The output format catalogue, the format box, its change handling and the two dispatches.
#include "FillComboOutputFormat.h"
#include "OOPFillBitrateSizeFrameRate.h"
#include "SettingMapping.h"

#include "AAC.h"
#include "ASF.h"
#include "AU.h"
#include "AVI.h"
#include "AppleTV.h"
#include "AppleTVh264.h"
#include "AppleiPod.h"
#include "AppleiPodTOUCH.h"
#include "Archos.h"
#include "BlackBerry.h"
#include "DVD.h"
#include "GP3.h"
#include "M4A.h"
#include "MOV.h"
#include "MP3.h"
#include "MP4.h"
#include "MPEG.h"
#include "Modern.h"
#include "OGG.h"
#include "PS3.h"
#include "PSP.h"
#include "ReaLMedia.h"
#include "SWF.h"
#include "VCD.h"
#include "WAVwma.h"
#include "WMV.h"
#include "ZUNE.h"
#include "Zen.h"
#include "iPhone.h"
#include "iRiver.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

enum class ApplyKind { None, Mobile, Handheld, Common, Modern };

struct ExpectedRow {
    const char* DisplayName;
    const char* OutputType;
    int BoxPosition; // -1: not offered by the format box
    ProfileFillFunction Fill;
    const char* Variant;
    ApplyKind Apply;
};

constexpr ApplyKind None = ApplyKind::None;
constexpr ApplyKind Mobile = ApplyKind::Mobile;
constexpr ApplyKind Handheld = ApplyKind::Handheld;
constexpr ApplyKind Common = ApplyKind::Common;
constexpr ApplyKind Modern = ApplyKind::Modern;

// clang-format off
const std::vector<ExpectedRow> ExpectedCatalogue = {
    {"3GP - Mobile Video Format (*.3gp)", "3GP", 3, FillGP3, "3GP", Mobile},
    {"3G2 - Mobile Video Format (*.3g2)", "3G2", 4, FillGP3, "3G2", Mobile},
    {"345 (*.mp4)", "MP4", -1, nullptr, "", None},
    {"iPod (*.mp4)", "MP4", -1, FillAppleiPod, "Normal", Handheld},
    {"iPod Extra (640 x 480) (*.mp4)", "MP4", -1, FillAppleiPod, "Extra", Handheld},
    {"iPod Wide Screen (*.mp4)", "MP4", -1, FillAppleiPod, "Wide Screen", Handheld},
    {"iPod Video For TV (*.mp4)", "MP4", -1, FillAppleiPod, "Extra", Handheld},
    {"Apple TV H264 (320 x 240) (*.mp4)", "MP4", -1, FillAppleTVh264, "320 x 240", Handheld},
    {"Apple TV H264 (640 x 480) (*.mp4)", "MP4", -1, FillAppleTVh264, "640 x 480", Handheld},
    {"Apple TV H264 (1280 x 720) (*.mp4)", "MP4", -1, FillAppleTVh264, "1280 x 720", Handheld},
    {"Apple TV (*.mp4)", "MP4", -1, FillAppleTV, "Good", Handheld},
    {"Apple TV (Normal Quality) (*.mp4)", "MP4", -1, FillAppleTV, "Normal", Handheld},
    {"Apple TV (High Quality) (*.mp4)", "MP4", -1, FillAppleTV, "Good", Handheld},
    {"iPod Touch (*.mp4)", "MP4", -1, FillAppleiPodTOUCH, "Normal", Handheld},
    {"iPod Touch Extra (640 x 480) (*.mp4)", "MP4", -1, FillAppleiPodTOUCH, "Extra", Handheld},
    {"iPod Touch Wide Screen (*.mp4)", "MP4", -1, FillAppleiPodTOUCH, "Wide Screen", Handheld},
    {"iPod Touchx", "MP4", -1, nullptr, "", None},
    {"iPod Touchy", "MP4", -1, nullptr, "", None},
    {"iPhone (*.mp4)", "MP4", -1, FilliPhone, "480 x 320", Common},
    {"iPhone Extra (640 x 480) (*.mp4)", "MP4", -1, FilliPhone, "640 x 480", Common},
    {"iPhone Wide Screen (*.mp4)", "MP4", -1, FilliPhone, "720 x 480", Common},
    {"iphonexxxx", "MP4", -1, nullptr, "", None},
    {"AVI - Audio Video Interleave (*.avi)", "AVI", 5, FillAVI, "normal", Common},
    {"AVI - DivX Video (*.avi)", "AVI", 6, FillAVI, "divx", Common},
    {"AVI - XviD Video (*.avi)", "AVI", 7, FillAVI, "xvid", Common},
    {"AVI - Uncompress (*.avi)", "AVI", -1, FillAVI, "uncompress", Common},
    {"MOV - QuickTime Video (*.mov)", "MOV", 8, FillMOV, "", Common},
    {"MP4 - MPEG4 Video (*.mp4)", "MP4", 9, FillMP4, "", Common},
    {"MPEG-1 Movie (*.mpg)", "MPG", 10, FillMPEG, "mpeg1", Common},
    {"MPEG-2 Movie (*.mpg)", "MPG", 11, FillMPEG, "mpeg2", Common},
    {"RM - Real Video (*.rm)", "RM", 12, FillReaLMedia, "video", Common},
    {"WMV - Windows Media Video (*.wmv)", "WMV", 15, FillWMV, "", Common},
    {"SWF - Flash Swf (*.swf)", "SWF", 1, FillSWF, "", Common},
    {"FLV - Flash Video (*.flv)", "FLV", 0, FillSWF, "", Common},
    {"Video CD (*.mpg)", "MPG", 14, FillVCD, "VCD", Common},
    {"Super Video CD (*.mpg)", "MPG", 13, FillVCD, "SVCD", Common},
    {"DVD - VOB (*.vob)", "VOB", -1, FillDVD, "", Common},
    {"AAC - Advance Audio Coding (*.aac)", "AAC", -1, FillAAC, "", Common},
    {"ASF - Advance Streaming Format (*.asf)", "ASF", -1, FillASF, "", Common},
    {"AU - SUN Audio (*.au)", "AU", -1, FillAU, "", Common},
    {"M4A - Mpeg4 Audio File (*.m4a)", "M4A", -1, FillM4A, "", Common},
    {"MP3 - Mpeg Layer3 Audio (*.mp3)", "MP3", 17, FillMP3, "mp3", Common},
    {"OGG - Ogg Vorbis Audio (*.ogg)", "OGG", -1, FillOGG, "", Common},
    {"RA - Real Audio (*.ra)", "RA", -1, FillReaLMedia, "audio", Common},
    {"WAV - Waveform Audio (*.wav)", "WAV", 18, FillWAVwma, "WAV", Common},
    {"WMA - Windows Media Audio (*.wma)", "WMA", 19, FillWAVwma, "WMA", Common},
    {"MP2 - Mpeg Layer2 Audio (*.mp2)", "MP2", -1, FillMP3, "mp2", Common},
    {"aaaaaa", "MP4", -1, nullptr, "", None},
    {"aaaaaaa", "MP4", -1, nullptr, "", None},
    {"Zune Mpeg4 Video (*.mp4)", "MP4", -1, FillZUNE, "MPEG-4", Common},
    {"Zune WMV Windows Media Video (*.wmv)", "WMV", -1, FillZUNE, "WMV", Common},
    {"Zune Mpeg4 AVC Video (*.mp4)", "MP4", -1, FillZUNE, "AVC", Common},
    {"Zune - Future Version", "MP4", -1, nullptr, "", None},
    {"PSP Video (*.mp4)", "MP4", -1, FillPSP, "Good Quality", Common},
    {"PSP Video - Good Quality (*.mp4)", "MP4", -1, FillPSP, "Good Quality", Common},
    {"PSP Video - Normal Quality (*.mp4)", "MP4", -1, FillPSP, "Normal Quality", Common},
    {"PSP Video - Small File Size (*.mp4)", "MP4", -1, FillPSP, "Small File Size", Common},
    {"PSP - Future Formats", "MP4", -1, nullptr, "", None},
    {"PS3 Video (*.mp4)", "MP4", -1, FillPS3, "standard", Common},
    {"PS3 Video(480P) (*.mp4)", "MP4", -1, FillPS3, "standard", Common},
    {"PS3 Video(720P) (*.mp4)", "MP4", -1, FillPS3, "720p", Common},
    {"PS3 Video(1080P) (*.mp4)", "MP4", -1, FillPS3, "1080p", Common},
    {"PS3 - Future Version", "MP4", -1, nullptr, "", None},
    {"Archos AV500/GMini402 (*.avi)", "AVI", -1, FillArchos, "AV500", Common},
    {"Archos AV700 (*.avi)", "AVI", -1, FillArchos, "AV700", Common},
    {"Creative Zen Vision (*.avi)", "AVI", -1, FillZen, "", Common},
    {"iRiver PMP100 (*.avi)", "AVI", -1, FilliRiver, "", Common},
    {"BlackBerry MPEG-4 Video (*.mp4)", "MP4", -1, FillBlackBerry, "MPEG-4", Common},
    {"BlackBerry AVI Video (*.avi)", "AVI", -1, FillBlackBerry, "AVI", Common},
    {"BlackBerry 3GP Video (*.3gp)", "3GP", -1, FillBlackBerry, "3GP", Common},
    {"BlackBerry AMR Audio", "AMR", -1, FillBlackBerry, "AMR", Common},
    // The modern rows follow the classic 71 and the third separator of the box.
    {"MKV - Matroska Video (*.mkv)", "MKV", 21, FillModern, "MKV", Modern},
    {"WEBM - WebM Video (*.webm)", "WEBM", 22, FillModern, "WEBM", Modern},
    {"OPUS - Opus Audio (*.opus)", "OPUS", 23, FillModern, "OPUS", Modern},
    {"FLAC - Free Lossless Audio (*.flac)", "FLAC", 24, FillModern, "FLAC", Modern},
};
// clang-format on

ProfileApplyFunction ApplyFor(ApplyKind kind) {
    switch (kind) {
    case ApplyKind::Mobile:
        return ApplyMobileSettings;
    case ApplyKind::Handheld:
        return ApplyHandheldSettings;
    case ApplyKind::Common:
        return ApplyCommonSettings;
    case ApplyKind::Modern:
        return ApplyModernSettings;
    case ApplyKind::None:
        break;
    }
    return nullptr;
}

const std::string Separator = "              -----------------------------------------";

// A main window without the window: the format box, the nine settings boxes and a file
// list of a few rows whose "Output" column the change handling rewrites.
class FormatWindow {
public:
    explicit FormatWindow(int rowCount = 3) : OutputColumn(rowCount, "old") {
        State.ComboOutputFormat = &FormatBox;
        State.Boxes = m_boxes.Boxes();
        State.WriteOutputColumn = [this](const std::string& label) {
            ++OutputWrites;
            for (std::string& cell : OutputColumn)
                cell = label;
        };
        State.ReadDropDownCount = [this] {
            if (DropDownCountFails)
                throw std::runtime_error("not a number");
            return DropDownCount;
        };
    }

    // Start-up: fill the box, drop-down height 25, restore the saved position, first show.
    void Start(int savedPosition = 0) {
        FillFormatBox(State);
        State.DropDownCount = 25;
        FormatBox.Select(savedPosition);
        OnFormatChange(State);
    }

    // The user picks a box entry: the box selects it and the change handling runs.
    void Choose(int position) {
        FormatBox.Select(position);
        OnFormatChange(State);
    }

    // Every settings box's entries and selection, for before/after comparisons.
    std::vector<std::pair<std::vector<std::string>, int>> Snapshot() const {
        std::vector<std::pair<std::vector<std::string>, int>> result;
        const SettingsBoxes& b = m_boxes.Boxes();
        for (const SettingsBox* box :
             {b.ComboVideoBitrate, b.ComboVideoCodec, b.ComboVideoSize, b.ComboVideoFramerate,
              b.ComboAudioBitrate, b.ComboAudioCodec, b.ComboAudioChannels, b.ComboSamplingRate,
              b.ComboAspectRatio}) {
            std::vector<std::string> entries;
            for (int i = 0; i < box->Count(); ++i)
                entries.push_back(box->Text(i));
            result.emplace_back(entries, box->CurrentPosition());
        }
        return result;
    }

    SettingsBoxes& Boxes() { return m_boxes.Boxes(); }

    ListSettingsBox FormatBox;
    FormatBoxState State;
    std::vector<std::string> OutputColumn;
    int OutputWrites = 0;
    int DropDownCount = 12;
    bool DropDownCountFails = false;

private:
    ListSettingsBoxes m_boxes;
};

TEST(OutputFormatCatalogue, RowsMatchTheTable) {
    ASSERT_EQ(ExpectedCatalogue.size(), OutputFormatCatalogue.size());
    for (std::size_t i = 0; i < OutputFormatCatalogue.size(); ++i) {
        const OutputFormatEntry& row = OutputFormatCatalogue[i];
        const ExpectedRow& expected = ExpectedCatalogue[i];
        SCOPED_TRACE(expected.DisplayName);
        EXPECT_EQ(row.Profile, static_cast<int>(i));
        EXPECT_STREQ(row.DisplayName, expected.DisplayName);
        EXPECT_STREQ(row.OutputType, expected.OutputType);
        EXPECT_EQ(row.Fill, expected.Fill);
        EXPECT_STREQ(row.Variant, expected.Variant);
        EXPECT_EQ(row.Apply, ApplyFor(expected.Apply));
        // A placeholder has neither step; every other row has both.
        EXPECT_EQ(row.Fill == nullptr, row.Apply == nullptr);
        // Only the modern rows reload boxes when the audio codec changes.
        EXPECT_EQ(row.AudioCodecChange != nullptr, expected.Apply == Modern);
    }
}

TEST(OutputFormatCatalogue, DisplayNamesAreDistinctAndFoundByExactText) {
    std::set<std::string> names;
    for (const OutputFormatEntry& row : OutputFormatCatalogue) {
        EXPECT_TRUE(names.insert(row.DisplayName).second) << row.DisplayName;
        EXPECT_EQ(FindOutputFormat(row.DisplayName), &row);
    }
    EXPECT_EQ(FindOutputFormat("flv - flash video (*.flv)"), nullptr);
    EXPECT_EQ(FindOutputFormat("FLV - Flash Video (*.flv) "), nullptr);
    EXPECT_EQ(FindOutputFormat(""), nullptr);
    EXPECT_EQ(FindOutputFormat(Separator), nullptr);
}

// Positions 0 to 19 are the classic box that stored settings know; the modern entries
// follow a third separator, so every stored position selects what it always did.
TEST(FormatBox, ListsTheClassicEntriesThenTheModernOnesAtTheCataloguePositions) {
    FormatWindow window;
    window.State.DropDownCount = 0;
    FillFormatBox(window.State);
    ASSERT_EQ(window.FormatBox.Count(), 25);
    EXPECT_EQ(window.FormatBox.CurrentPosition(), 0);
    EXPECT_EQ(window.State.DropDownCount, 25);
    for (int separator : {2, 16, 20})
        EXPECT_EQ(window.FormatBox.Text(separator), Separator);
    EXPECT_EQ(Separator.size(), 14u + 41u);
    int offered = 0;
    for (const ExpectedRow& row : ExpectedCatalogue) {
        if (row.BoxPosition < 0) {
            for (int i = 0; i < window.FormatBox.Count(); ++i)
                EXPECT_NE(window.FormatBox.Text(i), row.DisplayName);
            continue;
        }
        ++offered;
        EXPECT_EQ(window.FormatBox.Text(row.BoxPosition), row.DisplayName);
        EXPECT_EQ(row.BoxPosition < ClassicFormatBoxCount,
                  &row - ExpectedCatalogue.data() < ClassicFormatCount);
    }
    EXPECT_EQ(offered, 22);
    // Filling the box is not a change: nothing else happened.
    EXPECT_EQ(window.OutputWrites, 0);
    EXPECT_TRUE(window.State.OutputLabel.empty());
    EXPECT_EQ(window.Boxes().ComboVideoCodec->Count(), 0);
}

TEST(FormatChange, StartUpShowsFlvWithTheFlashLists) {
    FormatWindow window;
    window.Start();
    EXPECT_EQ(window.FormatBox.CurrentText(), "FLV - Flash Video (*.flv)");
    EXPECT_EQ(window.State.OutputLabel, "FLV");
    EXPECT_EQ(window.State.LastFormatIndex, 0);
    EXPECT_EQ(window.OutputColumn, std::vector<std::string>(3, "FLV"));
    EXPECT_EQ(window.Boxes().ComboVideoCodec->CurrentText(), "FLV");
    EXPECT_EQ(window.Boxes().ComboAudioCodec->CurrentText(), "mp3");
    EXPECT_EQ(window.Boxes().ComboSamplingRate->Count(), 3);
    EXPECT_EQ(window.Boxes().ComboSamplingRate->CurrentText(), "44100 Hz");
    EXPECT_EQ(window.Boxes().ComboVideoBitrate->CurrentText(), "200 Kbps");
    EXPECT_EQ(window.State.DropDownCount, 12);
}

TEST(FormatChange, EveryRowGetsTheNewLabelWhateverItsState) {
    FormatWindow window(5);
    window.OutputColumn = {"Done", "Fail", "Abort", "", "MP3"};
    window.Start();
    EXPECT_EQ(window.OutputColumn, std::vector<std::string>(5, "FLV"));
    window.Choose(17);
    EXPECT_EQ(window.OutputColumn, std::vector<std::string>(5, "MP3"));
    EXPECT_EQ(window.State.LastFormatIndex, 17);
}

TEST(FormatChange, SeparatorReturnsToThePreviousEntryAndTouchesNothing) {
    for (int separator : {2, 16, 20}) {
        FormatWindow window;
        window.Start();
        window.Choose(9);                            // MP4
        window.Boxes().ComboVideoBitrate->Select(3); // a user choice that must survive
        const auto before = window.Snapshot();
        const int writes = window.OutputWrites;
        window.DropDownCount = 7;
        window.Choose(separator);
        EXPECT_EQ(window.FormatBox.CurrentPosition(), 9);
        EXPECT_EQ(window.State.LastFormatIndex, 9);
        EXPECT_EQ(window.State.OutputLabel, "MP4");
        EXPECT_EQ(window.OutputWrites, writes);
        EXPECT_EQ(window.State.DropDownCount, 12);
        EXPECT_EQ(window.Snapshot(), before);
    }
}

TEST(FormatChange, SwfAfterFlvChangesOnlyTheLabel) {
    FormatWindow window;
    window.Start();
    const auto flashBoxes = window.Snapshot();
    window.Choose(1);
    EXPECT_EQ(window.State.OutputLabel, "SWF");
    EXPECT_EQ(window.OutputColumn, std::vector<std::string>(3, "SWF"));
    EXPECT_EQ(window.Snapshot(), flashBoxes);
    window.Choose(0);
    EXPECT_EQ(window.State.OutputLabel, "FLV");
}

TEST(FormatChange, RerunningRestoresTheProfileDefaults) {
    FormatWindow window;
    window.Start();
    const auto defaults = window.Snapshot();
    window.Boxes().ComboVideoBitrate->Select(5);
    window.Boxes().ComboAudioChannels->Select(1);
    OnFormatChange(window.State); // the Additional Options count changed
    EXPECT_EQ(window.Snapshot(), defaults);
}

TEST(FormatChange, UnreadableDropDownCountFallsBackTo25) {
    FormatWindow window;
    window.DropDownCountFails = true;
    window.Start();
    EXPECT_EQ(window.State.DropDownCount, 25);
    window.DropDownCountFails = false;
    window.DropDownCount = 9;
    OnFormatDropDown(window.State);
    EXPECT_EQ(window.State.DropDownCount, 9);
    window.DropDownCountFails = true;
    OnFormatDropDown(window.State);
    EXPECT_EQ(window.State.DropDownCount, 25);
    window.State.ReadDropDownCount = nullptr;
    window.State.DropDownCount = 3;
    OnFormatDropDown(window.State);
    EXPECT_EQ(window.State.DropDownCount, 25);
}

TEST(FormatChange, SavedPositionPastTheEndLeavesNoSelection) {
    FormatWindow window;
    window.Start(40);
    EXPECT_EQ(window.FormatBox.CurrentPosition(), -1);
    EXPECT_TRUE(window.State.OutputLabel.empty());
    EXPECT_EQ(window.State.LastFormatIndex, -1);
    EXPECT_EQ(window.OutputColumn, std::vector<std::string>(3, ""));
    EXPECT_EQ(window.Boxes().ComboVideoCodec->Count(), 0);
    EXPECT_EQ(window.Boxes().ComboSamplingRate->Count(), 0);
    // A separator afterwards returns the box to no selection.
    window.Choose(2);
    EXPECT_EQ(window.FormatBox.CurrentPosition(), -1);
    // No row: the apply dispatch leaves the record alone.
    TOutputOptions options;
    ApplyProfileSettings(window.State, options, 0);
    TOutputOptions defaults;
    EXPECT_EQ(options.VideoCodec, defaults.VideoCodec);
    EXPECT_EQ(options.VideoBitrate, defaults.VideoBitrate);
}

TEST(FormatChange, TextNotInTheCatalogueKeepsTheLabel) {
    FormatWindow window;
    window.Start();
    window.FormatBox.Append("Something else");
    window.Choose(25);
    EXPECT_EQ(window.State.OutputLabel, "FLV");
    EXPECT_EQ(window.OutputColumn, std::vector<std::string>(3, "FLV"));
    EXPECT_EQ(window.State.LastFormatIndex, 25);
}

TEST(FormatChange, PlaceholderRowChangesNoBoxAndWritesNoOption) {
    for (const char* placeholder :
         {"345 (*.mp4)", "iPod Touchx", "iPod Touchy", "iphonexxxx", "aaaaaa", "aaaaaaa",
          "Zune - Future Version", "PSP - Future Formats", "PS3 - Future Version"}) {
        SCOPED_TRACE(placeholder);
        FormatWindow window;
        window.Start();
        window.Boxes().ComboVideoBitrate->Select(4);
        const auto before = window.Snapshot();
        window.FormatBox.Clear();
        window.FormatBox.Append(placeholder);
        window.Choose(0);
        EXPECT_EQ(window.Snapshot(), before);
        EXPECT_EQ(window.State.OutputLabel, "MP4");
        TOutputOptions options;
        ResetOutputOptions(options);
        ApplyProfileSettings(window.State, options, 0);
        const TOutputOptions defaults;
        EXPECT_EQ(options.VideoCodec, defaults.VideoCodec);
        EXPECT_EQ(options.AudioCodec, defaults.AudioCodec);
        EXPECT_EQ(options.VideoBitrate, defaults.VideoBitrate);
        EXPECT_EQ(options.AudioBitrate, defaults.AudioBitrate);
        EXPECT_EQ(options.AudioSampleRate, defaults.AudioSampleRate);
        EXPECT_EQ(options.AudioChannels, defaults.AudioChannels);
        EXPECT_EQ(options.FrameRate, defaults.FrameRate);
        EXPECT_EQ(options.FrameSize, defaults.FrameSize);
    }
}

TEST(ApplyProfileSettings, FlvDefaultsGiveTheFlashOptions) {
    FormatWindow window;
    window.Start();
    TOutputOptions options;
    ResetOutputOptions(options);
    ApplyProfileSettings(window.State, options, 2);
    EXPECT_EQ(options.VideoCodec, "flv");
    EXPECT_EQ(options.VideoBitrate, 200000);
    EXPECT_EQ(options.AudioCodec, "libmp3lame");
    EXPECT_EQ(options.AudioBitrate, 64000);
    EXPECT_EQ(options.AudioSampleRate, 44100);
    EXPECT_EQ(options.AudioChannels, 2);
    EXPECT_TRUE(options.FrameSize.empty());
    EXPECT_EQ(options.FrameRate, "15");
    EXPECT_FALSE(options.DisableVideo);
    EXPECT_TRUE(options.OutputFormat.empty());
}

TEST(ApplyProfileSettings, ReadsTheBoxesWhenTheTaskIsBuilt) {
    FormatWindow window;
    window.Start();
    window.Choose(17); // MP3
    window.Boxes().ComboAudioBitrate->Select(0);
    TOutputOptions options;
    ApplyProfileSettings(window.State, options, 0);
    EXPECT_EQ(options.AudioBitrate, 32000);
    EXPECT_TRUE(options.DisableVideo);
    EXPECT_TRUE(options.FrameRate.empty()); // the audio profiles leave no frame rate
}

TEST(ApplyProfileSettings, AutoFrameRateKeepsTheInputRate) {
    FormatWindow window;
    window.Start();
    window.Choose(9); // MP4 defaults to "Auto"
    TOutputOptions options;
    ApplyProfileSettings(window.State, options, 0);
    EXPECT_TRUE(options.FrameRate.empty());
    window.Boxes().ComboVideoFramerate->Select(5); // 29.97 fps
    ApplyProfileSettings(window.State, options, 0);
    EXPECT_EQ(options.FrameRate, "30000/1001");
}

TEST(ApplyProfileSettings, BadNumberRaisesTheConversionError) {
    FormatWindow window;
    window.Start();
    window.Boxes().ComboSamplingRate->Clear();
    window.Boxes().ComboSamplingRate->Append("44100Hz");
    window.Boxes().ComboSamplingRate->Select(0);
    TOutputOptions options;
    EXPECT_THROW(ApplyProfileSettings(window.State, options, 0), SettingConversionError);
}

// Every row of the box, chosen in turn, fills the boxes and yields options without error.
TEST(FormatChange, EveryOfferedEntryFillsAndApplies) {
    FormatWindow window;
    window.Start();
    for (int position = 0; position < window.FormatBox.Count(); ++position) {
        if (window.FormatBox.Text(position) == Separator)
            continue;
        window.Choose(position);
        const OutputFormatEntry* row = FindOutputFormat(window.FormatBox.CurrentText());
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(window.State.OutputLabel, row->OutputType);
        EXPECT_EQ(window.State.LastFormatIndex, position);
        TOutputOptions options;
        EXPECT_NO_THROW(ApplyProfileSettings(window.State, options, position)) << row->DisplayName;
        EXPECT_FALSE(options.AudioCodec.empty()) << row->DisplayName;
    }
}

} // namespace

namespace {

// Every row writes the channel count its channels box shows ("Original" keeps the input's),
// and a box offers only what the row's encoder takes: AMR narrow band is mono only.
TEST(ChannelsBox, EveryRowWritesTheChannelCountItsBoxShows) {
    for (const OutputFormatEntry& entry : OutputFormatCatalogue) {
        if (entry.Fill == nullptr || entry.Apply == nullptr)
            continue;
        ListSettingsBoxes boxes;
        entry.Fill(boxes.Boxes(), entry.Variant);
        SettingsBox& channels = *boxes.Boxes().ComboAudioChannels;
        for (int i = 0; i < channels.Count(); ++i) {
            channels.Select(i);
            const std::string text = channels.CurrentText();
            TOutputOptions options;
            ResetOutputOptions(options);
            entry.Apply(boxes.Boxes(), entry.OutputType, options, 0);
            const int32_t expected = text == "Stereo" ? 2 : text == "Mono" ? 1 : -1;
            EXPECT_EQ(options.AudioChannels, expected) << entry.DisplayName << ": " << text;
            if (options.AudioCodec == "libamr_nb" || std::string(entry.OutputType) == "3GP") {
                EXPECT_EQ(channels.Count(), 1) << entry.DisplayName;
            }
        }
    }
}

TEST(ChannelsBox, TheNextRowGetsStereoAndMonoBackAfterAMonoOnlyRow) {
    FormatBoxState state;
    ListSettingsBoxes boxes;
    ListSettingsBox formatBox;
    state.ComboOutputFormat = &formatBox;
    state.Boxes = boxes.Boxes();
    for (const OutputFormatEntry& entry : OutputFormatCatalogue)
        formatBox.Append(entry.DisplayName);
    formatBox.Select(0); // 3GP: "Mono" only
    FillProfileSettings(state);
    ASSERT_EQ(state.Boxes.ComboAudioChannels->Count(), 1);
    formatBox.Select(67); // BlackBerry MPEG-4, which does not choose in the box
    FillProfileSettings(state);
    EXPECT_EQ(state.Boxes.ComboAudioChannels->Count(), 2);
    EXPECT_EQ(state.Boxes.ComboAudioChannels->CurrentText(), "Mono"); // the choice stays
}

} // namespace
