#include "app/shell/element_data_factory.h"

#include <atomic>
#include <new>

#include "trafficdata/db_element.h"
#include "trafficdata/loop_data.h"
#include "trafficdata/metered_lane_data.h"
#include "trafficdata/packed_records.h"
#include "trafficdata/speed_trap_data.h"
#include "trafficdata/station_data.h"

namespace {
std::atomic<int> g_failedOrdinal{-1};
}

void FailElementDataAllocation(int ordinal) { g_failedOrdinal.store(ordinal); }

CElementData* CreateElementData(int elementType, int dayCount, CDBElementEx* element, int ordinal) {
  if (ordinal == g_failedOrdinal.load()) return nullptr;
  switch (elementType) {
    case ET_LOOP: return new (std::nothrow) CLoopData(dayCount, element, ordinal);
    case ET_SPEED_TRAP: return new (std::nothrow) CSpeedTrapData(dayCount, element, ordinal);
    case ET_STATION: return new (std::nothrow) CStationData(dayCount, element, ordinal);
    case ET_RATE_STATUS: return new (std::nothrow) CMeteredLaneData(dayCount, element, ordinal);
    default: return nullptr;
  }
}

int ExpectedRecordSize(int elementType, int columns) {
  const bool fiveMinute = columns == 288;
  switch (elementType) {
    case ET_LOOP: return 3;
    case ET_SPEED_TRAP: return fiveMinute ? trafficdata::kSpeedTrapPeriodBytes : trafficdata::kSpeedTrapIntervalBytes;
    case ET_STATION: return fiveMinute ? trafficdata::kStationPeriodBytes : trafficdata::kStationIntervalBytes;
    case ET_RATE_STATUS: return trafficdata::kMeteredLaneBytes;
    default: return 0;
  }
}
