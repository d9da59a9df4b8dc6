// Reply decoders: what each reports for a change of state, and what it stores.
#include <gtest/gtest.h>

#include <functional>

#include "loopback.h"

using namespace fdtest;

namespace {

// A reply of `length` bytes with code `code` and the given data bytes from offset `at`.
Bytes Reply(size_t length, uint8_t code, std::initializer_list<std::pair<size_t, uint8_t>> bytes = {}) {
  Bytes r(length, 0);
  r[0] = 1;
  r[3] = code;
  for (const auto& [i, v] : bytes) r[i] = v;
  return r;
}

struct LoopCall {
  uint16_t v11;
  uint8_t v5, state;
  void* loop;
  bool operator==(const LoopCall& o) const = default;
};
struct MeterCall {
  uint16_t a10, b10;
  uint8_t v5, hi4, lo4, v3, state;
  void* loop;
  bool operator==(const MeterCall& o) const = default;
};
std::vector<LoopCall> g_loops;
std::vector<MeterCall> g_meters;

}  // namespace

TEST(FieldDecoders, RampMeterDataReply) {
  CLoopbackChannel ch;
  ch.m_pfnLoopSample = [](uint16_t v11, uint8_t v5, uint8_t state, void* loop) {
    g_loops.push_back({v11, v5, state, loop});
  };
  ch.m_pfnMeterSample = [](uint16_t a, uint16_t b, uint8_t v5, uint8_t hi, uint8_t lo, uint8_t v3, uint8_t st,
                           void* loop) { g_meters.push_back({a, b, v5, hi, lo, v3, st, loop}); };
  int loop3 = 0, loop7 = 0;
  auto make = [&] {
    CFieldRMDCDB r;
    r.m_nLoopCount = 2;
    r.AddStation(3, 7);
    r.m_aLoops[3] = {1, 0, 0, 0, &loop3};
    r.m_aLoops[7] = {1, 1, 0, 0, &loop7};
    return r;
  };
  const Bytes frame = Hex("01 05 01 41 02 10 5A 00 0A 14 1E 1D 2E 3F 2B 45 FF FF 3A 05 0E 10 20 B7 9C 04 05");
  g_loops.clear();
  g_meters.clear();
  CFieldRMDCDB r = make();
  ASSERT_EQ(0u, DecodeDatPreemption(frame.data(), frame.size(), r, ch));
  EXPECT_EQ((std::vector<std::string>{"PREEMPTION Started in DAT"}), ch.Texts(FIELD_MSG_EVENT));
  EXPECT_EQ((std::vector<LoopCall>{{837, 5, 3, &loop3}, {2047, 31, 6, &loop7}}), g_loops);
  EXPECT_EQ((std::vector<MeterCall>{{528, 800, 23, 9, 12, 5, 0x05, &loop3}, {528, 800, 23, 9, 12, 5, 0x05, &loop7}}),
            g_meters);
  EXPECT_EQ(13, r.m_abDatState[0]);
  EXPECT_EQ(1, r.m_abDatSecond[0]);
  EXPECT_EQ(0x14, r.m_abDatValue[1]);

  // The same reply again: no text; a flagged loop marks the meter state.
  g_meters.clear();
  ch.m_Messages.clear();
  r.m_aLoops[7].m_bFlagged = 1;
  ASSERT_EQ(0u, DecodeDatPreemption(frame.data(), frame.size(), r, ch));
  EXPECT_TRUE(ch.m_Messages.empty());
  EXPECT_EQ(0x85, g_meters.at(0).state);

  // Preemption ends when no meter is in state 13.
  Bytes ended = frame;
  ended[11] = 0x11;
  ASSERT_EQ(0u, DecodeDatPreemption(ended.data(), ended.size(), r, ch));
  EXPECT_EQ((std::vector<std::string>{"Preemption Ended in DAT"}), ch.Texts(FIELD_MSG_EVENT));

  // A third active loop overflows the loop pass.
  ch.m_Messages.clear();
  CFieldRMDCDB over = make();
  over.m_aLoops[9].m_bActive = 1;
  over.m_aLoops[20].m_nState = 9;
  ASSERT_EQ(0u, DecodeDatPreemption(frame.data(), frame.size(), over, ch));
  EXPECT_EQ((std::vector<std::string>{"PREEMPTION Started in DAT", "_NActiveLoops overflow!"}),
            ch.Texts(FIELD_MSG_EVENT));
  EXPECT_EQ(0, over.m_aLoops[20].m_nState);

  // A wrong length byte, or a frame cut short despite a right one, changes nothing.
  Bytes wrong = frame;
  wrong[5] = 17;
  CFieldRMDCDB w = make();
  EXPECT_EQ(87u, DecodeDatPreemption(wrong.data(), wrong.size(), w, ch));
  EXPECT_EQ(0, w.m_abDatState[0]);
  for (size_t len = 0; len < frame.size(); ++len) {
    CFieldRMDCDB t = make();
    EXPECT_EQ(87u, DecodeDatPreemption(frame.data(), len, t, ch)) << len;
  }
  EXPECT_EQ(21, RmdcDatLengthByte(4, 1));
  EXPECT_EQ(32u, RmdcDatReplyLength(4, 1));

  // Loop indexes outside the slot table and a station count past the table size stay in bounds.
  CFieldRMDCDB big;
  big.m_nLoopCount = 0;
  big.m_nStationCount = 200;
  for (auto& s : big.m_aStations) s[0] = s[1] = 0xEE;
  const int meters = big.MeterCount();
  EXPECT_EQ(24, meters);
  Bytes all(RmdcDatReplyLength(0, meters), 0);
  all[3] = 0x41;
  all[5] = static_cast<uint8_t>(RmdcDatLengthByte(0, meters));
  g_meters.clear();
  ASSERT_EQ(0u, DecodeDatPreemption(all.data(), all.size(), big, ch));
  ASSERT_EQ(48u, g_meters.size());
  EXPECT_EQ(nullptr, g_meters[0].loop);
  EXPECT_EQ(0, g_meters[0].state);
  ch.m_pfnLoopSample = nullptr;
  ch.m_pfnMeterSample = nullptr;
}

