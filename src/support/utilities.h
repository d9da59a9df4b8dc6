// Small utilities: the request timing record and the saturating number parsers.
#pragma once

#include <cstdint>

#include "platform/base/types.h"

// Process-wide defaults of the first and third timing values.
extern DWORD g_nDefaultReplyTimeout;  // 1000
extern DWORD g_nDefaultGroup;         // 1

// Timing record passed with each field-device request. The field-device layer fills the values;
// this class only holds, copies and resets them.
class CMasterCommTarget {
 public:
  DWORD m_nReplyTimeout;   // default g_nDefaultReplyTimeout
  DWORD m_nTransferTime;   // default 0
  DWORD m_nGroup;          // default g_nDefaultGroup
  DWORD m_nReserved;       // default 0

  CMasterCommTarget();
  CMasterCommTarget(const CMasterCommTarget& other);
  CMasterCommTarget& operator=(const CMasterCommTarget& other);
  virtual ~CMasterCommTarget();

  // A new heap copy (null when memory is exhausted).
  virtual CMasterCommTarget* Clone() const;
  virtual void Reset();
};

// Number parsers: strtoul in the given base, saturating at the top of the result's range. The
// text pointer is not moved; where the number ends is ignored. A null text gives 0.
BYTE StringToByte(const char* const* ppText, int base);
WORD StringToWord(const char* const* ppText, int base);
// Parses only the first `length` characters (fewer when a NUL comes first).
BYTE StringToByte(const char* text, int length, int base);
BYTE StringToByte(const char* text, int base);
