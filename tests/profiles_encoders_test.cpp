// The encoders and option values the profiles produce, checked against the engine and the
// media libraries of this platform: every codec entry of every catalogue row resolves through
// the engine's codec look-up, every format box entry's defaults pass the engine's option
// handlers, every row's defaults open its encoders, and the offered entries the encoders
// refuse are exactly the known ones.
#include "AVCodecHlpr.h"
#include "AVUtilHlpr.h"
#include "FFmpeg.h"
#include "FillComboOutputFormat.h"
#include "MediaLibraries.h"
#include "SettingMapping.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <set>
#include <span>
#include <string>
#include <tuple>

namespace {

// The encoder each name the profiles produce resolves to on Debian 12 (libavcodec 59 with
// libavcodec-extra). Old names resolve through the engine's alias table.
const std::map<std::string, std::string> ExpectedVideoEncoders = {
    {"flv", "flv"},
    {"h263", "h263"},
    {"libx264", "libx264"},
    {"libaom-av1", "libaom-av1"},
    {"libvpx", "libvpx"},
    {"libvpx-vp9", "libvpx-vp9"},
    {"libx265", "libx265"},
    {"libxvid", "libxvid"},
    {"mpeg1video", "mpeg1video"},
    {"mpeg2video", "mpeg2video"},
    {"mpeg4", "mpeg4"},
    {"msmpeg4", "msmpeg4"},
    {"rawvideo", "rawvideo"},
    {"rv10", "rv10"},
    {"rv20", "rv20"},
    {"wmv2", "wmv2"},
};
const std::map<std::string, std::string> ExpectedAudioEncoders = {
    {"aac", "aac"},
    {"ac3", "ac3"},
    {"flac", "flac"},
    {"libamr_nb", "libopencore_amrnb"},
    {"libfaac", "aac"},
    {"libmp3lame", "libmp3lame"},
    {"libopus", "libopus"},
    {"libvorbis", "libvorbis"},
    {"mp2", "mp2"},
    {"pcm_s16be", "pcm_s16be"},
    {"pcm_s16le", "pcm_s16le"},
    {"vorbis", "libvorbis"},
    {"wmav2", "wmav2"},
};

// Stand-ins for what the input would give when a task keeps the input's size or rate.
constexpr int InputWidth = 320;
constexpr int InputHeight = 240;
constexpr AVRational InputFrameRate = {25, 1};
constexpr int InputChannels = 2;

// A channel count the task sets, or -1: not set, the input's count is kept (the handheld
// apply step never sets one).
bool ChannelsUsable(int32_t channels) {
    return channels > 0 || channels == -1;
}

// A video quality entry of the modern rows: a constant quality instead of a bit rate.
bool SetsQuality(const TOutputOptions& options) {
    return options.ExtraOptions.find("crf=") != std::string::npos ||
           options.ExtraOptions.find("qscale=") != std::string::npos;
}

// Lossless sound has no bit rate to set.
bool AudioBitrateUsable(const TOutputOptions& options) {
    return options.AudioBitrate > 0 || (options.AudioBitrate == -1 && options.AudioCodec == "flac");
}

bool IsSeparator(const std::string& text) {
    return text.find("              ----") != std::string::npos;
}

// A window showing one catalogue row: the format box holds its display name, the channels
// and aspect boxes start as after start-up ("Stereo", "Original"), and the row's fill ran.
class RowWindow {
public:
    explicit RowWindow(const char* displayName) {
        m_formatBox.Append(displayName);
        m_formatBox.Select(0);
        m_state.ComboOutputFormat = &m_formatBox;
        m_state.Boxes = m_boxes.Boxes();
        m_boxes.Boxes().ComboAudioChannels->Select(0);
        m_boxes.Boxes().ComboAspectRatio->Select(0);
        OnFormatChange(m_state);
    }
    // The user picked another audio codec.
    void AudioCodecChanged() { OnAudioCodecChange(m_state); }
    TOutputOptions Apply() const {
        TOutputOptions options;
        ResetOutputOptions(options);
        ApplyProfileSettings(m_state, options, 0);
        return options;
    }
    const SettingsBoxes& Boxes() const { return m_boxes.Boxes(); }

private:
    ListSettingsBox m_formatBox;
    ListSettingsBoxes m_boxes;
    FormatBoxState m_state;
};

std::string LibraryErrorText(int code) {
    char text[256] = {};
    lavu.av_strerror(code, text, sizeof text);
    return text;
}

// Passes the option values of a task through the engine's handlers; returns the first
// refusal, or "".
std::string PassHandlers(TCustomFFmpeg& engine, const TOutputOptions& options) {
    const std::pair<const char*, const std::string*> values[] = {
        {"s", &options.FrameSize}, {"r", &options.FrameRate}, {"aspect", &options.AspectRatio}};
    for (const auto& [name, value] : values) {
        if (value->empty())
            continue;
        try {
            engine.SetOption(name, *value);
        } catch (const FFMpegException& error) {
            return std::string("-") + name + " " + *value + ": " + error.what();
        }
    }
    return {};
}

// Opens the video encoder with the size, rate, bit rate and private options a task with
// these options hands it (the engine's parsed values, or the stand-in input's); "" or the
// library's message. A constant-quality option the encoder does not take is a failure.
std::string OpenVideoEncoder(const AVCodec* codec, const TCustomFFmpeg& engine,
                             const TOutputOptions& options) {
    AVDictionary* privateOptions = nullptr;
    std::size_t start = 0;
    while (start < options.ExtraOptions.size()) {
        std::size_t end = options.ExtraOptions.find('\n', start);
        if (end == std::string::npos)
            end = options.ExtraOptions.size();
        const std::string line = options.ExtraOptions.substr(start, end - start);
        const std::size_t equals = line.find('=');
        // "qscale" is the engine's own option (a fixed quantiser), not the encoder's.
        if (equals != std::string::npos && line.compare(0, equals, "qscale") != 0)
            lavu.av_dict_set(&privateOptions, line.substr(0, equals).c_str(),
                             line.substr(equals + 1).c_str(), 0);
        start = end + 1;
    }
    AVCodecContext* context = lavc.avcodec_alloc_context3(codec);
    context->width = engine.FrameWidth > 0 ? engine.FrameWidth : InputWidth;
    context->height = engine.FrameHeight > 0 ? engine.FrameHeight : InputHeight;
    const AVRational rate = engine.FrameRate.num > 0 ? engine.FrameRate : InputFrameRate;
    context->framerate = rate;
    context->time_base = AVRational{rate.den, rate.num};
    context->pix_fmt = codec->pix_fmts ? codec->pix_fmts[0] : AV_PIX_FMT_YUV420P;
    if (options.VideoBitrate > 0)
        context->bit_rate = options.VideoBitrate;
    const int result = lavc.avcodec_open2(context, codec, &privateOptions);
    lavc.avcodec_free_context(&context);
    const bool crfLeft = lavu.av_dict_get(privateOptions, "crf", nullptr, 0) != nullptr;
    lavu.av_dict_free(&privateOptions);
    if (result < 0)
        return LibraryErrorText(result);
    return crfLeft ? "crf not taken" : std::string();
}

// Opens the audio encoder with the task's sampling rate, channels and bit rate.
std::string OpenAudioEncoder(const AVCodec* codec, const TOutputOptions& options) {
    AVCodecContext* context = lavc.avcodec_alloc_context3(codec);
    context->sample_rate = options.AudioSampleRate;
    context->time_base = AVRational{1, options.AudioSampleRate};
    lavu.av_channel_layout_default(
        &context->ch_layout, options.AudioChannels > 0 ? options.AudioChannels : InputChannels);
    context->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    if (options.AudioBitrate > 0)
        context->bit_rate = options.AudioBitrate;
    const int result = lavc.avcodec_open2(context, codec, nullptr);
    lavc.avcodec_free_context(&context);
    return result < 0 ? LibraryErrorText(result) : std::string();
}

class ProfileEncoders : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
        lavu.av_log_set_level(AV_LOG_ERROR); // the encoders' statistics are of no interest
    }

    // Looks the name up as an encoder of kind; the encoder, or null with a failure that names
    // the row and the box entry.
    const AVCodec* Resolve(const std::string& name, AVMediaType kind, const std::string& row,
                           const std::string& entry) {
        AVCodecID id = AV_CODEC_ID_NONE;
        const AVCodec* codec = nullptr;
        if (!m_engine.LookupCodec(name, kind, true, id, &codec)) {
            ADD_FAILURE() << row << ", entry \"" << entry << "\": encoder " << name
                          << " does not resolve: " << m_engine.ErrorText;
            return nullptr;
        }
        EXPECT_NE(codec, nullptr) << name;
        return codec;
    }

    TCustomFFmpeg m_engine;
};

