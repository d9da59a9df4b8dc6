#include "platform/app/file.h"
#include "platform/base/errors.h"

#include "platform/test_folder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

// Let a request for more memory than can be had come back as null, as it does without the
// address sanitizer, instead of stopping the process.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

TEST(StdioFile, WritesCrLfAndReadsBothLineEnds) {
  TestFolder dir;
  const std::string path = dir / "report.txt";
  CStdioFile out;
  ASSERT_TRUE(out.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::typeText));
  EXPECT_TRUE(out.WriteString("one\ntwo\n\nthree"));
  EXPECT_EQ(out.GetPosition(), 17u);
  EXPECT_TRUE(out.Close());
  EXPECT_EQ(TestFolder::Read(path), "one\r\ntwo\r\n\r\nthree");

  TestFolder::Write(path, "crlf\r\nlf\nlone\rcr\r\n\r\nlast");
  CStdioFile in;
  ASSERT_TRUE(in.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone | CFile::typeText));
  std::string line;
  const char* expected[] = {"crlf", "lf", "lone\rcr", "", "last"};
  for (const char* e : expected) {
    ASSERT_TRUE(in.ReadString(line));
    EXPECT_EQ(line, e);
  }
  EXPECT_FALSE(in.ReadString(line));
  EXPECT_EQ(in.GetLength(), 24u);
}

TEST(StdioFile, BufferFormKeepsTheLineEndAndSplitsLongLines) {
  TestFolder dir;
  const std::string path = dir / "lines.txt";
  TestFolder::Write(path, "abcdef\r\nxy\n");
  CStdioFile in;
  ASSERT_TRUE(in.Open(path.c_str(), CFile::modeRead));
  char buf[5];
  ASSERT_NE(in.ReadString(buf, 5), nullptr);
  EXPECT_STREQ(buf, "abcd");
  ASSERT_NE(in.ReadString(buf, 5), nullptr);
  EXPECT_STREQ(buf, "ef\n");
  ASSERT_NE(in.ReadString(buf, 5), nullptr);
  EXPECT_STREQ(buf, "xy\n");
  EXPECT_EQ(in.ReadString(buf, 5), nullptr);
}

TEST(StdioFile, BinaryModeLeavesBytesAlone) {
  TestFolder dir;
  const std::string path = dir / "bin.txt";
  CStdioFile out;
  ASSERT_TRUE(out.Open(path.c_str(), CFile::modeCreate | CFile::modeReadWrite | CFile::typeBinary));
  out.WriteString("a\r\nb\n");
  out.SeekToBegin();
  std::string line;
  ASSERT_TRUE(out.ReadString(line));
  EXPECT_EQ(line, "a\r");
  out.Close();
  EXPECT_EQ(TestFolder::Read(path), "a\r\nb\n");
}

TEST(StdioFile, WriteAfterReadLandsAtThePositionRead) {
  TestFolder dir;
  const std::string path = dir / "mixed.bin";
  TestFolder::Write(path, "abcdefgh");
  CStdioFile f;
  ASSERT_TRUE(f.Open(path.c_str(), CFile::modeReadWrite | CFile::typeBinary));
  char buf[3] = {};
  ASSERT_EQ(f.Read(buf, 2), 2u);
  EXPECT_TRUE(f.Write("XY", 2));
  EXPECT_EQ(f.GetPosition(), 4u);
  ASSERT_EQ(f.Read(buf, 2), 2u);
  EXPECT_STREQ(buf, "ef");
  EXPECT_TRUE(f.Close());
  EXPECT_EQ(TestFolder::Read(path), "abXYefgh");
}

TEST(File, OpenFailureFillsTheRecord) {
  TestFolder dir;
  TestFolder::Write(dir / "Day.DAT", "0123456789");
  struct Case { std::string path; UINT flags; int cause; LONG os; std::string name; };
  const Case cases[] = {
      {dir / "none.dat", CFile::modeRead, CFileException::fileNotFound, 2, dir / "none.dat"},
      {dir / "nofolder/none.dat", CFile::modeRead, CFileException::badPath, 3, dir / "nofolder/none.dat"},
      {dir.path(), CFile::modeRead, CFileException::accessDenied, 5, dir.path()},
  };
  for (const auto& c : cases) {
    CFile f;
    CFileException e;
    EXPECT_EQ(e.m_lOsError, -1);
    EXPECT_FALSE(f.Open(c.path.c_str(), c.flags, &e));
    EXPECT_EQ(e.m_cause, c.cause) << c.path;
    EXPECT_EQ(e.m_lOsError, c.os) << c.path;
    EXPECT_EQ(e.m_strFileName, c.name);
  }
  // The name is found without regard to case, and Read stops at the end.
  CFile f;
  ASSERT_TRUE(f.Open((dir.path() + "\\DAY.dat").c_str(), CFile::modeRead | CFile::shareDenyNone));
  EXPECT_EQ(f.GetFileName(), "DAY.dat");
  EXPECT_EQ(f.GetLength(), 10u);
  char buf[16];
  EXPECT_EQ(f.Read(buf, 4), 4u);
  EXPECT_EQ(f.Seek(-2, CFile::end), 8u);
  EXPECT_EQ(f.Read(buf, 16), 2u);
  EXPECT_EQ(f.Read(buf, 16), 0u);
  EXPECT_EQ(f.GetError(), 0u);
  EXPECT_EQ(f.Seek(-20, CFile::current), 10u);
  EXPECT_EQ(f.GetError(), ERROR_NEGATIVE_SEEK);
  EXPECT_FALSE(f.Write("x", 1));
}

