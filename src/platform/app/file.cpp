#include "platform/app/file.h"

#include "platform/base/errors.h"
#include "platform/kernel/paths.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

// ----- CFileException -----

CFileException::CFileException(int cause, LONG osError, const char* fileName)
    : m_cause(cause), m_lOsError(osError), m_strFileName(fileName != nullptr ? fileName : "") {}

int CFileException::OsErrorToException(LONG osError) {
  switch (osError) {
    case 0: return none;
    case 2: return fileNotFound;
    case 3:
    case 15:
    case 123:
    case 161:
    case 206: return badPath;
    case 4: return tooManyOpenFiles;
    case 5:
    case 19:
    case 80:
    case 183: return accessDenied;
    case 6:
    case 87:
    case 267: return invalidFile;
    case 16: return removeCurrentDir;
    case 18: return directoryFull;
    case 25:
    case 131: return badSeek;
    case 21:
    case 23:
    case 30:
    case 31:
    case 1117: return hardIO;
    case 32: return sharingViolation;
    case 33: return lockViolation;
    case 38: return endOfFile;
    case 39:
    case 112: return diskFull;
    default: return genericException;
  }
}

// ----- CFile -----

CFile::~CFile() { CFile::Close(); }

BOOL CFile::Fail(DWORD error) {
  m_error = error;
  SetLastError(error);
  return FALSE;
}

