// Report rows: cells, group headers, key columns and the order of rows on a key list.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "containers/mem_mgr.h"
#include "trafficdata/db_element.h"
#include "trafficdata/db_record.h"

namespace {

std::string Value(const CDBRecord& r, int form) {
  char buf[64] = "untouched";
  r.FormatValue(buf, sizeof buf, form);
  return buf;
}

TEST(DBRecordCells, ValuesInBothForms) {
  CDBRoadway road("I-5");
  CDBCabinet cab("005es16520", "", 1234, "Willow Ave", &road);
  CDBElementEx loop("_MS___1", ET_LOOP, &cab), trap("_MS_PT1", ET_SPEED_TRAP, &cab);
  struct Case {
    CDBElementEx* e;
    int code, value;
    bool raw;
    const char *text, *sheet;
  };
  const Case cases[] = {
      {&loop, 0, 1234, false, "             1234", "1234\t"},
      {&loop, 1, 5, false, "             0.5%", "  0.5%\t"},
      {&loop, 12, 655, false, "             65.5", " 65.5\t"},
      {&loop, 17, 1000, false, "         05:33:20", "05:33:20\t"},
      {&loop, 15, 10, false, "              TOD", "TOD\t"},
      {&loop, 15, 30, false, "   UNKNOWN [0x1e]", "UNKNOWN [0x1e]\t"},
      {&loop, 11, 2, false, "Some Suspect Data", "Some Suspect Data\t"},
      {&loop, 11, 4, false, "    UNKNOWN [0x4]", "UNKNOWN [0x4]\t"},  // the empty-span flag
      {&loop, 11, 0, true, "        Good Data", "Good Data\t"},
      {&loop, 11, 6, true, "Operator Disabled", "Operator Disabled\t"},
      {&trap, 11, 0x05, true, "> MaxLen|> MaxSpd", "> MaxLen|> MaxSpd\t"},
      {&trap, 11, 0xFF, true, "  L|l|S|s|R|V|T|D", "L|l|S|s|R|V|T|D\t"},
      {&trap, 11, 0x07, true, ">MaxL|<MinL|>MaxS", ">MaxL|<MinL|>MaxS\t"},
      {&trap, 11, 0x0F, true, "  >Ln|<Ln|>Sp|<Sp", ">Ln|<Ln|>Sp|<Sp\t"},
      {&trap, 11, 0x01, true, " > Maximum Length", "> Maximum Length\t"},
      {&trap, 11, 0x00, true, "        Good Data", "Good Data\t"},
      {&trap, 11, 0x00, false, "     All Bad Data", "All Bad Data\t"},
  };
  for (const Case& c : cases) {
    CDBRecord r(c.e, 0, 1993, 6, 1, 7, 0, 0, 22, 3, c.code, c.value);
    r.rawFlag = c.raw;
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Value(r, CF_TEXT), c.text);
    EXPECT_EQ(Value(r, CF_SHEET), c.sheet);
  }
  CDBRecord unknown(&loop, 0, -1, -1, -1, -1, -1, -1, -1, -1, 99, 5);
  EXPECT_EQ(Value(unknown, CF_TEXT), "untouched");  // a code outside the table writes nothing
}

TEST(DBRecordCells, ElementKeyCellNamesEveryCabinetApart) {
  // Text cells keep their 17 characters: the alias before the colon, or the whole id (which leaves
  // no room for the colon) where the alias is blank; spreadsheet cells name the cabinet by its id.
  CDBRoadway road("I-5");
  struct Case {
    const char *id, *alias, *text, *sheet;
  };
  const Case cases[] = {
      {"005es01000", "ES-0017", "  ES-0017:_MNR__1", "005es01000:_MNR__1\t"},
      {"005es01075", "ES-300", "   ES-300:_MNR__1", "005es01075:_MNR__1\t"},
      {"005es01000", "", "005es01000_MNR__1", "005es01000:_MNR__1\t"},
      {"005es01075", "   ", "005es01075_MNR__1", "005es01075:_MNR__1\t"},
      {"X9", "", "       X9:_MNR__1", "X9:_MNR__1\t"},
  };
  for (const Case& c : cases) {
    CDBCabinet cab(c.id, c.alias, 1000, "Here", &road);
    CDBElementEx e("_MNR__1", ET_LOOP, &cab);
    CDBRecord r(&e, 0, 1993, 6, 1, 7, 5, 20, 22, 3, 0, 12);
    char text[64], sheet[64];
    r.FormatKeyColumn(text, sizeof text, GK_ELEMENT, CF_TEXT);
    r.FormatKeyColumn(sheet, sizeof sheet, GK_ELEMENT, CF_SHEET);
    EXPECT_STREQ(text, c.text) << c.id << " " << c.alias;
    EXPECT_STREQ(sheet, c.sheet) << c.id << " " << c.alias;
  }
}

