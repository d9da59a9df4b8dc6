#include "support/output.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "containers/mem_mgr.h"
#include "platform/base/text.h"
#include "platform/kernel/paths.h"
#include "platform/kernel/time.h"

// Items -----------------------------------------------------------------------------------------

COutputItem::COutputItem(const COutputItem& src) { TakeFrom(src); }

COutputItem& COutputItem::operator=(const COutputItem& src) {
  if (this != &src) {
    FreeBuffers();
    TakeFrom(src);
  }
  return *this;
}

COutputItem::~COutputItem() { FreeBuffers(); }

void COutputItem::FreeBuffers() {
  g_MemMgr.Free(m_pData);
  g_MemMgr.Free(m_pPrefix);
  m_pData = nullptr;
  m_pPrefix = nullptr;
}

void COutputItem::TakeFrom(const COutputItem& src) {
  m_nKind = src.m_nKind;
  m_Time = src.m_Time;
  m_nValue1 = src.m_nValue1;
  m_nValue2 = src.m_nValue2;
  m_pData = src.m_pData;
  m_pPrefix = src.m_pPrefix;
  src.m_nKind = OUTPUT_EMPTIED;
  src.m_Time = SYSTEMTIME{};
  src.m_nValue1 = 0;
  src.m_nValue2 = 0;
  src.m_pData = nullptr;
  src.m_pPrefix = nullptr;
}

int COutputItem::Compare(const COutputItem& other) const {
  const int32_t a = static_cast<int32_t>(m_nKind), b = static_cast<int32_t>(other.m_nKind);
  return a < b ? -1 : (a > b ? 1 : 0);
}

// Queuing ---------------------------------------------------------------------------------------

namespace {

char* CopyBytes(const void* p, size_t n) {
  char* copy = static_cast<char*>(g_MemMgr.Alloc(n));
  if (copy != nullptr && n > 0) std::memcpy(copy, p, n);
  return copy;
}

char* CopyText(const char* text, uint64_t& lengthWithNul) {
  if (text == nullptr) {
    lengthWithNul = 0;
    return nullptr;
  }
  lengthWithNul = std::strlen(text) + 1;
  return CopyBytes(text, lengthWithNul);
}

}  // namespace

COutput::~COutput() { m_LogFile.Close(); }

int COutput::Queue(COutputItem& item, const char* text, bool textIsPrefix) {
  GetLocalTime(&item.m_Time);
  // The queue's copy takes the item's values and buffers (copying moves), also when the queue
  // then finds no room: what a kept item needs is taken first.
  SKeptItem kept;
  kept.kind = item.m_nKind;
  kept.time = item.m_Time;
  kept.value1 = item.m_nValue1;
  kept.value2 = item.m_nValue2;
  kept.withText = text != nullptr;
  kept.textIsPrefix = textIsPrefix;
  // A text that could not be copied would leave the line without it: the item is kept instead.
  const bool copied = text == nullptr || (textIsPrefix ? item.m_pPrefix : item.m_pData) != nullptr;
  const int index = copied ? m_Queue.SafeAdd(item) : -1;
  if (index < 0) Keep(kept, text);
  return index;
}

void COutput::Keep(const SKeptItem& item, const char* text) noexcept {
  std::lock_guard<std::mutex> lock(m_keptLock);
  SKeptItem& k = m_kept[m_nKept < kKeptItems ? m_nKept++ : kKeptItems - 1];
  k = item;
  std::snprintf(k.text, sizeof k.text, "%s", text != nullptr ? text : "");
}

