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
  const std::string wm = desktop == EDesktop::Openbox ? "'" QAV_OPENBOX_SCRIPT "' " : "";
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

double BytesBeside(const std::string& path) {
  const std::filesystem::path report(path);
  std::error_code e;
  for (const auto& entry : std::filesystem::directory_iterator(report.parent_path(), e))
    if (entry.path().filename().string().starts_with(report.filename().string() + "."))
      return static_cast<double>(std::filesystem::file_size(entry.path(), e));
  return -1;
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
