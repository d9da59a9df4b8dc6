// Packed record layouts of stations, speed traps and metered lanes.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "trafficdata/meter_status.h"
#include "trafficdata/packed_records.h"

using namespace trafficdata;

namespace {

std::vector<unsigned char> Bytes(std::initializer_list<int> v) {
  return std::vector<unsigned char>(v.begin(), v.end());
}

bool Same(const StationPeriodRecord& a, const StationPeriodRecord& b) {
  return a.flag == b.flag && a.nPds == b.nPds && a.occupancy == b.occupancy && a.volume == b.volume &&
         a.laneCount == b.laneCount;
}
bool Same(const StationIntervalRecord& a, const StationIntervalRecord& b) {
  return a.good == b.good && a.occupancy == b.occupancy && a.volume == b.volume && a.laneCount == b.laneCount;
}
bool Same(const SpeedTrapPeriodRecord& a, const SpeedTrapPeriodRecord& b) {
  return a.flag == b.flag && a.nPds == b.nPds && a.speed == b.speed && a.length == b.length && a.bin1 == b.bin1 &&
         a.bin2 == b.bin2 && a.bin3 == b.bin3 && a.bin4 == b.bin4;
}
bool Same(const SpeedTrapIntervalRecord& a, const SpeedTrapIntervalRecord& b) {
  return a.flags == b.flags && a.present == b.present && a.speed == b.speed && a.length == b.length &&
         a.bin1 == b.bin1 && a.bin2 == b.bin2 && a.bin3 == b.bin3 && a.bin4 == b.bin4;
}
bool Same(const MeteredLaneRecord& a, const MeteredLaneRecord& b) {
  return a.rate == b.rate && a.redViolators == b.redViolators && a.status == b.status;
}

// Packs r, compares the bytes with the expected ones (when given) and unpacks it again.
template <class R, class Pack, class Unpack>
void CheckRecord(const R& r, const std::vector<unsigned char>& expected, Pack pack, Unpack unpack, size_t size) {
  std::vector<unsigned char> b(size, 0xEE);
  pack(r, b.data());
  if (!expected.empty()) {
    EXPECT_EQ(expected, b);
  }
  EXPECT_TRUE(Same(unpack(b.data()), r));
}

}  // namespace

TEST(PackedRecords, ExamplesDecode) {
  StationPeriodRecord sp = UnpackStationPeriod(Bytes({0x4B, 0x2C, 0x35, 0x10}).data());
  EXPECT_EQ(1, sp.flag);
  EXPECT_EQ(2, sp.nPds);
  EXPECT_EQ(812, sp.occupancy);
  EXPECT_EQ(1296, sp.volume);
  EXPECT_EQ(3, sp.laneCount);

  StationIntervalRecord si = UnpackStationInterval(Bytes({0x1A, 0x10, 0x85}).data());
  EXPECT_EQ(528, si.occupancy);
  EXPECT_EQ(3, si.laneCount);
  EXPECT_EQ(5, si.volume);
  EXPECT_EQ(1, si.good);
  EXPECT_EQ(0, UnpackStationInterval(Bytes({0x02, 0x10, 0x85}).data()).laneCount);

  SpeedTrapPeriodRecord tp = UnpackSpeedTrapPeriod(Bytes({0x4B, 0x2C, 0x9A, 0x0A, 0x03, 0x01, 0x82}).data());
  EXPECT_EQ(1, tp.flag);
  EXPECT_EQ(2, tp.nPds);
  EXPECT_EQ(812, tp.speed);
  EXPECT_EQ(410, tp.length);
  EXPECT_EQ(10, tp.bin1);
  EXPECT_EQ(3, tp.bin2);
  EXPECT_EQ(1, tp.bin3);
  EXPECT_EQ(2, tp.bin4);

  SpeedTrapIntervalRecord ti = UnpackSpeedTrapInterval(Bytes({0x70, 0x82, 0x8F, 0xBB, 0x04, 0x01}).data());
  EXPECT_EQ(0x70, ti.flags);
  EXPECT_EQ(1, ti.present);
  EXPECT_EQ(655, ti.speed);
  EXPECT_EQ(187, ti.length);
  EXPECT_EQ(4, ti.bin1);
  EXPECT_EQ(0, ti.bin2);
  EXPECT_EQ(1, ti.bin3);
  EXPECT_EQ(0, ti.bin4);

  MeteredLaneRecord m = UnpackMeteredLane(Bytes({0x50, 0x3A}).data());
  EXPECT_EQ(80, m.rate);
  EXPECT_EQ(10, m.status);
  EXPECT_EQ(3, m.redViolators);
  m = UnpackMeteredLane(Bytes({0x00, 0x07}).data());
  EXPECT_EQ(0, m.rate);
  EXPECT_EQ(7, m.status);
  EXPECT_STREQ("TOD", MeterStatusName(10));
}