BOOL CFile::Open(const char* fileName, UINT openFlags, CFileException* error) {
  Close();
  m_error = 0;
  m_position = 0;
  DWORD access = GENERIC_READ;
  switch (openFlags & 3) {
    case modeWrite: access = GENERIC_WRITE; break;
    case modeReadWrite: access = GENERIC_READ | GENERIC_WRITE; break;
    default: break;
  }
  DWORD share = 0;
  switch (openFlags & 0x70) {
    case shareDenyNone: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    case shareDenyRead: share = FILE_SHARE_WRITE; break;
    case shareDenyWrite: share = FILE_SHARE_READ; break;
    default: share = 0; break;
  }
  DWORD disposition = OPEN_EXISTING;
  if (openFlags & modeCreate) disposition = (openFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
  if (openFlags & modeCreateExclusive) disposition = CREATE_NEW;
  const DWORD e = (openFlags & modeCreateAside) && (access & GENERIC_WRITE) ? m_file.OpenAside(fileName, share)
                                                                            : m_file.Open(fileName, access, share, disposition, 0);
  if (e != 0) {
    if (error != nullptr) {
      error->m_lOsError = static_cast<LONG>(e);
      error->m_cause = CFileException::OsErrorToException(error->m_lOsError);
      const std::string native = fileName != nullptr ? ToNativePath(fileName) : std::string();
      struct stat st {};
      error->m_strFileName = !native.empty() && ::stat(native.c_str(), &st) == 0 ? native
                             : fileName != nullptr                             ? fileName
                                                                               : "";
    }
    return Fail(e);
  }
  m_strFileName = fileName;
  return TRUE;
}

UINT CFile::Read(void* buffer, UINT count) {
  if (!m_file.IsOpen()) {
    Fail(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (count == 0) return 0;
  size_t got = 0;
  const DWORD e = m_file.ReadAt(m_position, buffer, count, got);
  if (e == ERROR_HANDLE_EOF) {
    m_error = 0;
    return 0;
  }
  if (e != 0) {
    Fail(e);
    return 0;
  }
  m_error = 0;
  m_position += got;
  return static_cast<UINT>(got);
}

BOOL CFile::Write(const void* buffer, UINT count) {
  if (!m_file.IsOpen()) return Fail(ERROR_INVALID_HANDLE);
  if (count == 0) return TRUE;
  if (const DWORD e = m_file.WriteAt(m_position, buffer, count)) return Fail(e);
  m_error = 0;
  m_position += count;
  return TRUE;
}

BOOL CFile::SeekTarget(LONGLONG offset, UINT from, ULONGLONG current, ULONGLONG length, ULONGLONG& target) {
  ULONGLONG base = 0;
  switch (from) {
    case begin: break;
    case CFile::current: base = current; break;
    case end: base = length; break;
    default: return Fail(ERROR_INVALID_PARAMETER);
  }
  constexpr auto kLargest = static_cast<ULONGLONG>(INT64_MAX);
  if (offset < 0 && static_cast<ULONGLONG>(-(offset + 1)) + 1 > base) return Fail(ERROR_NEGATIVE_SEEK);
  if (offset > 0 && (base > kLargest || static_cast<ULONGLONG>(offset) > kLargest - base)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  target = base + static_cast<ULONGLONG>(offset);  // unsigned: a negative offset counts back
  m_error = 0;
  return TRUE;
}

ULONGLONG CFile::Seek(LONGLONG offset, UINT from) {
  if (!IsOpen()) {
    Fail(ERROR_INVALID_HANDLE);
    return m_position;
  }
  ULONGLONG target = 0;
  if (SeekTarget(offset, from, m_position, from == end ? GetLength() : 0, target)) m_position = target;
  return m_position;
}

ULONGLONG CFile::GetPosition() const { return m_position; }

ULONGLONG CFile::GetLength() const {
  uint64_t size = 0;
  m_file.GetSize(size);
  return size;
}

BOOL CFile::SetLength(ULONGLONG length) {
  if (!m_file.IsOpen()) return Fail(ERROR_INVALID_HANDLE);
  if (const DWORD e = m_file.SetSize(length)) return Fail(e);
  if (m_position > length) m_position = length;
  return TRUE;
}

BOOL CFile::Flush() {
  if (!m_file.IsOpen()) return Fail(ERROR_INVALID_HANDLE);
  if (const DWORD e = m_file.Flush()) return Fail(e);
  return TRUE;
}

BOOL CFile::Close() {
  const DWORD e = m_file.Close();
  m_position = 0;
  return e ? Fail(e) : TRUE;
}

BOOL CFile::Commit() {
  if (!Close()) return FALSE;
  const DWORD e = m_file.Commit();
  return e ? Fail(e) : TRUE;
}

EDiscarded CFile::Discard() {
  m_position = 0;
  return m_file.Discard();
}

std::string CFile::GetFileName() const {
  const auto sep = m_strFileName.find_last_of("\\/");
  return sep == std::string::npos ? m_strFileName : m_strFileName.substr(sep + 1);
}

std::string CFile::GetFileTitle() const {
  std::string name = GetFileName();
  const auto dot = name.find_last_of('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

void CFile::SetFilePath(const char* path) {
  if (path != nullptr) m_strFileName = path;
}

// ----- CStdioFile -----

namespace {
constexpr size_t kReadChunk = 65536;
}

BOOL CStdioFile::Open(const char* fileName, UINT openFlags, CFileException* error) {
  DropReadBuffer();
  m_text = !(openFlags & typeBinary);
  return CFile::Open(fileName, openFlags & ~static_cast<UINT>(typeText | typeBinary), error);
}

void CStdioFile::DropReadBuffer() {
  m_in.clear();
  m_inPos = 0;
}

int CStdioFile::PeekByte() {
  if (m_inPos >= m_in.size()) {
    if (!m_file.IsOpen()) return -1;
    m_in.resize(kReadChunk);
    size_t got = 0;
    const DWORD e = m_file.ReadAt(m_position, m_in.data(), kReadChunk, got);
    m_in.resize(got);
    m_inPos = 0;
    if (e != 0 && e != ERROR_HANDLE_EOF) Fail(e);
    if (got == 0) return -1;
  }
  return static_cast<unsigned char>(m_in[m_inPos]);
}

int CStdioFile::NextByte() {
  const int c = PeekByte();
  if (c >= 0) {
    ++m_inPos;
    ++m_position;
  }
  return c;
}

UINT CStdioFile::Read(void* buffer, UINT count) {
  auto* out = static_cast<char*>(buffer);
  UINT n = 0;
  while (n < count) {
    if (PeekByte() < 0) break;
    const size_t take = std::min<size_t>(count - n, m_in.size() - m_inPos);
    std::memcpy(out + n, m_in.data() + m_inPos, take);
    m_inPos += take;
    m_position += take;
    n += static_cast<UINT>(take);
  }
  return n;
}

BOOL CStdioFile::Write(const void* buffer, UINT count) {
  DropReadBuffer();
  return CFile::Write(buffer, count);
}

BOOL CStdioFile::WriteString(const char* text) {
  if (text == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  const size_t len = std::strlen(text);
  if (!m_text) return Write(text, static_cast<UINT>(len));
  std::string out;
  out.reserve(len + len / 16 + 2);
  for (size_t i = 0; i < len; ++i) {
    if (text[i] == '\n') out += '\r';
    out += text[i];
  }
  return Write(out.data(), static_cast<UINT>(out.size()));
}

char* CStdioFile::ReadString(char* buffer, UINT max) {
  if (buffer == nullptr || max == 0) return nullptr;
  UINT n = 0;
  while (n + 1 < max) {
    int c = NextByte();
    if (c < 0) break;
    if (m_text && c == '\r' && PeekByte() == '\n') c = NextByte();
    buffer[n++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  buffer[n] = '\0';
  return n == 0 && max > 1 ? nullptr : buffer;
}

BOOL CStdioFile::ReadString(std::string& line) {
  line.clear();
  bool any = false;
  for (;;) {
    const int c = NextByte();
    if (c < 0) break;
    any = true;
    if (c == '\n') {
      if (m_text && !line.empty() && line.back() == '\r') line.pop_back();
      return TRUE;
    }
    line += static_cast<char>(c);
  }
  return any ? TRUE : FALSE;
}

ULONGLONG CStdioFile::Seek(LONGLONG offset, UINT from) {
  const ULONGLONG r = CFile::Seek(offset, from);
  DropReadBuffer();
  return r;
}

BOOL CStdioFile::SetLength(ULONGLONG length) {
  DropReadBuffer();
  return CFile::SetLength(length);
}

BOOL CStdioFile::Close() {
  DropReadBuffer();
  return CFile::Close();
}

// ----- CMemFile -----

CMemFile::CMemFile(UINT growBytes) : m_nGrowBytes(growBytes) {}

CMemFile::CMemFile(BYTE* buffer, UINT bufferSize, UINT growBytes) : m_nGrowBytes(growBytes) {
  Attach(buffer, bufferSize, growBytes);
}

CMemFile::~CMemFile() { Free(); }

void CMemFile::Free() {
  if (m_bAutoDelete && m_lpBuffer != nullptr) std::free(m_lpBuffer);
  m_lpBuffer = nullptr;
  m_nBufferSize = 0;
  m_nFileSize = 0;
  m_nPosition = 0;
  m_bAutoDelete = TRUE;
}

void CMemFile::Attach(BYTE* buffer, UINT bufferSize, UINT growBytes) {
  Free();
  m_lpBuffer = buffer;
  m_nBufferSize = buffer != nullptr ? bufferSize : 0;
  m_nGrowBytes = growBytes;
  m_nFileSize = growBytes == 0 ? m_nBufferSize : 0;
  m_nPosition = 0;
  m_bAutoDelete = FALSE;
}

BYTE* CMemFile::Detach() {
  BYTE* block = m_lpBuffer;
  m_lpBuffer = nullptr;
  m_bAutoDelete = TRUE;
  Free();
  return block;
}

BOOL CMemFile::GrowFile(size_t newSize) {
  if (newSize <= m_nBufferSize) return TRUE;
  if (m_nGrowBytes == 0) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  // The buffer grows by whole grow steps, as many as it takes to hold newSize.
  const size_t missing = newSize - m_nBufferSize;
  const size_t steps = missing / m_nGrowBytes + (missing % m_nGrowBytes != 0 ? 1 : 0);
  if (steps > (SIZE_MAX - m_nBufferSize) / m_nGrowBytes) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  const size_t size = m_nBufferSize + steps * m_nGrowBytes;
  BYTE* block = nullptr;
  if (m_bAutoDelete) {
    block = static_cast<BYTE*>(std::realloc(m_lpBuffer, size));
  } else {
    // The caller's block is never reallocated or freed: move to a block of our own.
    block = static_cast<BYTE*>(std::malloc(size));
    if (block != nullptr && m_nFileSize > 0) std::memcpy(block, m_lpBuffer, m_nFileSize);
  }
  if (block == nullptr) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  m_lpBuffer = block;
  m_nBufferSize = size;
  m_bAutoDelete = TRUE;
  return TRUE;
}

UINT CMemFile::Read(void* buffer, UINT count) {
  if (m_nPosition >= m_nFileSize || count == 0) return 0;
  const size_t n = std::min<size_t>(count, m_nFileSize - m_nPosition);
  std::memcpy(buffer, m_lpBuffer + m_nPosition, n);
  m_nPosition += n;
  return static_cast<UINT>(n);
}

BOOL CMemFile::Write(const void* buffer, UINT count) {
  if (count == 0) return TRUE;
  const size_t end = m_nPosition + count;
  if (!GrowFile(end)) return FALSE;
  if (m_nPosition > m_nFileSize) std::memset(m_lpBuffer + m_nFileSize, 0, m_nPosition - m_nFileSize);
  std::memcpy(m_lpBuffer + m_nPosition, buffer, count);
  m_nPosition = end;
  if (end > m_nFileSize) m_nFileSize = end;
  m_error = 0;
  return TRUE;
}

ULONGLONG CMemFile::Seek(LONGLONG offset, UINT from) {
  ULONGLONG target = 0;
  if (SeekTarget(offset, from, m_nPosition, m_nFileSize, target)) m_nPosition = static_cast<size_t>(target);
  return m_nPosition;
}

BOOL CMemFile::SetLength(ULONGLONG length) {
  if (length > m_nBufferSize && !GrowFile(static_cast<size_t>(length))) return FALSE;
  if (length > m_nFileSize) std::memset(m_lpBuffer + m_nFileSize, 0, static_cast<size_t>(length) - m_nFileSize);
  m_nFileSize = static_cast<size_t>(length);
  if (m_nPosition > m_nFileSize) m_nPosition = m_nFileSize;
  return TRUE;
}

BOOL CMemFile::Close() {
  Free();
  return TRUE;
}

void CMemFile::SetFilePath(const char* path) {
  if (path != nullptr) m_strFileName = path;
}
