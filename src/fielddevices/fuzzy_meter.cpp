#include "fielddevices/fuzzy_meter.h"

#include <cmath>
#include <cstring>

const char* const FuzzyStationListNames[FUZZY_STATION_LIST_COUNT] = {
    "Local", "Downstream", "Upstream", "Queue", "Adv Queue", "HOV Bypass", "Merge"};

CFuzzyMeterStn::CFuzzyMeterStn(const CFuzzyMeterStn& other)
    : CScalarArray<SFuzzyMeterSample>(other), m_nKey(other.m_nKey), m_nByte(other.m_nByte) {}

CFuzzyMeterStn& CFuzzyMeterStn::operator=(const CFuzzyMeterStn& other) {
  if (this == &other) return *this;
  CScalarArray<SFuzzyMeterSample>::operator=(other);
  m_nKey = other.m_nKey;
  m_nByte = other.m_nByte;
  return *this;
}

CFuzzyMeterInput::CFuzzyMeterInput(const CFuzzyMeterInput& other) : CObjArray<CFuzzyMeterStn>() {
  CObjArray<CFuzzyMeterStn>::Copy(other);
}

CFuzzyMeterInput& CFuzzyMeterInput::operator=(const CFuzzyMeterInput& other) {
  if (this != &other) CObjArray<CFuzzyMeterStn>::Copy(other);
  return *this;
}

namespace {

// One rule: strength = M(a, sa), or min(M(a, sa), M(b, sb)) when b >= 0; it feeds output set `out`.
struct SFuzzyRule {
  int8_t a, sa, b, sb, out;
};

constexpr SFuzzyRule kRules[FUZZY_RULE_COUNT] = {
    {0, 4, -1, 0, 0}, {0, 3, -1, 0, 1}, {0, 2, -1, 0, 2}, {0, 1, -1, 0, 3}, {0, 0, -1, 0, 4},
    {1, 0, 0, 4, 0},  {1, 1, -1, 0, 1}, {1, 3, -1, 0, 3}, {1, 4, 0, 0, 4},  {4, 2, -1, 0, 2},
    {4, 1, -1, 0, 3}, {4, 0, -1, 0, 4}, {2, 4, 3, 0, 0},  {2, 3, 3, 1, 1},  {2, 2, 3, 2, 2},
    {5, 4, -1, 0, 4}, {6, 4, -1, 0, 4}, {7, 4, -1, 0, 0},
};

}  // namespace

CFuzzyMeterConfig::CFuzzyMeterConfig() { ZeroValues(); }

CFuzzyMeterConfig::CFuzzyMeterConfig(const CFuzzyMeterConfig& other) {
  CopyValues(other);
  for (int i = 0; i < FUZZY_STATION_LIST_COUNT; ++i) m_aInputs[i] = other.m_aInputs[i];
}

CFuzzyMeterConfig& CFuzzyMeterConfig::operator=(const CFuzzyMeterConfig& other) {
  if (this == &other) return *this;
  CopyValues(other);
  for (int i = 0; i < FUZZY_STATION_LIST_COUNT; ++i) m_aInputs[i] = other.m_aInputs[i];
  return *this;
}

void CFuzzyMeterConfig::ZeroValues() {
  std::memset(m_szName, 0, sizeof(m_szName));
  std::memset(m_aInputParams, 0, sizeof(m_aInputParams));
  std::memset(&m_OutputParams, 0, sizeof(m_OutputParams));
  std::memset(m_afInput, 0, sizeof(m_afInput));
  std::memset(m_afMembership, 0, sizeof(m_afMembership));
  std::memset(m_afRuleStrength, 0, sizeof(m_afRuleStrength));
  std::memset(m_afRuleWeight, 0, sizeof(m_afRuleWeight));
  std::memset(m_afOutputStrength, 0, sizeof(m_afOutputStrength));
  m_nValue1 = 0;
  m_nValue2 = 0;
}

