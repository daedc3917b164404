#include "EngineText.h"

#include <cstdarg>
#include <cstdio>
#include <system_error>

std::string formatText(const char* pattern, ...) {
    char text[2048];
    va_list arguments;
    va_start(arguments, pattern);
    std::vsnprintf(text, sizeof text, pattern, arguments);
    va_end(arguments);
    return text;
}

std::string SystemErrorText(int errorNumber) {
    return std::generic_category().message(errorNumber);
}
