// Runs a stretch of code in the "C" locale on the calling thread only.
#pragma once

#include <clocale>
#include <locale.h>

// The media libraries read and write decimal numbers with the C library (strtod,
// snprintf), which follows the process locale; a desktop session may have set one whose
// decimal separator is a comma ("29.97" would then not read). Option values always use
// ".", so option parsing switches its thread to the "C" locale while it runs. Other
// threads are not affected. Nesting is allowed.
class ScopedCLocale {
public:
    ScopedCLocale() {
        static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
        if (cLocale)
            m_previous = uselocale(cLocale);
    }
    ~ScopedCLocale() {
        if (m_previous)
            uselocale(m_previous);
    }
    ScopedCLocale(const ScopedCLocale&) = delete;
    ScopedCLocale& operator=(const ScopedCLocale&) = delete;

private:
    locale_t m_previous = locale_t(0);
};
