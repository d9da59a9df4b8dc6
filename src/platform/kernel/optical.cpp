#include "platform/kernel/optical.h"

#include <fstream>
#include <sstream>

namespace {

// Mount points escape blanks and a few other bytes as a backslash and three octal digits.
std::string Unescape(const std::string& s) {
  std::string out;
  const auto isOct = [](char c) { return c >= '0' && c <= '7'; };
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() && isOct(s[i + 1]) && isOct(s[i + 2]) && isOct(s[i + 3])) {
      out += static_cast<char>(((s[i + 1] - '0') << 6) | ((s[i + 2] - '0') << 3) | (s[i + 3] - '0'));
      i += 3;
      continue;
    }
    out += s[i];
  }
  return out;
}

}  // namespace

std::vector<std::string> GetOpticalDriveRoots(const char* mountTable) {
  std::vector<std::string> roots;
  std::ifstream in(mountTable);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string device, point, type;
    if (!(fields >> device >> point >> type)) continue;
    if (type != "iso9660" && type != "udf") continue;
    std::string root = Unescape(point);
    if (root.empty()) continue;
    if (root.back() != '/') root += '/';
    roots.push_back(root);
  }
  return roots;
}

std::vector<std::string> GetOpticalDriveRoots() { return GetOpticalDriveRoots("/proc/self/mounts"); }
