#include "app/select/archive_scan.h"

#include <cstring>
#include <vector>

#include "app/select/archive_names.h"
#include "platform/base/msgbox.h"
#include "platform/kernel/files.h"

namespace {

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  for (size_t i = 0; prefix[i] != '\0'; ++i) {
    if (i >= text.size()) return false;
    char c = text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != prefix[i]) return false;
  }
  return true;
}

void ScanFolder(const std::string& folder, bool (*parse)(const char*, COleDateTime&), CYearDays& days) {
  std::vector<FolderEntry> entries;
  if (ListFolder(folder.c_str(), entries) != 0) return;
  for (const FolderEntry& entry : entries) {
    COleDateTime parsed;
    if (!parse(entry.name.c_str(), parsed) || parsed.GetStatus() != COleDateTime::valid) continue;
    CDateTimeEx date(parsed);
    days.month[date.GetMonth()] = true;
    days.weekday[date.GetDayOfWeek()] = true;
    // Names come in name order, which for database files is date order: the search finds the end.
    days.dates.AddSortedUnique(date, true);
  }
}

}  // namespace

void ScanYearFolders(std::string root, CObjArray<CStrA>& years) {
  years.RemoveAll();
  std::vector<FolderEntry> entries;
  if (ListFolder(root.c_str(), entries) != 0) return;
  for (const FolderEntry& entry : entries) {
    const std::string& name = entry.name;
    const bool data = name.size() == 8 && StartsWithNoCase(name, "DATA");
    const bool pe = name.size() == 6 && StartsWithNoCase(name, "PE");
    if (!data && !pe) continue;
    CStrA year(name.c_str() + name.size() - 4);
    bool known = false;
    for (int i = 0; i < years.m_nSize && !known; ++i) known = *years.m_pData[i] == year;
    if (!known) years.Add(year);
  }
  SortByText(years.m_pData, years.m_nSize);
}

void CYearDays::Clear() {
  dates.RemoveAll();
  std::memset(month, 0, sizeof month);
  std::memset(weekday, 0, sizeof weekday);
}

void ScanYearDays(const std::string& root, int year, CYearDays& days) {
  CStrA folder;
  if (year >= 1993) {
    folder.Format("%sDATA%04i\\", root.c_str(), year);
    ScanFolder(folder.m_pData, DateFromFmdbName, days);
  }
  if (year <= 1993) {
    folder.Format("%sPE%04i\\", root.c_str(), year);
    ScanFolder(folder.m_pData, DateFromPeName, days);
  }
}

CStrA DiscPromptText(int year, const bool month[13]) {
  static const char* const kMonths[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                          "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  CStrA text;
  text.Format("If more data discs for %4d are available, insert and press YES.  Otherwise, press NO.\n\n", year);
  for (int m = 1; m <= 12; ++m) text.AppendFormat("    %s", month[m] ? kMonths[m - 1] : "n/a");
  return text;
}

void ScanYearDaysWithPrompt(const std::string& root, int year, CYearDays& days, const DiscPrompt& prompt) {
  for (;;) {
    ScanYearDays(root, year, days);
    if (!prompt) return;
    if (prompt(DiscPromptText(year, days.month).m_pData) != IDYES) return;
  }
}
