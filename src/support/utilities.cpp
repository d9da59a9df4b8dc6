#include "support/utilities.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

DWORD g_nDefaultReplyTimeout = 1000;
DWORD g_nDefaultGroup = 1;

CMasterCommTarget::CMasterCommTarget()
    : m_nReplyTimeout(g_nDefaultReplyTimeout), m_nTransferTime(0), m_nGroup(g_nDefaultGroup), m_nReserved(0) {}

CMasterCommTarget::CMasterCommTarget(const CMasterCommTarget& other)
    : m_nReplyTimeout(other.m_nReplyTimeout),
      m_nTransferTime(other.m_nTransferTime),
      m_nGroup(other.m_nGroup),
      m_nReserved(other.m_nReserved) {}

CMasterCommTarget& CMasterCommTarget::operator=(const CMasterCommTarget& other) {
  if (this != &other) {
    m_nReplyTimeout = other.m_nReplyTimeout;
    m_nTransferTime = other.m_nTransferTime;
    m_nGroup = other.m_nGroup;
    m_nReserved = other.m_nReserved;
  }
  return *this;
}

CMasterCommTarget::~CMasterCommTarget() = default;

CMasterCommTarget* CMasterCommTarget::Clone() const { return new (std::nothrow) CMasterCommTarget(*this); }

void CMasterCommTarget::Reset() {
  m_nReplyTimeout = g_nDefaultReplyTimeout;
  m_nTransferTime = 0;
  m_nGroup = g_nDefaultGroup;
  m_nReserved = 0;
}

namespace {

unsigned long Parse(const char* text, int base) {
  if (text == nullptr) return 0;
  return std::strtoul(text, nullptr, base);
}

}  // namespace

BYTE StringToByte(const char* const* ppText, int base) {
  const unsigned long v = Parse(ppText != nullptr ? *ppText : nullptr, base);
  return v > 255 ? 255 : static_cast<BYTE>(v);
}

WORD StringToWord(const char* const* ppText, int base) {
  const unsigned long v = Parse(ppText != nullptr ? *ppText : nullptr, base);
  return v > 65535 ? 65535 : static_cast<WORD>(v);
}

BYTE StringToByte(const char* text, int length, int base) {
  if (text == nullptr || length <= 0) return 0;
  // A bounded copy: the text may be a field that is not NUL-terminated.
  const std::string piece(text, strnlen(text, static_cast<size_t>(length)));
  const unsigned long v = std::strtoul(piece.c_str(), nullptr, base);
  return v >= 255 ? 255 : static_cast<BYTE>(v);
}

BYTE StringToByte(const char* text, int base) {
  const unsigned long v = Parse(text, base);
  return v > 255 ? 255 : static_cast<BYTE>(v);
}
