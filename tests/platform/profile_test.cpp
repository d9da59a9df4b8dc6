#include "platform/app/profile.h"
#include "platform/kernel/process.h"

#include "platform/other_user.h"
#include "platform/test_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <random>

TEST(Profile, RoundTripWithDefaultsAndNegativeNumbers) {
  TestFolder dir;
  const std::string path = dir / "KARVO/qav.ini";  // the folder is made on the first save
  {
    CProfile p(path);
    EXPECT_EQ(static_cast<int>(p.GetProfileInt("GENERAL", "USE_CLASSIC", 0)), 0);
    EXPECT_EQ(p.GetProfileString("OUTPUT", "TEXTVIEWER", "none"), "none");
    EXPECT_TRUE(p.WriteProfileInt("GENERAL", "USE_CLASSIC", 1));
    EXPECT_TRUE(p.WriteProfileInt("PE_VALID", "PEAK1_START", -72));
    EXPECT_TRUE(p.WriteProfileString("GENERAL", "CDROM_PATH", "D:\\DATA\\ \xE9t\xE9 "));
    EXPECT_TRUE(p.WriteProfileString("MAINNEW", "FILEPATH", ""));
    EXPECT_FALSE(p.HasWriteFailed());
  }
  CProfile q(path);
  EXPECT_EQ(q.GetProfileInt("general", "use_classic", 0), 1u);
  EXPECT_EQ(static_cast<int>(q.GetProfileInt("PE_VALID", "PEAK1_START", 0)), -72);
  EXPECT_EQ(q.GetProfileString("GENERAL", "CDROM_PATH"), "D:\\DATA\\ \xE9t\xE9 ");
  EXPECT_EQ(q.GetProfileString("MAINNEW", "FILEPATH", "default.txt"), "");
  EXPECT_EQ(q.GetProfileInt("PE_VALID", "MISSING", 255), 255u);
  // Removing a key and a section.
  EXPECT_TRUE(q.WriteProfileString("GENERAL", "CDROM_PATH", nullptr));
  EXPECT_TRUE(q.WriteProfileString("PE_VALID", nullptr, nullptr));
  CProfile r(path);
  EXPECT_EQ(r.GetProfileString("GENERAL", "CDROM_PATH", "gone"), "gone");
  EXPECT_EQ(r.GetProfileInt("PE_VALID", "PEAK1_START", 72), 72u);
  EXPECT_EQ(r.GetProfileInt("GENERAL", "USE_CLASSIC", 0), 1u);
  // A new file ends its lines with LF alone.
  EXPECT_EQ(TestFolder::Read(path).find('\r'), std::string::npos);
}

TEST(Profile, ReadsHandWrittenFilesAndRejectsUnusableNames) {
  TestFolder dir;
  const std::string path = dir / "p.ini";
  TestFolder::Write(path, "; comment\n[OUTPUT]\nAUTOOPEN = 0\nbad line\n# NOTE=x\nSSVIEWER=/usr/bin/x y\n[OUTPUT]\n"
                          "AUTOOPEN=4294967295\nNUM=12abc\nAFTER=3\n[broken\n");
  CProfile p(path);
  EXPECT_EQ(p.GetProfileInt("OUTPUT", "AUTOOPEN", 1), 0xFFFFFFFFu);
  EXPECT_EQ(p.GetProfileInt("OUTPUT", "AFTER", 0), 3u);  // read on after a repeated key
  EXPECT_EQ(p.GetProfileString("OUTPUT", "# NOTE", "none"), "none");  // a comment
  EXPECT_EQ(p.GetProfileString("OUTPUT", "SSVIEWER"), "/usr/bin/x y");
  EXPECT_EQ(p.GetProfileInt("OUTPUT", "NUM", 9), 9u);
  EXPECT_FALSE(p.WriteProfileString("OUTPUT", "A=B", "x"));
  EXPECT_FALSE(p.WriteProfileString("OUTPUT", "K", "two\nlines"));
  EXPECT_FALSE(p.WriteProfileString(nullptr, "K", "v"));
}

