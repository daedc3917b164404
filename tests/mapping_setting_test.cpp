// Setting-to-parameter mapping: frame sizes, codec names, numbers, channels, audio-only
// labels and frame rates.
#include "SettingMapping.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Nine boxes each holding one entry, selected, so that a test sets exactly the texts
// ApplyCommonSettings reads.
struct BoxTexts {
    std::string VideoBitrate = "512 Kbps";
    std::string VideoCodec = "MPEG4";
    std::string VideoSize = "Original Video Size";
    std::string VideoFramerate = "Auto";
    std::string AudioBitrate = "128 Kbps";
    std::string AudioCodec = "mp3";
    std::string AudioChannels = "Stereo";
    std::string SamplingRate = "44100 Hz";
    std::string AspectRatio = "Original";
};

class MappingBoxes {
public:
    explicit MappingBoxes(const BoxTexts& texts) {
        Set(m_boxes.Boxes().ComboVideoBitrate, texts.VideoBitrate);
        Set(m_boxes.Boxes().ComboVideoCodec, texts.VideoCodec);
        Set(m_boxes.Boxes().ComboVideoSize, texts.VideoSize);
        Set(m_boxes.Boxes().ComboVideoFramerate, texts.VideoFramerate);
        Set(m_boxes.Boxes().ComboAudioBitrate, texts.AudioBitrate);
        Set(m_boxes.Boxes().ComboAudioCodec, texts.AudioCodec);
        Set(m_boxes.Boxes().ComboAudioChannels, texts.AudioChannels);
        Set(m_boxes.Boxes().ComboSamplingRate, texts.SamplingRate);
        Set(m_boxes.Boxes().ComboAspectRatio, texts.AspectRatio);
    }
    const SettingsBoxes& Boxes() const { return m_boxes.Boxes(); }

private:
    static void Set(SettingsBox* box, const std::string& text) {
        box->Clear();
        if (!text.empty()) {
            box->Append(text);
            box->Select(0);
        }
    }
    ListSettingsBoxes m_boxes;
};

TOutputOptions Apply(const BoxTexts& texts, const std::string& label = "AVI") {
    MappingBoxes boxes(texts);
    TOutputOptions options;
    ResetOutputOptions(options);
    ApplyCommonSettings(boxes.Boxes(), label, options, 0);
    return options;
}

struct TextCase {
    const char* Input;
    const char* Expected;
};

TEST(FrameSizeText, DropsTheBracketedNameAndEveryBlank) {
    const std::vector<TextCase> cases = {
        {"320 x 240 (VGA)", "320x240"},
        {"640 x 480", "640x480"},
        {"1280 x 720", "1280x720"},
        {"Original Video Size", "original"},
        {"704 x 576 (4CIF)", "704x576"},
        {"128 x 96 (SQCIF)", "128x96"},
        {"Original Video Size (x)", "OriginalVideoSize"}, // a blank before "(" stays
        {"", ""},
    };
    for (const TextCase& c : cases)
        EXPECT_EQ(FrameSizeText(c.Input), c.Expected) << c.Input;
}

TEST(CodecMapping, VideoLabelsGiveTheEncoderNames) {
    const std::vector<TextCase> cases = {
        {"MPEG4", "mpeg4"},
        {"mpeg4", "mpeg4"},
        {"H264", "libx264"},
        {"XVID", "libxvid"},
        {"XVid", "libxvid"},
        {"WMV2X", "wmv2"},
        {"mpeg4_qt", "mpeg4"},
        {"FLV", "flv"},
        {"H263", "h263"},
        {"WMV2", "wmv2"},
        {"MPEG1VIDEO", "mpeg1video"},
        {"MPEG2VIDEO", "mpeg2video"},
        {"RV10", "rv10"},
        {"RAWVIDEO", "rawvideo"},
        {"MSMPEG4", "msmpeg4"},
        {"", ""},
    };
    for (const TextCase& c : cases)
        EXPECT_EQ(VideoEncoderName(c.Input), c.Expected) << c.Input;
}

TEST(CodecMapping, AudioLabelsGiveTheEncoderNamesWithoutMappingTwice) {
    const std::vector<TextCase> cases = {
        {"aac", "libfaac"},
        {"AAC", "libfaac"},
        {"ac3", "ac3"},
        {"flac", "flac"},
        {"asf", "mp3"},
        {"mp3", "libmp3lame"},
        {"M4A", "mpeg4aac"},
        {"m4a", "mpeg4aac"},
        {"mpeg4aac", "libfaac"},
        {"ra", "ac3"},
        {"WMA7X", "wmav2"},
        {"wav", "pcm_s16le"},
        {"mpeg4aac_qt", "libfaac"},
        {"amr_nb", "libamr_nb"},
        {"mp2", "mp2"},
        {"wmav2", "wmav2"},
        {"pcm_s16le", "pcm_s16le"},
        {"Vorbis", "vorbis"},
        {"pcm_s16be", "pcm_s16be"},
    };
    for (const TextCase& c : cases)
        EXPECT_EQ(AudioEncoderName(c.Input), c.Expected) << c.Input;
}

