// The library set of vidbrisk_make_test_media: writes the songs and the film of
// tests/support/LibraryMedia.h into the test media folder, or checks them.
#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace LibrarySet {

// Every encoder the set needs that this libavcodec lacks (or that hidden(name) hides).
std::set<std::string> missingEncoders(bool (*hidden)(const std::string&));

// Writes every file of the set into folder; throws std::runtime_error on a failure.
void write(const std::filesystem::path& folder);

// The differences between the files in folder and LibraryMedia.h, one line each, with the
// file's name first; empty when all match.
std::vector<std::string> verify(const std::filesystem::path& folder);

// The names of the files of the set.
std::vector<std::string> names();

} // namespace LibrarySet
