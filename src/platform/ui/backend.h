// The two backends behind the window system. A backend draws the windows whose state lives in
// the registry and turns the user's input into the calls of input.h; it also does the blocking
// wait of the user-interface thread, so messages from other threads wake it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ui/wnd_state.h"

namespace qav::ui {

// What changed in a list box or combo box, so a backend need not rebuild the whole list.
enum class ListChange { Inserted, Deleted, Reset, Selection, Top };

class Backend {
 public:
  virtual ~Backend() = default;
  virtual const char* Name() const = 0;
  // A window's state is complete (its children may follow); a top-level window appears when shown.
  virtual void Created(WndState* s) {}
  virtual void Destroyed(WndState* s) {}
  // Text, style, geometry, check state, range or position changed.
  virtual void Changed(WndState* s) {}
  virtual void ListChanged(WndState* s, ListChange what, int index) {}
  // A top-level window that was already shown is shown again: it comes to the front and, unless
  // `activate` is false, becomes the active window (a window shown for the first time does so
  // anyway).
  virtual void Raise(WndState* s, bool activate) {}
  // A top-level window becomes the active window, taking the keyboard, without changing the
  // order of the windows (the owner of a modal window that ended).
  virtual void Activate(WndState* s) {}
  // True when the top-level window is the active window as the display sees it.
  virtual bool Active(WndState* s) { return false; }
  // A top-level window has another owner (SetWindowOwner).
  virtual void OwnerChanged(WndState* s) {}
  // Processes pending input without blocking.
  virtual void Poll() {}
  // Blocks until Wake() or input, at most the given time (negative: no limit).
  virtual void Wait(double seconds) = 0;
  // Any thread: ends a Wait.
  virtual void Wake() = 0;
  // Ends the modal windows the backend runs itself (Qt's file choosers and the boxes over them)
  // as their Cancel does.
  virtual void CloseOwnModals() {}
  // The cursor of every window of the program.
  virtual void CursorChanged(CursorKind shape) {}
  // Average character width and height of a font (the dialog font when null).
  virtual BaseUnits FontUnits(HFONT font) { return BaseUnits{}; }
  // A message box's text broken into lines no wider than `width` pixels in the dialog font: at
  // blanks where it can, inside a word wider than a line (a long path) otherwise. Where the lines
  // would be taller than `height` pixels, lines from the middle give way to one "...". `size`
  // is the extent of the lines returned.
  virtual std::string WrapText(const std::string& text, int width, int height, SIZE* size);
  // Height of one list-box line in pixels.
  virtual int ListItemHeight(HFONT font) { return 13; }
  // Screen size in pixels.
  virtual SIZE ScreenSize() { return SIZE{1280, 1024}; }
  // Height of a frame's menu bar and of the tabs of a property sheet, in pixels.
  virtual int MenuBarHeight() { return 20; }
  virtual int TabBarHeight() { return 0; }
};

// The backend in use (headless until another is chosen).
Backend& CurrentBackend();
// Chooses the backend: "headless" or "qt". Qt needs a display or Qt's offscreen platform
// (QT_QPA_PLATFORM=offscreen); returns false without either.
bool SelectBackend(const std::string& name);

// ---- The display (qt_display.cpp) ----
// Whether a display is named (DISPLAY is set and not empty).
bool DisplayAvailable();
// Whether the Qt backend can start: the X server of DISPLAY answers (its connection is then held
// until Qt has its own) or another Qt platform is named. False with the reason otherwise, e.g.
// "cannot open display :4711".
bool ReachDisplay(std::string* why);
// The size in pixels of the X screen the program is to show on (over every monitor), asked before
// Qt starts; false without a display, for another Qt platform, or once Qt has started. The
// question's connection is kept for Qt's start: an X server that loses its last client resets
// itself, and turns away for a moment the client that comes next.
bool ScreenPixels(uint64_t* width, uint64_t* height);

// Saves a PNG of a window shown by the Qt backend (offscreen too); false headless or on failure.
bool SaveWindowPng(HWND hwnd, const std::string& file);
// The Qt widget that shows a window (a QWidget*), for tests that drive it with Qt's test
// events; null headless.
void* NativeWidget(HWND hwnd);

// Starts every thread of the pool that Qt's painting hands its work to, once, and keeps them, so
// that painting never has to start a thread (a failed start would leave it waiting for ever).
// False, with the reason, when not all of them could be started.
bool StartPaintThreads(std::string* why);

Backend* MakeHeadlessBackend();
Backend* MakeQtBackend();  // null when Qt cannot start (no display)

}  // namespace qav::ui
