// The New view on the headless window system: its controls change the design, the checks
// before a run report in the status window, and a run started from the form writes the report.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <unistd.h>
#include <sys/stat.h>
#include <filesystem>
#include <sstream>

#include "app/newview/main_new.h"
#include "app/newview/main_new_form.h"
#include "app/newview/newview_fixture.h"
#include "app/shell/app_test_env.h"
#include "app/shell/filling_file.h"
#include "app/shell/main_frame.h"
#include "app/shell/short_of_memory.h"
#include "app/shell/qav_app.h"
#include "archive/archive_globals.h"
#include "archive/sample_archive.h"
#include "platform/file_size_limit.h"
#include "platform/kernel/address_space.h"
#include "platform/ui/input.h"

namespace {

namespace ui = qav::ui;
namespace input = qav::ui::input;

class NewViewTest : public AppUiTest {
 protected:
  void Start() {
    ASSERT_TRUE(app_.InitInstance());
    frame_ = dynamic_cast<CMainFrame*>(app_.m_pMainWnd);
    ASSERT_NE(frame_, nullptr);
    view_ = dynamic_cast<CMainNew*>(frame_->GetActiveView());
    ASSERT_NE(view_, nullptr);
  }
  void TearDown() override {
    if (frame_ != nullptr && ::IsWindow(frame_->m_hWnd)) frame_->DestroyWindow();
    AppUiTest::TearDown();
  }
  HWND Item(int id) { return view_->GetDlgItem(id)->GetSafeHwnd(); }
  std::string Text(int id) { return view_->GetDlgItem(id)->GetWindowText(); }
  std::string Line(int id, int line) {
    CListBox* list = static_cast<CListBox*>(view_->GetDlgItem(id));
    return list->GetTextString(line);
  }
  int Lines(int id) { return static_cast<int>(::SendMessage(Item(id), LB_GETCOUNT)); }
  std::string LastStatus() {
    int n = view_->m_lbStatus.GetCount();
    return n > 0 ? view_->m_lbStatus.GetTextString(n - 1) : "";
  }
  // Selects a source line by its text and clicks a move button.
  void Move(const char* name, int button) {
    int line = static_cast<int>(::SendMessage(Item(IDC_NV_SOURCE), LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                              reinterpret_cast<LPARAM>(name)));
    ASSERT_GE(line, 0) << name;
    input::SelectLine(Item(IDC_NV_SOURCE), line);
    input::Click(Item(button));
  }

  // A three-day archive of 1994, the view started on it, and a design that reports daily volume
  // of the archive's first loop on two days (OLE dates) into `report`, read from a file.
  void StartOnDesign(const std::string& report, const char* day1, const char* day2) {
    SampleArchiveOptions o;
    o.root = folder_ / "archive/";
    o.years = {1994};
    o.elements = 8;
    o.days = 3;
    o.uniformDays = true;
    ASSERT_EQ(WriteSampleArchive(o), 0);
    Start();
    g_DataRootPath.Set(o.root.c_str());
    auto elements = SampleElements(1994, 8);
    cab_ = elements[0].key.substr(0, 10);
    name_ = elements[0].key.substr(11);
    std::ofstream(folder_ / "design.nfg")
        << "QAV Main Configuration File Version NG.2\r\n" << report << "\r\n1\r\n0\r\n2\r\n0\r\n" << day1 << "\r\n" << day2 << "\r\n"
        << "1\r\nI-5\r\n1\r\n" << cab_ << "\r\nA1\r\n100\r\nHere\r\n0\r\n1\r\n" << name_ << "\r\n0\r\n0\r\n0\r\n"
        << "0\r\n0\r\n4320\r\n2\r\n1\r\n" << std::string(22 * 3, '0').replace(0, 66, "0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n")
        << "1\r\n2\r\n1\r\n1\r\n7\r\n1\r\n0\r\n";
    ASSERT_TRUE(view_->ReadConfigFile(folder_ / "design.nfg"));
  }

