// CModuleVersion: the version block of a module (the fixed part, the translation and the string
// values), read so that the about box can show the program's version texts.
#pragma once

#include "containers/str.h"
#include "platform/app/version.h"
#include "platform/base/types.h"
#include "platform/kernel/process.h"

class CModuleVersion : public VS_FIXEDFILEINFO {
 public:
  struct STranslation {
    WORD m_nLanguage = 0;
    WORD m_nCodePage = 0;
  };

  BYTE* m_pVersionInfo = nullptr;  // the block, null until read
  STranslation m_Translation;

  CModuleVersion() = default;
  CModuleVersion(const CModuleVersion&) = delete;
  CModuleVersion& operator=(const CModuleVersion&) = delete;
  virtual ~CModuleVersion();

  // Reads the block of the module (null: the program). True when its fixed part carries the
  // version signature. A module without a version block leaves the block as it was.
  bool ReadVersionInfo(HMODULE module = nullptr);
  // The string value of a key ("FileDescription", "CompanyName", ...), or null.
  const char* GetValue(const char* key) const;
  // "File Version a.b.c.d" / "Product Version a.b.c.d"; the string is left alone without a block.
  void GetFileVersionText(CStrA& text) const;
  void GetProductVersionText(CStrA& text) const;
};
