// CNTSODB: one open name/column database, the daily file format of the archive (ntso_format.h).
// A database is a set of names, each with the same number of fixed-size records (one per column).
// FIXED form keeps everything in <base>.DAT; EXPAND form keeps the name list in <base>.NTS so that
// names can be added and renamed without moving records.
//
// Open modes: 0 read (FIXED; EXPAND turns it into 2), 1 read/write FIXED, 2 read (EXPAND; FIXED
// turns it into 0), 3 read/write EXPAND. After a successful open the mode tells the form.
// Every operation returns a Windows error number, 0 on success. One thread uses an object at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/ntso.h"
#include "archive/ntso_format.h"
#include "containers/adr_array.h"
#include "containers/obj_array.h"
#include "containers/str.h"
#include "platform/base/types.h"
#include "platform/kernel/files.h"
#include "support/io_file.h"
#include "support/stream.h"
#include "support/thread_access.h"

class CNTSODB : public CThreadAccessControl {
 public:
  int m_nLayout = -1;                 // 0 "Primary Copy", 1 "NG.1 Format", 2 "NG.2 Format"; -1 closed
  int m_nMode = -1;                   // 0-3; -1 closed
  CStr<char, wchar_t> m_strBaseName;  // path without extension
  CIOFile m_NtsFile;                  // the .NTS (EXPAND form)
  CIOFile m_DatFile;                  // the .DAT
  int m_nPositions[14] = {};          // value position of each header field; 0 = absent
  // The name list in file order and the same entries sorted by name. In the reading modes (0 and 2)
  // both are handed on at close to the next reading open on this thread whose name list has the
  // same bytes, so they must be left as read.
  CObjArray<CNTSO> m_Entries;
  CAdrArray<CNTSO> m_Index;
  DWORD m_nColumns = 0;               // Number of Columns

  CNTSODB();
  virtual ~CNTSODB();
  CNTSODB(const CNTSODB&) = delete;
  CNTSODB& operator=(const CNTSODB&) = delete;

  // ---- reading ----
  int Open(const char* name, int mode);
  // True when the last Open failed because the .NTS of an EXPAND database could not be opened
  // (missing beside its .DAT, say): the error Open returned is that file's.
  bool NtsOpenFailed() const { return m_bNtsOpenFailed; }
  int ReadHeader();
  int ReadNameList(const CStream& list);
  CNTSO* FindName(const char* name) const;
  int ReadColumns(CStream& out, const char* name, int firstColumn, int count);
  // Reads ahead, with one read per run of nearby records, the columns firstColumn ..
  // firstColumn + count - 1 of every name in names (those absent or deleted are left out), so
  // that the ReadColumns that follow copy them from memory instead of reading each on its own:
  // the bytes and the results stay those of single reads, and a range that the runs do not
  // hold whole is read as before. Only a database opened for reading reads ahead; the runs go
  // at Close or the next ReadAhead. Returns the number of runs read.
  int ReadAhead(const std::string* names, size_t n, int firstColumn, int count);
  // The records of many names in one buffer, for a loader that hands a day's records to other
  // threads: for every names[i], what ReadColumns(.., names[i], firstColumn, count) gives, with
  // one read request per run of nearby records (the bytes between them are read and dropped).
  // where[i].result is ReadColumns's result for names[i]; on 0 its records are
  // out.m_pData[where[i].at ..] (where[i].length bytes, fewer than asked for when the file ends
  // early). Returns 0, or 8 when out could not take the records (each such name then has 8).
  struct SColumns {
    int result;
    uint32_t at;
    uint32_t length;
  };
  int ReadColumnsOfNames(const std::string* names, size_t n, int firstColumn, int count, CStream& out,
                         SColumns* where);
  // Closes the files (stamping File Write Time in modes 1 and 3, compacting first in mode 3).
  // Returns the first error of the compaction or the stamp writes, else 0.
  int Close();

  // ---- writing ----
  static int WriteHeader(char* buffer, const char* title, int positions[14], int layout);
  // What Create would refuse before it touches a file: a header or a size that its layout cannot
  // hold, a record area past 4 GiB. 0 when the database can be made (names already present aside).
  int CheckNewDatabase(const CObjArray<CNTSO>& names, DWORD columns, const char* title, int version, int layout,
                       int mode) const;
  int Create(const char* name, int mode, const CObjArray<CNTSO>& names, DWORD columns, const char* title,
             int version, int layout, CAdrArray<CNTSO>* present);
  int WriteNewDatabase(const CObjArray<CNTSO>& names, const char* title, int version, CAdrArray<CNTSO>* present);
  int OpenOrCreate(const char* name, int mode, const CObjArray<CNTSO>& names, DWORD columns, const char* title,
                   int version, int layout, CAdrArray<CNTSO>* present);
  int AddNames(const CObjArray<CNTSO>& names, CAdrArray<CNTSO>* present);
  int DeleteName(const char* name);
  int DeleteName(int index);
  int RenameName(const char* oldName, const char* newName);
  int WriteColumns(const CStream& records, const char* name, int firstColumn, int count);
  int WriteColumns(const CStream& records, int index, int firstColumn, int count);

