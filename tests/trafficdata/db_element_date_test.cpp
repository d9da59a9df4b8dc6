// Detector records (element order, roadway texts, cabinets) and dates.
#include <gtest/gtest.h>

#include <string>

#include "trafficdata/date_time_ex.h"
#include "trafficdata/db_element.h"

namespace {

TEST(DBElement, Order) {
  struct Case {
    const char *a, *b;
    int result;
  };
  const Case cases[] = {
      {"_MN___1", "_MS___1", -1},
      {"AMS___1", "_MS___1", 1},   // a first 'A' sorts last
      {"_MS___1", "AMN___1", -1},
      {"MMS___1", "_MS___1", -1},  // first letter compared last, signed: 'M' < '_'
      {"_MS___1", "_MS___1", 0},
      {"_MS_X_2", "_MS___1", -1},  // location decides before lane number
      {"_MS", "_MS___1", -1},      // short names are zero-filled
  };
  for (const Case& c : cases) {
    CDBElement a(c.a), b(c.b);
    EXPECT_EQ(a.Compare(b), c.result) << c.a << " " << c.b;
    EXPECT_EQ(b.Compare(a), -c.result) << c.a << " " << c.b;
  }
  CDBElement high("_MS\xE9__1"), low("_MS___1");  // a byte above 127 is negative as signed
  EXPECT_LT(high.Compare(low), 0);
  CDBElement longName("_MS___123");
  EXPECT_STREQ(longName.name, "_MS___1");
}

TEST(DBElement, RoadwayTexts) {
  struct Case {
    const char* text;
    const char* name;
    int route;
  };
  const Case cases[] = {
      {"sr520", "SR 520", 520},       {"I90", "I-90", 90},          {"I-90", "I-90", 90},
      {"us 2 b", "US 2B", 2},         {"I-5 express", "I-5 Express", 5}, {"ramp", "ramp", 0},
      {"SR 99 reversible", "SR 99 Rever", 99},
      {"99999999999999", "99999999999", INT32_MAX},
  };
  for (const Case& c : cases) {
    CDBRoadway r(c.text);
    EXPECT_STREQ(r.name, c.name) << c.text;
    EXPECT_EQ(r.route, c.route) << c.text;
  }
  CDBRoadway a("I-5"), b("i-5");
  EXPECT_EQ(a.Compare(b), 0);
}

TEST(DBElement, CabinetAndElementRecords) {
  CDBRoadway road("I-5");
  CDBCabinet cab("005es165201X", "ABCDEFGHI", 1234, "A very long location text", &road);
  EXPECT_STREQ(cab.id, "005es16520");
  EXPECT_STREQ(cab.alias, "ABCDEFG");
  EXPECT_STREQ(cab.location, "A very long loca");
  CDBElementEx e("_MS___1", ET_LOOP, &cab), none;
  EXPECT_TRUE(e.IsValid());
  EXPECT_FALSE(none.IsValid());
  EXPECT_EQ(none.type, ET_NONE);
  CDBCabinet other("005es16000", "", 0, "", nullptr);
  CDBElementEx f("_MN___1", ET_LOOP, &other);
  EXPECT_GT(e.Compare(f), 0);  // the cabinet id decides first
  EXPECT_STREQ(f.RoadwayName(), "");
  e.Clear();
  EXPECT_FALSE(e.IsValid());
  // Each part is needed: name, cabinet and kind.
  EXPECT_FALSE(CDBElementEx("", ET_LOOP, &cab).IsValid());
  EXPECT_FALSE(CDBElementEx("_MS___1", ET_LOOP, nullptr).IsValid());
  EXPECT_FALSE(CDBElementEx("_MS___1", ET_NONE, &cab).IsValid());
  EXPECT_STREQ(ElementCodeMeaning(2, 'S'), "Southbound");
  EXPECT_STREQ(ElementCodeMeaning(5, 't'), "Station");
  EXPECT_STREQ(ElementCodeMeaning(3, 'Q'), "");
  EXPECT_STREQ(ElementCodeMeaning(6, 'n'), "");
  const CDBCabinet copy(cab);  // copies and assignments keep every field
  other = copy;
  EXPECT_EQ(std::string(other.id) + "|" + other.alias + "|" + other.location, "005es16520|ABCDEFG|A very long loca");
  EXPECT_EQ(other.milepost, 1234);
  EXPECT_EQ(other.roadway, &road);
}

TEST(DateTimeEx, ValuesAndTexts) {
  CDateTimeEx bad(1993, 2, 30), june(1993, 6, 1), y2k(2000, 1, 1), late(1993, 6, 1, 23, 59, 59);
  EXPECT_FALSE(bad.IsValid());
  EXPECT_DOUBLE_EQ(june.m_dt, 34121.0);
  EXPECT_DOUBLE_EQ(y2k.m_dt, 36526.0);
  EXPECT_EQ(june.Format("%m/%d/%Y (%a)"), "06/01/1993 (Tue)");
  CDateTimeEx back(static_cast<COleDateTime>(COleDateTime(late.m_dt)));
  EXPECT_EQ(back.GetSecond(), 59);
  EXPECT_EQ(back.GetMinute(), 59);
  EXPECT_EQ(june.Compare(y2k), -1);
  EXPECT_EQ(bad.Compare(june), 0);

  int warnings = 0;
  SetOlderVersionWarningHandler([&](const char* text) {
    ++warnings;
    EXPECT_NE(std::string(text).find("older version of QAV"), std::string::npos);
  });
  ResetOlderVersionWarning();
  struct Case {
    const char* text;
    bool valid;
    int y, m, d;
  };
  const Case cases[] = {
      {"06/01/1993", true, 1993, 6, 1}, {"06/01/93", true, 1993, 6, 1}, {"06/01/80", true, 2080, 6, 1},
      {"06/01/81", true, 1981, 6, 1},   {"6/1", false, 0, 0, 0},          {"06/x1/1993", false, 0, 0, 0},
      {"02/30/1993", false, 0, 0, 0},   {"", false, 0, 0, 0},            {"06/01/0100", true, 100, 6, 1},
  };
  for (const Case& c : cases) {
    CDateTimeEx d = ctTextDateToCOleDateTime(c.text);
    EXPECT_EQ(d.IsValid(), c.valid) << c.text;
    if (!c.valid) continue;
    EXPECT_EQ(d.GetYear(), c.y) << c.text;
    EXPECT_EQ(d.GetMonth(), c.m) << c.text;
    EXPECT_EQ(d.GetDay(), c.d) << c.text;
  }
  EXPECT_EQ(warnings, 1);
  SetOlderVersionWarningHandler(nullptr);
}

TEST(DateTimeEx, StableSorts) {
  CDateTimeEx a(1993, 6, 2), b(1993, 6, 1), c(1993, 6, 2), bad(1993, 2, 30);
  CDateTimeEx* dates[4] = {&a, &b, &c, &bad};
  SortByDate(dates, 4);
  EXPECT_EQ(dates[0], &b);
  EXPECT_EQ(dates[1], &a);  // equal dates keep their order
  EXPECT_EQ(dates[2], &c);
  SortByDateDescending(dates, 3);
  EXPECT_EQ(dates[0], &a);
  EXPECT_EQ(dates[1], &c);
  EXPECT_EQ(dates[2], &b);

  CStr<char, wchar_t> x("beta"), y("alpha"), z("beta"), w("\xE9t\xE9");
  CStr<char, wchar_t>* texts[4] = {&x, &y, &z, &w};
  SortByText(texts, 4);
  EXPECT_EQ(texts[0], &y);
  EXPECT_EQ(texts[1], &x);
  EXPECT_EQ(texts[2], &z);
  EXPECT_EQ(texts[3], &w);  // bytes above 127 compare as unsigned
  SortByTextDescending(texts, 4);
  EXPECT_EQ(texts[0], &w);
  EXPECT_EQ(texts[1], &x);
}

}  // namespace
