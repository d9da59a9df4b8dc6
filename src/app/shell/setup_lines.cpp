#include "app/shell/setup_lines.h"

#include <charconv>
#include <climits>
#include <cmath>

#include "app/shell/text_lines.h"
#include "platform/app/ole_date_time.h"
#include "platform/kernel/files.h"
#include "platform/kernel/paths.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The line without its trailing blanks.
std::string_view TrimEnd(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

std::string Describe(const char* what) { return std::string(" (") + what + ")"; }

}  // namespace

bool IsPrintableByte(unsigned char c) {
  if (c < 0x20 || c == 0x7F) return false;
  // Bytes that Windows-1252 leaves unassigned.
  return c != 0x81 && c != 0x8D && c != 0x8F && c != 0x90 && c != 0x9D;
}

bool IsPrintableText(std::string_view s) {
  for (char c : s)
    if (!IsPrintableByte(static_cast<unsigned char>(c))) return false;
  return true;
}

bool IsBlankText(std::string_view s) {
  for (char c : s)
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
  return true;
}

bool CSetupLines::Next(std::string_view& line, const char* what) {
  if (AtEnd()) return Fail("the file ends at line " + std::to_string(line_) + ", before the " + what, false);
  size_t end = text_.find('\n', pos_);
  const size_t next = end == std::string_view::npos ? text_.size() : end + 1;
  if (end == std::string_view::npos) end = text_.size();
  line = text_.substr(pos_, end - pos_);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  pos_ = next;
  ++line_;
  return true;
}

bool CSetupLines::Int(int& v, int lo, int hi, const char* what) {
  std::string_view s;
  if (!Next(s, what)) return false;
  s = TrimEnd(s);
  size_t i = 0;
  const bool neg = !s.empty() && s[0] == '-';
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) ++i;
  if (i == s.size()) return Fail("is not a number" + Describe(what));
  long long value = 0;
  for (; i < s.size(); ++i) {
    if (!IsDigit(s[i])) return Fail("is not a number" + Describe(what));
    if (value < 10000000000LL) value = value * 10 + (s[i] - '0');
  }
  if (neg) value = -value;
  if (value < lo || value > hi)
    return Fail("is " + std::string(s) + Describe(what) + ", not a value from " + std::to_string(lo) + " to " +
                std::to_string(hi));
  v = static_cast<int>(value);
  return true;
}

bool ReadMilepost(CSetupLines& lines, int& milepost, bool makesCabinetId, const char* what) {
  return makesCabinetId ? lines.Int(milepost, 0, 99999, what) : lines.Int(milepost, INT_MIN, INT_MAX, what);
}

bool CSetupLines::Index(int& v, int count, const char* what) {
  if (count > 0) return Int(v, 0, count - 1, what);
  if (!Int(v, INT_MIN, INT_MAX, what)) return false;
  return Fail("is " + std::to_string(v) + Describe(what) + ", but the list it points into is empty");
}

bool CSetupLines::Text(std::string& out, size_t limit, const char* what) {
  std::string_view s;
  if (!Next(s, what)) return false;
  if (!IsPrintableText(s)) return Fail("holds a character that is not text" + Describe(what));
  if (s.size() > limit) return Fail("is longer than " + std::to_string(limit) + " characters" + Describe(what));
  out.assign(s);
  return true;
}

bool CSetupLines::Date(double& v, const char* what) {
  std::string_view s;
  if (!Next(s, what)) return false;
  s = TrimEnd(s);
  size_t i = 0;
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) ++i;
  size_t digits = 0, dots = 0;
  for (; i < s.size(); ++i) {
    if (IsDigit(s[i])) ++digits;
    else if (s[i] == '.' && dots == 0) ++dots;
    else return Fail("is not a date" + Describe(what));
  }
  if (digits == 0) return Fail("is not a date" + Describe(what));
  // The file holds six decimals; rounding to them makes a date read the same after it is written.
  // Both conversions ignore the process's locale.
  const bool neg = s[0] == '-';
  const size_t start = (s[0] == '-' || s[0] == '+') ? 1 : 0;
  double d = 0;
  const auto parsed = std::from_chars(s.data() + start, s.data() + s.size(), d, std::chars_format::fixed);
  if (parsed.ec != std::errc() || parsed.ptr != s.data() + s.size())
    return Fail("is not a date" + Describe(what));
  char buf[96];
  const auto r = std::to_chars(buf, buf + sizeof buf, neg ? -d : d, std::chars_format::fixed, 6);
  if (r.ec != std::errc() || std::from_chars(buf, r.ptr, d, std::chars_format::fixed).ec != std::errc())
    return Fail("is not a date" + Describe(what));
  if (!std::isfinite(d) || COleDateTime(d).GetStatus() != COleDateTime::valid)
    return Fail("is not a calendar day" + Describe(what));
  v = d;
  return true;
}

bool CSetupLines::End() {
  if (IsBlankText(text_.substr(pos_))) return true;
  std::string_view s;
  Next(s, "end");
  return Fail("follows the end of the set-up");
}

bool CSetupLines::Fail(const std::string& why, bool atLine) {
  if (error_.empty()) error_ = atLine ? "line " + std::to_string(line_) + " " + why : why;
  return false;
}

bool SaveSetupFile(const std::string& path, std::string_view text, std::string& error) {
  bool oldKept = true;
  const DWORD e = ReplaceFileContents(ToNativePath(path), text, true, EReplaceFallback::WriteInPlace, &oldKept);
  if (e == 0) return true;
  error = SystemErrorLine(e) +
          (oldKept ? "\nThe file is unchanged." : "\nIts old contents could not be put back: the file is damaged.");
  return false;
}
