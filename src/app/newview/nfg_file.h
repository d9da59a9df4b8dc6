// The New view's configuration file (*.nfg): the design and the date and element selection as
// one value a line. Only the NG.2 layout is written; NG.2, NG.1 and the older headerless layout
// are read. A read fills a plain record and either succeeds completely or leaves nothing half
// done: the caller commits the record to the view only after a successful read.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct SNfgCabinet {
  std::string id, alias, location;
  int milepost = 0;
  int roadway = 0;  // index into the roadways
};

struct SNfgElement {
  std::string name;
  int type = 0;
  int cabinet = 0;  // index into the cabinets
};

struct SNfgKey {
  int key = 0;
  bool ascending = true;
};

struct SNewConfig {
  std::string outputPath;
  int outFormat = 0;
  int reportType = 0;
  std::vector<double> dates;  // day numbers, ascending and without repeats after a read
  std::vector<std::string> roadways;
  std::vector<SNfgCabinet> cabinets;
  std::vector<SNfgElement> elements;
  int avgMethod = 0;
  int minValidity = 0;
  int periodLen = 0;  // 20-second units
  int sumMethod = 0;
  int content[23] = {};
  std::vector<SNfgKey> lists[3];  // columns, rows, separate reports
};

enum { NFG_COLS = 0, NFG_ROWS = 1, NFG_SEPS = 2 };

extern const char* const NFG_HEADER_NG2;
extern const char* const NFG_HEADER_NG1;

// The NG.2 text of a configuration, with CR LF line ends.
std::string WriteNewConfig(const SNewConfig& cfg);

// Reads any of the three layouts, chosen by the first line. False, with a reason naming the
// line, unless every line is what the layout puts there: numbers within their ranges (counts,
// indices inside their blocks, element types 0-3, settings within their choices, key ids 0-13
// each placed once), printable texts within their fields, dates that are calendar days, and
// nothing but blank lines after the last list. An empty file, a header of another version and a
// structure that splits a type group between columns and rows are refused with their reasons.
bool ReadNewConfig(std::string_view text, SNewConfig& out, std::string* error);
