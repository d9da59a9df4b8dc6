// Packed loop-day records as the archive hands them over: any byte string, any record count.
// Loading, the report lines, the summaries and every span value must stay inside the buffer and
// the day's arrays, and end.
//
// Input: bytes 0-1 the record count (288 when byte 0 is 0xFF), byte 2 the method, the rest the
// packed 3-byte records.
#include <cstddef>
#include <cstdint>

#include "trafficdata/loop_day.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const int count = data[0] == 0xFF ? 288 : (data[0] << 8 | data[1]) % 5000;
  const int method = data[2] % 10;
  data += 3;
  size -= 3;
  CLoopDay day;
  day.Load(data, static_cast<int>(size), count);
  CText out("");
  day.WriteRawListing(out, method & 1);
  day.Write15MinReport(out, method & 1, true, true);
  day.WriteDailyReport(out, 0, builtInCriteria());
  SSpeedParams sp;
  const int starts[] = {0, 7, 2150, 4319};
  const int lengths[] = {1, 14, 15, 45, 4320};
  for (int s : starts)
    for (int l : lengths) {
      if (s + l > 4320) continue;
      day.GetSpanSpeed(s, l, method, sp);
      day.GetSpanValidity(s, l, method);
      day.GetSpanFlag(s, l, method);
      day.GetSpanPeriods(s, l, method);
      day.Clear();
      day.Load(data, static_cast<int>(size), count);
    }
  return 0;
}
