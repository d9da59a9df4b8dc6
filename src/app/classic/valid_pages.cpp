#include "app/classic/valid_pages.h"

#include <cstdlib>

namespace {

// Edit and slider of the ten 16-bit values, in value order (VV_RUNNING_MIN_G ... VV_TOTAL_MAX_D).
const int kValidEdits[10] = {1347, 1348, 1349, 1350, 1343, 1344, 1355, 1356, 1360, 1363};
const int kValidSliders[10] = {1295, 1296, 1297, 1298, 1293, 1294, 1299, 1300, 1304, 1306};

// Rows of a group: label, slider, edit, "of" and maximum label, one row every 16 units.
struct Row {
  int label, slider, edit, of, max;
  const char* text;
};
void AddRow(std::vector<ControlTemplate>& c, const Row& r, int y) {
  c.push_back({Ctl::Static, r.label, r.text, 0, 14, y + 3, 72, 8});
  c.push_back({Ctl::Slider, r.slider, "", WS_TABSTOP, 88, y, 118, 14});
  c.push_back({Ctl::Edit, r.edit, "", ES_RIGHT | WS_TABSTOP, 210, y, 30, 14});
  c.push_back({Ctl::Static, r.of, "of", 0, 244, y + 3, 10, 8});
  c.push_back({Ctl::Static, r.max, "", SS_RIGHT, 256, y + 3, 20, 8});
}

DialogTemplate MakeValidTemplate() {
  DialogTemplate t{IDD_VALID, "Validity Flag Settings", 420, 241, {}};
  auto& c = t.controls;
  // Each group's check box, just inside the frame's top, names the group; the frames carry no
  // caption of their own so the text does not stand twice.
  c.push_back({Ctl::GroupBox, 1323, "", 0, 7, 7, 279, 128});
  c.push_back({Ctl::CheckBox, 1291, "Perform Running Flag Check", WS_TABSTOP, 14, 19, 150, 10});
  const Row running[] = {{1324, 1293, 1343, 1330, 1337, "Step Size"},      {1325, 1294, 1344, 1331, 1338, "Width"},
                         {1326, 1295, 1347, 1332, 1339, "Minimum 'good'"},  {1327, 1296, 1348, 1333, 1340, "Maximum 'suspect'"},
                         {1328, 1297, 1349, 1334, 1341, "Maximum 'bad'"},   {1329, 1298, 1350, 1335, 1342, "Maximum 'disabled'"}};
  for (int i = 0; i < 6; ++i) AddRow(c, running[i], 33 + 16 * i);
  c.push_back({Ctl::GroupBox, 1310, "", 0, 7, 142, 279, 92});
  c.push_back({Ctl::CheckBox, 1292, "Perform Total Flag Check", WS_TABSTOP, 14, 154, 150, 10});
  const Row total[] = {{1311, 1299, 1355, 1315, 1319, "Minimum 'good'"}, {1312, 1300, 1356, 1316, 1320, "Maximum 'suspect'"},
                       {1313, 1304, 1360, 1317, 1321, "Maximum 'bad'"},  {1314, 1306, 1363, 1318, 1322, "Maximum 'disabled'"}};
  for (int i = 0; i < 4; ++i) AddRow(c, total[i], 168 + 16 * i);
  c.push_back({Ctl::GroupBox, 1308, "", 0, 293, 7, 120, 128});
  c.push_back({Ctl::CheckBox, 1290, "Use Suspect Data", WS_TABSTOP, 300, 19, 100, 10});
  c.push_back({Ctl::Static, 1309,
               "Check this item if you want 'suspect' data to be aggregated as if it were good data.  "
               "Otherwise, 'suspect' data are averaged over in the same manner as 'bad' and 'disabled' data.",
               0, 300, 35, 106, 90});
  return t;
}

// The six multi-day values in value order (MV_ASWT_INVALID ...): edit and slider.
const int kDaysEdits[MV_COUNT] = {1365, 1359, 1362, 1393, 1405, 1399};
const int kDaysSliders[MV_COUNT] = {1307, 1303, 1305, 1390, 1401, 1396};

DialogTemplate MakeValidDaysTemplate() {
  // The two opening lines read as one paragraph; groups and texts 4 units apart, so the last group
  // ends 8 units above the page's bottom.
  DialogTemplate t{IDD_VALID_DAYS, "Multi-Day", 420, 241, {}};
  auto& c = t.controls;
  auto row = [&](int slider, int edit, const char* label, const char* of, int y) {
    c.push_back({Ctl::Static, IDC_STATIC, label, 0, 21, y + 3, 90, 8});
    c.push_back({Ctl::Slider, slider, "", WS_TABSTOP, 115, y, 150, 14});
    c.push_back({Ctl::Edit, edit, "", ES_RIGHT | WS_TABSTOP, 269, y, 30, 14});
    c.push_back({Ctl::Static, IDC_STATIC, "of", 0, 303, y + 3, 10, 8});
    c.push_back({Ctl::Static, IDC_STATIC, of, SS_RIGHT, 315, y + 3, 12, 8});
  };
  c.push_back({Ctl::Static, IDC_STATIC,
               "These settings only apply to yearly summaries of daily data.  Below, set the maximum number of "
               "invalid values at each aggregation level.",
               0, 7, 7, 406, 16});
  c.push_back({Ctl::Static, IDC_STATIC,
               "For each month, QAV first aggregates the month's daily data into 7 day-of-the-week values.", 0, 7,
               23, 406, 8});
  c.push_back({Ctl::GroupBox, IDC_STATIC, "Days to Monthly Day-Of-Week", 0, 7, 35, 406, 50});
  row(1390, 1393, "Maximum 'invalid' days", "5", 46);
  row(1401, 1405, "Maximum 'missing' days", "5", 64);
  c.push_back({Ctl::Static, IDC_STATIC,
               "Then for each day-of-the-week, QAV aggregates all 12 day-of-the-week values into a yearly "
               "day-of-the-week value.",
               0, 7, 89, 406, 16});
  c.push_back({Ctl::GroupBox, IDC_STATIC, "Monthly Day-Of-Week to Yearly Day-Of-Week", 0, 7, 109, 406, 32});
  row(1396, 1399, "Maximum 'invalid' days", "12", 120);
  c.push_back({Ctl::Static, IDC_STATIC,
               "Finally, QAV aggregates the 7 yearly day-of-the-week values into ASWT (Average Standard Weekday "
               "Traffic, T-Th), AWDT (Average WeekDay Traffic), and AADT (Average Annual Daily Traffic) values.",
               0, 7, 145, 406, 16});
  c.push_back({Ctl::GroupBox, IDC_STATIC, "Yearly Day-Of-Week to Annual Average Values", 0, 7, 165, 406, 68});
  row(1303, 1359, "Max 'invalid' (AWDT)", "5", 176);
  row(1305, 1362, "Max 'invalid' (AADT)", "7", 194);
  row(1307, 1365, "Max 'invalid' (ASWT)", "3", 212);
  return t;
}

const DialogTemplate kValidTemplate = MakeValidTemplate();
const DialogTemplate kValidDaysTemplate = MakeValidDaysTemplate();

void EnableIds(CWnd& page, int first, int last, bool on) {
  for (int id = first; id <= last; ++id)
    if (CWnd* w = page.GetDlgItem(id)) w->EnableWindow(on);
}

int EditInteger(CWnd& page, int id) {
  std::string text;
  page.GetDlgItemText(id, text);
  return std::atoi(text.c_str());
}

}  // namespace

