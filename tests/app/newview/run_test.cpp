// The New view's run without a window: the merge sort's tie order, the pre-run checks, and a
// whole run over element data that emits known rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <chrono>
#include <cstdlib>
#include <atomic>
#include <climits>
#include <fstream>
#include <functional>
#include <new>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/newview/new_run.h"
#include "app/newview/newview_fixture.h"
#include "app/shell/filling_file.h"
#include "app/shell/input_loader.h"
#include "app/shell/worker_ids.h"
#include "support/wait_estimator.h"
#include "trafficdata/element_data.h"
#include "trafficdata/view_settings.h"

namespace {

using newview_test::AddElement;
using newview_test::Keys;
using newview_test::SetDates;

TEST(NewSortTest, EqualRowsTakeTheRightHalfFirst) {
  // Rows keyed by content code only; the value tells them apart. Hand-worked on five rows
  // [a1 b1 a2 c1 b2] with a < b < c:
  //   sort 0..4: mid 1 -> sort 0..1 (mid 0: merge [a1][b1] -> a1 b1)
  //              sort 2..4: mid 2 -> sort 3..4 (mid 3: [c1][b2] -> b2 c1); merge [a2][b2 c1] -> a2 b2 c1
  //   merge [a1 b1][a2 b2 c1]: a1<a2? no -> a2; a1<b2 -> a1; b1<b2? no -> b2; b1 -> b1; c1
  // Result a2 a1 b2 b1 c1 after four merges.
  CDBElementEx e("LOOP01V", ET_LOOP, nullptr);
  int codes[5] = {0, 1, 0, 2, 1};
  std::vector<CDBRecord> rows;
  for (int i = 0; i < 5; ++i) rows.emplace_back(&e, 0, 2003, 1, 1, 0, 0, 0, 1, 4, codes[i], i);
  std::vector<CDBRecord*> p;
  for (auto& r : rows) p.push_back(&r);
  CGrpType key(GK_CONTENT);
  const CGrpType* keys[] = {&key};
  CRecordOrder order(keys, 1);
  CSortKeyScope scope(order);
  uint32_t merges = 0;
  SortRecords(p.data(), 0, 4, &merges);
  std::vector<int> values;
  for (auto* r : p) values.push_back(r->word[RW_VALUE]);
  EXPECT_EQ(values, (std::vector<int>{2, 0, 4, 1, 3}));
  EXPECT_EQ(merges, 4u);
  key.ascending = false;
  SortRecords(p.data(), 0, 4, &merges);
  values.clear();
  for (auto* r : p) values.push_back(r->word[RW_CONTENT]);
  EXPECT_EQ(values, (std::vector<int>{2, 1, 1, 0, 0}));
}

// The sort as rows compared by their own operator<, the reference for the packed-key sort.
void ReferenceMerge(CDBRecord** rows, int first, int last, uint32_t* merges) {
  if (last - first + 1 < 2) return;
  int mid = (first + last - 1) / 2;
  ReferenceMerge(rows, first, mid, merges);
  ReferenceMerge(rows, mid + 1, last, merges);
  std::vector<CDBRecord*> out;
  int i = first, j = mid + 1;
  while (i <= mid && j <= last) out.push_back(*rows[i] < *rows[j] ? rows[i++] : rows[j++]);
  while (i <= mid) out.push_back(rows[i++]);
  while (j <= last) out.push_back(rows[j++]);
  std::copy(out.begin(), out.end(), rows + first);
  ++*merges;
}

TEST(NewSortTest, PackedKeysGiveTheOrderOfTheRowComparison) {
  // Few distinct values per word and elements that share cabinets, locations, mileposts and
  // roadways make many rows equal under the keys, so the tie order is what is tested.
  CDBRoadway roads[2] = {CDBRoadway("I-5"), CDBRoadway("SR 520")};
  CDBCabinet cabs[3] = {CDBCabinet("005es00100", "", 1250, "Pinecrest", &roads[0]),
                        CDBCabinet("005es00200", "", 1250, "pinecrest", &roads[1]),
                        CDBCabinet("520es00300", "", 310, "Larkfield", &roads[1])};
  CDBElementEx elems[5] = {CDBElementEx("LOOP01V", ET_LOOP, &cabs[0]), CDBElementEx("LOOP02V", ET_LOOP, &cabs[0]),
                           CDBElementEx("TRAP01", ET_SPEED_TRAP, &cabs[1]),
                           CDBElementEx("STN01", ET_STATION, &cabs[2]), CDBElementEx("LOOP01V", ET_LOOP, &cabs[2])};
  struct Case {
    std::vector<int> keys;  // key ids; negative: ~id descending
    int rows;
    bool wide = false;  // every word spread over millions: keys of two, three and more words
  };
  const Case cases[] = {
      {{GK_CONTENT}, 2},
      {{GK_CONTENT}, 17},
      {{~GK_TIME, GK_CONTENT}, 40},
      {{GK_TIME, GK_CONTENT, GK_ELEMENT, GK_DATE}, 97},
      {{GK_LOCATION, ~GK_MILEPOST}, 64},
      {{~GK_LOCATION, GK_ROADWAY, GK_DIRECTION}, 75},
      {{GK_ELEMENT_TYPE, ~GK_CABINET, GK_WEEK, GK_DAY_OF_WEEK}, 120},
      {{~GK_YEAR, GK_MONTH, ~GK_ELEMENT}, 33},
      {{}, 9},
      {{GK_CONTENT, GK_TIME, GK_DATE, GK_DAY_OF_WEEK, GK_WEEK, GK_MONTH, GK_YEAR, GK_ELEMENT, GK_ELEMENT_TYPE,
        GK_DIRECTION, GK_CABINET, GK_LOCATION, GK_MILEPOST, GK_ROADWAY},
       150},
      {{~GK_TIME, GK_CONTENT}, 80, true},
      {{GK_TIME, ~GK_DATE}, 80, true},
      {{GK_CONTENT, GK_TIME, GK_DATE, GK_DAY_OF_WEEK, GK_WEEK, GK_ELEMENT, GK_LOCATION}, 120, true},
  };
  unsigned seed = 12345;
  auto next = [&seed](int n) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 16) % static_cast<unsigned>(n));
  };
  for (const Case& c : cases) {
    std::vector<CGrpType> keys;
    for (int k : c.keys) keys.emplace_back(k < 0 ? ~k : k, k >= 0);
    std::vector<const CGrpType*> list;
    for (auto& k : keys) list.push_back(&k);
    CRecordOrder order(list.data(), static_cast<int>(list.size()));
    CSortKeyScope scope(order);
    std::vector<CDBRecord> rows;
    for (int i = 0; i < c.rows; ++i) {
      // Words spread over negatives and large numbers in one case in five.
      int wide = next(5) == 0 ? 1000000 : 1;
      auto w = [&](int base, int n) { return c.wide ? next(3) * 1000003 - 1000003 : base + next(n); };
      rows.emplace_back(next(6) == 0 ? nullptr : &elems[next(5)], i, w(2003, 2), w(1, 2), w(1, 3), w(0, 2), w(0, 2) * 5,
                        w(0, 1), next(3) * wide - wide, w(1, 2), w(0, 3), i);
    }
    // The rows lie between two places that the sort of positions 1..rows must leave alone.
    std::vector<CDBRecord*> expected{nullptr}, actual;
    for (auto& r : rows) expected.push_back(&r);
    expected.push_back(nullptr);
    actual = expected;
    uint32_t wantMerges = 0, merges = 0;
    ReferenceMerge(expected.data(), 1, c.rows, &wantMerges);
    EXPECT_EQ(SortRecords(actual.data(), 1, c.rows, &merges), ESortResult::Sorted);
    EXPECT_EQ(actual, expected) << "keys " << c.keys.size() << ", rows " << c.rows;
    EXPECT_EQ(merges, wantMerges);
  }
}

