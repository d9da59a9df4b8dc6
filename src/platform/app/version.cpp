#include "platform/app/version.h"

#include "platform/base/errors.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

namespace {

constexpr WORD kLanguage = 0x0409;  // US English
constexpr WORD kCodePage = 1252;
constexpr WORD kMajor = 1, kMinor = 0, kRelease = 0, kBuild = 1;

struct StringValue {
  const char* key;
  const char* value;
};

constexpr StringValue kStrings[] = {
    {"CompanyName", "KARVO"},
    {"FileDescription", "QAV - archived freeway detector data retrieval and reports"},
    {"FileVersion", "1.0.0.1"},
    {"InternalName", "QAV"},
    {"LegalCopyright", "Copyright (C) KARVO"},
    {"LegalTrademarks", ""},
    {"OriginalFilename", "qav"},
    {"ProductName", "QAV"},
    {"ProductVersion", "1.0.0.1"},
    {"Comments", "QAV for Linux"},
    {"PrivateBuild", ""},
    {"SpecialBuild", ""},
};

std::atomic<bool> g_fail{false};

// Layout of the block: the fixed part, the translation (language, code page), then each string
// as key NUL value NUL, ending in an empty key.
std::vector<unsigned char> BuildBlock() {
  VS_FIXEDFILEINFO fixed;
  fixed.dwSignature = VS_FFI_SIGNATURE;
  fixed.dwStrucVersion = VS_FFI_STRUCVERSION;
  fixed.dwFileVersionMS = MAKELONG(kMinor, kMajor);
  fixed.dwFileVersionLS = MAKELONG(kBuild, kRelease);
  fixed.dwProductVersionMS = fixed.dwFileVersionMS;
  fixed.dwProductVersionLS = fixed.dwFileVersionLS;
  fixed.dwFileFlagsMask = 0x3F;
  fixed.dwFileOS = 0x40004;  // 32-bit Windows on NT, as the block was first made for
  fixed.dwFileType = 1;      // an application
  std::vector<unsigned char> block(sizeof fixed + 4);
  std::memcpy(block.data(), &fixed, sizeof fixed);
  const WORD translation[2] = {kLanguage, kCodePage};
  std::memcpy(block.data() + sizeof fixed, translation, 4);
  for (const auto& s : kStrings) {
    block.insert(block.end(), s.key, s.key + std::strlen(s.key) + 1);
    block.insert(block.end(), s.value, s.value + std::strlen(s.value) + 1);
  }
  block.push_back(0);
  return block;
}

const std::vector<unsigned char>& Block() {
  static const auto* block = new std::vector<unsigned char>(BuildBlock());
  return *block;
}

}  // namespace

DWORD GetFileVersionInfoSizeA(const char* file, DWORD* handle) {
  if (handle != nullptr) *handle = 0;
  if (g_fail.load() || file == nullptr || *file == '\0') {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return 0;
  }
  return static_cast<DWORD>(Block().size());
}

BOOL GetFileVersionInfoA(const char* file, DWORD, DWORD length, void* data) {
  if (g_fail.load() || file == nullptr || *file == '\0' || data == nullptr) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return FALSE;
  }
  if (length < Block().size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(data, Block().data(), Block().size());
  return TRUE;
}

BOOL VerQueryValueA(const void* block, const char* subBlock, void** buffer, UINT* length) {
  if (block == nullptr || subBlock == nullptr || buffer == nullptr || length == nullptr) return FALSE;
  auto* base = static_cast<unsigned char*>(const_cast<void*>(block));
  VS_FIXEDFILEINFO fixed;
  std::memcpy(&fixed, base, sizeof fixed);
  if (fixed.dwSignature != VS_FFI_SIGNATURE) return FALSE;
  const std::string path = subBlock;
  if (path == "\\" || path.empty()) {
    *buffer = base;
    *length = sizeof(VS_FIXEDFILEINFO);
    return TRUE;
  }
  if (::strcasecmp(path.c_str(), "\\VarFileInfo\\Translation") == 0) {
    *buffer = base + sizeof(VS_FIXEDFILEINFO);
    *length = 4;
    return TRUE;
  }
  static const char kPrefix[] = "\\StringFileInfo\\";
  if (::strncasecmp(path.c_str(), kPrefix, sizeof kPrefix - 1) != 0) return FALSE;
  const std::string rest = path.substr(sizeof kPrefix - 1);
  const auto slash = rest.find('\\');
  if (slash != 8) return FALSE;
  WORD translation[2];
  std::memcpy(translation, base + sizeof(VS_FIXEDFILEINFO), 4);
  char expected[9];
  std::snprintf(expected, sizeof expected, "%04x%04x", translation[0], translation[1]);
  if (::strncasecmp(rest.c_str(), expected, 8) != 0) return FALSE;
  const std::string key = rest.substr(9);
  const unsigned char* p = base + sizeof(VS_FIXEDFILEINFO) + 4;
  while (*p != 0) {
    const char* k = reinterpret_cast<const char*>(p);
    const char* v = k + std::strlen(k) + 1;
    if (::strcasecmp(k, key.c_str()) == 0) {
      *buffer = const_cast<char*>(v);
      *length = static_cast<UINT>(std::strlen(v) + 1);
      return TRUE;
    }
    p = reinterpret_cast<const unsigned char*>(v + std::strlen(v) + 1);
  }
  return FALSE;
}

void SetVersionInfoFailureForTesting(bool fail) { g_fail.store(fail); }
