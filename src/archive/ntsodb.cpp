// CNTSODB: opening, the header and name-list checks, record reads and closing.
#include "archive/ntsodb.h"

#include <pthread.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "archive/ntsodb_io.h"
#include "containers/merge_sort.h"
#include "platform/base/errors.h"
#include "platform/kernel/files.h"
#include "platform/kernel/time.h"

namespace {

struct NameLess {
  bool operator()(const CNTSO* a, const CNTSO* b) const { return std::strcmp(a->GetName(), b->GetName()) < 0; }
};

// Access and sharing of the files per open mode: the read/write modes share read only.
DWORD AccessFor(int mode) { return (mode == 1 || mode == 3) ? (GENERIC_READ | GENERIC_WRITE) : GENERIC_READ; }
DWORD ShareFor(int mode) { return (mode == 1 || mode == 3) ? FILE_SHARE_READ : (FILE_SHARE_READ | FILE_SHARE_WRITE); }

// The header numbers that the open checks.
struct HeaderNumbers {
  uint64_t names = 0, columns = 0, headerSize = 0, nameListSize = 0, dataSize = 0, fileSize = 0;
};

int ReadNumbers(const uint8_t* block, const int positions[14], HeaderNumbers& n) {
  int r;
  if ((r = NtsoReadNumber(block, positions[kFieldNames], INT32_MAX, n.names)) != 0) return r;
  if ((r = NtsoReadNumber(block, positions[kFieldColumns], INT32_MAX, n.columns)) != 0) return r;
  if ((r = NtsoReadNumber(block, positions[kFieldHeaderSize], INT32_MAX, n.headerSize)) != 0) return r;
  if ((r = NtsoReadNumber(block, positions[kFieldNameListSize], UINT32_MAX, n.nameListSize)) != 0) return r;
  if ((r = NtsoReadNumber(block, positions[kFieldDataSize], UINT32_MAX, n.dataSize)) != 0) return r;
  if ((r = NtsoReadNumber(block, positions[kFieldFileSize], UINT64_MAX, n.fileSize)) != 0) return r;
  return 0;
}

// Consecutive days of an archive almost always carry the same name list. The parsed list of the
// last database read and closed on a thread is kept here with its bytes and its layout, and the
// next reading open whose list bytes are equal takes the entries and the sorted index over
// instead of allocating, parsing and sorting them again. `spare` is a byte buffer for the next
// open to read its list into.
struct SLastNameList {
  int layout = -1;
  CStream bytes;
  CObjArray<CNTSO> entries;
  CAdrArray<CNTSO> index;
  CScalarArray<int32_t> hashTable;
  CStream spare;
};
// Set once the thread's list is destroyed: a database closed later keeps nothing.
thread_local bool t_lastListGone = false;

// Each thread's list hangs on a thread key, made the first time a thread keeps one and deleted
// when the thread ends. A thread_local object would have its destructor registered on the first
// touch, which ends the program when there is no memory for it; a thread that cannot have its list
// here only goes without it.
void DeleteLastList(void* list) {
  t_lastListGone = true;
  delete static_cast<SLastNameList*>(list);
}

struct SListKey {
  pthread_key_t key{};
  bool made = pthread_key_create(&key, DeleteLastList) == 0;
};

// The calling thread's list; with `make`, one is made when there is none (null without memory).
SLastNameList* LastList(bool make) {
  static SListKey key;
  if (!key.made || t_lastListGone) return nullptr;
  auto* list = static_cast<SLastNameList*>(pthread_getspecific(key.key));
  if (list != nullptr || !make) return list;
  list = new (std::nothrow) SLastNameList;
  if (list != nullptr && pthread_setspecific(key.key, list) != 0) {
    delete list;
    list = nullptr;
  }
  return list;
}

// Exchanges the blocks of two arrays of one type (their public fields are all their state).
template <class A>
void SwapBlocks(A& a, A& b) {
  std::swap(a.m_pData, b.m_pData);
  std::swap(a.m_nSize, b.m_nSize);
  std::swap(a.m_nAllocBytes, b.m_nAllocBytes);
}

bool IsReadingMode(int mode) { return mode == 0 || mode == 2; }

uint32_t NameHash(const char* name) {
  uint32_t h = 2166136261u;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) h = (h ^ *p) * 16777619u;
  return h;
}

}  // namespace