// ---- CValid ----

BEGIN_MESSAGE_MAP(CValid, CPropertyPage)
  ON_WM_HSCROLL()
  ON_CONTROL_RANGE(EN_KILLFOCUS, 1343, 1363, &CValid::OnEditKillFocus)
  ON_BN_CLICKED(1291, &CValid::OnRunningCheck)
  ON_BN_CLICKED(1292, &CValid::OnTotalCheck)
  ON_BN_CLICKED(1290, &CValid::OnSuspectCheck)
END_MESSAGE_MAP()

int CValid::EditId(int value) { return value >= VV_RUNNING_MIN_G && value < VV_COUNT ? kValidEdits[value - VV_RUNNING_MIN_G] : 0; }
int CValid::SliderId(int value) { return value >= VV_RUNNING_MIN_G && value < VV_COUNT ? kValidSliders[value - VV_RUNNING_MIN_G] : 0; }

void CValid::Setup(int kind) {
  RegisterDialogTemplate(&kValidTemplate);
  Construct(IDD_VALID);
  m_nKind = kind;
  m_title = SummaryKindTitle(kind);
  m_psp.pszTitle = m_title.c_str();
  m_psp.dwFlags |= PSP_USETITLE | PSP_HASHELP;
}

BOOL CValid::OnInitDialog() {
  CPropertyPage::OnInitDialog();
  const int m = SummaryWindowLength(m_nKind);
  const std::string max = std::to_string(m);
  for (int id = 1337; id <= 1342; ++id) SetDlgItemText(id, max.c_str());
  for (int id = 1319; id <= 1322; ++id) SetDlgItemText(id, max.c_str());
  for (int v = VV_RUNNING_MIN_G; v < VV_COUNT; ++v) {
    CSliderCtrl& s = m_sliders[v - VV_RUNNING_MIN_G];
    int lo = 0, hi = 0;
    ValidityRange(m_nKind, v, lo, hi);
    s.SetRange(lo, hi);
    s.SetPos(m_values.v[v]);
    s.SetTicFreq(m == 12 ? 1 : 12);
  }
  EnableRunning(IsDlgButtonChecked(1291) != 0);
  EnableTotal(IsDlgButtonChecked(1292) != 0);
  EnableSuspect(IsDlgButtonChecked(1290) != 0);
  return TRUE;
}

