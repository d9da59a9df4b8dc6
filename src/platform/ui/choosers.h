// Message boxes, file choosers and the folder chooser. With the Qt backend they are real
// windows; headless (and in tests) a handler answers them, and every message box is logged.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/ui/dialog.h"

namespace qav::ui {

struct MessageBoxRequest {
  HWND owner = nullptr;
  std::string text;
  std::string caption;
  UINT type = 0;
};
// Answers message boxes instead of showing them (null: shown with Qt, or headless the default
// button's answer).
void SetMessageBoxHandler(std::function<int(const MessageBoxRequest&)> handler);
const std::vector<MessageBoxRequest>& MessageBoxLog();
void ClearMessageBoxLog();
// The buttons of a style, left to right, with their answers; MB_HELP adds Help (IDHELP).
struct BoxButton {
  int id;
  const char* text;
};
std::vector<BoxButton> MessageBoxButtons(UINT type);
// The answer of the default button (MB_DEFBUTTONn, clamped to the buttons shown).
int DefaultMessageBoxAnswer(UINT type);

struct FileChooserRequest {
  bool open = true;
  std::string title;
  std::string initialPath;
  std::string defaultExt;
  // (description, patterns) pairs parsed from the filter text "desc|*.a;*.b|desc|*.*||".
  std::vector<std::pair<std::string, std::vector<std::string>>> filters;
  DWORD flags = 0;
  HWND owner = nullptr;  // the top-level window the chooser is shown over
};
// Answers file and folder choosers: true with the chosen path, false for Cancel.
void SetFileChooserHandler(std::function<bool(const FileChooserRequest&, std::string& path)> handler);
// Splits a filter text into (description, patterns); blanks are trimmed, empty patterns dropped.
std::vector<std::pair<std::string, std::vector<std::string>>> ParseFilter(const char* filter);
// One filter as a chooser shows it, "Text Files (*.txt)": the description and the patterns once,
// "*.*" as "*" (a name need have no dot). A description that ends in its own list of the same
// patterns ("Configuration Files (*.cfg)") loses that list for the one added.
std::string ChooserFilter(const std::string& description, const std::vector<std::string>& patterns);
// Lets the user pick a folder; true with the folder's path.
bool BrowseForFolder(HWND owner, const char* title, const std::string& start, std::string& path);

}  // namespace qav::ui

constexpr DWORD OFN_READONLY = 0x1;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x2;
constexpr DWORD OFN_HIDEREADONLY = 0x4;
constexpr DWORD OFN_NOCHANGEDIR = 0x8;
constexpr DWORD OFN_PATHMUSTEXIST = 0x800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x1000;
constexpr DWORD OFN_EXPLORER = 0x80000;
constexpr DWORD OFN_LONGNAMES = 0x200000;

struct OPENFILENAME {
  DWORD Flags = 0;
  LPCSTR lpstrTitle = nullptr;
  LPCSTR lpstrInitialDir = nullptr;
};

// The file chooser: open or save, default extension, initial name, flags and filter text.
class CFileDialog {
 public:
  CFileDialog(BOOL open, LPCSTR defExt = nullptr, LPCSTR fileName = nullptr, DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
              LPCSTR filter = nullptr, CWnd* parent = nullptr);
  virtual ~CFileDialog() = default;
  virtual INT_PTR DoModal();
  std::string GetPathName() const { return m_path; }
  std::string GetFileName() const;
  std::string GetFileExt() const;
  std::string GetFileTitle() const;
  OPENFILENAME m_ofn;

 private:
  bool m_open;
  std::string m_defExt, m_fileName, m_filter, m_path;
  CWnd* m_parent;
};
