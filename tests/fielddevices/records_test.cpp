// Device records: communication state, road names, copies, stations, text parsers, groups, and the
// command table's invariants.
#include <gtest/gtest.h>

#include <cstring>

#include "loopback.h"

using namespace fdtest;

namespace {
enum Ev { Good, Err, Miss };
void Apply(CFieldDeviceDB& r, Ev e) {
  switch (e) {
    case Good: r.RecordGoodReply(); break;
    case Err: r.RecordError(); break;
    case Miss: {
      CFieldRecordLock lock(r);
      r.RecordMissedReply();
      break;
    }
  }
}
}  // namespace

TEST(FieldRecords, CommStateOfController) {
  struct Step {
    Ev ev;
    int times;
    uint8_t state;
  } steps[] = {{Good, 1, 2}, {Err, 4, 2}, {Err, 1, 3}, {Good, 1, 3}, {Miss, 1, 4}, {Good, 1, 3}};
  CField170DB r;
  EXPECT_EQ(FIELD_COMM_ENABLED, r.m_nCommState);
  for (const Step& s : steps) {
    for (int i = 0; i < s.times; ++i) Apply(r, s.ev);
    EXPECT_EQ(s.state, r.m_nCommState);
  }
  EXPECT_EQ(5, r.m_nErrorReplies);
  EXPECT_EQ(8, r.m_nRepliesShort);

  // A fresh record is not degraded by errors: only an active one is.
  CField170DB fresh;
  for (int i = 0; i < 5; ++i) fresh.RecordError();
  EXPECT_EQ(FIELD_COMM_ENABLED, fresh.m_nCommState);
  Apply(fresh, Miss);
  EXPECT_EQ(FIELD_COMM_FAILED, fresh.m_nCommState);

  // The error history saturates: 133 errors never read as a healthy device again.
  CField170DB sat;
  sat.RecordGoodReply();
  for (int i = 0; i < 133; ++i) sat.RecordError();
  EXPECT_EQ(127, sat.m_abErrorWindow[0]);
  sat.RecordGoodReply();
  EXPECT_EQ(FIELD_COMM_MARGINAL, sat.m_nCommState);
  for (int i = 0; i < 200; ++i) Apply(sat, Miss);
  EXPECT_EQ(127, sat.m_abMissWindow[0]);

  CFieldDeviceDB d;
  for (Ev e : {Good, Miss, Good}) Apply(d, e);
  EXPECT_EQ(FIELD_COMM_ACTIVE, d.m_nCommState);
  d.RecordGoodReplyKind5();
  EXPECT_EQ(1, d.m_nKind5Replies);
  EXPECT_EQ(1, d.m_abSecondWindow[0]);
}

TEST(FieldRecords, ParseRoadName) {
  struct Case {
    const char* text;
    const char* road;
    int32_t route;
  } cases[] = {
      {"sr 520 ramp", "SR 520 Ramp", 520}, {"i5 n", "I-5N", 5},          {"I90", "I-90", 90},
      {"US2", "US 2", 2},                  {"interstate 94", "I-94", 94}, {"SR 167 NORTH", "SR 167 Nort", 167},
      {"Sr520", "SR 520", 520},            {"SR 99 S", "SR 99S", 99},     {"Broadway", "Broadway", 0},
      {"", "", 0},                         {"SR Ramp", "SR ", 0},         {"Ridiculouslylongname", "Ridiculousl", 0},
      {"123456789012345", "12345678901", 2147483647},
  };
  for (const Case& c : cases) {
    CFieldPos p;
    p.ParseRoadName(c.text);
    EXPECT_STREQ(c.road, p.m_szRoad) << c.text;
    EXPECT_EQ(c.route, p.m_nRoute) << c.text;
  }
  for (int digits = 11; digits <= 30; ++digits) {
    CFieldPos p;
    p.ParseRoadName(("SR " + std::string(digits, '9')).c_str());
    EXPECT_EQ(2147483647, p.m_nRoute);
    EXPECT_EQ(11u, std::strlen(p.m_szRoad));
  }
}

