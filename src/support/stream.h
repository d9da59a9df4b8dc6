// CStream: the unit of data of the asynchronous I/O layer and the message log. A growable byte
// buffer with four fields that travel with the bytes: a priority (send order), an id (matches a
// reply to its read request), a seek mode and a position (where in a file the bytes belong).
// It also builds narrow (Windows-1252) and wide (UTF-16) text. Text is stored without its
// terminator: the count never includes it, though the formatting operations leave a NUL just
// after the counted bytes when there is room.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <ctime>

#include "containers/scalar_array.h"
#include "platform/base/types.h"

class CStream : public CScalarArray<unsigned char> {
 public:
  using Base = CScalarArray<unsigned char>;

  static constexpr int32_t kDefaultPriority = 0;
  static constexpr uint32_t kNoId = 0xFFFFFFFF;
  static constexpr uint32_t kDefaultSeekMode = 1;  // from the current position

  int32_t m_nPriority = kDefaultPriority;  // lower values are sent first
  uint32_t m_nId = kNoId;                  // id of the read request that produced the bytes
  uint32_t m_nSeekMode = kDefaultSeekMode; // 0 from the start, 1 from the current position, 2 from the end
  int64_t m_nPosition = 0;                 // byte offset (signed for the relative modes)

  CStream() = default;
  explicit CStream(int nInitialCapacity);
  CStream(const CStream& other);
  explicit CStream(const char* text);
  CStream(const char* text, int nMaxCount);
  CStream(const unsigned char* bytes, int nCount);
  CStream(const unsigned char* bytes, int nCount, int32_t nPriority);
  explicit CStream(const char16_t* text);
  CStream(const char16_t* text, int nMaxCount);
  ~CStream() override;

  // Streams order by priority (the send queue keeps them ascending, equal ones in queued order).
  int Compare(const CStream& other) const {
    return m_nPriority < other.m_nPriority ? -1 : (m_nPriority > other.m_nPriority ? 1 : 0);
  }
  bool operator<(const CStream& other) const { return m_nPriority < other.m_nPriority; }
  // Equal when the priorities are equal: the arrays that hold streams compare them by priority
  // alone (unique adds, searches), whatever their bytes.
  bool operator==(const CStream& other) const { return m_nPriority == other.m_nPriority; }

  // Copies the four fields in every case; the bytes only when the source is another stream.
  CStream& operator=(const CStream& other);

  // Replace the bytes / append bytes; the four fields stay as they are.
  int Copy(const unsigned char* p, int n) override;
  void Append(const unsigned char* p, int n) override;
  // Removes every byte and resets the four fields to their defaults.
  void Empty() override;

  void AppendBytes(const void* p, int n) { Append(static_cast<const unsigned char*>(p), n); }

  void AssignByte(unsigned char b);
  // At most n characters, stopping early at a NUL; a NUL is stored after them, not counted.
  void AssignText(const char* text, int n);
  void AssignWideText(const char16_t* text, int n);

  void Format(const char* format, ...);
  void FormatV(const char* format, va_list args);
  // Wide formatting follows the Windows rules: %s and %c take UTF-16 text, %hs and %hc narrow.
  void Format(const char16_t* format, ...);
  void FormatV(const char16_t* format, va_list args);
  void FormatTime(const char* format, const tm* t);
  void FormatTime(const char16_t* format, const tm* t);

  void SetErrorText(DWORD code, const char* text = nullptr, const char* prefix = nullptr);
  void SetErrorText(DWORD code, const char16_t* text, const char16_t* prefix);

  // Appends the other stream's bytes; the priority becomes the larger of the two.
  void Append(const CStream& other);
  void AppendByte(unsigned char b);
  void AppendString(const char* text);
  void AppendWideString(const char16_t* text);
  void AppendText(const char* text, int n);
  void AppendWideText(const char16_t* text, int n);
  void AppendFormat(const char* format, ...);
  void AppendFormat(const char* format, va_list args);
  void AppendFormat(const char16_t* format, ...);
  void AppendFormat(const char16_t* format, va_list args);
  void AppendTime(const char* format, const tm* t);
  void AppendTime(const char16_t* format, const tm* t);
  void Fill(int n, unsigned char b);
  void Fill(int n, char c) { Fill(n, static_cast<unsigned char>(c)); }
  void Fill(int n, char16_t unit);

  // Appends "prefix: " (when given), the text (when given) and the text of the error number.
  void AppendErrorText(DWORD code, const char* text = nullptr, const char* prefix = nullptr);
  void AppendErrorText(DWORD code, const char16_t* text, const char16_t* prefix);

  // Copies up to n bytes from index into dest (replacing its bytes) and gives dest this stream's
  // four fields; returns the number copied (0 when index lies past the end).
  int Peek(CStream& dest, int index, int n) const;
  // Peek, then removes that range from this stream.
  int Extract(CStream& dest, int index, int n);
  using Base::Extract;
  using Base::Peek;

  // Resolves an IPv4 host name and stores its address, in host byte order, in the low 32 bits of
  // m_nPosition. 0, or the Windows Sockets error number.
  DWORD SetHostAddress(const char* hostName);

  // The bytes as a NUL-terminated narrow text (adds a terminator after the counted bytes when
  // there is room; returns "" for a stream without a block).
  const char* c_str();

 private:
  bool EnsureRoom(int64_t nBytes, bool keep);
  void AppendNarrowFormat(const char* format, va_list args);
  void AppendWideFormat(const char16_t* format, va_list args);
  void AppendNarrowTime(const char* format, const tm* t);
  void AppendWideTime(const char16_t* format, const tm* t);
  void AppendWideUnits(const char16_t* text, size_t nUnits);
};

// The text of a serial-port error number 0x10000..0x10004; null for any other number.
const char* GetSerialErrorText(DWORD code);

// The text of a Windows error number as the stream and the log show it: the system's text without
// its final CR LF, the serial-port texts for 0x10000..0x10004, else "Windows Error Code %u".
void AppendErrorNumberText(CStream& s, DWORD code);
