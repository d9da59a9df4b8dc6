#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <thread>

#include <pwd.h>
#include <unistd.h>

#include "app/shell/app_globals.h"
#include "app/shell/app_test_env.h"
#include "app/shell/main_dlg.h"
#include "app/shell/main_frame.h"
#include "app/shell/qav_app.h"
#include "archive/archive_globals.h"
#include "platform/kernel/optical.h"
#include "platform/kernel/process.h"
#include "platform/shell/shell.h"
#include "platform/ui/input.h"

namespace input = qav::ui::input;
#include "support/thread.h"
#include "trafficdata/date_time_ex.h"

namespace {
class MainViewTest : public AppUiTest {
 protected:
  void SetUp() override {
    AppUiTest::SetUp();
    qav::ui::SetMessageBoxHandler([this](const qav::ui::MessageBoxRequest& r) {
      boxes_.push_back(r);
      return answer_;
    });
  }
  void TearDown() override {
    if (::IsWindow(frameWnd_)) ::DestroyWindow(frameWnd_);
    g_PeValid.Set(PeValidity{});
    g_hPromptWnd = 0;
    AppUiTest::TearDown();
  }
  void Start() {
    ASSERT_TRUE(app_.InitInstance());
    frame_ = dynamic_cast<CMainFrame*>(app_.m_pMainWnd);
    ASSERT_NE(frame_, nullptr);
    frameWnd_ = frame_->GetSafeHwnd();
    view_ = dynamic_cast<CMainDlg*>(frame_->GetActiveView());
    ASSERT_NE(view_, nullptr);
  }
  std::vector<std::string> StatusLines() const {
    std::vector<std::string> lines;
    for (int i = 0; i < view_->m_lbStatus.GetCount(); ++i) lines.push_back(view_->m_lbStatus.GetTextString(i));
    return lines;
  }

