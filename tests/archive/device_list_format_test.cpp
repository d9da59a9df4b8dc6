// RMDC.LST and LPDATA.PRN line parsing: layout lines, column maps, odd lines.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "archive/device_list_format.h"

namespace {

std::vector<DeviceListLine> Rmdc(const std::string& text, int* result) {
  std::vector<DeviceListLine> out;
  *result = ParseRmdcList(text.data(), text.size(),
                          [](void* c, const DeviceListLine& l) { static_cast<std::vector<DeviceListLine>*>(c)->push_back(l); },
                          &out);
  return out;
}

std::vector<DeviceListLine> Lpdata(const std::string& text) {
  std::vector<DeviceListLine> out;
  ParseLpdataList(text.data(), text.size(),
                  [](void* c, const DeviceListLine& l) { static_cast<std::vector<DeviceListLine>*>(c)->push_back(l); },
                  &out);
  return out;
}

const char kLineA[] = "ES-0017             I-5      123.45  Main St Overpass";
const char kLineB[] = "005es12345 ES-0017              I-5           123.45  Main St Overpass";

TEST(DeviceListFormat, LayoutAColumns) {
  int r;
  auto l = Rmdc(std::string("XEP Ramp Meter/Data Collector List\r\n") + kLineA + "\r\n", &r);
  ASSERT_EQ(r, 0);
  ASSERT_EQ(l.size(), 1u);
  EXPECT_STREQ(l[0].alias, "ES-0017");
  EXPECT_STREQ(l[0].roadway, "I-5");
  EXPECT_EQ(l[0].milepost, 12345);
  EXPECT_STREQ(l[0].location, "Main St Overpass");
  EXPECT_STREQ(l[0].id, "");
}

TEST(DeviceListFormat, LayoutBColumns) {
  int r;
  auto l = Rmdc(std::string("XEP Electronic Surveillance Device List\n") + kLineB + "\n", &r);
  ASSERT_EQ(r, 0);
  ASSERT_EQ(l.size(), 1u);
  EXPECT_STREQ(l[0].id, "005es12345");
  EXPECT_STREQ(l[0].alias, "ES-0017");
  EXPECT_STREQ(l[0].roadway, "I-5");
  EXPECT_EQ(l[0].milepost, 12345);
  EXPECT_STREQ(l[0].location, "Main St Overpass");
}

TEST(DeviceListFormat, LayoutLines) {
  struct Case {
    const char* what;
    std::string text;
    int result;
    size_t lines;
  };
  const std::string a = kLineA;
  const Case cases[] = {
      {"empty file", "", 0, 0},
      {"only blank lines", "\n  \r\n\t\n", 0, 0},
      {"blank lines and indentation", "\n\n   XEP Ramp Meter/Data Collector List\n" + a + "\n", 0, 1},
      {"trailing text", "XEP Ramp Meter/Data Collector List 1994 edition\n" + a, 0, 1},
      {"lower case", "xep ramp meter/data collector list\n" + a, 11, 0},
      {"on the second line", "Heading\nXEP Ramp Meter/Data Collector List\n" + a, 11, 0},
      {"headings after it are ignored", "XEP Ramp Meter/Data Collector List\nALIAS   ROADWAY\n----\n" + a, 0, 1},
      {"CR-only line ends", "XEP Ramp Meter/Data Collector List\r" + a + "\r" + a + "\r", 0, 2},
      {"no final line end", "XEP Ramp Meter/Data Collector List\n" + a, 0, 1},
  };
  for (const Case& c : cases) {
    int r;
    auto l = Rmdc(c.text, &r);
    EXPECT_EQ(r, c.result) << c.what;
    EXPECT_EQ(l.size(), c.lines) << c.what;
  }
}

TEST(DeviceListFormat, DataLineTests) {
  const std::string headA = "XEP Ramp Meter/Data Collector List\n";
  const std::string headB = "XEP Electronic Surveillance Device List\n";
  std::string b = kLineB;
  struct Case {
    const char* what;
    std::string text;
    size_t lines;
  };
  std::string lowerEs = b;
  lowerEs[3] = 'e';
  lowerEs[4] = 's';
  std::string mixedEs = b;
  mixedEs[3] = 'E';
  mixedEs[4] = 's';
  std::string esDash = "ES-0017" + b.substr(7);
  std::string noRoad = b;
  noRoad.replace(32, 11, std::string(11, ' '));
  const Case cases[] = {
      {"A: ES-, RD-, VD-", headA + kLineA + "\nRD" + (kLineA + 2) + "\nVD" + (kLineA + 2) + "\n", 3},
      {"A: lower-case es-", headA + "es" + (kLineA + 2), 0},
      {"A: empty roadway", headA + "ES-0017" + std::string(40, ' '), 0},
      {"B: es", headB + lowerEs, 1},
      {"B: Es", headB + mixedEs, 1},
      {"B: ES- at column 0", headB + esDash, 0},
      {"B: empty roadway", headB + noRoad, 0},
      {"B: short line", headB + "005", 0},
  };
  for (const Case& c : cases) {
    int r;
    EXPECT_EQ(Rmdc(c.text, &r).size(), c.lines) << c.what;
  }
}

TEST(DeviceListFormat, FieldsAtTheLineEnd) {
  // Layout B with a blank column 11 gives an empty alias; fields beyond the end are empty.
  std::string line = "005es12345" + std::string(22, ' ') + "SR 520";
  int r;
  auto l = Rmdc("XEP Electronic Surveillance Device List\n" + line + "\n", &r);
  ASSERT_EQ(l.size(), 1u);
  EXPECT_STREQ(l[0].alias, "");
  EXPECT_STREQ(l[0].roadway, "SR 520");
  EXPECT_EQ(l[0].milepost, 0);
  EXPECT_STREQ(l[0].location, "");
  // An embedded NUL ends the line's text.
  std::string withNul = std::string(kLineA).substr(0, 40) + std::string("\0Z", 2) + "rest";
  l = Rmdc("XEP Ramp Meter/Data Collector List\n" + withNul, &r);
  ASSERT_EQ(l.size(), 1u);
  EXPECT_STREQ(l[0].location, "Mai");
}

TEST(DeviceListFormat, LongLinesNeverMakeLinesOfTheirTail) {
  // A long line's text past 127 characters is dropped; an "ES-" or "LOOP" there makes nothing.
  for (size_t len : {127u, 128u, 129u, 300u}) {
    std::string pad(len, 'x');
    std::string a = "XEP Ramp Meter/Data Collector List\n" + pad.substr(0, 128 > len ? len : 128);
    std::string tailA = pad + "\n";
    tailA.replace(len < 128 ? len : 128, 0, kLineA);
    int r;
    EXPECT_EQ(Rmdc("XEP Ramp Meter/Data Collector List\n" + tailA, &r).size(), 0u) << len;
    std::string tailB = std::string(len, 'y') + "xxES" + std::string(60, 'z') + "\n";
    EXPECT_EQ(Rmdc("XEP Electronic Surveillance Device List\n" + tailB, &r).size(), 0u) << len;
    std::string tailL = std::string(len, 'y') + "LOOP   17I-5   Main St Overpass    123.45_MNR__1  ES-0017\n";
    EXPECT_EQ(Lpdata(tailL).size(), 0u) << len;
  }
  // A location that runs to the end of a long line stops at 127 characters.
  std::string longA = std::string(kLineA) + std::string(200, 'q');
  int r;
  auto l = Rmdc("XEP Ramp Meter/Data Collector List\n" + longA, &r);
  ASSERT_EQ(l.size(), 1u);
  EXPECT_STREQ(l[0].location, "Main St Overpass");
}

TEST(DeviceListFormat, LpdataColumns) {
  auto l = Lpdata(
      "heading line\n"
      "LOOP   17I-5   Main St Overpass    123.45_MNR__1  ES-0017\r\n"
      "loop   18I-5   lower case is not data  123.45_MNR__2  ES-0017\r\n"
      "LOOP    0SR520 Zero                012.01_MSR__1  ES-0100\n"
      "LOOP   -5B     Negative            001.00_MEX__1  ES-0200\n"
      "LOOP99999999999 I5  Huge           001.00_MEX__1  ES-0200\n"
      "LOOP    1      No roadway          001.00_MEX__1  ES-0200\n");
  ASSERT_EQ(l.size(), 4u);
  EXPECT_EQ(l[0].column, 16u);
  EXPECT_STREQ(l[0].roadway, "I-5");
  EXPECT_STREQ(l[0].location, "Main St Overpass");
  EXPECT_EQ(l[0].milepost, 12345);
  EXPECT_STREQ(l[0].element, "_MNR__1");
  EXPECT_STREQ(l[0].alias, "ES-0017");
  EXPECT_EQ(l[1].column, 0xFFFFFFFFu);
  EXPECT_STREQ(l[1].roadway, "SR520");
  EXPECT_EQ(l[1].milepost, 1201);
  EXPECT_EQ(l[2].column, static_cast<DWORD>(-6));
  EXPECT_STREQ(l[2].roadway, "B");
  EXPECT_EQ(l[3].column, static_cast<DWORD>(INT32_MAX - 1));
}

TEST(DeviceListFormat, NumbersAndIds) {
  const std::pair<const char*, int32_t> numbers[] = {
      {"123", 123}, {"  45x", 45}, {"-1", -1}, {"", 0}, {"abc", 0}, {"99999999999", INT32_MAX}, {"-99999999999", INT32_MIN}};
  for (auto [text, v] : numbers) EXPECT_EQ(ParseDeviceNumber(text, std::strlen(text)), v) << text;
  const struct {
    int route, milepost;
    const char* id;
  } ids[] = {{5, 12345, "005es12345"}, {520, 101, "520es00101"}, {1234, 5, "1234es0000"}, {5, 9999999, "005es99999"},
             {5, -150, "005es-0150"}};
  for (auto c : ids) {
    char id[11];
    FormatCabinetId(id, c.route, c.milepost);
    EXPECT_STREQ(id, c.id);
  }
}

}  // namespace
