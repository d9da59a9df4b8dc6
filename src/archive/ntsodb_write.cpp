// CNTSODB: creating databases, adding, deleting and renaming names, writing records, header
// fields and the title.
#include <cstdlib>
#include <cstring>

#include "archive/ntsodb.h"
#include "archive/ntsodb_io.h"
#include "platform/base/text.h"
#include "platform/kernel/files.h"
#include "platform/kernel/time.h"

namespace {

bool IsWriteMode(int mode) { return mode == 1 || mode == 3; }

uint64_t BlockLength(const CNTSO& e, DWORD columns) { return static_cast<uint64_t>(e.m_wRecordSize) * columns; }

// Serializes entries [from, to) of a list into a stream (layout 1/2 form), appending.
bool AppendEntries(CStream& s, const CObjArray<CNTSO>& entries, int from, int to) {
  for (int i = from; i < to; ++i) {
    const CNTSO* e = entries.m_pData[i];
    size_t length = NtsoEntryLength(e->GetNameLength());
    int at = s.m_nSize;
    if (length > static_cast<size_t>(INT32_MAX - at) || !s.Reserve(at + static_cast<int>(length))) return false;
    NtsoSerializeEntry(s.m_pData + at, e->GetName(), e->GetNameLength(), e->m_wType, e->m_wRecordSize, e->m_dwOffset);
    s.m_nSize = at + static_cast<int>(length);
  }
  return true;
}

bool AppendZeros(CStream& s, uint64_t n) {
  if (n > static_cast<uint64_t>(INT32_MAX - s.m_nSize)) return false;
  int at = s.m_nSize;
  if (!s.Reserve(at + static_cast<int>(n))) return false;
  std::memset(s.m_pData + at, 0, static_cast<size_t>(n));
  s.m_nSize = at + static_cast<int>(n);
  return true;
}

}  // namespace

int CNTSODB::WriteHeader(char* buffer, const char* title, int positions[14], int layout) {
  return NtsoBuildHeader(buffer, title, positions, layout);
}

// Everything that can make a new database unwritable or unreadable is refused before any file is
// created: a title that breaks the header, and numbers too wide for their slots.
int CNTSODB::CheckNewDatabase(const CObjArray<CNTSO>& names, DWORD columns, const char* title, int version,
                              int layout, int mode) const {
  char header[513];
  int positions[14];
  int r = NtsoBuildHeader(header, title, positions, layout);
  if (r != 0) return r;
  if (columns < 1 || columns > INT32_MAX) return kNtsoErrMalformed;
  uint64_t listSize = 0, dataSize = 0;
  for (int i = 0; i < names.m_nSize; ++i) {
    listSize += NtsoEntryLength(names.m_pData[i]->GetNameLength());
    dataSize += BlockLength(*names.m_pData[i], columns);
  }
  uint64_t end = kNtsoHeaderSize + dataSize + (mode == 1 ? listSize : 0);
  // Record offsets are 32-bit.
  if (end > UINT32_MAX || listSize > UINT32_MAX) return kNtsoErrMalformed;
  char v[32];
  const int64_t numbers[][2] = {{kFieldVersion, version},
                                {kFieldNames, names.m_nSize},
                                {kFieldColumns, columns},
                                {kFieldNameListSize, static_cast<int64_t>(listSize)},
                                {kFieldDataSize, static_cast<int64_t>(dataSize)},
                                {kFieldFileSize, static_cast<int64_t>(end + NtsoFillLength(end))},
                                {kFieldFileSize, static_cast<int64_t>(512 + listSize + NtsoFillLength(512 + listSize))}};
  for (const auto& n : numbers)
    if ((r = NtsoFormatInt(v, layout, static_cast<int>(n[0]), n[1])) != 0) return r;
  return 0;
}

