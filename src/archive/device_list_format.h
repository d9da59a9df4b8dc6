// The text formats of the yearly device lists: RMDC.LST (database years, layouts A and B) and
// LPDATA.PRN (PE years). Parsing works on the file's bytes in memory and hands each data line's
// fields to a callback, so it can be tested and fuzzed without files or record classes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/base/types.h"

// Longest line text used; the rest of a longer line is dropped (it never becomes a line of its own).
constexpr size_t kDeviceLineMax = 127;
// Device lists are kilobytes; a larger file is refused rather than read whole.
constexpr uint64_t kDeviceListMaxBytes = 16u * 1024 * 1024;

// The fields of one data line. Texts are NUL-terminated; absent fields are empty.
struct DeviceListLine {
  char id[11] = {};        // cabinet id (RMDC.LST layout B only)
  char alias[8] = {};      // cabinet alias
  char roadway[12] = {};   // roadway text, leading and trailing white space dropped; never empty
  char location[17] = {};  // location text
  char element[8] = {};    // element name (LPDATA.PRN only)
  int32_t milepost = 0;    // miles x 100 + hundredths, saturated to the 32-bit range
  DWORD column = 0xFFFFFFFF;  // detector number - 1 (LPDATA.PRN only)
};

using DeviceLineCallback = void (*)(void* context, const DeviceListLine& line);

// Parses RMDC.LST. Returns 0, or 11 when the first non-blank line names neither layout (nothing is
// reported then). A file with no such line at all is read with no records.
int ParseRmdcList(const char* data, size_t size, DeviceLineCallback onLine, void* context);
// Parses LPDATA.PRN (no header; "LOOP" lines only).
void ParseLpdataList(const char* data, size_t size, DeviceLineCallback onLine, void* context);

// Cabinet id "%03ies%05i" of a route number and a milepost in hundredths, kept to 10 characters.
void FormatCabinetId(char id[11], int route, int milepost);

// Decimal number at text[0..length): leading blanks, an optional sign, digits up to the first other
// character; saturated to the 32-bit range.
int32_t ParseDeviceNumber(const char* text, size_t length);
