#include "app/classic/validity_settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include <unistd.h>

#include "app/shell/profile_store.h"
#include "platform/app/profile.h"

namespace {

class ValidityProfile : public ::testing::Test {
 protected:
  void SetUp() override {
    // Tests run in parallel processes: a file of each test's own.
    path = ::testing::TempDir() + "validity_profile_" + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
           "_" + std::to_string(::getpid()) + ".ini";
    std::remove(path.c_str());
  }
  void TearDown() override { std::remove(path.c_str()); }
  std::string path;
};

TEST_F(ValidityProfile, FreshProfileGivesDefaultsAndWritesEveryKey) {
  {
    CProfile file(path);
    CFileProfileStore p(file);
    for (int k = 0; k < SK_COUNT; ++k) {
      SPeriodValidity r = ReadPeriodValidity(p, k, BuiltInPeriodValidity(k));
      for (int i = 0; i < VV_COUNT; ++i) EXPECT_EQ(r.v[i], BuiltInPeriodValidity(k).v[i]);
      EXPECT_TRUE(WritePeriodValidity(p, k, r));
    }
    SMultiValidity m = ReadMultiValidity(p);
    EXPECT_EQ(m.v[MV_ASWT_INVALID], 0);
    EXPECT_EQ(m.v[MV_YEARLY_INVALID], 1);
    EXPECT_TRUE(WriteMultiValidity(p, m));
  }
  CProfile back(path);
  EXPECT_EQ(back.GetProfileInt("DAILY", "TOTAL_MIN_G", -1), 264u);
  EXPECT_EQ(back.GetProfileInt("PM_PEAK", "TOTAL_MIN_G", -1), 44u);
  EXPECT_EQ(back.GetProfileInt("AM_PEAK_HOUR", "RUNNING", -1), 0u);
  EXPECT_EQ(back.GetProfileInt("MULTI", "MONTHLY_MISSING", -1), 1u);
}

TEST_F(ValidityProfile, StoredValuesAreReadWith16BitFields) {
  {
    std::ofstream out(path);
    out << "[AM_PEAK]\nRUNNING_MIN_G=65537\nRUNNING_STEP=65538\nTOTAL_MAX_S=-3\nRUNNING=7\n[MULTI]\nAADT_INVALID=6\n";
  }
  CProfile file(path);
  CFileProfileStore p(file);
  SPeriodValidity r = ReadPeriodValidity(p, SK_AM_PEAK, BuiltInPeriodValidity(SK_AM_PEAK));
  EXPECT_EQ(r.v[VV_RUNNING_MIN_G], 1);
  EXPECT_EQ(r.v[VV_RUNNING_STEP], 2);
  EXPECT_EQ(r.v[VV_TOTAL_MAX_S], -3);
  EXPECT_EQ(r.v[VV_RUNNING], 7);
  EXPECT_EQ(r.v[VV_TOTAL_MIN_G], 33);
  EXPECT_EQ(ReadMultiValidity(p).v[MV_AADT_INVALID], 6);
  ValidityTables t = ToValidityTables(g_PeriodValidity);
  EXPECT_EQ(t[SK_DAILY].totMinG, 264);
}

TEST(ValidityRanges, ByKind) {
  int lo = 0, hi = 0;
  ValidityRange(SK_AM_PEAK_HOUR, VV_RUNNING_STEP, lo, hi);
  EXPECT_EQ(lo, 1);
  EXPECT_EQ(hi, 12);
  ValidityRange(SK_DAILY, VV_TOTAL_MAX_D, lo, hi);
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, 288);
  ValidityRange(SK_DAILY, VV_RUNNING_MIN_G, lo, hi);  // the first count after the three flags
  EXPECT_EQ(hi, 288);
  ValidityRange(SK_DAILY, VV_RUNNING_MIN_G - 1, lo, hi);
  EXPECT_EQ(hi, 1);
}

}  // namespace
