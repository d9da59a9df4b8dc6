// oomtable: loads every element of a synthetic archive over its days of 20-second data whole, as
// the Classic view's raw and single-day blocks do, in child processes under address-space limits
// (RLIMIT_AS), and counts how each load ended: whole, refused with the not-enough-memory error
// (nothing returned, 502 with error 8 posted once, last), or anything else (element-days missing,
// another line, a signal). Meant for a Release build: the address sanitizer's shadow memory would
// take the address space.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/shell/input_loader.h"
#include "archive/archive_globals.h"
#include "archive/sample_archive.h"
#include "containers/obj_array.h"
#include "trafficdata/db_element.h"
#include "trafficdata/run_control.h"

namespace {

const char kHelp[] =
    "usage: oomtable [--archive DIR] [--elements N] [--days N] [--limits MB[,MB...]] [--tries N]\n"
    "\n"
    "  --archive DIR   where the archive is written, or read when it is there already\n"
    "                  (default /tmp/qav-oomtable-<elements>x<days>)\n"
    "  --elements N    detector elements, all four kinds in turn (default 2000)\n"
    "  --days N        days of 20-second data from 1 January 1994 (default 16)\n"
    "  --limits LIST   address-space limits of the loading process in MB (default 512,768,1024,1536)\n"
    "  --tries N       loads per limit (default 3)\n";

enum EOutcome { kWhole = 0, kRefused = 1, kOther = 2 };

class CPoster : public IWorkerPoster {
 public:
  void Post(UINT id, LPARAM payload) override {
    if (count < kMost) posts[count] = {id, payload};
    ++count;
  }
  static constexpr int kMost = 4096;
  std::pair<UINT, LPARAM> posts[kMost];
  int count = 0;
};

class CRun : public RunControl {
 public:
  bool keepGoing() const override { return true; }
  void addProgress(uint32_t) override {}
};

// One load in this process; what it came to.
int LoadOnce(const CAdrArray<CDBElementEx>& elements, const CAdrArray<CDateTimeEx>& days, std::string& detail) {
  auto poster = std::make_unique<CPoster>();
  CRun run;
  std::unique_ptr<CElementDataSet> set = LoadElementData(elements, days, *poster, run);
  int outOfMemory = 0;
  for (int i = 0; i < std::min(poster->count, CPoster::kMost); ++i)
    outOfMemory += poster->posts[i] == std::pair<UINT, LPARAM>{502, 8};
  const int n = std::min(poster->count, CPoster::kMost);
  if (set != nullptr) {
    const int64_t all = static_cast<int64_t>(elements.m_nSize) * days.m_nSize;
    if (set->m_count.withData == all && outOfMemory == 0) return kWhole;
    detail = std::to_string(all - set->m_count.withData) + " element-days missing, " + std::to_string(outOfMemory) +
             " lines of error 8";
    return kOther;
  }
  if (outOfMemory == 1 && n > 0 && poster->posts[n - 1] == std::pair<UINT, LPARAM>{502, 8}) return kRefused;
  detail = "nothing returned, " + std::to_string(outOfMemory) + " lines of error 8";
  return kOther;
}

bool ParseList(const char* text, std::vector<long>& out) {
  out.clear();
  std::string s(text);
  size_t at = 0;
  while (at <= s.size()) {
    const size_t comma = s.find(',', at);
    const std::string item = s.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
    char* end = nullptr;
    const long v = std::strtol(item.c_str(), &end, 10);
    if (item.empty() || *end != '\0' || v <= 0) return false;
    out.push_back(v);
    if (comma == std::string::npos) break;
    at = comma + 1;
  }
  return !out.empty();
}

}  // namespace

