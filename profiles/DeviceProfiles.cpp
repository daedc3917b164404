#include "DeviceProfiles.h"

#include "OOPFillBitrateSizeFrameRate.h"
#include "SettingMapping.h"

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

    const std::string videoBitrate = TextBeforeFirstBlank(videoBitrateText) + "000";
    std::string audioBitrate = TextBeforeFirstBlank(audioBitrateText);
    if (rule.AudioBitrateInKbps)
        audioBitrate += "000";
    const std::string samplingRate = TextBeforeFirstBlank(samplingRateText);

    options.VideoCodec = DeviceVideoEncoder(boxes.ComboVideoCodec->CurrentText());
    options.AudioCodec = rule.AudioCodec;
    options.FrameSize = FrameSizeText(frameSizeText);

    options.VideoBitrate = SettingNumber(videoBitrate, videoBitrateText, "video bit rate");
    options.AudioBitrate = SettingNumber(audioBitrate, audioBitrateText, "audio bit rate");
    options.AudioSampleRate = SettingNumber(samplingRate, samplingRateText, "sampling rate");
    options.AudioChannels = rule.AudioChannels > 0 ? rule.AudioChannels
                            : boxes.ComboAudioChannels->CurrentText() == "Stereo" ? 2
                                                                                  : 1;
}
