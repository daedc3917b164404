// The option records turned into engine options: every field of TOutputOptions and
// TInputOptions and its effect on the task's option state, the text capacities, targets,
// hook modes, hook ranges, timestamps and colours, and the log level mapping.
#include "component_fakes.h"

#include "AVUtilHlpr.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>

namespace {

class ComponentRecordsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(component.LoadLibraries("", true)) << component.LastError;
        component.TaskFactory = [this] {
            auto task = std::make_unique<FakeTask>();
            last = task.get();
            return task;
        };
    }
    // A task given the output record; the result of SetTaskOutput in `result`.
    FakeTask& taskWith(TOutputOptions& options, bool* result = nullptr) {
        const int index = component.AddInputTask("in.avi");
        EXPECT_GE(index, 0) << component.LastError;
        const bool ok = component.SetTaskOutput(index, "out.avi", &options);
        if (result)
            *result = ok;
        else
            EXPECT_TRUE(ok) << component.LastError;
        return *last;
    }
    static int64_t codecOption(const TFFmpeg& task, AVMediaType kind, const char* name) {
        int64_t value = 0;
        lavu.av_opt_get_int(task.CodecOptionContexts[kind], name, 0, &value);
        return value;
    }

    TFFmpegVCL component;
    FakeTask* last = nullptr;
};

struct FieldCase {
    const char* field;
    std::function<void(TOutputOptions&)> set;
    std::function<void(const TFFmpeg&)> check;
};

