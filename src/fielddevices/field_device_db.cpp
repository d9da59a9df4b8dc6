#include "fielddevices/field_device_db.h"

#include <cctype>
#include <climits>
#include <cstring>

void FieldCopyText(char* dst, size_t dstSize, const char* src) {
  if (dstSize == 0) return;
  size_t n = 0;
  if (src != nullptr) {
    while (n + 1 < dstSize && src[n] != '\0') {
      dst[n] = src[n];
      ++n;
    }
  }
  dst[n] = '\0';
}

// ---------------------------------------------------------------------------------------------
// CFieldPos

CFieldPos::CFieldPos() : m_chDirection(' '), m_nRoute(0) {
  FieldCopyText(m_szShortName, sizeof(m_szShortName), "");
  FieldCopyText(m_szRoad, sizeof(m_szRoad), "NoRoad");
  FieldCopyText(m_szMilepost, sizeof(m_szMilepost), "000.00");
  FieldCopyText(m_szCoordinate1, sizeof(m_szCoordinate1), "0.000000000");
  FieldCopyText(m_szCoordinate2, sizeof(m_szCoordinate2), "0.000000000");
  m_strLocation = "No_Location";
}

CFieldPos::CFieldPos(const CFieldPos& other)
    : m_chDirection(other.m_chDirection),
      m_strName(other.m_strName),
      m_strLocation(other.m_strLocation),
      m_nRoute(other.m_nRoute) {
  std::memcpy(m_szShortName, other.m_szShortName, sizeof(m_szShortName));
  std::memcpy(m_szRoad, other.m_szRoad, sizeof(m_szRoad));
  std::memcpy(m_szMilepost, other.m_szMilepost, sizeof(m_szMilepost));
  std::memcpy(m_szCoordinate1, other.m_szCoordinate1, sizeof(m_szCoordinate1));
  std::memcpy(m_szCoordinate2, other.m_szCoordinate2, sizeof(m_szCoordinate2));
}

CFieldPos& CFieldPos::operator=(const CFieldPos& other) {
  if (this == &other) return *this;
  FieldCopyText(m_szShortName, sizeof(m_szShortName), other.m_szShortName);
  FieldCopyText(m_szRoad, sizeof(m_szRoad), other.m_szRoad);
  FieldCopyText(m_szMilepost, sizeof(m_szMilepost), other.m_szMilepost);
  FieldCopyText(m_szCoordinate1, sizeof(m_szCoordinate1), other.m_szCoordinate1);
  FieldCopyText(m_szCoordinate2, sizeof(m_szCoordinate2), other.m_szCoordinate2);
  m_chDirection = other.m_chDirection;
  m_strName = other.m_strName;
  m_strLocation = other.m_strLocation;
  m_nRoute = other.m_nRoute;
  return *this;
}

CFieldPos::~CFieldPos() = default;

const char* CFieldPos::NameText() const {
  return (m_strName.m_nSize > 0 && m_strName.m_pData != nullptr) ? m_strName.m_pData : "";
}

void CFieldPos::ParseRoadName(const char* text) {
  constexpr size_t kMax = sizeof(m_szRoad) - 1;  // 11 characters
  if (text == nullptr) text = "";
  char road[sizeof(m_szRoad)];
  size_t len = 0;
  auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  auto isAlpha = [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; };
  auto upper = [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); };
  auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };

  size_t prefix = 0;
  while (isAlpha(text[prefix])) ++prefix;

  if (prefix == 2) {
    road[len++] = upper(text[0]);
    road[len++] = upper(text[1]);
    road[len++] = ' ';
  } else if ((prefix == 1 && text[0] == 'I') || text[0] == 'i') {
    road[len++] = 'I';
    road[len++] = '-';
  } else {
    for (size_t i = 0; i < prefix && len < kMax; ++i) road[len++] = text[i];
  }

  const char* p = text + prefix;
  while (*p != '\0' && !isDigit(*p)) ++p;

  // The route is the value of the whole digit run, held in 64 bits and saturated at the top of
  // the 32-bit range so that a long run of digits cannot overflow.
  int64_t route = 0;
  while (isDigit(*p)) {
    if (len < kMax) road[len++] = *p;
    route = route * 10 + (*p - '0');
    if (route > INT32_MAX) route = INT32_MAX;
    ++p;
  }
  m_nRoute = static_cast<int32_t>(route);

  while (*p == ' ') ++p;
  if (*p != '\0' && len < kMax) {
    if (kMax - len > 2 && p[1] != '\0') {
      road[len++] = ' ';
      road[len++] = upper(*p++);
      while (*p != '\0' && len < kMax) road[len++] = lower(*p++);
    } else {
      road[len++] = upper(*p);
    }
  }
  road[len] = '\0';
  std::memcpy(m_szRoad, road, len + 1);
}