TEST(MemFile, GrowsAttachesAndDetaches) {
  CMemFile m(16);
  EXPECT_TRUE(m.Write("hello world, this is long", 25));
  EXPECT_EQ(m.GetLength(), 25u);
  m.SeekToBegin();
  char buf[8] = {};
  EXPECT_EQ(m.Read(buf, 5), 5u);
  EXPECT_EQ(std::string(buf, 5), "hello");
  m.Seek(30, CFile::begin);
  EXPECT_TRUE(m.Write("!", 1));  // the gap is zero-filled
  EXPECT_EQ(m.GetLength(), 31u);

  BYTE fixed[4] = {'a', 'b', 'c', 'd'};
  CMemFile a(fixed, 4);
  EXPECT_EQ(a.GetLength(), 4u);
  EXPECT_EQ(a.Read(buf, 8), 4u);
  EXPECT_FALSE(a.Write("e", 1));  // cannot grow
  EXPECT_EQ(a.GetError(), ERROR_NOT_ENOUGH_MEMORY);

  BYTE small[2];
  CMemFile g(small, 2, 8);
  EXPECT_EQ(g.GetLength(), 0u);
  EXPECT_TRUE(g.Write("0123456789", 10));  // moves to a block of its own
  BYTE* block = g.Detach();
  ASSERT_NE(block, nullptr);
  EXPECT_NE(block, small);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(block), 10), "0123456789");
  std::free(block);
  EXPECT_EQ(g.GetLength(), 0u);
  g.SetFilePath(nullptr);  // ignored
}

TEST(StdioFile, ExclusiveCreationNeverOverwrites) {
  TestFolder dir;
  const std::string path = dir / "123Out.txt";
  CStdioFile a;
  ASSERT_TRUE(a.Open(path.c_str(), CFile::modeCreateExclusive | CFile::modeWrite | CFile::typeText));
  a.WriteString("first\n");
  a.Close();
  CStdioFile b;
  CFileException e;
  EXPECT_FALSE(b.Open(path.c_str(), CFile::modeCreateExclusive | CFile::modeWrite | CFile::typeText, &e));
  EXPECT_EQ(e.m_lOsError, 80);
  EXPECT_EQ(TestFolder::Read(path), "first\r\n");
}

TEST(File, SeekTargetsBeyondTheLargestPositionFail) {
  TestFolder dir;
  const std::string path = dir / "seek.bin";
  TestFolder::Write(path, "0123456789");
  CFile f;
  ASSERT_TRUE(f.Open(path.c_str(), CFile::modeRead));
  CMemFile m;
  ASSERT_TRUE(m.Write("0123456789", 10));
  for (CFile* file : {&f, static_cast<CFile*>(&m)}) {
    EXPECT_EQ(file->Seek(4, CFile::begin), 4u);
    EXPECT_EQ(file->Seek(INT64_MAX, CFile::current), 4u);
    EXPECT_EQ(file->GetError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(file->Seek(INT64_MAX, CFile::end), 4u);
    EXPECT_EQ(file->Seek(INT64_MAX - 4, CFile::current), uint64_t(INT64_MAX));
  }
}

TEST(MemFile, GrowingFarBeyondTheDataFailsAtOnce) {
  // A position far out (from a corrupt offset, say) must not make growth count up to it in
  // steps of the grow size.
  CMemFile m(1024);
  ASSERT_TRUE(m.Write("abc", 3));
  EXPECT_EQ(m.Seek(int64_t(1) << 62, CFile::begin), uint64_t(1) << 62);
  EXPECT_FALSE(m.Write("x", 1));
  EXPECT_EQ(m.GetError(), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_FALSE(m.SetLength(uint64_t(1) << 62));
  EXPECT_FALSE(m.SetLength(UINT64_MAX));
  EXPECT_EQ(m.GetLength(), 3u);
  m.SeekToBegin();
  char buf[4] = {};
  EXPECT_EQ(m.Read(buf, 4), 3u);
  EXPECT_EQ(std::string(buf, 3), "abc");
}
