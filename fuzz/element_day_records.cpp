// Packed day records of stations, speed traps and metered lanes as the archive hands them over:
// any byte string, any record count. Loading and every reader must stay inside the buffer and
// the day's arrays.
//
// Input: byte 0 picks the kind (mod 3), bytes 1-2 the record count (288 when byte 1 is 0xFF),
// byte 3 the method, the rest the packed records.
#include <cstddef>
#include <cstdint>

#include "trafficdata/metered_lane_day.h"
#include "trafficdata/speed_trap_day.h"
#include "trafficdata/station_day.h"

namespace {

void Exercise(CElementDay& day, const uint8_t* data, size_t size, int count, int method) {
  day.Load(data, static_cast<int>(size), count);
  CText out;
  day.WriteRawListing(out, method & 1);
  day.Write15MinReport(out, method & 1, true, true);
  day.WriteDailyReport(out, 0, builtInCriteria());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const int kind = data[0] % 3;
  const int count = data[1] == 0xFF ? 288 : (data[1] << 8 | data[2]) % 5000;
  const int method = data[3] % 10;
  const int starts[] = {0, 7, 2150, 4319};
  const int lengths[] = {1, 14, 15, 45, 4320};
  data += 4;
  size -= 4;
  if (kind == 0) {
    CStationDay day;
    Exercise(day, data, size, count, method);
    SSpeedParams sp;
    for (int s : starts)
      for (int l : lengths) {
        day.GetSpanSpeed(s, l, method, sp);
        day.GetSpanValidity(s, l, method);
        day.GetSpanFlag(s, l, method);
        day.GetSpanPeriods(s, l, method);
      }
  } else if (kind == 1) {
    CSpeedTrapDay day;
    Exercise(day, data, size, count, method);
    for (int s : starts)
      for (int l : lengths) {
        day.GetSpanSpeed(s, l, method);
        day.GetSpanLength(s, l, method);
        day.GetSpanBin(1 + (s & 3), s, l, method);
        day.GetSpanValidity(s, l, method);
        day.GetSpanFlag(s, l, method);
      }
  } else {
    CMeteredLaneDay day;
    Exercise(day, data, size, count, method);
    for (int s : starts)
      for (int l : lengths) {
        day.GetSpanRate(s, l, method);
        day.GetSpanRedViolators(s, l, method);
        day.GetSpanMeterStatus(s, l, method);
        day.GetSpanValidity(s, l, method);
      }
  }
  return 0;
}
