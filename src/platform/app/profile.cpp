#include "platform/app/profile.h"

#include "platform/base/errors.h"
#include "platform/kernel/files.h"
#include "platform/kernel/paths.h"
#include "platform/kernel/process.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <climits>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Section and key names compare without regard to (ASCII) case: each is looked up by its folded
// form.
std::string Folded(std::string_view s) {
  std::string f(s);
  for (char& c : f)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return f;
}

// A file that this program may not write, or that nobody may (no write permission at all: a
// user who runs as root is held to that too). Saving it would replace it through a rename.
bool IsReadOnly(const std::string& path, const struct stat& st) { return CheckWriteAccess(path, st.st_mode) != 0; }

// True when the program runs in group `gid`.
bool RunsInGroup(gid_t gid) {
  if (gid == ::getegid()) return true;
  std::vector<gid_t> groups(static_cast<size_t>(std::max(::getgroups(0, nullptr), 0)));
  const int n = ::getgroups(static_cast<int>(groups.size()), groups.data());
  return n > 0 && std::find(groups.begin(), groups.begin() + n, gid) != groups.begin() + n;
}

// True when a save can give the new file this file's owner and group: the program runs as root, or
// it owns the file and belongs to the file's group.
bool CanKeepOwner(const struct stat& st) {
  const uid_t self = ::geteuid();
  if (self == 0) return true;
  return st.st_uid == self && RunsInGroup(st.st_gid);
}

// The users whose settings the program may take: itself and root.
bool IsOwnOrRoots(uid_t uid) { return uid == ::geteuid() || uid == 0; }

// True when no user but this one and root is in group `gid`: neither as his primary group nor as
// a listed member (a group of the user's own, as a umask of 002 leaves writable). A group that
// holds nobody and that the program does not run in belongs to programs (set-group-ID ones write
// with it), so it counts as another user's.
bool IsGroupOfOwnAlone(gid_t gid) {
  bool someone = RunsInGroup(gid);
  std::vector<char> buf(16384);
  passwd user {}, *found = nullptr;
  ::setpwent();
  for (;;) {
    const int rc = ::getpwent_r(&user, buf.data(), buf.size(), &found);
    if (rc == ERANGE && buf.size() < (1u << 20)) {
      buf.resize(buf.size() * 2);
      continue;
    }
    if (rc != 0 || found == nullptr) break;
    if (user.pw_gid != gid) continue;
    if (!IsOwnOrRoots(user.pw_uid)) {
      ::endpwent();
      return false;
    }
    someone = true;
  }
  ::endpwent();
  group entry {}, *listed = nullptr;
  int rc;
  while ((rc = ::getgrgid_r(gid, &entry, buf.data(), buf.size(), &listed)) == ERANGE && buf.size() < (1u << 24))
    buf.resize(buf.size() * 2);
  if (rc != 0) return false;
  for (char** name = listed != nullptr ? entry.gr_mem : nullptr; name != nullptr && *name != nullptr; ++name) {
    std::vector<char> userBuf(16384);
    if (::getpwnam_r(*name, &user, userBuf.data(), userBuf.size(), &found) != 0 || found == nullptr ||
        !IsOwnOrRoots(user.pw_uid))
      return false;
    someone = true;
  }
  return someone;
}

// True when a user other than this one and root may change the file or folder: he owns it, or its
// mode lets everyone, or a group with him in it, write it.
bool OthersMayWrite(const struct stat& st) {
  if (!IsOwnOrRoots(st.st_uid) || (st.st_mode & S_IWOTH) != 0) return true;
  return (st.st_mode & S_IWGRP) != 0 && !IsGroupOfOwnAlone(st.st_gid);
}

