// Loop day: record decoding, the older format, the interval fold and the Classic report lines.
#include <gtest/gtest.h>

#include "loop_test_util.h"
#include "containers/mem_mgr.h"

#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace looptest;

namespace {

TEST(LoopDayLoad, DecodesBothLayouts) {
  struct Case {
    unsigned char b[3];
    int count;
    int flag, n, occ, vol;
  };
  const Case cases[] = {
      {{0x7F, 0xFF, 0xFF}, 288, 1, 15, 1023, 255},
      {{0x9A, 0x2C, 0x0C}, 288, 2, 6, 556, 12},
      {{0x38, 0x00, 0xE0}, 4320, 7, 1, 0, 0},     // present, code 7 ("Bad Loop")
      {{0xC7, 0xFF, 0x1F}, 4320, 0, 0, 2047, 31},  // absent
      {{0x09, 0x10, 0x65}, 4320, 3, 1, 272, 5},
  };
  for (const Case& c : cases) {
    std::vector<unsigned char> buf;
    for (int i = 0; i < c.count; ++i) buf.insert(buf.end(), c.b, c.b + 3);
    CLoopDay day;
    day.Load(buf.data(), static_cast<int>(buf.size()), c.count);
    SCOPED_TRACE(c.count);
    ASSERT_EQ(day.Count(), c.count);
    EXPECT_EQ(day.dataAvailable, 1);
    EXPECT_EQ(day.flag.m_pData[c.count - 1], c.flag);
    EXPECT_EQ(day.nPds.m_pData[c.count - 1], c.n);
    EXPECT_EQ(day.occupancy.m_pData[c.count - 1], c.occ);
    EXPECT_EQ(day.volume.m_pData[c.count - 1], c.vol);
  }
}

TEST(LoopDayLoad, RoundTripKeepsEveryField) {
  // Random in-range fields, and each field alone at its maximum, so bits leaking between
  // fields show.
  unsigned seed = 7;
  auto next = [&](int range) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 8) % static_cast<unsigned>(range));
  };
  std::vector<Period> five, fine;
  for (int i = 0; i < 288; ++i) five.push_back({next(4), next(16), next(1024), next(256)});
  five[0] = {3, 0, 0, 0};
  five[1] = {0, 15, 0, 0};
  five[2] = {0, 0, 1023, 0};
  five[3] = {0, 0, 0, 255};
  for (int i = 0; i < 4320; ++i) fine.push_back({next(8), next(2), next(2048), next(32)});
  fine[0] = {7, 0, 0, 0};
  fine[1] = {0, 1, 0, 0};
  fine[2] = {0, 0, 2047, 0};
  fine[3] = {0, 0, 0, 31};
  std::vector<unsigned char> b5, bf;
  for (const Period& p : five) Pack5(b5, p.flag, p.n, p.occ, p.vol);
  for (const Period& p : fine) PackFine(bf, p.n != 0, p.flag, p.occ, p.vol);
  CLoopDay d5, df;
  d5.Load(b5.data(), static_cast<int>(b5.size()), 288);
  df.Load(bf.data(), static_cast<int>(bf.size()), 4320);
  for (int i = 0; i < 288; ++i) {
    ASSERT_EQ(d5.FlagAt(i), five[i].flag) << i;
    ASSERT_EQ(d5.NPdsAt(i), five[i].n) << i;
    ASSERT_EQ(d5.OccupancyAt(i), five[i].occ) << i;
    ASSERT_EQ(d5.VolumeAt(i), five[i].vol) << i;
  }
  for (int i = 0; i < 4320; ++i) {
    ASSERT_EQ(df.FlagAt(i), fine[i].flag) << i;
    ASSERT_EQ(df.NPdsAt(i), fine[i].n) << i;
    ASSERT_EQ(df.OccupancyAt(i), fine[i].occ) << i;
    ASSERT_EQ(df.VolumeAt(i), fine[i].vol) << i;
  }
}

