// Text encodings. Narrow text inside the program is Windows-1252, one byte a character; "wide"
// text is UTF-16 (char16_t). UTF-8 is used only where the program meets the GUI toolkit and the
// desktop (file names are kept as bytes).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The Unicode code point of a Windows-1252 byte. The five bytes that the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control characters of the same value.
char16_t Cp1252ToUnicode(unsigned char c);

// The Windows-1252 byte of a code point, or -1 when the code page has no such character.
int UnicodeToCp1252(char32_t cp);

// Windows-1252 <-> UTF-16: one unit per byte. Characters the code page lacks become '?'.
std::u16string Cp1252ToUtf16(std::string_view text);
std::string Utf16ToCp1252(std::u16string_view text);

// Buffer forms: convert `n` units into `out` (room for `n` units) and return `n`.
size_t Cp1252ToUtf16(const char* text, size_t n, char16_t* out);
size_t Utf16ToCp1252(const char16_t* text, size_t n, char* out);

// True when `text` is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

// Windows-1252 <-> UTF-8. Malformed UTF-8 and characters the code page lacks become '?'.
std::string Cp1252ToUtf8(std::string_view text);
std::string Utf8ToCp1252(std::string_view text);
