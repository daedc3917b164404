// The output format catalogue, the format box of this edition and its change handling,
// and the two table-driven dispatches (fill the settings boxes, apply them to a task).
#pragma once

#include "FFmpegVCL.h"
#include "FormatBoxState.h"
#include "SettingsBoxes.h"

#include <array>
#include <string>
#include <string_view>

// Loads a profile family's lists and default selections into the settings boxes; the
// variant picks one of the family's profiles ("" for families with a single profile).
using ProfileFillFunction = void (*)(SettingsBoxes& boxes, std::string_view variant);
// Writes a task's output options from the current texts of the settings boxes.
using ProfileApplyFunction = void (*)(const SettingsBoxes& boxes, const std::string& outputLabel,
                                      TOutputOptions& options, int rowIndex);

// One catalogue row. Fill and Apply are null for the placeholder rows.
struct OutputFormatEntry {
    const char* DisplayName; // text in the format box, the look-up key (exact match)
    const char* OutputType;  // "Output" column text and, lower-cased, the file extension
    int Profile;             // equals the row's position in the catalogue
    ProfileFillFunction Fill;
    const char* Variant;
    ProfileApplyFunction Apply;
    // Reloads the boxes whose lists depend on the audio codec chosen, with the row's
    // variant; null for rows whose lists do not.
    ProfileFillFunction AudioCodecChange = nullptr;
};

// The 71 rows of the classic catalogue, then the four modern rows (Matroska, WebM, Opus,
// FLAC) numbered on from 71.
inline constexpr int ClassicFormatCount = 71;
inline constexpr int OutputFormatCount = 75;
extern const std::array<OutputFormatEntry, OutputFormatCount> OutputFormatCatalogue;

// The separator entry of the format box: 14 blanks and 41 dashes.
inline constexpr const char* FormatBoxSeparator =
    "              -----------------------------------------";
// The format box of this edition, in order: the 18 classic entries with their two
// separators (positions 0 to 19, as stored settings know them), then a third separator and
// the four modern entries (positions 20 to 24).
inline constexpr int ClassicFormatBoxCount = 20;
extern const std::array<const char*, 25> FormatBoxEntries;
// Drop-down height used when the Additional Options count cannot be read.
inline constexpr int DefaultDropDownCount = 25;

// The catalogue row whose DisplayName equals displayName exactly, or null.
const OutputFormatEntry* FindOutputFormat(std::string_view displayName);

// Clears the format box, appends FormatBoxEntries, sets the drop-down height to the number
// of entries and selects entry 0. Does not run the change handling.
void FillFormatBox(FormatBoxState& state);
// The format box's change handling: refuses a separator (back to LastFormatIndex), else
// refills the settings boxes, sets OutputLabel, writes it into every row's "Output"
// column, sets the drop-down height and records LastFormatIndex.
void OnFormatChange(FormatBoxState& state);
// Runs when the format box opens: the drop-down height from the provider, or 25.
void OnFormatDropDown(FormatBoxState& state);
// Looks up the format box's text; on a match sets OutputLabel and runs the row's fill.
// The channels box gets its fixed two entries back first when a modern row changed it.
void FillProfileSettings(FormatBoxState& state);
// The audio codec box's change handling: the current row's AudioCodecChange, if any.
void OnAudioCodecChange(FormatBoxState& state);
// Looks up the format box's text; on a match runs the row's apply step for the file-list
// row rowIndex and then passes the chosen frame rate on. Rows without an apply step leave
// the options as they are. Throws SettingConversionError from the apply step.
void ApplyProfileSettings(const FormatBoxState& state, TOutputOptions& options, int rowIndex);
