// Reports written while memory runs short: every report of both views is either written whole and
// called done, or refused with ERROR_NOT_ENOUGH_MEMORY and its file taken away; never kept short.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/classic/classic_run.h"
#include "app/newview/new_run.h"
#include "app/newview/newview_fixture.h"
#include "app/shell/filling_file.h"
#include "app/shell/worker_ids.h"
#include "containers/mem_mgr.h"
#include "platform/base/errors.h"
#include "trafficdata/date_time_ex.h"
#include "trafficdata/db_element.h"
#include "trafficdata/loop_data.h"

namespace {

namespace fs = std::filesystem;

constexpr int kLoops = 10;
constexpr int kDays = 4;

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Ten loops over four days of 20-second data, the values varying so that no two lines agree.
std::unique_ptr<CLoopData> FineLoop(CDBElementEx* elem, int ordinal) {
  auto data = std::make_unique<CLoopData>(kDays, elem, ordinal);
  for (int d = 0; d < kDays; ++d) {
    std::vector<unsigned char> b;
    for (int i = 0; i < 4320; ++i) {
      const int occ = (i * 7 + d * 13 + ordinal * 31) % 300, vol = (i + d + ordinal) % 20;
      b.push_back(static_cast<unsigned char>(0x08 | occ >> 8));
      b.push_back(static_cast<unsigned char>(occ & 0xFF));
      b.push_back(static_cast<unsigned char>(vol));
    }
    data->LoopDay(d)->Load(b.data(), static_cast<int>(b.size()), 4320);
  }
  return data;
}

// Allocations above `limit` bytes fail between Begin and End (the report's writing), on every
// thread; -1 leaves memory alone.
struct SShortMemory {
  long limit = -1;
  bool on = false;
  void Begin() {
    if (limit < 0 || on) return;
    on = true;
    CScalarMemMgr::SetProcessFailAbove(limit);
  }
  void End() {
    if (!on) return;
    on = false;
    CScalarMemMgr::SetProcessFailAbove(-1);
  }
};

class Port : public ClassicRunPort {
 public:
  explicit Port(SShortMemory& m) : memory(m) {}
  std::vector<CDBElementEx*> elements;
  bool Load(int, const ValidityTables*, std::vector<std::unique_ptr<CElementData>>& out) override {
    for (int i = 0; i < kLoops; ++i) out.push_back(FineLoop(elements[static_cast<size_t>(i)], i));
    return true;
  }
  void Post(const ClassicPost& p) override {
    memory.End();
    posts.push_back(p);
  }
  void SetWaitCursor(bool) override { memory.End(); }
  void ReportOpened(int, const std::string&) override { memory.Begin(); }  // the banner is written
  SShortMemory& memory;
  std::vector<ClassicPost> posts;
};

class FixedRun : public CClassicRun {
 public:
  using CClassicRun::CClassicRun;

