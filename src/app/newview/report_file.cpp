#include "app/newview/report_file.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "app/newview/new_tables.h"
#include "platform/base/errors.h"
#include "platform/kernel/files.h"
#include "trafficdata/db_record.h"
#include "trafficdata/run_control.h"

namespace {

const char* const kMonths[13] = {"",     "January", "February",  "March",   "April",    "May",     "June",
                                 "July", "August",  "September", "October", "November", "December"};
const char* const kWeekdays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

struct SDay {
  int64_t serial;  // day number, 0 = 1899-12-30
  int year, month, day, weekday;  // weekday 0 = Sunday
};

SDay MakeDay(int64_t serial) {
  using namespace std::chrono;
  sys_days sd{days{serial - 25569}};
  year_month_day ymd{sd};
  return {serial, static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
          static_cast<int>(static_cast<unsigned>(ymd.day())), static_cast<int>(weekday{sd}.c_encoding())};
}

struct SLevel {
  bool noGap = true;
  bool complete[7] = {true, true, true, true, true, true, true};
  int count[7] = {};
  void Gap(int wd) {
    noGap = false;
    complete[wd] = false;
  }
  bool HasPattern() const {
    bool twice = false;
    for (int w = 0; w < 7; ++w) {
      if (count[w] > 0 && !complete[w]) return false;
      twice = twice || count[w] >= 2;
    }
    return twice;
  }
  std::string PatternList() const {
    std::string out;
    for (int w = 0; w < 7;) {
      if (count[w] == 0) {
        ++w;
        continue;
      }
      int last = w;
      while (last + 1 < 7 && count[last + 1] > 0) ++last;
      if (!out.empty()) out += ", ";
      out += kWeekdays[w];
      if (last > w) out += std::string("-") + kWeekdays[last];
      w = last + 1;
    }
    return out;
  }
};

struct SMonthLevel : SLevel {
  int month = 0;
  std::vector<SDay> days;
};
struct SYearLevel : SLevel {
  int year = 0;
  std::vector<SMonthLevel> months;
  const SDay& First() const { return months.front().days.front(); }
  const SDay& Last() const { return months.back().days.back(); }
};

std::string Fmt(const char* f, const char* s, int a, int b = 0, int c = 0) {
  char buf[128];
  std::snprintf(buf, sizeof buf, f, s, a, b, c);
  return buf;
}

std::string YearSuffix(int year) { return ", " + std::to_string(year); }

std::string MonthRange(const SMonthLevel& m, int year) {
  if (m.days.size() > 1) return Fmt("%s %i-%i, %i", kMonths[m.month], m.days.front().day, m.days.back().day, year);
  return Fmt("%s %i, %i", kMonths[m.month], m.days.front().day, year);
}

std::string YearRange(const SYearLevel& y) {
  if (y.months.size() > 1) {
    const SMonthLevel& f = y.months.front();
    const SMonthLevel& l = y.months.back();
    return Fmt("%s %i through ", kMonths[f.month], f.days.front().day) +
           Fmt("%s %i, %i", kMonths[l.month], l.days.back().day, y.year);
  }
  return MonthRange(y.months.front(), y.year);
}

std::string AllRange(const std::vector<SYearLevel>& years) {
  if (years.size() > 1) {
    const SYearLevel& f = years.front();
    const SYearLevel& l = years.back();
    return Fmt("%s %i, %i through ", kMonths[f.First().month], f.First().day, f.year) +
           Fmt("%s %i, %i", kMonths[l.Last().month], l.Last().day, l.year);
  }
  return YearRange(years.front());
}

// "5, 8-9, 20"; true in *oneRun when the days form one consecutive run.
std::string DayList(const std::vector<SDay>& days, bool* oneRun) {
  std::string out;
  int runs = 0;
  for (size_t i = 0; i < days.size();) {
    size_t j = i;
    while (j + 1 < days.size() && days[j + 1].day == days[j].day + 1) ++j;
    char buf[32];
    std::snprintf(buf, sizeof buf, out.empty() ? "%i" : ", %i", days[i].day);
    out += buf;
    if (j > i) {
      std::snprintf(buf, sizeof buf, "-%i", days[j].day);
      out += buf;
    }
    ++runs;
    i = j + 1;
  }
  *oneRun = runs == 1;
  return out;
}

void WriteMonths(const SYearLevel& y, std::string& out, const char* sep) {
  const SMonthLevel* runFirst = nullptr;
  const SMonthLevel* runLast = nullptr;
  auto close = [&] {
    if (runFirst == nullptr) return;
    if (runFirst == runLast && runFirst->days.size() == 1) {
      out += YearSuffix(y.year);
    } else {
      out += Fmt(" through %s %i, %i", kMonths[runLast->month], runLast->days.back().day, y.year);
    }
    runFirst = runLast = nullptr;
  };
  for (const SMonthLevel& m : y.months) {
    if (m.noGap) {
      // A month joins the open run only when it goes on from the run's last day.
      if (runLast != nullptr && m.days.front().serial == runLast->days.back().serial + 1) {
        runLast = &m;
        continue;
      }
      close();
      out += sep;
      out += Fmt("%s %i", kMonths[m.month], m.days.front().day);
      runFirst = runLast = &m;
      continue;
    }
    close();
    out += sep;
    if (m.HasPattern()) {
      out += MonthRange(m, y.year) + " (" + m.PatternList() + " only)";
    } else {
      bool oneRun = false;
      std::string list = DayList(m.days, &oneRun);
      out += kMonths[m.month];
      out += oneRun ? " " + list : " {" + list + "}";
      out += YearSuffix(y.year);
    }
  }
  close();
}

}  // namespace