int CNTSODB::Create(const char* name, int mode, const CObjArray<CNTSO>& names, DWORD columns, const char* title,
                    int version, int layout, CAdrArray<CNTSO>* present) {
  if (mode != 1 && mode != 3) return kNtsoErrMode;
  if (layout != 1 && layout != 2) return kNtsoErrLayout;
  int r = CheckNewDatabase(names, columns, title, version, layout, mode);
  if (r != 0) return r;
  Close();
  if (!name) name = "";
  m_strBaseName.Copy(name, static_cast<int>(NtsoBaseNameLength(name)));
  CStr<char, wchar_t> path(m_strBaseName);
  path += ".DAT";
  r = static_cast<int>(m_DatFile.Open(path.m_pData, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, FILE_SHARE_READ, 0));
  if (r != 0) {
    Reset();
    return r;
  }
  m_nMode = mode;
  m_nLayout = layout;
  m_nColumns = columns;
  return WriteNewDatabase(names, title, version, present);
}

int CNTSODB::WriteNewDatabase(const CObjArray<CNTSO>& names, const char* title, int version,
                              CAdrArray<CNTSO>* present) {
  int r = CheckNewDatabase(names, m_nColumns, title, version, m_nLayout, m_nMode);
  if (r != 0) {
    CloseFiles();
    Reset();
    return r;
  }
  m_Index.RemoveAll();
  m_Entries.RemoveAll();
  bool anyPresent = false;
  for (int i = 0; i < names.m_nSize; ++i) {
    CNTSO* input = names.m_pData[i];
    if (FindName(input->GetName())) {
      if (present) present->CScalarArray<CNTSO*>::Add(&input);
      anyPresent = true;
      continue;
    }
    int at = m_Entries.Add(*input);
    if (at < 0) {
      CloseFiles();
      Reset();
      return kNtsoErrNoMemory;
    }
    InsertIntoIndex(m_Entries.m_pData[at]);
  }

  bool expand = m_nMode == 3;
  uint64_t listSize = 0;
  for (int i = 0; i < m_Entries.m_nSize; ++i) listSize += NtsoEntryLength(m_Entries.m_pData[i]->GetNameLength());
  uint64_t next = kNtsoHeaderSize + (expand ? 0 : listSize);
  for (int i = 0; i < m_Entries.m_nSize; ++i) {
    CNTSO* e = m_Entries.m_pData[i];
    e->m_dwOffset = static_cast<DWORD>(next);
    next += BlockLength(*e, m_nColumns);
  }
  uint64_t dataSize = next - kNtsoHeaderSize - (expand ? 0 : listSize);

  CStream list;
  if (!AppendEntries(list, m_Entries, 0, m_Entries.m_nSize)) r = kNtsoErrNoMemory;
  if (r == 0 && !expand && list.m_nSize > 0) r = ntsoio::SendAt(m_DatFile, kNtsoHeaderSize, list.m_pData, list.m_nSize);
  if (r == 0 && expand) {
    CStr<char, wchar_t> path(m_strBaseName);
    path += ".NTS";
    r = static_cast<int>(m_NtsFile.Open(path.m_pData, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, FILE_SHARE_READ, 0));
    if (r == 0 && !AppendZeros(list, NtsoFillLength(kNtsoHeaderSize + listSize))) r = kNtsoErrNoMemory;
    if (r == 0) r = ntsoio::SendAt(m_NtsFile, kNtsoHeaderSize, list.m_pData, list.m_nSize);
  }
  if (r == 0) r = ntsoio::SendZeros(m_DatFile, next, NtsoFillLength(next));

  char header[513];
  if (r == 0) r = NtsoBuildHeader(header, title, m_nPositions, m_nLayout);
  if (r == 0) {
    SYSTEMTIME now = GetLocalTime();
    SYSTEMTIME start = now, end = now;
    start.wHour = start.wMinute = start.wSecond = start.wMilliseconds = 0;
    end.wHour = 23, end.wMinute = 59, end.wSecond = 59, end.wMilliseconds = 990;
    auto put = [&](int index, int result, const char* text) {
      if (result == 0) std::memcpy(header + m_nPositions[index], text, std::strlen(text));
      return result;
    };
    char v[32];
    r = put(kFieldVersion, NtsoFormatInt(v, m_nLayout, kFieldVersion, version), v);
    if (r == 0) r = put(kFieldNames, NtsoFormatInt(v, m_nLayout, kFieldNames, m_Entries.m_nSize), v);
    if (r == 0) r = put(kFieldColumns, NtsoFormatInt(v, m_nLayout, kFieldColumns, m_nColumns), v);
    if (r == 0) r = put(kFieldHeaderSize, NtsoFormatInt(v, m_nLayout, kFieldHeaderSize, kNtsoHeaderSize), v);
    if (r == 0) r = put(kFieldDbMode, NtsoFormatMode(v, m_nLayout, expand), v);
    if (r == 0) r = put(kFieldCreationTime, NtsoFormatTime(v, m_nLayout, kFieldCreationTime, now), v);
    if (r == 0) r = put(kFieldWriteTime, NtsoFormatTime(v, m_nLayout, kFieldWriteTime, now), v);
    if (r == 0) r = put(kFieldDataStart, NtsoFormatTime(v, m_nLayout, kFieldDataStart, start), v);
    if (r == 0) r = put(kFieldDataEnd, NtsoFormatTime(v, m_nLayout, kFieldDataEnd, end), v);
    if (r == 0) r = put(kFieldNameListSize, NtsoFormatInt(v, m_nLayout, kFieldNameListSize, static_cast<int64_t>(listSize)), v);
    if (r == 0) r = put(kFieldDataSize, NtsoFormatInt(v, m_nLayout, kFieldDataSize, static_cast<int64_t>(dataSize)), v);
  }
  if (r == 0) r = ntsoio::Flush(m_DatFile);
  if (r == 0) {
    char v[32];
    r = NtsoFormatInt(v, m_nLayout, kFieldFileSize, static_cast<int64_t>(ntsoio::SizeOf(m_DatFile)));
    if (r == 0) std::memcpy(header + m_nPositions[kFieldFileSize], v, std::strlen(v));
    if (r == 0) r = ntsoio::SendAt(m_DatFile, 0, header, kNtsoHeaderSize);
    if (r == 0) r = ntsoio::Flush(m_DatFile);
  }
  if (r == 0 && m_NtsFile.IsOpen()) {
    char v[32];
    r = ntsoio::Flush(m_NtsFile);
    if (r == 0) r = NtsoFormatInt(v, m_nLayout, kFieldFileSize, static_cast<int64_t>(ntsoio::SizeOf(m_NtsFile)));
    if (r == 0) std::memcpy(header + m_nPositions[kFieldFileSize], v, std::strlen(v));
    if (r == 0) r = ntsoio::SendAt(m_NtsFile, 0, header, kNtsoHeaderSize);
    if (r == 0) r = ntsoio::Flush(m_NtsFile);
  }
  if (r != 0) {
    CloseFiles();
    Reset();
    return r;
  }
  return anyPresent ? kNtsoErrExists : 0;
}

