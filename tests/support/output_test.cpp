#include "support/output.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/base/errors.h"
#include "platform/kernel/files.h"
#include "platform/kernel/time.h"

namespace {

struct Captured {
  std::vector<std::string> lines;
  std::vector<std::string> streams;
  std::vector<DWORD> kinds;
};

void OnLine(void* context, const char* line, DWORD kind) {
  static_cast<Captured*>(context)->lines.push_back(line);
  static_cast<Captured*>(context)->kinds.push_back(kind);
}

void OnStream(void* context, CStream& line, DWORD kind) {
  static_cast<Captured*>(context)->streams.push_back(
      std::string(reinterpret_cast<const char*>(line.m_pData), line.m_nSize));
}

class OutputTest : public testing::Test {
 protected:
  void SetUp() override {
    SetLocalTimeSource([] {
      SYSTEMTIME t;
      t.wYear = 2026;
      t.wMonth = 3;
      t.wDay = 4;
      t.wHour = 9;
      t.wMinute = 5;
      t.wSecond = 3;
      t.wMilliseconds = 7;
      return t;
    });
    m_log.m_pfnLine = &OnLine;
    m_log.m_pLineContext = &m_out;
    m_log.m_pfnStream = &OnStream;
    m_log.m_pStreamContext = &m_out;
  }
  void TearDown() override { SetLocalTimeSource(nullptr); }

  static std::string SystemText(DWORD code) {
    std::string t = GetSystemErrorText(code);
    return t.substr(0, t.size() - 2);
  }

