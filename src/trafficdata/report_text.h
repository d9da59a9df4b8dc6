// Appending formatted report text. The report lines use a small part of printf (flags '-' and
// '0', a width, a precision for %s, and %d %i %u %x %c %s %%); this formats those directly, which
// is several times faster than the C library, and hands any other pattern to vsnprintf.
#pragma once

#include <cstddef>

#include "containers/str.h"

// Formats into buf (size bytes, NUL-terminated, truncated when short); returns the length the
// text needs, as snprintf does.
int FormatReportText(char* buf, size_t size, const char* fmt, ...) __attribute__((format(printf, 3, 4)));

// Appends the formatted text to out.
void AppendReportText(CStr<char, wchar_t>& out, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