TEST_F(ComponentRecordsTest, EachOutputFieldReachesTheOptionState) {
    const std::vector<FieldCase> cases = {
        {"OutputFormat", [](auto& o) { o.OutputFormat = "avi"; },
         [](const TFFmpeg& t) {
             ASSERT_NE(t.ForcedOutputFormat, nullptr);
             EXPECT_STREQ(t.ForcedOutputFormat->name, "avi");
         }},
        {"MuxDelay", [](auto& o) { o.MuxDelay = 1.5f; },
         [](const TFFmpeg& t) { EXPECT_FLOAT_EQ(t.MuxMaxDelay, 1.5f); }},
        {"MuxPreload", [](auto& o) { o.MuxPreload = 0.25f; },
         [](const TFFmpeg& t) { EXPECT_FLOAT_EQ(t.MuxPreload, 0.25f); }},
        {"AudioCodec", [](auto& o) { o.AudioCodec = "mp2"; },
         [](const TFFmpeg& t) { EXPECT_EQ(t.AudioCodecName, "mp2"); }},
        {"AudioCodec copy", [](auto& o) { o.AudioCodec = "copy"; },
         [](const TFFmpeg& t) {
             EXPECT_EQ(t.AudioStreamCopy, 1);
             EXPECT_EQ(t.AudioCodecName, "");
         }},
        {"DisableAudio", [](auto& o) { o.DisableAudio = true; },
         [](const TFFmpeg& t) { EXPECT_EQ(t.AudioDisabled, 1); }},
        {"AudioVolume 0 is used", [](auto& o) { o.AudioVolume = 0; },
         [](const TFFmpeg& t) { EXPECT_EQ(t.AudioVolume, 0); }},
        {"AudioChannels", [](auto& o) { o.AudioChannels = 1; },
         [](const TFFmpeg& t) { EXPECT_EQ(t.AudioChannels, 1); }},
        {"AudioSampleRate", [](auto& o) { o.AudioSampleRate = 22050; },
         [](const TFFmpeg& t) { EXPECT_EQ(t.AudioSampleRate, 22050); }},
        {"AudioBitrate", [](auto& o) { o.AudioBitrate = 96000; },
         [](const TFFmpeg& t) { EXPECT_EQ(codecOption(t, AVMEDIA_TYPE_AUDIO, "b"), 96000); }},
        {"AudioLanguage", [](auto& o) { o.AudioLanguage = "eng"; },
         [](const TFFmpeg& t) { EXPECT_EQ(t.AudioLanguage, "eng"); }},
        {"AudioSyncMethod", [](auto& o) { o.AudioSyncMethod = 3; },
         [](const TFFmpeg& t) { EXPECT_EQ(t.AudioSyncMethod, 3); }},
        {"AudioTag", [](auto& o) { o.AudioTag = "mp4a"; },
         [](const TFFmpeg& t) {
             EXPECT_EQ(t.AudioCodecTag, uint32_t('m' | 'p' << 8 | '4' << 16 | 'a' << 24));
         }},
        {"VideoCodec", [](auto& o) { o.VideoCodec = "flv"; },
         [](const TFFmpeg& t) { EXPECT_EQ(t.VideoCodecName, "flv"); }},
        {"DisableVideo", [](auto& o) { o.DisableVideo = true; },
         [](const TFFmpeg& t) { EXPECT_EQ(t.VideoDisabled, 1); }},
        {"FrameRate", [](auto& o) { o.FrameRate = "15"; },
         [](const TFFmpeg& t) {
             EXPECT_EQ(t.FrameRate.num, 15);
             EXPECT_EQ(t.FrameRate.den, 1);
         }},
        {"FrameSize", [](auto& o) { o.FrameSize = "320x240"; },
         [](const TFFmpeg& t) {
             EXPECT_EQ(t.FrameWidth, 320);
             EXPECT_EQ(t.FrameHeight, 240);
         }},
        {"AspectRatio", [](auto& o) { o.AspectRatio = "16:9"; },
         [](const TFFmpeg& t) { EXPECT_NEAR(t.FrameAspectRatio, 16.0 / 9.0, 1e-6); }},
        {"Crop after FrameSize",
         [](auto& o) {
             o.FrameSize = "320x240";
             o.CropTop = 8, o.CropBottom = 4, o.CropLeft = 2, o.CropRight = 6;
         },
         [](const TFFmpeg& t) {
             EXPECT_EQ(t.CropTop, 8);
             EXPECT_EQ(t.CropBottom, 4);
             EXPECT_EQ(t.CropLeft, 2);
             EXPECT_EQ(t.CropRight, 6);
             EXPECT_EQ(t.FrameHeight, 240 - 8 - 4);
             EXPECT_EQ(t.FrameWidth, 320 - 2 - 6);
         }},
        {"Pad", [](auto& o) { o.PadTop = 16, o.PadBottom = 0, o.PadLeft = 4, o.PadRight = 2; },
         [](const TFFmpeg& t) {
             EXPECT_EQ(t.PadTop, 16);
             EXPECT_EQ(t.PadBottom, 0);
             EXPECT_EQ(t.PadLeft, 4);
             EXPECT_EQ(t.PadRight, 2);
         }},
        {"PadColor red", [](auto& o) { o.PadColor = 0x0000FF; },
         [](const TFFmpeg& t) {
             TCustomFFmpeg reference;
             reference.SetPadColor(0x0000FF);
             EXPECT_EQ(t.PadColorYUV[0], reference.PadColorYUV[0]);
             EXPECT_EQ(t.PadColorYUV[1], reference.PadColorYUV[1]);
             EXPECT_EQ(t.PadColorYUV[2], reference.PadColorYUV[2]);
         }},
        {"GopSize", [](auto& o) { o.GopSize = 25; },
         [](const TFFmpeg& t) { EXPECT_EQ(codecOption(t, AVMEDIA_TYPE_VIDEO, "g"), 25); }},
        {"VideoBitrate", [](auto& o) { o.VideoBitrate = 400000; },
         [](const TFFmpeg& t) { EXPECT_EQ(codecOption(t, AVMEDIA_TYPE_VIDEO, "b"), 400000); }},
        {"VideoMaxRate", [](auto& o) { o.VideoMaxRate = 800000; },
         [](const TFFmpeg& t) {
             EXPECT_EQ(codecOption(t, AVMEDIA_TYPE_VIDEO, "maxrate"), 800000);
         }},
        {"VideoMinRate", [](auto& o) { o.VideoMinRate = 100000; },
         [](const TFFmpeg& t) {
             EXPECT_EQ(codecOption(t, AVMEDIA_TYPE_VIDEO, "minrate"), 100000);
         }},
        {"VideoBitrateTolerance", [](auto& o) { o.VideoBitrateTolerance = 120000; },
         [](const TFFmpeg& t) { EXPECT_EQ(codecOption(t, AVMEDIA_TYPE_VIDEO, "bt"), 120000); }},
        {"VideoBufferSize", [](auto& o) { o.VideoBufferSize = 224 * 1024; },
         [](const TFFmpeg& t) {
             EXPECT_EQ(codecOption(t, AVMEDIA_TYPE_VIDEO, "bufsize"), 224 * 1024);
         }},
        {"VideoSyncMethod", [](auto& o) { o.VideoSyncMethod = 2; },
         [](const TFFmpeg& t) { EXPECT_EQ(t.VideoSyncMethod, 2); }},
        {"VideoTag", [](auto& o) { o.VideoTag = "XVID"; },
         [](const TFFmpeg& t) {
             EXPECT_EQ(t.VideoCodecTag, uint32_t('X' | 'V' << 8 | 'I' << 16 | 'D' << 24));
         }},
        {"DisableSubtitle", [](auto& o) { o.DisableSubtitle = true; },
         [](const TFFmpeg& t) { EXPECT_EQ(t.SubtitleDisabled, 1); }},
        {"SubtitleLanguage", [](auto& o) { o.SubtitleLanguage = "fre"; },
         [](const TFFmpeg& t) { EXPECT_EQ(t.SubtitleLanguage, "fre"); }},
        {"CopyTimestamps", [](auto& o) { o.CopyTimestamps = true; },
         [](const TFFmpeg& t) { EXPECT_EQ(t.CopyTimestamps, 1); }},
        {"RecordingTime", [](auto& o) { o.RecordingTime = 5000; },
         [](const TFFmpeg& t) {
             EXPECT_EQ(t.RecordingTime, 5000000);
             EXPECT_EQ(t.TotalDurationMs, 5000);
         }},
        {"Year and Track", [](auto& o) { o.Year = 2008, o.Track = 7; },
         [](const TFFmpeg& t) {
             EXPECT_EQ(t.Year, 2008);
             EXPECT_EQ(t.Track, 7);
         }},
        {"Texts",
         [](auto& o) {
             SetRecordText(o.Title, "Title");
             SetRecordText(o.Author, "Author");
             SetRecordText(o.Copyright, "(c)");
             SetRecordText(o.Comment, "Comment");
             SetRecordText(o.Album, "Album");
             SetRecordText(o.Genre, "Genre");
         },
         [](const TFFmpeg& t) {
             EXPECT_EQ(t.Title, "Title");
             EXPECT_EQ(t.Author, "Author");
             EXPECT_EQ(t.Copyright, "(c)");
             EXPECT_EQ(t.Comment, "Comment");
             EXPECT_EQ(t.Album, "Album");
             EXPECT_EQ(t.Genre, "Genre");
         }},
    };
    for (const FieldCase& fieldCase : cases) {
        SCOPED_TRACE(fieldCase.field);
        TOutputOptions options;
        ResetOutputOptions(options);
        fieldCase.set(options);
        const TFFmpeg& task = taskWith(options);
        fieldCase.check(task);
    }
}

