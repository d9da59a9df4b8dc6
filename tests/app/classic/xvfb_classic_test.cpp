// The real program under X with real input (xdotool): the Classic view reads a configuration over a
// generated archive, GO runs the raw data listing, and the report opens in the program's own viewer;
// File > Open Output File shows a report in the viewer, whose text follows the window's size.
// Screenshots of the form, the validity pages, the wait dialog and the viewer go to
// $QAV_SHOT_DIR when it is set. Skipped without a display, xdotool or the qav program. Every
// outside command is ended by `timeout`: a command that waits on a window that went away (as
// `import -window` does) fails the test instead of hanging it.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/classic/classic_config.h"
#include "app/shell/app_test_env.h"
#include "app/shell/own_display.h"
#include "x_hold.h"
#include "platform/app/ole_date_time.h"
#include "archive/sample_archive.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string Shell(const std::string& command) { return Output(command); }

// One xdotool command, ended after 20 s at most; what it printed.
std::string Xdo(const std::string& args) { return Shell("timeout 20 xdotool " + args + " 2>/dev/null"); }

// Keys typed into `window` as a user types them: the window is given the focus, then each key goes
// down and up through the X server's test extension. (`xdotool key --window` chooses between that
// and an event sent to the window for each press and each release on its own: a Return that closes
// the window goes down for real and comes up as a sent event, so the server keeps the key held and
// repeats it into whichever window has the focus next, such as a viewer that just opened.) False,
// and nothing typed, when the window cannot take the focus (it is gone). `how` is "key" or "type".
bool Keys(const std::string& window, const std::string& keys, const char* how = "key") {
  return Shell("timeout 10 xdotool windowfocus --sync " + window + " 2>/dev/null && timeout 20 xdotool " + how + " " +
               keys + " 2>/dev/null && echo typed") == "typed";
}

// The first window whose name matches, waiting up to `seconds`; "" when none appears.
std::string WaitWindow(const std::string& name, int seconds) {
  std::string id;
  Within(seconds, [&] { return !(id = Xdo("search --onlyvisible --name '" + name + "' | head -1")).empty(); });
  return id;
}

void Shot(const char* name) {
  const char* dir = std::getenv("QAV_SHOT_DIR");
  if (dir && *dir) Shell(std::string("timeout 15 import -window root '") + dir + "/" + name + ".png' 2>/dev/null");
}

