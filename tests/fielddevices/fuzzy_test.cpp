// The fuzzy-logic metering rate against hand-computed values (exact in 32-bit floats).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

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

namespace {
// Every input and the output: range 0 to 1, and five sets that do not overlap: the low shoulder
// below 0.1, triangles about 0.25, 0.5 and 0.75 of half-width 0.1, the high shoulder above 0.9.
// An input of 0.375 lies in none of them.
SFuzzySetParams Apart(float min, float max) { return {min, max, {0.25f, 0.5f, 0.75f}, 0.1f, {0.1f, 0.1f, 0.1f}, 0.1f}; }
constexpr float kNowhere = 0.375f;

// The input value whose membership in `set` is `m` (on the rising edge of a triangle).
float InputIn(int set, float m) {
  if (set == 0) return 0.1f * (1 - m);
  if (set == 4) return 0.9f + 0.1f * m;
  return 0.25f * static_cast<float>(set) - 0.1f + 0.1f * m;
}
}  // namespace

TEST(FuzzyMeter, EachRuleFeedsItsOwnSetWithTheSmallerOfItsMemberships) {
  struct Membership {
    int input, set;
    float m;
  };
  struct Fired {
    int rule;
    float strength;
  };
  // The rule table: which memberships make a rule fire, and the one output set it feeds. Rules 5
  // and 8 share a membership with rules 0 and 4, which fire with them into the same set.
  const struct {
    const char* what;
    std::vector<Membership> in;
    std::vector<Fired> fired;
    int set;
  } cases[] = {
      {"rule 0", {{0, 4, 0.5f}}, {{0, 0.5f}}, 0},
      {"rule 1", {{0, 3, 0.5f}}, {{1, 0.5f}}, 1},
      {"rule 2", {{0, 2, 0.5f}}, {{2, 0.5f}}, 2},
      {"rule 3", {{0, 1, 0.5f}}, {{3, 0.5f}}, 3},
      {"rule 4", {{0, 0, 0.5f}}, {{4, 0.5f}}, 4},
      {"rule 5, with rule 0", {{1, 0, 0.5f}, {0, 4, 0.75f}}, {{5, 0.5f}, {0, 0.75f}}, 0},
      {"rule 6", {{1, 1, 0.5f}}, {{6, 0.5f}}, 1},
      {"rule 7", {{1, 3, 0.5f}}, {{7, 0.5f}}, 3},
      {"rule 8, with rule 4", {{1, 4, 0.5f}, {0, 0, 0.75f}}, {{8, 0.5f}, {4, 0.75f}}, 4},
      {"rule 9", {{4, 2, 0.5f}}, {{9, 0.5f}}, 2},
      {"rule 10", {{4, 1, 0.5f}}, {{10, 0.5f}}, 3},
      {"rule 11", {{4, 0, 0.5f}}, {{11, 0.5f}}, 4},
      {"rule 12", {{2, 4, 0.75f}, {3, 0, 0.5f}}, {{12, 0.5f}}, 0},
      {"rule 13", {{2, 3, 0.5f}, {3, 1, 0.75f}}, {{13, 0.5f}}, 1},
      {"rule 14", {{2, 2, 0.75f}, {3, 2, 0.5f}}, {{14, 0.5f}}, 2},
      {"rule 15", {{5, 4, 0.5f}}, {{15, 0.5f}}, 4},
      {"rule 16", {{6, 4, 0.5f}}, {{16, 0.5f}}, 4},
      {"rule 17", {{7, 4, 0.5f}}, {{17, 0.5f}}, 0},
      {"rules 15 and 16 in one set", {{5, 4, 0.5f}, {6, 4, 0.75f}}, {{15, 0.5f}, {16, 0.75f}}, 4},
  };
  // A set alone gives the rate at its centre: 0, 0.25, 0.5, 0.75 or 1 of the range 100 to 500.
  const float rateOfSet[FUZZY_SET_COUNT] = {100, 200, 300, 400, 500};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CFuzzyMeterConfig cfg;
    for (auto& p : cfg.m_aInputParams) p = Apart(0, 1);
    cfg.m_OutputParams = Apart(100, 500);
    for (int r = 0; r < FUZZY_RULE_COUNT; ++r) cfg.m_afRuleWeight[r] = static_cast<float>(r + 1);
    for (float& x : cfg.m_afInput) x = kNowhere;
    for (const Membership& m : c.in) cfg.m_afInput[m.input] = InputIn(m.set, m.m);
    const float rate = cfg.ComputeMeteringRate();
    float strength[FUZZY_RULE_COUNT] = {};
    float feeds = 0;
    for (const Fired& f : c.fired) {
      strength[f.rule] = f.strength;
      feeds += f.strength * static_cast<float>(f.rule + 1);
    }
    for (int r = 0; r < FUZZY_RULE_COUNT; ++r) EXPECT_NEAR(cfg.m_afRuleStrength[r], strength[r], 1e-5) << "rule " << r;
    for (int k = 0; k < FUZZY_SET_COUNT; ++k)
      EXPECT_NEAR(cfg.m_afOutputStrength[k], k == c.set ? feeds : 0.0f, 1e-4) << "set " << k;
    EXPECT_NEAR(rate, rateOfSet[c.set], 1e-3);
  }
}
