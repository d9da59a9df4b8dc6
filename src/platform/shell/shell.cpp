#include "platform/shell/shell.h"

#include "platform/base/errors.h"
#include "platform/kernel/files.h"
#include "platform/kernel/paths.h"
#include "platform/kernel/process.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

std::mutex& LookupMutex() {
  static auto* m = new std::mutex;
  return *m;
}

std::function<bool(const std::string&, std::string&)>& LookupOverride() {
  static auto* f = new std::function<bool(const std::string&, std::string&)>;
  return *f;
}

bool IsExecutableFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// A program name searched in PATH; a name with a folder is taken as it is.
std::string FindInPath(const std::string& name) {
  if (name.empty()) return std::string();
  if (name.find('/') != std::string::npos) return IsExecutableFile(name) ? name : std::string();
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    if (dir.empty()) continue;
    const std::string candidate = dir + "/" + name;
    if (IsExecutableFile(candidate)) return candidate;
  }
  return std::string();
}

std::string Lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string MimeTypeOfExtension(const std::string& extension) {
  static const struct { const char* ext; const char* mime; } kTypes[] = {
      {".txt", "text/plain"},         {".log", "text/plain"},
      {".xls", "application/vnd.ms-excel"},
      {".csv", "text/csv"},           {".htm", "text/html"},
      {".html", "text/html"},         {".chm", "application/vnd.ms-htmlhelp"},
      {".pdf", "application/pdf"},
  };
  const std::string e = Lower(extension);
  for (const auto& t : kTypes) {
    if (e == t.ext) return t.mime;
  }
  return std::string();
}

std::vector<std::string> SplitList(const char* value, const char* fallback) {
  std::vector<std::string> out;
  std::istringstream in(value != nullptr && *value != '\0' ? value : fallback);
  std::string item;
  while (std::getline(in, item, ':')) {
    if (!item.empty()) out.push_back(item);
  }
  return out;
}

std::string ConfigHome() {
  const char* v = std::getenv("XDG_CONFIG_HOME");
  return v != nullptr && *v != '\0' ? v : GetHomeFolder() + "/.config";
}

std::string DataHome() {
  const char* v = std::getenv("XDG_DATA_HOME");
  return v != nullptr && *v != '\0' ? v : GetHomeFolder() + "/.local/share";
}

std::vector<std::string> DataFolders() {
  std::vector<std::string> dirs{DataHome()};
  for (auto& d : SplitList(std::getenv("XDG_DATA_DIRS"), "/usr/local/share:/usr/share")) dirs.push_back(d);
  return dirs;
}

// The desktop entries listed for `mime` under `[section]` of an ini-style file.
std::vector<std::string> EntriesFor(const std::string& file, const std::string& section, const std::string& mime) {
  std::vector<std::string> out;
  std::ifstream in(file);
  std::string line;
  bool inSection = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '[') {
      inSection = line == "[" + section + "]";
      continue;
    }
    if (!inSection) continue;
    const auto eq = line.find('=');
    if (eq == std::string::npos || line.substr(0, eq) != mime) continue;
    std::istringstream list(line.substr(eq + 1));
    std::string entry;
    while (std::getline(list, entry, ';')) {
      if (!entry.empty()) out.push_back(entry);
    }
  }
  return out;
}

// The program of a desktop entry: the first word of its Exec line, found in PATH.
std::string ProgramOfDesktopEntry(const std::string& entry) {
  for (const auto& dir : DataFolders()) {
    std::ifstream in(dir + "/applications/" + entry);
    if (!in) continue;
    std::string line;
    bool inEntry = false;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty() && line[0] == '[') {
        inEntry = line == "[Desktop Entry]";
        continue;
      }
      if (!inEntry || line.rfind("Exec=", 0) != 0) continue;
      std::istringstream words(line.substr(5));
      std::string word;
      while (words >> word) {
        if (word.size() >= 2 && word.front() == '"' && word.back() == '"') word = word.substr(1, word.size() - 2);
        if (word == "env" || word.find('=') != std::string::npos) continue;  // env VAR=value program
        return FindInPath(word);
      }
      return std::string();
    }
  }
  return std::string();
}

bool DesktopDefault(const std::string& mime, std::string& program) {
  std::vector<std::string> files{ConfigHome() + "/mimeapps.list"};
  for (auto& d : SplitList(std::getenv("XDG_CONFIG_DIRS"), "/etc/xdg")) files.push_back(d + "/mimeapps.list");
  for (auto& d : DataFolders()) {
    files.push_back(d + "/applications/mimeapps.list");
    files.push_back(d + "/applications/defaults.list");
  }
  for (const auto& f : files) {
    for (const auto& section : {"Default Applications"}) {
      for (const auto& entry : EntriesFor(f, section, mime)) {
        program = ProgramOfDesktopEntry(entry);
        if (!program.empty()) return true;
      }
    }
  }
  for (auto& d : DataFolders()) {
    for (const auto& entry : EntriesFor(d + "/applications/mimeinfo.cache", "MIME Cache", mime)) {
      program = ProgramOfDesktopEntry(entry);
      if (!program.empty()) return true;
    }
  }
  return false;
}

}  // namespace