TEST(FieldDecoders, RampMeterErrorReport) {
  FixedClock clock(2024, 6, 1, 0, 0, 0, 0);
  CLoopbackChannel ch;
  CFieldRMDCDB r;
  struct Step {
    uint8_t flags;
    std::vector<std::string> texts;
  } steps[] = {{0x20, {"PREEMPTION Started in ERD"}}, {0x21, {}}, {0x01, {"Preemption Ended in ERD"}}};
  for (const Step& s : steps) {
    ch.m_Messages.clear();
    Bytes b = Reply(63, 0x42, {{8, 24}, {9, 3}, {10, 15}, {17, s.flags}, {18, 0xE5}, {21, 0x77}, {52, 0x66}});
    ASSERT_EQ(0u, DecodeErdPreemption(b.data(), b.size(), r, ch));
    EXPECT_EQ(s.texts, ch.AllTexts());
    EXPECT_EQ(s.flags, r.m_nPreemptFlags);
  }
  EXPECT_EQ(5, r.m_abErdValue[0]);
  EXPECT_EQ(0x77, r.m_abErdBlock[0]);
  EXPECT_EQ(0x66, r.m_abErdBlock[31]);
  EXPECT_EQ(1, r.m_bOutageHeld);
  EXPECT_EQ(24, r.m_abOutage[0]);
}

TEST(FieldDecoders, PowerOutage) {
  FixedClock clock(2026, 1, 1, 0, 0, 0, 0);
  CLoopbackChannel ch;
  CFieldCSDB cs;
  Bytes b = Reply(36, 0x4A, {{8, 24}, {9, 3}, {10, 15}, {11, 14}, {12, 5}, {13, 9}, {14, 0}, {15, 12}, {16, 30}});
  ASSERT_EQ(0u, DecodeEventReport(b.data(), b.size(), cs, ch));
  ASSERT_EQ(0u, DecodeEventReport(b.data(), b.size(), cs, ch));
  EXPECT_EQ((std::vector<std::string>{"Power Outage at 3/15/2024 14:05:09 for 0:12:30 due to Power Failure"}),
            ch.AllTexts());
  EXPECT_EQ(FIELD_MSG_EVENT, ch.m_Messages[0].kind);
}