  CQAVApp app_;
  CMainFrame* frame_ = nullptr;
  HWND frameWnd_ = nullptr;
  CMainDlg* view_ = nullptr;
  std::vector<qav::ui::MessageBoxRequest> boxes_;
  int answer_ = IDOK;
};

// A profile whose writes all fail, counting them.
class FailingStore : public IProfileStore {
 public:
  UINT GetInt(const char*, const char*, int d) override { return static_cast<UINT>(d); }
  std::string GetString(const char*, const char*, const char* d) override { return d != nullptr ? d : ""; }
  bool WriteInt(const char*, const char* key, int) override { return Write(key); }
  bool WriteString(const char*, const char* key, const char*) override { return Write(key); }
  bool Write(const char* key) {
    keys.push_back(key);
    return false;
  }
  std::vector<std::string> keys;
};

TEST_F(MainViewTest, StatusListKeepsTheLastFiftyLogLinesWithTheNewestSelected) {
  Start();
  std::string text;
  for (int i = 1; i <= 60; ++i) text += "line " + std::to_string(i) + (i % 2 != 0 ? "\r\n" : "\n\r\n");
  CMainDlg::AddStatusLines(view_->m_lbStatus.GetSafeHwnd(), text.c_str());
  const std::vector<std::string> lines = StatusLines();
  ASSERT_EQ(lines.size(), 50u);
  EXPECT_EQ(lines.front(), "line 11");
  EXPECT_EQ(lines.back(), "line 60");
  EXPECT_EQ(view_->m_lbStatus.GetCurSel(), 49);
  // Lines of the worker ids are not trimmed until the log adds lines again.
  for (int i = 0; i < 3; ++i) view_->SendMessage(WM_COMMAND, MAKEWPARAM(ID_WORKER_CANCELED, 0), 0);
  EXPECT_EQ(view_->m_lbStatus.GetCount(), 53);
  CMainDlg::AddStatusLines(view_->m_lbStatus.GetSafeHwnd(), "last");
  EXPECT_EQ(view_->m_lbStatus.GetCount(), 50);
}

TEST_F(MainViewTest, WithoutARegisteredViewTheBaseViewKeepsItsStatusList) {
  struct Restore {
    const CRuntimeClass* view = FindMainView(IDR_MAINFRAME);
    ~Restore() { RegisterMainView(IDR_MAINFRAME, view); }
  } restore;
  RegisterMainView(IDR_MAINFRAME, nullptr);
  Start();
  EXPECT_EQ(view_->GetRuntimeClass(), RUNTIME_CLASS(CMainDlg));
  ASSERT_TRUE(::IsWindow(view_->m_lbStatus.m_hWnd));
  view_->PostWorker(ID_WORKER_INPUT_LOADED);
  qav::ui::PumpPending();
  const std::vector<std::string> lines = StatusLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Input Data Loaded..."), lines.end());
}

TEST_F(MainViewTest, AViewThatNeverShowedLeavesTheLogToTheViewThatDid) {
  Start();
  ASSERT_NE(app_.m_Output.m_pfnLine, nullptr);
  { CMainDlg unshown; }
  EXPECT_NE(app_.m_Output.m_pfnLine, nullptr);
}

TEST_F(MainViewTest, WorkerLinesScrollSixFromTheEndButNeverAboveTheTop) {
  Start();
  view_->m_lbStatus.ResetContent();
  view_->PostWorker(ID_WORKER_INPUT_LOADED);
  view_->PostWorkerError(ID_WORKER_DATA_FILE_ERROR, CDateTimeEx(1994, 3, 15), 2);
  view_->PostWorkerPath(ID_WORKER_OUTFILE_ERROR, "/tmp/locked.DAT");
  view_->PostWorkerPath(ID_WORKER_OUTPUT_TO, "/tmp/123DEFAULT.DAT");
  // A report whose writing failed is named with the reason, in a line and in a box.
  view_->PostWriteFailure("/tmp/123DEFAULT.DAT", 112, EDiscarded::Removed);
  // One cut short by Cancel is named in a line; a box only when a part of it is left behind.
  view_->PostReportCancelled("/tmp/a.SDS", EDiscarded::Removed);
  view_->PostReportCancelled("/dev/b.MDS", EDiscarded::Kept);
  qav::ui::PumpPending();
  EXPECT_EQ(StatusLines(), (std::vector<std::string>{"Input Data Loaded...", "Error opening data file for 03/15/1994",
                                                     "The system cannot find the file specified.",
                                                     "Out file open error: /tmp/locked.DAT",
                                                     "Reports output to: /tmp/123DEFAULT.DAT",
                                                     "Could not write the report /tmp/123DEFAULT.DAT: There is not "
                                                     "enough space on the disk.",
                                                     "Cancelled the report /tmp/a.SDS: the part already written was removed",
                                                     "Cancelled the report /dev/b.MDS: the part written could not be "
                                                     "removed and is incomplete"}));
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[0].text, "The report /tmp/123DEFAULT.DAT could not be written: There is not enough space on the "
                            "disk.\n\nThe part already written was removed.");
  EXPECT_EQ(boxes_[1].text, "The report /dev/b.MDS was cancelled.\n\nThe file could not be removed: it is incomplete.");
  EXPECT_EQ(view_->m_lbStatus.GetTopIndex(), 8 - 6);
  for (int i = 0; i < 6; ++i) view_->PostWorker(ID_WORKER_CANCELED);
  qav::ui::PumpPending();
  EXPECT_EQ(view_->m_lbStatus.GetTopIndex(), 14 - 6);
}

TEST_F(MainViewTest, TheLoaderNamesTheFileOfADayThatFailed) {
  Start();
  view_->m_lbStatus.ResetContent();
  view_->Poster().Post(ID_WORKER_DATA_FILE_ERROR, DayPayload(CDateTimeEx(1994, 1, 4)));
  view_->Poster().Post(ID_WORKER_WIN32_ERROR, 2);
  view_->Poster().PostPath(ID_WORKER_DATA_FILE_NAME, "/srv/archive/DATA1994\\19940104.NTS");
  qav::ui::PumpPending();
  EXPECT_EQ(StatusLines(), (std::vector<std::string>{"Error opening data file for 01/04/1994",
                                                     "The system cannot find the file specified.",
                                                     "Could not open /srv/archive/DATA1994/19940104.NTS"}));
}