int CNTSODB::OpenOrCreate(const char* name, int mode, const CObjArray<CNTSO>& names, DWORD columns,
                          const char* title, int version, int layout, CAdrArray<CNTSO>* present) {
  if (mode == 0 || mode == 2) return Open(name, mode);
  if (mode < 0 || mode > 3) return kNtsoErrMode;
  Close();
  if (!name) name = "";
  m_strBaseName.Copy(name, static_cast<int>(NtsoBaseNameLength(name)));
  CStr<char, wchar_t> path(m_strBaseName);
  path += ".DAT";
  int r = static_cast<int>(m_DatFile.Open(path.m_pData, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, FILE_SHARE_READ, 0));
  if (r != 0) {
    Reset();
    return r;
  }
  m_nMode = mode;
  if (ntsoio::SizeOf(m_DatFile) == 0) {
    if (layout != 1 && layout != 2) {
      CloseFiles();
      Reset();
      return kNtsoErrLayout;
    }
    m_nLayout = layout;
    m_nColumns = columns;
    return WriteNewDatabase(names, title, version, present);
  }
  return ReadHeader();
}

int CNTSODB::AddNames(const CObjArray<CNTSO>& names, CAdrArray<CNTSO>* present) {
  if (m_nMode != 3) return kNtsoErrMode;
  DWORD oldListSize = 0, dataSize = 0;
  int r = GetU32Field(oldListSize, kFieldNameListSize);
  if (r == 0) r = GetU32Field(dataSize, kFieldDataSize);
  if (r != 0) return r;
  // New records go after the last block; that is only right when the blocks are contiguous.
  if (!IsContiguous(kNtsoHeaderSize, dataSize)) return kNtsoErrMalformed;

  int oldCount = m_Entries.m_nSize;
  uint64_t next = kNtsoHeaderSize;
  if (oldCount > 0) {
    const CNTSO* last = m_Entries.m_pData[oldCount - 1];
    next = last->m_dwOffset + BlockLength(*last, m_nColumns);
  }
  // Check that the new names fit the 32-bit offsets and the header's slots before changing anything.
  uint64_t addedList = 0, end = next;
  for (int i = 0; i < names.m_nSize; ++i) {
    addedList += NtsoEntryLength(names.m_pData[i]->GetNameLength());
    end += BlockLength(*names.m_pData[i], m_nColumns);
  }
  char v[32];
  if (end > UINT32_MAX || oldListSize + addedList > UINT32_MAX) return kNtsoErrMalformed;
  if ((r = NtsoFormatInt(v, m_nLayout, kFieldNames, oldCount + names.m_nSize)) != 0 ||
      (r = NtsoFormatInt(v, m_nLayout, kFieldNameListSize, static_cast<int64_t>(oldListSize + addedList))) != 0 ||
      (r = NtsoFormatInt(v, m_nLayout, kFieldFileSize, static_cast<int64_t>(end + NtsoFillLength(end)))) != 0 ||
      (r = NtsoFormatInt(v, m_nLayout, kFieldFileSize,
                         static_cast<int64_t>(512 + oldListSize + addedList + 512))) != 0)
    return r;

  bool anyPresent = false;
  for (int i = 0; i < names.m_nSize; ++i) {
    CNTSO* input = names.m_pData[i];
    if (FindName(input->GetName())) {
      if (present) present->CScalarArray<CNTSO*>::Add(&input);
      anyPresent = true;
      continue;
    }
    int at = m_Entries.Add(*input);
    if (at < 0) return kNtsoErrNoMemory;
    CNTSO* e = m_Entries.m_pData[at];
    e->m_dwOffset = static_cast<DWORD>(next);
    next += BlockLength(*e, m_nColumns);
    InsertIntoIndex(e);
  }
  if (m_Entries.m_nSize == oldCount) return anyPresent ? kNtsoErrExists : 0;

  CStream added;
  if (!AppendEntries(added, m_Entries, oldCount, m_Entries.m_nSize)) return kNtsoErrNoMemory;
  uint64_t newListSize = oldListSize + static_cast<uint64_t>(added.m_nSize);
  if (!AppendZeros(added, NtsoFillLength(newListSize))) return kNtsoErrNoMemory;
  r = ntsoio::SendAt(m_NtsFile, kNtsoHeaderSize + static_cast<uint64_t>(oldListSize), added.m_pData, added.m_nSize);
  if (r == 0) r = ntsoio::SendZeros(m_DatFile, next, NtsoFillLength(next));
  if (r == 0) r = SetIntField(m_Entries.m_nSize, kFieldNames);
  if (r == 0) r = SetU32Field(static_cast<DWORD>(newListSize), kFieldNameListSize);
  if (r == 0) r = SetU32Field(static_cast<DWORD>(next - kNtsoHeaderSize), kFieldDataSize);
  if (r == 0) r = WriteFileSizeField(m_NtsFile);
  if (r == 0) r = WriteFileSizeField(m_DatFile);
  int w = ntsoio::Flush(m_NtsFile);
  if (r == 0) r = w;
  w = ntsoio::Flush(m_DatFile);
  if (r == 0) r = w;
  if (r != 0) return r;
  return anyPresent ? kNtsoErrExists : 0;
}

