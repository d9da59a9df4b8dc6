// The Classic view's form (template 200) and the "View" dialog (template 217), in dialog units.
// Three blocks side by side, each with OFF/ON, its file name, Text/Spreadsheet and its selection;
// GO across the form under them, the status list at the bottom.
#include "app/classic/main_classic.h"

namespace {

// Controls of one block's first two rows: OFF, ON, file name; Text, Spreadsheet.
void AddBlockHead(std::vector<ControlTemplate>& c, int x, int off, int on, int name, int text, int sheet) {
  c.push_back({Ctl::CheckBox, off, "OFF", BS_PUSHLIKE | WS_TABSTOP | WS_GROUP, x, 19, 26, 14});
  c.push_back({Ctl::CheckBox, on, "ON", BS_PUSHLIKE | WS_TABSTOP, x + 29, 19, 26, 14});
  c.push_back({Ctl::Edit, name, "", ES_AUTOHSCROLL | WS_TABSTOP, x + 58, 19, 78, 14});
  c.push_back({Ctl::Radio, text, "Text", WS_GROUP | WS_TABSTOP, x, 38, 36, 10});
  c.push_back({Ctl::Radio, sheet, "Spreadsheet", 0, x + 40, 38, 60, 10});
}

// A selection row: label, read-only count, Change and (when given) View, 4 units apart and
// filling the block's 136 units; the label column is wide enough for "Elements:".
void AddSelectionRow(std::vector<ControlTemplate>& c, int x, int y, int label, const char* text, int count,
                     int change, int view) {
  c.push_back({Ctl::Static, label, text, 0, x, y + 3, 36, 8});
  c.push_back({Ctl::Edit, count, "", ES_READONLY | ES_RIGHT, x + 40, y, 22, 14});
  c.push_back({Ctl::PushButton, change, "Change", WS_TABSTOP, x + 66, y, 33, 14});
  if (view) c.push_back({Ctl::PushButton, view, "View", WS_TABSTOP, x + 103, y, 33, 14});
}

DialogTemplate MakeClassicForm() {
  DialogTemplate t{IDD_MAIN_CLASSIC, "", 474, 303, {}};
  auto& c = t.controls;
  // Raw data.
  c.push_back({Ctl::GroupBox, IDC_STATIC, "Raw Data", 0, 7, 7, 150, 181});
  AddBlockHead(c, 14, IDC_RAW_OFF, IDC_RAW_ON, IDC_RAW_NAME, IDC_RAW_TEXT, IDC_RAW_SHEET);
  c.push_back({Ctl::Radio, IDC_RAW_OWN, "Own Dates and Elements", WS_GROUP | WS_TABSTOP, 14, 54, 130, 10});
  c.push_back({Ctl::Radio, IDC_RAW_USE_SDS, "", 0, 14, 68, 10, 10});
  c.push_back({Ctl::Static, IDC_RAW_USE_SDS_TEXT, "Use Single Day Summary Dates and Elements Parameters", 0, 26, 67,
               124, 16});
  AddSelectionRow(c, 14, 90, IDC_RAW_DATES_LABEL, "Dates:", IDC_RAW_DATES, IDC_RAW_CHANGE_DATES, IDC_RAW_VIEW_DATES);
  AddSelectionRow(c, 14, 108, IDC_RAW_ELEMS_LABEL, "Elements:", IDC_RAW_ELEMS, IDC_RAW_CHANGE_ELEMS,
                  IDC_RAW_VIEW_ELEMS);
  // Single-day summaries.
  c.push_back({Ctl::GroupBox, IDC_STATIC, "Single Day Summaries", 0, 162, 7, 150, 181});
  AddBlockHead(c, 169, IDC_SDS_OFF, IDC_SDS_ON, IDC_SDS_NAME, IDC_SDS_TEXT, IDC_SDS_SHEET);
  c.push_back({Ctl::CheckBox, IDC_SDS_DAILY, "Daily Summary", WS_TABSTOP | WS_GROUP, 169, 54, 100, 10});
  c.push_back({Ctl::CheckBox, IDC_SDS_15MIN, "15 Minute Summary", WS_TABSTOP, 169, 66, 100, 10});
  c.push_back({Ctl::CheckBox, IDC_SDS_OCC, "Occ / Length", WS_TABSTOP, 181, 78, 90, 10});
  c.push_back({Ctl::CheckBox, IDC_SDS_FLAGS, "Flags", WS_TABSTOP, 181, 90, 90, 10});
  AddSelectionRow(c, 169, 108, IDC_STATIC, "Dates:", IDC_SDS_DATES, IDC_SDS_CHANGE_DATES, IDC_SDS_VIEW_DATES);
  AddSelectionRow(c, 169, 126, IDC_STATIC, "Elements:", IDC_SDS_ELEMS, IDC_SDS_CHANGE_ELEMS, IDC_SDS_VIEW_ELEMS);
  // Multi-day summaries.
  c.push_back({Ctl::GroupBox, IDC_STATIC, "Multiple Day Summaries", 0, 317, 7, 150, 181});
  AddBlockHead(c, 324, IDC_MDS_OFF, IDC_MDS_ON, IDC_MDS_NAME, IDC_MDS_TEXT, IDC_MDS_SHEET);
  AddSelectionRow(c, 324, 52, IDC_STATIC, "Year:", IDC_MDS_YEAR, IDC_MDS_CHANGE_YEAR, 0);
  AddSelectionRow(c, 324, 70, IDC_STATIC, "Elements:", IDC_MDS_ELEMS, IDC_MDS_CHANGE_ELEMS, IDC_MDS_VIEW_ELEMS);
  c.push_back({Ctl::CheckBox, IDC_MDS_MONTHLY, "Monthly Day-of-Week", WS_TABSTOP | WS_GROUP, 324, 87, 100, 10});
  c.push_back({Ctl::CheckBox, IDC_MDS_YEARLY, "Yearly Day-of-Week", WS_TABSTOP, 324, 98, 100, 10});
  c.push_back({Ctl::CheckBox, IDC_MDS_ANNUAL, "Annual Values", WS_TABSTOP, 324, 109, 100, 10});
  const DWORD multi = LBS_MULTICOLUMN | LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT | WS_BORDER | WS_TABSTOP;
  // Three lines a column inside the border, so the twelve months (four columns) and the seven
  // days (three) show without scrolling.
  c.push_back({Ctl::ListBox, IDC_MDS_MONTHS, "", multi, 324, 121, 136, 30});
  c.push_back({Ctl::ListBox, IDC_MDS_MONTHLY_DAYS, "", multi, 324, 154, 66, 30});
  c.push_back({Ctl::ListBox, IDC_MDS_YEARLY_DAYS, "", multi, 394, 154, 66, 30});
  // GO and the status list.
  c.push_back({Ctl::PushButton, IDC_GO, "---GO!---", WS_TABSTOP, 7, 195, 460, 16});
  c.push_back({Ctl::ListBox, IDC_STATUS_LIST, "", WS_VSCROLL | WS_HSCROLL | WS_BORDER | LBS_NOINTEGRALHEIGHT, 7, 216, 460, 80});
  return t;
}

const DialogTemplate kClassicForm = MakeClassicForm();

const DialogTemplate kViewDlg{IDD_VIEW_LIST,
                              "View",
                              186,
                              170,
                              {
                                  {Ctl::ListBox, IDC_VIEW_LIST, "", WS_VSCROLL | WS_BORDER | WS_TABSTOP, 7, 7, 172, 134},
                                  {Ctl::DefPushButton, IDOK, "OK", WS_TABSTOP, 129, 149, 50, 14},
                              }};

}  // namespace

void RegisterClassicTemplates() {
  RegisterDialogTemplate(&kClassicForm);
  RegisterDialogTemplate(&kViewDlg);
}
