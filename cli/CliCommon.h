// Shared helpers of the command-line converter's commands.
#pragma once

#include <ostream>
#include <string>

// Exit status of a usage error or a refused setting (nothing is converted then), and of
// media libraries that cannot be loaded or are not the ones the program was built for.
inline constexpr int kExitUsage = 2;
inline constexpr int kExitMediaLibraries = 3;

// Prints a usage error as one line, then where to find the usage; returns kExitUsage.
int usageError(std::ostream& err, const std::string& message);

// Binds the media libraries (beside the program first, then the system's); on failure
// prints which library is missing or unusable and the Debian package that provides it,
// and returns false.
bool loadMediaLibrariesOrExplain(std::ostream& err);

// The same, then sets the libraries' own log level: their lines only with --verbose.
bool loadLibrariesForCli(bool verbose, std::ostream& err);

// Folder holding the running program.
std::string programFolder();