DWORD StartProgram(const std::string& program, const std::vector<std::string>& arguments) {
  return StartProgramWatched(program, arguments, nullptr);
}

DWORD StartProgramWatched(const std::string& program, const std::vector<std::string>& arguments,
                          std::function<void(int status)> ended) {
  if (program.empty()) return ERROR_FILE_NOT_FOUND;
  const bool hasFolder = program.find_first_of("\\/") != std::string::npos;
  const std::string path = hasFolder ? ToNativePath(program) : program;
  std::vector<std::string> args{path};
  for (const auto& a : arguments) args.push_back(a);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int rc = hasFolder ? ::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ)
                           : ::posix_spawnp(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ);
  if (rc != 0) return ErrnoToWinError(rc, hasFolder ? path.c_str() : nullptr);
  // The program is not waited for; a detached thread collects its exit status so that no
  // zombie process is left behind.
  try {
    std::thread([pid, ended = std::move(ended)] {
      int status = 0;
      pid_t got = 0;
      while ((got = ::waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
      }
      if (!ended || got != pid) return;
      ended(WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 0);
    }).detach();
  } catch (...) {
    // No thread to spare: the child is left to be collected at exit; it runs all the same.
  }
  return 0;
}

DWORD StartProgramOnFile(const std::string& program, const std::string& file) {
  return StartProgram(program, {ToNativePath(file)});
}

INT_PTR FindExecutableForExtension(const char* extension, char* result) {
  if (extension == nullptr || result == nullptr) return SE_ERR_NOASSOC;
  const std::string mime = MimeTypeOfExtension(extension);
  if (mime.empty()) return SE_ERR_NOASSOC;
  std::string program;
  std::function<bool(const std::string&, std::string&)> lookup;
  {
    std::lock_guard<std::mutex> lock(LookupMutex());
    lookup = LookupOverride();
  }
  const bool found = lookup ? lookup(mime, program) : DesktopDefault(mime, program);
  if (!found || program.empty()) {
    program = FindInPath("xdg-open");
    if (program.empty()) return SE_ERR_NOASSOC;
  }
  if (program.size() >= MAX_PATH) return SE_ERR_OUTOFMEMORY;
  std::memcpy(result, program.c_str(), program.size() + 1);
  return SE_FOUND;
}

INT_PTR FindExecutableA(const char* file, const char* directory, char* result) {
  if (file == nullptr || *file == '\0') return SE_ERR_FNF;
  std::string path = file;
  if (directory != nullptr && *directory != '\0' && !IsPathSeparator(path[0])) {
    path = std::string(directory) + (EndsWithSeparator(directory) ? "" : "/") + path;
  }
  const std::string native = ToNativePath(path);
  struct stat st {};
  if (::stat(native.c_str(), &st) != 0) {
    return ErrnoToWinError(errno, native.c_str()) == ERROR_PATH_NOT_FOUND ? SE_ERR_PNF : SE_ERR_FNF;
  }
  const auto slash = path.find_last_of("\\/");
  const auto dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return SE_ERR_NOASSOC;
  return FindExecutableForExtension(path.c_str() + dot, result);
}

void SetAssociationLookupForTesting(std::function<bool(const std::string&, std::string&)> lookup) {
  std::lock_guard<std::mutex> lock(LookupMutex());
  LookupOverride() = std::move(lookup);
}

DWORD OpenDocumentOrUrl(const char* documentOrUrl) {
  if (documentOrUrl == nullptr || *documentOrUrl == '\0') return ERROR_FILE_NOT_FOUND;
  const std::string text = documentOrUrl;
  const bool isUrl = text.find("://") != std::string::npos || text.rfind("mailto:", 0) == 0;
  const std::string target = isUrl ? text : ToNativePath(text);
  const std::string opener = DesktopOpenerPath();
  if (opener.empty()) return ERROR_NO_ASSOCIATION;
  return StartProgram(opener, {target});
}

std::string DesktopOpenerPath() { return FindInPath("xdg-open"); }

std::string GetHelpFilePath() { return GetProgramPath() + ".chm"; }

DWORD OpenHelpFile() {
  const std::string help = GetHelpFilePath();
  if (!FileExists(help.c_str())) return ERROR_FILE_NOT_FOUND;
  char program[MAX_PATH];
  if (FindExecutableForExtension(".chm", program) <= 32) return ERROR_NO_ASSOCIATION;
  return StartProgramOnFile(program, help);
}
