// The New view's form: three columns read left to right. The first says what the report holds
// (report type and data content) and where it goes, the second how the raw data becomes periods
// and which dates and locations it covers, the third how the report is laid out (the source
// keys, columns, rows and separate reports, with the resulting counts). In dialog units on the
// common grid; 693 x 360 fits a 1280 x 800 screen with the usual dialog font, a smaller screen
// scrolls the view.
#include "app/newview/main_new_form.h"

#include "app/newview/new_tables.h"
#include "app/shell/main_dlg.h"
#include "platform/ui/dialog.h"

const int g_NewViewLabels[22] = {IDC_NV_TITLE,          IDC_NV_REPORT_TYPE_LABEL, IDC_NV_DATES_LABEL,   IDC_NV_LOCATIONS_LABEL,
                                 IDC_NV_STATIONS_LABEL, IDC_NV_LOOPS_LABEL,       IDC_NV_TRAPS_LABEL,   IDC_NV_LANES_LABEL,
                                 IDC_NV_CONTENT_LABEL,  IDC_NV_BIN_NOTE,          IDC_NV_PERIOD_LABEL,  IDC_NV_SUM_LABEL,
                                 IDC_NV_AVG_LABEL,      IDC_NV_MINVALID_LABEL,    IDC_NV_STRUCTURE_LABEL, IDC_NV_COLS_LO_LABEL,
                                 IDC_NV_COLS_HI_LABEL,  IDC_NV_ROWS_LO_LABEL,     IDC_NV_ROWS_HI_LABEL, IDC_NV_REPORTS_LABEL,
                                 IDC_NV_OUTPUT_LABEL,   IDC_NV_FORMAT_LABEL};
const int g_NewViewButtons[10] = {IDC_NV_SELECT_DATES, IDC_NV_SELECT_LOCATIONS, IDC_NV_BROWSE,      IDC_NV_COLS_BUTTON,
                                  IDC_NV_ROWS_BUTTON,  IDC_NV_SEPS_BUTTON,      IDC_NV_COLS_REMOVE, IDC_NV_ROWS_REMOVE,
                                  IDC_NV_SEPS_REMOVE,  IDC_NV_PRODUCE};
const int g_NewViewCountLabels[5] = {IDC_NV_COLS_LO_LABEL, IDC_NV_COLS_HI_LABEL, IDC_NV_ROWS_LO_LABEL, IDC_NV_ROWS_HI_LABEL,
                                     IDC_NV_REPORTS_LABEL};

