#include "app/shell/element_loader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <pthread.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "app/shell/archive_fixture.h"
#include "app/shell/worker_ids.h"
#include "containers/mem_mgr.h"
#include "platform/base/errors.h"
#include "platform/kernel/time.h"

namespace {
// A window that keeps the notices it receives.
class NoticeWindow : public CWnd {
 public:
  NoticeWindow() { CreateEx(0, "Notice", "", WS_OVERLAPPED, RECT{0, 0, 10, 10}, nullptr, 0); }
  ~NoticeWindow() override { DestroyWindow(); }
  LRESULT OnLoaded(WPARAM wParam, LPARAM) {
    notices.push_back(static_cast<uint32_t>(wParam));
    return 0;
  }
  std::vector<uint32_t> notices;
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(NoticeWindow, CWnd)
  ON_MESSAGE(WM_ELEMENTS_LOADED, &NoticeWindow::OnLoaded)
END_MESSAGE_MAP()

struct Errors {
  std::vector<std::string> texts;
  std::string thread;  // the name of the thread that reported
  int delayMs = 0;
  static void Hook(const char* text, DWORD, void* context) {
    auto* self = static_cast<Errors*>(context);
    self->texts.push_back(text);
    char name[16] = "";
    pthread_getname_np(pthread_self(), name, sizeof name);
    self->thread = name;
    if (self->delayMs > 0) Sleep(static_cast<DWORD>(self->delayMs));
  }
};

class ElementLoaderTest : public ArchiveFixture {
 protected:
  void SetUp() override {
    ArchiveFixture::SetUp();
    qav::ui::SelectBackend("headless");
    qav::ui::BindUiThread();
    qav::ui::ResetWindowSystem();
    window_ = std::make_unique<NoticeWindow>();
    loader_.SetNoticeWindow(window_->GetSafeHwnd());
    loader_.SetErrorHook(&Errors::Hook, &errors_);
  }
  void TearDown() override {
    loader_.StopLoad();
    window_.reset();
    qav::ui::ResetWindowSystem();
  }
  // Loads over the dates and waits for the end; the notices received.
  std::vector<uint32_t> Load(std::initializer_list<CDateTimeEx> list, uint8_t mask = kMaskAll) {
    CObjArray<CDateTimeEx> dates;
    for (const CDateTimeEx& d : list) dates.Add(d);
    EXPECT_EQ(loader_.StartLoad(dates, mask), 0u);
    loader_.WaitDone();
    loader_.StopLoad();
    qav::ui::PumpPending();
    return window_->notices;
  }
  // Every cabinet points to its roadway, every element to its cabinet; both lists sorted, unique.
  void ExpectTreesConsistent() {
    const CElementLoader& l = loader_;
    ASSERT_EQ(l.m_Cabinets.m_nSize, l.m_Roadways.m_nSize);
    ASSERT_EQ(l.m_Elements.m_nSize, l.m_Roadways.m_nSize);
    for (int i = 0; i < l.m_Roadways.m_nSize; ++i) {
      const auto& K = *l.m_Cabinets.m_pData[i];
      const auto& E = *l.m_Elements.m_pData[i];
      ASSERT_EQ(E.m_nSize, K.m_nSize);
      for (int j = 0; j < K.m_nSize; ++j) {
        EXPECT_EQ(K.m_pData[j]->roadway, l.m_Roadways.m_pData[i]);
        if (j > 0) {
          EXPECT_LT(K.m_pData[j - 1]->Compare(*K.m_pData[j]), 0);
        }
        const auto& elems = *E.m_pData[j];
        for (int k = 0; k < elems.m_nSize; ++k) {
          EXPECT_EQ(elems.m_pData[k]->cabinet, K.m_pData[j]);
          if (k > 0) {
            EXPECT_LT(elems.m_pData[k - 1]->Compare(*elems.m_pData[k]), 0);
          }
        }
      }
    }
  }
  int ElementCount() const {
    int n = 0;
    for (int i = 0; i < loader_.m_Elements.m_nSize; ++i)
      for (int j = 0; j < loader_.m_Elements.m_pData[i]->m_nSize; ++j) n += loader_.m_Elements.m_pData[i]->m_pData[j]->m_nSize;
    return n;
  }
  const CDBCabinet* FindCabinet(const char* id) const {
    for (int i = 0; i < loader_.m_Cabinets.m_nSize; ++i)
      for (int j = 0; j < loader_.m_Cabinets.m_pData[i]->m_nSize; ++j)
        if (std::string(loader_.m_Cabinets.m_pData[i]->m_pData[j]->id) == id) return loader_.m_Cabinets.m_pData[i]->m_pData[j];
    return nullptr;
  }

