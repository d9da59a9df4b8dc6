// Small text helpers of the Classic view's files: splitting a file's bytes into lines (LF or
// CR LF), the C library's number conversions without its locale, and an error number's text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/base/types.h"

// Walks the lines of a text. A final line without a line end counts; a text ending in a line end
// has no empty line after it. A CR before the LF is dropped.
class CLineSplitter {
 public:
  explicit CLineSplitter(std::string_view text) : text_(text) {}
  bool Next(std::string_view& line);
  bool AtEnd() const { return pos_ >= text_.size(); }
  size_t Position() const { return pos_; }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

// Leading blanks, an optional sign and the digits that follow, as atoi reads them; a value
// beyond 32 bits saturates. No digits give 0.
int ParseLeadingInt(std::string_view s);
// Leading blanks and the longest decimal number that follows, as atof reads it, in the C
// locale; no number gives 0.
double ParseLeadingDouble(std::string_view s);

// The system's text for an error number without its CR LF, or "Error <n>" when it has none.
std::string SystemErrorLine(DWORD error);
