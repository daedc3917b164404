#include "SettingMapping.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <utility>

namespace {

using NameMapping = std::pair<std::string_view, std::string_view>;

// Video codec labels (lower case) and their encoder names; the first match applies.
constexpr std::array<NameMapping, 5> VideoCodecMapping = {{
    {"mpeg4", "mpeg4"},
    {"h264", "libx264"},
    {"xvid", "libxvid"},
    {"wmv2x", "wmv2"},
    {"mpeg4_qt", "mpeg4"},
}};

// Encoders whose own default speed is far below the other encoders of the catalogue, and the
// option that brings them near (x264's "faster" costs a few percent of size at equal
// quality; its default "medium" takes about a third longer on two cores).
constexpr std::array<NameMapping, 1> EncoderSpeedOptions = {{
    {"libx264", "preset=faster"},
}};

// Audio codec labels (lower case) and their encoder names. One look-up only: "m4a" gives
// "mpeg4aac", which is not looked up again.
constexpr std::array<NameMapping, 12> AudioCodecMapping = {{
    {"aac", "libfaac"},
    {"ac3", "ac3"},
    {"flac", "flac"},
    {"asf", "mp3"},
    {"mp3", "libmp3lame"},
    {"m4a", "mpeg4aac"},
    {"mpeg4aac", "libfaac"},
    {"ra", "ac3"},
    {"wma7x", "wmav2"},
    {"wav", "pcm_s16le"},
    {"mpeg4aac_qt", "libfaac"},
    {"amr_nb", "libamr_nb"},
}};

// Output labels (lower case) of files that carry no video. "asf" is not one of them: the ASF
// profile is a video container profile (its boxes offer a video codec, sizes and rates), and
// disabling its video would give a file without a picture. "ogg" is one: the OGG profile is
// Ogg Vorbis audio, and a video input must not add a picture stream to it.
constexpr std::array<std::string_view, 11> AudioOnlyLabels = {
    "aac", "ac3", "au", "mp2", "mp3", "wav", "wma", "ra", "m4a", "amr", "ogg"};

// Frame-size texts that mean "keep the input's size": the general lists' first entry and the
// "Auto" that heads the portable players' lists. Neither is a size the engine could read.
constexpr std::array<std::string_view, 2> KeepInputSizeTexts = {"Original Video Size", "Auto"};

// The encoder AMR narrow band resolves to takes a single channel only.
constexpr std::string_view MonoOnlyAudioEncoder = "libamr_nb";

// Frame-rate numbers whose display text is a rounded NTSC rate; the engine gets the exact
// fraction so that the output's time base is the broadcast one.
constexpr std::array<NameMapping, 5> NtscFrameRates = {{
    {"14.985", "15000/1001"},
    {"23.975", "24000/1001"},
    {"23.976", "24000/1001"},
    {"29.97", "30000/1001"},
    {"59.94", "60000/1001"},
}};

std::string LowerCase(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

template <std::size_t N>
std::string MapName(const std::array<NameMapping, N>& mapping, std::string_view label) {
    std::string lower = LowerCase(label);
    for (const auto& [from, to] : mapping)
        if (lower == from)
            return std::string(to);
    return lower;
}

// A positive decimal number such as "25", "15.0" or "23.976".
bool IsRateNumber(std::string_view text) {
    bool digitSeen = false;
    bool pointSeen = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            digitSeen = true;
        } else if (c == '.' && !pointSeen) {
            pointSeen = true;
        } else {
            return false;
        }
    }
    return digitSeen && text.find_first_not_of("0.") != std::string_view::npos;
}

} // namespace

std::string FrameSizeText(const std::string& sizeText) {
    std::string text = sizeText.substr(0, sizeText.find('('));
    if (text == "Original Video Size")
        return "original";
    std::erase(text, ' ');
    return text;
}

std::string_view EncoderSpeedOption(std::string_view encoder) {
    for (const auto& [name, option] : EncoderSpeedOptions)
        if (name == encoder)
            return option;
    return {};
}

std::string VideoEncoderName(std::string_view codecLabel) {
    return MapName(VideoCodecMapping, codecLabel);
}

