// Fuzzes the LPDATA.PRN reader on arbitrary text: roadways, unique cabinets, loop elements.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "archive/input_desc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CPEInputDesc desc;
  desc.Parse(reinterpret_cast<const char*>(data), size);
  if (desc.m_IdIndex.m_nSize != desc.m_Cabinets.m_nSize) std::abort();
  for (int i = 0; i < desc.m_Elements.m_nSize; ++i) {
    const CPEDBElement* e = desc.m_Elements.m_pData[i];
    if (!e->cabinet || e->type != ET_LOOP || std::strlen(e->name) > 7) std::abort();
    if (desc.FindCabinetById(e->cabinet->id) == nullptr) std::abort();
  }
  for (int i = 1; i < desc.m_Cabinets.m_nSize; ++i)
    if (std::strcmp(desc.m_IdIndex.m_pData[i - 1]->id, desc.m_IdIndex.m_pData[i]->id) >= 0) std::abort();
  return 0;
}
