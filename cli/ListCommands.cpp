#include "ListCommands.h"

#include "CliFormatBox.h"

#include <array>
#include <utility>

int runListFormats(std::ostream& out) {
    for (const OutputFormatEntry& entry : OutputFormatCatalogue) {
        const int position = FormatBoxPosition(entry);
        out << entry.Profile << '\t' << entry.OutputType << '\t'
            << (position < 0 ? std::string("-") : std::to_string(position)) << '\t'
            << entry.DisplayName << '\n';
    }
    return 0;
}

int runListSettings(const std::string& format, std::ostream& out, std::ostream& err) {
    std::string error;
    const OutputFormatEntry* entry = ResolveFormat(format, error);
    if (entry == nullptr) {
        err << "vidbrisk-convert: " << error << "\n";
        return 2;
    }
    CliFormatBox formatBox;
    formatBox.choose(*entry);
    const SettingsBoxes& boxes = formatBox.boxes();
    const std::array<std::pair<const char*, SettingsBox*>, 9> rows = {{
        {"ComboVideoBitrate", boxes.ComboVideoBitrate},
        {"ComboVideoCodec", boxes.ComboVideoCodec},
        {"ComboVideoSize", boxes.ComboVideoSize},
        {"ComboVideoFramerate", boxes.ComboVideoFramerate},
        {"ComboAudioBitrate", boxes.ComboAudioBitrate},
        {"ComboAudioCodec", boxes.ComboAudioCodec},
        {"ComboAudioChannels", boxes.ComboAudioChannels},
        {"ComboSamplingRate", boxes.ComboSamplingRate},
        {"ComboAspectRatio", boxes.ComboAspectRatio},
    }};
    for (const auto& [name, box] : rows) {
        out << name << '\t' << box->CurrentPosition();
        for (int i = 0; i < box->Count(); ++i)
            out << '\t' << box->Text(i);
        out << '\n';
    }
    return 0;
}
