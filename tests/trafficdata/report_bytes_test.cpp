// Every report byte stays as it was: random days of every element kind in both record layouts go
// through the raw listing, the single-day summaries (15-minute and daily, every option), the
// multi-day summaries (every month and weekday, the annual averages, strict and loose limits,
// two sets of validity criteria) and the New view's rows of every aggregation method with all
// their cells, in both formats. Each text is compared, by its 64-bit FNV-1a hash, with the text
// the program wrote before its report writers were rewritten for speed.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "run_test_util.h"
#include "trafficdata/date_time_ex.h"
#include "trafficdata/db_record.h"
#include "trafficdata/loop_data.h"
#include "trafficdata/metered_lane_data.h"
#include "trafficdata/packed_records.h"
#include "trafficdata/speed_trap_data.h"
#include "trafficdata/station_data.h"

namespace {

using looptest::TestRun;
using looptest::TestSink;

enum EKind { kLoop, kStation, kTrap, kLane };

uint64_t Fnv(std::string_view s, uint64_t h = 14695981039346656037ull) {
  for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
  return h;
}

int RecordBytes(int kind, int count) {
  const bool five = count == 288;
  switch (kind) {
    case kLoop: return 3;
    case kStation: return five ? trafficdata::kStationPeriodBytes : trafficdata::kStationIntervalBytes;
    case kTrap: return five ? trafficdata::kSpeedTrapPeriodBytes : trafficdata::kSpeedTrapIntervalBytes;
    default: return trafficdata::kMeteredLaneBytes;
  }
}

// One day's packed records. Quality 0: random bytes (every field value, mostly invalid days);
// 1: mostly good entries with a few bad, suspect or missing ones; 2: like 1 with a long outage;
// 3: like 1 with values at the top of their ranges.
std::vector<unsigned char> DayRecords(std::mt19937& rng, int kind, int count, int quality) {
  const int rb = RecordBytes(kind, count);
  std::vector<unsigned char> b(static_cast<size_t>(count) * rb);
  if (quality == 0) {
    for (unsigned char& c : b) c = static_cast<unsigned char>(rng());
    return b;
  }
  const bool five = count == 288;
  const int outage0 = static_cast<int>(rng() % count), outage1 = outage0 + count / 8;
  const bool top = quality == 3;
  for (int i = 0; i < count; ++i) {
    unsigned char* r = b.data() + static_cast<size_t>(i) * rb;
    const bool out = quality == 2 && i >= outage0 && i < outage1;
    const unsigned roll = rng() % 100;
    const int cls = out ? 0 : (roll < 3 ? 0 : roll < 7 ? 2 : roll < 8 ? 3 : 1);
    const int samples = out ? 0 : (roll == 50 ? 12 : 15);
    // An interval of the finer layout is rarely off: a period folds fifteen of them.
    const unsigned fine = rng() % 1000;
    const bool fineOff = out || fine < 3;
    auto val = [&](int most) { return top ? most - static_cast<int>(rng() % 3) : static_cast<int>(rng() % (most + 1)); };
    switch (kind) {
      case kLoop:
        if (five) {
          const int occ = val(1023);
          r[0] = static_cast<unsigned char>(cls << 6 | samples << 2 | occ >> 8);
          r[1] = static_cast<unsigned char>(occ & 0xFF);
          r[2] = static_cast<unsigned char>(val(255));
        } else {
          const int occ = val(2047);
          r[0] = static_cast<unsigned char>((fineOff ? 0 : 0x08) | occ >> 8);
          r[1] = static_cast<unsigned char>(occ & 0xFF);
          r[2] = static_cast<unsigned char>((fine < 6 ? static_cast<int>(rng() % 8) : 0) << 5 | val(31));
        }
        break;
      case kStation:
        if (five) {
          trafficdata::StationPeriodRecord p;
          p.flag = static_cast<uint8_t>(cls);
          p.nPds = static_cast<uint8_t>(samples);
          p.occupancy = static_cast<uint16_t>(val(1023));
          p.volume = static_cast<uint16_t>(val(4095));
          p.laneCount = static_cast<uint8_t>(roll < 4 ? rng() % 8 : 4);
          trafficdata::PackStationPeriod(p, r);
        } else {
          trafficdata::StationIntervalRecord p;
          p.good = fineOff ? 0 : 1;
          p.occupancy = static_cast<uint16_t>(val(2047));
          p.volume = static_cast<uint8_t>(val(127));
          p.laneCount = static_cast<uint8_t>(out ? 0 : fine < 6 ? rng() % 8 : 4);
          trafficdata::PackStationInterval(p, r);
        }
        break;
      case kTrap:
        if (five) {
          trafficdata::SpeedTrapPeriodRecord p;
          p.flag = static_cast<uint8_t>(cls);
          p.nPds = static_cast<uint8_t>(samples);
          p.speed = static_cast<uint16_t>(val(1023));
          p.length = static_cast<uint16_t>(val(1023));
          p.bin1 = static_cast<uint8_t>(val(255));
          p.bin2 = static_cast<uint8_t>(val(255));
          p.bin3 = static_cast<uint8_t>(val(127));
          p.bin4 = static_cast<uint8_t>(val(127));
          trafficdata::PackSpeedTrapPeriod(p, r);
        } else {
          trafficdata::SpeedTrapIntervalRecord p;
          p.present = fineOff ? 0 : 1;
          p.flags = static_cast<uint8_t>(fine < 6 ? 1u << (rng() % 8) : 0);
          p.speed = static_cast<uint16_t>(val(1023));
          p.length = static_cast<uint16_t>(val(1023));
          p.bin1 = static_cast<uint8_t>(val(31));
          p.bin2 = static_cast<uint8_t>(val(15));
          p.bin3 = static_cast<uint8_t>(val(15));
          p.bin4 = static_cast<uint8_t>(val(7));
          trafficdata::PackSpeedTrapInterval(p, r);
        }
        break;
      default: {
        trafficdata::MeteredLaneRecord p;
        p.rate = static_cast<uint8_t>(out || roll < 3 ? 0 : 1 + rng() % 200);
        p.status = static_cast<uint8_t>(roll < 10 ? rng() % 16 : 1);
        p.redViolators = static_cast<uint8_t>(rng() % 16);
        trafficdata::PackMeteredLane(p, r);
        break;
      }
    }
  }
  return b;
}

std::unique_ptr<CElementData> MakeData(int kind, int nDays) {
  switch (kind) {
    case kLoop: return std::make_unique<CLoopData>(nDays, nullptr, 3);
    case kStation: return std::make_unique<CStationData>(nDays, nullptr, 3);
    case kTrap: return std::make_unique<CSpeedTrapData>(nDays, nullptr, 3);
    default: return std::make_unique<CMeteredLaneData>(nDays, nullptr, 3);
  }
}

// A random selection of dates of 1995 (some months with none, some weekdays with up to five),
// their days loaded with random records (a few left without data).
struct Selection {
  std::vector<CDateTimeEx> dates;
  std::vector<const CDateTimeEx*> pointers;
  std::unique_ptr<CElementData> data;