 protected:
  COleDateTime Now() const override { return COleDateTime(2003, 1, 5, 14, 3, 9); }
};

class Recorder : public IReportFileStatus {
 public:
  explicit Recorder(SShortMemory& m) : memory(m) {}
  void PostWin32Error(DWORD e) override {
    memory.End();
    lines.push_back("502:" + std::to_string(e));
  }
  void PostOutFileError(const std::string&) override { lines.push_back("513"); }
  void PostOutputTo(const std::string&) override { lines.push_back("514"); }
  void PostWriteFailure(const std::string&, DWORD error, EDiscarded) override {
    memory.End();
    lines.push_back("523:" + std::to_string(error));
  }
  SShortMemory& memory;
  std::vector<std::string> lines;
};

enum EKind { Raw, Single, Multi, NewView };

struct SOutcome {
  bool done = false;              // the done id was posted
  std::vector<std::string> told;  // failure lines
  bool exists = false;            // a file is left under the report's name
  std::string bytes;              // what it holds
};

class ReportMemory : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::path(::testing::TempDir()) / ("report_memory_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (int i = 0; i < kLoops; ++i) {
      char name[8];
      std::snprintf(name, sizeof name, "LOOP%02dV", i);
      elems.push_back(std::make_unique<CDBElementEx>(name, ET_LOOP, &cab));
    }
    for (int d = 0; d < kDays; ++d) days.push_back(std::make_unique<CDateTimeEx>(1994, 1, 3 + d));
  }
  void TearDown() override {
    CScalarMemMgr::SetProcessFailAbove(-1);
    fs::remove_all(dir);
  }

  SOutcome RunClassic(EKind kind, long limit) {
    static const char* const kNames[CF_COUNT] = {"R.DAT", "S.SDS", "M.MDS"};
    const int family = kind == Raw ? CF_RAW : kind == Single ? CF_SDS : CF_MDS;
    ClassicRunSnapshot snap;
    (kind == Raw ? snap.rawOn : kind == Single ? snap.sdsOn : snap.mdsOn) = 1;
    snap.folder[family] = dir.string() + "/";
    snap.name[family] = kNames[family];
    for (auto& d : days) {
      snap.rawDates.push_back(d.get());
      snap.settings.singleDates.push_back(d.get());
      snap.settings.multiDates.push_back(d.get());
    }
    snap.settings.months = {0};
    snap.settings.monthlyWeekdays = {1, 2, 3, 4};
    snap.settings.yearlyWeekdays = {1, 2};
    snap.settings.averages = true;
    SShortMemory memory{limit};
    Port port(memory);
    for (auto& e : elems) port.elements.push_back(e.get());
    CClassicRunFlags flags;
    CFillingFile file;
    FixedRun(snap, port, flags, &file).Run();
    memory.End();
    SOutcome o;
    for (const ClassicPost& p : port.posts) {
      if (p.id == DoneId(family)) o.done = true;
      else if (p.id == RID_WRITE_FAILED || p.id == RID_ERROR)
        o.told.push_back(std::to_string(p.id) + ":" + std::to_string(p.number));
    }
    const std::string path = snap.folder[family] + snap.name[family];
    o.exists = fs::exists(path);
    if (o.exists) o.bytes = ReadBytes(path);
    fs::remove(path);
    return o;
  }

  SOutcome RunNew(long limit) {
    using namespace newview_test;
    CNewReportModel m;
    std::vector<CDateTimeEx> dates;
    for (auto& d : days) dates.push_back(*d);
    SetDates(m, dates);
    for (auto& e : elems) AddElement(m, "005es00100", e->name, ET_LOOP);
    m.m_bContent[CC_VOLUME] = m.m_bContent[CC_OCCUPANCY] = 1;
    m.m_nPeriodLen = 15;
    const std::string path = (dir / "n.txt").string();
    m.m_strOutputPath = path;
    m.GroupSelectedDates();
    m.CountElementsPerKind();
    m.CountContentPerKind();
    m.PeriodsPerDay();
    m.MoveToList(GK_DATE, m.m_lstCols, m.m_lstRows, nullptr);
    m.MoveToList(GK_ELEMENT, m.m_lstRows, m.m_lstCols, nullptr);
    m.RecomputeReportLayout();

    SShortMemory memory{limit};
    CRunFlags flags;
    Recorder status(memory);
    CFillingFile file;
    file.afterWrite = [&](int, int64_t) { memory.Begin(); };  // the header is written
    std::string written;
    SOutcome o;
    SNewRunHost host;
    host.run = &flags;
    host.fileStatus = &status;
    host.post = [&](UINT id) {
      if (id == ID_WORKER_REPORTS_DONE) o.done = true;
      if (id != ID_WORKER_OUTPUTTING) memory.End();
    };
    host.waitCursor = [&](bool) { memory.End(); };
    host.now = [] { return COleDateTime(2004, 1, 2, 3, 4, 5); };
    host.written = &written;
    host.load = [&](std::vector<std::unique_ptr<CElementData>>& data, SRowsWhileLoading*) {
      for (int i = 0; i < m.m_arrElements.m_nSize; ++i) data.push_back(FineLoop(m.m_arrElements.m_pData[i], i));
      return true;
    };
    CNewReportRun(m, host, file).Run();
    memory.End();
    o.told = status.lines;
    o.exists = fs::exists(path);
    if (o.exists) o.bytes = ReadBytes(path);
    fs::remove(path);
    return o;
  }

  SOutcome RunKind(EKind kind, long limit) { return kind == NewView ? RunNew(limit) : RunClassic(kind, limit); }

  fs::path dir;
  CDBRoadway road{"I-5"};
  CDBCabinet cab{"005es16520", "ES-0165", 1234, "Station Rd", &road};
  std::vector<std::unique_ptr<CDBElementEx>> elems;
  std::vector<std::unique_ptr<CDateTimeEx>> days;
};

// Limits on each side of the blocks a day's text and the writers' buffers grow through, up to
// more than any of them takes. The smallest leaves room for the few bytes that tell of a refusal.
TEST_F(ReportMemory, AReportIsWrittenWholeOrRefusedWithNotEnoughMemory) {
  const struct {
    const char* what;
    EKind kind;
    const char* told;  // the line of a refused report
  } cases[] = {
      {"raw listing", Raw, "523:8"},
      {"single-day summaries", Single, "523:8"},
      {"multi-day summaries", Multi, "523:8"},
      {"New view report", NewView, "523:8"},
  };
  std::vector<long> limits;
  for (long b = 120; b < (4L << 20); b = 2 * b + 8) {
    limits.push_back(b - 1);
    limits.push_back(b + b / 2);
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const SOutcome whole = RunKind(c.kind, -1);
    ASSERT_TRUE(whole.done);
    ASSERT_TRUE(whole.told.empty());
    ASSERT_GT(whole.bytes.size(), 2000u);
    int wholes = 0, refusals = 0;
    for (long limit : limits) {
      SCOPED_TRACE(limit);
      const SOutcome o = RunKind(c.kind, limit);
      if (o.done) {
        ++wholes;
        EXPECT_TRUE(o.told.empty());
        EXPECT_TRUE(o.bytes == whole.bytes) << o.bytes.size() << " of " << whole.bytes.size() << " bytes";
      } else {
        ++refusals;
        EXPECT_EQ(o.told, std::vector<std::string>{c.told});
        EXPECT_FALSE(o.exists) << o.bytes.size() << " of " << whole.bytes.size() << " bytes left";
      }
    }
    // The sweep reaches both ends: reports refused and reports written whole.
    EXPECT_GT(wholes, 0);
    EXPECT_GT(refusals, 0);
  }
}

}  // namespace