bool COutput::WriteKept() {
  for (;;) {
    SKeptItem k;
    {
      std::lock_guard<std::mutex> lock(m_keptLock);
      if (m_nKept == 0) return true;
      k = m_kept[0];
    }
    COutputItem item;
    item.m_nKind = k.kind;
    item.m_Time = k.time;
    item.m_nValue1 = k.value1;
    item.m_nValue2 = k.value2;
    if (k.withText) {
      uint64_t length = 0;
      char* copy = CopyText(k.text, length);
      if (copy == nullptr) return false;
      (k.textIsPrefix ? item.m_pPrefix : item.m_pData) = copy;
      (k.textIsPrefix ? item.m_nValue2 : item.m_nValue1) = length;
    }
    {
      std::lock_guard<std::mutex> lock(m_keptLock);
      std::memmove(m_kept, m_kept + 1, sizeof(SKeptItem) * static_cast<size_t>(m_nKept - 1));
      --m_nKept;
    }
    ProcessItem(item);
  }
}

int COutput::AddText(const char* text, DWORD kind) {
  COutputItem item;
  item.m_nKind = kind;
  item.m_pData = CopyText(text, item.m_nValue1);
  return Queue(item, text, false);
}

int COutput::AddCode(uint64_t value, DWORD kind) {
  COutputItem item;
  item.m_nKind = kind;
  item.m_nValue1 = value;
  return Queue(item);
}

int COutput::AddCodeWithPrefix(uint64_t value, const char* prefix, DWORD kind) {
  COutputItem item;
  item.m_nKind = kind;
  item.m_nValue1 = value;
  item.m_pPrefix = CopyText(prefix, item.m_nValue2);
  return Queue(item, prefix, true);
}

int COutput::AddValues(uint64_t first, uint64_t second, DWORD kind) {
  COutputItem item;
  item.m_nKind = kind;
  item.m_nValue1 = first;
  item.m_nValue2 = second;
  return Queue(item);
}

int COutput::AddData(const void* bytes, DWORD length, DWORD kind) {
  COutputItem item;
  item.m_nKind = kind;
  item.m_nValue1 = length;
  if (bytes != nullptr && length > 0) item.m_pData = CopyBytes(bytes, length);
  if (item.m_pData == nullptr) item.m_nValue1 = 0;
  return Queue(item);
}

int COutput::AddDataWithPrefix(const void* bytes, DWORD length, const char* prefix, DWORD kind) {
  COutputItem item;
  item.m_nKind = kind;
  item.m_nValue1 = length;
  if (bytes != nullptr && length > 0) item.m_pData = CopyBytes(bytes, length);
  if (item.m_pData == nullptr) item.m_nValue1 = 0;
  item.m_pPrefix = CopyText(prefix, item.m_nValue2);
  return Queue(item);
}

void COutput::ProcessItems() {
  // Each take is locked; the count is never read outside the lock, as other threads queue
  // meanwhile.
  for (;;) {
    COutputItem item;
    if (!m_Queue.SafeRemoveHead(item)) break;
    ProcessItem(item);
  }
  WriteKept();
}

// Line pieces -----------------------------------------------------------------------------------

void COutput::FormatTimeStamp(CStream& line, const SYSTEMTIME* t) {
  char buffer[32];
  FormatTimeStamp(buffer, t);
  line.AppendString(buffer);
}

void COutput::FormatTimeStamp(char* buffer, const SYSTEMTIME* t) {
  const SYSTEMTIME zero{};
  if (t == nullptr) t = &zero;
  // Fields are cut to their widths so the stamp is always exactly 15 characters.
  std::snprintf(buffer, 16, "[%02u:%02u:%02u.%03u] ", t->wHour % 100u, t->wMinute % 100u, t->wSecond % 100u,
                t->wMilliseconds % 1000u);
}

void COutput::WritePrefix(CStream& line, const char* prefix) {
  if (prefix == nullptr) return;
  line.AppendString(prefix);
  line.AppendString(": ");
}

void COutput::WriteIndent(CStream& line, DWORD n) {
  if (n > 0) line.Fill(static_cast<int>(n), GetIndentChar());
}

void COutput::WriteIndentSpaces(CStream& line, DWORD n) {
  if (n > 0) line.Fill(static_cast<int>(n), ' ');
  line.AppendByte(static_cast<unsigned char>(GetIndentChar()));
}