void WriteDatesSelected(const std::vector<double>& dayNumbers, std::string& out, const char* sep) {
  if (dayNumbers.empty()) return;
  SLevel all;
  std::vector<SYearLevel> years;
  auto add = [&](const SDay& d) {
    if (years.empty() || years.back().year != d.year) {
      years.emplace_back();
      years.back().year = d.year;
    }
    SYearLevel& y = years.back();
    if (y.months.empty() || y.months.back().month != d.month) {
      y.months.emplace_back();
      y.months.back().month = d.month;
    }
    SMonthLevel& m = y.months.back();
    m.days.push_back(d);
    ++all.count[d.weekday];
    ++y.count[d.weekday];
    ++m.count[d.weekday];
  };
  int64_t prev = 0;
  for (size_t i = 0; i < dayNumbers.size(); ++i) {
    auto serial = static_cast<int64_t>(std::floor(dayNumbers[i] + 0.5 / 86400.0));
    if (i > 0) {
      if (serial <= prev) continue;  // only ascending days count
      for (int64_t g = prev + 1; g < serial; ++g) {
        SDay gd = MakeDay(g);
        all.Gap(gd.weekday);
        SYearLevel& y = years.back();
        if (gd.year != y.year) continue;
        y.Gap(gd.weekday);
        if (gd.month == y.months.back().month) y.months.back().Gap(gd.weekday);
      }
    }
    add(MakeDay(serial));
    prev = serial;
  }
  if (all.noGap) {
    out += AllRange(years);
    return;
  }
  if (all.HasPattern()) {
    out += AllRange(years) + " (" + all.PatternList() + " only)";
    return;
  }
  const SYearLevel* runFirst = nullptr;
  const SYearLevel* runLast = nullptr;
  auto close = [&] {
    if (runFirst == nullptr) return;
    bool singleDay = runFirst == runLast && runFirst->months.size() == 1 && runFirst->months[0].days.size() == 1;
    if (!singleDay)
      out += Fmt(" through %s %i, %i", kMonths[runLast->Last().month], runLast->Last().day, runLast->year);
    runFirst = runLast = nullptr;
  };
  for (const SYearLevel& y : years) {
    if (y.noGap) {
      if (runLast != nullptr && y.First().serial == runLast->Last().serial + 1) {
        runLast = &y;
        continue;
      }
      close();
      out += sep;
      out += Fmt("%s %i, %i", kMonths[y.First().month], y.First().day, y.year);
      runFirst = runLast = &y;
      continue;
    }
    close();
    if (y.HasPattern()) {
      out += sep;
      out += YearRange(y) + " (" + y.PatternList() + " only)";
    } else {
      WriteMonths(y, out, sep);
    }
  }
  close();
}

