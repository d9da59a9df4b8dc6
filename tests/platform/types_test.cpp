#include "platform/base/types.h"

#include <gtest/gtest.h>

TEST(Types, ColourKeepsRedInTheLowByte) {
  struct Case { BYTE r, g, b; COLORREF expected; };
  const Case cases[] = {
      {0xFF, 0, 0, 0x0000FFu}, {0, 0xFF, 0, 0x00FF00u}, {0, 0, 0xFF, 0xFF0000u}, {0x12, 0x34, 0x56, 0x563412u}};
  for (const auto& c : cases) {
    COLORREF v = RGB(c.r, c.g, c.b);
    EXPECT_EQ(v, c.expected);
    EXPECT_EQ(GetRValue(v), c.r);
    EXPECT_EQ(GetGValue(v), c.g);
    EXPECT_EQ(GetBValue(v), c.b);
  }
}

TEST(Types, WordHalves) {
  EXPECT_EQ(LOWORD(MAKELONG(0x1234, 0xABCD)), 0x1234);
  EXPECT_EQ(HIWORD(MAKELONG(0x1234, 0xABCD)), 0xABCD);
}
