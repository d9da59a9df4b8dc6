#include "app/classic/classic_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>

#include "app/classic/classic_config.h"
#include "app/shell/filling_file.h"
#include "platform/base/errors.h"
#include "trafficdata/date_time_ex.h"
#include "trafficdata/db_element.h"
#include "trafficdata/element_data.h"
#include "trafficdata/loop_data.h"

namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Records what the worker does with the view.
class FakePort : public ClassicRunPort {
 public:
  bool loadOk[CB_COUNT] = {true, true, true};
  bool noData = false;
  std::string log;
  bool Load(int block, const ValidityTables* summariesOnly, std::vector<std::unique_ptr<CElementData>>& out) override {
    log += "load" + std::to_string(block) + (summariesOnly ? "s" : "") + " ";
    if (!loadOk[block]) return false;
    if (noData) return true;
    out.push_back(std::make_unique<CElementData>(0, nullptr, 0));
    out.push_back(nullptr);  // an element of no known type
    out.push_back(std::make_unique<CElementData>(0, nullptr, 1));
    return true;
  }
  void Post(const ClassicPost& p) override {
    log += std::to_string(p.id) + (p.text.empty() ? "" : "(" + p.text + ")") + " ";
    posts.push_back(p);
  }
  void SetWaitCursor(bool) override {}
  std::vector<ClassicPost> posts;
};

// The block plan without report data: opening, writing and closing are recorded.
class PlanRun : public CClassicRun {
 public:
  using CClassicRun::CClassicRun;
  bool bannerOk[CF_COUNT] = {true, true, true};
  int cancelAtFamily = -1;  // the first write of this family finds Cancel pressed
  CClassicRunFlags* flags = nullptr;
  FakePort* fake = nullptr;

 protected:
  bool OpenReport(int f) override {
    fake->log += "open" + std::to_string(f) + " ";
    return bannerOk[f];
  }
  EReportResult WriteElement(int f, const CElementData& d, int dateBlock) override {
    fake->log += "w" + std::to_string(f) + "." + std::to_string(d.ordinal) + "/" + std::to_string(dateBlock) + " ";
    if (f == cancelAtFamily) {
      flags->keepGoingFlag = false;
      return EReportResult::Cancelled;
    }
    return EReportResult::Done;
  }
  bool CloseReport(int f) override {
    fake->log += "close" + std::to_string(f) + " ";
    return true;
  }
};

struct PlanCase {
  const char* name;
  int rawOn, sdsOn, mdsOn, rawSource;
  int cancelAt;
  int bannerFails;  // family whose banner fails, or -1
  int loadFails;    // block whose load fails, or -1
  const char* expected;
};

TEST(ClassicRun, BlockPlan) {
  const PlanCase cases[] = {
      {"raw own + sds: two loads", 1, 1, 0, 0, -1, -1, -1,
       "load0 516 open0 w0.0/0 w0.1/0 close0 517 load1 518 open1 w1.0/1 w1.1/1 close1 519 "},
      {"raw from sds selection, sds off: one load, raw only", 1, 0, 0, 1, -1, -1, -1,
       "load1 516 open0 w0.0/1 w0.1/1 close0 517 "},
      {"raw from sds selection shares the load with sds", 1, 1, 0, 1, -1, -1, -1,
       "load1 516 open0 w0.0/1 w0.1/1 close0 517 518 open1 w1.0/1 w1.1/1 close1 519 "},
      {"cancel in raw: the report is given up, sds and mds skipped", 1, 1, 1, 1, CF_RAW, -1, -1,
       "load1 516 open0 w0.0/1 524 "},
      {"banner fails: no writers, no done id, later blocks run", 1, 0, 1, 0, -1, CF_RAW, -1,
       "load0 516 open0 load2s 520 open2 w2.0/2 w2.1/2 close2 521 "},
      {"failed load (cancelled or out of memory): the run ends", 1, 0, 1, 0, -1, -1, CB_RAW, "load0 "},
      {"mds only", 0, 0, 1, 0, -1, -1, -1, "load2s 520 open2 w2.0/2 w2.1/2 close2 521 "},
      {"sds and mds: the single-day days go before the multi-day load", 0, 1, 1, 0, -1, -1, -1,
       "load1 518 open1 w1.0/1 w1.1/1 close1 519 load2s 520 open2 w2.0/2 w2.1/2 close2 521 "},
  };
  for (const PlanCase& c : cases) {
    ClassicRunSnapshot snap;
    snap.rawOn = c.rawOn;
    snap.sdsOn = c.sdsOn;
    snap.mdsOn = c.mdsOn;
    snap.rawSource = c.rawSource;
    FakePort port;
    if (c.loadFails >= 0) port.loadOk[c.loadFails] = false;
    CClassicRunFlags flags;
    PlanRun run(snap, port, flags);
    run.flags = &flags;
    run.fake = &port;
    run.cancelAtFamily = c.cancelAt;
    if (c.bannerFails >= 0) run.bannerOk[c.bannerFails] = false;
    run.Run();
    EXPECT_EQ(port.log, c.expected) << c.name;
  }
}

