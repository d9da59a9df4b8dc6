// CNTSODB: compaction of deleted names at close, conversion between FIXED and EXPAND form,
// read-only and writable attributes, moving a database's files.
#include <cstring>

#include "archive/ntsodb.h"
#include "archive/ntsodb_io.h"
#include "platform/base/errors.h"
#include "platform/kernel/files.h"

namespace {

constexpr size_t kPiece = 32768;

uint64_t BlockLength(const CNTSO& e, DWORD columns) { return static_cast<uint64_t>(e.m_wRecordSize) * columns; }

// Appends the name list to `list`, giving the names' record blocks one after another from `next`
// on; `next` ends one past the last block. Offsets are stored in 32 bits, so a list whose blocks
// would reach past them is refused rather than written with cut offsets.
int SerializeNameList(const CObjArray<CNTSO>& entries, DWORD columns, CStream& list, uint64_t& next) {
  for (int i = 0; i < entries.m_nSize; ++i) {
    const CNTSO* e = entries.m_pData[i];
    size_t n = NtsoEntryLength(e->GetNameLength());
    int at = list.m_nSize;
    if (!list.Reserve(at + static_cast<int>(n))) return kNtsoErrNoMemory;
    NtsoSerializeEntry(list.m_pData + at, e->GetName(), e->GetNameLength(), e->m_wType, e->m_wRecordSize,
                       static_cast<DWORD>(next));
    list.m_nSize = at + static_cast<int>(n);
    next += BlockLength(*e, columns);
  }
  return next > UINT32_MAX ? kNtsoErrMalformed : 0;
}

std::string WithSuffix(const CStr<char, wchar_t>& base, const char* suffix) {
  std::string s(base.m_nSize > 0 ? base.m_pData : "");
  s += suffix;
  return s;
}

// Copies length bytes from one file offset to another, in pieces of at most 32 KiB. The target
// may lie below the source in the same file (compaction): each piece is read before it is written.
int CopyBytes(CIOFile& from, FileHandle* fromDirect, uint64_t source, CIOFile& to, uint64_t target, uint64_t length) {
  CStream piece;
  while (length > 0) {
    size_t n = length < kPiece ? static_cast<size_t>(length) : kPiece;
    int r = ntsoio::ReadAt(from, fromDirect, source, n, piece);
    if (r != 0) return r;
    if (piece.m_nSize == 0) return static_cast<int>(IO_BYTE_COUNT_ZERO);
    r = ntsoio::SendAt(to, target, piece.m_pData, static_cast<size_t>(piece.m_nSize));
    if (r == 0) r = ntsoio::Flush(to);
    if (r != 0) return r;
    if (static_cast<size_t>(piece.m_nSize) != n) return static_cast<int>(IO_BYTE_COUNT_ZERO);
    source += n;
    target += n;
    length -= n;
  }
  return 0;
}

// A whole-file copy, for the safety copy taken before compaction moves records. The target must
// not exist yet (80 when it does): whatever lies under that name is left as it is. `made` tells
// whether the target was created, so that a failed copy can remove its own file and nothing else.
int CopyToNewFile(const std::string& from, const std::string& to, bool& made) {
  made = false;
  CIOFile in, out;
  int r = static_cast<int>(in.Open(from.c_str(), GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ | FILE_SHARE_WRITE, 0));
  if (r != 0) return r;
  r = static_cast<int>(out.Open(to.c_str(), GENERIC_READ | GENERIC_WRITE, CREATE_NEW, FILE_SHARE_READ, 0));
  made = r == 0;
  if (r == 0) {
    uint64_t size = ntsoio::SizeOf(in);
    if (size > 0) r = CopyBytes(in, nullptr, 0, out, 0, size);
  }
  out.Close();
  in.Close();
  return r;
}

}  // namespace