TEST(Profile, DefaultPathFollowsXdgConfigHome) {
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old ? old : "";
  ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ(CProfile::DefaultPath("qav"), "/cfg/KARVO/qav.ini");
  // Without HOME (or with it empty or relative), the home the password database names for the user;
  // a relative XDG_CONFIG_HOME is none. The start puts that home into HOME for Qt, and takes the
  // relative base folder away.
  const std::string own = ::getpwuid(::geteuid())->pw_dir;
  const char* oldHome = std::getenv("HOME");
  const std::string savedHome = oldHome ? oldHome : "";
  for (const char* home : {"/home/u", "", "rel", static_cast<const char*>(nullptr)}) {
    if (home != nullptr) ::setenv("HOME", home, 1);
    else ::unsetenv("HOME");
    ::setenv("XDG_CONFIG_HOME", "cfg", 1);
    const std::string expected = home != nullptr && *home == '/' ? home : own;
    EXPECT_EQ(CProfile::DefaultPath("qav"), expected + "/.config/KARVO/qav.ini");
    SettleHomeVariables();
    EXPECT_EQ(std::string(std::getenv("HOME") != nullptr ? std::getenv("HOME") : "(unset)"), expected);
    EXPECT_EQ(std::getenv("XDG_CONFIG_HOME"), nullptr);
  }
  if (oldHome) ::setenv("HOME", savedHome.c_str(), 1);
  else ::unsetenv("HOME");
  if (old) ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
}

TEST(Profile, FailedSaveLeavesTheOldFileIntact) {
  TestFolder dir;
  const std::string path = dir / "p.ini";
  CProfile p(path);
  ASSERT_TRUE(p.WriteProfileString("S", "K", "old"));
  const std::string before = TestFolder::Read(path);
  // Files may not grow beyond the old size: the new, longer file cannot be written.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved {};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = before.size();
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const BOOL ok = p.WriteProfileString("S", "LONGER_KEY", "a much longer value than before");
  ::setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_FALSE(ok);
  EXPECT_TRUE(p.HasWriteFailed());
  EXPECT_EQ(p.GetLastSaveError(), 223u);  // EFBIG
  EXPECT_EQ(TestFolder::Read(path), before);
  // No temporary file is left behind.
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 1);
  // The failure stays reported; the next save (now possible) writes the new contents.
  EXPECT_FALSE(p.Flush());
  EXPECT_NE(TestFolder::Read(path).find("LONGER_KEY"), std::string::npos);
}

namespace {
struct FileIdentity {
  bool exists;
  mode_t mode;
  ino_t inode;
  off_t size;
  timespec modified;
};
FileIdentity Identity(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return {false, 0, 0, 0, {}};
  return {true, st.st_mode, st.st_ino, st.st_size, st.st_mtim};
}
bool operator==(const FileIdentity& a, const FileIdentity& b) {
  return a.exists == b.exists && a.mode == b.mode && a.inode == b.inode && a.size == b.size &&
         a.modified.tv_sec == b.modified.tv_sec && a.modified.tv_nsec == b.modified.tv_nsec;
}

// A device that reads as endless zeros. Run as root, a test that wrote over the system's /dev/zero
// would replace it for every program, so root gets a device node of its own beside `path`.
std::string ZeroDevice(const std::string& path) {
  if (::geteuid() != 0) return "/dev/zero";
  const std::string own = path + ".zero";
  return ::mknod(own.c_str(), S_IFCHR | 0666, makedev(1, 5)) == 0 ? own : std::string();
}
}  // namespace

