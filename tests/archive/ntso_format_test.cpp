// Header text, value slots and name-list entries of the database format, on byte buffers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/ntso_format.h"

namespace {

std::string Build(int layout, const std::string& title, int pos[14], int* result = nullptr) {
  char buf[513];
  int r = NtsoBuildHeader(buf, title.c_str(), pos, layout);
  if (result) *result = r;
  return r == 0 ? std::string(buf, 512) : std::string();
}

void Put(std::string& h, int pos, const char* text) { h.replace(pos, std::strlen(text), text); }

// The header of the first worked example: FIXED NG.2, one name, 288 columns, empty title.
std::string ExampleHeader() {
  int pos[14];
  std::string h = Build(2, "", pos);
  char v[32];
  NtsoFormatInt(v, 2, kFieldVersion, 1), Put(h, pos[kFieldVersion], v);
  NtsoFormatMode(v, 2, false), Put(h, pos[kFieldDbMode], v);
  SYSTEMTIME t{1994, 3, 2, 15, 10, 11, 12, 130};
  NtsoFormatTime(v, 2, kFieldCreationTime, t), Put(h, pos[kFieldCreationTime], v);
  NtsoFormatTime(v, 2, kFieldWriteTime, t), Put(h, pos[kFieldWriteTime], v);
  SYSTEMTIME s{1994, 3, 2, 15, 0, 0, 0, 0};
  NtsoFormatTime(v, 2, kFieldDataStart, s), Put(h, pos[kFieldDataStart], v);
  SYSTEMTIME e{1994, 3, 2, 15, 23, 59, 59, 990};
  NtsoFormatTime(v, 2, kFieldDataEnd, e), Put(h, pos[kFieldDataEnd], v);
  const std::pair<int, int> nums[] = {{kFieldNames, 1},       {kFieldColumns, 288},     {kFieldHeaderSize, 512},
                                      {kFieldNameListSize, 27}, {kFieldDataSize, 864}, {kFieldFileSize, 1536}};
  for (auto [f, n] : nums) NtsoFormatInt(v, 2, f, n), Put(h, pos[f], v);
  return h;
}

TEST(NtsoFormat, ExampleHeaderIsByteExact) {
  std::string expect =
      "\r\n"
      "NG.2 Format\r\n"
      "           Version =          1\r\n"
      "           DB Mode = FIXED \r\n"
      "  DB Creation Time = 03/15/1994 10:11:12\r\n"
      "   File Write Time = 03/15/1994 10:11:12.13\r\n"
      "   Data Start Time = 03/15/1994 00:00:00.00\r\n"
      "     Data End Time = 03/15/1994 23:59:59.99\r\n"
      "   Number of Names =          1\r\n"
      " Number of Columns =        288\r\n"
      "       Header Size =        512\r\n"
      "    Name List Size =         27\r\n"
      "         Data Size =        864\r\n"
      "         File Size =       1536\r\n"
      "The remainder of this file is packed binary\r\n";
  expect.append(512 - expect.size(), '\x07');
  EXPECT_EQ(ExampleHeader(), expect);
}

TEST(NtsoFormat, ValuePositionsAndTerminatorPerLayout) {
  // Value positions with an empty title, the terminator's offset, and the longest title that still
  // gets the whole terminator.
  struct Row {
    int layout;
    int pos[14];
    int terminatorAt;
    int fullTerminatorTitle;
    int longestTitle;
  };
  const Row rows[] = {
      {0, {0, 36, 0, 0, 71, 113, 158, 203, 248, 278, 308, 338, 368, 398}, 408, 59, 102},
      {1, {0, 0, 35, 65, 94, 136, 181, 226, 271, 301, 331, 361, 391, 421}, 431, 36, 79},
      {2, {0, 0, 35, 68, 97, 139, 184, 229, 274, 307, 340, 373, 406, 439}, 452, 15, 58},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.layout);
    int pos[14];
    std::string h = Build(r.layout, "", pos);
    for (int i = 1; i <= 13; ++i) EXPECT_EQ(pos[i], r.pos[i]) << "field " << i;
    EXPECT_EQ(h.find("The remainder"), static_cast<size_t>(r.terminatorAt));

    std::string full = Build(r.layout, std::string(r.fullTerminatorTitle, 'T'), pos);
    EXPECT_NE(full.find("The remainder of this file is packed binary\r\n"), std::string::npos);
    std::string cut = Build(r.layout, std::string(r.fullTerminatorTitle + 1, 'T'), pos);
    EXPECT_EQ(cut.find("packed binary\r\n"), std::string::npos);
    EXPECT_EQ(cut.substr(510), "\r\n");

    int res = -1;
    EXPECT_EQ(Build(r.layout, std::string(r.longestTitle, 'T'), pos, &res).size(), 512u);
    EXPECT_EQ(res, 0);
    Build(r.layout, std::string(r.longestTitle + 1, 'T'), pos, &res);
    EXPECT_EQ(res, kNtsoErrHeaderText);
  }
}

