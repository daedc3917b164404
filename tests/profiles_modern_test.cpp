// The modern rows (Matroska, WebM, Opus, FLAC): their boxes, the boxes that follow the
// audio codec, the channels box other rows get back, and what the apply step writes for
// each codec and quality entry.
#include "FillComboOutputFormat.h"
#include "Modern.h"
#include "OOPFillBitrateSizeFrameRate.h"
#include "SettingMapping.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Entries = std::vector<std::string>;

const Entries Channels = {"Stereo", "Mono", "Original"};
const Entries AudioBitrates = {"32 Kbps",  "40 Kbps",  "48 Kbps",  "64 Kbps",  "80 Kbps",
                               "96 Kbps",  "112 Kbps", "128 Kbps", "160 Kbps", "192 Kbps",
                               "224 Kbps", "256 Kbps", "320 Kbps"};
const Entries WideRates = {"8000 Hz",  "16000 Hz", "22050 Hz", "32000 Hz",
                           "44100 Hz", "48000 Hz", "96000 Hz"};
const Entries OpusRate = {"48000 Hz (the only rate Opus takes)"};

Entries VideoQualities() {
    Entries list = {"Quality: High", "Quality: Good", "Quality: Compact"};
    list.insert(list.end(), StandardVideoBitrateList.begin(), StandardVideoBitrateList.end());
    for (const char* rate :
         {"3000 Kbps", "4000 Kbps", "6000 Kbps", "8000 Kbps", "12000 Kbps", "16000 Kbps"})
        list.push_back(rate);
    return list;
}

Entries FrameSizes() {
    Entries list(StandardFrameSizeList.begin(), StandardFrameSizeList.end());
    for (const char* size : {"1280 x 720", "1920 x 1080", "3840 x 2160"})
        list.push_back(size);
    return list;
}

Entries BoxEntries(const SettingsBox& box) {
    Entries entries;
    for (int i = 0; i < box.Count(); ++i)
        entries.push_back(box.Text(i));
    return entries;
}

// A window showing one entry of the format box, after the change handling.
class FormatWindow {
public:
    FormatWindow() {
        m_state.ComboOutputFormat = &m_formatBox;
        m_state.Boxes = m_boxes.Boxes();
        FillFormatBox(m_state);
        Boxes().ComboAudioChannels->Select(0);
        Boxes().ComboAspectRatio->Select(0);
    }
    void Choose(const std::string& displayName) {
        for (int i = 0; i < m_formatBox.Count(); ++i)
            if (m_formatBox.Text(i) == displayName)
                m_formatBox.Select(i);
        ASSERT_EQ(m_formatBox.CurrentText(), displayName);
        OnFormatChange(m_state);
    }
    // The user picks an entry of a box by its text.
    void Pick(SettingsBox* SettingsBoxes::*box, const std::string& text) {
        SettingsBox& target = *(Boxes().*box);
        for (int i = 0; i < target.Count(); ++i)
            if (target.Text(i) == text)
                target.Select(i);
        ASSERT_EQ(target.CurrentText(), text);
        if (box == &SettingsBoxes::ComboAudioCodec)
            OnAudioCodecChange(m_state);
    }
    TOutputOptions Apply() const {
        TOutputOptions options;
        ResetOutputOptions(options);
        ApplyProfileSettings(m_state, options, 0);
        return options;
    }
    SettingsBoxes& Boxes() { return m_state.Boxes; }
    std::vector<std::pair<Entries, int>> Snapshot() {
        std::vector<std::pair<Entries, int>> result;
        const SettingsBoxes& b = Boxes();
        for (const SettingsBox* box :
             {b.ComboVideoBitrate, b.ComboVideoCodec, b.ComboVideoSize, b.ComboVideoFramerate,
              b.ComboAudioBitrate, b.ComboAudioCodec, b.ComboAudioChannels, b.ComboSamplingRate,
              b.ComboAspectRatio})
            result.emplace_back(BoxEntries(*box), box->CurrentPosition());
        return result;
    }

private:
    ListSettingsBox m_formatBox;
    ListSettingsBoxes m_boxes;
    FormatBoxState m_state;
};

struct BoxExpectation {
    Entries entries;
    std::string selected;
};

struct RowBoxes {
    const char* displayName;
    const char* label;
    BoxExpectation videoCodec, videoQuality, videoSize, frameRate;
    BoxExpectation audioCodec, audioBitrate, samplingRate;
};