void CFuzzyMeterConfig::CopyValues(const CFuzzyMeterConfig& other) {
  std::memcpy(m_szName, other.m_szName, sizeof(m_szName));
  m_szName[sizeof(m_szName) - 1] = '\0';
  std::memcpy(m_aInputParams, other.m_aInputParams, sizeof(m_aInputParams));
  m_OutputParams = other.m_OutputParams;
  std::memcpy(m_afInput, other.m_afInput, sizeof(m_afInput));
  std::memcpy(m_afMembership, other.m_afMembership, sizeof(m_afMembership));
  std::memcpy(m_afRuleStrength, other.m_afRuleStrength, sizeof(m_afRuleStrength));
  std::memcpy(m_afRuleWeight, other.m_afRuleWeight, sizeof(m_afRuleWeight));
  std::memcpy(m_afOutputStrength, other.m_afOutputStrength, sizeof(m_afOutputStrength));
  m_nValue1 = other.m_nValue1;
  m_nValue2 = other.m_nValue2;
}

void CFuzzyMeterConfig::Clear() {
  for (int i = 0; i < FUZZY_STATION_LIST_COUNT; ++i) m_aInputs[i].RemoveAll();
  ZeroValues();
}

float CFuzzyMeterConfig::ComputeMeteringRate() {
  FuzzifyInputs();
  EvaluateRules();
  return Defuzzify();
}

void CFuzzyMeterConfig::FuzzifyInputs() {
  for (int i = 0; i < FUZZY_INPUT_COUNT; ++i) {
    const SFuzzySetParams& p = m_aInputParams[i];
    float* m = m_afMembership[i];
    // A zero range gives an infinite or undefined u; every comparison below then fails for an
    // undefined u, so the input simply has no membership.
    const float u = (m_afInput[i] - p.m_fMin) / (p.m_fMax - p.m_fMin);

    const float wl = p.m_fLowWidth;
    if (u < 0.0f) {
      m[0] = 1.0f;
    } else if (u >= 0.0f && u < wl) {
      m[0] = (wl - u) / wl;
    } else {
      m[0] = 0.0f;
    }

    for (int k = 1; k <= 3; ++k) {
      const float c = p.m_afCentre[k - 1];
      const float h = p.m_afHalfWidth[k - 1];
      if (c - h < u && u < c) {
        m[k] = (u - (c - h)) / h;
      } else if (c <= u && u < c + h) {
        m[k] = (c + h - u) / h;
      } else {
        m[k] = 0.0f;
      }
    }

    const float wh = p.m_fHighWidth;
    if (u > 1.0f) {
      m[4] = 1.0f;
    } else if (1.0f - wh < u && u <= 1.0f) {
      m[4] = (u - (1.0f - wh)) / wh;
    } else {
      m[4] = 0.0f;
    }
  }
}

void CFuzzyMeterConfig::EvaluateRules() {
  for (float& s : m_afOutputStrength) s = 0.0f;
  for (int r = 0; r < FUZZY_RULE_COUNT; ++r) {
    const SFuzzyRule& rule = kRules[r];
    float s = m_afMembership[rule.a][rule.sa];
    if (rule.b >= 0) {
      const float t = m_afMembership[rule.b][rule.sb];
      if (t < s) s = t;
    }
    m_afRuleStrength[r] = s;
    m_afOutputStrength[rule.out] += s * m_afRuleWeight[r];
  }
}

float CFuzzyMeterConfig::Defuzzify() {
  const SFuzzySetParams& q = m_OutputParams;
  float area[FUZZY_SET_COUNT];
  float centre[FUZZY_SET_COUNT];
  area[0] = q.m_fLowWidth * 0.5f;
  centre[0] = 0.0f;
  for (int k = 1; k <= 3; ++k) {
    area[k] = q.m_afHalfWidth[k - 1];
    centre[k] = q.m_afCentre[k - 1];
  }
  area[4] = q.m_fHighWidth * 0.5f;
  centre[4] = 1.0f;

  float num = 0.0f;
  float den = 0.0f;
  for (int k = 0; k < FUZZY_SET_COUNT; ++k) {
    const float weighted = m_afOutputStrength[k] * area[k];
    num += weighted * centre[k];
    den += weighted;
  }
  if (den == 0.0f) return q.m_fMin;
  const float u = num / den;
  if (!std::isfinite(u)) return q.m_fMin;
  return q.m_fMin + (q.m_fMax - q.m_fMin) * u;
}