// One field at its maximum and every other field 0: a bit that leaks into a neighbouring field
// (the speed trap's length bits 8 and 9, its bin nibbles) shows in the bytes or the round trip.
TEST(PackedRecords, EachFieldAtItsMaximum) {
  auto st5 = [](auto set, std::vector<unsigned char> bytes) {
    StationPeriodRecord r;
    set(r);
    CheckRecord(r, bytes, PackStationPeriod, UnpackStationPeriod, 4);
  };
  st5([](auto& r) { r.flag = 3; }, Bytes({0xC0, 0, 0, 0}));
  st5([](auto& r) { r.nPds = 15; }, Bytes({0x3C, 0, 0, 0}));
  st5([](auto& r) { r.occupancy = 1023; }, Bytes({0x03, 0xFF, 0, 0}));
  st5([](auto& r) { r.laneCount = 7; }, Bytes({0, 0, 0x70, 0}));
  st5([](auto& r) { r.volume = 4095; }, Bytes({0, 0, 0x0F, 0xFF}));

  auto stF = [](auto set, std::vector<unsigned char> bytes) {
    StationIntervalRecord r;
    set(r);
    CheckRecord(r, bytes, PackStationInterval, UnpackStationInterval, 3);
  };
  stF([](auto& r) { r.laneCount = 7; }, Bytes({0x38, 0, 0}));
  stF([](auto& r) { r.occupancy = 2047; }, Bytes({0x07, 0xFF, 0}));
  stF([](auto& r) { r.good = 1; }, Bytes({0, 0, 0x80}));
  stF([](auto& r) { r.volume = 127; }, Bytes({0, 0, 0x7F}));

  auto tp5 = [](auto set, std::vector<unsigned char> bytes) {
    SpeedTrapPeriodRecord r;
    set(r);
    CheckRecord(r, bytes, PackSpeedTrapPeriod, UnpackSpeedTrapPeriod, 7);
  };
  tp5([](auto& r) { r.flag = 3; }, Bytes({0xC0, 0, 0, 0, 0, 0, 0}));
  tp5([](auto& r) { r.nPds = 15; }, Bytes({0x3C, 0, 0, 0, 0, 0, 0}));
  tp5([](auto& r) { r.speed = 1023; }, Bytes({0x03, 0xFF, 0, 0, 0, 0, 0}));
  tp5([](auto& r) { r.length = 512; }, Bytes({0, 0, 0, 0, 0, 0x80, 0}));  // bit 9 in byte 5
  tp5([](auto& r) { r.length = 256; }, Bytes({0, 0, 0, 0, 0, 0, 0x80}));  // bit 8 in byte 6
  tp5([](auto& r) { r.length = 1023; }, Bytes({0, 0, 0xFF, 0, 0, 0x80, 0x80}));
  tp5([](auto& r) { r.bin1 = 255; }, Bytes({0, 0, 0, 0xFF, 0, 0, 0}));
  tp5([](auto& r) { r.bin2 = 255; }, Bytes({0, 0, 0, 0, 0xFF, 0, 0}));
  tp5([](auto& r) { r.bin3 = 127; }, Bytes({0, 0, 0, 0, 0, 0x7F, 0}));
  tp5([](auto& r) { r.bin4 = 127; }, Bytes({0, 0, 0, 0, 0, 0, 0x7F}));

  auto tpF = [](auto set, std::vector<unsigned char> bytes) {
    SpeedTrapIntervalRecord r;
    set(r);
    CheckRecord(r, bytes, PackSpeedTrapInterval, UnpackSpeedTrapInterval, 6);
  };
  tpF([](auto& r) { r.flags = 0xFF; }, Bytes({0xFF, 0, 0, 0, 0, 0}));
  tpF([](auto& r) { r.present = 1; }, Bytes({0, 0x80, 0, 0, 0, 0}));
  tpF([](auto& r) { r.length = 1023; }, Bytes({0, 0x0C, 0, 0xFF, 0, 0}));
  tpF([](auto& r) { r.speed = 1023; }, Bytes({0, 0x03, 0xFF, 0, 0, 0}));
  tpF([](auto& r) { r.bin1 = 31; }, Bytes({0, 0, 0, 0, 0x1F, 0}));
  tpF([](auto& r) { r.bin4 = 7; }, Bytes({0, 0, 0, 0, 0xE0, 0}));
  tpF([](auto& r) { r.bin2 = 15; }, Bytes({0, 0, 0, 0, 0, 0xF0}));
  tpF([](auto& r) { r.bin3 = 15; }, Bytes({0, 0, 0, 0, 0, 0x0F}));

  auto ml = [](auto set, std::vector<unsigned char> bytes) {
    MeteredLaneRecord r;
    set(r);
    CheckRecord(r, bytes, PackMeteredLane, UnpackMeteredLane, 2);
  };
  ml([](auto& r) { r.rate = 255; }, Bytes({0xFF, 0}));
  ml([](auto& r) { r.redViolators = 15; }, Bytes({0, 0xF0}));
  ml([](auto& r) { r.status = 15; }, Bytes({0, 0x0F}));
}