void ExpectBox(const SettingsBox& box, const BoxExpectation& expected, const char* name) {
    SCOPED_TRACE(name);
    EXPECT_EQ(BoxEntries(box), expected.entries);
    EXPECT_EQ(box.CurrentText(), expected.selected);
}

TEST(ModernRows, FillTheirBoxesWithTheirDefaults) {
    const Entries frameRates(StandardFrameRateList.begin(), StandardFrameRateList.end());
    const BoxExpectation none{{}, ""};
    const RowBoxes rows[] = {
        {"MKV - Matroska Video (*.mkv)",
         "MKV",
         {{"H264", "HEVC", "AV1", "VP9", "MPEG4"}, "H264"},
         {VideoQualities(), "Quality: Good"},
         {FrameSizes(), "Original Video Size"},
         {frameRates, "Auto"},
         {{"AAC", "Opus", "FLAC", "MP3", "AC3"}, "AAC"},
         {AudioBitrates, "160 Kbps"},
         {WideRates, "48000 Hz"}},
        {"WEBM - WebM Video (*.webm)",
         "WEBM",
         {{"VP9", "AV1", "VP8"}, "VP9"},
         {VideoQualities(), "Quality: Good"},
         {FrameSizes(), "Original Video Size"},
         {frameRates, "Auto"},
         {{"Opus", "Vorbis"}, "Opus"},
         {AudioBitrates, "128 Kbps"},
         {OpusRate, OpusRate[0]}},
        {"OPUS - Opus Audio (*.opus)",
         "OPUS",
         none,
         none,
         none,
         none,
         {{"Opus"}, "Opus"},
         {AudioBitrates, "128 Kbps"},
         {OpusRate, OpusRate[0]}},
        {"FLAC - Free Lossless Audio (*.flac)",
         "FLAC",
         none,
         none,
         none,
         none,
         {{"FLAC"}, "FLAC"},
         {{"Lossless"}, "Lossless"},
         {WideRates, "44100 Hz"}},
    };
    for (const RowBoxes& row : rows) {
        SCOPED_TRACE(row.displayName);
        FormatWindow window;
        window.Choose("MP4 - MPEG4 Video (*.mp4)"); // an earlier format: every box is replaced
        window.Boxes().ComboAspectRatio->Select(2);
        window.Choose(row.displayName);
        const SettingsBoxes& boxes = window.Boxes();
        ExpectBox(*boxes.ComboVideoCodec, row.videoCodec, "video codec");
        ExpectBox(*boxes.ComboVideoBitrate, row.videoQuality, "video quality");
        ExpectBox(*boxes.ComboVideoSize, row.videoSize, "video size");
        ExpectBox(*boxes.ComboVideoFramerate, row.frameRate, "frame rate");
        ExpectBox(*boxes.ComboAudioCodec, row.audioCodec, "audio codec");
        ExpectBox(*boxes.ComboAudioBitrate, row.audioBitrate, "audio bit rate");
        ExpectBox(*boxes.ComboSamplingRate, row.samplingRate, "sampling rate");
        ExpectBox(*boxes.ComboAudioChannels, {Channels, "Stereo"}, "channels");
        EXPECT_EQ(boxes.ComboAspectRatio->CurrentText(), "Original");
    }
}