CNTSODB::CNTSODB() = default;

CNTSODB::~CNTSODB() { Close(); }

int CNTSODB::Open(const char* name, int mode) {
  if (mode < 0 || mode > 3) return kNtsoErrMode;
  if (IsDatOpen()) Close();
  m_bNtsOpenFailed = false;
  if (!name) name = "";
  m_strBaseName.Copy(name, static_cast<int>(NtsoBaseNameLength(name)));
  CStr<char, wchar_t> path(m_strBaseName);
  path += ".DAT";
  DWORD r = (mode == 0 || mode == 2) ? m_DatDirect.Open(path.m_pData, AccessFor(mode), ShareFor(mode), OPEN_EXISTING)
                                     : m_DatFile.Open(path.m_pData, AccessFor(mode), OPEN_EXISTING, ShareFor(mode), 0);
  if (r != 0) {
    Reset();
    return static_cast<int>(r);
  }
  m_nMode = mode;
  return ReadHeader();
}

int CNTSODB::ReadHeader() {
  m_bNtsOpenFailed = false;
  CStream block;
  m_nDatSize = ntsoio::SizeOf(m_DatFile, DatDirect());
  int r = ntsoio::ReadHeaderBlock(m_DatFile, DatDirect(), block);
  NtsoHeaderInfo info;
  if (r == 0) r = NtsoParseHeaderText(block.m_pData, info);
  if (r != 0) {
    Close();
    return r;
  }
  m_nLayout = info.layout;
  std::memcpy(m_nPositions, info.positions, sizeof m_nPositions);

  // The opening mode must fit the form.
  bool expand = false;
  if (m_nLayout == 0) {
    if (m_nMode == 2) m_nMode = 0;
    if (m_nMode == 1 || m_nMode == 3) r = kNtsoErrMode;
  } else {
    int form = NtsoReadMode(block.m_pData, m_nPositions[kFieldDbMode]);
    if (form == 0) {
      if (m_nMode == 2) m_nMode = 0;
      if (m_nMode == 3) r = kNtsoErrMode;
    } else if (form == 1) {
      expand = true;
      if (m_nMode == 0) m_nMode = 2;
      if (m_nMode == 1) r = kNtsoErrMode;
    } else {
      r = kNtsoErrMalformed;
    }
  }
  // Values are written into the header in the writing modes: every slot must lie on its own line
  // inside the text, or a write would land in the name list or the records.
  if (r == 0 && (m_nMode == 1 || m_nMode == 3) && !NtsoSlotsSafe(info)) r = kNtsoErrMalformed;

  HeaderNumbers n;
  if (r == 0) r = ReadNumbers(block.m_pData, m_nPositions, n);
  if (r == 0 && n.headerSize != kNtsoHeaderSize) r = kNtsoErrMalformed;
  uint64_t datSize = 0;
  if (r == 0) {
    datSize = ntsoio::SizeOf(m_DatFile, DatDirect());
    if (m_nLayout == 0 ? n.fileSize > datSize : n.fileSize != datSize) r = kNtsoErrMalformed;
  }
  if (r != 0) {
    Close();
    return r;
  }
  m_nColumns = static_cast<DWORD>(n.columns);

  CIOFile* listFile = &m_DatFile;
  FileHandle* listDirect = DatDirect();
  if (expand) {
    CStr<char, wchar_t> path(m_strBaseName);
    path += ".NTS";
    if (m_DatDirect.IsOpen())
      r = static_cast<int>(m_NtsDirect.Open(path.m_pData, AccessFor(m_nMode), ShareFor(m_nMode), OPEN_EXISTING));
    else
      r = static_cast<int>(m_NtsFile.Open(path.m_pData, AccessFor(m_nMode), OPEN_EXISTING, ShareFor(m_nMode), 0));
    m_bNtsOpenFailed = r != 0;
    CStream nts;
    NtsoHeaderInfo ntsInfo;
    HeaderNumbers nn;
    if (r == 0) r = ntsoio::ReadHeaderBlock(m_NtsFile, NtsDirect(), nts);
    if (r == 0) r = NtsoParseHeaderText(nts.m_pData, ntsInfo);
    if (r == 0) {
      // The pair must agree: same layout (the key form follows it), and in mode 3 the same value
      // positions, since field writes go to both files at one position.
      if (ntsInfo.layout != m_nLayout) r = kNtsoErrMalformed;
      else if (m_nMode == 3 && std::memcmp(ntsInfo.positions, info.positions, sizeof info.positions) != 0)
        r = kNtsoErrMalformed;
      else if (NtsoReadMode(nts.m_pData, ntsInfo.positions[kFieldDbMode]) != 1)
        r = kNtsoErrMalformed;
    }
    if (r == 0 && ReadNumbers(nts.m_pData, ntsInfo.positions, nn) != 0) r = kNtsoErrMalformed;
    if (r == 0 && (nn.names != n.names || nn.columns != n.columns || nn.nameListSize != n.nameListSize ||
                   nn.dataSize != n.dataSize || nn.headerSize != kNtsoHeaderSize ||
                   nn.fileSize != ntsoio::SizeOf(m_NtsFile, NtsDirect())))
      r = kNtsoErrMalformed;
    if (r != 0) {
      Close();
      return r;
    }
    listFile = &m_NtsFile;
    listDirect = NtsDirect();
  }

  // Every number must be possible for the file before anything is sized by it: the list and the
  // record area lie inside their files.
  uint64_t listFileSize = ntsoio::SizeOf(*listFile, listDirect);
  const uint64_t recordStart = kNtsoHeaderSize + (expand ? 0 : n.nameListSize);
  if (n.columns < 1 || kNtsoHeaderSize + n.nameListSize > listFileSize ||
      recordStart + n.dataSize > datSize ||
      (n.nameListSize > 0 && n.names > n.nameListSize / NtsoMinEntryLength(m_nLayout)) ||
      (n.nameListSize == 0 && n.names != 0)) {
    Close();
    return kNtsoErrMalformed;
  }

  r = ReadListFile(*listFile, listDirect, static_cast<DWORD>(n.nameListSize));
  if (r == 0 && static_cast<uint64_t>(m_Entries.m_nSize) != n.names) r = kNtsoErrMalformed;
  if (r == 0 && !RecordsFitTheArea(recordStart, recordStart + n.dataSize)) r = kNtsoErrMalformed;
  if (r != 0) {
    Close();
    return r;
  }
  return 0;
}

