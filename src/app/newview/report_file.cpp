#include "app/newview/report_file.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "app/newview/new_tables.h"
#include "app/shell/settings.h"
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

// One walk over the sorted rows. Its text gathers in a buffer that goes to the writer once it
// holds the limit, so the memory the walk takes stays the same whatever the report's size.
class CPivotWalk {
 public:
  CPivotWalk(const CDBRecord* const* rows, int count, const SPivotLayout& l,
             const std::function<bool(const std::string&)>& write, RunControl& run, size_t limit)
      : m_rows(rows), m_count(count), m_l(l), m_write(write), m_run(run), m_limit(std::max<size_t>(limit, 1)) {}

  EWalkResult Walk() {
    if (m_count <= 0) return EWalkResult::Done;
    const char* blank = CellSeparator(m_l.format);
    m_buf.reserve(std::min(m_limit, kWalkBuffer) + 4 * kCell);
    if (!Heading(0)) return m_result;
    ValueCell(*m_rows[0], m_l.format, m_buf);
    if (!Room()) return m_result;
    for (int i = 1; i < m_count; ++i) {
      const CDBRecord& row = *m_rows[i];
      const CDBRecord& prev = *m_rows[i - 1];
      if (FirstDifference(row, prev, m_l.seps) >= 0) {
        m_buf += "\n\n";
        if (!Heading(i)) return m_result;
        ValueCell(row, m_l.format, m_buf);
      } else if (int p = FirstDifference(row, prev, m_l.rows); p >= 0) {
        m_buf += "\n";
        for (int k = 0; k < p; ++k) m_buf += blank;
        for (size_t k = static_cast<size_t>(p); k < m_l.rows.size(); ++k) KeyCell(row, m_l.rows[k], m_l.format, m_buf);
        ValueCell(row, m_l.format, m_buf);
      } else {
        ValueCell(row, m_l.format, m_buf);
      }
      if (!m_run.keepGoing()) {
        m_result = EWalkResult::Cancelled;
        break;
      }
      ++m_rowsHeld;
      if (!Room()) return m_result;
    }
    Flush();
    return m_result;
  }

 private:
  // The heading of the separate report that starts at row i: its group header lines, a blank
  // line, one header line per columns key over the row's columns, and the row's rows-key cells.
  bool Heading(int i) {
    const char* blank = CellSeparator(m_l.format);
    const CDBRecord& first = *m_rows[i];
    for (int key : m_l.seps) {
      char line[kCell] = "";
      first.FormatGroupHeader(line, sizeof line, key, m_l.format);
      m_buf += line;
    }
    m_buf += "\n";
    // The columns run to the first row that starts another line or separate report, and no
    // further than the column estimate.
    int64_t end = std::min<int64_t>(static_cast<int64_t>(i) + std::max<int64_t>(m_l.colsHi, 1), m_count);
    for (int64_t j = i + 1; j < end; ++j) {
      const CDBRecord& row = *m_rows[j];
      const CDBRecord& prev = *m_rows[j - 1];
      if (FirstDifference(row, prev, m_l.rows) >= 0 || FirstDifference(row, prev, m_l.seps) >= 0) {
        end = j;
        break;
      }
    }
    for (int key : m_l.cols) {
      for (size_t r = 0; r < m_l.rows.size(); ++r) m_buf += blank;
      KeyCell(first, key, m_l.format, m_buf);
      if (!Room()) return false;
      for (int64_t j = i + 1; j < end; ++j) {
        const CDBRecord& row = *m_rows[j];
        if (row.IsEqualKey(*m_rows[j - 1], key)) m_buf += blank;
        else KeyCell(row, key, m_l.format, m_buf);
        if (!Room()) return false;
      }
      m_buf += "\n";
    }
    for (int key : m_l.rows) KeyCell(first, key, m_l.format, m_buf);
    return Room();
  }

  // Hands a full buffer to the writer; false when the walk must stop there, the write having
  // failed or the run being cancelled.
  bool Room() {
    if (m_buf.size() < m_limit) return true;
    if (!Flush()) return false;
    if (m_run.keepGoing()) return true;
    m_result = EWalkResult::Cancelled;
    return false;
  }

  // Writes what the buffer holds and adds the units of the rows written with it.
  bool Flush() {
    if (!m_buf.empty() && !m_write(m_buf)) {
      m_result = EWalkResult::WriteFailed;
      return false;
    }
    m_buf.clear();
    if (m_rowsHeld > 0) m_run.addProgress(static_cast<uint32_t>(m_rowsHeld) * kProgressWalkRow);
    m_rowsHeld = 0;
    return true;
  }

  const CDBRecord* const* m_rows;
  int m_count;
  const SPivotLayout& m_l;
  const std::function<bool(const std::string&)>& m_write;
  RunControl& m_run;
  size_t m_limit;
  std::string m_buf;
  int64_t m_rowsHeld = 0;  // rows after the first whose text is all in the buffer
  EWalkResult m_result = EWalkResult::Done;
};

}  // namespace

EWalkResult WritePivotBody(const CDBRecord* const* rows, int count, const SPivotLayout& l,
                           const std::function<bool(const std::string&)>& write, RunControl& run, size_t buffer) {
  return CPivotWalk(rows, count, l, write, run, buffer).Walk();
}

bool CreateReportFile(CStdioFile& file, const std::string& chosen, std::string& written, IReportFileStatus& status) {
  // The report takes its name only once it is whole: an earlier one of that name stays until then.
  constexpr UINT kCreate = CFile::modeCreate | CFile::modeWrite | CFile::typeText | CFile::modeCreateAside;
  written = chosen;
  CFileException error;
  error.m_lOsError = ERROR_PATH_NOT_FOUND;  // no full path: no home folder to take the name in
  if (IsFullPath(chosen)) {
    if (file.Open(chosen.c_str(), kCreate, &error)) return true;
    const size_t slash = chosen.find_last_of("\\/");
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
