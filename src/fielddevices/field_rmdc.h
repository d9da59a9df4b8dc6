// Ramp-meter data collector record: up to three meters with their parameter tables, four
// fuzzy-logic configurations, the time-of-day table, data-station parameters, the station table,
// the pending flags of the parameter and control requests, and the state its replies report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fielddevices/field_170.h"
#include "fielddevices/fuzzy_meter.h"

// A detector station of the owner's station list as the collector sees it: its name (the first
// 10 characters count) and, for a group, the type text "Stn" and its members.
struct CFieldStation {
  char m_szName[11] = {};
  char m_szType[8] = {};
  std::vector<CFieldStation*> m_arrMembers;
};

constexpr int RMDC_LOOP_SLOTS = 40;
constexpr int RMDC_STATION_ENTRIES = 24;
constexpr int RMDC_STATION_POINTERS = 48;
constexpr int RMDC_METERS = 3;

// One detector loop slot of the collector.
struct SRmdcLoopSlot {
  uint8_t m_bActive;
  uint8_t m_bDisabled;
  uint8_t m_bFlagged;  // marked in the flag table: the meter samples of its meter get bit 7
  uint8_t m_nState;
  void* m_pLoop;       // the owner's loop object, handed to the sample callbacks
};

class CFieldRMDCDB : public CField170DB {
 public:
  mutable CCriticalSection m_csData;
  uint8_t m_nRmdcByte;
  uint8_t m_abMeterState[80];
  uint8_t m_nMeterControl;
  CSysTime m_TimeCreated;
  uint8_t m_aMeterBlock[4][30];
  uint8_t m_abMeterParams[20][3];
  uint8_t m_abMeterInputs[4][20][4];
  uint8_t m_aTimeOfDay[32][4];
  uint8_t m_abStationParams[43];
  uint8_t m_abStationBlockA[48];
  uint8_t m_aStations[RMDC_STATION_ENTRIES][4];
  uint8_t m_abStationBlockB[30];
  uint8_t m_nMeterFlag;  // control mode: meter control and the extended data request only when 1
  uint8_t m_nLoopCount;
  uint8_t m_nStationCount;
  uint8_t m_abStationTimes[20];
  CFieldStation* m_apStations[RMDC_STATION_POINTERS];
  uint8_t m_abStationBlockC[52];
  CFuzzyMeterConfig m_aFuzzy[4];
  uint8_t m_abPendingData[4];
  uint8_t m_abDataBlockA[16 + 48 + 32];
  uint32_t m_nDataBlockValue;
  uint8_t m_nRmdcFlagA;
  char m_szRmdcText[128];
  uint8_t m_bPendingMeterParams;
  uint8_t m_bPendingTimeOfDay;
  uint8_t m_bPendingStationParams;
  uint8_t m_bPendingMeterControl;
  uint8_t m_abMeterLimits[4];
  char m_szMeterCodes[8];
  uint32_t m_anRmdcValues[2];
  char m_szRmdcName[20];
  uint16_t m_nRmdcWordA;
  uint16_t m_nRmdcWordB;
  CSysTime m_TimeChanged;
  uint8_t m_nRmdcByteB;

  // Kept by the decoders of the data and error replies.
  SRmdcLoopSlot m_aLoops[RMDC_LOOP_SLOTS];
  uint8_t m_abDatValue[RMDC_METERS];    // bytes 8-10 of the data reply
  uint8_t m_abDatState[RMDC_METERS];    // low nibbles of bytes 11-13 (13 = preemption)
  uint8_t m_abDatSecond[RMDC_METERS];   // high nibbles of bytes 11-13
  uint8_t m_bPreempted;                 // some meter reported state 13
  uint8_t m_nPreemptFlags;              // byte 17 of the error report
  uint8_t m_abErdValue[RMDC_METERS];    // five-bit values of the error report
  uint8_t m_abErdBlock[32];
  double m_dErdValue;

  CFieldRMDCDB();
  CFieldRMDCDB(const CFieldRMDCDB& other);
  CFieldRMDCDB& operator=(const CFieldRMDCDB& other);
  ~CFieldRMDCDB() override;

  // True when any pending-data byte is set: polls then use the extended forms.
  bool AnyPendingFlag() const;

  int GetDeviceType() const override { return FIELD_DEVICE_RMDC; }
  int GetPollCommand() const override { return AnyPendingFlag() ? 61 : 36; }
  uint32_t GetPollTime() const override;
  void BuildPollRequest(CStream& stream, uint8_t channelByte, uint8_t sequence) const override;
  int GetTextPollKind() const override { return 0; }
  int GetTextPollValue() const override { return AnyPendingFlag() ? 27 : 26; }
  uint32_t GetTextPollTime() const override { return (AnyPendingFlag() ? 514u : 508u) * m_nByteTime; }
  void BuildTextPollRequest(CStream& stream, uint16_t sequence, uint16_t argument = 0) const override;

  // Meters reported in the data reply (the station entries in use, at most the table size) and
  // the two loop indexes each meter's station entry holds.
  int MeterCount() const;
  void MeterLoops(int meter, uint8_t& loopA, uint8_t& loopB) const;

  int AddStation(uint8_t a, uint8_t b);
  int FindStationByNumber(uint8_t b) const;
  int FindStationPointer(const CFieldStation* p) const;
  void BuildMeterInputs(int meter);

  void WriteMeterBlock(int meter, uint8_t* out) const;     // 28 bytes
  void WriteMeterBlockExt(int meter, uint8_t* out) const;  // 31 bytes
  void WriteTimeOfDay(uint8_t* out) const;                 // 128 bytes
  void WriteStationParams(uint8_t* out) const;             // 115 bytes

  static int ParseClock(uint8_t& hour, uint8_t& minute, const char* text);
  static void ParseDayMask(uint8_t& mask, const char* text);

  void SetPendingMeterParams(uint8_t pending);
  void SetPendingTimeOfDay(uint8_t pending);
  void SetPendingStationParams(uint8_t pending);
  void SetPendingMeterControl(uint8_t pending);

 private:
  void CopyFields(const CFieldRMDCDB& other);
};
