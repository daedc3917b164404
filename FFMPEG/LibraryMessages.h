// The media libraries' own error messages, collected on one thread while a step runs, so
// that a failure can say what the library refused.
#pragma once

#include <cstdarg>
#include <string>

// While an instance lives, the library's error and warning lines logged on this thread are
// collected (nested instances each collect their own).
class LibraryMessageCapture {
public:
    LibraryMessageCapture();
    ~LibraryMessageCapture();
    LibraryMessageCapture(const LibraryMessageCapture&) = delete;
    LibraryMessageCapture& operator=(const LibraryMessageCapture&) = delete;

    // The collected lines, joined by "; ", without line feeds.
    const std::string& Text() const { return m_text; }

    // Called by the library log callback for every message, before any level filter.
    static void Record(int level, const char* format, va_list arguments);

private:
    std::string m_text;
    LibraryMessageCapture* m_outer;
};
