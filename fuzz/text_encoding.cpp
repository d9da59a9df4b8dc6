// Text from the GUI toolkit and from file names arrives as UTF-8 of unknown quality: decoding
// must never read past the input, must give one character per decoded unit, and well-formed
// Windows-1252 text must survive the round trip.
#include "platform/base/text.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string narrow = Utf8ToCp1252(bytes);
  if (narrow.size() > bytes.size()) std::abort();
  if (!IsValidUtf8(Cp1252ToUtf8(bytes))) std::abort();
  if (Utf8ToCp1252(Cp1252ToUtf8(bytes)) != bytes) std::abort();
  if (Utf16ToCp1252(Cp1252ToUtf16(bytes)) != bytes) std::abort();
  if (IsValidUtf8(bytes) && Cp1252ToUtf8(narrow).size() > bytes.size() + narrow.size() * 2) std::abort();
  return 0;
}
