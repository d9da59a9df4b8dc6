// CGeneralParams: the "General Parameters" page of the "Parameter Settings" sheet: where the
// archive is read from (a CD-ROM drive or folder, or another path) and whether the next start shows
// the Classic view. Accepting the page sets the archive root and the disc-request window at once.
#pragma once

#include <string>

#include "app/shell/settings.h"
#include "platform/ui/app.h"
#include "platform/ui/dialog.h"

constexpr UINT IDD_GENERAL_PARAMS_NEW = 229;
constexpr UINT IDD_GENERAL_PARAMS_CLASSIC = 226;
constexpr int IDC_CDROM_PATH = 1434;
constexpr int IDC_OTHER_PATH = 1436;
constexpr int IDC_SOURCE_CDROM = 1438;
constexpr int IDC_SOURCE_OTHER = 1440;
constexpr int IDC_USE_CLASSIC = 1458;
constexpr int IDC_BROWSE_CDROM = 1460;
constexpr int IDC_BROWSE_OTHER = 1462;

class CGeneralParams : public CPropertyPage {
  DECLARE_DYNCREATE(CGeneralParams)

 public:
  CGeneralParams() = default;
  // The page on its template (229 New view, 226 Classic view), with the help flag.
  void Construct(UINT templateId, UINT captionId = 0);

  CEdit m_edOtherPath;
  CEdit m_edCdromPath;
  CButton m_btBrowseOther;
  CButton m_btBrowseCdrom;
  std::string m_strCdromPath;  // CDROM_PATH, at most 260 characters
  std::string m_strOtherPath;  // OTHER_PATH, at most 260 characters
  int m_nSource = 1;           // radio group at 1438: 0 CD-ROM, 1 Other (CDROM_INDEX)
  int m_bUseClassic = 0;       // USE_CLASSIC

  BOOL OnInitDialog() override;
  void OnOK() override;
  void DoDataExchange(CDataExchange* dx) override;

  void OnBrowseDisc();
  void OnBrowseOther();
  void OnSourceDisc();
  void OnSourceOther();
  void OnUseClassic();

  // The values as settings, and back (the view base reads and writes the profile through them).
  void GetSettings(SGeneralSettings& s) const;
  void SetSettings(const SGeneralSettings& s);

  DECLARE_MESSAGE_MAP()

 private:
  // The source and the other path as the page showed them when it opened.
  int m_nShownSource = 1;
  std::string m_strShownOtherPath;
};

// What accepting the page does to the globals: both paths gain a trailing separator; source 0 makes
// the CD-ROM path the archive root and the main window (or none) the disc-request window, any
// other source the other path and no window.
void ApplyArchiveSource(std::string& cdromPath, std::string& otherPath, int source, HWND mainWindow);

