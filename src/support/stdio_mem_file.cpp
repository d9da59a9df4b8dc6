#include "support/stdio_mem_file.h"

#include <cstdlib>
#include <cstring>

CStdioMemFile::CStdioMemFile(UINT growBytes) : CMemFile(growBytes) {}

CStdioMemFile::CStdioMemFile(BYTE* buffer, UINT bufferSize, UINT growBytes) : CMemFile(buffer, bufferSize, growBytes) {}

CStdioMemFile::~CStdioMemFile() = default;

char* CStdioMemFile::ReadString(char* buffer, int max) {
  if (buffer == nullptr || max == 0 || max == INT32_MIN) return nullptr;
  if (m_lpBuffer == nullptr || m_nPosition >= m_nFileSize) return nullptr;
  size_t n = static_cast<size_t>(std::abs(max));
  bool lowered = false;
  const size_t remaining = m_nFileSize - m_nPosition;
  if (remaining < n) {
    n = remaining;
    lowered = true;
  }
  size_t stored = 0;
  bool lineEnded = false;
  while (stored < n && m_nPosition < m_nFileSize) {
    const char c = static_cast<char>(m_lpBuffer[m_nPosition++]);
    if (c == '\n') {
      lineEnded = true;
      break;
    }
    if (c == '\r') {
      // CR LF is one line end; a lone CR (or one as the last byte) is a line end by itself.
      if (m_nPosition < m_nFileSize && m_lpBuffer[m_nPosition] == '\n') ++m_nPosition;
      lineEnded = true;
      break;
    }
    buffer[stored++] = c;
  }
  if (lineEnded && (max < 0 || lowered)) buffer[stored++] = '\n';
  buffer[stored] = 0;
  return buffer;
}

BOOL CStdioMemFile::ReadString(CStrA& line) {
  constexpr int kPiece = 128;
  char piece[kPiece + 1];
  line.Empty();
  bool any = false;
  while (ReadString(piece, -kPiece) != nullptr) {
    any = true;
    const size_t len = std::strlen(piece);
    line.Append(piece, static_cast<int>(len));
    if (len < static_cast<size_t>(kPiece) || piece[len - 1] == '\n') break;
  }
  if (line.m_nSize > 1 && line.m_pData[line.m_nSize - 2] == '\n') line.Truncate(line.m_nSize - 2);
  // A last line whose length is a multiple of the piece size still counts as read.
  return any ? TRUE : FALSE;
}

void CStdioMemFile::WriteString(const char* text) {
  if (text == nullptr) return;
  Write(text, static_cast<UINT>(std::strlen(text)));
}

void CStdioMemFile::SetFilePath(const char* path) {
  if (path == nullptr) return;
  m_strFileName = path;
}