int CNTSODB::DeleteName(const char* name) {
  if (m_nMode != 3) return kNtsoErrMode;
  CNTSO* e = FindName(name);
  if (!e) return kNtsoErrNotFound;
  e->m_wType = kNtsoDeleted;
  return 0;
}

int CNTSODB::DeleteName(int index) {
  if (m_nMode != 3) return kNtsoErrMode;
  if (index < 0 || index >= m_Entries.m_nSize) return kNtsoErrIndex;
  m_Entries.m_pData[index]->m_wType = kNtsoDeleted;
  return 0;
}

int CNTSODB::RenameName(const char* oldName, const char* newName) {
  if (!IsWriteMode(m_nMode)) return kNtsoErrMode;
  if (m_nLayout != 1 && m_nLayout != 2) return kNtsoErrLayout;
  if (!newName) newName = "";
  CNTSO* e = FindName(oldName);
  if (!e) return kNtsoErrNotFound;
  if (e->IsDeleted()) return kNtsoErrPastEnd;
  if (FindName(newName)) return kNtsoErrExists;

  int at = 0;
  uint64_t p = 0;
  for (; at < m_Entries.m_nSize && m_Entries.m_pData[at] != e; ++at)
    p += NtsoEntryLength(m_Entries.m_pData[at]->GetNameLength());
  CIOFile& listFile = m_nMode == 3 ? m_NtsFile : m_DatFile;

  if (std::strlen(newName) == e->GetNameLength()) {
    e->SetName(newName);
    SortIndex();
    CStream s;
    if (!AppendEntries(s, m_Entries, at, at + 1)) return kNtsoErrNoMemory;
    int r = ntsoio::SendAt(listFile, kNtsoHeaderSize + p, s.m_pData, s.m_nSize);
    int w = ntsoio::Flush(listFile);
    return r != 0 ? r : w;
  }
  if (m_nMode == 1) return kNtsoErrHeaderText;

  uint64_t oldSize = ntsoio::SizeOf(m_NtsFile);
  uint64_t tail = 0;
  for (int i = at + 1; i < m_Entries.m_nSize; ++i) tail += NtsoEntryLength(m_Entries.m_pData[i]->GetNameLength());
  uint64_t newListSize = p + NtsoEntryLength(std::strlen(newName)) + tail;
  char v[32];
  int r = NtsoFormatInt(v, m_nLayout, kFieldNameListSize, static_cast<int64_t>(newListSize));
  if (r != 0) return r;
  e->SetName(newName);
  SortIndex();
  CStream s;
  if (!AppendEntries(s, m_Entries, at, m_Entries.m_nSize) || !AppendZeros(s, NtsoFillLength(newListSize)))
    return kNtsoErrNoMemory;
  r = ntsoio::SendAt(m_NtsFile, kNtsoHeaderSize + p, s.m_pData, s.m_nSize);
  if (r == 0) r = ntsoio::Flush(m_NtsFile);
  if (r == 0) {
    uint64_t end = kNtsoHeaderSize + p + static_cast<uint64_t>(s.m_nSize);
    if (end < ntsoio::SizeOf(m_NtsFile)) r = static_cast<int>(m_NtsFile.SetLength(end));
  }
  if (r == 0) r = SetU32Field(static_cast<DWORD>(newListSize), kFieldNameListSize);
  if (r == 0) r = ntsoio::Flush(m_NtsFile);
  if (r == 0 && ntsoio::SizeOf(m_NtsFile) != oldSize) r = WriteFileSizeField(m_NtsFile);
  int w = ntsoio::Flush(m_NtsFile);
  if (r == 0) r = w;
  w = ntsoio::Flush(m_DatFile);
  if (r == 0) r = w;
  return r;
}