  CQAVApp app_;
  CMainFrame* frame_ = nullptr;
  CMainNew* view_ = nullptr;
  std::string cab_, name_;
};

TEST_F(NewViewTest, FormStartsFromTheProfileDefaults) {
  Start();
  EXPECT_EQ(Lines(IDC_NV_SOURCE), 14);
  EXPECT_EQ(Line(IDC_NV_SOURCE, 0), "Data Content");
  EXPECT_EQ(Text(IDC_NV_PERIOD), "00:00:20");
  EXPECT_EQ(Text(IDC_NV_OUTPUT_PATH), "default.txt");
  EXPECT_EQ(::SendMessage(Item(IDC_NV_SUM_METHOD), CB_GETCURSEL), 7);
  EXPECT_EQ(::SendMessage(Item(IDC_NV_SHEET_FORMAT), BM_GETCHECK), BST_CHECKED);
  EXPECT_FALSE(::IsWindowEnabled(Item(IDC_NV_MINVALID)));
  EXPECT_FALSE(::IsWindowEnabled(Item(g_ContentItems[CC_VOLUME].checkId)));
  EXPECT_FALSE(::IsWindowVisible(Item(g_ContentItems[CC_TT_CUMUL].checkId)));
  EXPECT_TRUE(::IsWindow(view_->m_wndStatusMsgs.m_hWnd));
  // The content check boxes stand in two columns: none covers another.
  const std::vector<ControlTemplate>& c = FindDialogTemplate(IDD_MAIN_NEW)->controls;
  auto shown = [](const ControlTemplate& k) { return k.kind == Ctl::CheckBox && (k.removeStyle & WS_VISIBLE) == 0; };
  for (const ControlTemplate& a : c)
    for (const ControlTemplate& b : c)
      if (&a != &b && shown(a) && shown(b)) {
        EXPECT_TRUE(a.x + a.cx <= b.x || b.x + b.cx <= a.x || a.y + a.cy <= b.y || b.y + b.cy <= a.y) << a.text << " | " << b.text;
      }
  // Each count stands on the row of what it counts, right of it and inside the column.
  auto at = [&](int id) { return *std::find_if(c.begin(), c.end(), [id](const ControlTemplate& k) { return k.id == id; }); };
  const ControlTemplate column = at(IDC_NV_SUM_METHOD);
  const std::pair<int, int> counts[] = {{IDC_NV_SELECT_DATES, IDC_NV_DATES}, {IDC_NV_SELECT_LOCATIONS, IDC_NV_ELEMENTS},
                                        {IDC_NV_LOOPS_LABEL, IDC_NV_LOOPS},   {IDC_NV_TRAPS_LABEL, IDC_NV_TRAPS},
                                        {IDC_NV_STATIONS_LABEL, IDC_NV_STATIONS}, {IDC_NV_LANES_LABEL, IDC_NV_LANES}};
  for (auto [label, field] : counts) {
    const ControlTemplate l = at(label), f = at(field);
    EXPECT_TRUE(f.x >= l.x + l.cx && f.x + f.cx <= column.x + column.cx) << field;
    EXPECT_TRUE(f.y < l.y + l.cy && l.y < f.y + f.cy) << field;
  }
}

TEST_F(NewViewTest, MovesRemovalsKeysAndTheSplitRefusal) {
  Start();
  Move("Year", IDC_NV_ROWS_BUTTON);
  EXPECT_EQ(Line(IDC_NV_ROWS, 0), "Year  A->Z");
  Move("Date", IDC_NV_COLS_BUTTON);  // refused: Year is in the rows
  ASSERT_EQ(ui::MessageBoxLog().size(), 1u);
  EXPECT_EQ(ui::MessageBoxLog()[0].text,
            "The \"Date\" and \"Year\" types can't be split between columns and rows. They do not share an exclusively "
            "\"many-to-many\" relationship.");
  EXPECT_EQ(Lines(IDC_NV_COLS), 0);
  Move("Cabinet", IDC_NV_SEPS_BUTTON);
  EXPECT_EQ(Line(IDC_NV_SEPS, 0), "Cabinet  A->Z");
  input::RightClick(Item(IDC_NV_ROWS), 5, 3);  // on the first line
  EXPECT_EQ(Line(IDC_NV_ROWS, 0), "Year  Z->A");
  input::SelectLine(Item(IDC_NV_SEPS), 0);
  EXPECT_TRUE(input::Key(Item(IDC_NV_SEPS), VK_RETURN));
  EXPECT_EQ(Line(IDC_NV_SEPS, 0), "Cabinet  Z->A");
  input::Key(Item(IDC_NV_SEPS), VK_DELETE);
  EXPECT_EQ(Lines(IDC_NV_SEPS), 0);
  EXPECT_EQ(Lines(IDC_NV_SOURCE), 13);
  input::DoubleClickLine(Item(IDC_NV_ROWS), 0);
  EXPECT_EQ(Lines(IDC_NV_SOURCE), 14);
}

TEST_F(NewViewTest, EditsSpinsAndSettingChanges) {
  Start();
  input::Type(Item(IDC_NV_PERIOD), "1:30:00");
  input::Focus(Item(IDC_NV_OUTPUT_PATH));
  EXPECT_EQ(Text(IDC_NV_PERIOD), "01:30:00");
  input::Spin(Item(IDC_NV_PERIOD_SPIN), true);
  EXPECT_EQ(Text(IDC_NV_PERIOD), "01:30:20");
  input::SelectCombo(Item(IDC_NV_AVG_METHOD), AVG_WEEKLY);
  EXPECT_TRUE(::IsWindowEnabled(Item(IDC_NV_MINVALID)));
  EXPECT_EQ(::SendMessage(Item(IDC_NV_SOURCE), LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("Date")), LB_ERR);
  input::Type(Item(IDC_NV_MINVALID), "0.125");
  input::Focus(Item(IDC_NV_OUTPUT_PATH));
  EXPECT_EQ(Text(IDC_NV_MINVALID), "12.5 %");
  input::SelectCombo(Item(IDC_NV_REPORT_TYPE), RT_PM_PEAK);
  EXPECT_EQ(::SendMessage(Item(IDC_NV_SOURCE), LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("Time")), LB_ERR);
  EXPECT_EQ(Text(IDC_NV_PERIOD), "01:30:20");
}

TEST_F(NewViewTest, ChecksStopTheRunAndShowTheStatusWindow) {
  Start();
  view_->m_wndStatusMsgs.ShowWindow(SW_MINIMIZE);
  input::Click(Item(IDC_NV_PRODUCE));
  EXPECT_EQ(LastStatus(), "No dates selected for output");
  EXPECT_FALSE(view_->m_wndStatusMsgs.IsIconic());
  input::Close(view_->m_wndStatusMsgs.m_hWnd);
  EXPECT_TRUE(::IsWindow(view_->m_wndStatusMsgs.m_hWnd));
  EXPECT_TRUE(view_->m_wndStatusMsgs.IsIconic());
  // A run's progress lines leave it minimised; each of its failure lines brings it back.
  view_->SendMessage(WM_COMMAND, ID_WORKER_INPUT_LOADED);
  EXPECT_TRUE(view_->m_wndStatusMsgs.IsIconic());
  for (UINT failure : {ID_WORKER_WIN32_ERROR, ID_WORKER_DATA_FILE_ERROR, ID_WORKER_DESC_FILE_ERROR,
                       ID_WORKER_RETRIEVAL_ERROR, ID_WORKER_OUTFILE_ERROR}) {
    view_->m_wndStatusMsgs.ShowWindow(SW_MINIMIZE);
    view_->SendMessage(WM_COMMAND, failure, failure == ID_WORKER_WIN32_ERROR ? 5 : 34335);
    EXPECT_FALSE(view_->m_wndStatusMsgs.IsIconic()) << failure;
  }
  // Escape in it minimises it too.
  input::Key(view_->m_wndStatusMsgs.m_hWnd, VK_ESCAPE);
  EXPECT_TRUE(view_->m_wndStatusMsgs.IsWindowVisible());
  EXPECT_TRUE(view_->m_wndStatusMsgs.IsIconic());
}

// "default.txt" and other names without a folder go to the home folder, not to the folder the
// program was started from.
TEST_F(NewViewTest, AReportNameWithoutAFolderIsWrittenInTheHomeFolder) {
  const char* old = std::getenv("HOME");
  const std::string saved = old != nullptr ? old : "";
  const std::string home = folder_ / "home";
  std::filesystem::create_directories(home);
  setenv("HOME", home.c_str(), 1);
  store_->WriteInt("OUTPUT", "AUTOOPEN", 0);
  StartOnDesign("relative_report.txt", "34335.000000", "34336.000000");
  if (!HasFatalFailure()) input::Click(Item(IDC_NV_PRODUCE));
  if (old != nullptr) setenv("HOME", saved.c_str(), 1);
  else unsetenv("HOME");
  EXPECT_EQ(LastStatus(), "Reports Output...");
  EXPECT_EQ(view_->m_strWrittenName, home + "/relative_report.txt");
  EXPECT_TRUE(std::filesystem::exists(home + "/relative_report.txt"));
  EXPECT_FALSE(std::filesystem::exists("relative_report.txt"));
  EXPECT_EQ(Text(IDC_NV_OUTPUT_PATH), "relative_report.txt");  // the user's name stays as typed
  EXPECT_TRUE(ui::MessageBoxLog().empty());
}

TEST_F(NewViewTest, ConfigurationFileDrivesARunThatWritesTheReport) {
  std::string report = folder_ / "out\\report.txt";
  store_->WriteInt("OUTPUT", "AUTOOPEN", 0);  // no viewer to tell about here
  StartOnDesign(report, "34335.000000", "34336.000000");
  if (HasFatalFailure()) return;
  const std::string& cab = cab_;
  const std::string& name = name_;
  EXPECT_EQ(Text(IDC_NV_DATES), "2");
  EXPECT_EQ(Text(IDC_NV_ELEMENTS), "1");
  EXPECT_EQ(Line(IDC_NV_COLS, 0), "Date  A->Z");
  input::Click(Item(IDC_NV_PRODUCE));
  EXPECT_EQ(LastStatus(), "Reports Output...");
  EXPECT_EQ(view_->m_pWaitDialog, nullptr);
  EXPECT_EQ(view_->m_strWrittenName, report);  // what automatic opening opens
  std::ifstream in(folder_ / "out/report.txt", std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  EXPECT_NE(s.str().find("\r\n\t01/01/1994\t01/02/1994\t\r\n" + cab + ":" + name + "\t"), std::string::npos) << s.str();
  EXPECT_EQ(Line(IDC_NV_SEPS, 0), "Time  A->Z");  // completed by the run, kept afterwards
  EXPECT_TRUE(ui::MessageBoxLog().empty());

  // A disk that takes half the report: it is taken away, named with the reason, and not opened;
  // the report of the run before stays under the name, and nothing is left beside it. The status
  // window comes back with the line.
  view_->m_wndStatusMsgs.ShowWindow(SW_MINIMIZE);
  {
    ScopedFileSizeLimit limit(s.str().size() / 2);
    input::Click(Item(IDC_NV_PRODUCE));
  }
  const std::string failed = "Could not write the report " + report +
                             ": The file size exceeds the limit allowed and cannot be saved.";
  EXPECT_EQ(LastStatus(), failed);
  std::ifstream kept(folder_ / "out/report.txt", std::ios::binary);
  EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(kept), {}) == s.str());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_ / "out"), std::filesystem::directory_iterator()), 1);
  EXPECT_TRUE(view_->m_strWrittenName.empty());
  EXPECT_FALSE(view_->m_wndStatusMsgs.IsIconic());
  ASSERT_EQ(ui::MessageBoxLog().size(), 1u);
  EXPECT_NE(ui::MessageBoxLog()[0].text.find(report + " could not be written"), std::string::npos);
  ui::ClearMessageBoxLog();

  // A path whose folder cannot be made: the report goes to the temporary folder and a box names it.
  const std::string deep = folder_ / "two/levels/r.txt";
  input::Type(Item(IDC_NV_OUTPUT_PATH), deep.c_str());
  input::Click(Item(IDC_NV_PRODUCE));
  EXPECT_EQ(LastStatus(), "Reports Output...");
  ASSERT_EQ(ui::MessageBoxLog().size(), 1u);
  const std::string written = view_->m_strWrittenName;
  EXPECT_TRUE(written.ends_with("Out.txt")) << written;
  EXPECT_NE(ui::MessageBoxLog()[0].text.find(written), std::string::npos) << ui::MessageBoxLog()[0].text;
  EXPECT_NE(ui::MessageBoxLog()[0].text.find(deep + "\nThe system cannot find the path specified.\n"), std::string::npos)
      << ui::MessageBoxLog()[0].text;
  std::remove(written.c_str());
  // Browse offers a default name inside a folder written with either separator.
  std::string offered;
  ui::SetFileChooserHandler([&](const ui::FileChooserRequest& r, std::string&) {
    offered = r.initialPath;
    return false;
  });
  input::Type(Item(IDC_NV_OUTPUT_PATH), "/home/u/reports/");
  input::Click(Item(IDC_NV_BROWSE));
  EXPECT_EQ(offered, "/home/u/reports/default.txt");
  ui::SetFileChooserHandler(nullptr);

  // A damaged file leaves everything as it was.
  std::ofstream(folder_ / "bad.nfg") << "QAV Main Configuration File Version NG.2\r\nx\r\n0\r\n0\r\n5\r\n0\r\n";
  ui::ClearMessageBoxLog();
  EXPECT_FALSE(view_->ReadConfigFile(folder_ / "bad.nfg"));
  EXPECT_EQ(ui::MessageBoxLog().size(), 1u);
  EXPECT_EQ(Text(IDC_NV_DATES), "2");
  // A Saturday and a Sunday: a report for each day of the week.
  const std::string reports = Text(IDC_NV_REPORTS);
  Move("Day-of-Week", IDC_NV_SEPS_BUTTON);
  EXPECT_EQ(std::stoi(Text(IDC_NV_REPORTS)), 2 * std::stoi(reports));
}