// Picking another audio codec reloads the bit rates and sampling rates it takes; a choice
// the new lists also hold stays.
TEST(ModernRows, AudioCodecChoiceReloadsItsRates) {
    struct Step {
        const char* codec;
        BoxExpectation bitrates, rates;
    };
    const Entries ac3Rates = {"32000 Hz", "44100 Hz", "48000 Hz"};
    const Entries mp3Rates(WideRates.begin(), WideRates.end() - 1);
    const Step steps[] = {
        {"Opus", {AudioBitrates, "160 Kbps"}, {OpusRate, OpusRate[0]}},
        {"FLAC", {{"Lossless"}, "Lossless"}, {WideRates, "44100 Hz"}},
        {"AC3", {AudioBitrates, "192 Kbps"}, {ac3Rates, "44100 Hz"}},
        {"MP3", {AudioBitrates, "192 Kbps"}, {mp3Rates, "44100 Hz"}},
        {"AAC", {AudioBitrates, "192 Kbps"}, {WideRates, "44100 Hz"}},
    };
    FormatWindow window;
    window.Choose("MKV - Matroska Video (*.mkv)");
    for (const Step& step : steps) {
        SCOPED_TRACE(step.codec);
        window.Pick(&SettingsBoxes::ComboAudioCodec, step.codec);
        ExpectBox(*window.Boxes().ComboAudioBitrate, step.bitrates, "audio bit rate");
        ExpectBox(*window.Boxes().ComboSamplingRate, step.rates, "sampling rate");
    }
    window.Choose("WEBM - WebM Video (*.webm)");
    window.Pick(&SettingsBoxes::ComboAudioCodec, "Vorbis");
    ExpectBox(*window.Boxes().ComboSamplingRate,
              {{"16000 Hz", "22050 Hz", "32000 Hz", "44100 Hz", "48000 Hz"}, "48000 Hz"},
              "Vorbis rates");
    EXPECT_EQ(BoxEntries(*window.Boxes().ComboAudioBitrate).front(), "48 Kbps");
    // A classic row has no such handling: its boxes stay as the user left them.
    window.Choose("MP4 - MPEG4 Video (*.mp4)");
    window.Boxes().ComboSamplingRate->Select(0);
    const auto before = window.Snapshot();
    window.Pick(&SettingsBoxes::ComboAudioCodec, "mpeg4aac");
    EXPECT_EQ(window.Snapshot(), before);
}

// After a modern row, with "Original" channels chosen, every classic entry of the box
// fills exactly what it fills after the first format of a fresh start.
TEST(ModernRows, ClassicEntriesAfterThemFillTheirUsualBoxes) {
    for (int position = 0; position < ClassicFormatBoxCount; ++position) {
        const std::string name = FormatBoxEntries[position];
        if (name == FormatBoxSeparator)
            continue;
        SCOPED_TRACE(name);
        FormatWindow fresh;
        fresh.Choose("FLV - Flash Video (*.flv)");
        fresh.Choose(name);
        FormatWindow after;
        after.Choose("FLV - Flash Video (*.flv)");
        after.Choose("WEBM - WebM Video (*.webm)");
        after.Pick(&SettingsBoxes::ComboAudioChannels, "Original");
        after.Choose(name);
        EXPECT_EQ(after.Snapshot(), fresh.Snapshot());
    }
}

// What the apply step writes for each video codec entry, at the default quality, at the
// two other quality entries and at a bit rate.
TEST(ModernRows, VideoCodecAndQualityEntriesGiveTheEncoderAndItsOptions) {
    struct Case {
        const char* row;
        const char* codec;
        const char* encoder;
        const char* speed;   // the speed options, first in ExtraOptions
        const char* quality; // the quality option's name
        int high, good, compact;
        int32_t goodBitrate; // VideoBitrate with a quality entry
    };
    const char* mkv = "MKV - Matroska Video (*.mkv)";
    const char* webm = "WEBM - WebM Video (*.webm)";
    const char* av1 = "usage=realtime\ncpu-used=8\nrow-mt=1\npreset=10\n";
    const char* vp9 = "deadline=realtime\ncpu-used=8\nrow-mt=1\n";
    const Case cases[] = {
        {mkv, "H264", "libx264", "preset=veryfast\n", "crf", 20, 23, 28, 0},
        {mkv, "HEVC", "libx265", "preset=ultrafast\nx265-params=log-level=error\n", "crf", 22, 26,
         30, 0},
        {mkv, "AV1", "libaom-av1", av1, "crf", 28, 35, 42, 0},
        {mkv, "VP9", "libvpx-vp9", vp9, "crf", 28, 33, 38, 0},
        {mkv, "MPEG4", "mpeg4", "", "qscale", 3, 5, 8, 0},
        {webm, "VP9", "libvpx-vp9", vp9, "crf", 28, 33, 38, 0},
        {webm, "AV1", "libaom-av1", av1, "crf", 28, 35, 42, 0},
        {webm, "VP8", "libvpx", "deadline=realtime\ncpu-used=8\n", "crf", 8, 12, 20, 4000000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.row) + ", " + c.codec);
        FormatWindow window;
        window.Choose(c.row);
        window.Pick(&SettingsBoxes::ComboVideoCodec, c.codec);
        const std::string speed = c.speed;
        const auto option = [&](int value) {
            return speed + c.quality + "=" + std::to_string(value) + "\n";
        };
        TOutputOptions options = window.Apply();
        EXPECT_EQ(options.VideoCodec, c.encoder);
        EXPECT_EQ(options.ExtraOptions, option(c.good));
        EXPECT_EQ(options.VideoBitrate, c.goodBitrate);
        EXPECT_FALSE(options.DisableVideo);
        EXPECT_TRUE(options.FrameSize.empty());
        EXPECT_TRUE(options.FrameRate.empty());
        window.Pick(&SettingsBoxes::ComboVideoBitrate, "Quality: High");
        EXPECT_EQ(window.Apply().ExtraOptions, option(c.high));
        window.Pick(&SettingsBoxes::ComboVideoBitrate, "Quality: Compact");
        EXPECT_EQ(window.Apply().ExtraOptions, option(c.compact));
        // A bit rate: the speed options, no quality option.
        window.Pick(&SettingsBoxes::ComboVideoBitrate, "4000 Kbps");
        window.Pick(&SettingsBoxes::ComboVideoSize, "1920 x 1080");
        window.Pick(&SettingsBoxes::ComboVideoFramerate, "25.0 fps");
        options = window.Apply();
        EXPECT_EQ(options.ExtraOptions, speed);
        EXPECT_EQ(options.VideoBitrate, 4000000);
        EXPECT_EQ(options.FrameSize, "1920x1080");
        EXPECT_EQ(options.FrameRate, "25");
    }
}