TEST(Profile, AFileThatCannotBeASettingsFileIsNeitherWaitedOnNorReadNorWrittenOver) {
  const std::string stored = "[GENERAL]\r\nUSE_CLASSIC=1\r\n";
  const auto randomBytes = [](size_t n) {
    std::mt19937 random(37);
    std::string bytes(n, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
  };
  const struct {
    const char* what;
    std::function<void(const std::string&)> make;
    CProfile::FileState state;
    UINT useClassic;  // what the profile reads
  } cases[] = {
      {"a FIFO", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, CProfile::FileState::NotRegularFile, 0},
      {"a link to a zero device", [](const std::string& p) { ASSERT_EQ(::symlink(ZeroDevice(p).c_str(), p.c_str()), 0); },
       CProfile::FileState::NotRegularFile, 0},
      {"a folder", [](const std::string& p) { ASSERT_EQ(::mkdir(p.c_str(), 0700), 0); }, CProfile::FileState::NotRegularFile, 0},
      {"a link to itself", [](const std::string& p) { ASSERT_EQ(::symlink(p.c_str(), p.c_str()), 0); },
       CProfile::FileState::Unreadable, 0},
      {"a file over the limit",
       [&](const std::string& p) { TestFolder::Write(p, stored + std::string(CProfile::kMaxFileBytes, ';')); },
       CProfile::FileState::TooLarge, 0},
      {"4 KB of random bytes", [&](const std::string& p) { TestFolder::Write(p, randomBytes(4096)); },
       CProfile::FileState::NotText, 0},
      {"1 MB of random bytes", [&](const std::string& p) { TestFolder::Write(p, randomBytes(1 << 20)); },
       CProfile::FileState::NotText, 0},
      {"settings with a NUL byte", [&](const std::string& p) { TestFolder::Write(p, stored + std::string(1, '\0')); },
       CProfile::FileState::NotText, 0},
      {"settings with an escape byte", [&](const std::string& p) { TestFolder::Write(p, "\x1B" + stored); },
       CProfile::FileState::NotText, 0},
      {"a read-only file",
       [&](const std::string& p) {
         TestFolder::Write(p, stored);
         ASSERT_EQ(::chmod(p.c_str(), 0444), 0);
       },
       CProfile::FileState::ReadOnly, 1},
      {"a shopping list", [](const std::string& p) { TestFolder::Write(p, "milk\n[x] eggs\n[ ]\nUSE_CLASSIC=1\n"); },
       CProfile::FileState::NotSettings, 0},
      {"comments alone", [](const std::string& p) { TestFolder::Write(p, "; [GENERAL]\n\n# USE_CLASSIC=1\n"); },
       CProfile::FileState::NotSettings, 0},
      {"a link to a note",
       [](const std::string& p) {
         TestFolder::Write(p + ".note", "Dear reader,\nthese are notes.\n");
         ASSERT_EQ(::symlink((p + ".note").c_str(), p.c_str()), 0);
       },
       CProfile::FileState::NotSettings, 0},
      {"a link to no file", [](const std::string& p) { ASSERT_EQ(::symlink((p + ".note").c_str(), p.c_str()), 0); },
       CProfile::FileState::BrokenLink, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TestFolder dir;
    const std::string path = dir / "qav.ini";
    c.make(path);
    const FileIdentity before = Identity(path);
    const FileIdentity noteBefore = Identity(path + ".note");
    const std::string note = TestFolder::Read(path + ".note");
    // Read on another thread, so that a read that waits on a FIFO fails the test instead of
    // stopping it: the FIFO then gets a writer that closes at once.
    auto read = std::async(std::launch::async, [&] { return std::make_unique<CProfile>(path); });
    if (read.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
      ADD_FAILURE() << "the read waits";
      ::close(::open(path.c_str(), O_WRONLY | O_NONBLOCK));
    }
    std::unique_ptr<CProfile> p = read.get();
    EXPECT_EQ(p->GetFileState(), c.state);
    EXPECT_TRUE(p->IsFileLeftAlone());
    EXPECT_EQ(p->GetReadError() != 0, c.state == CProfile::FileState::Unreadable);
    EXPECT_EQ(p->GetProfileInt("GENERAL", "USE_CLASSIC", 0), c.useClassic);
    // Writes are kept for the run, and reported as done.
    EXPECT_TRUE(p->WriteProfileInt("GENERAL", "USE_CLASSIC", 2));
    EXPECT_EQ(p->GetProfileInt("GENERAL", "USE_CLASSIC", 0), 2u);
    EXPECT_TRUE(p->Flush());
    p.reset();
    EXPECT_TRUE(Identity(path) == before);
    // Nor is what a link leads to changed, or made.
    EXPECT_TRUE(Identity(path + ".note") == noteBefore);
    EXPECT_EQ(TestFolder::Read(path + ".note"), note);
    // No temporary file is left beside it.
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
      EXPECT_TRUE(e.path() == path || e.path() == path + ".zero" || e.path() == path + ".note") << e.path();
  }
}

TEST(Profile, ReadingTakesTimeInProportionToTheFile) {
  // Each key is looked up once as it is read, not compared with every key before it: 50,000 keys
  // took seconds that way, and take a small fraction of one now.
  TestFolder dir;
  const std::string path = dir / "many.ini";
  std::string text = "[ONE]\r\n";
  for (int i = 0; i < 50000; ++i) text += "KEY_" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
  TestFolder::Write(path, text);
  const auto start = std::chrono::steady_clock::now();
  CProfile p(path);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(p.GetFileState(), CProfile::FileState::Read);
  EXPECT_EQ(p.GetProfileInt("one", "key_49999", 0), 49999u);
  EXPECT_LT(seconds, 2.0);
}

TEST(Profile, ASaveKeepsTheLinesTheProfileDoesNotUse) {
  // Each file gets USE_CLASSIC in GENERAL and a new section PE_VALID, with the line ends it has.
  const struct {
    const char* what;
    std::string before, after;
    bool link;  // the profile's name is a link to the file
  } cases[] = {
      {"a hand-written file",
       "; QAV settings, caf\xE9 \x81\x9D\n\n[GENERAL]  ; main\n; where the archive is\nCDROM_PATH=/media/cd\n"
       "note without equals\n=no key\n\n# output\n[OUTPUT]\nAUTOOPEN=0\n[broken\n[general]\nOTHER=1",
       // A section given twice is one: its second part follows the first.
       "; QAV settings, caf\xE9 \x81\x9D\n\n[GENERAL]  ; main\n; where the archive is\nCDROM_PATH=/media/cd\n"
       "note without equals\n=no key\n\n# output\n[general]\nOTHER=1\nUSE_CLASSIC=1\n[OUTPUT]\n"
       "AUTOOPEN=0\n[broken\n\n[PE_VALID]\nPEAK1_START=5\n",
       false},
      {"the program's own file", "[GENERAL]\r\nUSE_CLASSIC=0\r\n\r\n",
       "[GENERAL]\r\nUSE_CLASSIC=1\r\n\r\n[PE_VALID]\r\nPEAK1_START=5\r\n", false},
      {"a settings file the name links to", "[GENERAL] # mine\nUSE_CLASSIC=0\n",
       "[GENERAL] # mine\nUSE_CLASSIC=1\n\n[PE_VALID]\nPEAK1_START=5\n", true},
      {"an empty file", "", "[GENERAL]\nUSE_CLASSIC=1\n\n[PE_VALID]\nPEAK1_START=5\n", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TestFolder dir;
    const std::string path = dir / "qav.ini";
    const std::string file = c.link ? dir / "kept/settings.ini" : path;
    std::filesystem::create_directory(dir / "kept");
    TestFolder::Write(file, c.before);
    if (c.link) std::filesystem::create_symlink("kept/settings.ini", path);
    {
      CProfile p(path);
      EXPECT_EQ(p.GetFileState(), CProfile::FileState::Read);
      EXPECT_TRUE(p.WriteProfileInt("GENERAL", "USE_CLASSIC", 1));
      EXPECT_TRUE(p.WriteProfileInt("PE_VALID", "PEAK1_START", 5));
    }
    EXPECT_EQ(TestFolder::Read(file), c.after);
    EXPECT_EQ(std::filesystem::is_symlink(path), c.link);
    // Read again and saved unchanged, the file stays as it is.
    { CProfile(path).WriteProfileInt("GENERAL", "USE_CLASSIC", 1); }
    EXPECT_EQ(TestFolder::Read(file), c.after);
  }
}

// Settings that a user other than the one who runs the program and root could have put in place or
// changed are neither read nor written over, wherever they are; the user's own and root's are read
// and saved with their owner and mode.
TEST(Profile, AFileWithinAnotherUsersReachIsNeitherReadNorWrittenOver) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can make files of other users'";
  using State = CProfile::FileState;
  // Users without a name, each alone in a group of his own; nogroup has nobody and others in it.
  constexpr uid_t self = 54321, other = 54322;
  constexpr gid_t nogroup = kNobody;
  enum Reach { kNone, kFile, kFolder };
  // The settings are dir/d/qav.ini, or dir/link.ini that leads to its full path by way of "." and
  // ".."; dir is root's.
  const struct Case {
    const char* what;
    uid_t runner;
    uid_t fileOwner;
    gid_t fileGroup;
    mode_t fileMode;  // 0: no file
    uid_t folderOwner;
    mode_t folderMode;
    bool link;
    State state;
    Reach reach;
  } cases[] = {
      {"root's own", 0, 0, 0, 0644, 0, 0755, false, State::Read, kNone},
      {"root's in nogroup, saved as it is", 0, 0, nogroup, 0640, 0, 0755, false, State::Read, kNone},
      {"another's", 0, kNobody, kNobody, 0644, 0, 0755, false, State::OtherUsersFile, kFile},
      {"another's, by a link", 0, kNobody, kNobody, 0644, 0, 0755, true, State::OtherUsersFile, kFile},
      {"everyone's to write", 0, 0, 0, 0646, 0, 0755, false, State::WritableByOthers, kFile},
      {"nogroup's to write", 0, 0, nogroup, 0664, 0, 0755, false, State::WritableByOthers, kFile},
      {"in everyone's folder", 0, 0, 0, 0644, 0, 0777, false, State::InOthersFolder, kFolder},
      {"in everyone's folder, by a link", 0, 0, 0, 0644, 0, 0777, true, State::InOthersFolder, kFolder},
      {"in root's sticky folder", 0, 0, 0, 0644, 0, 01777, false, State::Read, kNone},
      {"in another's sticky folder", 0, 0, 0, 0644, kNobody, 01777, false, State::InOthersFolder, kFolder},
      {"none, in another's folder", 0, 0, 0, 0, kNobody, 0755, false, State::InOthersFolder, kFolder},
      {"own, in a group of his own, in root's sticky folder", self, self, self, 0664, 0, 01777, false, State::Read, kNone},
      {"root's, his group's to write", self, 0, self, 0664, 0, 0755, false, State::OtherOwner, kNone},
      {"own, in another's folder", self, self, self, 0644, other, 0755, false, State::InOthersFolder, kFolder},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestFolder dir;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const std::string folder = dir / "d", file = folder + "/qav.ini";
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    if (c.fileMode != 0) {
      TestFolder::Write(file, "[GENERAL]\nUSE_CLASSIC=1\n");
      ASSERT_EQ(::chown(file.c_str(), c.fileOwner, c.fileGroup), 0);
      ASSERT_EQ(::chmod(file.c_str(), c.fileMode), 0);
    }
    ASSERT_EQ(::chown(folder.c_str(), c.folderOwner, c.folderOwner), 0);
    ASSERT_EQ(::chmod(folder.c_str(), c.folderMode), 0);
    std::string path = file;
    if (c.link) {
      path = dir / "link.ini";
      ASSERT_EQ(::symlink((dir.path() + "/./d/../d/qav.ini").c_str(), path.c_str()), 0);
    }
    const FileIdentity before = Identity(file);
    const auto work = [&] {
      CProfile p(path);
      const std::string read = std::to_string(static_cast<int>(p.GetFileState())) + " " +
                               std::to_string(p.GetProfileInt("GENERAL", "USE_CLASSIC", 0)) + " " + p.GetOthersReach();
      return read + (p.WriteProfileInt("GENERAL", "USE_CLASSIC", 2) && p.Flush() ? " saved" : " failed");
    };
    const bool used = c.state == State::Read || c.state == State::OtherOwner;
    const std::string reach = c.reach == kFile ? file : c.reach == kFolder ? folder : "";
    EXPECT_EQ(c.runner == 0 ? work() : AsUser(c.runner, c.runner, work),
              std::to_string(static_cast<int>(c.state)) + (used ? " 1 " : " 0 ") + reach + " saved");
    if (c.state != State::Read) {
      EXPECT_TRUE(Identity(file) == before);
      continue;
    }
    // Saved with its owner, group and mode.
    EXPECT_EQ(TestFolder::Read(file), "[GENERAL]\nUSE_CLASSIC=2\n");
    struct stat st {};
    EXPECT_TRUE(::stat(file.c_str(), &st) == 0 && st.st_uid == c.fileOwner && st.st_gid == c.fileGroup &&
                (st.st_mode & 07777) == c.fileMode);
  }
  // Nor are they saved in a folder that another user has made on the way since the read.
  TestFolder dir;
  CProfile p(dir / "late/qav.ini");
  ASSERT_EQ(::mkdir((dir / "late").c_str(), 0755), 0);
  ASSERT_EQ(::chown((dir / "late").c_str(), kNobody, kNobody), 0);
  EXPECT_FALSE(p.WriteProfileInt("GENERAL", "USE_CLASSIC", 2));
  EXPECT_EQ(p.GetFileState(), State::InOthersFolder);
  EXPECT_FALSE(std::filesystem::exists(dir / "late/qav.ini"));
}

TEST(Profile, RandomTextKeepsEveryLineAndValueThroughASave) {
  // Texts of the characters that make settings lines: after a write, a settings text holds every
  // line without "=" that it held (section lines, comments, other text), in order, with the line
  // ends of its first line, and reads the same values plus the one written. A text without a
  // section line is left as it is.
  const char alphabet[] = "[]=;# \tab\r\n\n\xE9";
  std::mt19937 random(5);
  TestFolder dir;
  const std::string path = dir / "qav.ini";
  int written = 0, leftAlone = 0;
  for (int round = 0; round < 100; ++round) {
    std::string text(random() % 120, ' ');
    for (char& c : text) c = alphabet[random() % (sizeof alphabet - 1)];
    if (round % 2 == 0) text += "\n[b]";  // a section line that half the texts have for sure
    TestFolder::Write(path, text);
    std::vector<std::pair<std::string, std::string>> keys;
    for (const char* s : {"a", "b", "ab", "A"})
      for (const char* k : {"a", "b", "ab", "b a"}) keys.emplace_back(s, k);
    std::vector<std::string> before;
    bool ours = true;
    {
      CProfile p(path);
      ours = !p.IsFileLeftAlone();
      for (const auto& [s, k] : keys) before.push_back(p.GetProfileString(s.c_str(), k.c_str(), "?"));
      ASSERT_TRUE(p.WriteProfileString("new", "key", "v"));
    }
    ++(ours ? written : leftAlone);
    if (!ours) {
      EXPECT_EQ(TestFolder::Read(path), text);
      EXPECT_EQ(std::count(before.begin(), before.end(), "?"), static_cast<ptrdiff_t>(before.size())) << text;
      continue;
    }
    const size_t firstEnd = text.find('\n');
    const std::string lineEnd = firstEnd != std::string::npos && firstEnd > 0 && text[firstEnd - 1] == '\r' ? "\r\n" : "\n";
    CProfile q(path);
    for (size_t i = 0; i < keys.size(); ++i)
      EXPECT_EQ(q.GetProfileString(keys[i].first.c_str(), keys[i].second.c_str(), "?"), before[i]) << text;
    EXPECT_EQ(q.GetProfileString("new", "key"), "v") << text;
    const std::string saved = TestFolder::Read(path);
    size_t at = 0;
    for (size_t pos = 0; pos < text.size();) {
      size_t eol = text.find('\n', pos);
      if (eol == std::string::npos) eol = text.size();
      std::string line = text.substr(pos, eol - pos);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      pos = eol + 1;
      if (line.find('=') != std::string::npos) continue;
      // A line that still ends in CR keeps it through a CR LF.
      const std::string end = !line.empty() && line.back() == '\r' ? "\r\n" : lineEnd;
      const size_t found = saved.find(line + end, at);
      ASSERT_NE(found, std::string::npos) << "lost " << line << " of " << text;
      at = found + line.size() + end.size();
    }
  }
  EXPECT_GE(written, 50);
  EXPECT_GT(leftAlone, 10);
}
