#include "CliFormatBox.h"

#include <cctype>

namespace {

bool SameLabel(const std::string& a, const char* b) {
    const std::string other(b);
    if (a.size() != other.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(other[i])))
            return false;
    return true;
}

} // namespace

CliFormatBox::CliFormatBox() {
    m_state.ComboOutputFormat = &m_formatBox;
    m_state.Boxes = m_boxes.Boxes();
    FillFormatBox(m_state);
    m_state.DropDownCount = DefaultDropDownCount;
    // The window creates its channels box with "Stereo" chosen and its hidden aspect list at
    // "Original"; profiles that leave those boxes alone rely on that start.
    m_state.Boxes.ComboAudioChannels->Select(0);
    m_state.Boxes.ComboAspectRatio->Select(0);
}

void CliFormatBox::choose(const OutputFormatEntry& entry) {
    int position = -1;
    for (int i = 0; i < m_formatBox.Count(); ++i)
        if (m_formatBox.Text(i) == entry.DisplayName)
            position = i;
    if (position < 0) {
        m_formatBox.Append(entry.DisplayName);
        position = m_formatBox.Count() - 1;
    }
    m_formatBox.Select(position);
    OnFormatChange(m_state);
}

int FormatBoxPosition(const OutputFormatEntry& entry) {
    for (size_t i = 0; i < FormatBoxEntries.size(); ++i)
        if (std::string(FormatBoxEntries[i]) == entry.DisplayName)
            return static_cast<int>(i);
    return -1;
}

const OutputFormatEntry* ResolveFormat(const std::string& format, std::string& error) {
    if (const OutputFormatEntry* entry = FindOutputFormat(format)) {
        if (entry->Fill != nullptr)
            return entry;
        error = "format \"" + format + "\" is a catalogue row without settings";
        return nullptr;
    }
    std::vector<const OutputFormatEntry*> candidates;
    for (const OutputFormatEntry& entry : OutputFormatCatalogue)
        if (FormatBoxPosition(entry) >= 0 && SameLabel(format, entry.OutputType))
            candidates.push_back(&entry);
    if (candidates.size() == 1)
        return candidates.front();
    if (candidates.empty()) {
        error = "unknown format \"" + format +
                "\"; give a display name or an output label as --list-formats shows them";
        return nullptr;
    }
    error = "format \"" + format + "\" is ambiguous; it may be:";
    for (const OutputFormatEntry* entry : candidates)
        error += std::string("\n  ") + entry->DisplayName;
    return nullptr;
}