// The bar's range is the run's five-minute estimate, moved toward its 20-second one by the days
// read and grown by what the run adds to it, at one scale with the counter: a run that adds
// exactly its units fills the bar, also past an int's range.
TEST_F(MainViewTest, ARunThatAddsItsUnitsFillsTheWaitBar) {
  Start();
  struct Case {
    int64_t fiveMinute, fine, added;
    bool fineDay;
    int range;
  };
  const int64_t big = int64_t{3} * INT_MAX;  // scaled into the bar by 4
  for (const Case& c : {Case{1000, 3000, 0, false, 1000}, Case{1000, 3000, 500, true, 3500},
                        Case{big, big, 4000, false, static_cast<int>(big / 4 + 1000)}}) {
    view_->m_Run.layouts.reset();
    if (c.fineDay) view_->m_Run.layouts.note(true);
    view_->m_Run.rangeAdded.store(c.added);
    view_->m_Run.progress.store(static_cast<uint64_t>((c.fineDay ? c.fine : c.fiveMinute) + c.added));
    view_->StartWaitRange(c.fiveMinute, c.fine);
    view_->SyncWaitDialog();
    EXPECT_EQ(view_->m_nWaitRange, c.range) << c.fiveMinute;
    EXPECT_EQ(view_->m_nWaitPosition, c.range) << c.fiveMinute;
  }
}

TEST_F(MainViewTest, TheLogReachesTheStatusListThroughTheTimer) {
  Start();
  // "Program Start" was queued at start-up; the view's timer drains the log.
  ASSERT_TRUE(qav::ui::WaitServingSends([this] {
    qav::ui::PumpPending();
    return view_->m_lbStatus.GetCount() > 0;
  }, 3000));
  EXPECT_NE(StatusLines().front().find("Program Start"), std::string::npos);
  // After the view is gone the log's lines go nowhere (no call into a destroyed list).
  frame_->DestroyWindow();
  app_.m_Output.AddText("after the view", OUTPUT_TEXT);
  app_.m_Output.ProcessItems();
  EXPECT_EQ(app_.m_Output.m_pfnLine, nullptr);
}

TEST_F(MainViewTest, AFailingProfileWriteGivesOneBoxAfterEveryKeyWasTried) {
  // The base view alone: a registered view would add its own sections to the writes.
  const CRuntimeClass* registered = FindMainView(IDR_MAINFRAME);
  RegisterMainView(IDR_MAINFRAME, RUNTIME_CLASS(CMainDlg));
  Start();
  RegisterMainView(IDR_MAINFRAME, registered);
  FailingStore failing;
  SetActiveProfile(&failing);
  frame_->DestroyWindow();
  EXPECT_EQ(failing.keys,
            (std::vector<std::string>{"CDROM_INDEX", "OTHER_PATH", "CDROM_PATH", "USE_CLASSIC", "TEXTVIEWER", "SSVIEWER",
                                      "AUTOOPEN", "USEQAVCUSTOMVIEWER", "RAWDATA_PATH", "SDS_PATH", "MDS_PATH",
                                      "PEAK1_START", "PEAK1_END", "PEAK2_START", "PEAK2_END", "VOL_GOOD_OFF_PEAK_MAX",
                                      "VOL_GOOD_OFF_PEAK_MIN", "VOL_GOOD_PEAK_MAX", "VOL_GOOD_PEAK_MIN"}));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text,
            "CMainDlg::~CMainDlg: Error writing to profile. Please contact your software maintenance engineer.");
  SetActiveProfile(store_.get());
}

TEST_F(MainViewTest, ASaveThatFailsAtTheEndNamesTheSettingsFileAndTheReason) {
  const CRuntimeClass* registered = FindMainView(IDR_MAINFRAME);
  RegisterMainView(IDR_MAINFRAME, RUNTIME_CLASS(CMainDlg));
  const std::string folder = folder_ / "KARVO";
  profile_ = std::make_unique<CProfile>(folder + "/qav.ini");
  store_ = std::make_unique<CFileProfileStore>(*profile_);
  SetActiveProfile(store_.get());
  Start();
  RegisterMainView(IDR_MAINFRAME, registered);
  // The settings folder is gone, and a file has its name.
  std::filesystem::remove_all(folder);
  std::ofstream(folder) << "not a folder";
  frame_->DestroyWindow();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text,
            "CMainDlg::~CMainDlg: Error writing to profile. Please contact your software maintenance engineer.\n\n"
            "The settings file\n" + folder + "/qav.ini\ncould not be written: The system cannot find the path specified.");
}

