// The profile as the application's settings code sees it: read a value with its default, write a
// value and learn whether the write reached the file. The program uses the application's profile;
// tests use a file of their own or a store whose writes fail.
#pragma once

#include <string>

#include "platform/app/profile.h"
#include "platform/base/types.h"

class IProfileStore {
 public:
  virtual ~IProfileStore() = default;
  virtual UINT GetInt(const char* section, const char* key, int defaultValue) = 0;
  virtual std::string GetString(const char* section, const char* key, const char* defaultValue) = 0;
  virtual bool WriteInt(const char* section, const char* key, int value) = 0;
  virtual bool WriteString(const char* section, const char* key, const char* value) = 0;
  // The profile file behind the store, when there is one.
  virtual const CProfile* ProfileFile() const { return nullptr; }
};

// The running application's profile (AfxGetApp); reads give the default and writes fail without one.
class CAppProfileStore : public IProfileStore {
 public:
  UINT GetInt(const char* section, const char* key, int defaultValue) override;
  std::string GetString(const char* section, const char* key, const char* defaultValue) override;
  bool WriteInt(const char* section, const char* key, int value) override;
  bool WriteString(const char* section, const char* key, const char* value) override;
  const CProfile* ProfileFile() const override;
};

// A profile file of its own.
class CFileProfileStore : public IProfileStore {
 public:
  explicit CFileProfileStore(CProfile& profile) : m_profile(profile) {}
  UINT GetInt(const char* section, const char* key, int defaultValue) override;
  std::string GetString(const char* section, const char* key, const char* defaultValue) override;
  bool WriteInt(const char* section, const char* key, int value) override;
  bool WriteString(const char* section, const char* key, const char* value) override;
  const CProfile* ProfileFile() const override { return &m_profile; }

 private:
  CProfile& m_profile;
};

// The store the application's objects use unless a test installs another (null: the application's).
IProfileStore& ActiveProfile();
void SetActiveProfile(IProfileStore* store);