// What another user than this one and root could change of the settings at `path`, followed as the
// system follows it, link by link: the file it ends at (its owner, or who may write it) or a folder
// on the way. An entry of a folder that others may write is out of their reach only when the folder
// is root's or this user's and sticky (as /tmp) and the entry is this user's or root's. Read when
// nothing is in another's reach; else the state that says what is, and `where` the file or folder.
// A name missing on the way, or one that cannot be looked at, is no objection: the read then finds
// no file or fails, and a save makes the missing folders as this user's.
CProfile::FileState FindOthersReach(const std::string& path, std::string& where) {
  using State = CProfile::FileState;
  std::vector<std::string> names;  // still to follow, the next one last
  const auto follow = [&](std::string_view text) {
    std::vector<std::string> parts;
    for (size_t pos = 0; pos <= text.size();) {
      const size_t slash = std::min(text.find('/', pos), text.size());
      if (slash > pos) parts.emplace_back(text.substr(pos, slash - pos));
      pos = slash + 1;
    }
    names.insert(names.end(), parts.rbegin(), parts.rend());
  };
  follow(path);
  // A relative path is followed from the root through the current folder.
  if (path.empty() || path[0] != '/') {
    char* cwd = ::getcwd(nullptr, 0);
    if (cwd == nullptr) return State::Read;
    follow(cwd);
    std::free(cwd);
  }
  std::string folder = "/";
  struct stat dir {};
  if (::lstat(folder.c_str(), &dir) != 0) return State::Read;
  State found = State::Read;  // a folder in reach, told when the file itself is not
  int links = 0;
  while (!names.empty()) {
    const std::string name = std::move(names.back());
    names.pop_back();
    if (name == ".") continue;
    if (name == "..") {
      folder.erase(std::max<size_t>(folder.find_last_of('/'), 1));
      if (::lstat(folder.c_str(), &dir) != 0) return found;
      continue;
    }
    const std::string entry = (folder == "/" ? "" : folder) + "/" + name;
    struct stat st {};
    if (::lstat(entry.c_str(), &st) != 0) return found;
    // A folder on the way that is another user's (the file is judged at the end), else the folder
    // that holds the entry, when it lets others replace it.
    if (found == State::Read && !names.empty() && !S_ISLNK(st.st_mode) && !IsOwnOrRoots(st.st_uid)) {
      found = State::InOthersFolder;
      where = entry;
    }
    const bool sticky = (dir.st_mode & S_ISVTX) != 0 && IsOwnOrRoots(dir.st_uid) && IsOwnOrRoots(st.st_uid);
    if (found == State::Read && OthersMayWrite(dir) && !sticky) {
      found = State::InOthersFolder;
      where = folder;
    }
    if (S_ISLNK(st.st_mode)) {
      std::string target(PATH_MAX, '\0');
      const ssize_t n = ::readlink(entry.c_str(), target.data(), target.size());
      if (n <= 0 || ++links > 40) return found;
      target.resize(static_cast<size_t>(n));
      if (target[0] == '/') {
        folder = "/";
        if (::lstat(folder.c_str(), &dir) != 0) return found;
      }
      follow(target);
      continue;
    }
    if (names.empty()) {
      if (!IsOwnOrRoots(st.st_uid) || OthersMayWrite(st)) {
        where = entry;
        return IsOwnOrRoots(st.st_uid) ? State::WritableByOthers : State::OtherUsersFile;
      }
      return found;
    }
    folder = entry;
    dir = st;
  }
  return found;
}

bool HasLineBreak(const char* s) { return s != nullptr && std::strpbrk(s, "\r\n") != nullptr; }

