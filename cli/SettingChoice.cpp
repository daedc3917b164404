#include "SettingChoice.h"

#include <cctype>
#include <charconv>
#include <vector>

const std::array<SettingOption, 8> SettingOptions = {{
    {"--video-bitrate", "Video Quality", &SettingsBoxes::ComboVideoBitrate},
    {"--video-codec", "Video Codec", &SettingsBoxes::ComboVideoCodec},
    {"--video-size", "Video Size", &SettingsBoxes::ComboVideoSize},
    {"--frame-rate", "Framerate", &SettingsBoxes::ComboVideoFramerate},
    {"--audio-bitrate", "Audio Quality", &SettingsBoxes::ComboAudioBitrate},
    {"--audio-codec", "Audio Codec", &SettingsBoxes::ComboAudioCodec},
    {"--channels", "Audio Channels", &SettingsBoxes::ComboAudioChannels},
    {"--sample-rate", "Sampling Rate", &SettingsBoxes::ComboSamplingRate},
}};

namespace {

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Reads a decimal number at the start of text[pos...]; advances pos past it.
bool ReadNumber(const std::string& text, size_t& pos, double& value) {
    const char* begin = text.data() + pos;
    const auto [ptr, ec] = std::from_chars(begin, text.data() + text.size(), value);
    if (ec != std::errc() || ptr == begin)
        return false;
    pos = static_cast<size_t>(ptr - text.data());
    return true;
}

// A whole text that is one number.
bool WholeNumber(const std::string& text, double& value) {
    size_t pos = 0;
    return !text.empty() && std::isdigit(static_cast<unsigned char>(text[0])) &&
           ReadNumber(text, pos, value) && pos == text.size();
}

// "WxH" (the x in any case, blanks around it allowed) as two numbers; `whole` asks that
// nothing follows the height.
bool SizeOf(const std::string& text, double& width, double& height, bool whole) {
    size_t pos = 0;
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])) ||
        !ReadNumber(text, pos, width))
        return false;
    while (pos < text.size() && text[pos] == ' ')
        ++pos;
    if (pos >= text.size() || (text[pos] != 'x' && text[pos] != 'X'))
        return false;
    ++pos;
    while (pos < text.size() && text[pos] == ' ')
        ++pos;
    if (pos >= text.size() || !std::isdigit(static_cast<unsigned char>(text[pos])) ||
        !ReadNumber(text, pos, height))
        return false;
    return !whole || pos == text.size();
}

// The number an entry begins with ("128 Kbps", "8000  Hz", "29.97 fps [NTSC]").
bool LeadingNumber(const std::string& text, double& value) {
    size_t pos = 0;
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])) ||
        !ReadNumber(text, pos, value))
        return false;
    // A size ("320 x 240") does not count as the number 320.
    double width = 0;
    double height = 0;
    return !SizeOf(text, width, height, false);
}

std::string EntryList(const SettingsBox& box) {
    if (box.Count() == 0)
        return "\n  (the box has no entries for this format)";
    std::string list;
    for (int i = 0; i < box.Count(); ++i)
        list += "\n  \"" + box.Text(i) + "\"";
    return list;
}

} // namespace

const SettingOption* FindSettingOption(const std::string& option) {
    for (const SettingOption& setting : SettingOptions)
        if (option == setting.Option)
            return &setting;
    return nullptr;
}

int FindSettingEntry(const SettingsBox& box, const SettingOption& option, const std::string& value,
                     std::string& error) {
    for (int i = 0; i < box.Count(); ++i)
        if (box.Text(i) == value)
            return i;
    std::vector<int> matches;
    for (int i = 0; i < box.Count(); ++i)
        if (Lower(box.Text(i)) == Lower(value))
            matches.push_back(i);
    double width = 0;
    double height = 0;
    double number = 0;
    if (matches.empty() && SizeOf(value, width, height, true)) {
        for (int i = 0; i < box.Count(); ++i) {
            double entryWidth = 0;
            double entryHeight = 0;
            if (SizeOf(box.Text(i), entryWidth, entryHeight, false) && entryWidth == width &&
                entryHeight == height)
                matches.push_back(i);
        }
    } else if (matches.empty() && WholeNumber(value, number)) {
        if (option.Box == &SettingsBoxes::ComboAudioChannels && (number == 1 || number == 2)) {
            const std::string name = number == 1 ? "Mono" : "Stereo";
            for (int i = 0; i < box.Count(); ++i)
                if (box.Text(i) == name)
                    matches.push_back(i);
        }
        for (int i = 0; i < box.Count(); ++i) {
            double entryNumber = 0;
            if (LeadingNumber(box.Text(i), entryNumber) && entryNumber == number)
                matches.push_back(i);
        }
    }
    if (matches.size() == 1)
        return matches.front();
    if (matches.empty())
        error = std::string(option.Option) + " \"" + value + "\" matches no entry of " +
                option.Label + "; its entries are:" + EntryList(box);
    else
        error = std::string(option.Option) + " \"" + value + "\" matches several entries of " +
                option.Label + "; its entries are:" + EntryList(box);
    return -1;
}
