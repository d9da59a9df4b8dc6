#include "app/select/archive_names.h"

#include <gtest/gtest.h>

namespace {

struct NameCase {
  const char* name;
  bool accepted;
  int year, month, day;  // expected date when accepted (0: not a calendar day)
};

void Check(bool (*parse)(const char*, COleDateTime&), const NameCase& c) {
  SCOPED_TRACE(c.name);
  COleDateTime date;
  ASSERT_EQ(parse(c.name, date), c.accepted);
  if (!c.accepted) return;
  if (c.year == 0) {
    EXPECT_EQ(date.GetStatus(), COleDateTime::invalid);
    return;
  }
  ASSERT_EQ(date.GetStatus(), COleDateTime::valid);
  EXPECT_EQ(date.GetYear(), c.year);
  EXPECT_EQ(date.GetMonth(), c.month);
  EXPECT_EQ(date.GetDay(), c.day);
  EXPECT_EQ(date.GetHour(), 0);
}

TEST(ArchiveNames, DatabaseDayFiles) {
  const NameCase cases[] = {
      {"19930601.DAT", true, 1993, 6, 1},
      {"19930601.dat", true, 1993, 6, 1},
      {"20001231.Dat", true, 2000, 12, 31},
      {"40001231.DAT", true, 4000, 12, 31},
      {"19950230.DAT", true, 0, 0, 0},  // in range, but no calendar day
      {"19920601.DAT", false, 0, 0, 0},
      {"40010101.DAT", false, 0, 0, 0},
      {"19931301.DAT", false, 0, 0, 0},
      {"19930001.DAT", false, 0, 0, 0},
      {"19930132.DAT", false, 0, 0, 0},
      {"19930100.DAT", false, 0, 0, 0},
      {"19930601.NTS", false, 0, 0, 0},
      {"19930601.DATX", false, 0, 0, 0},
      {"19930601DAT", false, 0, 0, 0},
      {"1995023.DAT", false, 0, 0, 0},
      {"1993AB01.DAT", false, 0, 0, 0},  // letters read as 0
      {"19930601", false, 0, 0, 0},
      {"1993061", false, 0, 0, 0},
      {"", false, 0, 0, 0},
      {"060193.VOL", false, 0, 0, 0},
  };
  for (const NameCase& c : cases) Check(DateFromFmdbName, c);
  COleDateTime date;
  EXPECT_FALSE(DateFromFmdbName(nullptr, date));
}

TEST(ArchiveNames, OlderVolumeAndOccupancyFiles) {
  const NameCase cases[] = {
      {"060193.VOL", true, 1993, 6, 1},
      {"060193.occ", true, 1993, 6, 1},
      {"123181.Vol", true, 1981, 12, 31},
      {"022989.OCC", true, 0, 0, 0},  // 1989 is no leap year
      {"060194.VOL", false, 0, 0, 0},
      {"060180.VOL", false, 0, 0, 0},
      {"130193.VOL", false, 0, 0, 0},
      {"003293.VOL", false, 0, 0, 0},
      {"000193.VOL", false, 0, 0, 0},
      {"060093.VOL", false, 0, 0, 0},
      {"063293.VOL", false, 0, 0, 0},
      {"060193.DAT", false, 0, 0, 0},
      {"060193.VOLX", false, 0, 0, 0},
      {"0601A3.VOL", false, 0, 0, 0},  // the year reads as 0
      {"06019.VOL", false, 0, 0, 0},
      {"060193", false, 0, 0, 0},
      {"19930601.DAT", false, 0, 0, 0},
  };
  for (const NameCase& c : cases) Check(DateFromPeName, c);
  COleDateTime date;
  EXPECT_FALSE(DateFromPeName(nullptr, date));
}

}  // namespace
