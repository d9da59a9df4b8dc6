#include "trafficdata/packed_records.h"

namespace trafficdata {

StationPeriodRecord UnpackStationPeriod(const unsigned char* b) {
  StationPeriodRecord r;
  r.flag = b[0] >> 6;
  r.nPds = (b[0] >> 2) & 15;
  r.occupancy = static_cast<uint16_t>((b[0] & 3) << 8 | b[1]);
  r.laneCount = (b[2] >> 4) & 7;
  r.volume = static_cast<uint16_t>((b[2] & 15) << 8 | b[3]);
  return r;
}

void PackStationPeriod(const StationPeriodRecord& r, unsigned char* b) {
  b[0] = static_cast<unsigned char>((r.flag & 3) << 6 | (r.nPds & 15) << 2 | (r.occupancy >> 8 & 3));
  b[1] = static_cast<unsigned char>(r.occupancy & 0xFF);
  b[2] = static_cast<unsigned char>((r.laneCount & 7) << 4 | (r.volume >> 8 & 15));
  b[3] = static_cast<unsigned char>(r.volume & 0xFF);
}

StationIntervalRecord UnpackStationInterval(const unsigned char* b) {
  StationIntervalRecord r;
  r.laneCount = (b[0] >> 3) & 7;
  r.occupancy = static_cast<uint16_t>((b[0] & 7) << 8 | b[1]);
  r.good = b[2] >> 7;
  r.volume = b[2] & 0x7F;
  return r;
}

void PackStationInterval(const StationIntervalRecord& r, unsigned char* b) {
  b[0] = static_cast<unsigned char>((r.laneCount & 7) << 3 | (r.occupancy >> 8 & 7));
  b[1] = static_cast<unsigned char>(r.occupancy & 0xFF);
  b[2] = static_cast<unsigned char>((r.good & 1) << 7 | (r.volume & 0x7F));
}

SpeedTrapPeriodRecord UnpackSpeedTrapPeriod(const unsigned char* b) {
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

void PackSpeedTrapPeriod(const SpeedTrapPeriodRecord& r, unsigned char* b) {
  b[0] = static_cast<unsigned char>((r.flag & 3) << 6 | (r.nPds & 15) << 2 | (r.speed >> 8 & 3));
  b[1] = static_cast<unsigned char>(r.speed & 0xFF);
  b[2] = static_cast<unsigned char>(r.length & 0xFF);
  b[3] = r.bin1;
  b[4] = r.bin2;
  b[5] = static_cast<unsigned char>((r.length >> 9 & 1) << 7 | (r.bin3 & 0x7F));
  b[6] = static_cast<unsigned char>((r.length >> 8 & 1) << 7 | (r.bin4 & 0x7F));
}

SpeedTrapIntervalRecord UnpackSpeedTrapInterval(const unsigned char* b) {
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

void PackSpeedTrapInterval(const SpeedTrapIntervalRecord& r, unsigned char* b) {
  b[0] = r.flags;
  b[1] = static_cast<unsigned char>((r.present & 1) << 7 | (r.length >> 8 & 3) << 2 | (r.speed >> 8 & 3));
  b[2] = static_cast<unsigned char>(r.speed & 0xFF);
  b[3] = static_cast<unsigned char>(r.length & 0xFF);
  b[4] = static_cast<unsigned char>((r.bin4 & 7) << 5 | (r.bin1 & 31));
  b[5] = static_cast<unsigned char>((r.bin2 & 15) << 4 | (r.bin3 & 15));
}

MeteredLaneRecord UnpackMeteredLane(const unsigned char* b) {
  MeteredLaneRecord r;
  r.rate = b[0];
  r.redViolators = b[1] >> 4;
  r.status = b[1] & 15;
  return r;
}

void PackMeteredLane(const MeteredLaneRecord& r, unsigned char* b) {
  b[0] = r.rate;
  b[1] = static_cast<unsigned char>((r.redViolators & 15) << 4 | (r.status & 15));
}

int DecodableRecords(const unsigned char* packed, int byteLen, int count, int recordBytes) {
  if (packed == nullptr || count <= 0 || byteLen <= 0 || recordBytes <= 0) return 0;
  int fit = byteLen / recordBytes;
  return count < fit ? count : fit;
}

}  // namespace trafficdata
