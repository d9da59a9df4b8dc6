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

// Appends the formatted text to out. False, with out as it was but marked short, when the text
// could not be made.
bool AppendReportText(CStr<char, wchar_t>& out, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// One line of a fixed report layout, written field by field: the same text as the printf pattern
// each writer notes beside it, without reading a pattern for every line. U is %<width>u (the
// value as an unsigned int), I is %<width>d, Z is %0<width>d; Str is %s and Lit a literal. A line
// holds kRoom characters; a field past that is cut (no fixed layout comes near it).
//
// A line made over a text is written straight behind the text's end (the room is reserved at
// once) and becomes part of it at End; the text is not to be used in between. When that room
// cannot be had the line is written aside and End takes only the room it needs; when even that
// cannot be had the text stays as it was and is marked short. A line made without a text is kept
// in the object for CopyTo.
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
  // A line over a text: makes the line part of the text (once). False when it could not (the
  // text is then marked short).
  bool End();
  // Stores the line in buf as snprintf would: cut to size - 1 characters, NUL-terminated.
  void CopyTo(char* buf, size_t size) const;

 private:
  CReportLine& Signed(int value, int width, char pad) {
    const bool negative = value < 0;
    const unsigned magnitude = negative ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    return Number(negative, magnitude, width, pad);
  }
  static int DigitCount(unsigned v) {
    int n = 1;
    while (n < 10 && v >= kPowersOfTen[n]) ++n;
    return n;
  }
  CReportLine& Number(bool negative, unsigned magnitude, int width, char pad) {
    // The common field: no sign and fewer digits than the width. Eight pad characters go down at
    // once, then the digits from the right end of the field.
    if (!negative && width >= 1 && width <= 8 && magnitude < kPowersOfTen[width] && kRoom - m_n >= 8) {
      char* d = m_p + m_n;
      std::memcpy(d, pad == ' ' ? "        " : "00000000", 8);
      char* e = d + width;
      while (magnitude >= 100) {  // two digits a step
        const unsigned pair = magnitude % 100;
        magnitude /= 100;
        e -= 2;
        std::memcpy(e, kDigitPairs + 2 * pair, 2);
      }
      if (magnitude >= 10) {
        e -= 2;
        std::memcpy(e, kDigitPairs + 2 * magnitude, 2);
      } else {
        *--e = static_cast<char>('0' + magnitude);
      }
      m_n += static_cast<size_t>(width);
      return *this;
    }
    // Otherwise the whole field when it fits (always, in the fixed layouts): pad, sign and digits
    // written in place, the digits from the right.
    const int digits = DigitCount(magnitude);
    const int length = digits + (negative ? 1 : 0);
    const int fill = width > length ? width - length : 0;
    const size_t total = static_cast<size_t>(fill + length);
    if (total > kRoom - m_n) return NumberCut(negative, magnitude, width, pad);
    char* d = m_p + m_n;
    if (pad == ' ') {
      for (int i = 0; i < fill; ++i) *d++ = ' ';
      if (negative) *d++ = '-';
    } else {
      if (negative) *d++ = '-';
      for (int i = 0; i < fill; ++i) *d++ = '0';
    }
    char* e = d + digits;
    do {
      *--e = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude);
    m_n += total;
    return *this;
  }
  // A field that runs past the room: written piece by piece, cut at the end of the room.
  CReportLine& NumberCut(bool negative, unsigned magnitude, int width, char pad) {
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

  static constexpr char kDigitPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  static constexpr unsigned kPowersOfTen[10] = {1u,      10u,      100u,      1000u,      10000u,
                                                100000u, 1000000u, 10000000u, 100000000u, 1000000000u};

  char* m_p;
  size_t m_n = 0;
  CStr<char, wchar_t>* m_text = nullptr;  // the text the line is written behind
  char m_own[kRoom];
};