// Does `act`; the seconds from then until `window` is no longer shown (20 at most).
double SecondsUntilGone(const std::function<void()>& act, const std::string& window) {
  const auto start = std::chrono::steady_clock::now();
  act();
  Shell("timeout 30 bash -c 'for ((i = 0; i < 4000; i++)); do xwininfo -id " + window +
        " 2>/dev/null | grep -q IsViewable || break; sleep 0.005; done'");
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Places under Xvfb with the Qt backend's fonts, in pixels from their window's top left:
// "---GO!---" in the main window, the sheet's "Daily" tab and its Cancel button.
constexpr int kGoY = 347;
constexpr int kDailyTab[2] = {516, 23};
constexpr int kSheetCancel[2] = {612, 499};
// The raw block's dates "Change" button in the main window.
constexpr int kRawChangeDates[2] = {168, 174};
constexpr int kRawName[2] = {195, 59};  // the raw block's file-name edit

// True once no visible window's name matches, waiting up to `seconds`.
bool WaitGone(const std::string& name, int seconds) {
  return Within(seconds, [&] { return Xdo("search --onlyvisible --name '" + name + "' | head -1").empty(); });
}

// A click on the status list, so that the main window has the keyboard.
void Focus(const std::string& window) {
  Xdo("mousemove --window " + window + " 200 430 click 1");
  xtest::Settle(0.7);
}

// The program's menu that is open: a shown window of the process `pid` that no window manager
// handles (a pop-up); "" when none is.
std::string OpenMenu(const std::string& pid) {
  std::istringstream ids(Xdo("search --onlyvisible --pid " + pid));
  for (std::string id; ids >> id;)
    if (!Shell("timeout 10 xwininfo -id " + id + " 2>/dev/null | grep 'Override Redirect State: yes'").empty()) return id;
  return {};
}

// A menu command by its keys (Alt + the menu's letter, typed once the main window has the
// keyboard, then the item's letter, typed once the menu is open and has it); the window it opens,
// or "" when none opened. The keys are typed again only when the keyboard went to a window that is
// not the program's meanwhile (a window manager took it); keys the program dropped are not.
std::string MenuCommand(const std::string& main, const char* menu, const char* item, const std::string& opens) {
  const std::string pid = Xdo("getwindowpid " + main);
  for (int attempt = 0; attempt < 2; ++attempt) {
    Focus(main);
    if (!Within(10, [&] { return FocusedWindow() == main; })) return {};
    Keys(main, std::string("alt+") + menu);
    if (Within(10, [&] { return !OpenMenu(pid).empty(); })) {
      Xdo(std::string("key ") + item);
      std::string id = WaitWindow(opens, 20);
      if (!id.empty()) return id;
    }
    const std::string focus = FocusedWindow();
    if (focus.empty() || Xdo("getwindowpid " + focus) == pid) return {};
    NoteResend(std::string("menu keys alt+") + menu + " " + item + ": the keyboard went to window " + focus);
  }
  return {};
}

void Settle(int ms = 1000) { xtest::Settle(ms / 1000.0); }

// Types `path` over the name field of the file chooser `chooser` (titled `title`) and presses
// Enter. The name field's completion list, when it opened, takes the first Enter; a second one is
// typed (and noted) only while the chooser stays and `next`, the window it leads to, has not
// appeared. False when the chooser did not close.
bool ChooseFile(const std::string& chooser, const char* title, const std::string& path, const char* next = nullptr) {
  if (chooser.empty()) return false;
  Keys(chooser, "ctrl+a");
  Keys(chooser, "--delay 20 '" + path + "'", "type");
  Keys(chooser, "Return");
  if (!WaitGone(title, 5) && (next == nullptr || WaitWindow(next, 1).empty())) {
    NoteResend(std::string("Enter in ") + title + ": the completion list took the first");
    Keys(chooser, "Return");
  }
  return WaitGone(title, 20);
}

// A File menu command whose file chooser (window `title`) gets `path` typed over its name field.
// `next` names the window the command shows after the chooser, when it shows one.
void FileCommand(const std::string& main, const char* item, const char* title, const std::string& path,
                 const char* next = nullptr) {
  ASSERT_TRUE(ChooseFile(MenuCommand(main, "f", item, title), title, path, next)) << title << " did not open or close";
  Settle(800);
}

class XvfbClassic : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Shell("command -v xdotool").empty() || Shell("command -v Xvfb").empty()) GTEST_SKIP() << "no xdotool or Xvfb";
    qav_ = (fs::canonical("/proc/self/exe").parent_path() / "../../src/app/qav").lexically_normal().string();
    if (!fs::exists(qav_)) GTEST_SKIP() << "no qav program at " << qav_;
  }
  void TearDown() override {
    // A program still held goes on, so that it can end.
    for (const char* point : {"load", "write-raw", "write-single-day", "write-multi-day", "viewer-read"}) holds_.Release(point);
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      int status = 0;
      ::waitpid(pid_, &status, 0);
    }
    if (!mounted_.empty()) Shell("umount '" + mounted_ + "' 2>&1 || umount -l '" + mounted_ + "' 2>&1");
  }
  // A small disk of its own at `dir` (a tmpfs of `size`); false when mounting is not allowed.
  bool MountSmallDisk(const std::string& dir, const char* size) {
    fs::create_directories(dir);
    if (!Shell("mount -t tmpfs -o size=" + std::string(size) + " tmpfs '" + dir + "' 2>/dev/null && echo mounted")
             .empty()) {
      mounted_ = dir;
      return true;
    }
    return false;
  }
  // Starts the program with the profile text, and with `opener` the body of a shell script that
  // stands in for the desktop's opener (xdg-open) on its PATH; the main window, "" when it did not
  // appear.
  std::string StartProgram(const std::string& ini, const std::string& opener = "") {
    fs::create_directories(folder_ / "config/KARVO");
    std::ofstream(folder_ / "config/KARVO/qav.ini") << ini;
    const std::string bin = folder_ / "bin", path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    if (!opener.empty()) {
      fs::create_directories(bin);
      std::ofstream(bin + "/xdg-open") << "#!/bin/sh\n" << opener << "\n";
      fs::permissions(bin + "/xdg-open", fs::perms::owner_all);
      ::setenv("PATH", (bin + ":" + path).c_str(), 1);
    }
    ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
    // The X keyboard library reads past a string's end where strict string checks look; the
    // program is ended by a signal, so its leaks are not checked either.
    ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    char* argv[] = {const_cast<char*>(qav_.c_str()), nullptr};
    const int spawned = ::posix_spawn(&pid_, qav_.c_str(), nullptr, nullptr, argv, environ);
    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("PATH", path.c_str(), 1);
    if (spawned != 0) return {};
    const std::string main = WaitWindow("QAV Classic", 60);
    if (main.empty()) return {};
    Shell("timeout 10 xdotool windowfocus --sync " + main + " 2>/dev/null");
    Settle(1500);
    return main;
  }
  // File > Read Config File, the path typed into the file chooser; false when it did not close.
  static bool ReadConfig(const std::string& main, const std::string& cfg) {
    if (!ChooseFile(MenuCommand(main, "f", "r", "^Open$"), "^Open$", cfg)) return false;
    Settle(1500);
    return true;
  }
  // An archive of 1994 at `root`: eight elements over three days.
  static bool WriteSmallArchive(const std::string& root, std::vector<SampleDayInfo>& days) {
    SampleArchiveOptions o;
    o.root = root;
    o.years = {1994};
    o.elements = 8;
    o.days = 3;
    return WriteSampleArchive(o, nullptr, &days) == 0;
  }
  // A single-day summary of one section for the viewer: "view.sds" in the folder `out`.
  static void WriteViewReport(const std::string& out) {
    fs::create_directories(out);
    std::ofstream(out + "view.sds", std::ios::binary)
        << "ES-101D:_MN___1  I-5          Station Rd         12.34\r\n01/05/2003 (Sun)\r\n\r\n     ---Daily\r\n";
  }
  std::string qav_;
  pid_t pid_ = -1;
  AppTempFolder folder_;
  // Named to each program the test starts ($QAV_HOLD_DIR).
  xtest::CHolds holds_{folder_.path()};
  std::string mounted_;
};

// The clicks go to screen places, so each test runs again on an X server of its own where no other
// test's windows can be in the way. True in that inner run; the outer run checks its result.
bool InnerRun() { return RunOnOwnDisplay(EDesktop::BareX); }

// The raw selection of every written day of the 1994 sample archive and its loops.
ClassicSelection LoopsOnEveryDay(const std::vector<SampleDayInfo>& days) {
  ClassicSelection sel;
  for (const SampleDayInfo& d : days)
    if (d.written) sel.dates.push_back(COleDateTime(d.year, d.month, d.day, 0, 0, 0));
  sel.roadways = {"I-5"};
  for (const SampleElement& e : SampleElements(1994, 400)) {
    if (e.kind != 0) continue;
    const std::string id = e.key.substr(0, e.key.find(':'));
    sel.cabinets.push_back({id, e.aliasKey.substr(0, e.aliasKey.find(':')), 0, "Here", 0});
    sel.elements.push_back({e.key.substr(e.key.find(':') + 1), 0, static_cast<int>(sel.cabinets.size()) - 1});
  }
  return sel;
}

// A 1994 sample archive of 400 elements over `days` days at `root`, and at `cfg` a configuration
// with the raw listing of its loops on every day, in the report format `format`, and with
// `summaries` their single-day summaries too (daily and 15-minute tables).
void WriteRawSetUp(const std::string& root, int days, const std::string& cfg, int format = 0, bool summaries = false) {
  SampleArchiveOptions o;
  o.root = root;
  o.years = {1994};
  o.elements = 400;
  o.days = days;
  std::vector<SampleDayInfo> written;
  ASSERT_EQ(WriteSampleArchive(o, nullptr, &written), 0);
  ClassicSetup setup;
  setup.rawOn = 1;
  setup.rawFormat = format;
  setup.sel[CB_RAW] = LoopsOnEveryDay(written);
  setup.sdsOn = setup.daily = setup.min15 = summaries ? 1 : 0;
  if (summaries) setup.sel[CB_SINGLE] = setup.sel[CB_RAW];
  std::string error;
  ASSERT_TRUE(WriteClassicConfigFile(cfg.c_str(), setup, error)) << error;
}