TEST(FieldRecords, DefaultsAndCopies) {
  CFieldRMDCDB r;
  EXPECT_STREQ("NoRoad", r.m_szRoad);
  EXPECT_STREQ("0000000000", r.m_szPhone);
  EXPECT_STREQ("No_Location", r.m_strLocation.m_pData);
  EXPECT_STREQ("", r.NameText());
  EXPECT_EQ(5, r.m_nErrorLimit);
  EXPECT_EQ(1, r.m_nMissLimit);
  EXPECT_STREQ("2222", r.m_szMeterCodes);
  CFieldDeviceDB base;
  EXPECT_EQ(255, base.m_nErrorLimit);
  CFieldRGCDB g;
  EXPECT_EQ(0x40, g.m_chGateCode);
  EXPECT_EQ(' ', CFieldSGCDB().m_chGateCode);

  int a = 1, b = 2;
  r.m_strName = "RAMP7";
  void* user = &a;
  r.m_arrUserData.Add(&user);
  r.m_bPendingTimeOfDay = 1;
  r.m_abPendingData[2] = 9;
  std::strcpy(r.m_aFuzzy[1].m_szName, "fz");
  r.m_aFuzzy[1].m_aInputs[3].AddEmpty();

  CFieldRMDCDB copy(r);
  EXPECT_NE(&copy.m_cs, &r.m_cs);
  ASSERT_EQ(1, copy.m_arrUserData.m_nSize);
  EXPECT_NE(copy.m_arrUserData.m_pData, r.m_arrUserData.m_pData);
  EXPECT_EQ(&a, copy.m_arrUserData.m_pData[0]);
  EXPECT_STREQ("RAMP7", copy.NameText());
  EXPECT_EQ(1, copy.m_bPendingTimeOfDay);
  EXPECT_EQ(9, copy.m_abPendingData[2]);
  EXPECT_STREQ("fz", copy.m_aFuzzy[1].m_szName);
  ASSERT_EQ(1, copy.m_aFuzzy[1].m_aInputs[3].m_nSize);
  EXPECT_NE(copy.m_aFuzzy[1].m_aInputs[3].m_pData[0], r.m_aFuzzy[1].m_aInputs[3].m_pData[0]);

  // The copy's lock is its own: holding one does not block the other from another thread.
  {
    CFieldRecordLock hold(r);
    std::thread t([&copy] { CFieldRecordLock other(copy); });
    t.join();
  }

  CFieldRMDCDB assigned;
  assigned = r;
  EXPECT_STREQ("RAMP7", assigned.NameText());
  EXPECT_EQ(1, assigned.m_bPendingTimeOfDay);
  assigned = assigned;
  EXPECT_STREQ("RAMP7", assigned.NameText());
  (void)b;
}

// Every plain field a copy or an assignment must carry, as raw bytes.
struct FieldBytes {
  const char* name;
  void* at;
  size_t size;
};
#define FB(r, m) FieldBytes{#m, &(r).m, sizeof((r).m)}