// Every entry of both codec boxes of every row with a fill, through that row's apply step.
TEST_F(ProfileEncoders, EveryCodecEntryOfEveryRowResolves) {
    std::map<std::string, std::string> video;
    std::map<std::string, std::string> audio;
    int rowsWalked = 0;
    for (const OutputFormatEntry& row : OutputFormatCatalogue) {
        if (row.Fill == nullptr)
            continue;
        ++rowsWalked;
        RowWindow window(row.DisplayName);
        for (SettingsBox* box : {window.Boxes().ComboVideoCodec, window.Boxes().ComboAudioCodec}) {
            const int selected = box->CurrentPosition();
            for (int i = 0; i < std::max(box->Count(), 1); ++i) {
                box->Select(i);
                const std::string entry = box->CurrentText();
                const TOutputOptions options = window.Apply();
                if (!options.DisableVideo && !options.VideoCodec.empty()) {
                    if (const AVCodec* codec =
                            Resolve(options.VideoCodec, AVMEDIA_TYPE_VIDEO, row.DisplayName, entry))
                        video[options.VideoCodec] = codec->name;
                }
                if (!options.DisableAudio && !options.AudioCodec.empty()) {
                    if (const AVCodec* codec =
                            Resolve(options.AudioCodec, AVMEDIA_TYPE_AUDIO, row.DisplayName, entry))
                        audio[options.AudioCodec] = codec->name;
                }
            }
            box->Select(selected);
        }
    }
    EXPECT_EQ(rowsWalked, 66); // 75 rows less the nine placeholders
    for (const auto& [kind, found] : {std::pair{"video", &video}, std::pair{"audio", &audio}})
        for (const auto& [name, encoder] : *found)
            std::cout << kind << " encoder " << name << " -> " << encoder << "\n";
    EXPECT_EQ(video, ExpectedVideoEncoders);
    EXPECT_EQ(audio, ExpectedAudioEncoders);
}