// The pointer onto (x, y) of `window`'s client area and, with `click`, a click there; the window
// that was under the pointer then (`window`, or another one over it).
std::string PointAt(const std::string& window, int x, int y, bool click = true) {
  return Xdo("mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y) +
             (click ? " click 1" : "") + " getmouselocation --shell | sed -n 's/^WINDOW=//p'");
}

// True when `outer` is `window` or holds it (the frame a window manager put round it), as xdotool
// names windows: the pointer over `window` is over `outer` too.
bool Around(const std::string& outer, const std::string& window) {
  std::string w = window;
  for (int level = 0; level < 8 && !w.empty(); ++level) {
    if (w == outer) return true;
    const std::string parent = Shell("timeout 10 xwininfo -tree -id " + w +
                                     " 2>/dev/null | sed -n 's/.*Parent window id: \\(0x[0-9a-f]*\\).*/\\1/p'");
    w = parent.empty() ? std::string() : std::to_string(std::stoul(parent, nullptr, 16));
  }
  return false;
}

// The pointer onto GO, which spans the form under the three blocks (its middle, kGoY pixels below
// the top of the main window's client area), and with `click` a click on it.
std::string OnGo(const std::string& main, bool click = false) { return PointAt(main, Where(main).w / 2, kGoY, click); }

// Clicks GO; the first window whose name matches `running`, "" when none appeared. The click is
// sent again only when another window was over GO as it came (one a window manager had not yet
// taken away); a click the main window took and let go is not.
std::string ClickGo(const std::string& main, const char* running) {
  for (int attempt = 0;; ++attempt) {
    const std::string under = OnGo(main, true);
    const std::string wait = WaitWindow(running, 30);
    if (!wait.empty() || attempt == 1 || Around(under, main)) return wait;
    NoteResend("GO: the click met window " + under + ", not the main window");
  }
}

TEST_F(XvfbClassic, RunOverAnArchiveOpensTheReportInTheViewer) {
  if (!xtest::kProgramHolds) GTEST_SKIP() << "the program has no test holds in this build";
  if (!InnerRun()) return;
  const std::string root = folder_ / "archive/", out = folder_ / "out/", cfg = folder_ / "run.cfg";
  // The configuration: raw data on, its own selection of the archive's days and loops (400
  // elements).
  WriteRawSetUp(root, 3, cfg);
  if (HasFatalFailure()) return;
  // The program's profile: the Classic view, this archive, reports opened in the own viewer.
  const std::string main = StartProgram("[GENERAL]\nUSE_CLASSIC=1\nCDROM_INDEX=1\nOTHER_PATH=" + root +
                                        "\n[OUTPUT]\nAUTOOPEN=1\nUSEQAVCUSTOMVIEWER=1\nRAWDATA_PATH=" + out +
                                        "\nSDS_PATH=" + out + "\nMDS_PATH=" + out + "\n");
  ASSERT_FALSE(main.empty()) << "the main window did not appear";
  Shot("form200");

  // File > Read Config File on 2,000 random bytes: a box names the file and the line, and the
  // set-up stays as it was (saved through File > Save Configuration before and after).
  const std::string junk = folder_ / "junk.cfg";
  {
    std::ofstream f(junk, std::ios::binary);
    for (int i = 0; i < 2000; ++i) f.put(static_cast<char>(i * 131 + 7));
  }
  FileCommand(main, "s", "^Save As$", folder_ / "before.cfg");
  FileCommand(main, "r", "^Open$", junk, "^Read Config File$");
  const std::string refused = WaitWindow("^Read Config File$", 20);
  ASSERT_FALSE(refused.empty()) << "no box told that the file was refused";
  Settle(800);
  Shot("config_refused");
  Keys(refused, "Return");
  ASSERT_TRUE(WaitGone("^Read Config File$", 20)) << "the box did not close";
  Settle(800);
  FileCommand(main, "s", "^Save As$", folder_ / "after.cfg");
  EXPECT_EQ(Slurp(folder_ / "after.cfg"), Slurp(folder_ / "before.cfg"));
  EXPECT_NE(Slurp(folder_ / "before.cfg").find("DEFAULT.DAT"), std::string::npos);

  ASSERT_TRUE(ReadConfig(main, cfg)) << "the configuration was not read";
  Shot("form200_configured");

  // Options > Parameters, then the Daily validity page's tab; Cancel.
  const std::string sheet = MenuCommand(main, "o", "p", "Parameter Settings");
  ASSERT_FALSE(sheet.empty()) << "the sheet did not open";
  Settle(800);
  Xdo("mousemove --window " + sheet + " " + std::to_string(kDailyTab[0]) + " " + std::to_string(kDailyTab[1]) +
      " click 1");
  Settle(800);
  Shot("validity_daily");
  Xdo("mousemove --window " + sheet + " " + std::to_string(kSheetCancel[0]) + " " + std::to_string(kSheetCancel[1]) +
      " click 1");
  ASSERT_TRUE(WaitGone("Parameter Settings", 20)) << "the sheet did not close";
  Settle(800);

  // The run is held while it writes the report, so that its wait dialog is seen.
  holds_.Arm("write-raw");
  ASSERT_FALSE(ClickGo(main, "Loading Input Data|Outputting Raw Data|Working").empty()) << "the run did not start";
  ASSERT_TRUE(holds_.Held("write-raw", 120)) << "the report is not being written";
  Shot("wait_dialog");
  holds_.Release("write-raw");

  const std::string viewer = WaitWindow("DEFAULT.DAT", 60);
  ASSERT_FALSE(viewer.empty()) << "the report was not opened in the viewer";
  Settle(1500);
  Shot("viewer");
  EXPECT_TRUE(fs::exists(out + "DEFAULT.DAT"));
}

// Days of the 400-element archive whose raw listing is over the size the viewer opens without its
// progress dialog.
constexpr int kProgressDays = 12;

