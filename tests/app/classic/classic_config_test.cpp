#include "app/classic/classic_config.h"
#include "platform/file_size_limit.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

ClassicSetup SampleSetup() {
  ClassicSetup c;
  c.rawOn = 1;
  c.sdsOn = 1;
  c.mdsOn = 0;
  c.rawName = "RAW1.DAT";
  c.sdsName = "X.SDS";
  c.rawFormat = 1;
  c.rawSource = 0;
  c.min15 = 1;
  c.flags = 1;
  c.daily = 1;
  ClassicSelection& s = c.sel[CB_RAW];
  s.dates = {37622.0, 37623.0};
  s.roadways = {"I-5", "SR 520"};
  s.cabinets = {{"005es01234", "ES-101D", 1234, "Station Rd", 0}, {"520es00100", "ES-200R", 100, "Oak Hill", 1}};
  s.elements = {{"_MN___1", 0, 0}, {"_MS___2", 2, 1}, {"_MN___3", 1, 0}};
  c.sel[CB_MULTI].dates = {37257.0};
  c.sel[CB_MULTI].roadways = {"I-90"};
  c.sel[CB_MULTI].cabinets = {{"090es00300", "ES-300", 300, "Pass", 0}};
  c.sel[CB_MULTI].elements = {{"_ME___1", 0, 0}};
  c.monthlyDow = 1;
  c.months = {0, 5, 11};
  c.monthlyDays = {1, 2};
  c.yearlyDays = {6};
  return c;
}

// Lines of a text, for building malformed files from a good one.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}
std::string Join(const std::vector<std::string>& lines, const char* eol = "\n") {
  std::string out;
  for (const auto& l : lines) out += l + eol;
  return out;
}

TEST(ClassicConfig, Ng1RoundTripWithCrLf) {
  ClassicSetup c = SampleSetup();
  std::string text = FormatClassicConfig(c);
  EXPECT_EQ(text.rfind(CLASSIC_CONFIG_HEADER, 0), 0u);
  EXPECT_NE(text.find("\n37622.000000\n"), std::string::npos);
  ClassicSetup back;
  std::string err;
  ECfgLayout layout{};
  ASSERT_TRUE(ParseClassicConfig(Join(Lines(text), "\r\n"), back, err, &layout)) << err;
  EXPECT_EQ(layout, ECfgLayout::NG1);
  EXPECT_EQ(back, c);
}

TEST(ClassicConfig, BlockWithoutDatesIsItsCountAlone) {
  ClassicSetup c;
  std::vector<std::string> l = Lines(FormatClassicConfig(c));
  // header + 14 options, then the three blocks as "0", then 3 flags and 3 empty lists.
  ASSERT_EQ(l.size(), 15u + 3 + 3 + 3);
  EXPECT_EQ(l[15], "0");
  EXPECT_EQ(l[16], "0");
  EXPECT_EQ(l[17], "0");
}

TEST(ClassicConfig, OlderLayoutBuildsCabinetIds) {
  // No header: raw ON first, and cabinets of four lines (alias, milepost, location, roadway).
  std::string text = Join({"1", "0", "0", "A.DAT", "B.SDS", "C.MDS", "0", "0", "0", "0", "0", "0", "0", "1",
                           "2", "0", "37623.0", "37622.0", "1", "SR5", "1", "ES-101D", "1234", "Here", "0",
                           "1", "_MN___1", "0", "0", "0", "0", "0", "0", "0", "0", "2", "3", "4", "0", "0"});
  ClassicSetup c;
  std::string err;
  ECfgLayout layout{};
  ASSERT_TRUE(ParseClassicConfig(text, c, err, &layout)) << err;
  EXPECT_EQ(layout, ECfgLayout::Older);
  EXPECT_EQ(c.rawOn, 1);
  EXPECT_EQ(c.daily, 1);
  ASSERT_EQ(c.sel[CB_RAW].cabinets.size(), 1u);
  EXPECT_EQ(c.sel[CB_RAW].cabinets[0].id, "005es01234");
  EXPECT_EQ(c.sel[CB_RAW].cabinets[0].alias, "ES-101D");
  // Dates come back ascending.
  EXPECT_EQ(c.sel[CB_RAW].dates, (std::vector<double>{37622.0, 37623.0}));
  EXPECT_EQ(c.months, (std::vector<int>{3, 4}));
}