int CNTSODB::WriteColumns(const CStream& records, const char* name, int firstColumn, int count) {
  if (!IsWriteMode(m_nMode)) return kNtsoErrMode;
  if (firstColumn < 0 || static_cast<DWORD>(firstColumn) >= m_nColumns) return kNtsoErrIndex;
  if (count < 0 || static_cast<DWORD>(count) > m_nColumns - static_cast<DWORD>(firstColumn)) return kNtsoErrPastEnd;
  CNTSO* e = FindName(name);
  if (!e) return kNtsoErrNotFound;
  if (e->IsDeleted()) return kNtsoErrPastEnd;
  uint64_t length = static_cast<uint64_t>(e->m_wRecordSize) * static_cast<uint64_t>(count);
  if (static_cast<uint64_t>(records.m_nSize) != length) return kNtsoErrHeaderText;
  uint64_t offset = e->m_dwOffset + static_cast<uint64_t>(e->m_wRecordSize) * static_cast<uint64_t>(firstColumn);
  return ntsoio::SendAt(m_DatFile, offset, records.m_pData, static_cast<size_t>(records.m_nSize));
}

int CNTSODB::WriteColumns(const CStream& records, int index, int firstColumn, int count) {
  if (!IsWriteMode(m_nMode)) return kNtsoErrMode;
  if (index < 0 || index >= m_Entries.m_nSize) return kNtsoErrIndex;
  if (firstColumn < 0 || static_cast<DWORD>(firstColumn) >= m_nColumns) return kNtsoErrIndex;
  if (count < 0 || static_cast<DWORD>(count) > m_nColumns - static_cast<DWORD>(firstColumn)) return kNtsoErrPastEnd;
  CNTSO* e = m_Entries.m_pData[index];
  if (e->IsDeleted()) return kNtsoErrPastEnd;
  uint64_t length = static_cast<uint64_t>(e->m_wRecordSize) * static_cast<uint64_t>(count);
  if (static_cast<uint64_t>(records.m_nSize) != length) return kNtsoErrHeaderText;
  uint64_t offset = e->m_dwOffset + static_cast<uint64_t>(e->m_wRecordSize) * static_cast<uint64_t>(firstColumn);
  return ntsoio::SendAt(m_DatFile, offset, records.m_pData, static_cast<size_t>(records.m_nSize));
}

