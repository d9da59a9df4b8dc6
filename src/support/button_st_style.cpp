#include "support/button_st_style.h"

#include <algorithm>

DWORD CButtonSTColors::SetColor(BYTE index, COLORREF color) {
  if (index >= BUTTONST_MAX_COLORS) return BUTTONST_INVALID_INDEX;
  m_crColors[index] = color;
  return BUTTONST_OK;
}

DWORD CButtonSTColors::GetColor(BYTE index, COLORREF* color) const {
  if (index >= BUTTONST_MAX_COLORS) return BUTTONST_INVALID_INDEX;
  if (color != nullptr) *color = m_crColors[index];
  return BUTTONST_OK;
}

DWORD CButtonSTColors::OffsetColor(BYTE index, short offset) {
  if (index >= BUTTONST_MAX_COLORS) return BUTTONST_INVALID_INDEX;
  if (offset < -255 || offset > 255) return BUTTONST_BAD_PARAM;
  const COLORREF c = m_crColors[index];
  const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
  int o = offset;
  if (o > 0) {
    const int room = 255 - std::max({r, g, b});
    o = std::min(o, room);
  } else if (o < 0) {
    const int room = std::min({r, g, b});
    o = std::max(o, -room);
  }
  m_crColors[index] = RGB(static_cast<BYTE>(r + o), static_cast<BYTE>(g + o), static_cast<BYTE>(b + o));
  return BUTTONST_OK;
}

void CButtonSTColors::SetDefaultColors(COLORREF face, COLORREF text) {
  m_crColors[BUTTONST_COLOR_BK_IN] = face;
  m_crColors[BUTTONST_COLOR_FG_IN] = text;
  m_crColors[BUTTONST_COLOR_BK_OUT] = face;
  m_crColors[BUTTONST_COLOR_FG_OUT] = text;
  m_crColors[BUTTONST_COLOR_BK_FOCUS] = face;
  m_crColors[BUTTONST_COLOR_FG_FOCUS] = text;
}

CButtonSTImage::CButtonSTImage(int cx, int cy, COLORREF fill) {
  if (cx <= 0 || cy <= 0) return;
  m_cx = cx;
  m_cy = cy;
  m_pixels.assign(static_cast<size_t>(cx) * static_cast<size_t>(cy), fill);
}

namespace {
template <class F>
CButtonSTImage Transform(const CButtonSTImage& src, COLORREF keep, F f) {
  CButtonSTImage out;
  if (src.IsEmpty()) return out;
  out = src;
  for (COLORREF& p : out.m_pixels)
    if ((p & 0xFFFFFF) != (keep & 0xFFFFFF)) p = f(p);
  return out;
}
}  // namespace

CButtonSTImage MakeDarkerImage(const CButtonSTImage& src, COLORREF keep) {
  return Transform(src, keep, [](COLORREF p) {
    auto dark = [](BYTE c) { return static_cast<BYTE>(c * 3 / 4); };  // c - c * 0.25, truncated
    return RGB(dark(GetRValue(p)), dark(GetGValue(p)), dark(GetBValue(p)));
  });
}

CButtonSTImage MakeGreyImage(const CButtonSTImage& src, COLORREF keep) {
  return Transform(src, keep, [](COLORREF p) {
    // In thousandths, so that the truncation is exact (white stays 255).
    const BYTE g = static_cast<BYTE>((299u * GetRValue(p) + 587u * GetGValue(p) + 114u * GetBValue(p)) / 1000u);
    return RGB(g, g, g);
  });
}

bool MakeImageMask(CButtonSTImage& image, COLORREF transparent, std::vector<BYTE>& mask) {
  mask.clear();
  if (image.IsEmpty()) return false;
  mask.resize(image.m_pixels.size());
  for (size_t i = 0; i < image.m_pixels.size(); ++i) {
    const bool clear = (image.m_pixels[i] & 0xFFFFFF) == (transparent & 0xFFFFFF);
    mask[i] = clear ? 1 : 0;
    if (clear) image.m_pixels[i] = 0;
  }
  return true;
}
