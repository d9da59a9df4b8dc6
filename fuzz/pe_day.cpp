// Fuzzes the PE day reader on in-memory files: the input holds a device list (its length in the
// first two bytes), the matrix width (one byte: 1700 when 0, else 1-255 columns, which keeps the
// runs fast), the .VOL bytes (their length in the next four; the matrix is zero where they end),
// then the .OCC bytes (zero-filled to the full matrix when any are given).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "archive/input.h"
#include "archive/input_desc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  size_t listLength = (static_cast<size_t>(data[0]) | static_cast<size_t>(data[1]) << 8) % (size - 1);
  const uint8_t* p = data + 2;
  size_t rest = size - 2;
  if (listLength > rest) listLength = rest;
  CPEInputDesc desc;
  desc.Parse(reinterpret_cast<const char*>(p), listLength);
  p += listLength;
  rest -= listLength;

  DWORD columns = 1700;
  if (rest > 0) {
    if (p[0] != 0) columns = p[0];
    ++p;
    --rest;
  }
  std::vector<uint8_t> volume(PeVolumeBytes(columns));
  std::vector<uint8_t> occupancy(PeOccupancyBytes(columns));
  size_t volBytes = 0;
  if (rest >= 4) {
    volBytes = static_cast<size_t>(p[0]) | static_cast<size_t>(p[1]) << 8 | static_cast<size_t>(p[2]) << 16 |
               static_cast<size_t>(p[3]) << 24;
    p += 4;
    rest -= 4;
  }
  if (volBytes > rest) volBytes = rest;
  if (volBytes > volume.size()) volBytes = volume.size();
  std::memcpy(volume.data(), p, volBytes);
  p += volBytes;
  rest -= volBytes;
  if (rest > occupancy.size()) rest = occupancy.size();
  std::memcpy(occupancy.data(), p, rest);
  p = occupancy.data();
  if (rest > 0) rest = occupancy.size();

  CDateTimeEx date;
  CPEInput::ParseVolDate(date, volume.data());
  CPEInput day;
  if (day.Load(volume.data(), columns, desc, rest ? p : nullptr, rest) != 0) return 0;
  if (day.m_Index.m_nSize != day.m_Names.m_nSize) std::abort();
  if ((day.m_pOccupancy != nullptr) != (rest > 0)) std::abort();
  for (int i = 0; i < desc.m_Elements.m_nSize; ++i) {
    const CPEDBElement* e = desc.m_Elements.m_pData[i];
    DWORD c = day.FindColumn(e->name, e->cabinet ? e->cabinet->alias : "");
    if (c != 0xFFFFFFFF && c >= columns) std::abort();
  }
  for (int i = 0; i < day.m_Names.m_nSize; ++i) {
    const CPEInputName* n = day.m_Names.m_pData[i];
    if (day.FindColumn(n->m_szName, n->m_szAlias) != n->m_dwColumn) std::abort();
  }
  return 0;
}