TEST_F(MainViewTest, TheProgramsOwnProfileIsNamedAfterIt) {
  SetActiveProfile(nullptr);
  Start();
  frame_->DestroyWindow();
  const std::string path = CProfile::DefaultPath(GetProgramName());
  EXPECT_NE(path.find("/KARVO/" + GetProgramName() + ".ini"), std::string::npos);
  std::ifstream in(path);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("[GENERAL]"), std::string::npos);
  EXPECT_NE(text.find("[PE_VALID]"), std::string::npos);
}

TEST_F(MainViewTest, TheArchiveSourceSetsTheRootAndTheDiscWindow) {
  store_->WriteInt("GENERAL", "CDROM_INDEX", 0);
  store_->WriteString("GENERAL", "CDROM_PATH", "/media/cdrom");
  store_->WriteString("GENERAL", "OTHER_PATH", "/srv/archive/");
  Start();
  EXPECT_EQ(g_DataRootPath.Get(), "/media/cdrom/");
  EXPECT_EQ(g_hPromptWnd.load(), reinterpret_cast<uintptr_t>(frame_->GetSafeHwnd()));
  frame_->DestroyWindow();
  store_->WriteInt("GENERAL", "CDROM_INDEX", 1);
  g_hPromptWnd = 0;
  CQAVApp second;
  ASSERT_TRUE(second.InitInstance());
  EXPECT_EQ(g_DataRootPath.Get(), "/srv/archive/");
  EXPECT_EQ(g_hPromptWnd.load(), 0u);
  second.m_pMainWnd->DestroyWindow();
}

TEST_F(MainViewTest, ParametersOkStoresEveryPagesValuesAndCancelChangesNothing) {
  const std::string before = folder_ / "before", after = folder_ / "after";
  std::filesystem::create_directories(before);
  std::filesystem::create_directories(after);
  store_->WriteInt("GENERAL", "CDROM_INDEX", 1);
  store_->WriteString("GENERAL", "OTHER_PATH", (before + "/").c_str());
  store_->WriteString("OUTPUT", "TEXTVIEWER", "/usr/bin/less");
  store_->WriteInt("OUTPUT", "AUTOOPEN", 0);
  store_->WriteInt("PE_VALID", "VOL_GOOD_PEAK_MAX", 250);
  const CRuntimeClass* registered = FindMainView(IDR_MAINFRAME);
  RegisterMainView(IDR_MAINFRAME, RUNTIME_CLASS(CMainDlg));
  Start();
  RegisterMainView(IDR_MAINFRAME, registered);
  CMainDlg& v = *view_;
  auto settings = [&] {
    SGeneralSettings g;
    SOutputSettings o;
    v.m_GeneralParams.GetSettings(g);
    v.m_OutputParams.GetSettings(o);
    return g.otherPath + std::to_string(g.cdromIndex) + "|" + o.textViewer + std::to_string(o.autoOpen);
  };
  const std::string atStart = settings();
  EXPECT_EQ(atStart, before + "/1|/usr/bin/less0");
  for (int button : {IDCANCEL, IDOK}) {
    qav::ui::PostTask([&] {
      HWND tabs = v.m_Sheet.GetTabControl();
      input::Type(::GetDlgItem(v.m_GeneralParams.m_hWnd, IDC_OTHER_PATH), after.c_str());
      input::SelectTab(tabs, 1);  // the General page takes its values
      input::Type(::GetDlgItem(v.m_OutputParams.m_hWnd, IDC_TEXT_VIEWER), "/usr/bin/gedit");
      input::Click(::GetDlgItem(v.m_OutputParams.m_hWnd, IDC_AUTO_OPEN));
      input::SelectTab(tabs, 2);
      input::Click(::GetDlgItem(v.m_PEValidityFlags.m_hWnd, IDC_PE_CHANGE_PEAK_MAX));
      input::Type(::GetDlgItem(v.m_PEValidityFlags.m_hWnd, IDC_PE_PEAK_MAX), "200");
      input::Click(::GetDlgItem(v.m_Sheet.m_hWnd, button));
    });
    input::Menu(frameWnd_, ID_PARAMETERS);
    const bool ok = button == IDOK;
    EXPECT_EQ(settings(), ok ? after + "/1|/usr/bin/gedit1" : atStart) << button;
    EXPECT_EQ(g_DataRootPath.Get(), (ok ? after : before) + "/") << button;
    EXPECT_EQ(g_PeValid.Get().peakMax, ok ? 200 : 250) << button;
  }
  frame_->DestroyWindow();  // the view writes the profile
  EXPECT_EQ(store_->GetString("GENERAL", "OTHER_PATH", ""), after + "/");
  EXPECT_EQ(store_->GetString("OUTPUT", "TEXTVIEWER", ""), "/usr/bin/gedit");
  EXPECT_EQ(store_->GetInt("OUTPUT", "AUTOOPEN", 9), 1u);
  EXPECT_EQ(store_->GetInt("PE_VALID", "VOL_GOOD_PEAK_MAX", 0), 200u);
}