TEST(LoopDayLoad, ShortOrEmptyInputReadsAsAbsent) {
  CLoopDay day;
  day.Load(nullptr, 0, 0);
  EXPECT_EQ(day.dataAvailable, 1);
  EXPECT_EQ(day.Count(), 0);
  // Count 288 but the buffer holds only two records: the rest stay absent, nothing is read past it.
  std::vector<unsigned char> b;
  Pack5(b, 1, 15, 100, 7);
  Pack5(b, 1, 15, 100, 7);
  day.Load(b.data(), static_cast<int>(b.size()), 288);
  ASSERT_EQ(day.Count(), 288);
  EXPECT_EQ(day.volume.m_pData[1], 7);
  EXPECT_EQ(day.nPds.m_pData[2], 0);
  day.Load(b.data(), static_cast<int>(b.size()), -5);
  EXPECT_EQ(day.Count(), 0);
}

TEST(LoopDayLoad, ArraysThatCannotBeAllocatedLeaveADayWithoutData) {
  // The allocator fails after k blocks: the first k of the day's four arrays get their length,
  // the others do not. The day must never hold arrays of different lengths.
  std::vector<unsigned char> b;
  for (int i = 0; i < 288; ++i) Pack5(b, 1, 15, 100, 10);
  CLoopDay full;
  full.Load(b.data(), static_cast<int>(b.size()), 288);
  const std::string unavailable = "     ***DATA UNAVAILABLE***\n\n\n\n";
  for (int k = 0; k < 4; ++k) {
    SCOPED_TRACE(k);
    CLoopDay loaded, older, assigned;
    CElementDay* clone = nullptr;
    {
      CAllocFailureScope fail(k);
      loaded.Load(b.data(), static_cast<int>(b.size()), 288);
      older.ResetPeriods();
      for (int p = 0; p < 288; ++p) older.SetPeriod(p, 10, 1800, PeValidity{});
      full.Clone(&clone);
      assigned = full;
    }
    std::unique_ptr<CElementDay> copied(clone);  // null when the object itself could not be made
    for (const CElementDay* day : {static_cast<CElementDay*>(&loaded), static_cast<CElementDay*>(&older), copied.get(),
                                    static_cast<CElementDay*>(&assigned)}) {
      if (!day) continue;
      const CLoopDay* loop = static_cast<const CLoopDay*>(day);
      EXPECT_EQ(day->dataAvailable, 0);
      EXPECT_EQ(day->Count(), 0);
      EXPECT_EQ(loop->volume.m_nSize, 0);
      EXPECT_EQ(loop->occupancy.m_nSize, 0);
      CText raw(""), daily("");
      day->WriteRawListing(raw, 0);
      day->WriteDailyReport(daily, 0, builtInCriteria());
      EXPECT_EQ(Str(raw), unavailable);
      EXPECT_EQ(Str(daily), unavailable);
    }
  }
  // Only the last array still had room for the periods: it must not keep its length alone.
  CLoopDay partial;
  partial.occupancy.ResetSize(288);
  {
    CAllocFailureScope fail(0);
    partial = full;
  }
  EXPECT_EQ(partial.Count(), 0);
  EXPECT_EQ(partial.occupancy.m_nSize, 0);
}

TEST(LoopDayLoad, EmptyDayWrites288ZeroLines) {
  CLoopDay day;
  day.Load(nullptr, 0, 0);
  CText out("");
  day.WriteRawListing(out, 0);
  std::string s = Str(out);
  EXPECT_NE(s.find("      0:00     0    0.0%   0     0\n"), std::string::npos);
  EXPECT_NE(s.find("     23:55     0    0.0%   0     0\n\n\n\n"), std::string::npos);
  CText sum("");
  day.WriteDailyReport(sum, 0, builtInCriteria());
  EXPECT_NE(Str(sum).find("     Daily      INV      0   0.0%    0   0 288   0\n"), std::string::npos);
}