int CNTSODB::FlushExpand() {
  if (m_nMode != 3) return kNtsoErrMode;
  bool anyDeleted = false;
  for (int i = 0; i < m_Entries.m_nSize; ++i) anyDeleted |= m_Entries.m_pData[i]->IsDeleted();
  if (!anyDeleted) return 0;

  DWORD oldListSize = 0, dataSize = 0;
  int r = GetU32Field(oldListSize, kFieldNameListSize);
  if (r == 0) r = GetU32Field(dataSize, kFieldDataSize);
  if (r != 0) return r;
  // Records are moved in place, which is only right for blocks laid out one after another from
  // 512, as this system writes them; anything else is refused with the files untouched.
  if (!IsContiguous(kNtsoHeaderSize, dataSize) || kNtsoHeaderSize + static_cast<uint64_t>(dataSize) > ntsoio::SizeOf(m_DatFile))
    return kNtsoErrMalformed;

  // Keep a copy of both files until the compaction has finished, so a failure part way never leaves
  // moved records under the old list as the only copy. The copies have names of their own: the
  // _BACKUP files belong to the conversions and hold data the user asked to keep. A copy already
  // under one of these names is left from a compaction that failed and may be the only complete
  // one, so it stops this compaction before anything changes.
  std::string datCopy = WithSuffix(m_strBaseName, "_COMPACT.DAT");
  std::string ntsCopy = WithSuffix(m_strBaseName, "_COMPACT.NTS");
  bool datMade = false, ntsMade = false;
  r = ntsoio::Flush(m_DatFile);
  if (r == 0) r = ntsoio::Flush(m_NtsFile);
  if (r == 0) r = CopyToNewFile(WithSuffix(m_strBaseName, ".DAT"), datCopy, datMade);
  if (r == 0) r = CopyToNewFile(WithSuffix(m_strBaseName, ".NTS"), ntsCopy, ntsMade);
  if (r != 0) {
    // Nothing has moved yet, so the database itself is the complete copy.
    if (datMade) DeleteFileA(datCopy.c_str());
    if (ntsMade) DeleteFileA(ntsCopy.c_str());
    return r;
  }

  CStream list;
  uint64_t newOffset = kNtsoHeaderSize;
  int count = 0;
  for (int i = 0; i < m_Entries.m_nSize && r == 0; ++i) {
    CNTSO entry(*m_Entries.m_pData[i]);
    if (entry.IsDeleted()) continue;
    uint64_t length = BlockLength(entry, m_nColumns);
    if (entry.m_dwOffset != newOffset) r = CopyBytes(m_DatFile, nullptr, entry.m_dwOffset, m_DatFile, newOffset, length);
    entry.m_dwOffset = static_cast<DWORD>(newOffset);
    size_t n = NtsoEntryLength(entry.GetNameLength());
    int at = list.m_nSize;
    if (r == 0 && list.Reserve(at + static_cast<int>(n))) {
      NtsoSerializeEntry(list.m_pData + at, entry.GetName(), entry.GetNameLength(), entry.m_wType,
                         entry.m_wRecordSize, entry.m_dwOffset);
      list.m_nSize = at + static_cast<int>(n);
    } else if (r == 0) {
      r = kNtsoErrNoMemory;
    }
    newOffset += length;
    ++count;
  }
  uint64_t dataEnd = kNtsoHeaderSize + static_cast<uint64_t>(dataSize);
  if (r == 0 && dataEnd > newOffset) r = ntsoio::SendZeros(m_DatFile, newOffset, dataEnd - newOffset);
  int newListSize = list.m_nSize;
  if (r == 0 && static_cast<uint64_t>(newListSize) < oldListSize) {
    int at = list.m_nSize;
    int pad = static_cast<int>(oldListSize) - newListSize;
    if (list.Reserve(at + pad)) {
      std::memset(list.m_pData + at, 0, static_cast<size_t>(pad));
      list.m_nSize = at + pad;
    } else {
      r = kNtsoErrNoMemory;
    }
  }
  if (r == 0 && list.m_nSize > 0) r = ntsoio::SendAt(m_NtsFile, kNtsoHeaderSize, list.m_pData, list.m_nSize);
  if (r == 0) r = SetIntField(count, kFieldNames);
  if (r == 0) r = SetU32Field(static_cast<DWORD>(newListSize), kFieldNameListSize);
  if (r == 0) r = SetU32Field(static_cast<DWORD>(newOffset - kNtsoHeaderSize), kFieldDataSize);
  int w = ntsoio::Flush(m_NtsFile);
  if (r == 0) r = w;
  w = ntsoio::Flush(m_DatFile);
  if (r == 0) r = w;
  // After a failure the copies stay: they hold the database as it was before any record moved.
  if (r == 0) {
    DeleteFileA(datCopy.c_str());
    DeleteFileA(ntsCopy.c_str());
  }
  return r;
}

