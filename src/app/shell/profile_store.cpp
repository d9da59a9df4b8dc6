#include "app/shell/profile_store.h"

#include "platform/ui/app.h"

UINT CAppProfileStore::GetInt(const char* section, const char* key, int defaultValue) {
  CWinApp* app = AfxGetApp();
  return app != nullptr ? app->GetProfileInt(section, key, defaultValue) : static_cast<UINT>(defaultValue);
}

std::string CAppProfileStore::GetString(const char* section, const char* key, const char* defaultValue) {
  CWinApp* app = AfxGetApp();
  if (app != nullptr) return app->GetProfileString(section, key, defaultValue);
  return defaultValue != nullptr ? defaultValue : "";
}

bool CAppProfileStore::WriteInt(const char* section, const char* key, int value) {
  CWinApp* app = AfxGetApp();
  return app != nullptr && app->WriteProfileInt(section, key, value) != FALSE;
}

bool CAppProfileStore::WriteString(const char* section, const char* key, const char* value) {
  CWinApp* app = AfxGetApp();
  return app != nullptr && app->WriteProfileString(section, key, value) != FALSE;
}

const CProfile* CAppProfileStore::ProfileFile() const {
  CWinApp* app = AfxGetApp();
  return app != nullptr ? &app->GetProfileFile() : nullptr;
}

UINT CFileProfileStore::GetInt(const char* section, const char* key, int defaultValue) {
  return m_profile.GetProfileInt(section, key, defaultValue);
}

std::string CFileProfileStore::GetString(const char* section, const char* key, const char* defaultValue) {
  return m_profile.GetProfileString(section, key, defaultValue);
}

bool CFileProfileStore::WriteInt(const char* section, const char* key, int value) {
  return m_profile.WriteProfileInt(section, key, value) != FALSE;
}

bool CFileProfileStore::WriteString(const char* section, const char* key, const char* value) {
  return m_profile.WriteProfileString(section, key, value) != FALSE;
}

namespace {
IProfileStore* g_activeProfile = nullptr;
}

IProfileStore& ActiveProfile() {
  static CAppProfileStore app;
  return g_activeProfile != nullptr ? *g_activeProfile : app;
}

void SetActiveProfile(IProfileStore* store) { g_activeProfile = store; }
