#include "platform/base/text.h"

namespace {

// Code points of the bytes 0x80..0x9F; the rest of the code page equals Latin-1.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

char NarrowOrQuestion(char32_t cp) {
  const int b = UnicodeToCp1252(cp);
  return static_cast<char>(b < 0 ? '?' : b);
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes the UTF-8 sequence that starts at text[i] into cp and returns its length; 0 when it is
// malformed (a stray continuation byte, a cut or overlong sequence, a value beyond U+10FFFF).
// Surrogate values decode; the callers decide about them.
size_t DecodeUtf8(std::string_view text, size_t i, char32_t& cp) {
  const auto c = static_cast<unsigned char>(text[i]);
  if (c < 0x80) {
    cp = c;
    return 1;
  }
  size_t len = 0;
  char32_t min = 0;
  if ((c & 0xE0) == 0xC0) { len = 2; cp = c & 0x1F; min = 0x80; }
  else if ((c & 0xF0) == 0xE0) { len = 3; cp = c & 0x0F; min = 0x800; }
  else if ((c & 0xF8) == 0xF0) { len = 4; cp = c & 0x07; min = 0x10000; }
  else return 0;
  if (i + len > text.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    const auto cc = static_cast<unsigned char>(text[i + k]);
    if ((cc & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (cc & 0x3F);
  }
  return cp < min || cp > 0x10FFFF ? 0 : len;
}

}  // namespace

char16_t Cp1252ToUnicode(unsigned char c) {
  if (c >= 0x80 && c < 0xA0) return kHigh[c - 0x80];
  return c;
}

int UnicodeToCp1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int i = 0; i < 32; ++i) {
    if (kHigh[i] == cp) return 0x80 + i;
  }
  return -1;
}

std::u16string Cp1252ToUtf16(std::string_view text) {
  std::u16string out(text.size(), u'\0');
  Cp1252ToUtf16(text.data(), text.size(), out.data());
  return out;
}

std::string Utf16ToCp1252(std::u16string_view text) {
  std::string out(text.size(), '\0');
  Utf16ToCp1252(text.data(), text.size(), out.data());
  return out;
}

size_t Cp1252ToUtf16(const char* text, size_t n, char16_t* out) {
  for (size_t i = 0; i < n; ++i) out[i] = Cp1252ToUnicode(static_cast<unsigned char>(text[i]));
  return n;
}

size_t Utf16ToCp1252(const char16_t* text, size_t n, char* out) {
  // Each unit maps on its own, so the byte count equals the unit count; a surrogate (a character
  // beyond the code page anyway) becomes '?'.
  for (size_t i = 0; i < n; ++i) out[i] = NarrowOrQuestion(text[i]);
  return n;
}

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) AppendUtf8(out, Cp1252ToUnicode(c));
  return out;
}

bool IsValidUtf8(std::string_view text) {
  char32_t cp = 0;
  for (size_t i = 0; i < text.size();) {
    const size_t len = DecodeUtf8(text, i, cp);
    if (len == 0 || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

std::string Utf8ToCp1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  char32_t cp = 0;
  for (size_t i = 0; i < text.size();) {
    const size_t len = DecodeUtf8(text, i, cp);
    if (len == 0) {
      out += '?';  // a malformed byte stands for one unknown character
      ++i;
      continue;
    }
    out += NarrowOrQuestion(cp);
    i += len;
  }
  return out;
}