// The raw listing (over the size the viewer opens without its progress dialog) opens in the viewer
// while the run goes on with the single-day summaries, under a window manager: the viewer's
// progress dialog ("Opening the Report") belongs to the run's and stands beside it, neither
// covering the other, the run's stays above the main window, and the keyboard stays with the run's
// dialog, also after a click on the main window. The run is held after the first single-day element
// it wrote, and the reading after its first block, while this is looked at. Escape, typed there,
// ends the run once its worker goes on: its dialog goes within a quarter of a second (a second in
// this build, on a busy machine) and no single-day report is written, while the reading stays; its
// own dialog takes the keyboard, and Escape ends the reading though it is held.
TEST_F(XvfbClassic, TheViewersProgressDialogStandsBesideTheRunsUnderAWindowManager) {
  if (!xtest::kProgramHolds) GTEST_SKIP() << "the program has no test holds in this build";
  if (!RunOnOwnDisplay({EDesktop::Openbox, EDesktop::Metacity})) return;
  const std::string root = folder_ / "archive/", out = folder_ / "out/", cfg = folder_ / "run.cfg";
  WriteRawSetUp(root, kProgressDays, cfg, 0, true);
  if (HasFatalFailure()) return;
  const std::string main = StartProgram("[GENERAL]\nUSE_CLASSIC=1\nCDROM_INDEX=1\nOTHER_PATH=" + root +
                                        "\n[OUTPUT]\nAUTOOPEN=1\nUSEQAVCUSTOMVIEWER=1\nRAWDATA_PATH=" + out +
                                        "\nSDS_PATH=" + out + "\n");
  ASSERT_FALSE(main.empty()) << "the main window did not appear";
  ASSERT_TRUE(ReadConfig(main, cfg)) << "the configuration was not read";
  holds_.Arm("viewer-read");
  holds_.Arm("write-single-day");
  const char* running = "^(Loading|Outputting|Working)";
  ASSERT_FALSE(ClickGo(main, running).empty()) << "the run did not start";
  ASSERT_TRUE(holds_.Held("viewer-read", 180)) << "the raw listing is not being read into the viewer; " << Shell("ls -l " + out);
  ASSERT_TRUE(holds_.Held("write-single-day", 180)) << "the single-day summaries are not being written";
  EXPECT_GT(BytesBeside(out + "DEFAULT.SDS"), 0) << "the single-day summaries are not written beside their name";
  const std::string opening = WaitWindow("^Opening the Report$", 30);
  ASSERT_FALSE(opening.empty()) << "the viewer's progress dialog never showed; " << Shell("ls -l " + out);
  const std::string run = WaitWindow(running, 30);
  ASSERT_FALSE(run.empty()) << "the run's dialog went before the report opened";
  EXPECT_TRUE(Within(3, [&] { return FocusedWindow() == run; })) << FocusedWindow() << " has the keyboard";
  EXPECT_FALSE(Framed(run).Meets(Framed(opening))) << "one progress dialog covers the other";
  EXPECT_EQ(TransientFor(opening), run);
  EXPECT_EQ(TransientFor(run), main);
  EXPECT_GT(StackPlace(run), StackPlace(main));
  const SPlace m = Where(main);
  Xdo("mousemove " + std::to_string(m.x + m.w - 12) + " " + std::to_string(m.y + m.h - 12) + " click 1");
  ASSERT_TRUE(Within(3, [&] { return FocusedWindow() == run; }))
      << "after a click on the main window, " << FocusedWindow() << " has the keyboard";
  Shot("two_progress_dialogs");
  // Escape cancels the run; its dialog goes once the worker, let go, has stopped.
  Xdo("key Escape");
  Settle(500);  // the dialog takes the Escape before the held run goes on
  const double took = SecondsUntilGone([&] { holds_.Release("write-single-day"); }, run);
  EXPECT_LT(took, 1.0) << "the run's dialog stayed after Escape";
  EXPECT_FALSE(WaitWindow("^Opening the Report$", 0).empty()) << "the viewer's progress dialog went with the run's";
  TableLine("run's Cancel while the viewer reads", took < 0.25, took);
  ASSERT_TRUE(Within(3, [&] { return FocusedWindow() == opening; })) << FocusedWindow() << " has the keyboard";
  Xdo("key Escape");
  EXPECT_TRUE(WaitGone("^Opening the Report$", 5)) << "Escape did not end the reading";
  EXPECT_TRUE(WaitWindow("DEFAULT.DAT", 3).empty()) << "the report opened all the same";
  EXPECT_TRUE(WaitGone(running, 30)) << "the run did not end";
  EXPECT_FALSE(fs::exists(out + "DEFAULT.SDS")) << "the cancelled run wrote its single-day report";
  EXPECT_EQ(BytesBeside(out + "DEFAULT.SDS"), -1) << "the cancelled single-day report was left beside its name";
}

// GO with automatic opening, twice: the report the run wrote comes up in the viewer above the
// maximised main window, with the keyboard; Escape closes the viewer. The second time the window manager is held
// up (as a busy machine holds it up) from the start of the run until the report is open, so that it
// takes the viewer and the going of the run's wait dialog together when it goes on. Under openbox
// and metacity.
TEST_F(XvfbClassic, TheReportARunOpensComesUpAboveTheMainWindowWithTheKeyboard) {
  if (!xtest::kProgramHolds) GTEST_SKIP() << "the program has no test holds in this build";
  if (!RunOnOwnDisplay({EDesktop::Openbox, EDesktop::Metacity})) return;
  const std::string root = folder_ / "archive/", out = folder_ / "out/", cfg = folder_ / "run.cfg";
  WriteRawSetUp(root, 3, cfg);
  if (HasFatalFailure()) return;
  const std::string main = StartProgram("[GENERAL]\nUSE_CLASSIC=1\nCDROM_INDEX=1\nOTHER_PATH=" + root +
                                        "\n[OUTPUT]\nAUTOOPEN=1\nUSEQAVCUSTOMVIEWER=1\nRAWDATA_PATH=" + out + "\n");
  ASSERT_FALSE(main.empty()) << "the main window did not appear";
  ASSERT_TRUE(ReadConfig(main, cfg)) << "the configuration was not read";
  bool above = true, keys = true;
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    fs::remove(out + "DEFAULT.DAT");
    // The run is held while it writes the report: the second time until the manager is held too.
    holds_.Arm("write-raw");
    ASSERT_FALSE(ClickGo(main, "^(Loading|Outputting)").empty()) << "the run did not start";
    ASSERT_TRUE(holds_.Held("write-raw", 120)) << "the report is not being written";
    std::string viewer;
    if (run == 1) {
      holds_.Release("write-raw");
      viewer = WaitWindow("^DEFAULT\\.DAT$", 60);
    } else {
      SManagerHeld manager;
      ASSERT_TRUE(manager.held) << "the window manager cannot be held up here";
      holds_.Release("write-raw");
      ASSERT_TRUE(Within(60, [&] { return fs::exists(out + "DEFAULT.DAT"); })) << "the run wrote no report";
      Settle(3000);
      manager.Release();
      viewer = WaitWindow("^DEFAULT\\.DAT$", 30);
    }
    ASSERT_FALSE(viewer.empty()) << "the report was not opened in the viewer";
    ASSERT_TRUE(WaitGone("^(Loading|Outputting|Working|Opening)", 30)) << "the run did not end";
    Settle(1500);
    const bool onTop = StackPlace(viewer) > StackPlace(main);
    above = above && onTop;
    EXPECT_TRUE(onTop) << "the viewer is below the main window";
    std::string focus;
    const bool focused = Within(5, [&] { return (focus = FocusedWindow()) == viewer; });
    keys = keys && focused;
    EXPECT_TRUE(focused) << "the viewer has no keyboard; " << focus << " has";
    Shot(run == 1 ? "viewer_after_go" : "viewer_after_go_held");
    if (!focused) break;  // Escape would go to another window
    Xdo("key Escape");
    ASSERT_TRUE(WaitGone("^DEFAULT\\.DAT$", 10)) << "Escape did not close the viewer";
    EXPECT_TRUE(Within(5, [&] { return FocusedWindow() == main; })) << "after the viewer, " << FocusedWindow();
  }
  TableLine("viewer above main after GO", above);
  TableLine("viewer has the keyboard after GO", keys);
}