// The defaults of every entry of this edition's format box: the engine's handlers take the
// size, rate and aspect; the numbers are positive; the codec names resolve. The aspect ratio
// is the one the job builder finishes the record with: the ratio of the row's size for
// "Original" (1.3333 for 640x480), else the box text.
TEST_F(ProfileEncoders, FormatBoxDefaultsPassTheEngineHandlers) {
    ListSettingsBox formatBox;
    ListSettingsBoxes boxes;
    FormatBoxState state;
    state.ComboOutputFormat = &formatBox;
    state.Boxes = boxes.Boxes();
    FillFormatBox(state);
    boxes.Boxes().ComboAudioChannels->Select(0);
    boxes.Boxes().ComboAspectRatio->Select(0);
    int entriesChecked = 0;
    for (int position = 0; position < formatBox.Count(); ++position) {
        const std::string name = formatBox.Text(position);
        if (IsSeparator(name))
            continue;
        SCOPED_TRACE(name);
        ++entriesChecked;
        formatBox.Select(position);
        OnFormatChange(state);
        for (const char* aspect : {"1.3333", "4:3", "16:9"}) {
            TOutputOptions options;
            ResetOutputOptions(options);
            ApplyProfileSettings(state, options, 0);
            options.AspectRatio = aspect;
            TCustomFFmpeg engine;
            EXPECT_EQ(PassHandlers(engine, options), "");
            if (!options.FrameSize.empty()) {
                EXPECT_GT(engine.FrameWidth, 0);
                EXPECT_GT(engine.FrameHeight, 0);
            }
            if (!options.FrameRate.empty()) {
                EXPECT_GT(engine.FrameRate.num, 0);
                EXPECT_GT(engine.FrameRate.den, 0);
            }
            EXPECT_GT(engine.FrameAspectRatio, 0.0f);
            if (!options.DisableVideo) {
                EXPECT_TRUE(options.VideoBitrate > 0 || SetsQuality(options));
                if (!options.VideoCodec.empty())
                    Resolve(options.VideoCodec, AVMEDIA_TYPE_VIDEO, name,
                            boxes.Boxes().ComboVideoCodec->CurrentText());
            }
            EXPECT_TRUE(AudioBitrateUsable(options)) << options.AudioBitrate;
            EXPECT_GT(options.AudioSampleRate, 0);
            EXPECT_TRUE(ChannelsUsable(options.AudioChannels)) << options.AudioChannels;
            Resolve(options.AudioCodec, AVMEDIA_TYPE_AUDIO, name,
                    boxes.Boxes().ComboAudioCodec->CurrentText());
        }
    }
    EXPECT_EQ(entriesChecked, 22);
}

