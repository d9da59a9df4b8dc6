#include "platform/base/errors.h"
#include "platform/kernel/files.h"
#include "platform/kernel/optical.h"
#include "platform/kernel/process.h"
#include "platform/shell/shell.h"

#include "platform/test_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

TEST(Shell, StartProgramResults) {
  TestFolder dir;
  TestFolder::Write(dir / "plain.txt", "not a program");
  struct Case { std::string program; DWORD expected; };
  const Case cases[] = {
      {"/bin/true", 0},
      {"true", 0},
      {dir / "missing-program", 2},
      {dir / "nofolder/missing-program", 3},
      {dir / "plain.txt", 5},
      {"qav-no-such-program-anywhere", 2},
  };
  for (const auto& c : cases) EXPECT_EQ(StartProgram(c.program, {"a file with blanks.txt"}), c.expected) << c.program;
}

TEST(Shell, StartedProgramGetsItsArgumentIntact) {
  TestFolder dir;
  const std::string out = dir / "out.txt";
  ASSERT_EQ(StartProgram("/bin/sh", {"-c", "printf '%s' \"$0\" > \"$1\"", "it's \"quoted\" & spaced", out}), 0u);
  for (int i = 0; i < 200 && TestFolder::Read(out).empty(); ++i) ::usleep(10000);
  EXPECT_EQ(TestFolder::Read(out), "it's \"quoted\" & spaced");
}

TEST(Shell, AssociationUsesTheLookupAndKeepsTheBufferOnFailure) {
  TestFolder dir;
  std::string asked;
  SetAssociationLookupForTesting([&](const std::string& mime, std::string& program) {
    asked = mime;
    if (mime != "text/plain") return false;
    program = "/usr/bin/viewer";
    return true;
  });
  char result[MAX_PATH] = "untouched";
  EXPECT_EQ(FindExecutableForExtension(".TXT", result), SE_FOUND);
  EXPECT_EQ(asked, "text/plain");
  EXPECT_STREQ(result, "/usr/bin/viewer");
  std::strcpy(result, "untouched");
  EXPECT_EQ(FindExecutableForExtension(".qavunknown", result), SE_ERR_NOASSOC);
  EXPECT_STREQ(result, "untouched");
  EXPECT_EQ(FindExecutableA((dir / "missing.txt").c_str(), nullptr, result), SE_ERR_FNF);
  EXPECT_EQ(FindExecutableA((dir / "nofolder/missing.txt").c_str(), nullptr, result), SE_ERR_PNF);
  TestFolder::Write(dir / "there.txt", "x");
  EXPECT_EQ(FindExecutableA("there.txt", dir.path().c_str(), result), SE_FOUND);
  SetAssociationLookupForTesting(nullptr);
}

