#include "app/viewer/viewer.h"

#include <cstdio>
#include <unistd.h>
#include <fstream>

#include "../classic/headless_fixture.h"
#include "platform/ui/app.h"
#include "platform/ui/input.h"

namespace {

namespace input = qav::ui::input;

const char* kTitleA = "ES-101D:_MN___1  I-5          Station Rd         12.34";
const char* kTitleB = "ES-101D:_MS___2  I-5          Station Rd         12.34";
const char* kTitleC = "ES-200R:_MN___1  SR 520       Oak Hill            1.00";

std::string RawDay(const char* title, const char* date) {
  std::string s = std::string(title) + "\r\n" + date + "\r\n\r\n   Time   Vol  Occ\r\n";
  for (int i = 0; i < 288; ++i) s += "ES-00  12  3.4\r\n";
  return s;
}

class ViewerTest : public HeadlessTest {
 protected:
  std::string Write(const char* name, const std::string& text) {
    std::string path = ::testing::TempDir() + std::to_string(::getpid()) + "_" + name;
    std::ofstream(path, std::ios::binary) << text;
    paths.push_back(path);
    return path;
  }
  void TearDown() override {
    for (const auto& p : paths) std::remove(p.c_str());
    HeadlessTest::TearDown();
  }
  static int Top(CListBox& l) { return l.GetTopIndex(); }
  std::vector<std::string> paths;
};

std::vector<std::string> Lines(CListBox& l) {
  std::vector<std::string> out;
  for (int i = 0; i < l.GetCount(); ++i) out.push_back(l.GetTextString(i));
  return out;
}

TEST_F(ViewerTest, OpensARawListingAndFindsTheChosenDay) {
  std::string path = Write("viewer_raw.dat", RawDay(kTitleA, "01/05/2003 (Sun)") + RawDay(kTitleB, "01/05/2003 (Sun)") +
                                                  RawDay(kTitleA, "01/06/2003 (Mon)") + RawDay(kTitleC, "01/05/2003 (Sun)"));
  {
    CViewer viewer;
    ASSERT_TRUE(viewer.ViewReportFile(path.c_str(), false, CWnd::GetDesktopWindow()));
    EXPECT_EQ(viewer.m_nFileType, VFT_RAW);
    EXPECT_EQ(viewer.m_nLineCount, 4 * 292);
    EXPECT_EQ(viewer.m_strStatus, "Normal");
    EXPECT_TRUE(viewer.IsZoomed());  // opened by the user: maximised
    // The path field shows the path's end, so the file's name stays readable; the field keeps the
    // whole path.
    const std::string shown = Text(::GetDlgItem(viewer.m_hWnd, IDC_VIEWER_PATH));
    EXPECT_LE(shown.size(), 27u);
    EXPECT_TRUE(viewer.m_strFilePath.ends_with(shown.substr(shown.size() > 24 ? 3 : 0))) << shown;
    // ... as given: a path upper-cased would name no file.
    EXPECT_EQ(viewer.m_strFilePath, path);
    EXPECT_TRUE(shown.ends_with("_viewer_raw.dat")) << shown;
    EXPECT_EQ(viewer.GetWindowText(), std::to_string(::getpid()) + "_viewer_raw.dat");
    EXPECT_EQ(Lines(viewer.m_lstCabinets).size(), 2u);
    EXPECT_EQ(Lines(viewer.m_lstElements), (std::vector<std::string>{"_MN___1", "_MS___2"}));
    EXPECT_EQ(Lines(viewer.m_lstSections), (std::vector<std::string>{"01/05/2003 (Sun)", "01/06/2003 (Mon)"}));
    // Enter in the section list runs the search and is consumed.
    input::SelectLine(viewer.m_lstSections.m_hWnd, 1);
    EXPECT_TRUE(input::Key(viewer.m_lstSections.m_hWnd, VK_RETURN));
    EXPECT_EQ(Top(viewer.m_lstText), 2 * 292);
    EXPECT_TRUE(::IsWindow(viewer.m_hWnd));
    // A double-click on the second cabinet shows its element and searches for it.
    input::SelectLine(viewer.m_lstCabinets.m_hWnd, 1);
    EXPECT_EQ(Lines(viewer.m_lstElements), (std::vector<std::string>{"_MN___1"}));
    input::SelectLine(viewer.m_lstSections.m_hWnd, 0);
    input::DoubleClickLine(viewer.m_lstCabinets.m_hWnd, 1);
    EXPECT_EQ(Top(viewer.m_lstText), 3 * 292);
    // A second report opens in a second viewer; the first stays as it was.
    std::string sds = Write("viewer_two.SDS", std::string(kTitleC) + "\n01/05/2003 (Sun)\n\n     ---Daily\n");
    ASSERT_TRUE(viewer.ViewReportFile(sds.c_str(), true, nullptr));
    ASSERT_TRUE(viewer.m_pNextViewer);
    EXPECT_EQ(viewer.m_pNextViewer->m_nFileType, VFT_SDS);
    EXPECT_EQ(Lines(viewer.m_pNextViewer->m_lstSections), (std::vector<std::string>{"01/05/2003 (Sun)  Daily"}));
    EXPECT_EQ(viewer.m_nLineCount, 4 * 292);
    viewer.OnOK();
    EXPECT_FALSE(::IsWindow(viewer.m_hWnd));
  }
  EXPECT_TRUE(boxes.empty());
}

TEST_F(ViewerTest, FindsTheSectionsOfACabinetNamedByItsId) {
  const char* kNoAlias = "005es01000:_MW___1  I-90  Nowhere    5.00";
  std::string path = Write("viewer_id.sds", std::string(kTitleA) + "\n01/05/2003 (Sun)\n\n     ---Daily\n" + kNoAlias +
                                                "\n01/05/2003 (Sun)\n\n     ---Daily\n" + kNoAlias +
                                                "\n01/06/2003 (Mon)\n\n     ---Daily\n");
  CViewer viewer;
  ASSERT_TRUE(viewer.ViewReportFile(path.c_str(), true, nullptr));
  input::SelectLine(viewer.m_lstCabinets.m_hWnd, 1);
  EXPECT_EQ(Lines(viewer.m_lstElements), (std::vector<std::string>{"_MW___1"}));
  input::SelectLine(viewer.m_lstSections.m_hWnd, 0);
  EXPECT_TRUE(input::Key(viewer.m_lstElements.m_hWnd, VK_RETURN));
  EXPECT_EQ(Top(viewer.m_lstText), 4);
  viewer.FillSectionList();
  input::SelectLine(viewer.m_lstSections.m_hWnd, 1);
  EXPECT_TRUE(input::Key(viewer.m_lstSections.m_hWnd, VK_RETURN));
  EXPECT_EQ(Top(viewer.m_lstText), 8);
  // Back to the first cabinet: its section is the file's first line.
  input::SelectLine(viewer.m_lstCabinets.m_hWnd, 0);
  input::SelectLine(viewer.m_lstSections.m_hWnd, 0);
  EXPECT_TRUE(input::Key(viewer.m_lstCabinets.m_hWnd, VK_RETURN));
  EXPECT_EQ(Top(viewer.m_lstText), 0);
  viewer.Close();
}

TEST_F(ViewerTest, UnknownEndingAndMissingFileGiveTheirBoxes) {
  CViewer viewer;
  EXPECT_FALSE(viewer.ViewReportFile("/tmp/report.txt", false, nullptr));
  EXPECT_FALSE(viewer.ViewReportFile("/tmp/report.txt", true, nullptr));
  std::string missing = ::testing::TempDir() + std::to_string(::getpid()) + "_no_such_report.mds";
  EXPECT_FALSE(viewer.ViewReportFile(missing.c_str(), false, nullptr));
  EXPECT_FALSE(::IsWindow(viewer.m_hWnd));
  EXPECT_EQ(boxes, (std::vector<std::string>{"Unknown file type...must have proper extension (*.dat, *.sds, *.mds)",
                                             "Unable to open input file"}));
}

TEST_F(ViewerTest, EmptyFileOpensEmpty) {
  std::string path = Write("viewer_empty.mds", "");
  CViewer viewer;
  ASSERT_TRUE(viewer.ViewReportFile(path.c_str(), true, nullptr));
  EXPECT_EQ(viewer.m_nLineCount, 0);
  EXPECT_EQ(viewer.m_lstCabinets.GetCount(), 0);
  viewer.OnFind();
  viewer.Close();
}

TEST_F(ViewerTest, ClosingFreesTheReportsTextAndIndex) {
  std::string path = Write("viewer_close.dat", RawDay(kTitleA, "01/05/2003 (Sun)") + RawDay(kTitleB, "01/05/2003 (Sun)"));
  CViewer viewer;
  ASSERT_TRUE(viewer.ViewReportFile(path.c_str(), false, CWnd::GetDesktopWindow()));
  ASSERT_EQ(viewer.m_sections.size(), 2u);
  // Closed from its own button, inside a handler of the window.
  input::Click(::GetDlgItem(viewer.m_hWnd, IDOK));
  EXPECT_EQ(viewer.m_hWnd, nullptr);
  EXPECT_TRUE(viewer.m_sections.empty());
  EXPECT_TRUE(viewer.m_cabinets.empty());
  EXPECT_EQ(viewer.m_nLineCount, 0);
}

// Opened after a run, a large report shows its own wait dialog: what it reads, the bar over the
// file's bytes, and Cancel, which closes the viewer.
TEST_F(ViewerTest, ALargeReportShowsItsReadingAndCanBeCancelled) {
  std::string text;
  while (text.size() < kQuietWaitBytes) text += RawDay(kTitleA, "01/05/2003 (Sun)");
  std::string path = Write("viewer_large.dat", text);
  CViewer viewer;
  bool seen = false;
  qav::ui::PostTask([&] {
    CWaitDialog* wait = viewer.m_pWait;
    ASSERT_NE(wait, nullptr);
    seen = true;
    EXPECT_TRUE(::IsWindowVisible(wait->m_hWnd));
    EXPECT_EQ(wait->GetWindowText(), "Opening the Report");
    EXPECT_NE(Text(::GetDlgItem(wait->m_hWnd, IDC_WAIT_MESSAGE)).find("_viewer_large.dat"), std::string::npos);
    int lower = 0, upper = 0;
    wait->m_wndProgress.GetRange(lower, upper);
    EXPECT_GT(upper, lower);
    input::Click(::GetDlgItem(wait->m_hWnd, IDCANCEL));
  });
  EXPECT_FALSE(viewer.ViewReportFile(path.c_str(), true, CWnd::GetDesktopWindow()));
  EXPECT_TRUE(seen);
  EXPECT_EQ(viewer.m_hWnd, nullptr);
  EXPECT_EQ(viewer.m_pWait, nullptr);
  EXPECT_TRUE(viewer.m_sections.empty());
  EXPECT_TRUE(boxes.empty());
}

const DialogTemplate kMainTemplate{9301, "Main", 100, 50, {}};

TEST_F(ViewerTest, ARunKeepsTheMainWindowDisabled) {
  RegisterDialogTemplate(&kMainTemplate);
  CWinApp app("viewer test");
  CDialog main;
  ASSERT_TRUE(main.Create(9301));
  app.m_pMainWnd = &main;
  std::string path = Write("viewer_run.dat", RawDay(kTitleA, "01/05/2003 (Sun)"));
  {
    CViewer viewer;
    ::EnableWindow(main.m_hWnd, FALSE);  // the run's wait dialog holds it
    ASSERT_TRUE(viewer.ViewReportFile(path.c_str(), true, nullptr));
    EXPECT_TRUE(::IsWindowVisible(viewer.m_hWnd));  // opened by a run: shown, at its own size
    EXPECT_FALSE(viewer.IsZoomed());
    EXPECT_FALSE(::IsWindowEnabled(main.m_hWnd));
    viewer.OnOK();
    EXPECT_FALSE(::IsWindowEnabled(main.m_hWnd));
    ::EnableWindow(main.m_hWnd, TRUE);  // the run ends
    ASSERT_TRUE(viewer.ViewReportFile(path.c_str(), true, nullptr));
    EXPECT_TRUE(::IsWindowEnabled(main.m_hWnd));  // an open viewer leaves the main window usable
  }
  app.m_pMainWnd = nullptr;
  main.DestroyWindow();
}

}  // namespace
