#include "support/module_version.h"

#include <cstdio>
#include <cstring>

#include "containers/mem_mgr.h"
#include "platform/kernel/files.h"

CModuleVersion::~CModuleVersion() { g_MemMgr.Free(m_pVersionInfo); }

bool CModuleVersion::ReadVersionInfo(HMODULE module) {
  m_Translation.m_nCodePage = 1252;
  static_cast<VS_FIXEDFILEINFO&>(*this) = VS_FIXEDFILEINFO{};

  char fileName[MAX_PATH] = {0};
  if (GetModuleFileNameA(module, fileName, MAX_PATH) == 0) return false;
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(fileName, &handle);
  if (size == 0) return false;

  g_MemMgr.Free(m_pVersionInfo);
  m_pVersionInfo = static_cast<BYTE*>(g_MemMgr.Alloc(size));
  if (m_pVersionInfo == nullptr) return false;
  if (!GetFileVersionInfoA(fileName, handle, size, m_pVersionInfo)) {
    // Never leave an unread block looking loaded.
    g_MemMgr.Free(m_pVersionInfo);
    m_pVersionInfo = nullptr;
    return false;
  }
  void* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(m_pVersionInfo, "\\", &fixed, &length) || fixed == nullptr ||
      length < sizeof(VS_FIXEDFILEINFO)) {
    return false;
  }
  std::memcpy(static_cast<VS_FIXEDFILEINFO*>(this), fixed, sizeof(VS_FIXEDFILEINFO));

  void* translation = nullptr;
  if (VerQueryValueA(m_pVersionInfo, "\\VarFileInfo\\Translation", &translation, &length) && translation != nullptr &&
      length >= 4) {
    const BYTE* t = static_cast<const BYTE*>(translation);
    m_Translation.m_nLanguage = static_cast<WORD>(t[0] | (t[1] << 8));
    m_Translation.m_nCodePage = static_cast<WORD>(t[2] | (t[3] << 8));
  }
  return dwSignature == VS_FFI_SIGNATURE;
}

const char* CModuleVersion::GetValue(const char* key) const {
  if (m_pVersionInfo == nullptr || key == nullptr) return nullptr;
  char path[256];
  std::snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s", m_Translation.m_nLanguage,
                m_Translation.m_nCodePage, key);
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(m_pVersionInfo, path, &value, &length)) return nullptr;
  return static_cast<const char*>(value);
}

void CModuleVersion::GetFileVersionText(CStrA& text) const {
  if (m_pVersionInfo == nullptr) return;
  text.Format("File Version %d.%d.%d.%d", HIWORD(dwFileVersionMS), LOWORD(dwFileVersionMS), HIWORD(dwFileVersionLS),
              LOWORD(dwFileVersionLS));
}

void CModuleVersion::GetProductVersionText(CStrA& text) const {
  if (m_pVersionInfo == nullptr) return;
  text.Format("Product Version %d.%d.%d.%d", HIWORD(dwProductVersionMS), LOWORD(dwProductVersionMS),
              HIWORD(dwProductVersionLS), LOWORD(dwProductVersionLS));
}
