// Fuzzes the RMDC.LST reader on arbitrary text: records, indexes and lookups.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "archive/input_desc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CFMDBInputDesc desc;
  DWORD r = desc.Parse(reinterpret_cast<const char*>(data), size);
  if (r != 0 && r != 11) std::abort();
  if (r == 11 && desc.m_Cabinets.m_nSize != 0) std::abort();
  if (desc.m_IdIndex.m_nSize != desc.m_Cabinets.m_nSize || desc.m_AliasIndex.m_nSize != desc.m_Cabinets.m_nSize)
    std::abort();
  for (int i = 0; i < desc.m_Cabinets.m_nSize; ++i) {
    const CDBCabinet* c = desc.m_Cabinets.m_pData[i];
    if (std::strlen(c->id) > 10 || std::strlen(c->alias) > 7 || std::strlen(c->location) > 16 || !c->roadway)
      std::abort();
    if (!desc.FindCabinetById(c->id) || !desc.FindCabinetByAlias(c->alias)) std::abort();
  }
  desc.FindCabinetById("");
  desc.FindCabinetByAlias("ES-0000");
  return 0;
}
