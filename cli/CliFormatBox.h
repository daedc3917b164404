// The format box and the nine settings boxes of the converter, as the window holds them at
// start-up, and the choice of one catalogue row with its change handling.
#pragma once

#include "FillComboOutputFormat.h"
#include "FormatBoxState.h"
#include "SettingsBox.h"
#include "SettingsBoxes.h"

#include <string>
#include <vector>

class CliFormatBox {
public:
    // Fills the format box as the window does and selects "Stereo" in the channels box and
    // "Original" in the aspect box, as the window's creation leaves them.
    CliFormatBox();
    CliFormatBox(const CliFormatBox&) = delete;
    CliFormatBox& operator=(const CliFormatBox&) = delete;

    // Selects the row's entry in the format box (a row the box does not offer is added to
    // this box first) and runs the change handling: the boxes get the row's lists and
    // defaults and OutputLabel its output type.
    void choose(const OutputFormatEntry& entry);

    FormatBoxState& state() { return m_state; }
    const FormatBoxState& state() const { return m_state; }
    SettingsBoxes& boxes() { return m_state.Boxes; }

private:
    ListSettingsBox m_formatBox;
    ListSettingsBoxes m_boxes;
    FormatBoxState m_state;
};

// The format box position of a catalogue row in this edition, or -1 when the box does not
// offer it.
int FormatBoxPosition(const OutputFormatEntry& entry);

// The catalogue row that FORMAT names: a display name with a fill routine (exact text), or an
// output label (any case) that exactly one format box entry has, or, for a label the box
// does not offer, exactly one catalogue row with settings. On failure returns null and sets
// `error` to a message naming the candidates.
const OutputFormatEntry* ResolveFormat(const std::string& format, std::string& error);

// An output label of a catalogue row with settings, and the rows it names as a FORMAT (one
// when the label selects a row, several when it is ambiguous).
struct FormatLabel {
    std::string Label;
    std::vector<const OutputFormatEntry*> Rows;
};

// Every such label, in alphabetical order.
std::vector<FormatLabel> FormatLabels();
