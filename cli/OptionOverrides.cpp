#include "OptionOverrides.h"

#include "FFmpegOptionsNumbers.h"

#include <array>
#include <cstring>
#include <exception>
#include <optional>

namespace {

struct OptionLine {
    std::string Name;
    std::string Value;
};

// Split at the first "=", as the engine's option text does.
OptionLine Split(const std::string& line) {
    const auto sign = line.find('=');
    if (sign == std::string::npos)
        return {line, std::string()};
    return {line.substr(0, sign), line.substr(sign + 1)};
}

// The value as the engine reads an integer option; none when it does not convert (the
// engine then refuses the option text itself and the file fails with its message).
std::optional<int32_t> IntValue(const OptionLine& option) {
    try {
        return OptionToInt(option.Name, option.Value);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// The record's metadata buffers, by option name.
struct MetadataField {
    const char* Name;
    char* (*Buffer)(TOutputOptions&);
    std::size_t Capacity;
};

const std::array<MetadataField, 6> MetadataFields = {{
    {"title", [](TOutputOptions& r) { return r.Title; }, sizeof(TOutputOptions::Title)},
    {"author", [](TOutputOptions& r) { return r.Author; }, sizeof(TOutputOptions::Author)},
    {"copyright", [](TOutputOptions& r) { return r.Copyright; }, sizeof(TOutputOptions::Copyright)},
    {"comment", [](TOutputOptions& r) { return r.Comment; }, sizeof(TOutputOptions::Comment)},
    {"album", [](TOutputOptions& r) { return r.Album; }, sizeof(TOutputOptions::Album)},
    {"genre", [](TOutputOptions& r) { return r.Genre; }, sizeof(TOutputOptions::Genre)},
}};

const MetadataField* FindMetadataField(const std::string& name) {
    for (const MetadataField& field : MetadataFields)
        if (name == field.Name)
            return &field;
    return nullptr;
}

} // namespace

bool CheckOptionLines(const std::vector<std::string>& lines, bool letterBox, std::string& error) {
    for (const std::string& line : lines) {
        const OptionLine option = Split(line);
        if (option.Name == "v") {
            error = "--option v cannot take effect: the verbosity is set when each file "
                    "starts; use --verbose for the engine's and the libraries' log lines";
            return false;
        }
        if (letterBox && (option.Name == "padtop" || option.Name == "padbottom" ||
                          option.Name == "padleft" || option.Name == "padright")) {
            error = "--option " + option.Name +
                    " cannot take effect with --letterbox, which sets the bars itself; "
                    "leave out --letterbox to set the padding by hand";
            return false;
        }
        if (const MetadataField* field = FindMetadataField(option.Name))
            if (option.Value.size() >= field->Capacity) {
                error = "--option " + option.Name + " takes at most " +
                        std::to_string(field->Capacity - 1) + " characters";
                return false;
            }
    }
    return true;
}

void ApplyOptionLines(const std::vector<std::string>& lines, TOutputOptions& record) {
    for (const std::string& line : lines) {
        const OptionLine option = Split(line);
        const std::string& name = option.Name;
        const std::string& value = option.Value;
        // Text fields: an empty option value changes nothing in the engine, so the field
        // keeps what the format's settings wrote.
        if (name == "vcodec" && !value.empty()) {
            record.VideoCodec = value;
        } else if (name == "acodec" && !value.empty()) {
            record.AudioCodec = value;
        } else if (name == "s" && !value.empty()) {
            record.FrameSize = value;
        } else if (name == "aspect" && !value.empty()) {
            record.AspectRatio = value;
        } else if (name == "alang") {
            record.AudioLanguage = value;
        } else if (name == "slang") {
            record.SubtitleLanguage = value;
        } else if (const MetadataField* field = FindMetadataField(name)) {
            if (!value.empty() && value.size() < field->Capacity)
                std::strcpy(field->Buffer(record), value.c_str());
        } else if (name == "b" || name == "vb") {
            // Bit rates go through the generic path, which also takes "500k"; the field is
            // cleared instead of written.
            record.VideoBitrate = -1;
        } else if (name == "ab") {
            record.AudioBitrate = -1;
        } else if (name == "ar") {
            if (IntValue(option).value_or(0) > 0)
                record.AudioSampleRate = -1;
        } else if (name == "ac") {
            if (IntValue(option).value_or(0) > 0)
                record.AudioChannels = -1;
        } else if (name == "vol") {
            if (IntValue(option))
                record.AudioVolume = -1;
        } else if (name == "async") {
            if (const auto method = IntValue(option))
                record.AudioSyncMethod = *method;
        } else if (name == "vsync") {
            if (const auto method = IntValue(option))
                record.VideoSyncMethod = *method;
        } else if (name == "copyts") {
            record.CopyTimestamps = true;
        } else if (name == "padcolor") {
            // The option's red, green and blue bytes are the record colour's layout.
            if (const auto colour = IntValue(option))
                record.PadColor = static_cast<uint32_t>(*colour) & 0xFFFFFFu;
        } else if (name == "target" && !value.empty()) {
            // A preset sets the codecs, the size, the bit rates and the audio format; the
            // fields that would set them again give way.
            record.VideoCodec.clear();
            record.AudioCodec.clear();
            record.FrameSize.clear();
            record.AspectRatio.clear();
            record.VideoBitrate = -1;
            record.AudioBitrate = -1;
            record.AudioSampleRate = -1;
            record.AudioChannels = -1;
        }
    }
}
