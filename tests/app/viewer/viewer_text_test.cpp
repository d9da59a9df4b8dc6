#include "app/viewer/viewer_text.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

// "%s:%s  %s  %s  %3i.%02i" title lines as the report writers make them.
const char* kTitleA = "ES-101D:_MN___1  I-5          Station Rd         12.34";
const char* kTitleB = "ES-101D:_MS___2  I-5          Station Rd         12.34";
const char* kTitleC = "ES-200R:_MN___1  SR 520       Oak Hill            1.00";

std::string RawDay(const char* title, const char* date, bool withData, const char* dataPrefix = "00:00") {
  std::string s = std::string(title) + "\n" + date + "\n\n";
  if (!withData) return s + "     ***DATA UNAVAILABLE***\n\n";
  s += "   Time   Vol  Occ\n";
  for (int i = 0; i < 288; ++i) s += std::string(dataPrefix) + "  12  3.4\n";
  return s;
}

TEST(ViewerText, FileTypeFromUpperCasedEnding) {
  EXPECT_EQ(ViewerFileType("/tmp/a.dat"), VFT_RAW);
  EXPECT_EQ(ViewerFileType("C:\\X\\B.Sds"), VFT_SDS);
  EXPECT_EQ(ViewerFileType("m.MDS"), VFT_MDS);
  EXPECT_EQ(ViewerFileType("m.txt"), VFT_UNKNOWN);
  EXPECT_EQ(ViewerFileType("ds"), VFT_UNKNOWN);
  EXPECT_EQ(ViewerFileType("dat"), VFT_RAW);  // the last three characters, however short the path
}

TEST(ViewerText, PathEndKeepsTheFileName) {
  struct Case { const char* path; size_t width; const char* shown; };
  for (const Case& c : {Case{"C:\\R\\A.DAT", 27, "C:\\R\\A.DAT"}, Case{"/TMP/REPORTS/1995/YEAR.MDS", 12, ".../YEAR.MDS"},
                        Case{"ABCDEF", 6, "ABCDEF"}, Case{"ABCDEFG", 6, "...EFG"}, Case{"ABCDEFG", 2, "FG"},
                        Case{"", 5, ""}})
    EXPECT_EQ(PathEnd(c.path, c.width), c.shown) << c.path << " " << c.width;
}

TEST(ViewerText, LinesOfCrLfTextAndEmptyText) {
  CTextLines t;
  t.Assign("a\r\nbc\n\nlast");
  ASSERT_EQ(t.Count(), 4);
  EXPECT_EQ(t.Line(0), "a");
  EXPECT_EQ(t.Line(2), "");
  EXPECT_EQ(t.Line(3), "last");
  EXPECT_EQ(t.Line(4), "");
  t.Assign("one\n");
  EXPECT_EQ(t.Count(), 1);
  t.Assign("");
  EXPECT_EQ(t.Count(), 0);
  std::vector<SViewerSection> s;
  EXPECT_TRUE(IndexSections(t, VFT_RAW, s, {}));
  EXPECT_TRUE(s.empty());
  EXPECT_TRUE(CabinetLines(s).empty());
  EXPECT_EQ(FindSection(s, VFT_RAW, "ES-101D", "_MN___1", "x"), -1);
}

