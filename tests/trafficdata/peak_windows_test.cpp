// The peak search's window values of speed traps and metered lanes, computed for all windows at
// once, against the span value of each window on random days: every method, period lengths from
// one interval to half a day, days with long gaps and days with hardly any data.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "element_kind_fixtures.h"
#include "trafficdata/peak_windows.h"

using fixtures::ML;
using fixtures::TP;

namespace {

// How often an entry is missing or unusable: the day is cut into runs of one kind.
std::vector<int> RunKinds(std::mt19937& rng, int count, int sparse) {
  std::vector<int> kind(count);
  for (int i = 0; i < count;) {
    int run = 1 + static_cast<int>(rng() % (count == 288 ? 12 : 200));
    int k = static_cast<int>(rng() % (4 + sparse));  // 0 usable, 1 suspect, 2 bad, 3+ missing
    for (int j = 0; j < run && i < count; ++j, ++i) kind[i] = rng() % 7 == 0 ? static_cast<int>(rng() % 4) : k;
  }
  return kind;
}

std::vector<TP> TrapEntries(std::mt19937& rng, int count, int sparse) {
  std::vector<int> kind = RunKinds(rng, count, sparse);
  std::vector<TP> e(count);
  const bool five = count == 288;
  for (int i = 0; i < count; ++i) {
    TP& t = e[i];
    t.speed = 300 + static_cast<int>(rng() % 400);
    t.length = 100 + static_cast<int>(rng() % 500);
    t.b1 = static_cast<int>(rng() % (five ? 200 : 32));
    t.b2 = static_cast<int>(rng() % (five ? 60 : 16));
    t.b3 = static_cast<int>(rng() % (five ? 30 : 16));
    t.b4 = static_cast<int>(rng() % 8);
    if (five) {
      t.nPds = kind[i] >= 3 ? 0 : 1 + static_cast<int>(rng() % 15);
      t.flag = kind[i] == 0 ? 1 : kind[i] == 1 ? 2 : kind[i] == 2 ? static_cast<int>(rng() % 2) * 3 : 1;
    } else {
      t.nPds = kind[i] >= 3 ? 0 : 1;
      t.flag = kind[i] == 2 ? (rng() % 2 ? 0x80 : 1 << (rng() % 4)) : static_cast<int>(rng() % 8) << 4 & 0x70;
    }
  }
  return e;
}

std::vector<ML> LaneEntries(std::mt19937& rng, int sparse) {
  std::vector<int> kind = RunKinds(rng, 4320, sparse);
  std::vector<ML> e(4320);
  for (int i = 0; i < 4320; ++i)
    e[i] = ML{kind[i] >= 2 ? 0 : 1 + static_cast<int>(rng() % 255), static_cast<int>(rng() % 16),
              static_cast<int>(rng() % 16)};
  return e;
}

struct Window {
  int first, last, length;
};

std::vector<Window> Windows(std::mt19937& rng) {
  std::vector<Window> w{{0, 0, 1}};  // the first interval alone: a day of one unit (20 s) or none (5 min)
  for (int length : {1, 14, 15, 16, 45, 180, 2160}) {
    w.push_back({0, 2160 - length, length});     // morning
    w.push_back({2160, 4320 - length, length});  // afternoon
  }
  for (int i = 0; i < 4; ++i) {
    int length = 1 + static_cast<int>(rng() % 300);
    int first = static_cast<int>(rng() % 3000);
    w.push_back({first, first + static_cast<int>(rng() % 300), length});
  }
  return w;
}

TEST(PeakWindows, SpeedTrapWindowsMatchTheSpanValues) {
  std::mt19937 rng(1852);
  for (int round = 0; round < 8; ++round) {
    const int count = round % 2 ? 4320 : 288;
    CSpeedTrapDay day;
    fixtures::LoadTrap(day, TrapEntries(rng, count, round % 3 == 2 ? 12 : 0), count);
    const trafficdata::SpeedTrapDayView v = day.View();
    for (const Window& w : Windows(rng)) {
      for (int method = 0; method <= 8; ++method) {
        std::vector<int64_t> fast(w.last - w.first + 1);
        trafficdata::SpeedTrapPeakVehicles(v, w.first, w.last, w.length, method, fast.data());
        for (int s = w.first; s <= w.last; ++s) {
          int64_t slow = 0;
          for (int bin = 1; bin <= 4; ++bin) slow += v.GetSpanBin(bin, s, w.length, method);
          ASSERT_EQ(slow, fast[s - w.first]) << "count " << count << " method " << method << " start " << s
                                             << " length " << w.length << " round " << round;
        }
      }
    }
  }
}

TEST(PeakWindows, MeteredLaneWindowsMatchTheSpanValues) {
  std::mt19937 rng(1907);
  for (int round = 0; round < 6; ++round) {
    CMeteredLaneDay day;
    fixtures::LoadMetered(day, LaneEntries(rng, round % 3 == 2 ? 12 : 0));
    const trafficdata::MeteredLaneDayView v = day.View();
    for (const Window& w : Windows(rng)) {
      for (int method = 0; method <= 8; ++method) {
        std::vector<int64_t> fast(w.last - w.first + 1);
        trafficdata::MeteredLanePeakRates(v, w.first, w.last, w.length, method, fast.data());
        for (int s = w.first; s <= w.last; ++s)
          ASSERT_EQ(static_cast<int64_t>(v.GetSpanRate(s, w.length, method)), fast[s - w.first])
              << "method " << method << " start " << s << " length " << w.length << " round " << round;
      }
    }
  }
}

// A day without any usable entry, and an empty day, give 0 for every window.
TEST(PeakWindows, DaysWithoutDataGiveZero) {
  CSpeedTrapDay trap;
  fixtures::LoadTrap(trap, std::vector<TP>(4320, TP{0x80, 1, 500, 200, 3, 1, 0, 0}), 4320);
  CSpeedTrapDay empty;
  CMeteredLaneDay lane;
  fixtures::LoadMetered(lane, std::vector<ML>(4320, ML{0, 2, 3}));
  for (int method : {0, 3, 6, 8}) {
    std::vector<int64_t> out(2160, -1);
    trafficdata::SpeedTrapPeakVehicles(trap.View(), 0, 2159, 45, method, out.data());
    EXPECT_EQ(std::vector<int64_t>(2160, 0), out) << method;
    trafficdata::SpeedTrapPeakVehicles(empty.View(), 0, 2159, 45, method, out.data());
    EXPECT_EQ(std::vector<int64_t>(2160, 0), out) << method;
    trafficdata::MeteredLanePeakRates(lane.View(), 0, 2159, 45, method, out.data());
    EXPECT_EQ(std::vector<int64_t>(2160, 0), out) << method;
  }
}

}  // namespace
