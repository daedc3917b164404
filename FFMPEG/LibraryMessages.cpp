#include "LibraryMessages.h"

#include <cstdio>

extern "C" {
#include <libavutil/log.h>
}

namespace {

// The innermost capture of this thread; only this thread reads or writes it.
thread_local LibraryMessageCapture* t_capture = nullptr;

constexpr std::size_t kMaxCaptureBytes = 1024;

} // namespace

LibraryMessageCapture::LibraryMessageCapture() : m_outer(t_capture) {
    t_capture = this;
}

LibraryMessageCapture::~LibraryMessageCapture() {
    t_capture = m_outer;
}

void LibraryMessageCapture::Record(int level, const char* format, va_list arguments) {
    LibraryMessageCapture* capture = t_capture;
    if (!capture || !format || level > AV_LOG_WARNING)
        return;
    char message[512] = {};
    va_list copy;
    va_copy(copy, arguments);
    std::vsnprintf(message, sizeof message, format, copy);
    va_end(copy);
    std::string line(message);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    for (char& c : line)
        if (c == '\n' || c == '\r' || c == '\t')
            c = ' ';
    if (line.empty() || capture->m_text.size() >= kMaxCaptureBytes)
        return;
    if (!capture->m_text.empty())
        capture->m_text += "; ";
    capture->m_text += line;
}