std::string_view Trim(std::string_view s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  const auto e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

// Calls `line` for each line of `text`, without its line end, until it returns false.
template <typename F>
void ForEachLine(std::string_view text, F&& line) {
  size_t pos = 0;
  while (pos < text.size()) {
    auto eol = text.find('\n', pos);
    if (eol == std::string_view::npos) eol = text.size();
    std::string_view l = text.substr(pos, eol - pos);
    pos = eol + 1;
    if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
    if (!line(l)) return;
  }
}

// The home folder, or the temporary folder where the user has none.
std::string HomeFolder() {
  std::string home = GetHomeFolder();
  if (!home.empty()) return home;
  home = GetTempFolder();
  home.pop_back();  // its trailing separator
  return home;
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
  m_leadingLines.clear();
  m_sections.clear();
  m_sectionIndex.clear();
  m_readError = 0;
  m_lineEnd = "\n";
  m_fileState = FileState::Unreadable;
  m_othersReach.clear();
  // Settings that another user could have put there or changed are not taken: they name the
  // programs that open the reports.
  if (const FileState reach = FindOthersReach(m_path, m_othersReach); reach != FileState::Read) {
    m_fileState = reach;
    return false;
  }
  // Only a regular file is opened, and without waiting: a FIFO put in its place between the check
  // and the open still does not block, and is refused by the second check.
  struct stat st {};
  if (::stat(m_path.c_str(), &st) != 0) {
    const int error = errno;
    // A link to no file is left as it is: a save would make a file at its end, or in its place.
    if (error == ENOENT && ::lstat(m_path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
      m_fileState = FileState::BrokenLink;
      return false;
    }
    if (error == ENOENT || error == ENOTDIR) {
      m_fileState = FileState::Absent;
      return true;
    }
    m_readError = ErrnoToWinError(error, m_path.c_str());
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    m_fileState = FileState::NotRegularFile;
    return false;
  }
  const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT) {
      m_fileState = FileState::Absent;
      return true;
    }
    m_readError = ErrnoToWinError(errno, m_path.c_str());
    return false;
  }
  std::string text;
  bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (!regular) m_fileState = FileState::NotRegularFile;
  else if (static_cast<uint64_t>(st.st_size) > kMaxFileBytes) m_fileState = FileState::TooLarge;
  else {
    // Read to the end, but never more than the limit: a file that grows while it is read is too
    // large as well.
    text.resize(static_cast<size_t>(st.st_size) + 1);
    size_t got = 0;
    for (;;) {
      if (got == text.size()) {
        if (got > kMaxFileBytes) break;
        text.resize(std::min<size_t>(text.size() * 2 + 4096, kMaxFileBytes + 1));
      }
      const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        m_readError = ErrnoToWinError(errno, m_path.c_str());
        break;
      }
      if (n == 0) {
        m_fileState = FileState::Read;
        break;
      }
      got += static_cast<size_t>(n);
    }
    if (got > kMaxFileBytes) m_fileState = FileState::TooLarge;
    text.resize(got);
  }
  ::close(fd);
  if (m_fileState != FileState::Read) return false;
  // Random bytes, or a file of another kind, put where the settings belong: reading "sections"
  // out of it and saving them would destroy it.
  if (std::any_of(text.begin(), text.end(), [](char c) { return IsNonTextByte(static_cast<unsigned char>(c)); })) {
    m_fileState = FileState::NotText;
    return false;
  }
  // Nor is a note or a list that was put there, or that the name links to, the program's own.
  if (!IsSettingsText(text)) {
    m_fileState = FileState::NotSettings;
    return false;
  }
  Parse(text);
  if (IsReadOnly(m_path, st)) m_fileState = FileState::ReadOnly;
  else if (!CanKeepOwner(st)) m_fileState = FileState::OtherOwner;
  return true;
}

bool CProfile::IsSettingsText(std::string_view text) {
  bool blank = true, section = false;
  ForEachLine(text, [&](std::string_view line) {
    const std::string_view t = Trim(line);
    if (t.empty()) return true;
    blank = false;
    const auto close = t.find(']');
    if (t[0] != '[' || close == std::string_view::npos || Trim(t.substr(1, close - 1)).empty()) return true;
    const std::string_view rest = Trim(t.substr(close + 1));
    section = rest.empty() || rest[0] == ';' || rest[0] == '#';
    return !section;
  });
  return blank || section;
}

void CProfile::Parse(const std::string& all) {
  const std::string_view text(all);
  const auto firstEnd = text.find('\n');
  m_lineEnd = firstEnd != std::string_view::npos && firstEnd > 0 && text[firstEnd - 1] == '\r' ? "\r\n" : "\n";
  Section* current = nullptr;
  // A line the profile does not use stays where it is.
  const auto keep = [&](std::string_view line) {
    if (current == nullptr) m_leadingLines.emplace_back(line);
    else current->entries.push_back({std::string(), std::string(line), true});
  };
  ForEachLine(text, [&](std::string_view line) {
    const std::string_view t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#') {
      keep(line);
      return true;
    }
    if (t[0] == '[') {
      const auto close = t.find(']');
      if (close == std::string_view::npos) {  // not a section line
        keep(line);
        return true;
      }
      const std::string name(t.substr(1, close - 1));
      Section* found = FindSection(name.c_str());
      if (found != nullptr) {
        // A section given twice goes on where it was; its second line stays as a line of it.
        current = found;
        keep(line);
      } else {
        const std::string header(line);
        current = &AddSection(name, &header);
      }
      return true;
    }
    const auto eq = line.find('=');
    const std::string_view key = eq == std::string_view::npos ? std::string_view() : Trim(line.substr(0, eq));
    if (current == nullptr || key.empty()) {
      keep(line);
      return true;
    }
    // A key given twice keeps its first place and its last value.
    std::string folded = Folded(key);
    if (Entry* e = current->Find(folded)) {
      e->value.assign(line.substr(eq + 1));
      return true;
    }
    current->index.emplace(std::move(folded), current->entries.size());
    current->entries.push_back({std::string(key), std::string(line.substr(eq + 1))});
    return true;
  });
}

std::string CProfile::GetOthersReach() const {
  std::lock_guard<std::recursive_mutex> guard(m_lock);
  return m_othersReach;
}

