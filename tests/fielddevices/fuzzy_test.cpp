// The fuzzy-logic metering rate against hand-computed values (exact in 32-bit floats).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "fielddevices/fuzzy_meter.h"

namespace {

SFuzzySetParams Shape(float min, float max) {
  return {min, max, {0.25f, 0.5f, 0.75f}, 0.25f, {0.25f, 0.25f, 0.25f}, 0.25f};
}

void Prepare(CFuzzyMeterConfig& c, float x0) {
  for (auto& p : c.m_aInputParams) p = Shape(0, 100);
  c.m_OutputParams = Shape(200, 900);
  for (float& w : c.m_afRuleWeight) w = 1;
  const float rest[7] = {50, 0, 50, 87.5f, 50, 50, 50};
  c.m_afInput[0] = x0;
  for (int i = 0; i < 7; ++i) c.m_afInput[i + 1] = rest[i];
}

}  // namespace

TEST(FuzzyMeter, HandComputedRates) {
  struct Case {
    const char* what;
    std::function<void(CFuzzyMeterConfig&)> setup;
    float rate;
  } cases[] = {
      {"A", [](CFuzzyMeterConfig& c) { Prepare(c, 62.5f); }, 462.5f},
      {"B", [](CFuzzyMeterConfig& c) { Prepare(c, 0); }, 900},
      {"C", [](CFuzzyMeterConfig& c) { Prepare(c, 100); }, 200},
      {"C above the range", [](CFuzzyMeterConfig& c) { Prepare(c, 150); }, 200},
      {"B below the range", [](CFuzzyMeterConfig& c) { Prepare(c, -20); }, 900},
      {"D", [](CFuzzyMeterConfig& c) { Prepare(c, 62.5f); c.m_afRuleWeight[1] = 3; }, 418.75f},
      {"E", [](CFuzzyMeterConfig& c) { Prepare(c, 100); c.m_afInput[1] = 12.5f; }, 270},
      {"F", [](CFuzzyMeterConfig& c) { Prepare(c, 50); for (float& x : c.m_afInput) x = 50; }, 550},
      {"G", [](CFuzzyMeterConfig& c) { Prepare(c, 62.5f); for (float& w : c.m_afRuleWeight) w = 0; }, 200},
  };
  for (const Case& c : cases) {
    CFuzzyMeterConfig cfg;
    c.setup(cfg);
    const float rate = cfg.ComputeMeteringRate();
    EXPECT_EQ(c.rate, rate) << c.what;
  }

  CFuzzyMeterConfig a;
  Prepare(a, 62.5f);
  a.ComputeMeteringRate();
  const float m0[5] = {0, 0, 0.5f, 0.5f, 0};
  EXPECT_EQ(0, std::memcmp(m0, a.m_afMembership[0], sizeof m0));
  EXPECT_EQ(0.5f, a.m_afRuleStrength[1]);
  EXPECT_EQ(0.5f, a.m_afRuleStrength[2]);

  CFuzzyMeterConfig e;
  Prepare(e, 100);
  e.m_afInput[1] = 12.5f;
  e.ComputeMeteringRate();
  EXPECT_EQ(1.5f, e.m_afOutputStrength[0]);
  EXPECT_EQ(0.5f, e.m_afOutputStrength[1]);
}

TEST(FuzzyMeter, EdgesNeverGiveNaN) {
  CFuzzyMeterConfig c;
  Prepare(c, 0);
  c.m_aInputParams[0].m_fLowWidth = 0;
  c.FuzzifyInputs();
  EXPECT_EQ(0.0f, c.m_afMembership[0][0]);

  // A zero range or a default (all-zero) configuration gives the output minimum.
  CFuzzyMeterConfig z;
  EXPECT_EQ(0.0f, z.ComputeMeteringRate());
  Prepare(z, 50);
  z.m_aInputParams[0].m_fMax = 0;
  z.m_aInputParams[0].m_fMin = 0;
  const float r = z.ComputeMeteringRate();
  EXPECT_FALSE(std::isnan(r));
}

TEST(FuzzyMeter, CopiesAreDeepAndClearEmpties) {
  CFuzzyMeterConfig c;
  Prepare(c, 62.5f);
  std::strcpy(c.m_szName, "Local cfg");
  CFuzzyMeterStn s;
  s.m_nKey = 42;
  s.m_nByte = 7;
  SFuzzyMeterSample sample = {{1, 2, 3, 4, 5, 6}};
  s.Add(&sample);
  c.m_aInputs[2].Add(s);

  CFuzzyMeterConfig d(c);
  ASSERT_EQ(1, d.m_aInputs[2].m_nSize);
  EXPECT_NE(d.m_aInputs[2].m_pData[0], c.m_aInputs[2].m_pData[0]);
  EXPECT_EQ(42u, d.m_aInputs[2].m_pData[0]->m_nKey);
  EXPECT_EQ(7, d.m_aInputs[2].m_pData[0]->m_nByte);
  ASSERT_EQ(1, d.m_aInputs[2].m_pData[0]->m_nSize);
  EXPECT_EQ(6, d.m_aInputs[2].m_pData[0]->m_pData[0].m_abData[5]);
  EXPECT_EQ(c.ComputeMeteringRate(), d.ComputeMeteringRate());

  CFuzzyMeterConfig e;
  e = c;
  e = e;
  EXPECT_STREQ("Local cfg", e.m_szName);
  e.Clear();
  EXPECT_EQ(0, e.m_aInputs[2].m_nSize);
  EXPECT_STREQ("", e.m_szName);
  EXPECT_EQ(0.0f, e.m_afRuleWeight[0]);
  EXPECT_EQ(1, c.m_aInputs[2].m_nSize);

  // Station entries order by their key; samples by their first byte.
  CFuzzyMeterStn lo, hi;
  lo.m_nKey = 1;
  hi.m_nKey = 0xFFFFFFFFFFFFFFFFull;
  EXPECT_TRUE(lo < hi);
  EXPECT_LT(lo.Compare(hi), 0);
  SFuzzyMeterSample a = {{1, 9}}, b = {{1, 0}};
  EXPECT_TRUE(a == b);
}
