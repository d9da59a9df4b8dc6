#include "archive/input.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "archive/archive_globals.h"
#include "archive/input_desc.h"
#include "archive/ntso_format.h"
#include "platform/base/errors.h"
#include "trafficdata/summary.h"

namespace {

void FillError(CFileException* error, DWORD number, const std::string& path) {
  if (!error) return;
  error->m_lOsError = static_cast<LONG>(number);
  error->m_cause = CFileException::OsErrorToException(static_cast<LONG>(number));
  error->m_strFileName = path;
}

void DayParts(const CDateTimeEx& day, int& month, int& d, int& year) {
  bool valid = day.GetStatus() == COleDateTime::valid;
  month = valid ? day.GetMonth() : -1;
  d = valid ? day.GetDay() : -1;
  year = valid ? day.GetYear() : -1;
}

// A day's records are decoded in one of two layouts: 288 five-minute periods or 4320 20-second
// intervals. Any other column count would be read as one of them with the records misplaced, so
// such a day file is refused as malformed.
int CheckDayLayout(CNTSODB& db, int r) {
  const DWORD columns = db.m_nColumns;
  if (r == 0 && columns != static_cast<DWORD>(PERIODS_PER_DAY) && columns != static_cast<DWORD>(INTERVALS_PER_DAY)) {
    db.Close();
    r = kNtsoErrMalformed;
  }
  return r;
}

// The name list of an EXPAND database beside its .DAT.
std::string NtsPath(const std::string& dat) { return dat.substr(0, NtsoBaseNameLength(dat.c_str())) + ".NTS"; }

int TwoDigits(const BYTE* p) {
  // A two-character decimal text: leading blanks, then digits up to the first other character.
  int i = 0, v = 0;
  while (i < 2 && (p[i] == ' ' || p[i] == '\t')) ++i;
  while (i < 2 && p[i] >= '0' && p[i] <= '9') v = v * 10 + (p[i++] - '0');
  return v;
}

}  // namespace

DWORD PeColumnsForDay(int year, int month, int day) {
  long key = year * 10000L + month * 100L + day;
  return key <= 19850809L ? 1700 : 2200;
}

void PeParseDateRow(const BYTE* row, int& year, int& month, int& day) {
  month = TwoDigits(row);
  day = TwoDigits(row + 3);
  year = 1900 + TwoDigits(row + 6);
}

// ---- CFMDBInput ----

CFMDBInput::~CFMDBInput() { m_Database.Close(); }

std::string FmdbDayPath(const CDateTimeEx& day) { return g_DataRootPath.Get() + day.Format("DATA%Y\\%Y%m%d.DAT"); }

BOOL CFMDBInput::Open(const CDateTimeEx& day, CFileException* error, bool askForDisc) {
  const std::string path = FmdbDayPath(day);
  int r = m_Database.Open(path.c_str(), 0);
  // Only a missing file leads to the request: a mounted disc of another year lacks the folder (3)
  // and a damaged file stays damaged.
  while (askForDisc && r == static_cast<int>(ERROR_FILE_NOT_FOUND)) {
    int m, d, y;
    DayParts(day, m, d, y);
    if (!RequestDisc(m, d, y)) break;
    r = m_Database.Open(path.c_str(), 0);
  }
  const bool ntsFailed = r != 0 && m_Database.NtsOpenFailed();
  r = CheckDayLayout(m_Database, r);
  if (r == 0) return TRUE;
  // The file that failed: the day's .DAT, or the name list beside it of an EXPAND day.
  FillError(error, static_cast<DWORD>(r), ntsFailed ? NtsPath(path) : path);
  return FALSE;
}

BOOL CFMDBInput::OpenFile(const char* fileName, CFileException* error) {
  int r = m_Database.Open(fileName, 0);
  const bool ntsFailed = r != 0 && m_Database.NtsOpenFailed();
  r = CheckDayLayout(m_Database, r);
  if (r == 0) return TRUE;
  const std::string path = fileName ? fileName : "";
  FillError(error, static_cast<DWORD>(r), ntsFailed ? NtsPath(path) : path);
  return FALSE;
}

// ---- CPEInput ----

CPEInput::~CPEInput() { Close(); }

void CPEInput::Close() {
  delete[] m_pOccupancy;
  m_pOccupancy = nullptr;
  m_Index.RemoveAll();
  m_Names.RemoveAll();
  delete[] m_pVolume;
  m_pVolume = nullptr;
}

void CPEInput::ParseVolDate(CDateTimeEx& date, const BYTE* row) {
  int y, m, d;
  PeParseDateRow(row, y, m, d);
  date = CDateTimeEx(y, m, d, 0, 0, 0);
}

