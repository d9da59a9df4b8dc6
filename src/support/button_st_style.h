// The parts of the owner-drawn button (CButtonST) that need no window: its six colour slots with
// the setters' return codes, and the images it generates for the pressed state (a darker or a grey
// copy) with the masks that let a bitmap draw through its transparent colour.
#pragma once

#include <vector>

#include "platform/base/types.h"

// Return codes of the button's setters.
enum : DWORD {
  BUTTONST_OK = 0,
  BUTTONST_INVALID_RESOURCE = 1,  // a cursor, icon, bitmap or menu could not be loaded or read
  BUTTONST_FAILED_MASK = 2,       // a bitmap's mask could not be made
  BUTTONST_INVALID_INDEX = 3,     // colour index of 6 or more
  BUTTONST_INVALID_ALIGN = 4,     // image alignment other than 0-3
  BUTTONST_BAD_PARAM = 5,         // colour offset out of range; no see-through mode or context
  BUTTONST_INVALID_PRESSED_STYLE = 6,
};

// The six colour slots, in order.
enum : BYTE {
  BUTTONST_COLOR_BK_IN = 0,     // background while the pointer is over it or it is pressed
  BUTTONST_COLOR_FG_IN = 1,     // text while the pointer is over it or it is pressed
  BUTTONST_COLOR_BK_OUT = 2,    // background normally
  BUTTONST_COLOR_FG_OUT = 3,    // text normally
  BUTTONST_COLOR_BK_FOCUS = 4,  // background while focused
  BUTTONST_COLOR_FG_FOCUS = 5,  // text while focused
  BUTTONST_MAX_COLORS = 6,
};

class CButtonSTColors {
 public:
  COLORREF m_crColors[BUTTONST_MAX_COLORS] = {};

  DWORD SetColor(BYTE index, COLORREF color);
  DWORD GetColor(BYTE index, COLORREF* color) const;
  // Adds the offset (-255..255) to red, green and blue; the offset is first reduced so that no
  // channel leaves 0..255, so the colour keeps its hue.
  DWORD OffsetColor(BYTE index, short offset);
  // Backgrounds `face`, texts `text`.
  void SetDefaultColors(COLORREF face, COLORREF text);
};

// A picture as plain pixels (COLORREF, row by row from the top).
struct CButtonSTImage {
  int m_cx = 0;
  int m_cy = 0;
  std::vector<COLORREF> m_pixels;

  CButtonSTImage() = default;
  CButtonSTImage(int cx, int cy, COLORREF fill = 0);
  bool IsEmpty() const { return m_cx <= 0 || m_cy <= 0 || m_pixels.size() != static_cast<size_t>(m_cx) * static_cast<size_t>(m_cy); }
  COLORREF At(int x, int y) const { return m_pixels[static_cast<size_t>(y) * static_cast<size_t>(m_cx) + static_cast<size_t>(x)]; }
  COLORREF& At(int x, int y) { return m_pixels[static_cast<size_t>(y) * static_cast<size_t>(m_cx) + static_cast<size_t>(x)]; }
};

// Special values for the second image: generate it from the first.
constexpr int BUTTONST_IMAGE_DARKER = -3;
constexpr int BUTTONST_IMAGE_GREY = -2;

// Each channel c becomes c - c * 0.25 (truncated); pixels of colour `keep` stay as they are.
CButtonSTImage MakeDarkerImage(const CButtonSTImage& src, COLORREF keep);
// Each pixel becomes grey 0.299 r + 0.587 g + 0.114 b (truncated); pixels of `keep` stay.
CButtonSTImage MakeGreyImage(const CButtonSTImage& src, COLORREF keep);
// The mask of a bitmap: 1 (white) where the pixel has the transparent colour, 0 elsewhere; those
// pixels are blackened in the image, so that it draws through the mask. False for an empty image.
bool MakeImageMask(CButtonSTImage& image, COLORREF transparent, std::vector<BYTE>& mask);
