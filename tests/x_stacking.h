// What the X server says of the program's top-level windows, for the tests with real X input:
// how they are stacked, under a window manager or without one.
#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace xtest {

// True when a window manager runs on the display (scripts/wm.sh says so).
inline bool UnderWindowManager() {
  const char* wm = std::getenv("QAV_WINDOW_MANAGER");
  return wm != nullptr && *wm != '\0';
}

// The top-level windows from the bottom up: the window manager's list of its clients (its frames
// hide the clients from the server's own list), or the root's children without one.
inline std::vector<xcb_window_t> Stacking() {
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

// Where a top-level window (decimal, as xdotool prints it) lies among the others, counted from the
// bottom; -1 when it is not found.
inline int StackPlace(const std::string& window) {
  const auto want = static_cast<xcb_window_t>(std::strtoul(window.c_str(), nullptr, 10));
  const std::vector<xcb_window_t> order = Stacking();
  for (size_t i = 0; i < order.size(); ++i)
    if (order[i] == want) return static_cast<int>(i);
  return -1;
}

}  // namespace xtest
