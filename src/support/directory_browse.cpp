#include "support/directory_browse.h"

#include <string>

#include "platform/base/msgbox.h"
#include "platform/ui/choosers.h"

CDirectoryBrowse::CDirectoryBrowse(HWND owner) : m_strTitle("Select Directory"), m_hOwner(owner) {}

int CDirectoryBrowse::Browse() {
  const std::string start = m_strPath.m_nSize > 1 ? std::string(m_strPath.m_pData) : std::string();
  const char* title = m_strTitle.m_nSize > 1 ? m_strTitle.m_pData : "";
  std::string chosen;
  if (!qav::ui::BrowseForFolder(m_hOwner, title, start, chosen) || chosen.empty()) return IDCANCEL;
  m_strPath = chosen.c_str();
  return IDOK;
}