// Cancel pressed while the report is written, or the report's folder removed meanwhile: the part
// written goes, the status list says so in place of "Reports Output...", and no viewer is started
// (one that cannot start would be named in a box). A run that finds no memory for its data names the
// report it did not write in a box.
TEST_F(NewViewTest, AReportCutShortByCancelOrLostWithItsFolderIsNotCalledWritten) {
  const std::string report = folder_ / "out\\report.txt";
  store_->WriteInt("OUTPUT", "AUTOOPEN", 1);
  for (const char* viewer : {"TEXTVIEWER", "SSVIEWER"}) store_->WriteString("OUTPUT", viewer, "/nonexistent/viewer");
  StartOnDesign(report, "34335.000000", "34336.000000");
  if (HasFatalFailure()) return;
  // Three periods a day: the walk looks at Cancel between rows.
  input::Type(Item(IDC_NV_PERIOD), "08:00:00");
  input::Focus(Item(IDC_NV_OUTPUT_PATH));
  const std::string lost = "The system cannot find the path specified.";
  enum Act { Cancel, RemoveFolder, NoMemory };
  const struct {
    const char* what;
    Act act;
    std::vector<std::string> lastLines;
    std::string box;
  } cases[] = {
      {"cancel", Cancel,
       {"Process canceled by the User", "Cancelled the report " + report + ": the part already written was removed"}, ""},
      {"folder removed", RemoveFolder, {"Could not write the report " + report + ": " + lost},
       "The report " + report + " could not be written: " + lost + "\n\nNothing of it is left under that name."},
      {"no memory for the data", NoMemory, {NotEnoughMemoryText()},
       "The report " + report + " was not written: " + NotEnoughMemoryText() +
           "\n\nAn earlier report of that name is left as it was."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ui::ClearMessageBoxLog();
    CFillingFile file;
    bool acted = false;
    // Once the header is written.
    file.afterWrite = [&](int, int64_t) {
      if (acted) return;
      acted = true;
      if (c.act == Cancel) view_->m_Run.cancel();  // as the wait dialog's Cancel does
      else std::filesystem::remove_all(folder_ / "out");
    };
    view_->m_pReportFile = &file;
    // The data's room taken by the window system's (platform/kernel/address_space.h).
    if (c.act == NoMemory) qav::SetAddressSpaceForTesting(qav::kWindowRoom + 1, [] { return uint64_t{0}; });
    input::Click(Item(IDC_NV_PRODUCE));
    qav::SetAddressSpaceForTesting(0, nullptr);
    view_->m_pReportFile = &view_->m_ReportFile;
    EXPECT_EQ(acted, c.act != NoMemory);
    const int n = view_->m_lbStatus.GetCount();
    std::vector<std::string> last;
    for (int i = std::max(0, n - static_cast<int>(c.lastLines.size())); i < n; ++i)
      last.push_back(view_->m_lbStatus.GetTextString(i));
    EXPECT_EQ(last, c.lastLines);
    EXPECT_FALSE(std::filesystem::exists(folder_ / "out/report.txt"));
    EXPECT_TRUE(view_->m_strWrittenName.empty());
    const auto& boxes = ui::MessageBoxLog();
    EXPECT_EQ(boxes.empty() ? std::string() : boxes[0].text, c.box);
    EXPECT_LE(boxes.size(), 1u);
  }
}

TEST_F(NewViewTest, ARunWithElementDaysWithoutDataSaysHowMany) {
  store_->WriteInt("OUTPUT", "AUTOOPEN", 0);
  // 1994-01-01, which the archive holds, and 1994-03-01, which it does not.
  StartOnDesign(folder_ / "out\\report.txt", "34335.000000", "34394.000000");
  if (HasFatalFailure()) return;
  view_->m_wndStatusMsgs.ShowWindow(SW_MINIMIZE);
  ui::ClearMessageBoxLog();
  input::Click(Item(IDC_NV_PRODUCE));
  const std::string told = "No data was found for 1 of the 2 element-days; see the status list";
  // After "Reports Output...", the status list names what had no data.
  const int n = view_->m_lbStatus.GetCount();
  EXPECT_EQ(view_->m_lbStatus.GetTextString(n - 3), "Reports Output...");
  EXPECT_EQ(view_->m_lbStatus.GetTextString(n - 2), "No data was found for 1 of the 2 element-days:");
  EXPECT_EQ(LastStatus(), "  No data on 03/01/1994");
  ASSERT_EQ(ui::MessageBoxLog().size(), 1u);
  EXPECT_EQ(ui::MessageBoxLog()[0].text, told);
  EXPECT_FALSE(view_->m_wndStatusMsgs.IsIconic());
  EXPECT_TRUE(view_->m_wndStatusMsgs.IsWindowVisible());
}

// Memory that runs out for good at any point of a run (the load, the rows, the sort, the report,
// the posts that tell of it): the run ends whole, or with the not-enough-memory line and no report;
// the program goes on. The worker's posts that found no memory are told when the run is over.
TEST_F(NewViewTest, ARunThatRunsOutOfMemoryEndsWithTheErrorAndLeavesNoReport) {
  store_->WriteInt("OUTPUT", "AUTOOPEN", 0);
  const std::string report = folder_ / "out/report.txt";
  StartOnDesign(report, "34335.000000", "34337.000000");
  if (HasFatalFailure()) return;
  input::Click(Item(IDC_NV_PRODUCE));
  ASSERT_EQ(LastStatus(), "Reports Output...");
  const auto whole = std::filesystem::file_size(report);
  std::map<ERunEnd, std::vector<long>> ends;
  std::vector<long> shortTexts;
  for (long n = 0; n <= 600; n += 5) {
    SCOPED_TRACE(n);
    std::filesystem::remove_all(folder_ / "out");
    view_->m_lbStatus.ResetContent();
    view_->m_Run.keepGoingFlag.store(1);
    view_->m_strWrittenName.clear();
    RunShortOfMemory(*view_, n, [&] { view_->RunNewReports(); });
    std::vector<std::string> lines;
    for (int i = 0; i < view_->m_lbStatus.GetCount(); ++i) lines.push_back(view_->m_lbStatus.GetTextString(i));
    const bool there = std::filesystem::exists(report);
    if (there && std::filesystem::file_size(report) != whole) shortTexts.push_back(n);
    const ERunEnd end =
        JudgeRun(lines, {there}, {std::find(lines.begin(), lines.end(), "Reports Output...") != lines.end()});
    ends[end].push_back(n);
    EXPECT_NE(end, ERunEnd::Other) << ::testing::PrintToString(lines);
  }
  // A report that is there and announced is whole: text cut short is refused, not written.
  EXPECT_TRUE(shortTexts.empty()) << ::testing::PrintToString(shortTexts);
  EXPECT_FALSE(ends[ERunEnd::Refused].empty());
  EXPECT_FALSE(ends[ERunEnd::Whole].empty());
}

TEST_F(NewViewTest, OpenOutputFileOnAFileThatCannotBeReadSaysSo) {
  Start();
  const std::string missing = folder_ / "gone.txt";
  ui::SetFileChooserHandler([&](const ui::FileChooserRequest&, std::string& path) {
    path = missing;
    return true;
  });
  ui::ClearMessageBoxLog();
  input::Menu(frame_->m_hWnd, ID_FILE_OPEN);
  ASSERT_EQ(ui::MessageBoxLog().size(), 1u);
  EXPECT_NE(ui::MessageBoxLog()[0].text.find(missing), std::string::npos);
}

TEST_F(NewViewTest, ElementLoadEndingDuringARunWaitsAndAFailedSaveIsTold) {
  Start();
  view_->m_nPeriodLen = 22;
  view_->m_bRunning.store(1);
  ::SendMessage(view_->m_hWnd, WM_ELEMENTS_LOADED, 288, 0);
  EXPECT_EQ(view_->m_nPeriodStep, 1);  // held while the worker reads the period
  view_->m_bRunning.store(0);
  ::SendMessage(view_->m_hWnd, WM_ELEMENTS_LOADED, 288, 0);
  EXPECT_EQ(view_->m_nPeriodStep, 15);
  EXPECT_EQ(Text(IDC_NV_PERIOD), "00:05:00");

  ui::ClearMessageBoxLog();
  EXPECT_FALSE(view_->SaveConfigFile(folder_ / "no/such/folder/x.nfg"));
  ASSERT_EQ(ui::MessageBoxLog().size(), 1u);
  EXPECT_NE(ui::MessageBoxLog()[0].text.find("x.nfg"), std::string::npos);
  EXPECT_TRUE(view_->SaveConfigFile(folder_ / "x.nfg"));
  EXPECT_TRUE(view_->ReadConfigFile(folder_ / "x.nfg"));

  // A save that fails half way (a full disc) leaves the old file as it was, and says so.
  std::ifstream old(folder_ / "x.nfg", std::ios::binary);
  const std::string before((std::istreambuf_iterator<char>(old)), std::istreambuf_iterator<char>());
  std::vector<CDateTimeEx> many;
  for (int d = 1; d <= 28; ++d)
    for (int month = 1; month <= 6; ++month) many.emplace_back(2003, month, d);
  newview_test::SetDates(*view_, many);
  ui::ClearMessageBoxLog();
  {
    ScopedFileSizeLimit full(1000);
    EXPECT_FALSE(view_->SaveConfigFile(folder_ / "x.nfg"));
  }
  ASSERT_EQ(ui::MessageBoxLog().size(), 1u);
  EXPECT_NE(ui::MessageBoxLog()[0].text.find("The file is unchanged."), std::string::npos);
  std::ifstream after(folder_ / "x.nfg", std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(after)), std::istreambuf_iterator<char>()), before);
}

