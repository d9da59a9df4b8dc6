// A dialog with one control of every kind, laid out on the dialog grid. The Qt control tests and
// the screenshot tool show it.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/dialog.h"

namespace demo {

enum : int {
  IDC_NAME = 3001, IDC_COUNT, IDC_SPIN, IDC_TIME, IDC_KIND, IDC_AUTO, IDC_TEXT, IDC_SHEET,
  IDC_LIST, IDC_SLIDER, IDC_PROGRESS, IDC_RICH, IDC_COLOUR, IDC_PUSH, IDC_ICON
};

inline const DialogTemplate kDemo{
    9300, "Every Control", 260, 188,
    {
        {Ctl::GroupBox, IDC_STATIC, "Input", 0, 7, 8, 120, 86},
        {Ctl::Static, IDC_STATIC, "Name:", 0, 14, 22, 40, 8},
        {Ctl::Edit, IDC_NAME, "", 0, 58, 19, 62, 14},
        {Ctl::Static, IDC_STATIC, "Count:", 0, 14, 40, 40, 8},
        {Ctl::Edit, IDC_COUNT, "", ES_RIGHT, 58, 37, 50, 14},
        {Ctl::Spin, IDC_SPIN, "", 0, 108, 37, 10, 14},
        {Ctl::Static, IDC_STATIC, "Start:", 0, 14, 58, 40, 8},
        {Ctl::DateTime, IDC_TIME, "", 0, 58, 55, 40, 14},
        {Ctl::Static, IDC_STATIC, "Kind:", 0, 14, 76, 40, 8},
        {Ctl::ComboBox, IDC_KIND, "", 0, 58, 73, 62, 60},
        {Ctl::GroupBox, IDC_STATIC, "Options", 0, 7, 101, 120, 42},
        {Ctl::CheckBox, IDC_AUTO, "Auto-open output", 0, 14, 112, 100, 10},
        {Ctl::Radio, IDC_TEXT, "Text", WS_GROUP, 14, 126, 45, 10},
        {Ctl::Radio, IDC_SHEET, "Spreadsheet", 0, 62, 126, 58, 10},
        {Ctl::ListBox, IDC_LIST, "", WS_GROUP, 134, 8, 119, 64},
        {Ctl::Slider, IDC_SLIDER, "", 0, 134, 76, 119, 15},
        {Ctl::Progress, IDC_PROGRESS, "", 0, 134, 98, 119, 10},
        {Ctl::RichEdit, IDC_RICH, "", 0, 134, 115, 119, 28},
        {Ctl::Icon, IDC_ICON, "#32516", 0, 7, 150, 14, 14},
        {Ctl::PushButton, IDC_PUSH, "&Push", 0, 27, 150, 50, 14},
        {Ctl::PushButton, IDC_COLOUR, "Colour", BS_OWNERDRAW, 81, 150, 50, 14},
        {Ctl::DefPushButton, IDOK, "OK", 0, 149, 167, 50, 14},
        {Ctl::PushButton, IDCANCEL, "Cancel", 0, 203, 167, 50, 14},
    }};

class ColourButton : public CButton {
 public:
  void DrawItem(LPDRAWITEMSTRUCT dis) override {
    CDC* dc = CDC::FromHandle(dis->hDC);
    bool pressed = (dis->itemState & ODS_SELECTED) != 0;
    dc->FillSolidRect(&dis->rcItem, pressed ? RGB(0, 0, 64) : RGB(0, 0, 100));
    dc->Draw3dRect(&dis->rcItem, RGB(255, 255, 255), RGB(0, 0, 0));
    dc->SetTextColor(RGB(255, 255, 255));
    RECT r = dis->rcItem;
    dc->DrawText("Colour", &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
};

class DemoDlg : public CDialog {
 public:
  DemoDlg() : CDialog(9300) {}
  std::vector<std::string> notices;
  std::string m_name = "Station 12";
  int m_count = 5;
  int m_auto = 1;
  int m_format = 0;
  ColourButton m_colour;
  CListBox m_list;

  void DoDataExchange(CDataExchange* dx) override {
    DDX_Control(dx, IDC_COLOUR, m_colour);
    DDX_Control(dx, IDC_LIST, m_list);
    DDX_Text(dx, IDC_NAME, m_name);
    DDX_Text(dx, IDC_COUNT, m_count);
    DDX_Check(dx, IDC_AUTO, m_auto);
    DDX_Radio(dx, IDC_TEXT, m_format);
  }
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    for (const char* t : {"I-5 North", "I-5 South", "SR 520 East", "SR 520 West", "I-90 East"}) m_list.AddString(t);
    auto* kind = static_cast<CComboBox*>(GetDlgItem(IDC_KIND));
    for (const char* t : {"Daily", "Weekly", "Monthly"}) kind->AddString(t);
    kind->SetCurSel(0);
    auto* spin = static_cast<CSpinButtonCtrl*>(GetDlgItem(IDC_SPIN));
    spin->SetRange32(0, 10);
    auto* slider = static_cast<CSliderCtrl*>(GetDlgItem(IDC_SLIDER));
    slider->SetRange(0, 12);
    slider->SetPos(4);
    auto* progress = static_cast<CProgressCtrl*>(GetDlgItem(IDC_PROGRESS));
    progress->SetRange32(0, 100);
    progress->SetPos(40);
    SYSTEMTIME t;
    t.wHour = 6;
    t.wMinute = 30;
    static_cast<CDateTimeCtrl*>(GetDlgItem(IDC_TIME))->SetTime(&t);
    auto* rich = static_cast<CRichEditCtrl*>(GetDlgItem(IDC_RICH));
    CHARFORMAT cf;
    cf.dwMask = CFM_BOLD;
    cf.dwEffects = CFE_BOLD;
    rich->SetSelectionCharFormat(cf);
    rich->ReplaceSel("Bold ");
    cf.dwMask = CFM_BOLD | CFM_COLOR;
    cf.dwEffects = 0;
    cf.crTextColor = RGB(200, 0, 0);
    rich->SetSelectionCharFormat(cf);
    rich->ReplaceSel("and red text.");
    return TRUE;
  }
  void OnPush() { notices.push_back("push"); }
  void OnListSel() { notices.push_back("sel " + std::to_string(m_list.GetCurSel())); }
  DECLARE_MESSAGE_MAP()
};

// One source file of each program defines QAV_DEMO_IMPL before including this header.
#ifdef QAV_DEMO_IMPL
BEGIN_MESSAGE_MAP(DemoDlg, CDialog)
  ON_BN_CLICKED(IDC_PUSH, &DemoDlg::OnPush)
  ON_LBN_SELCHANGE(IDC_LIST, &DemoDlg::OnListSel)
END_MESSAGE_MAP()
#endif

}  // namespace demo