TEST(LoopDayOlderFormat, OccupancyRoundingAndVolumeTest) {
  PeValidity pe;
  pe.peakMax = 100;
  CLoopDay day;
  day.ResetPeriods();
  EXPECT_EQ(day.dataAvailable, 0);
  const struct {
    int raw, occ;
  } occ[] = {{8, 0}, {9, 1}, {26, 1}, {27, 2}};
  for (auto c : occ) {
    day.SetPeriod(0, 5, static_cast<unsigned short>(c.raw), pe);
    EXPECT_EQ(day.occupancy.m_pData[0], c.occ) << c.raw;
  }
  EXPECT_EQ(day.dataAvailable, 1);
  const struct {
    int period, flag;
  } flags[] = {{71, 1}, {72, 2}, {107, 2}, {108, 1}, {180, 2}, {227, 2}, {228, 1}};
  for (auto c : flags) {
    day.SetPeriod(c.period, 101, 0, pe);
    EXPECT_EQ(day.flag.m_pData[c.period], c.flag) << c.period;
    EXPECT_EQ(day.nPds.m_pData[c.period], 15);
  }
  // Each limit is itself a good volume, in and out of the peak windows.
  pe.peakMin = 10, pe.offMin = 20, pe.offMax = 200;
  const struct {
    int period, vol, flag;
  } limits[] = {{72, 10, 1}, {72, 9, 2}, {72, 100, 1}, {0, 20, 1}, {0, 19, 2}, {0, 200, 1}, {0, 201, 2}};
  for (auto c : limits) {
    day.SetPeriod(c.period, static_cast<unsigned char>(c.vol), 0, pe);
    EXPECT_EQ(day.flag.m_pData[c.period], c.flag) << c.period << " " << c.vol;
  }
  // Periods never set stay absent.
  EXPECT_EQ(day.nPds.m_pData[5], 0);
  day.SetPeriod(288, 1, 1, pe);  // ignored, no write past the day
}

