// CDirectoryBrowse: lets the user pick a folder, starting at the folder already set. The
// parameter pages use it for the archive and output folders.
#pragma once

#include "containers/str.h"
#include "platform/ui/wnd.h"

class CDirectoryBrowse {
 public:
  explicit CDirectoryBrowse(HWND owner = nullptr);
  virtual ~CDirectoryBrowse() = default;

  // Shows the folder chooser owned by the owner window, titled with the title and opened at the
  // path (its default place when the path is empty). IDOK with the chosen folder in the path, or
  // IDCANCEL with the path unchanged.
  virtual int Browse();

  CStrA m_strTitle;
  CStrA m_strPath;
  HWND m_hOwner;
};
