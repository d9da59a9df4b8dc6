#include "trafficdata/meter_status.h"

namespace trafficdata {

namespace {

const char* const kNames[kMeterStatusCount] = {
    "Meter Off",    "Local",       "Local, Q Ovrd",  "Local, AQ Ovrd",   "Reserved [4]",
    "Reserved [5]", "Prohibited",  "Startup",        "Shutdown Search",  "Shutdown Green",
    "TOD",          "TOD, Q Ovrd", "TOD, AQ Ovrd",   "Pre-emption",      "Reserved [E]",
    "Central",      "Local",       "Reserved [11]",  "Meter Off",        "TOD",
    "Meter On",     "Mixed",       "Mixed Meter-On", "Mixed Pre-emption"};

enum Family { kOff, kLocal, kReserved, kTimeOfDay, kOn, kPreemption, kMixed, kMixedOn, kMixedPreemption, kUnknown };

Family FamilyOf(int code) {
  switch (code) {
    case 0:
    case 6:
    case 18:
      return kOff;
    case 1:
    case 2:
    case 3:
    case 16:
      return kLocal;
    case 4:
    case 5:
    case 14:
    case 17:
      return kReserved;
    case 10:
    case 11:
    case 12:
    case 19:
      return kTimeOfDay;
    case 7:
    case 8:
    case 9:
    case 15:
    case 20:
      return kOn;
    case 13:
      return kPreemption;
    case 21:
      return kMixed;
    case 22:
      return kMixedOn;
    case 23:
      return kMixedPreemption;
    default:
      return kUnknown;
  }
}

int CombinedCodeOf(Family f) {
  switch (f) {
    case kOff:
      return 18;
    case kLocal:
      return 16;
    case kReserved:
      return 17;
    case kTimeOfDay:
      return 19;
    case kOn:
      return 20;
    default:
      return -1;
  }
}

bool IsOffOrReserved(Family f) { return f == kOff || f == kReserved || f == kMixed; }
bool IsMetering(Family f) { return f == kLocal || f == kTimeOfDay || f == kOn; }

}  // namespace

const char* MeterStatusName(int code) {
  if (code < 0 || code >= kMeterStatusCount) return nullptr;
  return kNames[code];
}

int CombineMeterStatus(int c, int v) {
  if (v == c) return c;
  if (c == kMeterStatusNone) return v;
  if (v == kMeterStatusNone) return c;
  Family fc = FamilyOf(c), fv = FamilyOf(v);
  if (fv == kUnknown) return c;  // not a status code: ignored
  if (fc == kUnknown) return v;
  if (fc == kPreemption || fc == kMixedPreemption || fv == kPreemption || fv == kMixedPreemption) return 23;
  // A mixture of a metering state with off or reserved stays mixed whichever side brings the 22.
  if (fc == kMixedOn || fv == kMixedOn) return 22;
  if (fc == fv) return CombinedCodeOf(fc);
  if (IsOffOrReserved(fc) && IsOffOrReserved(fv)) return 21;
  if ((IsOffOrReserved(fc) && IsMetering(fv)) || (IsMetering(fc) && IsOffOrReserved(fv))) return 22;
  return 20;  // two different metering families
}

}  // namespace trafficdata
