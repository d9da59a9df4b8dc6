#include "trafficdata/report_text.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Output of the fast path: writes while there is room, counts everything.
struct SSink {
  char* p;
  char* end;  // the last byte that may hold text (room for the NUL after it)
  size_t len = 0;
  void Put(char c) {
    if (p < end) *p++ = c;
    ++len;
  }
  void Put(const char* s, size_t n) {
    size_t room = static_cast<size_t>(end - p);
    size_t k = n < room ? n : room;
    for (size_t i = 0; i < k; ++i) p[i] = s[i];  // short runs: cheaper than a call
    p += k;
    len += n;
  }
  void Pad(char c, int n) {
    if (n <= 0) return;
    size_t room = static_cast<size_t>(end - p);
    size_t k = static_cast<size_t>(n) < room ? static_cast<size_t>(n) : room;
    for (size_t i = 0; i < k; ++i) p[i] = c;
    p += k;
    len += static_cast<size_t>(n);
  }
};

void Field(SSink& out, const char* text, size_t n, int width, bool left, char pad) {
  int fill = width > static_cast<int>(n) ? width - static_cast<int>(n) : 0;
  if (!left && pad == '0' && n > 0 && text[0] == '-') {
    out.Put('-');
    out.Pad('0', fill);
    out.Put(text + 1, n - 1);
    return;
  }
  if (!left) out.Pad(pad, fill);
  out.Put(text, n);
  if (left) out.Pad(' ', fill);
}

// Formats the supported patterns; -1 (nothing usable written) at any other conversion.
int FormatFast(char* buf, size_t size, const char* fmt, va_list args) {
  char dummy;
  SSink out{size > 0 ? buf : &dummy, size > 0 ? buf + size - 1 : &dummy};
  for (const char* p = fmt; *p; ++p) {
    if (*p != '%') {
      const char* q = p;
      while (q[1] && q[1] != '%') ++q;
      out.Put(p, static_cast<size_t>(q - p + 1));
      p = q;
      continue;
    }
    ++p;
    bool left = false;
    char pad = ' ';
    for (;; ++p) {
      if (*p == '-') left = true;
      else if (*p == '0') pad = '0';
      else break;
    }
    int width = 0;
    while (*p >= '0' && *p <= '9') width = width * 10 + (*p++ - '0');
    int precision = -1;
    if (*p == '.') {
      ++p;
      precision = 0;
      while (*p >= '0' && *p <= '9') precision = precision * 10 + (*p++ - '0');
    }
    char num[24];
    switch (*p) {
      case '%': out.Put('%'); break;
      case 'c': {
        char c = static_cast<char>(va_arg(args, int));
        Field(out, &c, 1, width, left, ' ');
        break;
      }
      case 's': {
        const char* s = va_arg(args, const char*);
        if (!s) s = "(null)";
        size_t n = precision >= 0 ? strnlen(s, static_cast<size_t>(precision)) : std::strlen(s);
        Field(out, s, n, width, left, ' ');
        break;
      }
      case 'd':
      case 'i':
      case 'u':
      case 'x': {
        unsigned long long v;
        bool neg = false;
        if (*p == 'd' || *p == 'i') {
          long long x = va_arg(args, int);
          neg = x < 0;
          v = neg ? static_cast<unsigned long long>(-x) : static_cast<unsigned long long>(x);
        } else {
          v = va_arg(args, unsigned int);
        }
        char* e = num + sizeof num;
        char* q = e;
        if (*p == 'x') {
          do {
            unsigned d = static_cast<unsigned>(v & 15);
            *--q = static_cast<char>(d < 10 ? '0' + d : 'a' + d - 10);
            v >>= 4;
          } while (v);
        } else {
          do {
            *--q = static_cast<char>('0' + v % 10);
            v /= 10;
          } while (v);
        }
        if (neg) *--q = '-';
        Field(out, q, static_cast<size_t>(e - q), width, left, left ? ' ' : pad);
        break;
      }
      default: return -1;
    }
  }
  if (size > 0) *out.p = '\0';
  return static_cast<int>(out.len);
}

int FormatV(char* buf, size_t size, const char* fmt, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int n = FormatFast(buf, size, fmt, copy);
  va_end(copy);
  if (n >= 0) return n;
  return std::vsnprintf(buf, size, fmt, args);
}

}  // namespace

int FormatReportText(char* buf, size_t size, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  int n = FormatV(buf, size, fmt, args);
  va_end(args);
  return n;
}

bool AppendReportText(CStr<char, wchar_t>& out, const char* fmt, ...) {
  if (out.m_nSize < 1) out = "";
  if (out.m_nSize < 1) return false;  // marked short by the assignment
  // Format straight into the string's block, behind its text. The room for most lines is taken
  // at once without marking the text: only the room the line itself needs must be had, so when
  // the larger block cannot be had the line is formatted aside and then takes what it needs.
  const int room = 256;
  const int base = out.m_nSize - 1;
  char local[room + 1];
  const bool inPlace = out.CScalarArray<char>::Reserve(base + room + 1);
  va_list args;
  va_start(args, fmt);
  va_list again;
  va_copy(again, args);
  int n = FormatV(inPlace ? out.m_pData + base : local, room + 1, fmt, args);
  va_end(args);
  if (n >= 0 && (n > room || !inPlace)) {
    if (!out.Reserve(base + n + 1))  // marks the text short
      n = -1;
    else if (n > room)
      n = FormatV(out.m_pData + base, static_cast<size_t>(n) + 1, fmt, again);
    else
      std::memcpy(out.m_pData + base, local, static_cast<size_t>(n) + 1);
  }
  va_end(again);
  if (n < 0 || base + n + 1 > static_cast<int>(out.m_nAllocBytes)) {
    out.m_pData[base] = '\0';  // keep the text as it was, and say it lacks the line
    out.MarkShort();
    return false;
  }
  out.m_nSize = base + n + 1;
  return true;
}

CReportLine::CReportLine(CStr<char, wchar_t>& out) : m_p(m_own) {
  if (out.m_nSize < 1) out = "";
  if (out.m_nSize < 1) return;  // marked short by the assignment
  // The room for any line at once, without marking the text: when it cannot be had the line is
  // written aside and End takes only the room it needs.
  m_text = &out;
  const int base = out.m_nSize - 1;
  if (out.CScalarArray<char>::Reserve(base + static_cast<int>(kRoom) + 1)) m_p = out.m_pData + base;
}

bool CReportLine::End() {
  if (!m_text) return false;
  CStr<char, wchar_t>& text = *m_text;
  m_text = nullptr;
  if (m_p == m_own) {
    if (!text.Reserve(text.m_nSize + static_cast<int>(m_n))) return false;  // marks the text short
    std::memcpy(text.m_pData + text.m_nSize - 1, m_own, m_n);
  }
  text.m_nSize += static_cast<int>(m_n);
  text.m_pData[text.m_nSize - 1] = '\0';
  return true;
}

void CReportLine::CopyTo(char* buf, size_t size) const {
  if (!buf || size == 0) return;
  size_t n = m_n < size - 1 ? m_n : size - 1;
  std::memcpy(buf, m_p, n);
  buf[n] = '\0';
}