  CElementLoader loader_;
  std::unique_ptr<NoticeWindow> window_;
  Errors errors_;
};

TEST_F(ElementLoaderTest, WalksSkipMissingDaysAndKeepTheSmallerPeriodCount) {
  const struct {
    std::vector<CDateTimeEx> dates;
    CDateTimeEx start, end;
    uint32_t periods;
  } cases[] = {
      // One date: the forward walk reads it, the backward walk has nothing to do.
      {{CDateTimeEx(1994, 1, 1)}, CDateTimeEx(1994, 1, 1), CDateTimeEx(1994, 1, 1), 288},
      // The first and last chosen days are missing: both walks move on to days that load.
      {{CDateTimeEx(1994, 1, 2), CDateTimeEx(1994, 1, 9)}, CDateTimeEx(1994, 1, 3), CDateTimeEx(1994, 1, 5), 288},
      // 20-second data forward, five-minute data backward: the smaller count.
      {{CDateTimeEx(1994, 1, 4), CDateTimeEx(1994, 1, 5)}, CDateTimeEx(1994, 1, 4), CDateTimeEx(1994, 1, 5), 288},
      // Five-minute data forward, 20-second data backward: stays.
      {{CDateTimeEx(1994, 1, 3), CDateTimeEx(1994, 1, 4)}, CDateTimeEx(1994, 1, 3), CDateTimeEx(1994, 1, 4), 288},
      // Only 20-second data.
      {{CDateTimeEx(1994, 1, 4)}, CDateTimeEx(1994, 1, 4), CDateTimeEx(1994, 1, 4), 4320},
      // A PE day forward, a database day backward.
      {{CDateTimeEx(1993, 1, 1), CDateTimeEx(1993, 6, 4)}, CDateTimeEx(1993, 1, 1), CDateTimeEx(1993, 6, 4), 288},
  };
  for (const auto& c : cases) {
    window_->notices.clear();
    CObjArray<CDateTimeEx> dates;
    for (const CDateTimeEx& d : c.dates) dates.Add(d);
    ASSERT_EQ(loader_.StartLoad(dates, kMaskAll), 0u);
    loader_.WaitDone();
    loader_.StopLoad();
    qav::ui::PumpPending();
    EXPECT_EQ(window_->notices, std::vector<uint32_t>{c.periods}) << c.start.Format("%Y-%m-%d");
    EXPECT_EQ(loader_.m_bLoadFailed, 0);
    EXPECT_EQ(loader_.m_StartDate.Format("%Y-%m-%d"), c.start.Format("%Y-%m-%d"));
    EXPECT_EQ(loader_.m_EndDate.Format("%Y-%m-%d"), c.end.Format("%Y-%m-%d"));
    ExpectTreesConsistent();
  }
}

TEST_F(ElementLoaderTest, CabinetsMissingFromTheListAreNamedFromTheirIds) {
  Load({CDateTimeEx(1993, 6, 4)});  // 20-second day: all eight elements, two cabinets
  ExpectTreesConsistent();
  EXPECT_EQ(ElementCount(), 8);
  // The second cabinet is left out of the device list on purpose.
  const std::string id = SampleElements(1993, 8)[4].key.substr(0, 10);
  const CDBCabinet* unknown = FindCabinet(id.c_str());
  ASSERT_NE(unknown, nullptr);
  EXPECT_STREQ(unknown->location, "Unknown");
  EXPECT_STREQ(unknown->alias, "");
  EXPECT_EQ(unknown->milepost, std::atoi(id.c_str() + 5));
  CDBRoadway expected;
  CElementLoader::UnknownCabinetRoadway(id.c_str(), expected);
  EXPECT_EQ(unknown->roadway->Compare(expected), 0);
}

TEST_F(ElementLoaderTest, MasksChooseTheElementKinds) {
  const struct {
    uint8_t mask;
    int elements;
  } cases[] = {{kMaskAll, 8}, {kMaskClassic, 6}, {kMaskLoops, 2}, {kMaskMeteredLanes | kMaskStations, 4}, {0, 0}};
  for (const auto& c : cases) {
    Load({CDateTimeEx(1993, 6, 4)}, c.mask);
    EXPECT_EQ(ElementCount(), c.elements) << int(c.mask);
    EXPECT_EQ(loader_.m_bLoadFailed, 0);
  }
  // A PE day with loops masked off still counts as loaded.
  window_->notices.clear();
  EXPECT_EQ(Load({CDateTimeEx(1990, 1, 1)}, kMaskStations), std::vector<uint32_t>{288});
  EXPECT_EQ(ElementCount(), 0);
  EXPECT_EQ(loader_.m_bLoadFailed, 0);
}

TEST(ElementTypeWordTest, EachLayoutTakesOnlyItsOwnWords) {
  const struct {
    int word;
    int type;
    uint8_t bit;
    bool id, alias;
  } cases[] = {
      {80, ET_LOOP, kMaskLoops, true, false},          {92, ET_LOOP, kMaskLoops, true, true},
      {84, ET_STATION, kMaskStations, true, false},    {96, ET_STATION, kMaskStations, true, true},
      {88, ET_SPEED_TRAP, kMaskSpeedTraps, true, false}, {100, ET_SPEED_TRAP, kMaskSpeedTraps, true, true},
      {261, ET_RATE_STATUS, kMaskMeteredLanes, true, false}, {93, ET_NONE, 0, false, false},
  };
  for (const auto& c : cases) {
    for (bool alias : {false, true}) {
      int type = ET_NONE;
      uint8_t bit = 0;
      EXPECT_EQ(CElementLoader::ElementTypeOfWord(c.word, alias, type, bit), alias ? c.alias : c.id) << c.word << alias;
      if (c.id) {
        EXPECT_EQ(type, c.type) << c.word;
        EXPECT_EQ(bit, c.bit) << c.word;
      }
    }
  }
}

TEST(UnknownCabinetRoadwayTest, RouteFromTheIdsFirstThreeDigits) {
  const struct {
    const char* id;
    const char* name;
    int route;
  } cases[] = {{"005es00100", "I-5", 5},     {"405es00100", "I-405", 405}, {"002es00100", "US 2", 2},
               {"830es00100", "US 830", 830}, {"520es00100", "SR 520", 520}, {"", "SR 0", 0}, {nullptr, "SR 0", 0}};
  for (const auto& c : cases) {
    CDBRoadway r;
    r.route = -1;
    CElementLoader::UnknownCabinetRoadway(c.id, r);
    EXPECT_STREQ(r.name, c.name) << c.name;
    EXPECT_EQ(r.route, c.route) << c.name;
  }
}

TEST_F(ElementLoaderTest, AliasLayoutWithoutDeviceListGoesUnderNoId) {
  AppTempFolder root;
  ASSERT_EQ(::mkdir((root / "DATA1996").c_str(), 0700), 0);
  WritePrimaryCopyDay(root / "DATA1996/19960101.DAT",
                      {{"ES-0029:_MS_1_1", 92, 3},
                       {"ES-0017:_MN_2_1", 96, 4},
                       {"ES-0017:_MN_1_1", 92, 3},
                       {"ES-0017:_MN_3_1", 80, 3},   // id-layout words: skipped
                       {"ES-0017:_MN_5_1", 84, 4},
                       {"ES-0017:_MN_6_1", 88, 7},
                       {"ES-0017:_MN_4_1", 100, 7}},
                      288);
  g_DataRootPath.Set((root.path() + "/").c_str());
  Load({CDateTimeEx(1996, 1, 1)});
  ASSERT_EQ(loader_.m_Roadways.m_nSize, 1);
  EXPECT_STREQ(loader_.m_Roadways.m_pData[0]->name, "NoID");
  EXPECT_EQ(loader_.m_Roadways.m_pData[0]->route, 0);
  ExpectTreesConsistent();
  const auto& K = *loader_.m_Cabinets.m_pData[0];
  ASSERT_EQ(K.m_nSize, 2);
  EXPECT_STREQ(K.m_pData[0]->id, "NIDes00001");  // inserted before the cabinet seen first
  EXPECT_STREQ(K.m_pData[0]->alias, "ES-0017");
  EXPECT_STREQ(K.m_pData[1]->id, "NIDes00002");
  EXPECT_EQ(loader_.m_Elements.m_pData[0]->m_pData[0]->m_nSize, 3);
  EXPECT_EQ(loader_.m_Elements.m_pData[0]->m_pData[1]->m_nSize, 1);
  // The device list could not be read: reported, and the day still loads.
  ASSERT_FALSE(errors_.texts.empty());
  EXPECT_EQ(errors_.texts[0].rfind("Error opening input description file [", 0), 0u);
}

TEST_F(ElementLoaderTest, NothingLoadsOrNoDates) {
  EXPECT_EQ(Load({CDateTimeEx(2001, 1, 1), CDateTimeEx(2001, 1, 2)}), std::vector<uint32_t>{kLoadStopped});
  EXPECT_EQ(loader_.m_bLoadFailed, 1);
  EXPECT_EQ(errors_.texts.size(), 4u);  // description file and day file, for each day
  EXPECT_EQ(errors_.thread, "CElemsDlg::Load");  // the loader's own thread, named (cut to 15 characters)
  // A PE day of a year without its device list loads nothing either: the walk goes on to a day
  // that loads.
  window_->notices.clear();
  EXPECT_EQ(Load({CDateTimeEx(1991, 1, 1)}), std::vector<uint32_t>{kLoadStopped});
  EXPECT_EQ(loader_.m_bLoadFailed, 1);
  window_->notices.clear();
  Load({CDateTimeEx(1992, 12, 30), CDateTimeEx(1993, 1, 1)});
  EXPECT_EQ(loader_.m_StartDate.Format("%Y-%m-%d"), "1993-01-01");
  // An empty date list (a year folder without day files) ends at once the same way.
  window_->notices.clear();
  Load({CDateTimeEx(1994, 1, 1)});
  ASSERT_GT(loader_.m_Roadways.m_nSize, 0);
  window_->notices.clear();
  EXPECT_EQ(Load({}), std::vector<uint32_t>{kLoadStopped});
  EXPECT_EQ(loader_.m_bLoadFailed, 1);
  EXPECT_EQ(loader_.m_Roadways.m_nSize, 0);
  EXPECT_FALSE(loader_.IsLoading());
  EXPECT_TRUE(loader_.IsDone());
}

TEST_F(ElementLoaderTest, AStopEndsTheWalkAfterTheDayInHand) {
  errors_.delayMs = 20;
  // Every day of 2001 is missing: the stop comes in the walk forward, or, when the first day
  // loads, in the walk backward.
  for (const CDateTimeEx& first : {CDateTimeEx(2001, 1, 1), CDateTimeEx(1994, 1, 1)}) {
    const bool forward = first.GetYear() == 2001;
    window_->notices.clear();
    CObjArray<CDateTimeEx> dates;
    dates.Add(first);
    dates.Add(CDateTimeEx(2001, 12, 31));
    ASSERT_EQ(loader_.StartLoad(dates, kMaskAll), 0u);
    // The walk backward over 2001's missing days takes over 7 s; half a second leaves the
    // first day time to load on a busy machine.
    Sleep(forward ? 100 : 500);
    loader_.StopLoad();
    qav::ui::PumpPending();
    EXPECT_EQ(window_->notices, std::vector<uint32_t>{kLoadStopped}) << forward;
    EXPECT_EQ(loader_.m_bLoadFailed, forward ? 1 : 0);
    if (forward) EXPECT_LT(loader_.m_StartDate.m_dt, CDateTimeEx(2001, 2, 1).m_dt);
    else EXPECT_GT(loader_.m_EndDate.m_dt, CDateTimeEx(2001, 1, 1).m_dt);
  }
  // A new load after a stop starts cleanly.
  window_->notices.clear();
  EXPECT_EQ(Load({CDateTimeEx(1994, 1, 1)}), std::vector<uint32_t>{288});
}

TEST_F(ElementLoaderTest, AMonthIsWalkedBackFromItsLastDay) {
  ASSERT_EQ(loader_.StartLoadMonth(1994, 1, kMaskAll), 0u);
  // Days 6 to 31 are missing; a walk that went past the month would not end in time.
  for (int i = 0; i < 2000 && !loader_.IsDone(); ++i) Sleep(10);
  loader_.StopLoad();
  EXPECT_EQ(loader_.m_StartDate.Format("%Y-%m-%d"), "1994-01-01");
  EXPECT_EQ(loader_.m_EndDate.Format("%Y-%m-%d"), "1994-01-05");
}
// An element loader whose thread can make only `allocations` allocations (-1: any number); what
// it reports is counted without allocating.
class CShortOfMemoryLoader : public CElementLoader {
 public:
  long allocations = -1;
  std::atomic<int> reports{0};
  std::atomic<DWORD> lastError{0};
  char lastText[256] = {};  // read after the loader's thread has ended
  static void Hook(const char* text, DWORD error, void* context) {
    auto* self = static_cast<CShortOfMemoryLoader*>(context);
    ++self->reports;
    self->lastError = error;
    std::snprintf(self->lastText, sizeof self->lastText, "%s", text);
  }

