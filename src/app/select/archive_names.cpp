#include "app/select/archive_names.h"

#include <cstring>

namespace {

// The decimal value of the digits at the start of text[0, width); it stops at the first
// character that is no digit, so "AB" reads as 0 and "1A" as 1.
int FieldValue(const char* text, int width) {
  int value = 0;
  for (int i = 0; i < width && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10 + (text[i] - '0');
  return value;
}

bool EqualsNoCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    char ca = (*a >= 'a' && *a <= 'z') ? static_cast<char>(*a - 'a' + 'A') : *a;
    char cb = (*b >= 'a' && *b <= 'z') ? static_cast<char>(*b - 'a' + 'A') : *b;
    if (ca != cb) return false;
  }
  return *a == *b;
}

}  // namespace

bool DateFromFmdbName(const char* name, COleDateTime& date) {
  if (name == nullptr || std::strlen(name) < 8 || !EqualsNoCase(name + 8, ".DAT")) return false;
  const int year = FieldValue(name, 4);
  const int month = FieldValue(name + 4, 2);
  const int day = FieldValue(name + 6, 2);
  if (year < 1993 || year > 4000 || month < 1 || month > 12 || day < 1 || day > 31) return false;
  date.SetDateTime(year, month, day, 0, 0, 0);
  return true;
}

bool DateFromPeName(const char* name, COleDateTime& date) {
  if (name == nullptr || std::strlen(name) < 6) return false;
  if (!EqualsNoCase(name + 6, ".VOL") && !EqualsNoCase(name + 6, ".OCC")) return false;
  const int month = FieldValue(name, 2);
  const int day = FieldValue(name + 2, 2);
  const int year = FieldValue(name + 4, 2);
  if (year < 81 || year > 93 || month < 1 || month > 12 || day < 1 || day > 31) return false;
  date.SetDateTime(1900 + year, month, day, 0, 0, 0);
  return true;
}
