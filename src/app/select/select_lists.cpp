#include "app/select/select_lists.h"

#include <algorithm>

#include "archive/archive_globals.h"
#include "platform/base/msgbox.h"
#include "platform/ui/wnd.h"

const char* const kSelectMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                     "July",    "August",   "September", "October", "November", "December"};
const char* const kSelectDayNames[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

std::vector<int> HighlightedLines(const CListBox& list) {
  std::vector<int> lines(static_cast<size_t>(std::max(list.GetSelCount(), 0)));
  if (!lines.empty())
    lines.resize(static_cast<size_t>(std::max(list.GetSelItems(static_cast<int>(lines.size()), lines.data()), 0)));
  return lines;
}

EListKey ListKeyOf(const MSG* msg, HWND addFrom, HWND removeFrom) {
  if (msg->message != WM_KEYDOWN) return EListKey::None;
  if (msg->wParam == VK_RETURN && msg->hwnd == addFrom) return EListKey::Add;
  if (msg->wParam == VK_DELETE && msg->hwnd == removeFrom) return EListKey::Remove;
  return EListKey::None;
}

void GetDateLineText(CStrA& text, CDateTimeEx* date) { text = date->Format("%m/%d/%Y (%a)").c_str(); }

void GetYearLineText(CStrA& text, CStrA* year) { text = year->m_pData != nullptr ? year->m_pData : ""; }

void FillYearList(CObjList<CStrA>& years) {
  CObjArray<CStrA> found;
  ScanYearFolders(g_DataRootPath.Get(), found);
  years.ListResetContent();
  for (int i = 0; i < found.m_nSize; ++i) years.Add(*found.m_pData[i]);
}

int YearOfLine(const CStrA& line) {
  int year = 0;
  for (const char* p = line.m_pData; p != nullptr && *p >= '0' && *p <= '9' && year < 100000; ++p)
    year = year * 10 + (*p - '0');
  return year;
}

DiscPrompt DiscPromptFor(CWnd* owner, const char* caption) {
  if (g_hPromptWnd.load() == 0) return nullptr;
  return [owner, caption](const char* text) {
    return ::MessageBox(owner != nullptr ? owner->GetSafeHwnd() : nullptr, text, caption, MB_YESNO | MB_ICONINFORMATION);
  };
}

CStrA NoYearsText() {
  CStrA text;
  text.Format("No data directories found in %s", g_DataRootPath.Get().c_str());
  return text;
}
