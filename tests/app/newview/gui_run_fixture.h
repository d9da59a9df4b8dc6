// The real New view under X, driven with real input (xdotool): the program started on a profile
// of the test's own, a sample archive and designs written for it, and the form's places in pixels.
// Runs only on a display with xdotool and the built program.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/shell/app_test_env.h"
#include "app/shell/own_display.h"
#include "archive/sample_archive.h"
#include "platform/app/profile.h"
#include "x_hold.h"

extern char** environ;

namespace guirun {

inline bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

// Pixels of a point given in the form's dialog units, with the dialog font's base units and the
// view's origin below the menu bar as the program shows them on this display.
struct SForm {
  int cx = 7, cy = 13, top = 19;
  std::string At(int x, int y) const { return std::to_string(x * cx / 4) + " " + std::to_string(top + y * cy / 8); }
};

// The program's profile: the archive at `root`, no automatic opening.
inline bool WriteProfile(const AppTempFolder& folder, const std::string& root) {
  CProfile profile(folder / "config/KARVO/qav.ini");
  profile.WriteProfileInt("GENERAL", "CDROM_INDEX", 1);
  profile.WriteProfileString("GENERAL", "OTHER_PATH", root.c_str());
  profile.WriteProfileInt("OUTPUT", "AUTOOPEN", 0);
  return profile.Flush();
}

// A five-minute sample archive of 1994 in folder/archive/ with 4 x `loops` elements (every fourth a
// loop) over `days` + 1 days, and the program's profile on it.
inline bool WriteLoopArchive(const AppTempFolder& folder, int days, int loops) {
  SampleArchiveOptions o;
  o.root = folder / "archive/";
  o.years = {1994};
  o.elements = 4 * loops;
  o.days = days + 1;
  o.uniformDays = true;
  return WriteSampleArchive(o) == 0 && WriteProfile(folder, o.root);
}

// A New view design over the first `days` days of 1994 and the first `loops` loops of a sample year
// of 4 x `loops` elements, volume only, at `period` 20-second units, in text (`format` 0) or
// spreadsheet (1) form, its last day `lastDay` (days since 1899-12-30) when given. `structure` ends
// the file: the columns, rows and separate-report keys.
inline void WriteLoopDesign(const std::filesystem::path& file, const std::string& report, int format, int days, int loops,
                            int period, const std::string& structure, int lastDay = 0) {
  auto elements = SampleElements(1994, 4 * loops);
  std::ofstream cfg(file, std::ios::binary);
  cfg << "QAV Main Configuration File Version NG.2\r\n" << report << "\r\n" << format << "\r\n0\r\n" << days << "\r\n0\r\n";
  for (int d = 0; d < days; ++d) cfg << (d + 1 == days && lastDay != 0 ? lastDay : 34335 + d) << ".000000\r\n";
  cfg << "1\r\nI-5\r\n" << loops << "\r\n";
  for (int i = 0; i < loops; ++i) cfg << elements[static_cast<size_t>(4 * i)].key.substr(0, 10) << "\r\nA\r\n100\r\nHere\r\n0\r\n";
  cfg << loops << "\r\n";
  for (int i = 0; i < loops; ++i) cfg << elements[static_cast<size_t>(4 * i)].key.substr(11) << "\r\n0\r\n" << i << "\r\n" << i << "\r\n";
  cfg << "0\r\n0\r\n" << period << "\r\n2\r\n1\r\n";
  for (int i = 1; i < 23; ++i) cfg << "0\r\n";
  cfg << structure;
}

// A run long enough to watch: `days` days of 12 loops at five minutes, with Data Content in the
// columns and every other key in the rows (Element, Element Type, Direction, Cabinet, Location,
// Milepost, Roadway, Date, Day-of-Week, Week, Month, Year, Time), no separate reports: 3,456 lines
// of 240 bytes a day. The archive and the profile in `folder`, the design in folder/design.nfg.
inline constexpr int kLongRunLoops = 12;
inline bool WriteLongRun(const AppTempFolder& folder, int days, const std::string& report) {
  if (!WriteLoopArchive(folder, days, kLongRunLoops)) return false;
  std::string structure = "1\r\n0\r\n1\r\n13\r\n";
  for (int key : {7, 8, 9, 10, 11, 12, 13, 2, 3, 4, 5, 6, 1}) structure += std::to_string(key) + "\r\n1\r\n";
  WriteLoopDesign(folder / "design.nfg", report, 0, days, kLongRunLoops, 15, structure + "0\r\n");
  return true;
}

class GuiRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr || !Shell("command -v xdotool >/dev/null 2>&1"))
      GTEST_SKIP() << "needs a display and xdotool";
    exe_ = std::filesystem::canonical("/proc/self/exe").parent_path().parent_path().parent_path() / "src/app/qav";
    if (!std::filesystem::exists(exe_)) GTEST_SKIP() << "qav not built";
  }
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool Start(const std::string& configHome) { return Spawn(configHome) && Started(); }
  // Starts the program; Started waits for its windows.
  bool Spawn(const std::string& configHome) {
    // The test's environment with a profile folder of its own.
    std::vector<std::string> vars = {"XDG_CONFIG_HOME=" + configHome, "ASAN_OPTIONS=detect_leaks=0"};
    for (char** e = environ; *e != nullptr; ++e)
      if (std::strncmp(*e, "XDG_CONFIG_HOME=", 16) != 0 && std::strncmp(*e, "ASAN_OPTIONS=", 13) != 0) vars.emplace_back(*e);
    std::vector<char*> envp;
    for (auto& v : vars) envp.push_back(v.data());
    envp.push_back(nullptr);
    std::string path = exe_.string();
    char* argv[] = {path.data(), nullptr};
    return posix_spawn(&pid_, path.c_str(), nullptr, nullptr, argv, envp.data()) == 0;
  }
  static bool Started() {
    // Up to a minute: a loaded machine starts the sanitizer build slowly. The status window stays
    // above the main window: it is moved out of the way of the clicks, below the 800 pixels the
    // tests give the main window, as a user would move it.
    return Within(60, [] {
      return Shell("xdotool search --onlyvisible --name '^QAV$' >/dev/null 2>&1") &&
             Shell("xdotool search --onlyvisible --name '^Status Messages$' windowmove %@ 0 820 >/dev/null 2>&1");
    });
  }
  // Places the main window and gives it the keyboard: a click on an empty place of the form, and
  // under no window manager the focus set as the program would set it for itself. True once it has
  // the keyboard.
  static bool PlaceMain(const std::string& main) {
    Shell("xdotool windowmove " + main + " 0 0 windowsize " + main + " 1280 800 && " + Pause(1));
    return KeyboardToMain(main);
  }
  static bool KeyboardToMain(const std::string& main) {
    if (HasKeyboard(main)) return true;
    Shell("timeout 10 xdotool mousemove 900 700 click 1");
    if (Within(3, [&] { return HasKeyboard(main); })) return true;
    Shell(std::string("timeout 10 xdotool ") + (std::getenv("QAV_WINDOW_MANAGER") != nullptr ? "windowactivate " : "windowfocus ") +
          main + " 2>/dev/null");
    return Within(10, [&] { return HasKeyboard(main); });
  }
  // File's `item` (a key of its menu) typed into the main window once it has the keyboard, then
  // `path` into the chooser (EnterPath). True once the chooser has gone.
  static bool ChooseFile(const std::string& main, const char* item, const std::string& path) {
    std::string chooser;
    auto up = [&] {
      const std::vector<std::string> shown = ShownWindows("^(Open|Save As)$");
      chooser = shown.empty() ? "" : shown.front();
      return !chooser.empty();
    };
    return SendWhereReady(
               std::string("File, ") + item, [&] { return HasKeyboard(main); },
               [&] { Shell(std::string("timeout 10 xdotool key --delay 300 alt+f ") + item); }, up, 30) &&
           EnterPath(chooser, path);
  }
  // `path` typed over the name field of the file chooser `chooser` once it has the keyboard, and
  // Enter. The name field may have shown its completion list, which takes the first Enter: a
  // second one goes to the chooser while it stays up with the keyboard (noted). True once the
  // chooser has gone.
  static bool EnterPath(const std::string& chooser, const std::string& path) {
    auto gone = [&] { return !Viewable(chooser); };
    if (!SendWhereReady(
            "the path into the chooser", [&] { return HasKeyboard(chooser); },
            [&] { Shell("timeout 20 xdotool key ctrl+a type --delay 20 '" + path + "' && timeout 10 xdotool key Return"); }, gone, 3)) {
      if (!HasKeyboard(chooser)) return false;
      NoteResend("Return in the chooser: its completion list took the first");
      Shell("timeout 10 xdotool key Return");
    }
    return Within(20, gone);
  }
  // Places the main window, then File > Read Config File: the design's path typed into the chooser.
  static bool ReadDesign(const std::string& path) {
    const std::string main = MainWindow();
    return !main.empty() && PlaceMain(main) && ChooseFile(main, "r", path);
  }
  // The archive (1994, four elements, three days) and the profile in `folder`, and a design of one
  // loop on 1 January and on `secondDay` (days since 1899-12-30), Date in the columns and Element
  // in the rows, whose report goes two levels below a folder that exists, so that its folder cannot
  // be made. The loop's key; "" when the archive could not be written.
  static std::string WriteRunWithoutReportFolder(const AppTempFolder& folder, int secondDay) {
    if (!WriteLoopArchive(folder, 2, 1)) return {};
    WriteLoopDesign(folder / "design.nfg", folder / "two/levels/r.txt", 1, 2, 1, 4320, "1\r\n2\r\n1\r\n1\r\n7\r\n1\r\n0\r\n",
                    secondDay);
    std::filesystem::create_directories(folder / "tmp");
    return SampleElements(1994, 4)[0].key;
  }
  // The main window's X id, "" when none is shown.
  static std::string MainWindow() { return Output("xdotool search --onlyvisible --name '^QAV$' | head -1"); }
  // A click at `at` (pixels) in the main window once it is shown with the keyboard, and `effect`
  // within `seconds` (SendWhereReady).
  static bool ClickForm(const std::string& main, const std::string& at, const std::function<bool()>& effect, int seconds) {
    return SendWhereReady(
        "a click at " + at, [&] { return Viewable(main) && !Minimised(main) && HasKeyboard(main); },
        [&] { Shell("timeout 10 xdotool mousemove --window " + main + " " + at + " click 1"); }, effect, seconds);
  }
  // A click on Produce Report(s).
  static bool ClickProduce(const std::string& main, const std::function<bool()>& effect, int seconds) {
    return ClickForm(main, SForm().At(7 + 103, 333 + 10), effect, seconds);
  }
  // The run's wait dialog, "" while none is shown.
  static std::string WaitDialog() {
    const std::vector<std::string> shown = ShownWindows(kWaitTitles);
    return shown.empty() ? "" : shown.front();
  }
  static constexpr const char* kWaitTitles = "^(Working|Loading Input Data|Summarizing|Sorting data|Outputting Reports|Shutting Down)";
  // Element (line 7 of the source list) into the rows, then Date (line 2) into the columns.
  static bool PlaceElementAndDate() {
    const SForm f;
    const int line = 15;  // pixels per source-list line
    auto click = [](const std::string& at) { return Shell("xdotool mousemove " + at + " click 1 && " + Pause(0.4)); };
    auto source = [&](int n) {
      return std::to_string(468 * 7 / 4 + 30) + " " + std::to_string(f.top + 66 * f.cy / 8 + 9 + n * line);
    };
    // Each click once the main window has the keyboard.
    const std::string main = MainWindow();
    return Within(10, [&] { return HasKeyboard(main); }) && click(source(7)) && click(f.At(468 + 100, 66 + 55)) &&
           click(source(2)) && click(f.At(468 + 100, 66 + 6));
  }
  std::filesystem::path exe_;
  pid_t pid_ = 0;
};

}  // namespace guirun