TEST_F(ComponentRecordsTest, DefaultRecordLeavesTheEngineDefaults) {
    TOutputOptions options;
    ResetOutputOptions(options);
    const TFFmpeg& task = taskWith(options);
    const EngineOptionState defaults;
    EXPECT_EQ(task.AudioVolume, defaults.AudioVolume);
    EXPECT_EQ(task.AudioChannels, defaults.AudioChannels);
    EXPECT_EQ(task.AudioSampleRate, defaults.AudioSampleRate);
    EXPECT_FLOAT_EQ(task.MuxMaxDelay, defaults.MuxMaxDelay);
    EXPECT_FLOAT_EQ(task.MuxPreload, defaults.MuxPreload);
    EXPECT_EQ(task.RecordingTime, defaults.RecordingTime);
    EXPECT_EQ(task.TotalDurationMs, -1);
    EXPECT_EQ(task.RecordTimestamp, defaults.RecordTimestamp);
    EXPECT_EQ(task.CropTop, 0);
    EXPECT_EQ(task.PadLeft, 0);
    EXPECT_EQ(task.Year, 0);
    EXPECT_EQ(task.VideoSyncMethod, -1);
    EXPECT_TRUE(last->targetCall.empty());
    EXPECT_FALSE(task.CustomHookAssigned());
    EXPECT_FALSE(last->BeforeHookAssigned());
    EXPECT_TRUE(last->HookRanges.empty());
}