int CNTSODB::Convert(int targetMode) {
  switch (m_nMode) {
    case 0:
    case 1:
      if (targetMode == 0 && m_nMode == 1) return SetReadOnly(0, true);
      if (targetMode == 1 && m_nMode == 0) return SetReadWrite(1, true);
      if (targetMode == 2 || targetMode == 3) return ConvertToExpand(targetMode, true);
      break;
    case 2:
    case 3:
      if (targetMode == 0 || targetMode == 1) return ConvertToFixed(targetMode, true);
      if (targetMode == 2 && m_nMode == 3) return SetReadOnly(2, true);
      if (targetMode == 3 && m_nMode == 2) return SetReadWrite(3, true);
      break;
    default:
      return kNtsoErrMode;
  }
  Close();
  return 0;
}

int CNTSODB::ConvertAndReopen(int targetMode) {
  switch (m_nMode) {
    case 0:
    case 1:
      if (targetMode == 0 && m_nMode == 1) return SetReadOnly(0, false);
      if (targetMode == 1 && m_nMode == 0) return SetReadWrite(1, false);
      if (targetMode == 2 || targetMode == 3) return ConvertToExpand(targetMode, false);
      return 0;
    case 2:
    case 3:
      if (targetMode == 0 || targetMode == 1) return ConvertToFixed(targetMode, false);
      if (targetMode == 2 && m_nMode == 3) return SetReadOnly(2, false);
      if (targetMode == 3 && m_nMode == 2) return SetReadWrite(3, false);
      return 0;
    default:
      return kNtsoErrMode;
  }
}

// The header of a converted database: title, Version and the four times carried over as value
// text, the counts of the new layout. Positions of the new header are returned.
int CNTSODB::ConvertCopyHeader(char* header, int positions[14], bool expand) {
  CStream title;
  int r = ReadTitle(title);
  if (r == static_cast<int>(IO_BYTE_COUNT_ZERO)) r = 0;  // an empty title
  if (r != 0) return r;
  char text[kNtsoHeaderSize + 1];
  std::memcpy(text, title.m_pData ? reinterpret_cast<const char*>(title.m_pData) : "", static_cast<size_t>(title.m_nSize));
  text[title.m_nSize] = 0;
  r = NtsoBuildHeader(header, text, positions, m_nLayout);
  if (r != 0) return r;
  const int copied[] = {kFieldVersion, kFieldCreationTime, kFieldWriteTime, kFieldDataStart, kFieldDataEnd};
  for (int index : copied) {
    CStream value;
    r = ReadHeaderField(value, index);
    if (r != 0) return r;
    std::memcpy(header + positions[index], value.m_pData, static_cast<size_t>(value.m_nSize));
  }
  char v[32];
  if ((r = NtsoFormatMode(v, m_nLayout, expand)) != 0) return r;
  std::memcpy(header + positions[kFieldDbMode], v, 7);
  const int64_t numbers[][2] = {{kFieldNames, m_Entries.m_nSize}, {kFieldColumns, m_nColumns}, {kFieldHeaderSize, 512}};
  for (const auto& n : numbers) {
    if ((r = NtsoFormatInt(v, m_nLayout, static_cast<int>(n[0]), n[1])) != 0) return r;
    std::memcpy(header + positions[n[0]], v, std::strlen(v));
  }
  return 0;
}

