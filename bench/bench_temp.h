// A file or folder in the temporary folder that a benchmark creates and must not leave behind.
//
// Removal happens twice over:
// - at normal exit, from one exit handler that owns its own copies of the paths, so it never reads
//   an object that exit has already destroyed;
// - when the program is interrupted or killed (Ctrl-C, SIGTERM, SIGKILL, a crash), by a small
//   watcher process forked when the path is chosen: it ignores the terminal's signals, waits until
//   the benchmark's end of a pipe closes (which the kernel does however the benchmark ends) and
//   then runs "rm -rf" on the path. It allocates nothing after the fork, so it may be forked while
//   other threads run.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/kernel/files.h"

class CBenchTempPath {
 public:
  // The path is the temporary folder, name, "_", the process id and suffix.
  explicit CBenchTempPath(const std::string& name, const std::string& suffix = "")
      : m_path(GetTempFolder() + name + "_" + std::to_string(getpid()) + suffix) {
    Remove(m_path);  // a leftover of a killed run that had this process id
    StartWatcher();
    if (ExitPaths().empty()) std::atexit(RemoveAtExit);
    ExitPaths().push_back(m_path);
  }
  CBenchTempPath(const CBenchTempPath&) = delete;
  CBenchTempPath& operator=(const CBenchTempPath&) = delete;

  const std::string& Path() const { return m_path; }

 private:
  // The paths for the exit handler; never destroyed, so the handler can run after every static.
  static std::vector<std::string>& ExitPaths() {
    static std::vector<std::string>* paths = new std::vector<std::string>;
    return *paths;
  }

  static void RemoveAtExit() {
    for (const std::string& p : ExitPaths()) Remove(p);
  }

  static void Remove(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }

  void StartWatcher() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    const char* path = m_path.c_str();
    const pid_t child = ::fork();
    if (child == 0) {
      // The terminal's signals reach the whole process group: ignore them, leave only once the
      // benchmark's end of the pipe is closed.
      ::signal(SIGINT, SIG_IGN);
      ::signal(SIGTERM, SIG_IGN);
      ::signal(SIGHUP, SIG_IGN);
      ::signal(SIGQUIT, SIG_IGN);
      ::close(fds[1]);
      char byte;
      while (::read(fds[0], &byte, 1) < 0 && errno == EINTR) {
      }
      ::execlp("rm", "rm", "-rf", "--", path, static_cast<char*>(nullptr));
      ::_exit(1);
    }
    ::close(fds[0]);
    // The write end stays open in the benchmark for its whole life (without a watcher only the
    // exit handler removes the path).
    if (child < 0) ::close(fds[1]);
  }

  std::string m_path;
};
