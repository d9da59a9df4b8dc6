// What the date, year and month dialogs share: the line texts of their lists, the year list of the
// archive, and the disc question asked on the user-interface thread.
#pragma once

#include <vector>

#include "app/select/archive_scan.h"
#include "containers/list_array.h"

class CWnd;

// "January" .. "December" (index 0 .. 11) and "Sunday" .. "Saturday" (index 0 .. 6).
extern const char* const kSelectMonthNames[12];
extern const char* const kSelectDayNames[7];

// The highlighted lines of an extended-selection list, ascending.
std::vector<int> HighlightedLines(const CListBox& list);

// Removes the highlighted lines of a list (and their elements), from the last to the first.
template <class List>
void RemoveHighlightedLines(List& list) {
  const std::vector<int> lines = HighlightedLines(list);
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) list.RemoveAt(*it, 1);
}

// The keys the selection lists take: Enter in the list to add from, Delete in the list to remove
// from.
enum class EListKey { None, Add, Remove };
EListKey ListKeyOf(const MSG* msg, HWND addFrom, HWND removeFrom);

// "%m/%d/%Y (%a)" of a date.
void GetDateLineText(CStrA& text, CDateTimeEx* date);
// The year text as it stands.
void GetYearLineText(CStrA& text, CStrA* year);

// Fills the year list from the archive root's year folders.
void FillYearList(CObjList<CStrA>& years);

// The decimal number at the start of a year line (0 when there is none).
int YearOfLine(const CStrA& line);

// The disc question as a message box over `owner` with the caption, Yes and No and the information
// icon; no question (an empty prompt) unless the archive is read from a disc.
DiscPrompt DiscPromptFor(CWnd* owner, const char* caption);

// The message shown when the archive root has no year folder: "No data directories found in %s".
CStrA NoYearsText();