TEST(ClassicConfig, MilepostsReadBackWhereTheLayoutKeepsThemAsNumbers) {
  // The NG.1 layout keeps any milepost; the older one makes five digits of the cabinet id of it.
  const std::vector<std::string> older = {"1", "0", "0", "A.DAT", "B.SDS", "C.MDS", "0", "0", "0", "0", "0", "0", "0", "1",
                                          "1", "0", "37622.0", "1", "SR5", "1", "ES-101D", "?", "Here", "0", "0",
                                          "0", "0", "0", "0", "0", "0", "0", "0"};
  const struct {
    int milepost;
    const char* olderReason;  // empty: the older layout reads it too
  } cases[] = {
      {0, ""},
      {99999, ""},
      {-5, "line 22 is -5 (cabinet mileposts of the raw data selection), not a value from 0 to 99999"},
      {100000, "line 22 is 100000 (cabinet mileposts of the raw data selection), not a value from 0 to 99999"},
      {INT_MIN, "line 22 is -2147483648 (cabinet mileposts"},
      {INT_MAX, "line 22 is 2147483647 (cabinet mileposts"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.milepost);
    ClassicSetup saved = SampleSetup();
    saved.sel[CB_RAW].cabinets[1].milepost = c.milepost;
    ClassicSetup back;
    std::string err;
    ASSERT_TRUE(ParseClassicConfig(FormatClassicConfig(saved), back, err)) << err;
    EXPECT_EQ(back, saved);
    std::vector<std::string> lines = older;
    lines[21] = std::to_string(c.milepost);
    ClassicSetup old;
    EXPECT_EQ(ParseClassicConfig(Join(lines), old, err), *c.olderReason == '\0') << err;
    if (*c.olderReason != '\0') {
      EXPECT_EQ(err.rfind(c.olderReason, 0), 0u) << err;
    }
  }
}

TEST(ClassicConfig, RefusalsNameTheLineAndTheReason) {
  std::vector<std::string> good = Lines(FormatClassicConfig(SampleSetup()));
  auto with = [&](size_t line, const char* text) {
    std::vector<std::string> l = good;
    l[line] = text;
    return Join(l);
  };
  const struct {
    std::string text;
    std::string reason;
  } cases[] = {
      {"", "the file is empty"},
      {" \r\n\r\n", "the file is empty"},
      {"QAV Classic Configuration File Version NG.2\n1\n", "line 1 names a version of the Classic configuration file "
                                                            "that this program does not read (NG.2)"},
      {"QAV Main Configuration File Version NG.2\n", "line 1 is not the header of a Classic configuration file"},
      {"Dear reader,\nthis is plain text\nof three lines\n", "line 1 is neither the header"},
      {"1\n0\n0\nplain\n", "the file ends at line 4, before the single-day file name"},
      {with(7, "x"), "line 8 is not a number (raw data format)"},
      {with(4, "../x.dat"), "line 5 (raw data file name) is \"../x.dat\", not the name of a file inside the output folder"},
      {with(5, "sub\\x.sds"), "line 6 (single-day file name)"},
      {with(6, ".."), "line 7 (multi-day file name)"},
      {with(4, "SIXTEEN_CHARS.DA"), "line 5 is longer than 15 characters"},
      {with(20, "I-5\x01"), "line 21 holds a character that is not text (roadways of the raw data selection)"},
      {with(20, "I-5 LONGNAME"), "line 21 is longer than 11 characters (roadways of the raw data selection)"},
      {with(24, "ES-101DX"), "line 25 is longer than 7 characters (cabinet aliases of the raw data selection)"},
      {"-1\n", "line 1 is -1 (Raw data ON), not a value from 0 to 1"},
      {Join(good) + "1\n", "line " + std::to_string(good.size() + 1) + " follows the end of the set-up"},
  };
  for (const auto& c : cases) {
    ClassicSetup out;
    std::string err;
    EXPECT_FALSE(ParseClassicConfig(c.text, out, err)) << c.reason;
    EXPECT_EQ(err.rfind(c.reason, 0), 0u) << err;
  }
  EXPECT_EQ(ReportFileNameFault("REPORT.DAT"), "");
  EXPECT_NE(ReportFileNameFault("a/b"), "");
}

TEST(ClassicConfig, DuplicateDatesAreDropped) {
  ClassicSetup c = SampleSetup();
  c.sel[CB_RAW].dates = {37623.0, 37622.0, 37623.0};
  ClassicSetup back;
  std::string err;
  ASSERT_TRUE(ParseClassicConfig(FormatClassicConfig(c), back, err)) << err;
  EXPECT_EQ(back.sel[CB_RAW].dates, (std::vector<double>{37622.0, 37623.0}));
}

struct BadCase {
  const char* name;
  // Line index (of the sample's NG.1 text) to replace, and its new text; or a cut.
  int line;
  const char* text;
  bool cut;
};

class ClassicConfigBad : public ::testing::TestWithParam<BadCase> {};

TEST_P(ClassicConfigBad, IsRefused) {
  const BadCase& b = GetParam();
  std::vector<std::string> l = Lines(FormatClassicConfig(SampleSetup()));
  // Sample raw block: line 15 dates count, 16 "0", 17-18 dates, 19 roadway count, 20-21,
  // 22 cabinet count, 23-32 cabinets, 33 element count, 34-45 elements.
  if (b.cut)
    l.resize(static_cast<size_t>(b.line));
  else
    l[static_cast<size_t>(b.line)] = b.text;
  ClassicSetup out;
  std::string err;
  EXPECT_FALSE(ParseClassicConfig(Join(l), out, err)) << b.name;
  EXPECT_FALSE(err.empty()) << b.name;
}