// Cancel typed into the wait dialog of a run held while it loads, bare and under openbox, and a key
// typed the moment the dialog is gone: the main window takes it. The key is Space on GO, which has
// the main window's keyboard since it was clicked, so the next run starts. Then a click on GO soon
// after Cancel, while the cancelled run is still ending (held while it writes its report) and the
// main window takes no input yet: it is not lost, but comes once the run is over and starts the
// next run, which writes the report.
TEST_F(XvfbClassic, AKeyOrAClickSoonAfterCancelReachesTheMainWindowAndStartsTheNextRun) {
  if (!xtest::kProgramHolds) GTEST_SKIP() << "the program has no test holds in this build";
  if (!RunOnOwnDisplay({EDesktop::BareX, EDesktop::Openbox})) return;
  const std::string root = folder_ / "archive/", out = folder_ / "out/", cfg = folder_ / "run.cfg";
  WriteRawSetUp(root, 3, cfg);
  if (HasFatalFailure()) return;
  const std::string main = StartProgram("[GENERAL]\nUSE_CLASSIC=1\nCDROM_INDEX=1\nOTHER_PATH=" + root +
                                        "\n[OUTPUT]\nAUTOOPEN=0\nRAWDATA_PATH=" + out + "\n");
  ASSERT_FALSE(main.empty()) << "the main window did not appear";
  ASSERT_TRUE(ReadConfig(main, cfg)) << "the configuration was not read";
  const char* running = "^(Loading|Outputting)";
  holds_.Arm("load");
  const std::string wait = ClickGo(main, running);
  ASSERT_FALSE(wait.empty()) << "the run did not start";
  ASSERT_TRUE(holds_.Held("load", 120)) << "the run is not loading";
  Shot("wait_running");
  // The next run is held once it writes its report.
  holds_.Arm("write-raw");
  // Cancel (the dialog's default button), then Space as soon as no wait dialog is shown.
  ASSERT_TRUE(Within(5, [&] { return FocusedWindow() == wait; })) << FocusedWindow() << " has the keyboard";
  ASSERT_TRUE(Keys(wait, "Return"));
  if (std::getenv("QAV_SHOT_DIR") != nullptr) Xdo("sleep 0.2"), Shot("wait_cancelled");
  Settle(500);  // the dialog takes the Return before the held run goes on
  holds_.Release("load");
  // A search that meets a window being destroyed fails with an X error, so the dialog is taken
  // for gone only when two searches in a row do not find it.
  const std::string find = std::string("xdotool search --onlyvisible --name '") + running + "' >/dev/null 2>&1";
  Shell("timeout 20 bash -c \"while " + find + " || " + find + "; do :; done; xdotool key space\"");
  const std::string second = WaitWindow(running, 30);
  ASSERT_FALSE(second.empty()) << "the Space typed after Cancel was lost";
  ASSERT_TRUE(holds_.Held("write-raw", 120)) << "the second run is not writing its report";
  OnGo(main);
  // Cancel, and a click on GO 0.3 s later while the run is held.
  Shell("timeout 10 xdotool windowfocus --sync " + second + " 2>/dev/null; timeout 10 xdotool key Return sleep 0.3 click 1");
  Settle(1000);
  EXPECT_EQ(WaitWindow(running, 0), second) << "the run's dialog went while its worker was held";
  // The run the click starts is held while it loads.
  holds_.Arm("load");
  holds_.Release("write-raw");
  EXPECT_TRUE(holds_.Held("load", 120)) << "the click on GO soon after Cancel started no run";
  // The next run's wait dialog is a window of its own.
  EXPECT_TRUE(Within(30, [&] {
    const std::string w = Xdo(std::string("search --onlyvisible --name '") + running + "' | head -1");
    return !w.empty() && w != second;
  })) << "the click on GO soon after Cancel was lost";
  holds_.Release("load");
  EXPECT_TRUE(Within(120, [&] { return fs::exists(out + "DEFAULT.DAT"); })) << "the run it started wrote no report";
}

