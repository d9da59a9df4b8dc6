// Device records, their two roots: CFieldPos (the device's place on the road network) and
// CFieldDeviceDB (communication settings, poll statistics, the record lock and the
// communication-quality state that the response handlers keep up to date).
#pragma once

#include <cstdint>

#include "containers/scalar_array.h"
#include "containers/str.h"
#include "platform/base/types.h"
#include "platform/kernel/critical_section.h"

class CFieldPos {
 public:
  char m_szShortName[8];
  char m_szRoad[12];
  char m_szMilepost[7];
  char m_szCoordinate1[12];
  char m_szCoordinate2[12];
  char m_chDirection;
  CStr<char, char16_t> m_strName;
  CStr<char, char16_t> m_strLocation;
  int32_t m_nRoute;

  CFieldPos();
  CFieldPos(const CFieldPos& other);
  CFieldPos& operator=(const CFieldPos& other);
  ~CFieldPos();

  // Normalises a road text ("sr 520 ramp" -> "SR 520 Ramp", "i5 n" -> "I-5N") into m_szRoad
  // (at most 11 characters) and takes the route number from its digits.
  void ParseRoadName(const char* text);

  // The device name as a C string; "" when it was never set.
  const char* NameText() const;
};

// Communication states.
enum : uint8_t {
  FIELD_COMM_DISABLED = 0,
  FIELD_COMM_ENABLED = 1,
  FIELD_COMM_ACTIVE = 2,
  FIELD_COMM_MARGINAL = 3,
  FIELD_COMM_FAILED = 4,
};

// Offsets of the firmware version and its class inside the device identity block.
constexpr int FIELD_IDENTITY_SIZE = 42;
constexpr int FIELD_IDENTITY_VERSION = 40;
constexpr int FIELD_IDENTITY_CLASS = 41;

class CFieldDeviceDB : public CFieldPos {
 public:
  mutable CCriticalSection m_cs;  // the record lock (re-entrant)
  uint16_t m_nNumber;
  char m_szPort[17];
  char m_szPhone[32];
  char m_szModemInit[16];
  char m_szAddress[64];
  char m_szExtraText[32];
  uint8_t m_nOption;
  uint16_t m_nDropAddress;
  uint8_t m_nSetupStep;
  uint8_t m_abOptionBytes[2];
  uint8_t m_nLinkType;
  uint32_t m_nBaudRate;
  uint8_t m_nDataBits;
  uint8_t m_nParity;
  uint8_t m_nStopBits;
  uint32_t m_nNetAddress;
  uint16_t m_nNetPort;
  uint16_t m_nLinkWord;
  uint8_t m_nErrorLimit;
  uint8_t m_nMissLimit;
  uint32_t m_nByteTime;
  uint32_t m_nReplyTimeout;
  uint8_t m_abIdentity[FIELD_IDENTITY_SIZE];
  uint16_t m_nRepliesShort;
  uint16_t m_anReplyCounters[3];
  uint16_t m_nRepliesTail;
  int8_t m_abErrorWindow[5];
  int8_t m_abSecondWindow[5];
  int8_t m_abMissWindow[5];
  uint32_t m_nRepliesTotal;
  uint16_t m_nErrorReplies;
  uint16_t m_nKind5Replies;
  uint16_t m_nMissedReplies;
  uint8_t m_nCommState;
  CScalarArray<void*> m_arrUserData;
  uint16_t m_anSpeedParams[5];

  // Kept by the response handlers: requests handed to the channel (two counters, both counted on
  // every "sent" notice) and a word cleared when the start-up sequence completes.
  uint32_t m_nPollsSent;
  uint32_t m_nPollsTotal;
  uint16_t m_nSetupWord;

  CFieldDeviceDB();
  CFieldDeviceDB(const CFieldDeviceDB& other);
  CFieldDeviceDB& operator=(const CFieldDeviceDB& other);
  virtual ~CFieldDeviceDB();

  void RecordError();
  void RecordGoodReply();
  void RecordGoodReplyKind5();
  // Takes the record lock (re-entrant), like the other counting operations.
  void RecordMissedReply();
  void SetSetupStep(uint8_t step);

  uint8_t FirmwareVersion() const { return m_abIdentity[FIELD_IDENTITY_VERSION]; }
  uint8_t VersionClass() const { return m_abIdentity[FIELD_IDENTITY_CLASS]; }

  // Sum of the five buckets of a history window.
  static int WindowSum(const int8_t* window);

 private:
  void CopyFields(const CFieldDeviceDB& other);
  void UpdateStateOnGoodReply();
};

// Holds a record's lock for the lifetime of the guard.
class CFieldRecordLock {
 public:
  explicit CFieldRecordLock(const CFieldDeviceDB& record);
  ~CFieldRecordLock();
  CFieldRecordLock(const CFieldRecordLock&) = delete;
  CFieldRecordLock& operator=(const CFieldRecordLock&) = delete;

 private:
  const CFieldDeviceDB& m_record;
};

// Stores one field of a record under the record's lock: the setters of the pending operations.
template <class T>
void FieldSetLocked(const CFieldDeviceDB& record, T& field, T value) {
  CFieldRecordLock lock(record);
  field = value;
}

// Copies a C string into a fixed character array, truncating and always ending with a NUL.
void FieldCopyText(char* dst, size_t dstSize, const char* src);