TEST(NewSortTest, ClearedKeepGoingStopsTheSort) {
  // The flag clears at the n-th look; the sort returns at once with most merges undone.
  class CClearsAt : public RunControl {
   public:
    explicit CClearsAt(int n) : m_left(n) {}
    bool keepGoing() const override {
      m_seen.push_back(m_progress);
      return --m_left > 0;
    }
    void addProgress(uint32_t n) override { m_progress += n; }
    mutable int m_left;
    uint64_t m_progress = 0;
    mutable std::vector<uint64_t> m_seen;  // the progress at each look
  };
  CDBElementEx e("LOOP01V", ET_LOOP, nullptr);
  const int n = 300000;
  std::vector<CDBRecord> rows;
  rows.reserve(n);
  for (int i = 0; i < n; ++i) {
    int spread = static_cast<int>((i * 7919LL) % 1000);
    int big = spread * 1000003;  // 30 bits of spread a word
    rows.emplace_back(&e, 0, big, big + 1, big + 2, big + 3, big + 4, big + 5, big + 6, 4, spread, i);
  }
  CGrpType key(GK_CONTENT);
  const CGrpType* keys[] = {&key};
  CRecordOrder order(keys, 1);
  // Seven words of 30 bits make keys of four words: the rows' own comparison sorts them.
  CGrpType wideKeys[4] = {CGrpType(GK_DATE), CGrpType(GK_TIME), CGrpType(GK_WEEK), CGrpType(GK_CONTENT)};
  const CGrpType* wideList[] = {&wideKeys[0], &wideKeys[1], &wideKeys[2], &wideKeys[3]};
  CRecordOrder wide(wideList, 4);
  for (const CRecordOrder* o : {&order, &wide}) {
    CSortKeyScope scope(*o);
    for (int at : {1, 2, 5, 9}) {
      std::vector<CDBRecord*> p;
      for (auto& r : rows) p.push_back(&r);
      const std::vector<CDBRecord*> before = p;
      CClearsAt run(at);
      uint32_t merges = 0;
      EXPECT_EQ(SortRecords(p.data(), 0, n - 1, &merges, &run), ESortResult::Cancelled) << at;
      EXPECT_LT(merges, static_cast<uint32_t>(n - 1)) << at;
      EXPECT_EQ(run.m_left, 0) << "looked again after the flag cleared, at " << at;
      EXPECT_TRUE(p == before) << "a cancelled sort leaves the rows as they were, at " << at;
    }
  }
  CSortKeyScope scope(order);
  // A flag that stays set sorts all.
  std::vector<CDBRecord*> p;
  for (auto& r : rows) p.push_back(&r);
  CClearsAt never(1 << 30);
  uint32_t merges = 0;
  EXPECT_EQ(SortRecords(p.data(), 0, n - 1, &merges, &never), ESortResult::Sorted);
  EXPECT_EQ(merges, static_cast<uint32_t>(n - 1));
  EXPECT_TRUE(std::is_sorted(p.begin(), p.end(), [](auto* a, auto* b) { return *a < *b; }));
  // Its progress comes as it goes, not all at the end, and adds up to the units of its key scans,
  // its packing and its merges.
  EXPECT_EQ(never.m_progress, static_cast<uint64_t>(n) * (2 * kProgressSortKeyScan + kProgressSortKeyPack) +
                                  static_cast<uint64_t>(n - 1) * kProgressSortMerge);
  EXPECT_TRUE(std::any_of(never.m_seen.begin(), never.m_seen.end(),
                          [&](uint64_t seen) { return seen > never.m_progress / 4 && seen < never.m_progress * 3 / 4; }));
  // The last two rows of long merges come one from each half: the largest row first in the left
  // half, the next largest last in the right.
  const int m = 1 << 17;
  std::vector<CDBRecord> ends;
  ends.reserve(m);
  for (int i = 0; i < m; ++i) ends.emplace_back(&e, 0, 0, 1, 2, 3, 4, 5, 6, 4, i == 0 ? m : i, i);
  std::vector<CDBRecord*> q;
  for (auto& r : ends) q.push_back(&r);
  CClearsAt few(1000);
  EXPECT_EQ(SortRecords(q.data(), 0, m - 1, &merges, &few), ESortResult::Sorted);
  EXPECT_EQ(q.back(), &ends[0]);
}