TEST(FieldDecoders, ClosureSignalStatus) {
  CLoopbackChannel ch;
  CFieldCSDB cs;
  cs.m_nRoute = 5;
  Bytes b = Reply(32, 0x45, {{8, 1}, {9, 32}, {10, 0}, {11, 7}});
  ASSERT_EQ(0u, DecodeClosureSignalStatus(b.data(), b.size(), cs, ch));
  EXPECT_EQ((std::vector<std::string>{"NB Mode: CLOSED", "NB HOV Mode: CAUTION", "SB Mode ERROR: 07"}),
            ch.AllTexts());
  EXPECT_EQ(FIELD_MSG_PROGRESS, ch.m_Messages[0].kind);
  EXPECT_EQ(FIELD_MSG_PROGRESS, ch.m_Messages[1].kind);
  EXPECT_EQ(FIELD_MSG_EVENT, ch.m_Messages[2].kind);
  EXPECT_EQ((std::vector<uint8_t>{1, 2, 0, 7}), std::vector<uint8_t>(cs.m_abModes, cs.m_abModes + 4));
  ch.m_Messages.clear();
  ASSERT_EQ(0u, DecodeClosureSignalStatus(b.data(), b.size(), cs, ch));
  EXPECT_TRUE(ch.m_Messages.empty());

  // Position 2's caution code while the record holds caution is no change; 0 turns it off.
  cs.m_abModes[2] = 2;
  Bytes c = Reply(32, 0x45, {{8, 1}, {9, 32}, {10, 64}, {11, 0}});
  ASSERT_EQ(0u, DecodeClosureSignalStatus(c.data(), c.size(), cs, ch));
  EXPECT_EQ((std::vector<std::string>{"SB Mode: OFF"}), ch.AllTexts());

  CFieldCSDB even;
  even.m_nRoute = 90;
  ch.m_Messages.clear();
  ASSERT_EQ(0u, DecodeClosureSignalStatus(b.data(), b.size(), even, ch));
  EXPECT_EQ((std::vector<std::string>{"EB Mode: CLOSED", "EB HOV Mode: CAUTION", "WB Mode ERROR: 07"}),
            ch.AllTexts());

  struct Step {
    uint8_t b17, b18;
    std::vector<std::string> texts;
  } steps[] = {
      {0x40, 0x00, {"Field Fault: Watchdog TRIPPED"}},
      {0x40, 0x00, {}},
      {0x00, 0x80, {"Field Fault: Watchdog Normal", "170 CDAT Test: Reserved10 ON"}},
      {0x00, 0x80, {"170 CDAT Test: Reserved10 ON"}},  // the test flag is never changed
      {0x00, 0x12, {"170 CDAT Test: Reserved10 INVALID[12]"}},
      {0x00, 0x00, {}},
  };
  CFieldCSDB w;
  for (const Step& s : steps) {
    ch.m_Messages.clear();
    Bytes d = Reply(32, 0x45, {{17, s.b17}, {18, s.b18}, {20, 0x5C}});
    ASSERT_EQ(0u, DecodeClosureSignalStatus(d.data(), d.size(), w, ch));
    EXPECT_EQ(s.texts, ch.AllTexts());
  }
  EXPECT_EQ(0x5C, w.m_nCsByte);
}

