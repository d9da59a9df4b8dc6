#include "archive/device_list_format.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

const char kLayoutA[] = "XEP Ramp Meter/Data Collector List";      // 34 characters
const char kLayoutB[] = "XEP Electronic Surveillance Device List";  // 39 characters

inline bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

// Splits the data into lines. A line ends at LF, CR LF or a lone CR; the line end is not part of
// the line. A line is cut at an embedded NUL (as a C string would be) and at 127 characters.
template <typename F>
void ForEachLine(const char* data, size_t size, F&& f) {
  size_t p = 0;
  while (p < size) {
    size_t start = p;
    while (p < size && data[p] != '\n' && data[p] != '\r') ++p;
    size_t length = p - start;
    if (p < size) {
      if (data[p] == '\r' && p + 1 < size && data[p + 1] == '\n') ++p;
      ++p;
    }
    const void* nul = std::memchr(data + start, 0, length);
    if (nul) length = static_cast<size_t>(static_cast<const char*>(nul) - (data + start));
    if (length > kDeviceLineMax) length = kDeviceLineMax;
    if (!f(data + start, length)) return;
  }
}

// Copies the field [start, start + width) of a line, or its part before the line's end.
void Field(char* out, const char* line, size_t length, size_t start, size_t width) {
  size_t n = 0;
  if (start < length) {
    n = length - start;
    if (n > width) n = width;
    std::memcpy(out, line + start, n);
  }
  out[n] = 0;
}

// The same, with leading and trailing white space dropped.
void TrimmedField(char* out, const char* line, size_t length, size_t start, size_t width) {
  char raw[64];
  Field(raw, line, length, start, width);
  const char* b = raw;
  while (*b && IsSpace(*b)) ++b;
  size_t n = std::strlen(b);
  while (n > 0 && IsSpace(b[n - 1])) --n;
  std::memmove(out, b, n);
  out[n] = 0;
}

int32_t NumberAt(const char* line, size_t length, size_t start) {
  return start < length ? ParseDeviceNumber(line + start, length - start) : 0;
}

int32_t Milepost(int32_t miles, int32_t hundredths) {
  int64_t m = static_cast<int64_t>(miles) * 100 + hundredths;
  if (m > INT32_MAX) return INT32_MAX;
  if (m < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(m);
}

bool AllBlank(const char* line, size_t length) {
  for (size_t i = 0; i < length; ++i)
    if (!IsSpace(line[i])) return false;
  return true;
}

}  // namespace

int32_t ParseDeviceNumber(const char* text, size_t length) {
  size_t p = 0;
  while (p < length && IsSpace(text[p])) ++p;
  bool negative = false;
  if (p < length && (text[p] == '-' || text[p] == '+')) negative = text[p++] == '-';
  int64_t v = 0;
  while (p < length && text[p] >= '0' && text[p] <= '9') {
    if (v <= INT32_MAX) v = v * 10 + (text[p] - '0');
    ++p;
  }
  if (negative) v = -v;
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

void FormatCabinetId(char id[11], int route, int milepost) {
  char wide[40];
  std::snprintf(wide, sizeof wide, "%03ies%05i", route, milepost);
  std::memcpy(id, wide, 10);
  id[10] = 0;
}

int ParseRmdcList(const char* data, size_t size, DeviceLineCallback onLine, void* context) {
  int layout = -1;  // 0 = A, 1 = B
  int result = 0;
  ForEachLine(data, size, [&](const char* line, size_t length) {
    if (layout < 0) {
      if (AllBlank(line, length)) return true;
      size_t p = 0;
      while (p < length && IsSpace(line[p])) ++p;
      size_t rest = length - p;
      if (rest >= 34 && std::memcmp(line + p, kLayoutA, 34) == 0) {
        layout = 0;
      } else if (rest >= 39 && std::memcmp(line + p, kLayoutB, 39) == 0) {
        layout = 1;
      } else {
        result = 11;
        return false;
      }
      return true;
    }
    DeviceListLine d;
    if (layout == 0) {
      if (length < 3 || !(std::memcmp(line, "ES-", 3) == 0 || std::memcmp(line, "RD-", 3) == 0 ||
                          std::memcmp(line, "VD-", 3) == 0))
        return true;
      TrimmedField(d.roadway, line, length, 20, 6);
      if (!d.roadway[0]) return true;
      Field(d.alias, line, length, 0, 7);
      d.milepost = Milepost(NumberAt(line, length, 29), NumberAt(line, length, 33));
      Field(d.location, line, length, 37, 16);
    } else {
      if (length < 5 || std::toupper(static_cast<unsigned char>(line[3])) != 'E' ||
          std::toupper(static_cast<unsigned char>(line[4])) != 'S')
        return true;
      TrimmedField(d.roadway, line, length, 32, 11);
      if (!d.roadway[0]) return true;
      Field(d.id, line, length, 0, 10);
      if (length > 11 && !IsSpace(line[11])) Field(d.alias, line, length, 11, 7);
      d.milepost = Milepost(NumberAt(line, length, 46), NumberAt(line, length, 50));
      Field(d.location, line, length, 54, 16);
    }
    onLine(context, d);
    return true;
  });
  return result;
}

void ParseLpdataList(const char* data, size_t size, DeviceLineCallback onLine, void* context) {
  ForEachLine(data, size, [&](const char* line, size_t length) {
    if (length < 4 || std::memcmp(line, "LOOP", 4) != 0) return true;
    DeviceListLine d;
    TrimmedField(d.roadway, line, length, 9, 6);
    if (!d.roadway[0]) return true;
    int32_t number = NumberAt(line, length, 4);
    d.column = static_cast<DWORD>(static_cast<int64_t>(number) - 1);
    Field(d.location, line, length, 15, 16);
    d.milepost = Milepost(NumberAt(line, length, 35), NumberAt(line, length, 39));
    Field(d.element, line, length, 41, 7);
    Field(d.alias, line, length, 50, 7);
    onLine(context, d);
    return true;
  });
}
