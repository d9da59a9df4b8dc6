// Work done as another user: the tests run as root, which may write any file, so a file that a
// user may or may not write is tried in a child process that has become the user nobody.
#pragma once

#include <functional>
#include <string>

#include <grp.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

constexpr uid_t kNobody = 65534;

// Runs `work` in a child process as user `uid` of group `gid` (in no other group) and returns the
// text it returned, or a text saying that the child could not become that user or gave nothing back.
inline std::string AsUser(uid_t uid, gid_t gid, const std::function<std::string()>& work) {
  const std::string failed = "(the work did not run as user " + std::to_string(uid) + ")";
  int fds[2];
  if (::pipe(fds) != 0) return failed;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    const std::string out = ::setgroups(0, nullptr) == 0 && ::setgid(gid) == 0 && ::setuid(uid) == 0 ? work() : failed;
    ::_exit(::write(fds[1], out.data(), out.size()) == static_cast<ssize_t>(out.size()) ? 0 : 1);
  }
  ::close(fds[1]);
  std::string out;
  char buf[4096];
  for (ssize_t n; child > 0 && (n = ::read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
  ::close(fds[0]);
  int status = 0;
  if (child > 0) ::waitpid(child, &status, 0);
  return child > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? out : failed;
}

// AsUser as nobody.
inline std::string AsNobody(const std::function<std::string()>& work) { return AsUser(kNobody, kNobody, work); }