INSTANTIATE_TEST_SUITE_P(
    Malformed, ClassicConfigBad,
    ::testing::Values(BadCase{"negative date count", 15, "-3", false},
                      BadCase{"huge date count", 15, "2000000000", false},
                      BadCase{"date count beyond the file", 15, "90", false},
                      BadCase{"negative roadway count", 19, "-1", false},
                      BadCase{"cabinet roadway index out of range", 27, "2", false},
                      BadCase{"cabinet roadway index -1", 27, "-1", false},
                      BadCase{"element cabinet index out of range", 36, "2", false},
                      BadCase{"element type out of range", 35, "4", false},
                      BadCase{"date that is no date", 17, "1e300", false},
                      BadCase{"date that is not a number", 17, "nan", false},
                      BadCase{"format out of range", 7, "2", false},
                      BadCase{"end inside the cabinets", 25, nullptr, true},
                      BadCase{"end inside the elements", 40, nullptr, true},
                      BadCase{"end right after a date count", 16, nullptr, true},
                      BadCase{"end after the three blocks", 63, nullptr, true}));

TEST(ClassicConfig, ListSelectionOutOfRangeIsRefused) {
  ClassicSetup c = SampleSetup();
  std::vector<std::string> l = Lines(FormatClassicConfig(c));
  // The last lines: months (3: 0 5 11), monthly days (2: 1 2), yearly days (1: 6).
  ClassicSetup out;
  std::string err;
  auto bad = l;
  bad[bad.size() - 1] = "7";
  EXPECT_FALSE(ParseClassicConfig(Join(bad), out, err));
  bad = l;
  bad[bad.size() - 10] = "13";  // the month count
  EXPECT_FALSE(ParseClassicConfig(Join(bad), out, err));
  bad = l;
  bad.pop_back();  // ends inside the yearly list
  EXPECT_FALSE(ParseClassicConfig(Join(bad), out, err));
}

TEST(ClassicConfig, EmptyFileIsRefused) {
  ClassicSetup out;
  std::string err;
  EXPECT_FALSE(ParseClassicConfig("", out, err));
}

TEST(ClassicConfig, FileWriteAndReadBack) {
  std::string path = ::testing::TempDir() + "cfg_rt_" + std::to_string(::getpid()) + ".cfg";
  ClassicSetup c = SampleSetup();
  std::string err;
  ASSERT_TRUE(WriteClassicConfigFile(path.c_str(), c, err)) << err;
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes.substr(0, 45), std::string(CLASSIC_CONFIG_HEADER) + "\r\n");
  ClassicSetup back;
  ASSERT_TRUE(ReadClassicConfigFile(path.c_str(), back, err)) << err;
  EXPECT_EQ(back, c);
  std::remove(path.c_str());
  EXPECT_FALSE(ReadClassicConfigFile(path.c_str(), back, err));
  EXPECT_NE(err.find("cannot find"), std::string::npos) << err;
  EXPECT_FALSE(WriteClassicConfigFile("/nonexistent-dir/x.cfg", c, err));
  EXPECT_FALSE(err.empty());
  // A file far larger than any set-up (sparse, so it costs no disc) is refused unread.
  {
    std::ofstream big(path, std::ios::binary);
  }
  ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(MAX_CFG_BYTES) + 1), 0);
  EXPECT_FALSE(ReadClassicConfigFile(path.c_str(), back, err));
  EXPECT_NE(err.find("too large"), std::string::npos) << err;
  std::remove(path.c_str());
}

TEST(ClassicConfig, SaveThatFailsHalfWayKeepsTheOldFile) {
  std::string path = ::testing::TempDir() + "cfg_full_" + std::to_string(::getpid()) + ".cfg";
  ClassicSetup c = SampleSetup();
  std::string err;
  ASSERT_TRUE(WriteClassicConfigFile(path.c_str(), c, err)) << err;
  c.sel[CB_RAW].dates.resize(400);
  for (size_t i = 0; i < 400; ++i) c.sel[CB_RAW].dates[i] = 37622.0 + static_cast<double>(i);
  {
    ScopedFileSizeLimit full(600);  // the old file is smaller, the new one larger
    EXPECT_FALSE(WriteClassicConfigFile(path.c_str(), c, err));
  }
  EXPECT_NE(err.find("exceeds the limit"), std::string::npos) << err;
  ClassicSetup back;
  ASSERT_TRUE(ReadClassicConfigFile(path.c_str(), back, err)) << err;
  EXPECT_EQ(back, SampleSetup());
  std::remove(path.c_str());
}

}  // namespace