namespace {

constexpr DWORD RO = ES_READONLY | ES_RIGHT | WS_TABSTOP;
constexpr DWORD TAB = WS_TABSTOP;
constexpr DWORD LIST = LBS_NOTIFY | WS_VSCROLL | WS_TABSTOP;

// Column origins and widths.
constexpr int A = 7, AW = 206;    // what: report type, content; where to: output and the run
constexpr int B = 222, BW = 238;  // how: periods and methods; when and where: dates, locations
constexpr int C = 468, CW = 218;  // layout: source keys, columns, rows, separate reports, counts

std::vector<ControlTemplate> Controls() {
  std::vector<ControlTemplate> c = {
      {Ctl::Static, IDC_NV_TITLE, "  DESIGN REPORTS", 0, A, 7, C + CW - A, 14},
      // What: report type and content.
      {Ctl::Static, IDC_NV_REPORT_TYPE_LABEL, "Select the Report Type:", 0, A, 28, AW, 11},
      {Ctl::ComboBox, IDC_NV_REPORT_TYPE, "", CBS_DROPDOWNLIST | TAB, A, 41, 110, 80},
      {Ctl::Static, IDC_NV_CONTENT_LABEL, "Select the Data Content of the Report(s):", 0, A, 60, AW, 24},
  };
  // Content check boxes: pairs in two columns, the four bins across the whole column.
  struct Place { int code, col, row; };
  static const Place places[] = {{0, 0, 0},  {1, 1, 0},  {2, 0, 1},  {3, 1, 1},  {4, 2, 2},  {5, 2, 3},
                                 {6, 2, 4},  {7, 2, 5},  {8, 0, 6},  {9, 1, 6},  {10, 0, 7}, {11, 1, 7},
                                 {12, 0, 8}, {13, 1, 8}, {14, 0, 9}, {15, 1, 9}, {16, 0, 10}, {17, 1, 10}};
  for (const Place& p : places) {
    int x = p.col == 1 ? A + 96 : A;
    int w = p.col == 2 ? AW : (p.col == 1 ? AW - 96 : 92);
    c.push_back({Ctl::CheckBox, g_ContentItems[p.code].checkId, g_ContentItems[p.code].label, TAB | WS_DISABLED, x,
                 86 + 12 * p.row, w, 10});
  }
  // The travel-time items exist but are never shown.
  for (int code = 18; code < CONTENT_ITEMS; ++code)
    c.push_back({Ctl::CheckBox, g_ContentItems[code].checkId, g_ContentItems[code].label, WS_DISABLED, A, 86, 10, 10,
                 WS_VISIBLE});
  std::vector<ControlTemplate> rest = {
      {Ctl::Static, IDC_NV_BIN_NOTE,
       "* Length classification bin definitions shown are as of January 4, 2006 (see online help for more info)",
       WS_DISABLED, A, 220, AW, 36},
      // Where the report goes, and the run.
      {Ctl::Static, IDC_NV_OUTPUT_LABEL, "Specify the Output Filename and Location:", 0, A, 260, AW, 24},
      {Ctl::Edit, IDC_NV_OUTPUT_PATH, "", ES_AUTOHSCROLL | TAB, A, 285, AW - 54, 14},
      {Ctl::PushButton, IDC_NV_BROWSE, "Browse", TAB, A + AW - 50, 285, 50, 14},
      {Ctl::Static, IDC_NV_FORMAT_LABEL, "Select the Output Format:", 0, A, 304, AW, 11},
      {Ctl::Radio, IDC_NV_TEXT_FORMAT, "Text Format", WS_GROUP | TAB, A, 318, 70, 10},
      {Ctl::Radio, IDC_NV_SHEET_FORMAT, "Spreadsheet Format", 0, A + 74, 318, 100, 10},
      {Ctl::PushButton, IDC_NV_PRODUCE, "Produce Report(s)", TAB, A, 333, AW, 20},
      // How: periods and methods.
      {Ctl::Static, IDC_NV_PERIOD_LABEL, "Specify the Duration of the Basic Reporting Period:", 0, B, 28, BW, 24},
      {Ctl::Edit, IDC_NV_PERIOD, "", TAB, B, 53, 50, 14},
      {Ctl::Spin, IDC_NV_PERIOD_SPIN, "", UDS_AUTOBUDDY | UDS_ARROWKEYS, B + 50, 53, 10, 14},
      {Ctl::Static, IDC_NV_SUM_LABEL, "Select the Method for Summarizing the Raw Data into the Basic Reporting Periods:", 0, B,
       72, BW, 24},
      {Ctl::ComboBox, IDC_NV_SUM_METHOD, "", CBS_DROPDOWNLIST | TAB, B, 97, BW, 120},
      {Ctl::Static, IDC_NV_AVG_LABEL, "Select the Method for Averaging Individual Dates Together:", 0, B, 116, BW, 24},
      {Ctl::ComboBox, IDC_NV_AVG_METHOD, "", CBS_DROPDOWNLIST | TAB, B, 141, 120, 90},
      {Ctl::Static, IDC_NV_MINVALID_LABEL, "Select the Minimum Validity Percentage for the Daily Average: ", WS_DISABLED, B, 160,
       BW, 24},
      {Ctl::Edit, IDC_NV_MINVALID, "", TAB | WS_DISABLED, B, 185, 50, 14},
      {Ctl::Spin, IDC_NV_MINVALID_SPIN, "", WS_DISABLED, B + 50, 185, 10, 14},
      // When and where: dates and locations with their counts.
      {Ctl::Static, IDC_NV_DATES_LABEL, "Select Dates to Report On:", 0, B, 204, BW, 11},
      {Ctl::PushButton, IDC_NV_SELECT_DATES, "Select Dates", TAB, B, 216, 70, 14},
      {Ctl::Edit, IDC_NV_DATES, "", RO, B + BW - 50, 216, 50, 14},
      {Ctl::Static, IDC_NV_LOCATIONS_LABEL, "Select Locations and Data Elements to Report On:", 0, B, 235, BW, 24},
      {Ctl::PushButton, IDC_NV_SELECT_LOCATIONS, "Select Locations", TAB, B, 260, 70, 14},
      {Ctl::Edit, IDC_NV_ELEMENTS, "", RO, B + BW - 50, 260, 50, 14},
      {Ctl::Static, IDC_NV_LOOPS_LABEL, "Loops:", 0, B + 20, 280, 120, 11},
      {Ctl::Edit, IDC_NV_LOOPS, "", RO, B + BW - 50, 279, 50, 13},
      {Ctl::Static, IDC_NV_TRAPS_LABEL, "Speed Traps:", 0, B + 20, 297, 120, 11},
      {Ctl::Edit, IDC_NV_TRAPS, "", RO, B + BW - 50, 296, 50, 13},
      {Ctl::Static, IDC_NV_STATIONS_LABEL, "Stations:", 0, B + 20, 314, 120, 11},
      {Ctl::Edit, IDC_NV_STATIONS, "", RO, B + BW - 50, 313, 50, 13},
      {Ctl::Static, IDC_NV_LANES_LABEL, "Metered Lanes:", 0, B + 20, 331, 120, 11},
      {Ctl::Edit, IDC_NV_LANES, "", RO, B + BW - 50, 330, 50, 13},
      // Layout: source keys, the three structure lists, the counts.
      {Ctl::Static, IDC_NV_STRUCTURE_LABEL,
       "Specify the Report Structure and Order (Right-Click on Lists to Change Ascending/Descending): ", 0, C, 28, CW, 34},
      {Ctl::ListBox, IDC_NV_SOURCE, "", LIST, C, 66, 76, 140},
      {Ctl::PushButton, IDC_NV_COLS_BUTTON, "Cols >", TAB, C + 80, 66, 40, 14},
      {Ctl::ListBox, IDC_NV_COLS, "", LIST, C + 124, 66, 76, 42},
      {Ctl::PushButton, IDC_NV_COLS_REMOVE, "<", TAB, C + 204, 66, 14, 14},
      {Ctl::PushButton, IDC_NV_ROWS_BUTTON, "Rows >", TAB, C + 80, 115, 40, 14},
      {Ctl::ListBox, IDC_NV_ROWS, "", LIST, C + 124, 115, 76, 42},
      {Ctl::PushButton, IDC_NV_ROWS_REMOVE, "<", TAB, C + 204, 115, 14, 14},
      {Ctl::PushButton, IDC_NV_SEPS_BUTTON, "Separate\n  Report  >\nFor Each", BS_MULTILINE | TAB, C + 80, 164, 40, 30},
      {Ctl::ListBox, IDC_NV_SEPS, "", LIST, C + 124, 164, 76, 42},
      {Ctl::PushButton, IDC_NV_SEPS_REMOVE, "<", TAB, C + 204, 164, 14, 14},
      {Ctl::Static, IDC_NV_COLS_LO_LABEL, "Cols (Lo)", 0, C, 220, 52, 11},
      {Ctl::Edit, IDC_NV_COLS_LO, "", RO, C + 54, 219, 50, 13},
      {Ctl::Static, IDC_NV_COLS_HI_LABEL, "Cols (Hi)", 0, C + 114, 220, 52, 11},
      {Ctl::Edit, IDC_NV_COLS_HI, "", RO, C + 168, 219, 50, 13},
      {Ctl::Static, IDC_NV_ROWS_LO_LABEL, "Rows (Lo)", 0, C, 238, 52, 11},
      {Ctl::Edit, IDC_NV_ROWS_LO, "", RO, C + 54, 237, 50, 13},
      {Ctl::Static, IDC_NV_ROWS_HI_LABEL, "Rows (Hi)", 0, C + 114, 238, 52, 11},
      {Ctl::Edit, IDC_NV_ROWS_HI, "", RO, C + 168, 237, 50, 13},
      {Ctl::Static, IDC_NV_REPORTS_LABEL, "Reports", 0, C, 256, 52, 11},
      {Ctl::Edit, IDC_NV_REPORTS, "", RO, C + 54, 255, 50, 13},
  };
  c.insert(c.end(), rest.begin(), rest.end());
  return c;
}

const DialogTemplate kForm{IDD_MAIN_NEW, "", C + CW + 7, 360, Controls()};
const DialogTemplate kStatusMsgs{IDD_STATUS_MSGS,
                                 "Status Messages",
                                 300,
                                 120,
                                 {{Ctl::ListBox, IDC_NV_STATUS_LIST, "", WS_VSCROLL | WS_HSCROLL | LBS_NOINTEGRALHEIGHT, 0, 0, 300, 120}},
                                 "Courier New",
                                 8,
                                 WS_THICKFRAME | WS_MINIMIZEBOX | WS_SYSMENU | WS_CAPTION};

const bool kRegistered = (RegisterDialogTemplate(&kForm), RegisterDialogTemplate(&kStatusMsgs), true);

}  // namespace

bool NewViewTemplatesRegistered() { return kRegistered; }
