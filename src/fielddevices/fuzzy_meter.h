// Fuzzy-logic metering rate of a ramp meter: eight normalised inputs, five fuzzy sets each,
// eighteen fixed rules combined with the minimum operator into five output sets, and a centroid
// that is scaled back to the metering-rate range. Also the station lists whose samples feed the
// inputs.
#pragma once

#include <cstdint>

#include "containers/obj_array.h"
#include "containers/scalar_array.h"
#include "support/thread_access.h"

// One sample of a station entry; copied as a whole. Ordered and matched by its first byte.
struct SFuzzyMeterSample {
  uint8_t m_abData[6];

  bool operator==(const SFuzzyMeterSample& o) const { return m_abData[0] == o.m_abData[0]; }
  bool operator<(const SFuzzyMeterSample& o) const { return m_abData[0] < o.m_abData[0]; }
};
static_assert(sizeof(SFuzzyMeterSample) == 6);

// Station entry of a fuzzy-logic input: its samples, the station it refers to (the key) and a byte.
// Entries are ordered and matched by the key as an unsigned value.
class CFuzzyMeterStn : public CScalarArray<SFuzzyMeterSample> {
 public:
  uint64_t m_nKey = 0;
  uint8_t m_nByte = 0;

  CFuzzyMeterStn() = default;
  CFuzzyMeterStn(const CFuzzyMeterStn& other);
  CFuzzyMeterStn& operator=(const CFuzzyMeterStn& other);

  bool operator==(const CFuzzyMeterStn& o) const { return m_nKey == o.m_nKey; }
  bool operator<(const CFuzzyMeterStn& o) const { return m_nKey < o.m_nKey; }
  int Compare(const CFuzzyMeterStn& o) const { return m_nKey < o.m_nKey ? -1 : (m_nKey > o.m_nKey ? 1 : 0); }
};

// Station list of one input kind, with its own shared/exclusive lock for the owner's use.
class CFuzzyMeterInput : public CObjArray<CFuzzyMeterStn> {
 public:
  CThreadAccessControl m_Access;

  CFuzzyMeterInput() = default;
  // A copy holds deep copies of the entries and a lock of its own.
  CFuzzyMeterInput(const CFuzzyMeterInput& other);
  CFuzzyMeterInput& operator=(const CFuzzyMeterInput& other);
};

struct SFuzzySetParams {
  float m_fMin;
  float m_fMax;
  float m_afCentre[3];
  float m_fLowWidth;
  float m_afHalfWidth[3];
  float m_fHighWidth;
};

constexpr int FUZZY_INPUT_COUNT = 8;
constexpr int FUZZY_SET_COUNT = 5;
constexpr int FUZZY_RULE_COUNT = 18;
constexpr int FUZZY_STATION_LIST_COUNT = 7;

// Names of the seven station lists, in index order.
extern const char* const FuzzyStationListNames[FUZZY_STATION_LIST_COUNT];

class CFuzzyMeterConfig {
 public:
  char m_szName[20];
  SFuzzySetParams m_aInputParams[FUZZY_INPUT_COUNT];
  SFuzzySetParams m_OutputParams;
  float m_afInput[FUZZY_INPUT_COUNT];
  float m_afMembership[FUZZY_INPUT_COUNT][FUZZY_SET_COUNT];
  float m_afRuleStrength[FUZZY_RULE_COUNT];
  float m_afRuleWeight[FUZZY_RULE_COUNT];
  float m_afOutputStrength[FUZZY_SET_COUNT];
  uint16_t m_nValue1;
  uint8_t m_nValue2;
  CFuzzyMeterInput m_aInputs[FUZZY_STATION_LIST_COUNT];

  CFuzzyMeterConfig();
  CFuzzyMeterConfig(const CFuzzyMeterConfig& other);
  CFuzzyMeterConfig& operator=(const CFuzzyMeterConfig& other);

  // Empties the station lists and zeroes everything else.
  void Clear();

  // Fuzzifies m_afInput, evaluates the rules and returns the defuzzified rate.
  float ComputeMeteringRate();

  void FuzzifyInputs();
  void EvaluateRules();
  // The centroid scaled to the output range. When no output set carries any weight (no rule
  // fired, or only sets of zero area) the centroid is undefined and the output minimum is returned.
  float Defuzzify();

 private:
  void CopyValues(const CFuzzyMeterConfig& other);
  void ZeroValues();
};
