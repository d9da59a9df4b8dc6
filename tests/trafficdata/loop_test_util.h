// Builders of loop days for the tests: packed records of both layouts and days set period by
// period.
#pragma once

#include <string>
#include <vector>

#include "trafficdata/loop_day.h"

namespace looptest {

struct Period {
  int flag, n, occ, vol;
};

inline void Pack5(std::vector<unsigned char>& out, int flag, int n, int occ, int vol) {
  out.push_back(static_cast<unsigned char>(flag << 6 | n << 2 | occ >> 8));
  out.push_back(static_cast<unsigned char>(occ & 0xFF));
  out.push_back(static_cast<unsigned char>(vol));
}

inline void PackFine(std::vector<unsigned char>& out, bool present, int code, int occ, int vol) {
  out.push_back(static_cast<unsigned char>((present ? 0x08 : 0) | occ >> 8));
  out.push_back(static_cast<unsigned char>(occ & 0xFF));
  out.push_back(static_cast<unsigned char>(code << 5 | vol));
}

// A five-minute day whose every period is p.
inline void Fill(CLoopDay& day, Period p) {
  std::vector<unsigned char> b;
  for (int i = 0; i < 288; ++i) Pack5(b, p.flag, p.n, p.occ, p.vol);
  day.Load(b.data(), static_cast<int>(b.size()), 288);
}

// Overwrites one period of a loaded five-minute day.
inline void Set(CLoopDay& day, int i, Period p) {
  day.flag.m_pData[i] = static_cast<unsigned char>(p.flag);
  day.nPds.m_pData[i] = static_cast<unsigned char>(p.n);
  day.occupancy.m_pData[i] = static_cast<unsigned short>(p.occ);
  day.volume.m_pData[i] = static_cast<unsigned short>(p.vol);
}

inline std::string Str(const CText& t) { return t.m_nSize > 0 ? std::string(t.m_pData) : std::string(); }

}  // namespace looptest
