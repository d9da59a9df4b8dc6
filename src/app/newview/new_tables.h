// The New view's report vocabulary: the 23 data-content items, the summarising and averaging
// methods, the report types, the exclusivity group of every group type, the group types each
// setting excludes, and the cell separator of each output format.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Element-kind mask bits (bit k = element type k) and report-type mask bits (bit t = type t).
constexpr uint8_t KIND_ALL = 255;

struct SContentItem {
  const char* key;         // profile and configuration key
  int checkId;             // check box of the form
  const char* label;       // check-box text
  const char* reportName;  // the name rows print for the content
  uint8_t kinds;           // element kinds it applies to
  uint8_t reportTypes;     // report types it applies to
};

constexpr int CONTENT_ITEMS = 23;
extern const SContentItem g_ContentItems[CONTENT_ITEMS];

constexpr int SUM_METHODS = 9;
constexpr int AVG_METHODS = 6;
constexpr int REPORT_TYPES = 4;
constexpr int GROUP_TYPES = 14;
constexpr int ELEMENT_KINDS = 4;
extern const char* const g_SumMethodNames[SUM_METHODS];
extern const char* const g_AvgMethodNames[AVG_METHODS];
extern const char* const g_ReportTypeNames[REPORT_TYPES];

enum EReportType : int { RT_NORMAL = 0, RT_AM_PEAK = 1, RT_PM_PEAK = 2, RT_TRAVEL_TIME = 3 };
enum EAvgMethod : int { AVG_NONE = 0, AVG_WEEKLY, AVG_MONTHLY_DOW, AVG_MONTHLY, AVG_YEARLY_DOW, AVG_YEARLY };
enum EExclusivity : int { EX_DATES = 0, EX_ELEMENTS = 1, EX_TIME = 2, EX_CONTENT = 3 };

constexpr int DEFAULT_SUM_METHOD = 7;
constexpr int PERIOD_DAY = 4320;       // 20-second units in a day
constexpr int PERIOD_PEAK_MAX = 2160;  // twelve hours
constexpr int FIVE_MINUTES = 15;

inline bool IsPeakType(int reportType) { return reportType == RT_AM_PEAK || reportType == RT_PM_PEAK; }
// The item's report-type mask holds the type.
bool ContentApplies(int code, int reportType);
// The item's kind mask holds the kind.
bool ContentAppliesToKind(int code, int kind);

// Exclusivity group of a key id 0-13 (-1 outside).
int GroupTypeExclusivity(int key);
// A column key and a row key of one exclusivity group (types that may not be split between
// columns and rows): true with the first such pair, false when the two lists split no group.
bool SplitKeyPair(const std::vector<int>& cols, const std::vector<int>& rows, int* colKey, int* rowKey);
// The reason a structure with that pair is refused.
std::string SplitStructureReason(int colKey, int rowKey);
// The date keys an averaging method excludes, as a mask with bit k for key id k (0 outside 0-5).
uint16_t AvgExcludedTypes(int avgMethod);
// The date keys that complete the structure for an averaging method, in order; returns the count.
int AvgCompletionTypes(int avgMethod, int out[3]);

// Blank cell of an output format: 17 spaces for text, one TAB for spreadsheet.
const char* CellSeparator(int outFormat);