TEST_F(XvfbClassic, RefusedNameStopsChange) {
  if (!InnerRun()) return;
  const std::string root = folder_ / "archive/", out = folder_ / "out/", cfg = folder_ / "long.cfg";
  std::vector<SampleDayInfo> days;
  ASSERT_TRUE(WriteSmallArchive(root, days));
  // A configuration whose raw report name is longer than the form takes.
  ClassicSetup setup;
  setup.rawOn = 1;
  for (const SampleDayInfo& d : days)
    if (d.written) setup.sel[CB_RAW].dates.push_back(COleDateTime(d.year, d.month, d.day, 0, 0, 0));
  std::string error;
  ASSERT_TRUE(WriteClassicConfigFile(cfg.c_str(), setup, error)) << error;
  // A report for the viewer.
  WriteViewReport(out);
  const std::string main =
      StartProgram("[GENERAL]\nUSE_CLASSIC=1\nCDROM_INDEX=1\nOTHER_PATH=" + root + "\n[OUTPUT]\nAUTOOPEN=0\nUSEQAVCUSTOMVIEWER=1\n");
  ASSERT_FALSE(main.empty()) << "the main window did not appear";
  ASSERT_TRUE(ReadConfig(main, cfg)) << "the configuration was not read";
  // A set-up file cannot bring a name the field refuses; a typed name with a folder part is one,
  // typed once the main window has the keyboard.
  PointAt(main, kRawName[0], kRawName[1]);
  ASSERT_TRUE(Within(10, [&] { return FocusedWindow() == main; })) << FocusedWindow() << " has the keyboard";
  Xdo("key ctrl+a sleep 0.2 type --delay 20 '../R.DAT'");
  Settle(500);
  Shot("long_name_read");
  // The raw block's dates "Change": the refused name is told and the date dialog stays closed.
  // The click is sent again only when another window was over "Change" as it came.
  std::string box;
  for (int attempt = 0; attempt < 2 && box.empty(); ++attempt) {
    const std::string under = PointAt(main, kRawChangeDates[0], kRawChangeDates[1]);
    box = WaitWindow("^QAV$", 20);
    if (!box.empty() || Around(under, main)) break;
    NoteResend("Change: the click met window " + under + ", not the main window");
  }
  if (box.empty()) Shot("refused_name_missing");
  ASSERT_FALSE(box.empty()) << "no message about the refused name";
  Settle(800);
  Shot("refused_name");
  EXPECT_TRUE(WaitWindow("Select Dates", 1).empty()) << "the date dialog opened over a refused name";
  Keys(box, "Return");
  EXPECT_TRUE(WaitGone("^QAV$", 10));
  Settle(800);
  EXPECT_TRUE(WaitWindow("Select Dates", 1).empty());
}

// The colours of points of a window's own picture ("srgb(255,255,255)", ...); empty when the window
// could not be taken.
std::vector<std::string> ColoursAt(const std::string& window, const std::vector<std::pair<int, int>>& points) {
  const std::string shot = "/tmp/qav_xvfb_pixel_" + std::to_string(::getpid()) + ".png";
  std::string format;
  for (const auto& [x, y] : points) format += "%[pixel:p{" + std::to_string(x) + "," + std::to_string(y) + "}] ";
  const std::string out = Shell("timeout 15 import -window " + window + " " + shot + " 2>/dev/null && timeout 15 convert " +
                                shot + " -format '" + format + "' info: 2>/dev/null");
  std::remove(shot.c_str());
  std::vector<std::string> colours;
  std::istringstream words(out);
  for (std::string w; words >> w;) colours.push_back(w);
  if (colours.size() != points.size()) colours.clear();
  return colours;
}

// The window's size once it is `width` x `height`, waiting up to 10 s; its last size otherwise.
std::string WaitSize(const std::string& window, int width, int height) {
  std::string size;
  Within(10, [&] {
    return (size = Xdo("getwindowgeometry " + window + " | sed -n 's/.*Geometry: //p'")) ==
           std::to_string(width) + "x" + std::to_string(height);
  });
  return size;
}

TEST_F(XvfbClassic, OpenOutputFileShowsTheReportInTheViewerWhoseTextFollowsItsSize) {
  if (!InnerRun()) return;
  if (Shell("command -v import").empty() || Shell("command -v convert").empty()) GTEST_SKIP() << "no ImageMagick";
  const std::string out = folder_ / "out/";
  WriteViewReport(out);
  const std::string main = StartProgram("[GENERAL]\nUSE_CLASSIC=1\n[OUTPUT]\nAUTOOPEN=0\nUSEQAVCUSTOMVIEWER=1\n");
  ASSERT_FALSE(main.empty()) << "the main window did not appear";

  // File > Open Output File: the report in the program's own viewer, whose window alone is named
  // after the report, shown maximised for the user. It stays open.
  ASSERT_TRUE(ChooseFile(MenuCommand(main, "f", "o", "^Open$"), "^Open$", out + "view.sds")) << "no report chosen";
  const std::string viewer = WaitWindow("^view\\.sds$", 30);
  ASSERT_FALSE(viewer.empty()) << "the report was not opened in the viewer";
  EXPECT_EQ(Xdo("getwindowpid " + viewer), std::to_string(pid_)) << "the viewer is not the program's";
  Settle(2000);
  ASSERT_EQ(WaitWindow("^view\\.sds$", 1), viewer) << "the viewer closed by itself";
  const std::string screen = Xdo("getdisplaygeometry | tr ' ' x");

  // At every size, the maximised one first, the text list reaches the window's bottom right
  // corner (the list's white, where the dialog's grey shows if the list kept an earlier size)
  // and stops at the margin the template gives it (the dialog's grey, as in the top right corner).
  const struct {
    int width, height;
    const char* shot;
  } sizes[] = {{0, 0, "viewer_maximised"}, {900, 600, "viewer_900x600"}, {1200, 900, "viewer_1200x900"}};
  for (const auto& size : sizes) {
    int width = size.width, height = size.height;
    if (width == 0) {
      ASSERT_EQ(std::sscanf(screen.c_str(), "%dx%d", &width, &height), 2) << screen;
    } else {
      Xdo("windowsize " + viewer + " " + std::to_string(width) + " " + std::to_string(height));
    }
    ASSERT_EQ(WaitSize(viewer, width, height), std::to_string(width) + "x" + std::to_string(height)) << size.shot;
    Settle(1000);
    Shot(size.shot);
    const std::vector<std::string> c = ColoursAt(viewer, {{width - 60, height - 40}, {width - 3, height - 40}, {width - 3, 3}});
    ASSERT_EQ(c.size(), 3u) << "no picture of the viewer at " << size.shot;
    EXPECT_EQ(c[0], "srgb(255,255,255)") << size.shot << ": the text list does not reach the bottom right corner";
    EXPECT_NE(c[2], c[0]) << size.shot;
    EXPECT_EQ(c[1], c[2]) << size.shot << ": the text list does not stop at the right margin";
  }
}

