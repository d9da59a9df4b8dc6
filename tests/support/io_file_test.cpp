#include "support/io_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <future>
#include <sstream>
#include <string>
#include <thread>

#include "containers/mem_mgr.h"
#include "platform/kernel/files.h"

namespace {

std::string Bytes(const CStream& s) { return std::string(reinterpret_cast<const char*>(s.m_pData), s.m_nSize); }

class IOFileTest : public testing::Test {
 protected:
  void SetUp() override {
    m_dir = GetTempFolder() + "qav_iofile_" + std::to_string(getpid()) + "_" +
            testing::UnitTest::GetInstance()->current_test_info()->name();
    CreateDirectoryA(m_dir.c_str());
  }
  void TearDown() override {
    for (const std::string& f : m_files) DeleteFileA(f.c_str());
    RemoveDirectoryA(m_dir.c_str());
  }
  std::string MakeFile(const std::string& name, const std::string& content) {
    const std::string path = m_dir + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    m_files.push_back(path);
    return path;
  }
  static std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  static std::string Numbers(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s.push_back(static_cast<char>('0' + i % 75));
    return s;
  }
  std::string m_dir;
  std::vector<std::string> m_files;
};

template <class Queue>
int LockedSize(Queue& q) {
  q.m_cs.Enter();
  const int n = q.m_nSize;
  q.m_cs.Leave();
  return n;
}

CStream Text(const char* text, int priority = 0, uint32_t mode = 1, int64_t position = 0) {
  CStream s(text);
  s.m_nPriority = priority;
  s.m_nSeekMode = mode;
  s.m_nPosition = position;
  return s;
}

TEST_F(IOFileTest, ClosedObjectAnswers1200AndStopsTwice) {
  CIOFile f;
  CStream s("x");
  EXPECT_EQ(f.Send(s), 1200u);
  EXPECT_EQ(f.Read(s, 10), 1200u);
  EXPECT_EQ(f.WaitUntilSent(0), 1200u);
  EXPECT_EQ(f.WaitForEvent(0), 1200u);
  EXPECT_EQ(f.SetLength(5), 1200u);
  EXPECT_EQ(f.WaitForReply(s, 1), 1200u);
  EXPECT_EQ(f.Receive(s), 259u);
  f.Stop();
  f.Stop();
  f.Close();
  f.Close();
  EXPECT_EQ(f.Seek(10, 0), 0u);  // a closed file keeps its position
}

TEST_F(IOFileTest, OpenFailures) {
  CIOFile f;
  EXPECT_EQ(f.Open((m_dir + "/missing.dat").c_str(), GENERIC_READ, OPEN_EXISTING, 0, 0), 2u);
  EXPECT_EQ(f.Open((m_dir + "/no/such/x.dat").c_str(), GENERIC_READ, OPEN_EXISTING, 0, 0), 3u);
  EXPECT_EQ(f.Open(m_dir.c_str(), GENERIC_READ, OPEN_EXISTING, 0, 0), 5u);
  EXPECT_FALSE(f.IsOpen());
  DWORD result = 99;
  CIOFile g(&result, MakeFile("a.dat", "abc").c_str(), GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ, 0);
  EXPECT_EQ(result, 0u);
  EXPECT_TRUE(g.IsOpen());
  EXPECT_EQ(g.m_nFileSize, 3u);
}

TEST_F(IOFileTest, SendQueueKeepsPriorityOrder) {
  const std::string path = MakeFile("order.dat", "");
  CIOFile f;
  ASSERT_EQ(f.Open(path.c_str(), GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, 0, 0), 0u);
  EXPECT_EQ(f.Send(CStream()), 1782u);
  // Hold the writer at the lock while the queue fills.
  f.m_csWrite.Enter();
  ASSERT_EQ(f.Send(Text("[", -100)), 0u);
  for (int i = 0; i < 1000 && LockedSize(f.m_SendQueue) > 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(f.Send(Text("5a", 5)), 0u);
  ASSERT_EQ(f.Send(Text("1", 1)), 0u);
  ASSERT_EQ(f.Send(Text("5b", 5)), 0u);
  ASSERT_EQ(f.Send(Text("0", 0)), 0u);
  EXPECT_EQ(f.WaitUntilSent(1), 258u);  // still held
  f.m_csWrite.Leave();
  EXPECT_EQ(f.WaitUntilSent(IO_WAIT_FOREVER), 0u);
  EXPECT_EQ(f.m_nFileSize, 7u);
  f.Close();
  EXPECT_EQ(Slurp(path), "[015a5b");
}

TEST_F(IOFileTest, ReadsAtEachSeekMode) {
  const std::string data = Numbers(1000);
  CIOFile f;
  ASSERT_EQ(f.Open(MakeFile("r.dat", data).c_str(), GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ, 0), 0u);
  struct Step {
    uint32_t mode;
    int64_t offset;
    DWORD length;
    DWORD result;
    size_t from, count;   // expected bytes
    uint64_t positionAfter;
  };
  const Step steps[] = {
      {1, 0, 100, 0, 0, 100, 100},     // sequential reads continue where the last ended
      {1, 0, 100, 0, 100, 100, 200},
      {0, -50, 10, 0, 0, 10, 10},      // a negative absolute offset reads from the start
      {0, 500, 20, 0, 500, 20, 520},
      {1, 30, 10, 0, 550, 10, 560},    // relative to the read position
      {1, -2000, 5, 0, 0, 5, 5},       // a move before the start stops at 0
      {2, -20, 100, 0, 980, 20, 1000}, // from the end; a short read gives fewer bytes
      {2, 5, 10, 38, 0, 0, 1000},      // at the end: no bytes at all is end of file
      {0, 5000, 10, 38, 0, 0, 1000},
      {1, 0, 0, 1782, 0, 0, 1000},
  };
  for (const Step& st : steps) {
    SCOPED_TRACE(testing::Message() << "mode " << st.mode << " offset " << st.offset);
    CStream s;
    s.m_nSeekMode = st.mode;
    s.m_nPosition = st.offset;
    ASSERT_EQ(f.Read(s, st.length), st.result);
    if (st.result == 0) {
      EXPECT_EQ(Bytes(s), data.substr(st.from, st.count));
      EXPECT_EQ(s.m_nSeekMode, st.mode);
      EXPECT_EQ(s.m_nPosition, st.offset);
      EXPECT_NE(s.m_nId, 0xFFFFFFFFu);
    }
    EXPECT_EQ(f.GetReadPosition(), st.positionAfter);
  }
  EXPECT_EQ(f.Seek(-10, 2), 990u);
  EXPECT_EQ(f.Seek(5, 1), 995u);
  EXPECT_EQ(f.Seek(-5000, 1), 0u);
  EXPECT_EQ(f.Seek(7, 9), 0u);  // an unknown mode leaves the position
  EXPECT_EQ(f.Seek(5000, 0), 1000u);
}

TEST_F(IOFileTest, EmptyFileAndZeroLength) {
  CIOFile f;
  ASSERT_EQ(f.Open(MakeFile("e.dat", "").c_str(), GENERIC_READ, OPEN_EXISTING, 0, 0), 0u);
  CStream s;
  EXPECT_EQ(f.Read(s, 10), 1160u);
  EXPECT_EQ(f.Read(s, 0), 1160u);  // the empty file is reported first
  SReadRequest r;
  r.m_nLength = 4;
  EXPECT_EQ(f.QueueRead(r), 1160u);
}

TEST_F(IOFileTest, WritesGrowTheFileAndSetLengthMovesBothPositions) {
  const std::string path = MakeFile("w.dat", Numbers(100));
  CIOFile f;
  ASSERT_EQ(f.Open(path.c_str(), GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, 0, 0), 0u);
  ASSERT_EQ(f.Send(Text("tail", 0, 0, 300)), 0u);
  ASSERT_EQ(f.WaitUntilSent(IO_WAIT_FOREVER), 0u);
  EXPECT_EQ(f.m_nFileSize, 304u);
  EXPECT_EQ(f.m_nWritePosition, 304u);
  ASSERT_EQ(f.Send(Text("AB")), 0u);  // mode 1, position 0: at the write position
  ASSERT_EQ(f.Send(Text("Z", 0, 2, -1)), 0u);  // the last byte
  ASSERT_EQ(f.Send(Text("q", 0, 1, -1000)), 0u);  // a move before the start writes at 0
  EXPECT_EQ(f.WaitUntilSent(IO_WAIT_FOREVER), 0u);
  EXPECT_EQ(f.m_nFileSize, 306u);

  CStream s;
  s.m_nSeekMode = 0;
  s.m_nPosition = 250;
  ASSERT_EQ(f.Read(s, 10), 0u);  // the gap reads as zero bytes
  EXPECT_EQ(Bytes(s), std::string(10, '\0'));
  EXPECT_EQ(f.GetReadPosition(), 260u);
  f.SetWritePosition(0, 2);
  EXPECT_EQ(f.m_nWritePosition, 306u);
  ASSERT_EQ(f.SetLength(200), 0u);
  EXPECT_EQ(f.m_nFileSize, 200u);
  EXPECT_EQ(f.GetReadPosition(), 200u);
  EXPECT_EQ(f.m_nWritePosition, 200u);
  f.SetWritePosition(-1000, 1);
  f.SetWritePosition(1, 1);
  ASSERT_EQ(f.SetLength(50), 0u);
  EXPECT_EQ(f.GetReadPosition(), 50u);
  EXPECT_EQ(f.m_nWritePosition, 1u);  // below the new length: kept
  f.Close();
  const std::string content = Slurp(path);
  ASSERT_EQ(content.size(), 50u);
  EXPECT_EQ(content[0], 'q');
  EXPECT_EQ(content.substr(1), Numbers(50).substr(1));
}

TEST_F(IOFileTest, CloseWritesEverythingQueued) {
  const std::string path = MakeFile("c.dat", "");
  std::string expected;
  {
    CIOFile f;
    ASSERT_EQ(f.Open(path.c_str(), GENERIC_WRITE, OPEN_EXISTING, 0, 0), 0u);
    f.m_csWrite.Enter();
    for (int i = 0; i < 200; ++i) {
      const std::string line = "line " + std::to_string(i) + "\r\n";
      expected += line;
      ASSERT_EQ(f.Send(CStream(line.c_str())), 0u);
    }
    f.m_csWrite.Leave();
    f.Close();
    EXPECT_FALSE(f.IsOpen());
  }
  EXPECT_EQ(Slurp(path), expected);
}

TEST_F(IOFileTest, WriteErrorIsReportedExactlyOnce) {
  CIOFile f;
  ASSERT_EQ(f.Open("/dev/full", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, FILE_SHARE_READ | FILE_SHARE_WRITE, 0), 0u);
  ASSERT_EQ(f.Send(Text("data")), 0u);
  // Waiting for the queued writes inside a read does not take the error away.
  CStream s;
  EXPECT_EQ(f.Read(s, 4), 1160u);
  EXPECT_EQ(f.WaitUntilSent(IO_WAIT_FOREVER), 112u);
  EXPECT_EQ(f.WaitUntilSent(IO_WAIT_FOREVER), 0u);
  // The general wait reports a send error too, once.
  ASSERT_EQ(f.Send(Text("again")), 0u);
  EXPECT_EQ(f.WaitForEvent(IO_WAIT_FOREVER), 112u);
  EXPECT_EQ(f.WaitUntilSent(IO_WAIT_FOREVER), 0u);

  // The errors of one open are not reported by the next (closing takes only one of them).
  ASSERT_EQ(f.Send(Text("more")), 0u);
  ASSERT_EQ(f.Send(Text("still more")), 0u);
  for (int i = 0; i < 2000 && LockedSize(f.m_SendErrors) < 2; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(f.Open(MakeFile("next.dat", "abc").c_str(), GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, 0, 0), 0u);
  EXPECT_EQ(f.WaitUntilSent(IO_WAIT_FOREVER), 0u);
  EXPECT_EQ(f.WaitForEvent(0), 258u);
}

TEST_F(IOFileTest, ReadErrorIsReported) {
  // A file opened for writing only cannot be read: the error comes back from Read.
  CIOFile f;
  ASSERT_EQ(f.Open(MakeFile("wo.dat", "abcdef").c_str(), GENERIC_WRITE, OPEN_EXISTING, 0, 0), 0u);
  CStream s;
  EXPECT_EQ(f.Read(s, 3), 6u);
  EXPECT_EQ(s.m_nSize, 0);
}

TEST_F(IOFileTest, QueuedReadsAreMatchedByIdInAnyOrder) {
  const std::string data = Numbers(300);
  CIOFile f;
  ASSERT_EQ(f.Open(MakeFile("q.dat", data).c_str(), GENERIC_READ, OPEN_EXISTING, 0, 0), 0u);
  SReadRequest r[3];
  for (int i = 0; i < 3; ++i) {
    r[i].m_nSeekMode = 0;
    r[i].m_nOffset = 100 * i;
    r[i].m_nLength = 10;
    ASSERT_EQ(f.QueueRead(r[i]), 0u);
  }
  EXPECT_EQ(r[1].m_nId, r[0].m_nId + 1);
  EXPECT_EQ(r[2].m_nId, r[1].m_nId + 1);
  EXPECT_EQ(f.WaitForEvent(IO_WAIT_FOREVER), 0u);
  CStream s;
  for (int i : {2, 0, 1}) {
    ASSERT_EQ(f.WaitForReply(s, r[i].m_nId), 0u);
    EXPECT_EQ(Bytes(s), data.substr(100 * i, 10));
    EXPECT_EQ(s.m_nId, r[i].m_nId);
  }
  EXPECT_EQ(f.GetReply(s, r[0].m_nId), 4317u);
  EXPECT_EQ(f.Receive(s), 259u);
  EXPECT_EQ(f.GetReadPosition(), 210u);
}

TEST_F(IOFileTest, ReceiveTakesEachReplyOnce) {
  CIOFile f;
  ASSERT_EQ(f.Open(MakeFile("r.dat", "abcdefghij").c_str(), GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, 0, 0), 0u);
  SReadRequest r[2];
  for (int i = 0; i < 2; ++i) {
    r[i].m_nSeekMode = 0;
    r[i].m_nOffset = 5 * i;
    r[i].m_nLength = 3;
    ASSERT_EQ(f.QueueRead(r[i]), 0u);
  }
  std::vector<std::string> got;
  CStream s;
  for (int tries = 0; got.size() < 2 && tries < 200; ++tries) {
    if (f.Receive(s) == 0)
      got.push_back(Bytes(s));
    else
      f.WaitForEvent(50);
  }
  EXPECT_EQ(got, (std::vector<std::string>{"abc", "fgh"}));
  EXPECT_EQ(f.Receive(s), 259u);

  // Once everything is written and read, the threads wait without using the processor.
  ASSERT_EQ(f.Send(Text("x")), 0u);
  f.WaitUntilSent(IO_WAIT_FOREVER);
  auto cpuMs = [] {
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000;
  };
  const long before = cpuMs();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_LT(cpuMs() - before, 50);
}

TEST_F(IOFileTest, StopEndsWaitsAndThreadsNameThemselves) {
  CIOFile f;
  ASSERT_EQ(f.Open(MakeFile("n.dat", "abc").c_str(), GENERIC_READ, OPEN_EXISTING, 0, 0), 0u);
  int named = 0;
  for (const char* name : {"CIOFile::SendTh", "CIOFile::Receiv"}) {
    for (int i = 0; i < 2000; ++i) {
      std::string found;
      for (int t = 0; t < 64 && found.empty(); ++t) (void)t;
      char cmd[64];
      std::snprintf(cmd, sizeof cmd, "/proc/%d/task", getpid());
      std::vector<FolderEntry> tasks;
      ListFolder(cmd, tasks);
      for (const FolderEntry& e : tasks) {
        std::ifstream comm(std::string(cmd) + "/" + e.name + "/comm");
        std::string line;
        std::getline(comm, line);
        if (line == name) found = line;
      }
      if (!found.empty()) {
        ++named;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  EXPECT_EQ(named, 2);

  std::thread waiter([&] {
    // Waits for a reply that never comes until the object is stopped.
    CStream s;
    EXPECT_EQ(f.WaitForReply(s, 12345), 995u);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  f.Stop();
  waiter.join();
  f.Stop();
  EXPECT_EQ(f.WaitUntilSent(0), 995u);
  EXPECT_EQ(f.Send(Text("x")), 995u);
}

TEST_F(IOFileTest, FailedThreadStartLeavesTheFileClosed) {
  CIOFile f;
  CIOObject::s_nFailNextThreadStarts = 1;
  EXPECT_EQ(f.Open(MakeFile("t.dat", "abc").c_str(), GENERIC_READ, OPEN_EXISTING, 0, 0), 8u);
  EXPECT_FALSE(f.IsOpen());
  CIOObject::s_nFailNextThreadStarts = 0;
  EXPECT_EQ(f.Open(MakeFile("t2.dat", "abc").c_str(), GENERIC_READ, OPEN_EXISTING, 0, 0), 0u);
}

TEST_F(IOFileTest, ManyReadersAndWritersUnderLoad) {
  const std::string path = MakeFile("load.dat", Numbers(4096));
  CIOFile f;
  ASSERT_EQ(f.Open(path.c_str(), GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, 0, 0), 0u);
  std::thread writer([&] {
    for (int i = 0; i < 200; ++i) EXPECT_EQ(f.Send(Text("w", 0, 0, 4096 + i)), 0u);
  });
  std::thread reader([&] {
    for (int i = 0; i < 200; ++i) {
      CStream s;
      s.m_nSeekMode = 0;
      s.m_nPosition = (i * 37) % 4000;
      ASSERT_EQ(f.Read(s, 64), 0u);
      EXPECT_EQ(s.m_nSize, 64);
    }
  });
  writer.join();
  reader.join();
  EXPECT_EQ(f.WaitUntilSent(IO_WAIT_FOREVER), 0u);
  EXPECT_EQ(f.m_nFileSize, 4296u);
}

}  // namespace

namespace {

// A file whose reader thread cannot allocate anything. Like every class that overrides what the
// I/O threads call, it stops them in its own destructor, before its part of the object goes.
class StarvedReaderFile : public CIOFile {
 public:
  ~StarvedReaderFile() override { Close(); }
  const char* GetReceiveThreadName() const override {
    CScalarMemMgr::SetFailAfter(0);  // runs on the reader thread as it starts
    return CIOFile::GetReceiveThreadName();
  }
};

TEST_F(IOFileTest, ReadWithoutRoomForItsBytesGivesOutOfMemory) {
  StarvedReaderFile f;
  ASSERT_EQ(f.Open(MakeFile("starved.dat", "abc").c_str(), GENERIC_READ, OPEN_EXISTING, 0, 0), 0u);
  SReadRequest r;
  r.m_nSeekMode = 0;
  r.m_nOffset = 0;
  r.m_nLength = 3;
  f.m_ReceiveErrors.m_cs.Enter();
  EXPECT_TRUE(f.m_ReceiveErrors.Reserve(1));  // the error itself still finds room
  f.m_ReceiveErrors.m_cs.Leave();
  ASSERT_EQ(f.QueueRead(r), 0u);
  EXPECT_EQ(f.WaitForEvent(5000), 8u);
}

TEST_F(IOFileTest, ImpossibleReadLengthGivesOutOfMemory) {
  CIOFile f;
  ASSERT_EQ(f.Open(MakeFile("big.dat", "abc").c_str(), GENERIC_READ, OPEN_EXISTING, 0, 0), 0u);
  CStream s;
  EXPECT_EQ(f.Read(s, 0x80000000u), 8u);
  EXPECT_EQ(f.Read(s, 3), 0u);  // the file still works
  EXPECT_EQ(Bytes(s), "abc");
}

TEST(IOObject, ErrorTexts) {
  char buffer[64];
  EXPECT_EQ(CIOObject::GetErrorText(buffer, sizeof buffer, 0x10002, "T ", "P"),
            static_cast<int>(std::strlen("P: T The hardware detected a parity error.")));
  EXPECT_STREQ(buffer, "P: T The hardware detected a parity error.");
  EXPECT_EQ(CIOObject::GetErrorText(buffer, 10, 0x10005), 9);
  EXPECT_STREQ(buffer, "Win32 Err");
  EXPECT_EQ(CIOObject::GetErrorText(buffer, 1, 2), 0);
  EXPECT_STREQ(buffer, "");
  testing::internal::CaptureStdout();
  const int n = CIOObject::PrintErrorText(0x10005, nullptr, "Loader");
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(printed, "Loader: Win32 Error Code 65541\n");
  EXPECT_EQ(n, static_cast<int>(printed.size()));
}

}  // namespace

namespace {

TEST_F(IOFileTest, FailedReadIsSeenWhileOtherRepliesWait) {
  // An uncollected reply keeps "received data" set; the waiter of a failed read must still get
  // its error instead of searching for ever.
  CIOFile f;
  ASSERT_EQ(f.Open(MakeFile("f11.dat", Numbers(100)).c_str(), GENERIC_READ, OPEN_EXISTING, 0, 0), 0u);
  SReadRequest good, past;
  good.m_nSeekMode = 0;
  good.m_nOffset = 10;
  good.m_nLength = 5;
  past.m_nSeekMode = 2;
  past.m_nOffset = 1;
  past.m_nLength = 5;
  ASSERT_EQ(f.QueueRead(good), 0u);
  ASSERT_EQ(f.QueueRead(past), 0u);
  CStream s;
  EXPECT_EQ(f.WaitForReply(s, past.m_nId), 38u);
  ASSERT_EQ(f.WaitForReply(s, good.m_nId), 0u);
  EXPECT_EQ(Bytes(s), Numbers(100).substr(10, 5));
}

}  // namespace

namespace {

TEST_F(IOFileTest, RequestsThatCannotBeQueuedAreRefused) {
  // With no memory for the copy of a stream or for a read request, Send and Read say so instead
  // of reporting a write that never happens or waiting for a reply that never comes.
  const std::string path = MakeFile("oom.dat", "abcdef");
  CIOFile f;
  ASSERT_EQ(f.Open(path.c_str(), GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, 0, 0), 0u);
  std::promise<DWORD> sent, read;
  std::thread caller([&] {
    CStream data("XY");
    CStream s;
    s.m_nSeekMode = 0;
    DWORD sendResult, readResult;
    {
      CAllocFailureScope fail(0);
      sendResult = f.Send(data);
      readResult = f.Read(s, 3);
    }
    sent.set_value(sendResult);
    read.set_value(readResult);
  });
  std::future<DWORD> readResult = read.get_future();
  if (readResult.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
    f.Stop();  // releases a reader that waits for ever
    ADD_FAILURE() << "Read waited for a request that was never queued";
  }
  caller.join();
  EXPECT_EQ(sent.get_future().get(), 8u);
  EXPECT_EQ(readResult.get(), 8u);
  EXPECT_EQ(f.WaitUntilSent(IO_WAIT_FOREVER), 0u);
  CStream s;
  s.m_nSeekMode = 0;
  ASSERT_EQ(f.Read(s, 6), 0u);  // the file still works
  EXPECT_EQ(Bytes(s), "abcdef");
  f.Close();
  EXPECT_EQ(Slurp(path), "abcdef");
}

}  // namespace
