// The yearly device lists: "DATA%Y\RMDC.LST" (CFMDBInputDesc) lists the cabinets of a database
// year, "PE%Y\LPDATA.PRN" (CPEInputDesc) every loop detector of a PE year with its matrix column.
// Both build roadway and cabinet records and keep the cabinets sorted by id and by alias.
#pragma once

#include <string>
#include <unordered_map>

#include "containers/adr_array.h"
#include "containers/obj_array.h"
#include "platform/app/file.h"
#include "platform/base/types.h"
#include "trafficdata/date_time_ex.h"
#include "trafficdata/db_element.h"

struct DeviceListLine;

// A loop of the PE device list: the element and its detector column (0xFFFFFFFF for none).
class CPEDBElement : public CDBElementEx {
 public:
  DWORD m_dwColumn = 0xFFFFFFFF;

  CPEDBElement() = default;
  CPEDBElement(const CPEDBElement& other) = default;
  CPEDBElement(const char* name, int elementType, CDBCabinet* cab, DWORD column)
      : CDBElementEx(name, elementType, cab), m_dwColumn(column) {}
  CPEDBElement& operator=(const CPEDBElement& other) {
    if (this != &other) {
      CDBElementEx::operator=(other);
      m_dwColumn = other.m_dwColumn;
    }
    return *this;
  }
  ~CPEDBElement() override {}
};

class CInputDesc {
 public:
  CObjArray<CDBRoadway> m_Roadways;
  CObjArray<CDBCabinet> m_Cabinets;
  CAdrArray<CDBCabinet> m_IdIndex;     // by cabinet id
  CAdrArray<CDBCabinet> m_AliasIndex;  // by cabinet alias

  CInputDesc() = default;
  CInputDesc(const CInputDesc&) = delete;
  CInputDesc& operator=(const CInputDesc&) = delete;
  virtual ~CInputDesc();
  virtual BOOL Read(const CDateTimeEx& day, CFileException* error = nullptr);
  virtual void Clear();

  CDBCabinet* FindCabinetByAlias(const char* alias) const;
  CDBCabinet* FindCabinetById(const char* id) const;

 protected:
  // Reads the year's list file whole; false with the record filled on failure.
  bool ReadListFile(const CDateTimeEx& day, const char* pattern, CFileException* error, BYTE*& data, UINT& size);
  // The roadway record of a list's roadway text (one per route and name, ignoring case).
  CDBRoadway* AddRoadway(const char* text);
  // Fills both indexes from the cabinets.
  bool BuildIndexes();

  // Roadways by route and case-folded name while a list is parsed, so that a long list is not
  // searched from the start for every line.
  std::unordered_map<std::string, CDBRoadway*> m_RoadwayLookup;
};

class CFMDBInputDesc : public CInputDesc {
 public:
  ~CFMDBInputDesc() override;
  BOOL Read(const CDateTimeEx& day, CFileException* error = nullptr) override;
  // Parses the list's bytes (as Read does after reading the file); 0 or 11.
  DWORD Parse(const char* data, size_t size);

 private:
  static void OnLine(void* self, const DeviceListLine& line);
};

class CPEInputDesc : public CInputDesc {
 public:
  CObjArray<CPEDBElement> m_Elements;

  ~CPEInputDesc() override;
  BOOL Read(const CDateTimeEx& day, CFileException* error = nullptr) override;
  void Clear() override;
  void Parse(const char* data, size_t size);

 private:
  static void OnLine(void* self, const DeviceListLine& line);

  // Cabinets by id while the list is parsed (the first line of an id wins).
  std::unordered_map<std::string, CDBCabinet*> m_CabinetLookup;
};