// ---------------------------------------------------------------------------------------------
// CFieldDeviceDB

CFieldDeviceDB::CFieldDeviceDB()
    : m_nNumber(0),
      m_nOption(1),
      m_nDropAddress(0),
      m_nSetupStep(0),
      m_abOptionBytes{0, 1},
      m_nLinkType(0),
      m_nBaudRate(1200),
      m_nDataBits(8),
      m_nParity(0),
      m_nStopBits(0),
      m_nNetAddress(0),
      m_nNetPort(0),
      m_nLinkWord(0),
      m_nErrorLimit(255),
      m_nMissLimit(255),
      m_nByteTime(12),
      m_nReplyTimeout(185),
      m_abIdentity{},
      m_nRepliesShort(0),
      m_anReplyCounters{},
      m_nRepliesTail(0),
      m_abErrorWindow{},
      m_abSecondWindow{},
      m_abMissWindow{},
      m_nRepliesTotal(0),
      m_nErrorReplies(0),
      m_nKind5Replies(0),
      m_nMissedReplies(0),
      m_nCommState(FIELD_COMM_ENABLED),
      m_anSpeedParams{200, 240, 50, 100, 650},
      m_nPollsSent(0),
      m_nPollsTotal(0),
      m_nSetupWord(0) {
  FieldCopyText(m_szPort, sizeof(m_szPort), "NO_PORT");
  FieldCopyText(m_szPhone, sizeof(m_szPhone), "0000000000");
  FieldCopyText(m_szModemInit, sizeof(m_szModemInit), "ATX4DT");
  FieldCopyText(m_szAddress, sizeof(m_szAddress), "0.0.0.0");
  FieldCopyText(m_szExtraText, sizeof(m_szExtraText), "");
}

// The copy has a lock of its own; the pointer array's contents go into a new block.
CFieldDeviceDB::CFieldDeviceDB(const CFieldDeviceDB& other) : CFieldPos(other) { CopyFields(other); }

CFieldDeviceDB& CFieldDeviceDB::operator=(const CFieldDeviceDB& other) {
  if (this == &other) return *this;
  CFieldPos::operator=(other);
  CopyFields(other);
  return *this;
}

CFieldDeviceDB::~CFieldDeviceDB() = default;

void CFieldDeviceDB::CopyFields(const CFieldDeviceDB& o) {
  m_nNumber = o.m_nNumber;
  std::memcpy(m_szPort, o.m_szPort, sizeof(m_szPort));
  std::memcpy(m_szPhone, o.m_szPhone, sizeof(m_szPhone));
  std::memcpy(m_szModemInit, o.m_szModemInit, sizeof(m_szModemInit));
  std::memcpy(m_szAddress, o.m_szAddress, sizeof(m_szAddress));
  std::memcpy(m_szExtraText, o.m_szExtraText, sizeof(m_szExtraText));
  m_nOption = o.m_nOption;
  m_nDropAddress = o.m_nDropAddress;
  m_nSetupStep = o.m_nSetupStep;
  std::memcpy(m_abOptionBytes, o.m_abOptionBytes, sizeof(m_abOptionBytes));
  m_nLinkType = o.m_nLinkType;
  m_nBaudRate = o.m_nBaudRate;
  m_nDataBits = o.m_nDataBits;
  m_nParity = o.m_nParity;
  m_nStopBits = o.m_nStopBits;
  m_nNetAddress = o.m_nNetAddress;
  m_nNetPort = o.m_nNetPort;
  m_nLinkWord = o.m_nLinkWord;
  m_nErrorLimit = o.m_nErrorLimit;
  m_nMissLimit = o.m_nMissLimit;
  m_nByteTime = o.m_nByteTime;
  m_nReplyTimeout = o.m_nReplyTimeout;
  std::memcpy(m_abIdentity, o.m_abIdentity, sizeof(m_abIdentity));
  m_nRepliesShort = o.m_nRepliesShort;
  std::memcpy(m_anReplyCounters, o.m_anReplyCounters, sizeof(m_anReplyCounters));
  m_nRepliesTail = o.m_nRepliesTail;
  std::memcpy(m_abErrorWindow, o.m_abErrorWindow, sizeof(m_abErrorWindow));
  std::memcpy(m_abSecondWindow, o.m_abSecondWindow, sizeof(m_abSecondWindow));
  std::memcpy(m_abMissWindow, o.m_abMissWindow, sizeof(m_abMissWindow));
  m_nRepliesTotal = o.m_nRepliesTotal;
  m_nErrorReplies = o.m_nErrorReplies;
  m_nKind5Replies = o.m_nKind5Replies;
  m_nMissedReplies = o.m_nMissedReplies;
  m_nCommState = o.m_nCommState;
  m_arrUserData = o.m_arrUserData;
  std::memcpy(m_anSpeedParams, o.m_anSpeedParams, sizeof(m_anSpeedParams));
  m_nPollsSent = o.m_nPollsSent;
  m_nPollsTotal = o.m_nPollsTotal;
  m_nSetupWord = o.m_nSetupWord;
}