void COutput::WriteSplit(CStream& line, const char* text, size_t length, DWORD indent) {
  if (std::memchr(text, '\n', length) == nullptr) {
    line.AppendBytes(text, static_cast<int>(length));
    return;
  }
  // A text of several lines starts on a new line; each of its lines is indented.
  line.AppendString("\r\n");
  size_t start = 0;
  while (start < length) {
    const void* lf = std::memchr(text + start, '\n', length - start);
    const size_t end = lf != nullptr ? static_cast<size_t>(static_cast<const char*>(lf) - text) + 1 : length;
    WriteIndent(line, indent);
    line.AppendBytes(text + start, static_cast<int>(end - start));
    if (lf == nullptr) line.AppendString("\r\n");
    start = end;
  }
}

void COutput::WriteText(CStream& line, const char* text, DWORD indent) {
  if (text == nullptr) return;
  WriteSplit(line, text, std::strlen(text), indent);
}

void COutput::WriteCountedText(CStream& line, const char* text, DWORD length, DWORD indent) {
  if (text == nullptr || length == 0) return;
  WriteSplit(line, text, length, indent);
}

void COutput::WriteWideText(CStream& line, const char16_t* text, DWORD lengthBytes, DWORD indent) {
  if (text == nullptr) return;
  const size_t units = lengthBytes / 2;
  const std::string narrow = Utf16ToCp1252(std::u16string_view(text, units));
  WriteSplit(line, narrow.data(), narrow.size(), indent);
}

void COutput::WriteHexDump(CStream& line, const unsigned char* bytes, DWORD length, DWORD indent) {
  line.AppendString("\r\n");
  for (DWORD row = 0; row < length; row += 16) {
    WriteIndent(line, indent);
    for (DWORD j = 0; j < 16; ++j) {
      if (row + j < length) {
        line.AppendFormat("%2.2X", static_cast<unsigned>(bytes[row + j]));
        line.AppendByte(static_cast<unsigned char>(GetIndentChar()));
      } else {
        WriteIndentSpaces(line, 2);
      }
    }
    WriteIndentSpaces(line, 2);
    for (DWORD j = 0; j < 16 && row + j < length; ++j) {
      const unsigned char c = bytes[row + j];
      line.AppendByte(std::isprint(c) && c != '"' ? c : '.');
    }
    line.AppendString("\r\n");
  }
}

// Lines -----------------------------------------------------------------------------------------

void COutput::FinishLine(CStream& line, DWORD kind) {
  if (m_pfnLine != nullptr) m_pfnLine(m_pLineContext, line.c_str(), kind);
  line.AppendString("\r\n");
  if (m_pfnStream != nullptr) m_pfnStream(m_pStreamContext, line, kind);
  if (m_LogFile.IsOpen()) {
    const DWORD err = m_LogFile.Send(line);
    // A line the log file refuses is reported by a line of its own; that report is not reported
    // again when the file refuses it too, or a broken log file would keep the drain going for ever.
    if (err != 0 && kind != OUTPUT_ERROR) AddCode(err, OUTPUT_ERROR);
  }
}

void COutput::WriteTextLine(const SYSTEMTIME& time, const char* prefix, const char* text, DWORD kind) {
  CStream line;
  m_pfnStreamTimeStamp(line, &time);
  WritePrefix(line, prefix);
  WriteText(line, text, m_nIndent);
  FinishLine(line, kind);
}

