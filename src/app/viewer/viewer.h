// CViewer: the program's own viewer of Classic reports (template 218, "Text Viewer"). It shows a
// report line by line in a fixed-pitch font, indexes the report's sections and lets the user pick
// a cabinet, one of its elements and a section and have the text scrolled to it. Viewers form a
// chain: opening a report while this viewer shows one opens it in the next viewer without a window.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/viewer/viewer_text.h"
#include "support/wait_dialog.h"
#include "platform/ui/dialog.h"

constexpr UINT IDD_VIEWER = 218;
// A report at least this large shows its wait dialog also when opened after a run.
constexpr uint64_t kQuietWaitBytes = uint64_t{8} << 20;
constexpr UINT IDI_QAV = 233;

enum : int {
  IDC_VIEWER_CABINETS = 1400,
  IDC_VIEWER_ELEMENTS = 1403,
  IDC_VIEWER_SECTIONS = 1217,
  IDC_VIEWER_FIND = 1457,
  IDC_VIEWER_PATH = 1228,
  IDC_VIEWER_STATUS = 1215,
  IDC_VIEWER_LINES = 1456,
  IDC_VIEWER_TEXT = 1652,
  // The group boxes around the path, the status and the line count (ids of their own, so that the
  // layout can move them).
  IDC_VIEWER_PATH_GROUP = 1460,
  IDC_VIEWER_STATUS_GROUP = 1461,
  IDC_VIEWER_LINES_GROUP = 1462,
};

// The viewer's text list: the report's lines, appended as they are read (the list box keeps them
// compactly, so its lines are the viewer's only copy of the text).
class CViewerTextList : public CListBox {
 public:
  // False when the list has no room for the line (memory ran out).
  bool Append(std::string_view line) {
    m_buffer.assign(line);
    return AddString(m_buffer.c_str()) != LB_ERRSPACE;
  }
  int LineCount() const { return GetCount(); }
  void ScrollTo(int line) { SetTopIndex(line); }

 private:
  std::string m_buffer;
};

class CViewer : public CDialog {
 public:
  CViewer() = default;
  ~CViewer() override;

  // Opens the report in this viewer or, when this viewer has a window, in the first viewer of
  // the chain without one. Quiet (automatic opening after a run): no message boxes and the wait
  // dialog hidden. True when the report is shown.
  bool ViewReportFile(const char* path, bool quiet, CWnd* parent);

  void OnOK() override;
  void OnCancel() override;
  // Gives back the viewer's hold on the main window (if any), frees the report's text and index
  // and destroys the viewer's window.
  void Close();
  void OnFind();
  void OnSelchangeCabinetList();
  void FillSectionList();
  void OnSize(UINT type, int cx, int cy);
  // The window is not made smaller than the template: below it the buttons and fields at the
  // right would leave the window.
  void OnGetMinMaxInfo(MINMAXINFO* info);
  BOOL PreTranslateMessage(MSG* msg) override;
  void DoDataExchange(CDataExchange* dx) override;

  CListBox m_lstElements;
  CListBox m_lstSections;
  CListBox m_lstCabinets;
  CViewerTextList m_lstText;
  std::string m_strStatus;
  std::string m_strFilePath;
  int m_nLineCount = 0;
  std::unique_ptr<CViewer> m_pNextViewer;
  int m_nFileType = VFT_RAW;
  std::vector<SViewerSection> m_sections;  // the indexed sections, in file order
  std::vector<std::string> m_cabinets;     // the cabinet of each line of the cabinet list
  CWaitDialog* m_pWait = nullptr;          // while a report is read: the wait dialog that shows it

 private:
  bool Open(const char* path, bool quiet, CWnd* parent);
  std::string ChosenCabinet();
  // The controls' places in the template (client pixels) and the client size they were made for;
  // OnSize lays the controls out from them.
  void RememberLayout();
  CRect Placed(int id) const;
  struct SPlaced {
    int id;
    CRect rect;
  };
  std::vector<SPlaced> m_layout;
  CSize m_baseSize = CSize(0, 0);
  void HoldMain(bool hold);
  bool m_bHoldsMain = false;
  DECLARE_MESSAGE_MAP()
};