bool CNTSODB::RecordsFitTheArea(uint64_t start, uint64_t end) const {
  // Every live name's records lie in the area, and the furthest block ends where the area does (a
  // deleted name's records are never read, but its block may be the last one).
  uint64_t furthest = start;
  for (int i = 0; i < m_Entries.m_nSize; ++i) {
    const CNTSO* e = m_Entries.m_pData[i];
    const uint64_t length = static_cast<uint64_t>(e->m_wRecordSize) * m_nColumns;
    const bool inside = e->m_dwOffset >= start && e->m_dwOffset <= end && length <= end - e->m_dwOffset;
    if (!inside && !e->IsDeleted()) return false;
    if (inside) furthest = std::max(furthest, e->m_dwOffset + length);
  }
  return furthest == end;
}

int CNTSODB::ReadListFile(CIOFile& file, FileHandle* direct, DWORD nameListSize) {
  if (nameListSize == 0) return static_cast<int>(IO_BYTE_COUNT_ZERO);
  const bool reading = IsReadingMode(m_nMode);
  CStream writable;
  CStream& list = reading ? m_ListBytes : writable;
  SLastNameList* last = reading && list.m_nAllocBytes == 0 ? LastList(false) : nullptr;
  if (last != nullptr) SwapBlocks<CScalarArray<unsigned char>>(list, last->spare);
  int r = ntsoio::ReadAt(file, direct, kNtsoHeaderSize, nameListSize, list);
  if (r != 0) return r;
  if (static_cast<DWORD>(list.m_nSize) != nameListSize) return kNtsoErrMalformed;
  if (reading && TakeLastList()) return 0;
  r = ReadNameList(list);
  m_bListFromBytes = reading && r == 0;
  if (m_bListFromBytes) BuildHashTable();
  return r;
}