TEST_F(MainViewTest, AWorkersDiscRequestIsAnsweredOnTheUserInterfaceThread) {
  Start();
  g_hPromptWnd = reinterpret_cast<uintptr_t>(frame_->GetSafeHwnd());
  for (int answer : {IDCANCEL, IDOK}) {
    answer_ = answer;
    boxes_.clear();
    std::atomic<int> result{-1};
    std::thread worker([&] { result = RequestDisc(3, 15, 1994) ? 1 : 0; });
    ASSERT_TRUE(qav::ui::WaitServingSends([&] { return result.load() >= 0; }, 5000));
    worker.join();
    EXPECT_EQ(result.load(), answer == IDOK ? 1 : 0);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, "Please insert CD with 3/15/1994 data");
    EXPECT_EQ(boxes_[0].caption, "Loading Input Data...");
  }
}

TEST_F(MainViewTest, LibraryWarningsBecomeMessageBoxes) {
  Start();
  ResetOlderVersionWarning();
  ctTextDateToCOleDateTime("03/15/94");
  CThread::s_nFailNextCreates = 1;
  struct Work {
    UINT Run() { return 0; }
  } work;
  EXPECT_EQ(StartFunctorThread(&work, &Work::Run), nullptr);
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[0].text, OLDER_VERSION_WARNING);
  EXPECT_EQ(boxes_[1].text, "Could not create Thread!");
  EXPECT_EQ(boxes_[1].caption, "CThread::Create()");
}

TEST_F(MainViewTest, OnceTheApplicationIsGoneTheLibraryWarningIsNoLongerABox) {
  {
    CQAVApp app;
    ASSERT_TRUE(app.InitInstance());
    app.m_pMainWnd->DestroyWindow();
  }
  ResetOlderVersionWarning();
  ctTextDateToCOleDateTime("03/15/94");
  EXPECT_TRUE(boxes_.empty());
}

TEST(MessageBoxText, SplitsAtTheFirstLineFeed) {
  const struct {
    const char* text;
    const char* message;
    const char* caption;
  } cases[] = {
      {"Insert the disc\nDisc", "Insert the disc", "Disc"},
      {"No caption here", "No caption here", "QAV"},
      {"Trailing\n", "Trailing", "QAV"},
      {"\n\nLeading\nCap\nextra", "Leading", "Cap"},
      {"", "", "QAV"},
  };
  for (const auto& c : cases) {
    std::string message, caption;
    SplitMessageBoxText(c.text, message, caption);
    EXPECT_EQ(message, c.message) << c.text;
    EXPECT_EQ(caption, c.caption) << c.text;
  }
}