std::string FormatReportHeader(const SReportHeader& h) {
  bool sheet = h.outFormat == 1;
  int avg = (h.avgMethod >= 0 && h.avgMethod < AVG_METHODS) ? h.avgMethod : 0;
  int sum = (h.sumMethod >= 0 && h.sumMethod < SUM_METHODS) ? h.sumMethod : DEFAULT_SUM_METHOD;
  std::string out;
  out += sheet ? "Filename\t" : "***********************************\nFilename:  ";
  out += h.fileName;
  out += h.created.Format(sheet ? "\nCreated\t%m/%d/%y %H:%M:%S\nFormat\tSPREADSHEET\nDaily Average\t"
                                : "\nCreated:  %m/%d/%y %H:%M:%S\nFormat:  TEXT\nDaily Average:  ");
  out += g_AvgMethodNames[avg];
  out += sheet ? "\nDate(s) Selected\t" : "\nDate(s) Selected:  ";
  WriteDatesSelected(h.dates, out, sheet ? "\n\t" : "\n                   ");
  if (avg != AVG_NONE) {
    out += sheet ? "\nMin Validity\t" : "\nMin Validity:  ";
    out += h.minValidity;
  }
  out += sheet ? "\nPeriod\t" : "\nPeriod:  ";
  out += h.period;
  if (h.reportType == RT_AM_PEAK) out += sheet ? "\tAM Peak" : " AM Peak";
  if (h.reportType == RT_PM_PEAK) out += sheet ? "\tPM Peak" : " PM Peak";
  out += sheet ? "\nPeriod Summation\t" : "\nPeriod Summation:  ";
  out += g_SumMethodNames[sum];
  if (!sheet) out += "\n***********************************";
  out += "\n\n";
  return out;
}

namespace {

constexpr size_t kCell = 160;

void KeyCell(const CDBRecord& r, int key, int format, std::string& out) {
  char cell[kCell] = "";
  r.FormatKeyColumn(cell, sizeof cell, key, format);
  out += cell;
}

void ValueCell(const CDBRecord& r, int format, std::string& out) {
  char cell[kCell] = "";
  r.FormatValue(cell, sizeof cell, format);
  out += cell;
}

int FirstDifference(const CDBRecord& a, const CDBRecord& b, const std::vector<int>& keys) {
  for (size_t p = 0; p < keys.size(); ++p)
    if (!a.IsEqualKey(b, keys[p])) return static_cast<int>(p);
  return -1;
}

}  // namespace

void WriteBlockHeading(int i, const CDBRecord* const* rows, int count, const SPivotLayout& l, std::string& buf) {
  const char* blank = CellSeparator(l.format);
  const CDBRecord& first = *rows[i];
  for (int key : l.seps) {
    char line[kCell] = "";
    first.FormatGroupHeader(line, sizeof line, key, l.format);
    buf += line;
  }
  buf += "\n";
  std::vector<std::string> headers(l.cols.size());
  for (size_t c = 0; c < l.cols.size(); ++c) {
    for (size_t r = 0; r < l.rows.size(); ++r) headers[c] += blank;
    KeyCell(first, l.cols[c], l.format, headers[c]);
  }
  int64_t end = std::min<int64_t>(static_cast<int64_t>(i) + std::max<int64_t>(l.colsHi, 1), count);
  for (int64_t j = i + 1; j < end; ++j) {
    const CDBRecord& row = *rows[j];
    const CDBRecord& prev = *rows[j - 1];
    if (FirstDifference(row, prev, l.rows) >= 0 || FirstDifference(row, prev, l.seps) >= 0) break;
    for (size_t c = 0; c < l.cols.size(); ++c) {
      if (row.IsEqualKey(prev, l.cols[c])) headers[c] += blank;
      else KeyCell(row, l.cols[c], l.format, headers[c]);
    }
  }
  for (auto& h : headers) buf += h + "\n";
  for (int key : l.rows) KeyCell(first, key, l.format, buf);
}

