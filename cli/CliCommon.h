// Shared helpers of the command-line converter's commands.
#pragma once

#include <string>

// Binds the media libraries (beside the program first, then the system's); on failure
// prints the reason to stderr and returns false.
bool loadLibrariesForCli(bool verbose);

// Folder holding the running program.
std::string programFolder();
