// A file or folder in the temporary folder that a benchmark creates and must not leave behind.
//
// The path is chosen and the guard set up while the program is still single-threaded (a static
// guard object, built before main). Removal happens twice over:
// - at normal exit, from an exit handler that owns its own copy of the path, so it never reads an
//   object that exit has already destroyed;
// - when the program is interrupted or killed (Ctrl-C, SIGTERM, SIGKILL, a crash), by a small
//   watcher process forked at start: it ignores the terminal's signals, waits until the
//   benchmark's end of a pipe closes (which the kernel does however the benchmark ends) and then
//   removes the path.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/kernel/files.h"

class CBenchTempPath {
 public:
  // name: a file or folder name inside the temporary folder; the process id is appended.
  explicit CBenchTempPath(const std::string& name)
      : m_path(GetTempFolder() + name + "_" + std::to_string(getpid())) {
    Remove(m_path);  // a leftover of a killed run that reused this process id
    StartWatcher();
    ExitPath() = new std::string(m_path);  // kept for the exit handler; never freed
    std::atexit([] { Remove(*ExitPath()); });
  }
  CBenchTempPath(const CBenchTempPath&) = delete;
  CBenchTempPath& operator=(const CBenchTempPath&) = delete;

  const std::string& Path() const { return m_path; }

 private:
  static std::string*& ExitPath() {
    static std::string* path = nullptr;
    return path;
  }

  static void Remove(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }

  void StartWatcher() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    const pid_t child = ::fork();
    if (child == 0) {
      // The watcher: the terminal's signals reach the whole process group, so ignore them and
      // leave only once the benchmark's end of the pipe is closed.
      ::signal(SIGINT, SIG_IGN);
      ::signal(SIGTERM, SIG_IGN);
      ::signal(SIGHUP, SIG_IGN);
      ::signal(SIGQUIT, SIG_IGN);
      ::close(fds[1]);
      char byte;
      while (::read(fds[0], &byte, 1) < 0 && errno == EINTR) {
      }
      Remove(m_path);
      ::_exit(0);
    }
    ::close(fds[0]);
    // The write end stays open in the benchmark for its whole life (failure to fork leaves only
    // the exit handler).
    if (child < 0) ::close(fds[1]);
  }

  std::string m_path;
};
