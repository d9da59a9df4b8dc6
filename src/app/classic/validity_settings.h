// The validity criteria that the Classic view owns: the period-validity records of the five
// summary kinds (`g_PeriodValidity`, profile sections DAILY ... PM_PEAK_HOUR) and the multi-day
// limits (section MULTI), with their ranges and their profile input and output.
#pragma once

#include <cstdint>

#include "trafficdata/summary.h"

class IProfileStore;

// Values of one period-validity record, in profile-key order.
enum EValidityValue : int {
  VV_RUNNING = 0, VV_TOTAL, VV_USE_SUSPECT,  // 32-bit flags
  VV_RUNNING_MIN_G, VV_RUNNING_MAX_S, VV_RUNNING_MAX_B, VV_RUNNING_MAX_D, VV_RUNNING_STEP,
  VV_RUNNING_WIDTH, VV_TOTAL_MIN_G, VV_TOTAL_MAX_S, VV_TOTAL_MAX_B, VV_TOTAL_MAX_D,  // signed 16-bit
  VV_COUNT
};

struct SPeriodValidity {
  int32_t v[VV_COUNT] = {};
};

// The five records, indexed by summary kind; the built-in values until the Classic view reads
// the profile. Only the Classic view changes them.
extern SPeriodValidity g_PeriodValidity[SK_COUNT];

const char* ValidityKey(int value);        // "RUNNING" ... "TOTAL_MAX_D"
const char* ValiditySection(int kind);     // "DAILY" ... "PM_PEAK_HOUR"
const char* SummaryKindTitle(int kind);    // "Daily" ... "PM Peak Hour"
int SummaryWindowLength(int kind);         // 288, 36, 48, 12, 12
SPeriodValidity BuiltInPeriodValidity(int kind);

// Lowest and highest value a page accepts for one value of a kind.
void ValidityRange(int kind, int value, int& low, int& high);

// The criteria that the summaries of one run read.
ValidityTables ToValidityTables(const SPeriodValidity (&records)[SK_COUNT]);

// Multi-day limits, in profile-key order of section MULTI.
enum EMultiValue : int {
  MV_ASWT_INVALID = 0, MV_AWDT_INVALID, MV_AADT_INVALID, MV_MONTHLY_INVALID, MV_MONTHLY_MISSING,
  MV_YEARLY_INVALID, MV_COUNT
};
struct SMultiValidity {
  int32_t v[MV_COUNT] = {0, 0, 0, 1, 1, 1};
};
const char* MultiKey(int value);
int MultiMaximum(int value);  // 3, 5, 7, 5, 5, 12 (the lowest is 0)

// Reads one kind's section, each key defaulting to the record's current value; the 16-bit
// values keep their low 16 bits, as the stored value is read into a 16-bit field.
SPeriodValidity ReadPeriodValidity(IProfileStore& profile, int kind, const SPeriodValidity& defaults);
SMultiValidity ReadMultiValidity(IProfileStore& profile);
// Writes every key; false when any write failed (every write is still attempted).
bool WritePeriodValidity(IProfileStore& profile, int kind, const SPeriodValidity& rec);
bool WriteMultiValidity(IProfileStore& profile, const SMultiValidity& multi);
