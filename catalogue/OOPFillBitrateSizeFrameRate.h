// The settings lists that several profiles share, and the routine that loads five of them.
#pragma once

#include "SettingsBoxes.h"

#include <array>
#include <span>

using SettingsList = std::span<const char* const>;

extern const std::array<const char*, 23> StandardFrameSizeList;
extern const std::array<const char*, 13> StandardVideoBitrateList;
extern const std::array<const char*, 7> StandardFrameRateList;
extern const std::array<const char*, 13> StandardAudioBitrateList;
extern const std::array<const char*, 8> StandardSamplingRateList;
extern const std::array<const char*, 8> SpacedSamplingRateList; // "8000  Hz" with two blanks
extern const std::array<const char*, 5> HandheldVideoBitrateList;
extern const std::array<const char*, 7> DiscFrameRateList;

// Clears the box and appends the entries in order; selects nothing.
void FillList(SettingsBox& box, SettingsList entries);
// Clears the box, appends the entries and selects position.
void FillList(SettingsBox& box, SettingsList entries, int position);

// Refills, in this order, the frame size, video bit rate, frame rate, audio bit rate and
// sampling rate boxes with the standard lists. Selects nothing.
void FillBitrateSizeFrameRate(SettingsBoxes& boxes);