TEST_F(NewViewTest, AStructureSplittingATypeGroupIsRefusedFromTheProfileAndBeforeARun) {
  for (auto [key, value] : {std::pair{"REP_NCOLS", 1}, {"REP_COL0_TYPE", 2}, {"REP_NROWS", 2}, {"REP_ROW0_TYPE", 6},
                            {"REP_ROW1_TYPE", 7}})
    profile_->WriteProfileInt("MAINNEW", key, value);
  Start();
  ASSERT_EQ(ui::MessageBoxLog().size(), 1u);
  EXPECT_NE(ui::MessageBoxLog()[0].text.find("the columns hold \"Date\" and the rows \"Year\""), std::string::npos);
  EXPECT_EQ(Lines(IDC_NV_COLS) + Lines(IDC_NV_ROWS), 0);
  // A split that reached the lists some other way stops the run before it starts.
  newview_test::SetDates(*view_, {{2003, 1, 6}});
  newview_test::AddElement(*view_, "005es00100", "LOOP01V", ET_LOOP, "North", 100);
  view_->m_bContent[CC_VOLUME] = 1;
  view_->CountElementsPerKind();
  view_->CountContentPerKind();
  view_->RecomputeReportLayout();
  view_->m_lstCols.Add(*view_->m_lstSource.TakeType(2));
  view_->m_lstRows.Add(*view_->m_lstSource.TakeType(6));
  view_->m_lstRows.Add(*view_->m_lstSource.TakeType(7));
  ui::ClearMessageBoxLog();
  input::Click(Item(IDC_NV_PRODUCE));
  ASSERT_EQ(ui::MessageBoxLog().size(), 1u);
  EXPECT_EQ(ui::MessageBoxLog()[0].text,
            "The \"Date\" and \"Year\" types can't be split between columns and rows. They do not share an "
            "exclusively \"many-to-many\" relationship.");
  EXPECT_EQ(view_->m_pWaitDialog, nullptr);
}

