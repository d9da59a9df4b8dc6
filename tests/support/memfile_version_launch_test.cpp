#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/app/version.h"
#include "platform/shell/shell.h"
#include "support/launch.h"
#include "support/module_version.h"
#include "support/stdio_mem_file.h"

namespace {

// Reads every line with ReadString(buffer, max); "(null)" marks the end.
std::vector<std::string> ReadAll(const std::string& data, int max) {
  std::vector<BYTE> bytes(data.begin(), data.end());
  CStdioMemFile f(bytes.data(), static_cast<UINT>(bytes.size()));
  std::vector<std::string> lines;
  std::vector<char> buffer(static_cast<size_t>(std::abs(max)) + 1, '#');
  for (int i = 0; i < 20; ++i) {
    const char* p = f.ReadString(buffer.data(), max);
    if (p == nullptr) {
      lines.push_back("(null)");
      break;
    }
    lines.push_back(p);
  }
  return lines;
}

TEST(StdioMemFile, LineEndRules) {
  struct Case {
    std::string data;
    int max;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      // Fewer than max bytes left: the line end is stored.
      {"ab\r\ncd", 128, {"ab\n", "cd", "(null)"}},
      {"ab\r\ncd", -128, {"ab\n", "cd", "(null)"}},
      // A line longer than max comes in pieces; the line end is consumed, not stored.
      {"abc\n", 2, {"ab", "c", "(null)"}},
      // After max stored bytes the line end is still to come: the next call gives an empty line.
      {"abcdef\nxy\n", 3, {"abc", "def", "", "xy", "(null)"}},
      // max negative keeps the line end wherever it is.
      {"abcdef\nxy\n", -10, {"abcdef\n", "xy\n", "(null)"}},
      // A lone CR is a line end of its own and does not swallow the next character.
      {"ab\rcd\n", 128, {"ab\n", "cd\n", "(null)"}},
      // A CR as the very last byte ends the line without reading past the data.
      {"ab\r", 128, {"ab\n", "(null)"}},
      {"", 128, {"(null)"}},
      {"\n\n", 1, {"", "", "(null)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "data " << testing::PrintToString(c.data) << " max " << c.max);
    EXPECT_EQ(ReadAll(c.data, c.max), c.lines);
  }
}

TEST(StdioMemFile, BufferBoundIsMaxPlusOne) {
  // A 200-character line read with max 128 writes at most 129 bytes.
  const std::string data = std::string(200, 'x') + "\n";
  std::vector<BYTE> bytes(data.begin(), data.end());
  CStdioMemFile f(bytes.data(), static_cast<UINT>(bytes.size()));
  char buffer[129 + 8];
  std::memset(buffer, '#', sizeof buffer);
  ASSERT_NE(f.ReadString(buffer, 128), nullptr);
  EXPECT_EQ(std::strlen(buffer), 128u);
  for (size_t i = 129; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], '#');
  ASSERT_NE(f.ReadString(buffer, 128), nullptr);
  EXPECT_EQ(std::string(buffer), std::string(72, 'x') + "\n");
}

TEST(StdioMemFile, WholeLines) {
  const std::string data = std::string(300, 'a') + "\n" + std::string(128, 'b') + "\r\nlast" + "\n" +
                           std::string(256, 'c');
  std::vector<BYTE> bytes(data.begin(), data.end());
  CStdioMemFile f(bytes.data(), static_cast<UINT>(bytes.size()));
  CStrA line;
  ASSERT_TRUE(f.ReadString(line));
  EXPECT_EQ(std::string(line.m_pData), std::string(300, 'a'));
  ASSERT_TRUE(f.ReadString(line));
  EXPECT_EQ(std::string(line.m_pData), std::string(128, 'b'));
  ASSERT_TRUE(f.ReadString(line));
  EXPECT_EQ(std::string(line.m_pData), "last");
  // A last line of exactly two pieces, without a line end, is still read.
  ASSERT_TRUE(f.ReadString(line));
  EXPECT_EQ(std::string(line.m_pData), std::string(256, 'c'));
  EXPECT_FALSE(f.ReadString(line));
}

TEST(StdioMemFile, WriteStringAndPath) {
  CStdioMemFile f;
  f.WriteString("one\n");
  f.WriteString("two");
  EXPECT_EQ(f.GetLength(), 7u);
  f.SetFilePath("C:\\lists\\devices.txt");
  f.SetFilePath(nullptr);
  EXPECT_EQ(f.GetFilePath(), "C:\\lists\\devices.txt");
  f.Seek(0, CFile::begin);
  char buffer[16];
  ASSERT_NE(f.ReadString(buffer, 15), nullptr);
  EXPECT_STREQ(buffer, "one\n");  // fewer than 15 bytes were left: the line end is kept
}

TEST(ModuleVersion, ReadsTheProgramsBlock) {
  CModuleVersion v;
  ASSERT_TRUE(v.ReadVersionInfo());
  EXPECT_EQ(v.dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(v.m_Translation.m_nCodePage, 1252);
  CStrA text;
  v.GetFileVersionText(text);
  EXPECT_EQ(std::string(text.m_pData).rfind("File Version ", 0), 0u);
  v.GetProductVersionText(text);
  EXPECT_EQ(std::string(text.m_pData).rfind("Product Version ", 0), 0u);
  EXPECT_NE(v.GetValue("CompanyName"), nullptr);
  EXPECT_EQ(v.GetValue("NoSuchKey"), nullptr);

  // A failing read leaves no unread block behind, and the texts untouched.
  SetVersionInfoFailureForTesting(true);
  CModuleVersion failed;
  EXPECT_FALSE(failed.ReadVersionInfo());
  EXPECT_EQ(failed.m_pVersionInfo, nullptr);
  CStrA untouched("keep");
  failed.GetFileVersionText(untouched);
  EXPECT_STREQ(untouched.m_pData, "keep");
  SetVersionInfoFailureForTesting(false);
}

TEST(Launch, StartsProgramsAndReportsMissingOnes) {
  EXPECT_EQ(LaunchProgram("/dev/null", "/bin/true"), 0u);
  EXPECT_EQ(LaunchProgram("/dev/null", "/bin/no-such-program-qav"), 2u);
  EXPECT_EQ(LaunchProgram("/dev/null", "/no/such/folder/program"), 3u);
}

TEST(Launch, AssociatedProgram) {
  char program[260] = "unchanged";
  char error[64] = "";
  EXPECT_EQ(FindAssociatedProgram(".qavnosuchtype", program, error), 31);
  EXPECT_STREQ(error, "No association for file type");
  EXPECT_STREQ(program, "unchanged");
  EXPECT_EQ(FindAssociatedProgram(".qavnosuchtype", program, nullptr), 31);

  SetAssociationLookupForTesting([](const std::string&, std::string& p) {
    p = "/usr/bin/viewer";
    return true;
  });
  std::strcpy(error, "untouched");
  EXPECT_GT(FindAssociatedProgram(".TXT", program, error), 32);
  EXPECT_STREQ(program, "/usr/bin/viewer");
  EXPECT_STREQ(error, "untouched");
  SetAssociationLookupForTesting(nullptr);
}

}  // namespace
