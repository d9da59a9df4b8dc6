// CNTSO: one entry of a name/column database's name list: the name, the type word (65535 marks a
// deleted name), the record size and the absolute offset of the name's first record in the .DAT.
#pragma once

#include <cstring>

#include "containers/str.h"
#include "platform/base/types.h"

class CNTSO {
 public:
  CStr<char, wchar_t> m_strName;  // stored with its NUL
  WORD m_wType = 0;               // kind of data; 65535 = deleted
  WORD m_wRecordSize = 0;         // bytes per record
  DWORD m_dwOffset = 0;           // absolute offset in the .DAT of record 0

  CNTSO() = default;
  CNTSO(const char* name, WORD type, WORD recordSize, DWORD offset = 0)
      : m_strName(name), m_wType(type), m_wRecordSize(recordSize), m_dwOffset(offset) {}
  CNTSO(const CNTSO& other)
      : m_strName(other.m_strName),
        m_wType(other.m_wType),
        m_wRecordSize(other.m_wRecordSize),
        m_dwOffset(other.m_dwOffset) {}
  virtual ~CNTSO() {}

  CNTSO& operator=(const CNTSO& other) {
    if (this == &other) return *this;
    m_strName = other.m_strName;
    m_wType = other.m_wType;
    m_wRecordSize = other.m_wRecordSize;
    m_dwOffset = other.m_dwOffset;
    return *this;
  }

  void SetName(const char* name) { m_strName = name; }
  const char* GetName() const { return m_strName.m_nSize > 0 ? m_strName.m_pData : ""; }
  size_t GetNameLength() const { return m_strName.m_nSize > 0 ? static_cast<size_t>(m_strName.m_nSize - 1) : 0; }
  bool IsDeleted() const { return m_wType == 0xFFFF; }

  // Names compare byte for byte as unsigned characters (strcmp does exactly that).
  int Compare(const CNTSO& other) const { return std::strcmp(GetName(), other.GetName()); }
  bool operator<(const CNTSO& other) const { return Compare(other) < 0; }
  bool operator==(const CNTSO& other) const { return Compare(other) == 0; }
};
