// A deterministic synthetic archive, written through the archive's own writing code: for each
// database year a device list and daily database files (five-minute and 20-second layouts, FIXED
// and EXPAND, loops, stations, speed traps and metered lanes with daily curves), and for each year
// up to 1993 a PE device list with daily volume and occupancy matrices. Tests, benchmarks, the
// mkarchive tool and the program's sample archive use it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SampleArchiveOptions {
  std::string root;                     // output folder
  uint32_t seed = 1;                    // same seed, same bytes
  std::vector<int> years{1990, 1994};   // 1993 gets both a PE and a DATA folder
  int elements = 40;                    // detector elements per database year (all four kinds)
  int days = 5;                         // days written per year (from 1 January, or 1 June 1993)
  bool uniformDays = false;             // every database day five-minute, FIXED, all elements
  bool fineDays = false;                // with uniformDays: every day in the 20-second layout
};

// What a written database year holds, for tests and benchmarks.
struct SampleDayInfo {
  int year = 0, month = 0, day = 0;
  bool written = false;   // the archive leaves one day out on purpose
  int columns = 0;        // 288 or 4320
  bool expand = false;
  int layout = 2;
};

// The most elements a database year can have with every element named apart.
int SampleArchiveMaxElements();

// Writes the archive. Returns 0 or a Windows error number; `message` (if given) describes a failure.
// Options that ask for an archive that cannot be made whole (more elements than can be named apart,
// a day file too large for its header) are refused with 87 before anything is written; a file that
// could not be written whole is removed.
int WriteSampleArchive(const SampleArchiveOptions& options, std::string* message = nullptr,
                       std::vector<SampleDayInfo>* daysWritten = nullptr);

// The element names and keys of a database year, in the order written.
struct SampleElement {
  std::string key;        // "<cabinet id>:<element>"
  std::string aliasKey;   // "<alias>:<element>"
  int kind = 0;           // 0 loop, 1 station, 2 speed trap, 3 metered lane
  int typeWord = 80;
  int recordSize5 = 3;    // 0 when the kind has no five-minute layout
  int recordSize20 = 3;
};
std::vector<SampleElement> SampleElements(int year, int count);

// The packed records of one element-day (columns x record size bytes), as written.
std::vector<uint8_t> SampleRecords(uint32_t seed, int year, int month, int day, int element, int kind, int columns);