TEST(PackedRecords, RandomRoundTrips) {
  std::mt19937 rng(7);
  auto u = [&](int max) { return static_cast<int>(rng() % static_cast<unsigned>(max + 1)); };
  for (int n = 0; n < 2000; ++n) {
    StationPeriodRecord a;
    a.flag = u(3);
    a.nPds = u(15);
    a.occupancy = u(1023);
    a.volume = u(4095);
    a.laneCount = u(7);
    CheckRecord(a, {}, PackStationPeriod, UnpackStationPeriod, 4);
    StationIntervalRecord b;
    b.good = u(1);
    b.occupancy = u(2047);
    b.volume = u(127);
    b.laneCount = u(7);
    CheckRecord(b, {}, PackStationInterval, UnpackStationInterval, 3);
    SpeedTrapPeriodRecord c;
    c.flag = u(3);
    c.nPds = u(15);
    c.speed = u(1023);
    c.length = u(1023);
    c.bin1 = u(255);
    c.bin2 = u(255);
    c.bin3 = u(127);
    c.bin4 = u(127);
    CheckRecord(c, {}, PackSpeedTrapPeriod, UnpackSpeedTrapPeriod, 7);
    SpeedTrapIntervalRecord d;
    d.flags = u(255);
    d.present = u(1);
    d.speed = u(1023);
    d.length = u(1023);
    d.bin1 = u(31);
    d.bin2 = u(15);
    d.bin3 = u(15);
    d.bin4 = u(7);
    CheckRecord(d, {}, PackSpeedTrapInterval, UnpackSpeedTrapInterval, 6);
    MeteredLaneRecord e;
    e.rate = u(255);
    e.redViolators = u(15);
    e.status = u(15);
    CheckRecord(e, {}, PackMeteredLane, UnpackMeteredLane, 2);
  }
}

TEST(PackedRecords, DecodableRecordsNeverExceedTheBuffer) {
  unsigned char buf[10] = {};
  EXPECT_EQ(0, DecodableRecords(buf, 10, -5, 4));
  EXPECT_EQ(0, DecodableRecords(nullptr, 10, 5, 4));
  EXPECT_EQ(2, DecodableRecords(buf, 10, 288, 4));
  EXPECT_EQ(2, DecodableRecords(buf, 10, 2, 4));
  EXPECT_EQ(1, DecodableRecords(buf, 10, 1, 4));
}

// ---------------------------------------------------------------------------------------------
// Meter status

TEST(MeterStatus, Combinations) {
  auto fold = [](std::initializer_list<int> codes) {
    int c = kMeterStatusNone;
    for (int v : codes) c = CombineMeterStatus(c, v);
    return c;
  };
  struct Case {
    std::initializer_list<int> codes;
    int expected;
  };
  const Case cases[] = {
      {{10, 11, 10}, 19}, {{10, 7}, 20},  {{0, 10}, 22},  {{0, 4}, 21},   {{13, 1}, 23},  {{5, 13}, 23},
      {{16, 19}, 20},     {{18, 17}, 21}, {{0, 22}, 22},  {{17, 22}, 22}, {{21, 22}, 22}, {{0, 6}, 18},
      {{4, 14}, 17},      {{1, 3}, 16},   {{21, 10}, 22}, {{7}, 7},       {{}, 24},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, fold(c.codes));
  EXPECT_STREQ("Mixed Meter-On", MeterStatusName(22));
  EXPECT_STREQ("Mixed Pre-emption", MeterStatusName(23));
  EXPECT_EQ(nullptr, MeterStatusName(24));
}

// Day codes may be folded in any order, so the rule must be commutative and associative.
TEST(MeterStatus, FoldOrderDoesNotMatter) {
  for (int a = 0; a < 24; ++a) {
    EXPECT_EQ(a, CombineMeterStatus(kMeterStatusNone, a));
    EXPECT_EQ(a, CombineMeterStatus(a, kMeterStatusNone));
    for (int b = 0; b < 24; ++b) {
      ASSERT_EQ(CombineMeterStatus(a, b), CombineMeterStatus(b, a)) << a << " " << b;
      for (int c = 0; c < 24; ++c)
        ASSERT_EQ(CombineMeterStatus(CombineMeterStatus(a, b), c), CombineMeterStatus(a, CombineMeterStatus(b, c)))
            << a << " " << b << " " << c;
    }
  }
}
