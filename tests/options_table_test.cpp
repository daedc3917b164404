// The option table and its handlers: the option text format, validation messages,
// do-nothing and rejected entries, logging, and the values the handlers store.
#include "FFmpeg.h"
#include "MediaLibraries.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

// An engine that keeps its log lines.
class LoggingEngine : public TCustomFFmpeg {
public:
    bool Logging = true;
    std::vector<std::pair<int, std::string>> Lines;
    bool LogInstalled() const override { return Logging; }
    void Log(int level, const std::string& text) override { Lines.emplace_back(level, text); }
};

class OptionTable : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
        engine.InitOptionContexts();
    }
    // The message of the exception SetOption raises, or "" when it raises none.
    std::string failure(const std::string& name, const std::string& value) {
        try {
            engine.SetOption(name, value);
        } catch (const FFMpegException& error) {
            return error.what();
        }
        return std::string();
    }
    LoggingEngine engine;
};

const std::string kVerticalRange =
    "Vertical crop dimensions are outside the range of the original image.\n"
    "Remember to crop first and scale second.";
const std::string kHorizontalRange =
    "Horizontal crop dimensions are outside the range of the original image.\n"
    "Remember to crop first and scale second.";

// Switches the process to a locale whose decimal separator is a comma: de_DE, built with
// localedef into the build tree (the C library remembers a failed look-up, so it is built
// before the first attempt). False when that is impossible.
bool useCommaLocale() {
    const auto hasComma = [] { return std::string(std::localeconv()->decimal_point) == ","; };
    const std::string folder = VIDBRISK_BINARY_DIR "/tests/locales";
    if (!std::filesystem::exists(folder + "/de_DE.UTF-8/LC_NUMERIC")) {
        std::filesystem::create_directories(folder);
        const std::string command =
            "localedef -i de_DE -f UTF-8 '" + folder + "/de_DE.UTF-8' >/dev/null 2>&1";
        if (std::system(command.c_str()) == -1)
            return false;
    }
    setenv("LOCPATH", folder.c_str(), 1);
    return std::setlocale(LC_ALL, "de_DE.UTF-8") && hasComma();
}

std::string numbers(int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += (i ? "," : "") + std::to_string(i + 1);
    return text;
}