// ---- header fields ----

int CNTSODB::ReadHeaderField(CStream& out, int index) {
  if (index < 1 || index > kNtsoFieldCount) return kNtsoErrIndex;
  if (m_nLayout < 0 || m_nPositions[index] == 0) return kNtsoErrFieldOrder;
  int width = NtsoFieldWidth(m_nLayout, index);
  int r = ntsoio::ReadAt(m_DatFile, DatDirect(), m_nPositions[index], width, out);
  if (r != 0) return r;
  if (out.m_nSize != width) return kNtsoErrShortRead;
  if (m_nMode == 2 || m_nMode == 3) {
    CStream other;
    r = ntsoio::ReadAt(m_NtsFile, NtsDirect(), m_nPositions[index], width, other);
    if (r != 0) return r;
    if (other.m_nSize != width || std::memcmp(other.m_pData, out.m_pData, width) != 0) return kNtsoErrCopiesDiffer;
  }
  return 0;
}

namespace {

// The field text as a NUL-terminated copy (the slot itself is not terminated).
void Terminated(const CStream& s, char* out, size_t size) {
  size_t n = static_cast<size_t>(s.m_nSize) < size - 1 ? static_cast<size_t>(s.m_nSize) : size - 1;
  std::memcpy(out, s.m_pData, n);
  out[n] = 0;
}

}  // namespace