int CNTSODB::ConvertToExpand(int targetMode, bool stayClosed) {
  if (m_nMode != 0 && m_nMode != 1) return kNtsoErrMode;
  DWORD dataSize = 0;
  int r = m_nLayout == 0 ? kNtsoErrFieldOrder : GetU32Field(dataSize, kFieldDataSize);
  uint64_t oldListSize = 0;
  for (int i = 0; i < m_Entries.m_nSize; ++i) oldListSize += NtsoEntryLength(m_Entries.m_pData[i]->GetNameLength());
  // The record area is copied as one run, which keeps every record only for contiguous blocks.
  if (r == 0 && !IsContiguous(kNtsoHeaderSize + oldListSize, dataSize)) r = kNtsoErrMalformed;
  if (r != 0) return r;

  std::string tempNts = WithSuffix(m_strBaseName, "_TEMP.NTS");
  std::string tempDat = WithSuffix(m_strBaseName, "_TEMP.DAT");
  DWORD attributes = targetMode == 2 ? FILE_ATTRIBUTE_READONLY : 0;
  CIOFile nts, dat;
  r = static_cast<int>(nts.Open(tempNts.c_str(), GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, FILE_SHARE_READ, attributes));
  if (r == 0)
    r = static_cast<int>(dat.Open(tempDat.c_str(), GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, FILE_SHARE_READ, attributes));

  CStream list;
  uint64_t next = kNtsoHeaderSize;
  if (r == 0) r = SerializeNameList(m_Entries, m_nColumns, list, next);
  uint64_t listSize = static_cast<uint64_t>(list.m_nSize);
  if (r == 0) {
    int at = list.m_nSize;
    int fill = static_cast<int>(NtsoFillLength(listSize));
    if (list.Reserve(at + fill)) {
      std::memset(list.m_pData + at, 0, static_cast<size_t>(fill));
      list.m_nSize = at + fill;
      r = ntsoio::SendAt(nts, kNtsoHeaderSize, list.m_pData, list.m_nSize);
    } else {
      r = kNtsoErrNoMemory;
    }
  }
  if (r == 0) r = ntsoio::SendZeros(dat, next, NtsoFillLength(next));

  char header[513];
  int positions[14];
  if (r == 0) r = ConvertCopyHeader(header, positions, true);
  char v[32];
  auto put = [&](int index, uint64_t value) {
    int res = NtsoFormatInt(v, m_nLayout, index, static_cast<int64_t>(value));
    if (res == 0) std::memcpy(header + positions[index], v, std::strlen(v));
    return res;
  };
  if (r == 0) r = put(kFieldNameListSize, listSize);
  if (r == 0) r = put(kFieldDataSize, next - kNtsoHeaderSize);
  if (r == 0) r = ntsoio::Flush(dat);
  if (r == 0) r = put(kFieldFileSize, ntsoio::SizeOf(dat));
  if (r == 0) r = ntsoio::SendAt(dat, 0, header, kNtsoHeaderSize);
  if (r == 0) r = ntsoio::Flush(nts);
  if (r == 0) r = put(kFieldFileSize, ntsoio::SizeOf(nts));
  if (r == 0) r = ntsoio::SendAt(nts, 0, header, kNtsoHeaderSize);
  if (r == 0 && next > kNtsoHeaderSize)
    r = CopyBytes(m_DatFile, DatDirect(), kNtsoHeaderSize + oldListSize, dat, kNtsoHeaderSize, next - kNtsoHeaderSize);
  int w = ntsoio::Flush(dat);
  if (r == 0) r = w;
  w = ntsoio::Flush(nts);
  if (r == 0) r = w;
  dat.Close();
  nts.Close();
  if (r != 0) {
    // Leave no temporary file behind: a stale read-only one would block the next conversion.
    DeleteFileA(tempDat.c_str());
    DeleteFileA(tempNts.c_str());
    return r;
  }
  std::string base = WithSuffix(m_strBaseName, "");
  r = Close();
  if (r != 0) return r;
  if (!MoveFileExA((base + ".DAT").c_str(), (base + "_BACKUP.DAT").c_str(), MOVEFILE_REPLACE_EXISTING) ||
      !MoveFileExA(tempDat.c_str(), (base + ".DAT").c_str(), MOVEFILE_REPLACE_EXISTING) ||
      !MoveFileExA(tempNts.c_str(), (base + ".NTS").c_str(), MOVEFILE_REPLACE_EXISTING))
    return static_cast<int>(GetLastError());
  if (stayClosed) return 0;
  return Open(base.c_str(), targetMode);
}

