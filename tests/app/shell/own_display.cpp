#include "app/shell/own_display.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

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

bool RunOnOwnDisplay(EDesktop desktop) {
  if (std::getenv("QAV_XVFB_INNER") != nullptr) return true;
  const std::string self = std::filesystem::canonical("/proc/self/exe").string();
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string wm = desktop == EDesktop::Openbox    ? "'" QAV_WM_SCRIPT "' openbox "
                         : desktop == EDesktop::Metacity ? "'" QAV_WM_SCRIPT "' metacity "
                                                         : "";
  const std::string out = Output("QAV_XVFB_INNER=1 '" QAV_XVFB_SCRIPT "' " + wm + "'" + self + "' --gtest_filter='" +
                                 test->test_suite_name() + "." + test->name() + "' 2>&1; echo \"exit=$?\"");
  EXPECT_NE(out.find("[  PASSED  ] 1 test"), std::string::npos) << out;
  EXPECT_NE(out.find("exit=0"), std::string::npos) << out;
  return false;
}

std::string FocusedWindow() { return Output("timeout 10 xdotool getwindowfocus 2>/dev/null"); }

std::vector<std::string> ShownWindows(const std::string& title) {
  std::istringstream ids(Output("timeout 10 xdotool search --onlyvisible --name '" + title + "' 2>/dev/null"));
  std::vector<std::string> out;
  for (std::string id; ids >> id;) out.push_back(id);
  return out;
}

bool Within(int seconds, const std::function<bool()>& probe) {
  for (int i = 0; i <= seconds * 5; ++i) {
    if (probe()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  return false;
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

SPlace Framed(const std::string& w) {
  SPlace p = Where(w);
  if (const std::vector<int> f = FrameExtents(w); !f.empty()) p = {p.x - f[0], p.y - f[2], p.w + f[0] + f[1], p.h + f[2] + f[3]};
  return p;
}