TEST(Defaults, CdromRootFromTheMountTable) {
  AppTempFolder folder;
  const std::string table = folder / "mounts";
  std::ofstream(table) << "/dev/sda1 / ext4 rw 0 0\n"
                          "/dev/sr0 /media/disc1 iso9660 ro 0 0\n"
                          "/dev/sr1 /media/disc2 udf ro 0 0\n";
  const std::string none = folder / "none";
  std::ofstream(none) << "/dev/sda1 / ext4 rw 0 0\n";
  const struct {
    const std::string* table;
    const char* program;
    const char* expected;
  } cases[] = {
      {&table, "/usr/bin/qav", "/media/disc1/"},
      {&table, "/media/disc2/bin/qav", "/media/disc2/"},
      {&none, "/usr/bin/qav", "../../"},
  };
  for (const auto& c : cases) {
    SDefaultsEnvironment env;
    env.programPath = c.program;
    env.opticalRoots = GetOpticalDriveRoots(c.table->c_str());
    EXPECT_EQ(DefaultCdromPath(env), c.expected) << c.program;
  }
}

TEST(Defaults, ArchiveAndReportFolders) {
  SDefaultsEnvironment env;
  env.home = "/home/u";
  EXPECT_EQ(DefaultOtherPath(env), "/home/u/.local/share/qav/archive/");
  env.dataHome = "/data/";
  EXPECT_EQ(DefaultOtherPath(env), "/data/qav/archive/");
  env.dataHome = "relative";
  EXPECT_EQ(DefaultOtherPath(env), "/home/u/.local/share/qav/archive/");
  env.tempFolder = "/var/tmp";
  EXPECT_EQ(DefaultReportFolder(env), "/var/tmp/");
}

// A report name without a root is taken in the Output page's folder, or in the home folder when
// none is set; never in the folder the program was started from.
TEST(Defaults, RelativeReportNamesAreTakenInTheReportFolderOrHome) {
  const struct {
    const char* folder;
    const char* home;
    const char* classicFolder;  // the Classic view's folder of a family
  } folders[] = {
      {"", "/home/u", "/home/u/"},
      {"reports", "/home/u", "/home/u/reports/"},
      {"reports\\sds\\", "/home/u/", "/home/u/reports/sds/"},
      {"/var/mds", "/home/u", "/var/mds/"},
      {"/var/mds/", "", "/var/mds/"},
      {"", "", ""},
  };
  for (const auto& c : folders) EXPECT_EQ(ReportFolderIn(c.folder, c.home), c.classicFolder) << c.folder << " " << c.home;
  // The home is HOME only when that is a full path; else the password database's.
  const std::string own = ::getpwuid(::geteuid())->pw_dir, saved = std::getenv("HOME") ? std::getenv("HOME") : "";
  for (const char* home : {"/home/u", "", "rel", static_cast<const char*>(nullptr)}) {
    home != nullptr ? ::setenv("HOME", home, 1) : ::unsetenv("HOME");
    EXPECT_EQ(ReportFolderIn("reports", UserHomeFolder()), (home != nullptr && *home == '/' ? home : own) + "/reports/");
  }
  ::setenv("HOME", saved.c_str(), 1);  // an unset HOME and an empty one are the same
  const struct {
    const char* folder;
    const char* name;
    const char* path;
  } names[] = {
      {"/home/u", "default.txt", "/home/u/default.txt"},
      {"/home/u/", "out/r.txt", "/home/u/out/r.txt"},
      {"/home/u", "/tmp/r.txt", "/tmp/r.txt"},
      {"/home/u", "\\tmp\\r.txt", "\\tmp\\r.txt"},
      {"", "default.txt", "default.txt"},
  };
  for (const auto& c : names) EXPECT_EQ(ReportPathIn(c.folder, c.name), c.path) << c.folder << " " << c.name;
}