std::vector<FieldBytes> CommonFields(CField170DB& r) {
  return {FB(r, m_szShortName), FB(r, m_szRoad), FB(r, m_szMilepost), FB(r, m_szCoordinate1),
          FB(r, m_szCoordinate2), FB(r, m_chDirection), FB(r, m_nRoute), FB(r, m_nNumber), FB(r, m_szPort),
          FB(r, m_szPhone), FB(r, m_szModemInit), FB(r, m_szAddress), FB(r, m_szExtraText), FB(r, m_nOption),
          FB(r, m_nDropAddress), FB(r, m_nSetupStep), FB(r, m_abOptionBytes), FB(r, m_nLinkType),
          FB(r, m_nBaudRate), FB(r, m_nDataBits), FB(r, m_nParity), FB(r, m_nStopBits), FB(r, m_nNetAddress),
          FB(r, m_nNetPort), FB(r, m_nLinkWord), FB(r, m_nErrorLimit), FB(r, m_nMissLimit), FB(r, m_nByteTime),
          FB(r, m_nReplyTimeout), FB(r, m_abIdentity), FB(r, m_nRepliesShort), FB(r, m_anReplyCounters),
          FB(r, m_nRepliesTail), FB(r, m_abErrorWindow), FB(r, m_abSecondWindow), FB(r, m_abMissWindow),
          FB(r, m_nRepliesTotal), FB(r, m_nErrorReplies), FB(r, m_nKind5Replies), FB(r, m_nMissedReplies),
          FB(r, m_nCommState), FB(r, m_anSpeedParams), FB(r, m_nPollsSent), FB(r, m_nPollsTotal),
          FB(r, m_nSetupWord), FB(r, m_nControllerByte), FB(r, m_nPendingReset), FB(r, m_bReplyFlag),
          FB(r, m_nReplyWord), FB(r, m_ControllerClock), FB(r, m_abControllerInfo), FB(r, m_nControllerInfo2),
          FB(r, m_nControllerFlag), FB(r, m_bPendingClock), FB(r, m_abOutage), FB(r, m_bOutageHeld)};
}

std::vector<FieldBytes> KindFields(CFieldRMDCDB& r) {
  return {FB(r, m_nRmdcByte), FB(r, m_abMeterState), FB(r, m_nMeterControl), FB(r, m_TimeCreated),
          FB(r, m_aMeterBlock), FB(r, m_abMeterParams), FB(r, m_abMeterInputs), FB(r, m_aTimeOfDay),
          FB(r, m_abStationParams), FB(r, m_abStationBlockA), FB(r, m_aStations), FB(r, m_abStationBlockB),
          FB(r, m_nMeterFlag), FB(r, m_nLoopCount), FB(r, m_nStationCount), FB(r, m_abStationTimes),
          FB(r, m_apStations), FB(r, m_abStationBlockC), FB(r, m_abPendingData), FB(r, m_abDataBlockA),
          FB(r, m_nDataBlockValue), FB(r, m_nRmdcFlagA), FB(r, m_szRmdcText), FB(r, m_bPendingMeterParams),
          FB(r, m_bPendingTimeOfDay), FB(r, m_bPendingStationParams), FB(r, m_bPendingMeterControl),
          FB(r, m_abMeterLimits), FB(r, m_szMeterCodes), FB(r, m_anRmdcValues), FB(r, m_szRmdcName),
          FB(r, m_nRmdcWordA), FB(r, m_nRmdcWordB), FB(r, m_TimeChanged), FB(r, m_nRmdcByteB), FB(r, m_aLoops),
          FB(r, m_abDatValue), FB(r, m_abDatState), FB(r, m_abDatSecond), FB(r, m_bPreempted),
          FB(r, m_nPreemptFlags), FB(r, m_abErdValue), FB(r, m_abErdBlock), FB(r, m_dErdValue)};
}

std::vector<FieldBytes> KindFields(CFieldRGCDB& r) {
  return {FB(r, m_chGateCode), FB(r, m_bPendingA), FB(r, m_bPendingB), FB(r, m_pGroup), FB(r, m_abRgcBytes),
          FB(r, m_nGateSelector), FB(r, m_nRgcByte), FB(r, m_TimeA), FB(r, m_abGateState), FB(r, m_abGateBytes),
          FB(r, m_abGateStateB), FB(r, m_nGateByte), FB(r, m_abPlanStatus), FB(r, m_nPlanStatus64),
          FB(r, m_nPlanStatus32), FB(r, m_nPlanStatus16), FB(r, m_abPlanTable), FB(r, m_nPlanValue),
          FB(r, m_nPlanByte), FB(r, m_nPlanByteB), FB(r, m_TimeB), FB(r, m_bHasPlanTable),
          FB(r, m_nTransitionFlags), FB(r, m_TimeTransition), FB(r, m_nPlan), FB(r, m_nStep), FB(r, m_nMode),
          FB(r, m_nGeneralErrors)};
}