TEST(ClassicRun, BannerBytes) {
  COleDateTime t(2003, 1, 5, 14, 3, 9);
  EXPECT_EQ(FormatReportBanner("R.DAT", t, 1),
            "***********************************\nFilename: R.DAT\n\nCreation Date: 01/05/03 (Sun)\n"
            "Creation Time: 14:03:09\n    File Type: SPREADSHEET\n***********************************\n\n\n");
  EXPECT_NE(FormatReportBanner("R.DAT", t, 0).find("    File Type: TEXT\n"), std::string::npos);
}

class FixedTimeRun : public CClassicRun {
 public:
  using CClassicRun::CClassicRun;
  int draws[3] = {7, 7, 8};
  int next = 0;

 protected:
  COleDateTime Now() const override { return COleDateTime(2003, 1, 5, 14, 3, 9); }
  int DrawNumber() override { return draws[next++ % 3]; }
};

class ClassicRunFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::path(::testing::TempDir()) / ("classic_run_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "tmp");
    const char* old = std::getenv("TMPDIR");
    oldTmp = old ? old : "";
    setenv("TMPDIR", (dir / "tmp").c_str(), 1);
  }
  void TearDown() override {
    if (oldTmp.empty()) unsetenv("TMPDIR"); else setenv("TMPDIR", oldTmp.c_str(), 1);
    fs::remove_all(dir);
  }
  fs::path dir;
  std::string oldTmp;
};

TEST_F(ClassicRunFiles, MissingFolderIsCreatedAndBannerHasCrLf) {
  ClassicRunSnapshot snap;
  snap.mdsOn = 1;
  snap.folder[CF_MDS] = (dir / "new").string() + "/";
  snap.name[CF_MDS] = "M.MDS";
  FakePort port;
  port.noData = true;
  CClassicRunFlags flags;
  // A run whose data objects hold no days writes the banner only.
  FixedTimeRun run(snap, port, flags);
  run.Run();
  std::string bytes = ReadBytes((dir / "new" / "M.MDS").string());
  EXPECT_EQ(bytes.substr(0, 37), "***********************************\r\n");
  EXPECT_NE(bytes.find("Filename: M.MDS\r\n\r\nCreation Date: 01/05/03 (Sun)\r\n"), std::string::npos);
  EXPECT_EQ(run.reportPath[CF_MDS], snap.folder[CF_MDS] + "M.MDS");
  EXPECT_EQ(port.log.find("513"), std::string::npos);
  EXPECT_NE(port.log.find("521"), std::string::npos);
}

TEST_F(ClassicRunFiles, UncreatableFolderFallsBackWithoutOverwriting) {
  std::ofstream(dir / "plain") << "x";
  std::ofstream(dir / "tmp" / "7R.DAT") << "keep";
  // A folder that cannot be made, and one without a root (no home folder to take the name in):
  // never the folder the program was started from.
  for (const std::string& folder : {(dir / "plain" / "sub").string() + "/", std::string()}) {
    SCOPED_TRACE(folder);
    ClassicRunSnapshot snap;
    snap.rawOn = 1;
    snap.folder[CF_RAW] = folder;
    snap.name[CF_RAW] = "R.DAT";
    FakePort port;
    port.noData = true;
    CClassicRunFlags flags;
    FixedTimeRun run(snap, port, flags);
    run.Run();
    std::string fallback = (dir / "tmp").string() + "/8R.DAT";
    EXPECT_EQ(run.reportPath[CF_RAW], fallback);
    EXPECT_EQ(ReadBytes((dir / "tmp" / "7R.DAT").string()), "keep");
    EXPECT_NE(ReadBytes(fallback).find("Filename: 8R.DAT\r\n"), std::string::npos);
    EXPECT_EQ(port.log, "load0 516 502 513(R.DAT) 514(" + fallback + ") 517 ");
    EXPECT_FALSE(fs::exists("R.DAT"));
    fs::remove(fallback);
  }
}

TEST_F(ClassicRunFiles, NoTemporaryFolderMeansNoReport) {
  ClassicRunSnapshot snap;
  snap.rawOn = 1;
  std::ofstream(dir / "plain") << "x";
  snap.folder[CF_RAW] = (dir / "plain" / "sub").string() + "/";
  snap.name[CF_RAW] = "R.DAT";
  setenv("TMPDIR", (dir / "plain" / "nothere").c_str(), 1);
  FakePort port;
  port.noData = true;
  CClassicRunFlags flags;
  FixedTimeRun run(snap, port, flags);
  run.Run();
  EXPECT_EQ(port.log.find("517"), std::string::npos) << port.log;
  EXPECT_TRUE(run.reportPath[CF_RAW].empty());
}

// Loops with a few empty days each: the raw listing writes every day's lines.
class LoopPort : public FakePort {
 public:
  CDBRoadway road{"I-5"};
  CDBCabinet cab{"005es16520", "ES-0165", 1234, "Station Rd", &road};
  CDBElementEx elem{"_MS___1", ET_LOOP, &cab};
  bool Load(int block, const ValidityTables*, std::vector<std::unique_ptr<CElementData>>& out) override {
    log += "load" + std::to_string(block) + " ";
    for (int i = 0; i < 3; ++i) out.push_back(std::make_unique<CLoopData>(4, &elem, i));
    return true;
  }
};