TEST(DBRecordCells, KeyColumnsAndHeaders) {
  CDBRoadway road("I-5");
  CDBCabinet cab("005es16520", "", 1234, "Willow Ave", &road);
  CDBElementEx loop("_MS___1", ET_LOOP, &cab);
  CDBRecord r(&loop, 0, 1993, 6, 1, 7, 5, 20, 22, 3, 0, 12);
  struct Case {
    int key;
    const char *column, *header;
  };
  const Case cases[] = {
      {GK_CONTENT, "           Volume", "Data Content:  Volume\n"},
      {GK_TIME, "         07:05:20", "Time:  07:05:20\n"},
      {GK_DATE, "       06/01/1993", "Date:  06/01/1993\n"},
      {GK_DAY_OF_WEEK, "              Tue", "Day-of-Week:  Tuesday\n"},
      {GK_WEEK, "               22", "Week:  22\n"},
      {GK_MONTH, "              Jun", "Month:  June\n"},
      {GK_YEAR, "             1993", "Year:  1993\n"},
      {GK_ELEMENT, "005es16520_MS___1", "Element:  005es16520:_MS___1\n"},
      {GK_ELEMENT_TYPE, "             Loop", "Element Type:  Loop\n"},
      {GK_DIRECTION, "                S", "Direction:  S\n"},
      {GK_CABINET, "       005es16520", "Cabinet:  005es16520\n"},
      {GK_LOCATION, "       Willow Ave", "Location:  Willow Ave\n"},
      {GK_MILEPOST, "            12.34", "Milepost:   12.34\n"},
      {GK_ROADWAY, "              I-5", "Roadway:  I-5\n"},
  };
  for (const Case& c : cases) {
    char col[64], head[64];
    r.FormatKeyColumn(col, sizeof col, c.key, CF_TEXT);
    r.FormatGroupHeader(head, sizeof head, c.key, CF_TEXT);
    EXPECT_EQ(std::string(col), c.column) << c.key;
    EXPECT_EQ(std::string(head), c.header) << c.key;
  }
  char sheet[64];
  r.FormatKeyColumn(sheet, sizeof sheet, GK_MILEPOST, CF_SHEET);
  EXPECT_STREQ(sheet, " 12.34\t");
  r.FormatGroupHeader(sheet, sizeof sheet, GK_ELEMENT, CF_SHEET);
  EXPECT_STREQ(sheet, "Element\t005es16520:_MS___1\n");

  // Words that never got a value, and a row without element, print fallbacks.
  CDBElementEx typeless("_MS___1", ET_NONE, nullptr);
  CDBRecord bad(&typeless, 0);
  bad.word[RW_CONTENT] = 99;
  char buf[64];
  bad.FormatKeyColumn(buf, sizeof buf, GK_DAY_OF_WEEK, CF_TEXT);
  EXPECT_STREQ(buf, "              Err");
  bad.FormatGroupHeader(buf, sizeof buf, GK_MONTH, CF_SHEET);
  EXPECT_STREQ(buf, "Month\tError\n");
  // An unnamed element type shows its whole code; an unknown content code writes nothing.
  bad.FormatKeyColumn(buf, sizeof buf, GK_ELEMENT_TYPE, CF_TEXT);
  EXPECT_STREQ(buf, "UNKNOWN [0xffffffff]");
  bad.FormatGroupHeader(buf, sizeof buf, GK_ELEMENT_TYPE, CF_TEXT);
  EXPECT_STREQ(buf, "Element Type:  UNKNOWN [0xffffffff]\n");
  for (int form : {CF_TEXT, CF_SHEET}) {
    std::strcpy(buf, "kept");
    bad.FormatKeyColumn(buf, sizeof buf, GK_CONTENT, form);
    EXPECT_STREQ(buf, "kept");
    bad.FormatGroupHeader(buf, sizeof buf, GK_CONTENT, form);
    EXPECT_STREQ(buf, "kept");
  }
  bad.FormatKeyColumn(buf, sizeof buf, GK_MILEPOST, CF_TEXT);
  EXPECT_STREQ(buf, "             0.00");
  CDBRecord none(nullptr, 0);
  none.FormatKeyColumn(buf, sizeof buf, GK_ROADWAY, CF_SHEET);
  EXPECT_STREQ(buf, "\t");
  strcpy(buf, "kept");
  none.FormatKeyColumn(buf, sizeof buf, 14, CF_TEXT);
  EXPECT_STREQ(buf, "kept");
}

