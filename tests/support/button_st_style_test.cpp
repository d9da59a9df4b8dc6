#include "support/button_st_style.h"

#include <gtest/gtest.h>

TEST(ButtonSTColors, SlotsAndReturnCodes) {
  CButtonSTColors c;
  for (BYTE i = 0; i < BUTTONST_MAX_COLORS; ++i) EXPECT_EQ(c.SetColor(i, RGB(i, 0, 0)), BUTTONST_OK);
  COLORREF before[BUTTONST_MAX_COLORS];
  std::copy(std::begin(c.m_crColors), std::end(c.m_crColors), before);
  COLORREF got = 0x123456;
  EXPECT_EQ(c.SetColor(6, 0xFFFFFF), BUTTONST_INVALID_INDEX);
  EXPECT_EQ(c.GetColor(6, &got), BUTTONST_INVALID_INDEX);
  EXPECT_EQ(got, 0x123456u);
  EXPECT_EQ(c.OffsetColor(6, 10), BUTTONST_INVALID_INDEX);
  EXPECT_TRUE(std::equal(std::begin(before), std::end(before), c.m_crColors));
  EXPECT_EQ(c.GetColor(BUTTONST_COLOR_FG_FOCUS, &got), BUTTONST_OK);
  EXPECT_EQ(got, RGB(5, 0, 0));
  c.SetDefaultColors(0xC0C0C0, 0x000000);
  for (int i = 0; i < BUTTONST_MAX_COLORS; ++i) EXPECT_EQ(c.m_crColors[i], i % 2 == 0 ? 0xC0C0C0u : 0u);
}

TEST(ButtonSTColors, OffsetIsReducedToKeepTheHue) {
  struct Case {
    COLORREF in;
    short offset;
    DWORD code;
    COLORREF out;
  } cases[] = {
      {RGB(10, 100, 230), 40, BUTTONST_OK, RGB(35, 125, 255)},  // blue 230: only 25 added to each
      {RGB(10, 100, 230), -40, BUTTONST_OK, RGB(0, 90, 220)},   // red 10: only 10 taken
      {RGB(50, 50, 50), 255, BUTTONST_OK, RGB(255, 255, 255)},
      {RGB(50, 50, 50), -255, BUTTONST_OK, RGB(0, 0, 0)},
      {RGB(50, 50, 50), 256, BUTTONST_BAD_PARAM, RGB(50, 50, 50)},
      {RGB(50, 50, 50), -256, BUTTONST_BAD_PARAM, RGB(50, 50, 50)},
  };
  for (const Case& t : cases) {
    CButtonSTColors c;
    c.SetColor(BUTTONST_COLOR_BK_OUT, t.in);
    EXPECT_EQ(c.OffsetColor(BUTTONST_COLOR_BK_OUT, t.offset), t.code);
    EXPECT_EQ(c.m_crColors[BUTTONST_COLOR_BK_OUT], t.out) << t.offset;
  }
}

TEST(ButtonSTImage, GeneratedImagesKeepTheTransparentColour) {
  const COLORREF magenta = RGB(255, 0, 255);
  CButtonSTImage img(3, 1);
  img.At(0, 0) = RGB(255, 128, 1);
  img.At(1, 0) = magenta;
  img.At(2, 0) = RGB(255, 255, 255);

  CButtonSTImage dark = MakeDarkerImage(img, magenta);
  EXPECT_EQ(dark.At(0, 0), RGB(191, 96, 0));  // c - c * 0.25, truncated
  EXPECT_EQ(dark.At(1, 0), magenta);
  EXPECT_EQ(dark.At(2, 0), RGB(191, 191, 191));

  CButtonSTImage grey = MakeGreyImage(img, magenta);
  const BYTE g0 = static_cast<BYTE>((299 * 255 + 587 * 128 + 114 * 1) / 1000);  // 151
  EXPECT_EQ(grey.At(0, 0), RGB(g0, g0, g0));
  EXPECT_EQ(grey.At(1, 0), magenta);
  EXPECT_EQ(grey.At(2, 0), RGB(255, 255, 255));

  // Icons keep black.
  CButtonSTImage icon(2, 1);
  icon.At(0, 0) = 0;
  icon.At(1, 0) = RGB(100, 100, 100);
  EXPECT_EQ(MakeDarkerImage(icon, 0).At(0, 0), 0u);
  EXPECT_EQ(MakeDarkerImage(icon, 0).At(1, 0), RGB(75, 75, 75));

  std::vector<BYTE> mask;
  EXPECT_TRUE(MakeImageMask(img, magenta, mask));
  EXPECT_EQ(mask, (std::vector<BYTE>{0, 1, 0}));
  EXPECT_EQ(img.At(1, 0), 0u);  // blackened so it draws through the mask
  CButtonSTImage empty;
  EXPECT_FALSE(MakeImageMask(empty, magenta, mask));
  EXPECT_TRUE(MakeDarkerImage(empty, magenta).IsEmpty());
}
