// Strict reading of the views' set-up files (*.cfg of the Classic view, *.nfg of the New view):
// one value a line, every line checked for what it must be. A number line is an optional sign
// and digits (trailing blanks allowed); a text line is printable Windows-1252 text within the
// field's length; a date line is a decimal day number. A file that ends before its last value,
// or has more than blank lines after it, is no set-up file. The first fault stops the reading
// and is kept as a one-line reason naming the line ("line 7 is not a number (raw data format)").
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class CSetupLines {
 public:
  explicit CSetupLines(std::string_view text) : text_(text) {}

  // Number of the line read last (1 for the first line), 0 before any.
  int LineNo() const { return line_; }
  bool AtEnd() const { return pos_ >= text_.size(); }

  // The next line without its line end (LF or CR LF). Past the end: false, with the reason that
  // the file ends before `what`.
  bool Next(std::string_view& line, const char* what);
  // A number line within [lo, hi].
  bool Int(int& v, int lo, int hi, const char* what);
  // An index into a list of `count` entries read before it.
  bool Index(int& v, int count, const char* what);
  // A flag or choice: the same for 0 .. maxValue.
  bool Choice(int& v, int maxValue, const char* what) { return Int(v, 0, maxValue, what); }
  // A text line of printable characters, at most `limit` of them.
  bool Text(std::string& s, size_t limit, const char* what);
  // A day number ("%f" as the writers write it: sign, digits, a fraction), rounded to the six
  // decimals a file holds, and a valid calendar day.
  bool Date(double& v, const char* what);
  // Nothing but blank lines follows.
  bool End();

  // Records the first reason (prefixed by the current line number when `atLine`); returns false.
  bool Fail(const std::string& why, bool atLine = true);
  const std::string& Error() const { return error_; }

 private:
  std::string_view text_;
  size_t pos_ = 0;
  int line_ = 0;
  std::string error_;
};

// A cabinet's milepost in hundredths: any signed 32-bit number where the layout keeps it as a
// number; 0 to 99999 where the layout has no cabinet id and one is made of the milepost's five
// digits (the older layouts).
bool ReadMilepost(CSetupLines& lines, int& milepost, bool makesCabinetId, const char* what);

// True for a byte that Windows-1252 shows as a character (no control codes, no unassigned byte).
bool IsPrintableByte(unsigned char c);
// True when every byte of the text is printable.
bool IsPrintableText(std::string_view s);
// True when the text holds nothing but blanks and line ends.
bool IsBlankText(std::string_view s);

// Saves a set-up file's whole text under `path` (a program path): through a temporary file that
// replaces the old one only when complete, or, for another user's file that this user may write
// (a shared folder of set-ups), written in place keeping its owner and mode. On failure `error`
// holds the system's reason and whether the old file is still whole, as lines for a message box.
bool SaveSetupFile(const std::string& path, std::string_view text, std::string& error);