TEST_F(NewViewTest, OpenOutputFileTellsSpreadsheetsByTheirThirdLine) {
  Start();
  // Each viewer leaves a note of what it was given.
  for (const char* kind : {"sheet", "text"}) {
    const std::string script = folder_ / (std::string(kind) + ".sh");
    std::ofstream(script) << "#!/bin/sh\necho " << kind << " > '" << (folder_ / kind) << ".note'\n";
    ::chmod(script.c_str(), 0700);
  }
  SOutputSettings out;
  view_->m_OutputParams.GetSettings(out);
  out.ssViewer = folder_ / "sheet.sh";
  out.textViewer = folder_ / "text.sh";
  view_->m_OutputParams.SetSettings(out);
  // The spreadsheet header's third line is its format; a text header has a fourth line that says
  // SPREADSHEET here, which must not count.
  std::ofstream(folder_ / "s.txt") << "Filename\ts.txt\r\nCreated\tx\r\nFormat\tSPREADSHEET\r\nDaily Average\tx\r\n";
  std::ofstream(folder_ / "t.txt") << "****\r\nFilename:  t.txt\r\nCreated:  x\r\nFormat:  SPREADSHEET\r\n";
  std::ofstream(folder_ / "short.txt") << "a\r\nb\r\nSPREADSHEET\r\n";
  for (const char* name : {"t.txt", "s.txt", "short.txt"}) {
    std::filesystem::remove(folder_ / "sheet.note");
    qav::ui::SetFileChooserHandler([&](const qav::ui::FileChooserRequest&, std::string& p) {
      p = folder_ / name;
      return true;
    });
    view_->OnOpenOutputFile();
    const std::string note = folder_ / (name[0] == 's' ? "sheet.note" : "text.note");
    for (int i = 0; i < 500 && !std::filesystem::exists(note); ++i) ::usleep(10000);
    EXPECT_TRUE(std::filesystem::exists(note)) << name;
  }
}