std::vector<FieldBytes> KindFields(CFieldCSDB& r) {
  return {FB(r, m_nCsValueA), FB(r, m_nCsValueB), FB(r, m_abLaneMode), FB(r, m_nCsByteA), FB(r, m_bPendingCsA),
          FB(r, m_abCsBytes), FB(r, m_abCsOptions), FB(r, m_abCsParams), FB(r, m_abCsReserved),
          FB(r, m_nCsShortA), FB(r, m_nCsShortB), FB(r, m_nCsByte), FB(r, m_bPendingCsB), FB(r, m_bPendingCsC),
          FB(r, m_abModes), FB(r, m_bWatchdog), FB(r, m_bTestFlag), FB(r, m_nCommFlags),
          FB(r, m_nControllerErrors), FB(r, m_nCommandErrors), FB(r, m_abInterrupts), FB(r, m_nIllegalAddress),
          FB(r, m_nIllegalOpcodeWord), FB(r, m_nIllegalOpcodeByte)};
}

std::vector<FieldBytes> KindFields(CFieldSGCDB& r) {
  return {FB(r, m_chGateCode), FB(r, m_bPendingA), FB(r, m_bPendingB), FB(r, m_nSgcByte1), FB(r, m_nSgcByte2),
          FB(r, m_nSgcByte3), FB(r, m_nSgcStatus), FB(r, m_nSystemStatus), FB(r, m_nGateStatus),
          FB(r, m_nEarthquake)};
}

std::vector<FieldBytes> KindFields(CFieldHARSDB& r) {
  return {FB(r, m_nSgcStatus), FB(r, m_bPendingSign), FB(r, m_nSignByte)};
}
#undef FB

template <class T>
std::vector<FieldBytes> AllFields(T& r) {
  std::vector<FieldBytes> f = CommonFields(r), k = KindFields(r);
  f.insert(f.end(), k.begin(), k.end());
  return f;
}

// Fills every field of a record with bytes no constructor sets (0x80 and up for the first byte;
// texts filled to their last character), then checks that a copy and an assignment carry each.
template <class T>
void ExpectCopiesCarryEveryField() {
  T source;
  std::vector<FieldBytes> from = AllFields(source);
  for (size_t i = 0; i < from.size(); ++i) {
    uint8_t* b = static_cast<uint8_t*>(from[i].at);
    bool text = std::strncmp(from[i].name, "m_sz", 4) == 0;
    for (size_t k = 0; k < from[i].size; ++k) b[k] = text ? uint8_t('A' + (i + k) % 26) : uint8_t(0x80 + i + 3 * k);
    if (text) b[from[i].size - 1] = 0;
  }
  T copy(source);
  T assigned;
  assigned = source;
  for (T* t : {&copy, &assigned}) {
    std::vector<FieldBytes> to = AllFields(*t);
    for (size_t i = 0; i < from.size(); ++i)
      EXPECT_EQ(0, std::memcmp(to[i].at, from[i].at, from[i].size))
          << from[i].name << (t == &copy ? " (copy)" : " (assignment)");
  }
}

TEST(FieldRecords, CopiesCarryEveryField) {
  ExpectCopiesCarryEveryField<CFieldRMDCDB>();
  ExpectCopiesCarryEveryField<CFieldRGCDB>();
  ExpectCopiesCarryEveryField<CFieldCSDB>();
  ExpectCopiesCarryEveryField<CFieldSGCDB>();
  ExpectCopiesCarryEveryField<CFieldHARSDB>();
}

