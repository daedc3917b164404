// The described set of vidbrisk_make_test_media: files made from the standard clips by
// copying their packets into containers that say more about them (languages, titles,
// chapters, a sample aspect, a display rotation, a cover picture), for the tests of what
// the probe reads back.
#pragma once

#include <filesystem>

namespace DescribedSet {

// The files and what was written into each (the tests check the probe against these).
inline constexpr const char* kLanguages = "languages_chapters.mkv";
inline constexpr const char* kRotated = "rotated_anamorphic.mp4";
inline constexpr const char* kCover = "cover.mp3";

// Writes the set into `folder` from the standard clips in `source`; 0 on success, 1 after
// printing the failure.
int write(const std::filesystem::path& source, const std::filesystem::path& folder);

} // namespace DescribedSet
