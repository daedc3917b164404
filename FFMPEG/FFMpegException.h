// The one exception class of the transcoding engine: every failure it raises.
#pragma once

#include <stdexcept>
#include <string>

// Carries an English message only; the component keeps it as its LastError.
class FFMpegException : public std::runtime_error {
public:
    explicit FFMpegException(const std::string& message) : std::runtime_error(message) {}
};
