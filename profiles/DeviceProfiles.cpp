#include "DeviceProfiles.h"

#include "SettingMapping.h"

#include "OOPFillBitrateSizeFrameRate.h"

#include <charconv>

namespace {

constexpr std::array<const char*, 2> ApplePlayerVideoCodecs = {"MPEG4", "H264"};

} // namespace

void FillSingle(SettingsBox& box, std::string_view entry) {
    box.Clear();
    box.Append(std::string(entry));
    box.Select(0);
}

void SelectStereoOriginal(SettingsBoxes& boxes) {
    boxes.ComboAudioChannels->Select(0);
    boxes.ComboAspectRatio->Select(0);
}

void ClearVideoBoxes(SettingsBoxes& boxes) {
    boxes.ComboVideoCodec->Clear();
    boxes.ComboVideoSize->Clear();
    boxes.ComboVideoBitrate->Clear();
    boxes.ComboVideoFramerate->Clear();
}

void FillApplePlayer(SettingsBoxes& boxes, const ApplePlayerVariant& variant,
                     const ApplePlayerLists& lists) {
    FillList(*boxes.ComboVideoCodec, ApplePlayerVideoCodecs, 0);
    FillSingle(*boxes.ComboAudioCodec, "mpeg4aac");
    FillSingle(*boxes.ComboVideoSize, variant.FrameSize);
    FillList(*boxes.ComboVideoBitrate, HandheldVideoBitrateList, lists.VideoBitratePosition);
    FillList(*boxes.ComboAudioBitrate, StandardAudioBitrateList, lists.AudioBitratePosition);
    FillList(*boxes.ComboVideoFramerate, StandardFrameRateList, lists.FrameRatePosition);
    FillList(*boxes.ComboSamplingRate, StandardSamplingRateList, lists.SamplingRatePosition);
    if (variant.VideoBitratePosition >= 0)
        boxes.ComboVideoBitrate->Select(variant.VideoBitratePosition);
    if (variant.AudioBitratePosition >= 0)
        boxes.ComboAudioBitrate->Select(variant.AudioBitratePosition);
    if (variant.SelectsStereoOriginal)
        SelectStereoOriginal(boxes);
}

std::string LeadingWord(const std::string& text) {
    const std::size_t blank = text.find(' ');
    return blank == std::string::npos ? std::string() : text.substr(0, blank);
}

int32_t SettingInteger(const std::string& number, std::string_view setting,
                       const std::string& boxText) {
    int32_t value = 0;
    const char* first = number.data();
    const char* last = first + number.size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (number.empty() || error != std::errc() || end != last) {
        throw SettingConversionError("The " + std::string(setting) + " \"" + boxText +
                                     "\" does not give a whole number");
    }
    return value;
}

std::string DeviceVideoEncoder(const std::string& codecLabel) {
    std::string name = codecLabel;
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    if (name == "h264")
        return "libx264";
    if (name == "xvid")
        return "libxvid";
    return name;
}

void ApplyDeviceSettings(const SettingsBoxes& boxes, const DeviceAudioRule& rule,
                         TOutputOptions& options) {
    const std::string videoBitrateText = boxes.ComboVideoBitrate->CurrentText();
    const std::string audioBitrateText = boxes.ComboAudioBitrate->CurrentText();
    const std::string samplingRateText = boxes.ComboSamplingRate->CurrentText();
    const std::string frameSizeText = boxes.ComboVideoSize->CurrentText();

    const std::string videoBitrate = LeadingWord(videoBitrateText) + "000";
    std::string audioBitrate = LeadingWord(audioBitrateText);
    if (rule.AudioBitrateInKbps)
        audioBitrate += "000";
    const std::string samplingRate = LeadingWord(samplingRateText);

    options.VideoCodec = DeviceVideoEncoder(boxes.ComboVideoCodec->CurrentText());
    options.AudioCodec = rule.AudioCodec;
    options.FrameSize = FrameSizeText(frameSizeText);

    options.VideoBitrate = SettingInteger(videoBitrate, "video bit rate", videoBitrateText);
    options.AudioBitrate = SettingInteger(audioBitrate, "audio bit rate", audioBitrateText);
    options.AudioSampleRate = SettingInteger(samplingRate, "sampling rate", samplingRateText);
    if (rule.AudioChannels > 0)
        options.AudioChannels = rule.AudioChannels;
}
