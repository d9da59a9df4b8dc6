#include "trafficdata/date_time_ex.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <utility>

#include "containers/merge_sort.h"

const char* const OLDER_VERSION_WARNING =
    "ctTextDateToCOleDateTime(): this file was saved using an older version of QAV... Please re-save the "
    "configuration. ";

namespace {

std::mutex g_warningLock;
std::function<void(const char*)> g_warningHandler;
std::atomic<bool> g_warningShown{false};

// Reads a decimal field of up to width characters from offset; false when the text ends before
// the field or a character inside it is not a digit.
bool ReadField(const char* text, size_t len, size_t offset, size_t width, int& value) {
  if (offset + width > len) return false;
  value = 0;
  for (size_t i = offset; i < offset + width; ++i) {
    char c = text[i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

int CompareTexts(const CStr<char, wchar_t>* a, const CStr<char, wchar_t>* b) {
  const char* x = (a && a->m_nSize > 0) ? a->m_pData : "";
  const char* y = (b && b->m_nSize > 0) ? b->m_pData : "";
  return std::strcmp(x, y);  // strcmp compares as unsigned char
}

}  // namespace

CDateTimeEx::CDateTimeEx(int year, int month, int day, int hour, int minute, int second)
    : COleDateTime(year, month, day, hour, minute, second) {}

CDateTimeEx::~CDateTimeEx() = default;

int CDateTimeEx::Compare(const CDateTimeEx& other) const {
  if (*this < other) return -1;
  if (other < *this) return 1;
  return 0;
}

void SetOlderVersionWarningHandler(std::function<void(const char*)> handler) {
  std::lock_guard<std::mutex> lock(g_warningLock);
  g_warningHandler = std::move(handler);
}

void ResetOlderVersionWarning() { g_warningShown.store(false); }

CDateTimeEx ctTextDateToCOleDateTime(const char* text) {
  CDateTimeEx bad;
  bad.SetStatus(COleDateTime::invalid);
  if (!text) return bad;
  size_t len = std::strlen(text);
  int month, day, year;
  if (len < 8 || !ReadField(text, len, 0, 2, month) || !ReadField(text, len, 3, 2, day)) return bad;
  // The year runs up to four digits from offset 6 (two in files of older versions).
  size_t width = std::min<size_t>(4, len - 6);
  if (!ReadField(text, len, 6, width, year)) return bad;
  if (year < 100) {
    year += year < 81 ? 2000 : 1900;
    if (!g_warningShown.exchange(true)) {
      std::lock_guard<std::mutex> lock(g_warningLock);
      if (g_warningHandler) g_warningHandler(OLDER_VERSION_WARNING);
    }
  }
  return CDateTimeEx(year, month, day, 0, 0, 0);
}

void SortByText(CStr<char, wchar_t>** items, int count) {
  SortAscending(items, count, [](const CStr<char, wchar_t>* a, const CStr<char, wchar_t>* b) {
    return CompareTexts(a, b) < 0;
  });
}

void SortByTextDescending(CStr<char, wchar_t>** items, int count) {
  SortDescending(items, count, [](const CStr<char, wchar_t>* a, const CStr<char, wchar_t>* b) {
    return CompareTexts(a, b) < 0;
  });
}

// An invalid date compares false both ways, so it never moves before another.
void SortByDate(CDateTimeEx** items, int count) {
  SortAscending(items, count, [](const CDateTimeEx* a, const CDateTimeEx* b) { return *a < *b; });
}

void SortByDateDescending(CDateTimeEx** items, int count) {
  SortDescending(items, count, [](const CDateTimeEx* a, const CDateTimeEx* b) { return *a < *b; });
}
