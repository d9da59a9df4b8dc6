#include "archive/input_desc.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "archive/archive_globals.h"
#include "archive/device_list_format.h"
#include "containers/merge_sort.h"
#include "platform/base/errors.h"

namespace {

void FillError(CFileException* error, DWORD number, const std::string& path) {
  if (!error) return;
  error->m_lOsError = static_cast<LONG>(number);
  error->m_cause = CFileException::OsErrorToException(static_cast<LONG>(number));
  error->m_strFileName = path;
}

struct IdLess {
  bool operator()(const CDBCabinet* a, const CDBCabinet* b) const { return CompareText(a->id, b->id) < 0; }
};
struct AliasLess {
  bool operator()(const CDBCabinet* a, const CDBCabinet* b) const { return CompareText(a->alias, b->alias) < 0; }
};

template <typename Key>
CDBCabinet* Find(const CAdrArray<CDBCabinet>& index, const char* key, Key keyOf) {
  if (!key || index.m_nSize <= 0) return nullptr;
  int low = 0, high = index.m_nSize - 1;
  while (low <= high) {
    int middle = low + (high - low) / 2;
    int c = CompareText(key, keyOf(index.m_pData[middle]));
    if (c == 0) return index.m_pData[middle];
    if (c < 0)
      high = middle - 1;
    else
      low = middle + 1;
  }
  return nullptr;
}

}  // namespace

// ---- CInputDesc ----

CInputDesc::~CInputDesc() { CInputDesc::Clear(); }

BOOL CInputDesc::Read(const CDateTimeEx&, CFileException*) { return FALSE; }

void CInputDesc::Clear() {
  m_AliasIndex.RemoveAll();
  m_IdIndex.RemoveAll();
  m_Cabinets.RemoveAll();
  m_Roadways.RemoveAll();
  m_RoadwayLookup.clear();
}

CDBCabinet* CInputDesc::FindCabinetByAlias(const char* alias) const {
  return Find(m_AliasIndex, alias, [](const CDBCabinet* c) { return c->alias; });
}

CDBCabinet* CInputDesc::FindCabinetById(const char* id) const {
  return Find(m_IdIndex, id, [](const CDBCabinet* c) { return c->id; });
}

bool CInputDesc::ReadListFile(const CDateTimeEx& day, const char* pattern, CFileException* error, BYTE*& data,
                              UINT& size) {
  data = nullptr;
  size = 0;
  std::string path = g_DataRootPath.Get() + day.Format(pattern);
  CFile file;
  if (!file.Open(path.c_str(), CFile::modeRead | CFile::typeBinary | CFile::shareDenyNone, error)) return false;
  ULONGLONG length = file.GetLength();
  // Real lists are kilobytes; a huge file is refused instead of sizing an allocation by it.
  if (length > kDeviceListMaxBytes) {
    FillError(error, ERROR_NOT_ENOUGH_MEMORY, path);
    return false;
  }
  data = new (std::nothrow) BYTE[length ? length : 1];
  if (!data) {
    FillError(error, ERROR_NOT_ENOUGH_MEMORY, path);
    return false;
  }
  UINT got = length ? file.Read(data, static_cast<UINT>(length)) : 0;
  file.Close();
  if (got < length) {
    delete[] data;
    data = nullptr;
    FillError(error, ERROR_READ_FAULT, path);
    return false;
  }
  size = got;
  return true;
}

CDBRoadway* CInputDesc::AddRoadway(const char* text) {
  CDBRoadway road(text);
  // Equal roadways have the same route and the same name once A-Z are folded to lower case.
  std::string key = std::to_string(road.route) + ':' + road.name;
  for (char& c : key)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  auto found = m_RoadwayLookup.find(key);
  if (found != m_RoadwayLookup.end()) return found->second;
  int at = m_Roadways.Add(road);
  CDBRoadway* added = at >= 0 ? m_Roadways.m_pData[at] : nullptr;
  if (added) m_RoadwayLookup.emplace(std::move(key), added);
  return added;
}

