// The source-kinds set of vidbrisk_make_test_media: writes the files of
// tests/support/SourceKinds.h.
#pragma once

#include "../support/SourceKinds.h"

#include <filesystem>
#include <set>
#include <string>

namespace SourceKindsSet {

// Every encoder the set needs that this libavcodec lacks (or that the test environment
// hides: hidden(name) is true).
std::set<std::string> missingEncoders(bool (*hidden)(const std::string&));

// Writes every file of the set into folder; 0 on success, 1 after printing the failure.
int write(const std::filesystem::path& folder);

} // namespace SourceKindsSet
