// Fuzzes the database header text and the name list: the first 512 bytes are a header block (a
// short input is filled with 0x07, as the header fill), the rest is a name list in the layout the
// header names (or in the layout chosen by the first byte when the header is refused).
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "archive/ntso_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t block[kNtsoHeaderSize];
  std::memset(block, 0x07, sizeof block);
  std::memcpy(block, data, size < sizeof block ? size : sizeof block);
  NtsoHeaderInfo info;
  int r = NtsoParseHeaderText(block, info);
  int layout = size > 0 ? data[0] % 3 : 0;
  if (r == 0) {
    if (info.layout < 0 || info.layout > 2) std::abort();
    layout = info.layout;
    NtsoSlotsSafe(info);
    for (int f = 1; f <= kNtsoFieldCount; ++f) {
      if (info.positions[f] == 0) continue;
      if (info.positions[f] < 0 || info.positions[f] > kNtsoHeaderSize) std::abort();
      uint64_t v;
      NtsoReadNumber(block, info.positions[f], UINT32_MAX, v);
      NtsoReadNumber(block, info.positions[f], UINT64_MAX, v);
      NtsoReadMode(block, info.positions[f]);
    }
  } else if (r != kNtsoErrHeaderText && r != kNtsoErrNoCrLf && r != kNtsoErrMalformed && r != kNtsoErrFieldOrder) {
    std::abort();
  }
  if (size > kNtsoHeaderSize) {
    const uint8_t* list = data + kNtsoHeaderSize;
    size_t length = size - kNtsoHeaderSize;
    size_t total = 0;
    int e = NtsoParseNameList(list, length, layout, [&](const NtsoRawEntry& entry) {
      const uint8_t* name = reinterpret_cast<const uint8_t*>(entry.name);
      if (name < list || name + entry.nameLength > list + length) std::abort();
      if (layout == 0 && entry.nameLength > 15) std::abort();
      total += entry.nameLength;
      return 0;
    });
    if (e != 0 && e != kNtsoErrMalformed) std::abort();
  }
  return 0;
}