TEST(NtsoFormat, FieldsOutsideTheTablesAreAbsent) {
  char v[32];
  SYSTEMTIME t{1994, 3, 2, 15, 10, 11, 12, 130};
  for (int layout : {-1, 0, 1, 2, 3})
    for (int index : {-1, 0, 14, 15}) {
      EXPECT_EQ(NtsoFieldName(layout, index), nullptr) << layout << " " << index;
      EXPECT_EQ(NtsoFieldWidth(layout, index), 0) << layout << " " << index;
      EXPECT_EQ(NtsoFormatInt(v, layout, index, 1), kNtsoErrFieldOrder) << layout << " " << index;
      EXPECT_EQ(NtsoFormatTime(v, layout, index, t), kNtsoErrFieldOrder) << layout << " " << index;
    }
  for (int layout : {-1, 3}) {
    EXPECT_EQ(NtsoLayoutName(layout), nullptr);
    EXPECT_EQ(NtsoFieldName(layout, kFieldNames), nullptr);
    EXPECT_EQ(NtsoFieldOrder(layout)[0], 0);
    EXPECT_EQ(NtsoFormatMode(v, layout, false), kNtsoErrFieldOrder);
  }
  EXPECT_STREQ(NtsoFieldName(0, kFieldFileName), "File Name");
  EXPECT_STREQ(NtsoFieldName(2, kFieldFileSize), "File Size");
  EXPECT_EQ(NtsoFieldWidth(1, kFieldFileSize), 8);
  EXPECT_EQ(NtsoFieldWidth(2, kFieldVersion), 11);
  EXPECT_EQ(NtsoFieldName(1, kFieldFileName), nullptr);
  EXPECT_EQ(NtsoFieldWidth(0, kFieldDbMode), 0);
  // Only the four time fields take a time, whatever their slot's width.
  for (int index : {kFieldFileName, kFieldVersion, kFieldNames, kFieldFileSize})
    EXPECT_EQ(NtsoFormatTime(v, index == kFieldFileName ? 0 : 2, index, t), kNtsoErrFieldOrder) << index;
}

TEST(NtsoFormat, BuiltHeadersParseBackWithTheirPositions) {
  for (int layout = 0; layout <= 2; ++layout)
    for (int titleLength : {0, 15, 16, 36, 58}) {
      int pos[14];
      std::string h = Build(layout, std::string(titleLength, 'x'), pos);
      if (h.empty()) continue;
      NtsoHeaderInfo info;
      ASSERT_EQ(NtsoParseHeaderText(reinterpret_cast<const uint8_t*>(h.data()), info), 0);
      EXPECT_EQ(info.layout, layout);
      for (int i = 1; i <= 13; ++i) EXPECT_EQ(info.positions[i], pos[i]);
      EXPECT_TRUE(NtsoSlotsSafe(info));
    }
}

TEST(NtsoFormat, HeaderTextMutations) {
  const std::string good = ExampleHeader();
  auto replace = [&](const std::string& from, const std::string& to) {
    std::string h = good;
    size_t at = h.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    h.replace(at, from.size(), to);
    h.resize(512, '\x07');
    return h.substr(0, 512);
  };
  struct Case {
    const char* what;
    std::string header;
    int expect;
  };
  std::string withNul = good;
  withNul[300] = 0;
  std::string tabs = replace("           Version =", "\t  \t     Version  \t =");
  const Case cases[] = {
      {"NUL", withNul, kNtsoErrHeaderText},
      {"no CR LF at all", std::string(512, 'a'), kNtsoErrNoCrLf},
      {"misspelt field", replace("Number of Names", "Number of Nemes"), kNtsoErrFieldOrder},
      {"swapped fields", replace("   Number of Names =          1\r\n Number of Columns =        288\r\n",
                                 " Number of Columns =        288\r\n   Number of Names =          1\r\n"),
       kNtsoErrFieldOrder},
      {"missing =", replace("Header Size =", "Header Size  "), kNtsoErrNoCrLf},
      {"no layout line", replace("NG.2 Format", "NG.3 Format"), kNtsoErrMalformed},
      {"blanks and tabs", tabs, 0},
      {"title naming a layout", replace("\r\nNG.2", "Primary Copy\r\nNG.2"), 0},
      {"lines before the layout", replace("\r\nNG.2", "\r\nsomething\r\n  \r\nNG.2"), 0},
      {"layout line without CR LF", std::string("t\r\nNG.2 Format") + std::string(498, '\x07'),
       kNtsoErrNoCrLf},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(c.header.size(), 512u);
    NtsoHeaderInfo info;
    EXPECT_EQ(NtsoParseHeaderText(reinterpret_cast<const uint8_t*>(c.header.data()), info), c.expect);
  }
  // The title "Primary Copy" is skipped; the layout comes from the later line.
  NtsoHeaderInfo info;
  std::string h = replace("\r\nNG.2", "Primary Copy\r\nNG.2");
  ASSERT_EQ(NtsoParseHeaderText(reinterpret_cast<const uint8_t*>(h.data()), info), 0);
  EXPECT_EQ(info.layout, 2);
  // Removing any one CR LF of the fields breaks the header.
  for (size_t at = good.find("\r\n", 15); at + 2 < good.find("The remainder"); at = good.find("\r\n", at + 2)) {
    std::string m = good;
    m[at] = ' ';
    m[at + 1] = ' ';
    EXPECT_NE(NtsoParseHeaderText(reinterpret_cast<const uint8_t*>(m.data()), info), 0) << at;
  }
}