TEST_F(NewViewTest, ASpinCommitsTypedTextAndAPeakTypeShowsTheCutPeriod) {
  Start();
  input::Type(Item(IDC_NV_OUTPUT_PATH), "typed.txt");  // not yet left: the change of method keeps it
  input::SelectCombo(Item(IDC_NV_AVG_METHOD), AVG_WEEKLY);
  EXPECT_EQ(Text(IDC_NV_OUTPUT_PATH), "typed.txt");
  input::Type(Item(IDC_NV_MINVALID), "50%");  // typed, not yet left
  input::Spin(Item(IDC_NV_MINVALID_SPIN), true);
  EXPECT_EQ(::GetFocus(), Item(IDC_NV_MINVALID_SPIN));
  EXPECT_EQ(Text(IDC_NV_MINVALID), "50.1 %");
  input::Type(Item(IDC_NV_PERIOD), "20:00:00");
  input::Focus(Item(IDC_NV_OUTPUT_PATH));
  input::SelectCombo(Item(IDC_NV_REPORT_TYPE), RT_AM_PEAK);
  EXPECT_EQ(Text(IDC_NV_PERIOD), "12:00:00");
}

// Counts the loads a view starts.
class CountingElements : public INewElementDialog {
 public:
  explicit CountingElements(std::vector<int>& masks) : masks_(masks) {}
  DWORD StartLoad(const CObjArray<CDateTimeEx>&, uint8_t mask) override {
    masks_.push_back(mask);
    return 0;
  }
  INT_PTR SelectElements(CObjArray<CDBRoadway>&, CObjArray<CDBCabinet>&, CObjArray<CDBElementEx>&) override { return 0; }
  void SetErrorHook(LoadErrorHook, void*) override {}