TEST_F(ComponentRecordsTest, ExtraOptionsComeFirstAndTheFieldsOverrideThem) {
    TOutputOptions options;
    ResetOutputOptions(options);
    options.ExtraOptions = "ar=22050\nac=1";
    options.AudioSampleRate = 48000;
    const TFFmpeg& task = taskWith(options);
    EXPECT_EQ(task.AudioSampleRate, 48000);
    EXPECT_EQ(task.AudioChannels, 1);
}

TEST_F(ComponentRecordsTest, RecordIsCopiedAndAnEmptyFileNameFilled) {
    TOutputOptions options;
    ResetOutputOptions(options);
    options.VideoCodec = "flv";
    taskWith(options);
    EXPECT_EQ(options.FileName, "out.avi"); // the caller's record
    EXPECT_EQ(last->OutputOptions.FileName, "out.avi");
    EXPECT_EQ(last->OutputOptions.VideoCodec, "flv");
    EXPECT_EQ(last->openedOutput, "out.avi");

    TInputOptions input;
    ResetInputOptions(input);
    input.StartTime = 1500;
    input.ProgramId = 0;
    input.InputFormat = "avi";
    input.ExtraOptions = "ar=8000";
    ASSERT_EQ(component.AddInputTask("clip.avi", &input), 1) << component.LastError;
    EXPECT_EQ(input.FileName, "clip.avi");
    EXPECT_EQ(last->InputOptions.FileName, "clip.avi");
    EXPECT_EQ(last->StartTime, 1500000);
    EXPECT_EQ(last->ProgramId, 0);
    EXPECT_EQ(last->AudioSampleRate, 8000);
    ASSERT_NE(last->ForcedInputFormat, nullptr);
    EXPECT_STREQ(last->ForcedInputFormat->name, "avi");

    // Without records the task's copies hold the defaults.
    ASSERT_EQ(component.AddInputTask("plain.avi"), 2);
    ASSERT_TRUE(component.SetTaskOutput(2, "plain.flv"));
    EXPECT_EQ(last->InputOptions.StartTime, -1);
    EXPECT_EQ(last->OutputOptions.FileName, "");
    EXPECT_EQ(last->StartTime, 0);
}

TEST_F(ComponentRecordsTest, TextsKeepTheirCapacities) {
    TOutputOptions options;
    ResetOutputOptions(options);
    SetRecordText(options.Title, std::string(600, 't'));
    SetRecordText(options.Genre, std::string(40, 'g'));
    EXPECT_EQ(std::strlen(options.Title), 511u);
    EXPECT_EQ(std::strlen(options.Genre), 31u);
    // A buffer filled to the brim without its terminator is read up to its capacity.
    std::memset(options.Album, 'a', sizeof options.Album);
    const TFFmpeg& task = taskWith(options);
    EXPECT_EQ(task.Title, std::string(511, 't'));
    EXPECT_EQ(task.Genre, std::string(31, 'g'));
    EXPECT_EQ(task.Album, std::string(512, 'a'));
}

TEST_F(ComponentRecordsTest, TargetsWithTheirNorms) {
    struct TargetCase {
        int target, norm, fallback;
        std::vector<std::string> call;
    };
    const std::vector<TargetCase> cases = {
        {0, 1, 1, {}},
        {1, 0, 1, {"vcd", "auto", "pal"}},
        {2, 1, 0, {"svcd", "pal", "ntsc"}},
        {3, 2, 2, {"dvd", "ntsc", "ntsc"}},
        {3, 9, 1, {"dvd", "auto", "pal"}},
        {4, 1, 1, {}},
    };
    for (const TargetCase& c : cases) {
        TOutputOptions options;
        ResetOutputOptions(options);
        options.Target = c.target;
        options.TargetNorm = c.norm;
        options.TargetFallbackNorm = c.fallback;
        taskWith(options);
        EXPECT_EQ(last->targetCall, c.call) << c.target << " " << c.norm << " " << c.fallback;
    }
}