TEST_F(ClassicRunFiles, AReportWhoseWritingFailsIsTakenAwayAndNamed) {
  std::vector<std::unique_ptr<CDateTimeEx>> days;
  for (int d = 1; d <= 4; ++d) days.push_back(std::make_unique<CDateTimeEx>(1994, 3, d));
  const std::string raw = (dir / "R.DAT").string();
  const std::string whole = [&] {
    ClassicRunSnapshot snap;
    snap.rawOn = 1;
    snap.folder[CF_RAW] = dir.string() + "/";
    snap.name[CF_RAW] = "R.DAT";
    for (auto& d : days) snap.rawDates.push_back(d.get());
    LoopPort port;
    CClassicRunFlags flags;
    FixedTimeRun(snap, port, flags).Run();
    return ReadBytes(raw);
  }();
  // Half way lies in the listing, past the banner.
  ASSERT_GT(whole.size() / 2, FormatReportBanner("R.DAT", COleDateTime(2003, 1, 5, 14, 3, 9), 0).size() + 9);
  fs::remove(raw);

  // The new report is written beside the name and takes it only when whole: an earlier report of
  // that name, or the file a link there leads to, stays as it was, and nothing is left beside it.
  enum Name { Plain, Earlier, LinkToFile, Device };
  const struct {
    const char* what;
    int64_t budget;
    bool closeFails;
    Name name;
    EDiscarded left;
  } cases[] = {
      {"full from the start", 0, false, Plain, EDiscarded::Removed},
      {"full half way, over an earlier report", static_cast<int64_t>(whole.size() / 2), false, Earlier,
       EDiscarded::Removed},
      {"close fails, over an earlier report", -1, true, Earlier, EDiscarded::Removed},
      {"name links to a file", static_cast<int64_t>(whole.size() / 2), false, LinkToFile, EDiscarded::Removed},
      {"name is a device that is always full", -1, false, Device, EDiscarded::Kept},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(dir / "sds");
    fs::remove(raw);
    fs::remove(dir / "target");
    if (c.name == Earlier) std::ofstream(raw) << "an older report";
    if (c.name == LinkToFile) {
      std::ofstream(dir / "target") << "an older report";
      fs::create_symlink(dir / "target", raw);
    }
    // The node of a device whose writes fail for want of space; only root may make one.
    if (c.name == Device) {
      if (::mknod(raw.c_str(), S_IFCHR | 0600, makedev(1, 7)) != 0) continue;
      const int fd = ::open(raw.c_str(), O_WRONLY);  // a folder on a mount without devices refuses it
      if (fd < 0) continue;
      ::close(fd);
    }
    ClassicRunSnapshot snap;
    snap.rawOn = 1;
    snap.sdsOn = 1;
    snap.folder[CF_RAW] = dir.string() + "/";
    snap.name[CF_RAW] = "R.DAT";
    snap.folder[CF_SDS] = (dir / "sds").string() + "/";
    snap.name[CF_SDS] = "S.SDS";
    for (auto& d : days) snap.rawDates.push_back(d.get());
    LoopPort port;
    CClassicRunFlags flags;
    CFillingFile file;
    file.budget = c.budget;
    file.closeFails = c.closeFails;
    FixedTimeRun run(snap, port, flags, &file);
    run.Run();
    // No done id for the raw report: it is named with the reason; the summaries are still written.
    EXPECT_EQ(port.log, "load0 516 523(" + raw + ") load1 518 519 ");
    auto failed = std::find_if(port.posts.begin(), port.posts.end(), [](auto& p) { return p.id == RID_WRITE_FAILED; });
    ASSERT_NE(failed, port.posts.end());
    EXPECT_EQ(failed->number, ERROR_DISK_FULL);
    EXPECT_EQ(failed->left, c.left);
    EXPECT_TRUE(run.reportPath[CF_RAW].empty());
    EXPECT_EQ(run.reportPath[CF_SDS], snap.folder[CF_SDS] + "S.SDS");
    EXPECT_TRUE(fs::exists(dir / "sds" / "S.SDS"));
    switch (c.name) {
      case Plain: EXPECT_FALSE(fs::exists(fs::symlink_status(raw))); break;
      case Earlier: EXPECT_EQ(ReadBytes(raw), "an older report"); break;
      case LinkToFile:
        EXPECT_TRUE(fs::is_symlink(raw));
        EXPECT_EQ(ReadBytes((dir / "target").string()), "an older report");
        break;
      case Device: EXPECT_TRUE(fs::is_character_file(raw)); break;
    }
    for (const auto& e : fs::directory_iterator(dir))
      EXPECT_TRUE(e.path() == raw || e.path() == dir / "sds" || e.path() == dir / "target" || e.path() == dir / "tmp")
          << e.path();
    fs::remove(raw);
  }
}

}  // namespace