TEST(FieldRecords, StationsPollsAndParsers) {
  CFieldRMDCDB r;
  for (int meter : {-1, RMDC_STATION_ENTRIES, 1000}) {
    uint8_t a = 0, b = 0;
    r.MeterLoops(meter, a, b);
    EXPECT_EQ(0xFF, a) << meter;
    EXPECT_EQ(0xFF, b) << meter;
  }
  r.m_nLoopCount = 4;
  EXPECT_EQ(0, r.AddStation(3, 7));
  EXPECT_EQ(504u, r.GetPollTime());
  EXPECT_EQ(36, r.GetPollCommand());
  EXPECT_EQ(26, r.GetTextPollValue());
  EXPECT_EQ(6096u, r.GetTextPollTime());
  r.m_abPendingData[3] = 1;
  EXPECT_EQ(576u, r.GetPollTime());
  EXPECT_EQ(61, r.GetPollCommand());
  EXPECT_EQ(27, r.GetTextPollValue());

  EXPECT_EQ(0, r.FindStationByNumber(7));
  EXPECT_EQ(-1, r.FindStationByNumber(99));
  CFieldRMDCDB empty;
  EXPECT_EQ(0, empty.FindStationByNumber(0));  // unused entries are searched too
  for (int i = 1; i < 24; ++i) EXPECT_EQ(i, r.AddStation(static_cast<uint8_t>(i), static_cast<uint8_t>(i)));
  uint8_t before[24][4];
  std::memcpy(before, r.m_aStations, sizeof before);
  EXPECT_EQ(-1, r.AddStation(1, 1));
  EXPECT_EQ(24, r.m_nStationCount);
  EXPECT_EQ(0, std::memcmp(before, r.m_aStations, sizeof before));

  struct Clock {
    const char* text;
    uint8_t h, m;
    int result;
  } clocks[] = {{"7:05", 7, 5, 0},       {"12:30", 12, 30, 0},   {"0705", 255, 255, -1}, {"7:", 255, 255, -1},
                {"7:5", 255, 255, -1},   {"", 255, 255, -1},     {"12", 255, 255, -1},   {"1", 255, 255, -1},
                {"123:45", 255, 255, -1}};
  for (const Clock& c : clocks) {
    uint8_t h = 0, m = 0;
    EXPECT_EQ(c.result, CFieldRMDCDB::ParseClock(h, m, c.text)) << c.text;
    EXPECT_EQ(c.h, h) << c.text;
    EXPECT_EQ(c.m, m) << c.text;
  }
  struct Mask {
    const char* text;
    uint8_t mask;
  } masks[] = {{"-------", 1}, {"MTWTFSS", 255}, {"M-", 3}, {"", 1}, {"-T", 5}, {"MTWTFSSX", 255}};
  for (const Mask& c : masks) {
    uint8_t mask = 0;
    CFieldRMDCDB::ParseDayMask(mask, c.text);
    EXPECT_EQ(c.mask, mask) << c.text;
  }
}

