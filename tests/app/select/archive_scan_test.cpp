#include "app/select/archive_scan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/base/msgbox.h"
#include "app/select/select_fixture.h"

namespace {

std::vector<std::string> Texts(const CObjArray<CStrA>& years) {
  std::vector<std::string> out;
  for (int i = 0; i < years.m_nSize; ++i) out.emplace_back(years.m_pData[i]->m_pData);
  return out;
}

TEST(ArchiveScan, YearFoldersOnceEachInByteOrderWhateverTheirCase) {
  ArchiveFolder archive;
  for (const char* name : {"DATA1995", "data1993", "PE1993", "pe1988", "Data2001", "DATA19951", "PE93",
                           "README", "DATA"})
    archive.MakeFolder(name);
  archive.MakeFile("PE1990");  // files count as well
  CObjArray<CStrA> years;
  ScanYearFolders(archive.Root(), years);
  EXPECT_EQ(Texts(years), (std::vector<std::string>{"1988", "1990", "1993", "1995", "2001"}));
}

TEST(ArchiveScan, MissingRootListsNoYears) {
  CObjArray<CStrA> years;
  years.Add(CStrA("1999"));
  ScanYearFolders("/nonexistent/qav-archive\\", years);
  EXPECT_EQ(years.m_nSize, 0);
}

TEST(ArchiveScan, DaysOfAYearFromBothFoldersOfTheCutOverYear) {
  struct Case {
    int year;
    std::vector<std::string> expected;
  };
  ArchiveFolder archive;
  archive.MakeFiles("DATA1993", {"19930602.DAT", "19930601.dat", "19930230.DAT", "notes.txt",
                                 "19930603.NTS"});
  archive.MakeFiles("PE1993", {"052893.VOL", "052893.OCC", "052793.occ", "053293.VOL", "052894.VOL"});
  archive.MakeFiles("pe1992", {"123192.VOL", "123192.OCC"});
  archive.MakeFiles("DATA1994", {"19940105.DAT"});
  const Case cases[] = {
      {1993, {"05/27/1993", "05/28/1993", "06/01/1993", "06/02/1993"}},
      {1992, {"12/31/1992"}},
      {1994, {"01/05/1994"}},
      {1995, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.year);
    CYearDays days;
    ScanYearDays(archive.Root(), c.year, days);
    EXPECT_EQ(DateTexts(days.dates), c.expected);
  }
}

TEST(ArchiveScan, MonthAndWeekdayFlagsComeFromCalendarDaysOnly) {
  ArchiveFolder archive;
  // 1995-02-30 is no day; 1995-03-01 is a Wednesday, 1995-03-05 a Sunday.
  archive.MakeFiles("DATA1995", {"19950230.DAT", "19950301.DAT", "19950305.DAT"});
  CYearDays days;
  ScanYearDays(archive.Root(), 1995, days);
  for (int m = 1; m <= 12; ++m) EXPECT_EQ(days.month[m], m == 3) << m;
  for (int d = 1; d <= 7; ++d) EXPECT_EQ(days.weekday[d], d == 1 || d == 4) << d;
}

TEST(ArchiveScan, RepeatedDiscPassesListEachDayOnceAndAskWithTheMonthsFound) {
  ArchiveFolder archive;
  archive.MakeFiles("DATA1996", {"19960105.DAT", "19961231.DAT"});
  CYearDays days;
  std::vector<std::string> asked;
  ScanYearDaysWithPrompt(archive.Root(), 1996, days, [&](const char* text) {
    asked.emplace_back(text);
    if (asked.size() == 2) archive.MakeFiles("DATA1996", {"19960704.DAT"});  // another disc
    return asked.size() < 3 ? IDYES : IDNO;
  });
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[0],
            "If more data discs for 1996 are available, insert and press YES.  Otherwise, press NO.\n\n"
            "    JAN    n/a    n/a    n/a    n/a    n/a    n/a    n/a    n/a    n/a    n/a    DEC");
  EXPECT_NE(asked[2].find("    JUL"), std::string::npos);
  EXPECT_EQ(DateTexts(days.dates), (std::vector<std::string>{"01/05/1996", "07/04/1996", "12/31/1996"}));
}

}  // namespace