TEST(DBRecordOrder, KeysDirectionsAndStability) {
  CDBRoadway upper("I-5"), lower("i-5"), sr("SR 520");
  CDBCabinet a("005es00100", "", 100, "B place", &upper), b("005es00200", "", 200, "A place", &lower),
      c("520es00100", "", 100, "C place", &sr);
  CDBElementEx ea("_MS___1", ET_LOOP, &a), eb("_MN___1", ET_LOOP, &b), ec("_MN___1", ET_LOOP, &c);
  // Roadway: same route, names differ only in case: equal.
  CDBRecord ra(&ea, 0), rb(&eb, 1), rc(&ec, 2);
  EXPECT_EQ(ra.CompareKey(rb, GK_ROADWAY), 0);
  EXPECT_LT(ra.CompareKey(rc, GK_ROADWAY), 0);
  // Element: cabinet id first, then the element order.
  EXPECT_LT(ra.CompareKey(rb, GK_ELEMENT), 0);
  EXPECT_LT(rb.CompareKey(ra, GK_LOCATION), 0);  // "A place" < "B place"
  EXPECT_TRUE(ra.IsEqualKey(rb, 42));
  EXPECT_FALSE(ra.IsLessKey(rb, 42));

  CDBRecordset rows;
  // (content, value) rows; sorted by content ascending, then value descending.
  const int data[][2] = {{1, 5}, {0, 7}, {1, 9}, {0, 7}, {0, 3}};
  for (int i = 0; i < 5; ++i) {
    CDBRecord r(&ea, i, -1, -1, -1, -1, -1, -1, -1, -1, data[i][0], data[i][1]);
    ASSERT_TRUE(rows.AddRecord(r));
  }
  CGrpType content(GK_CONTENT, true), hour(GK_TIME, false);
  CGrpType valueKey(GK_NONE);
  const CGrpType* none[1] = {nullptr};
  CRecordOrder empty(none, 0);
  {
    CSortKeyScope scope(empty);
    EXPECT_TRUE(*rows.m_pData[0] == *rows.m_pData[1]);
    EXPECT_FALSE(*rows.m_pData[0] < *rows.m_pData[1]);
    EXPECT_EQ(rows.m_pData[0]->Compare(*rows.m_pData[1]), 0);
  }
  SortRecords(rows, empty);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(rows.m_pData[i]->word[RW_ORDINAL], i);

  const CGrpType* keys[2] = {&content, &hour};
  CRecordOrder order(keys, 2);
  CDBRecord* failed = nullptr;  // a row that could not be allocated goes last
  ASSERT_EQ(rows.InsertAt(2, &failed), 2);
  SortRecords(rows, order);
  const int expectAsc[5] = {1, 3, 4, 0, 2};  // stable within equal content
  for (int i = 0; i < 5; ++i) EXPECT_EQ(rows.m_pData[i]->word[RW_ORDINAL], expectAsc[i]);
  content.ascending = false;  // descending applies to this key only
  SortRecords(rows, order);
  const int expectDesc[5] = {0, 2, 1, 3, 4};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(rows.m_pData[i]->word[RW_ORDINAL], expectDesc[i]);
  EXPECT_EQ(rows.m_pData[5], nullptr);
  rows.Truncate(5);
  {
    CSortKeyScope scope(order);
    EXPECT_TRUE(*rows.m_pData[0] < *rows.m_pData[2]);
    EXPECT_TRUE(*rows.m_pData[2] > *rows.m_pData[0]);
    EXPECT_EQ(rows.m_pData[2]->Compare(*rows.m_pData[0]), 1);
  }
  CDBRecordset copy(rows);
  ASSERT_EQ(copy.m_nSize, 5);
  EXPECT_NE(copy.m_pData[0], rows.m_pData[0]);
  EXPECT_EQ(copy.m_pData[0]->word[RW_ORDINAL], 0);
}