TEST(FieldRecords, BuildMeterInputs) {
  CFieldRMDCDB r;
  r.m_strName = "COLLECTOR1-EXTRA";
  CFieldStation mine, other, group, lonelyGroup;
  std::strcpy(mine.m_szName, "COLLECTOR1");
  std::strcpy(other.m_szName, "ELSEWHERE");
  std::strcpy(group.m_szType, "stn");
  group.m_arrMembers = {&other, &mine};
  std::strcpy(lonelyGroup.m_szType, "Stn");
  r.m_apStations[4] = &mine;

  auto add = [](CFuzzyMeterInput& list, CFieldStation* s, uint8_t byte) {
    CFuzzyMeterStn e;
    e.m_nKey = reinterpret_cast<uintptr_t>(s);
    e.m_nByte = byte;
    list.Add(e);
  };
  CFuzzyMeterConfig& cfg = r.m_aFuzzy[0];
  add(cfg.m_aInputs[0], &other, 1);
  add(cfg.m_aInputs[0], &mine, 2);
  add(cfg.m_aInputs[1], &mine, 3);  // not visited: list 0 yielded
  add(cfg.m_aInputs[2], &mine, 4);  // not visited either
  add(cfg.m_aInputs[3], &group, 5);
  add(cfg.m_aInputs[6], &lonelyGroup, 6);

  r.BuildMeterInputs(0);
  EXPECT_EQ(0, r.m_abMeterInputs[0][0][0]);  // no name: nothing
  std::strcpy(cfg.m_szName, "cfg");
  r.BuildMeterInputs(0);
  const uint8_t expected[3][4] = {{5, 1, 1, 2}, {5, 2, 0, 5}, {0, 0, 0, 0}};
  EXPECT_EQ(0, std::memcmp(expected, r.m_abMeterInputs[0], sizeof expected));

  // With list 0 giving nothing, list 2 comes next, and list 1 only when list 2 also gives nothing.
  cfg.m_aInputs[0].RemoveAll();
  r.BuildMeterInputs(0);
  EXPECT_EQ(1, r.m_abMeterInputs[0][0][1]);
  EXPECT_EQ(4, r.m_abMeterInputs[0][0][3]);
  cfg.m_aInputs[2].RemoveAll();
  r.BuildMeterInputs(0);
  EXPECT_EQ(3, r.m_abMeterInputs[0][0][3]);

  // At most 20 entries per meter; a collector without a name never matches.
  for (int i = 0; i < 30; ++i) add(cfg.m_aInputs[5], &mine, 7);
  r.BuildMeterInputs(0);
  EXPECT_EQ(7, r.m_abMeterInputs[0][19][3]);
  CFieldRMDCDB unnamed;
  std::strcpy(unnamed.m_aFuzzy[0].m_szName, "cfg");
  add(unnamed.m_aFuzzy[0].m_aInputs[0], &mine, 1);
  unnamed.BuildMeterInputs(0);
  EXPECT_EQ(0, unnamed.m_abMeterInputs[0][0][1]);
}