TEST(NewSortTest, CancelFromAnotherThreadStopsTheSortWithinASecond) {
  // The wait dialog's Cancel clears the flag on the user-interface thread while the worker sorts.
  class CWatched : public RunControl {
   public:
    bool keepGoing() const override {
      looks.fetch_add(1);
      return flags.keepGoing();
    }
    void addProgress(uint32_t) override {}
    CRunFlags flags;
    mutable std::atomic<int> looks{0};
  };
  const int n = 1 << 20;
  std::vector<CDBElementEx> elems;
  for (int i = 0; i < 64; ++i) elems.emplace_back(("LOOP" + std::to_string(i)).c_str(), ET_LOOP, nullptr);
  std::vector<CDBRecord> rows;
  rows.reserve(n);
  for (int i = 0; i < n; ++i)
    rows.emplace_back(&elems[static_cast<size_t>(i % 64)], 0, 2003, 1 + i % 12, 1 + i % 28, i % 24, 0, 0, 1, 4, 0, i);
  std::vector<CDBRecord*> p;
  for (auto& r : rows) p.push_back(&r);
  CGrpType keys[3] = {CGrpType(GK_TIME), CGrpType(GK_ELEMENT), CGrpType(GK_DATE, false)};
  const CGrpType* list[] = {&keys[0], &keys[1], &keys[2]};
  CRecordOrder order(list, 3);
  CSortKeyScope scope(order);
  CWatched run;
  std::chrono::steady_clock::time_point cancelled;
  std::thread ui([&] {
    // Past the keys' looks (about 33 for these rows), among the merges'.
    while (run.looks.load() < 60) std::this_thread::yield();
    cancelled = std::chrono::steady_clock::now();
    run.flags.cancel();
  });
  uint32_t merges = 0;
  ESortResult result = SortRecords(p.data(), 0, n - 1, &merges, &run);
  auto returned = std::chrono::steady_clock::now();
  ui.join();
  EXPECT_EQ(result, ESortResult::Cancelled);
  EXPECT_LT(merges, static_cast<uint32_t>(n - 1));
  EXPECT_LT(std::chrono::duration<double>(returned - cancelled).count(), 1.0);
}