TEST(LoopDayFold, IntervalsFoldIntoPeriodClass) {
  struct Iv {
    bool present;
    int code, occ, vol;
  };
  struct Case {
    const char* name;
    std::vector<Iv> iv;  // the rest of the 15 are absent
    int cls, n, occ, vol;
  };
  auto rep = [](int k, Iv v) { return std::vector<Iv>(k, v); };
  auto cat = [](std::vector<Iv> a, const std::vector<Iv>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const Case cases[] = {
      {"15 good", rep(15, {true, 0, 12, 1}), PC_GOOD, 15, 10, 15},
      {"14 good + bad loop", cat(rep(14, {true, 0, 0, 0}), {{true, 7, 0, 0}}), PC_SUSPECT, 15, 0, 0},
      {"bad loop + disabled", cat(rep(1, {true, 7, 0, 0}), rep(14, {true, 6, 0, 0})), PC_DISABLED, 15, 0, 0},
      {"all absent", {}, PC_BAD, 0, 0, 0},
      {"one disabled, rest absent", {{true, 6, 0, 0}}, PC_DISABLED, 1, 0, 0},
      {"one present raw 3", {{true, 0, 3, 0}}, PC_SUSPECT, 1, 3, 0},  // 3 / 1.2 = 2.5 -> 3
      {"short pulse and envelope are good", cat(rep(7, {true, 1, 0, 0}), rep(8, {true, 3, 0, 0})), PC_GOOD, 15, 0, 0},
      {"chatter is bad", rep(15, {true, 2, 0, 0}), PC_BAD, 15, 0, 0},
      {"absent interval still counts its volume", {{true, 0, 0, 2}, {false, 0, 0, 31}}, PC_SUSPECT, 1, 0, 33},
  };
  for (const Case& c : cases) {
    std::vector<unsigned char> b;
    for (int i = 0; i < 4320; ++i) {
      Iv v = i < static_cast<int>(c.iv.size()) ? c.iv[i] : Iv{false, 0, 0, 0};
      PackFine(b, v.present, v.code, v.occ, v.vol);
    }
    CLoopDay day;
    day.Load(b.data(), static_cast<int>(b.size()), 4320);
    SPeriodValue p = day.PeriodAt(0);
    SCOPED_TRACE(c.name);
    EXPECT_EQ(p.cls, c.cls);
    EXPECT_EQ(p.samples, c.n);
    EXPECT_EQ(OccupancyFromSums(p.occWeighted, p.samples, true), static_cast<uint32_t>(c.occ));
    EXPECT_EQ(p.volume, static_cast<uint32_t>(c.vol));
  }
}

// The fold of every period against the interval rules applied one by one, with runs of one class,
// mixes and flag values outside the 3-bit codes.
TEST(LoopDayFold, EveryPeriodFoldsAsTheIntervalRules) {
  std::mt19937 rng(15);
  CLoopDay day;
  day.ResetArrays(4320);
  for (int i = 0; i < 4320; ++i) {
    const int run = (i / 15) % 4;  // 0: mixed, 1-3: mostly one kind of interval
    const int code = run == 0 ? static_cast<int>(rng() % 10) : run == 1 ? 0 : run == 2 ? 6 : 7;
    day.flag.m_pData[i] = static_cast<unsigned char>(rng() % 16 == 0 ? rng() % 12 : code);
    day.nPds.m_pData[i] = static_cast<unsigned char>(rng() % 12 == 0 ? 0 : 1 + rng() % 2);
    // Now and then a value no record holds, up to the top of the 16-bit range.
    day.volume.m_pData[i] = static_cast<unsigned short>(rng() % 50 == 0 ? 65535 - rng() % 100 : rng() % 32);
    day.occupancy.m_pData[i] = static_cast<unsigned short>(rng() % 50 == 0 ? 65535 - rng() % 100 : rng() % 2048);
  }
  CPeriodTable table;
  ASSERT_TRUE(day.FillPeriodTable(table));
  for (int p = 0; p < PERIODS_PER_DAY; ++p) {
    int running = -1;
    unsigned samples = 0, vol = 0, occ = 0;
    for (int i = 15 * p; i < 15 * p + 15; ++i) {
      const bool present = day.nPds.m_pData[i] != 0;
      running = FoldClass(running, IntervalClass(present, day.flag.m_pData[i]));
      samples += present ? 1 : 0;
      vol += day.volume.m_pData[i];
      occ += day.occupancy.m_pData[i];
    }
    for (const SPeriodValue& v : {day.PeriodAt(p), table.period[p]}) {
      EXPECT_EQ(v.cls, running) << p;
      EXPECT_EQ(v.samples, samples) << p;
      EXPECT_EQ(v.volume, vol) << p;
      EXPECT_EQ(v.occWeighted, occ) << p;
    }
  }
}

TEST(LoopDayLines, RawLineBothForms) {
  CLoopDay day;
  Fill(day, {1, 15, 0, 0});
  Set(day, 85, {1, 15, 57, 12});
  CText fixed(""), tabs("");
  day.WriteRawLine(fixed, 85, 0);
  day.WriteRawLine(tabs, 85, 1);
  EXPECT_EQ(Str(fixed), "      7:05    12    5.7%   1    15\n");
  EXPECT_EQ(Str(tabs), "\t07:05\t  12\t  5.7%\t1\t15\n");
  // A five-minute period shows its stored flag, also without samples.
  Set(day, 0, {3, 0, 0, 0});
  CText z("");
  day.WriteRawLine(z, 0, 7);
  EXPECT_EQ(Str(z), "      0:00     0    0.0%   3     0\n");
}

TEST(LoopDayLines, FifteenMinuteRows) {
  CLoopDay day;
  Fill(day, {1, 15, 100, 1});
  CText out("");
  day.Write15MinLine(out, 0, 0, true, true);
  EXPECT_EQ(Str(out),
            "      0:00     3     3     3     3      12       1:00     3     3     3     3      12      24  0  0  0\n"
            "            10.0% 10.0% 10.0% 10.0%   10.0%            10.0% 10.0% 10.0% 10.0%   10.0%\n\n");
  CText tabs("");
  day.Write15MinLine(tabs, 11, 1, false, true);
  EXPECT_EQ(Str(tabs),
            "\t22:00\t   3\t   3\t   3\t   3\t   12\t23:00\t   3\t   3\t   3\t   3\t   12\n"
            "\t\t10.0%\t10.0%\t10.0%\t10.0%\t10.0%\t\t10.0%\t10.0%\t10.0%\t10.0%\t10.0%\n\n");

  // Sample-weighted quarter: (100 x 15 + 200 x 5 + 0 x 0) / 20 = 125.
  Set(day, 0, {1, 15, 100, 1});
  Set(day, 1, {1, 5, 200, 1});
  Set(day, 2, {1, 0, 0, 1});
  CText q("");
  day.Write15MinLine(q, 0, 0, true, true);
  EXPECT_NE(Str(q).find("            12.5%"), std::string::npos);
  EXPECT_NE(Str(q).find("      23  0  1  0\n"), std::string::npos);

  CLoopDay none;
  Fill(none, {1, 0, 0, 0});
  CText n("");
  none.Write15MinLine(n, 0, 0, true, false);
  EXPECT_EQ(Str(n),
            "      0:00     0     0     0     0       0       1:00     0     0     0     0       0       0  0 24  0\n");
}

TEST(LoopDayLines, TitlesAndHeadersInTabForm) {
  CLoopDay day;
  CText t("");
  day.WriteRawTitle(t, 1);
  day.WriteRawHeader(t, 1);
  day.Write15MinTitle(t, 1);
  day.Write15MinHeader(t, 1, true);
  day.Write15MinHeader(t, 1, false);
  day.WriteDailyTitle(t, 1);
  day.WriteDailyHeader(t, 1);
  EXPECT_EQ(Str(t),
            "\t---Raw Loop Data Listing---\n\n\tTime\tVol\tOcc\tFlg\tnPds\n"
            "\t---15 Minute Loop Summary Report---\n\n"
            "\tTime\t:00\t:15\t:30\t:45\tHour\tTime\t:00\t:15\t:30\t:45\tHour\tG\tS\tB\tD\n"
            "\tTime\t:00\t:15\t:30\t:45\tHour\tTime\t:00\t:15\t:30\t:45\tHour\n"
            "\t---Daily Loop Summary Report---\n\n\tSummary\tValid\tVol\tOcc\tG\tS\tB\tD\n");
  CText f("");
  day.Write15MinHeader(f, 0, false);
  EXPECT_EQ(Str(f),
            "     Time    :00   :15   :30   :45    Hour      Time    :00   :15   :30   :45    Hour\n"
            "     --------------------------------------------------------------------------------\n");
}

TEST(LoopDayLines, DayWithoutDataWritesOnlyTheUnavailableText) {
  CLoopDay day;
  const std::string expected = "     ***DATA UNAVAILABLE***\n\n\n\n";
  for (int format : {0, 1}) {
    CText a(""), b(""), c("");
    day.WriteRawListing(a, format);
    day.Write15MinReport(b, format, true, true);
    day.WriteDailyReport(c, format, builtInCriteria());
    EXPECT_EQ(Str(a), expected);
    EXPECT_EQ(Str(b), expected);
    EXPECT_EQ(Str(c), expected);
  }
}

TEST(LoopDayLines, LoadedDayWritesWholeReports) {
  CLoopDay day;
  Fill(day, {1, 15, 100, 10});
  CText raw(""), q(""), d("");
  day.WriteRawListing(raw, 0);
  day.Write15MinReport(q, 0, true, false);
  day.WriteDailyReport(d, 0, builtInCriteria());
  std::string r = Str(raw);
  EXPECT_EQ(r.rfind("     ---Raw Loop Data Listing---\n\n     Time    Vol    Occ   Flg  nPds\n", 0), 0u);
  EXPECT_EQ(std::count(r.begin(), r.end(), '\n'), 2 + 2 + 288 + 3);
  std::string s = Str(q);
  EXPECT_NE(s.find("     --------------------------------------------------------------------------------     "
                   "-------------\n"),
            std::string::npos);
  EXPECT_EQ(std::count(s.begin(), s.end(), '\n'), 2 + 2 + 12 + 3);
  EXPECT_EQ(Str(d),
            "     ---Daily Loop Summary Report---\n\n"
            "     Summary   Valid   Vol   Occ     G   S   B   D\n"
            "     ---------------------------------------------\n"
            "     Daily      VAL   2880  10.0%  288   0   0   0\n"
            "     AM Peak    VAL    360  10.0%   36   0   0   0\n"
            "     PM Peak    VAL    480  10.0%   48   0   0   0\n"
            "     AM Pk Hour VAL    120  10.0%   12   0   0   0 (11:00--12:00)\n"
            "     PM Pk Hour VAL    120  10.0%   12   0   0   0 (23:00--24:00)\n"
            "\n\n\n");
  CText t("");
  day.WriteDailyLine(t, SK_AM_PEAK_HOUR, 1, builtInCriteria());
  EXPECT_EQ(Str(t), "\tAM Pk Hour\tVAL\t   120\t 10.0%\t 12\t  0\t  0\t  0\t11:00\t12:00\n");
}

// Inside a report scope the reports read the day's table: the text is the text written without a
// scope, in both layouts, also with a scope of another day opened inside, and a day loaded anew
// after its scope closed is tabulated anew.
TEST(LoopDayLines, ReportsInsideAScopeWriteTheSameText) {
  std::mt19937 rng(7);
  auto records = [&](int count) {
    std::vector<unsigned char> b(3 * static_cast<size_t>(count));
    for (unsigned char& c : b) c = static_cast<unsigned char>(rng());
    return b;
  };
  auto reports = [](const CLoopDay& day, const ValidityTables& criteria) {
    CText t("");
    day.WriteRawListing(t, 0);
    day.Write15MinReport(t, 1, true, true);
    day.WriteDailyReport(t, 0, criteria);
    SSummary s[SK_COUNT];
    day.ComputeSummaries(criteria, s);
    return Str(t) + std::to_string(s[SK_PM_PEAK_HOUR].volume) + " " + std::to_string(s[SK_DAILY].occupancy);
  };
  ValidityTables loose = builtInCriteria();
  for (ValidityCriteria& c : loose) c.useSuspect = false;
  for (int count : {288, 4320}) {
    SCOPED_TRACE(count);
    CLoopDay day, other;
    const std::vector<unsigned char> a = records(count), b = records(count);
    day.Load(a.data(), static_cast<int>(a.size()), count);
    other.Load(b.data(), static_cast<int>(b.size()), count);
    const std::string plain = reports(day, builtInCriteria()), plainLoose = reports(day, loose);
    const std::string otherPlain = reports(other, builtInCriteria());
    {
      CDayReportScope scope(day);
      EXPECT_EQ(reports(day, builtInCriteria()), plain);
      {
        CDayReportScope inner(other);
        EXPECT_EQ(reports(other, builtInCriteria()), otherPlain);
        EXPECT_EQ(reports(day, loose), plainLoose);  // not the inner scope's day: its own table
      }
      EXPECT_EQ(reports(day, loose), plainLoose);
    }
    day.Load(b.data(), static_cast<int>(b.size()), count);
    EXPECT_EQ(reports(day, builtInCriteria()), otherPlain);
  }
}

TEST(LoopDayCopy, CopyAssignCloneAndClear) {
  CLoopDay a;
  Fill(a, {1, 15, 100, 10});
  a.estimatedLength = 230;
  CElementDay* c = nullptr;
  a.Clone(&c);
  ASSERT_NE(c, nullptr);
  CLoopDay* lc = dynamic_cast<CLoopDay*>(c);
  ASSERT_NE(lc, nullptr);
  EXPECT_EQ(lc->Count(), 288);
  EXPECT_EQ(lc->estimatedLength, 230);
  a.volume.m_pData[0] = 99;
  EXPECT_EQ(lc->volume.m_pData[0], 10);  // deep copy
  delete c;

  CLoopDay shorter;
  shorter.Load(nullptr, 0, 0);
  a = a;  // self-assignment changes nothing
  EXPECT_EQ(a.Count(), 288);
  a = shorter;
  EXPECT_EQ(a.Count(), 0);
  EXPECT_EQ(a.estimatedLength, -1);
  a.Clear();
  EXPECT_EQ(a.dataAvailable, 0);
}

}  // namespace