TEST(AudioOnlyLabels, AreRecognisedInAnyCase) {
    for (const char* label :
         {"aac", "AC3", "AU", "MP2", "MP3", "WAV", "WMA", "RA", "M4A", "AMR", "mp3", "OGG"})
        EXPECT_TRUE(IsAudioOnlyLabel(label)) << label;
    // ASF is a video container: its profile offers a video codec, sizes and rates.
    for (const char* label :
         {"FLV", "SWF", "MP4", "AVI", "3GP", "MPG", "VOB", "RM", "ASF", "asf", ""})
        EXPECT_FALSE(IsAudioOnlyLabel(label)) << label;
}

TEST(ApplyCommonSettings, WritesTheFieldsFromTheBoxTexts) {
    BoxTexts texts;
    texts.VideoBitrate = "1200 Kbps";
    texts.VideoCodec = "H264";
    texts.VideoSize = "320 x 240 (VGA)";
    texts.AudioBitrate = "64 Kbps";
    texts.AudioCodec = "mpeg4aac";
    texts.SamplingRate = "22050 Hz";
    texts.AspectRatio = "16:9";
    const TOutputOptions options = Apply(texts, "MP4");
    EXPECT_EQ(options.VideoBitrate, 1200000);
    EXPECT_EQ(options.VideoCodec, "libx264");
    EXPECT_EQ(options.FrameSize, "320x240");
    EXPECT_EQ(options.AudioBitrate, 64000);
    EXPECT_EQ(options.AudioCodec, "libfaac");
    EXPECT_EQ(options.AudioSampleRate, 22050);
    EXPECT_EQ(options.AspectRatio, "16:9");
    EXPECT_EQ(options.AudioChannels, 2);
    EXPECT_FALSE(options.DisableVideo);
    // The mapping leaves everything else at the record's defaults.
    EXPECT_TRUE(options.FrameRate.empty());
    EXPECT_TRUE(options.OutputFormat.empty());
    EXPECT_TRUE(options.ExtraOptions.empty());
}

TEST(ApplyCommonSettings, OriginalSizeAndAspectLeaveTheFieldsEmpty) {
    const TOutputOptions options = Apply(BoxTexts{});
    EXPECT_TRUE(options.FrameSize.empty());
    EXPECT_TRUE(options.AspectRatio.empty());
}

// "Auto" (the first entry of the portable players' size lists) keeps the input's size like
// "Original Video Size"; only the exact texts do.
TEST(ApplyCommonSettings, AutoSizeKeepsTheInputSize) {
    const std::vector<TextCase> cases = {
        {"Auto", ""},
        {"Original Video Size", ""},
        {"auto", "auto"},
        {"480 x 272", "480x272"},
    };
    for (const TextCase& c : cases) {
        BoxTexts texts;
        texts.VideoSize = c.Input;
        EXPECT_EQ(Apply(texts).FrameSize, c.Expected) << c.Input;
    }
}

// The AMR narrow-band encoder takes one channel only, whatever the label.
TEST(ApplyCommonSettings, AmrNarrowBandIsAlwaysMono) {
    BoxTexts texts;
    texts.AudioCodec = "amr_nb";
    EXPECT_EQ(Apply(texts, "AMR").AudioChannels, 1);
    EXPECT_EQ(Apply(texts, "MP4").AudioChannels, 1);
    texts.AudioCodec = "mpeg4aac";
    EXPECT_EQ(Apply(texts, "AMR").AudioChannels, 2);
}

TEST(ApplyCommonSettings, NumbersComeFromTheTextBeforeTheFirstBlank) {
    struct NumberCase {
        const char* VideoBitrate;
        const char* AudioBitrate;
        const char* SamplingRate;
        int32_t Video;
        int32_t Audio;
        int32_t Sampling;
    };
    const std::vector<NumberCase> cases = {
        {"384  Kbps", "64 Kbps", "8000  Hz", 384000, 64000, 8000},
        {"2500 Kbps", "12200 bps", "8000 bps", 2500000, 12200, 8000},
        {"6000 Kbps", "4750 bps", "16000 Hz", 6000000, 4750, 16000},
        // A video text without a blank reads as 0, which the engine treats as not set.
        {"", "320 Kbps", "96000 Hz", 0, 320000, 96000},
        {"512Kbps", "32 Kbps", "44100 Hz", 0, 32000, 44100},
        // A kilobit audio text without a blank reads as 0 too (not applied).
        {"512 Kbps", "128Kbps", "44100 Hz", 512000, 0, 44100},
    };
    for (const NumberCase& c : cases) {
        BoxTexts texts;
        texts.VideoBitrate = c.VideoBitrate;
        texts.AudioBitrate = c.AudioBitrate;
        texts.SamplingRate = c.SamplingRate;
        const TOutputOptions options = Apply(texts);
        EXPECT_EQ(options.VideoBitrate, c.Video) << c.VideoBitrate;
        EXPECT_EQ(options.AudioBitrate, c.Audio) << c.AudioBitrate;
        EXPECT_EQ(options.AudioSampleRate, c.Sampling) << c.SamplingRate;
    }
}

