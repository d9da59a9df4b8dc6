#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <stdexcept>

#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "app/shell/app_globals.h"
#include "app/shell/main_dlg.h"
#include "app/shell/main_frame.h"
#include "app/shell/qav_app.h"
#include "app/shell/settings.h"
#include "app/shell/start_up.h"
#include "platform/kernel/address_space.h"
#include "archive/archive_globals.h"
#include "platform/ui/choosers.h"
#include "platform/ui/input.h"
#include "app/shell/app_test_env.h"

namespace {
class StartupTest : public AppUiTest {
 protected:
  void TearDown() override {
    g_PeValid.Set(PeValidity{});
    AppUiTest::TearDown();
  }
  // Starts the application over the test's profile; the frame is the main window.
  void Start(CQAVApp& app) {
    ASSERT_TRUE(app.InitInstance());
    frame_ = dynamic_cast<CMainFrame*>(app.m_pMainWnd);
    ASSERT_NE(frame_, nullptr);
    view_ = dynamic_cast<CMainDlg*>(frame_->GetActiveView());
    ASSERT_NE(view_, nullptr);
  }
  CMainFrame* frame_ = nullptr;
  CMainDlg* view_ = nullptr;
};

TEST_F(StartupTest, WithoutProfileTheNewViewStartsWithDefaultPeSettings) {
  CQAVApp app;
  Start(app);
  EXPECT_EQ(app.m_nUseClassic, 0u);
  EXPECT_EQ(app.TemplateId(), IDR_MAINFRAME);
  EXPECT_EQ(frame_->GetWindowText(), "QAV");
  const PeValidity pe = g_PeValid.Get();
  EXPECT_EQ(std::vector<int>({pe.peak1Start, pe.peak1End, pe.peak2Start, pe.peak2End, pe.peakMin, pe.peakMax,
                              pe.offMin, pe.offMax}),
            std::vector<int>({72, 108, 180, 228, 0, 255, 0, 255}));
  EXPECT_TRUE(frame_->IsZoomed());
  EXPECT_TRUE(qav::ui::MessageBoxLog().empty());
  frame_->DestroyWindow();
}

TEST_F(StartupTest, ASettingsFileThatIsNotReadOrReadOnlyIsNamedOnceAndLeftAsItIs) {
  const std::string stored = "[GENERAL]\r\nUSE_CLASSIC=1\r\n[PE_VALID]\r\nPEAK1_START=1\r\n";
  const std::string defaults = "\n\nThe program starts with its default settings and leaves that file as it is.";
  const struct {
    const char* what;
    std::function<void(const std::string&)> make;
    std::string why;
    UINT templateId;  // the view the file chooses, or the default
    int peak1Start;
  } cases[] = {
      {"a FIFO", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, "is not a regular file." + defaults,
       IDR_MAINFRAME, 72},
      {"a file over the limit",
       [&](const std::string& p) { std::ofstream(p, std::ios::binary) << stored << std::string(CProfile::kMaxFileBytes, ';'); },
       "is larger than 16 MB." + defaults, IDR_MAINFRAME, 72},
      {"random bytes",
       [](const std::string& p) {
         std::string bytes(4096, '\0');
         for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 2654435761u >> 13);
         std::ofstream(p, std::ios::binary) << bytes;
       },
       "is not a settings file: it holds bytes that are not text." + defaults, IDR_MAINFRAME, 72},
      {"a shopping list", [](const std::string& p) { std::ofstream(p, std::ios::binary) << "milk\neggs\nUSE_CLASSIC=1\n"; },
       "is not a settings file: it holds text without a [section] line." + defaults, IDR_MAINFRAME, 72},
      {"a link to no file", [](const std::string& p) { ASSERT_EQ(::symlink((p + ".gone").c_str(), p.c_str()), 0); },
       "is a link to a file that does not exist." + defaults, IDR_MAINFRAME, 72},
      {"a loop of links",
       [](const std::string& p) {
         ASSERT_EQ(::symlink((p + ".back").c_str(), p.c_str()), 0);
         ASSERT_EQ(::symlink(p.c_str(), (p + ".back").c_str()), 0);
       },
       "cannot be read: The name of the file cannot be resolved by the system." + defaults, IDR_MAINFRAME, 72},
      {"another user's file",
       [&](const std::string& p) {
         std::ofstream(p, std::ios::binary) << stored;
         ASSERT_EQ(::chown(p.c_str(), 65534, 65534), 0);
       },
       "belongs to another user, so it is not used." + defaults, IDR_MAINFRAME, 72},
      {"a read-only file",
       [&](const std::string& p) {
         std::ofstream(p, std::ios::binary) << stored;
         ASSERT_EQ(::chmod(p.c_str(), 0444), 0);
       },
       "is read-only.\n\nThe program starts with the settings in it and leaves that file as it is: changes of the "
       "settings last until the program ends.",
       IDR_CLASSIC_FRAME, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    qav::ui::ClearMessageBoxLog();
    const std::string path = folder_ / (std::string(c.what) + ".ini");
    c.make(path);
    struct stat before {};
    ASSERT_EQ(::lstat(path.c_str(), &before), 0);
    profile_ = std::make_unique<CProfile>(path);
    store_ = std::make_unique<CFileProfileStore>(*profile_);
    SetActiveProfile(store_.get());
    CQAVApp app;
    Start(app);
    // The defaults (or the read-only file's settings), and one box over the window saying why.
    EXPECT_EQ(app.TemplateId(), c.templateId);
    EXPECT_EQ(g_PeValid.Get().peak1Start, c.peak1Start);
    ASSERT_EQ(qav::ui::MessageBoxLog().size(), 1u);
    const qav::ui::MessageBoxRequest& box = qav::ui::MessageBoxLog()[0];
    EXPECT_EQ(box.owner, frame_->GetSafeHwnd());
    EXPECT_EQ(box.caption, "QAV");
    EXPECT_EQ(box.text, "The settings file\n" + path + "\n" + c.why);
    // The view's end writes its sections: into memory only, with no second box.
    frame_->DestroyWindow();
    profile_->Flush();
    EXPECT_EQ(qav::ui::MessageBoxLog().size(), 1u);
    EXPECT_EQ(store_->GetInt("GENERAL", "CDROM_INDEX", -1), 1u);
    struct stat after {};
    ASSERT_EQ(::lstat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_size, before.st_size);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  }
}

TEST_F(StartupTest, StoredValuesChooseTheClassicViewAndWrapTheEightBitSettings) {
  store_->WriteInt("GENERAL", "USE_CLASSIC", 7);
  store_->WriteInt("PE_VALID", "VOL_GOOD_PEAK_MAX", 300);
  store_->WriteInt("PE_VALID", "PEAK2_END", 200);
  CQAVApp app;
  Start(app);
  EXPECT_EQ(app.TemplateId(), IDR_CLASSIC_FRAME);
  EXPECT_EQ(frame_->GetWindowText(), "QAV Classic");
  EXPECT_EQ(g_PeValid.Get().peakMax, 44);
  EXPECT_EQ(g_PeValid.Get().peak2End, 200);
  frame_->DestroyWindow();
  // The view's end wrote every section back.
  EXPECT_EQ(store_->GetInt("GENERAL", "USE_CLASSIC", 0), 7u);
  EXPECT_EQ(store_->GetInt("PE_VALID", "VOL_GOOD_PEAK_MAX", 0), 44u);
}

TEST_F(StartupTest, StoredOutputSettingsReachTheOutputPage) {
  store_->WriteString("OUTPUT", "TEXTVIEWER", "/usr/bin/less");
  store_->WriteString("OUTPUT", "SSVIEWER", "/usr/bin/sheet");
  store_->WriteInt("OUTPUT", "AUTOOPEN", 0);
  store_->WriteInt("OUTPUT", "USEQAVCUSTOMVIEWER", 0);
  store_->WriteString("OUTPUT", "RAWDATA_PATH", "/srv/raw/");
  store_->WriteString("OUTPUT", "SDS_PATH", "/srv/sds/");
  store_->WriteString("OUTPUT", "MDS_PATH", "/srv/mds/");
  CQAVApp app;
  Start(app);
  SOutputSettings out;
  view_->m_OutputParams.GetSettings(out);
  EXPECT_EQ(out.textViewer, "/usr/bin/less");
  EXPECT_EQ(out.ssViewer, "/usr/bin/sheet");
  EXPECT_EQ(out.autoOpen, 0);
  EXPECT_EQ(out.useCustomViewer, 0);
  EXPECT_EQ(out.rawPath, "/srv/raw/");
  EXPECT_EQ(out.sdsPath, "/srv/sds/");
  EXPECT_EQ(out.mdsPath, "/srv/mds/");
  frame_->DestroyWindow();
}

TEST(PeValidSettingsTest, EveryFieldIsKept) {
  PeValidity v;
  v.peak1Start = 1, v.peak1End = 2, v.peak2Start = 3, v.peak2End = 4;
  v.peakMin = 5, v.peakMax = 6, v.offMin = 7, v.offMax = 8;
  g_PeValid.Set(v);
  const PeValidity got = g_PeValid.Get();
  g_PeValid.Set(PeValidity{});
  EXPECT_EQ(std::vector<int>({got.peak1Start, got.peak1End, got.peak2Start, got.peak2End, got.peakMin, got.peakMax,
                              got.offMin, got.offMax}),
            std::vector<int>({1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(AppProfileStoreTest, AWriteTheProfileRefusesIsReportedAsFailed) {
  CAppProfileStore store;
  {
    CWinApp app("profile test");
    EXPECT_FALSE(store.WriteString("Settings", "two\nlines", "value"));
    EXPECT_FALSE(store.WriteInt("Settings", "two\nlines", 1));
  }
  // Without the program object there is no profile: nothing is written, the defaults are read.
  EXPECT_FALSE(store.WriteString("Settings", "Key", "value"));
  EXPECT_EQ(store.GetInt("Settings", "Key", 7), 7u);
  EXPECT_EQ(store.GetString("Settings", "Key", nullptr), "");
}
}  // namespace

namespace {

uint64_t HundredMB() { return uint64_t{100} << 20; }

// Too little memory to start ends the program with one line on standard error and status 1, never
// with a crash: the room looked at before the window system starts, and an exception of running out
// of memory that nobody catches while the program starts (the libraries' own initialisers run
// before main). Each case runs in a child process, whose standard error is read back.
TEST(StartWithoutMemory, EndsWithTheLineAndStatusOne) {
  // The window system's room grows with the screen, and the start keeps as much as the run will: a
  // 4K screen of its own (scripts/xvfb.sh), whose command names it and waits for `held` to close.
  int held[2];
  ASSERT_EQ(pipe2(held, O_CLOEXEC), 0);
  fcntl(held[0], F_SETFD, 0);
  FILE* server = popen(("QAV_XVFB_SCREEN=3840x2160x24 '" QAV_XVFB_SCRIPT "' sh -c 'echo $DISPLAY; exec cat <&" +
                        std::to_string(held[0]) + " >/dev/null'").c_str(), "r");
  close(held[0]);
  char screen4k[64] = {};
  ASSERT_TRUE(server != nullptr && std::fgets(screen4k, sizeof screen4k, server) != nullptr);
  screen4k[std::strcspn(screen4k, "\n")] = '\0';
  const struct {
    const char* what;
    std::function<void()> start;
    int status;  // the exit status, or minus the signal
    std::string line;  // what it says on standard error (the start of it, for another exception)
  } cases[] = {
      {"a limit without room for the start",
       [] {
         unsetenv("DISPLAY");
         qav::SetAddressSpaceForTesting(HundredMB() + kStartBytes + qav::kWindowRoom - 1, &HundredMB);
         std::string why;
         if (!PrepareStart(&why)) std::fprintf(stderr, "qav: %s\n", why.c_str()), _exit(1);
       },
       1, "qav: not enough memory to start: the address space is limited to 227 MB, and the program needs at least 228 MB\n"},
      {"a limit with room for the start beside a small screen's windows, not beside a 4K screen's",
       [&] {
         setenv("DISPLAY", screen4k, 1);
         unsetenv("QT_QPA_PLATFORM");  // the program on X, not offscreen (which has no screen to measure)
         const uint64_t image = 4 * 3840 * 2160;  // the main window's
         qav::SetAddressSpaceForTesting(HundredMB() + kStartBytes + image + qav::WindowRoomForScreen(3840, 2160) - 1,
                                        &HundredMB);
         std::string why;
         if (!PrepareStart(&why)) std::fprintf(stderr, "qav: %s\n", why.c_str()), _exit(1);
       },
       1, "qav: not enough memory to start: the address space is limited to 385 MB, and the program needs at least 386 MB\n"},
      {"an initialiser that finds no memory",
       [] {
         EndStartsThatRunOutOfMemory();
         try {
           throw std::bad_alloc();
         } catch (...) {
           std::terminate();  // as for an exception that leaves a function that may not throw
         }
       },
       1, kNoMemoryToStartLine},
      {"another exception nobody catches",
       [] {
         EndStartsThatRunOutOfMemory();
         try {
           throw std::runtime_error("not memory");
         } catch (...) {
           std::terminate();
         }
       },
       -SIGABRT, "terminate called after throwing an instance of 'std::runtime_error'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    int err[2];
    ASSERT_EQ(pipe(err), 0);
    const pid_t child = fork();
    if (child == 0) {
      dup2(err[1], STDERR_FILENO);
      close(err[0]);
      c.start();
      _exit(0);
    }
    close(err[1]);
    std::string said;
    char buf[512];
    for (ssize_t n; (n = read(err[0], buf, sizeof buf)) > 0;) said.append(buf, static_cast<size_t>(n));
    close(err[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status), c.status);
    // Any other exception ends the program as the C++ library does, with its own words.
    if (c.status == 1) EXPECT_EQ(said, c.line);
    else EXPECT_EQ(said.find(c.line), 0u) << said;
  }
  close(held[1]);
  pclose(server);
}

}  // namespace