// Every row's defaults, as a user who changes nothing gets them: the handlers take them and
// the encoders open with them.
TEST_F(ProfileEncoders, EveryRowsDefaultsOpenItsEncoders) {
    for (const OutputFormatEntry& row : OutputFormatCatalogue) {
        if (row.Fill == nullptr)
            continue;
        SCOPED_TRACE(row.DisplayName);
        RowWindow window(row.DisplayName);
        const TOutputOptions options = window.Apply();
        TCustomFFmpeg engine;
        EXPECT_EQ(PassHandlers(engine, options), "");
        EXPECT_TRUE(AudioBitrateUsable(options)) << options.AudioBitrate;
        EXPECT_GT(options.AudioSampleRate, 0);
        EXPECT_TRUE(ChannelsUsable(options.AudioChannels)) << options.AudioChannels;
        if (!options.DisableVideo && !options.VideoCodec.empty()) {
            EXPECT_TRUE(options.VideoBitrate > 0 || SetsQuality(options));
            if (const AVCodec* codec =
                    Resolve(options.VideoCodec, AVMEDIA_TYPE_VIDEO, row.DisplayName, "default")) {
                EXPECT_EQ(OpenVideoEncoder(codec, engine, options), "")
                    << codec->name << " " << options.FrameSize << " " << options.FrameRate;
            }
        }
        if (const AVCodec* codec =
                Resolve(options.AudioCodec, AVMEDIA_TYPE_AUDIO, row.DisplayName, "default")) {
            EXPECT_EQ(OpenAudioEncoder(codec, options), "")
                << codec->name << " " << options.AudioSampleRate << " Hz, " << options.AudioChannels
                << " channels, " << options.AudioBitrate;
        }
    }
}

// A value a profile offers that the encoder refuses on this platform: the encoder, the
// box the value comes from and the option value.
using Refusal = std::tuple<std::string, std::string, std::string>;

// What the offered lists hold but the encoders of Debian 12 refuse. A task with such a choice
// fails with the engine's message when it opens the encoder; the defaults are never among
// them (see above).
const std::set<Refusal> ExpectedRefusals = {
    // "54000 Hz" in the standard sampling-rate list is a rate no lossy encoder here takes.
    {"aac", "sampling rate", "54000"},
    // AC-3 takes 32000, 44100 and 48000 Hz only
    {"ac3", "sampling rate", "16000"},
    {"ac3", "sampling rate", "22050"},
    {"ac3", "sampling rate", "54000"},
    {"ac3", "sampling rate", "8000"},
    {"ac3", "sampling rate", "96000"},
    // H.263 takes 128x96, 176x144, 352x288, 704x576 and 1408x1152 only
    {"h263", "frame size", "160x120"},
    {"h263", "frame size", "208x176"},
    {"h263", "frame size", "220x176"},
    {"h263", "frame size", "240x180"},
    {"h263", "frame size", "320x240"},
    // beyond the MPEG audio rates
    {"libmp3lame", "sampling rate", "54000"},
    {"libmp3lame", "sampling rate", "96000"},
    // AMR narrow band is 8000 Hz only
    {"libopencore_amrnb", "sampling rate", "16000"},
    // Vorbis: 32 and 40 Kbps are too low for two channels at 48000 Hz; 160 Kbps does not fit
    // 8000 Hz.
    {"libvorbis", "audio bit rate", "32000"},
    {"libvorbis", "audio bit rate", "40000"},
    {"libvorbis", "sampling rate", "54000"},
    {"libvorbis", "sampling rate", "8000"},
    {"libvorbis", "sampling rate", "96000"},
    // not a layer II rate at 44100/48000 Hz
    {"mp2", "audio bit rate", "40000"},
    // 16000 and 22050 Hz allow 160 Kbps at most (the rows default to 192/224 Kbps)
    {"mp2", "sampling rate", "16000"},
    {"mp2", "sampling rate", "22050"},
    {"mp2", "sampling rate", "54000"},
    {"mp2", "sampling rate", "8000"},
    {"mp2", "sampling rate", "96000"},
    // MPEG-1 has no 15 fps
    {"mpeg1video", "frame rate", "15"},
    {"mpeg1video", "frame rate", "15000/1001"},
    // RealVideo 1 needs multiples of 16
    {"rv10", "frame size", "160x120"},
    {"rv10", "frame size", "176x120"},
    {"rv10", "frame size", "220x176"},
    {"rv10", "frame size", "240x180"},
    {"rv10", "frame size", "320x200"},
    {"rv10", "frame size", "480x360"},
    // above 48000 Hz
    {"wmav2", "sampling rate", "54000"},
    {"wmav2", "sampling rate", "96000"},
};