TEST(NewRunChecksTest, ChecksComeInOrderAndTheWarningAbove256) {
  CNewReportModel m;
  EXPECT_STREQ(PreRunFailure(m), "No dates selected for output");
  SetDates(m, {{2003, 1, 6}});
  EXPECT_STREQ(PreRunFailure(m), "No elements selected for output");
  AddElement(m, "005es00100", "LOOP01V", ET_LOOP);
  for (const char* unnamed : {"", "/tmp/reports/", "C:\\REPORTS\\", "out/ "}) {
    m.m_strOutputPath = unnamed;
    EXPECT_STREQ(PreRunFailure(m), "No filename designated for output") << unnamed;
  }
  m.m_strOutputPath = "r.txt";
  m.CountElementsPerKind();
  m.m_bContent[CC_SPEED] = 1;  // no speed trap selected
  m.CountContentPerKind();
  m.RecomputeReportLayout();
  EXPECT_STREQ(PreRunFailure(m), "No data content for output");
  m.m_bContent[CC_VOLUME] = 1;
  m.CountContentPerKind();
  m.RecomputeReportLayout();
  EXPECT_STREQ(PreRunFailure(m), "No columns selected for reports");
  m.MoveToList(GK_TIME, m.m_lstCols, m.m_lstRows, nullptr);
  EXPECT_STREQ(PreRunFailure(m), "No rows selected for reports");
  m.MoveToList(GK_ELEMENT, m.m_lstRows, m.m_lstCols, nullptr);
  EXPECT_EQ(PreRunFailure(m), nullptr);
  EXPECT_EQ(ColumnWarningQuestion(257),
            "The maximum recommended number of report columns [256] has been exceeded [257] [See Cols (Hi) in "
            "Report Structure]. Do you wish to CONTINUE?");
}

TEST(NewRunChecksTest, ProgressRangeDoesNotWrap) {
  CNewReportModel m;
  std::vector<CDateTimeEx> dates;
  for (int i = 0; i < 2000; ++i) dates.push_back(CDateTimeEx(COleDateTime(37000.0 + i)));
  SetDates(m, dates);
  for (int i = 0; i < 1000; ++i) AddElement(m, "005es00100", ("L" + std::to_string(100000 + i)).c_str(), ET_LOOP);
  m.GroupSelectedDates();
  m.PeriodsPerDay();
  // Two million element-days of 4320 periods: far beyond an int, counted in full; the wait
  // dialog's scale brings it into the bar.
  const int64_t range = RunProgressRange(m);
  const double speedup = LoadSpeedup(int64_t{1000} * 2000);
  EXPECT_EQ(range, int64_t{1000} * 2000 * LoadDayUnits(speedup, false, false) +
                       static_cast<int64_t>(1000.0 * 2000 * (kProgressRowDay + 4320 * kProgressRowSlot) / speedup + 0.5));
  EXPECT_LE(range / CWaitEstimator::ScaleDivisor(range), INT_MAX);
}

