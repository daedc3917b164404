// The persistent values: the five read in order under the failed-read rule, the number of
// files converted at once and the stream choices beside them, their names, their defaults
// and writing them back.
#pragma once

#include "SettingsStore.h"

#include <optional>

namespace SettingsNames {
inline constexpr const char* kOutputFolder = "Output Folder";
inline constexpr const char* kComboOutputFormat = "ComboOutputFormat";
inline constexpr const char* kOverwrite = "Overwrite";
inline constexpr const char* kDropDownItems = "DropDownItems";
inline constexpr const char* kLetterBox = "LetterBox";
inline constexpr const char* kFilesAtOnce = "FilesAtOnce";
inline constexpr const char* kDeinterlace = "Deinterlace";
inline constexpr const char* kSubtitles = "Subtitles";
inline constexpr const char* kAudioTracks = "AudioTracks";
} // namespace SettingsNames

// The values as the window and the options dialog hold them; the initial values are the
// controls' own defaults, which a first start writes.
struct SettingsValues {
    QString outputFolder;
    int comboOutputFormat = 0;
    bool overwrite = false;
    int dropDownItems = 27;
    int letterBox = 0;
    int filesAtOnce = 1;
    int deinterlace = 0; // item index of the "Deinterlace" list: 0 "Auto"
    int subtitles = 0;   // position in "Subtitles": 0 "Keep", 1 "Leave out"
    int audioTracks = 0; // position in "Audio tracks": 0 "All", 1 "Default only"
};

// What one read of the store gave, value by value in the order they are read. Reading
// stops at the first failed read: that value and every later one are empty.
struct StoredSettings {
    std::optional<QString> outputFolder;
    std::optional<int> comboOutputFormat;
    std::optional<bool> overwrite;
    std::optional<int> dropDownItems;
    std::optional<int> letterBox;
    // Read on its own, whatever became of the five: files written before the setting
    // existed lack it, and it must not be lost when one of the five fails. Empty when
    // missing or not an integer (the caller keeps 1); not part of complete().
    std::optional<int> filesAtOnce;
    // The "Deinterlace" choice, read on its own like filesAtOnce (missing: "Auto").
    std::optional<int> deinterlace;
    // The stream choices, read the same way (missing: the first entry).
    std::optional<int> subtitles;
    std::optional<int> audioTracks;

    // Every one of the five read; otherwise the caller writes its current values back at
    // once.
    bool complete() const { return letterBox.has_value(); }
};

// Reads "Output Folder", "ComboOutputFormat", "Overwrite", "DropDownItems" and "LetterBox"
// in this order, stopping at the first failed read, and "FilesAtOnce", "Deinterlace",
// "Subtitles" and "AudioTracks" in any case. Values
// are given as stored (a negative index included, a count beyond the machine's cores
// too); the caller decides which to apply and keeps them within its ranges.
StoredSettings readStoredSettings(const SettingsStore& store);

// Writes the five values in the same order and then "FilesAtOnce", "Deinterlace", "Subtitles"
// and "AudioTracks", stops at the first write the store refuses, and flushes in every case.
// False when anything was not written.
bool writeStoredSettings(SettingsStore& store, const SettingsValues& values);