 private:
  std::vector<int>& masks_;
};

// A wait dialog that keeps every title it is given.
class TitledWait : public CWaitDialog {
 public:
  TitledWait(CMainDlg& view, std::vector<std::string>& titles)
      : CWaitDialog(&view.m_nWaitPosition, &view.m_bWaitKeepGoing), titles_(titles) {}
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == WM_SETTEXT) titles_.push_back(reinterpret_cast<const char*>(lParam));
    return CWaitDialog::WindowProc(msg, wParam, lParam);
  }

 private:
  std::vector<std::string>& titles_;
};

TEST_F(NewViewTest, ARunHoldsTheRunningFlagAndShowsTheCompletedEstimateAfterwards) {
  SampleArchiveOptions o;
  o.root = folder_ / "archive/";
  o.years = {1994};
  o.elements = 8;
  o.days = 3;
  o.uniformDays = true;
  ASSERT_EQ(WriteSampleArchive(o), 0);
  Start();
  g_DataRootPath.Set(o.root.c_str());
  auto elements = SampleElements(1994, 8);
  std::string cab = elements[0].key.substr(0, 10), name = elements[0].key.substr(11);
  // Dates in the columns, the element in the rows, volume; the run adds Time to the separate reports.
  std::ofstream(folder_ / "run.nfg")
      << "QAV Main Configuration File Version NG.2\r\n" << (folder_ / "r.txt") << "\r\n1\r\n0\r\n2\r\n0\r\n"
      << "34335.000000\r\n34336.000000\r\n1\r\nI-5\r\n1\r\n" << cab << "\r\nA1\r\n100\r\nHere\r\n0\r\n1\r\n" << name
      << "\r\n0\r\n0\r\n0\r\n0\r\n0\r\n1440\r\n2\r\n1\r\n";
  for (int i = 1; i < 23; ++i) std::ofstream(folder_ / "run.nfg", std::ios::app) << "0\r\n";
  std::ofstream(folder_ / "run.nfg", std::ios::app) << "1\r\n2\r\n1\r\n1\r\n7\r\n1\r\n0\r\n";
  std::vector<int> masks;
  view_->m_pElements = std::make_unique<CountingElements>(masks);  // only the test's loads end
  ASSERT_TRUE(view_->ReadConfigFile(folder_ / "run.nfg"));
  ::SendMessage(view_->m_hWnd, WM_ELEMENTS_LOADED, 288, 0);
  ASSERT_EQ(view_->m_nPeriodStep, 15);
  int runningSeen = -1;
  std::vector<std::string> titles;
  std::function<void()> watch = [&] {
    if (view_->m_pWaitDialog != nullptr && runningSeen < 0) {
      runningSeen = view_->m_bRunning.load();
      delete view_->m_pWaitDialog;  // the run's wait dialog from here on keeps its titles
      view_->m_pWaitDialog = new TitledWait(*view_, titles);
      ::SendMessage(view_->m_hWnd, WM_ELEMENTS_LOADED, 0, 0);  // held until the run ends
    }
    if (runningSeen < 0) qav::ui::PostTask(watch);
  };
  qav::ui::PostTask(watch);
  input::Click(Item(IDC_NV_PRODUCE));
  ASSERT_EQ(LastStatus(), "Reports Output...");
  EXPECT_EQ(runningSeen, 1);
  ASSERT_FALSE(titles.empty());
  EXPECT_EQ(titles.back(), "Shutting Down the Thread...");  // the last step the user is shown
  EXPECT_EQ(view_->m_nPeriodStep, 1);  // data of no whole periods: the step goes back to one second
  EXPECT_EQ(Text(IDC_NV_REPORTS), std::to_string(view_->m_nReports));
}

