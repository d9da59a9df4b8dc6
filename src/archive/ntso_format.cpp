#include "archive/ntso_format.h"

#include <cinttypes>
#include <cstdio>

namespace {

const char* const kLayoutNames[3] = {"Primary Copy", "NG.1 Format", "NG.2 Format"};

struct FieldDef {
  const char* name0;   // layout 0
  const char* name12;  // layouts 1 and 2
  int width[3];
};

// Index 0 is unused so that field indexes address the table directly.
const FieldDef kFields[14] = {
    {nullptr, nullptr, {0, 0, 0}},
    {"File Name", nullptr, {13, 0, 0}},
    {nullptr, "Version", {0, 8, 11}},
    {nullptr, "DB Mode", {0, 7, 7}},
    {"FMDB Creation Time", "DB Creation Time", {20, 20, 20}},
    {"File Write Time", "File Write Time", {23, 23, 23}},
    {"Data Start Time", "Data Start Time", {23, 23, 23}},
    {"Data End Time", "Data End Time", {23, 23, 23}},
    {"Number of Names", "Number of Names", {8, 8, 11}},
    {"Number of Columns", "Number of Columns", {8, 8, 11}},
    {"Header Size", "Header Size", {8, 8, 11}},
    {"Name List Size", "Name List Size", {8, 8, 11}},
    {"Daily Data Size", "Data Size", {8, 8, 11}},
    {"File Size", "File Size", {8, 8, 11}},
};

const int kOrder0[] = {1, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 0};
const int kOrder12[] = {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 0};

const char kTerminator[] = "The remainder of this file is packed binary\r\n";  // 45 bytes

inline bool IsBlank(uint8_t c) { return c == ' ' || c == '\t'; }
inline bool IsWhite(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Offset of the first CR LF at or after p, or -1.
int FindCrLf(const uint8_t* b, int p) {
  for (int i = p; i + 1 < kNtsoHeaderSize; ++i)
    if (b[i] == '\r' && b[i + 1] == '\n') return i;
  return -1;
}

bool StartsWith(const uint8_t* b, int p, const char* text) {
  size_t n = std::strlen(text);
  if (static_cast<size_t>(kNtsoHeaderSize - p) < n) return false;
  return std::memcmp(b + p, text, n) == 0;
}

// Values are printed by their format; a text that is not exactly the slot's width is refused
// rather than cut, since a cut number would make the file unreadable.
int PutExact(char* out, int width, const char* text) {
  size_t n = std::strlen(text);
  if (n != static_cast<size_t>(width)) return kNtsoErrHeaderText;
  std::memcpy(out, text, n + 1);
  return 0;
}

}  // namespace

const char* NtsoLayoutName(int layout) {
  return layout >= 0 && layout <= 2 ? kLayoutNames[layout] : nullptr;
}

const char* NtsoFieldName(int layout, int index) {
  if (layout < 0 || layout > 2 || index < 1 || index > kNtsoFieldCount) return nullptr;
  return layout == 0 ? kFields[index].name0 : kFields[index].name12;
}

int NtsoFieldWidth(int layout, int index) {
  if (!NtsoFieldName(layout, index)) return 0;
  return kFields[index].width[layout];
}

const int* NtsoFieldOrder(int layout) {
  static const int kNone[] = {0};
  if (layout == 0) return kOrder0;
  if (layout == 1 || layout == 2) return kOrder12;
  return kNone;
}

int NtsoBuildHeader(char* buf, const char* title, int positions[14], int layout) {
  const char* layoutName = NtsoLayoutName(layout);
  if (!layoutName) return kNtsoErrLayout;
  if (!title) title = "";
  if (std::strpbrk(title, "\r\n")) return kNtsoErrMalformed;
  for (int i = 0; i < 14; ++i) positions[i] = 0;

  // Measure first, so that nothing is written past the 513-byte buffer.
  size_t titleLength = std::strlen(title);
  size_t length = titleLength + 2 + std::strlen(layoutName) + 2;
  for (const int* f = NtsoFieldOrder(layout); *f; ++f) length += 22 + NtsoFieldWidth(layout, *f);
  if (length > 510) return kNtsoErrHeaderText;

  size_t p = 0;
  std::memcpy(buf, title, titleLength);
  p += titleLength;
  p += std::snprintf(buf + p, 513 - p, "\r\n%s\r\n", layoutName);
  for (const int* f = NtsoFieldOrder(layout); *f; ++f) {
    positions[*f] = static_cast<int>(p) + 20;
    p += std::snprintf(buf + p, 513 - p, "%18.18s =%*s\r\n", NtsoFieldName(layout, *f),
                       NtsoFieldWidth(layout, *f), "");
  }
  if (p + 45 <= 512) {
    std::memcpy(buf + p, kTerminator, 45);
    p += 45;
    std::memset(buf + p, 0x07, 512 - p);
  } else {
    size_t keep = 510 - p;
    std::memcpy(buf + p, kTerminator, keep);
    buf[510] = '\r';
    buf[511] = '\n';
  }
  buf[512] = 0;
  return 0;
}

int NtsoFormatInt(char* out, int layout, int index, int64_t value) {
  int width = NtsoFieldWidth(layout, index);
  if (width == 0) return kNtsoErrFieldOrder;
  char text[64];
  std::snprintf(text, sizeof text, "%*" PRId64, width, value);
  return PutExact(out, width, text);
}

int NtsoFormatMode(char* out, int layout, bool expand) {
  int width = NtsoFieldWidth(layout, kFieldDbMode);
  if (width == 0) return kNtsoErrFieldOrder;
  char text[16];
  std::snprintf(text, sizeof text, " %-6.6s", expand ? "EXPAND" : "FIXED");
  return PutExact(out, width, text);
}

int NtsoFormatTime(char* out, int layout, int index, const SYSTEMTIME& t) {
  int width = NtsoFieldWidth(layout, index);
  if (width == 0 || index < kFieldCreationTime || index > kFieldDataEnd) return kNtsoErrFieldOrder;
  char text[96];
  if (index == kFieldCreationTime)
    std::snprintf(text, sizeof text, " %02hu/%02hu/%04hu %02hu:%02hu:%02hu", t.wMonth, t.wDay, t.wYear,
                  t.wHour, t.wMinute, t.wSecond);
  else
    std::snprintf(text, sizeof text, " %02hu/%02hu/%04hu %02hu:%02hu:%02hu.%02hu", t.wMonth, t.wDay, t.wYear,
                  t.wHour, t.wMinute, t.wSecond, static_cast<WORD>(t.wMilliseconds / 10));
  return PutExact(out, width, text);
}

int NtsoParseHeaderText(const uint8_t* b, NtsoHeaderInfo& info) {
  info = NtsoHeaderInfo();
  if (std::memchr(b, 0, kNtsoHeaderSize)) return kNtsoErrHeaderText;
  int crlf = FindCrLf(b, 0);
  if (crlf < 0) return kNtsoErrNoCrLf;
  int p = crlf + 2;

  // The first line after the title that begins with a layout name selects the layout.
  int layout = -1;
  while (layout < 0) {
    while (p < kNtsoHeaderSize && IsWhite(b[p])) ++p;
    int found = -1;
    for (int l = 0; l < 3; ++l)
      if (StartsWith(b, p, kLayoutNames[l])) found = l;
    int end = p < kNtsoHeaderSize ? FindCrLf(b, p) : -1;
    if (end < 0) return found >= 0 ? kNtsoErrNoCrLf : kNtsoErrMalformed;
    layout = found;
    p = end + 2;
  }

  for (const int* f = NtsoFieldOrder(layout); *f; ++f) {
    while (p < kNtsoHeaderSize && IsWhite(b[p])) ++p;
    if (!StartsWith(b, p, NtsoFieldName(layout, *f))) return kNtsoErrFieldOrder;
    p += static_cast<int>(std::strlen(NtsoFieldName(layout, *f)));
    while (p < kNtsoHeaderSize && IsBlank(b[p])) ++p;
    if (p >= kNtsoHeaderSize || b[p] != '=') return kNtsoErrNoCrLf;
    ++p;
    int end = FindCrLf(b, p);
    if (end < 0) return kNtsoErrNoCrLf;
    info.positions[*f] = p;
    info.lineEnds[*f] = end;
    p = end + 2;
  }
  info.layout = layout;
  return 0;
}

bool NtsoSlotsSafe(const NtsoHeaderInfo& info) {
  for (const int* f = NtsoFieldOrder(info.layout); *f; ++f) {
    int pos = info.positions[*f];
    int end = pos + NtsoFieldWidth(info.layout, *f);
    if (pos <= 0 || end > 510 || end > info.lineEnds[*f]) return false;
  }
  return true;
}

int NtsoReadNumber(const uint8_t* b, int position, uint64_t max, uint64_t& value) {
  value = 0;
  int p = position;
  while (p >= 0 && p < kNtsoHeaderSize && IsBlank(b[p])) ++p;
  uint64_t v = 0;
  while (p >= 0 && p < kNtsoHeaderSize && b[p] >= '0' && b[p] <= '9') {
    uint64_t d = b[p] - '0';
    if (v > (max - d) / 10) return kNtsoErrMalformed;
    v = v * 10 + d;
    ++p;
  }
  value = v;
  return 0;
}

int NtsoReadMode(const uint8_t* b, int position) {
  if (position <= 0 || position + 7 > kNtsoHeaderSize) return -1;
  if (std::memcmp(b + position, " FIXED ", 7) == 0) return 0;
  if (std::memcmp(b + position, " EXPAND", 7) == 0) return 1;
  return -1;
}

int NtsoDayOfWeek(int year, int month, int day) {
  // Sakamoto's method for the Gregorian calendar.
  static const int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 1 || month > 12) return 0;
  if (month < 3) year -= 1;
  int r = (year + year / 4 - year / 100 + year / 400 + t[month - 1] + day) % 7;
  return r < 0 ? r + 7 : r;
}

