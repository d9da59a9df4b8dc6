// COutput: the program's message log. Any thread queues an item (a text, an error number, a block
// of bytes, a file to copy), stamped with the local time when queued; a drain on one thread turns
// each item into one line: "[hh:mm:ss.mmm] ", the prefix and ": ", then the text, with
// continuation lines indented under it. Each line goes to an optional line callback (without its
// CR LF), an optional stream callback (with it) and an optional log file.
#pragma once

#include <cstdint>
#include <mutex>

#include "containers/mthread_array.h"
#include "platform/base/types.h"
#include "support/io_file.h"
#include "support/stream.h"

// Item kinds.
enum : DWORD {
  OUTPUT_TEXT = 0,                // 0, 1: owned text
  OUTPUT_TEXT_1 = 1,
  OUTPUT_FILE = 2,                // 2, 3, 6, 7: a file's narrow text under a heading ("path\ntitle")
  OUTPUT_WIDE_FILE = 4,           // 4, 5: a file's UTF-16 text under a heading
  OUTPUT_TEXT_POINTER = 8,        // first value = text not owned
  OUTPUT_TEXT_POINTER_PREFIX = 9, // the same with an owned prefix
  OUTPUT_ERROR = 10,              // first value = error number
  OUTPUT_ERROR_PREFIX = 11,       // the same with an owned prefix
  OUTPUT_ERROR_PREFIX_POINTER = 12, // second value = prefix not owned
  OUTPUT_FORMAT = 13,             // 13, 14: first value = printf format, second = its argument
  OUTPUT_BLOCK = 15,              // 15, 16: narrow text block (16 with prefix)
  OUTPUT_WIDE_BLOCK = 17,         // 17, 18: UTF-16 text block (18 with prefix)
  OUTPUT_HEX = 19,                // 19, 20: hex dump (20 with prefix)
  OUTPUT_HEX_TX = 21,             // 21, 22: labelled "Tx>"
  OUTPUT_HEX_RX = 23,             // 23, 24: labelled "Rx<"
  OUTPUT_LAST_KIND = 24,
  OUTPUT_EMPTIED = 0xFFFFFFFF
};

// One queued item. Copying moves: the target takes the source's values and buffers and the source
// is left emptied, so items pass into and out of the queue without copying their buffers.
class COutputItem {
 public:
  mutable DWORD m_nKind = OUTPUT_EMPTIED;
  mutable SYSTEMTIME m_Time{};
  mutable uint64_t m_nValue1 = 0;  // a length, an error number or a pointer, by kind
  mutable uint64_t m_nValue2 = 0;  // the prefix's length with its NUL, or a second plain value
  mutable char* m_pData = nullptr;    // owned copy of a text or of bytes
  mutable char* m_pPrefix = nullptr;  // owned copy of a prefix text

  COutputItem() = default;
  COutputItem(const COutputItem& src);
  COutputItem& operator=(const COutputItem& src);
  ~COutputItem();

  // Items are equal and order by their kinds, taken as signed numbers (an emptied item first). The
  // log itself never sorts: it drains in the order queued.
  int Compare(const COutputItem& other) const;
  bool operator<(const COutputItem& other) const { return Compare(other) < 0; }
  bool operator==(const COutputItem& other) const { return Compare(other) == 0; }

 private:
  void FreeBuffers();
  void TakeFrom(const COutputItem& src);
};

class COutput {
 public:
  using PFNSTREAMSTAMP = void (*)(CStream& line, const SYSTEMTIME* time);
  using PFNBUFFERSTAMP = void (*)(char* buffer, const SYSTEMTIME* time);
  using PFNLINE = void (*)(void* context, const char* line, DWORD kind);
  using PFNSTREAM = void (*)(void* context, CStream& line, DWORD kind);

  static constexpr DWORD kStampLength = 15;

  CObjMThreadArray<COutputItem> m_Queue;
  PFNSTREAMSTAMP m_pfnStreamTimeStamp = &FormatTimeStamp;
  PFNBUFFERSTAMP m_pfnBufferTimeStamp = &FormatTimeStamp;
  DWORD m_nIndent = kStampLength;
  CIOFile m_LogFile;
  PFNLINE m_pfnLine = nullptr;
  void* m_pLineContext = nullptr;
  PFNSTREAM m_pfnStream = nullptr;
  void* m_pStreamContext = nullptr;

  COutput() = default;
  virtual ~COutput();

  virtual bool ProcessItem(COutputItem& item);
  virtual void WritePrefix(CStream& line, const char* prefix);
  virtual char GetIndentChar() { return ' '; }
  virtual void WriteIndent(CStream& line, DWORD n);
  virtual void WriteIndentSpaces(CStream& line, DWORD n);
  virtual DWORD GetColumn(CStream& line) { return static_cast<DWORD>(line.m_nSize); }
  virtual void WriteHexDump(CStream& line, const unsigned char* bytes, DWORD length, DWORD indent);
  virtual void WriteText(CStream& line, const char* text, DWORD indent);
  virtual void WriteCountedText(CStream& line, const char* text, DWORD length, DWORD indent);
  virtual void WriteWideText(CStream& line, const char16_t* text, DWORD lengthBytes, DWORD indent);

  // Queuing, from any thread; each returns the item's index in the queue (-1 when it could not be
  // queued). A text, code or value item for which memory ran out (its copy of the text, or the
  // queue's room) is kept aside instead (see SKeptItem) and written by the next drain.
  int AddText(const char* text, DWORD kind);
  int AddCode(uint64_t value, DWORD kind);
  int AddCodeWithPrefix(uint64_t value, const char* prefix, DWORD kind);
  int AddValues(uint64_t first, uint64_t second, DWORD kind);
  int AddData(const void* bytes, DWORD length, DWORD kind);
  int AddDataWithPrefix(const void* bytes, DWORD length, const char* prefix, DWORD kind);

  // Writes every queued item, including those queued while draining, on the calling thread; then
  // the items kept aside, as far as memory allows.
  void ProcessItems();

  static void FormatTimeStamp(CStream& line, const SYSTEMTIME* time);
  // Writes the 15-character stamp and a NUL into buffer (room for 16 characters).
  static void FormatTimeStamp(char* buffer, const SYSTEMTIME* time);

 private:
  // An item that found no memory, kept in room made with the log (nothing is made on the heap to
  // keep it): its kind, time and values, and its text or prefix (a longer one is cut). When the
  // room is full the newest item takes the last place.
  struct SKeptItem {
    DWORD kind = OUTPUT_EMPTIED;
    SYSTEMTIME time{};
    uint64_t value1 = 0, value2 = 0;
    bool withText = false, textIsPrefix = false;
    char text[512] = {};
  };
  static constexpr int kKeptItems = 4;
  std::mutex m_keptLock;
  SKeptItem m_kept[kKeptItems];
  int m_nKept = 0;  // under m_keptLock

  // Queues the item; `text` (the caller's text or prefix, or null) is what a kept item keeps.
  int Queue(COutputItem& item, const char* text = nullptr, bool textIsPrefix = false);
  void Keep(const SKeptItem& item, const char* text) noexcept;
  // Writes the kept items, oldest first; false when one still finds no memory (it stays kept).
  bool WriteKept();
  void FinishLine(CStream& line, DWORD kind);
  void WriteTextLine(const SYSTEMTIME& time, const char* prefix, const char* text, DWORD kind);
  void WriteFile(const COutputItem& item, bool wide);
  void WriteSplit(CStream& line, const char* text, size_t length, DWORD indent);
};
