#include "platform/base/errors.h"
#include "platform/kernel/files.h"
#include "platform/kernel/paths.h"
#include "platform/kernel/release.h"
#include "platform/file_size_limit.h"
#include "platform/other_user.h"
#include "platform/test_folder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(Paths, ResolvesComponentsWithoutRegardToCase) {
  TestFolder dir;
  fs::create_directories(dir / "data1995");
  TestFolder::Write(dir / "data1995/19950101.dat", "x");
  TestFolder::Write(dir / "data1995/A.DAT", "x");
  TestFolder::Write(dir / "data1995/a.dat", "x");
  struct Case { std::string asked; std::string expected; };
  const Case cases[] = {
      {dir.path() + "\\DATA1995\\19950101.DAT", dir / "data1995/19950101.dat"},
      {dir.path() + "/Data1995/19950101.Dat", dir / "data1995/19950101.dat"},
      {dir.path() + "\\DATA1995\\", dir / "data1995/"},
      {dir.path() + "\\DATA1995\\MISSING\\X.DAT", dir / "data1995/MISSING/X.DAT"},
      {dir.path() + "/data1995/19950101.dat", dir / "data1995/19950101.dat"},
      {dir.path() + "/data1995/a.dat", dir / "data1995/a.dat"},  // an exact match before others of any case
  };
  for (const auto& c : cases) EXPECT_EQ(ToNativePath(c.asked), c.expected) << c.asked;
}

TEST(Paths, NonAsciiNamesAreStoredAsUtf8) {
  TestFolder dir;
  TestFolder::Write(dir / "caf\xC3\xA9.txt", "x");
  EXPECT_EQ(ToNativePath(dir.path() + "\\CAF\xC9.TXT"), dir / "caf\xC3\xA9.txt");
  std::vector<FolderEntry> entries;
  ASSERT_EQ(ListFolder(dir.path().c_str(), entries), 0u);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "caf\xE9.txt");
}

