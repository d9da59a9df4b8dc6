// What the date, year and month dialogs share: the line texts of their lists, the year list of the
// archive, and the disc question asked on the user-interface thread.
#pragma once

#include "app/select/archive_scan.h"
#include "containers/list_array.h"

class CWnd;

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