// What the apply step writes for the sound of each audio codec entry and channel choice.
TEST(ModernRows, AudioEntriesGiveTheEncoderRateAndChannels) {
    struct Case {
        const char* row;
        const char* codec;    // picked in the audio codec box
        const char* channels; // picked in the channels box
        const char* encoder;
        int32_t bitrate, rate, channelCount;
        bool soundOnly;
    };
    const char* mkv = "MKV - Matroska Video (*.mkv)";
    const char* webm = "WEBM - WebM Video (*.webm)";
    const Case cases[] = {
        {mkv, "AAC", "Stereo", "aac", 160000, 48000, 2, false},
        {mkv, "Opus", "Original", "libopus", 160000, 48000, -1, false},
        {mkv, "FLAC", "Mono", "flac", -1, 48000, 1, false},
        {mkv, "MP3", "Original", "libmp3lame", 160000, 48000, -1, false},
        {mkv, "AC3", "Original", "ac3", 160000, 48000, -1, false},
        {webm, "Opus", "Stereo", "libopus", 128000, 48000, 2, false},
        {webm, "Vorbis", "Original", "libvorbis", 128000, 48000, -1, false},
        {"OPUS - Opus Audio (*.opus)", "Opus", "Original", "libopus", 128000, 48000, -1, true},
        {"FLAC - Free Lossless Audio (*.flac)", "FLAC", "Original", "flac", -1, 44100, -1, true},
    };
    // The bit rate and sampling rate chosen before stay when the new codec's lists hold them.
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.row) + ", " + c.codec + ", " + c.channels);
        FormatWindow window;
        window.Choose(c.row);
        window.Pick(&SettingsBoxes::ComboAudioCodec, c.codec);
        window.Pick(&SettingsBoxes::ComboAudioChannels, c.channels);
        const TOutputOptions options = window.Apply();
        EXPECT_EQ(options.AudioCodec, c.encoder);
        EXPECT_EQ(options.AudioBitrate, c.bitrate);
        EXPECT_EQ(options.AudioSampleRate, c.rate);
        EXPECT_EQ(options.AudioChannels, c.channelCount);
        EXPECT_EQ(options.DisableVideo, c.soundOnly);
        if (c.soundOnly) {
            EXPECT_TRUE(options.VideoCodec.empty());
            EXPECT_TRUE(options.ExtraOptions.empty());
        }
    }
}

TEST(ModernRows, TextWithoutANumberRaisesTheConversionError) {
    FormatWindow window;
    window.Choose("MKV - Matroska Video (*.mkv)");
    window.Boxes().ComboVideoBitrate->Append("many Kbps");
    window.Pick(&SettingsBoxes::ComboVideoBitrate, "many Kbps");
    EXPECT_THROW(window.Apply(), SettingConversionError);
}

} // namespace