TEST(NtsoFormat, NumbersAndModes) {
  struct Case {
    const char* text;
    uint64_t max;
    int result;
    uint64_t value;
  };
  const Case cases[] = {
      {"       288\r\n", 0x7FFFFFFF, 0, 288},      {"        -5\r\n", 0x7FFFFFFF, 0, 0},
      {"          \r\n", 0x7FFFFFFF, 0, 0},        {"2147483647", 0x7FFFFFFF, 0, 2147483647},
      {"2147483648", 0x7FFFFFFF, kNtsoErrMalformed, 0}, {"4294967295", 0xFFFFFFFF, 0, 4294967295u},
      {"4294967296", 0xFFFFFFFF, kNtsoErrMalformed, 0}, {"18446744073709551615", UINT64_MAX, 0, UINT64_MAX},
      {"18446744073709551616", UINT64_MAX, kNtsoErrMalformed, 0}, {"99999999999999999999", UINT64_MAX, kNtsoErrMalformed, 0},
  };
  for (const Case& c : cases) {
    uint8_t block[512];
    std::memset(block, 'x', sizeof block);
    std::memcpy(block + 100, c.text, std::strlen(c.text));
    uint64_t v = 1;
    EXPECT_EQ(NtsoReadNumber(block, 100, c.max, v), c.result) << c.text;
    if (c.result == 0) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
  // A number running to the end of the block stops there.
  uint8_t block[512];
  std::memset(block, '9', sizeof block);
  uint64_t v;
  EXPECT_EQ(NtsoReadNumber(block, 509, 0xFFFFFFFF, v), 0);
  EXPECT_EQ(v, 999u);

  const std::pair<const char*, int> modes[] = {{" FIXED ", 0}, {" EXPAND", 1}, {" fixed ", -1},
                                               {"FIXED  ", -1}, {" EXPANX", -1}};
  for (auto [text, expect] : modes) {
    std::memset(block, ' ', sizeof block);
    std::memcpy(block + 40, text, 7);
    EXPECT_EQ(NtsoReadMode(block, 40), expect) << text;
  }
  EXPECT_EQ(NtsoReadMode(block, 506), -1);  // slot runs past the block
}

TEST(NtsoFormat, ValuesTooWideAreRefused) {
  char v[32];
  EXPECT_EQ(NtsoFormatInt(v, 1, kFieldFileSize, 99999999), 0);
  EXPECT_STREQ(v, "99999999");
  EXPECT_EQ(NtsoFormatInt(v, 1, kFieldFileSize, 100000000), kNtsoErrHeaderText);
  EXPECT_EQ(NtsoFormatInt(v, 2, kFieldFileSize, 4294967296LL), 0);
  EXPECT_EQ(NtsoFormatInt(v, 2, kFieldVersion, -5), 0);
  EXPECT_STREQ(v, "         -5");
  EXPECT_EQ(NtsoFormatInt(v, 0, kFieldVersion, 1), kNtsoErrFieldOrder);
  SYSTEMTIME t{10000, 1, 0, 1, 0, 0, 0, 0};
  EXPECT_EQ(NtsoFormatTime(v, 2, kFieldWriteTime, t), kNtsoErrHeaderText);
  int pos[14];
  char buf[513];
  EXPECT_EQ(NtsoBuildHeader(buf, "a\rb", pos, 2), kNtsoErrMalformed);
  EXPECT_EQ(NtsoBuildHeader(buf, "", pos, 3), kNtsoErrLayout);
}

TEST(NtsoFormat, TimeTextRoundTrip) {
  SYSTEMTIME t{1994, 3, 0, 15, 10, 11, 12, 130};
  char v[32];
  ASSERT_EQ(NtsoFormatTime(v, 1, kFieldDataEnd, t), 0);
  SYSTEMTIME back;
  NtsoParseTime(v, 23, true, back);
  EXPECT_EQ(back.wYear, 1994);
  EXPECT_EQ(back.wMonth, 3);
  EXPECT_EQ(back.wDay, 15);
  EXPECT_EQ(back.wMilliseconds, 130);
  EXPECT_EQ(back.wDayOfWeek, 2);  // a Tuesday
  NtsoParseTime(v, 20, false, back);
  EXPECT_EQ(back.wSecond, 12);
  EXPECT_EQ(back.wMilliseconds, 0);
}

std::vector<NtsoRawEntry> ParseList(const std::string& bytes, int layout, int* result) {
  std::vector<NtsoRawEntry> out;
  *result = NtsoParseNameList(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), layout,
                              [&](const NtsoRawEntry& e) {
                                out.push_back(e);
                                return 0;
                              });
  return out;
}

