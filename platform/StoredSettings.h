// The five persistent values: their names, their defaults, reading them in order under the
// failed-read rule and writing them back.
#pragma once

#include "SettingsStore.h"

#include <optional>

namespace SettingsNames {
inline constexpr const char* kOutputFolder = "Output Folder";
inline constexpr const char* kComboOutputFormat = "ComboOutputFormat";
inline constexpr const char* kOverwrite = "Overwrite";
inline constexpr const char* kDropDownItems = "DropDownItems";
inline constexpr const char* kLetterBox = "LetterBox";
} // namespace SettingsNames

// The values as the window and the options dialog hold them; the initial values are the
// controls' own defaults, which a first start writes.
struct SettingsValues {
    QString outputFolder;
    int comboOutputFormat = 0;
    bool overwrite = false;
    int dropDownItems = 27;
    int letterBox = 0;
};

// What one read of the store gave, value by value in the order they are read. Reading
// stops at the first failed read: that value and every later one are empty.
struct StoredSettings {
    std::optional<QString> outputFolder;
    std::optional<int> comboOutputFormat;
    std::optional<bool> overwrite;
    std::optional<int> dropDownItems;
    std::optional<int> letterBox;

    // Every value read; otherwise the caller writes its current values back at once.
    bool complete() const { return letterBox.has_value(); }
};

// Reads "Output Folder", "ComboOutputFormat", "Overwrite", "DropDownItems" and "LetterBox"
// in this order, stopping at the first failed read. Values are given as stored (a
// negative index included); the caller decides which to apply.
StoredSettings readStoredSettings(const SettingsStore& store);

// Writes the five values in the same order, stops at the first write the store refuses,
// and flushes in every case. False when anything was not written.
bool writeStoredSettings(SettingsStore& store, const SettingsValues& values);