TEST(ViewerText, RawListingIndexSkipsDataLinesAndUnavailableDays) {
  CTextLines t;
  // Data lines that begin with "ES-" are never titles; a day without data has no data block, so
  // the section right after it is found.
  t.Assign(RawDay(kTitleA, "01/05/2003 (Sun)", true, "ES-00") + RawDay(kTitleA, "01/06/2003 (Mon)", false) +
           RawDay(kTitleB, "01/05/2003 (Sun)", true) + RawDay(kTitleC, "01/05/2003 (Sun)", true));
  std::vector<SViewerSection> s;
  int steps = 0;
  ASSERT_TRUE(IndexSections(t, VFT_RAW, s, [&] { return ++steps > 0; }));
  ASSERT_EQ(s.size(), 4u);
  EXPECT_EQ(s[0].m_strCabinet, "ES-101D");
  EXPECT_EQ(s[0].m_strElement, "_MN___1");
  EXPECT_EQ(s[0].m_strDescription, "I-5          Station Rd ");
  EXPECT_EQ(s[1].m_strHeading, "01/06/2003 (Mon)");
  EXPECT_EQ(s[2].m_strElement, "_MS___2");
  EXPECT_EQ(CabinetLines(s), (std::vector<std::string>{"ES-101D I-5          Station Rd ", "ES-200R SR 520       Oak Hill   "}));
  EXPECT_EQ(ElementsOfCabinet(s, "ES-101D"), (std::vector<std::string>{"_MN___1", "_MS___2"}));
  EXPECT_EQ(SectionLabels(s, "_MN___1", VFT_RAW), (std::vector<std::string>{"01/05/2003 (Sun)", "01/06/2003 (Mon)"}));
  // Find: the title line of the chosen day.
  int second = 4 + 288;
  EXPECT_EQ(FindSection(s, VFT_RAW, "ES-101D", "_MN___1", "01/06/2003 (Mon)"), second);
  EXPECT_EQ(FindSection(s, VFT_RAW, "ES-101D", "_MN___1", "01/05/2003 (Sun)"), 0);
  EXPECT_EQ(FindSection(s, VFT_RAW, "ES-200R", "_MN___1", "01/05/2003 (Sun)"), second + 5 + 292);
  EXPECT_EQ(FindSection(s, VFT_RAW, "ES-200R", "_MN___1", "01/09/2003 (Thu)"), -1);
  // Cancel during indexing drops what was indexed.
  EXPECT_FALSE(IndexSections(t, VFT_RAW, s, [] { return false; }));
  EXPECT_TRUE(s.empty());
}

TEST(ViewerText, TitleWithStarsAndDescriptionColumn) {
  CTextLines t;
  t.Assign("ES-300 :_ME___1 ***Unknown***\n01/05/2003 (Sun)\n\n     ---Daily\n"
           "ES-400 :_ME___1X  SR 99      Ashfen\n01/05/2003 (Sun)\n\n     ---15 Minute\n");
  std::vector<SViewerSection> s;
  ASSERT_TRUE(IndexSections(t, VFT_SDS, s, {}));
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].m_strDescription, "**Unavailable**");
  EXPECT_EQ(s[1].m_strDescription, "99      Ashfen");  // column 15 not blank: from column 21
}

TEST(ViewerText, CabinetWithoutAliasIsNamedByItsId) {
  // Title lines as the heading writes them for cabinets without an alias; look-alikes are not titles.
  struct Case { const char* line; int colon; };
  for (const Case& c : {Case{"005es01000:_MW___1  I-90  Nowhere    5.00", 10}, Case{kTitleA, 7},
                        Case{"NIDes00300:_MN___1", 10}, Case{"005xx01000:_MW___1", 0}, Case{"005es 1000:_MW___1", 0},
                        Case{"005es01000 _MW___1", 0}, Case{"005es01000", 0}, Case{":_MW___1  I-90", 0}})
    EXPECT_EQ(TitleColon(c.line), c.colon) << c.line;
  // A line is its view only: a colon in the buffer just past the view does not make it a title.
  EXPECT_EQ(TitleColon(std::string_view("005es01000:_MW___1").substr(0, 10)), 0);
  CTextLines t;
  t.Assign(std::string(kTitleA) + "\n01/05/2003 (Sun)\n\n     ---Daily\n"
           "005es01000:_MW___1  I-90  Nowhere    5.00\n01/05/2003 (Sun)\n\n     ---Daily\n"
           "005es01075:_MW___1  I-90  Nowhere    5.75\n01/05/2003 (Sun)\n\n     ---15 Minute\n");
  std::vector<SViewerSection> s;
  ASSERT_TRUE(IndexSections(t, VFT_SDS, s, {}));
  ASSERT_EQ(s.size(), 3u);
  EXPECT_EQ(s[1].m_strElement, "_MW___1");
  std::vector<std::string> cabinets;
  EXPECT_EQ(CabinetLines(s, &cabinets),
            (std::vector<std::string>{"ES-101D I-5          Station Rd ", "005es01000 I-90  Nowhere    5.00",
                                      "005es01075 I-90  Nowhere    5.75"}));
  EXPECT_EQ(cabinets, (std::vector<std::string>{"ES-101D", "005es01000", "005es01075"}));
  EXPECT_EQ(ElementsOfCabinet(s, "005es01075"), (std::vector<std::string>{"_MW___1"}));
  EXPECT_EQ(FindSection(s, VFT_SDS, "005es01075", "_MW___1", "01/05/2003 (Sun)  15Min"), 8);
  EXPECT_EQ(FindSection(s, VFT_SDS, "005es01000", "_MW___1", "01/05/2003 (Sun)  Daily"), 4);
}

