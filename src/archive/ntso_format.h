// The on-disk format of the name/column database files (.DAT and .NTS): the 512-byte text header,
// its fields and value slots, the packed name-list entries, the zero fill. Everything here works
// on byte buffers and touches no file, so the reader, the writers, the generator and the fuzz
// harnesses share one definition of the format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/base/types.h"

// Error numbers (Windows numbers) that the database layer reports itself.
constexpr int kNtsoErrMalformed = 87;        // malformed header or name list
constexpr int kNtsoErrNoCrLf = 1392;         // CR LF or "=" missing; record range outside the file
constexpr int kNtsoErrFieldOrder = 2013;     // field missing, out of order, or not in the layout
constexpr int kNtsoErrHeaderText = 8227;     // NUL in header; text or value too wide; bad length
constexpr int kNtsoErrMode = 5023;           // opening mode or operation not allowed
constexpr int kNtsoErrCopiesDiffer = 8238;   // .DAT and .NTS copies of a field differ
constexpr int kNtsoErrIndex = 1413;          // column, entry or field index out of range
constexpr int kNtsoErrPastEnd = 1616;        // count past the last column, deleted name
constexpr int kNtsoErrNotFound = 1168;       // name not present
constexpr int kNtsoErrExists = 1760;         // name already present
constexpr int kNtsoErrLayout = 11;           // layout not allowed for the operation
constexpr int kNtsoErrShortRead = 30;        // fewer bytes than asked for
constexpr int kNtsoErrNoMemory = 8;          // allocation failed, or input over a size cap

constexpr int kNtsoHeaderSize = 512;
constexpr int kNtsoFieldCount = 13;          // field indexes 1..13
constexpr WORD kNtsoDeleted = 0xFFFF;        // type word of a deleted name

enum NtsoField {
  kFieldFileName = 1,
  kFieldVersion = 2,
  kFieldDbMode = 3,
  kFieldCreationTime = 4,
  kFieldWriteTime = 5,
  kFieldDataStart = 6,
  kFieldDataEnd = 7,
  kFieldNames = 8,
  kFieldColumns = 9,
  kFieldHeaderSize = 10,
  kFieldNameListSize = 11,
  kFieldDataSize = 12,
  kFieldFileSize = 13,
};

// "Primary Copy" (0), "NG.1 Format" (1), "NG.2 Format" (2); null for other numbers.
const char* NtsoLayoutName(int layout);
// Name of a field in a layout, or null when the layout does not have it.
const char* NtsoFieldName(int layout, int index);
// Width of a field's value slot in a layout, 0 when the layout does not have it.
int NtsoFieldWidth(int layout, int index);
// The layout's field order, ending with 0.
const int* NtsoFieldOrder(int layout);

// Builds the header text of a new database into buf (at least 513 bytes): title line, layout line,
// one empty field line per field, terminator (cut to fit when needed) and 0x07 fill, a NUL at 512.
// positions[index] receives the offset of each field's first value character (0 when absent).
// Returns 0, 8227 when the text does not fit, 87 for a title holding CR or LF, 11 for a bad layout.
int NtsoBuildHeader(char* buf, const char* title, int positions[14], int layout);

// Value text of a field, exactly the field's width, in out (width + 1 bytes with the NUL).
// 8227 when the text does not fit the width; 2013 when the layout lacks the field.
int NtsoFormatInt(char* out, int layout, int index, int64_t value);
int NtsoFormatMode(char* out, int layout, bool expand);
int NtsoFormatTime(char* out, int layout, int index, const SYSTEMTIME& t);  // hundredths if 5-7

// What the header text tells: the layout, each field's value position and the offset of the CR
// that ends its line (0 for absent fields).
struct NtsoHeaderInfo {
  int layout = -1;
  int positions[14] = {};
  int lineEnds[14] = {};
};

// Applies the header text rules to 512 bytes. 0, 8227 (NUL), 1392 (CR LF or "=" missing),
// 87 (no layout line), 2013 (field missing or out of order).
int NtsoParseHeaderText(const uint8_t* block, NtsoHeaderInfo& info);

// True when every value slot lies on its own line inside the first 510 bytes, so that writing a
// value there cannot touch the name list or the records.
bool NtsoSlotsSafe(const NtsoHeaderInfo& info);