void COutput::WriteFile(const COutputItem& item, bool wide) {
  const char* whole = item.m_pData != nullptr ? item.m_pData : "";
  const char* lf = std::strchr(whole, '\n');
  const std::string path = lf != nullptr ? std::string(whole, lf) : std::string(whole);
  const char* title = lf != nullptr ? lf + 1 : nullptr;

  const char* failure = nullptr;
  FILE* f = std::fopen(ToNativePath(path).c_str(), "rb");
  long size = -1;
  std::string content;
  if (f == nullptr) {
    failure = ": error opening file to output.\n";
  } else {
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    if (size == 0) {
      failure = ": Error: file to output is zero length.\n";
    } else if (size < 0 || std::fseek(f, 0, SEEK_SET) != 0) {
      failure = ": error reading entire file to output.\n";
    } else {
      content.resize(static_cast<size_t>(size));
      if (std::fread(content.data(), 1, content.size(), f) != content.size()) {
        failure = ": error reading entire file to output.\n";
      }
    }
    std::fclose(f);
  }
  if (failure != nullptr) {
    const std::string text = path + failure;
    WriteTextLine(item.m_Time, nullptr, text.c_str(), 1);
    return;
  }
  char stamp[32];
  m_pfnBufferTimeStamp(stamp, &item.m_Time);
  CStream line;
  line.AppendString(stamp);
  if (title != nullptr) line.AppendString(title);
  line.AppendString("\r\n");
  if (wide) {
    const std::string narrow = Utf16ToCp1252(
        std::u16string_view(reinterpret_cast<const char16_t*>(content.data()), content.size() / 2));
    line.AppendBytes(narrow.data(), static_cast<int>(narrow.size()));
  } else {
    line.AppendBytes(content.data(), static_cast<int>(content.size()));
  }
  FinishLine(line, item.m_nKind);
}

bool COutput::ProcessItem(COutputItem& item) {
  const DWORD kind = item.m_nKind;
  if (kind > OUTPUT_LAST_KIND) return false;
  switch (kind) {
    case 0:
    case 1:
      WriteTextLine(item.m_Time, nullptr, item.m_pData, kind);
      break;
    case 2:
    case 3:
    case 6:
    case 7:
      WriteFile(item, false);
      break;
    case 4:
    case 5:
      WriteFile(item, true);
      break;
    case 8:
      WriteTextLine(item.m_Time, nullptr, reinterpret_cast<const char*>(item.m_nValue1), kind);
      break;
    case 9:
      WriteTextLine(item.m_Time, item.m_pPrefix, reinterpret_cast<const char*>(item.m_nValue1), kind);
      break;
    case 10:
    case 11:
    case 12: {
      CStream text;
      AppendErrorNumberText(text, static_cast<DWORD>(item.m_nValue1));
      const char* prefix = kind == 11 ? item.m_pPrefix : kind == 12 ? reinterpret_cast<const char*>(item.m_nValue2) : nullptr;
      WriteTextLine(item.m_Time, prefix, text.c_str(), kind);
      break;
    }
    case 13:
    case 14: {
      CStream text;
      const char* format = reinterpret_cast<const char*>(item.m_nValue1);
      if (format != nullptr) text.AppendFormat(format, item.m_nValue2);
      WriteTextLine(item.m_Time, nullptr, text.c_str(), kind);
      break;
    }
    case 15:
    case 16:
    case 17:
    case 18: {
      CStream line;
      m_pfnStreamTimeStamp(line, &item.m_Time);
      const DWORD column = GetColumn(line);
      WritePrefix(line, item.m_pPrefix);
      line.AppendString("\r\n");
      if (kind <= 16) {
        WriteCountedText(line, item.m_pData, static_cast<DWORD>(item.m_nValue1), column);
      } else {
        WriteWideText(line, reinterpret_cast<const char16_t*>(item.m_pData), static_cast<DWORD>(item.m_nValue1), column);
      }
      FinishLine(line, kind);
      break;
    }
    default: {  // 19 to 24: hex dumps
      CStream line;
      m_pfnStreamTimeStamp(line, &item.m_Time);
      if (kind % 2 == 0) WritePrefix(line, item.m_pPrefix);
      if (kind == 21 || kind == 22) {
        line.AppendString("Tx>");
        line.AppendByte(static_cast<unsigned char>(GetIndentChar()));
      } else if (kind == 23 || kind == 24) {
        line.AppendString("Rx<");
        line.AppendByte(static_cast<unsigned char>(GetIndentChar()));
      }
      WriteHexDump(line, reinterpret_cast<const unsigned char*>(item.m_pData), static_cast<DWORD>(item.m_nValue1),
                   GetColumn(line) + 1);
      FinishLine(line, kind);
      break;
    }
  }
  return true;
}
