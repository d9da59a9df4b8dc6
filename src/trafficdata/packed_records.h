// Packed archive records of stations, speed traps and metered lanes.
//
// The archive keeps one fixed-size record per five-minute period (288 a day) or per 20-second
// interval (4320 a day). These decoders and encoders are the single place that knows the bit
// positions; the day classes decode through them and the test-data generator encodes through them.
// Bit 0 is the least significant bit of a byte. The decoders are inline: Load calls them for
// every record of a day.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "containers/block_arena.h"
#include "containers/mem_mgr.h"

namespace trafficdata {

// Where the calling thread's day loads take their arrays from: `arena` (null: each array a heap
// block of its own), with room taken at once for `daysAhead` days like the one being loaded.
struct SDayStore {
  CBlockArena* arena = nullptr;
  size_t daysAhead = 1;
};
SDayStore& CurrentDayStore();

// Makes the loads of this thread take their arrays from `arena` while the scope is open (a loader
// that decodes every day of an element on one thread at a time, into the element's arena).
class CDayStoreScope {
 public:
  CDayStoreScope(CBlockArena* arena, size_t daysAhead) : m_before(CurrentDayStore()) {
    CurrentDayStore() = {arena, daysAhead > 0 ? daysAhead : 1};
  }
  ~CDayStoreScope() { CurrentDayStore() = m_before; }
  CDayStoreScope(const CDayStoreScope&) = delete;
  CDayStoreScope& operator=(const CDayStoreScope&) = delete;

