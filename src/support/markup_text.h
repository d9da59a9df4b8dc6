// What the mark-up message box (CMessageBoxEx) decides without a window: the runs of a marked-up
// message, the buttons of a style's button set with their answers, the default button and the
// icon.
//
// Mark-up: "<bold>" ... "</bold>", "<color red=R green=G blue=B>" ... "</color>" and
// "<size height=H>" ... "</size>" (H in points). The keys of a tag may stand in any order; a
// missing key leaves its part of the format as it was. A "<" that starts no known tag, or a tag
// without its closing ">", is shown as it stands.
#pragma once

#include <string>
#include <vector>

#include "platform/base/types.h"

// Index of the first occurrence of `pattern` in `text` at or after `start`; -1 when none (also for
// null texts, an empty pattern or a start outside the text).
int FindSubstring(const char* text, const char* pattern, int start);

struct SMarkupFormat {
  bool bold = false;
  COLORREF color = 0;
  int height = 0;  // points
  bool operator==(const SMarkupFormat&) const = default;
};

struct SMarkupRun {
  std::string text;
  SMarkupFormat format;
};

// Cuts the text into runs, each in the format in force where it stands. `start` is the box's
// starting format, to which the closing tags return. Runs are never empty.
std::vector<SMarkupRun> ParseMarkup(const char* text, const SMarkupFormat& start);

// Style bits of the mark-up message box, above the message-box styles.
constexpr UINT MB_EX_MODELESS = 0x01000000;
constexpr UINT MB_EX_MARKUP = 0x02000000;

// Answers of the box's own buttons.
constexpr int IDDONE = 101;
constexpr int IDWAIT = 102;
constexpr int IDVERIFIED = 103;
constexpr int IDNOTIFIED = 104;
constexpr int IDWAITING = 105;

struct SMsgBoxButton {
  const char* text;
  int answer;
};

// The buttons of the style's set (style & 15), left to right; MB_HELP adds "Help" (IDHELP).
std::vector<SMsgBoxButton> MessageBoxExButtons(UINT style);
// Index of the default button: MB_DEFBUTTON2..4 choose the second to fourth, clamped to the
// buttons shown.
int MessageBoxExDefaultButton(UINT style, int buttonCount);
// The system icon resource of the style's icon bits (IDI_HAND ... IDI_ASTERISK numbers), or 0:
// no icon is shown.
WORD MessageBoxExIcon(UINT style);
