#include "app/shell/own_display.h"

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace {

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

// The top-level windows from the bottom up: the window manager's list of its clients, or the
// root's children without one.
std::vector<xcb_window_t> Stacking() {
  std::vector<xcb_window_t> order;
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c) == 0) {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    static const char kList[] = "_NET_CLIENT_LIST_STACKING";
    xcb_intern_atom_reply_t* atom =
        UnderWindowManager() ? xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, sizeof kList - 1, kList), nullptr) : nullptr;
    if (atom != nullptr && atom->atom != XCB_ATOM_NONE) {
      if (xcb_get_property_reply_t* p =
              xcb_get_property_reply(c, xcb_get_property(c, 0, root, atom->atom, XCB_ATOM_WINDOW, 0, 4096), nullptr)) {
        const auto* w = static_cast<const xcb_window_t*>(xcb_get_property_value(p));
        order.assign(w, w + xcb_get_property_value_length(p) / 4);
        std::free(p);
      }
    } else if (xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr)) {
      const xcb_window_t* kids = xcb_query_tree_children(tree);
      order.assign(kids, kids + xcb_query_tree_children_length(tree));
      std::free(tree);
    }
    std::free(atom);
  }
  xcb_disconnect(c);
  return order;
}

}  // namespace

bool UnderWindowManager() {
  const char* wm = std::getenv("QAV_WINDOW_MANAGER");
  return wm != nullptr && *wm != '\0';
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

int StackPlace(const std::string& window) {
  const auto want = static_cast<xcb_window_t>(std::strtoul(window.c_str(), nullptr, 10));
  const std::vector<xcb_window_t> order = Stacking();
  for (size_t i = 0; i < order.size(); ++i)
    if (order[i] == want) return static_cast<int>(i);
  return -1;
}

std::string FocusedWindow() { return Output("timeout 10 xdotool getwindowfocus 2>/dev/null"); }