void CValid::DoDataExchange(CDataExchange* dx) {
  CPropertyPage::DoDataExchange(dx);
  for (int i = 0; i < 10; ++i) DDX_Control(dx, kValidSliders[i], m_sliders[i]);
  DDX_Check(dx, 1291, m_values.v[VV_RUNNING]);
  DDX_Check(dx, 1292, m_values.v[VV_TOTAL]);
  DDX_Check(dx, 1290, m_values.v[VV_USE_SUSPECT]);
  // The 16-bit values, each checked against the kind's range right after its exchange.
  for (int v = VV_RUNNING_MIN_G; v < VV_COUNT; ++v) {
    auto s = static_cast<short>(m_values.v[v]);
    DDX_Text(dx, EditId(v), s);
    int lo = 0, hi = 0;
    ValidityRange(m_nKind, v, lo, hi);
    DDV_MinMaxShort(dx, s, static_cast<short>(lo), static_cast<short>(hi));
    if (dx->m_bSaveAndValidate && !dx->m_bFailed) m_values.v[v] = s;
  }
}

void CValid::OnHScroll(UINT, UINT, CScrollBar*) {
  for (int v = VV_RUNNING_MIN_G; v < VV_COUNT; ++v)
    SetDlgItemInt(EditId(v), static_cast<UINT>(m_sliders[v - VV_RUNNING_MIN_G].GetPos()));
  Default();
}

void CValid::OnEditKillFocus(UINT id) {
  for (int v = VV_RUNNING_MIN_G; v < VV_COUNT; ++v)
    if (EditId(v) == static_cast<int>(id)) m_sliders[v - VV_RUNNING_MIN_G].SetPos(EditInteger(*this, static_cast<int>(id)));
}

void CValid::EnableRunning(bool on) {
  EnableIds(*this, 1323, 1335, on);
  EnableIds(*this, 1337, 1344, on);
  EnableIds(*this, 1347, 1350, on);
  EnableIds(*this, 1293, 1298, on);
}

void CValid::EnableTotal(bool on) {
  EnableIds(*this, 1310, 1322, on);
  for (int id : {1355, 1356, 1360, 1363, 1299, 1300, 1304, 1306}) EnableIds(*this, id, id, on);
}

void CValid::EnableSuspect(bool on) {
  EnableIds(*this, 1308, 1309, on);
}

void CValid::OnRunningCheck() { EnableRunning(IsDlgButtonChecked(1291) != 0); }
void CValid::OnTotalCheck() { EnableTotal(IsDlgButtonChecked(1292) != 0); }
void CValid::OnSuspectCheck() { EnableSuspect(IsDlgButtonChecked(1290) != 0); }

// ---- CValidDays ----

BEGIN_MESSAGE_MAP(CValidDays, CPropertyPage)
  ON_WM_HSCROLL()
  ON_CONTROL_RANGE(EN_KILLFOCUS, 1359, 1405, &CValidDays::OnEditKillFocus)
END_MESSAGE_MAP()

int CValidDays::EditId(int value) { return value >= 0 && value < MV_COUNT ? kDaysEdits[value] : 0; }
int CValidDays::SliderId(int value) { return value >= 0 && value < MV_COUNT ? kDaysSliders[value] : 0; }

void CValidDays::Setup(const char* title) {
  RegisterDialogTemplate(&kValidDaysTemplate);
  Construct(IDD_VALID_DAYS);
  m_title = title ? title : "";
  m_psp.pszTitle = m_title.c_str();
  m_psp.dwFlags |= PSP_USETITLE | PSP_HASHELP;
}

BOOL CValidDays::OnInitDialog() {
  CPropertyPage::OnInitDialog();
  for (int v = 0; v < MV_COUNT; ++v) {
    m_sliders[v].SetRange(0, MultiMaximum(v));
    m_sliders[v].SetPos(m_values.v[v]);
    m_sliders[v].SetTicFreq(1);
  }
  return TRUE;
}

void CValidDays::DoDataExchange(CDataExchange* dx) {
  CPropertyPage::DoDataExchange(dx);
  for (int v = 0; v < MV_COUNT; ++v) DDX_Control(dx, kDaysSliders[v], m_sliders[v]);
  for (int v = 0; v < MV_COUNT; ++v) {
    DDX_Text(dx, kDaysEdits[v], m_values.v[v]);
    DDV_MinMaxInt(dx, m_values.v[v], 0, MultiMaximum(v));
  }
}

void CValidDays::OnHScroll(UINT, UINT, CScrollBar*) {
  for (int v = 0; v < MV_COUNT; ++v) SetDlgItemInt(kDaysEdits[v], static_cast<UINT>(m_sliders[v].GetPos()));
  Default();
}

void CValidDays::OnEditKillFocus(UINT id) {
  for (int v = 0; v < MV_COUNT; ++v)
    if (kDaysEdits[v] == static_cast<int>(id)) m_sliders[v].SetPos(EditInteger(*this, static_cast<int>(id)));
}
