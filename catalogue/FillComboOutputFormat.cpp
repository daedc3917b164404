#include "FillComboOutputFormat.h"
#include "Modern.h"
#include "SettingMapping.h"

namespace {

// What marks a separator entry: 14 blanks followed by 4 dashes.
constexpr std::string_view SeparatorMark = "              ----";

int ReadDropDownCountOrDefault(const FormatBoxState& state) {
    if (!state.ReadDropDownCount)
        return DefaultDropDownCount;
    try {
        return state.ReadDropDownCount();
    } catch (...) {
        // The count box may hold anything; an unreadable count is not worth a message.
        return DefaultDropDownCount;
    }
}

} // namespace

const OutputFormatEntry* FindOutputFormat(std::string_view displayName) {
    for (const OutputFormatEntry& entry : OutputFormatCatalogue)
        if (displayName == entry.DisplayName)
            return &entry;
    return nullptr;
}

void FillFormatBox(FormatBoxState& state) {
    SettingsBox& box = *state.ComboOutputFormat;
    box.Clear();
    for (const char* entry : FormatBoxEntries)
        box.Append(entry);
    state.DropDownCount = box.Count();
    box.Select(0);
}

void FillProfileSettings(FormatBoxState& state) {
    const OutputFormatEntry* entry = FindOutputFormat(state.ComboOutputFormat->CurrentText());
    if (entry == nullptr)
        return;
    state.OutputLabel = entry->OutputType;
    if (entry->Fill != nullptr) {
        RestoreFixedChannelList(state.Boxes);
        entry->Fill(state.Boxes, entry->Variant);
    }
}

void OnAudioCodecChange(FormatBoxState& state) {
    const OutputFormatEntry* entry = FindOutputFormat(state.ComboOutputFormat->CurrentText());
    if (entry != nullptr && entry->AudioCodecChange != nullptr)
        entry->AudioCodecChange(state.Boxes, entry->Variant);
}

void OnFormatChange(FormatBoxState& state) {
    const std::string text = state.ComboOutputFormat->CurrentText();
    if (text.find(SeparatorMark) != std::string::npos) {
        // A separator cannot be chosen: go back to the last accepted entry, touch nothing.
        state.ComboOutputFormat->Select(state.LastFormatIndex);
        return;
    }
    FillProfileSettings(state);
    if (const OutputFormatEntry* entry = FindOutputFormat(text))
        state.OutputLabel = entry->OutputType;
    if (state.WriteOutputColumn)
        state.WriteOutputColumn(state.OutputLabel);
    OnFormatDropDown(state);
    state.LastFormatIndex = state.ComboOutputFormat->CurrentPosition();
}

void OnFormatDropDown(FormatBoxState& state) {
    state.DropDownCount = ReadDropDownCountOrDefault(state);
}

void ApplyProfileSettings(const FormatBoxState& state, TOutputOptions& options, int rowIndex) {
    const OutputFormatEntry* entry = FindOutputFormat(state.ComboOutputFormat->CurrentText());
    if (entry == nullptr || entry->Apply == nullptr)
        return;
    entry->Apply(state.Boxes, state.OutputLabel, options, rowIndex);
    // A user who picks a frame rate expects the output to have it; "Auto" keeps the
    // input's rate.
    ApplyFrameRate(state.Boxes, options);
}
