#include "app/shell/own_display.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include <signal.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

std::string Output(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[256];
    while (std::fgets(buf, sizeof buf, p) != nullptr) out += buf;
    ::pclose(p);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

bool RunOnOwnDisplay(std::initializer_list<EDesktop> desktops) {
  if (std::getenv("QAV_XVFB_INNER") != nullptr) return true;
  const std::string self = std::filesystem::canonical("/proc/self/exe").string();
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  for (const EDesktop desktop : desktops) {
    const std::string wm = desktop == EDesktop::Openbox    ? "'" QAV_WM_SCRIPT "' openbox "
                           : desktop == EDesktop::Metacity ? "'" QAV_WM_SCRIPT "' metacity "
                                                           : "";
    const std::string out = Output("QAV_XVFB_INNER=1 '" QAV_XVFB_SCRIPT "' " + wm + "'" + self + "' --gtest_filter='" +
                                   test->test_suite_name() + "." + test->name() + "' 2>&1; echo \"exit=$?\"");
    // The inner run's resends, counted by whoever reads the outer run's output.
    for (size_t at = out.find("x-resend | "); at != std::string::npos; at = out.find("x-resend | ", at + 1))
      std::printf("%s\n", out.substr(at, out.find('\n', at) - at).c_str());
    EXPECT_NE(out.find("[  PASSED  ] 1 test"), std::string::npos) << out;
    EXPECT_NE(out.find("exit=0"), std::string::npos) << out;
  }
  return false;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string FocusedWindow() { return Output("timeout 10 xdotool getwindowfocus 2>/dev/null"); }

std::vector<std::string> ShownWindows(const std::string& title) {
  std::istringstream ids(Output("timeout 10 xdotool search --onlyvisible --name '" + title + "' 2>/dev/null"));
  std::vector<std::string> out;
  for (std::string id; ids >> id;) out.push_back(id);
  return out;
}

bool Within(int seconds, const std::function<bool()>& probe) {
  return xtest::Patiently(std::chrono::seconds(seconds), std::chrono::milliseconds(200), probe);
}

std::vector<int> UnnamedThreads(int pid) {
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  std::ifstream own("/proc/" + std::to_string(pid) + "/comm");
  std::string program;
  std::getline(own, program);
  std::vector<int> out;
  std::error_code e;
  for (const auto& t : std::filesystem::directory_iterator(tasks, e)) {
    std::ifstream comm(t.path() / "comm");
    std::string name;
    if (std::getline(comm, name) && name == program) out.push_back(std::atoi(t.path().filename().c_str()));
  }
  std::sort(out.begin(), out.end());
  return out;
}

SThreadHeld::SThreadHeld(int tid) : tid(tid) {
  if (::ptrace(PTRACE_SEIZE, tid, nullptr, nullptr) != 0) return;
  int status = 0;
  held = ::ptrace(PTRACE_INTERRUPT, tid, nullptr, nullptr) == 0 && ::waitpid(tid, &status, __WALL) == tid;
  if (!held) ::ptrace(PTRACE_DETACH, tid, nullptr, nullptr);
}

SThreadHeld::~SThreadHeld() {
  if (held) ::ptrace(PTRACE_DETACH, tid, nullptr, nullptr);
}

SManagerHeld::SManagerHeld() {
  const char* g = std::getenv("QAV_WINDOW_MANAGER_GROUP");
  group = g != nullptr ? std::atoi(g) : 0;
  if (group <= 0) return;
  // A manager stopped while it still starts may drop what it was asked meanwhile (openbox does):
  // it is held only once it has run for two seconds.
  std::ifstream stat("/proc/" + std::to_string(group) + "/stat"), up("/proc/uptime");
  std::string line;
  double uptime = 0;
  if (std::getline(stat, line) && (up >> uptime)) {
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
    }
    const double age = uptime - std::atof(field.c_str()) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    if (age < 2) std::this_thread::sleep_for(std::chrono::duration<double>(2 - age));
  }
  held = ::kill(-group, SIGSTOP) == 0;
}

void SManagerHeld::Release() {
  if (held) ::kill(-group, SIGCONT);
  held = false;
}

void TableLine(const char* check, bool ok, double seconds) {
  const char* wm = std::getenv("QAV_WINDOW_MANAGER");
  char took[32] = "";
  if (seconds >= 0) std::snprintf(took, sizeof took, " (%.2f s)", seconds);
  std::printf("wm-table-run | %s | %s | %s%s\n", wm != nullptr && *wm != '\0' ? wm : "bare X", check, ok ? "yes" : "no", took);
  std::fflush(stdout);
}

double BytesBeside(const std::string& path) {
  const std::filesystem::path report(path);
  std::error_code e;
  // A file written beside its name is named ".~qav" and six letters or digits while it is written
  // on a file system without unnamed files, and for a moment before it takes its name elsewhere.
  for (const auto& entry : std::filesystem::directory_iterator(report.parent_path(), e)) {
    const std::string name = entry.path().filename().string();
    if (name.size() == 11 && name.starts_with(".~qav"))
      return static_cast<double>(std::filesystem::file_size(entry.path(), e));
  }
  // An unnamed file in the report's folder, reached through the descriptor a program holds.
  const std::string unnamed = report.parent_path().string() + "/#";
  try {
    for (const auto& process : std::filesystem::directory_iterator("/proc", e)) {
      std::error_code gone;  // a process may end, or a descriptor close, while they are looked at
      for (const auto& fd : std::filesystem::directory_iterator(process.path() / "fd", gone)) {
        const std::string target = std::filesystem::read_symlink(fd.path(), gone).string();
        struct stat st {};
        if (target.starts_with(unnamed) && target.ends_with(" (deleted)") && ::stat(fd.path().c_str(), &st) == 0)
          return static_cast<double>(st.st_size);
      }
    }
  } catch (const std::filesystem::filesystem_error&) {
  }
  return -1;
}

void ExpectEndsAsExitDoes(int pid, int signal, const std::string& ini, const std::string& report, const std::string& earlier,
                          const std::function<void()>& then) {
  const auto sent = std::chrono::steady_clock::now();
  ::kill(pid, signal);
  if (then) then();
  int status = 0;
  pid_t ended = 0;
  while ((ended = ::waitpid(pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() - sent < std::chrono::seconds(20))
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
  if (ended == 0) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }
  EXPECT_TRUE(ended == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0) << "ended with status " << status;
  EXPECT_LT(took, 5.0);
  EXPECT_NE(Slurp(ini).find("PEAK1_START="), std::string::npos) << "the settings were not saved";
  EXPECT_EQ(Slurp(report), earlier) << "the earlier report was not kept";
  EXPECT_EQ(BytesBeside(report), -1) << "a file was left beside the report";
}

std::string CloseTheFocusedBox(const std::string& title, const std::string& main) {
  auto boxes = [&] {
    std::vector<std::string> b = ShownWindows(title);
    b.erase(std::remove(b.begin(), b.end(), main), b.end());
    return b;
  };
  if (!Within(60, [&] { return !boxes().empty(); })) return "no message box showed";
  std::string focused;
  if (!Within(5, [&] {
        focused = FocusedWindow();
        const std::vector<std::string> b = boxes();
        return std::find(b.begin(), b.end(), focused) != b.end();
      }))
    return "no message box has the keyboard; " + focused + " has";
  Output("timeout 10 xdotool key Return");
  if (!Within(10, [&] {
        const std::vector<std::string> b = boxes();
        return std::find(b.begin(), b.end(), focused) == b.end();
      }))
    return "the message box " + focused + " did not close with Return";
  return {};
}

std::string Property(const std::string& w, const char* name) {
  return Output("timeout 10 xprop -id " + w + " " + name + " 2>/dev/null");
}

std::vector<int> FrameExtents(const std::string& w) {
  const std::string p = Property(w, "_NET_FRAME_EXTENTS");
  std::vector<int> sides;
  std::istringstream in(p.substr(std::min(p.size(), p.find('=') + 1)));
  for (std::string side; std::getline(in, side, ',');) sides.push_back(std::atoi(side.c_str()));
  return sides.size() == 4 ? sides : std::vector<int>();
}

std::string TransientFor(const std::string& w) {
  const std::string p = Property(w, "WM_TRANSIENT_FOR");
  const size_t hex = p.find("0x");
  return hex == std::string::npos ? "" : std::to_string(std::strtoul(p.c_str() + hex, nullptr, 16));
}

SPlace Where(const std::string& w) {
  SPlace p;
  std::istringstream in(Output("timeout 10 xwininfo -id " + w + " 2>/dev/null"));
  for (std::string line; std::getline(in, line);) {
    const int v = std::atoi(line.c_str() + line.find(':') + 1);
    if (line.find("Absolute upper-left X:") != std::string::npos) p.x = v;
    if (line.find("Absolute upper-left Y:") != std::string::npos) p.y = v;
    if (line.find(" Width:") != std::string::npos) p.w = v;
    if (line.find(" Height:") != std::string::npos) p.h = v;
  }
  return p;
}

bool Viewable(const std::string& w) {
  return Output("timeout 10 xwininfo -id " + w + " 2>/dev/null").find("IsViewable") != std::string::npos;
}

bool Minimised(const std::string& w) {
  return Property(w, "WM_STATE").find("Iconic") != std::string::npos ||
         Property(w, "_NET_WM_STATE").find("_NET_WM_STATE_HIDDEN") != std::string::npos;
}

SPlace Framed(const std::string& w) {
  SPlace p = Where(w);
  if (const std::vector<int> f = FrameExtents(w); !f.empty()) p = {p.x - f[0], p.y - f[2], p.w + f[0] + f[1], p.h + f[2] + f[3]};
  return p;
}