int CNTSODB::ReadHeaderFieldText(char* text, size_t size, int index) {
  CStream s;
  int r = ReadHeaderField(s, index);
  if (r == 0) Terminated(s, text, size);
  return r;
}

int CNTSODB::GetTimeField(SYSTEMTIME& t, int index) {
  CStream s;
  int r = ReadHeaderField(s, index);
  if (r != 0) return r;
  NtsoParseTime(reinterpret_cast<const char*>(s.m_pData), static_cast<size_t>(s.m_nSize), true, t);
  return 0;
}

int CNTSODB::GetTimeFieldSeconds(SYSTEMTIME& t, int index) {
  CStream s;
  int r = ReadHeaderField(s, index);
  if (r != 0) return r;
  NtsoParseTime(reinterpret_cast<const char*>(s.m_pData), static_cast<size_t>(s.m_nSize), false, t);
  return 0;
}

namespace {

// Reads a numeric header field into value with parse (a strtol-style conversion of the text).
template <class T, class Parse>
int ParseHeaderNumber(CNTSODB& db, T& value, int index, Parse parse) {
  char text[32];
  int r = db.ReadHeaderFieldText(text, sizeof text, index);
  if (r == 0) value = static_cast<T>(parse(text));
  return r;
}

}  // namespace

int CNTSODB::GetIntField(int& value, int index) {
  return ParseHeaderNumber(*this, value, index, [](const char* t) { return std::strtol(t, nullptr, 10); });
}

int CNTSODB::GetU32Field(DWORD& value, int index) {
  return ParseHeaderNumber(*this, value, index, [](const char* t) { return std::strtoul(t, nullptr, 10); });
}

int CNTSODB::GetU64Field(uint64_t& value, int index) {
  return ParseHeaderNumber(*this, value, index, [](const char* t) { return std::strtoull(t, nullptr, 10); });
}

int CNTSODB::WriteFieldText(CIOFile& file, int index, const char* text) {
  return ntsoio::SendAt(file, m_nPositions[index], text, std::strlen(text));
}

int CNTSODB::WriteHeaderField(const CStream& text, int index) {
  if (!IsWriteMode(m_nMode)) return kNtsoErrMode;
  if (index < 1 || index > kNtsoFieldCount) return kNtsoErrIndex;
  if (m_nPositions[index] == 0) return kNtsoErrFieldOrder;
  // A text wider than the slot would run into the next line.
  if (text.m_nSize > NtsoFieldWidth(m_nLayout, index)) return kNtsoErrHeaderText;
  int r = ntsoio::SendAt(m_DatFile, m_nPositions[index], text.m_pData, static_cast<size_t>(text.m_nSize));
  if (r == 0 && m_nMode == 3)
    r = ntsoio::SendAt(m_NtsFile, m_nPositions[index], text.m_pData, static_cast<size_t>(text.m_nSize));
  return r;
}

int CNTSODB::SetTimeField(const SYSTEMTIME& t, int index) {
  if (index < 1 || index > kNtsoFieldCount) return kNtsoErrIndex;
  char v[32];
  int r = NtsoFormatTime(v, m_nLayout, index, t);
  if (r != 0) return r;
  return WriteHeaderField(CStream(v), index);
}

int CNTSODB::SetTimeFieldSeconds(const SYSTEMTIME& t, int index) {
  if (index < 1 || index > kNtsoFieldCount) return kNtsoErrIndex;
  int width = NtsoFieldWidth(m_nLayout, index);
  if (width == 0) return kNtsoErrFieldOrder;
  char v[64];
  std::snprintf(v, sizeof v, " %02hu/%02hu/%04hu %02hu:%02hu:%02hu", t.wMonth, t.wDay, t.wYear, t.wHour, t.wMinute,
                t.wSecond);
  if (static_cast<int>(std::strlen(v)) > width) return kNtsoErrHeaderText;
  return WriteHeaderField(CStream(v), index);
}

