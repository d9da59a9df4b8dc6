// The program's profile: named sections of named values, kept in an INI file
// `$XDG_CONFIG_HOME/KARVO/<program name>.ini` (`~/.config` when the variable is unset), the place
// of the Windows registry key KARVO\<program>. Section and key names compare without regard to
// case. Values are Windows-1252 text; integers are stored as signed decimal text.
//
// Every write saves the whole file at once: a temporary file beside it is written, then renamed
// over the old one, so a failed save leaves the previous file as it was. Flush (and the
// destructor) saves once more and waits until the file is on the disc.
#pragma once

#include "platform/base/types.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

class CProfile {
public:
  CProfile();  // the program's own profile file, read at once
  explicit CProfile(std::string path);  // a given file, read at once
  ~CProfile();  // Flush
  CProfile(const CProfile&) = delete;
  CProfile& operator=(const CProfile&) = delete;

  // The default file for a program name: $XDG_CONFIG_HOME/KARVO/<name>.ini.
  static std::string DefaultPath(const std::string& programName);

  // Reads the file again. A missing file is an empty profile; false when it exists but cannot
  // be read.
  bool Reload();

  // The value, or `defaultValue` when the section or key is missing or the text is not a number.
  // Values beyond 32 bits keep their low 32 bits, as a registry value does.
  UINT GetProfileInt(const char* section, const char* key, int defaultValue) const;
  std::string GetProfileString(const char* section, const char* key, const char* defaultValue = nullptr) const;

  // Store and save. FALSE when the save failed (the value stays in memory) or the arguments are
  // unusable (a missing name, a line break in a name or value). A null value removes the key; a
  // null key removes the whole section.
  BOOL WriteProfileInt(const char* section, const char* key, int value);
  BOOL WriteProfileString(const char* section, const char* key, const char* value);

  // Saves the profile durably when something was written since the last Flush. FALSE when that
  // save failed or an earlier one did.
  BOOL Flush();

  // True when some save since construction failed.
  bool HasWriteFailed() const;
  DWORD GetLastSaveError() const;
  const std::string& GetPath() const { return m_path; }

private:
  struct Entry {
    std::string name;
    std::string value;
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;
  };
  Section* FindSection(const char* name);
  const Section* FindSection(const char* name) const;
  DWORD Save(bool durable);

  std::string m_path;
  std::vector<Section> m_sections;
  mutable std::recursive_mutex m_lock;
  bool m_writeFailed = false;
  bool m_unsynced = false;
  DWORD m_lastSaveError = 0;
};