bool CInputDesc::BuildIndexes() {
  m_IdIndex.RemoveAll();
  m_AliasIndex.RemoveAll();
  if (!m_IdIndex.Reserve(m_Cabinets.m_nSize) || !m_AliasIndex.Reserve(m_Cabinets.m_nSize)) return false;
  for (int i = 0; i < m_Cabinets.m_nSize; ++i) {
    m_IdIndex.m_pData[i] = m_Cabinets.m_pData[i];
    m_AliasIndex.m_pData[i] = m_Cabinets.m_pData[i];
  }
  m_IdIndex.m_nSize = m_AliasIndex.m_nSize = m_Cabinets.m_nSize;
  SortAscending(m_IdIndex.m_pData, m_IdIndex.m_nSize, IdLess());
  SortAscending(m_AliasIndex.m_pData, m_AliasIndex.m_nSize, AliasLess());
  return true;
}

// ---- CFMDBInputDesc ----

CFMDBInputDesc::~CFMDBInputDesc() { Clear(); }

void CFMDBInputDesc::OnLine(void* self, const DeviceListLine& line) {
  CFMDBInputDesc* desc = static_cast<CFMDBInputDesc*>(self);
  CDBRoadway* road = desc->AddRoadway(line.roadway);
  if (!road) return;
  char id[11];
  // Layout A gives no id: it is made from the route and the milepost.
  if (line.id[0])
    std::memcpy(id, line.id, sizeof id);
  else
    FormatCabinetId(id, road->route, line.milepost);
  CDBCabinet cabinet(id, line.alias, line.milepost, line.location, road);
  desc->m_Cabinets.Add(cabinet);
}

DWORD CFMDBInputDesc::Parse(const char* data, size_t size) {
  Clear();
  int r = ParseRmdcList(data, size, &CFMDBInputDesc::OnLine, this);
  if (!BuildIndexes() && r == 0) r = ERROR_NOT_ENOUGH_MEMORY;
  return static_cast<DWORD>(r);
}

BOOL CFMDBInputDesc::Read(const CDateTimeEx& day, CFileException* error) {
  if (m_Cabinets.m_nSize > 0) Clear();
  BYTE* data;
  UINT size;
  if (!ReadListFile(day, "DATA%Y\\RMDC.LST", error, data, size)) return FALSE;
  const std::unique_ptr<BYTE[]> owned(data);  // also when memory runs out while parsing
  DWORD r = Parse(reinterpret_cast<const char*>(data), size);
  if (r != 0) {
    FillError(error, r, g_DataRootPath.Get() + day.Format("DATA%Y\\RMDC.LST"));
    return FALSE;
  }
  return TRUE;
}

// ---- CPEInputDesc ----

CPEInputDesc::~CPEInputDesc() { CPEInputDesc::Clear(); }

void CPEInputDesc::Clear() {
  m_Elements.RemoveAll();
  m_CabinetLookup.clear();
  CInputDesc::Clear();
}

void CPEInputDesc::OnLine(void* self, const DeviceListLine& line) {
  CPEInputDesc* desc = static_cast<CPEInputDesc*>(self);
  CDBRoadway* road = desc->AddRoadway(line.roadway);
  if (!road) return;
  char id[11];
  FormatCabinetId(id, road->route, line.milepost);
  // Cabinets are unique by id: a later line with the same id uses the first line's cabinet.
  CDBCabinet* cabinet = nullptr;
  auto found = desc->m_CabinetLookup.find(id);
  if (found != desc->m_CabinetLookup.end()) cabinet = found->second;
  if (!cabinet) {
    int at = desc->m_Cabinets.Add(CDBCabinet(id, line.alias, line.milepost, line.location, road));
    if (at < 0) return;
    cabinet = desc->m_Cabinets.m_pData[at];
    desc->m_CabinetLookup.emplace(id, cabinet);
  }
  desc->m_Elements.Add(CPEDBElement(line.element, ET_LOOP, cabinet, line.column));
}

void CPEInputDesc::Parse(const char* data, size_t size) {
  Clear();
  ParseLpdataList(data, size, &CPEInputDesc::OnLine, this);
  BuildIndexes();
}

BOOL CPEInputDesc::Read(const CDateTimeEx& day, CFileException* error) {
  if (m_Elements.m_nSize > 0) Clear();
  BYTE* data;
  UINT size;
  if (!ReadListFile(day, "PE%Y\\LPDATA.PRN", error, data, size)) {
    Clear();
    return FALSE;
  }
  const std::unique_ptr<BYTE[]> owned(data);  // also when memory runs out while parsing
  Parse(reinterpret_cast<const char*>(data), size);
  return TRUE;
}
