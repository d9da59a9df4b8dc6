#include "platform/kernel/files.h"

#include "platform/base/errors.h"
#include "platform/kernel/paths.h"
#include "platform/kernel/release.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <fcntl.h>
#include <mutex>
#include <string_view>
#include <new>
#include <climits>
#include <cstddef>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#include <utility>

namespace {

// Sharing between the opens of one file in this process, keyed by device and inode.
struct ShareRecord {
  uint64_t dev, ino;
  DWORD access, share;
  const FileHandle* owner;
};

std::mutex& ShareMutex() {
  static std::mutex* m = new std::mutex;
  return *m;
}

std::vector<ShareRecord>& ShareTable() {
  static auto* t = new std::vector<ShareRecord>;
  return *t;
}

bool Conflicts(DWORD accessA, DWORD shareA, DWORD accessB, DWORD shareB) {
  if ((accessA & GENERIC_READ) && !(shareB & FILE_SHARE_READ)) return true;
  if ((accessA & GENERIC_WRITE) && !(shareB & FILE_SHARE_WRITE)) return true;
  if ((accessB & GENERIC_READ) && !(shareA & FILE_SHARE_READ)) return true;
  if ((accessB & GENERIC_WRITE) && !(shareA & FILE_SHARE_WRITE)) return true;
  return false;
}

DWORD Fail(DWORD error) {
  SetLastError(error);
  return error;
}

BOOL FailBool(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// The error number of the errno left by a call on `native`.
DWORD ErrnoError(const std::string& native) { return ErrnoToWinError(errno, native.c_str()); }

DWORD CopyFileContents(const std::string& from, const std::string& to) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return ErrnoError(from);
  struct stat st {};
  ::fstat(in, &st);
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
  if (out < 0) {
    const DWORD e = ErrnoError(to);
    ::close(in);
    return e;
  }
  char buf[65536];
  DWORD error = 0;
  for (;;) {
    const ssize_t n = ::read(in, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) { error = ErrnoError(from); break; }
    if (n == 0) break;
    ssize_t done = 0;
    while (done < n) {
      const ssize_t w = ::write(out, buf + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) { error = ErrnoError(to); break; }
      done += w;
    }
    if (error) break;
  }
  if (!error && ::fsync(out) != 0) error = ErrnoError(to);
  ::close(out);
  ::close(in);
  if (error) ::unlink(to.c_str());
  return error;
}

// Follows a link on `target` to the file it leads to (the link itself stays): `target` becomes
// that file's path, `st` its status and `exists` whether there is one. A link that leads to no
// file gives the error.
DWORD FollowLinkToFile(std::string& target, struct stat& st, bool& exists) {
  exists = ::lstat(target.c_str(), &st) == 0;
  if (!exists || !S_ISLNK(st.st_mode)) return 0;
  char* real = ::realpath(target.c_str(), nullptr);
  if (real == nullptr) return ErrnoError(target);
  target = real;
  std::free(real);
  exists = ::stat(target.c_str(), &st) == 0;
  return 0;
}

// Gives a new file (`fd`) that replaces the file of status `old` at `native` its owner and group,
// then its mode (a change of owner may clear mode bits). 5 when the owner or group cannot be kept:
// only root gives a file away.
DWORD KeepOwnerAndMode(int fd, const struct stat& old, const std::string& native) {
  struct stat made {};
  if (::fstat(fd, &made) != 0) return ErrnoError(native);
  if ((made.st_uid != old.st_uid || made.st_gid != old.st_gid) && ::fchown(fd, old.st_uid, old.st_gid) != 0)
    return ErrnoError(native);
  if (::fchmod(fd, old.st_mode & 07777) != 0) return ErrnoError(native);
  return 0;
}

// Six letters or digits that make a temporary name unlikely to be taken.
std::string TemporarySuffix() {
  static std::atomic<uint64_t> counter{0};
  uint64_t x = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
               (static_cast<uint64_t>(::getpid()) << 40) ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
  x ^= x >> 29;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 32;
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string suffix;
  for (int i = 0; i < 6; ++i, x /= 62) suffix += kChars[x % 62];
  return suffix;
}

// Tests may make every file system look as one without unnamed files, and make flushes fail.
std::atomic<bool> g_unnamedFiles{true};
std::atomic<int> g_failingSyncs{0};

int Sync(int fd) {
  if (g_failingSyncs.load() > 0 && g_failingSyncs.fetch_sub(1) > 0) {
    errno = EIO;
    return -1;
  }
  return ::fsync(fd);
}

int OpenRetrying(const char* path, int flags, mode_t mode) {
  int fd;
  do {
    fd = ::open(path, flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// A file written beside its name has, while it has a name of its own, a short name of the same
// length whatever the name it is written for: this mark and six letters or digits (".~qavb3XyZ0"),
// so every name the file system takes can be written beside. Nothing else is so named.
constexpr std::string_view kTemporaryMark = ".~qav";
constexpr size_t kTemporaryLength = kTemporaryMark.size() + 6;

std::string TemporaryName(const std::string& target) {
  return NativeParent(target) + "/" + std::string(kTemporaryMark) + TemporarySuffix();
}

bool IsTemporaryName(std::string_view name) {
  if (name.size() != kTemporaryLength || !name.starts_with(kTemporaryMark)) return false;
  return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(kTemporaryMark.size()), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  });
}

// Takes the file at `path` away when an earlier write left it behind: a regular file of this user
// with no other name, which no writer holds locked (one at work holds its lock until its file has
// its own name; the lock of one that was killed went with it).
void RemoveIfLeftBehind(const std::string& path) {
  struct stat named {};
  if (::lstat(path.c_str(), &named) != 0 || !S_ISREG(named.st_mode) || named.st_uid != ::geteuid() ||
      named.st_nlink != 1)
    return;
  int fd = -1;
  for (const int access : {O_RDWR, O_RDONLY, O_WRONLY}) {
    fd = OpenRetrying(path.c_str(), access | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW, 0);
    if (fd >= 0 || errno != EACCES) break;
  }
  if (fd < 0) return;
  struct stat opened {};
  if (::fstat(fd, &opened) == 0 && SameFile(opened, named) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
    (void)::unlink(path.c_str());
  ::close(fd);
}

// Takes away what writes that never ended (a program killed, a crash, a power loss) left in the
// folder of `target` under temporary names. The name no longer says which name such a file was
// written for, so all of them go, each only when nothing holds it: a file of a write still at work
// is locked.
void RemoveLeftBehind(const std::string& target) noexcept {
  try {
    const std::string folder = NativeParent(target);
    std::vector<std::string> left;
    {
      std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
      if (dir == nullptr) return;
      while (const dirent* e = ::readdir(dir.get()))
        if (IsTemporaryName(e->d_name)) left.emplace_back(e->d_name);
    }
    for (const std::string& name : left) RemoveIfLeftBehind(folder + "/" + name);
  } catch (const std::bad_alloc&) {
    // What was left stays until a later write.
  }
}

// The longest name the folder of `target` takes (NAME_MAX where the file system does not say).
size_t LongestName(const std::string& target) {
  const long longest = ::pathconf(NativeParent(target).c_str(), _PC_NAME_MAX);
  return longest > 0 ? static_cast<size_t>(longest) : static_cast<size_t>(NAME_MAX);
}

bool NoUnnamedFiles(int err) { return err == EOPNOTSUPP || err == EISDIR || err == EINVAL; }

// Opens for writing a new file of `mode` (less the mask) in the folder of `target`, to take
// target's name later, and takes away what earlier writes of it left there first. The file is
// unnamed where the file system offers that (`name` empty): a program that ends before it is
// named leaves nothing. Elsewhere it has a temporary name (`name`) from the start. Either way it
// is locked, so that another run leaves it alone. The descriptor, or -1 with errno set.
int OpenBeside(const std::string& target, mode_t mode, std::string& name) {
  name.clear();
  // A name the folder cannot take fails here, not when the whole file is written and renamed.
  if (target.size() - target.find_last_of('/') - 1 > LongestName(target)) {
    errno = ENAMETOOLONG;
    return -1;
  }
  RemoveLeftBehind(target);
  if (g_unnamedFiles.load()) {
    const int fd = OpenRetrying(NativeParent(target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd >= 0) {
      (void)::flock(fd, LOCK_EX);  // nobody else can reach an unnamed file: this never waits
      return fd;
    }
    if (!NoUnnamedFiles(errno)) return -1;
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string temp = TemporaryName(target);
    const int fd = OpenRetrying(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return -1;
    // Locked before a byte is written. A run that was taking files left behind away may have got
    // the lock first and taken this one: then another name.
    int rc;
    do {
      rc = ::flock(fd, LOCK_EX);
    } while (rc != 0 && errno == EINTR);
    struct stat opened {}, named {};
    if (::fstat(fd, &opened) == 0 && ::lstat(temp.c_str(), &named) == 0 && SameFile(opened, named)) {
      name = std::move(temp);
      return fd;
    }
    ::close(fd);
  }
  errno = EEXIST;
  return -1;
}

// Gives the unnamed file `fd` a temporary name beside `target` (`name`), by which it is renamed
// over target next: a file can be linked only to a name that is free. 0 or the errno (ENOMEM when
// memory for the name ran out: the file is then given up as after any other failure).
int LinkBeside(int fd, const std::string& target, std::string& name) noexcept {
  char self[40];
  std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
  try {
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string temp = TemporaryName(target);
      // Without /proc, the descriptor itself (which older systems grant only to privileged users).
      if (::linkat(AT_FDCWD, self, AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
          (errno == ENOENT && ::linkat(fd, "", AT_FDCWD, temp.c_str(), AT_EMPTY_PATH) == 0)) {
        name = std::move(temp);
        return 0;
      }
      if (errno != EEXIST) return errno;
    }
  } catch (const std::bad_alloc&) {
    return ENOMEM;
  }
  return EEXIST;
}

// An error of the route through a new file beside the target that writing in place may get round:
// the folder takes no new file, or the new file cannot be given the old one's owner or group.
bool IsRefusal(int err) { return err == EACCES || err == EPERM; }

}  // namespace

void SetFileFaultsForTesting(bool unnamedFiles, int failingSyncs) {
  g_unnamedFiles = unnamedFiles;
  g_failingSyncs = failingSyncs;
}

DWORD CheckWriteAccess(const std::string& nativePath, uint32_t mode) {
  if ((mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return ERROR_ACCESS_DENIED;
  if (::faccessat(AT_FDCWD, nativePath.c_str(), W_OK, AT_EACCESS) != 0) return ErrnoError(nativePath);
  return 0;
}

// ----- FileHandle -----

FileHandle::~FileHandle() { Abandon(); }

void FileHandle::Abandon() {
  if (!m_commitTo.empty()) Discard();
  else Close();
}

FileHandle::FileHandle(FileHandle&& other) noexcept { *this = std::move(other); }

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    Abandon();
    std::lock_guard<std::mutex> lock(ShareMutex());
    m_fd = std::exchange(other.m_fd, -1);
    m_path = std::move(other.m_path);
    m_written = std::exchange(other.m_written, Written{});
    m_commitTo = std::exchange(other.m_commitTo, std::string());
    m_unnamed = std::exchange(other.m_unnamed, false);
    m_lock = std::exchange(other.m_lock, -1);
    for (auto& r : ShareTable()) {
      if (r.owner == &other) r.owner = this;
    }
  }
  return *this;
}

DWORD FileHandle::Open(const char* path, DWORD access, DWORD share, DWORD disposition, DWORD attributes) {
  Abandon();
  if (path == nullptr || *path == '\0') return Fail(ERROR_PATH_NOT_FOUND);
  return OpenNative(ToNativePath(path), access, share, disposition, attributes);
}

DWORD FileHandle::OpenAside(const char* path, DWORD share) {
  Abandon();
  if (path == nullptr || *path == '\0') return Fail(ERROR_PATH_NOT_FOUND);
  std::string target = ToNativePath(path);
  struct stat st {};
  bool exists = false;
  // A device is written as it is; so is a link to no file, which then gets one at its end.
  if (FollowLinkToFile(target, st, exists) != 0 || (exists && !S_ISREG(st.st_mode)))
    return Open(path, GENERIC_WRITE, share, CREATE_ALWAYS);
  if (exists)
    if (const DWORD e = CheckWriteAccess(target, st.st_mode)) return Fail(e);
  std::string opened = target, name;
  const int fd = OpenBeside(target, 0666, name);
  // A folder that takes no new file (another user's) may still hold a file this user may write:
  // it is written where it is.
  if (fd < 0 && exists && IsRefusal(errno)) return Open(path, GENERIC_WRITE, share, CREATE_ALWAYS);
  if (fd < 0) return Fail(ErrnoError(target));
  struct stat made {};
  DWORD e = ::fstat(fd, &made) == 0 ? 0 : ErrnoError(target);
  if (e == 0 && exists) e = KeepOwnerAndMode(fd, st, target);
  if (e != 0) {
    if (!name.empty()) ::unlink(name.c_str());
    ::close(fd);
    // Another user's file that this one may write: a rename would give it a new owner.
    if (e == ERROR_ACCESS_DENIED) return Open(path, GENERIC_WRITE, share, CREATE_ALWAYS);
    return Fail(e);
  }
  m_fd = fd;
  m_path = std::move(opened);
  m_unnamed = name.empty();
  m_written = {true, static_cast<uint64_t>(made.st_dev), static_cast<uint64_t>(made.st_ino), std::move(name)};
  m_commitTo = std::move(target);
  // The lock (OpenBeside) lasts until the file has its own name or is given up, past the close.
  m_lock = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  return 0;
}

DWORD FileHandle::Commit() {
  if (const DWORD e = Close()) return e;
  if (m_unnamed) return Fail(ERROR_INVALID_HANDLE);  // closed before it could be named: it is gone
  if (const DWORD e = CheckWrittenName()) return e;
  if (m_commitTo.empty()) return 0;
  if (::rename(m_written.path.c_str(), m_commitTo.c_str()) != 0) return Fail(ErrnoError(m_commitTo));
  m_written.path = std::exchange(m_commitTo, std::string());
  ReleaseLock();
  return 0;
}

void FileHandle::ReleaseLock() {
  if (m_lock >= 0) ::close(m_lock);
  m_lock = -1;
}

DWORD FileHandle::OpenNative(const std::string& native, DWORD access, DWORD share, DWORD disposition,
                             DWORD attributes) {
  Abandon();
  m_written = Written{};
  int flags = O_CLOEXEC;
  const bool read = access & GENERIC_READ;
  const bool write = access & GENERIC_WRITE;
  flags |= read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
  bool truncate = false;
  switch (disposition) {
    case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: flags |= O_CREAT; truncate = true; break;
    case OPEN_EXISTING: break;
    case OPEN_ALWAYS: flags |= O_CREAT; break;
    case TRUNCATE_EXISTING: truncate = true; break;
    default: return Fail(ERROR_INVALID_PARAMETER);
  }
  if (truncate && !write) return Fail(ERROR_INVALID_PARAMETER);
  const mode_t mode = (attributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
  struct stat before {};
  const bool existed = ::stat(native.c_str(), &before) == 0;
  if (existed && (S_ISFIFO(before.st_mode) || S_ISSOCK(before.st_mode))) {
    return Fail(ERROR_ACCESS_DENIED);  // not a file: opening a pipe would block
  }
  // What the handle keeps of the file is made before the file is: memory that ran out after the
  // open would leave a file behind that no Discard could find and take away.
  std::string keptPath = native;
  std::string writtenPath = write ? native : std::string();
  {
    std::lock_guard<std::mutex> lock(ShareMutex());
    ShareTable().reserve(ShareTable().size() + 1);
  }
  int fd;
  do {
    fd = ::open(native.c_str(), flags, mode);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return Fail(ErrnoError(native));
  const bool created = !existed && (flags & O_CREAT);
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const DWORD e = ErrnoError(native);
    ::close(fd);
    return Fail(e);
  }
  if (S_ISDIR(st.st_mode)) {
    ::close(fd);
    return Fail(ERROR_ACCESS_DENIED);
  }
  {
    std::lock_guard<std::mutex> lock(ShareMutex());
    for (const auto& r : ShareTable()) {
      if (r.dev == st.st_dev && r.ino == st.st_ino && Conflicts(access, share, r.access, r.share)) {
        ::close(fd);
        return Fail(ERROR_SHARING_VIOLATION);
      }
    }
    try {
      ShareTable().push_back({static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), access, share, this});
    } catch (const std::bad_alloc&) {
      // Another thread took the room made above. A file made just now goes again; one that was
      // there is untouched (it is cut only below).
      ::close(fd);
      if (created) ::unlink(native.c_str());
      return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
  }
  m_fd = fd;
  m_path = std::move(keptPath);
  if (write && S_ISREG(st.st_mode))
    m_written = {true, static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), std::move(writtenPath)};
  if (truncate && st.st_size != 0 && ::ftruncate(fd, 0) != 0) {
    const DWORD e = ErrnoError(native);
    Close();
    return Fail(e);
  }
  return 0;
}

void FileHandle::ForgetShares() {
  std::lock_guard<std::mutex> lock(ShareMutex());
  auto& t = ShareTable();
  t.erase(std::remove_if(t.begin(), t.end(), [this](const ShareRecord& r) { return r.owner == this; }), t.end());
}

DWORD FileHandle::Close() {
  if (m_fd < 0) return 0;
  // A file opened aside that has no name yet gets its temporary name: closing would lose it.
  int unnamed = 0;
  if (m_unnamed && (unnamed = LinkBeside(m_fd, m_commitTo, m_written.path)) == 0) m_unnamed = false;
  ForgetShares();
  // The descriptor is gone whatever close answers; an interruption is no failure of the file.
  DWORD error = ::close(m_fd) != 0 && errno != EINTR ? ErrnoToWinError(errno) : 0;
  m_fd = -1;
  m_path.clear();
  if (unnamed != 0) error = ErrnoToWinError(unnamed, m_commitTo.c_str());
  return error ? Fail(error) : 0;
}

EDiscarded FileHandle::Discard() {
  std::string target = std::exchange(m_commitTo, std::string());
  Written w = std::exchange(m_written, Written{});
  // The lock's descriptor goes before the file's, so that the release thread closes the file last
  // (see below); a temporary name keeps the lock until it is removed.
  if (std::exchange(m_unnamed, false)) {
    // Nothing names it: it goes with its descriptor. Its folder may have gone before it.
    ReleaseLock();
    if (m_fd >= 0) CloseLater();
    const size_t slash = target.find_last_of('/');
    target.resize(slash == std::string::npos ? 0 : slash == 0 ? 1 : slash);
    struct stat folder {};
    return ::stat(target.empty() ? "." : target.c_str(), &folder) == 0 ? EDiscarded::Removed : EDiscarded::Gone;
  }
  const bool open = m_fd >= 0;
  if (open) {
    struct stat st {};
    if (!w.valid || ::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_dev) != w.dev ||
        static_cast<uint64_t>(st.st_ino) != w.ino)
      w.valid = false;
  }
  if (!w.valid) {
    ReleaseLock();
    Close();
    return EDiscarded::Kept;
  }
  struct stat led {};
  if (::stat(w.path.c_str(), &led) != 0 || static_cast<uint64_t>(led.st_dev) != w.dev ||
      static_cast<uint64_t>(led.st_ino) != w.ino) {
    // Nobody reaches the contents by this name any more; they go all the same.
    ReleaseLock();
    if (open) {
      (void)::ftruncate(m_fd, 0);
      Close();
    }
    return EDiscarded::Gone;
  }
  // lstat: a name that is a link stays, and so does any file but the one written here.
  struct stat named {};
  if (::lstat(w.path.c_str(), &named) == 0 && S_ISREG(named.st_mode) &&
      static_cast<uint64_t>(named.st_dev) == w.dev && static_cast<uint64_t>(named.st_ino) == w.ino &&
      ::unlink(w.path.c_str()) == 0) {
    // The file system frees a file without a name when it is closed, which takes a while for a
    // large one: the release thread closes it.
    ReleaseLock();
    if (open) CloseLater();
    return EDiscarded::Removed;
  }
  ReleaseLock();
  const bool emptied = open && ::ftruncate(m_fd, 0) == 0;
  if (open) Close();
  return emptied ? EDiscarded::Emptied : EDiscarded::Kept;
}

void FileHandle::CloseLater() {
  class CCloseFile : public qav::CReleaseJob {
   public:
    explicit CCloseFile(int fd) : m_fd(fd) {}
    void Run() noexcept override { ::close(m_fd); }

   private:
    int m_fd;
  };
  auto* job = new (std::nothrow) CCloseFile(m_fd);
  if (job == nullptr) {
    Close();
    return;
  }
  ForgetShares();
  m_fd = -1;
  m_path.clear();
  qav::ReleaseLater(job);
}

DWORD FileHandle::CheckWrittenName() const {
  if (!m_written.valid || m_unnamed) return 0;
  struct stat st {};
  if (::stat(m_written.path.c_str(), &st) != 0) return Fail(ErrnoError(m_written.path));
  if (static_cast<uint64_t>(st.st_dev) != m_written.dev || static_cast<uint64_t>(st.st_ino) != m_written.ino)
    return Fail(ERROR_FILE_INVALID);
  return 0;
}

DWORD FileHandle::ReadAt(uint64_t offset, void* buffer, size_t length, size_t& read) {
  read = 0;
  if (m_fd < 0) return Fail(ERROR_INVALID_HANDLE);
  auto* p = static_cast<char*>(buffer);
  while (read < length) {
    const ssize_t n = ::pread(m_fd, p + read, length - read, static_cast<off_t>(offset + read));
    if (n < 0) {
      if (errno == EINTR) continue;
      return Fail(ErrnoToWinError(errno));
    }
    if (n == 0) break;
    read += static_cast<size_t>(n);
  }
  if (length > 0 && read == 0) return Fail(ERROR_HANDLE_EOF);
  return 0;
}

DWORD FileHandle::ReadPiecesAt(uint64_t offset, Piece* pieces, size_t count, size_t& read) {
  static_assert(sizeof(Piece) == sizeof(iovec) && offsetof(Piece, buffer) == offsetof(iovec, iov_base) &&
                    offsetof(Piece, length) == offsetof(iovec, iov_len),
                "a piece is handed to the system as it is");
  read = 0;
  if (m_fd < 0) return Fail(ERROR_INVALID_HANDLE);
  size_t wanted = 0;
  for (size_t i = 0; i < count; ++i) wanted += pieces[i].length;
  size_t first = 0;
  while (first < count) {
    if (pieces[first].length == 0) {
      ++first;
      continue;
    }
    const int n = static_cast<int>(std::min<size_t>(count - first, IOV_MAX));
    const ssize_t got = ::preadv(m_fd, reinterpret_cast<iovec*>(pieces + first), n, static_cast<off_t>(offset + read));
    if (got < 0) {
      if (errno == EINTR) continue;
      return Fail(ErrnoToWinError(errno));
    }
    if (got == 0) break;
    read += static_cast<size_t>(got);
    // Past the pieces filled whole; the piece filled in part goes on from where it stopped.
    size_t left = static_cast<size_t>(got);
    while (first < count && left >= pieces[first].length) left -= pieces[first++].length;
    if (left > 0) {
      pieces[first].buffer = static_cast<char*>(pieces[first].buffer) + left;
      pieces[first].length -= left;
    }
  }
  if (wanted > 0 && read == 0) return Fail(ERROR_HANDLE_EOF);
  return 0;
}

DWORD FileHandle::WriteAt(uint64_t offset, const void* buffer, size_t length) {
  if (m_fd < 0) return Fail(ERROR_INVALID_HANDLE);
  const auto* p = static_cast<const char*>(buffer);
  size_t done = 0;
  while (done < length) {
    const ssize_t n = ::pwrite(m_fd, p + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return Fail(ErrnoToWinError(errno));
    }
    if (n == 0) return Fail(ERROR_DISK_FULL);
    done += static_cast<size_t>(n);
  }
  return 0;
}

DWORD FileHandle::GetSize(uint64_t& size) const {
  size = 0;
  if (m_fd < 0) return Fail(ERROR_INVALID_HANDLE);
  struct stat st {};
  if (::fstat(m_fd, &st) != 0) return Fail(ErrnoToWinError(errno));
  size = static_cast<uint64_t>(st.st_size);
  return 0;
}

DWORD FileHandle::SetSize(uint64_t size) {
  if (m_fd < 0) return Fail(ERROR_INVALID_HANDLE);
  int rc;
  do {
    rc = ::ftruncate(m_fd, static_cast<off_t>(size));
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) return Fail(ErrnoToWinError(errno));
  return 0;
}

DWORD FileHandle::Flush() {
  if (m_fd < 0) return Fail(ERROR_INVALID_HANDLE);
  if (::fsync(m_fd) != 0 && errno != EINVAL) return Fail(ErrnoToWinError(errno));
  return 0;
}

// ----- Folders and paths -----

DWORD ListFolder(const char* folder, std::vector<FolderEntry>& entries) {
  entries.clear();
  if (folder == nullptr || *folder == '\0') return Fail(ERROR_PATH_NOT_FOUND);
  const std::string native = ToNativePath(folder);
  DIR* dir = ::opendir(native.c_str());
  if (dir == nullptr) {
    if (errno == ENOTDIR) return Fail(ERROR_DIRECTORY);
    if (errno == ENOENT) return Fail(ERROR_PATH_NOT_FOUND);
    return Fail(ErrnoError(native));
  }
  while (dirent* e = ::readdir(dir)) {
    const std::string name(e->d_name);
    if (name == "." || name == "..") continue;
    FolderEntry entry;
    entry.name = NativeNameToProgram(name);
    struct stat st {};
    const std::string full = native.back() == '/' ? native + name : native + "/" + name;
    if (::stat(full.c_str(), &st) == 0) {
      if (S_ISDIR(st.st_mode)) {
        entry.attributes = FILE_ATTRIBUTE_DIRECTORY;
      } else {
        entry.size = static_cast<uint64_t>(st.st_size);
      }
      if ((st.st_mode & 0222) == 0) entry.attributes |= FILE_ATTRIBUTE_READONLY;
    }
    if (entry.attributes == 0) entry.attributes = FILE_ATTRIBUTE_NORMAL;
    entries.push_back(std::move(entry));
  }
  ::closedir(dir);
  std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return 0;
}

BOOL CreateDirectoryA(const char* path, void*) {
  if (path == nullptr || *path == '\0') return FailBool(ERROR_PATH_NOT_FOUND);
  const std::string native = ToNativePath(path);
  if (::mkdir(native.c_str(), 0777) == 0) return TRUE;
  if (errno == EEXIST) return FailBool(ERROR_ALREADY_EXISTS);
  if (errno == ENOENT) return FailBool(ERROR_PATH_NOT_FOUND);
  return FailBool(ErrnoError(native));
}

BOOL RemoveDirectoryA(const char* path) {
  if (path == nullptr || *path == '\0') return FailBool(ERROR_PATH_NOT_FOUND);
  const std::string native = ToNativePath(path);
  if (::rmdir(native.c_str()) == 0) return TRUE;
  if (errno == ENOTDIR) return FailBool(ERROR_DIRECTORY);
  return FailBool(ErrnoError(native));
}

BOOL DeleteFileA(const char* path) {
  if (path == nullptr || *path == '\0') return FailBool(ERROR_PATH_NOT_FOUND);
  const std::string native = ToNativePath(path);
  struct stat st {};
  if (::lstat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return FailBool(ERROR_ACCESS_DENIED);
  if (::unlink(native.c_str()) == 0) return TRUE;
  return FailBool(ErrnoError(native));
}

BOOL MoveFileExA(const char* from, const char* to, DWORD flags) {
  if (from == nullptr || to == nullptr || *from == '\0' || *to == '\0') return FailBool(ERROR_PATH_NOT_FOUND);
  const std::string src = ToNativePath(from);
  const std::string dst = ToNativePath(to);
  struct stat st {};
  if (::lstat(src.c_str(), &st) != 0) return FailBool(ErrnoError(src));
  const bool replace = flags & MOVEFILE_REPLACE_EXISTING;
  struct stat dstStat {};
  if (::lstat(dst.c_str(), &dstStat) == 0) {
    const bool same = dstStat.st_dev == st.st_dev && dstStat.st_ino == st.st_ino;
    if (!replace && !same) return FailBool(ERROR_ALREADY_EXISTS);
    if (S_ISDIR(dstStat.st_mode) && !same) return FailBool(ERROR_ACCESS_DENIED);
  }
  if (::rename(src.c_str(), dst.c_str()) == 0) return TRUE;
  if (errno != EXDEV) return FailBool(ErrnoError(errno == ENOENT ? dst : src));
  if (!(flags & MOVEFILE_COPY_ALLOWED) || S_ISDIR(st.st_mode)) return FailBool(ERROR_NOT_SAME_DEVICE);
  // Another file system: copy beside the target, then rename over it and drop the source.
  const std::string temp = NativeParent(dst) + "/.qav-move-" + std::to_string(::getpid()) + "-" +
                           std::to_string(reinterpret_cast<uintptr_t>(&st));
  if (const DWORD e = CopyFileContents(src, temp)) return FailBool(e);
  if (::rename(temp.c_str(), dst.c_str()) != 0) {
    const DWORD e = ErrnoError(dst);
    ::unlink(temp.c_str());
    return FailBool(e);
  }
  ::unlink(src.c_str());
  return TRUE;
}

DWORD GetFileAttributesA(const char* path) {
  if (path == nullptr || *path == '\0') {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  const std::string native = ToNativePath(path);
  struct stat st {};
  if (::stat(native.c_str(), &st) != 0) {
    SetLastError(ErrnoError(native));
    return INVALID_FILE_ATTRIBUTES;
  }
  DWORD a = 0;
  if (S_ISDIR(st.st_mode)) a |= FILE_ATTRIBUTE_DIRECTORY;
  if ((st.st_mode & 0222) == 0) a |= FILE_ATTRIBUTE_READONLY;
  return a == 0 ? FILE_ATTRIBUTE_NORMAL : a;
}

BOOL SetFileAttributesA(const char* path, DWORD attributes) {
  if (path == nullptr || *path == '\0') return FailBool(ERROR_PATH_NOT_FOUND);
  const std::string native = ToNativePath(path);
  struct stat st {};
  if (::stat(native.c_str(), &st) != 0) return FailBool(ErrnoError(native));
  mode_t mode = st.st_mode & 07777;
  mode = (attributes & FILE_ATTRIBUTE_READONLY) ? (mode & ~0222) : (mode | S_IWUSR);
  if (::chmod(native.c_str(), mode) != 0) return FailBool(ErrnoError(native));
  return TRUE;
}

std::string GetTempFolder() {
  const char* env = std::getenv("TMPDIR");
  std::string t = env != nullptr && *env != '\0' ? env : "/tmp/";
  if (t.back() != '/') t += '/';
  return t;
}

namespace {

// Writes all `length` bytes at `offset`, looping over short writes. 0 or the errno.
int WriteAllAt(int fd, const char* bytes, size_t length, off_t offset) {
  for (size_t done = 0; done < length;) {
    const ssize_t n = ::pwrite(fd, bytes + done, length - done, offset + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return ENOSPC;
    done += static_cast<size_t>(n);
  }
  return 0;
}

// Reads all `length` bytes from the start of the file. 0 or the errno (EIO when the file ends
// before them).
int ReadAll(int fd, char* bytes, size_t length) {
  for (size_t done = 0; done < length;) {
    const ssize_t n = ::pread(fd, bytes + done, length - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return EIO;
    done += static_cast<size_t>(n);
  }
  return 0;
}

// Opens an existing file for writing in place: never made (no O_CREAT, which a sticky shared
// folder refuses for another user's file), never through a link put in its place meanwhile, and
// without waiting on a FIFO put there.
int OpenInPlace(const std::string& path, int access) {
  int fd;
  do {
    fd = ::open(path.c_str(), access | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Writes `data` over the regular file `target` where it is, so that it keeps its owner, group and
// mode. The room that longer contents need is taken before a byte changes, and the old bytes are
// kept and put back (with the old length) when the writing fails; a file this user may write but
// not read cannot have them put back. `oldKept` tells whether a failure left the old
// contents whole.
DWORD WriteInPlace(const std::string& target, std::string_view data, bool sync, bool& oldKept) {
  int fd = OpenInPlace(target, O_RDWR);
  const bool readable = fd >= 0;
  if (!readable && errno == EACCES) fd = OpenInPlace(target, O_WRONLY);
  if (fd < 0) return ErrnoError(target);
  DWORD error = 0;
  struct stat st {};
  if (::fstat(fd, &st) != 0) error = ErrnoError(target);
  else if (!S_ISREG(st.st_mode)) error = ERROR_ACCESS_DENIED;
  const uint64_t oldSize = static_cast<uint64_t>(st.st_size);
  // All the old bytes: shorter contents cut the file before the flush that may fail.
  const size_t keep = readable ? static_cast<size_t>(oldSize) : 0;
  std::unique_ptr<char[]> old;
  if (error == 0 && keep > 0) {
    old.reset(new (std::nothrow) char[keep]);
    if (old == nullptr) error = ERROR_NOT_ENOUGH_MEMORY;
    else if (const int e = ReadAll(fd, old.get(), keep)) error = ErrnoToWinError(e);
  }
  if (error == 0 && data.size() > oldSize) {
    // The file keeps its length until the new bytes are in it. A file system that cannot take room
    // ahead leaves it to the writing, whose failure puts the old bytes back.
    int rc;
    do {
      rc = ::fallocate(fd, FALLOC_FL_KEEP_SIZE, static_cast<off_t>(oldSize), static_cast<off_t>(data.size() - oldSize));
    } while (rc != 0 && errno == EINTR);
    if (rc != 0 && errno != EOPNOTSUPP && errno != ENOSYS) error = ErrnoError(target);
  }
  if (error == 0) {
    int e = WriteAllAt(fd, data.data(), data.size(), 0);
    if (e == 0 && data.size() < oldSize && ::ftruncate(fd, static_cast<off_t>(data.size())) != 0) e = errno;
    if (e == 0 && sync && Sync(fd) != 0) e = errno;
    if (e != 0) {
      error = ErrnoToWinError(e, target.c_str());
      oldKept = readable && WriteAllAt(fd, old.get(), keep, 0) == 0 && ::ftruncate(fd, static_cast<off_t>(oldSize)) == 0 &&
                (!sync || Sync(fd) == 0);
    }
  }
  if (::close(fd) != 0 && error == 0) {
    // What the system held back of the new contents is lost: neither they nor the old ones are whole.
    error = ErrnoError(target);
    oldKept = false;
  }
  return error;
}

}  // namespace

DWORD ReplaceFileContents(const std::string& nativePath, std::string_view data, bool sync, EReplaceFallback fallback,
                          bool* oldKept) {
  if (oldKept != nullptr) *oldKept = true;
  if (nativePath.empty()) return Fail(ERROR_PATH_NOT_FOUND);
  std::string target = nativePath;
  struct stat st {};
  bool exists = false;
  // The file a link leads to is replaced and the link stays; a link that leads to no file is
  // neither replaced by a file nor given one at its end.
  if (const DWORD e = FollowLinkToFile(target, st, exists)) return Fail(e);
  // Only a regular file is replaced: a rename would put a file in place of a folder, FIFO, device
  // or socket that something else relies on.
  if (exists && !S_ISREG(st.st_mode)) return Fail(ERROR_ACCESS_DENIED);
  // Nor is a file this user may not write, though its folder would take the new one.
  if (exists)
    if (const DWORD e = CheckWriteAccess(target, st.st_mode)) return Fail(e);
  DWORD error = 0;
  bool refused = false;
  const auto failed = [&] {
    refused = IsRefusal(errno);
    error = ErrnoError(target);
  };
  std::string temp;
  const int fd = OpenBeside(target, 0600, temp);
  if (fd < 0) failed();
  // The new file gets the old one's owner, group and mode. When they cannot be kept (only root
  // gives a file away), the old file stays, or is written in place below.
  if (fd >= 0 && exists) {
    error = KeepOwnerAndMode(fd, st, target);
    refused = error == ERROR_ACCESS_DENIED;
  } else if (fd >= 0 && ::fchmod(fd, 0644) != 0) {
    failed();
  }
  if (error == 0) {
    if (const int e = WriteAllAt(fd, data.data(), data.size(), 0)) error = ErrnoToWinError(e, target.c_str());
  }
  if (error == 0 && sync && Sync(fd) != 0) failed();
  // An unnamed file is named once whole, and stays locked until the rename (see OpenBeside).
  if (error == 0 && temp.empty()) {
    errno = LinkBeside(fd, target, temp);
    if (errno != 0) failed();
  }
  const int lock = error == 0 ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1;
  if (fd >= 0 && ::close(fd) != 0 && error == 0) failed();
  if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0) failed();
  if (lock >= 0) ::close(lock);
  if (error == 0) return 0;
  if (fd >= 0 && !temp.empty()) ::unlink(temp.c_str());
  if (refused && exists && fallback == EReplaceFallback::WriteInPlace) {
    bool kept = true;
    error = WriteInPlace(target, data, sync, kept);
    if (oldKept != nullptr) *oldKept = kept;
    if (error == 0) return 0;
  }
  return Fail(error);
}

DWORD GetTempPathA(DWORD size, char* buffer) {
  const std::string t = GetTempFolder();
  if (t.size() + 1 > size || buffer == nullptr) return static_cast<DWORD>(t.size() + 1);
  std::memcpy(buffer, t.c_str(), t.size() + 1);
  return static_cast<DWORD>(t.size());
}

bool FileExists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

bool FolderExists(const char* path) {
  const DWORD a = GetFileAttributesA(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}
