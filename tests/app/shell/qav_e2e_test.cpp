// The real program under a real X display (Xvfb in scripts/test.sh): started with an empty settings
// folder and a generated archive, driven with real input from xdotool, photographed, closed from
// its menu; its exit status and the settings file it wrote are checked. Skipped without a display
// or without the built program.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/shell/app_test_env.h"
#include "app/shell/own_display.h"
#include "archive/sample_archive.h"

extern char** environ;

namespace {
namespace fs = std::filesystem;

std::string Shell(const std::string& command) {
  std::string out;
  FILE* p = ::popen(command.c_str(), "r");
  if (p == nullptr) return out;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, p) != nullptr) out += buffer;
  ::pclose(p);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

std::string ChildAsanOptions(const std::string& options) {
  const char* source = std::getenv("QAV_SOURCE_DIR");
  if (source != nullptr && *source != '\0')
    return "ASAN_OPTIONS=" + options + ":suppressions=" + std::string(source) + "/scripts/asan.supp";
  std::string kept;
  size_t start = 0;
  while (start <= options.size()) {
    size_t end = options.find(':', start);
    if (end == std::string::npos) end = options.size();
    const std::string option = options.substr(start, end - start);
    if (!option.empty() && option.rfind("strict_string_checks", 0) != 0) kept += (kept.empty() ? "" : ":") + option;
    start = end + 1;
  }
  return "ASAN_OPTIONS=" + kept;
}

bool Have(const char* tool) { return !Shell(std::string("command -v ") + tool).empty(); }

// The first window with exactly this title, waiting up to 60 s (a loaded machine starts the
// sanitizer build slowly); empty when none appears.
std::string FindWindow(const std::string& title) {
  std::vector<std::string> shown;
  Within(60, [&] { return !(shown = ShownWindows("^" + title + "$")).empty(); });
  return shown.empty() ? "" : shown.front();
}

class ProgramUnderX : public ::testing::Test {
 protected:
  void TearDown() override {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      int status;
      ::waitpid(pid_, &status, 0);
    }
  }
  // Starts the program with its own settings and data folders and without Qt's offscreen platform.
  void Start(const std::string& program) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string v = *e;
      if (v.rfind("QT_QPA_PLATFORM=", 0) == 0 || v.rfind("XDG_CONFIG_HOME=", 0) == 0 || v.rfind("XDG_DATA_HOME=", 0) == 0)
        continue;
      // The X keyboard library passes strndup unterminated buffers, which the strict string checks
      // report: the program gets the project's suppressions for that library; without the source
      // folder, those checks are left out for the child only.
      if (v.rfind("ASAN_OPTIONS=", 0) == 0) {
        env.push_back(ChildAsanOptions(v.substr(std::strlen("ASAN_OPTIONS="))));
        continue;
      }
      env.push_back(v);
    }
    env.push_back("XDG_CONFIG_HOME=" + folder_ / "config");
    env.push_back("XDG_DATA_HOME=" + folder_ / "data");
    std::vector<char*> envp;
    for (std::string& v : env) envp.push_back(v.data());
    envp.push_back(nullptr);
    std::string path = program;
    char* argv[] = {path.data(), nullptr};
    ASSERT_EQ(::posix_spawn(&pid_, path.c_str(), nullptr, nullptr, argv, envp.data()), 0);
  }
  // The exit status, waiting up to 20 s; -1 when the program is still running.
  int WaitExit() {
    for (int i = 0; i < 200; ++i) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return -1;
  }

  AppTempFolder folder_;
  pid_t pid_ = -1;
};

