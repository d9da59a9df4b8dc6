// COutputParams: the "Output Parameters" page: the text and spreadsheet viewer programs, automatic
// opening, the program's own viewer, and the Classic view's three report folders.
#pragma once

#include <string>

#include "app/shell/settings.h"
#include "platform/ui/app.h"
#include "platform/ui/dialog.h"

constexpr UINT IDD_OUTPUT_PARAMS_NEW = 225;
constexpr UINT IDD_OUTPUT_PARAMS_CLASSIC = 227;
constexpr int IDC_RAW_PATH = 1534;
constexpr int IDC_SDS_PATH = 1536;
constexpr int IDC_MDS_PATH = 1538;
constexpr int IDC_TEXT_VIEWER_GROUP = 1595;
constexpr int IDC_TEXT_VIEWER = 1597;
constexpr int IDC_SS_VIEWER = 1598;
constexpr int IDC_BROWSE_TEXT_VIEWER = 1599;
constexpr int IDC_BROWSE_SS_VIEWER = 1600;
constexpr int IDC_BROWSE_RAW_PATH = 1464;
constexpr int IDC_BROWSE_SDS_PATH = 1466;
constexpr int IDC_BROWSE_MDS_PATH = 1468;
constexpr int IDC_USE_CUSTOM_VIEWER = 1458;
constexpr int IDC_AUTO_OPEN = 1460;

class COutputParams : public CPropertyPage {
  DECLARE_DYNCREATE(COutputParams)

 public:
  COutputParams() = default;
  void Construct(UINT templateId, UINT captionId = 0);

  CButton m_grpTextViewer;
  CEdit m_edTextViewer;
  CButton m_btBrowseTextViewer;
  std::string m_strTextViewer;  // TEXTVIEWER
  std::string m_strSsViewer;    // SSVIEWER
  std::string m_strMdsPath;     // MDS_PATH
  std::string m_strRawPath;     // RAWDATA_PATH
  std::string m_strSdsPath;     // SDS_PATH
  int m_bUseCustomViewer = 1;   // USEQAVCUSTOMVIEWER
  int m_bAutoOpen = 0;          // AUTOOPEN

  BOOL OnInitDialog() override;
  void OnOK() override;
  void DoDataExchange(CDataExchange* dx) override;
  void EnableTextViewer(BOOL enable);

  void OnBrowseTextViewer();
  void OnBrowseSsViewer();
  void OnBrowseRawPath();
  void OnBrowseSdsPath();
  void OnBrowseMdsPath();
  void OnCustomViewer();

  void GetSettings(SOutputSettings& s) const;
  void SetSettings(const SOutputSettings& s);

  DECLARE_MESSAGE_MAP()
};