TEST(FieldDecoders, EventReport) {
  CLoopbackChannel ch;
  CFieldCSDB cs;
  cs.m_nRoute = 3;
  cs.m_bOutageHeld = 1;  // an all-zero outage record is already held
  struct Step {
    std::initializer_list<std::pair<size_t, uint8_t>> bytes;
    std::vector<std::string> texts;
  } steps[] = {
      {{{17, 0x02}, {20, 3}}, {"Comm Flag: Comm Error", "Serial Comm Interrupts: 3"}},
      {{{17, 0x80}, {20, 0}}, {"Comm Flag: Lost Comm", "Comm Flag: Comm Error cleared", "Serial Comm Interrupts cleared"}},
      {{{17, 0x80}}, {}},
      {{{17, 0x80}, {18, 0x02}, {19, 0x30}, {28, 4}},
       {"170 Error: PROM Error", "Command Error: NB", "Command Error: NB HOV", "Illegal Opcode Traps: 4"}},
      {{{17, 0x80}, {18, 0x02}, {19, 0x30}, {28, 4}, {29, 0x12}, {30, 0x34}, {31, 0xAB}, {32, 0x01}, {33, 0x02}},
       {"Illegal Opcode Address: 0x1234", "Illegal Opcode: 0xAB 0x0102"}},
      {{{17, 0x80}, {18, 0x02}, {19, 0x30}, {28, 4}},
       {"Illegal Opcode Address cleared", "Illegal Opcode cleared"}},
  };
  for (const Step& s : steps) {
    ch.m_Messages.clear();
    Bytes b = Reply(36, 0x4A, s.bytes);
    ASSERT_EQ(0u, DecodeEventReport(b.data(), b.size(), cs, ch));
    EXPECT_EQ(s.texts, ch.AllTexts());
  }
  // Interrupt counters report with kind 6, the illegal-opcode texts with kind 5.
  ch.m_Messages.clear();
  Bytes b = Reply(36, 0x4A, {{17, 0x80}, {18, 0x02}, {19, 0x30}, {21, 1}});
  ASSERT_EQ(0u, DecodeEventReport(b.data(), b.size(), cs, ch));
  ASSERT_EQ(2u, ch.m_Messages.size());
  EXPECT_EQ(FIELD_MSG_PROGRESS, ch.m_Messages[0].kind);
  EXPECT_EQ("Serial Peripheral Interrupts: 1", ch.m_Messages[0].text);
  EXPECT_EQ(FIELD_MSG_EVENT, ch.m_Messages[1].kind);
  EXPECT_EQ("Illegal Opcode Traps cleared", ch.m_Messages[1].text);
}

TEST(FieldDecoders, PlanTransition) {
  FixedClock clock(2024, 5, 6, 7, 8, 9, 0);
  CLoopbackChannel ch;
  CFieldRGCDB g;
  g.m_nRoute = 5;
  g.m_bHasPlanTable = 1;
  g.m_abPlanTable[3] = 5;
  Bytes b = Reply(21, 0x4E, {{8, 2}, {9, 4}, {11, 3}, {12, 0xE0}, {13, 0xFF}});
  ASSERT_EQ(0u, DecodePlanTransition(b.data(), b.size(), g, ch));
  EXPECT_EQ((std::vector<std::string>{"Transition Start: Plan = 2", "Transition Stop: Step = 4",
                                      "Transition Done: Mode now NB Detour", "Raw Inputs: Gate 2 Closed",
                                      "Raw Inputs: Gate 2 Open"}),
            ch.AllTexts());
  EXPECT_EQ(3, g.m_nPlan);
  EXPECT_EQ(5, g.m_nStep);
  EXPECT_EQ(4, g.m_nMode);
  EXPECT_EQ(2024, g.m_TimeTransition.wYear);
  EXPECT_EQ(3, g.GetGateState(0));

  struct Case {
    uint8_t b11;
    bool table;
    uint8_t code;
    const char* text;
  } cases[] = {{6, true, 1, "Transition Done: Mode now [6]"},
               {2, false, 1, "Transition Done: Mode now [2]"},
               {2, true, 0, "Transition Done: Mode now [2]"},
               {2, true, 7, "Transition Done: Mode now [2]"},
               {2, true, 2, "Transition Done: Mode now Reversible Closed"}};
  for (const Case& c : cases) {
    CFieldRGCDB x;
    x.m_nRoute = 4;
    x.m_bHasPlanTable = c.table ? 1 : 0;
    x.m_abPlanTable[c.b11 < 32 ? c.b11 : 0] = c.code;
    ch.m_Messages.clear();
    Bytes d = Reply(21, 0x4E, {{11, c.b11}, {12, 0x20}});
    ASSERT_EQ(0u, DecodePlanTransition(d.data(), d.size(), x, ch));
    EXPECT_EQ((std::vector<std::string>{c.text}), ch.AllTexts());
  }
  // Cleared inputs; flags unchanged give no transition text.
  ch.m_Messages.clear();
  Bytes e = Reply(21, 0x4E, {{8, 2}, {9, 4}, {11, 3}, {12, 0xE0}, {13, 0x01}});
  ASSERT_EQ(0u, DecodePlanTransition(e.data(), e.size(), g, ch));
  EXPECT_EQ((std::vector<std::string>{"Raw Inputs: Gate 2 Open cleared"}), ch.AllTexts());
}

