// A generated archive year for the benchmarks: written once per program into a temporary folder
// that is removed at exit, also when the run is interrupted; and the process's peak resident size.
#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/input.h"
#include "archive/sample_archive.h"
#include "bench_temp.h"
#include "platform/kernel/files.h"
#include "support/stream.h"
#include "trafficdata/date_time_ex.h"

// Writes `elements` elements (every fourth kind a loop) for `days` days of `year` (when 0:
// QAV_BENCH_DAYS, by default 365) under a new folder named after `prefix`; exits the program when
// that fails. Uniform days are all five-minute (with QAV_BENCH_FINE=1 all 20-second); otherwise
// they are as mkarchive writes them by default (layouts, formats and a day left out vary).
inline std::string WriteBenchYear(const char* prefix, int year, int elements, std::vector<SampleDayInfo>& info,
                                  bool uniform = true, int days = 0) {
  if (days <= 0) {
    days = 365;
    if (const char* d = std::getenv("QAV_BENCH_DAYS")) days = std::atoi(d) > 0 ? std::atoi(d) : days;
  }
  static const CBenchTempPath folder(prefix);
  const std::string root = folder.Path() + "/";
  SampleArchiveOptions o;
  o.root = root;
  o.years = {year};
  o.elements = elements;
  o.days = days;
  o.uniformDays = uniform;
  o.fineDays = uniform && std::getenv("QAV_BENCH_FINE") != nullptr && std::atoi(std::getenv("QAV_BENCH_FINE")) == 1;
  std::string message;
  if (WriteSampleArchive(o, &message, &info) != 0) {
    std::fprintf(stderr, "cannot write the archive: %s\n", message.c_str());
    std::exit(1);
  }
  return root;
}

inline double PeakMegabytes() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_maxrss) / 1024.0;
}

// Reads every key's columns of every day with the archive's database reader; false when a day or
// a key cannot be read.
template <class Days, class Keys>
bool ReadYearColumns(const Days& days, const Keys& keys, CStream& out) {
  for (const CDateTimeEx& day : days) {
    CFMDBInput input;
    if (!input.Open(day)) return false;
    const int columns = static_cast<int>(input.m_Database.m_nColumns);
    for (const std::string& key : keys)
      if (input.m_Database.ReadColumns(out, key.c_str(), 0, columns) != 0) return false;
    input.m_Database.Close();
  }
  return true;
}