bool CNTSODB::TakeLastList() {
  SLastNameList* kept = LastList(false);
  if (kept == nullptr) return false;
  SLastNameList& last = *kept;
  // The bytes themselves (a stream's own == compares priorities).
  const int n = m_ListBytes.m_nSize;
  if (last.layout != m_nLayout || last.entries.m_nSize == 0 || last.bytes.m_nSize != n ||
      (n > 0 && std::memcmp(last.bytes.m_pData, m_ListBytes.m_pData, static_cast<size_t>(n)) != 0))
    return false;
  m_Index.RemoveAll();
  m_Entries.RemoveAll();
  m_HashTable.RemoveAll();
  SwapBlocks<CScalarArray<CNTSO*>>(m_Entries, last.entries);
  SwapBlocks<CScalarArray<CNTSO*>>(m_Index, last.index);
  SwapBlocks(m_HashTable, last.hashTable);
  last.layout = -1;
  m_bListFromBytes = true;
  return true;
}

void CNTSODB::KeepListForNextOpen() {
  if (!m_bListFromBytes) return;
  m_bListFromBytes = false;
  // A list changed by its user no longer matches its bytes.
  if (!IsReadingMode(m_nMode) || m_Entries.m_nSize == 0 || m_Index.m_nSize != m_Entries.m_nSize) return;
  SLastNameList* kept = LastList(true);
  if (kept == nullptr) return;
  SLastNameList& last = *kept;
  last.index.RemoveAll();
  last.entries.RemoveAll();
  last.hashTable.RemoveAll();
  SwapBlocks<CScalarArray<CNTSO*>>(m_Entries, last.entries);
  SwapBlocks<CScalarArray<CNTSO*>>(m_Index, last.index);
  SwapBlocks(m_HashTable, last.hashTable);
  // The old bytes become the spare buffer of the next open.
  SwapBlocks<CScalarArray<unsigned char>>(m_ListBytes, last.bytes);
  SwapBlocks<CScalarArray<unsigned char>>(m_ListBytes, last.spare);
  last.layout = m_nLayout;
}

int CNTSODB::ReadNameList(const CStream& list) {
  m_Index.RemoveAll();
  m_Entries.RemoveAll();
  // Room for the largest number of entries the list can hold, so the array grows once.
  size_t most = static_cast<size_t>(list.m_nSize) / NtsoMinEntryLength(m_nLayout) + 1;
  if (most < 1u << 20) m_Entries.Reserve(static_cast<int>(most));
  int r = NtsoParseNameList(list.m_pData, static_cast<size_t>(list.m_nSize), m_nLayout,
                            [this](const NtsoRawEntry& e) {
                              int at = m_Entries.AddEmpty();
                              CNTSO* entry = at >= 0 ? m_Entries.m_pData[at] : nullptr;
                              if (!entry) return kNtsoErrNoMemory;
                              entry->m_strName.Copy(e.name, static_cast<int>(e.nameLength));
                              entry->m_wType = e.type;
                              entry->m_wRecordSize = e.recordSize;
                              entry->m_dwOffset = e.offset;
                              if (entry->m_strName.m_nSize != static_cast<int>(e.nameLength) + 1)
                                return kNtsoErrNoMemory;
                              return 0;
                            });
  if (r != 0) {
    m_Entries.RemoveAll();
    return r;
  }
  SortIndex();
  return m_Index.m_nSize == m_Entries.m_nSize ? 0 : kNtsoErrNoMemory;
}

