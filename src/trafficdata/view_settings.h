// Settings that the views hand to the traffic data model for one run: the Classic view's report
// options and multi-day limits, the New view's row options, and the older archive format's volume
// limits. The views fill them once per run, so a change in a dialog never reaches a running worker.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "trafficdata/summary.h"

class CDateTimeEx;

// Older archive format: peak windows (period indexes, end exclusive) and good-volume limits.
struct PeValidity {
  int peak1Start = 72, peak1End = 108, peak2Start = 180, peak2End = 228;
  uint8_t peakMin = 0, peakMax = 255, offMin = 0, offMax = 255;
};

// Classic view report options.
struct ClassicSettings {
  int rawFormat = 0;     // 1 = tab-separated, any other value = fixed width
  int singleFormat = 0;
  int multiFormat = 0;
  bool with15Min = true;
  bool withDaily = true;
  bool withCounts = true;
  bool withOccupancy = false;
  std::vector<const CDateTimeEx*> singleDates;  // day d of every element belongs to date d
  std::vector<const CDateTimeEx*> multiDates;
  std::vector<int> months;           // 0-based month numbers
  std::vector<int> monthlyWeekdays;  // 0-6 = Sunday..Saturday
  std::vector<int> yearlyWeekdays;   // 0-6 = Sunday..Saturday
  bool averages = false;             // average switch on and its control enabled
  int monthlyInvalid = 1;            // MONTHLY_INVALID
  int monthlyMissing = 1;            // MONTHLY_MISSING
  int yearlyInvalid = 1;             // YEARLY_INVALID
  int avgInvalid[3] = {0, 0, 0};     // ASWT_INVALID, AWDT_INVALID, AADT_INVALID
  ValidityTables criteria = builtInCriteria();
};

// Content codes of report rows.
enum EContentCode : int {
  CC_VOLUME = 0,
  CC_OCCUPANCY = 1,
  CC_SPEED = 2,
  CC_LENGTH = 3,
  CC_BIN1 = 4,
  CC_BIN2 = 5,
  CC_BIN3 = 6,
  CC_BIN4 = 7,
  CC_PERIODS = 8,
  CC_VALIDITY = 9,
  CC_NDAYS = 10,
  CC_VALID_FLAG = 11,
  CC_CALC_SPEED = 12,
  CC_EST_LENGTH = 13,
  CC_METER_RATE = 14,
  CC_METER_STATUS = 15,
  CC_RED_VIOLATORS = 16,
  CC_PEAK_TIME = 17,
  CC_TT_CUMUL = 18,
  CC_TT_SEGMENT = 19,
  CC_SEG_START = 20,
  CC_DIST_CUMUL = 21,
  CC_DIST_SEGMENT = 22,
  CC_COUNT = 23
};

// New view row options.
struct NewSettings {
  int method = 0;              // aggregation method 0-8
  bool minValidityOn = false;  // a day enters a row only when its span validity >= minValidity
  int minValidity = 0;         // tenths of a per cent
  std::array<bool, CC_COUNT> content{};
  int periodLen = 15;          // P, in 20-second units (1-4320)
  int reportType = 0;          // 1 = AM peak, any other value PM peak (peak builder)
  std::vector<const CDateTimeEx*> dates;
  std::vector<std::vector<int>> groups;  // indexes into dates; one row per group
  // The builders make the rows of groups groupFirst .. groupEnd - 1 only (a loader that makes
  // rows while it reads makes each group's rows once its days are in).
  std::size_t groupFirst = 0;
  std::size_t groupEnd = SIZE_MAX;
};
