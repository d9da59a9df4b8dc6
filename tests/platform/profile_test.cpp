#include "platform/app/profile.h"

#include "platform/test_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <sys/resource.h>

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
  EXPECT_EQ(TestFolder::Read(path).find('\n') , TestFolder::Read(path).find("\r\n") + 1);
}

TEST(Profile, ReadsHandWrittenFilesAndRejectsUnusableNames) {
  TestFolder dir;
  const std::string path = dir / "p.ini";
  TestFolder::Write(path, "; comment\n[OUTPUT]\nAUTOOPEN = 0\nbad line\nSSVIEWER=/usr/bin/x y\n[OUTPUT]\nAUTOOPEN=4294967295\n"
                          "NUM=12abc\n[broken\n");
  CProfile p(path);
  EXPECT_EQ(p.GetProfileInt("OUTPUT", "AUTOOPEN", 1), 0xFFFFFFFFu);
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
  ::unsetenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  if (home != nullptr) {
    EXPECT_EQ(CProfile::DefaultPath("qav"), std::string(home) + "/.config/KARVO/qav.ini");
  }
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
