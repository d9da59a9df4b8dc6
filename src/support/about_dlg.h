// CAboutDlg: the program's about box. It shows the build date and time, the values of the
// program's version block (each version control's template text names the value that replaces
// it), three pictures and a heading with two link labels.
#pragma once

#include "containers/str.h"
#include "support/label.h"
#include "support/mfcex_dialog.h"

constexpr UINT IDD_ABOUTBOX = 135;
constexpr int IDC_ABOUT_SUPPORT = 2023;       // heading "Bugs, Comments, Tech Support:"
constexpr int IDC_ABOUT_FILE_VERSION = 2024;  // "File Version a.b.c.d"
constexpr int IDC_ABOUT_FIRST_KEY = 2026;     // 2026-2033: version-block keys
constexpr int IDC_ABOUT_LAST_KEY = 2033;
constexpr int IDC_ABOUT_LINK1 = 2031;
constexpr int IDC_ABOUT_LINK2 = 2033;
constexpr int IDC_ABOUT_BUILT = 2034;
constexpr int IDC_ABOUT_PICTURE_ICON = 2046;   // picture 142, the program's icon
constexpr int IDC_ABOUT_PICTURE_ROAD = 2047;   // picture 144
constexpr int IDC_ABOUT_PICTURE_CHART = 2048;  // picture 145

// A picture of the about box, drawn in code.
class CAboutPicture : public CButton {
 public:
  explicit CAboutPicture(int resourceId = 0) : m_nResource(resourceId) {}
  void DrawItem(LPDRAWITEMSTRUCT dis) override;
  int m_nResource;
};

class CAboutDlg : public CMFCExDialog {
 public:
  // The build date and time as the compiler gives them ("Mmm DD YYYY", "HH:MM:SS").
  CAboutDlg(const char* buildDate, const char* buildTime, CWnd* parent = nullptr);

  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;

  CLabel m_wndSupport;  // 2023
  CLabel m_wndLink1;    // 2031
  CLabel m_wndLink2;    // 2033
  CStrA m_strBuilt;
  CAboutPicture m_pictures[3] = {CAboutPicture(142), CAboutPicture(144), CAboutPicture(145)};
};
