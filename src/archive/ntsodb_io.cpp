#include "archive/ntsodb_io.h"

#include <cstring>

namespace ntsoio {

namespace {
constexpr size_t kPiece = 32768;
}

int SendAt(CIOFile& file, uint64_t offset, const void* data, size_t length) {
  if (length > static_cast<size_t>(INT32_MAX)) return 8;
  CStream s(static_cast<const unsigned char*>(data), static_cast<int>(length));
  if (static_cast<size_t>(s.m_nSize) != length) return 8;
  s.m_nSeekMode = 0;
  s.m_nPosition = static_cast<int64_t>(offset);
  return static_cast<int>(file.Send(s));
}

int SendZeros(CIOFile& file, uint64_t offset, uint64_t length) {
  static const unsigned char zeros[kPiece] = {};
  while (length > 0) {
    size_t n = length < kPiece ? static_cast<size_t>(length) : kPiece;
    int r = SendAt(file, offset, zeros, n);
    if (r != 0) return r;
    offset += n;
    length -= n;
  }
  return 0;
}

int ReadAt(CIOFile& file, FileHandle* direct, uint64_t offset, size_t length, CStream& out) {
  out.m_nSeekMode = 0;
  out.m_nPosition = static_cast<int64_t>(offset);
  if (length > static_cast<size_t>(INT32_MAX)) return 8;
  if (!direct || !direct->IsOpen()) return static_cast<int>(file.Read(out, static_cast<DWORD>(length)));
  // Nothing is ever queued for a file opened only for reading, so the positioned read runs on the
  // calling thread, with the queued read's results (1160, 1782, 38, short counts).
  if (length == 0) {
    uint64_t size = 0;
    if (direct->GetSize(size) == 0 && size == 0) return 1160;
    return 1782;
  }
  out.RemoveAll();
  if (!out.Reserve(static_cast<int>(length))) return 8;
  size_t got = 0;
  DWORD r = direct->ReadAt(offset, out.m_pData, length, got);
  out.m_nSize = static_cast<int>(got);
  if (r == 38) {
    uint64_t size = 0;
    if (direct->GetSize(size) == 0 && size == 0) return 1160;
  }
  return static_cast<int>(r);
}

int ReadHeaderBlock(CIOFile& file, FileHandle* direct, CStream& block) {
  int r = ReadAt(file, direct, 0, 512, block);
  if (r != 0) return r;
  return block.m_nSize == 512 ? 0 : 87;
}

int Flush(CIOFile& file) {
  if (!file.IsOpen()) return 0;
  return static_cast<int>(file.WaitUntilSent(0xFFFFFFFF));
}

uint64_t SizeOf(CIOFile& file) {
  if (file.IsOpen()) {
    // Waiting here must not swallow a write error meant for the next Flush: errors stay queued
    // when only the size is wanted, so wait without taking them.
    DWORD e = file.WaitUntilSent(0xFFFFFFFF);
    if (e != 0) file.PushSendError(e);
  }
  return file.m_nFileSize.load();
}

uint64_t SizeOf(CIOFile& file, FileHandle* direct) {
  if (!direct || !direct->IsOpen()) return SizeOf(file);
  uint64_t size = 0;
  return direct->GetSize(size) == 0 ? size : 0;
}

}  // namespace ntsoio
