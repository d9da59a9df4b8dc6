// Request frames byte for byte, sequence numbers, request ids and timing records.
#include <gtest/gtest.h>

#include "containers/mem_mgr.h"

#include "loopback.h"

using namespace fdtest;

namespace {

struct Fixture {
  CLoopbackChannel ch;
  Fixture(uint8_t channelByte, uint32_t nextSeq) {
    ch.m_nAddressByte = channelByte;
    ch.m_nSeqNext = nextSeq;
  }
  const SSent& Last() const { return ch.m_Sent.back(); }
};

}  // namespace

TEST(FieldFrames, PlainRequestHeaders) {
  struct Case {
    const char* what;
    int entry;
    uint16_t drop;
    uint8_t channelByte;
    uint32_t seq;
    uint8_t arg;
    const char* frame;
  } cases[] = {
      {"reset", 12, 5, 1, 2, 3, "01 05 01 26 02 03 32 00"},
      {"sums carry past 255", 19, 0xFF, 0xFF, 0xFF, 0xFF, "01 FF FF 2A FF FF 27 04"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fixture f(c.channelByte, c.seq);
    CField170DB rec;
    rec.m_nDropAddress = c.drop;
    ASSERT_EQ(0u, BuildCommandRequest(c.entry, rec, f.ch, c.arg));
    EXPECT_EQ(c.frame, HexOf(f.Last().bytes));
    EXPECT_EQ(0, f.Last().priority);
  }

  CStream s;
  EXPECT_TRUE(BuildFrameHeader(s, 0xFF, 0xFF, 0x4B, 0xFF, 92));
  EXPECT_EQ("01 FF FF 4B FF 5C A5 03", HexOf(ToBytes(s)));

  // A stream that cannot get a block for the header stays empty instead of being written past.
  CStream empty;
  {
    CAllocFailureScope fail(0);
    EXPECT_FALSE(BuildFrameHeader(empty, 0xFF, 0xFF, 0x4B, 0xFF, 92));
  }
  EXPECT_EQ(0, empty.m_nSize);
}

TEST(FieldFrames, DataRequestAndPolls) {
  Fixture f(1, 7);
  CFieldRMDCDB rmdc;
  rmdc.m_nDropAddress = 0x12;
  ASSERT_EQ(0u, BuildDataRequest(5, rmdc, f.ch));
  EXPECT_EQ("01 12 01 21 07 80 BC 00", HexOf(f.Last().bytes));

  CFieldCSDB cs;
  cs.m_nDropAddress = 4;
  CStream s;
  cs.BuildPollRequest(s, 1, 5);
  EXPECT_EQ("01 04 01 25 05 00 30 00", HexOf(ToBytes(s)));

  struct Case {
    const CField170DB* rec;
    uint8_t code;
    uint8_t arg;
  } polls[] = {{new CFieldSGCDB, 0x2A, 0}, {new CFieldRGCDB, 0x2E, 0}, {new CFieldCSDB, 0x25, 0},
               {new CFieldRMDCDB, 0x21, 0x80}};
  for (const Case& c : polls) {
    CStream p;
    c.rec->BuildPollRequest(p, 1, 9);
    ASSERT_EQ(8, p.m_nSize);
    EXPECT_EQ(c.code, p.m_pData[3]);
    EXPECT_EQ(c.arg, p.m_pData[5]);
    delete c.rec;
  }
  CField170DB base;
  CStream none;
  base.BuildPollRequest(none, 1, 1);
  EXPECT_EQ(0, none.m_nSize);

  rmdc.m_abPendingData[1] = 2;
  rmdc.m_nDropAddress = 5;
  CStream ext;
  rmdc.BuildPollRequest(ext, 1, 9);
  EXPECT_EQ("01 05 01 45 09 03 58 00 80 00 02 00 82 00", HexOf(ToBytes(ext)));
}

TEST(FieldFrames, SetClockCarriesThroughTheDate) {
  {
    FixedClock clock(2024, 2, 29, 13, 45, 30, 249);
    Fixture f(0x10, 0x2A);
    CField170DB rec;
    rec.m_nDropAddress = 3;
    ASSERT_EQ(0u, BuildSetClockRequest(23, rec, f.ch));
    EXPECT_EQ("01 03 10 43 2A 07 88 00 18 02 1D 0D 2D 1E 02 05 96 00", HexOf(f.Last().bytes));
    EXPECT_EQ(-2, f.Last().priority);
  }
  struct Case {
    int y, mo, d, h, mi, s, ms;
    const char* data;  // the eight clock bytes
  } cases[] = {
      {2024, 3, 16, 23, 59, 59, 960, "18 03 11 00 00 00 00 01"},  // Sat -> Sun 2024-03-17
      {2023, 12, 31, 23, 59, 59, 950, "18 01 01 00 00 00 00 02"}, // into a new year, Monday
      {2024, 3, 16, 10, 0, 0, 0, "18 03 10 0A 00 00 00 07"},      // Saturday is 7
      {2024, 2, 28, 23, 59, 59, 990, "18 02 1D 00 00 00 00 05"},  // leap day, Thursday
  };
  for (const Case& c : cases) {
    FixedClock clock(c.y, c.mo, c.d, c.h, c.mi, c.s, c.ms);
    Fixture f(1, 1);
    CField170DB rec;
    ASSERT_EQ(0u, BuildSetClockRequest(56, rec, f.ch));
    const Bytes& b = f.Last().bytes;
    ASSERT_EQ(18u, b.size());
    EXPECT_EQ(c.data, HexOf(Bytes(b.begin() + 8, b.begin() + 16)));
    EXPECT_EQ(FieldSum16(&b[8], 8), static_cast<uint16_t>(b[16] | (b[17] << 8)));
  }
}

TEST(FieldFrames, DataBlockRequests) {
  {
    Fixture f(1, 9);
    CFieldRMDCDB r;
    r.m_nDropAddress = 5;
    const uint8_t pending[4] = {1, 2, 3, 4};
    std::memcpy(r.m_abPendingData, pending, 4);
    ASSERT_EQ(0u, BuildExtendedDataRequest(28, r, f.ch));
    EXPECT_EQ("01 05 01 45 09 03 58 00 80 01 02 03 86 00", HexOf(f.Last().bytes));
  }
  {
    Fixture f(2, 1);
    CFieldCSDB cs;
    cs.m_nDropAddress = 7;
    const uint8_t options[4] = {1, 0, 5, 0};
    const uint8_t params[4] = {10, 20, 30, 40};
    std::memcpy(cs.m_abCsOptions, options, 4);
    std::memcpy(cs.m_abCsParams, params, 4);
    ASSERT_EQ(0u, BuildClosureSignalRequest(30, cs, f.ch));
    EXPECT_EQ("01 07 02 47 01 04 56 00 05 0A 14 28 1E 69 00", HexOf(f.Last().bytes));
  }
  {
    Fixture f(1, 3);
    CFieldRGCDB g;
    g.m_nDropAddress = 9;
    ASSERT_EQ(0u, BuildGateControlRequest(34, g, f.ch));
    Bytes expected = Hex("01 09 01 4F 03 0F 6C 00");
    expected.resize(26, 0);
    EXPECT_EQ(HexOf(expected), HexOf(f.Last().bytes));
  }
  {
    // A builder refuses an entry whose frame its data block does not fill.
    Fixture f(1, 1);
    CFieldRMDCDB r;
    EXPECT_EQ(87u, BuildTimeOfDayRequest(29, r, f.ch));
    EXPECT_EQ(87u, BuildCommandRequest(23, r, f.ch, 0));
    EXPECT_EQ(87u, BuildCommandRequest(69, r, f.ch, 0));
    EXPECT_TRUE(f.ch.m_Sent.empty());
  }
}

TEST(FieldFrames, DefaultCollectorParameterFrames) {
  CFieldRMDCDB r;
  uint8_t block[31];
  const char* meter0 = "00 B4 A0 82 64 46 0F 11 13 15 17 C8 32 1E 19 0A 1E 14 28 19 50 78 14 0A 00 00 0F 1E";
  r.WriteMeterBlock(0, block);
  EXPECT_EQ(meter0, HexOf(Bytes(block, block + 28)));
  r.WriteMeterBlock(1, block);
  EXPECT_EQ(std::string("64") + (meter0 + 2), HexOf(Bytes(block, block + 28)));
  r.WriteMeterBlockExt(2, block);
  EXPECT_EQ(std::string(meter0) + " FF 03 16", HexOf(Bytes(block, block + 31)));

  struct Case {
    const char* what;
    std::function<uint32_t(CFieldRMDCDB&, CFieldCommChannel&)> build;
    size_t length;
    const char* header;
    uint16_t sum;
  } cases[] = {
      {"meter parameters", [](CFieldRMDCDB& x, CFieldCommChannel& c) { return BuildMeterParamsRequest(29, x, c); },
       94, "01 05 01 47 02 53 A3 00", 4420},
      {"extended", [](CFieldRMDCDB& x, CFieldCommChannel& c) { return BuildMeterParamsRequestExt(33, x, c); }, 103,
       "01 05 01 4B 02 5C B0 00", 5260},
      {"time of day", [](CFieldRMDCDB& x, CFieldCommChannel& c) { return BuildTimeOfDayRequest(31, x, c); }, 138,
       "01 05 01 48 02 7F D0 00", 32 * 255},
      {"data station", [](CFieldRMDCDB& x, CFieldCommChannel& c) { return BuildDataStationRequest(32, x, c); }, 125,
       "01 05 01 49 02 72 C4 00", 1154},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fixture f(1, 2);
    CFieldRMDCDB x;
    x.m_nDropAddress = 5;
    ASSERT_EQ(0u, c.build(x, f.ch));
    const Bytes& b = f.Last().bytes;
    ASSERT_EQ(c.length, b.size());
    EXPECT_EQ(c.header, HexOf(Bytes(b.begin(), b.begin() + 8)));
    EXPECT_EQ(c.sum, static_cast<uint16_t>(b[c.length - 2] | (b[c.length - 1] << 8)));
    EXPECT_EQ(FieldSum16(&b[8], c.length - 10), c.sum);
  }

  uint8_t tod[128];
  r.WriteTimeOfDay(tod);
  for (int i = 0; i < 128; ++i) {
    const bool ff = (i >= 32 && i < 48) || (i >= 96 && i < 112);
    EXPECT_EQ(ff ? 0xFF : 0x00, tod[i]) << i;
  }
  for (int e = 0; e < 32; ++e) {
    const uint8_t entry[4] = {static_cast<uint8_t>(e), static_cast<uint8_t>(e + 32), static_cast<uint8_t>(e + 64),
                              static_cast<uint8_t>(e + 96)};
    std::memcpy(r.m_aTimeOfDay[e], entry, 4);
  }
  r.WriteTimeOfDay(tod);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(i, tod[i]);
  EXPECT_EQ(32, tod[16]);
  EXPECT_EQ(16, tod[64]);
  EXPECT_EQ(48, tod[80]);

  uint8_t sp[115];
  CFieldRMDCDB d;
  d.WriteStationParams(sp);
  std::string expected;
  for (int i = 0; i < 8; ++i) expected += "00 00 11 07 ";
  expected +=
      "01 00 02 05 00 07 0A 02 0B 10 01 11 00 00 00 00 00 00 5A 64 05 64 05 64 14 2A 48 0A 55 03 14 02 55 03 55 32 00 "
      "03 03 03 03 01 00";
  EXPECT_EQ(expected, HexOf(Bytes(sp + 40, sp + 115)));
  // A time too large for its byte goes out as 255.
  d.m_abStationTimes[4] = 1530 & 0xFF;
  d.m_abStationTimes[5] = 1530 >> 8;
  d.WriteStationParams(sp);
  EXPECT_EQ(255, sp[99]);
}

TEST(FieldFrames, TextPolls) {
  CFieldRGCDB g;
  g.m_strName = "GATE01";
  CStream s;
  g.BuildTextPollRequest(s, 0x1234, 5);
  EXPECT_EQ("01 FF FF FF 47 41 54 45 30 31 00 00 00 00 00 47 50 4F 4C 00 00 34 12 00 05 00 FD 05", HexOf(ToBytes(s)));

  CFieldRMDCDB r;
  r.m_strName = "RMDC-NW-01X";
  r.BuildTextPollRequest(s, 1, 0);
  Bytes b = ToBytes(s);
  ASSERT_EQ(28u, b.size());
  EXPECT_EQ("30 31 00 52 50 4F 4C 00 00 01 00 00 00 00 C2 06", HexOf(Bytes(b.begin() + 12, b.end())));

  CFieldRMDCDB e;
  e.m_strName = "RAMP1";
  e.m_abPendingData[0] = 1;
  e.m_abPendingData[3] = 2;
  e.BuildTextPollRequest(s, 0x0102, 0);
  EXPECT_EQ("01 FF FF FF 52 41 4D 50 31 00 00 00 00 00 00 52 50 4C 46 00 00 02 01 01 04 00 9B 05 01 00 00 02 03 00",
            HexOf(ToBytes(s)));

  // A record whose name was never set sends an empty name.
  CFieldCSDB c;
  c.BuildTextPollRequest(s, 0, 0);
  b = ToBytes(s);
  ASSERT_EQ(28u, b.size());
  EXPECT_EQ(0, b[4]);
  EXPECT_EQ("EPOL", std::string(reinterpret_cast<const char*>(&b[15])));
}

TEST(FieldFrames, SequenceAllocation) {
  CLoopbackChannel ch;
  ch.m_nSeqNext = 255;
  EXPECT_EQ(255u, AllocSequenceNumber(ch, 1));
  EXPECT_EQ(1u, ch.m_nSeqNext);

  ch.m_nSeqNext = 0;
  ch.m_Pending = {0};
  EXPECT_EQ(0u, AllocSequenceNumber(ch, 1));

  ch.m_nSeqNext = 5;
  ch.m_Pending = {5};
  EXPECT_EQ(6u, AllocSequenceNumber(ch, 1));

  // Every number held: the search ends after one round instead of spinning.
  ch.m_nSeqFirst = ch.m_nSeqLast = ch.m_nSeqNext = 1;
  ch.m_Pending = {1};
  bool exhausted = false;
  AllocSequenceNumber(ch, 1, &exhausted);
  EXPECT_TRUE(exhausted);
  CField170DB rec;
  EXPECT_EQ(170u, BuildCommandRequest(12, rec, ch, 3));
  // The reader lock was released on every path: a writer can still take it.
  ch.m_PendingLock.LockExclusive();
  ch.m_PendingLock.UnlockExclusive();
}

TEST(FieldFrames, RequestIdsAndNetworkAddress) {
  {
    // Without a network address a sequence byte of 0 is never sent: the id would be 0.
    CLoopbackChannel ch;
    ch.m_nSeqFirst = 0;
    ch.m_nSeqLast = 65535;
    ch.m_nSeqNext = 256;
    CField170DB rec;
    ASSERT_EQ(0u, BuildCommandRequest(12, rec, ch, 3));
    EXPECT_EQ(1u, ch.m_Sent.back().id);
    EXPECT_EQ(1, ch.m_Sent.back().bytes[4]);
    EXPECT_EQ(258u, ch.m_nSeqNext);
  }
  {
    CLoopbackChannel ch;
    ch.m_nSeqFirst = 0;
    ch.m_nSeqLast = 65535;
    ch.m_nSeqNext = 256;
    CField170DB rec;
    rec.m_nLinkType = 1;
    rec.m_nNetAddress = 0xC0A80164;
    rec.m_nNetPort = 4001;
    ASSERT_EQ(0u, BuildCommandRequest(12, rec, ch, 3));
    EXPECT_EQ(0x00000FA1C0A80164, ch.m_Sent.back().position);
    EXPECT_EQ(0xC0A8016400000000ull, ch.m_Sent.back().id);
    EXPECT_EQ(0, ch.m_Sent.back().bytes[4]);
  }
}

TEST(FieldFrames, TimingRecords) {
  struct Case {
    const char* what;
    std::function<uint32_t(CFieldRMDCDB&, CFieldCommChannel&)> build;
    uint32_t transfer;
    uint32_t group;
  } cases[] = {
      {"reset", [](CFieldRMDCDB& r, CFieldCommChannel& c) { return BuildCommandRequest(12, r, c, 3); }, 192, 1},
      {"set clock", [](CFieldRMDCDB& r, CFieldCommChannel& c) { return BuildSetClockRequest(23, r, c); }, 312, 1},
      {"parameters", [](CFieldRMDCDB& r, CFieldCommChannel& c) { return BuildMeterParamsRequest(29, r, c); }, 1224,
       1},
      {"steady-state reset", [](CFieldRMDCDB& r, CFieldCommChannel& c) { return BuildCommandRequest(45, r, c, 3); },
       192, 2},
      {"data, 5 loops and 1 meter", [](CFieldRMDCDB& r, CFieldCommChannel& c) {
         r.m_nLoopCount = 5;
         r.AddStation(0, 1);
         return BuildDataRequest(5, r, c);
       }, 516, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CLoopbackChannel ch;
    CFieldRMDCDB r;
    ASSERT_EQ(0u, c.build(r, ch));
    const SSent& s = ch.m_Sent.back();
    EXPECT_EQ(185u, s.timing[0]);
    EXPECT_EQ(c.transfer, s.timing[1]);
    EXPECT_EQ(c.group, s.timing[2]);
    EXPECT_EQ(0u, s.timing[3]);
  }
  CFieldRMDCDB r;
  EXPECT_EQ(16u, RmdcExpectedReplyLength(r));
  r.m_nLoopCount = 5;
  r.AddStation(0, 0);
  EXPECT_EQ(35u, RmdcExpectedReplyLength(r));
}

TEST(FieldFrames, RefusalIsReturned) {
  CLoopbackChannel ch;
  ch.m_nRefusal = 1200;
  CField170DB rec;
  EXPECT_EQ(1200u, BuildCommandRequest(12, rec, ch, 3));
}