std::string AudioEncoderName(std::string_view codecLabel) {
    return MapName(AudioCodecMapping, codecLabel);
}

bool IsAudioOnlyLabel(std::string_view outputLabel) {
    const std::string lower = LowerCase(outputLabel);
    return std::find(AudioOnlyLabels.begin(), AudioOnlyLabels.end(), lower) !=
           AudioOnlyLabels.end();
}

std::string TextBeforeFirstBlank(std::string_view text) {
    const auto blank = text.find(' ');
    return blank == std::string_view::npos ? std::string() : std::string(text.substr(0, blank));
}

int32_t SettingNumber(const std::string& numberText, const std::string& boxText, const char* what) {
    int32_t value = 0;
    const char* first = numberText.data();
    const char* last = first + numberText.size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (numberText.empty() || error != std::errc() || end != last)
        throw SettingConversionError("The " + std::string(what) + " \"" + boxText +
                                     "\" is not a number");
    return value;
}

void ApplyCommonSettings(const SettingsBoxes& boxes, const std::string& outputLabel,
                         TOutputOptions& options, int /*rowIndex*/) {
    const std::string videoBitrate = boxes.ComboVideoBitrate->CurrentText();
    const std::string audioBitrate = boxes.ComboAudioBitrate->CurrentText();
    const std::string samplingRate = boxes.ComboSamplingRate->CurrentText();
    const std::string frameSize = boxes.ComboVideoSize->CurrentText();

    // Kilobit texts become bits per second by appending three zeros; the few audio lists
    // in bits per second ("12200 bps") are taken as they are.
    const std::string videoBitrateText = TextBeforeFirstBlank(videoBitrate) + "000";
    std::string audioBitrateText = TextBeforeFirstBlank(audioBitrate);
    if (audioBitrate.find("Kbps") != std::string::npos)
        audioBitrateText += "000";
    const std::string samplingRateText = TextBeforeFirstBlank(samplingRate);

    options.VideoCodec = VideoEncoderName(boxes.ComboVideoCodec->CurrentText());
    options.AudioCodec = AudioEncoderName(boxes.ComboAudioCodec->CurrentText());
    if (std::find(KeepInputSizeTexts.begin(), KeepInputSizeTexts.end(), frameSize) ==
        KeepInputSizeTexts.end())
        options.FrameSize = FrameSizeText(frameSize);
    const std::string aspectRatio = boxes.ComboAspectRatio->CurrentText();
    if (aspectRatio != "Original")
        options.AspectRatio = aspectRatio;
    options.AudioChannels = boxes.ComboAudioChannels->CurrentText() == "Stereo" ? 2 : 1;
    if (outputLabel == "3GP" || outputLabel == "3G2")
        options.AudioChannels = 1;
    // AMR narrow band is mono only: the BlackBerry AMR row would otherwise ask the encoder for
    // the two channels of "Stereo" and the task would fail.
    if (options.AudioCodec == MonoOnlyAudioEncoder)
        options.AudioChannels = 1;
    if (IsAudioOnlyLabel(outputLabel))
        options.DisableVideo = true;

    options.VideoBitrate = SettingNumber(videoBitrateText, videoBitrate, "video bit rate");
    options.AudioBitrate = SettingNumber(audioBitrateText, audioBitrate, "audio bit rate");
    options.AudioSampleRate = SettingNumber(samplingRateText, samplingRate, "sampling rate");
}

std::string FrameRateText(const std::string& frameRateText) {
    std::string number = frameRateText.substr(0, frameRateText.find(' '));
    for (const auto& [from, to] : NtscFrameRates)
        if (number == from)
            return std::string(to);
    if (!IsRateNumber(number))
        return std::string(); // "Auto", empty, or not a rate: keep the input's rate
    if (number.ends_with(".0"))
        number.resize(number.size() - 2);
    return number;
}

void ApplyFrameRate(const SettingsBoxes& boxes, TOutputOptions& options) {
    const std::string rate = FrameRateText(boxes.ComboVideoFramerate->CurrentText());
    if (!rate.empty())
        options.FrameRate = rate;
}