TEST(Files, OpenErrors) {
  TestFolder dir;
  fs::create_directories(dir / "sub");
  TestFolder::Write(dir / "exists.dat", "abc");
  FileHandle f;
  struct Case { std::string path; DWORD access, disposition, expected; };
  const Case cases[] = {
      {dir / "missing.dat", GENERIC_READ, OPEN_EXISTING, 2},
      {dir / "nofolder/missing.dat", GENERIC_READ, OPEN_EXISTING, 3},
      {dir / "sub", GENERIC_READ, OPEN_EXISTING, 5},
      {dir / "sub", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, 5},
      {dir / "exists.dat", GENERIC_READ | GENERIC_WRITE, CREATE_NEW, 80},
      {dir / "exists.dat", GENERIC_READ, 9, 87},
      {dir / "exists.dat", GENERIC_READ, OPEN_EXISTING, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(f.Open(c.path.c_str(), c.access, FILE_SHARE_READ, c.disposition), c.expected) << c.path;
    if (c.expected != 0) {
      EXPECT_EQ(GetLastError(), c.expected);
    }
  }
}

TEST(Files, PositionedReadWriteSizeAndEndOfFile) {
  TestFolder dir;
  FileHandle f;
  ASSERT_EQ(f.Open((dir / "a.bin").c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS), 0u);
  ASSERT_EQ(f.WriteAt(0, "hello", 5), 0u);
  ASSERT_EQ(f.WriteAt(10, "world", 5), 0u);  // past the end: the gap reads as zeros
  uint64_t size = 0;
  ASSERT_EQ(f.GetSize(size), 0u);
  EXPECT_EQ(size, 15u);
  char buf[32] = {};
  size_t got = 0;
  EXPECT_EQ(f.ReadAt(3, buf, 32, got), 0u);  // a short read at the end is a success
  EXPECT_EQ(got, 12u);
  EXPECT_EQ(std::string(buf, 2), "lo");
  EXPECT_EQ(buf[2], '\0');
  EXPECT_EQ(f.ReadAt(15, buf, 4, got), ERROR_HANDLE_EOF);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(f.ReadAt(100, buf, 4, got), ERROR_HANDLE_EOF);
  EXPECT_EQ(f.ReadAt(0, buf, 0, got), 0u);
  ASSERT_EQ(f.SetSize(4), 0u);
  f.GetSize(size);
  EXPECT_EQ(size, 4u);
  ASSERT_EQ(f.SetSize(8), 0u);
  EXPECT_EQ(f.ReadAt(0, buf, 8, got), 0u);
  EXPECT_EQ(got, 8u);
  EXPECT_EQ(std::string(buf, 8), std::string("hell\0\0\0\0", 8));
  // A handle opened for reading only cannot write.
  FileHandle r;
  ASSERT_EQ(r.Open((dir / "a.bin").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING), 0u);
  EXPECT_EQ(r.WriteAt(0, "x", 1), ERROR_INVALID_HANDLE);
}

// A file given up after writing: its name goes at once (the release thread closes it, and the file
// system frees it then); a name that leads elsewhere, or through a link, is left and the file
// emptied. Either way the descriptor is closed, at the latest once the releases are done.
TEST(Files, ADiscardedFileLosesItsNameAtOnceAndItsDescriptorWithTheReleases) {
  enum Name { Plain, Replaced, Link };
  const struct {
    const char* what;
    Name name;
    EDiscarded left;
  } cases[] = {
      {"the name leads to it", Plain, EDiscarded::Removed},
      {"another file took the name", Replaced, EDiscarded::Gone},
      {"the name is a link to it", Link, EDiscarded::Emptied},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TestFolder dir;
    const std::string target = dir / "target", opened = c.name == Link ? dir / "link" : target;
    if (c.name == Link) fs::create_symlink(target, opened);
    FileHandle f;
    ASSERT_EQ(f.Open(opened.c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS), 0u);
    const std::string part(1 << 20, 'x');
    ASSERT_EQ(f.WriteAt(0, part.data(), part.size()), 0u);
    const int fd = f.Descriptor();
    if (c.name == Replaced) {
      fs::remove(target);
      TestFolder::Write(target, "another");
    }
    EXPECT_EQ(f.Discard(), c.left);
    EXPECT_FALSE(f.IsOpen());
    switch (c.name) {
      case Plain: EXPECT_FALSE(fs::exists(target)); break;
      case Replaced: EXPECT_EQ(fs::file_size(target), 7u); break;
      case Link:
        EXPECT_TRUE(fs::is_symlink(opened));
        EXPECT_EQ(fs::file_size(target), 0u);
        break;
    }
    qav::WaitForReleases();
    errno = 0;
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
    EXPECT_EQ(errno, EBADF);
  }
}

// A file opened aside takes its name only when committed: until then, and for good when it is
// given up, the file of that name stays as it was and nothing is left beside it.
TEST(Files, AFileOpenedAsideTakesItsNameOnlyWhenCommitted) {
  enum Before { None, Earlier, Link, NoFolder, NoName, Device, LongName, TooLong };
  enum End { Commit, Discard, Drop, TakenFromUnder };
  const struct {
    const char* what;
    Before before;
    End end;
    DWORD opened, committed;
    const char* left;    // what the name holds afterwards; null: nothing
    bool named = false;  // on a file system without unnamed files: named while written
  } cases[] = {
      {"a new name", None, Commit, 0, 0, "new"},
      {"a new name, given up", None, Discard, 0, 0, nullptr},
      {"an earlier file, replaced", Earlier, Commit, 0, 0, "new"},
      {"an earlier file, given up", Earlier, Discard, 0, 0, "old"},
      {"an earlier file, the handle dropped", Earlier, Drop, 0, 0, "old"},
      {"an earlier file, given up, named while written", Earlier, Discard, 0, 0, "old", true},
      {"an earlier file, the new one taken from under it", Earlier, TakenFromUnder, 0, ERROR_FILE_INVALID, "old", true},
      {"a link to an earlier file", Link, Commit, 0, 0, "new"},
      {"a folder that is not there", NoFolder, Commit, ERROR_PATH_NOT_FOUND, 0, nullptr},
      {"no name", NoName, Commit, ERROR_PATH_NOT_FOUND, 0, nullptr},
      {"a device, written as it is", Device, Commit, 0, 0, nullptr},
      {"an earlier file of a 250-byte name", LongName, Commit, 0, 0, "new"},
      {"an earlier file of a 250-byte name, named while written", LongName, Commit, 0, 0, "new", true},
      {"a 256-byte name, longer than the folder takes", TooLong, Commit, ERROR_FILENAME_EXCED_RANGE, 0, nullptr},
  };
  const mode_t mask = ::umask(022);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TestFolder dir;
    std::string name = c.before == NoFolder ? dir / "none/r.txt"
                       : c.before == NoName ? ""
                       : c.before == Device ? "/dev/null"
                       : c.before == LongName ? dir / std::string(250, 'r')
                       : c.before == TooLong  ? dir / std::string(256, 'r')
                                              : dir / "r.txt";
    const std::string earlier = c.before == LongName ? name : dir / "r.txt";
    if (c.before == Earlier || c.before == Link || c.before == LongName) {
      TestFolder::Write(earlier, "old");
      ::chmod(earlier.c_str(), 0640);
      ASSERT_TRUE(::geteuid() != 0 || ::chown(earlier.c_str(), 4321, 4321) == 0);
    }
    if (c.before == Link) {
      fs::create_symlink(dir / "r.txt", dir / "link.txt");
      name = dir / "link.txt";
    }
    std::optional<FileHandle> f(std::in_place);
    SetFileFaultsForTesting(!c.named, 0);
    ASSERT_EQ(f->OpenAside(name.c_str(), 0), c.opened);
    SetFileFaultsForTesting(true, 0);
    if (c.opened != 0) {
      EXPECT_TRUE(fs::is_empty(dir.path()));
      continue;
    }
    ASSERT_EQ(f->WriteAt(0, "new", 3), 0u);
    switch (c.end) {
      case Commit: EXPECT_EQ(f->Commit(), c.committed); break;
      case Discard: EXPECT_EQ(f->Discard(), EDiscarded::Removed); break;
      case Drop: f.reset(); break;
      case TakenFromUnder:
        for (const auto& e : fs::directory_iterator(dir.path()))
          if (e.path().filename() != "r.txt") {
            fs::remove(e.path());
            TestFolder::Write(e.path().string(), "another");
          }
        EXPECT_EQ(f->Commit(), c.committed);
        EXPECT_EQ(f->Discard(), EDiscarded::Gone);
        break;
    }
    if (c.before == Device) continue;
    if (c.left == nullptr) {
      EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "r.txt")));
      EXPECT_TRUE(fs::is_empty(dir.path()));
      continue;
    }
    EXPECT_EQ(TestFolder::Read(earlier), c.left);
    // A file replaced keeps its mode, owner and group; a new one gets the mode the mask leaves.
    struct stat st {};
    ASSERT_EQ(::stat(earlier.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.before == None ? 0644u : 0640u);
    EXPECT_TRUE(c.before == None || ::geteuid() != 0 || st.st_uid == 4321u) << st.st_uid;
    EXPECT_EQ(c.before == Link, fs::is_symlink(dir / "link.txt"));
    const auto entries = std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator());
    EXPECT_EQ(entries, (c.before == Link ? 2 : 1) + (c.end == TakenFromUnder ? 1 : 0));
  }
  ::umask(mask);
  if (::geteuid() != 0) return;  // only root can make a file of another user's
  // A file the user may write in a folder that takes no new file (another user's) is written where
  // it is; the user's own read-only file in the user's own folder is refused.
  TestFolder dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  fs::create_directory(dir / "own");
  TestFolder::Write(dir / "shared.txt", "old");
  TestFolder::Write(dir / "own/own.txt", "old");
  ASSERT_EQ(::chmod((dir / "shared.txt").c_str(), 0666) | ::chmod((dir / "own/own.txt").c_str(), 0444), 0);
  ASSERT_EQ(::chown((dir / "own").c_str(), kNobody, kNobody) | ::chown((dir / "own/own.txt").c_str(), kNobody, kNobody), 0);
  const auto write = [](const std::string& path) {
    FileHandle f;
    DWORD e = f.OpenAside(path.c_str(), 0);
    if (e == 0) e = f.WriteAt(0, "new", 3);
    return std::to_string(e == 0 ? f.Commit() : e);
  };
  EXPECT_EQ(AsNobody([&] { return write(dir / "shared.txt") + " " + write(dir / "own/own.txt"); }), "0 5");
  EXPECT_EQ(TestFolder::Read(dir / "shared.txt"), "new");
  EXPECT_EQ(TestFolder::Read(dir / "own/own.txt"), "old");
  // Without /proc (a container may have none) an unnamed file is named through its descriptor.
  const pid_t child = ::fork();
  if (child == 0) {
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::umount2("/proc", MNT_DETACH) != 0)
      ::_exit(2);
    ::_exit(write(dir / "without-proc.txt") == "0" ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 2) GTEST_SKIP() << "no mount namespace: the naming without /proc did not run";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(TestFolder::Read(dir / "without-proc.txt"), "new");
}