int CNTSODB::ConvertToFixed(int targetMode, bool stayClosed) {
  if (m_nMode != 2 && m_nMode != 3) return kNtsoErrMode;
  DWORD dataSize = 0;
  int r = GetU32Field(dataSize, kFieldDataSize);
  if (r == 0 && !IsContiguous(kNtsoHeaderSize, dataSize)) r = kNtsoErrMalformed;
  if (r != 0) return r;

  std::string tempDat = WithSuffix(m_strBaseName, "_TEMP.DAT");
  DWORD attributes = targetMode == 0 ? FILE_ATTRIBUTE_READONLY : 0;
  CIOFile dat;
  r = static_cast<int>(dat.Open(tempDat.c_str(), GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, FILE_SHARE_READ, attributes));
  uint64_t listSize = 0;
  for (int i = 0; i < m_Entries.m_nSize; ++i) listSize += NtsoEntryLength(m_Entries.m_pData[i]->GetNameLength());
  CStream list;
  uint64_t next = kNtsoHeaderSize + listSize;
  if (r == 0) r = SerializeNameList(m_Entries, m_nColumns, list, next);
  if (r == 0 && list.m_nSize > 0) r = ntsoio::SendAt(dat, kNtsoHeaderSize, list.m_pData, list.m_nSize);
  if (r == 0) r = ntsoio::SendZeros(dat, next, NtsoFillLength(next));
  char header[513];
  int positions[14];
  if (r == 0) r = ConvertCopyHeader(header, positions, false);
  char v[32];
  auto put = [&](int index, uint64_t value) {
    int res = NtsoFormatInt(v, m_nLayout, index, static_cast<int64_t>(value));
    if (res == 0) std::memcpy(header + positions[index], v, std::strlen(v));
    return res;
  };
  if (r == 0) r = put(kFieldNameListSize, listSize);
  if (r == 0) r = put(kFieldDataSize, next - kNtsoHeaderSize - listSize);
  if (r == 0) r = ntsoio::Flush(dat);
  if (r == 0) r = put(kFieldFileSize, ntsoio::SizeOf(dat));
  if (r == 0) r = ntsoio::SendAt(dat, 0, header, kNtsoHeaderSize);
  if (r == 0 && next > kNtsoHeaderSize + listSize)
    r = CopyBytes(m_DatFile, DatDirect(), kNtsoHeaderSize, dat, kNtsoHeaderSize + listSize, next - kNtsoHeaderSize - listSize);
  int w = ntsoio::Flush(dat);
  if (r == 0) r = w;
  dat.Close();
  if (r != 0) {
    DeleteFileA(tempDat.c_str());
    return r;
  }
  std::string base = WithSuffix(m_strBaseName, "");
  Close();
  if (!MoveFileExA((base + ".NTS").c_str(), (base + "_BACKUP.NTS").c_str(), MOVEFILE_REPLACE_EXISTING) ||
      !MoveFileExA((base + ".DAT").c_str(), (base + "_BACKUP.DAT").c_str(), MOVEFILE_REPLACE_EXISTING) ||
      !MoveFileExA(tempDat.c_str(), (base + ".DAT").c_str(), MOVEFILE_REPLACE_EXISTING))
    return static_cast<int>(GetLastError());
  if (stayClosed) return 0;
  return Open(base.c_str(), targetMode);
}

namespace {

int ChangeReadOnly(const std::string& path, bool readOnly) {
  DWORD a = GetFileAttributesA(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return static_cast<int>(GetLastError());
  a = readOnly ? (a | FILE_ATTRIBUTE_READONLY) : (a & ~FILE_ATTRIBUTE_READONLY);
  if (!SetFileAttributesA(path.c_str(), a)) return static_cast<int>(GetLastError());
  return 0;
}

}  // namespace

int CNTSODB::SetReadOnly(int targetMode, bool stayClosed) {
  std::string base = WithSuffix(m_strBaseName, "");
  Close();
  int r = 0;
  if (targetMode == 2) r = ChangeReadOnly(base + ".NTS", true);
  if (r == 0) r = ChangeReadOnly(base + ".DAT", true);
  if (r != 0 || stayClosed) return r;
  return Open(base.c_str(), targetMode);
}

int CNTSODB::SetReadWrite(int targetMode, bool stayClosed) {
  std::string base = WithSuffix(m_strBaseName, "");
  Close();
  int r = 0;
  if (targetMode == 3) r = ChangeReadOnly(base + ".NTS", false);
  if (r == 0) r = ChangeReadOnly(base + ".DAT", false);
  if (r != 0 || stayClosed) return r;
  return Open(base.c_str(), targetMode);
}

int CNTSODB::MoveDatabaseFiles(const char* oldName, const char* newName) {
  std::string from(oldName ? oldName : "", NtsoBaseNameLength(oldName ? oldName : ""));
  std::string to(newName ? newName : "", NtsoBaseNameLength(newName ? newName : ""));
  if (!MoveFileExA((from + ".DAT").c_str(), (to + ".DAT").c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
    return static_cast<int>(GetLastError());
  if (!MoveFileExA((from + ".NTS").c_str(), (to + ".NTS").c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
    DWORD e = GetLastError();
    if (e != ERROR_FILE_NOT_FOUND) return static_cast<int>(e);
  }
  return 0;
}