// The plan table of a plan-status reply names the mode of a later transition, as the one of the
// permissions reply does.
TEST(FieldDecoders, PlanStatusTableNamesTheMode) {
  CLoopbackChannel ch;
  CFieldRGCDB g;
  g.m_nRoute = 4;
  Bytes status = Reply(95, 0x4E, {{58 + 2, 2}});
  ASSERT_EQ(0u, ReadPlanStatus(status.data(), status.size(), g));
  Bytes d = Reply(21, 0x4E, {{11, 2}, {12, 0x20}});
  ASSERT_EQ(0u, DecodePlanTransition(d.data(), d.size(), g, ch));
  EXPECT_EQ((std::vector<std::string>{"Transition Done: Mode now Reversible Closed"}), ch.AllTexts());
}

// Each value of the plan-status and other long replies comes from its own bytes: a reply whose
// byte i is i shows every offset.
TEST(FieldDecoders, LongReplyFieldsAtTheirOffsets) {
  Bytes reply(95);
  for (size_t i = 0; i < reply.size(); ++i) reply[i] = static_cast<uint8_t>(i);
  CFieldRGCDB g;
  EXPECT_EQ(87u, ReadPlanStatus(reply.data(), 94, g));
  ASSERT_EQ(0u, ReadPlanStatus(reply.data(), reply.size(), g));
  EXPECT_EQ(20, g.m_bReplyFlag);
  EXPECT_EQ(0, std::memcmp(g.m_abPlanStatus, reply.data() + 28, 16));
  EXPECT_EQ(0x333231302F2E2D2Cull, g.m_nPlanStatus64);
  EXPECT_EQ(0x37363534u, g.m_nPlanStatus32);
  EXPECT_EQ(0x3938, g.m_nPlanStatus16);
  EXPECT_EQ(0, std::memcmp(g.m_abPlanTable, reply.data() + 58, 32));
  EXPECT_EQ(1, g.m_bHasPlanTable);
  EXPECT_EQ(0x5D5C5B5Au, g.m_nPlanValue);
  EXPECT_EQ(94, g.m_nPlanByte);

  // The long replies: flag in byte 20, values from byte 24 on.
  auto flagged = [&](uint32_t r) {
    EXPECT_EQ(0u, r);
    EXPECT_EQ(20, g.m_bReplyFlag);
    g.m_bReplyFlag = 0;
  };
  flagged(ReadLongStatus(reply.data(), reply.size(), g));
  flagged(ReadLongInformation(reply.data(), reply.size(), g));
  EXPECT_EQ(0, std::memcmp(g.m_abControllerInfo, reply.data() + 29, 16));
  EXPECT_EQ(0x302F2E2Du, g.m_nControllerInfo2);
  flagged(ReadLongClock(reply.data(), reply.size(), g));
  EXPECT_EQ(0x1D1C, g.m_ControllerClock.m_nYear);
  EXPECT_EQ(0, std::memcmp(g.m_ControllerClock.m_abBytes, reply.data() + 30, 8));
  EXPECT_EQ(38, g.m_ControllerClock.m_bValid);
  flagged(ReadLongWord(reply.data(), reply.size(), g));
  EXPECT_EQ(0x1918, g.m_nReplyWord);
  flagged(ReadLongIdentity(reply.data(), reply.size(), g));
  EXPECT_EQ(0, std::memcmp(g.m_abIdentity, reply.data() + 28, FIELD_IDENTITY_SIZE));
  flagged(ReadShortIdentity(reply.data(), reply.size(), g));
  EXPECT_EQ(0, std::memcmp(g.m_abIdentity, reply.data() + 28, 10));
  EXPECT_EQ(0, g.m_abIdentity[10] | g.m_abIdentity[11]);
}