  Selection(int kind, int count, uint32_t seed) {
    std::mt19937 rng(seed);
    for (CDateTimeEx d(1995, 1, 1); d.GetYear() == 1995; d += COleDateTimeSpan(1.0)) {
      const int month = d.GetMonth();
      if (month == 4) continue;  // a month without any date
      if (rng() % 100 < (month == 6 ? 70u : 9u)) dates.push_back(d);
    }
    for (const CDateTimeEx& d : dates) pointers.push_back(&d);
    data = MakeData(kind, static_cast<int>(dates.size()));
    for (int d = 0; d < data->nDays; ++d) {
      const unsigned roll = rng() % 20;
      if (roll == 0) continue;  // no data
      const int quality = roll < 3 ? 0 : roll < 6 ? 2 : roll == 6 ? 3 : 1;
      std::vector<unsigned char> b = DayRecords(rng, kind, count, quality);
      data->Day(d)->Load(b.data(), static_cast<int>(b.size()), count);
    }
  }
};

ValidityTables LooseCriteria() {
  ValidityTables t = builtInCriteria();
  for (ValidityCriteria& c : t) {
    c.runMaxS += 3;
    c.runMaxB += 2;
    c.totMaxB += 20;
    c.totMaxS += 10;
  }
  t[SK_AM_PEAK].useSuspect = false;
  t[SK_DAILY].running = false;
  return t;
}

// Every Classic text of the selection in one format.
std::string ClassicTexts(const Selection& sel, int format) {
  std::string all;
  TestRun run;
  {
    ClassicSettings s;
    s.rawFormat = format;
    TestSink sink;
    EXPECT_EQ(sel.data->WriteRawDataReport(s, sel.pointers, sink, run), EReportResult::Done);
    all += sink.text;
  }
  for (int options = 0; options < 8; ++options) {
    ClassicSettings s;
    s.singleFormat = format;
    s.singleDates = sel.pointers;
    s.withCounts = options & 1;
    s.withOccupancy = options & 2;
    if (options & 4) s.criteria = LooseCriteria();
    TestSink sink;
    EXPECT_EQ(sel.data->WriteSingleDayReport(s, sink, run), EReportResult::Done);
    all += sink.text;
  }
  for (int variant = 0; variant < 4; ++variant) {
    ClassicSettings s;
    s.multiFormat = format;
    s.multiDates = sel.pointers;
    for (int m = 0; m < 12; ++m) s.months.push_back(m);
    for (int w = 0; w < 7; ++w) s.monthlyWeekdays.push_back(w), s.yearlyWeekdays.push_back(w);
    s.averages = true;
    if (variant & 1) {
      s.monthlyInvalid = 3, s.monthlyMissing = 2, s.yearlyInvalid = 7;
      s.avgInvalid[0] = 1, s.avgInvalid[1] = 2, s.avgInvalid[2] = 4;
    }
    if (variant & 2) s.criteria = LooseCriteria();
    TestSink sink;
    EXPECT_EQ(sel.data->WriteMultiDayReport(s, sink, run), EReportResult::Done);
    all += sink.text;
  }
  return all;
}

// The New view's rows of every method, every cell of them in both forms, and the group headers
// and key columns of every key for some of them.
std::string RowTexts(const Selection& sel) {
  std::string all;
  TestRun run;
  for (int method = 0; method <= 8; ++method) {
    NewSettings s;
    s.method = method;
    s.content.fill(true);
    s.dates = sel.pointers;
    s.minValidityOn = method == 4;
    s.minValidity = 500;
    std::vector<int> everyDay;
    for (int d = 0; d < static_cast<int>(sel.pointers.size()); ++d) everyDay.push_back(d);
    s.groups = {{1}, {2}, everyDay};
    for (int P : {15, 45, 4320}) {
      s.periodLen = P;
      CDBRecordset rows;
      EXPECT_TRUE(sel.data->BuildPeriodRecords(rows, s, run));
      char buf[160];
      for (int i = 0; i < rows.m_nSize; ++i) {
        const CDBRecord& r = *rows.m_pData[i];
        for (int form : {CF_TEXT, CF_SHEET}) {
          buf[0] = 0;
          r.FormatValue(buf, sizeof buf, form);
          all += buf;
          if (i % 37 != 0) continue;
          for (int key = 0; key < GK_COUNT; ++key) {
            buf[0] = 0;
            r.FormatGroupHeader(buf, sizeof buf, key, form);
            all += buf;
            buf[0] = 0;
            r.FormatKeyColumn(buf, sizeof buf, key, form);
            all += buf;
          }
        }
      }
    }
  }
  return all;
}

struct Case {
  int kind;
  int count;
  uint64_t text0, text1, rows;  // hashes of the format 0 and format 1 texts and of the rows
};

class ReportBytes : public testing::TestWithParam<Case> {};

TEST_P(ReportBytes, AreThoseOfTheOriginalWriters) {
  const Case& c = GetParam();
  const Selection sel(c.kind, c.count, static_cast<uint32_t>(1000 * c.kind + c.count));
  if (c.kind != kLane) {
    EXPECT_EQ(Fnv(ClassicTexts(sel, 0)), c.text0);
    EXPECT_EQ(Fnv(ClassicTexts(sel, 1)), c.text1);
  }
  EXPECT_EQ(Fnv(RowTexts(sel)), c.rows);
}

// The multi-day report groups its days once and summarises each day once; its tables must equal
// the same tables written one by one, where every summary walks the dates itself. Date lists with
// null and invalid dates, repeated dates, and fewer or more dates than days.
TEST(MultiDayReport, EqualsItsTablesWrittenOneByOne) {
  for (int kind : {kLoop, kStation, kTrap})
    for (int count : {288, 4320})
      for (int shape = 0; shape < 3; ++shape) {
        SCOPED_TRACE(testing::Message() << "kind " << kind << " count " << count << " shape " << shape);
        Selection sel(kind, count, static_cast<uint32_t>(77 + kind + count + shape));
        CDateTimeEx invalid(1995, 2, 30);
        std::vector<const CDateTimeEx*> dates = sel.pointers;
        for (size_t d = 3; d < dates.size(); d += 11) dates[d] = nullptr;
        dates[5] = &invalid;
        dates[7] = dates[8];
        if (shape == 1) dates.resize(dates.size() / 2);
        if (shape == 2) dates.insert(dates.end(), sel.pointers.begin(), sel.pointers.begin() + 20);
        ClassicSettings s;
        s.multiFormat = shape == 1 ? 1 : 0;
        s.multiDates = dates;
        s.months = {0, 5, 6, 3, 11};
        s.monthlyWeekdays = {0, 2, 6, 4};
        s.yearlyWeekdays = {1, 0, 5};
        s.averages = true;
        s.monthlyInvalid = 2, s.monthlyMissing = 2, s.yearlyInvalid = 6;
        s.avgInvalid[2] = 3;
        s.criteria = LooseCriteria();
        TestRun run;
        TestSink sink;
        ASSERT_EQ(sel.data->WriteMultiDayReport(s, sink, run), EReportResult::Done);
        std::string expected;
        CText heading("");
        sel.data->WriteElementHeading(heading);
        auto table = [&](auto write) {
          CText text(heading);
          write(text);
          expected += text.m_pData;
        };
        for (int m : s.months)
          for (int w : s.monthlyWeekdays) table([&](CText& t) { sel.data->WriteMonthlyTable(m + 1, w + 1, t, s, run); });
        for (int w : s.yearlyWeekdays) table([&](CText& t) { sel.data->WriteYearlyTable(w + 1, t, s, run); });
        for (int k = 0; k < AK_COUNT; ++k) table([&](CText& t) { sel.data->WriteAverageTable(k, t, s, run); });
        EXPECT_EQ(sink.text, expected);
        EXPECT_NE(expected.find("VAL"), std::string::npos);
      }
}

// A run that writes only the multi-day report may keep just each day's summaries: the report
// stays the same, also for a copy of the element; kept days are missing under other criteria.
TEST(MultiDayReport, IsTheSameFromKeptSummaries) {
  for (int kind : {kLoop, kStation, kTrap})
    for (int count : {288, 4320}) {
      SCOPED_TRACE(testing::Message() << "kind " << kind << " count " << count);
      Selection whole(kind, count, 5u + kind), kept(kind, count, 5u + kind);
      ClassicSettings s;
      s.multiDates = whole.pointers;
      for (int m = 0; m < 12; ++m) s.months.push_back(m);
      s.monthlyWeekdays = {0, 3, 5};
      s.yearlyWeekdays = {1, 2, 3, 4, 5, 6, 0};
      s.averages = true;
      s.monthlyInvalid = 3, s.monthlyMissing = 3, s.yearlyInvalid = 7;
      s.criteria = LooseCriteria();
      int keptDays = 0;
      for (int d = 0; d < kept.data->nDays; d += 1 + d % 3) {
        const bool hasData = kept.data->Day(d) && kept.data->Day(d)->dataAvailable;
        EXPECT_EQ(kept.data->KeepOnlySummaries(d, s.criteria), hasData);
        EXPECT_EQ(kept.data->Day(d) == nullptr, hasData);
        keptDays += hasData;
      }
      ASSERT_GT(keptDays, 20);
      EXPECT_FALSE(kept.data->KeepOnlySummaries(1, builtInCriteria()));  // other criteria than before
      TestRun run;
      TestSink a, b, c;
      ASSERT_EQ(whole.data->WriteMultiDayReport(s, a, run), EReportResult::Done);
      ASSERT_EQ(kept.data->WriteMultiDayReport(s, b, run), EReportResult::Done);
      EXPECT_EQ(b.text, a.text);
      CElementData* copy = nullptr;
      kept.data->Clone(&copy);
      ASSERT_NE(copy, nullptr);
      ASSERT_EQ(copy->WriteMultiDayReport(s, c, run), EReportResult::Done);
      EXPECT_EQ(c.text, a.text);
      delete copy;
      // Summaries asked for one by one read the kept days too.
      CText one(""), two("");
      whole.data->WriteYearlyTable(3, one, s, run);
      kept.data->WriteYearlyTable(3, two, s, run);
      EXPECT_STREQ(two.m_pData, one.m_pData);
      // Under other criteria a kept day is a missing day.
      ClassicSettings strict = s;
      strict.criteria = builtInCriteria();
      TestSink d;
      ASSERT_EQ(kept.data->WriteMultiDayReport(strict, d, run), EReportResult::Done);
      EXPECT_NE(d.text.find("  0  "), std::string::npos);
      EXPECT_NE(d.text, a.text);
    }
  CMeteredLaneData lane(2, nullptr, 0);
  std::mt19937 rng(3);
  std::vector<unsigned char> b = DayRecords(rng, kLane, 4320, 1);
  lane.Day(0)->Load(b.data(), static_cast<int>(b.size()), 4320);
  EXPECT_FALSE(lane.KeepOnlySummaries(0, builtInCriteria()));  // a kind without multi-day lines
  EXPECT_NE(lane.Day(0), nullptr);
}

// The hashes of the texts the original writers produced (the rows' with their UNKNOWN code texts
// shown whole).
INSTANTIATE_TEST_SUITE_P(
    EveryKindAndLayout, ReportBytes,
    testing::Values(Case{kLoop, 288, 3190233489071713479ull, 13593648514027110089ull, 1091583225992268193ull},
                    Case{kLoop, 4320, 7957032230216832656ull, 8795541712173004054ull, 9714592056518956801ull},
                    Case{kStation, 288, 7303743167888176460ull, 15178738917276370538ull, 8185768816565337285ull},
                    Case{kStation, 4320, 4171974209140269966ull, 15119449025468178020ull, 4643631356669104709ull},
                    Case{kTrap, 288, 9804730880229405520ull, 15250774905356106788ull, 1487251922557193379ull},
                    Case{kTrap, 4320, 9461566767183589823ull, 8484687513409217157ull, 11818168359911282271ull},
                    Case{kLane, 4320, 0, 0, 5668717389607128682ull}));

}  // namespace