int CNTSODB::FormatNumberField(char* out, int index, uint64_t value) const {
  if (index < 1 || index > kNtsoFieldCount) return kNtsoErrIndex;
  if (value > static_cast<uint64_t>(INT64_MAX)) return kNtsoErrHeaderText;
  return NtsoFormatInt(out, m_nLayout, index, static_cast<int64_t>(value));
}

int CNTSODB::SetIntField(int value, int index) {
  if (index < 1 || index > kNtsoFieldCount) return kNtsoErrIndex;
  char v[32];
  int r = NtsoFormatInt(v, m_nLayout, index, value);
  if (r != 0) return r;
  return WriteHeaderField(CStream(v), index);
}

int CNTSODB::SetU32Field(DWORD value, int index) {
  char v[32];
  int r = FormatNumberField(v, index, value);
  if (r != 0) return r;
  return WriteHeaderField(CStream(v), index);
}

int CNTSODB::SetU64Field(uint64_t value, int index) {
  char v[32];
  int r = FormatNumberField(v, index, value);
  if (r != 0) return r;
  return WriteHeaderField(CStream(v), index);
}

// File Size is per file: each file's own size after its queued writes, written to that file only.
int CNTSODB::WriteFileSizeField(CIOFile& file) {
  int r = ntsoio::Flush(file);
  if (r != 0) return r;
  char v[32];
  r = FormatNumberField(v, kFieldFileSize, ntsoio::SizeOf(file));
  if (r != 0) return r;
  return WriteFieldText(file, kFieldFileSize, v);
}

int CNTSODB::ReadTitle(CStream& out) {
  if (!IsDatOpen()) return static_cast<int>(IO_NOT_OPEN);
  // The title is the text before the first CR LF (for headers written by this system that is
  // exactly what the first value position implies, and it also holds for other spacing).
  CStream block;
  int r = ntsoio::ReadHeaderBlock(m_DatFile, DatDirect(), block);
  if (r != 0) return r;
  int length = 0;
  while (length + 1 < kNtsoHeaderSize && !(block.m_pData[length] == '\r' && block.m_pData[length + 1] == '\n'))
    ++length;
  if (length + 1 >= kNtsoHeaderSize) return kNtsoErrNoCrLf;
  if (length == 0) return static_cast<int>(IO_BYTE_COUNT_ZERO);
  r = ntsoio::ReadAt(m_DatFile, DatDirect(), 0, static_cast<size_t>(length), out);
  if (r != 0) return r;
  if (m_nMode == 2 || m_nMode == 3) {
    CStream other;
    r = ntsoio::ReadAt(m_NtsFile, NtsDirect(), 0, static_cast<size_t>(length), other);
    if (r != 0) return r;
    if (other.m_nSize != out.m_nSize || std::memcmp(other.m_pData, out.m_pData, out.m_nSize) != 0)
      return kNtsoErrCopiesDiffer;
  }
  return 0;
}

int CNTSODB::GetTitle(CStr<char, wchar_t>& title) {
  CStream s;
  int r = ReadTitle(s);
  if (r != 0) return r;
  title.Copy(reinterpret_cast<const char*>(s.m_pData), s.m_nSize);
  return 0;
}

int CNTSODB::GetTitle(CStr<char16_t, char>& title) {
  CStream s;
  int r = ReadTitle(s);
  if (r != 0) return r;
  char16_t wide[kNtsoHeaderSize + 1];
  size_t n = Cp1252ToUtf16(reinterpret_cast<const char*>(s.m_pData), static_cast<size_t>(s.m_nSize), wide);
  wide[n] = 0;
  title.Copy(wide, static_cast<int>(n));
  return 0;
}
