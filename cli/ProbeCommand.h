// The converter's --probe command: one row of file-list texts per file.
#pragma once

#include <ostream>
#include <string>
#include <vector>

// Prints, per file, the file name and its "Video Size", "Frame Rate" and "Duration" texts,
// or the file name, "Error" and the probe's reason, tab-separated. Returns 0 when every
// file opened, 1 otherwise.
int runProbeCommand(const std::vector<std::string>& files, std::ostream& out);
