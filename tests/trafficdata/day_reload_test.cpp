// Loading a day object again with fewer records than its count: the entries past the decoded
// records must read as absent (zero), whatever the previous load left in the arrays.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "trafficdata/loop_day.h"
#include "trafficdata/metered_lane_day.h"
#include "trafficdata/packed_records.h"
#include "trafficdata/speed_trap_day.h"
#include "trafficdata/station_day.h"

namespace {

template <class T>
bool ZeroFrom(const CScalarArray<T>& a, int from) {
  for (int i = from; i < a.m_nSize; ++i)
    if (a.m_pData[i] != 0) return false;
  return true;
}

struct Kind {
  const char* name;
  std::function<CElementDay*()> make;
  int bytes5, bytes20;
  std::function<bool(const CElementDay&, int)> tailZero;  // every array zero from the index on
};

TEST(DayReload, EntriesPastTheDecodedRecordsAreAbsentAgain) {
  const Kind kinds[] = {
      {"loop", [] { return new CLoopDay(); }, 3, 3,
       [](const CElementDay& d, int n) {
         auto& l = static_cast<const CLoopDay&>(d);
         return ZeroFrom(l.flag, n) && ZeroFrom(l.nPds, n) && ZeroFrom(l.volume, n) && ZeroFrom(l.occupancy, n);
       }},
      {"station", [] { return new CStationDay(); }, trafficdata::kStationPeriodBytes, trafficdata::kStationIntervalBytes,
       [](const CElementDay& d, int n) {
         auto& s = static_cast<const CStationDay&>(d);
         return ZeroFrom(s.flag, n) && ZeroFrom(s.nPds, n) && ZeroFrom(s.volume, n) && ZeroFrom(s.occupancy, n) &&
                ZeroFrom(s.laneCount, n);
       }},
      {"speed trap", [] { return new CSpeedTrapDay(); }, trafficdata::kSpeedTrapPeriodBytes,
       trafficdata::kSpeedTrapIntervalBytes,
       [](const CElementDay& d, int n) {
         auto& t = static_cast<const CSpeedTrapDay&>(d);
         return ZeroFrom(t.flag, n) && ZeroFrom(t.nPds, n) && ZeroFrom(t.speed, n) && ZeroFrom(t.length, n) &&
                ZeroFrom(t.bin1, n) && ZeroFrom(t.bin2, n) && ZeroFrom(t.bin3, n) && ZeroFrom(t.bin4, n);
       }},
      {"metered lane", [] { return new CMeteredLaneDay(); }, trafficdata::kMeteredLaneBytes,
       trafficdata::kMeteredLaneBytes,
       [](const CElementDay& d, int n) {
         auto& m = static_cast<const CMeteredLaneDay&>(d);
         return ZeroFrom(m.flag, n) && ZeroFrom(m.nPds, n) && ZeroFrom(m.rate, n) && ZeroFrom(m.redViolators, n);
       }},
  };
  for (const Kind& k : kinds) {
    for (int count : {288, 4320}) {
      const int size = count == 288 ? k.bytes5 : k.bytes20;
      std::unique_ptr<CElementDay> day(k.make());
      const std::vector<unsigned char> full(static_cast<size_t>(size) * count, 0xB7);
      day->Load(full.data(), static_cast<int>(full.size()), count);
      ASSERT_EQ(day->Count(), count);
      ASSERT_FALSE(k.tailZero(*day, 0)) << k.name << ": the full load sets entries";
      for (int records : {2, 0}) {
        day->Load(full.data(), size * records, count);
        ASSERT_EQ(day->Count(), count) << k.name;
        EXPECT_TRUE(k.tailZero(*day, records)) << k.name << " " << count << " " << records;
        day->Load(full.data(), static_cast<int>(full.size()), count);  // dirty again
      }
      day->Clear();  // keeps no entry of the last load
      EXPECT_TRUE(k.tailZero(*day, 0)) << k.name << " cleared";
    }
  }
}

}  // namespace