TEST(Defaults, FoldersOfAnOlderSettingsFileComeBackAndAreStoredWithSlashes) {
  AppTempFolder folder;
  const std::string ini = folder / "qav.ini";
  std::ofstream(ini) << "[GENERAL]\r\nCDROM_PATH=..\\..\\\r\nOTHER_PATH=archive\\qav\\\r\n"
                        "[OUTPUT]\r\nRAWDATA_PATH=C:\\TEMP\\\r\nSDS_PATH=reports\\sds\r\nMDS_PATH=/var/mds/\r\n";
  SGeneralSettings general;
  SOutputSettings output;
  {
    CProfile profile(ini);
    CFileProfileStore store(profile);
    ReadGeneralSettings(store, SDefaultsEnvironment{}, general);
    ReadOutputSettings(store, SDefaultsEnvironment{}, output);
    EXPECT_EQ(general.cdromPath, "../../");
    EXPECT_EQ(general.otherPath, "archive/qav/");
    EXPECT_EQ(output.rawPath, "C:/TEMP/");
    EXPECT_EQ(output.sdsPath, "reports/sds");
    EXPECT_EQ(output.mdsPath, "/var/mds/");
    ASSERT_TRUE(WriteViewSettings(store, general, output, PeValidity{}));
  }
  std::ifstream in(ini);
  const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(written.find("CDROM_PATH=../../"), std::string::npos) << written;
  EXPECT_EQ(written.find('\\'), std::string::npos) << written;
}
}  // namespace

namespace {
// A view that counts what the menu reaches.
class CountingView : public CMainDlg {
  DECLARE_DYNCREATE(CountingView)

 public:
  void OnReadConfig() override { ++reads; }
  void OnSaveConfig() override { ++saves; }
  void OnOpenOutputFile() override { ++opens; }
  int reads = 0, saves = 0, opens = 0;
};
IMPLEMENT_DYNCREATE(CountingView, CMainDlg)

TEST_F(MainViewTest, TheMenuReachesTheViewsOperations) {
  const CRuntimeClass* registered = FindMainView(IDR_MAINFRAME);
  RegisterMainView(IDR_MAINFRAME, RUNTIME_CLASS(CountingView));
  Start();
  RegisterMainView(IDR_MAINFRAME, registered);
  auto* view = dynamic_cast<CountingView*>(view_);
  ASSERT_NE(view, nullptr);
  input::Menu(frameWnd_, ID_READ_CONFIG);
  input::Menu(frameWnd_, ID_SAVE_CONFIG);
  input::Menu(frameWnd_, ID_SAVE_CONFIG);
  input::Menu(frameWnd_, ID_FILE_OPEN);
  EXPECT_EQ(std::vector<int>({view->reads, view->saves, view->opens}), std::vector<int>({1, 2, 1}));
  // Parameters shows the sheet modally.
  std::string caption;
  qav::ui::PostTask([&] {
    caption = view->m_Sheet.GetWindowText();
    input::Click(::GetDlgItem(view->m_Sheet.m_hWnd, IDCANCEL));
  });
  input::Menu(frameWnd_, ID_PARAMETERS);
  EXPECT_EQ(caption, "Parameter Settings");
  EXPECT_EQ(view->m_Sheet.GetPageCount(), 3);
}

TEST_F(MainViewTest, AWorkersWaitCursorReachesTheUserInterfaceThread) {
  Start();
  std::thread worker([this] { view_->SetWaitCursor(true); });
  worker.join();
  qav::ui::PumpPending();
  EXPECT_EQ(::GetCursor(), view_->m_hWaitCursor);
  EXPECT_EQ(view_->SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(view_->GetSafeHwnd()), 0), TRUE);
  EXPECT_EQ(view_->SendMessage(WM_SET_WAIT_CURSOR, 0, 0), 1);
  EXPECT_FALSE(view_->m_bBusy);
}

TEST_F(MainViewTest, HelpSaysSoOnlyWhenItsFileCannotBeOpened) {
  struct Restore {
    ~Restore() {
      SetAssociationLookupForTesting(nullptr);
      SetProgramPathForTesting("");
    }
  } restore;
  SetProgramPathForTesting(folder_ / "qav");
  SetAssociationLookupForTesting([](const std::string&, std::string& program) {
    program = "/bin/true";
    return true;
  });
  Start();
  input::Menu(frameWnd_, ID_HELP);  // no help file beside the program
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text.rfind("The help file " + folder_ / "qav.chm" + " could not be opened.", 0), 0u);
  std::ofstream(folder_ / "qav.chm") << "help";
  input::Menu(frameWnd_, ID_HELP);
  EXPECT_EQ(boxes_.size(), 1u);
}
}  // namespace
