// The converter's --probe command: one row of file-list texts per file.
#pragma once

#include <ostream>
#include <string>
#include <vector>

// Prints, per file, the file name and its "Video Size", "Frame Rate" and "Duration" texts,
// or the file name, "Error" and the probe's reason, tab-separated. Returns 0 when every
// file opened, 1 otherwise.
int runProbeCommand(const std::vector<std::string>& files, std::ostream& out);

// Prints, per stream of each file, one line: the file name, the stream's number (what
// --audio-tracks takes), kind (video, cover, audio, subtitle, data, attachment), codec,
// language, title and "default" when the file flags it so; "-" stands for an empty field.
// A file that cannot be opened gives the file name, "Error" and the reason. Returns 0 when
// every file opened, 1 otherwise.
int runProbeStreamsCommand(const std::vector<std::string>& files, std::ostream& out);