TEST_F(ProgramUnderX, OpensTheParameterSheetFromItsMenuAndSavesItsSettings) {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') GTEST_SKIP() << "no X display";
  if (!Have("xdotool") || !Have("import")) GTEST_SKIP() << "xdotool or ImageMagick missing";
  const fs::path self = fs::read_symlink("/proc/self/exe");
  const fs::path build = self.parent_path().parent_path().parent_path();  // build/tests/app/test_app
  const std::string program = (build / "src/app/qav").string();
  if (!fs::exists(program)) GTEST_SKIP() << "the program is not built: " << program;
  const fs::path shots = build / "screenshots";
  fs::create_directories(shots);

  // The archive where the program looks by default.
  SampleArchiveOptions o;
  o.root = folder_ / "data/qav/archive/";
  o.years = {1994};
  o.elements = 8;
  o.days = 3;
  ASSERT_EQ(WriteSampleArchive(o), 0);

  Start(program);
  const std::string main = FindWindow("QAV");
  ASSERT_FALSE(main.empty()) << "the main window did not appear";
  Shell("xdotool windowfocus --sync " + main + " 2>/dev/null; " + Pause(0.5));
  Shell("timeout 15 import -window " + main + " " + (shots / "main-window.png").string());
  // Options > Parameters by the keyboard, as a user does: Alt+O opens the menu, P the item.
  Shell("xdotool key --delay 150 alt+o p");
  const std::string sheet = FindWindow("Parameter Settings");
  ASSERT_FALSE(sheet.empty()) << "the parameter sheet did not open";
  // Each page, reached with Ctrl+Tab.
  const char* pages[] = {"page-general.png", "page-output.png", "page-pe-validity.png"};
  for (size_t i = 0; i < 3; ++i) {
    if (i > 0) Shell("xdotool key ctrl+Tab");
    Shell(Pause(0.5) + "; timeout 15 import -window " + sheet + " " + (shots / pages[i]).string());
    EXPECT_GT(fs::file_size(shots / pages[i]), 1000u) << pages[i];
  }
  Shell("xdotool windowfocus --sync " + sheet + " 2>/dev/null; xdotool key Escape");
  Shell(Pause(0.5));
  EXPECT_TRUE(Shell("xdotool search --onlyvisible --name '^Parameter Settings$' 2>/dev/null").empty());
  // File > Exit, typed right after the sheet closed: the main window has the keyboard again
  // without a window manager to give it back.
  Shell("xdotool key --delay 150 alt+f x");
  EXPECT_EQ(WaitExit(), 0);

  std::ifstream in(folder_ / "config/KARVO/qav.ini");
  const std::string ini((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(ini.find("[GENERAL]"), std::string::npos) << ini;
  EXPECT_NE(ini.find("OTHER_PATH=" + folder_ / "data/qav/archive/"), std::string::npos) << ini;
  EXPECT_NE(ini.find("[PE_VALID]"), std::string::npos) << ini;
  EXPECT_NE(ini.find("VOL_GOOD_PEAK_MAX=255"), std::string::npos) << ini;
}
}  // namespace

namespace {
// The built program, or "" when it is not built.
std::string BuiltProgram() {
  const fs::path build = fs::read_symlink("/proc/self/exe").parent_path().parent_path().parent_path();
  const fs::path program = build / "src/app/qav";
  return fs::exists(program) ? program.string() : "";
}

// The built program, or "" (the test is then skipped) without a display, xdotool or the program.
std::string ProgramForX() {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0' || !Have("xdotool") || !Have("import")) return "";
  return BuiltProgram();
}

// A display that is not there (a closed X server, a stale ssh session), none at all, or one that
// refuses the program (its server wants a cookie that the program has not, or has wrong): the program
// says so on standard error in one line, by the display's name and with the server's reason, and
// ends with status 1 at once instead of running on without windows.
TEST(ProgramWithoutDisplay, SaysSoAndEndsWithStatusOne) {
  const std::string program = BuiltProgram();
  if (program.empty()) GTEST_SKIP() << "the program is not built";
  char dir[] = "/tmp/qav-refusal-XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  const std::string cookies = std::string(dir) + "/server";
  const bool refusing = Have("xauth") && Have("Xvfb") &&
                        Shell("xauth -q -f " + cookies + " add :0 . $(head -c 16 /dev/urandom | od -An -tx1 | tr -d ' \\n') 2>/dev/null && echo ok") == "ok";
  const std::string refused = "qav: cannot open display $D: the X server refused the connection ";
  const struct {
    const char* display;  // the DISPLAY it is started with; null: none; "": an X server of its own wanting a cookie
    std::string cookie;   // the client's cookies there
    std::string said;     // $D: the display
  } cases[] = {
      {":59999", "", "qav: cannot open display :59999\n"},
      {nullptr, "", "qav: no display: DISPLAY is not set\n"},
      {"", "/nonexistent", refused + "(Authorization required, but no authorization protocol specified)\n"},
      {"", std::string(dir) + "/wrong", refused + "(Invalid MIT-MAGIC-COOKIE-1 key)\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.display != nullptr ? c.display : "(none)");
    SCOPED_TRACE(c.cookie);
    const bool own = c.display != nullptr && *c.display == '\0';
    if (own && !refusing) continue;
    const std::string env = c.display == nullptr ? "-u DISPLAY" : own ? "XAUTHORITY=" + c.cookie : std::string("DISPLAY=") + c.display;
    const std::string run = "timeout 20 env -u QT_QPA_PLATFORM " + env + " " + program + " 2>&1; echo \"status $?\"";
    const auto start = std::chrono::steady_clock::now();
    // On an X server of its own, the first line is its display.
    std::string out = !own ? Shell(run)
                           : Shell("QAV_XVFB_AUTH=" + cookies + " " QAV_XVFB_SCRIPT " sh -c 'echo \"$DISPLAY\"; xauth -q -f " +
                                   std::string(dir) + "/wrong add \"$DISPLAY\" . 00112233445566778899aabbccddeeff 2>/dev/null; " + run + "'");
    std::string said = c.said;
    if (own) {
      said.replace(said.find("$D"), 2, out.substr(0, out.find('\n')));
      out.erase(0, out.find('\n') + 1);
    }
    EXPECT_EQ(out, said + "status 1");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  }
  fs::remove_all(dir);
}

std::string ShotPath(const char* name) {
  const fs::path shots = fs::read_symlink("/proc/self/exe").parent_path().parent_path().parent_path() / "screenshots";
  fs::create_directories(shots);
  return (shots / name).string();
}

std::string Ini(const AppTempFolder& folder) {
  std::ifstream in(folder / "config/KARVO/qav.ini");
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Options > Parameters by its keys; the sheet's window or "".
std::string OpenParameters(const std::string& main) {
  Shell("xdotool windowfocus --sync " + main + " 2>/dev/null; " + Pause(0.3) + "; xdotool key --delay 150 alt+o p");
  return FindWindow("Parameter Settings");
}

// Visible windows whose title is exactly `title`.
int CountWindows(const std::string& title) {
  const std::string ids = Shell("xdotool search --onlyvisible --name '^" + title + "$' 2>/dev/null");
  return ids.empty() ? 0 : static_cast<int>(std::count(ids.begin(), ids.end(), '\n')) + 1;
}
}  // namespace

TEST_F(ProgramUnderX, ThePeMinuteArrowStepsFiveMinutesAcrossTheHour) {
  const std::string program = ProgramForX();
  if (program.empty()) GTEST_SKIP() << "no X display, xdotool or program";
  {
    CProfile profile(folder_ / "config/KARVO/qav.ini");
    profile.WriteProfileInt("PE_VALID", "PEAK1_START", 84);  // 07:00
    ASSERT_TRUE(profile.Flush());
  }
  Start(program);
  const std::string main = FindWindow("QAV");
  ASSERT_FALSE(main.empty()) << "the main window did not appear";
  const std::string sheet = OpenParameters(main);
  ASSERT_FALSE(sheet.empty()) << "the parameter sheet did not open";
  // The PE page; a click into the minutes of "Peak Pd 1" Start (its place under Xvfb with the Qt
  // backend's fonts), End to be sure the caret is there, Down steps the minute.
  Shell("xdotool key --delay 200 ctrl+Tab ctrl+Tab; " + Pause(0.5) + "; xdotool mousemove --window " + sheet +
        " 175 286 click 1; " + Pause(0.3) + "; xdotool key End Down; " + Pause(0.5));
  Shell("timeout 15 import -window " + sheet + " " + ShotPath("pe-minute-arrow.png"));
  Shell("xdotool key Return; " + Pause(0.5));
  EXPECT_EQ(CountWindows("Parameter Settings"), 0);
  Shell("xdotool windowfocus --sync " + main + " 2>/dev/null; xdotool key --delay 150 alt+f x");
  EXPECT_EQ(WaitExit(), 0);
  EXPECT_NE(Ini(folder_).find("PEAK1_START=83"), std::string::npos) << Ini(folder_);  // 06:55
}

TEST_F(ProgramUnderX, AMissingArchiveFolderIsRefusedAndTheDateDialogSaysWhyItIsEmpty) {
  const std::string program = ProgramForX();
  if (program.empty()) GTEST_SKIP() << "no X display, xdotool or program";
  const std::string empty = folder_ / "empty/";
  fs::create_directories(empty);
  {
    CProfile profile(folder_ / "config/KARVO/qav.ini");
    profile.WriteProfileInt("GENERAL", "CDROM_INDEX", 1);
    profile.WriteProfileString("GENERAL", "OTHER_PATH", empty.c_str());
    ASSERT_TRUE(profile.Flush());
  }
  Start(program);
  const std::string main = FindWindow("QAV");
  ASSERT_FALSE(main.empty()) << "the main window did not appear";
  Shell("xdotool windowmove " + main + " 0 0 windowsize " + main + " 1280 800; " + Pause(1));
  const std::string sheet = OpenParameters(main);
  ASSERT_FALSE(sheet.empty()) << "the parameter sheet did not open";
  // The "Other" folder's edit (Tab from the checked radio), a folder that is not there, Enter.
  const std::string missing = folder_ / "no-such-archive";
  Shell("xdotool key --delay 150 Tab ctrl+a; xdotool type --delay 20 '" + missing + "'; xdotool key Return; " + Pause(1));
  EXPECT_EQ(CountWindows("QAV"), 2) << "the main window and the message";
  EXPECT_EQ(CountWindows("Parameter Settings"), 1);
  Shell("timeout 15 import -window root " + ShotPath("general-missing-folder.png"));
  const std::string box = Shell("xdotool search --onlyvisible --name '^QAV$' | grep -v '^" + main + "$' | head -n 1");
  Shell("xdotool windowfocus --sync " + box + " 2>/dev/null; xdotool key Return; " + Pause(0.5));  // the message goes
  EXPECT_EQ(CountWindows("QAV"), 1);
  EXPECT_EQ(CountWindows("Parameter Settings"), 1);
  Shell("xdotool key Escape; " + Pause(0.5));
  EXPECT_EQ(CountWindows("Parameter Settings"), 0);
  // "Select Dates" of the New view: the archive folder has no data folders.
  Shell("xdotool windowfocus --sync " + main + " 2>/dev/null; " + Pause(0.3) + "; xdotool mousemove --window " + main +
        " 449 381 click 1");
  EXPECT_FALSE(FindWindow("Date Selection").empty()) << "no explanation of the empty date lists";
  Shell("timeout 15 import -window root " + ShotPath("dates-no-data-folders.png"));
  Shell("xdotool key Return; " + Pause(0.5));
  EXPECT_EQ(CountWindows("Date Selection"), 0);
  EXPECT_EQ(CountWindows("Select Dates"), 0);
  Shell("xdotool windowfocus --sync " + main + " 2>/dev/null; xdotool key --delay 150 alt+f x");
  EXPECT_EQ(WaitExit(), 0);
  EXPECT_NE(Ini(folder_).find("OTHER_PATH=" + empty), std::string::npos) << Ini(folder_);
}
