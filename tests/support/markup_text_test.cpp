#include "support/markup_text.h"

#include <gtest/gtest.h>

#include "platform/base/msgbox.h"

namespace {

// "text|B|color|height" per run, for compact expectations.
std::string Describe(const std::vector<SMarkupRun>& runs) {
  std::string out;
  for (const SMarkupRun& r : runs) {
    char f[64];
    std::snprintf(f, sizeof f, "|%s|%06X|%d;", r.format.bold ? "B" : "-", static_cast<unsigned>(r.format.color), r.format.height);
    out += r.text + f;
  }
  return out;
}

}  // namespace

TEST(Markup, Runs) {
  SMarkupFormat start;
  start.color = RGB(0, 0, 0);
  start.height = 8;
  struct Case {
    const char* text;
    const char* runs;
  } cases[] = {
      {"plain", "plain|-|000000|8;"},
      {"a<bold>b</bold>c", "a|-|000000|8;b|B|000000|8;c|-|000000|8;"},
      {"<color red=255 green=0 blue=10>red</color>!", "red|-|0A00FF|8;!|-|000000|8;"},
      {"<color blue=200 red=1>x", "x|-|C80001|8;"},                    // keys in any order; green unchanged
      {"<size height=14>big</size>", "big|-|000000|14;"},
      {"<size>x", "<size>x|-|000000|8;"},                              // no space: not a tag
      {"<size width=3>x", "x|-|000000|8;"},                            // no height: unchanged
      {"<color red=999>x", "x|-|0000FF|8;"},                           // saturates at 255
      {"a <b> c", "a <b> c|-|000000|8;"},                              // unknown tag shown as it is
      {"x < y", "x < y|-|000000|8;"},
      {"<color red=5", "<color red=5|-|000000|8;"},                    // unterminated
      {"end<", "end<|-|000000|8;"},
      {"<bold><bold>x</bold>", "x|B|000000|8;"},
      {"<bold></bold>", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Describe(ParseMarkup(c.text, start)), c.runs) << c.text;
  EXPECT_TRUE(ParseMarkup(nullptr, start).empty());
}

TEST(Markup, FindSubstring) {
  EXPECT_EQ(FindSubstring("abcabc", "bc", 0), 1);
  EXPECT_EQ(FindSubstring("abcabc", "bc", 2), 4);
  EXPECT_EQ(FindSubstring("abcabc", "bc", 5), -1);
  EXPECT_EQ(FindSubstring("abc", "bc", 99), -1);
  EXPECT_EQ(FindSubstring("abc", "", 0), -1);
  EXPECT_EQ(FindSubstring(nullptr, "a", 0), -1);
  EXPECT_EQ(FindSubstring("abc", "c", -1), -1);
}

TEST(MessageBoxExChoices, ButtonSetsHelpAndDefault) {
  auto answers = [](UINT style) {
    std::vector<int> a;
    for (const SMsgBoxButton& b : MessageBoxExButtons(style)) a.push_back(b.answer);
    return a;
  };
  EXPECT_EQ(answers(0), (std::vector<int>{IDOK}));
  EXPECT_EQ(answers(6), (std::vector<int>{IDOK}));
  EXPECT_EQ(answers(2), (std::vector<int>{IDABORT, IDRETRY, IDIGNORE}));
  EXPECT_EQ(answers(8), (std::vector<int>{IDCONTINUE, IDABORT}));
  EXPECT_EQ(answers(9), (std::vector<int>{IDCLOSE, IDOK}));
  EXPECT_EQ(answers(11), (std::vector<int>{IDDONE}));
  EXPECT_EQ(answers(11 | MB_HELP), (std::vector<int>{IDDONE, IDHELP}));
  EXPECT_EQ(answers(13), (std::vector<int>{IDDONE, IDWAIT}));
  EXPECT_EQ(answers(14), (std::vector<int>{IDVERIFIED, IDNO}));
  EXPECT_EQ(answers(15), (std::vector<int>{IDNOTIFIED, IDWAITING}));
  EXPECT_STREQ(MessageBoxExButtons(15)[1].text, "Waiting");

  EXPECT_EQ(MessageBoxExDefaultButton(MB_DEFBUTTON1, 3), 0);
  EXPECT_EQ(MessageBoxExDefaultButton(MB_DEFBUTTON3, 3), 2);
  EXPECT_EQ(MessageBoxExDefaultButton(MB_DEFBUTTON4, 2), 1);  // clamped to the shown buttons
  EXPECT_EQ(MessageBoxExDefaultButton(MB_DEFBUTTON4, 4), 3);

  EXPECT_EQ(MessageBoxExIcon(MB_ICONHAND), 32513);
  EXPECT_EQ(MessageBoxExIcon(MB_ICONASTERISK | MB_YESNO), 32516);
  EXPECT_EQ(MessageBoxExIcon(0x50), 0);
  EXPECT_EQ(MessageBoxExIcon(0), 0);
}
