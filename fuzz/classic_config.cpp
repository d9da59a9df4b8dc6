// The Classic view's configuration reader takes any bytes from a file the user picks: whatever
// they are, parsing must end without touching memory it does not own, a refusal must say why, a
// set-up it accepts must have every index inside its list, and the NG.1 text written from it
// must read as the same set-up.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/classic/classic_config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  ClassicSetup setup;
  std::string error;
  if (!ParseClassicConfig(text, setup, error)) {
    if (error.empty()) std::abort();  // a refusal always says why
    return 0;
  }
  for (const ClassicSelection& s : setup.sel) {
    for (const ClassicCabinetRec& c : s.cabinets)
      if (c.roadway < 0 || static_cast<size_t>(c.roadway) >= s.roadways.size()) std::abort();
    for (const ClassicElementRec& e : s.elements)
      if (e.cabinet < 0 || static_cast<size_t>(e.cabinet) >= s.cabinets.size() || e.type < 0 || e.type > 3)
        std::abort();
    for (size_t i = 1; i < s.dates.size(); ++i)
      if (!(s.dates[i - 1] < s.dates[i])) std::abort();  // ascending, each once
  }
  for (int m : setup.months)
    if (m < 0 || m > 11) std::abort();
  for (int d : setup.monthlyDays)
    if (d < 0 || d > 6) std::abort();
  for (int d : setup.yearlyDays)
    if (d < 0 || d > 6) std::abort();
  // What was taken writes back to a file that reads as the same set-up.
  ClassicSetup again;
  if (!ParseClassicConfig(FormatClassicConfig(setup), again, error) || !(again == setup)) std::abort();
  return 0;
}
