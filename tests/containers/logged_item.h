// An element type that logs its construction, copies, assignments and deletions, for the tests
// of the address and owning arrays.
#pragma once

#include <string>

struct LoggedItem {
  static inline std::string log;  // e.g. "new0 copy5 assign7 del3 "
  static inline int live = 0;

  int key = 0;
  int tag = 0;

  LoggedItem() {
    ++live;
    log += "new0 ";
  }
  LoggedItem(int k, int t = 0) : key(k), tag(t) { ++live; }
  LoggedItem(const LoggedItem& o) : key(o.key), tag(o.tag) {
    ++live;
    log += "copy" + std::to_string(key) + " ";
  }
  LoggedItem& operator=(const LoggedItem& o) {
    log += "assign" + std::to_string(o.key) + " ";
    key = o.key;
    tag = o.tag;
    return *this;
  }
  ~LoggedItem() {
    --live;
    log += "del" + std::to_string(key) + " ";
  }

  // Ordered and compared by key only; the tag tells equal keys apart.
  int Compare(const LoggedItem& o) const { return key < o.key ? -1 : (key > o.key ? 1 : 0); }
  bool operator<(const LoggedItem& o) const { return key < o.key; }
  bool operator==(const LoggedItem& o) const { return key == o.key; }

  static void Reset() { log.clear(); }
};