TEST_F(ComponentRecordsTest, HookModes) {
    std::vector<int32_t> hookIndices;
    component.OnCustomHook = [&](int32_t index, TBitmap*, int32_t frame, int64_t pts, bool& update,
                                 bool& stopHook) {
        hookIndices.push_back(index);
        EXPECT_EQ(frame, 4);
        EXPECT_EQ(pts, 40000);
        update = true;
        stopHook = true;
    };
    component.OnBeforeHook = [&](int32_t index, int64_t pts, THookAction& action) {
        hookIndices.push_back(index);
        EXPECT_EQ(pts, 123);
        action = haIgnore;
    };
    TOutputOptions custom;
    ResetOutputOptions(custom);
    custom.RaiseCustomHook = true;
    custom.RaiseBeforeHook = true; // the custom hook wins
    custom.HookRanges = "1-2";
    FakeTask& first = taskWith(custom);
    EXPECT_TRUE(first.CustomHookAssigned());
    EXPECT_FALSE(first.BeforeHookAssigned());
    EXPECT_TRUE(first.HookRanges.empty());
    bool update = false, stopHook = false;
    first.RaiseCustomHook(nullptr, 4, 40000, update, stopHook);
    EXPECT_TRUE(update);
    EXPECT_TRUE(stopHook);

    TOutputOptions before;
    ResetOutputOptions(before);
    before.RaiseBeforeHook = true;
    FakeTask& second = taskWith(before);
    EXPECT_FALSE(second.CustomHookAssigned());
    EXPECT_TRUE(second.BeforeHookAssigned());
    THookAction action = haContinue;
    second.RaiseBeforeHook(123, action);
    EXPECT_EQ(action, haIgnore);
    EXPECT_EQ(hookIndices, (std::vector<int32_t>{0, 1}));

    TOutputOptions ranges;
    ResetOutputOptions(ranges);
    ranges.HookRanges = " 5000-9000, 1000-2000, 300-100 ";
    FakeTask& third = taskWith(ranges);
    ASSERT_EQ(third.HookRanges.size(), 2u);
    EXPECT_EQ(third.HookRanges[0].Start, 1000);
    EXPECT_EQ(third.HookRanges[0].End, 2000);
    EXPECT_EQ(third.HookRanges[1].Start, 5000);
    EXPECT_EQ(third.HookRanges[1].End, 9000);
    EXPECT_EQ(third.HookRangeIndex, 0);
}

TEST(HookRangesTest, Parsing) {
    struct RangeCase {
        const char* text;
        std::vector<std::pair<int64_t, int64_t>> ranges;
    };
    const std::vector<RangeCase> cases = {
        {"", {}},
        {"   ", {}},
        {"5000-9000, 1000-2000, 300-100", {{1000, 2000}, {5000, 9000}}},
        {"0-0", {{0, 0}}},
        {"10 - 20 ,", {{10, 20}}},
        {"$10-0x20, 7-7", {{7, 7}, {16, 32}}},
        {"100-50", {}},
        {"3-9, 1-9", {{3, 9}, {1, 9}}}, // equal ends keep their order
    };
    for (const RangeCase& c : cases) {
        SCOPED_TRACE(c.text);
        const std::vector<THookRange> parsed = TCustomFFmpegVCL::ParseHookRanges(c.text);
        ASSERT_EQ(parsed.size(), c.ranges.size());
        for (std::size_t i = 0; i < parsed.size(); ++i) {
            EXPECT_EQ(parsed[i].Start, c.ranges[i].first);
            EXPECT_EQ(parsed[i].End, c.ranges[i].second);
        }
    }
    // A negative start: the start is the empty text before the first "-", which does not
    // read as a number.
    try {
        TCustomFFmpegVCL::ParseHookRanges("-5-3");
        ADD_FAILURE() << "\"-5-3\" was accepted";
    } catch (const std::exception& error) {
        EXPECT_STREQ(error.what(), "'' is not a valid integer value");
    }
}

TEST_F(ComponentRecordsTest, FailuresEndInLastError) {
    struct FailureCase {
        std::function<void(TOutputOptions&)> set;
        const char* message;
    };
    const std::vector<FailureCase> cases = {
        {[](auto& o) { o.AudioTag = "mp4"; }, "audio tag parameter must be 4 chars"},
        {[](auto& o) { o.VideoTag = "divx5"; }, "video tag parameter must be 4 chars"},
        {[](auto& o) { o.HookRanges = "1000-abc"; }, "'abc' is not a valid integer value"},
        {[](auto& o) { o.FrameSize = "321x240"; }, "Frame size must be a multiple of 2"},
    };
    for (const FailureCase& c : cases) {
        TOutputOptions options;
        ResetOutputOptions(options);
        c.set(options);
        bool result = true;
        taskWith(options, &result);
        EXPECT_FALSE(result) << c.message;
        EXPECT_EQ(component.LastError, c.message);
    }
    // A refused output file.
    component.TaskFactory = [this] {
        auto task = std::make_unique<FakeTask>();
        task->outputOpens = false;
        last = task.get();
        return task;
    };
    const int index = component.AddInputTask("in.avi");
    EXPECT_FALSE(component.SetTaskOutput(index, "out.avi"));
    EXPECT_EQ(component.LastError, "output refused");
}