TEST_F(XvfbClassic, SpreadsheetReportGoesToTheDesktopOpenerAndItsFailureIsShown) {
  if (!xtest::kProgramHolds) GTEST_SKIP() << "the program has no test holds in this build";
  if (!InnerRun()) return;
  const std::string root = folder_ / "archive/", out = folder_ / "out/", cfg = folder_ / "sheet.cfg";
  // Raw data of the loops on every day, as a spreadsheet report; the wait dialog is taken while
  // the run is held loading, then while it is held writing.
  WriteRawSetUp(root, 3, cfg, 1);
  if (HasFatalFailure()) return;
  // The desktop's opener is a stand-in on PATH that notes the file it was given and fails, as
  // xdg-open does when no application takes the file's type. No spreadsheet program is set, so
  // the program takes the opener.
  const std::string log = folder_ / "opened.log";
  const std::string main = StartProgram("[GENERAL]\nUSE_CLASSIC=1\nCDROM_INDEX=1\nOTHER_PATH=" + root +
                                            "\n[OUTPUT]\nAUTOOPEN=1\nSSVIEWER=\nRAWDATA_PATH=" + out + "\n",
                                        "echo \"$1\" >> '" + log + "'\nexit 4");
  ASSERT_FALSE(main.empty()) << "the main window did not appear";
  ASSERT_TRUE(ReadConfig(main, cfg)) << "the configuration was not read";
  Shot("form200_spreadsheet");

  holds_.Arm("load");
  holds_.Arm("write-raw");
  const std::string wait = ClickGo(main, "Loading Input Data|Outputting Raw Data|Working");
  ASSERT_FALSE(wait.empty()) << "no wait dialog";
  for (const char* point : {"load", "write-raw"}) {
    ASSERT_TRUE(holds_.Held(point, 120)) << "the run did not reach " << point;
    Shot(point == std::string("load") ? "wait_dialog_early" : "wait_dialog_later");
    holds_.Release(point);
  }

  // The run ends; the opener gets the report and fails; a message box names the report.
  const std::string box = WaitWindow("^QAV$", 120);
  ASSERT_FALSE(box.empty()) << "no message box about the report";
  std::ifstream in(log);
  std::string opened;
  std::getline(in, opened);
  EXPECT_EQ(opened, out + "DEFAULT.DAT");
  Settle(800);
  Shot("report_not_opened");
  Keys(box, "Return");
  EXPECT_TRUE(WaitGone("^QAV$", 20)) << "the message box did not close with Return";
}

// A raw listing of some megabytes onto a disk of 512 KB: the disk fills half way through the
// report, then, a filler taking all its room, from the start. Each time a message box names the
// report, which is gone, and nothing opens it; the earlier report of that name stays as it was,
// and nothing is left beside it. Return, typed as a user types it, closes the box. Bare and under
// openbox.
TEST_F(XvfbClassic, AReportThatFillsTheDiskIsRemovedAndNamedInABox) {
  if (!RunOnOwnDisplay({EDesktop::BareX, EDesktop::Openbox})) return;
  const std::string root = folder_ / "archive/", small = folder_ / "small/", cfg = folder_ / "raw.cfg";
  if (!MountSmallDisk(small, "512k")) GTEST_SKIP() << "a small disk cannot be mounted here";
  WriteRawSetUp(root, 3, cfg);
  if (HasFatalFailure()) return;
  // A finished report would open in the program's own viewer, in a window named after it.
  const std::string main = StartProgram("[GENERAL]\nUSE_CLASSIC=1\nCDROM_INDEX=1\nOTHER_PATH=" + root +
                                        "\n[OUTPUT]\nAUTOOPEN=1\nUSEQAVCUSTOMVIEWER=1\nRAWDATA_PATH=" + small + "\n");
  ASSERT_FALSE(main.empty()) << "the main window did not appear";
  ASSERT_TRUE(ReadConfig(main, cfg)) << "the configuration was not read";
  const std::string earlier = "an earlier report\r\n";
  std::ofstream(small + "DEFAULT.DAT", std::ios::binary) << earlier;
  for (const char* shot : {"report_disk_filled", "report_disk_full"}) {
    SCOPED_TRACE(shot);
    ASSERT_FALSE(ClickGo(main, "Loading Input Data|Outputting Raw Data|Working|^QAV$").empty()) << "the run did not start";
    ASSERT_TRUE(Within(120, [&] { return !ShownWindows("^QAV$").empty(); }))
        << "no message box about the report" << Shell("ls -la '" + small + "'; df " + small);
    Settle(800);
    Shot(shot);
    EXPECT_EQ(Slurp(small + "DEFAULT.DAT"), earlier) << "the earlier report was not kept";
    EXPECT_TRUE(WaitWindow("DEFAULT.DAT", 1).empty()) << "the report was opened as if it were whole";
    ASSERT_EQ(CloseTheFocusedBox("^QAV$", main), "");
    Settle(800);
    std::ofstream filler(small + "filler", std::ios::binary);
    const std::string block(65536, 'x');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) && filler.flush()) {
    }
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(small), fs::directory_iterator()), 2)
      << "more than the earlier report and the filler";
}

// The raw block's "View" button for its dates, in the main window.
constexpr int kRawViewDates[2] = {232, 174};