TEST(NtsoFormat, NameListEntries) {
  // The worked example's entry, byte for byte.
  const uint8_t entry[] = {0x30, 0x30, 0x35, 0x65, 0x73, 0x31, 0x32, 0x33, 0x34, 0x35, 0x3a, 0x5f, 0x4d, 0x4e,
                           0x52, 0x5f, 0x5f, 0x31, 0x00, 0x50, 0x00, 0x03, 0x00, 0x1b, 0x02, 0x00, 0x00};
  uint8_t made[27];
  ASSERT_EQ(NtsoSerializeEntry(made, "005es12345:_MNR__1", 18, 80, 3, 539), 27u);
  EXPECT_EQ(std::memcmp(made, entry, 27), 0);

  int r;
  std::string list(reinterpret_cast<const char*>(entry), 27);
  std::string twice = list + list;
  auto e = ParseList(twice, 2, &r);
  ASSERT_EQ(r, 0);
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(std::string(e[1].name, e[1].nameLength), "005es12345:_MNR__1");
  EXPECT_EQ(e[1].type, 80);
  EXPECT_EQ(e[1].recordSize, 3);
  EXPECT_EQ(e[1].offset, 539u);

  // Every cut of the list is refused, never read past.
  for (size_t cut = 1; cut < 27; ++cut) {
    ParseList(list.substr(0, cut), 2, &r);
    EXPECT_EQ(r, kNtsoErrMalformed) << cut;
  }
  // Empty and long names.
  std::string odd = std::string("\0", 1) + std::string("\x01\x00\x02\x00\x00\x02\x00\x00", 8) +
                    std::string(300, 'n') + std::string("\0\x05\x00\x02\x00\x10\x00\x00\x00", 9);
  e = ParseList(odd, 1, &r);
  ASSERT_EQ(r, 0);
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].nameLength, 0u);
  EXPECT_EQ(e[1].nameLength, 300u);
}

TEST(NtsoFormat, LayoutZeroNames) {
  // 14 characters with a NUL; 15 characters whose 16th byte is not a NUL; then fixed fields.
  std::string list = std::string("ABCDEFGHIJKLMN\0", 15) + std::string("\x5c\x03\x00\x02\x00\x00", 6) +
                     std::string("ES-0017:_MNR__1") + "Z" + std::string("\x60\x04\x10\x02\x00\x00", 6);
  int r;
  auto e = ParseList(list, 0, &r);
  ASSERT_EQ(r, 0);
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(std::string(e[0].name, e[0].nameLength), "ABCDEFGHIJKLMN");
  EXPECT_EQ(e[0].type, 92);
  EXPECT_EQ(std::string(e[1].name, e[1].nameLength), "ES-0017:_MNR__1");
  EXPECT_EQ(e[1].type, 96);
  EXPECT_EQ(e[1].recordSize, 4);
  EXPECT_EQ(e[1].offset, 528u);
  for (size_t cut = 1; cut < list.size(); ++cut) {
    if (cut == 21) continue;  // a whole first entry
    ParseList(list.substr(0, cut), 0, &r);
    EXPECT_EQ(r, kNtsoErrMalformed) << cut;
  }
}

TEST(NtsoFormat, BaseNameCutsOnlyTheLastComponent) {
  const std::pair<const char*, size_t> cases[] = {
      {"DATA1994\\19940315.DAT", 17}, {"db", 2}, {"ARCHIVE.V2\\db", 13}, {"a/b.c/d", 7}, {"x.y.DAT", 3}, {"", 0}};
  for (auto [name, len] : cases) EXPECT_EQ(NtsoBaseNameLength(name), len) << name;
}

}  // namespace