void CNTSODB::SortIndex() {
  m_HashTable.RemoveAll();
  m_Index.RemoveAll();
  if (!m_Index.Reserve(m_Entries.m_nSize)) return;
  for (int i = 0; i < m_Entries.m_nSize; ++i) m_Index.m_pData[i] = m_Entries.m_pData[i];
  m_Index.m_nSize = m_Entries.m_nSize;
  SortAscending(m_Index.m_pData, m_Index.m_nSize, NameLess());
}

void CNTSODB::BuildHashTable() {
  m_HashTable.RemoveAll();
  const int n = m_Index.m_nSize;
  if (n <= 0 || n > (1 << 28)) return;
  int slots = 16;
  while (slots < 2 * n) slots *= 2;
  m_HashTable.SetSize(slots, true);
  if (m_HashTable.m_nSize != slots) {
    m_HashTable.RemoveAll();
    return;
  }
  const uint32_t mask = static_cast<uint32_t>(slots - 1);
  CNTSO* const* index = m_Index.m_pData;
  for (int i = 0; i < n; ++i) {
    const char* name = index[i]->GetName();
    // Equal names lie together in the index; the table holds the one the bisection finds.
    bool sameAsPrevious = i > 0 && std::strcmp(name, index[i - 1]->GetName()) == 0;
    if (sameAsPrevious) continue;
    int at = i;
    if (i + 1 < n && std::strcmp(name, index[i + 1]->GetName()) == 0) {
      CNTSO* found = FindInIndex(name);
      while (index[at] != found) ++at;
    }
    uint32_t slot = NameHash(name) & mask;
    while (m_HashTable.m_pData[slot] != 0) slot = (slot + 1) & mask;
    m_HashTable.m_pData[slot] = at + 1;
  }
}

void CNTSODB::InsertIntoIndex(CNTSO* entry) {
  m_HashTable.RemoveAll();
  // After the last equal name, so that equal names keep their file order.
  int lo = 0, hi = m_Index.m_nSize;
  while (lo < hi) {
    int mid = lo + (hi - lo) / 2;
    if (std::strcmp(entry->GetName(), m_Index.m_pData[mid]->GetName()) < 0)
      hi = mid;
    else
      lo = mid + 1;
  }
  m_Index.CScalarArray<CNTSO*>::InsertAt(lo, &entry);
}

CNTSO* CNTSODB::FindName(const char* name) const {
  if (!name || m_Index.m_nSize <= 0) return nullptr;
  if (m_HashTable.m_nSize > 0) {
    const uint32_t mask = static_cast<uint32_t>(m_HashTable.m_nSize - 1);
    for (uint32_t slot = NameHash(name) & mask;; slot = (slot + 1) & mask) {
      int32_t at = m_HashTable.m_pData[slot];
      if (at == 0) return nullptr;
      CNTSO* e = m_Index.m_pData[at - 1];
      if (std::strcmp(name, e->GetName()) == 0) return e;
    }
  }
  return FindInIndex(name);
}

CNTSO* CNTSODB::FindInIndex(const char* name) const {
  if (!name || m_Index.m_nSize <= 0) return nullptr;
  int low = 0, high = m_Index.m_nSize - 1;
  while (low <= high) {
    int middle = low + (high - low) / 2;
    int c = std::strcmp(name, m_Index.m_pData[middle]->GetName());
    if (c == 0) return m_Index.m_pData[middle];
    if (c < 0)
      high = middle - 1;
    else
      low = middle + 1;
  }
  return nullptr;
}