  COutput m_log;
  Captured m_out;
  const std::string m_stamp = "[09:05:03.007] ";
  const std::string m_indent = std::string(15, ' ');
};

TEST_F(OutputTest, TextLines) {
  EXPECT_EQ(m_log.AddText("Program Start", 0), 0);
  m_log.AddText("a\nb", 0);
  m_log.AddText("x\n", 1);
  m_log.ProcessItems();
  ASSERT_EQ(m_out.lines.size(), 3u);
  EXPECT_EQ(m_out.lines[0], m_stamp + "Program Start");
  EXPECT_EQ(m_out.streams[0], m_stamp + "Program Start\r\n");
  // A text of several lines starts on a new line, every line indented under the stamp.
  EXPECT_EQ(m_out.streams[1], m_stamp + "\r\n" + m_indent + "a\n" + m_indent + "b\r\n" + "\r\n");
  EXPECT_EQ(m_out.lines[1], m_stamp + "\r\n" + m_indent + "a\n" + m_indent + "b\r\n");
  EXPECT_EQ(m_out.streams[2], m_stamp + "\r\n" + m_indent + "x\n\r\n");
  EXPECT_EQ(m_out.kinds, (std::vector<DWORD>{0, 0, 1}));
  EXPECT_EQ(m_log.m_Queue.m_nSize, 0);
}

TEST_F(OutputTest, ErrorLines) {
  m_log.AddCodeWithPrefix(2, "Loading", 11);
  m_log.AddCode(0x10001, 10);
  m_log.AddValues(0x10009, reinterpret_cast<uint64_t>("Static"), 12);
  m_log.ProcessItems();
  ASSERT_EQ(m_out.lines.size(), 3u);
  EXPECT_EQ(m_out.lines[0], m_stamp + "Loading: " + SystemText(2));
  EXPECT_EQ(m_out.lines[1], m_stamp + "A character-buffer overrun has occurred. The next character is lost.");
  EXPECT_EQ(m_out.lines[2], m_stamp + "Static: Windows Error Code 65545");
}

TEST_F(OutputTest, HexDump) {
  unsigned char data[20];
  for (int i = 0; i < 20; ++i) data[i] = static_cast<unsigned char>('A' + i);
  data[1] = '"';
  data[2] = 0x01;
  m_log.AddDataWithPrefix(data, 20, "Port", 22);
  m_log.ProcessItems();
  ASSERT_EQ(m_out.streams.size(), 1u);
  const std::string head = m_stamp + "Port: Tx> ";
  const std::string pad(head.size() + 1, ' ');
  std::string row1 = pad;
  for (int i = 0; i < 16; ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%2.2X ", data[i]);
    row1 += hex;
  }
  row1 += "   A..DEFGHIJKLMNOP\r\n";
  const std::string row2 = pad + "51 52 53 54 " + std::string(12 * 3, ' ') + "   QRST\r\n";
  EXPECT_EQ(m_out.streams[0], head + "\r\n" + row1 + row2 + "\r\n");

  m_out = Captured();
  m_log.AddData(data, 3, 23);
  m_log.ProcessItems();
  ASSERT_EQ(m_out.lines.size(), 1u);
  EXPECT_EQ(m_out.lines[0].substr(0, m_stamp.size() + 5), m_stamp + "Rx< \r");
}

TEST_F(OutputTest, BlocksFormatsAndUnknownKinds) {
  m_log.AddDataWithPrefix("one\ntwo", 7, "Blk", 16);
  const char16_t wide[] = u"w\x00E9";
  m_log.AddData(wide, 4, 17);
  m_log.AddValues(reinterpret_cast<uint64_t>("n=%d"), 42, 13);
  m_log.AddText("dropped", 25);
  m_log.ProcessItems();
  ASSERT_EQ(m_out.streams.size(), 3u);
  EXPECT_EQ(m_out.streams[0], m_stamp + "Blk: \r\n\r\n" + m_indent + "one\n" + m_indent + "two\r\n\r\n");
  EXPECT_EQ(m_out.streams[1], m_stamp + "\r\nw\xE9\r\n");
  EXPECT_EQ(m_out.lines[2], m_stamp + "n=42");
  EXPECT_EQ(m_log.m_Queue.m_nSize, 0);

  // Draining an empty queue calls nothing.
  m_out = Captured();
  m_log.ProcessItems();
  EXPECT_TRUE(m_out.lines.empty());
}

TEST_F(OutputTest, FileItems) {
  const std::string path = GetTempFolder() + "qav_output_" + std::to_string(getpid()) + ".txt";
  std::ofstream(path, std::ios::binary) << "first\r\nsecond";
  const std::string empty = path + ".empty";
  std::ofstream(empty, std::ios::binary).close();
  m_log.AddText((path + "\nReport").c_str(), 2);
  m_log.AddText((path + ".missing").c_str(), 3);
  m_log.AddText(empty.c_str(), 2);
  m_log.ProcessItems();
  DeleteFileA(path.c_str());
  DeleteFileA(empty.c_str());
  ASSERT_EQ(m_out.streams.size(), 3u);
  EXPECT_EQ(m_out.streams[0], m_stamp + "Report\r\nfirst\r\nsecond\r\n");
  EXPECT_EQ(m_out.streams[1],
            m_stamp + "\r\n" + m_indent + path + ".missing: error opening file to output.\n\r\n");
  EXPECT_EQ(m_out.kinds[1], 1u);
  EXPECT_EQ(m_out.streams[2], m_stamp + "\r\n" + m_indent + empty + ": Error: file to output is zero length.\n\r\n");
}

COutput* g_requeue = nullptr;
void RequeueOnce(void* context, const char* line, DWORD kind) {
  OnLine(context, line, kind);
  if (g_requeue != nullptr) {
    g_requeue->AddText("second", 0);
    g_requeue = nullptr;
  }
}

TEST_F(OutputTest, ItemsQueuedWhileDrainingAreWrittenInTheSameCall) {
  m_log.m_pfnLine = &RequeueOnce;
  g_requeue = &m_log;
  m_log.AddText("first", 0);
  m_log.ProcessItems();
  ASSERT_EQ(m_out.lines.size(), 2u);
  EXPECT_EQ(m_out.lines[1], m_stamp + "second");
}

TEST_F(OutputTest, LogFile) {
  const std::string path = GetTempFolder() + "qav_output_log_" + std::to_string(getpid()) + ".log";
  ASSERT_EQ(m_log.m_LogFile.Open(path.c_str(), GENERIC_WRITE, CREATE_ALWAYS, 0, 0), 0u);
  m_log.AddText("one", 0);
  m_log.AddText("two", 0);
  m_log.ProcessItems();
  m_log.m_LogFile.Close();
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  DeleteFileA(path.c_str());
  EXPECT_EQ(ss.str(), m_stamp + "one\r\n" + m_stamp + "two\r\n");
}

TEST_F(OutputTest, RefusedLogLinesAreReportedOnce) {
  const std::string path = GetTempFolder() + "qav_output_refused_" + std::to_string(getpid()) + ".log";
  ASSERT_EQ(m_log.m_LogFile.Open(path.c_str(), GENERIC_WRITE, CREATE_ALWAYS, 0, 0), 0u);
  m_log.m_LogFile.Stop();  // the file stays open but takes no more lines (995)
  m_log.AddText("one", 0);
  m_log.ProcessItems();
  m_log.m_LogFile.Close();
  DeleteFileA(path.c_str());
  ASSERT_EQ(m_out.lines.size(), 2u);
  EXPECT_EQ(m_out.lines[0], m_stamp + "one");
  EXPECT_EQ(m_out.lines[1], m_stamp + SystemText(995));
  EXPECT_EQ(m_out.kinds[1], 10u);
}

TEST_F(OutputTest, DrainingWhileAnotherThreadQueues) {
  // The drain and the queuing thread meet only under the queue's lock (a thread sanitizer build
  // reports any unlocked look at the queue).
  constexpr int kItems = 2000;
  std::thread producer([&] {
    for (int i = 0; i < kItems; ++i) m_log.AddText(std::to_string(i).c_str(), 0);
  });
  while (m_out.lines.size() < static_cast<size_t>(kItems) / 2) m_log.ProcessItems();
  producer.join();
  m_log.ProcessItems();
  ASSERT_EQ(m_out.lines.size(), static_cast<size_t>(kItems));
  for (int i = 0; i < kItems; i += 199) EXPECT_EQ(m_out.lines[i], m_stamp + std::to_string(i));
}

// Items are equal and ordered by their kinds (signed, so an emptied item orders first), not by
// their time stamps.
TEST(OutputItem, ArraysCompareItemsByKind) {
  auto item = [](DWORD kind, WORD second) {
    COutputItem i;
    i.m_nKind = kind;
    i.m_Time.wSecond = second;
    return i;
  };
  CObjMThreadArray<COutputItem> q;
  q.SafeInsertSorted(item(11, 1), true);
  q.SafeInsertSorted(item(0, 2), true);
  q.SafeInsertSorted(item(OUTPUT_EMPTIED, 3), true);
  ASSERT_EQ(q.m_nSize, 3);
  EXPECT_EQ(q.m_pData[0]->m_nKind, OUTPUT_EMPTIED);
  EXPECT_EQ(q.m_pData[1]->m_nKind, 0u);
  EXPECT_EQ(q.m_pData[2]->m_nKind, 11u);
  CObjMThreadArray<COutputItem> u;
  u.SafeAddUnique(item(0, 1));
  u.SafeAddUnique(item(0, 2));
  u.SafeAddUnique(item(10, 2));
  ASSERT_EQ(u.m_nSize, 2);
  EXPECT_EQ(u.m_pData[0]->m_Time.wSecond, 1);
}

TEST(OutputItem, CopyMovesTheBuffers) {
  COutput log;
  log.AddCodeWithPrefix(5, "prefix", 11);
  COutputItem head;
  ASSERT_TRUE(log.m_Queue.SafeRemoveHead(head));
  EXPECT_EQ(head.m_nKind, 11u);
  EXPECT_STREQ(head.m_pPrefix, "prefix");
  EXPECT_EQ(head.m_nValue2, 7u);
  const COutputItem& source = head;
  COutputItem copy(source);
  EXPECT_EQ(head.m_nKind, 0xFFFFFFFFu);
  EXPECT_EQ(head.m_pPrefix, nullptr);
  EXPECT_EQ(head.m_nValue1, 0u);
  EXPECT_STREQ(copy.m_pPrefix, "prefix");
  COutputItem assigned;
  assigned = copy;
  EXPECT_EQ(copy.m_pPrefix, nullptr);
  EXPECT_EQ(assigned.m_nValue1, 5u);
}

}  // namespace
