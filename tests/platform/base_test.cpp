#include "platform/base/errors.h"
#include "platform/base/msgbox.h"
#include "platform/base/text.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

TEST(Errors, EveryTextEndsInCrLfAndUnknownNumbersHaveNone) {
  const DWORD known[] = {0, 2, 3, 4, 5, 6, 8, 11, 14, 19, 21, 23, 30, 31, 32, 38, 80, 87, 112, 183,
                         206, 223, 258, 259, 995, 997, 1117, 1160, 1200, 1392, 1782, 1921, 4317};
  for (DWORD e : known) {
    const char* t = GetSystemErrorText(e);
    ASSERT_NE(t, nullptr) << e;
    const std::string s(t);
    ASSERT_GE(s.size(), 3u);
    EXPECT_EQ(s.substr(s.size() - 2), "\r\n") << e;
  }
  EXPECT_STREQ(GetSystemErrorText(1160), "The indicated source element has no media.\r\n");
  EXPECT_STREQ(GetSystemErrorText(1782), "The byte count is too small.\r\n");
  std::string text = "x";
  EXPECT_FALSE(FormatSystemMessage(0x1234567, text));
  EXPECT_TRUE(text.empty());
}

TEST(Errors, ErrnoMapping) {
  struct Case { int err; DWORD expected; };
  const Case cases[] = {{EACCES, 5}, {EPERM, 5}, {EISDIR, 5}, {EEXIST, 80}, {EROFS, 19}, {ENOSPC, 112},
                        {EMFILE, 4}, {ENAMETOOLONG, 206}, {EINVAL, 87}, {EBADF, 6}, {ENOMEM, 8},
                        {EAGAIN, 8}, {EIO, 1117}, {ENOMEDIUM, 21}, {EBUSY, 32}, {EFBIG, 223},
                        {EXDEV, 17}, {ENOTDIR, 3}, {ENOENT, 2}, {ELOOP, 1921}};
  for (const auto& c : cases) EXPECT_EQ(ErrnoToWinError(c.err), c.expected) << c.err;
}

TEST(Errors, MissingFileIsTwoWhenTheFolderExistsAndThreeWhenItDoesNot) {
  const fs::path dir = fs::temp_directory_path();
  EXPECT_EQ(ErrnoToWinError(ENOENT, (dir / "qav-no-such-file").c_str()), 2u);
  EXPECT_EQ(ErrnoToWinError(ENOENT, (dir / "qav-no-such-folder" / "file").c_str()), 3u);
  EXPECT_EQ(ErrnoToWinError(ENOENT, "qav-relative-missing"), 2u);
}

TEST(Errors, LastErrorIsPerThread) {
  SetLastError(87);
  EXPECT_EQ(GetLastError(), 87u);
  SetLastError(0);
}

TEST(MessageBox, AnswersKeepTheirNumbers) {
  EXPECT_EQ(IDOK, 1);
  EXPECT_EQ(IDCLOSE, 8);
  EXPECT_EQ(IDCONTINUE, 11);
  EXPECT_EQ(MB_OKCANCEL | MB_ICONINFORMATION, 65u);
}

TEST(Text, Cp1252RoundTripsThroughUtf16AndUtf8) {
  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  EXPECT_EQ(Utf16ToCp1252(Cp1252ToUtf16(all)), all);
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
}

TEST(Text, KnownCharacters) {
  struct Case { unsigned char byte; char16_t unit; const char* utf8; };
  const Case cases[] = {{0x80, 0x20AC, "\xE2\x82\xAC"}, {0xE9, 0xE9, "\xC3\xA9"}, {0x9F, 0x0178, "\xC5\xB8"},
                        {0x41, 0x41, "A"}, {0x81, 0x81, "\xC2\x81"}};
  for (const auto& c : cases) {
    EXPECT_EQ(Cp1252ToUnicode(c.byte), c.unit);
    EXPECT_EQ(Cp1252ToUtf8(std::string(1, static_cast<char>(c.byte))), c.utf8);
    EXPECT_EQ(Utf8ToCp1252(c.utf8), std::string(1, static_cast<char>(c.byte)));
  }
}

TEST(Text, UnmappableAndMalformedBecomeQuestionMarks) {
  EXPECT_EQ(Utf16ToCp1252(u"a\u4E2Db"), "a?b");
  EXPECT_EQ(Utf8ToCp1252("a\xE4\xB8\xAD" "b"), "a?b");     // CJK character
  EXPECT_EQ(Utf8ToCp1252("a\xC3"), "a?");                   // truncated sequence
  EXPECT_EQ(Utf8ToCp1252("\xC0\x80x"), "??x");              // overlong encoding
  EXPECT_EQ(Utf8ToCp1252("\xF0\x9F\x98\x80"), "?");         // beyond the BMP
}