int CNTSODB::ColumnsOf(const char* name, int firstColumn, int count, uint64_t& offset, uint64_t& length) const {
  if (!IsDatOpen()) return static_cast<int>(IO_NOT_OPEN);
  if (firstColumn < 0 || static_cast<DWORD>(firstColumn) >= m_nColumns) return kNtsoErrIndex;
  if (count < 0 || static_cast<DWORD>(count) > m_nColumns - static_cast<DWORD>(firstColumn)) return kNtsoErrPastEnd;
  CNTSO* entry = FindName(name);
  if (!entry) return kNtsoErrNotFound;
  if (entry->IsDeleted()) return kNtsoErrPastEnd;
  offset = entry->m_dwOffset + static_cast<uint64_t>(entry->m_wRecordSize) * static_cast<uint64_t>(firstColumn);
  length = static_cast<uint64_t>(entry->m_wRecordSize) * static_cast<uint64_t>(count);
  return 0;
}

int CNTSODB::CheckColumnRange(uint64_t offset, uint64_t length) {
  if (length == 0) return static_cast<int>(IO_BYTE_COUNT_ZERO);
  // The whole range must lie inside the .DAT: a corrupt entry never yields a short or wrapped read.
  uint64_t size = m_DatDirect.IsOpen() ? m_nDatSize : ntsoio::SizeOf(m_DatFile);
  if (offset > size || length > size - offset) return kNtsoErrNoCrLf;
  if (length > static_cast<uint64_t>(INT32_MAX)) return kNtsoErrNoMemory;
  return 0;
}

int CNTSODB::ReadColumns(CStream& out, const char* name, int firstColumn, int count) {
  uint64_t offset = 0, length = 0;
  int r = ColumnsOf(name, firstColumn, count, offset, length);
  if (r != 0) return r;
  out.m_nSeekMode = 0;
  out.m_nPosition = static_cast<int64_t>(offset);
  if ((r = CheckColumnRange(offset, length)) != 0) return r;
  if (const SRun* run = RunHolding(offset, length)) {
    out.RemoveAll();
    if (!out.Reserve(static_cast<int>(length))) return kNtsoErrNoMemory;
    std::memcpy(out.m_pData, run->bytes.get() + (offset - run->offset), static_cast<size_t>(length));
    out.m_nSize = static_cast<int>(length);
    return 0;
  }
  return ntsoio::ReadAt(m_DatFile, DatDirect(), offset, static_cast<size_t>(length), out);
}