TEST(FieldRecords, GateStatesAndGroups) {
  CFieldRGCDB g;
  const uint8_t all[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  g.SetGateStates(all);
  const uint8_t expected[6] = {0x03, 0x03, 0x2F, 0x70, 0x03, 0x0C};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(expected[k], g.GetGateState(k));
  EXPECT_EQ(0, g.GetGateState(6));
  EXPECT_EQ(0, g.GetGateState(-1));

  CFieldRGCDB a, b, c;
  std::vector<SFieldGroupEntry> list1 = {{{1, 1}, &b}, {{1, 2}, &a}, {{2, 0}, &b}};
  std::vector<SFieldGroupEntry> list2 = {{{3, 0}, &c}};
  {
    CFieldDeviceGroup group;
    group.m_arrLists = {&list1, &list2};
    group.RebuildGroup();
    ASSERT_EQ(3u, group.m_arrRecords.size());
    EXPECT_TRUE(std::is_sorted(group.m_arrRecords.begin(), group.m_arrRecords.end(), std::less<>()));
    EXPECT_EQ(&group, a.m_pGroup);
    group.RemoveFromGroup(&b);
    EXPECT_EQ(nullptr, b.m_pGroup);
    EXPECT_EQ(2u, group.m_arrRecords.size());
    ASSERT_EQ(2u, list1.size());
    EXPECT_EQ(&a, list1[0].m_pRecord);
    EXPECT_EQ(&b, list1[1].m_pRecord);

    std::vector<SFieldGroupEntry*> sorted = {&list1[0], &list1[1], &list2[0]};
    EXPECT_EQ(1, CFieldDeviceGroup::FindEntryByKey(sorted.data(), 3, 2, 0));
    EXPECT_EQ(-1, CFieldDeviceGroup::FindEntryByKey(sorted.data(), 3, 2, 1));
    EXPECT_EQ(-1, CFieldDeviceGroup::FindEntryByKey(sorted.data(), 0, 2, 0));
    CFieldDeviceGroup other;
    CFieldRGCDB d;
    d.m_pGroup = &other;
    group.RemoveFromGroup(&d);  // not this group's record: its own group stays
    EXPECT_EQ(&other, d.m_pGroup);
    group.RemoveFromGroup(nullptr);
    EXPECT_EQ(2u, group.m_arrRecords.size());
    d.m_pGroup = nullptr;
  }
  EXPECT_EQ(nullptr, a.m_pGroup);  // the group is gone
}

TEST(FieldRecords, NameTables) {
  char buf[24];
  EXPECT_STREQ("COMM_MARG", FieldCommStateCodes[FIELD_COMM_MARGINAL]);
  EXPECT_STREQ("Failed", FieldCommStateNames[FIELD_COMM_FAILED]);
  EXPECT_STREQ("NBDetour", FieldClosureStateText(5, FieldClosureForm::Abbrev, buf, sizeof buf));
  EXPECT_STREQ("UNKNOWN [11]", FieldClosureStateText(11, FieldClosureForm::Name, buf, sizeof buf));
  EXPECT_STREQ("UNK [12]", FieldClosureStateText(12, FieldClosureForm::Abbrev, buf, sizeof buf));
  EXPECT_STREQ("UNK13", FieldClosureStateText(13, FieldClosureForm::Short, buf, sizeof buf));
}

TEST(FieldCommandTable, Invariants) {
  const SFieldCommand* t = FieldCommandTable;
  const FieldResponseHandler acks[5] = {OnRMDCAckResponse, OnHARSAckResponse, OnCSAckResponse, OnRGCAckResponse,
                                        OnSGCAckResponse};
  for (int e = 0; e < 5; ++e) {
    EXPECT_EQ(0x20, t[e].m_nCode);
    EXPECT_EQ(acks[e], t[e].m_pfnHandler);
    EXPECT_EQ(8, t[e].m_nRequestLength);
    EXPECT_EQ(8, t[e].m_nReplyLength);
    EXPECT_EQ(0u, t[e].m_nGroup);
  }
  for (int e = 5; e <= 35; ++e) EXPECT_EQ(1u, t[e].m_nGroup) << e;
  for (int e = 36; e <= 68; ++e) EXPECT_EQ(2u, t[e].m_nGroup) << e;
  auto same = [&](int a, int b) {
    EXPECT_EQ(t[a].m_nCode, t[b].m_nCode) << a;
    EXPECT_EQ(t[a].m_pfnHandler, t[b].m_pfnHandler) << a;
    EXPECT_EQ(t[a].m_nRequestLength, t[b].m_nRequestLength) << a;
    EXPECT_EQ(t[a].m_nReplyLength, t[b].m_nReplyLength) << a;
  };
  for (int e = 5; e <= 6; ++e) same(e, e + 31);
  for (int e = 7; e <= 9; ++e) same(e, e + 32);
  for (int e = 10; e <= 35; ++e) same(e, e + 33);
  EXPECT_EQ(0x23, t[38].m_nCode);
  EXPECT_EQ(OnRGC170AckResponse, t[38].m_pfnHandler);
  EXPECT_EQ(0x24, t[42].m_nCode);
  EXPECT_EQ(OnSGCAckResponse, t[42].m_pfnHandler);
  EXPECT_EQ(94, t[29].m_nRequestLength);
  EXPECT_EQ(103, t[33].m_nRequestLength);
  EXPECT_EQ(94, t[62].m_nRequestLength);
  EXPECT_EQ(103, t[66].m_nRequestLength);
  EXPECT_STREQ("Start Sequence Complete", FieldProtocolTexts[0]);
  EXPECT_STREQ("_NActiveLoops overflow!", FieldProtocolTexts[14]);
}
