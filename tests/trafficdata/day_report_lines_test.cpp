// Classic report lines of station and speed-trap days.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "trafficdata/day_report_lines.h"

using namespace trafficdata;

namespace {

struct Station5 {
    std::vector<uint8_t> flag = std::vector<uint8_t>(288), nPds = std::vector<uint8_t>(288),
                         lanes = std::vector<uint8_t>(288);
    std::vector<uint16_t> vol = std::vector<uint16_t>(288), occ = std::vector<uint16_t>(288);
    void Set(int p, int f, int n, int o, int v) { flag[p] = f; nPds[p] = n; occ[p] = o; vol[p] = v; lanes[p] = 2; }
    StationDayView View() const { return {flag.data(), nPds.data(), vol.data(), occ.data(), lanes.data(), 288}; }
};

struct Trap {
    int count;
    std::vector<uint8_t> flag, nPds, b[4];
    std::vector<uint16_t> speed, length;
    explicit Trap(int n) : count(n), flag(n), nPds(n), speed(n), length(n) {
        for (auto& x : b) x.resize(n);
    }
    void Set(int i, int f, int n, int s, int l, int b1, int b2, int b3, int b4) {
        flag[i] = f; nPds[i] = n; speed[i] = s; length[i] = l;
        b[0][i] = b1; b[1][i] = b2; b[2][i] = b3; b[3][i] = b4;
    }
    SpeedTrapDayView View() const {
        const uint8_t* bins[4] = {b[0].data(), b[1].data(), b[2].data(), b[3].data()};
        return SpeedTrapDayView(flag.data(), nPds.data(), speed.data(), length.data(), bins, count);
    }
};

}  // namespace

TEST(StationLines, RawAnd15Minute) {
    Station5 d;
    for (int p = 0; p < 288; ++p) d.Set(p, 1, 15, 100, 1);
    d.Set(85, 1, 15, 57, 12);
    std::string s;
    station_lines::RawLine(s, d.View(), 85, 0);
    EXPECT_EQ("      7:05    12    5.7%   1    15\n", s);
    s.clear();
    station_lines::RawLine(s, d.View(), 85, 1);
    EXPECT_EQ("\t07:05\t  12\t  5.7%\t1\t15\n", s);

    d.Set(0, 3, 15, 100, 1);  // flag 3 counts as bad
    s.clear();
    station_lines::Line15Min(s, d.View(), 0, 0, true, true);
    EXPECT_EQ("      0:00     3     3     3     3      12       1:00     3     3     3     3      12      23  0  1\n"
              "            10.0% 10.0% 10.0% 10.0%   10.0%            10.0% 10.0% 10.0% 10.0%   10.0%\n\n",
              s);
    // A quarter of (100, 15), (200, 5), (0, 0) is weighted by samples: 125.
    d.Set(3, 1, 15, 100, 1);
    d.Set(4, 1, 5, 200, 1);
    d.Set(5, 0, 0, 0, 0);
    s.clear();
    station_lines::Line15Min(s, d.View(), 0, 1, false, true);
    EXPECT_EQ("\t00:00\t   3\t   2\t   3\t   3\t   11\t01:00\t   3\t   3\t   3\t   3\t   12\n"
              "\t\t10.0%\t12.5%\t10.0%\t10.0%\t10.3%\t\t10.0%\t10.0%\t10.0%\t10.0%\t10.0%\n\n",
              s);
    s.clear();
    station_lines::Header15Min(s, 0, true);
    EXPECT_EQ("     Time    :00   :15   :30   :45    Hour      Time    :00   :15   :30   :45    Hour       G  S  B\n"
              "     --------------------------------------------------------------------------------     ----------\n",
              s);
}

TEST(StationLines, FinerLayoutQuarterWithoutSamplesIsZero) {
    std::vector<uint8_t> f(4320), n(4320), l(4320);
    std::vector<uint16_t> v(4320), o(4320);
    StationDayView day(f.data(), n.data(), v.data(), o.data(), l.data(), 4320);
    std::string s;
    station_lines::Line15Min(s, day, 11, 0, true, true);
    EXPECT_EQ("     22:00     0     0     0     0       0      23:00     0     0     0     0       0       0  0 24\n"
              "             0.0%  0.0%  0.0%  0.0%    0.0%             0.0%  0.0%  0.0%  0.0%    0.0%\n\n",
              s);
    s.clear();
    station_lines::RawLine(s, day, 287, 0);
    EXPECT_EQ("     23:55     0    0.0%   0     0\n", s);
}

TEST(SpeedTrapLines, RawLines) {
    Trap d(288);
    d.Set(97, 1, 15, 655, 187, 4, 0, 1, 0);
    std::string s;
    speed_trap_lines::RawLine(s, d.View(), 97, 0);
    EXPECT_EQ("      8:05   65.5   18.7       4     0     1     0    1     15\n", s);
    s.clear();
    speed_trap_lines::RawLine(s, d.View(), 97, 1);
    EXPECT_EQ("\t08:05\t 65.5\t 18.7\t  4\t  0\t  1\t  0\t1\t15\n", s);
    // Finer layout: bin sums are not cut to 8 bits, and the speed is weighted by all of them.
    Trap f(4320);
    for (int i = 0; i < 15; ++i) f.Set(i, 0, 1, i < 5 ? 500 : 600, 100, 20, 0, 0, 0);
    s.clear();
    speed_trap_lines::RawLine(s, f.View(), 0, 0);
    EXPECT_EQ("      0:00   56.7   10.0     300     0     0     0    1     15\n", s);
}

TEST(SpeedTrapLines, FifteenMinuteAndDaily) {
    Trap d(288);
    for (int p = 0; p < 288; ++p) d.Set(p, 1, 15, 600, 200, 1, 0, 0, 0);
    d.Set(3, 1, 15, 0, 0, 0, 0, 0, 0);  // quarter 1 of hour 0: one period without vehicles
    d.Set(4, 1, 15, 0, 0, 0, 0, 0, 0);
    d.Set(5, 3, 15, 0, 0, 0, 0, 0, 0);
    std::string s;
    speed_trap_lines::Line15Min(s, d.View(), 0, 0, true, false);
    EXPECT_EQ("      0:00  60.0   0.0  60.0  60.0    60.0       1:00  60.0  60.0  60.0  60.0    60.0      23  0  0  1\n", s);
    s.clear();
    speed_trap_lines::Header15Min(s, 0, true);
    EXPECT_EQ("     Time    :00   :15   :30   :45    Hour      Time    :00   :15   :30   :45    Hour       G  S  B  D\n"
              "     --------------------------------------------------------------------------------     ----------\n",
              s);
    // The AM peak hour is always 07:00-08:00.
    d.Set(200, 1, 15, 600, 200, 200, 0, 0, 0);
    SummaryRules r;
    r.running = false;
    r.total = false;
    s.clear();
    speed_trap_lines::DailyLine(s, d.View(), 3, 0, r);
    EXPECT_EQ("     AM Pk Hour VAL   60.0  20.0     12    0    0    0   12   0   0   0 (07:00--08:00)\n", s);
    s.clear();
    speed_trap_lines::DailyLine(s, d.View(), 4, 1, r);
    EXPECT_EQ("\tPM Pk Hour\tVAL\t 60.0\t 20.0\t   12\t   0\t   0\t   0\t 12\t  0\t  0\t  0\t17:00\t18:00\n", s);
}
