// mkarchive: writes a deterministic synthetic archive (device lists, daily database files, PE
// volume and occupancy files) through the archive's own writing code.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "archive/sample_archive.h"

namespace {

const char kHelp[] =
    "usage: mkarchive OUTDIR [--seed N] [--years Y[,Y...]] [--elements N] [--days N] [--uniform]\n"
    "\n"
    "Writes a synthetic traffic archive into OUTDIR. The same options always give the same bytes.\n"
    "\n"
    "  --seed N        seed of the generated values (default 1)\n"
    "  --years LIST    comma-separated years (default 1990,1994). Years from 1993 on get a DATA\n"
    "                  folder (RMDC.LST and YYYYMMDD.DAT/.NTS day files from 1 January, or from\n"
    "                  1 June in 1993); years up to 1993 get a PE folder (LPDATA.PRN and\n"
    "                  MMDDYY.VOL/.OCC day files), so 1993 has both.\n"
    "  --elements N    detector elements per year: loops, stations, speed traps and metered\n"
    "                  lanes in turn (default 40, at most 21120; fewer when a 20-second day\n"
    "                  must fit the NG.1 header's eight-digit sizes)\n"
    "  --days N        days per year (default 5)\n"
    "  --uniform       every database day five-minute, FIXED, with all elements (for benchmarks);\n"
    "                  otherwise days alternate five-minute and 20-second layouts, FIXED and\n"
    "                  EXPAND forms, NG.2 and NG.1 headers, the second day is missing and one\n"
    "                  element is missing on the third day\n"
    "  --help          this text\n";

bool ParseInt(const char* text, long lo, long hi, int& out) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (!text[0] || *end || v < lo || v > hi) return false;
  out = static_cast<int>(v);
  return true;
}

int Usage(const char* problem) {
  std::fprintf(stderr, "mkarchive: %s\n\n%s", problem, kHelp);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  SampleArchiveOptions o;
  bool haveRoot = false;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) return nullptr;
      (void)name;
      return argv[++i];
    };
    if (!std::strcmp(a, "--help") || !std::strcmp(a, "-h")) {
      std::fputs(kHelp, stdout);
      return 0;
    } else if (!std::strcmp(a, "--seed")) {
      const char* v = value(a);
      int seed;
      if (!v || !ParseInt(v, 0, 2147483647L, seed)) return Usage("--seed needs a number");
      o.seed = static_cast<uint32_t>(seed);
    } else if (!std::strcmp(a, "--elements")) {
      const char* v = value(a);
      const int most = SampleArchiveMaxElements();
      if (!v || !ParseInt(v, 1, most, o.elements))
        return Usage(("--elements needs a number from 1 to " + std::to_string(most)).c_str());
    } else if (!std::strcmp(a, "--days")) {
      const char* v = value(a);
      if (!v || !ParseInt(v, 1, 366, o.days)) return Usage("--days needs a number from 1 to 366");
    } else if (!std::strcmp(a, "--years")) {
      const char* v = value(a);
      if (!v) return Usage("--years needs a list");
      o.years.clear();
      std::string list(v);
      size_t start = 0;
      while (start <= list.size()) {
        size_t comma = list.find(',', start);
        std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        int year;
        if (!ParseInt(item.c_str(), 1981, 2099, year)) return Usage("--years takes years from 1981 to 2099");
        o.years.push_back(year);
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
    } else if (!std::strcmp(a, "--uniform")) {
      o.uniformDays = true;
    } else if (a[0] == '-') {
      return Usage((std::string("unknown option ") + a).c_str());
    } else if (!haveRoot) {
      o.root = a;
      haveRoot = true;
    } else {
      return Usage("only one output folder");
    }
  }
  if (!haveRoot) return Usage("no output folder given");
  std::string message;
  int r = WriteSampleArchive(o, &message);
  if (r != 0) {
    std::fprintf(stderr, "mkarchive: %s\n", message.c_str());
    return 1;
  }
  return 0;
}