// Where the user works has the keyboard. Each key here goes to whichever window has the focus, as
// a user's keys do; nothing is focused by the test. After a run whose spreadsheet report the
// desktop's opener (a stand-in) opens, the main window has the keyboard and a single click on
// "View" opens a dialog that takes it. A run over days the archive does not have, whose report the
// opener cannot open, ends with two message boxes, each of which takes the keyboard. A report in
// the viewer: the viewer takes the keyboard; after it closes the main window has it again. Bare and
// under openbox.
TEST_F(XvfbClassic, KeyboardFollowsTheUser) {
  if (!RunOnOwnDisplay({EDesktop::BareX, EDesktop::Openbox})) return;
  const std::string root = folder_ / "archive/", out = folder_ / "out/";
  std::vector<SampleDayInfo> days;
  ASSERT_TRUE(WriteSmallArchive(root, days));
  std::string error;
  ClassicSetup setup;
  setup.rawOn = 1;
  setup.rawFormat = 1;
  setup.rawName = "DATA.DAT";
  setup.sel[CB_RAW] = LoopsOnEveryDay(days);
  ASSERT_TRUE(WriteClassicConfigFile((folder_ / "data.cfg").c_str(), setup, error)) << error;
  setup.rawName = "NODATA.DAT";
  setup.sel[CB_RAW].dates = {COleDateTime(1994, 6, 1, 0, 0, 0), COleDateTime(1994, 6, 2, 0, 0, 0)};
  ASSERT_TRUE(WriteClassicConfigFile((folder_ / "nodata.cfg").c_str(), setup, error)) << error;
  WriteViewReport(out);
  // The desktop's opener fails for the report of the run without data.
  const std::string main = StartProgram("[GENERAL]\nUSE_CLASSIC=1\nCDROM_INDEX=1\nOTHER_PATH=" + root +
                                            "\n[OUTPUT]\nAUTOOPEN=1\nSSVIEWER=\nUSEQAVCUSTOMVIEWER=1\nRAWDATA_PATH=" + out + "\n",
                                        "case \"$1\" in *NODATA*) exit 4;; esac\nexit 0");
  ASSERT_FALSE(main.empty()) << "the main window did not appear";
  auto focused = [](const std::string& w) { return [w] { return FocusedWindow() == w; }; };
  auto go = [&] { OnGo(main, true); };  // clicked once
  // One click on the raw block's dates "View": the dialog opens and takes the keyboard; Escape
  // closes it and the main window has the keyboard again.
  auto viewDates = [&](const char* after) {
    SCOPED_TRACE(after);
    Xdo("mousemove --window " + main + " " + std::to_string(kRawViewDates[0]) + " " +
        std::to_string(kRawViewDates[1]) + " click 1");
    const std::string view = WaitWindow("^View$", 10);
    ASSERT_FALSE(view.empty()) << "the click on View was lost";
    ASSERT_TRUE(Within(5, focused(view))) << "the View dialog has no keyboard; " << FocusedWindow() << " has";
    Xdo("key Escape");
    EXPECT_TRUE(WaitGone("^View$", 10)) << "Escape did not close the View dialog";
    EXPECT_TRUE(Within(5, focused(main))) << "after View, " << FocusedWindow() << " has the keyboard";
  };

  ASSERT_TRUE(ReadConfig(main, folder_ / "data.cfg")) << "the configuration was not read";
  // Twice: the click on GO after a run starts the next one.
  for (int run = 0; run < 2; ++run) {
    fs::remove(out + "DATA.DAT");
    go();
    EXPECT_TRUE(Within(60, [&] { return fs::exists(out + "DATA.DAT") && WaitGone("Loading|Outputting|Working", 0); }))
        << "run " << run + 1 << " did not start or end";
    Settle(1000);
    EXPECT_TRUE(Within(5, focused(main))) << "after run " << run + 1 << ", " << FocusedWindow() << " has the keyboard";
  }
  viewDates("after the run");

  // Two message boxes: a window titled "QAV" other than the main window.
  ASSERT_TRUE(ReadConfig(main, folder_ / "nodata.cfg")) << "the configuration was not read";
  go();
  for (int shown = 1; shown <= 2; ++shown) ASSERT_EQ(CloseTheFocusedBox("^QAV$", main), "") << "message box " << shown;
  EXPECT_TRUE(Within(5, focused(main))) << "after the boxes, " << FocusedWindow() << " has the keyboard";
  viewDates("after the boxes");

  ASSERT_TRUE(ChooseFile(MenuCommand(main, "f", "o", "^Open$"), "^Open$", out + "view.sds")) << "no report chosen";
  const std::string viewer = WaitWindow("^view\\.sds$", 30);
  ASSERT_FALSE(viewer.empty()) << "the report was not opened in the viewer";
  Settle(1000);
  ASSERT_TRUE(Within(5, focused(viewer))) << "the viewer has no keyboard; " << FocusedWindow() << " has";
  Xdo("key Escape");
  ASSERT_TRUE(WaitGone("^view\\.sds$", 10)) << "Escape did not close the viewer";
  EXPECT_TRUE(Within(5, focused(main))) << "after the viewer, " << FocusedWindow() << " has the keyboard";
  viewDates("after the viewer");
}

// The signals that end a session (a logout, Ctrl+C in a terminal, the terminal closed) end the
// program as File > Exit does, in each phase of a run and with Qt's file chooser up: a run is
// cancelled, the report it was writing taken away and the earlier report of that name kept,
// nothing is left beside it, the settings are saved, and the program ends with status 0 within a
// few seconds.
TEST_F(XvfbClassic, EndingSignalsEndTheProgramAsExitDoesInEachPhaseOfARun) {
  if (!xtest::kProgramHolds) GTEST_SKIP() << "the program has no test holds in this build";
  if (!InnerRun()) return;
  const std::string root = folder_ / "archive/", out = folder_ / "out/", cfg = folder_ / "run.cfg";
  const std::string ini = folder_ / "config/KARVO/qav.ini", earlier = "an earlier report\r\n";
  WriteRawSetUp(root, 3, cfg);
  if (HasFatalFailure()) return;
  enum Phase { Loading, Writing, Chooser };
  const char* phases[] = {"SIGTERM while the days load", "SIGINT while the report is written",
                          "SIGHUP with the file chooser up"};
  // The run is held in its phase until the signal is sent.
  const char* points[] = {"load", "write-raw", nullptr};
  for (const int phase : {Loading, Writing, Chooser}) {
    SCOPED_TRACE(phases[phase]);
    fs::remove_all(out);
    fs::create_directories(out);
    std::ofstream(out + "DEFAULT.DAT", std::ios::binary) << earlier;
    const std::string main = StartProgram("[GENERAL]\nUSE_CLASSIC=1\nCDROM_INDEX=1\nOTHER_PATH=" + root +
                                          "\n[OUTPUT]\nAUTOOPEN=0\nRAWDATA_PATH=" + out + "\n");
    ASSERT_FALSE(main.empty()) << "the main window did not appear";
    if (phase == Chooser) {
      ASSERT_FALSE(MenuCommand(main, "f", "r", "^Open$").empty()) << "the chooser did not open";
    } else {
      ASSERT_TRUE(ReadConfig(main, cfg)) << "the configuration was not read";
      holds_.Arm(points[phase]);
      ASSERT_FALSE(ClickGo(main, "^(Loading|Outputting)").empty()) << "the run did not start";
      ASSERT_TRUE(holds_.Held(points[phase], 120)) << "the run did not reach the phase";
      if (phase == Writing) {
        EXPECT_GT(BytesBeside(out + "DEFAULT.DAT"), 0) << "no report written";
      }
      ASSERT_FALSE(WaitWindow(phase == Loading ? "^Loading" : "^Outputting", 30).empty()) << "no dialog tells the phase";
    }
    const char* point = points[phase];
    ExpectEndsAsExitDoes(pid_, kEndingSignals[phase], ini, out + "DEFAULT.DAT", earlier, [&] {
      if (point != nullptr) holds_.Release(point);
    });
    pid_ = -1;
  }
}

}  // namespace