int CNTSODB::ReadColumnsOfNames(const std::string* names, size_t n, int firstColumn, int count, CStream& out,
                                SColumns* where) {
  // Records closer than kGap are read with one request, the bytes between them dropped: a request
  // costs about as much as copying a few kilobytes. A run stays below kMaxRun.
  constexpr uint64_t kGap = 4 * 1024;
  constexpr uint64_t kMaxRun = 8u << 20;
  out.RemoveAll();
  out.m_nSeekMode = 0;
  out.m_nPosition = 0;
  struct SRange {
    uint64_t offset, length;
    size_t name;
  };
  // At most one range per name, and one piece for a range and one for the gap before it.
  std::unique_ptr<SRange[]> ranges(new (std::nothrow) SRange[n > 0 ? n : 1]);
  std::unique_ptr<FileHandle::Piece[]> pieces(new (std::nothrow) FileHandle::Piece[2 * n + 1]);
  if (ranges == nullptr || pieces == nullptr) {
    for (size_t i = 0; i < n; ++i) where[i] = {kNtsoErrNoMemory, 0, 0};
    return kNtsoErrNoMemory;
  }
  int nRanges = 0;
  uint64_t total = 0;
  for (size_t i = 0; i < n; ++i) {
    where[i] = {0, 0, 0};
    uint64_t offset = 0, length = 0;
    int r = ColumnsOf(names[i].c_str(), firstColumn, count, offset, length);
    if (r == 0) r = CheckColumnRange(offset, length);
    if (r == 0 && total + length > static_cast<uint64_t>(INT32_MAX)) r = kNtsoErrNoMemory;
    if (r == 0) ranges[nRanges++] = {offset, length, i};
    if (r != 0) {
      where[i].result = r;
      continue;
    }
    where[i].at = static_cast<uint32_t>(total);
    where[i].length = static_cast<uint32_t>(length);
    total += length;
  }
  if (!out.Reserve(static_cast<int>(total))) {
    for (int k = 0; k < nRanges; ++k) where[ranges[k].name].result = kNtsoErrNoMemory;
    return kNtsoErrNoMemory;
  }
  out.m_nSize = static_cast<int>(total);
  FileHandle* direct = DatDirect();
  if (direct == nullptr) {
    // The queued file: one read per name.
    CStream one;
    for (int k = 0; k < nRanges; ++k) {
      const SRange& r = ranges[k];
      SColumns& w = where[r.name];
      w.result = ntsoio::ReadAt(m_DatFile, nullptr, r.offset, static_cast<size_t>(r.length), one);
      w.length = w.result == 0 ? static_cast<uint32_t>(one.m_nSize) : 0;
      if (w.length > 0) std::memcpy(out.m_pData + w.at, one.m_pData, w.length);
    }
    return 0;
  }
  // In file order, each range read straight into its place in out.
  std::sort(ranges.get(), ranges.get() + nRanges, [](const SRange& a, const SRange& b) {
    return a.offset != b.offset ? a.offset < b.offset : a.name < b.name;
  });
  unsigned char gap[kGap];
  int k = 0;
  while (k < nRanges) {
    const uint64_t start = ranges[k].offset;
    uint64_t end = start;
    int last = k;  // ranges k .. last - 1 form the run
    size_t nPieces = 0;
    while (last < nRanges) {
      const SRange& r = ranges[last];
      // Overlapping records (a name asked for twice) start a run of their own.
      if (last > k && (r.offset < end || r.offset - end > kGap || r.offset + r.length - start > kMaxRun)) break;
      if (r.offset > end) pieces[nPieces++] = {gap, static_cast<size_t>(r.offset - end)};
      pieces[nPieces++] = {out.m_pData + where[r.name].at, static_cast<size_t>(r.length)};
      end = r.offset + r.length;
      ++last;
    }
    size_t got = 0;
    const DWORD e = direct->ReadPiecesAt(start, pieces.get(), nPieces, got);
    for (; k < last; ++k) {
      // A file cut short since it was opened keeps only what was there, as a single read does.
      const SRange& r = ranges[k];
      SColumns& w = where[r.name];
      const uint64_t from = r.offset - start;
      w.length = e != 0 || got <= from ? 0 : static_cast<uint32_t>(std::min<uint64_t>(r.length, got - from));
      w.result = e != 0 ? static_cast<int>(e) : w.length == 0 ? static_cast<int>(ERROR_HANDLE_EOF) : 0;
    }
  }
  return 0;
}

const CNTSODB::SRun* CNTSODB::RunHolding(uint64_t offset, uint64_t length) const {
  // The last run that starts at or before offset.
  auto it = std::upper_bound(m_Runs.begin(), m_Runs.end(), offset,
                             [](uint64_t o, const SRun& r) { return o < r.offset; });
  if (it == m_Runs.begin()) return nullptr;
  --it;
  return offset - it->offset <= it->length && length <= it->length - (offset - it->offset) ? &*it : nullptr;
}

