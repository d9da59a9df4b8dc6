// CStationData: multi-day lines and the day copies it owns.
#include <gtest/gtest.h>

#include "element_kind_fixtures.h"
#include "trafficdata/date_time_ex.h"
#include "trafficdata/station_data.h"

using fixtures::Text;

TEST(StationData, MultiDayLines) {
  CDateTimeEx mon1(2004, 1, 5), mon2(2004, 1, 12), tue(2004, 1, 6);
  CStationData data(3, nullptr, 0);
  // Monday 1: every period good; volume 10, occupancy 10.0 %; Tuesday likewise.
  fixtures::LoadStation5(*data.StationDay(0), fixtures::StationPeriods({1, 15, 100, 10, 2}));
  fixtures::LoadStation5(*data.StationDay(2), fixtures::StationPeriods({1, 15, 100, 10, 2}));
  ClassicSettings s;
  s.multiDates = {&mon1, &mon2, &tue};
  CText text;
  data.WriteMonthlyLine(text, SK_DAILY, 1, 2, s);
  data.WriteMonthlyLine(text, SK_AM_PEAK_HOUR, 1, 2, s);
  s.multiFormat = 1;
  data.WriteMonthlyLine(text, SK_PM_PEAK_HOUR, 1, 2, s);
  EXPECT_EQ("     Daily      VAL     2880  10.0%     288      0      0     1   0   1\n"
            "     AM Pk Hour VAL      120  10.0%      12      0      0     1   0   1 (11:00--12:00)\n"
            "\tPM Pk Hour\tVAL\t     120\t 10.0%\t    12\t     0\t     0\t 1\t 0\t 1\t23:00\t24:00\n",
            Text(text));

  // A month whose only Monday is missing has no valid day: INV with zeros and Mis 1.
  CStationData missing(1, nullptr, 0);
  ClassicSettings m;
  m.multiDates = {&mon1};
  CText t2;
  missing.WriteMonthlyLine(t2, SK_DAILY, 1, 2, m);
  missing.WriteYearlyLine(t2, SK_DAILY, 2, m);
  EXPECT_EQ("     Daily      INV        0   0.0%       0      0      0     0   0   1\n"
            "     Daily      INV        0   0.0%       0      0      0     0  12   0\n",
            Text(t2));

  CText h;
  data.WriteMultiDayTitle(h, 0);
  data.WriteMultiDayHeader(h, 0);
  EXPECT_EQ("     ---Multi-Day Station Summary Report---\n\n"
            "     Summary   Valid     Vol   Occ        G      S      B   Val Inv Mis\n"
            "     ------------------------------------------------------------------\n",
            Text(h));
}

TEST(StationData, CopiesOwnTheirDays) {
  CStationData data(2, nullptr, 4);
  fixtures::LoadStation5(*data.StationDay(0), fixtures::StationPeriods({1, 15, 100, 10, 2}));
  CElementData* copy = nullptr;
  data.Clone(&copy);
  ASSERT_NE(nullptr, copy);
  auto* s = static_cast<CStationData*>(copy);
  EXPECT_EQ(4, s->ordinal);
  ASSERT_NE(data.StationDay(0), s->StationDay(0));
  EXPECT_EQ(288, s->StationDay(0)->laneCount.m_nSize);
  data.StationDay(0)->Clear();
  EXPECT_EQ(1, s->StationDay(0)->dataAvailable);
  delete copy;
}
