// Start-up sequences, steady-state pending operations and failure paths, driven through the
// loopback channel with the simulated device.
#include <gtest/gtest.h>

#include "loopback.h"

using namespace fdtest;

namespace {

struct Req {
  uint8_t code;
  int arg;  // -1: not checked
  size_t length;
  bool operator==(const Req& o) const {
    return code == o.code && length == o.length && (arg < 0 || o.arg < 0 || arg == o.arg);
  }
};

std::ostream& operator<<(std::ostream& os, const Req& r) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "{%02X arg %d len %zu}", r.code, r.arg, r.length);
  return os << buf;
}

// The requests after the kick, as (code, argument, length).
std::vector<Req> Requests(const CLoopbackChannel& ch) {
  std::vector<Req> out;
  for (size_t i = 1; i < ch.m_Sent.size(); ++i) {
    const SSent& s = ch.m_Sent[i];
    out.push_back({s.Code(), s.bytes.size() == 8 ? s.Arg() : -1, s.bytes.size()});
  }
  return out;
}

// Starts a device's sequence with the acknowledgement request of its kind and runs it.
void Start(CLoopbackChannel& ch, CFieldDeviceDB& rec, int kickEntry, const SimController& sim) {
  ASSERT_EQ(0u, BuildCommandRequest(kickEntry, rec, ch, 0));
  ch.RunUntilIdle(sim);
}

}  // namespace

