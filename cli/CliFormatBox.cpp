#include "CliFormatBox.h"

#include <algorithm>
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

namespace {

// The rows a label names: the format box's entries with it when there are any, otherwise
// every catalogue row with settings that has it.
std::vector<const OutputFormatEntry*> RowsOfLabel(const std::string& label) {
    std::vector<const OutputFormatEntry*> inBox;
    std::vector<const OutputFormatEntry*> withSettings;
    for (const OutputFormatEntry& entry : OutputFormatCatalogue) {
        if (entry.Fill == nullptr || !SameLabel(label, entry.OutputType))
            continue;
        withSettings.push_back(&entry);
        if (FormatBoxPosition(entry) >= 0)
            inBox.push_back(&entry);
    }
    return inBox.empty() ? withSettings : inBox;
}

} // namespace

const OutputFormatEntry* ResolveFormat(const std::string& format, std::string& error) {
    if (const OutputFormatEntry* entry = FindOutputFormat(format)) {
        if (entry->Fill != nullptr)
            return entry;
        error = "format \"" + format + "\" is a catalogue row without settings";
        return nullptr;
    }
    const std::vector<const OutputFormatEntry*> candidates = RowsOfLabel(format);
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

std::vector<FormatLabel> FormatLabels() {
    std::vector<FormatLabel> labels;
    for (const OutputFormatEntry& entry : OutputFormatCatalogue) {
        const auto known = std::find_if(labels.begin(), labels.end(), [&](const FormatLabel& l) {
            return SameLabel(l.Label, entry.OutputType);
        });
        if (known == labels.end() && entry.Fill != nullptr)
            labels.push_back({entry.OutputType, RowsOfLabel(entry.OutputType)});
    }
    std::sort(labels.begin(), labels.end(),
              [](const FormatLabel& a, const FormatLabel& b) { return a.Label < b.Label; });
    return labels;
}
