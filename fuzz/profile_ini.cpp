// Profile files are edited by hand: any bytes must load without harm, a written value must read
// back, and saving what was loaded must be stable (a second save gives the same bytes). A file
// with bytes that no settings text holds, or text without a section line, is left as it is.
#include "platform/app/profile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const std::string& Folder() {
  static const std::string folder = [] {
    char tmpl[] = "/tmp/qav-fuzz-profile-XXXXXX";
    const char* made = ::mkdtemp(tmpl);
    return std::string(made != nullptr ? made : "/tmp");
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = Folder() + "/p.ini";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  CProfile loaded(path);
  (void)loaded.GetProfileInt("GENERAL", "USE_CLASSIC", 0);
  (void)loaded.GetProfileString("OUTPUT", "TEXTVIEWER", "x");
  if (!loaded.WriteProfileString("FUZZ", "KEY", "value \xE9")) std::abort();
  const std::string first = Slurp(path);
  // A file that holds bytes no settings text holds, or no section line, is not read and never
  // written over.
  if (loaded.IsFileLeftAlone()) {
    const CProfile::FileState state = loaded.GetFileState();
    if ((state != CProfile::FileState::NotText && state != CProfile::FileState::NotSettings) ||
        loaded.GetProfileString("GENERAL", "USE_CLASSIC") != "")
      std::abort();
    if (first != std::string(reinterpret_cast<const char*>(data), size)) std::abort();
    ::unlink(path.c_str());
    return 0;
  }
  CProfile again(path);
  if (again.GetProfileString("FUZZ", "KEY") != "value \xE9") std::abort();
  if (!again.WriteProfileString("FUZZ", "KEY", "value \xE9")) std::abort();
  if (Slurp(path) != first) std::abort();
  ::unlink(path.c_str());
  return 0;
}
