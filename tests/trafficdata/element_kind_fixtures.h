// Builders of station, speed-trap and metered-lane days for the tests: records are packed with
// the archive's layouts and loaded through the day classes' own Load.
#pragma once

#include <string>
#include <vector>

#include "trafficdata/metered_lane_day.h"
#include "trafficdata/packed_records.h"
#include "trafficdata/speed_trap_day.h"
#include "trafficdata/station_day.h"

namespace fixtures {

inline std::string Text(const CText& t) { return t.m_pData ? std::string(t.m_pData) : std::string(); }

// Five-minute station period: flag, nPds, occupancy (tenths), volume, lanes.
struct SP { int flag, nPds, occ, vol, lanes; };

inline void LoadStation5(CStationDay& day, const std::vector<SP>& periods) {
  std::vector<unsigned char> buf(288 * trafficdata::kStationPeriodBytes, 0);
  for (size_t i = 0; i < periods.size() && i < 288; ++i) {
    trafficdata::StationPeriodRecord r;
    r.flag = static_cast<uint8_t>(periods[i].flag);
    r.nPds = static_cast<uint8_t>(periods[i].nPds);
    r.occupancy = static_cast<uint16_t>(periods[i].occ);
    r.volume = static_cast<uint16_t>(periods[i].vol);
    r.laneCount = static_cast<uint8_t>(periods[i].lanes);
    trafficdata::PackStationPeriod(r, buf.data() + trafficdata::kStationPeriodBytes * i);
  }
  day.Load(buf.data(), static_cast<int>(buf.size()), 288);
}

// A five-minute station day whose 288 periods all equal p, then the given overrides.
inline std::vector<SP> StationPeriods(SP all) { return std::vector<SP>(288, all); }

// 20-second station interval: good, occupancy (raw), volume, lanes.
struct SI { int good, occ, vol, lanes; };

inline void LoadStationFine(CStationDay& day, const std::vector<SI>& intervals, int count = 4320) {
  std::vector<unsigned char> buf(static_cast<size_t>(count) * trafficdata::kStationIntervalBytes, 0);
  for (size_t i = 0; i < intervals.size() && i < static_cast<size_t>(count); ++i) {
    trafficdata::StationIntervalRecord r;
    r.good = static_cast<uint8_t>(intervals[i].good);
    r.occupancy = static_cast<uint16_t>(intervals[i].occ);
    r.volume = static_cast<uint8_t>(intervals[i].vol);
    r.laneCount = static_cast<uint8_t>(intervals[i].lanes);
    trafficdata::PackStationInterval(r, buf.data() + trafficdata::kStationIntervalBytes * i);
  }
  day.Load(buf.data(), static_cast<int>(buf.size()), count);
}

// Speed-trap period or interval: flag (class or flag bits), nPds (or present), speed, length, bins.
struct TP { int flag, nPds, speed, length, b1, b2, b3, b4; };

inline void LoadTrap(CSpeedTrapDay& day, const std::vector<TP>& entries, int count) {
  const bool five = count == 288;
  const int rb = five ? trafficdata::kSpeedTrapPeriodBytes : trafficdata::kSpeedTrapIntervalBytes;
  std::vector<unsigned char> buf(static_cast<size_t>(count) * rb, 0);
  for (size_t i = 0; i < entries.size() && i < static_cast<size_t>(count); ++i) {
    const TP& e = entries[i];
    if (five) {
      trafficdata::SpeedTrapPeriodRecord r;
      r.flag = static_cast<uint8_t>(e.flag);
      r.nPds = static_cast<uint8_t>(e.nPds);
      r.speed = static_cast<uint16_t>(e.speed);
      r.length = static_cast<uint16_t>(e.length);
      r.bin1 = static_cast<uint8_t>(e.b1);
      r.bin2 = static_cast<uint8_t>(e.b2);
      r.bin3 = static_cast<uint8_t>(e.b3);
      r.bin4 = static_cast<uint8_t>(e.b4);
      trafficdata::PackSpeedTrapPeriod(r, buf.data() + rb * i);
    } else {
      trafficdata::SpeedTrapIntervalRecord r;
      r.flags = static_cast<uint8_t>(e.flag);
      r.present = static_cast<uint8_t>(e.nPds);
      r.speed = static_cast<uint16_t>(e.speed);
      r.length = static_cast<uint16_t>(e.length);
      r.bin1 = static_cast<uint8_t>(e.b1);
      r.bin2 = static_cast<uint8_t>(e.b2);
      r.bin3 = static_cast<uint8_t>(e.b3);
      r.bin4 = static_cast<uint8_t>(e.b4);
      trafficdata::PackSpeedTrapInterval(r, buf.data() + rb * i);
    }
  }
  day.Load(buf.data(), static_cast<int>(buf.size()), count);
}

// Metered-lane interval: rate, red violators, status.
struct ML { int rate, red, status; };

inline void LoadMetered(CMeteredLaneDay& day, const std::vector<ML>& entries, int count = 4320) {
  std::vector<unsigned char> buf(static_cast<size_t>(count) * 2, 0);
  for (size_t i = 0; i < entries.size() && i < static_cast<size_t>(count); ++i) {
    trafficdata::MeteredLaneRecord r;
    r.rate = static_cast<uint8_t>(entries[i].rate);
    r.redViolators = static_cast<uint8_t>(entries[i].red);
    r.status = static_cast<uint8_t>(entries[i].status);
    trafficdata::PackMeteredLane(r, buf.data() + 2 * i);
  }
  day.Load(buf.data(), static_cast<int>(buf.size()), count);
}

}  // namespace fixtures