// A write killed before its file had a name leaves nothing where the file system has unnamed
// files; elsewhere the next write in that folder takes away what it left, but neither the file of a
// write still at work nor anything else in the folder. Every name the folder takes is written so, the
// longest too; a longer one is refused before anything is written.
TEST(Files, AWriteKilledBesideANameLeavesNothingOnceTheNameIsWrittenAgain) {
  const struct {
    size_t length;  // of the name; 0: "R400.txt"
    bool unnamed;
  } runs[] = {{0, true}, {0, false}, {250, true}, {250, false}, {255, false}, {256, true}};
  for (const auto& [length, unnamed] : runs) {
    SCOPED_TRACE(std::to_string(length) + (unnamed ? " unnamed files" : " named files"));
    SetFileFaultsForTesting(unnamed, 0);
    TestFolder dir;
    const std::string target = dir / (length == 0 ? std::string("R400.txt") : std::string(length, 'r'));
    const bool fits = length <= NAME_MAX;
    const char* const kOthers[] = {".~qavAb3xY", ".~qavAb3x-z", "R400.txt.backup", ".~qavLinked"};
    for (const char* other : kOthers) TestFolder::Write(dir / other, "other");
    fs::create_hard_link(dir / ".~qavLinked", dir / "linked");
    const bool root = ::geteuid() == 0;  // only root can make a file of another user's
    if (root) {
      TestFolder::Write(dir / ".~qavOthers", "another user's");
      ASSERT_EQ(::chown((dir / ".~qavOthers").c_str(), 4321, 4321), 0);
    }
    if (const pid_t child = ::fork(); child == 0) {
      FileHandle killed;
      if (killed.OpenAside(target.c_str(), 0) == 0 && killed.WriteAt(0, "killed", 6) == 0) ::raise(SIGKILL);
      ::_exit(1);
    } else {
      int status = 0;
      ASSERT_EQ(::waitpid(child, &status, 0), child);
      ASSERT_EQ(WIFSIGNALED(status), fits);
    }
    const auto entries = [&] { return std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()); };
    const long others = static_cast<long>(std::size(kOthers)) + (root ? 2 : 1);  // and "linked"
    EXPECT_EQ(entries(), others + (unnamed || !fits ? 0 : 1));
    FileHandle live, next;
    if (!fits) {
      EXPECT_EQ(live.OpenAside(target.c_str(), 0), ERROR_FILENAME_EXCED_RANGE);
      continue;
    }
    ASSERT_EQ(live.OpenAside(target.c_str(), 0), 0u);
    ASSERT_EQ(live.WriteAt(0, "live", 4), 0u);
    ASSERT_EQ(next.OpenAside(target.c_str(), 0), 0u);
    ASSERT_EQ(next.WriteAt(0, "next", 4), 0u);
    EXPECT_EQ(next.Commit(), 0u);
    EXPECT_EQ(live.Commit(), 0u);
    EXPECT_EQ(TestFolder::Read(target), "live");
    EXPECT_EQ(entries(), others + 1);  // and the report
  }
  SetFileFaultsForTesting(true, 0);
}

