// Opening a finished report, in both views: automatically after a run (the done id) and from
// File > Open Output File. Stand-in programs record the file they were given or fail; the
// desktop's opener is a stand-in xdg-open on PATH (or none at all).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <tuple>

#include "app/classic/main_classic.h"
#include "app/newview/main_new.h"
#include "app/shell/app_test_env.h"
#include "app/shell/qav_app.h"
#include "app/shell/report_opener.h"
#include "app/shell/worker_ids.h"
#include "platform/base/errors.h"

namespace {

namespace ui = qav::ui;

enum class Prog { Empty, Recorder, Failing, Missing };
enum class Opener { Recorder, Failing, None };
enum class Opened { Nothing, Program, Desktop, OwnViewer };

struct Case {
  const char* name;
  bool spreadsheet;
  Prog program;  // SSVIEWER for a spreadsheet report, TEXTVIEWER for a text report
  int useOwnViewer, autoOpen;
  Opener desktop;
  bool menu;  // File > Open Output File instead of the end of a run
  Opened classic, newView;
  bool box;  // a message box names the file
};

// clang-format off
const Case kCases[] = {
    {"SpreadsheetProgramSet",        true,  Prog::Recorder, 1, 1, Opener::Recorder, false, Opened::Program,   Opened::Program, false},
    {"SpreadsheetProgramEmpty",      true,  Prog::Empty,    1, 1, Opener::Recorder, false, Opened::Desktop,   Opened::Desktop, false},
    {"NoProgramAndNoDesktopOpener",  true,  Prog::Empty,    1, 1, Opener::None,     false, Opened::Nothing,   Opened::Nothing, true},
    {"DesktopOpenerFails",           true,  Prog::Empty,    1, 1, Opener::Failing,  false, Opened::Nothing,   Opened::Nothing, true},
    {"ProgramEndsWithFailure",       true,  Prog::Failing,  1, 1, Opener::Recorder, false, Opened::Nothing,   Opened::Nothing, true},
    {"ProgramDoesNotExist",          true,  Prog::Missing,  1, 1, Opener::Recorder, false, Opened::Nothing,   Opened::Nothing, true},
    {"TextViewerWithOwnViewerOff",   false, Prog::Recorder, 0, 1, Opener::Recorder, false, Opened::Program,   Opened::Program, false},
    {"EmptyTextViewerOwnViewerOff",  false, Prog::Empty,    0, 1, Opener::Recorder, false, Opened::Desktop,   Opened::Desktop, false},
    {"OwnViewerOn",                  false, Prog::Recorder, 1, 1, Opener::Recorder, false, Opened::OwnViewer, Opened::Program, false},
    {"AutoOpenOff",                  true,  Prog::Recorder, 1, 0, Opener::Recorder, false, Opened::Nothing,   Opened::Nothing, false},
    {"MenuOpensWithAutoOpenOff",     true,  Prog::Empty,    1, 0, Opener::Recorder, true,  Opened::Desktop,   Opened::Desktop, false},
    {"MenuWithNothingToOpenIt",      true,  Prog::Empty,    1, 1, Opener::None,     true,  Opened::Nothing,   Opened::Nothing, true},
    {"MenuTextReportOwnViewer",      false, Prog::Empty,    1, 1, Opener::None,     true,  Opened::OwnViewer, Opened::Nothing, true},
};
// clang-format on

void WriteScript(const std::string& path, const std::string& body) {
  std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
  ::chmod(path.c_str(), 0755);
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Pumps the user-interface thread until `done` or `ms` have passed.
bool PumpUntil(const std::function<bool()>& done, int ms) {
  for (int i = 0; i < ms / 20; ++i) {
    ui::PumpPending();
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ui::PumpPending();
  return done();
}

class ReportOpeningTest : public AppUiTest, public ::testing::WithParamInterface<std::tuple<int, Case>> {
 protected:
  void SetUp() override {
    AppUiTest::SetUp();
    const char* path = std::getenv("PATH");
    oldPath_ = path != nullptr ? path : "";
    std::filesystem::create_directories(folder_ / "bin");
    std::filesystem::create_directories(folder_ / "nobin");
  }
  void TearDown() override {
    ::setenv("PATH", oldPath_.c_str(), 1);
    if (frame_ != nullptr && ::IsWindow(frame_->m_hWnd)) frame_->DestroyWindow();
    app_.reset();
    AppUiTest::TearDown();
  }
  bool Classic() const { return std::get<0>(GetParam()) == 1; }

  // Starts the view, sets the output settings and the desktop's opener for the case.
  void Prepare(const Case& c) {
    store_->WriteInt("GENERAL", "USE_CLASSIC", Classic() ? 1 : 0);
    app_ = std::make_unique<CQAVApp>();
    ASSERT_TRUE(app_->InitInstance());
    frame_ = dynamic_cast<CFrameWnd*>(app_->m_pMainWnd);
    ASSERT_NE(frame_, nullptr);
    view_ = dynamic_cast<CMainDlg*>(frame_->GetActiveView());
    ASSERT_NE(view_, nullptr);
    WriteScript(folder_ / "program", "echo \"$1\" >> '" + (folder_ / "program.log") + "'");
    WriteScript(folder_ / "failing", "exit 3");
    if (c.desktop == Opener::Recorder)
      WriteScript(folder_ / "bin/xdg-open", "echo \"$1\" >> '" + (folder_ / "desktop.log") + "'");
    if (c.desktop == Opener::Failing) WriteScript(folder_ / "bin/xdg-open", "exit 4");
    ::setenv("PATH", (folder_ / (c.desktop == Opener::None ? "nobin" : "bin")).c_str(), 1);
    const std::string program = c.program == Prog::Recorder ? folder_ / "program"
                                : c.program == Prog::Failing ? folder_ / "failing"
                                : c.program == Prog::Missing ? folder_ / "no-such-viewer"
                                                             : "";
    SOutputSettings out;
    view_->m_OutputParams.GetSettings(out);
    out.ssViewer = out.textViewer = "";
    (c.spreadsheet ? out.ssViewer : out.textViewer) = program;
    out.useCustomViewer = c.useOwnViewer;
    out.autoOpen = c.autoOpen;
    view_->m_OutputParams.SetSettings(out);
    // A report as each view writes it: the Classic banner's sixth line, the New header's third.
    report_ = folder_ / (Classic() ? "REPORT.SDS" : "report.txt");
    const char* type = c.spreadsheet ? "SPREADSHEET" : "TEXT";
    std::ofstream f(report_);
    if (Classic())
      f << "***\nFilename: REPORT.SDS\n\nCreation Date: x\nCreation Time: y\n    File Type: " << type << "\n***\n";
    else
      f << (c.spreadsheet ? "Filename\treport.txt\nCreated\tx\nFormat\tSPREADSHEET\n"
                          : "***\nFilename:  report.txt\nCreated:  x\nFormat:  TEXT\n");
  }

  void Open(const Case& c) {
    if (c.menu) {
      ui::SetFileChooserHandler([this](const ui::FileChooserRequest&, std::string& path) {
        path = report_;
        return true;
      });
      ::SendMessage(view_->m_hWnd, WM_COMMAND, ID_FILE_OPEN, 0);
    } else if (auto* classic = dynamic_cast<CMainClassic*>(view_)) {
      classic->m_strReportPath[CF_SDS] = report_;
      classic->m_snap.format[CF_SDS] = c.spreadsheet ? 1 : 0;
      ::SendMessage(view_->m_hWnd, WM_COMMAND, ID_WORKER_SDS_DONE, 0);
    } else {
      auto* view = dynamic_cast<CMainNew*>(view_);
      view->m_strWrittenName = report_;
      view->m_nOutFormat = c.spreadsheet ? 1 : 0;
      ::SendMessage(view_->m_hWnd, WM_COMMAND, ID_WORKER_REPORTS_DONE, 0);
    }
  }

  std::unique_ptr<CQAVApp> app_;
  CFrameWnd* frame_ = nullptr;
  CMainDlg* view_ = nullptr;
  std::string oldPath_, report_;
};

TEST_P(ReportOpeningTest, OpensTheReportOrSaysWhyNot) {
  const Case& c = std::get<1>(GetParam());
  Prepare(c);
  if (HasFatalFailure()) return;
  Open(c);
  const Opened expect = Classic() ? c.classic : c.newView;
  const std::string log = expect == Opened::Program ? folder_ / "program.log"
                          : expect == Opened::Desktop ? folder_ / "desktop.log"
                                                      : "";
  const bool expectBox = c.box && expect != Opened::OwnViewer;
  if (!log.empty()) {
    EXPECT_TRUE(PumpUntil([&] { return ReadAll(log) == report_ + "\n"; }, 5000)) << ReadAll(log);
  }
  // A failure may be told only once the started program has ended.
  const bool boxed = PumpUntil([] { return !ui::MessageBoxLog().empty(); }, expectBox ? 5000 : 300);
  EXPECT_EQ(boxed, expectBox);
  if (boxed) { EXPECT_NE(ui::MessageBoxLog().front().text.find(report_), std::string::npos); }
  auto* classic = dynamic_cast<CMainClassic*>(view_);
  EXPECT_EQ(classic != nullptr && classic->m_Viewer.m_hWnd != nullptr, expect == Opened::OwnViewer);
  if (expect != Opened::Program) { EXPECT_FALSE(std::filesystem::exists(folder_ / "program.log")); }
  if (expect != Opened::Desktop) { EXPECT_FALSE(std::filesystem::exists(folder_ / "desktop.log")); }
}

INSTANTIATE_TEST_SUITE_P(BothViews, ReportOpeningTest, ::testing::Combine(::testing::Values(0, 1), ::testing::ValuesIn(kCases)),
                         [](const ::testing::TestParamInfo<std::tuple<int, Case>>& i) {
                           return std::string(std::get<0>(i.param) ? "Classic" : "New") + std::get<1>(i.param).name;
                         });

TEST(ReportOpenFailureTextTest, NamesTheFileTheProgramAndWhy) {
  const std::string none = ReportOpenFailureText("/r/A.MDS", "", ERROR_NO_ASSOCIATION);
  EXPECT_NE(none.find("/r/A.MDS"), std::string::npos);
  EXPECT_NE(none.find("no viewer program is set"), std::string::npos);
  const std::string missing = ReportOpenFailureText("/r/A.MDS", "/opt/calc", ERROR_FILE_NOT_FOUND);
  EXPECT_NE(missing.find("/opt/calc could not be started (The system cannot find the file specified"), std::string::npos)
      << missing;
  const std::string ended = ReportOpenFailureText("/r/A.MDS", "", 0, 4);
  EXPECT_NE(ended.find("default application ended with the failure status 4"), std::string::npos) << ended;
}

}  // namespace