  int ReadHeaderField(CStream& out, int index);
  // The field's text, NUL-terminated and cut to size - 1 characters.
  int ReadHeaderFieldText(char* text, size_t size, int index);
  int GetTimeField(SYSTEMTIME& t, int index);
  int GetTimeFieldSeconds(SYSTEMTIME& t, int index);
  int GetIntField(int& value, int index);
  int GetU32Field(DWORD& value, int index);
  int GetU64Field(uint64_t& value, int index);
  int WriteHeaderField(const CStream& text, int index);
  int SetTimeField(const SYSTEMTIME& t, int index);
  int SetTimeFieldSeconds(const SYSTEMTIME& t, int index);
  int SetIntField(int value, int index);
  int SetU32Field(DWORD value, int index);
  int SetU64Field(uint64_t value, int index);
  int ReadTitle(CStream& out);
  int GetTitle(CStr<char, wchar_t>& title);
  int GetTitle(CStr<char16_t, char>& title);

  // ---- compaction and conversion ----
  int FlushExpand();
  int Convert(int targetMode);
  int ConvertAndReopen(int targetMode);
  int ConvertToExpand(int targetMode, bool stayClosed);
  int ConvertToFixed(int targetMode, bool stayClosed);
  int SetReadOnly(int targetMode, bool stayClosed);
  int SetReadWrite(int targetMode, bool stayClosed);
  static int MoveDatabaseFiles(const char* oldName, const char* newName);

 private:
  int ReadListFile(CIOFile& file, FileHandle* direct, DWORD nameListSize);
  // ReadColumns's checks: the checks of the name and the column range (the range on 0), then
  // those of the range against the file.
  int ColumnsOf(const char* name, int firstColumn, int count, uint64_t& offset, uint64_t& length) const;
  int CheckColumnRange(uint64_t offset, uint64_t length);
  // The name list of the last reading database closed on this thread: taken over when the bytes
  // just read (m_ListBytes) are the same, handed back at close.
  bool TakeLastList();
  void KeepListForNextOpen();
  bool IsDatOpen() const { return m_DatFile.IsOpen() || m_DatDirect.IsOpen(); }
  FileHandle* DatDirect() { return m_DatDirect.IsOpen() ? &m_DatDirect : nullptr; }
  FileHandle* NtsDirect() { return m_NtsDirect.IsOpen() ? &m_NtsDirect : nullptr; }
  void CloseFiles();
  void Reset();
  void InsertIntoIndex(CNTSO* entry);
  void SortIndex();
  // The bisection of m_Index; FindName's answer when there is no hash table.
  CNTSO* FindInIndex(const char* name) const;
  // Reading modes: a hash table over m_Index, so that a lookup compares one or two names.
  void BuildHashTable();
  bool IsContiguous(uint64_t firstOffset, uint64_t dataSize) const;
  // True when every live name's records lie in the record area [start, end) and the last block
  // ends at its end, as Data Size says.
  bool RecordsFitTheArea(uint64_t start, uint64_t end) const;
  int FormatNumberField(char* out, int index, uint64_t value) const;
  int WriteFieldText(CIOFile& file, int index, const char* text);
  int WriteFileSizeField(CIOFile& file);
  int ConvertCopyHeader(char* header, int positions[14], bool expand);
  // A database opened only for reading (modes 0 and 2) never queues a write, so its files are
  // opened as plain files and read on the calling thread: no I/O threads are started per day file.
  FileHandle m_DatDirect;
  FileHandle m_NtsDirect;
  uint64_t m_nDatSize = 0;  // size of a directly read .DAT, taken at open
  bool m_bNtsOpenFailed = false;
  CStream m_ListBytes;      // reading modes: the bytes m_Entries and m_Index were parsed from
  bool m_bListFromBytes = false;  // m_Entries and m_Index are exactly the parse of m_ListBytes
  // Open addressing, a power of two of slots, each 0 or 1 + a position in m_Index; empty when
  // there is no table (writing modes, or it could not be allocated).
  CScalarArray<int32_t> m_HashTable;
  // Runs read ahead (ReadAhead), ascending by offset; each holds `length` bytes from `offset`.
  struct SRun {
    uint64_t offset = 0;
    size_t length = 0;
    std::unique_ptr<unsigned char[]> bytes;
  };
  std::vector<SRun> m_Runs;
  // The run that holds [offset, offset + length) whole, else null.
  const SRun* RunHolding(uint64_t offset, uint64_t length) const;
};
