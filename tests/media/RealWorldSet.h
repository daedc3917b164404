// The real-world set of vidbrisk_make_test_media: writes the files of
// tests/support/RealWorldMedia.h, or checks them.
#pragma once

#include "../support/RealWorldMedia.h"
#include "ClipWriter.h"

#include <filesystem>
#include <set>
#include <string>

namespace RealWorldSet {

// How an encoded file of the set is made (the counts and sizes come from its clip).
ClipRecipe recipeOf(const RealWorldClip& clip);

// Every encoder the set needs that this libavcodec lacks (or that the test environment
// hides: hidden(name) is true).
std::set<std::string> missingEncoders(bool (*hidden)(const std::string&));

// Writes every file of the set into folder; 0 on success, 1 after printing the failure.
int write(const std::filesystem::path& folder);

// Checks the files in folder against RealWorldMedia.h; prints one line per file and
// returns 0 when all match.
int verify(const std::filesystem::path& folder);

} // namespace RealWorldSet
