#include "trafficdata/packed_records.h"

namespace trafficdata {

void PackStationPeriod(const StationPeriodRecord& r, unsigned char* b) {
  b[0] = static_cast<unsigned char>((r.flag & 3) << 6 | (r.nPds & 15) << 2 | (r.occupancy >> 8 & 3));
  b[1] = static_cast<unsigned char>(r.occupancy & 0xFF);
  b[2] = static_cast<unsigned char>((r.laneCount & 7) << 4 | (r.volume >> 8 & 15));
  b[3] = static_cast<unsigned char>(r.volume & 0xFF);
}

void PackStationInterval(const StationIntervalRecord& r, unsigned char* b) {
  b[0] = static_cast<unsigned char>((r.laneCount & 7) << 3 | (r.occupancy >> 8 & 7));
  b[1] = static_cast<unsigned char>(r.occupancy & 0xFF);
  b[2] = static_cast<unsigned char>((r.good & 1) << 7 | (r.volume & 0x7F));
}

void PackSpeedTrapPeriod(const SpeedTrapPeriodRecord& r, unsigned char* b) {
  b[0] = static_cast<unsigned char>((r.flag & 3) << 6 | (r.nPds & 15) << 2 | (r.speed >> 8 & 3));
  b[1] = static_cast<unsigned char>(r.speed & 0xFF);
  b[2] = static_cast<unsigned char>(r.length & 0xFF);
  b[3] = r.bin1;
  b[4] = r.bin2;
  b[5] = static_cast<unsigned char>((r.length >> 9 & 1) << 7 | (r.bin3 & 0x7F));
  b[6] = static_cast<unsigned char>((r.length >> 8 & 1) << 7 | (r.bin4 & 0x7F));
}

void PackSpeedTrapInterval(const SpeedTrapIntervalRecord& r, unsigned char* b) {
  b[0] = r.flags;
  b[1] = static_cast<unsigned char>((r.present & 1) << 7 | (r.length >> 8 & 3) << 2 | (r.speed >> 8 & 3));
  b[2] = static_cast<unsigned char>(r.speed & 0xFF);
  b[3] = static_cast<unsigned char>(r.length & 0xFF);
  b[4] = static_cast<unsigned char>((r.bin4 & 7) << 5 | (r.bin1 & 31));
  b[5] = static_cast<unsigned char>((r.bin2 & 15) << 4 | (r.bin3 & 15));
}

void PackMeteredLane(const MeteredLaneRecord& r, unsigned char* b) {
  b[0] = r.rate;
  b[1] = static_cast<unsigned char>((r.redViolators & 15) << 4 | (r.status & 15));
}

SDayStore& CurrentDayStore() {
  thread_local SDayStore store;
  return store;
}

int DecodableRecords(const unsigned char* packed, int byteLen, int count, int recordBytes) {
  if (packed == nullptr || count <= 0 || byteLen <= 0 || recordBytes <= 0) return 0;
  int fit = byteLen / recordBytes;
  return count < fit ? count : fit;
}

}  // namespace trafficdata