// Once the load is over the rows are summed, sorted, written and freed on the worker alone: the
// time left leaves the load's pace behind there, and each step's title starts its own pace.
TEST_F(NewViewTest, TheTimeLeftFollowsThePaceOfTheRowsOnceTheLoadIsOver) {
  Start();
  view_->m_pWaitDialog = new CWaitDialog(&view_->m_nWaitPosition, &view_->m_bWaitKeepGoing);
  CWaitEstimator& e = view_->m_pWaitDialog->m_estimator;
  e.m_bShown = true;
  e.m_nStepCount = 2;
  e.AddSample(500, 100);
  view_->OnCommand(ID_WORKER_LOADING_INPUT, 0);
  EXPECT_EQ(e.SampleCount(), 1);
  view_->OnCommand(ID_WORKER_SUMMARIZING, 0);
  EXPECT_EQ(view_->m_pWaitDialog->GetWindowText(), "Summarizing data...");
  EXPECT_EQ(e.SampleCount(), 0);
  for (UINT step : {ID_WORKER_SORTING, ID_WORKER_OUTPUTTING}) {
    e.AddSample(500, 10);
    view_->OnCommand(step, 0);
    EXPECT_EQ(e.SampleCount(), 0) << step;
  }
  EXPECT_EQ(view_->m_pWaitDialog->GetWindowText(), "Outputting Reports...");
  view_->OnCommand(ID_WORKER_SHUTDOWN, 0);
  e.AddSample(500, 10);
  EXPECT_EQ(e.SampleCount(), 1);  // shutting down keeps the pace of the writing
  delete view_->m_pWaitDialog;
  view_->m_pWaitDialog = nullptr;
}

TEST_F(NewViewTest, AConfigurationLoadsOnlyWhatItsDesignReads) {
  Start();
  ASSERT_TRUE(view_->SaveConfigFile(folder_ / "empty.nfg"));  // a fresh design selects no date
  std::vector<int> masks;
  view_->m_pElements = std::make_unique<CountingElements>(masks);
  ASSERT_TRUE(view_->ReadConfigFile(folder_ / "empty.nfg"));
  EXPECT_TRUE(masks.empty());
  view_->m_arrDates.Add(CDateTimeEx(1994, 1, 1));
  ASSERT_TRUE(view_->SaveConfigFile(folder_ / "one.nfg"));
  ASSERT_TRUE(view_->ReadConfigFile(folder_ / "one.nfg"));
  EXPECT_EQ(masks, std::vector<int>{255});
  input::SelectCombo(Item(IDC_NV_REPORT_TYPE), RT_TRAVEL_TIME);  // reads the loop kinds alone
  ASSERT_TRUE(view_->SaveConfigFile(folder_ / "tt.nfg"));
  ASSERT_TRUE(view_->ReadConfigFile(folder_ / "tt.nfg"));
  EXPECT_EQ(masks, (std::vector<int>{255, 7}));
}

}  // namespace