TEST(ApplyCommonSettings, ChannelsFollowTheBoxExceptFor3GPAnd3G2) {
    struct ChannelCase {
        const char* Channels;
        const char* Label;
        int32_t Expected;
    };
    const std::vector<ChannelCase> cases = {
        {"Stereo", "AVI", 2}, {"Mono", "AVI", 1},   {"Stereo", "3GP", 1},
        {"Stereo", "3G2", 1}, {"Stereo", "3gp", 2}, {"", "MP4", 1},
    };
    for (const ChannelCase& c : cases) {
        BoxTexts texts;
        texts.AudioChannels = c.Channels;
        EXPECT_EQ(Apply(texts, c.Label).AudioChannels, c.Expected) << c.Channels << " " << c.Label;
    }
}

TEST(ApplyCommonSettings, AudioOnlyLabelsDisableTheVideo) {
    EXPECT_TRUE(Apply(BoxTexts{}, "MP3").DisableVideo);
    EXPECT_FALSE(Apply(BoxTexts{}, "ASF").DisableVideo);
    EXPECT_FALSE(Apply(BoxTexts{}, "FLV").DisableVideo);
    EXPECT_TRUE(Apply(BoxTexts{}, "OGG").DisableVideo);
}

TEST(ApplyCommonSettings, TextsWithoutANumberRaiseTheConversionError) {
    struct BadCase {
        const char* VideoBitrate;
        const char* AudioBitrate;
        const char* SamplingRate;
        const char* Named; // the box text the message must name
    };
    const std::vector<BadCase> cases = {
        {"abc Kbps", "128 Kbps", "44100 Hz", "abc Kbps"},
        {"512 Kbps", "", "44100 Hz", ""},
        {"512 Kbps", "12200bps", "44100 Hz", "12200bps"},
        {"512 Kbps", "128 Kbps", "", ""},
        {"512 Kbps", "128 Kbps", "44100Hz", "44100Hz"},
        {"512 Kbps", "x1 Kbps", "44100 Hz", "x1 Kbps"},
        {"99999999 Kbps", "128 Kbps", "44100 Hz", "99999999 Kbps"}, // beyond 32 bits
    };
    for (const BadCase& c : cases) {
        BoxTexts texts;
        texts.VideoBitrate = c.VideoBitrate;
        texts.AudioBitrate = c.AudioBitrate;
        texts.SamplingRate = c.SamplingRate;
        try {
            Apply(texts);
            ADD_FAILURE() << "no error for " << c.VideoBitrate << " / " << c.AudioBitrate << " / "
                          << c.SamplingRate;
        } catch (const SettingConversionError& error) {
            EXPECT_NE(std::string(error.what()).find(std::string("\"") + c.Named + "\""),
                      std::string::npos)
                << error.what();
        }
    }
}

TEST(ApplyCommonSettings, FieldsBeforeTheBadNumberAreStillWritten) {
    BoxTexts texts;
    texts.AudioBitrate = "bad";
    texts.VideoCodec = "H264";
    MappingBoxes boxes(texts);
    TOutputOptions options;
    EXPECT_THROW(ApplyCommonSettings(boxes.Boxes(), "MP3", options, 3), SettingConversionError);
    EXPECT_EQ(options.VideoCodec, "libx264");
    EXPECT_TRUE(options.DisableVideo);
    EXPECT_EQ(options.VideoBitrate, 512000);
    EXPECT_EQ(options.AudioBitrate, -1);
}

TEST(FrameRateText, PassesTheChosenRateOnWithExactNtscFractions) {
    const std::vector<TextCase> cases = {
        {"Auto", ""},
        {"", ""},
        {"14.985 fps", "15000/1001"},
        {"15.0 fps", "15"},
        {"23.975 fps", "24000/1001"},
        {"23.976 fps [NTSC]", "24000/1001"},
        {"24 fps", "24"},
        {"25.0 fps", "25"},
        {"25 fps [PAL]", "25"},
        {"29.97 fps", "30000/1001"},
        {"29.97 fps [NTSC]", "30000/1001"},
        {"30.0 fps", "30"},
        {"50 fps", "50"},
        {"59.94 fps", "60000/1001"},
        {"0 fps", ""},
        {"fast fps", ""},
    };
    for (const TextCase& c : cases)
        EXPECT_EQ(FrameRateText(c.Input), c.Expected) << c.Input;
}

} // namespace
