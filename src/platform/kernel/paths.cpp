#include "platform/kernel/paths.h"

#include "platform/base/text.h"

#include <dirent.h>
#include <sys/stat.h>
#include <vector>

namespace {

unsigned char Fold(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 'a' + 'A');
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);  // Latin-1 letters
  return c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Fold(static_cast<unsigned char>(a[i])) != Fold(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

std::string Join(const std::string& folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  if (folder.back() == '/') return folder + std::string(name);
  return folder + "/" + std::string(name);
}

bool HasHighBytes(std::string_view s) {
  for (unsigned char c : s) {
    if (c >= 0x80) return true;
  }
  return false;
}

// The entry of `folder` that equals `component` without regard to case, if any.
bool FindNoCase(const std::string& folder, std::string_view component, std::string& found) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return false;
  bool any = false;
  while (dirent* e = ::readdir(dir)) {
    const std::string_view name(e->d_name);
    if (name == "." || name == "..") continue;
    if (EqualNoCase(NativeNameToProgram(name), component) && (!any || name < found)) {
      found = std::string(name);
      any = true;
    }
  }
  ::closedir(dir);
  return any;
}

}  // namespace

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

bool EndsWithSeparator(std::string_view path) { return !path.empty() && IsPathSeparator(path.back()); }

std::string NativeNameToProgram(std::string_view name) {
  if (!HasHighBytes(name) || !IsValidUtf8(name)) return std::string(name);
  return Utf8ToCp1252(name);
}

std::string ProgramNameToNative(std::string_view name) {
  if (!HasHighBytes(name)) return std::string(name);
  return Cp1252ToUtf8(name);
}

std::string NativeParent(std::string_view nativePath) {
  std::string p(nativePath);
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  const auto slash = p.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return p.substr(0, slash);
}

std::string ToNativePath(std::string_view path) {
  if (path.empty()) return std::string();
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || IsPathSeparator(path[i])) {
      if (i > start) parts.push_back(path.substr(start, i - start));
      start = i + 1;
    }
  }
  std::string out = IsPathSeparator(path.front()) ? "/" : "";
  bool resolving = true;
  for (const auto comp : parts) {
    const std::string native = ProgramNameToNative(comp);
    const std::string exact = Join(out, native);
    if (!resolving || comp == "." || comp == ".." || Exists(exact)) {
      out = exact;
      continue;
    }
    if (native != comp) {
      const std::string raw = Join(out, comp);  // a name stored in the old 8-bit code page
      if (Exists(raw)) {
        out = raw;
        continue;
      }
    }
    std::string found;
    if (FindNoCase(out, comp, found)) {
      out = Join(out, found);
    } else {
      out = exact;
      resolving = false;
    }
  }
  if (EndsWithSeparator(path) && !out.empty() && out.back() != '/') out += '/';
  return out;
}
