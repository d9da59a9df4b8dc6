// The user's input. The Qt backend turns clicks, keys and selections into these calls; the
// tests call them too (directly, or queued with qav::ui::PostTask so a modal dialog's loop runs
// them). Each does what the user's action does: changes the control's state and sends the same
// notifications, in the same order.
#pragma once

#include "platform/ui/wnd.h"

namespace qav::ui::input {
// Moves the focus as a click or Tab would (kill-focus and set-focus notices).
void Focus(HWND hwnd);
// A click on a button, check box or radio button (focus first, then BN_CLICKED).
void Click(HWND button);
// The edit's text as typed (focus first; the text limit applies; EN_CHANGE).
void Type(HWND edit, const char* text);
// A click on a list line; keys MK_CONTROL / MK_SHIFT extend an extended selection.
void SelectLine(HWND list, int index, UINT keys = 0);
void DoubleClickLine(HWND list, int index);
// A right click at a point of the window's client area (WM_RBUTTONDOWN to the window).
void RightClick(HWND hwnd, int x, int y);
// A key pressed in the window with the modifiers `keys` held (MK_SHIFT, MK_CONTROL); true when a
// PreTranslateMessage consumed it. A list box moves its focus line and selection by the key.
bool Key(HWND hwnd, UINT vk, UINT keys = 0);
void SelectCombo(HWND combo, int index);
// One step of a spin control's arrows (up or down); the parent may veto it.
void Spin(HWND spin, bool up);
void Slide(HWND slider, int pos);
void SetTime(HWND picker, const SYSTEMTIME& time);
// A click on a tab of a property sheet.
void SelectTab(HWND tabs, int index);
// The close box of a top-level window.
void Close(HWND hwnd);
// A menu command of a frame.
void Menu(HWND frame, UINT id);
// The mouse entering, moving over and leaving a window.
void MouseMove(HWND hwnd, int x, int y);
void MouseLeave(HWND hwnd);
}  // namespace qav::ui::input