TEST(FieldHandlers, RmdcStartUp) {
  FixedClock clock(2024, 3, 16, 10, 0, 0, 0);
  struct Case {
    const char* what;
    uint8_t firmware;
    uint8_t meterFlag;
    uint8_t pendingData;
    std::vector<Req> expected;
  } cases[] = {
      {"firmware 70, control mode 1", 70, 1, 0,
       {{0x26, 3, 8}, {0x43, -1, 18}, {0x4B, -1, 103}, {0x48, -1, 138}, {0x49, -1, 125}, {0x22, 0, 8},
        {0x24, 0x5A, 8}, {0x21, 0x80, 8}}},
      {"firmware 150", 150, 1, 0,
       {{0x26, 3, 8}, {0x43, -1, 18}, {0x47, -1, 94}, {0x48, -1, 138}, {0x49, -1, 125}, {0x22, 0, 8},
        {0x24, 0x5A, 8}, {0x21, 0x80, 8}}},
      {"control mode 0", 70, 0, 0,
       {{0x26, 3, 8}, {0x43, -1, 18}, {0x4B, -1, 103}, {0x48, -1, 138}, {0x49, -1, 125}, {0x22, 0, 8},
        {0x21, 0x80, 8}}},
      {"pending data", 70, 1, 1,
       {{0x26, 3, 8}, {0x43, -1, 18}, {0x4B, -1, 103}, {0x48, -1, 138}, {0x49, -1, 125}, {0x22, 0, 8},
        {0x24, 0x5A, 8}, {0x45, -1, 14}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CLoopbackChannel ch;
    SimController sim;
    sim.m_nFirmware = c.firmware;
    CFieldRMDCDB r;
    r.m_nMeterFlag = c.meterFlag;
    r.m_nMeterControl = 0x5A;
    r.m_abPendingData[0] = c.pendingData;
    r.m_bPendingClock = r.m_bPendingMeterParams = r.m_bPendingTimeOfDay = 1;
    r.m_bPendingStationParams = r.m_bPendingMeterControl = 1;
    r.m_nSetupWord = 77;
    Start(ch, r, 0, sim);
    EXPECT_EQ(c.expected, Requests(ch));
    EXPECT_EQ(255, r.m_nSetupStep);
    EXPECT_EQ(0, r.m_nSetupWord);
    EXPECT_EQ(std::vector<std::string>{"Start Sequence Complete"}, ch.Texts(FIELD_MSG_PROGRESS));
    EXPECT_EQ(0, r.m_bPendingClock);
    EXPECT_EQ(0, r.m_bPendingMeterParams);
    EXPECT_EQ(0, r.m_bPendingTimeOfDay);
    EXPECT_EQ(0, r.m_bPendingStationParams);
    EXPECT_EQ(c.meterFlag == 1 ? 0 : 1, r.m_bPendingMeterControl);
    EXPECT_EQ(c.firmware, r.FirmwareVersion());
    EXPECT_EQ(FIELD_COMM_ACTIVE, r.m_nCommState);
  }
}

TEST(FieldHandlers, OtherKindsStartUp) {
  FixedClock clock(2024, 3, 16, 10, 0, 0, 0);
  struct Case {
    const char* what;
    std::function<CFieldDeviceDB*()> make;
    int kick;
    std::vector<Req> expected;
    std::vector<std::string> progress;
  } cases[] = {
      {"HARS", [] { return new CFieldHARSDB; }, 1, {{0x26, 3, 8}, {0x43, -1, 18}, {0x25, 0, 8}, {0x2A, 0, 8}},
       {"Start Sequence Complete"}},
      {"CS",
       [] {
         auto* cs = new CFieldCSDB;
         const uint8_t lanes[4] = {1, 2, 0, 2};
         std::memcpy(cs->m_abLaneMode, lanes, 4);
         return cs;
       },
       2,
       {{0x26, 10, 8}, {0x43, -1, 18}, {0x47, -1, 15}, {0x2A, 0, 8}, {0x24, 0xA1, 8}, {0x25, 0, 8}},
       {"Sending Signal Control", "Start Sequence Complete"}},
      {"RGC", [] { return new CFieldRGCDB; }, 3,
       {{0x26, 3, 8}, {0x43, -1, 18}, {0x4F, -1, 26}, {0x2D, 0, 8}, {0x2A, 0, 8}, {0x2E, 0, 8}},
       {"Start Sequence Complete"}},
      {"SGC", [] { return new CFieldSGCDB; }, 4, {{0x26, 3, 8}, {0x4F, -1, 26}, {0x43, -1, 18}, {0x2A, 0, 8}},
       {"Start Sequence Complete"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CLoopbackChannel ch;
    SimController sim;
    std::unique_ptr<CFieldDeviceDB> rec(c.make());
    Start(ch, *rec, c.kick, sim);
    EXPECT_EQ(c.expected, Requests(ch));
    EXPECT_EQ(255, rec->m_nSetupStep);
    EXPECT_EQ(c.progress, ch.Texts(FIELD_MSG_PROGRESS));
  }
  // The CS start-up status request is the steady-state entry 51.
  CLoopbackChannel ch;
  SimController sim;
  CFieldCSDB cs;
  Start(ch, cs, 2, sim);
  EXPECT_EQ(OnCSCerdResponse, ch.m_Sent[4].handler);
  EXPECT_EQ(2u, ch.m_Sent[4].timing[2]);
}

TEST(FieldHandlers, VersionClassByKind) {
  struct Case {
    const char* what;
    std::function<CFieldDeviceDB*()> make;
    int kick;
    uint8_t version;
    uint8_t cls;
  } cases[] = {
      {"RMDC 48", [] { return new CFieldRMDCDB; }, 0, 48, 5}, {"RMDC 47", [] { return new CFieldRMDCDB; }, 0, 47, 4},
      {"RMDC 40", [] { return new CFieldRMDCDB; }, 0, 40, 3}, {"HARS 5", [] { return new CFieldHARSDB; }, 1, 5, 1},
      {"HARS 4", [] { return new CFieldHARSDB; }, 1, 4, 0},   {"RGC 96", [] { return new CFieldRGCDB; }, 3, 96, 2},
      {"RGC 92", [] { return new CFieldRGCDB; }, 3, 92, 1},   {"RGC 91", [] { return new CFieldRGCDB; }, 3, 91, 3},
      {"SGC 96", [] { return new CFieldSGCDB; }, 4, 96, 2},   {"SGC 95", [] { return new CFieldSGCDB; }, 4, 95, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CLoopbackChannel ch;
    SimController sim;
    sim.m_nFirmware = c.version;
    std::unique_ptr<CFieldDeviceDB> rec(c.make());
    ASSERT_EQ(0u, BuildCommandRequest(c.kick, *rec, ch, 0));
    ch.DeliverNext(sim);
    EXPECT_EQ(c.version, rec->FirmwareVersion());
    EXPECT_EQ(c.cls, rec->VersionClass());
    // A version byte of 0 leaves the identity alone.
    sim.m_nFirmware = 0;
    ch.DeliverNext(sim);
    EXPECT_EQ(c.version, rec->FirmwareVersion());
    EXPECT_EQ(c.cls, rec->VersionClass());
  }
}

TEST(FieldHandlers, RmdcSteadyState) {
  FixedClock clock(2024, 3, 16, 10, 0, 0, 0);
  CLoopbackChannel ch;
  SimController sim;
  CFieldRMDCDB r;
  r.m_nSetupStep = 255;
  r.m_bPendingClock = 1;
  r.m_nPendingReset = 5;
  r.m_bPendingTimeOfDay = 1;
  Start(ch, r, 0, sim);
  EXPECT_EQ((std::vector<Req>{{0x43, -1, 18}, {0x26, 5, 8}, {0x48, -1, 138}}), Requests(ch));
  EXPECT_EQ(56, ch.m_Sent[1].handler == OnRMDCAckResponse ? 56 : 0);
  EXPECT_EQ(2u, ch.m_Sent[1].timing[2]);
  EXPECT_EQ((std::vector<std::string>{"Sending Reset", "Sending Time of Day Table"}), ch.Texts(FIELD_MSG_PROGRESS));
  EXPECT_EQ(0, r.m_bPendingClock);
  EXPECT_EQ(0, r.m_nPendingReset);
  EXPECT_EQ(0, r.m_bPendingTimeOfDay);

  // Meter control goes out with its control byte, and only in meter-control mode.
  for (uint8_t flag : {1, 0}) {
    CLoopbackChannel chm;
    CFieldRMDCDB m;
    m.m_nSetupStep = 255;
    m.m_nMeterFlag = flag;
    m.m_nMeterControl = 3;
    m.m_bPendingMeterControl = 1;
    Start(chm, m, 0, sim);
    const std::vector<Req> expected = flag == 1 ? std::vector<Req>{{0x24, 3, 8}} : std::vector<Req>{};
    EXPECT_EQ(expected, Requests(chm)) << int(flag);
    EXPECT_EQ(flag == 1 ? 0 : 1, m.m_bPendingMeterControl);
  }

  // A data reply with the general-error bit asks for the error report first, without text, and
  // leaves the pending clock for later.
  CLoopbackChannel ch2;
  SimController sim2;
  sim2.m_bErrorBit = true;
  CFieldRMDCDB r2;
  r2.m_nSetupStep = 255;
  r2.m_bPendingClock = 1;
  ASSERT_EQ(0u, BuildDataRequest(36, r2, ch2));
  ch2.DeliverNext(sim2);
  ASSERT_EQ(2u, ch2.m_Sent.size());
  EXPECT_EQ(0x22, ch2.m_Sent[1].Code());
  EXPECT_EQ(OnRMDCErdResponse, ch2.m_Sent[1].handler);
  EXPECT_EQ(2u, ch2.m_Sent[1].timing[2]);
  EXPECT_TRUE(ch2.Texts(FIELD_MSG_PROGRESS).empty());
  EXPECT_EQ(1, r2.m_bPendingClock);
}

TEST(FieldHandlers, OtherSteadyStates) {
  FixedClock clock(2024, 3, 16, 10, 0, 0, 0);
  {
    // Closure signal: signal control first, clock last.
    CLoopbackChannel ch;
    SimController sim;
    CFieldCSDB cs;
    cs.m_nSetupStep = 255;
    cs.m_bPendingClock = 1;
    cs.m_bPendingCsA = 1;
    Start(ch, cs, 2, sim);
    EXPECT_EQ((std::vector<Req>{{0x24, 0, 8}, {0x43, -1, 18}}), Requests(ch));
  }
  {
    // HARS: a status reply with the error bit asks for the status reader before the pending
    // clock; the reader's handler sends nothing once started, even with work pending.
    CLoopbackChannel ch;
    SimController sim;
    sim.m_bErrorBit = true;
    CFieldHARSDB h;
    h.m_nSetupStep = 255;
    h.m_bPendingClock = 1;
    ASSERT_EQ(0u, BuildCommandRequest(43, h, ch, 0));
    ch.RunUntilIdle(sim);
    EXPECT_EQ((std::vector<Req>{{0x2A, 0, 8}}), Requests(ch));
    EXPECT_EQ(1, h.m_bPendingClock);
  }
  {
    // RGC gate release 0x20 with selector 3 goes out as 0x22; its acknowledgement sends 0x80,
    // and the acknowledgement of that the pending reset.
    CLoopbackChannel ch;
    SimController sim;
    CFieldRGCDB g;
    g.m_nSetupStep = 255;
    g.m_chGateCode = 0x20;
    g.m_nGateSelector = 3;
    g.m_bPendingA = 1;
    g.m_nPendingReset = 5;
    Start(ch, g, 3, sim);
    EXPECT_EQ((std::vector<Req>{{0x23, 0x22, 8}, {0x23, 0x80, 8}, {0x26, 5, 8}}), Requests(ch));
    EXPECT_EQ(static_cast<char>(0x80), g.m_chGateCode);
    EXPECT_EQ(0, g.m_bPendingA);
    EXPECT_EQ((std::vector<std::string>{"Sending Gate Control", "Sending Reset"}), ch.Texts(FIELD_MSG_PROGRESS));
  }
  {
    // SGC: clock, seismic gate control, reset, association.
    CLoopbackChannel ch;
    SimController sim;
    CFieldSGCDB s;
    s.m_nSetupStep = 255;
    s.m_bPendingClock = s.m_bPendingA = s.m_bPendingB = 1;
    s.m_nPendingReset = 9;
    s.m_chGateCode = 0x31;
    Start(ch, s, 4, sim);
    EXPECT_EQ((std::vector<Req>{{0x43, -1, 18}, {0x24, 0x31, 8}, {0x26, 9, 8}, {0x4F, -1, 26}}), Requests(ch));
    EXPECT_EQ((std::vector<std::string>{"Sending Seismic Gate Control", "Sending Reset",
                                        "Sending Associate Drop Addresses (SGP4)"}),
              ch.Texts(FIELD_MSG_PROGRESS));
  }
}

TEST(FieldHandlers, PackLaneModes) {
  struct Case {
    uint8_t m[4];
    uint8_t arg;
  } cases[] = {{{1, 2, 0, 2}, 0xA1}, {{2, 1, 1, 1}, 0x1E}, {{1, 1, 1, 1}, 0x0F},
               {{2, 2, 2, 2}, 0xF0}, {{0, 0, 0, 0}, 0x00}, {{0, 2, 0, 0}, 0x20}};
  for (const Case& c : cases) EXPECT_EQ(c.arg, PackLaneModes(c.m));
}

TEST(FieldHandlers, FailurePaths) {
  FixedClock clock(2024, 3, 16, 10, 0, 0, 0);
  {
    // A wrong code resets the step; the collector also counts a miss.
    CLoopbackChannel ch;
    SimController sim;
    sim.m_nWrongCode = 0x07;
    CFieldRMDCDB r;
    r.m_nSetupStep = 3;
    ASSERT_EQ(0u, BuildCommandRequest(12, r, ch, 3));
    ch.DeliverNext(sim);
    EXPECT_EQ(0, r.m_nSetupStep);
    EXPECT_EQ((std::vector<std::string>{"Invalid response command"}), ch.Texts(FIELD_MSG_EVENT));
    EXPECT_EQ(1, r.m_nMissedReplies);
    EXPECT_EQ(1u, ch.m_Sent.size());
  }
  for (uint8_t code : {0x86, 0x16}) {
    // Bits 4 and 7 of the code do not count.
    CLoopbackChannel ch;
    SimController sim;
    sim.m_nWrongCode = code;
    CFieldRGCDB g;
    ASSERT_EQ(0u, BuildCommandRequest(3, g, ch, 0));
    ch.DeliverNext(sim);
    EXPECT_EQ(1, g.m_nSetupStep);
    EXPECT_TRUE(ch.Texts(FIELD_MSG_EVENT).empty());
  }
  {
    // An unknown reason is only traced.
    TraceCapture trace;
    CLoopbackChannel ch;
    CFieldRMDCDB r;
    r.m_nSetupStep = 4;
    CStream empty;
    OnRMDCAckResponse(2, ch, empty, 0, 0, 0, &r);
    CFieldRGCDB g;
    OnRGC170AckResponse(7, ch, empty, 0, 0, 0, &g);
    OnRGCPermissionsResponse(6, ch, empty, 0, 0, 0, &g);
    EXPECT_EQ(
        "OnRMDCAckResponse - unknown response callback reason 2.\n"
        "OnRGCAckResponse - unknown response callback reason 7.\n"
        "OnRGC170GerdResponse - unknown response callback reason 6.\n",
        trace.m_Text);
    EXPECT_EQ(4, r.m_nSetupStep);
    EXPECT_TRUE(ch.m_Reasons.empty());
    EXPECT_TRUE(ch.m_Messages.empty());
  }
  {
    // A record of the wrong kind is traced and left alone.
    TraceCapture trace;
    CLoopbackChannel ch;
    CFieldCSDB cs;
    cs.m_nSetupStep = 4;
    CStream reply = FromBytes(Hex("01 00 01 06 01 00 08 00"));
    OnRMDCAckResponse(1, ch, reply, 0, 0, 0, &cs);
    OnSGCAckResponse(1, ch, reply, 0, 0, 0, nullptr);
    EXPECT_EQ("OnRMDCAckResponse - record of the wrong kind.\nOnSGCAckResponse - record of the wrong kind.\n",
              trace.m_Text);
    EXPECT_EQ(4, cs.m_nSetupStep);
    EXPECT_EQ(0, cs.m_nRepliesShort);
  }
  {
    // No reply at step 0: an acknowledgement handler only counts it.
    CLoopbackChannel ch;
    SimController sim;
    sim.m_bNoReply = true;
    CFieldSGCDB s;
    ASSERT_EQ(0u, BuildCommandRequest(4, s, ch, 0));
    ch.DeliverNext(sim);
    EXPECT_EQ((std::vector<uint32_t>{0}), ch.m_Reasons);
    EXPECT_EQ(1, s.m_nMissedReplies);
    EXPECT_EQ(FIELD_COMM_FAILED, s.m_nCommState);
    // At another step it falls back to 0.
    s.m_nSetupStep = 3;
    ASSERT_EQ(0u, BuildCommandRequest(4, s, ch, 0));
    ch.DeliverNext(sim);
    EXPECT_EQ((std::vector<uint32_t>{0, 0, 3}), ch.m_Reasons);
    EXPECT_EQ(0, s.m_nSetupStep);
    EXPECT_EQ(2u, s.m_nPollsSent);
  }
  {
    // A transmission error counts an error and changes no step.
    CLoopbackChannel ch;
    SimController sim;
    sim.m_bTxError = true;
    CFieldCSDB cs;
    cs.m_nSetupStep = 2;
    ASSERT_EQ(0u, BuildCommandRequest(2, cs, ch, 0));
    ch.DeliverNext(sim);
    EXPECT_EQ(1, cs.m_nErrorReplies);
    EXPECT_EQ(2, cs.m_nSetupStep);
    EXPECT_EQ((std::vector<uint32_t>{0, 4}), ch.m_Reasons);
  }
  {
    // A refusal is reported with kind 1; flags and step stay, and the next reply retries.
    CLoopbackChannel ch;
    SimController sim;
    CFieldRMDCDB r;
    r.m_nSetupStep = 1;
    r.m_bPendingClock = 1;
    ASSERT_EQ(0u, BuildCommandRequest(0, r, ch, 0));
    ch.m_nRefusal = 1200;
    ch.DeliverNext(sim);
    ASSERT_EQ(1u, ch.m_Messages.size());
    EXPECT_EQ(FIELD_MSG_REFUSED, ch.m_Messages[0].kind);
    EXPECT_EQ(1200u, ch.m_Messages[0].value);
    EXPECT_EQ(1, r.m_nSetupStep);
    EXPECT_EQ(1, r.m_bPendingClock);
    ch.m_nRefusal = 0;
    ASSERT_EQ(0u, BuildCommandRequest(0, r, ch, 0));
    ch.DeliverNext(sim);
    EXPECT_EQ(0x43, ch.m_Sent.back().Code());
    EXPECT_EQ(2, r.m_nSetupStep);
  }
  {
    // Every sequence number held: reported like a refusal (170), no hang.
    CLoopbackChannel ch;
    SimController sim;
    CFieldRMDCDB r;
    ASSERT_EQ(0u, BuildCommandRequest(0, r, ch, 0));
    ch.m_nSeqFirst = ch.m_nSeqLast = ch.m_nSeqNext = 1;
    ch.m_Pending.push_back(1);
    ch.DeliverNext(sim);
    ASSERT_EQ(1u, ch.m_Messages.size());
    EXPECT_EQ(170u, ch.m_Messages[0].value);
    EXPECT_EQ(0, r.m_nSetupStep);
  }
  {
    // A step served by another handler falls back to 0.
    CLoopbackChannel ch;
    SimController sim;
    CFieldRMDCDB r;
    r.m_nSetupStep = 6;  // served by the error-report handler
    ASSERT_EQ(0u, BuildCommandRequest(12, r, ch, 3));
    ch.DeliverNext(sim);
    EXPECT_EQ(0, r.m_nSetupStep);
    EXPECT_EQ(1u, ch.m_Sent.size());
  }
}

// Every handler fed its reply cut to each length below what its reader needs: the reply is
// rejected cleanly; at the needed length it is accepted.
TEST(FieldHandlers, TruncatedReplies) {
  FixedClock clock(2024, 3, 16, 10, 0, 0, 0);
  struct Case {
    const char* what;
    std::function<CFieldDeviceDB*()> make;
    int entry;
    size_t needed;
    bool completes;
  } cases[] = {
      {"RMDC ack", [] { return new CFieldRMDCDB; }, 12, 6, false},
      {"RMDC data", [] { auto* r = new CFieldRMDCDB; r->m_nLoopCount = 3; r->AddStation(0, 1);
                         r->m_aLoops[0].m_bActive = 1; return r; }, 36, 30, true},
      {"RMDC error report", [] { return new CFieldRMDCDB; }, 37, 61, false},
      {"HARS data", [] { return new CFieldHARSDB; }, 43, 6, false},
      {"HARS status", [] { return new CFieldHARSDB; }, 50, 18, true},
      {"CS data", [] { return new CFieldCSDB; }, 44, 21, true},
      {"CS event report", [] { return new CFieldCSDB; }, 51, 34, false},
      {"RGC permissions", [] { return new CFieldRGCDB; }, 67, 44, false},
      {"RGC general errors", [] { return new CFieldRGCDB; }, 54, 169, false},
      {"RGC status", [] { return new CFieldRGCDB; }, 52, 4, false},
      {"RGC data", [] { return new CFieldRGCDB; }, 55, 19, true},
      {"SGC data", [] { return new CFieldSGCDB; }, 53, 20, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SimController sim;
    for (size_t len = 0; len <= c.needed; ++len) {
      SCOPED_TRACE(len);
      CLoopbackChannel ch;
      std::unique_ptr<CFieldDeviceDB> rec(c.make());
      rec->m_nSetupStep = 7;
      ASSERT_EQ(0u, BuildEntryRequest(c.entry, *rec, ch, 0));
      sim.m_nShortLength = static_cast<int>(len);
      ch.DeliverNext(sim);
      if (len == c.needed) {
        for (const SMessage& m : ch.m_Messages) {
          EXPECT_NE(FIELD_MSG_READER_ERROR, m.kind);
          EXPECT_NE("Invalid response command", m.text);
        }
        continue;
      }
      ASSERT_FALSE(ch.m_Messages.empty());
      if (len < 4) {
        EXPECT_EQ("Invalid response command", ch.m_Messages.back().text);
        EXPECT_EQ(0, rec->m_nSetupStep);
      } else {
        EXPECT_EQ(FIELD_MSG_READER_ERROR, ch.m_Messages.back().kind);
        EXPECT_EQ(87u, ch.m_Messages.back().value);
        EXPECT_EQ(c.completes ? 7 : 0, rec->m_nSetupStep);
      }
      EXPECT_EQ(1u, ch.m_Sent.size());
    }
  }
}
