// The real program under a real X display (Xvfb in scripts/test.sh): started with an empty settings
// folder and a generated archive, driven with real input from xdotool, photographed, closed from
// its menu; its exit status and the settings file it wrote are checked. Skipped without a display
// or without the built program.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

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
  return Shell("timeout 60 xdotool search --sync --onlyvisible --name '^" + title + "$' 2>/dev/null | head -n 1");
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
  Shell("xdotool windowfocus --sync " + main + " 2>/dev/null; sleep 0.5");
  Shell("import -window " + main + " " + (shots / "main-window.png").string());
  // Options > Parameters by the keyboard, as a user does: Alt+O opens the menu, P the item.
  Shell("xdotool key --delay 150 alt+o p");
  const std::string sheet = FindWindow("Parameter Settings");
  ASSERT_FALSE(sheet.empty()) << "the parameter sheet did not open";
  // Each page, reached with Ctrl+Tab.
  const char* pages[] = {"page-general.png", "page-output.png", "page-pe-validity.png"};
  for (size_t i = 0; i < 3; ++i) {
    if (i > 0) Shell("xdotool key ctrl+Tab");
    Shell("sleep 0.5; import -window " + sheet + " " + (shots / pages[i]).string());
    EXPECT_GT(fs::file_size(shots / pages[i]), 1000u) << pages[i];
  }
  Shell("xdotool windowfocus --sync " + sheet + " 2>/dev/null; xdotool key Escape");
  Shell("sleep 0.5");
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