void NtsoParseTime(const char* text, size_t length, bool hundredths, SYSTEMTIME& t) {
  char copy[64];
  if (length >= sizeof copy) length = sizeof copy - 1;
  std::memcpy(copy, text, length);
  copy[length] = 0;
  unsigned short mo = 0, d = 0, y = 0, h = 0, mi = 0, s = 0, hs = 0;
  if (hundredths)
    std::sscanf(copy, " %2hu/%2hu/%4hu %2hu:%2hu:%2hu.%2hu", &mo, &d, &y, &h, &mi, &s, &hs);
  else
    std::sscanf(copy, " %2hu/%2hu/%4hu %2hu:%2hu:%2hu", &mo, &d, &y, &h, &mi, &s);
  t = SYSTEMTIME();
  t.wMonth = mo;
  t.wDay = d;
  t.wYear = y;
  t.wHour = h;
  t.wMinute = mi;
  t.wSecond = s;
  t.wMilliseconds = static_cast<WORD>(hs * 10);
  t.wDayOfWeek = static_cast<WORD>(NtsoDayOfWeek(y, mo, d));
}

size_t NtsoSerializeEntry(uint8_t* out, const char* name, size_t nameLength, WORD type, WORD recordSize,
                          DWORD offset) {
  std::memcpy(out, name, nameLength);
  uint8_t* f = out + nameLength;
  f[0] = 0;
  f[1] = static_cast<uint8_t>(type);
  f[2] = static_cast<uint8_t>(type >> 8);
  f[3] = static_cast<uint8_t>(recordSize);
  f[4] = static_cast<uint8_t>(recordSize >> 8);
  f[5] = static_cast<uint8_t>(offset);
  f[6] = static_cast<uint8_t>(offset >> 8);
  f[7] = static_cast<uint8_t>(offset >> 16);
  f[8] = static_cast<uint8_t>(offset >> 24);
  return nameLength + 9;
}

size_t NtsoBaseNameLength(const char* name) {
  size_t n = std::strlen(name);
  for (size_t i = n; i > 0; --i) {
    char c = name[i - 1];
    if (c == '\\' || c == '/') break;
    if (c == '.') return i - 1;
  }
  return n;
}
