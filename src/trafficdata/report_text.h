// Appending formatted report text. The report lines use a small part of printf (flags '-' and
// '0', a width, a precision for %s, and %d %i %u %x %c %s %%); this formats those directly, which
// is several times faster than the C library, and hands any other pattern to vsnprintf.
#pragma once

#include <cstddef>
#include <cstring>

#include "containers/str.h"

// Formats into buf (size bytes, NUL-terminated, truncated when short); returns the length the
// text needs, as snprintf does.
int FormatReportText(char* buf, size_t size, const char* fmt, ...) __attribute__((format(printf, 3, 4)));

// Appends the formatted text to out.
void AppendReportText(CStr<char, wchar_t>& out, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// One line of a fixed report layout, written field by field: the same text as the printf pattern
// each writer notes beside it, without reading a pattern for every line. U is %<width>u (the
// value as an unsigned int), I is %<width>d, Z is %0<width>d; Str is %s and Lit a literal. A line
// holds kRoom characters; a field past that is cut (no fixed layout comes near it).
//
// A line made over a text is written straight behind the text's end (the room is reserved at
// once) and becomes part of it at End; the text is not to be used in between. When the room
// cannot be had the text stays as it was. A line made without a text is kept in the object for
// CopyTo.
class CReportLine {
 public:
  static constexpr size_t kRoom = 480;

  CReportLine() : m_p(m_own) {}
  explicit CReportLine(CStr<char, wchar_t>& out);
  CReportLine(const CReportLine&) = delete;
  CReportLine& operator=(const CReportLine&) = delete;

  template <size_t N>
  CReportLine& Lit(const char (&text)[N]) {
    if (N - 1 > kRoom - m_n) return Put(text, N - 1);
    std::memcpy(m_p + m_n, text, N - 1);  // a constant length: no call
    m_n += N - 1;
    return *this;
  }
  CReportLine& Str(const char* text) { return Put(text, std::strlen(text)); }
  CReportLine& Put(const char* text, size_t n) {
    if (n > kRoom - m_n) n = kRoom - m_n;
    for (size_t i = 0; i < n; ++i) m_p[m_n + i] = text[i];  // short runs: cheaper than a call
    m_n += n;
    return *this;
  }
  CReportLine& Pad(char c, int n) {
    if (n <= 0) return *this;
    size_t k = static_cast<size_t>(n) < kRoom - m_n ? static_cast<size_t>(n) : kRoom - m_n;
    for (size_t i = 0; i < k; ++i) m_p[m_n + i] = c;
    m_n += k;
    return *this;
  }
  CReportLine& U(unsigned value, int width) { return Number(false, value, width, ' '); }
  CReportLine& I(int value, int width) { return Signed(value, width, ' '); }
  CReportLine& Z(int value, int width) { return Signed(value, width, '0'); }
  // "%<width>u.%1u"-style tenths without the per cent sign: value / 10, '.', value % 10.
  CReportLine& Tenths(unsigned value, int width) { return U(value / 10, width).Lit(".").U(value % 10, 1); }

  size_t Size() const { return m_n; }
  // A line over a text: makes the line part of the text (once).
  void End();
  // Stores the line in buf as snprintf would: cut to size - 1 characters, NUL-terminated.
  void CopyTo(char* buf, size_t size) const;

 private:
  CReportLine& Signed(int value, int width, char pad) {
    const bool negative = value < 0;
    const unsigned magnitude = negative ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    return Number(negative, magnitude, width, pad);
  }
  CReportLine& Number(bool negative, unsigned magnitude, int width, char pad) {
    char digits[12];
    char* end = digits + sizeof digits;
    char* q = end;
    do {
      *--q = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude);
    const int length = static_cast<int>(end - q) + (negative ? 1 : 0);
    if (pad == ' ') Pad(' ', width - length);
    if (negative) Put("-", 1);
    if (pad == '0') Pad('0', width - length);
    return Put(q, static_cast<size_t>(end - q));
  }

  char* m_p;
  size_t m_n = 0;
  CStr<char, wchar_t>* m_text = nullptr;  // the text the line is written behind
  char m_own[kRoom];
};
