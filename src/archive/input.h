// The archive day readers. Days from 1993-06-01 on are daily name/column databases
// ("DATA%Y\%Y%m%d.DAT", CFMDBInput); earlier days are PE files, a volume matrix and an optional
// big-endian occupancy matrix ("PE%Y\%m%d%y.VOL" / ".OCC", CPEInput). The caller picks the reader
// by date, owns it and uses it on its own thread.
#pragma once

#include <cstdint>
#include <string>

#include "archive/ntsodb.h"
#include "containers/adr_array.h"
#include "containers/obj_array.h"
#include "platform/app/file.h"
#include "platform/base/types.h"
#include "trafficdata/date_time_ex.h"

class CPEInputDesc;

// Bytes of the .VOL matrix and values of the .OCC matrix for a column count.
inline uint64_t PeVolumeBytes(DWORD columns) { return 289ull * columns; }
inline uint64_t PeOccupancyBytes(DWORD columns) { return 576ull * columns; }
// Columns of a day's PE matrices: 1700 up to 1985-08-09, 2200 from 1985-08-10.
DWORD PeColumnsForDay(int year, int month, int day);
// Reads the date row's month (bytes 0-1), day (3-4) and two-digit year (6-7) as decimal numbers.
void PeParseDateRow(const BYTE* row, int& year, int& month, int& day);

class CInput {
 public:
  virtual ~CInput() {}
};

// The path of a day's database file: the archive root and "DATA%Y\%Y%m%d.DAT".
std::string FmdbDayPath(const CDateTimeEx& day);

class CFMDBInput : public CInput {
 public:
  CNTSODB m_Database;

  ~CFMDBInput() override;
  // Opens the day's database read-only; while it is missing (2) and a disc request is possible,
  // asks for the disc and tries again on OK. A database whose column count is neither 288
  // (five-minute periods) nor 4320 (20-second intervals) is no day file: 87. Without
  // `askForDisc` a missing file fails at once (a reader that leaves the request to the thread
  // that handles the days in date order). The failure record names the file that failed: the
  // .DAT, or the .NTS of an EXPAND day whose name list could not be opened.
  BOOL Open(const CDateTimeEx& day, CFileException* error = nullptr, bool askForDisc = true);
  BOOL OpenFile(const char* fileName, CFileException* error = nullptr);
};

// One detector of a PE day: element name, cabinet alias, detector column.
class CPEInputName {
 public:
  char m_szName[8] = {};
  char m_szAlias[8] = {};
  DWORD m_dwColumn = 0xFFFFFFFF;

  CPEInputName() = default;
  CPEInputName(const CPEInputName& other) = default;
  CPEInputName& operator=(const CPEInputName& other) {
    if (this != &other) {
      std::memcpy(m_szName, other.m_szName, sizeof m_szName);
      std::memcpy(m_szAlias, other.m_szAlias, sizeof m_szAlias);
      m_dwColumn = other.m_dwColumn;
    }
    return *this;
  }

  // The alias first, then the element name, as unsigned bytes; the column takes no part.
  int Compare(const CPEInputName& other) const {
    int c = std::strcmp(m_szAlias, other.m_szAlias);
    return c != 0 ? c : std::strcmp(m_szName, other.m_szName);
  }
  bool operator<(const CPEInputName& other) const { return Compare(other) < 0; }
  bool operator==(const CPEInputName& other) const { return Compare(other) == 0; }
};

class CPEInput : public CInput {
 public:
  BYTE* m_pVolume = nullptr;         // 289 x N bytes: the date row, then 288 periods
  DWORD m_nColumns = 0;              // N
  CObjArray<CPEInputName> m_Names;   // detectors with volume on this day
  CAdrArray<CPEInputName> m_Index;   // the same, by alias and element name
  WORD* m_pOccupancy = nullptr;      // 288 x N values, or null without a usable .OCC

  CPEInput() = default;
  ~CPEInput() override;
  CPEInput(const CPEInput&) = delete;
  CPEInput& operator=(const CPEInput&) = delete;

  BOOL Read(const CDateTimeEx& day, const CPEInputDesc& desc, CFileException* error = nullptr);
  DWORD FindColumn(const char* elementName, const char* cabinetAlias) const;
  void Close();
  static void ParseVolDate(CDateTimeEx& date, const BYTE* row);

  // Builds the day from matrices already in memory (the .VOL bytes and, optionally, the .OCC
  // bytes), as Read does after reading the files. The .VOL must hold 289 x columns bytes.
  DWORD Load(const BYTE* volume, DWORD columns, const CPEInputDesc& desc, const BYTE* occupancy,
             uint64_t occupancyBytes);
};