CProfile::FileState CProfile::GetFileState() const {
  std::lock_guard<std::recursive_mutex> guard(m_lock);
  return m_fileState;
}

bool CProfile::IsFileLeftAlone() const {
  std::lock_guard<std::recursive_mutex> guard(m_lock);
  return m_fileState != FileState::Read && m_fileState != FileState::Absent;
}

DWORD CProfile::GetReadError() const {
  std::lock_guard<std::recursive_mutex> guard(m_lock);
  return m_readError;
}

const CProfile::Entry* CProfile::Section::Find(const std::string& folded) const {
  const auto it = index.find(folded);
  return it != index.end() ? &entries[it->second] : nullptr;
}

void CProfile::Section::Reindex() {
  index.clear();
  for (size_t i = 0; i < entries.size(); ++i)
    if (!entries[i].kept) index.emplace(Folded(entries[i].name), i);
}

CProfile::Section& CProfile::AddSection(const std::string& name, const std::string* header) {
  if (header == nullptr) {
    // A blank line between the new section and the lines before it, unless there is one.
    std::vector<Entry>* last = m_sections.empty() ? nullptr : &m_sections.back().entries;
    const bool before = last != nullptr || !m_leadingLines.empty();
    const bool blank = last != nullptr ? !last->empty() && last->back().kept && Trim(last->back().value).empty()
                                       : !m_leadingLines.empty() && Trim(m_leadingLines.back()).empty();
    if (before && !blank) {
      if (last != nullptr) last->push_back({std::string(), std::string(), true});
      else m_leadingLines.emplace_back();
    }
  }
  m_sectionIndex.emplace(Folded(name), m_sections.size());
  m_sections.push_back({name, header != nullptr ? *header : "[" + name + "]", {}, {}});
  return m_sections.back();
}

const CProfile::Section* CProfile::FindSection(const char* name) const {
  const auto it = m_sectionIndex.find(Folded(name));
  return it != m_sectionIndex.end() ? &m_sections[it->second] : nullptr;
}

UINT CProfile::GetProfileInt(const char* section, const char* key, int defaultValue) const {
  const std::string text = GetProfileString(section, key, nullptr);
  const std::string t(Trim(text));
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
  const Entry* e = s != nullptr ? s->Find(Folded(key)) : nullptr;
  return e != nullptr ? e->value : fallback;
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
    if (s != nullptr) {
      m_sections.erase(m_sections.begin() + (s - m_sections.data()));
      m_sectionIndex.clear();
      for (size_t i = 0; i < m_sections.size(); ++i) m_sectionIndex.emplace(Folded(m_sections[i].name), i);
    }
  } else if (value == nullptr) {
    const std::string folded = Folded(key);
    if (Entry* e = s != nullptr ? s->Find(folded) : nullptr) {
      s->entries.erase(s->entries.begin() + (e - s->entries.data()));
      s->Reindex();
    }
  } else {
    if (s == nullptr) s = &AddSection(section, nullptr);
    const std::string folded = Folded(key);
    if (Entry* e = s->Find(folded)) {
      e->value = value;
    } else {
      // After the section's last key: the comments and blank lines that end a section belong to
      // what follows them.
      size_t at = s->entries.size();
      while (at > 0 && s->entries[at - 1].kept) --at;
      s->entries.insert(s->entries.begin() + static_cast<std::ptrdiff_t>(at), Entry{key, value});
      s->Reindex();
    }
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
  // A file that was there but was not read, is read-only or is another's, is never written over.
  if (IsFileLeftAlone()) return 0;
  std::string text;
  // A line that itself ends in CR (read from "...\r\r\n") ends in CR LF even in a file of LF line
  // ends, so that reading it again strips only the line end.
  const auto add = [&](const std::string& line) {
    text += line;
    text += !line.empty() && line.back() == '\r' ? "\r\n" : m_lineEnd;
  };
  for (const auto& line : m_leadingLines) add(line);
  for (const auto& s : m_sections) {
    add(s.header);
    for (const auto& e : s.entries) add(e.kept ? e.value : e.name + "=" + e.value);
  }
  const std::string folder = NativeParent(m_path);
  if (const DWORD e = MakeFolders(folder)) return e;
  // Nor are they put where another user has come to reach them since the read.
  if (const FileState reach = FindOthersReach(m_path, m_othersReach); reach != FileState::Read) {
    m_fileState = reach;
    return ERROR_ACCESS_DENIED;
  }
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