// Every entry a user can pick, with every entry of the codec box of the same kind and the
// row's defaults elsewhere, through the engine's handlers and the encoder.
TEST_F(ProfileEncoders, OfferedChoicesTheEncodersRefuse) {
    struct Setting {
        const char* name;
        SettingsBox* SettingsBoxes::*box;
        std::string (*value)(const TOutputOptions&);
    };
    const Setting videoSettings[] = {
        {"frame size", &SettingsBoxes::ComboVideoSize,
         [](const TOutputOptions& o) { return o.FrameSize; }},
        {"frame rate", &SettingsBoxes::ComboVideoFramerate,
         [](const TOutputOptions& o) { return o.FrameRate; }},
        {"video bit rate", &SettingsBoxes::ComboVideoBitrate,
         [](const TOutputOptions& o) { return std::to_string(o.VideoBitrate); }},
    };
    const Setting audioSettings[] = {
        {"sampling rate", &SettingsBoxes::ComboSamplingRate,
         [](const TOutputOptions& o) { return std::to_string(o.AudioSampleRate); }},
        {"audio bit rate", &SettingsBoxes::ComboAudioBitrate,
         [](const TOutputOptions& o) { return std::to_string(o.AudioBitrate); }},
        {"channels", &SettingsBoxes::ComboAudioChannels,
         [](const TOutputOptions& o) { return std::to_string(o.AudioChannels); }},
    };
    lavu.av_log_set_level(AV_LOG_QUIET);  // the refusals are expected here
    std::map<Refusal, std::string> found; // with the first row and entry that showed it
    for (const OutputFormatEntry& row : OutputFormatCatalogue) {
        if (row.Fill == nullptr)
            continue;
        for (const bool video : {true, false}) {
            RowWindow window(row.DisplayName);
            const SettingsBoxes& boxes = window.Boxes();
            SettingsBox& codecBox = video ? *boxes.ComboVideoCodec : *boxes.ComboAudioCodec;
            for (int c = 0; c < codecBox.Count(); ++c) {
                codecBox.Select(c);
                if (!video)
                    window.AudioCodecChanged();
                for (const Setting& setting : video ? std::span<const Setting>(videoSettings)
                                                    : std::span<const Setting>(audioSettings)) {
                    SettingsBox& box = *(boxes.*setting.box);
                    const int selected = box.CurrentPosition();
                    for (int i = 0; i < box.Count(); ++i) {
                        box.Select(i);
                        const TOutputOptions options = window.Apply();
                        TCustomFFmpeg engine;
                        const std::string handlerRefusal = PassHandlers(engine, options);
                        EXPECT_EQ(handlerRefusal, "") << row.DisplayName << ", " << box.Text(i);
                        if (video && (options.DisableVideo || options.VideoCodec.empty()))
                            continue;
                        const std::string& name = video ? options.VideoCodec : options.AudioCodec;
                        AVCodecID id = AV_CODEC_ID_NONE;
                        const AVCodec* codec = nullptr;
                        if (!engine.LookupCodec(name,
                                                video ? AVMEDIA_TYPE_VIDEO : AVMEDIA_TYPE_AUDIO,
                                                true, id, &codec))
                            continue; // reported by EveryCodecEntryOfEveryRowResolves
                        const std::string error = video ? OpenVideoEncoder(codec, engine, options)
                                                        : OpenAudioEncoder(codec, options);
                        if (!error.empty())
                            found.emplace(
                                Refusal{codec->name, setting.name, setting.value(options)},
                                std::string(row.DisplayName) + ", \"" + codecBox.CurrentText() +
                                    "\" with \"" + box.Text(i) + "\": " + error);
                    }
                    box.Select(selected);
                }
            }
        }
    }
    std::set<Refusal> refused;
    for (const auto& [refusal, example] : found) {
        refused.insert(refusal);
        if (!ExpectedRefusals.contains(refusal))
            ADD_FAILURE() << "unexpected refusal: {\"" << std::get<0>(refusal) << "\", \""
                          << std::get<1>(refusal) << "\", \"" << std::get<2>(refusal)
                          << "\"}, first seen in " << example;
    }
    for (const Refusal& refusal : ExpectedRefusals)
        EXPECT_TRUE(refused.contains(refusal))
            << "no longer refused: " << std::get<0>(refusal) << " " << std::get<1>(refusal) << " "
            << std::get<2>(refusal);
}

} // namespace
