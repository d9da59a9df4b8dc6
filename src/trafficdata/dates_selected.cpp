#include "trafficdata/dates_selected.h"

#include <cstring>

CMonthSelected::CMonthSelected(const CMonthSelected& other) : CScalarArray<int>(other), fields(other.fields) {}

CMonthSelected& CMonthSelected::operator=(const CMonthSelected& other) {
  if (this == &other) return *this;
  Copy(other.m_pData, other.m_nSize);
  fields = other.fields;
  return *this;
}

CMonthSelected::~CMonthSelected() = default;

int CMonthSelected::Compare(const CMonthSelected& other) const {
  int n = m_nSize < other.m_nSize ? m_nSize : other.m_nSize;
  if (n > 0) {
    int c = std::memcmp(m_pData, other.m_pData, static_cast<size_t>(n) * sizeof(int));
    if (c != 0) return c < 0 ? -1 : 1;
  }
  return m_nSize < other.m_nSize ? -1 : (m_nSize > other.m_nSize ? 1 : 0);
}

bool CMonthSelected::operator==(const CMonthSelected& other) const {
  return this == &other || fields.number == other.fields.number;
}

CYearSelected::CYearSelected(const CYearSelected& other) : CObjArray<CMonthSelected>(other), fields(other.fields) {}

CYearSelected& CYearSelected::operator=(const CYearSelected& other) {
  if (this == &other) return *this;
  CObjArray<CMonthSelected>::operator=(other);
  fields = other.fields;
  return *this;
}

CYearSelected::~CYearSelected() = default;

int CYearSelected::Compare(const CYearSelected& other) const {
  int n = m_nSize < other.m_nSize ? m_nSize : other.m_nSize;
  for (int i = 0; i < n; ++i) {
    const CMonthSelected* a = m_pData[i];
    const CMonthSelected* b = other.m_pData[i];
    if (!a || !b) {
      if (a != b) return a ? 1 : -1;
      continue;
    }
    if (int c = a->Compare(*b)) return c;
  }
  return m_nSize < other.m_nSize ? -1 : (m_nSize > other.m_nSize ? 1 : 0);
}

bool CYearSelected::operator==(const CYearSelected& other) const {
  return this == &other || fields.number == other.fields.number;
}

CAllDatesSelected::CAllDatesSelected(const CAllDatesSelected& other)
    : CObjArray<CYearSelected>(other), fields(other.fields) {}

CAllDatesSelected& CAllDatesSelected::operator=(const CAllDatesSelected& other) {
  if (this == &other) return *this;
  CObjArray<CYearSelected>::operator=(other);
  fields = other.fields;
  return *this;
}

CAllDatesSelected::~CAllDatesSelected() = default;
