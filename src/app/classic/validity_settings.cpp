#include "app/classic/validity_settings.h"

#include "app/shell/profile_store.h"

namespace {

const char* const kKeys[VV_COUNT] = {"RUNNING",       "TOTAL",         "USE_SUSPECT",   "RUNNING_MIN_G", "RUNNING_MAX_S",
                                     "RUNNING_MAX_B", "RUNNING_MAX_D", "RUNNING_STEP",  "RUNNING_WIDTH", "TOTAL_MIN_G",
                                     "TOTAL_MAX_S",   "TOTAL_MAX_B",   "TOTAL_MAX_D"};
const char* const kSections[SK_COUNT] = {"DAILY", "AM_PEAK", "PM_PEAK", "AM_PEAK_HOUR", "PM_PEAK_HOUR"};
const char* const kTitles[SK_COUNT] = {"Daily", "AM Peak", "PM Peak", "AM Peak Hour", "PM Peak Hour"};
const int kWindow[SK_COUNT] = {288, 36, 48, 12, 12};
const char* const kMultiKeys[MV_COUNT] = {"ASWT_INVALID",    "AWDT_INVALID",    "AADT_INVALID",
                                          "MONTHLY_INVALID", "MONTHLY_MISSING", "YEARLY_INVALID"};
const int kMultiMax[MV_COUNT] = {3, 5, 7, 5, 5, 12};

bool ValidKind(int kind) { return kind >= 0 && kind < SK_COUNT; }

SPeriodValidity MakeBuiltIn(int kind) {
  const ValidityCriteria c = builtInCriteria()[static_cast<size_t>(kind)];
  SPeriodValidity r;
  const int32_t vals[VV_COUNT] = {c.running, c.total, c.useSuspect, c.runMinG, c.runMaxS, c.runMaxB, c.runMaxD,
                                  c.runStep, c.runWidth, c.totMinG,  c.totMaxS, c.totMaxB, c.totMaxD};
  for (int i = 0; i < VV_COUNT; ++i) r.v[i] = vals[i];
  return r;
}

}  // namespace

SPeriodValidity g_PeriodValidity[SK_COUNT] = {MakeBuiltIn(0), MakeBuiltIn(1), MakeBuiltIn(2), MakeBuiltIn(3),
                                              MakeBuiltIn(4)};

const char* ValidityKey(int value) { return value >= 0 && value < VV_COUNT ? kKeys[value] : ""; }
const char* ValiditySection(int kind) { return ValidKind(kind) ? kSections[kind] : ""; }
const char* SummaryKindTitle(int kind) { return ValidKind(kind) ? kTitles[kind] : ""; }
int SummaryWindowLength(int kind) { return ValidKind(kind) ? kWindow[kind] : 0; }
SPeriodValidity BuiltInPeriodValidity(int kind) { return ValidKind(kind) ? MakeBuiltIn(kind) : SPeriodValidity(); }

void ValidityRange(int kind, int value, int& low, int& high) {
  high = SummaryWindowLength(kind);
  low = (value == VV_RUNNING_STEP || value == VV_RUNNING_WIDTH) ? 1 : 0;
  if (value < VV_RUNNING_MIN_G) high = 1;  // the three flags
}

ValidityTables ToValidityTables(const SPeriodValidity (&records)[SK_COUNT]) {
  ValidityTables t{};
  for (int k = 0; k < SK_COUNT; ++k) {
    const int32_t* v = records[k].v;
    auto s16 = [&](int i) { return static_cast<int16_t>(v[i]); };
    t[static_cast<size_t>(k)] = {v[VV_USE_SUSPECT] != 0, v[VV_RUNNING] != 0, v[VV_TOTAL] != 0,
                                 s16(VV_RUNNING_MIN_G),  s16(VV_RUNNING_MAX_S), s16(VV_RUNNING_MAX_B),
                                 s16(VV_RUNNING_MAX_D),  s16(VV_RUNNING_STEP),  s16(VV_RUNNING_WIDTH),
                                 s16(VV_TOTAL_MIN_G),    s16(VV_TOTAL_MAX_S),   s16(VV_TOTAL_MAX_B),
                                 s16(VV_TOTAL_MAX_D)};
  }
  return t;
}

const char* MultiKey(int value) { return value >= 0 && value < MV_COUNT ? kMultiKeys[value] : ""; }
int MultiMaximum(int value) { return value >= 0 && value < MV_COUNT ? kMultiMax[value] : 0; }

SPeriodValidity ReadPeriodValidity(IProfileStore& profile, int kind, const SPeriodValidity& defaults) {
  SPeriodValidity r;
  for (int i = 0; i < VV_COUNT; ++i) {
    auto v = static_cast<int32_t>(profile.GetInt(kSections[kind], kKeys[i], defaults.v[i]));
    r.v[i] = i >= VV_RUNNING_MIN_G ? static_cast<int16_t>(v) : v;
  }
  return r;
}

SMultiValidity ReadMultiValidity(IProfileStore& profile) {
  SMultiValidity m;
  for (int i = 0; i < MV_COUNT; ++i)
    m.v[i] = static_cast<int32_t>(profile.GetInt("MULTI", kMultiKeys[i], m.v[i]));
  return m;
}

bool WritePeriodValidity(IProfileStore& profile, int kind, const SPeriodValidity& rec) {
  bool ok = true;
  for (int i = 0; i < VV_COUNT; ++i) ok = profile.WriteInt(kSections[kind], kKeys[i], rec.v[i]) && ok;
  return ok;
}

bool WriteMultiValidity(IProfileStore& profile, const SMultiValidity& multi) {
  bool ok = true;
  for (int i = 0; i < MV_COUNT; ++i) ok = profile.WriteInt("MULTI", kMultiKeys[i], multi.v[i]) && ok;
  return ok;
}