int CFieldDeviceDB::WindowSum(const int8_t* window) {
  int sum = 0;
  for (int i = 0; i < 5; ++i) sum += window[i];
  return sum;
}

namespace {
// A history bucket counts up to 127 and stays there: a wrapped (negative) count would make a
// failing device look healthy.
void AddToBucket(int8_t& bucket) {
  if (bucket < INT8_MAX) ++bucket;
}
}  // namespace

void CFieldDeviceDB::RecordError() {
  CFieldRecordLock lock(*this);
  ++m_nErrorReplies;
  AddToBucket(m_abErrorWindow[0]);
  ++m_nRepliesShort;
  ++m_nRepliesTotal;
  if (m_nCommState == FIELD_COMM_ACTIVE && WindowSum(m_abErrorWindow) >= static_cast<int>(m_nErrorLimit)) {
    m_nCommState = FIELD_COMM_MARGINAL;
  }
}

void CFieldDeviceDB::UpdateStateOnGoodReply() {
  ++m_nRepliesShort;
  ++m_nRepliesTotal;
  switch (m_nCommState) {
    case FIELD_COMM_ACTIVE:
      break;
    case FIELD_COMM_MARGINAL:
      if (WindowSum(m_abErrorWindow) < static_cast<int>(m_nErrorLimit)) m_nCommState = FIELD_COMM_ACTIVE;
      break;
    case FIELD_COMM_FAILED:
      m_nCommState = FIELD_COMM_MARGINAL;
      break;
    default:
      m_nCommState = FIELD_COMM_ACTIVE;
      break;
  }
}

void CFieldDeviceDB::RecordGoodReply() {
  CFieldRecordLock lock(*this);
  UpdateStateOnGoodReply();
}

void CFieldDeviceDB::RecordGoodReplyKind5() {
  CFieldRecordLock lock(*this);
  AddToBucket(m_abSecondWindow[0]);
  ++m_nKind5Replies;
  UpdateStateOnGoodReply();
}

void CFieldDeviceDB::RecordMissedReply() {
  // The handlers call this with the lock held already; the lock is re-entrant, and taking it
  // here keeps any other caller from changing the counters and state unguarded.
  CFieldRecordLock lock(*this);
  ++m_nMissedReplies;
  AddToBucket(m_abMissWindow[0]);
  if (m_nCommState == FIELD_COMM_FAILED) return;
  if (WindowSum(m_abMissWindow) >= static_cast<int>(m_nMissLimit)) {
    m_nCommState = FIELD_COMM_FAILED;
  } else if (m_nCommState == FIELD_COMM_ACTIVE) {
    m_nCommState = FIELD_COMM_MARGINAL;
  }
}

void CFieldDeviceDB::SetSetupStep(uint8_t step) { FieldSetLocked(*this, m_nSetupStep, step); }

CFieldRecordLock::CFieldRecordLock(const CFieldDeviceDB& record) : m_record(record) { m_record.m_cs.Enter(); }
CFieldRecordLock::~CFieldRecordLock() { m_record.m_cs.Leave(); }