int CNTSODB::ReadAhead(const std::string* names, size_t n, int firstColumn, int count) {
  // Records closer than kGap are read in one run: a read request costs about as much as copying
  // a few kilobytes. kMaxAhead bounds the memory of one day file's runs.
  constexpr uint64_t kGap = 4 * 1024;
  constexpr uint64_t kMaxRun = 8u << 20;
  constexpr uint64_t kMaxAhead = 64u << 20;
  m_Runs.clear();
  FileHandle* direct = DatDirect();
  if (direct == nullptr || firstColumn < 0 || count <= 0 || static_cast<DWORD>(firstColumn) >= m_nColumns ||
      static_cast<DWORD>(count) > m_nColumns - static_cast<DWORD>(firstColumn))
    return 0;
  struct SRange {
    uint64_t offset, length;
  };
  std::vector<SRange> ranges;
  ranges.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    const CNTSO* entry = FindName(names[i].c_str());
    if (!entry || entry->IsDeleted()) continue;
    uint64_t offset = entry->m_dwOffset + static_cast<uint64_t>(entry->m_wRecordSize) * static_cast<uint64_t>(firstColumn);
    uint64_t length = static_cast<uint64_t>(entry->m_wRecordSize) * static_cast<uint64_t>(count);
    // Ranges that single reads would refuse or cut short are left to them.
    if (length == 0 || offset > m_nDatSize || length > m_nDatSize - offset || length > kMaxRun) continue;
    ranges.push_back({offset, length});
  }
  std::sort(ranges.begin(), ranges.end(), [](const SRange& a, const SRange& b) { return a.offset < b.offset; });
  uint64_t total = 0;
  size_t i = 0;
  while (i < ranges.size()) {
    uint64_t start = ranges[i].offset, end = start + ranges[i].length;
    size_t j = i + 1;
    while (j < ranges.size() && ranges[j].offset <= end + kGap && std::max(end, ranges[j].offset + ranges[j].length) - start <= kMaxRun) {
      end = std::max(end, ranges[j].offset + ranges[j].length);
      ++j;
    }
    i = j;
    if (total + (end - start) > kMaxAhead) break;
    SRun run;
    run.offset = start;
    run.bytes.reset(new (std::nothrow) unsigned char[static_cast<size_t>(end - start)]);
    if (!run.bytes) break;
    size_t got = 0;
    if (direct->ReadAt(start, run.bytes.get(), static_cast<size_t>(end - start), got) != 0) continue;
    run.length = got;  // a file cut short since it was opened keeps only what was there
    total += end - start;
    m_Runs.push_back(std::move(run));
  }
  return static_cast<int>(m_Runs.size());
}

int CNTSODB::Close() {
  if (!IsDatOpen()) {
    Reset();
    return 0;
  }
  int result = 0;
  if ((m_nMode == 1 || m_nMode == 3) && m_nLayout >= 0) {
    if (m_nMode == 3) result = FlushExpand();
    SYSTEMTIME now = GetLocalTime();
    char text[32];
    int r = NtsoFormatTime(text, m_nLayout, kFieldWriteTime, now);
    if (r == 0 && m_nPositions[kFieldWriteTime] > 0) {
      if (m_nMode == 3 && m_NtsFile.IsOpen()) {
        r = ntsoio::SendAt(m_NtsFile, m_nPositions[kFieldWriteTime], text, 23);
        int w = ntsoio::Flush(m_NtsFile);
        if (r == 0) r = w;
        if (result == 0) result = r;
      }
      r = ntsoio::SendAt(m_DatFile, m_nPositions[kFieldWriteTime], text, 23);
      int w = ntsoio::Flush(m_DatFile);
      if (r == 0) r = w;
    }
    if (result == 0) result = r;
  }
  CloseFiles();
  Reset();
  return result;
}

void CNTSODB::CloseFiles() {
  m_DatFile.Close();
  m_NtsFile.Close();
  m_DatDirect.Close();
  m_NtsDirect.Close();
}

void CNTSODB::Reset() {
  m_Runs.clear();
  KeepListForNextOpen();
  m_ListBytes.RemoveAll();
  m_HashTable.RemoveAll();
  m_Index.RemoveAll();
  m_Entries.RemoveAll();
  m_nLayout = -1;
  m_nMode = -1;
  m_nColumns = 0;
  std::memset(m_nPositions, 0, sizeof m_nPositions);
  m_strBaseName.RemoveAll();
  m_nDatSize = 0;
}

bool CNTSODB::IsContiguous(uint64_t firstOffset, uint64_t dataSize) const {
  uint64_t next = firstOffset;
  for (int i = 0; i < m_Entries.m_nSize; ++i) {
    const CNTSO* e = m_Entries.m_pData[i];
    if (e->m_dwOffset != next) return false;
    next += static_cast<uint64_t>(e->m_wRecordSize) * m_nColumns;
  }
  return next - firstOffset == dataSize;
}