 private:
  SDayStore m_before;
};

// Station, five-minute layout, 4 bytes:
//   b0 = flag<<6 | nPds<<2 | occ>>8   b1 = occ & 0xFF   b2 = lanes<<4 | vol>>8   b3 = vol & 0xFF
struct StationPeriodRecord {
  uint8_t flag = 0;        // class 0 bad, 1 good, 2 suspect, 3 (counted as bad)
  uint8_t nPds = 0;        // 20-second samples, 0-15
  uint16_t occupancy = 0;  // tenths of a per cent, 0-1023
  uint16_t volume = 0;     // vehicles of all lanes, 0-4095
  uint8_t laneCount = 0;   // 0-7
};
constexpr int kStationPeriodBytes = 4;
inline StationPeriodRecord UnpackStationPeriod(const unsigned char* b) {
  StationPeriodRecord r;
  r.flag = b[0] >> 6;
  r.nPds = (b[0] >> 2) & 15;
  r.occupancy = static_cast<uint16_t>((b[0] & 3) << 8 | b[1]);
  r.laneCount = (b[2] >> 4) & 7;
  r.volume = static_cast<uint16_t>((b[2] & 15) << 8 | b[3]);
  return r;
}
void PackStationPeriod(const StationPeriodRecord& r, unsigned char* b);

// Station, 20-second layout, 3 bytes:
//   b0 = lanes<<3 | occ>>8   b1 = occ & 0xFF   b2 = good<<7 | vol
// The interval is present when its lane count is not 0.
struct StationIntervalRecord {
  uint8_t good = 0;        // 1 good
  uint16_t occupancy = 0;  // raw counts, 0-2047 (1.2 counts = 0.1 %)
  uint8_t volume = 0;      // 0-127
  uint8_t laneCount = 0;   // 0-7
};
constexpr int kStationIntervalBytes = 3;
inline StationIntervalRecord UnpackStationInterval(const unsigned char* b) {
  StationIntervalRecord r;
  r.laneCount = (b[0] >> 3) & 7;
  r.occupancy = static_cast<uint16_t>((b[0] & 7) << 8 | b[1]);
  r.good = b[2] >> 7;
  r.volume = b[2] & 0x7F;
  return r;
}
void PackStationInterval(const StationIntervalRecord& r, unsigned char* b);

// Speed trap, five-minute layout, 7 bytes:
//   b0 = flag<<6 | nPds<<2 | spd>>8   b1 = spd & 0xFF   b2 = len & 0xFF   b3 = bin1   b4 = bin2
//   b5 = len bit 9 <<7 | bin3         b6 = len bit 8 <<7 | bin4
struct SpeedTrapPeriodRecord {
  uint8_t flag = 0;            // class 0-3 (3 disabled)
  uint8_t nPds = 0;            // 0-15
  uint16_t speed = 0;          // tenths of a mph, 0-1023
  uint16_t length = 0;         // tenths of a foot, 0-1023
  uint8_t bin1 = 0, bin2 = 0;  // 0-255
  uint8_t bin3 = 0, bin4 = 0;  // 0-127
};
constexpr int kSpeedTrapPeriodBytes = 7;
inline SpeedTrapPeriodRecord UnpackSpeedTrapPeriod(const unsigned char* b) {
  SpeedTrapPeriodRecord r;
  r.flag = b[0] >> 6;
  r.nPds = (b[0] >> 2) & 15;
  r.speed = static_cast<uint16_t>((b[0] & 3) << 8 | b[1]);
  r.length = static_cast<uint16_t>((b[5] >> 7) << 9 | (b[6] >> 7) << 8 | b[2]);
  r.bin1 = b[3];
  r.bin2 = b[4];
  r.bin3 = b[5] & 0x7F;
  r.bin4 = b[6] & 0x7F;
  return r;
}
void PackSpeedTrapPeriod(const SpeedTrapPeriodRecord& r, unsigned char* b);

// Speed trap, 20-second layout, 6 bytes:
//   b0 = flag bits   b1 = present<<7 | len>>8 <<2 | spd>>8   b2 = spd & 0xFF   b3 = len & 0xFF
//   b4 = bin4<<5 | bin1   b5 = bin2<<4 | bin3
struct SpeedTrapIntervalRecord {
  uint8_t flags = 0;    // bit 0 >MaxLen, 1 <MinLen, 2 >MaxSpd, 3 <MinSpd, 4 OccRatio, 5 LostVeh,
                        // 6 2Veh, 7 operator disabled
  uint8_t present = 0;  // 0-1
  uint16_t speed = 0;   // 0-1023
  uint16_t length = 0;  // 0-1023
  uint8_t bin1 = 0;     // 0-31
  uint8_t bin2 = 0;     // 0-15
  uint8_t bin3 = 0;     // 0-15
  uint8_t bin4 = 0;     // 0-7
};
constexpr int kSpeedTrapIntervalBytes = 6;
inline SpeedTrapIntervalRecord UnpackSpeedTrapInterval(const unsigned char* b) {
  SpeedTrapIntervalRecord r;
  r.flags = b[0];
  r.present = b[1] >> 7;
  r.length = static_cast<uint16_t>((b[1] >> 2 & 3) << 8 | b[3]);
  r.speed = static_cast<uint16_t>((b[1] & 3) << 8 | b[2]);
  r.bin4 = b[4] >> 5;
  r.bin1 = b[4] & 31;
  r.bin2 = b[5] >> 4;
  r.bin3 = b[5] & 15;
  return r;
}
void PackSpeedTrapInterval(const SpeedTrapIntervalRecord& r, unsigned char* b);

// Metered lane, one layout of 20-second intervals, 2 bytes:
//   b0 = rate   b1 = red<<4 | status
struct MeteredLaneRecord {
  uint8_t rate = 0;          // 0 = no sample
  uint8_t redViolators = 0;  // 0-15
  uint8_t status = 0;        // meter status code 0-15
};
constexpr int kMeteredLaneBytes = 2;
inline MeteredLaneRecord UnpackMeteredLane(const unsigned char* b) {
  MeteredLaneRecord r;
  r.rate = b[0];
  r.redViolators = b[1] >> 4;
  r.status = b[1] & 15;
  return r;
}
void PackMeteredLane(const MeteredLaneRecord& r, unsigned char* b);

// Number of records of recordBytes each that Load may decode: the count it was given, never more
// than the buffer holds, and 0 for a negative count or a missing buffer.
int DecodableRecords(const unsigned char* packed, int byteLen, int count, int recordBytes);

// True when every array of a day holds count entries. Otherwise (an array could not take its
// length: out of memory) every array is emptied, so that a day never holds arrays of different
// lengths, and the day is to read as a day without data.
template <class... Arrays>
bool DayArraysInStep(int count, Arrays&... arrays) {
  if (((arrays.m_nSize == count) && ...)) return true;
  (arrays.RemoveAll(), ...);
  return false;
}

// Sizes every array of a day to count entries for a load that writes entries 0 .. written - 1
// itself (written is clamped to 0 .. count): only the entries from `written` on are zeroed, so a
// day's bytes are written once. An array without room gets a block of exactly its length (a
// day's arrays never grow; the allocator's series would waste up to half of each): lent by the
// thread's day store when one is set (CDayStoreScope), else from the heap. False, with every array
// empty, when they could not all be allocated.
template <class... Arrays>
bool SizeDayArrays(int count, int written, Arrays&... arrays) {
  if (count < 0) count = 0;
  written = written < 0 ? 0 : written > count ? count : written;
  const SDayStore& store = CurrentDayStore();
  // The whole day's bytes as the arena lays them out: the room taken ahead is a multiple of it.
  size_t dayBytes = 0;
  if (store.arena != nullptr)
    ((dayBytes += (sizeof(*arrays.m_pData) * static_cast<size_t>(count) + CBlockArena::kAlign - 1) /
                  CBlockArena::kAlign * CBlockArena::kAlign),
     ...);
  auto size = [&](auto& a) {
    using T = std::remove_reference_t<decltype(*a.m_pData)>;
    const uint64_t bytes = sizeof(T) * static_cast<uint64_t>(count);
    a.RemoveAll();
    if (count == 0) return;
    if (bytes > a.m_nAllocBytes) {  // always for a lent block, whose capacity is 0
      void* lent = store.arena != nullptr ? store.arena->Alloc(static_cast<size_t>(bytes), dayBytes * store.daysAhead)
                                          : nullptr;
      if (lent != nullptr) {
        a.LendBlock(static_cast<T*>(lent), count);
      } else {
        void* p = g_MemMgr.AllocExact(bytes);
        if (p == nullptr) return;  // the old block stays; the day is emptied below
        if (!a.HasLentBlock()) g_MemMgr.Free(a.m_pData);
        a.m_pData = static_cast<T*>(p);
        a.m_nAllocBytes = CScalarMemMgr::Size(p);
      }
    }
    if (!a.HasLentBlock()) a.SetSize(count, false);  // a lent block is never resized
    std::memset(static_cast<void*>(a.m_pData + written), 0, sizeof(*a.m_pData) * static_cast<size_t>(count - written));
  };
  (size(arrays), ...);
  return DayArraysInStep(count, arrays...);
}

// Hands decode(i, bytes) each record that Load may decode: at most count (the entries of the
// day's arrays), never more than the buffer holds.
template <class Decode>
void DecodeRecords(const unsigned char* packed, int byteLen, int count, int recordBytes, Decode decode) {
  const int n = DecodableRecords(packed, byteLen, count, recordBytes);
  for (int i = 0; i < n; ++i) decode(i, packed + recordBytes * i);
}

}  // namespace trafficdata
