#include "platform/app/profile.h"

#include "platform/base/errors.h"
#include "platform/kernel/files.h"
#include "platform/kernel/paths.h"
#include "platform/kernel/process.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool SameName(const std::string& a, const char* b) { return ::strcasecmp(a.c_str(), b) == 0; }

bool HasLineBreak(const char* s) { return s != nullptr && std::strpbrk(s, "\r\n") != nullptr; }

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return std::string();
  const auto e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return home;
  if (const passwd* pw = ::getpwuid(::getuid())) return pw->pw_dir;
  return "/tmp";
}

// Creates each missing folder of `path`.
DWORD MakeFolders(const std::string& path) {
  std::string cur;
  size_t pos = 0;
  while (pos <= path.size()) {
    const auto slash = path.find('/', pos);
    const std::string part = path.substr(0, slash == std::string::npos ? path.size() : slash);
    pos = slash == std::string::npos ? path.size() + 1 : slash + 1;
    if (part.empty()) continue;
    if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return ErrnoToWinError(errno, part.c_str());
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return ERROR_PATH_NOT_FOUND;
  return 0;
}

}  // namespace

CProfile::CProfile() : CProfile(DefaultPath(GetProgramName())) {}

CProfile::CProfile(std::string path) : m_path(std::move(path)) { Reload(); }

CProfile::~CProfile() { Flush(); }

BOOL CProfile::Flush() {
  std::lock_guard<std::recursive_mutex> guard(m_lock);
  if (m_unsynced) {
    const DWORD error = Save(true);
    if (error != 0) {
      m_writeFailed = true;
      m_lastSaveError = error;
      SetLastError(error);
    } else {
      m_unsynced = false;
    }
  }
  return m_writeFailed ? FALSE : TRUE;
}

std::string CProfile::DefaultPath(const std::string& programName) {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string base = config != nullptr && *config == '/' ? config : HomeFolder() + "/.config";
  return base + "/KARVO/" + (programName.empty() ? std::string("qav") : programName) + ".ini";
}

bool CProfile::Reload() {
  std::lock_guard<std::recursive_mutex> guard(m_lock);
  m_sections.clear();
  const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR;
  std::string text;
  char buf[8192];
  bool ok = true;
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) { ok = false; break; }
    if (n == 0) break;
    text.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  Section* current = nullptr;
  size_t pos = 0;
  while (pos < text.size()) {
    auto eol = text.find('\n', pos);
    if (eol == std::string::npos) eol = text.size();
    std::string line = text.substr(pos, eol - pos);
    pos = eol + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#') continue;
    if (t[0] == '[') {
      const auto close = t.find(']');
      if (close == std::string::npos) continue;  // not a section line: ignored
      const std::string name = t.substr(1, close - 1);
      current = FindSection(name.c_str());
      if (current == nullptr) {
        m_sections.push_back({name, {}});
        current = &m_sections.back();
      }
      continue;
    }
    const auto eq = line.find('=');
    if (current == nullptr || eq == std::string::npos) continue;
    const std::string key = Trim(line.substr(0, eq));
    if (key.empty()) continue;
    const std::string value = line.substr(eq + 1);
    bool replaced = false;
    for (auto& e : current->entries) {
      if (SameName(e.name, key.c_str())) {
        e.value = value;
        replaced = true;
      }
    }
    if (!replaced) current->entries.push_back({key, value});
  }
  return ok;
}

CProfile::Section* CProfile::FindSection(const char* name) {
  for (auto& s : m_sections) {
    if (SameName(s.name, name)) return &s;
  }
  return nullptr;
}

const CProfile::Section* CProfile::FindSection(const char* name) const {
  for (const auto& s : m_sections) {
    if (SameName(s.name, name)) return &s;
  }
  return nullptr;
}

UINT CProfile::GetProfileInt(const char* section, const char* key, int defaultValue) const {
  const std::string text = GetProfileString(section, key, nullptr);
  const std::string t = Trim(text);
  if (t.empty()) return static_cast<UINT>(defaultValue);
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(t.c_str(), &end, 10);
  if (end == t.c_str() || *end != '\0' || errno == ERANGE) {
    // Hexadecimal registry-style values are accepted as well.
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
      const unsigned long long h = std::strtoull(t.c_str() + 2, &end, 16);
      if (*end == '\0') return static_cast<UINT>(h);
    }
    return static_cast<UINT>(defaultValue);
  }
  return static_cast<UINT>(static_cast<unsigned long long>(v));
}

std::string CProfile::GetProfileString(const char* section, const char* key, const char* defaultValue) const {
  std::lock_guard<std::recursive_mutex> guard(m_lock);
  const std::string fallback = defaultValue != nullptr ? defaultValue : "";
  if (section == nullptr || key == nullptr) return fallback;
  const Section* s = FindSection(section);
  if (s == nullptr) return fallback;
  for (const auto& e : s->entries) {
    if (SameName(e.name, key)) return e.value;
  }
  return fallback;
}

BOOL CProfile::WriteProfileInt(const char* section, const char* key, int value) {
  return WriteProfileString(section, key, std::to_string(value).c_str());
}

BOOL CProfile::WriteProfileString(const char* section, const char* key, const char* value) {
  if (section == nullptr || *section == '\0' || HasLineBreak(section) || std::strchr(section, ']') != nullptr ||
      (key != nullptr && (*key == '\0' || HasLineBreak(key) || std::strchr(key, '=') != nullptr)) ||
      HasLineBreak(value)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::recursive_mutex> guard(m_lock);
  Section* s = FindSection(section);
  if (key == nullptr) {
    if (s != nullptr) m_sections.erase(m_sections.begin() + (s - m_sections.data()));
  } else if (value == nullptr) {
    if (s != nullptr) {
      auto& es = s->entries;
      for (size_t i = 0; i < es.size(); ++i) {
        if (SameName(es[i].name, key)) {
          es.erase(es.begin() + static_cast<long>(i));
          break;
        }
      }
    }
  } else {
    if (s == nullptr) {
      m_sections.push_back({section, {}});
      s = &m_sections.back();
    }
    bool found = false;
    for (auto& e : s->entries) {
      if (SameName(e.name, key)) {
        e.value = value;
        found = true;
        break;
      }
    }
    if (!found) s->entries.push_back({key, value});
  }
  m_unsynced = true;
  const DWORD error = Save(false);
  if (error != 0) {
    m_writeFailed = true;
    m_lastSaveError = error;
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}

DWORD CProfile::Save(bool durable) {
  std::string text;
  for (const auto& s : m_sections) {
    text += "[" + s.name + "]\r\n";
    for (const auto& e : s.entries) text += e.name + "=" + e.value + "\r\n";
    text += "\r\n";
  }
  const std::string folder = NativeParent(m_path);
  if (const DWORD e = MakeFolders(folder)) return e;
  return ReplaceFileContents(m_path, text, durable);
}

bool CProfile::HasWriteFailed() const {
  std::lock_guard<std::recursive_mutex> guard(m_lock);
  return m_writeFailed;
}

DWORD CProfile::GetLastSaveError() const {
  std::lock_guard<std::recursive_mutex> guard(m_lock);
  return m_lastSaveError;
}