// Element data that emits one row per date group, period and checked content item, with a
// value that names the element, group and period.
class CFakeData : public CElementData {
 public:
  CFakeData(CDBElementEx* e, int ordinal, int days, bool full = false) : CElementData(days, e, ordinal), full_(full) {}
  bool BuildPeriodRecords(CDBRecordset& rs, const NewSettings& s, RunControl& run) override {
    if (full_) return false;  // as when no row can be stored
    int ppd = (4320 + s.periodLen - 1) / s.periodLen;
    for (size_t g = 0; g < s.groups.size(); ++g) {
      const CDateTimeEx& d = *s.dates[static_cast<size_t>(s.groups[g][0])];
      for (int p = 0; p < ppd; ++p) {
        int start = p * s.periodLen;
        for (int c = 0; c < CC_COUNT; ++c) {
          if (!s.content[static_cast<size_t>(c)]) continue;
          CDBRecord r(element, ordinal, d.GetYear(), d.GetMonth(), d.GetDay(), start / 180, (start % 180) / 3,
                      (start % 3) * 20, 1, d.GetDayOfWeek(), c, ordinal * 1000 + static_cast<int>(g) * 10 + p);
          if (!rs.AddRecord(r)) return false;
        }
      }
      run.addProgress(1);
    }
    return true;
  }

 private:
  bool full_;
};

class Recorder : public IReportFileStatus {
 public:
  std::vector<std::string> lines;
  void PostWin32Error(DWORD) override { lines.push_back("502"); }
  void PostOutFileError(const std::string&) override { lines.push_back("513"); }
  void PostOutputTo(const std::string&) override { lines.push_back("514"); }
  void PostWriteFailure(const std::string& written, DWORD error, EDiscarded l) override {
    lines.push_back("523");
    failed = written;
    failure = error;
    left = l;
  }
  std::string failed;
  DWORD failure = 0;
  EDiscarded left = EDiscarded::Kept;
};

// One run of the model over fake element data, with what it posted.
struct SFakeRun {
  CRunFlags flags;
  Recorder status;
  std::vector<UINT> ids;
  UINT cancelAt = 0;  // the user cancels when the worker posts this
  CFillingFile file;
  std::string written;  // the view's name of the file written
  std::function<void()> atLoad;  // called as the load starts
  bool fileOpenAtOutputting = false;  // the report's file was open when 512 was posted
  void Run(CNewReportModel& m, bool cancelWhileLoading = false, bool rowsDoNotFit = false) {
    SNewRunHost host;
    host.run = &flags;
    host.fileStatus = &status;
    host.post = [&](UINT id) {
      ids.push_back(id);
      if (id == ID_WORKER_OUTPUTTING) fileOpenAtOutputting = file.IsOpen();
      if (id == cancelAt) flags.cancel();
    };
    host.now = [] { return COleDateTime(2004, 1, 2, 3, 4, 5); };
    host.written = &written;
    host.load = [&](std::vector<std::unique_ptr<CElementData>>& data, SRowsWhileLoading*) {
      if (atLoad) atLoad();
      for (int i = 0; i < m.m_arrElements.m_nSize; ++i)
        data.push_back(std::make_unique<CFakeData>(m.m_arrElements.m_pData[i], i, m.m_arrDates.m_nSize, rowsDoNotFit));
      if (cancelWhileLoading) flags.cancel();
      return true;
    };
    CNewReportRun run(m, host, file);
    run.Run();
  }
};

