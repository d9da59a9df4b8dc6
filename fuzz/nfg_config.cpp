// Configuration files of the New view come from users: any bytes must read without harm, a
// refusal must say why, a successful read must hold only indices inside their blocks, and what
// was read must write and read back unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/newview/nfg_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  SNewConfig cfg;
  std::string error;
  if (!ReadNewConfig(text, cfg, &error)) {
    if (error.empty()) std::abort();  // a refusal always says why
    return 0;
  }
  for (const auto& c : cfg.cabinets)
    if (c.roadway < 0 || static_cast<size_t>(c.roadway) >= cfg.roadways.size()) std::abort();
  for (const auto& e : cfg.elements)
    if (e.cabinet < 0 || static_cast<size_t>(e.cabinet) >= cfg.cabinets.size()) std::abort();
  for (size_t i = 1; i < cfg.dates.size(); ++i)
    if (!(cfg.dates[i - 1] < cfg.dates[i])) std::abort();
  for (const auto& list : cfg.lists)
    for (const auto& k : list)
      if (k.key < 0 || k.key > 13) std::abort();
  std::string written = WriteNewConfig(cfg);
  SNewConfig again;
  if (!ReadNewConfig(written, again, &error)) std::abort();
  if (WriteNewConfig(again) != written) std::abort();
  return 0;
}