// Every reader takes a reply exactly as long as the last byte it reads and refuses one a byte
// shorter (87), so that no reader runs off the end of a cut frame.
TEST(FieldDecoders, ReadersNeedTheirLastByte) {
  CLoopbackChannel ch;
  CFieldRMDCDB rmdc;
  CFieldHARSDB hars;
  CFieldCSDB cs;
  CFieldRGCDB rgc;
  CFieldSGCDB sgc;
  using Reader = std::function<uint32_t(const uint8_t*, size_t)>;
  const std::pair<size_t, Reader> readers[] = {
      {4, [&](const uint8_t* r, size_t n) { return ReadShortStatus(r, n, rgc); }},
      {6, [&](const uint8_t* r, size_t n) { return ReadVersion(r, n, cs, FieldVersionKind::CS); }},
      {6, [&](const uint8_t* r, size_t n) { return ReadHarsStatus(r, n, hars); }},
      {18, [&](const uint8_t* r, size_t n) { return ReadClock(r, n, hars); }},
      {44, [&](const uint8_t* r, size_t n) { return ReadPlanBlock(r, n, rgc); }},
      {21, [&](const uint8_t* r, size_t n) { return ReadLongStatus(r, n, cs); }},
      {49, [&](const uint8_t* r, size_t n) { return ReadLongInformation(r, n, cs); }},
      {39, [&](const uint8_t* r, size_t n) { return ReadLongClock(r, n, cs); }},
      {26, [&](const uint8_t* r, size_t n) { return ReadLongWord(r, n, cs); }},
      {70, [&](const uint8_t* r, size_t n) { return ReadLongIdentity(r, n, cs); }},
      {38, [&](const uint8_t* r, size_t n) { return ReadShortIdentity(r, n, cs); }},
      {95, [&](const uint8_t* r, size_t n) { return ReadPlanStatus(r, n, rgc); }},
      {21, [&](const uint8_t* r, size_t n) { return DecodeClosureSignalStatus(r, n, cs, ch); }},
      {34, [&](const uint8_t* r, size_t n) { return DecodeEventReport(r, n, cs, ch); }},
      {19, [&](const uint8_t* r, size_t n) { return DecodePlanTransition(r, n, rgc, ch); }},
      {169, [&](const uint8_t* r, size_t n) { return DecodeGeneralErrors(r, n, rgc, ch); }},
      {20, [&](const uint8_t* r, size_t n) { return DecodeGateStatus(r, n, sgc, ch); }},
      {61, [&](const uint8_t* r, size_t n) { return DecodeErdPreemption(r, n, rmdc, ch); }},
  };
  for (const auto& [needed, read] : readers) {
    SCOPED_TRACE(needed);
    Bytes exact(needed, 0), shorter(needed - 1, 0);
    EXPECT_EQ(0u, read(exact.data(), exact.size()));
    EXPECT_EQ(87u, read(shorter.data(), shorter.size()));
  }
  EXPECT_EQ(87u, DecodeClosureSignalStatus(nullptr, 100, cs, ch));
  EXPECT_EQ(87u, DecodeGateStatus(nullptr, 100, sgc, ch));
  EXPECT_EQ(87u, DecodeDatPreemption(nullptr, 100, rmdc, ch));
  // The general-error flag is the top bit of byte 3 alone.
  for (uint8_t b3 : {0x80, 0x7F, 0xFF, 0x00}) {
    Bytes r(44, 0);
    r[3] = b3;
    ASSERT_EQ(0u, ReadPlanBlock(r.data(), r.size(), rgc));
    EXPECT_EQ(b3 >> 7, rgc.m_bReplyFlag) << int(b3);
  }
}