// Two loops over two days in periods of `periodLen` (in 20-second steps), written to `path`, with
// Date in the columns and Element in the rows.
void TwoLoopsOverTwoDays(CNewReportModel& m, int periodLen, const std::string& path) {
  SetDates(m, {{2003, 1, 6}, {2003, 1, 7}});
  AddElement(m, "005es00100", "LOOP01V", ET_LOOP);
  AddElement(m, "005es00200", "LOOP02V", ET_LOOP);
  m.m_bContent[CC_VOLUME] = 1;
  m.m_nPeriodLen = periodLen;
  m.m_strOutputPath = path;
  m.GroupSelectedDates();
  m.CountElementsPerKind();
  m.CountContentPerKind();
  m.PeriodsPerDay();
  m.MoveToList(GK_DATE, m.m_lstCols, m.m_lstRows, nullptr);
  m.MoveToList(GK_ELEMENT, m.m_lstRows, m.m_lstCols, nullptr);
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(NewRunTest, RunCompletesSortsAndWritesThePivot) {
  char dir[] = "/tmp/qav_newrun_XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  CNewReportModel m;
  TwoLoopsOverTwoDays(m, 1440, std::string(dir) + "\\r.txt");  // three periods a day
  m.m_nOutFormat = 1;
  m.m_lstRows.ToggleDirection(0);  // elements Z->A
  m.RecomputeReportLayout();

  SFakeRun r;
  r.Run(m);
  auto& ids = r.ids;
  auto& status = r.status;
  auto& flags = r.flags;

  EXPECT_EQ(ids, (std::vector<UINT>{507, 508, 510, 511, 512, 515}));
  // The wait dialog says the report is written before its file is made, never after.
  EXPECT_FALSE(r.fileOpenAtOutputting);
  EXPECT_TRUE(status.lines.empty());
  EXPECT_FALSE(flags.keepGoing());
  EXPECT_EQ(Keys(m.m_lstSeps), (std::vector<int>{GK_TIME, GK_CONTENT}));  // Element and Date placed already
  std::string text = Slurp(std::string(dir) + "/r.txt");
  std::string body = text.substr(text.find("\r\n\r\n") + 4);
  std::string expected;
  for (int p = 0; p < 3; ++p) {
    char head[128];
    std::snprintf(head, sizeof head, "Time\t%02i:00:00\r\nData Content\tVolume\r\n\r\n\t01/06/2003\t01/07/2003\t\r\n", p * 8);
    expected += head;
    char line[128];
    std::snprintf(line, sizeof line, "005es00200:LOOP02V\t%i\t%i\t\r\n005es00100:LOOP01V\t%i\t%i\t", 1000 + p, 1010 + p, p, 10 + p);
    expected += line;
    if (p < 2) expected += "\r\n\r\n";
  }
  EXPECT_EQ(body, expected);
  EXPECT_NE(text.find("Format\tSPREADSHEET\r\n"), std::string::npos);
  std::remove((std::string(dir) + "/r.txt").c_str());
  rmdir(dir);
}

TEST(NewRunTest, CancelOrRowsThatDoNotFitWriteNothing) {
  const struct {
    bool rowsDoNotFit;
    UINT cancelAt;
    std::vector<UINT> ids;
  } cases[] = {{false, 0, {507, 509}}, {true, 0, {507}}, {false, 510, {507, 508, 510, 509}}};
  for (const auto& c : cases) {
    const bool rowsDoNotFit = c.rowsDoNotFit;
    CNewReportModel m;
    SetDates(m, {{2003, 1, 6}});
    AddElement(m, "005es00100", "LOOP01V", ET_LOOP);
    m.m_bContent[CC_VOLUME] = 1;
    m.m_strOutputPath = "/nonexistent/never.txt";
    m.GroupSelectedDates();
    m.CountElementsPerKind();
    m.CountContentPerKind();
    SFakeRun r;
    r.cancelAt = c.cancelAt;
    r.Run(m, !rowsDoNotFit && c.cancelAt == 0, rowsDoNotFit);
    EXPECT_EQ(r.ids, c.ids) << rowsDoNotFit << c.cancelAt;
    EXPECT_EQ(r.status.lines, rowsDoNotFit ? std::vector<std::string>{"502"} : std::vector<std::string>{});
    EXPECT_EQ(Keys(m.m_lstSeps).at(0), GK_TIME);  // Time is still added after a cancel
    EXPECT_FALSE(r.file.IsOpen());
  }
}

TEST(NewRunTest, AReportThatCannotBeCreatedIsNotReportedAsDone) {
  // A file that can be created neither where asked nor in the temporary folder: the run stops
  // as its output begins.
  const struct {
    const char* path;
    const char* temp;
  } cases[] = {{"/nonexistent/a/r.txt", "/nonexistent/tmp/"}};
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old != nullptr ? old : "";
  for (const auto& c : cases) {
    setenv("TMPDIR", c.temp, 1);
    CNewReportModel m;
    SetDates(m, {{2003, 1, 6}});
    AddElement(m, "005es00100", "LOOP01V", ET_LOOP);
    m.m_bContent[CC_VOLUME] = 1;
    m.m_nPeriodLen = 4320;
    m.m_strOutputPath = c.path;
    m.GroupSelectedDates();
    m.CountElementsPerKind();
    m.CountContentPerKind();
    m.PeriodsPerDay();
    SFakeRun r;
    r.Run(m);
    if (old != nullptr) setenv("TMPDIR", saved.c_str(), 1);
    else unsetenv("TMPDIR");
    EXPECT_EQ(std::count(r.ids.begin(), r.ids.end(), 515u), 0) << c.path;
    ASSERT_FALSE(r.ids.empty());
    EXPECT_EQ(r.ids.back(), 512u) << c.path;
    ASSERT_FALSE(r.status.lines.empty());
    EXPECT_EQ(r.status.lines.front(), "502");
    EXPECT_FALSE(r.flags.keepGoing());
  }
}

TEST(NewRunTest, AReportWhoseWritingFailsIsTakenAwayAndNamed) {
  char dir[] = "/tmp/qav_newrun_XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string path = std::string(dir) + "/r.txt";
  // One-minute periods: a body of some ten thousand cells.
  auto model = [&](CNewReportModel& m) {
    TwoLoopsOverTwoDays(m, 3, path);
    m.RecomputeReportLayout();
  };
  int64_t whole = 0, header = 0;
  {
    CNewReportModel m;
    model(m);
    SFakeRun r;
    r.Run(m);
    const std::string text = Slurp(path);
    whole = static_cast<int64_t>(text.size());
    header = static_cast<int64_t>(text.find("\r\n\r\n")) + 4;
    std::remove(path.c_str());
  }
  ASSERT_GT(whole / 2, header);  // half way lies in the body
  const struct {
    const char* what;
    int64_t budget;
    bool closeFails;
    UINT lastId;  // the run's last id: 512, its output begun (the header is part of it), never 515
    bool memoryRunsOut = false;  // half way through the body instead of the disc filling
  } cases[] = {
      {"full from the start", 0, false, 512},
      {"full half way", whole / 2, false, 512},
      {"close fails", -1, true, 512},
      {"memory runs out half way", -1, false, 512, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CNewReportModel m;
    model(m);
    SFakeRun r;
    r.file.budget = c.budget;
    r.file.closeFails = c.closeFails;
    if (c.memoryRunsOut)
      r.file.afterWrite = [&](int, int64_t taken) {
        if (taken > whole / 2) throw std::bad_alloc();
      };
    r.Run(m);
    ASSERT_FALSE(r.ids.empty());
    EXPECT_EQ(r.ids.back(), c.lastId);  // no 515
    EXPECT_EQ(r.status.lines, std::vector<std::string>{"523"});
    EXPECT_EQ(r.status.failed, path);
    EXPECT_EQ(r.status.failure, c.memoryRunsOut ? ERROR_NOT_ENOUGH_MEMORY : ERROR_DISK_FULL);
    EXPECT_EQ(r.status.left, EDiscarded::Removed);
    EXPECT_TRUE(r.written.empty());
    EXPECT_NE(access(path.c_str(), F_OK), 0);
    EXPECT_FALSE(r.file.IsOpen());
    EXPECT_FALSE(r.flags.keepGoing());
    std::remove(path.c_str());
  }
  rmdir(dir);
}

// Memory that runs out before the report is open is the caller's to tell (502): no report is
// named, as none was written.
TEST(NewRunTest, MemoryThatRunsOutBeforeTheReportIsOpenGoesToTheCaller) {
  char dir[] = "/tmp/qav_newrun_XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string path = std::string(dir) + "/r.txt";
  CNewReportModel m;
  TwoLoopsOverTwoDays(m, 1440, path);
  m.RecomputeReportLayout();
  SFakeRun r;
  r.atLoad = [] { throw std::bad_alloc(); };
  EXPECT_THROW(r.Run(m), std::bad_alloc);
  EXPECT_TRUE(r.status.lines.empty());
  EXPECT_NE(access(path.c_str(), F_OK), 0);
  rmdir(dir);
}

}  // namespace