// The process's time zone for one test, restored afterwards.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* previous = std::getenv("TZ"))
            m_previous = previous;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (m_previous)
            setenv("TZ", m_previous->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> m_previous;
};

TEST(TimestampTest, LocalDaysSince1899AreConvertedToUtcSeconds) {
    // Day 39630 is 2008-07-01, day 39462 is 2008-01-15; 12:30 local time. The seconds are
    // counted independently of the conversion: 2008-07-01 12:30 UTC is 1214915400.
    const double summer = 39630.0 + (12 * 60 + 30) / 1440.0;
    const double winter = 39462.0 + (12 * 60 + 30) / 1440.0;
    {
        const ScopedTimeZone utc("UTC0");
        EXPECT_EQ(TCustomFFmpegVCL::TimestampToUnixSeconds(summer), 1214915400);
        EXPECT_EQ(TCustomFFmpegVCL::TimestampToUnixSeconds(winter), 1200400200);
    }
    {
        // Central Europe: one hour ahead of UTC, two in summer.
        const ScopedTimeZone central("CET-1CEST,M3.5.0,M10.5.0/3");
        EXPECT_EQ(TCustomFFmpegVCL::TimestampToUnixSeconds(summer), 1214915400 - 7200);
        EXPECT_EQ(TCustomFFmpegVCL::TimestampToUnixSeconds(winter), 1200400200 - 3600);
    }
    {
        // West of UTC: local 12:30 is later in UTC.
        const ScopedTimeZone pacific("PST8");
        EXPECT_EQ(TCustomFFmpegVCL::TimestampToUnixSeconds(winter), 1200400200 + 8 * 3600);
    }
    const int64_t now = TCustomFFmpegVCL::TimestampToUnixSeconds(0);
    EXPECT_LE(std::llabs(now - static_cast<int64_t>(std::time(nullptr))), 2);
}

TEST_F(ComponentRecordsTest, TimestampFieldSetsTheRecordTimestamp) {
    const ScopedTimeZone utc("UTC0");
    TOutputOptions options;
    ResetOutputOptions(options);
    options.Timestamp = 39630.5; // 2008-07-01 12:00
    EXPECT_EQ(taskWith(options).RecordTimestamp, 1214913600);
}

TEST(ColorTest, SystemColoursAreResolved) {
    EXPECT_EQ(TCustomFFmpegVCL::ColorToRGB(0x000000FF), 0x0000FFu);
    EXPECT_EQ(TCustomFFmpegVCL::ColorToRGB(0x02123456), 0x123456u);
    EXPECT_EQ(TCustomFFmpegVCL::ColorToRGB(0x80000005), 0xFFFFFFu); // window background
    EXPECT_EQ(TCustomFFmpegVCL::ColorToRGB(0x80000008), 0x000000u); // window text
    EXPECT_EQ(TCustomFFmpegVCL::ColorToRGB(0x800000FE), 0x000000u); // unknown index
}

TEST(LogLevelTest, EngineLevelsMapToLogLevels) {
    const std::vector<std::pair<int, TLogLevel>> cases = {
        {-7, llQuiet}, {-1, llQuiet}, {0, llError}, {1, llInfo},
        {2, llDebug},  {3, llAll},    {4, llAll},   {99, llAll}};
    TFFmpegVCL component;
    std::vector<std::pair<int32_t, TLogLevel>> delivered;
    component.OnLog = [&](int32_t index, TLogLevel level, const std::string& text) {
        delivered.emplace_back(index, level);
        EXPECT_EQ(text, "line");
    };
    for (const auto& [level, mapped] : cases) {
        EXPECT_EQ(TCustomFFmpegVCL::MapLogLevel(level), mapped) << level;
        component.DoLog(nullptr, level, "line");
        ASSERT_FALSE(delivered.empty());
        EXPECT_EQ(delivered.back(), std::make_pair(int32_t{-1}, mapped));
    }
}

} // namespace