TEST(FieldDecoders, GeneralErrors) {
  CLoopbackChannel ch;
  struct Case {
    uint8_t version;
    uint8_t cls;
  } cases[] = {{95, 1}, {96, 2}, {91, 3}, {0, 9}};
  for (const Case& c : cases) {
    CFieldRGCDB g;
    g.m_abIdentity[FIELD_IDENTITY_CLASS] = 9;
    Bytes b = Reply(173, 0x4D, {{168, c.version}});
    g.m_bOutageHeld = 1;
    ASSERT_EQ(0u, DecodeGeneralErrors(b.data(), b.size(), g, ch));
    EXPECT_EQ(c.cls, g.VersionClass());
  }
  CFieldRGCDB g;
  g.m_bOutageHeld = 1;
  ch.m_Messages.clear();
  Bytes b = Reply(173, 0x4D, {{161, 0x81}, {164, 0xFF}});
  ASSERT_EQ(0u, DecodeGeneralErrors(b.data(), b.size(), g, ch));
  EXPECT_EQ((std::vector<std::string>{"General Error: Associate comm failure", "General Error: Version mismatch",
                                      "Input Errors: Sign 1 Message 2", "Input Errors: Sign 2 Message 1",
                                      "Input Errors: Sign 2 Message 2", "Input Errors: Sign 3 Message 2",
                                      "Input Errors: Sign 4 Message 2"}),
            ch.AllTexts());
  EXPECT_EQ(0x2F, g.GetGateStateB(2));
}

TEST(FieldDecoders, GateStatus) {
  CLoopbackChannel ch;
  CFieldSGCDB s;
  s.m_bOutageHeld = 1;
  struct Step {
    uint8_t b9, b10;
    std::vector<std::string> texts;
  } steps[] = {
      {0xA1, 0, {"Gate Status: Gate closed", "UPS Status: Alarm, LowVoltage, OnBattery"}},
      {0xA1, 16, {"EARTHQUAKE!!!"}},
      {0xA1, 0, {"Earthquake Done"}},
      {0xA1, 3, {"Earthquake Status Unknown"}},
      {0xA1, 0, {}},
      {0x40, 0, {"Gate Status: Gate closed cleared", "UPS Status: "}},
  };
  for (const Step& st : steps) {
    ch.m_Messages.clear();
    Bytes b = Reply(154, 0x4A, {{9, st.b9}, {10, st.b10}});
    ASSERT_EQ(0u, DecodeGateStatus(b.data(), b.size(), s, ch));
    EXPECT_EQ(st.texts, ch.Texts(FIELD_MSG_PROGRESS));
  }
  ch.m_Messages.clear();
  Bytes b = Reply(154, 0x4A, {{8, 0x81}, {9, 0x40}});
  ASSERT_EQ(0u, DecodeGateStatus(b.data(), b.size(), s, ch));
  EXPECT_EQ((std::vector<std::string>{"System Status: Gate closed", "System Status: EARTHQUAKE!!!"}), ch.AllTexts());
}

TEST(FieldDecoders, MessagesWithoutCallbackStillUpdate) {
  CLoopbackChannel ch;
  ch.m_pfnMessage = nullptr;
  CFieldCSDB cs;
  Bytes b = Reply(32, 0x85, {{8, 1}});
  ASSERT_EQ(0u, DecodeClosureSignalStatus(b.data(), b.size(), cs, ch));
  EXPECT_EQ(1, cs.m_abModes[0]);
  EXPECT_EQ(1, cs.m_bReplyFlag);
}
