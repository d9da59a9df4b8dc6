#include "support/markup_text.h"

#include <cstring>

#include "platform/base/msgbox.h"

int FindSubstring(const char* text, const char* pattern, int start) {
  if (text == nullptr || pattern == nullptr || *pattern == 0 || start < 0) return -1;
  const size_t len = std::strlen(text);
  if (static_cast<size_t>(start) > len) return -1;
  const char* hit = std::strstr(text + start, pattern);
  return hit != nullptr ? static_cast<int>(hit - text) : -1;
}

namespace {

bool StartsWith(const std::string& s, size_t at, const char* prefix) { return s.compare(at, std::strlen(prefix), prefix) == 0; }

// The decimal number after `key` inside tag, saturated at `max`; false when the key or its digits
// are missing.
bool KeyValue(const std::string& tag, const char* key, int max, int& value) {
  const size_t k = tag.find(key);
  if (k == std::string::npos) return false;
  size_t i = k + std::strlen(key);
  if (i >= tag.size() || tag[i] < '0' || tag[i] > '9') return false;
  long v = 0;
  for (; i < tag.size() && tag[i] >= '0' && tag[i] <= '9'; ++i) {
    v = v * 10 + (tag[i] - '0');
    if (v > max) v = max;
  }
  value = static_cast<int>(v);
  return true;
}

}  // namespace

std::vector<SMarkupRun> ParseMarkup(const char* text, const SMarkupFormat& start) {
  std::vector<SMarkupRun> runs;
  if (text == nullptr) return runs;
  const std::string s(text);
  SMarkupFormat cur = start;
  std::string pending;
  auto flush = [&] {
    if (!pending.empty()) runs.push_back(SMarkupRun{pending, cur});
    pending.clear();
  };
  size_t i = 0;
  while (i < s.size()) {
    if (s[i] != '<') {
      pending += s[i++];
      continue;
    }
    const size_t t = i + 1;  // the tag's first character
    SMarkupFormat next = cur;
    size_t after = std::string::npos;  // where the text goes on after a recognised tag
    if (StartsWith(s, t, "bold>")) {
      next.bold = true;
      after = t + 5;
    } else if (StartsWith(s, t, "/bold>")) {
      next.bold = start.bold;
      after = t + 6;
    } else if (StartsWith(s, t, "/color>")) {
      next.color = start.color;
      after = t + 7;
    } else if (StartsWith(s, t, "/size>")) {
      next.height = start.height;
      after = t + 6;
    } else if (StartsWith(s, t, "color ") || StartsWith(s, t, "size ")) {
      const size_t close = s.find('>', t);
      if (close != std::string::npos) {
        const std::string tag = s.substr(t, close - t);
        if (tag[0] == 'c') {
          int r = GetRValue(cur.color), g = GetGValue(cur.color), b = GetBValue(cur.color);
          KeyValue(tag, "red=", 255, r);
          KeyValue(tag, "green=", 255, g);
          KeyValue(tag, "blue=", 255, b);
          next.color = RGB(static_cast<BYTE>(r), static_cast<BYTE>(g), static_cast<BYTE>(b));
        } else {
          int h = 0;
          if (KeyValue(tag, "height=", 1638, h) && h > 0) next.height = h;
        }
        after = close + 1;
      }
    }
    if (after == std::string::npos) {  // not a tag: the "<" is text
      pending += s[i++];
      continue;
    }
    if (!(next == cur)) {
      flush();
      cur = next;
    }
    i = after;
  }
  flush();
  return runs;
}

std::vector<SMsgBoxButton> MessageBoxExButtons(UINT style) {
  static const SMsgBoxButton OK{"OK", IDOK}, Cancel{"Cancel", IDCANCEL}, Abort{"Abort", IDABORT},
      Retry{"Retry", IDRETRY}, Ignore{"Ignore", IDIGNORE}, Yes{"Yes", IDYES}, No{"No", IDNO},
      Continue{"Continue", IDCONTINUE}, Close{"Close", IDCLOSE}, Done{"Done", IDDONE}, Wait{"Wait", IDWAIT},
      Verified{"Verified", IDVERIFIED}, Notified{"Notified", IDNOTIFIED}, Waiting{"Waiting", IDWAITING};
  std::vector<SMsgBoxButton> b;
  switch (style & MB_TYPEMASK) {
    case 0:
    case 6: b = {OK}; break;
    case 1: b = {OK, Cancel}; break;
    case 2: b = {Abort, Retry, Ignore}; break;
    case 3: b = {Yes, No, Cancel}; break;
    case 4: b = {Yes, No}; break;
    case 5: b = {Retry, Cancel}; break;
    case 7: b = {Abort, Continue}; break;
    case 8: b = {Continue, Abort}; break;
    case 9: b = {Close, OK}; break;
    case 10: b = {No, Yes}; break;
    case 11: b = {Done}; break;
    case 12: b = {Done, Ignore}; break;
    case 13: b = {Done, Wait}; break;
    case 14: b = {Verified, No}; break;
    default: b = {Notified, Waiting}; break;
  }
  if (style & MB_HELP) b.push_back(SMsgBoxButton{"Help", IDHELP});
  return b;
}

int MessageBoxExDefaultButton(UINT style, int buttonCount) {
  const int wanted = static_cast<int>((style & MB_DEFMASK) >> 8);
  if (buttonCount < 1) return 0;
  return wanted < buttonCount ? wanted : buttonCount - 1;
}

WORD MessageBoxExIcon(UINT style) {
  switch (style & MB_ICONMASK) {
    case MB_ICONHAND: return 32513;
    case MB_ICONQUESTION: return 32514;
    case MB_ICONEXCLAMATION: return 32515;
    case MB_ICONASTERISK: return 32516;
    default: return 0;
  }
}