BOOL CPEInput::Read(const CDateTimeEx& day, const CPEInputDesc& desc, CFileException* error) {
  if (m_pVolume) Close();
  std::string path = g_DataRootPath.Get() + day.Format("PE%Y\\%m%d%y.VOL");
  CFile vol;
  while (!vol.Open(path.c_str(), CFile::modeRead | CFile::typeBinary | CFile::shareDenyNone, error)) {
    // Every open failure of the volume file leads to the request.
    int m, d, y;
    DayParts(day, m, d, y);
    if (!RequestDisc(m, d, y)) return FALSE;
  }
  int m, d, y;
  DayParts(day, m, d, y);
  DWORD columns = PeColumnsForDay(y, m, d);
  uint64_t bytes = PeVolumeBytes(columns);
  // The buffers are freed however the read ends, also when memory runs out on the way.
  const std::unique_ptr<BYTE[]> volume(new (std::nothrow) BYTE[bytes]);
  if (!volume) {
    FillError(error, ERROR_NOT_ENOUGH_MEMORY, path);
    return FALSE;
  }
  UINT got = vol.Read(volume.get(), static_cast<UINT>(bytes));
  vol.Close();
  if (got < bytes) {
    FillError(error, ERROR_READ_FAULT, path);
    return FALSE;
  }
  CDateTimeEx fileDate;
  ParseVolDate(fileDate, volume.get());
  if (!(fileDate == day)) {
    FillError(error, ERROR_FILE_CORRUPT, path);
    return FALSE;
  }

  // The optional occupancy file: no request, no record; a short file is ignored.
  std::string occPath = path.substr(0, path.size() - 4) + ".OCC";
  CFile occ;
  std::unique_ptr<BYTE[]> occBytes;
  uint64_t occSize = PeOccupancyBytes(columns);
  if (occ.Open(occPath.c_str(), CFile::modeRead | CFile::typeBinary | CFile::shareDenyNone)) {
    occBytes.reset(new (std::nothrow) BYTE[occSize]);
    if (occBytes && occ.Read(occBytes.get(), static_cast<UINT>(occSize)) < occSize) occBytes.reset();
    occ.Close();
  }
  DWORD r = Load(volume.get(), columns, desc, occBytes.get(), occBytes ? occSize : 0);
  if (r != 0) {
    FillError(error, r, path);
    return FALSE;
  }
  return TRUE;
}

DWORD CPEInput::Load(const BYTE* volume, DWORD columns, const CPEInputDesc& desc, const BYTE* occupancy,
                     uint64_t occupancyBytes) {
  Close();
  uint64_t bytes = PeVolumeBytes(columns);
  m_pVolume = new (std::nothrow) BYTE[bytes];
  DWORD* totals = new (std::nothrow) DWORD[columns ? columns : 1]();
  if (!m_pVolume || !totals) {
    delete[] totals;
    Close();
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  std::memcpy(m_pVolume, volume, bytes);
  m_nColumns = columns;

  for (DWORD p = 1; p <= 288; ++p) {
    const BYTE* row = m_pVolume + static_cast<uint64_t>(p) * columns;
    for (DWORD c = 0; c < columns; ++c) totals[c] += row[c];
  }
  for (int i = 0; i < desc.m_Elements.m_nSize; ++i) {
    const CPEDBElement* e = desc.m_Elements.m_pData[i];
    if (!e || e->m_dwColumn >= columns || totals[e->m_dwColumn] == 0) continue;
    CPEInputName name;
    std::memcpy(name.m_szName, e->name, 7);
    name.m_szName[7] = 0;
    if (e->cabinet) {
      std::memcpy(name.m_szAlias, e->cabinet->alias, 7);
      name.m_szAlias[7] = 0;
    }
    name.m_dwColumn = e->m_dwColumn;
    // The index stays sorted while names are added, so duplicates are found by bisection.
    int low = 0, high = m_Index.m_nSize;
    while (low < high) {
      int middle = low + (high - low) / 2;
      if (m_Index.m_pData[middle]->Compare(name) < 0)
        low = middle + 1;
      else
        high = middle;
    }
    if (low < m_Index.m_nSize && *m_Index.m_pData[low] == name) {
      if (name.m_dwColumn > m_Index.m_pData[low]->m_dwColumn) m_Index.m_pData[low]->m_dwColumn = name.m_dwColumn;
      continue;
    }
    int at = m_Names.Add(name);
    CPEInputName* added = at >= 0 ? m_Names.m_pData[at] : nullptr;
    if (!added || m_Index.CScalarArray<CPEInputName*>::InsertAt(low, &added) < 0) {
      delete[] totals;
      Close();
      return ERROR_NOT_ENOUGH_MEMORY;
    }
  }
  delete[] totals;

  uint64_t values = 288ull * columns;
  if (occupancy && occupancyBytes >= values * 2) {
    m_pOccupancy = new (std::nothrow) WORD[values];
    if (m_pOccupancy)
      for (uint64_t i = 0; i < values; ++i)
        m_pOccupancy[i] = static_cast<WORD>((occupancy[2 * i] << 8) | occupancy[2 * i + 1]);
  }
  return 0;
}

DWORD CPEInput::FindColumn(const char* elementName, const char* cabinetAlias) const {
  if (m_Index.m_nSize <= 0 || !elementName || !cabinetAlias) return 0xFFFFFFFF;
  CPEInputName key;
  std::strncpy(key.m_szName, elementName, 7);
  std::strncpy(key.m_szAlias, cabinetAlias, 7);
  int low = 0, high = m_Index.m_nSize - 1;
  while (low <= high) {
    int middle = low + (high - low) / 2;
    int c = key.Compare(*m_Index.m_pData[middle]);
    if (c == 0) return m_Index.m_pData[middle]->m_dwColumn;
    if (c < 0)
      high = middle - 1;
    else
      low = middle + 1;
  }
  return 0xFFFFFFFF;
}