TEST_F(OptionTable, RefusedValuesRaiseTheirMessages) {
    struct Case {
        const char* name;
        std::string value;
        std::string message;
    };
    const Case cases[] = {
        {"itsscale", "25:1.5", "stream index over MAX_STREAMS(20)"},
        {"itsscale", "20:1", "stream index over MAX_STREAMS(20)"},
        {"itsscale", "-1:1", "stream index over MAX_STREAMS(20)"},
        {"croptop", "0", kVerticalRange}, // the frame height is still 0
        {"cropbottom", "2", kVerticalRange},
        {"cropleft", "0", kHorizontalRange},
        {"croptop", "3", "Top crop size must be a multiple of 2"},
        {"cropbottom", "1", "Bottom crop size must be a multiple of 2"},
        {"cropleft", "5", "Left crop size must be a multiple of 2"},
        {"cropright", "7", "Right crop size must be a multiple of 2"},
        {"padtop", "3", "Top pad size must be a multiple of 2"},
        {"padbottom", "1", "Bottom pad size must be a multiple of 2"},
        {"padleft", "9", "Left pad size must be a multiple of 2"},
        {"padright", "11", "Right pad size must be a multiple of 2"},
        {"s", "321x240", "Frame size must be a multiple of 2"},
        {"s", "320x241", "Frame size must be a multiple of 2"},
        {"s", "huge", "Incorrect frame size"},
        {"deinterlace_mode", "sometimes",
         "Invalid deinterlace mode 'sometimes': auto, always or never"},
        {"r", "fast", "Incorrect frame rate"},
        {"aspect", "4:0", "Incorrect aspect ratio specification."},
        {"aspect", "wide", "Incorrect aspect ratio specification."},
        {"aspect", "-4:3", "Incorrect aspect ratio specification."},
        {"qscale", "0", "qscale must be > 0.0 and <= 255"},
        {"qscale", "256", "qscale must be > 0.0 and <= 255"},
        {"qscale", "-3", "qscale must be > 0.0 and <= 255"},
        {"pass", "3", "pass number can be only 1 or 2"},
        {"pass", "0", "pass number can be only 1 or 2"},
        {"threads", "-1",
         "'-1' is out of range for option 'threads' (0 = the machine's choice, 1 to 64)"},
        {"threads", "65",
         "'65' is out of range for option 'threads' (0 = the machine's choice, 1 to 64)"},
        {"absf", "aac_adtstoasc", "TODO: option - absf"},
        {"vbsf", "", "TODO: option - vbsf"},
        {"sbsf", "x", "TODO: option - sbsf"},
        {"intra_matrix", numbers(63), "Syntax error in matrix \"" + numbers(63) + "\" at coeff 62"},
        {"inter_matrix", "8;16", "Syntax error in matrix \"8;16\" at coeff 0"},
        {"vtag", "mp4", "video tag parameter must be 4 chars"},
        {"atag", "mp4a5", "audio tag parameter must be 4 chars"},
        {"newvideo", "", "At least one output file must be specified"},
        {"newaudio", "", "At least one output file must be specified"},
        {"newsubtitle", "", "At least one output file must be specified"},
        {"f", "nosuchformat", "Unknown input or output format: nosuchformat"},
        {"t", "soon", "Invalid duration specification for t: soon"},
        {"ss", "x1", "Invalid duration specification for ss: x1"},
        {"itsoffset", "-", "Invalid duration specification for itsoffset: -"},
        {"timestamp", "yesterday", "Invalid date specification for timestamp: yesterday"},
        {"vhook", "/nonexistent/libhook.so a b",
         "Failed to add video hook function: /nonexistent/libhook.so a b"},
        {"ar", "44.1k", "'44.1k' is not a valid integer value for option 'ar'"},
        {"muxdelay", "0,7", "'0,7' is not a valid floating point value for option 'muxdelay'"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(failure(c.name, c.value), c.message) << c.name << "=" << c.value;
    EXPECT_TRUE(engine.Lines.empty());
}

TEST_F(OptionTable, AcceptedValuesAreStored) {
    using Check = std::function<void(const TCustomFFmpeg&)>;
    struct Case {
        const char* name;
        std::string value;
        Check check;
    };
    const Case cases[] = {
        {"itsscale", "3:1.5",
         [](const TCustomFFmpeg& e) { EXPECT_DOUBLE_EQ(e.InputTimestampScales[0][3], 1.5); }},
        {"croptop", "-1", [](const TCustomFFmpeg& e) { EXPECT_EQ(e.CropTop, 0); }},
        {"s", "", [](const TCustomFFmpeg& e) { EXPECT_EQ(e.FrameWidth, 0); }},
        {"s", "vga",
         [](const TCustomFFmpeg& e) {
             EXPECT_EQ(e.FrameWidth, 640);
             EXPECT_EQ(e.FrameHeight, 480);
         }},
        {"aspect", "1.7778",
         [](const TCustomFFmpeg& e) { EXPECT_FLOAT_EQ(e.FrameAspectRatio, 1.7778f); }},
        {"aspect", "16:9",
         [](const TCustomFFmpeg& e) { EXPECT_FLOAT_EQ(e.FrameAspectRatio, 16.0f / 9.0f); }},
        {"qscale", "255", [](const TCustomFFmpeg& e) { EXPECT_FLOAT_EQ(e.VideoQScale, 255.0f); }},
        {"deinterlace_mode", "never",
         [](const TCustomFFmpeg& e) { EXPECT_EQ(e.DeinterlaceMode, EngineOptionState::dmNever); }},
        {"deinterlace_mode", "always",
         [](const TCustomFFmpeg& e) { EXPECT_EQ(e.DeinterlaceMode, EngineOptionState::dmAlways); }},
        {"pix_fmt", "yuv422p", [](const TCustomFFmpeg& e) { EXPECT_EQ(e.PixelFormatChosen, 1); }},
        {"r", "30000/1001",
         [](const TCustomFFmpeg& e) {
             EXPECT_EQ(e.FrameRate.num, 30000);
             EXPECT_EQ(e.FrameRate.den, 1001);
         }},
        {"padcolor", "255",
         [](const TCustomFFmpeg& e) {
             EXPECT_EQ(e.PadColorYUV[0], 76);
             EXPECT_EQ(e.PadColorYUV[1], 85);
             EXPECT_EQ(e.PadColorYUV[2], 255);
         }},
        {"padcolor", "0",
         [](const TCustomFFmpeg& e) {
             EXPECT_EQ(e.PadColorYUV[0], 0);
             EXPECT_EQ(e.PadColorYUV[1], 128);
             EXPECT_EQ(e.PadColorYUV[2], 128);
         }},
        {"padcolor", "$FFFFFF",
         [](const TCustomFFmpeg& e) {
             EXPECT_EQ(e.PadColorYUV[0], 255);
             EXPECT_EQ(e.PadColorYUV[1], 128);
             EXPECT_EQ(e.PadColorYUV[2], 128);
         }},
        {"intra_matrix", numbers(64),
         [](const TCustomFFmpeg& e) {
             ASSERT_EQ(e.IntraMatrix.size(), 64u);
             for (int i = 0; i < 64; ++i)
                 EXPECT_EQ(e.IntraMatrix[i], i + 1);
         }},
        {"map", "0:1",
         [](const TCustomFFmpeg& e) {
             ASSERT_EQ(e.StreamMapCount, 1);
             EXPECT_EQ(e.StreamMaps[0].StreamIndex, 1);
             EXPECT_EQ(e.StreamMaps[0].SyncFileIndex, 0);
             EXPECT_EQ(e.StreamMaps[0].SyncStreamIndex, 1);
         }},
        {"map", "1.0x2:3.4",
         [](const TCustomFFmpeg& e) {
             ASSERT_EQ(e.StreamMapCount, 1);
             EXPECT_EQ(e.StreamMaps[0].FileIndex, 1);
             EXPECT_EQ(e.StreamMaps[0].StreamIndex, 2);
             EXPECT_EQ(e.StreamMaps[0].SyncFileIndex, 3);
             EXPECT_EQ(e.StreamMaps[0].SyncStreamIndex, 4);
         }},
        {"map_meta_data", "1:0",
         [](const TCustomFFmpeg& e) {
             ASSERT_EQ(e.MetadataMapCount, 1);
             EXPECT_EQ(e.MetadataMaps[0].OutFile, 1);
             EXPECT_EQ(e.MetadataMaps[0].InFile, 0);
         }},
        {"t", "00:01:10.5",
         [](const TCustomFFmpeg& e) {
             EXPECT_EQ(e.RecordingTime, 70500000);
             EXPECT_EQ(e.TotalDurationMs, 70500);
         }},
        {"t", "0", [](const TCustomFFmpeg& e) { EXPECT_EQ(e.RecordingTime, INT64_MAX); }},
        {"timestamp", "1970-01-01T00:00:10.6Z",
         [](const TCustomFFmpeg& e) { EXPECT_EQ(e.RecordTimestamp, 11); }},
        {"ar", "0", [](const TCustomFFmpeg& e) { EXPECT_EQ(e.AudioSampleRate, 44100); }},
        {"ac", "1", [](const TCustomFFmpeg& e) { EXPECT_EQ(e.AudioChannels, 1); }},
        {"vtag", "XVID",
         [](const TCustomFFmpeg& e) { EXPECT_EQ(e.VideoCodecTag, MKTAG('X', 'V', 'I', 'D')); }},
        {"fs", "$100000000",
         [](const TCustomFFmpeg& e) { EXPECT_EQ(e.FileSizeLimit, 0x100000000LL); }},
        {"pix_fmt", "yuv422p",
         [](const TCustomFFmpeg& e) { EXPECT_EQ(e.FramePixelFormat, AV_PIX_FMT_YUV422P); }},
        {"f", "mpeg",
         [](const TCustomFFmpeg& e) {
             ASSERT_NE(e.ForcedInputFormat, nullptr);
             ASSERT_NE(e.ForcedOutputFormat, nullptr);
             EXPECT_STREQ(e.ForcedOutputFormat->name, "mpeg");
         }},
    };
    for (const Case& c : cases) {
        engine.ResetOptions();
        engine.TotalDurationMs = -1;
        EXPECT_EQ(failure(c.name, c.value), "") << c.name << "=" << c.value;
        c.check(engine);
    }
}

TEST_F(OptionTable, CropReducesTheFrameSize) {
    engine.SetOption("s", "640x480");
    engine.SetOption("croptop", "16");
    engine.SetOption("cropright", "8");
    EXPECT_EQ(engine.CropTop, 16);
    EXPECT_EQ(engine.FrameHeight, 464);
    EXPECT_EQ(engine.CropRight, 8);
    EXPECT_EQ(engine.FrameWidth, 632);
    EXPECT_EQ(failure("cropbottom", "464"), kVerticalRange);
    engine.SetOption("padleft", "32");
    EXPECT_EQ(engine.PadLeft, 32);
    EXPECT_EQ(engine.FrameWidth, 632);
}

TEST_F(OptionTable, CodecNamesAndCopy) {
    engine.SetOption("vcodec", "mpeg4");
    EXPECT_EQ(engine.VideoCodecName, "mpeg4");
    engine.SetOption("vcodec", "copy");
    EXPECT_EQ(engine.VideoStreamCopy, 1);
    EXPECT_TRUE(engine.VideoCodecName.empty());
    engine.SetOption("acodec", "");
    engine.SetOption("acodec", "mp2");
    EXPECT_EQ(engine.AudioCodecName, "mp2");
    EXPECT_EQ(engine.AudioStreamCopy, 0);
    engine.SetOption("scodec", "copy");
    EXPECT_EQ(engine.SubtitleStreamCopy, 1);
}

TEST_F(OptionTable, DoNothingEntriesLogOnlyWithAReceiver) {
    engine.SetOption("apre", "fast");
    engine.SetOption("benchmark", "");
    ASSERT_EQ(engine.Lines.size(), 2u);
    EXPECT_EQ(engine.Lines[0], std::make_pair(kLogInfo, std::string("Do nothing: option - apre")));
    EXPECT_EQ(engine.Lines[1].second, "Do nothing: option - benchmark");
    engine.Logging = false;
    engine.SetOption("vpre", "x");
    EXPECT_EQ(engine.Lines.size(), 2u);
}

TEST_F(OptionTable, LowBitRatesWarn) {
    const std::string warning = "WARNING: The bitrate parameter is set too low. It takes bits/s "
                                "as argument, not kbits/s";
    const std::pair<const char*, const char*> low[] = {{"b", "64"}, {"vb", "999"}, {"ab", "128"}};
    for (const auto& [name, value] : low) {
        engine.Lines.clear();
        engine.SetOption(name, value);
        ASSERT_EQ(engine.Lines.size(), 1u) << name;
        EXPECT_EQ(engine.Lines[0], std::make_pair(kLogInfo, warning));
    }
    const std::pair<const char*, const char*> fine[] = {{"b", "64000"}, {"ab", "1000"}};
    for (const auto& [name, value] : fine) {
        engine.Lines.clear();
        engine.SetOption(name, value);
        EXPECT_TRUE(engine.Lines.empty()) << name;
    }
    EXPECT_EQ(engine.CodecOptionContexts[AVMEDIA_TYPE_VIDEO]->bit_rate, 64000);
    EXPECT_EQ(engine.CodecOptionContexts[AVMEDIA_TYPE_AUDIO]->bit_rate, 1000);
}

TEST_F(OptionTable, PgmyuvIsReplacedByImage2) {
    engine.SetOption("f", "pgmyuv");
    EXPECT_EQ(engine.PgmyuvCompatibility, 1);
    ASSERT_NE(engine.ForcedOutputFormat, nullptr);
    EXPECT_STREQ(engine.ForcedOutputFormat->name, "image2");
    ASSERT_EQ(engine.Lines.size(), 1u);
    EXPECT_EQ(engine.Lines[0].second, "pgmyuv format is deprecated, use image2");
    engine.ForcedInputFormat = nullptr;
    engine.SetOutputFormat("");
    EXPECT_EQ(engine.ForcedInputFormat, nullptr);
    EXPECT_THROW(engine.SetInputFormat("mp3x"), FFMpegException);
    try {
        engine.SetOutputFormat("nosuch");
        ADD_FAILURE() << "an unknown output format was accepted";
    } catch (const FFMpegException& error) {
        EXPECT_STREQ(error.what(), "Unknown output format: nosuch");
    }
}

TEST_F(OptionTable, PixelFormatListLogsFortyOneTrimmedLines) {
    engine.SetOption("pix_fmt", "list");
    ASSERT_EQ(engine.Lines.size(), 41u);
    for (const auto& [level, text] : engine.Lines) {
        EXPECT_EQ(level, kLogInfo);
        ASSERT_FALSE(text.empty());
        EXPECT_NE(text.front(), ' ');
        EXPECT_NE(text.back(), ' ');
    }
    EXPECT_EQ(engine.Lines[1].second.rfind("yuv420p", 0), 0u) << engine.Lines[1].second;
    EXPECT_EQ(engine.FramePixelFormat, -1);
}

TEST_F(OptionTable, OptionTextLines) {
    engine.Title = "Old";
    engine.ApplyOptionText("title");
    EXPECT_EQ(engine.Title, "Old");
    engine.ApplyOptionText("  \r\ntitle=My Film\r\nauthor=Me\rcomment=a=b\n\ngenre= Jazz \n"
                           "nosuchoption=1\n\t");
    EXPECT_EQ(engine.Title, "My Film");
    EXPECT_EQ(engine.Author, "Me");
    EXPECT_EQ(engine.Comment, "a=b");
    EXPECT_EQ(engine.Genre, " Jazz ");
    EXPECT_TRUE(engine.GenericOptionNames.empty());
    EXPECT_TRUE(engine.Lines.empty());
    // A failing line stops the text; what came before it stays.
    EXPECT_THROW(engine.ApplyOptionText("album=A\npass=3\ncopyright=C"), FFMpegException);
    EXPECT_EQ(engine.Album, "A");
    EXPECT_TRUE(engine.Copyright.empty());
    // Names are compared exactly, with case.
    engine.ApplyOptionText("Title=Upper");
    EXPECT_EQ(engine.Title, "My Film");
}

TEST_F(OptionTable, VerbositySetsTheLibraryLevel) {
    engine.SetOption("v", "2");
    EXPECT_EQ(engine.Verbosity, 2);
    EXPECT_EQ(MediaLogVerbosity(), AV_LOG_DEBUG);
    engine.SetOption("v", "-1");
    EXPECT_EQ(MediaLogVerbosity(), AV_LOG_QUIET);
    engine.SetOption("v", "0");
    EXPECT_EQ(MediaLogVerbosity(), AV_LOG_ERROR);
}

TEST_F(OptionTable, VStatsWithoutANameTakesTheClockAndWaitsForTheOutputsFolder) {
    engine.SetOption("vstats", "");
    const std::string name = engine.VStatsFileName;
    ASSERT_EQ(name.rfind("vstats_", 0), 0u) << name;
    EXPECT_EQ(name.size(), std::string("vstats_hhnnss.log").size());
    EXPECT_TRUE(engine.VStatsInOutputFolder);
    engine.SetOption("vstats_file", "/tmp/stats.log");
    EXPECT_EQ(engine.VStatsFileName, "/tmp/stats.log");
    EXPECT_FALSE(engine.VStatsInOutputFolder);
}

TEST_F(OptionTable, MapListsHoldTwentyEntries) {
    for (int i = 0; i < 20; ++i)
        engine.SetOption("map", "0:" + std::to_string(i));
    EXPECT_EQ(failure("map", "0:20"), "Too many stream maps: at most 20 are allowed");
    EXPECT_EQ(engine.StreamMapCount, 20);
    for (int i = 0; i < 20; ++i)
        engine.SetOption("map_meta_data", "0:0");
    EXPECT_EQ(failure("map_meta_data", "0:0"), "Too many metadata maps: at most 20 are allowed");
    EXPECT_EQ(engine.MetadataMapCount, 20);
}

TEST_F(OptionTable, DecimalPointWhateverTheLocale) {
    if (!useCommaLocale())
        GTEST_SKIP() << "no locale with a decimal comma available";
    engine.ApplyOptionText("r=29.97\nqscale=2.5\naspect=1.7778\nitsscale=1:0.5\nqcomp=0.25");
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(engine.FrameRate.num, 2997);
    EXPECT_EQ(engine.FrameRate.den, 100);
    EXPECT_FLOAT_EQ(engine.VideoQScale, 2.5f);
    EXPECT_FLOAT_EQ(engine.FrameAspectRatio, 1.7778f);
    EXPECT_DOUBLE_EQ(engine.InputTimestampScales[0][1], 0.5);
    EXPECT_FLOAT_EQ(engine.CodecOptionContexts[AVMEDIA_TYPE_VIDEO]->qcompress, 0.25f);
    EXPECT_THROW(engine.SetOption("muxdelay", "0,7"), FFMpegException);
}

} // namespace