TEST(ViewerText, SingleDayLabelsAndFind) {
  std::string sds;
  for (const char* sub : {"     ---Daily Summary", "     ---15 Minute Summary"})
    sds += std::string(kTitleA) + "\n01/05/2003 (Sun)\n\n" + sub + "\nline\nline\n";
  sds += std::string(kTitleA) + "\n01/06/2003 (Mon)\n\n     ---Daily Summary\n";
  CTextLines t;
  t.Assign(sds);
  std::vector<SViewerSection> s;
  ASSERT_TRUE(IndexSections(t, VFT_SDS, s, {}));
  std::vector<std::string> labels = SectionLabels(s, "_MN___1", VFT_SDS);
  EXPECT_EQ(labels, (std::vector<std::string>{"01/05/2003 (Sun)  Daily", "01/05/2003 (Sun)  15Min",
                                              "01/06/2003 (Mon)  Daily"}));
  EXPECT_EQ(FindSection(s, VFT_SDS, "ES-101D", "_MN___1", labels[0]), 0);
  EXPECT_EQ(FindSection(s, VFT_SDS, "ES-101D", "_MN___1", labels[1]), 6);
  EXPECT_EQ(FindSection(s, VFT_SDS, "ES-101D", "_MN___1", labels[2]), 12);
}

TEST(ViewerText, MultiDayLabelsAndFindTheLastMatch) {
  std::string mds;
  const char* headings[] = {"Monthly Avg for 2003 Jan (Sun)", "Yearly Avg for 2003 (Mon)",
                            "(ASWT) Average Standard Weekday Traffic", "(AWDT) Average Weekday Daily Traffic",
                            "(AADT) Average Annual Daily Traffic", "Other heading"};
  for (const char* h : headings) mds += std::string(kTitleC) + "\n" + h + "\n\n\n";
  mds += std::string(kTitleC) + "\n" + headings[0] + "\n\n\n";  // the same section again
  CTextLines t;
  t.Assign(mds);
  std::vector<SViewerSection> s;
  ASSERT_TRUE(IndexSections(t, VFT_MDS, s, {}));
  std::vector<std::string> labels = SectionLabels(s, "_MN___1", VFT_MDS);
  EXPECT_EQ(labels, (std::vector<std::string>{"Monthly: 2003 Jan (Sun)", "Yearly:  2003 (Mon)", "Annual:  ASWT",
                                              "Annual:  AWDT", "Annual:  AADT"}));
  const int lines[] = {24, 4, 8, 12, 16};
  for (size_t i = 0; i < labels.size(); ++i)
    EXPECT_EQ(FindSection(s, VFT_MDS, "ES-200R", "_MN___1", labels[i]), lines[i]) << labels[i];
  EXPECT_EQ(FindSection(s, VFT_MDS, "ES-200R", "_MN___1", "Yearly:  2004 (Mon)"), -1);
}

TEST(ViewerText, LoadFromFileWithProgressAndCancel) {
  std::string path = ::testing::TempDir() + "viewer_load_" + std::to_string(::getpid()) + ".dat";
  {
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < 100000; ++i) out << "line " << i << "\r\n";
  }
  CTextLines t;
  uint64_t last = 0, widest = 0;
  ASSERT_EQ(t.Load(path.c_str(),
                   [&](uint64_t n) {
                     widest = std::max(widest, n - last);
                     last = n;
                     return true;
                   }),
            0u);
  EXPECT_EQ(t.Count(), 100000);
  EXPECT_EQ(t.Line(99999), "line 99999");
  EXPECT_EQ(last, std::filesystem::file_size(path));
  // Progress, which is where a Cancel is looked for, comes at least every 128 KB.
  EXPECT_LE(widest, 128u * 1024);
  EXPECT_NE(t.Load(path.c_str(), [](uint64_t) { return false; }), 0u);
  EXPECT_EQ(t.Count(), 0);
  EXPECT_EQ(t.ByteCount(), 0u);  // the text is dropped with its lines
  std::ofstream(path, std::ios::binary) << "one\r\nlast";  // no line end after the last line
  ASSERT_EQ(t.Load(path.c_str(), {}), 0u);
  ASSERT_EQ(t.Count(), 2);
  EXPECT_EQ(t.Line(1), "last");
  std::remove(path.c_str());
  EXPECT_EQ(t.Load(path.c_str(), {}), 2u);
}

}  // namespace