TEST(Files, SharingConflictsGive32) {
  TestFolder dir;
  const std::string p = dir / "s.dat";
  FileHandle a, b, c;
  ASSERT_EQ(a.Open(p.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS), 0u);
  EXPECT_EQ(b.Open(p.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING), 32u);
  EXPECT_EQ(b.Open(p.c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), 32u);  // b denies the writer a has
  EXPECT_EQ(b.Open(p.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING), 0u);
  a.Close();
  EXPECT_EQ(c.Open(p.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING), 0u);
}

TEST(Files, ReadOnlyCreationAttributesAndMoves) {
  TestFolder dir;
  const std::string ro = dir / "ro.dat";
  {
    FileHandle f;
    ASSERT_EQ(f.Open(ro.c_str(), GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_READONLY), 0u);
    EXPECT_EQ(f.WriteAt(0, "still writable", 14), 0u);  // the creating handle may write
  }
  EXPECT_EQ(GetFileAttributesA(ro.c_str()), FILE_ATTRIBUTE_READONLY);
  if (::geteuid() != 0) {
    FileHandle w;
    EXPECT_EQ(w.Open(ro.c_str(), GENERIC_WRITE, 0, OPEN_EXISTING), 5u);
  }
  ASSERT_TRUE(SetFileAttributesA(ro.c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributesA(ro.c_str()), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(GetFileAttributesA(dir.path().c_str()), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesA((dir / "none").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), 2u);

  TestFolder::Write(dir / "b.dat", "b");
  EXPECT_FALSE(MoveFileExA(ro.c_str(), (dir / "b.dat").c_str(), 0));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_TRUE(MoveFileExA(ro.c_str(), (dir / "B.DAT").c_str(), MOVEFILE_REPLACE_EXISTING));  // replaces b.dat
  EXPECT_FALSE(FileExists(ro.c_str()));
  std::ifstream in(dir / "b.dat");
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text, "still writable");
  EXPECT_FALSE(MoveFileExA((dir / "gone").c_str(), (dir / "x").c_str(), 0));
  EXPECT_EQ(GetLastError(), 2u);
  EXPECT_TRUE(DeleteFileA((dir / "B.dat").c_str()));
  EXPECT_FALSE(DeleteFileA((dir / "b.dat").c_str()));
  EXPECT_EQ(GetLastError(), 2u);
}

TEST(Files, FoldersAndTheTemporaryFolder) {
  TestFolder dir;
  EXPECT_TRUE(CreateDirectoryA((dir / "one").c_str()));
  EXPECT_FALSE(CreateDirectoryA((dir / "ONE").c_str()));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(CreateDirectoryA((dir / "two/three").c_str()));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  TestFolder::Write(dir / "b.txt", "12345");
  TestFolder::Write(dir / "a.txt", "1");
  std::vector<FolderEntry> entries;
  ASSERT_EQ(ListFolder(dir.path().c_str(), entries), 0u);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "a.txt");
  EXPECT_EQ(entries[1].name, "b.txt");
  EXPECT_EQ(entries[1].size, 5u);
  EXPECT_EQ(entries[2].name, "one");
  EXPECT_EQ(entries[2].attributes, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(ListFolder((dir / "none").c_str(), entries), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(ListFolder((dir / "a.txt").c_str(), entries), ERROR_DIRECTORY);
  EXPECT_TRUE(FolderExists((dir / "ONE").c_str()));
  EXPECT_TRUE(RemoveDirectoryA((dir / "ONE").c_str()));

  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  ::setenv("TMPDIR", "/var/tmp", 1);
  char buf[MAX_PATH];
  EXPECT_EQ(GetTempPathA(MAX_PATH, buf), 9u);
  EXPECT_STREQ(buf, "/var/tmp/");
  EXPECT_EQ(GetTempPathA(5, buf), 10u);
  ::unsetenv("TMPDIR");
  EXPECT_EQ(GetTempFolder(), "/tmp/");
  if (old) ::setenv("TMPDIR", saved.c_str(), 1);
}

TEST(Files, MoveAcrossFileSystemsCopiesOnlyWhenAllowed) {
  struct stat tmp {}, shm {};
  TestFolder dir;
  if (::stat(dir.path().c_str(), &tmp) != 0 || ::stat("/dev/shm", &shm) != 0 || tmp.st_dev == shm.st_dev ||
      ::access("/dev/shm", W_OK) != 0) {
    GTEST_SKIP() << "no second file system to move to";
  }
  TestFolder::Write(dir / "src.dat", "payload");
  const std::string target = "/dev/shm/qav-move-test-" + std::to_string(::getpid());
  EXPECT_FALSE(MoveFileExA((dir / "src.dat").c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SAME_DEVICE);
  ASSERT_TRUE(MoveFileExA((dir / "src.dat").c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED));
  EXPECT_FALSE(FileExists((dir / "src.dat").c_str()));
  std::ifstream in(target);
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text, "payload");
  ::unlink(target.c_str());
}

TEST(Files, ReplacingContentsThatFailsHalfWayKeepsTheOldFile) {
  TestFolder dir;
  const std::string file = dir / "set.cfg";
  const std::string old(300, 'o');
  TestFolder::Write(file, old);
  ::chmod(file.c_str(), 0600);
  {
    ScopedFileSizeLimit limit(100);  // the disc is full after 100 bytes
    EXPECT_EQ(ReplaceFileContents(file, std::string(5000, 'n')), ERROR_FILE_TOO_LARGE);
  }
  EXPECT_EQ(TestFolder::Read(file), old);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);  // no temporary left

  // A symbolic link keeps pointing at the file, which gets the new text and keeps its mode.
  fs::create_symlink(file, dir / "link.cfg");
  EXPECT_EQ(ReplaceFileContents(dir / "link.cfg", "new\r\n"), 0u);
  EXPECT_TRUE(fs::is_symlink(dir / "link.cfg"));
  EXPECT_EQ(TestFolder::Read(file), "new\r\n");
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  // A link that leads to no file (or to itself) stays a link, and nothing is made at its end.
  fs::create_symlink(dir / "gone.cfg", dir / "dangling.cfg");
  fs::create_symlink(dir / "self.cfg", dir / "self.cfg");
  EXPECT_EQ(ReplaceFileContents(dir / "dangling.cfg", "x"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ReplaceFileContents(dir / "self.cfg", "x"), ERROR_CANT_RESOLVE_FILENAME);
  EXPECT_TRUE(fs::is_symlink(dir / "dangling.cfg") && fs::is_symlink(dir / "self.cfg"));
  EXPECT_FALSE(fs::exists(dir / "gone.cfg"));
  EXPECT_EQ(ReplaceFileContents(dir / "none/x.cfg", "x"), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(ReplaceFileContents(dir.path(), "x"), ERROR_ACCESS_DENIED);
  // Nor is a FIFO replaced, through a link or not.
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  fs::create_symlink(dir / "fifo", dir / "fifo.cfg");
  EXPECT_EQ(ReplaceFileContents(dir / "fifo", "x"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(ReplaceFileContents(dir / "fifo.cfg", "x"), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
}

namespace {

// A small file system of its own (tmpfs, 64 KB) at a folder that exists; taken away with the object.
struct SSmallDisc {
  std::string at;
  bool mounted = ::mount("tmpfs", at.c_str(), "tmpfs", 0, "size=64k,mode=0777") == 0;
  ~SSmallDisc() {
    if (mounted) ::umount2(at.c_str(), MNT_DETACH);
  }
};

}  // namespace

TEST(Files, AnotherUsersFileThatTheUserMayWriteIsWrittenInPlaceWithItsOwnerAndMode) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can make a file of another user's";
  const std::string old(300, 'o');
  constexpr auto kInPlace = EReplaceFallback::WriteInPlace;
  const struct {
    const char* what;
    uid_t owner;
    mode_t folder, file;
    size_t length;  // of the new contents
    rlim_t limit;   // nothing is written past so many bytes (0: no limit)
    bool fullDisc;  // the file lies on a small file system that is full
    EReplaceFallback fallback;
    DWORD error;
    bool oldKept;
    bool syncFails = false;  // the flush after the writing fails
  } cases[] = {
      {"a file of mode 666", 0, 0777, 0666, 40, 0, false, kInPlace, 0, true},
      {"longer contents", 0, 0777, 0666, 5000, 0, false, kInPlace, 0, true},
      {"in a folder that takes no new file", 0, 0755, 0646, 40, 0, false, kInPlace, 0, true},
      {"the user's own file of a group the user is not in", kNobody, 0777, 0644, 40, 0, false, kInPlace, 0, true},
      {"when it must not be written in place", 0, 0777, 0666, 40, 0, false, EReplaceFallback::Refuse,
       ERROR_ACCESS_DENIED, true},
      {"a file the user may not write", 0, 0777, 0644, 40, 0, false, kInPlace, ERROR_ACCESS_DENIED, true},
      {"the user's own read-only file", kNobody, 0777, 0444, 40, 0, false, kInPlace, ERROR_ACCESS_DENIED, true},
      // The old bytes are put back when the writing fails...
      {"longer contents than the disc takes", 0, 0777, 0666, 5000, 1000, false, kInPlace, ERROR_FILE_TOO_LARGE, true},
      // ... unless the old length is itself past what the disc takes,
      {"contents that the disc cannot take back", 0, 0777, 0666, 200, 100, false, kInPlace, ERROR_FILE_TOO_LARGE, false},
      // Shorter contents have cut the file when the flush fails: all of it is put back.
      {"shorter contents that fail to reach the disc", 0, 0755, 0666, 40, 0, false, kInPlace, ERROR_IO_DEVICE, true, true},
      // and the room is taken first, so a file the user may write but not read stays whole too.
      {"a file the user may not read, on a full disc", 0, 0777, 0602, 20000, 0, true, kInPlace, ERROR_DISK_FULL, true},
  };
  bool fullDiscSkipped = false;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TestFolder dir;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const std::string folder = dir / "sets";
    ASSERT_EQ(::mkdir(folder.c_str(), c.folder), 0);
    std::optional<SSmallDisc> disc;
    if (c.fullDisc && !disc.emplace(folder).mounted) {
      fullDiscSkipped = true;
      continue;
    }
    ASSERT_EQ(::chmod(folder.c_str(), c.folder), 0);
    const std::string file = folder + "/shared.cfg";
    TestFolder::Write(file, old);
    ASSERT_EQ(::chown(file.c_str(), c.owner, 0), 0);
    ASSERT_EQ(::chmod(file.c_str(), c.file), 0);
    if (disc)
      for (std::ofstream filler(folder + "/filler"); filler.write(old.data(), 300) && filler.flush();) {
      }
    const std::string data(c.length, 'n');
    const std::string outcome = AsNobody([&] {
      std::optional<ScopedFileSizeLimit> full;
      if (c.limit != 0) full.emplace(c.limit);
      SetFileFaultsForTesting(true, c.syncFails ? 1 : 0);
      bool kept = true;
      const DWORD e = ReplaceFileContents(file, data, true, c.fallback, &kept);
      return std::to_string(e) + (kept ? " kept" : " lost");
    });
    EXPECT_EQ(outcome, std::to_string(c.error) + (c.oldKept ? " kept" : " lost"));
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, c.owner);
    EXPECT_EQ(st.st_gid, 0u);
    EXPECT_EQ(st.st_mode & 07777, c.file);
    const std::string now = TestFolder::Read(file);
    EXPECT_TRUE(c.error == 0 ? now == data : !c.oldKept || now == old) << now.substr(0, 60);
    for (const auto& e : fs::directory_iterator(folder))
      EXPECT_TRUE(e.path() == file || e.path().filename() == "filler") << e.path();  // no temporary left
  }
  if (fullDiscSkipped) GTEST_SKIP() << "the full-disc case did not run: no small file system can be mounted here";
}
