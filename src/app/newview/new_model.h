// The New view's report design: its settings, the date and element selection, the date groups,
// the per-kind counts, the periods per day, the four key lists and the rules that change them
// (moves, exclusions, structure completion, the split rule of Data Content and Element), the
// text parsers of the period and minimum-validity edits, and the layout estimate. The form
// (CMainNew) derives from it and wires its controls to these operations; nothing here needs a
// window, so the whole design runs and is tested without a display.
#pragma once

#include <cstdint>
#include <string>

#include "app/newview/grp_type_list.h"
#include "app/newview/new_tables.h"
#include "containers/obj_array.h"
#include "containers/scalar_array.h"
#include "trafficdata/date_time_ex.h"
#include "trafficdata/db_element.h"

struct NewSettings;

// Outcome of the rule that Data Content and Element may be split between columns and rows
// only in reports separated by Element Type.
enum class ESplitRule { Satisfied, ElementTypeAdded, Refused };

class CNewReportModel {
 public:
  CNewReportModel();
  virtual ~CNewReportModel();
  CNewReportModel(const CNewReportModel&) = delete;
  CNewReportModel& operator=(const CNewReportModel&) = delete;

  // Settings.
  int m_nOutFormat = 1;
  std::string m_strOutputPath = "default.txt";
  std::string m_strPeriod;
  std::string m_strMinValidity;
  int m_nSumMethod = DEFAULT_SUM_METHOD;
  int m_nAvgMethod = AVG_NONE;
  int m_nReportType = RT_NORMAL;
  int m_bContent[CONTENT_ITEMS] = {};
  int m_nPeriodLen = 1;
  int m_nPeriodStep = 1;
  int m_nPeriodMax = PERIOD_DAY;
  int m_nMinValidity = 0;

  // Counts shown by the view.
  int m_nReports = 1, m_nColsLo = 1, m_nColsHi = 1, m_nRowsLo = 1, m_nRowsHi = 1;
  int64_t m_nColsHiWide = 1;  // the unsaturated column estimate, for the >256 warning
  int m_nDates = 0;
  int m_nElements = 0;
  int m_nElemsPerKind[ELEMENT_KINDS] = {};
  int m_nContentPerKind[ELEMENT_KINDS] = {};
  int m_nPeriodsPerDay = 1;
  int m_nCombinations = 0;

  // Selection and groups.
  CObjArray<CDateTimeEx> m_arrDates;
  CObjArray<CDBRoadway> m_arrRoadways;
  CObjArray<CDBCabinet> m_arrCabinets;
  CObjArray<CDBElementEx> m_arrElements;
  CObjArray<CScalarArray<int>> m_arrDateGroups;

  // Report structure.
  CSrcGrpTypeList m_lstSource;
  CGrpTypeList m_lstCols, m_lstRows, m_lstSeps;

  // Recounts.
  void CountElementsPerKind();
  void CountContentPerKind();
  void PeriodsPerDay();
  void GroupSelectedDates();
  void RecomputeReportLayout();
  int TotalGroupedDates() const;

  // Texts of the two edits from their values.
  void FormatPeriodText();
  void FormatMinValidityText();
  // The largest period follows the report type; a longer period is cut to it (text rewritten).
  void ApplyPeriodMax();

  // Edits and spins. Each returns true when the value changed; the text is rewritten always.
  bool ParsePeriodText(const std::string& text);
  bool ParseMinValidityText(const std::string& text);
  bool StepPeriod(int delta);
  bool StepMinValidity(int delta);
  // Element loader finished with this many periods a day; true when the period changed and the
  // view must recount and redraw.
  bool ElementsLoaded(int periodsPerDay);

  // Structure moves. A move into the columns or rows fails (returning false) when the other of
  // the two lists holds a key of the same exclusivity group, whose id goes to *conflict.
  bool MoveToList(int key, CGrpTypeList& target, const CGrpTypeList& other, int* conflict);
  void MoveToSeps(int key);
  void RemoveFromList(CGrpTypeList& list, int index);
  // Key placed in a structure list (0-13), false otherwise.
  bool IsPlaced(int key) const;

  // Averaging and report-type changes: old types come back, new ones leave every list.
  void ChangeAveraging(int newMethod);
  void ChangeReportType(int newType);
  // Takes the excluded keys (Time for a peak type, the averaging method's date types) out of the
  // source list or whichever structure list holds them.
  void ExcludeTypes();

  // A column key and a row key of one exclusivity group, which the moves never allow; false
  // when the structure splits no group.
  bool SplitGroup(int* colKey, int* rowKey) const;
  // The split rule of the run; may move Element Type into the separate reports.
  ESplitRule CheckSplitRule();
  // Appends every unplaced completion key to the separate reports: Time (when withTime),
  // Data Content, Element and the averaging method's date types.
  void CompleteStructure(bool withTime);
  void CompleteTime();

  // Key values of the layout estimate.
  int64_t DateKeyValue(int dateIndex, int key) const;

  // Everything the row builders need, filled for one run (the date pointers stay valid while
  // the selection is unchanged).
  void FillNewSettings(NewSettings& s) const;

  // Settings read from outside are brought into range: enumerations to their defaults, step
  // to 1 or 15, length into [step, max] (into [1, max] without `withStep`: a design read from
  // a file keeps its period until the user changes it or five-minute data loads), minimum
  // validity into [0, 1000].
  void ClampSettings(bool withStep = true);

 protected:
  // Some checked applicable content item does not apply to a kind with selected elements.
  int FirstPartialContent() const;
  void ExcludeKey(int key);
};

// Text of a period of v 20-second units ("%02i:%02i:%02i").
std::string FormatPeriod(int v);
// Text of a minimum validity in tenths of a percent ("%i.%i %").
std::string FormatMinValidity(int v);
// Parsed period in seconds, -1 for text whose value overflows.
int64_t ParsePeriodSeconds(const std::string& text);
// Parsed minimum validity in tenths, -1 when above 1000 (or overflowing).
int ParseMinValidity(const std::string& text);