EWalkResult WritePivotBody(const CDBRecord* const* rows, int count, const SPivotLayout& l,
                           const std::function<bool(const std::string&)>& write, RunControl& run) {
  if (count <= 0) return EWalkResult::Done;
  const char* blank = CellSeparator(l.format);
  std::string buf;
  WriteBlockHeading(0, rows, count, l, buf);
  ValueCell(*rows[0], l.format, buf);
  EWalkResult result = EWalkResult::Done;
  for (int i = 1; i < count; ++i) {
    const CDBRecord& row = *rows[i];
    const CDBRecord& prev = *rows[i - 1];
    if (FirstDifference(row, prev, l.seps) >= 0) {
      buf += "\n\n";
      if (!write(buf)) return EWalkResult::WriteFailed;
      buf.clear();
      WriteBlockHeading(i, rows, count, l, buf);
      ValueCell(row, l.format, buf);
    } else if (int p = FirstDifference(row, prev, l.rows); p >= 0) {
      buf += "\n";
      for (int k = 0; k < p; ++k) buf += blank;
      for (size_t k = static_cast<size_t>(p); k < l.rows.size(); ++k) KeyCell(row, l.rows[k], l.format, buf);
      ValueCell(row, l.format, buf);
    } else {
      ValueCell(row, l.format, buf);
    }
    if (!run.keepGoing()) {
      result = EWalkResult::Cancelled;
      break;
    }
    run.addProgress(kProgressWalkRow);
  }
  if (!write(buf)) return EWalkResult::WriteFailed;
  return result;
}

bool CreateReportFile(CStdioFile& file, const std::string& chosen, std::string& written, IReportFileStatus& status) {
  constexpr UINT kCreate = CFile::modeCreate | CFile::modeWrite | CFile::typeText;
  written = chosen;
  CFileException error;
  if (file.Open(chosen.c_str(), kCreate, &error)) return true;
  const size_t slash = chosen.find_last_of("\\/");
  if (slash != std::string::npos) {
    ::CreateDirectoryA(chosen.substr(0, slash + 1).c_str());
    if (file.Open(chosen.c_str(), kCreate, &error)) return true;
  }
  status.PostWin32Error(static_cast<DWORD>(error.m_lOsError));
  status.PostOutFileError(chosen);
  char temp[261] = "";
  if (::GetTempPathA(sizeof temp, temp) == 0) {
    status.PostWin32Error(::GetLastError());
    return false;
  }
  // A new name each time: an existing file (another run's report, or a link planted in a
  // shared folder) is never opened.
  std::mt19937 random(static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[400];
    std::snprintf(name, sizeof name, "%s%iOut.txt", temp, static_cast<int>(random() % 32768));
    written = name;
    CFileException tempError;
    if (file.Open(name, CFile::modeCreateExclusive | CFile::modeWrite | CFile::typeText, &tempError)) {
      status.PostOutputTo(written);
      return true;
    }
    if (tempError.m_lOsError != static_cast<LONG>(ERROR_FILE_EXISTS) && tempError.m_lOsError != static_cast<LONG>(ERROR_ALREADY_EXISTS))
      return false;
  }
  return false;
}