// Reads the decimal number at a value position of a 512-byte header: blanks, then digits up to the
// first other character (no sign). 0, or 87 when the number exceeds max.
int NtsoReadNumber(const uint8_t* block, int position, uint64_t max, uint64_t& value);
// Compares the 7 characters at a value position with " FIXED " / " EXPAND":
// 0 = FIXED, 1 = EXPAND, -1 = neither (also when the slot runs past the block).
int NtsoReadMode(const uint8_t* block, int position);
// Parses a time value text of the given width (20: to the second; 23: with hundredths).
// Fields that do not parse stay 0; the day of week is computed from the date.
void NtsoParseTime(const char* text, size_t length, bool hundredths, SYSTEMTIME& t);

// Day of week (0 = Sunday) of a Gregorian date.
int NtsoDayOfWeek(int year, int month, int day);

// One entry of a name list as found in the bytes; name points into the list.
struct NtsoRawEntry {
  const char* name = nullptr;
  size_t nameLength = 0;
  WORD type = 0;
  WORD recordSize = 0;
  DWORD offset = 0;
};

// Length of the shortest possible entry of a layout (empty name).
inline size_t NtsoMinEntryLength(int layout) { return layout == 0 ? 7 : 9; }

// Walks a name list. Calls onEntry(const NtsoRawEntry&) -> int for every entry in file order and
// stops at its first non-zero result. A cut entry (no NUL, or fixed fields past the end) gives 87.
// Never reads outside [data, data + size).
template <typename F>
int NtsoParseNameList(const uint8_t* data, size_t size, int layout, F&& onEntry) {
  size_t p = 0;
  while (p < size) {
    NtsoRawEntry e;
    size_t rest = size - p;
    const uint8_t* at = data + p;
    if (layout == 0) {
      // At most 15 characters; after 15 the 16th byte is the terminator, whatever it holds.
      size_t scan = rest < 15 ? rest : 15;
      const void* nul = std::memchr(at, 0, scan);
      size_t len = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - at) : 15;
      if (!nul && rest < 16) return kNtsoErrMalformed;
      size_t fixedAt = len + 1;
      if (rest < fixedAt + 6) return kNtsoErrMalformed;
      e.name = reinterpret_cast<const char*>(at);
      e.nameLength = len;
      e.type = at[fixedAt];
      e.recordSize = at[fixedAt + 1];
      e.offset = static_cast<DWORD>(at[fixedAt + 2]) | (static_cast<DWORD>(at[fixedAt + 3]) << 8) |
                 (static_cast<DWORD>(at[fixedAt + 4]) << 16) | (static_cast<DWORD>(at[fixedAt + 5]) << 24);
      p += fixedAt + 6;
    } else {
      const void* nul = std::memchr(at, 0, rest);
      if (!nul) return kNtsoErrMalformed;
      size_t len = static_cast<size_t>(static_cast<const uint8_t*>(nul) - at);
      size_t fixedAt = len + 1;
      if (rest < fixedAt + 8) return kNtsoErrMalformed;
      const uint8_t* f = at + fixedAt;
      e.name = reinterpret_cast<const char*>(at);
      e.nameLength = len;
      e.type = static_cast<WORD>(f[0] | (f[1] << 8));
      e.recordSize = static_cast<WORD>(f[2] | (f[3] << 8));
      e.offset = static_cast<DWORD>(f[4]) | (static_cast<DWORD>(f[5]) << 8) |
                 (static_cast<DWORD>(f[6]) << 16) | (static_cast<DWORD>(f[7]) << 24);
      p += fixedAt + 8;
    }
    int r = onEntry(static_cast<const NtsoRawEntry&>(e));
    if (r != 0) return r;
  }
  return 0;
}

// Length of a serialized entry (layouts 1 and 2) for a name of that length.
inline size_t NtsoEntryLength(size_t nameLength) { return nameLength + 9; }
// Writes one entry in the layout 1/2 form; returns its length.
size_t NtsoSerializeEntry(uint8_t* out, const char* name, size_t nameLength, WORD type, WORD recordSize,
                          DWORD offset);

// Zero fill after data ending at end: 1..512 bytes, so the file ends on a multiple of 512.
inline uint32_t NtsoFillLength(uint64_t end) { return static_cast<uint32_t>(512 - end % 512); }

// Length of the base name: the name cut at its last "." when that lies in the last path component.
size_t NtsoBaseNameLength(const char* name);