 protected:
  void OnLoadReset() override { CScalarMemMgr::SetFailAfter(allocations); }
};

TEST_F(ElementLoaderTest, MemoryThatRunsOutEmptiesTheTreesAndTellsError8) {
  // A PE day forward and a database day backward, the loader's thread running out of memory
  // after ever more allocations: its trees are whole, or empty with error 8 told last; never a
  // part of them, never a crash.
  auto load = [&](CShortOfMemoryLoader& loader, long allocations) {
    loader.SetNoticeWindow(window_->GetSafeHwnd());
    loader.SetErrorHook(&CShortOfMemoryLoader::Hook, &loader);
    loader.allocations = allocations;
    CObjArray<CDateTimeEx> dates;
    dates.Add(CDateTimeEx(1993, 1, 1));
    dates.Add(CDateTimeEx(1993, 6, 4));
    EXPECT_EQ(loader.StartLoad(dates, kMaskAll), 0u);
    loader.WaitDone();
    loader.StopLoad();
  };
  auto elements = [](const CElementLoader& l) {
    int n = 0;
    for (int i = 0; i < l.m_Elements.m_nSize; ++i)
      for (int j = 0; j < l.m_Elements.m_pData[i]->m_nSize; ++j) n += l.m_Elements.m_pData[i]->m_pData[j]->m_nSize;
    return n;
  };
  CShortOfMemoryLoader enough;
  load(enough, -1);
  ASSERT_EQ(enough.m_bLoadFailed, 0);
  const int all = elements(enough);
  ASSERT_GT(all, 8);
  int whole = 0, refused = 0;
  for (long n = 0; whole < 3; n += 1 + n / 16) {
    SCOPED_TRACE(n);
    CShortOfMemoryLoader loader;
    load(loader, n);
    if (loader.m_bLoadFailed == 0) {
      ++whole;
      EXPECT_EQ(elements(loader), all);
      EXPECT_EQ(loader.m_Roadways.m_nSize, enough.m_Roadways.m_nSize);
    } else {
      ++refused;
      EXPECT_EQ(loader.m_Roadways.m_nSize + loader.m_Cabinets.m_nSize + loader.m_Elements.m_nSize, 0);
      EXPECT_GT(loader.reports.load(), 0);
      EXPECT_EQ(loader.lastError.load(), ERROR_NOT_ENOUGH_MEMORY);
      // Memory ran out, not a file's opening: no file, and no empty name, is blamed.
      EXPECT_EQ(std::string(loader.lastText).find("Error opening"), std::string::npos) << loader.lastText;
    }
  }
  EXPECT_GT(refused, 20);
}
}  // namespace
