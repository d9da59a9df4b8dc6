#include "platform/kernel/process.h"

#include "platform/base/errors.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <cstdlib>
#include <mutex>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace {

std::mutex& OverrideMutex() {
  static auto* m = new std::mutex;
  return *m;
}

std::string& Override() {
  static auto* s = new std::string;
  return *s;
}

}  // namespace

std::string GetProgramPath() {
  {
    std::lock_guard<std::mutex> lock(OverrideMutex());
    if (!Override().empty()) return Override();
  }
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return std::string();
  return std::string(buf, static_cast<size_t>(n));
}

std::string GetHomeFolder() {
  // Only a full path names a folder: a relative one would lead back to the folder started from.
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home == '/') return home;
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buf(size > 0 ? static_cast<size_t>(size) : 16384);
  passwd entry {}, *found = nullptr;
  int rc;
  while ((rc = ::getpwuid_r(::geteuid(), &entry, buf.data(), buf.size(), &found)) == ERANGE && buf.size() < (1u << 20))
    buf.resize(buf.size() * 2);
  if (rc != 0 || found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] != '/') return std::string();
  return found->pw_dir;
}

void SettleHomeVariables() {
  // A relative base folder is no folder, as the base-directory rules say.
  for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"}) {
    const char* folder = std::getenv(name);
    if (folder != nullptr && *folder != '/') ::unsetenv(name);
  }
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home == '/') return;
  const std::string found = GetHomeFolder();
  if (found.empty()) ::unsetenv("HOME");
  else ::setenv("HOME", found.c_str(), 1);
}

std::string GetProgramName() {
  std::string p = GetProgramPath();
  const auto slash = p.find_last_of('/');
  if (slash != std::string::npos) p.erase(0, slash + 1);
  const auto dot = p.find_last_of('.');
  if (dot != std::string::npos && dot > 0) p.erase(dot);
  return p;
}

void SetProgramPathForTesting(const std::string& path) {
  std::lock_guard<std::mutex> lock(OverrideMutex());
  Override() = path;
}

DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size) {
  if (module != nullptr || buffer == nullptr || size == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::string p = GetProgramPath();
  if (p.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  if (p.size() >= size) {
    std::memcpy(buffer, p.data(), size - 1);
    buffer[size - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::memcpy(buffer, p.c_str(), p.size() + 1);
  return static_cast<DWORD>(p.size());
}