TEST(Shell, DesktopDefaultsComeFromMimeappsList) {
  TestFolder dir;
  std::filesystem::create_directories(dir / "data/applications");
  std::filesystem::create_directories(dir / "bin");
  TestFolder::Write(dir / "bin/myviewer", "#!/bin/sh\n");
  ::chmod((dir / "bin/myviewer").c_str(), 0755);
  TestFolder::Write(dir / "mimeapps.list", "[Default Applications]\napplication/vnd.ms-excel=sheet.desktop;\n");
  TestFolder::Write(dir / "data/applications/sheet.desktop",
                    "[Desktop Entry]\nName=Sheet\nExec=env A=1 " + (dir / "bin/myviewer") + " %U\n");
  const char* vars[] = {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_DIRS"};
  std::string saved[4];
  bool had[4];
  for (int i = 0; i < 4; ++i) {
    const char* v = std::getenv(vars[i]);
    had[i] = v != nullptr;
    saved[i] = v ? v : "";
  }
  ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
  ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
  ::setenv("XDG_DATA_DIRS", (dir / "nothing").c_str(), 1);
  ::setenv("XDG_CONFIG_DIRS", (dir / "nothing").c_str(), 1);
  char result[MAX_PATH] = "";
  EXPECT_EQ(FindExecutableForExtension(".XLS", result), SE_FOUND);
  EXPECT_EQ(std::string(result), dir / "bin/myviewer");
  for (int i = 0; i < 4; ++i) {
    if (had[i]) {
      ::setenv(vars[i], saved[i].c_str(), 1);
    } else {
      ::unsetenv(vars[i]);
    }
  }
}

TEST(Shell, HelpFileIsBesideTheProgram) {
  TestFolder dir;
  SetProgramPathForTesting(dir / "qav");
  EXPECT_EQ(GetProgramName(), "qav");
  EXPECT_EQ(GetHelpFilePath(), dir / "qav.chm");
  EXPECT_EQ(OpenHelpFile(), ERROR_FILE_NOT_FOUND);
  TestFolder::Write(dir / "qav.chm", "help");
  SetAssociationLookupForTesting([](const std::string& mime, std::string& program) {
    program = "/bin/true";
    return mime == "application/vnd.ms-htmlhelp";
  });
  EXPECT_EQ(OpenHelpFile(), 0u);
  SetAssociationLookupForTesting(nullptr);
  char buf[MAX_PATH];
  EXPECT_EQ(GetModuleFileNameA(nullptr, buf, MAX_PATH), (dir / "qav").size());
  EXPECT_EQ(std::string(buf), dir / "qav");
  SetLastError(0);  // a buffer too small gets the path cut short, and says so
  EXPECT_EQ(GetModuleFileNameA(nullptr, buf, 4), 4u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(std::string(buf), (dir / "qav").substr(0, 3));
  SetProgramPathForTesting("");
  EXPECT_FALSE(GetProgramPath().empty());
}

TEST(OpticalDrives, MountPointsOfDiscFileSystems) {
  TestFolder dir;
  TestFolder::Write(dir / "mounts",
                    "/dev/sda1 / ext4 rw 0 0\n"
                    "/dev/sr0 /media/user/QAV\\0401995 iso9660 ro 0 0\n"
                    "/dev/sr1 /mnt/dvd udf ro 0 0\n"
                    "proc /proc proc rw 0 0\n"
                    "garbage\n");
  const auto roots = GetOpticalDriveRoots((dir / "mounts").c_str());
  ASSERT_EQ(roots.size(), 2u);
  EXPECT_EQ(roots[0], "/media/user/QAV 1995/");
  EXPECT_EQ(roots[1], "/mnt/dvd/");
  EXPECT_TRUE(GetOpticalDriveRoots((dir / "none").c_str()).empty());
}

TEST(Shell, OpenDocumentOrUrlGoesThroughTheDesktopOpener) {
  TestFolder dir;
  std::filesystem::create_directories(dir / "bin");
  const std::string log = dir / "opened.txt";
  TestFolder::Write(dir / "bin/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + log + "'\n");
  ::chmod((dir / "bin/xdg-open").c_str(), 0755);
  TestFolder::Write(dir / "Report.TXT", "r");
  const char* old = std::getenv("PATH");
  const std::string saved = old ? old : "";
  ::setenv("PATH", (dir / "bin").c_str(), 1);
  EXPECT_EQ(OpenDocumentOrUrl("https://example.com/a?b=c d"), 0u);
  for (int i = 0; i < 200 && TestFolder::Read(log).empty(); ++i) ::usleep(10000);
  EXPECT_EQ(OpenDocumentOrUrl((dir.path() + "\\report.txt").c_str()), 0u);
  for (int i = 0; i < 200; ++i) {
    const std::string seen = TestFolder::Read(log);
    if (std::count(seen.begin(), seen.end(), '\n') >= 2) break;
    ::usleep(10000);
  }
  ::setenv("PATH", (dir / "empty").c_str(), 1);
  EXPECT_EQ(OpenDocumentOrUrl("https://example.com"), ERROR_NO_ASSOCIATION);
  ::setenv("PATH", saved.c_str(), 1);
  EXPECT_EQ(TestFolder::Read(log), "https://example.com/a?b=c d\n" + (dir / "Report.TXT") + "\n");
}
