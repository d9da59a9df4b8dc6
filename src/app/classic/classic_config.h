// The Classic view's configuration file (*.cfg): its whole set-up (the three report blocks with
// their options, file names and selections, and the multi-day report choices) as text, one value
// per line. Files begin with the header line of layout NG.1; an older layout without the header,
// whose cabinet records have no id, is still read.
//
// The file is parsed into a plain ClassicSetup and checked as a whole before the view takes any
// of it, so a malformed file leaves the view as it was.
#pragma once

#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* CLASSIC_CONFIG_HEADER = "QAV Classic Configuration File Version NG.1";
// The start of every version's header.
inline constexpr const char* CLASSIC_CONFIG_HEADER_START = "QAV Classic Configuration File Version ";

// Longest report file name of a block.
inline constexpr size_t MAX_REPORT_NAME_CHARS = 15;
// Why a report file name cannot be used, or "" when it can: the name is a file inside the
// output folder, so it may hold no folder separator ("\\" or "/") and may not be "." or "..".
std::string ReportFileNameFault(const std::string& name);

// The three selections, in file order.
enum EClassicBlock : int { CB_RAW = 0, CB_SINGLE = 1, CB_MULTI = 2, CB_COUNT = 3 };

struct ClassicCabinetRec {
  std::string id;        // NG.1: as written; older layout: "%03ies%05i" of route and milepost
  std::string alias;
  int milepost = 0;      // hundredths of a mile
  std::string location;
  int roadway = 0;       // index into the block's roadways
  bool operator==(const ClassicCabinetRec&) const = default;
};

struct ClassicElementRec {
  std::string name;
  int type = 0;          // 0 loop, 1 speed trap, 2 station, 3 rate/status
  int cabinet = 0;       // index into the block's cabinets
  bool operator==(const ClassicElementRec&) const = default;
};

struct ClassicSelection {
  std::vector<double> dates;           // days since 1899-12-30, ascending, each once
  std::vector<std::string> roadways;   // roadway texts (the route is parsed again from them)
  std::vector<ClassicCabinetRec> cabinets;
  std::vector<ClassicElementRec> elements;
  bool operator==(const ClassicSelection&) const = default;
};

struct ClassicSetup {
  int rawOn = 0, sdsOn = 0, mdsOn = 0;
  std::string rawName = "DEFAULT.DAT", sdsName = "DEFAULT.SDS", mdsName = "DEFAULT.MDS";
  int rawFormat = 0, sdsFormat = 0, mdsFormat = 0;  // 0 text, 1 spreadsheet
  int rawSource = 0;                                // 0 own selection, 1 the single-day one
  int min15 = 0, occLength = 0, flags = 0, daily = 0;
  ClassicSelection sel[CB_COUNT];
  int monthlyDow = 0, yearlyDow = 0, annual = 0;
  std::vector<int> months;        // month-list indexes, 0 = January
  std::vector<int> monthlyDays;   // monthly day-of-week list indexes, 0 = Sunday
  std::vector<int> yearlyDays;    // yearly day-of-week list indexes
  bool operator==(const ClassicSetup&) const = default;
};

enum class ECfgLayout { NG1, Older };

// Largest count of dates, roadways, cabinets or elements that a file may give for one block.
inline constexpr int MAX_CFG_COUNT = 100000;
// Largest configuration file that is read at all.
inline constexpr size_t MAX_CFG_BYTES = 64u << 20;

// The NG.1 text of a set-up, lines ended by "\n" (a text-mode file writes them as CR LF).
// Numbers and dates are written without regard to the process's locale.
std::string FormatClassicConfig(const ClassicSetup& setup);

// Parses a whole file's bytes (lines ended by LF or CR LF). On success fills `out` and, when
// given, `layout`. On failure returns false with a one-line reason in `error` naming the line;
// `out` is then unspecified. Every line must be what the layout puts there: a flag 0 or 1, a
// count or index within its list, a printable name within its field (report names without
// folder parts), a date that is a calendar day. A file that ends early, has more than blank
// lines after its end, or a header of another version is refused.
bool ParseClassicConfig(std::string_view text, ClassicSetup& out, std::string& error,
                        ECfgLayout* layout = nullptr);

// Reads and parses a file; false with a reason (file errors named by their system text).
bool ReadClassicConfigFile(const char* path, ClassicSetup& out, std::string& error);
// Writes a set-up to a file (lines ended by CR LF) as SaveSetupFile does (app/shell/setup_lines.h):
// false with the reason and whether the old file is unchanged.
bool WriteClassicConfigFile(const char* path, const ClassicSetup& setup, std::string& error);

// The older layout's cabinet id: "%03ies%05i" of the roadway's route number and the milepost.
std::string OlderCabinetId(int route, int milepost);