int main(int argc, char** argv) {
  int elementCount = 2000, dayCount = 16, tries = 3;
  std::vector<long> limits = {512, 768, 1024, 1536};
  std::string root;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
    if (a == "--help" || a == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (v == nullptr) {
      std::fprintf(stderr, "oomtable: %s needs a value\n\n%s", a.c_str(), kHelp);
      return 2;
    }
    ++i;
    if (a == "--archive") root = v;
    else if (a == "--elements") elementCount = std::atoi(v);
    else if (a == "--days") dayCount = std::atoi(v);
    else if (a == "--tries") tries = std::atoi(v);
    else if (a == "--limits" && ParseList(v, limits)) continue;
    else {
      std::fprintf(stderr, "oomtable: bad option %s %s\n\n%s", a.c_str(), v, kHelp);
      return 2;
    }
  }
  if (elementCount < 1 || dayCount < 1 || dayCount > 365 || tries < 1) {
    std::fprintf(stderr, "oomtable: elements, days (up to 365) and tries must be positive\n");
    return 2;
  }
  if (root.empty()) root = "/tmp/qav-oomtable-" + std::to_string(elementCount) + "x" + std::to_string(dayCount);
  if (root.back() != '/') root += '/';
  constexpr int kYear = 1994;
  if (!std::filesystem::exists(root + "DATA1994/RMDC.LST")) {
    std::printf("writing the archive to %s ...\n", root.c_str());
    std::fflush(stdout);
    SampleArchiveOptions o;
    o.root = root;
    o.years = {kYear};
    o.elements = elementCount;
    o.days = dayCount;
    o.uniformDays = true;
    o.fineDays = true;
    std::string message;
    if (WriteSampleArchive(o, &message) != 0) {
      std::fprintf(stderr, "oomtable: cannot write the archive: %s\n", message.c_str());
      return 1;
    }
  }
  g_DataRootPath.Set(root.c_str());

  // Every element with a cabinet of its own, as the views hold them.
  std::vector<std::unique_ptr<CDBCabinet>> cabinets;
  CObjArray<CDBElementEx> elements;
  static const int kTypes[4] = {ET_LOOP, ET_STATION, ET_SPEED_TRAP, ET_RATE_STATUS};
  for (const SampleElement& e : SampleElements(kYear, elementCount)) {
    const size_t colon = e.key.find(':');
    const std::string alias = e.aliasKey.substr(0, e.aliasKey.find(':'));
    cabinets.push_back(std::make_unique<CDBCabinet>(e.key.substr(0, colon).c_str(), alias.c_str(), 0, "", nullptr));
    elements.Add(CDBElementEx(e.key.substr(colon + 1).c_str(), kTypes[e.kind], cabinets.back().get()));
  }
  CObjArray<CDateTimeEx> days;
  for (int d = 0; d < dayCount; ++d) days.Add(CDateTimeEx(CDateTimeEx(kYear, 1, 1) + COleDateTimeSpan(static_cast<double>(d))));

  std::printf("%d elements x %d days of 20-second data, loaded whole, %d tries per limit\n", elementCount, dayCount,
              tries);
  std::printf("%-10s %6s %8s %10s %8s   %s\n", "limit", "tries", "whole", "refused 8", "other", "seconds per try");
  for (long mb : limits) {
    int counts[3] = {0, 0, 0};
    std::vector<std::string> others;
    double seconds = 0;
    for (int t = 0; t < tries; ++t) {
      int pipefd[2];
      if (pipe(pipefd) != 0) return 1;
      const auto start = std::chrono::steady_clock::now();
      const pid_t child = fork();
      if (child == 0) {
        close(pipefd[0]);
        const rlim_t bytes = static_cast<rlim_t>(mb) << 20;
        rlimit r{bytes, bytes};
        setrlimit(RLIMIT_AS, &r);
        std::string detail;
        const int outcome = LoadOnce(elements, days, detail);
        if (!detail.empty()) {
          const ssize_t written = write(pipefd[1], detail.data(), detail.size());
          (void)written;
        }
        _exit(outcome);
      }
      close(pipefd[1]);
      char buf[256];
      std::string detail;
      for (ssize_t n; (n = read(pipefd[0], buf, sizeof buf)) > 0;) detail.append(buf, static_cast<size_t>(n));
      close(pipefd[0]);
      int status = 0;
      waitpid(child, &status, 0);
      seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (WIFEXITED(status) && WEXITSTATUS(status) <= kOther) {
        ++counts[WEXITSTATUS(status)];
        if (WEXITSTATUS(status) == kOther) others.push_back(detail);
      } else {
        ++counts[kOther];
        others.push_back(WIFSIGNALED(status) ? std::string("signal ") + strsignal(WTERMSIG(status)) : "exit " + std::to_string(WEXITSTATUS(status)));
      }
    }
    std::printf("%-10s %6d %8d %10d %8d   %.1f\n", (std::to_string(mb) + " MB").c_str(), tries, counts[kWhole],
                counts[kRefused], counts[kOther], seconds / tries);
    for (const std::string& o : others) std::printf("           other: %s\n", o.c_str());
    std::fflush(stdout);
  }
  return 0;
}