// Rows moved from one set to another, and the packed keys of an element key: a number per row
// that orders the rows as the key does.
TEST(DBRecordOrder, TakenRowsAndPackedElementKeys) {
  CDBRoadway road("I-5");
  CDBCabinet late("005es00200", "", 200, "A", &road), early("005es00100", "", 100, "B", &road);
  CDBElementEx a("_MS___1", ET_LOOP, &late), b("_MS___1", ET_LOOP, &early);
  CDBRecordset rows, more;
  ASSERT_TRUE(rows.AddRecord(CDBRecord(&a, 0)));
  ASSERT_TRUE(more.AddRecord(CDBRecord(&b, 1)));
  ASSERT_TRUE(more.AddRecord(CDBRecord(&a, 2)));
  EXPECT_TRUE(rows.TakeAll(more));
  ASSERT_EQ(rows.m_nSize, 3);
  EXPECT_EQ(more.m_nSize, 0);
  // A row's block is its own size, give or take the heap's rounding.
  EXPECT_LT(CScalarMemMgr::Size(rows.m_pData[0]), sizeof(CDBRecord) + 16);
  CGrpType element(GK_ELEMENT);
  const CGrpType* keys[1] = {&element};
  CRecordOrder order(keys, 1);
  CPackedSortKeys packed;
  ASSERT_TRUE(packed.Build(rows.m_pData, rows.m_nSize, order, nullptr));
  ASSERT_EQ(packed.Words(), 1);
  uint64_t k[3];
  for (int i = 0; i < 3; ++i) packed.Pack(i, &k[i]);
  EXPECT_EQ(k[0], k[2]);
  EXPECT_LT(k[1], k[0]);
}

TEST(DBRecordKeys, KeyTexts) {
  CGrpType k(GK_MILEPOST);
  CStr<char, wchar_t> t;
  CGrpType::GetText(t, &k);
  EXPECT_STREQ(t.m_pData, "Milepost  A->Z");
  ToggleDirection(k);
  CGrpType::GetText(t, &k);
  EXPECT_STREQ(t.m_pData, "Milepost  Z->A");
  CGrpType::GetName(t, &k);
  EXPECT_STREQ(t.m_pData, "Milepost");
  CGrpType a(GK_DATE), b(GK_ROADWAY);
  const CGrpType* list[3] = {&a, &k, &b};
  EXPECT_EQ(FindKey(list, 3, GK_ROADWAY), 2);
  EXPECT_EQ(FindKey(list, 3, GK_WEEK), -1);
  EXPECT_LT(a.Compare(b), 0);
  EXPECT_TRUE(b < a);  // the container order of keys runs the other way

  CAdrArray<CGrpType> box;
  box.Add(a);
  box.Add(k);
  box.Add(b);
  EXPECT_FALSE(RemoveKey(box, GK_WEEK));
  EXPECT_EQ(box.m_nSize, 3);
  EXPECT_TRUE(ToggleDirection(box, 0));
  EXPECT_FALSE(a.ascending);
  EXPECT_FALSE(ToggleDirection(box, 3));
  EXPECT_TRUE(RemoveKey(box, GK_MILEPOST));
  EXPECT_EQ(box.m_nSize, 2);
  EXPECT_EQ(FindKey(box, GK_ROADWAY), 1);
  EXPECT_EQ(k.key, GK_MILEPOST);  // the key object itself is not the list's
}

}  // namespace
