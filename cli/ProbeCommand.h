// The converter's --probe command: one row of file-list texts per file, or with --json
// everything the probe finds as JSON.
#pragma once

#include "CommandLine.h"

#include <ostream>
#include <string>
#include <vector>

struct ProbeOptions {
    bool Json = false;
    bool Streams = false; // one line per stream instead of one per file
    bool Verbose = false;
    std::vector<std::string> Files;
};

// The options of --probe, in the order --help lists them.
std::span<const CommandOption<ProbeOptions>> ProbeOptionTable();

// Reads the arguments after --probe; false with a one-line reason on a usage error.
bool ParseProbeOptions(const std::vector<std::string>& args, ProbeOptions& options,
                       std::string& error);

// Prints, per file, the file name and its "Video Size", "Frame Rate" and "Duration" texts,
// or the file name, "Error" and the probe's reason, tab-separated; with --json one object
// per file (an array of them for several files); with --streams one line per stream: the
// file name, the stream's number (what --audio-tracks takes), kind (video, cover, audio,
// subtitle, data, attachment), codec, language, title and "default" when the file flags it
// so, "-" standing for an empty field. Returns 0 when every file opened, 1
// otherwise.
int runProbeCommand(const ProbeOptions& options, std::ostream& out);
