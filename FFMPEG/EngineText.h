// printf-style formatting of the engine's messages and log lines.
#pragma once

#include <string>

// The formatted text, cut at 2047 bytes.
std::string formatText(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

// The system's own text for an error number ("No space left on device").
std::string SystemErrorText(int errorNumber);
