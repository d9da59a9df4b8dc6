#include "app/newview/new_tables.h"

#include "trafficdata/db_record.h"

namespace {
constexpr uint8_t LS = 5, ST = 2, ML = 8, NT = 7;  // loop+station, speed trap, metered lane, not lane
constexpr uint8_t ALL_TYPES = 255, PEAKS = 6, TT = 8;
}  // namespace

const SContentItem g_ContentItems[CONTENT_ITEMS] = {
    {"CONT_VOL", 1404, "Volume", "Volume", LS, ALL_TYPES},
    {"CONT_OCC", 1398, "Occupancy", "Occupancy", LS, ALL_TYPES},
    {"CONT_SPD", 1399, "Speed", "Speed", ST, ALL_TYPES},
    {"CONT_LEN", 1392, "Vehicle Length", "Length", ST, ALL_TYPES},
    {"CONT_BIN1", 1405, "Length Classification Bin 1 (0.0' - 20.0') *", "Bin 1", ST, ALL_TYPES},
    {"CONT_BIN2", 1406, "Length Classification Bin 2 (20.1' - 42.0') *", "Bin 2", ST, ALL_TYPES},
    {"CONT_BIN3", 1407, "Length Classification Bin 3 (42.1' - 72.0') *", "Bin 3", ST, ALL_TYPES},
    {"CONT_BIN4", 1408, "Length Classification Bin 4 (72.1' - 115.0') *", "Bin 4", ST, ALL_TYPES},
    {"CONT_NPDS", 1396, "# Periods", "# Periods", KIND_ALL, ALL_TYPES},
    {"CONT_VALIDITYPCT", 1394, "Validity %", "Validity", KIND_ALL, ALL_TYPES},
    {"CONT_NDAYS", 1395, "# Days in Average", "# Days in Avg", KIND_ALL, ALL_TYPES},
    {"CONT_VALIDITYFLAG", 1401, "Validity Flag", "Valid Flag", KIND_ALL, ALL_TYPES},
    {"CONT_CALCSPD", 1414, "Calculated Speed", "Calc Speed", LS, ALL_TYPES},
    {"CONT_ESTLEN", 1417, "Estimated Vehicle Length", "Est Length", LS, ALL_TYPES},
    {"CONT_MTRRATE", 1409, "Meter Rate", "Meter Rate", ML, ALL_TYPES},
    {"CONT_MTRSTS", 1410, "Meter Status", "Meter Status", ML, ALL_TYPES},
    {"CONT_REDVIOL", 1411, "Red Violator Count", "Red Violators", ML, ALL_TYPES},
    {"CONT_PEAKTIME", 1400, "Peak Time", "Peak Time", KIND_ALL, PEAKS},
    {"CONT_TTCUMUL", 1403, "Travel Time (Cumulative)", "TT (Cumul)", NT, TT},
    {"CONT_TTSEG", 1412, "Travel Time (Segment)", "TT (Segment)", NT, TT},
    {"CONT_SEGSTTIME", 1413, "Segment Start Time", "Seg Start Tm", NT, TT},
    {"CONT_DISTCUMUL", 1415, "Distance (Cumulative)", "Dist (Cumul)", NT, TT},
    {"CONT_DISTSEG", 1416, "Distance (Segment)", "Dist (Seg)", NT, TT},
};

const char* const g_SumMethodNames[SUM_METHODS] = {
    "Sum/Avg Only Good",
    "Sum/Avg Good and Suspect",
    "Sum/Avg All",
    "Sum/Avg All, Sub Average Good for Bad/Suspect",
    "Sum/Avg All, Sub Average Good/Suspect for Bad",
    "Sum/Avg All, Sub Average Good for Bad",
    "Sum/Avg All, Sub Closest Good for Bad/Suspect",
    "Sum/Avg All, Sub Closest Good/Suspect for Bad",
    "Sum/Avg All, Sub Closest Good for Bad",
};

const char* const g_AvgMethodNames[AVG_METHODS] = {
    "Single-day (none)", "Weekly", "Monthly Day-of-Week", "Monthly", "Yearly Day-of-Week", "Yearly",
};

const char* const g_ReportTypeNames[REPORT_TYPES] = {"Normal", "AM Peak", "PM Peak", "Travel Time"};

bool ContentApplies(int code, int reportType) {
  if (code < 0 || code >= CONTENT_ITEMS || reportType < 0 || reportType > 7) return false;
  return (g_ContentItems[code].reportTypes >> reportType) & 1;
}

bool ContentAppliesToKind(int code, int kind) {
  if (code < 0 || code >= CONTENT_ITEMS || kind < 0 || kind > 7) return false;
  return (g_ContentItems[code].kinds >> kind) & 1;
}

int GroupTypeExclusivity(int key) {
  if (key == GK_CONTENT) return EX_CONTENT;
  if (key == GK_TIME) return EX_TIME;
  if (key >= GK_DATE && key <= GK_YEAR) return EX_DATES;
  if (key >= GK_ELEMENT && key <= GK_ROADWAY) return EX_ELEMENTS;
  return -1;
}

uint16_t AvgExcludedTypes(int avgMethod) {
  constexpr uint16_t DATE = 1u << GK_DATE, DOW = 1u << GK_DAY_OF_WEEK, WEEK = 1u << GK_WEEK,
                     MONTH = 1u << GK_MONTH;
  switch (avgMethod) {
    case AVG_WEEKLY: return DOW | DATE;
    case AVG_MONTHLY_DOW: return WEEK | DATE;
    case AVG_MONTHLY: return WEEK | DOW | DATE;
    case AVG_YEARLY_DOW: return MONTH | WEEK | DATE;
    case AVG_YEARLY: return MONTH | WEEK | DOW | DATE;
    default: return 0;
  }
}

int AvgCompletionTypes(int avgMethod, int out[3]) {
  int n = 0;
  if (avgMethod == AVG_NONE) {
    out[n++] = GK_DATE;
    return n;
  }
  if (avgMethod < AVG_WEEKLY || avgMethod > AVG_YEARLY) return 0;
  out[n++] = GK_YEAR;
  if (avgMethod == AVG_WEEKLY) out[n++] = GK_WEEK;
  if (avgMethod == AVG_MONTHLY_DOW || avgMethod == AVG_MONTHLY) out[n++] = GK_MONTH;
  if (avgMethod == AVG_MONTHLY_DOW || avgMethod == AVG_YEARLY_DOW) out[n++] = GK_DAY_OF_WEEK;
  return n;
}

const char* CellSeparator(int outFormat) { return outFormat == 1 ? "\t" : "                 "; }

bool SplitKeyPair(const std::vector<int>& cols, const std::vector<int>& rows, int* colKey, int* rowKey) {
  for (int c : cols)
    for (int r : rows)
      if (GroupTypeExclusivity(c) == GroupTypeExclusivity(r)) {
        *colKey = c;
        *rowKey = r;
        return true;
      }
  return false;
}

std::string SplitStructureReason(int colKey, int rowKey) {
  return std::string("the columns hold \"") + GroupKeyName(colKey) + "\" and the rows \"" + GroupKeyName(rowKey) +
         "\": the two types can't be split between columns and rows";
}
